#include "net/OvApiServer.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "log/OvCGMessage.h"
#include "net/OvApiClient.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
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

void appendItem(QByteArray* json, const OvSubCGItem* item, int position)
{
    appendKey(json, "guid");
    OvProtocol::appendJsonString(json, item->guid());
    *json += ',';
    appendKey(json, "name");
    OvProtocol::appendJsonString(json, item->name());
    *json += ",\"position\":" + QByteArray::number(position);
    *json += ",\"status\":" + QByteArray::number(OvCGListModel::instance()->confirmedStatus(item));
    *json += item->image().isNull() ? ",\"picture\":false" : ",\"picture\":true";
}

void appendItems(QByteArray* json, int from, int to)
{
    OvCGListModel* const model = OvCGListModel::instance();
    *json += '[';
    for (int i = from; i < to; ++i) {
        if (i > from)
            *json += ',';
        *json += '{';
        appendItem(json, model->cgAt(i), i + 1);
        *json += '}';
    }
    *json += ']';
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
    : QObject(parent), m_flush(this, [this] { flushChanges(); }), m_slices(SliceCacheBytes), m_pngs(PngCacheBytes)
{
    m_server = new QWebSocketServer(QStringLiteral("OvCGVestrel"), QWebSocketServer::NonSecureMode, this);
    m_server->setMaxPendingConnections(MaxClients);
    connect(m_server, &QWebSocketServer::newConnection, this, &OvApiServer::accept);
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
    connect(model, &OvCGListModel::SingalCGRemoved, this, catalogueChanged);
    connect(model, &OvCGListModel::SignalCgMoved, this, catalogueChanged);
    connect(model, &OvCGListModel::SingalCGUpdate, this, [this](int, int updateType, OvSubCGItem* item) {
        m_slices.clear();
        // The console's own provisional state is not pushed: the server's answer follows.
        if ((updateType == OvSubCGItem::StatusUpdate && item->status() != OvCgStatus::Sending)
            || updateType == OvSubCGItem::NameUpdate) {
            if (updateType == OvSubCGItem::NameUpdate && OvRunningOrder::instance()->count() > 0) {
                m_cuesStale = true;
                m_cuesChanged = true;
            }
            if (!m_changedSet.contains(item)) {
                m_changedSet.insert(item);
                m_changed.append(item);
            }
            m_flush.request();
        }
    });
    connect(model, &OvCGListModel::pictureChanged, this, [this](OvSubCGItem* item) {
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
    connect(OvRunningOrder::instance(), &OvRunningOrder::changed, this, [this] {
        m_cuesStale = true;
        m_cuesChanged = true;
        m_flush.request();
    });
}

OvApiServer::~OvApiServer()
{
    // Thumbnails being made hold no client; what they post back dies with us.
    m_pool.waitForDone();
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

bool OvApiServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    if (m_server->listen(address, port))
        return true;
    *error = m_server->errorString();
    return false;
}

quint16 OvApiServer::port() const
{
    return m_server->serverPort();
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
        // Connections that have not said who they are hold no panel's place:
        // the oldest of them gives way (a panel says it at once).
        int waiting = 0;
        OvApiClient* oldest = nullptr;
        for (OvApiClient* const other : qAsConst(m_clients))
            if (!other->isAuthenticated() && !other->isClosing()) {
                ++waiting;
                if (!oldest)
                    oldest = other;
            }
        if (oldest && waiting >= MaxClients)
            oldest->close(CloseUnauthorized, QStringLiteral("unauthorized"));
        socket->setMaxAllowedIncomingMessageSize(MaxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(MaxMessageBytes);
        m_clients.append(client);
        connect(client, &OvApiClient::textReceived, this, &OvApiServer::receive);
        connect(client, &OvApiClient::gone, this, &OvApiServer::remove);
        connect(client, &OvApiClient::drained, this, [this](OvApiClient* c) {
            if (c->streaming())
                schedulePump();
        });
        // A connection that never says who it is gives its place back.
        QTimer::singleShot(AuthTimeoutMs, client, [client] {
            if (!client->isAuthenticated())
                client->close(CloseUnauthorized, QStringLiteral("unauthorized"));
        });
    }
}

void OvApiServer::remove(OvApiClient* client)
{
    if (client->isDropped()) {
        ++m_dropped;
        note(tr("远程接口：客户端%1未读取数据，已断开").arg(client->peer()));
    }
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
    const QJsonValue token = message.value(QStringLiteral("token"));
    if (message.value(QStringLiteral("cmd")).toString() != QLatin1String("auth") || !token.isString()
        || !sameSecret(token.toString().toUtf8(), m_token.toUtf8())) {
        ++m_refusedAuth;
        note(tr("远程接口拒绝了来自%1的连接：令牌不符").arg(client->peer()));
        client->close(CloseUnauthorized, QStringLiteral("unauthorized"));
        return;
    }
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

QByteArray OvApiServer::cuesJson()
{
    if (!m_cuesStale)
        return m_cues;
    OvRunningOrder* const order = OvRunningOrder::instance();
    QByteArray json("\"cues\":[");
    for (int i = 0; i < order->count(); ++i) {
        const OvRunningOrder::Cue cue = order->cueAt(i);
        json += i > 0 ? ",{" : "{";
        appendKey(&json, "guid");
        OvProtocol::appendJsonString(&json, cue.guid.toString());
        json += ',';
        appendKey(&json, "name");
        // The item's name while it is listed, the one kept with the cue while not.
        const OvSubCGItem* const item = order->itemAt(i);
        OvProtocol::appendJsonString(&json, item ? item->name() : cue.name);
        json += ",\"duration\":" + QByteArray::number(cue.durationS) + '}';
    }
    json += "],\"next\":";
    json += order->nextIndex() < 0 ? QByteArray("null") : QByteArray::number(order->nextIndex() + 1);
    m_cues = json;
    m_cuesStale = false;
    return m_cues;
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
    client->total = model->count();
    client->sent = qMin(SliceItems, client->total);
    json += ",\"total\":" + QByteArray::number(client->total) + ",\"items\":";
    json += itemsAt(0);
    json += ',' + cuesJson() + '}';
    client->send(json);
    // The rest within the turns' budget: many panels starting at once share it.
    schedulePump();
}

void OvApiServer::schedulePump()
{
    if (m_pumpScheduled)
        return;
    m_pumpScheduled = true;
    QTimer::singleShot(0, this, &OvApiServer::pumpCatalogue);
}

QByteArray OvApiServer::itemsAt(int offset) const
{
    if (const QByteArray* const cached = m_slices.object(offset))
        return *cached;
    const int end = qMin(OvCGListModel::instance()->count(), offset + SliceItems);
    QByteArray json;
    appendItems(&json, offset, qMax(offset, end));
    m_slices.insert(offset, new QByteArray(json), json.size());
    return json;
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
            client->send(slice(0, 0));
    }
    schedulePump();
}

QByteArray OvApiServer::slice(int offset, int total) const
{
    QByteArray json("{\"type\":\"items\",\"offset\":");
    json += QByteArray::number(offset) + ",\"total\":" + QByteArray::number(total) + ",\"items\":";
    json += total == 0 ? QByteArray("[]") : itemsAt(offset);
    json += '}';
    return json;
}

void OvApiServer::pumpCatalogue()
{
    m_pumpScheduled = false;
    const int count = OvCGListModel::instance()->count();
    int slices = 0;
    bool more = false;
    for (int n = 0; n < m_clients.size(); ++n) {
        OvApiClient* const client = m_clients.at((m_pumpFrom + n) % m_clients.size());
        if (!client->isAuthenticated() || !client->streaming())
            continue;
        // The catalogue shrank within the turn: the restart at its end follows.
        if (client->sent >= count)
            continue;
        if (slices >= SlicesPerTurn) {
            more = true;
            m_pumpFrom = (m_pumpFrom + n) % m_clients.size();
            break;
        }
        // One that has not read the last slice waits for its drained signal.
        if (client->backlog() >= SliceBacklogBytes)
            continue;
        const QByteArray json = slice(client->sent, client->total);
        client->sent = qMin(client->total, client->sent + SliceItems);
        ++slices;
        client->send(json);
        more = more || client->streaming();
    }
    if (more)
        schedulePump();
}

QByteArray OvApiServer::itemMessage(const OvSubCGItem* item, int position) const
{
    QByteArray json("{\"type\":\"item\",");
    appendItem(&json, item, position);
    json += '}';
    return json;
}

void OvApiServer::flushChanges()
{
    OvCGListModel* const model = OvCGListModel::instance();
    const QList<QPointer<OvSubCGItem>> changed = std::exchange(m_changed, {});
    const QList<QPointer<OvSubCGItem>> pictures = std::exchange(m_pictures, {});
    m_changedSet.clear();
    m_picturesSet.clear();
    if (std::exchange(m_catalogueChanged, false)) {
        // The slices carry every item as it is now.
        m_cuesStale = true;
        restartCatalogue();
    } else {
        // Each message made once; a client is sent those within what it has.
        for (const QPointer<OvSubCGItem>& item : changed) {
            const int index = item ? model->indexOfCg(item) : -1;
            if (index < 0)
                continue;
            const QByteArray json = itemMessage(item, index + 1);
            for (OvApiClient* const client : qAsConst(m_clients))
                if (client->isAuthenticated() && index < client->sent)
                    client->send(json);
        }
        for (const QPointer<OvSubCGItem>& item : pictures) {
            const int index = item ? model->indexOfCg(item) : -1;
            if (index < 0)
                continue;
            QByteArray json("{\"type\":\"picture\",");
            appendKey(&json, "guid");
            OvProtocol::appendJsonString(&json, item->guid());
            json += '}';
            for (OvApiClient* const client : qAsConst(m_clients))
                if (client->isAuthenticated() && index < client->sent)
                    client->send(json);
        }
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
    if (std::exchange(m_cuesChanged, false))
        sendAll("{\"type\":\"cues\"," + cuesJson() + '}');
}
