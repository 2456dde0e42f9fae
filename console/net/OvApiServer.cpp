#include "net/OvApiServer.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "log/OvCGMessage.h"
#include "log/OvCountedNotice.h"
#include "net/OvApiClient.h"
#include "net/OvApiListener.h"
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
#include <QWebSocketCorsAuthenticator>
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

// Scheme and host compare without regard to case, and an operator may write
// the origin with a slash at its end; a browser sends neither.
QString normalOrigin(const QString& origin)
{
    QString normal = origin.trimmed().toLower();
    while (normal.endsWith(QLatin1Char('/')))
        normal.chop(1);
    return normal;
}

const char* errorOf(OvTakeCommand::Result result)
{
    switch (result) {
    case OvTakeCommand::Taken:
        return nullptr;
    case OvTakeCommand::NoItem:
        return "no such item";
    case OvTakeCommand::Refused:
        return "refused";
    case OvTakeCommand::Hidden:
        return "hidden";
    case OvTakeCommand::Locked:
        return "locked";
    case OvTakeCommand::Repeated:
        return "repeated";
    }
    return "refused";
}

}  // namespace

OvApiServer::OvApiServer(QObject* parent)
    : QObject(parent)
    , m_flush(this, [this] { flushChanges(); })
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
    connect(m_server, &QWebSocketServer::newConnection, this, &OvApiServer::accept);
    m_closedEarly = new OvCountedNotice(
        [](qint64 count) { return tr("远程接口：%1个连接未完成认证即被断开（等待的连接过多或超时）").arg(count); },
        this);
    connect(m_listener, &OvApiListener::closedEarly, m_closedEarly, [this] { m_closedEarly->add(); });
    // A web page the operator has open must not reach the console: a browser
    // always says where the page came from, panel software says nothing.
    connect(m_server, &QWebSocketServer::originAuthenticationRequired, this,
            [this](QWebSocketCorsAuthenticator* authenticator) {
                const QString origin = authenticator->origin();
                authenticator->setAllowed(origin.isEmpty() || m_origins.contains(normalOrigin(origin)));
            });
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

    OvCGListModel* const model = OvCGListModel::instance();
    const auto catalogueChanged = [this] {
        m_slices.clear();
        m_catalogueChanged = true;
        m_flush.request();
    };
    connect(model, &OvCGListModel::SingalCGInserted, this, catalogueChanged);
    connect(model, &OvCGListModel::SingalCGRemoved, this, [this, catalogueChanged](int, OvSubCGItem* item) {
        m_pictureVersions.remove(item);
        catalogueChanged();
    });
    connect(model, &OvCGListModel::SignalCgMoved, this, catalogueChanged);
    connect(model, &OvCGListModel::SingalCGUpdate, this, [this](int, int updateType, OvSubCGItem* item) {
        m_slices.clear();
        // The console's own provisional state is not pushed: the server's answer follows.
        if ((updateType == OvSubCGItem::StatusUpdate && item->status() != OvCgStatus::Sending)
            || updateType == OvSubCGItem::NameUpdate) {
            if (!m_changedSet.contains(item)) {
                m_changedSet.insert(item);
                m_changed.append(item);
            }
            m_flush.request();
        }
    });
    connect(model, &OvCGListModel::pictureChanged, this, [this](OvSubCGItem* item) {
        // Told when the picture itself changed: a change announced before its
        // picture is decoded keeps the old one, and its version, until then.
        const QPixmap picture = item->image();
        const auto known = m_pictureVersions.constFind(item);
        if (picture.isNull() ? known == m_pictureVersions.cend()
                             : known != m_pictureVersions.cend() && known->cacheKey == picture.cacheKey())
            return;
        if (picture.isNull())
            m_pictureVersions.remove(item);
        else
            m_pictureVersions.insert(item, {++m_pictureSerial, picture.cacheKey()});
        m_slices.clear();
        if (!m_picturesSet.contains(item)) {
            m_picturesSet.insert(item);
            m_pictures.append(item);
        }
        m_flush.request();
    });
    connect(model, &OvCGListModel::SignalCurrentCGChanged, this, [this] {
        m_currentChanged = true;
        m_flush.request();
    });
    connect(model, &OvCGListModel::takeConfirmed, this, [this, model](OvSubCGItem* item, int ms) {
        QByteArray json("{\"type\":\"take\",");
        appendItem(&json, item, model->indexOfCg(item) + 1);
        json += ",\"ms\":" + QByteArray::number(ms) + '}';
        sendAll(json);
    });
    connect(OvTransferServer::instance(), &OvTransferServer::signalConnect, this,
            [this] { sendAll(connectedJson()); });
    connect(OvTakeCommand::instance(), &OvTakeCommand::lockedChanged, this, [this](bool locked) {
        sendAll(compact({{QStringLiteral("type"), QStringLiteral("locked")}, {QStringLiteral("locked"), locked}}));
    });
    // The running order: a change of its structure sends it again from its
    // start; any other change is found by comparing with what was sent.
    OvRunningOrder* const order = OvRunningOrder::instance();
    const auto cuesRestart = [this] {
        m_cueSlices.clear();
        m_cuesRestart = true;
        m_flush.request();
    };
    const auto cuesChanged = [this] {
        m_cueSlices.clear();
        m_cuesDirty = true;
        m_flush.request();
    };
    connect(order, &OvRunningOrder::cueInserted, this, cuesRestart);
    connect(order, &OvRunningOrder::cueRemoved, this, cuesRestart);
    connect(order, &OvRunningOrder::cueMoved, this, cuesRestart);
    connect(order, &OvRunningOrder::cuesReset, this, cuesRestart);
    connect(order, &OvRunningOrder::cuesChanged, this, cuesChanged);
    connect(order, &OvRunningOrder::changed, this, cuesChanged);
    for (int i = 0; i < order->count(); ++i)
        m_shownCues.append(shownCue(i));
    m_shownNext = order->nextIndex();
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

void OvApiServer::setToken(const QString& token)
{
    m_token = token;
}

void OvApiServer::setAllowedOrigins(const QStringList& origins)
{
    m_origins.clear();
    for (const QString& origin : origins)
        m_origins.append(normalOrigin(origin));
}

void OvApiServer::setStepHandlers(std::function<void()> next, std::function<void()> previous)
{
    m_next = std::move(next);
    m_previous = std::move(previous);
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
    OvCGMessage& log = OvCGMessage::instance();
    log.addMessage(SystemMessage, OvCGMessage::systemTitle(),
                   tr("远程接口在%1:%2上监听").arg(address.toString()).arg(m_listener->port()));
    if (!address.isLoopback())
        log.addMessage(SystemMessage, OvCGMessage::systemTitle(),
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

void OvApiServer::upgrade(QTcpSocket* socket)
{
    m_server->handleConnection(socket);
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
    OvCGMessage::instance().addMessage(SystemMessage, OvCGMessage::systemTitle(), text);
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
    if (!token.isString() || !sameSecret(token.toString().toUtf8(), m_token.toUtf8())) {
        ++m_refusedAuth;
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
    client->setAuthenticated();
    answer(client, id, nullptr);
    sendState(client);
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

OvSubCGItem* OvApiServer::resolve(const QJsonValue& ref) const
{
    OvCGListModel* const model = OvCGListModel::instance();
    if (ref.isUndefined() || ref.isNull())
        return model->currentCg();
    if (ref.isDouble()) {
        const double position = ref.toDouble();
        // Checked before any conversion: a client may send any number.
        if (position >= 1 && position <= model->count() && std::floor(position) == position)
            return model->cgAt(int(position) - 1);
        return nullptr;
    }
    if (!ref.isString())
        return nullptr;
    // A guid in any of its written forms, else a name.
    const QString text = ref.toString();
    const QUuid guid(text);
    if (!guid.isNull())
        if (OvSubCGItem* const item = model->findCg(guid))
            return item;
    return model->findCgByName(text);
}

void OvApiServer::command(OvApiClient* client, const QJsonObject& message)
{
    const QString cmd = message.value(QStringLiteral("cmd")).toString();
    const QJsonValue id = message.value(QStringLiteral("id"));
    // null names no item, as absent does: the current one.
    const QJsonValue named = message.value(QStringLiteral("item"));
    const QJsonValue ref = named.isNull() ? QJsonValue(QJsonValue::Undefined) : named;
    OvTakeCommand* const takes = OvTakeCommand::instance();
    const bool connected = OvTransferServer::instance()->connectionState() == OvTransferServer::LoggedIn;
    const bool publish = cmd == QLatin1String("pgm") || cmd == QLatin1String("pvw") || cmd == QLatin1String("cancel");

    if ((publish || cmd == QLatin1String("go") || cmd == QLatin1String("clearall")) && !connected) {
        answer(client, id, "not connected");
    } else if (publish) {
        const int status = cmd == QLatin1String("pgm")   ? OvCgStatus::OnPgm
                           : cmd == QLatin1String("pvw") ? OvCgStatus::OnPvw
                                                         : OvCgStatus::Idle;
        // The current item as its button would take it (not while the search
        // hides it); a named one as the operator does it.
        if (ref.isUndefined()) {
            answer(client, id, errorOf(takes->take(OvTakeCommand::RemoteApi, status)));
        } else {
            OvSubCGItem* const item = resolve(ref);
            answer(client, id, item ? errorOf(takes->takeItem(OvTakeCommand::RemoteApi, item, status)) : "no such item");
        }
    } else if (cmd == QLatin1String("select")) {
        OvSubCGItem* const item = resolve(ref);
        if (item)
            OvCGListModel::instance()->setCurrentCg(item);
        answer(client, id, item ? nullptr : "no such item");
    } else if (cmd == QLatin1String("next") || cmd == QLatin1String("prev")) {
        const std::function<void()>& handler = cmd == QLatin1String("next") ? m_next : m_previous;
        if (handler)
            handler();
        else
            OvCGListModel::instance()->stepCurrent(cmd == QLatin1String("next") ? 1 : -1);
        answer(client, id, nullptr);
    } else if (cmd == QLatin1String("go")) {
        const OvTakeCommand::Result result = OvRunningOrder::instance()->go(OvTakeCommand::RemoteApi);
        answer(client, id, result == OvTakeCommand::NoItem ? "nothing to go" : errorOf(result));
    } else if (cmd == QLatin1String("lock") || cmd == QLatin1String("unlock")) {
        takes->setLocked(cmd == QLatin1String("lock"));
        answer(client, id, nullptr);
    } else if (cmd == QLatin1String("clearall")) {
        // No question: the panel's button is deliberate.
        answer(client, id, errorOf(takes->clearAll(OvTakeCommand::RemoteApi)));
    } else {
        answer(client, id, cmd.isEmpty() ? "bad message" : "unknown command");
    }
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
    const OvSubCGItem* const item = resolve(message.value(QStringLiteral("item")));
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

QByteArray OvApiServer::connectedJson() const
{
    OvTransferServer* const transfer = OvTransferServer::instance();
    const bool connected = transfer->connectionState() == OvTransferServer::LoggedIn;
    QByteArray json("{\"type\":\"connected\",\"connected\":");
    json += connected ? "true" : "false";
    json += ",\"server\":";
    if (connected)
        OvProtocol::appendJsonString(&json, QStringLiteral("%1:%2").arg(transfer->host()).arg(transfer->port()));
    else
        json += "null";
    json += '}';
    return json;
}

qint64 OvApiServer::pictureVersion(const OvSubCGItem* item) const
{
    const QPixmap picture = item->image();
    if (picture.isNull())
        return 0;
    auto it = m_pictureVersions.find(item);
    // A picture this server has not seen change (it came before the server).
    if (it == m_pictureVersions.end())
        it = m_pictureVersions.insert(item, {++m_pictureSerial, picture.cacheKey()});
    return it->version;
}

void OvApiServer::appendItem(QByteArray* json, const OvSubCGItem* item, int position) const
{
    appendKey(json, "guid");
    OvProtocol::appendJsonString(json, item->guid());
    *json += ',';
    appendKey(json, "name");
    OvProtocol::appendJsonString(json, apiName(item->name()));
    *json += ",\"position\":" + QByteArray::number(position);
    *json += ",\"status\":" + QByteArray::number(OvCGListModel::instance()->confirmedStatus(item));
    *json += ",\"picture\":" + QByteArray::number(pictureVersion(item));
}

OvApiServer::ShownCue OvApiServer::shownCue(int index) const
{
    OvRunningOrder* const order = OvRunningOrder::instance();
    const OvRunningOrder::Cue cue = order->cueAt(index);
    // The item's name while it is listed, the one kept with the cue while not.
    const OvSubCGItem* const item = order->itemAt(index);
    return ShownCue{cue.guid, apiName(item ? item->name() : cue.name), cue.durationS};
}

namespace {

void appendCue(QByteArray* json, const QUuid& guid, const QString& name, int duration)
{
    appendKey(json, "guid");
    OvProtocol::appendJsonString(json, guid.toString());
    *json += ',';
    appendKey(json, "name");
    OvProtocol::appendJsonString(json, name);
    *json += ",\"duration\":" + QByteArray::number(duration);
}

}  // namespace

QByteArray OvApiServer::nextJson() const
{
    const int next = OvRunningOrder::instance()->nextIndex();
    return next < 0 ? QByteArray("null") : QByteArray::number(next + 1);
}

OvApiServer::Slice OvApiServer::itemsAt(int offset) const
{
    if (const Slice* const cached = m_slices.object(offset))
        return *cached;
    OvCGListModel* const model = OvCGListModel::instance();
    Slice slice;
    slice.json = sliceOf(offset, model->count(), &slice.count, [this, model](QByteArray* json, int i) {
        *json += '{';
        appendItem(json, model->cgAt(i), i + 1);
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
    slice.json = sliceOf(offset, OvRunningOrder::instance()->count(), &slice.count, [this](QByteArray* json, int i) {
        const ShownCue cue = shownCue(i);
        *json += '{';
        appendCue(json, cue.guid, cue.name, cue.duration);
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
    OvCGListModel* const model = OvCGListModel::instance();
    const QByteArray connected = connectedJson();
    // The connection's fields without its braces and type.
    const int from = connected.indexOf(",\"connected\"") + 1;
    QByteArray json("{\"type\":\"state\",");
    json += connected.mid(from, connected.size() - from - 1);
    json += OvTakeCommand::instance()->isLocked() ? ",\"locked\":true" : ",\"locked\":false";
    json += ",\"current\":";
    if (const OvSubCGItem* const current = model->currentCg())
        OvProtocol::appendJsonString(&json, current->guid());
    else
        json += "null";
    // The first slice of each; the rest within the turns' budget, so that
    // many panels starting at once share it.
    const Slice items = itemsAt(0);
    client->total = model->count();
    client->sent = items.count;
    json += ",\"total\":" + QByteArray::number(client->total) + ",\"items\":" + items.json;
    const Slice cues = cuesAt(0);
    client->cueTotal = OvRunningOrder::instance()->count();
    client->cuesSent = cues.count;
    json += ",\"cueTotal\":" + QByteArray::number(client->cueTotal) + ",\"cues\":" + cues.json;
    json += ",\"next\":" + nextJson() + '}';
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
    const int total = OvCGListModel::instance()->count();
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
    OvRunningOrder* const order = OvRunningOrder::instance();
    const int total = order->count();
    for (OvApiClient* const client : qAsConst(m_clients)) {
        if (!client->isAuthenticated())
            continue;
        client->cueTotal = total;
        client->cuesSent = 0;
        if (total == 0)
            client->send("{\"type\":\"cues\",\"offset\":0,\"total\":0,\"cues\":[],\"next\":null}");
    }
    m_shownCues.clear();
    for (int i = 0; i < total; ++i)
        m_shownCues.append(shownCue(i));
    m_shownNext = order->nextIndex();
    schedulePump();
}

void OvApiServer::pump()
{
    m_pumpScheduled = false;
    const int count = OvCGListModel::instance()->count();
    const int cueCount = OvRunningOrder::instance()->count();
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

void OvApiServer::flushChanges()
{
    OvCGListModel* const model = OvCGListModel::instance();
    const QList<QPointer<OvSubCGItem>> changed = std::exchange(m_changed, {});
    const QList<QPointer<OvSubCGItem>> pictures = std::exchange(m_pictures, {});
    m_changedSet.clear();
    m_picturesSet.clear();
    // Each message made once; a client is sent those within what it has. A
    // burst larger than a slice goes as a new stream instead, paced by each
    // client's reading: never more at once than a client is allowed to lag.
    struct Change
    {
        int index;
        QByteArray json;
    };
    QList<Change> messages;
    qint64 bytes = 0;
    bool restart = std::exchange(m_catalogueChanged, false);
    for (int pass = 0; pass < 2 && !restart; ++pass) {
        for (const QPointer<OvSubCGItem>& item : pass == 0 ? changed : pictures) {
            const int index = item ? model->indexOfCg(item) : -1;
            if (index < 0)
                continue;
            QByteArray json;
            if (pass == 0) {
                json = "{\"type\":\"item\",";
                appendItem(&json, item, index + 1);
            } else {
                json = "{\"type\":\"picture\",";
                appendKey(&json, "guid");
                OvProtocol::appendJsonString(&json, item->guid());
                json += ",\"position\":" + QByteArray::number(index + 1);
                json += ",\"picture\":" + QByteArray::number(pictureVersion(item));
            }
            json += '}';
            bytes += json.size();
            if (bytes > SliceBytes) {
                restart = true;
                break;
            }
            messages.append({index, json});
        }
    }
    if (restart) {
        // The slices carry every item as it is now, its picture's version too.
        restartCatalogue();
    } else {
        for (const Change& message : qAsConst(messages))
            for (OvApiClient* const client : qAsConst(m_clients))
                if (client->isAuthenticated() && message.index < client->sent)
                    client->send(message.json);
    }
    if (std::exchange(m_currentChanged, false)) {
        const OvSubCGItem* const current = model->currentCg();
        QByteArray json("{\"type\":\"current\",");
        if (current) {
            appendItem(&json, current, model->indexOfCg(current) + 1);
        } else {
            json += "\"guid\":null";
        }
        json += '}';
        sendAll(json);
    }
    flushCues();
}

void OvApiServer::flushCues()
{
    OvRunningOrder* const order = OvRunningOrder::instance();
    bool restart = std::exchange(m_cuesRestart, false) || m_shownCues.size() != order->count();
    if (!std::exchange(m_cuesDirty, false) && !restart)
        return;
    struct Change
    {
        int index;
        QByteArray json;
    };
    QList<Change> messages;
    qint64 bytes = 0;
    for (int i = 0; i < m_shownCues.size() && !restart; ++i) {
        const ShownCue cue = shownCue(i);
        if (cue == m_shownCues.at(i))
            continue;
        QByteArray json("{\"type\":\"cue\",\"index\":" + QByteArray::number(i + 1) + ',');
        appendCue(&json, cue.guid, cue.name, cue.duration);
        json += '}';
        bytes += json.size();
        // Many at once (a new catalogue renamed them all): the order again instead.
        restart = bytes > SliceBytes;
        messages.append({i, json});
        m_shownCues[i] = cue;
    }
    if (restart) {
        restartCues();
        return;
    }
    for (const Change& message : qAsConst(messages))
        for (OvApiClient* const client : qAsConst(m_clients))
            if (client->isAuthenticated() && message.index < client->cuesSent)
                client->send(message.json);
    if (order->nextIndex() != m_shownNext) {
        m_shownNext = order->nextIndex();
        sendAll("{\"type\":\"next\",\"next\":" + nextJson() + '}');
    }
}
