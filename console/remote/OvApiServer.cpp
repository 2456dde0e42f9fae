#include "remote/OvApiServer.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "log/OvCGMessage.h"
#include "log/OvCountedNotice.h"
#include "remote/OvApiClient.h"
#include "remote/OvApiListener.h"
#include "remote/OvHttpHead.h"
#include "remote/OvPanelFiles.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QTcpSocket>
#include <QTimer>
#include <QUuid>
#include <QWebSocket>
#include <QWebSocketServer>

#include <algorithm>
#include <cmath>

namespace {

// A repeated refusal is said at most this often.
constexpr int NoteEveryMs = 10000;
// Encoded thumbnails kept for the next client that asks (bytes).
constexpr int PngCacheBytes = 16 * 1024 * 1024;
// A refused command's id is read back only from a message this small: a flood
// is answered without parsing it.
constexpr int IdParseBytes = 1024;

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void appendKey(QByteArray* json, const char* key)
{
    *json += '"';
    *json += key;
    *json += "\":";
}

// A name as the console sends it: cut to its bound, never within a character.
QString apiName(const QString& name)
{
    if (name.size() <= OvApiServer::MaxNameChars)
        return name;
    const int keep = name.at(OvApiServer::MaxNameChars - 1).isHighSurrogate() ? OvApiServer::MaxNameChars - 1
                                                                              : OvApiServer::MaxNameChars;
    return name.left(keep);
}

// Entries from offset on, each made by append, as a JSON array of at most
// SliceItems entries and SliceBytes bytes (but at least one entry).
template <typename Append>
QByteArray sliceOf(int offset, int end, int* count, Append append)
{
    QByteArray json("[");
    int i = offset;
    for (; i < end && i - offset < OvApiServer::SliceItems; ++i) {
        const int before = json.size();
        if (i > offset)
            json += ',';
        append(&json, i);
        if (json.size() + 1 > OvApiServer::SliceBytes && i > offset) {
            json.truncate(before);
            break;
        }
    }
    json += ']';
    *count = i - offset;
    return json;
}

// Whether the secret matches, in a time that does not tell how much of it did.
bool sameSecret(const QByteArray& given, const QByteArray& secret)
{
    if (secret.isEmpty())
        return false;
    int difference = given.size() ^ secret.size();
    for (int i = 0; i < given.size(); ++i)
        difference |= given.at(i) ^ secret.at(i % secret.size());
    return difference == 0;
}

// A header's value for a log line: short, and printable.
QString shown(const QByteArray& value)
{
    QString text = QString::fromLatin1(value.left(80));
    for (QChar& c : text)
        if (!c.isPrint())
            c = QLatin1Char('?');
    return text.isEmpty() ? QStringLiteral("-") : text;
}

}  // namespace

OvApiServer::OvApiServer(OvCommandTable* commands, OvStateFeed* feed, QObject* parent)
    : QObject(parent)
    , m_commands(commands)
    , m_feed(feed)
    , m_slices(SliceCacheBytes)
    , m_cueSlices(SliceCacheBytes)
    , m_pngs(PngCacheBytes)
{
    m_clock.start();
    // Connections are accepted and their handshakes read here, within bounds;
    // the WebSocket server only ever sees complete ones.
    m_listener = new OvApiListener(this);
    m_server = new QWebSocketServer(QStringLiteral("OvCGVestrel"), QWebSocketServer::NonSecureMode, this);
    m_server->setMaxPendingConnections(MaxClients);
    connect(m_listener, &OvApiListener::upgradeRequested, this, &OvApiServer::upgrade);
    m_files = new OvPanelFiles(this);
    m_listener->setPlainHandler([this](QTcpSocket* socket, const OvHttpHead& head) { plainRequest(socket, head); });
    connect(m_server, &QWebSocketServer::newConnection, this, &OvApiServer::accept);
    m_closedEarly = new OvCountedNotice(
        [](qint64 count) { return tr("远程接口：%1个连接未完成认证即被断开（等待的连接过多或超时）").arg(count); },
        this);
    connect(m_listener, &OvApiListener::closedEarly, m_closedEarly, [this] { m_closedEarly->add(); });
    m_pool.setMaxThreadCount(1);
    // What Qt writes by itself (the answers to pings) passes no bound in
    // send(): every backlog is looked at here too.
    m_backlogCheck = new QTimer(this);
    m_backlogCheck->setInterval(BacklogCheckMs);
    connect(m_backlogCheck, &QTimer::timeout, this, [this] {
        const QList<OvApiClient*> clients = m_clients;
        for (OvApiClient* const client : clients)
            client->enforceBacklog();
    });
    m_backlogCheck->start();

    connect(feed, &OvStateFeed::changed, this, &OvApiServer::tell);
}

OvApiServer::~OvApiServer()
{
    // Thumbnails being made hold no client; what they post back dies with us.
    m_pool.waitForDone();
    // The clients' sockets came through the listener: they go first.
    qDeleteAll(m_clients);
    m_clients.clear();
}

QString OvApiServer::exampleToken()
{
    return QStringLiteral("replace-with-a-secret-of-your-own");
}

QString OvApiServer::tokenRefusal(const QString& token)
{
    if (token.isEmpty())
        return tr("config.ini中未设置api_token");
    if (token.size() < MinTokenChars)
        return tr("api_token少于%1个字符").arg(MinTokenChars);
    if (token == exampleToken())
        return tr("api_token仍是示例中的值");
    return QString();
}

QString OvApiServer::viewTokenRefusal(const QString& viewToken, const QString& token)
{
    if (viewToken.size() < MinTokenChars)
        return tr("api_view_token少于%1个字符").arg(MinTokenChars);
    if (viewToken == exampleToken())
        return tr("api_view_token仍是示例中的值");
    // One token for both would make every seat a watching one, or none.
    if (viewToken == token)
        return tr("api_view_token与api_token相同");
    return QString();
}

QString OvApiServer::seatName(const QJsonValue& seat)
{
    QString name;
    const QString given = seat.toString();
    for (const QChar c : given) {
        // Nothing that breaks a log line, hides text or turns it around.
        const QChar::Category category = c.category();
        if (category != QChar::Other_Control && category != QChar::Other_Format
            && category != QChar::Separator_Line && category != QChar::Separator_Paragraph)
            name += c;
    }
    name = name.simplified();
    if (name.size() > MaxSeatChars)
        name.truncate(name.at(MaxSeatChars - 1).isHighSurrogate() ? MaxSeatChars - 1 : MaxSeatChars);
    return name;
}

void OvApiServer::setToken(const QString& token)
{
    m_token = token;
}

void OvApiServer::setViewToken(const QString& token)
{
    m_viewToken = token;
}

void OvApiServer::setAllowedOrigins(const QStringList& origins)
{
    m_access.setAllowedOrigins(origins);
}

void OvApiServer::setAllowedHosts(const QStringList& hosts)
{
    m_access.setExtraHosts(hosts);
}

void OvApiServer::setLanguage(const QString& language)
{
    m_language = language;
}

void OvApiServer::setAuthTimeoutMs(int ms)
{
    m_authTimeoutMs = ms;
}

void OvApiServer::setWrongTokenWaitMs(qint64 ms)
{
    m_backoff = OvAddressBackoff(ms);
}

void OvApiServer::setHandshakeTimeoutMs(int ms)
{
    m_listener->setHeadTimeoutMs(ms);
}

bool OvApiServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    const QString refusal = tokenRefusal(m_token);
    if (!refusal.isEmpty()) {
        *error = refusal;
        return false;
    }
    if (!m_listener->listen(address, port, error))
        return false;
    m_access.setListenAddress(address);
    OvCGMessage::systemLine(tr("远程接口在%1:%2上监听").arg(address.toString()).arg(m_listener->port()));
    if (!address.isLoopback())
        OvCGMessage::systemLine(
            tr("远程接口在%1上对其他设备开放：同一网络中知道令牌的设备都能控制播出").arg(address.toString()));
    return true;
}

quint16 OvApiServer::port() const
{
    return m_listener->port();
}

qint64 OvApiServer::closedEarly() const
{
    return m_closedEarly->total();
}

void OvApiServer::upgrade(QTcpSocket* socket, const OvHttpHead& head)
{
    // A web page elsewhere, or one reached under a name that is not the
    // console's, is refused before the handshake.
    if (!m_access.admitsUpgrade(head)) {
        refuseRequest(socket, head);
        return;
    }
    m_server->handleConnection(socket);
}

void OvApiServer::plainRequest(QTcpSocket* socket, const OvHttpHead& head)
{
    if (!head.isValid())
        m_files->refuse(socket, 400);
    else if (!m_access.admitsPage(head))
        refuseRequest(socket, head);
    else
        m_files->answer(socket, head);
}

void OvApiServer::refuseRequest(QTcpSocket* socket, const OvHttpHead& head)
{
    ++m_refusedRequests;
    // The operator learns which name to add to api_hosts, or which page
    // tried; a flood of them says one line now and then, and hides no other.
    if (!m_refusalNoted.isValid() || m_refusalNoted.elapsed() >= NoteEveryMs) {
        m_refusalNoted.start();
        OvCGMessage::systemLine(
            tr("远程接口拒绝了来自%1的网页请求（Host：%2，Origin：%3）")
                .arg(socket->peerAddress().toString(), shown(head.header("Host")), shown(head.header("Origin"))));
    }
    m_files->refuse(socket, 403);
}

void OvApiServer::accept()
{
    while (QWebSocket* const socket = m_server->nextPendingConnection()) {
        auto* const client = new OvApiClient(socket, this);
        if (authenticatedCount() >= MaxClients) {
            socket->close(QWebSocketProtocol::CloseCode(CloseTooMany), QStringLiteral("too many clients"));
            client->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(MaxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(MaxMessageBytes);
        client->key = OvAddressBackoff::keyOf(socket->peerAddress());
        m_clients.append(client);
        connect(client, &OvApiClient::textReceived, this, &OvApiServer::receive);
        connect(client, &OvApiClient::gone, this, &OvApiServer::remove);
        connect(client, &OvApiClient::drained, this, [this](OvApiClient* c) {
            if (c->streaming() || c->streamingCues())
                schedulePump();
        });
        // Connections that have not said who they are hold no panel's place,
        // and a flood from one address pushes out only its own.
        if (QObject* const pushedOut = m_unauthenticated.add(client, client->key)) {
            m_closedEarly->add();
            static_cast<OvApiClient*>(pushedOut)->close(CloseTryAgain, QStringLiteral("try again later"));
        }
        // A connection that never says who it is gives its place back.
        QTimer::singleShot(m_authTimeoutMs, client, [this, client] {
            if (client->isAuthenticated() || client->isClosing())
                return;
            m_unauthenticated.remove(client);
            m_closedEarly->add();
            client->close(CloseTryAgain, QStringLiteral("authentication timed out"));
        });
    }
}

void OvApiServer::remove(OvApiClient* client)
{
    if (client->isDropped()) {
        ++m_dropped;
        note(tr("远程接口：客户端%1未读取数据，已断开").arg(client->peer()));
    }
    m_unauthenticated.remove(client);
    m_clients.removeOne(client);
    client->deleteLater();
    if (client->isAuthenticated())
        tellSeats(nullptr);
}

int OvApiServer::authenticatedCount() const
{
    return int(std::count_if(m_clients.cbegin(), m_clients.cend(),
                             [](const OvApiClient* client) { return client->isAuthenticated(); }));
}

void OvApiServer::note(const QString& text)
{
    if (m_noted.isValid() && m_noted.elapsed() < NoteEveryMs)
        return;
    m_noted.start();
    OvCGMessage::systemLine(text);
}

void OvApiServer::receive(OvApiClient* client, const QString& text)
{
    // What a client sends after it was told to go is not read.
    if (client->isClosing())
        return;
    if (!client->admitCommand(text.size())) {
        ++m_rateRefused;
        if (client->refusedThisSecond() > OvApiClient::RefusedBeforeClose) {
            note(tr("远程接口：客户端%1发送命令过快，已断开").arg(client->peer()));
            client->close(CloseTooMany, QStringLiteral("too many commands"));
            return;
        }
        const QJsonValue id = text.size() <= IdParseBytes
                                  ? QJsonDocument::fromJson(text.toUtf8()).object().value(QStringLiteral("id"))
                                  : QJsonValue(QJsonValue::Undefined);
        answer(client, id.isDouble() || id.isString() ? id : QJsonValue::Undefined, "rate limited");
        return;
    }
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    const QJsonObject message = document.object();
    // An id is echoed in the answer: a number or a short text, nothing that
    // would have the console write back what a client sent in bulk.
    const QJsonValue id = message.value(QStringLiteral("id"));
    const bool idFits = id.isUndefined() || id.isDouble() || (id.isString() && id.toString().size() <= MaxIdChars);
    if (!client->isAuthenticated())
        authenticate(client, message, idFits ? id : QJsonValue(QJsonValue::Undefined));
    else if (!document.isObject() || !idFits)
        answer(client, QJsonValue::Undefined, "bad message");
    else if (message.value(QStringLiteral("cmd")).toString() == QLatin1String("thumbnail"))
        thumbnail(client, message);
    // A seat times its round trip with it, whatever it may do.
    else if (message.value(QStringLiteral("cmd")).toString() == QLatin1String("ping"))
        answer(client, id, nullptr);
    else
        command(client, message);
}

void OvApiServer::authenticate(OvApiClient* client, const QJsonObject& message, const QJsonValue& id)
{
    m_unauthenticated.remove(client);
    // Something else first is a client that does not speak the protocol; it may try again.
    if (message.value(QStringLiteral("cmd")).toString() != QLatin1String("auth")) {
        client->close(CloseProtocolError, QStringLiteral("authenticate first"));
        return;
    }
    // An address that guessed wrong too often waits; its tries meanwhile are not looked at.
    if (m_backoff.waitMs(client->key, m_clock.elapsed()) > 0) {
        client->close(CloseTryAgain, QStringLiteral("try again later"));
        return;
    }
    const QJsonValue token = message.value(QStringLiteral("token"));
    const QByteArray given = token.toString().toUtf8();
    // Both compared, whichever matches: the time tells nothing of which.
    const bool control = token.isString() && sameSecret(given, m_token.toUtf8());
    const bool view = token.isString() && sameSecret(given, m_viewToken.toUtf8());
    if (!control && !view) {
        m_backoff.failed(client->key, m_clock.elapsed());
        note(tr("远程接口拒绝了来自%1的连接：令牌不符").arg(client->peer()));
        client->close(CloseUnauthorized, QStringLiteral("unauthorized"));
        return;
    }
    m_backoff.succeeded(client->key);
    if (authenticatedCount() >= MaxClients) {
        client->close(CloseTooMany, QStringLiteral("too many clients"));
        return;
    }
    client->viewOnly = !control;
    client->seat = seatName(message.value(QStringLiteral("seat")));
    client->setAuthenticated();
    QJsonObject result{{QStringLiteral("type"), QStringLiteral("result")},
                       {QStringLiteral("ok"), true},
                       {QStringLiteral("role"), client->viewOnly ? QStringLiteral("view") : QStringLiteral("control")}};
    if (!id.isUndefined())
        result.insert(QStringLiteral("id"), id);
    client->send(compact(result));
    sendState(client);
    tellSeats(client);
}

void OvApiServer::answer(OvApiClient* client, const QJsonValue& id, const char* error)
{
    QJsonObject result{{QStringLiteral("type"), QStringLiteral("result")}, {QStringLiteral("ok"), error == nullptr}};
    if (!id.isUndefined())
        result.insert(QStringLiteral("id"), id);
    if (error)
        result.insert(QStringLiteral("error"), QLatin1String(error));
    client->send(compact(result));
}

OvCommandTable::ItemRef OvApiServer::itemRef(const QJsonValue& value)
{
    // Absent or null: the current item.
    if (value.isUndefined() || value.isNull())
        return {};
    if (value.isString())
        return OvCommandTable::ItemRef::named(value.toString());
    // Checked before any conversion: a client may send any number. Anything
    // else names no item.
    const double position = value.toDouble(0);
    const bool whole = position >= 1 && position <= 1e9 && std::floor(position) == position;
    return OvCommandTable::ItemRef::at(whole ? qint64(position) : 0);
}

void OvApiServer::command(OvApiClient* client, const QJsonObject& message)
{
    OvCommandTable::Request request;
    request.name = message.value(QStringLiteral("cmd")).toString();
    request.item = itemRef(message.value(QStringLiteral("item")));
    request.source = OvTakeCommand::RemoteApi;
    request.readOnly = client->viewOnly;
    request.seat = client->seat;
    const OvCommandTable::Refusal refusal = m_commands->run(request);
    answer(client, message.value(QStringLiteral("id")),
           refusal == OvCommandTable::Refusal::None ? nullptr : OvCommandTable::word(refusal));
}

void OvApiServer::thumbnail(OvApiClient* client, const QJsonObject& message)
{
    const QJsonValue id = message.value(QStringLiteral("id"));
    const QJsonValue sizeValue = message.value(QStringLiteral("size"));
    const double size = sizeValue.isUndefined() ? DefaultThumbnailSize : sizeValue.toDouble(-1);
    if (size < 1 || size > MaxThumbnailSize || std::floor(size) != size) {
        answer(client, id, "bad message");
        return;
    }
    const OvSubCGItem* const item = m_commands->resolve(itemRef(message.value(QStringLiteral("item"))));
    const QPixmap picture = item ? item->image() : QPixmap();
    if (!item || picture.isNull()) {
        answer(client, id, item ? "no picture" : "no such item");
        return;
    }
    const QString guid = item->guid();
    const QString key = QStringLiteral("%1/%2").arg(picture.cacheKey()).arg(int(size));
    const auto reply = [this, id, guid](OvApiClient* to, const QByteArray& png) {
        QJsonObject result{{QStringLiteral("type"), QStringLiteral("result")},
                           {QStringLiteral("ok"), true},
                           {QStringLiteral("guid"), guid},
                           {QStringLiteral("png"), QString::fromLatin1(png)}};
        if (!id.isUndefined())
            result.insert(QStringLiteral("id"), id);
        to->send(compact(result));
    };
    if (const QByteArray* const cached = m_pngs.object(key)) {
        reply(client, *cached);
        return;
    }
    if (client->thumbnailsInFlight >= ThumbnailsInFlightPerClient) {
        answer(client, id, "busy");
        return;
    }
    ++client->thumbnailsInFlight;
    // Scaling and PNG encoding are the costly part: off the GUI thread.
    const QImage image = picture.toImage();
    const QPointer<OvApiClient> to(client);
    m_pool.start([this, image, size, key, to, reply] {
        const QImage scaled = image.scaled(int(size), int(size), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        scaled.save(&buffer, "PNG");
        const QByteArray base64 = png.toBase64();
        QMetaObject::invokeMethod(
            this,
            [this, key, to, reply, base64] {
                m_pngs.insert(key, new QByteArray(base64), base64.size());
                if (!to)
                    return;
                --to->thumbnailsInFlight;
                reply(to, base64);
            },
            Qt::QueuedConnection);
    });
}

void OvApiServer::sendAll(const QByteArray& json)
{
    for (OvApiClient* const client : qAsConst(m_clients))
        if (client->isAuthenticated())
            client->send(json);
}

QByteArray OvApiServer::seatsJson() const
{
    QByteArray json("[");
    for (const OvApiClient* const client : m_clients) {
        if (!client->isAuthenticated() || client->isClosing())
            continue;
        if (json.size() > 1)
            json += ',';
        json += "{\"seat\":";
        OvProtocol::appendJsonString(&json, client->seat);
        json += client->viewOnly ? ",\"role\":\"view\"}" : ",\"role\":\"control\"}";
    }
    return json + ']';
}

void OvApiServer::tellSeats(const OvApiClient* except)
{
    const QByteArray json = "{\"type\":\"seats\",\"seats\":" + seatsJson() + '}';
    for (OvApiClient* const client : qAsConst(m_clients))
        if (client != except && client->isAuthenticated() && !client->isClosing())
            client->send(json);
}


QByteArray OvApiServer::connectedJson() const
{
    QByteArray json("{\"type\":\"connected\",\"connected\":");
    json += m_feed->connected() ? "true" : "false";
    json += ",\"server\":";
    if (m_feed->connected())
        OvProtocol::appendJsonString(&json, m_feed->server());
    else
        json += "null";
    json += '}';
    return json;
}

void OvApiServer::appendItem(QByteArray* json, const OvSubCGItem* item, int position) const
{
    appendKey(json, "guid");
    OvProtocol::appendJsonString(json, item->guid());
    *json += ',';
    appendKey(json, "name");
    OvProtocol::appendJsonString(json, apiName(item->name()));
    *json += ",\"position\":" + QByteArray::number(position);
    *json += ",\"status\":" + QByteArray::number(m_feed->confirmedStatus(item));
    *json += ",\"picture\":" + QByteArray::number(m_feed->pictureVersion(item));
}

void OvApiServer::appendCue(QByteArray* json, int row) const
{
    appendKey(json, "guid");
    OvProtocol::appendJsonString(json, m_feed->cueGuid(row));
    *json += ',';
    appendKey(json, "name");
    OvProtocol::appendJsonString(json, apiName(m_feed->cueName(row)));
    *json += ",\"duration\":" + QByteArray::number(m_feed->cueDuration(row));
}

QByteArray OvApiServer::nextJson() const
{
    const int next = m_feed->nextCue();
    return next < 0 ? QByteArray("null") : QByteArray::number(next + 1);
}

OvApiServer::Slice OvApiServer::itemsAt(int offset) const
{
    if (const Slice* const cached = m_slices.object(offset))
        return *cached;
    Slice slice;
    slice.json = sliceOf(offset, m_feed->count(), &slice.count, [this](QByteArray* json, int i) {
        *json += '{';
        appendItem(json, m_feed->itemAt(i), i + 1);
        *json += '}';
    });
    m_slices.insert(offset, new Slice(slice), slice.json.size());
    return slice;
}

OvApiServer::Slice OvApiServer::cuesAt(int offset) const
{
    if (const Slice* const cached = m_cueSlices.object(offset))
        return *cached;
    Slice slice;
    slice.json = sliceOf(offset, m_feed->cueCount(), &slice.count, [this](QByteArray* json, int i) {
        *json += '{';
        appendCue(json, i);
        *json += '}';
    });
    m_cueSlices.insert(offset, new Slice(slice), slice.json.size());
    return slice;
}

QByteArray OvApiServer::itemsMessage(int offset, int total, int* count) const
{
    const Slice slice = itemsAt(offset);
    *count = slice.count;
    QByteArray json("{\"type\":\"items\",\"offset\":");
    json += QByteArray::number(offset) + ",\"total\":" + QByteArray::number(total) + ",\"items\":";
    json += slice.json + '}';
    return json;
}

QByteArray OvApiServer::cuesMessage(int offset, int total, int* count) const
{
    const Slice slice = cuesAt(offset);
    *count = slice.count;
    QByteArray json("{\"type\":\"cues\",\"offset\":");
    json += QByteArray::number(offset) + ",\"total\":" + QByteArray::number(total) + ",\"cues\":";
    json += slice.json + ",\"next\":" + nextJson() + '}';
    return json;
}

void OvApiServer::sendState(OvApiClient* client)
{
    QByteArray json("{\"type\":\"state\",\"protocol\":" + QByteArray::number(ProtocolVersion));
    json += client->viewOnly ? ",\"role\":\"view\"" : ",\"role\":\"control\"";
    json += ",\"language\":";
    json += m_language == QLatin1String("en") ? "\"en\"" : "\"zh_CN\"";
    const QByteArray connected = connectedJson();
    // The connection's fields without its braces and type.
    const int from = connected.indexOf(",\"connected\"");
    json += connected.mid(from, connected.size() - from - 1);
    json += m_feed->locked() ? ",\"locked\":true" : ",\"locked\":false";
    json += ",\"current\":";
    if (const OvSubCGItem* const current = m_feed->current())
        OvProtocol::appendJsonString(&json, current->guid());
    else
        json += "null";
    // The first slice of each; the rest within the turns' budget, so that
    // many panels starting at once share it. While structural changes of
    // this turn wait to be told, a slice would show them and the client be
    // told them again: its list then starts empty and comes after them.
    const Slice items = m_feed->structurePending() ? Slice{"[]", 0} : itemsAt(0);
    client->total = m_feed->count();
    client->sent = items.count;
    json += ",\"total\":" + QByteArray::number(client->total) + ",\"items\":" + items.json;
    const Slice cues = cuesAt(0);
    client->cueTotal = m_feed->cueCount();
    client->cuesSent = cues.count;
    json += ",\"cueTotal\":" + QByteArray::number(client->cueTotal) + ",\"cues\":" + cues.json;
    json += ",\"next\":" + nextJson() + ",\"seats\":" + seatsJson() + '}';
    client->send(json);
    schedulePump();
}

void OvApiServer::schedulePump()
{
    if (m_pumpScheduled)
        return;
    m_pumpScheduled = true;
    QTimer::singleShot(0, this, &OvApiServer::pump);
}

void OvApiServer::restartCatalogue()
{
    const int total = m_feed->count();
    for (OvApiClient* const client : qAsConst(m_clients)) {
        if (!client->isAuthenticated())
            continue;
        client->total = total;
        client->sent = 0;
        // The empty catalogue too: the client learns the old one is gone.
        if (total == 0)
            client->send("{\"type\":\"items\",\"offset\":0,\"total\":0,\"items\":[]}");
    }
    schedulePump();
}

void OvApiServer::restartCues()
{
    const int total = m_feed->cueCount();
    for (OvApiClient* const client : qAsConst(m_clients)) {
        if (!client->isAuthenticated())
            continue;
        client->cueTotal = total;
        client->cuesSent = 0;
        if (total == 0)
            client->send("{\"type\":\"cues\",\"offset\":0,\"total\":0,\"cues\":[],\"next\":null}");
    }
    schedulePump();
}

void OvApiServer::pump()
{
    m_pumpScheduled = false;
    // A slice made now would hold changes its client is told of only at the
    // turn's end; telling them schedules the pump again.
    if (m_feed->structurePending())
        return;
    const int count = m_feed->count();
    const int cueCount = m_feed->cueCount();
    int slices = 0;
    bool more = false;
    for (int n = 0; n < m_clients.size(); ++n) {
        OvApiClient* const client = m_clients.at((m_pumpFrom + n) % m_clients.size());
        // A list that shrank within the turn: the restart at its end follows.
        const bool cues = client->streamingCues() && client->cuesSent < cueCount;
        const bool items = client->streaming() && client->sent < count;
        if (!client->isAuthenticated() || (!cues && !items))
            continue;
        if (slices >= SlicesPerTurn) {
            more = true;
            m_pumpFrom = (m_pumpFrom + n) % m_clients.size();
            break;
        }
        // One that has not read the last slice waits for its drained signal.
        if (client->backlog() >= SliceBacklogBytes)
            continue;
        // The running order first: it is short, and a panel's GO shows its next cue.
        int sliceCount = 0;
        if (cues) {
            const QByteArray json = cuesMessage(client->cuesSent, client->cueTotal, &sliceCount);
            client->cuesSent += sliceCount;
            client->send(json);
        } else {
            const QByteArray json = itemsMessage(client->sent, client->total, &sliceCount);
            client->sent += sliceCount;
            client->send(json);
        }
        ++slices;
        more = more || client->streaming() || client->streamingCues();
    }
    if (more)
        schedulePump();
}

void OvApiServer::tell(const OvStateFeed::Changes& changes)
{
    if (changes.connection)
        sendAll(connectedJson());
    if (changes.lock)
        sendAll(m_feed->locked() ? "{\"type\":\"locked\",\"locked\":true}" : "{\"type\":\"locked\",\"locked\":false}");
    // The slices carry every item as it is now, its picture's version too.
    if (changes.catalogueReset || !changes.ops.isEmpty() || !changes.statuses.isEmpty() || !changes.names.isEmpty()
        || !changes.pictures.isEmpty())
        m_slices.clear();
    if (changes.catalogueReset || !tellStructure(changes))
        restartCatalogue();
    else
        tellItems(changes);
    if (changes.current) {
        const OvSubCGItem* const current = m_feed->current();
        QByteArray json("{\"type\":\"current\",");
        if (current)
            appendItem(&json, current, m_feed->indexOf(current) + 1);
        else
            json += "\"guid\":null";
        json += '}';
        sendAll(json);
    }
    for (const OvStateFeed::Take& take : changes.takes) {
        const int index = take.item ? m_feed->indexOf(take.item) : -1;
        if (index < 0)
            continue;
        QByteArray json("{\"type\":\"take\",");
        appendItem(&json, take.item, index + 1);
        json += ",\"ms\":" + QByteArray::number(take.ms) + '}';
        sendAll(json);
    }
    tellCues(changes);
}

bool OvApiServer::tellStructure(const OvStateFeed::Changes& changes)
{
    using Op = OvStateFeed::Op;
    const QVector<Op>& ops = changes.ops;
    if (ops.isEmpty())
        return true;
    // The catalogue's size after each change; an item inserted and gone
    // again within the turn cannot be told as inserted: the list goes again.
    QVector<int> totals(ops.size());
    int total = changes.countBefore;
    for (int i = 0; i < ops.size(); ++i) {
        total += ops.at(i).kind == Op::Inserted ? 1 : ops.at(i).kind == Op::Removed ? -1 : 0;
        totals[i] = total;
        if (ops.at(i).kind != Op::Removed && (!ops.at(i).item || m_feed->indexOf(ops.at(i).item) < 0))
            return false;
    }
    if (total != m_feed->count())
        return false;
    // Each message made once, for every client that needs it.
    QHash<qint64, QByteArray> made;
    const auto inserted = [&](int i, int position) -> const QByteArray& {
        QByteArray& json = made[qint64(i) << 32 | quint32(position) << 2 | 0];
        if (json.isEmpty()) {
            json = "{\"type\":\"inserted\",\"position\":" + QByteArray::number(position + 1)
                   + ",\"total\":" + QByteArray::number(totals.at(i)) + ",\"item\":{";
            appendItem(&json, ops.at(i).item, position + 1);
            json += "}}";
        }
        return json;
    };
    const auto removed = [&](int i, int position) -> const QByteArray& {
        QByteArray& json = made[qint64(i) << 32 | quint32(position) << 2 | 1];
        if (json.isEmpty()) {
            json = "{\"type\":\"removed\",\"position\":" + QByteArray::number(position + 1)
                   + ",\"total\":" + QByteArray::number(totals.at(i)) + ",\"guid\":";
            OvProtocol::appendJsonString(&json, ops.at(i).guid);
            json += '}';
        }
        return json;
    };
    const auto moved = [&](int i) -> const QByteArray& {
        QByteArray& json = made[qint64(i) << 32 | 2];
        if (json.isEmpty()) {
            json = "{\"type\":\"moved\",\"from\":" + QByteArray::number(ops.at(i).from + 1)
                   + ",\"to\":" + QByteArray::number(ops.at(i).to + 1)
                   + ",\"total\":" + QByteArray::number(totals.at(i)) + ",\"guid\":";
            OvProtocol::appendJsonString(&json, ops.at(i).guid);
            json += '}';
        }
        return json;
    };
    // What each client is told: the changes within the part of the list it
    // has, so that what it holds stays the start of the console's list. A
    // move across its end is a removal or an insertion for it.
    struct Plan
    {
        OvApiClient* client;
        QVector<const QByteArray*> messages;
        int sent;
    };
    QVector<Plan> plans;
    for (OvApiClient* const client : qAsConst(m_clients)) {
        if (!client->isAuthenticated())
            continue;
        Plan plan{client, {}, client->sent};
        qint64 bytes = 0;
        for (int i = 0; i < ops.size(); ++i) {
            const Op& op = ops.at(i);
            const QByteArray* message = nullptr;
            if (op.kind == Op::Inserted && op.from <= plan.sent) {
                message = &inserted(i, op.from);
                ++plan.sent;
            } else if (op.kind == Op::Removed && op.from < plan.sent) {
                message = &removed(i, op.from);
                --plan.sent;
            } else if (op.kind == Op::Moved && op.from < plan.sent && op.to < plan.sent) {
                message = &moved(i);
            } else if (op.kind == Op::Moved && op.from < plan.sent) {
                message = &removed(i, op.from);
                --plan.sent;
            } else if (op.kind == Op::Moved && op.to < plan.sent) {
                message = &inserted(i, op.to);
                ++plan.sent;
            }
            if (!message)
                continue;
            bytes += message->size();
            // More than a slice's worth: sent again, paced by each client's reading.
            if (bytes > SliceBytes)
                return false;
            plan.messages.append(message);
        }
        plans.append(std::move(plan));
    }
    for (const Plan& plan : qAsConst(plans)) {
        for (const QByteArray* const message : plan.messages)
            plan.client->send(*message);
        plan.client->sent = plan.sent;
        plan.client->total = m_feed->count();
    }
    schedulePump();
    return true;
}

void OvApiServer::tellItems(const OvStateFeed::Changes& changes)
{
    // Each message made once; a client is sent those within what it has. A
    // burst larger than a slice goes as a new stream instead, paced by each
    // client's reading: never more at once than a client is allowed to lag.
    struct Change
    {
        int index;
        QByteArray json;
    };
    QList<Change> messages;
    QSet<const OvSubCGItem*> told;
    qint64 bytes = 0;
    for (const auto* list : {&changes.statuses, &changes.names, &changes.pictures}) {
        const bool picture = list == &changes.pictures;
        for (const QPointer<OvSubCGItem>& item : *list) {
            const int index = item ? m_feed->indexOf(item) : -1;
            if (index < 0 || (!picture && told.contains(item)))
                continue;
            QByteArray json;
            if (!picture) {
                told.insert(item);
                json = "{\"type\":\"item\",";
                appendItem(&json, item, index + 1);
            } else {
                json = "{\"type\":\"picture\",";
                appendKey(&json, "guid");
                OvProtocol::appendJsonString(&json, item->guid());
                json += ",\"position\":" + QByteArray::number(index + 1);
                json += ",\"picture\":" + QByteArray::number(m_feed->pictureVersion(item));
            }
            json += '}';
            bytes += json.size();
            if (bytes > SliceBytes) {
                restartCatalogue();
                return;
            }
            messages.append({index, json});
        }
    }
    for (const Change& message : qAsConst(messages))
        for (OvApiClient* const client : qAsConst(m_clients))
            if (client->isAuthenticated() && message.index < client->sent)
                client->send(message.json);
}

void OvApiServer::tellCues(const OvStateFeed::Changes& changes)
{
    if (changes.cueStructure) {
        m_cueSlices.clear();
        restartCues();
        return;
    }
    if (!changes.cueRows.isEmpty()) {
        m_cueSlices.clear();
        QList<QPair<int, QByteArray>> messages;
        qint64 bytes = 0;
        for (const int row : changes.cueRows) {
            QByteArray json("{\"type\":\"cue\",\"index\":" + QByteArray::number(row + 1) + ',');
            appendCue(&json, row);
            json += '}';
            bytes += json.size();
            // Many at once (a new catalogue renamed them all): the order again instead.
            if (bytes > SliceBytes) {
                restartCues();
                return;
            }
            messages.append({row, json});
        }
        for (const auto& [row, json] : qAsConst(messages))
            for (OvApiClient* const client : qAsConst(m_clients))
                if (client->isAuthenticated() && row < client->cuesSent)
                    client->send(json);
    }
    // The slices do not hold the mark: each message adds it as it is made.
    if (changes.nextCue)
        sendAll("{\"type\":\"next\",\"next\":" + nextJson() + '}');
}
