#include "OvSimServer.h"

#include "OvSimConsoleLink.h"
#include "OvSimLog.h"

#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUuid>

#include <utility>

namespace {

const QString kLogin = QStringLiteral("login");
const QString kSync = QStringLiteral("syncCGList");
const QString kHeart = QStringLiteral("heart");
const QString kUpdate = QStringLiteral("updateCG");

}  // namespace

OvSimServer::OvSimServer(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
    , m_password(QStringLiteral("580317"))
    , m_guid(OvSimCatalogue::newGuid())
{
    connect(m_server, &QTcpServer::newConnection, this, &OvSimServer::onNewConnection);
}

bool OvSimServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    if (m_server->listen(address, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

quint16 OvSimServer::port() const
{
    return m_server->serverPort();
}

QHostAddress OvSimServer::address() const
{
    return m_server->serverAddress();
}

int OvSimServer::loggedInCount() const
{
    int count = 0;
    for (const OvSimConsoleLink* link : m_links) {
        if (link->state() == OvSimConsoleLink::State::LoggedIn)
            ++count;
    }
    return count;
}

void OvSimServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        // An answer and the notification after it go out at once, as from a
        // studio server, not held for the console's delayed acknowledgement.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto* link = new OvSimConsoleLink(m_nextId++, socket, this);
        m_links.insert(link->id(), link);
        connect(link, &OvSimConsoleLink::messageReceived, this, &OvSimServer::onMessage);
        connect(link, &OvSimConsoleLink::closed, this, &OvSimServer::onLinkClosed);
        OvSimLog::line(QStringLiteral("console %1 connected from %2").arg(link->id()).arg(link->peerText()));
    }
}

void OvSimServer::onLinkClosed(OvSimConsoleLink* link)
{
    m_links.remove(link->id());
    if (link->hasLoggedIn())
        notifyConnection(link, 1);
    link->deleteLater();
}

void OvSimServer::onMessage(OvSimConsoleLink* link, const QJsonObject& message)
{
    const QString cmd = message.value(QStringLiteral("cmd")).toString();
    const QString cmdType = message.value(QStringLiteral("cmdType")).toString();
    if (cmdType == QLatin1String("response")) {
        const int code = message.value(QStringLiteral("code")).toInt();
        if (code < 0)
            OvSimLog::line(QStringLiteral("console %1 answered %2 with failure code %3").arg(link->id()).arg(cmd).arg(code));
        return;
    }
    if (cmdType != QLatin1String("request"))
        OvSimLog::line(QStringLiteral("console %1: note: cmdType \"%2\" taken as a request").arg(link->id()).arg(cmdType));
    if (link->state() == OvSimConsoleLink::State::Leaving) {
        OvSimLog::line(QStringLiteral("console %1 is being closed; %2 not answered").arg(link->id()).arg(cmd));
        return;
    }

    const bool known = cmd == kLogin || cmd == kSync || cmd == kHeart || cmd == kUpdate;
    if (!known) {
        respond(link, cmd, kCodeUnknownCommand, QStringLiteral("unknown command"));
        return;
    }
    if (!message.value(QStringLiteral("value")).isObject())
        OvSimLog::line(QStringLiteral("console %1: note: %2 has no \"value\" object").arg(link->id()).arg(cmd));
    const QJsonObject value = message.value(QStringLiteral("value")).toObject();
    const int code = m_pendingCodes.take(cmd);  // 0 when none was set

    if (cmd == kLogin) {
        handleLogin(link, value, code);
        return;
    }
    if (link->state() != OvSimConsoleLink::State::LoggedIn) {
        respond(link, cmd, kCodeNotLoggedIn, QStringLiteral("not logged in"));
        return;
    }
    const QString token = message.value(QStringLiteral("token")).toString();
    if (token != link->token()) {
        OvSimLog::line(QStringLiteral("console %1: token \"%2\" is not the one issued (%3)")
                           .arg(link->id())
                           .arg(token, link->token()));
        respond(link, cmd, kCodeNotLoggedIn, QStringLiteral("wrong token"));
        return;
    }
    if (code < 0) {
        respond(link, cmd, code, QStringLiteral("refused on request of the simulator's operator"));
        return;
    }
    if (cmd == kHeart)
        respond(link, cmd, code, {});
    else if (cmd == kSync)
        respond(link, cmd, code, {}, {{QStringLiteral("cgList"), m_catalogue.toJsonArray()}});
    else if (m_holdUpdates) {
        OvSimLog::line(QStringLiteral("console %1: updateCG held").arg(link->id()));
        m_heldUpdates.append({link, value, code});
    } else
        handleUpdate(link, value, code);
}

void OvSimServer::setHoldUpdates(bool hold)
{
    m_holdUpdates = hold;
    if (hold)
        return;
    const QList<HeldUpdate> held = std::exchange(m_heldUpdates, {});
    for (const HeldUpdate& update : held) {
        if (update.link && update.link->state() == OvSimConsoleLink::State::LoggedIn)
            handleUpdate(update.link, update.value, update.code);
    }
}

void OvSimServer::handleLogin(OvSimConsoleLink* link, const QJsonObject& value, int code)
{
    if (m_ignoreLogin) {
        OvSimLog::line(QStringLiteral("console %1: login ignored on purpose").arg(link->id()));
        return;
    }
    if (m_loginDelayMs > 0) {
        OvSimLog::line(QStringLiteral("console %1: login answer delayed by %2 ms").arg(link->id()).arg(m_loginDelayMs));
        QTimer::singleShot(m_loginDelayMs, link, [this, link, value, code]() { finishLogin(link, value, code); });
        return;
    }
    finishLogin(link, value, code);
}

void OvSimServer::finishLogin(OvSimConsoleLink* link, const QJsonObject& value, int code)
{
    if (link->state() == OvSimConsoleLink::State::Leaving)
        return;
    if (value.value(QStringLiteral("deviceType")).toString() != QLatin1String("PC")
        || value.value(QStringLiteral("clientVer")).toInt() != 1)
        OvSimLog::line(QStringLiteral("console %1: note: login without deviceType \"PC\" and clientVer 1").arg(link->id()));
    if (link->state() == OvSimConsoleLink::State::LoggedIn) {
        OvSimLog::line(QStringLiteral("console %1 logged in again; keeps its token").arg(link->id()));
        respond(link, kLogin, qMax(code, 0), {}, {{QStringLiteral("token"), link->token()}});
        return;
    }
    const QJsonValue password = value.value(QStringLiteral("password"));
    if (code < 0 || !password.isString() || password.toString() != m_password) {
        const bool refusedByOperator = code < 0;
        OvSimLog::line(QStringLiteral("console %1: login refused (%2)")
                           .arg(link->id())
                           .arg(refusedByOperator ? QStringLiteral("code %1 set by the operator").arg(code)
                                                  : QStringLiteral("wrong password")));
        respond(link, kLogin, refusedByOperator ? code : kCodeRefused,
                refusedByOperator ? QStringLiteral("refused") : QStringLiteral("wrong password"));
        // The console hangs up on a failure code; hanging up first could
        // replace its message with a "remote closed" one.
        link->expectClose(kGraceMs);
        return;
    }
    const QString token = OvSimCatalogue::newGuid();
    link->setLoggedIn(token, value.value(QStringLiteral("deviceName")).toString());
    OvSimLog::line(QStringLiteral("console %1 logged in as \"%2\" from %3, token %4, mac \"%5\"")
                       .arg(link->id())
                       .arg(link->operatorName(), link->addressText(), token,
                            value.value(QStringLiteral("deviceMac")).toString()));
    respond(link, kLogin, code, {}, {{QStringLiteral("token"), token}});
    notifyConnection(link, 0);
}

void OvSimServer::handleUpdate(OvSimConsoleLink* link, const QJsonObject& value, int code)
{
    const QString target = value.value(QStringLiteral("operationTarget")).toString();
    const int type = value.value(QStringLiteral("operationType")).toInt();
    const QJsonObject operationValue = value.value(QStringLiteral("operationValue")).toObject();
    const QJsonObject asked = value.value(QStringLiteral("operator")).toObject();
    const int row = m_catalogue.resolve(target);
    if (row < 0 || m_catalogue.at(row).guid != target) {
        // Not a failure code: the item may just have been removed by someone
        // else, and a failure code would cost the console its connection.
        OvSimLog::line(QStringLiteral("console %1: updateCG for unknown item \"%2\", nothing changed").arg(link->id()).arg(target));
        respond(link, kUpdate, code, QStringLiteral("no such item"));
        return;
    }
    if (type != 1) {
        OvSimLog::line(QStringLiteral("console %1: updateCG of type %2 not supported").arg(link->id()).arg(type));
        respond(link, kUpdate, code, QStringLiteral("unsupported operation type"));
        return;
    }
    if (operationValue.value(QStringLiteral("origStatus")).toInt(-1) != 3)
        OvSimLog::line(QStringLiteral("console %1: note: origStatus is not 3").arg(link->id()));

    const QJsonObject op{{QStringLiteral("operationID"), asked.value(QStringLiteral("operationID")).toString()},
                         {QStringLiteral("operatorAddr"), link->addressText()},
                         {QStringLiteral("operatorName"), link->operatorName()},
                         {QStringLiteral("operatorGuid"), link->token()}};
    const QJsonValue status = operationValue.value(QStringLiteral("curStatus"));
    const int wanted = status.toInt(-1);
    if (!status.isDouble() || wanted < 0 || wanted > 2) {
        // The console waits for a notifyCG before it leaves its pending state,
        // so it gets the unchanged status back.
        OvSimLog::line(QStringLiteral("console %1: curStatus %2 out of range, status kept")
                           .arg(link->id())
                           .arg(OvSimLog::summarise({{QStringLiteral("curStatus"), status}})));
        respond(link, kUpdate, code, QStringLiteral("status out of range, unchanged"));
        link->sendJson({{QStringLiteral("cmd"), QStringLiteral("notifyCG")},
                        {QStringLiteral("cmdType"), QStringLiteral("request")},
                        {QStringLiteral("value"),
                         QJsonObject{{QStringLiteral("operator"), op},
                                     {QStringLiteral("operationTarget"), target},
                                     {QStringLiteral("operationType"), 1},
                                     {QStringLiteral("operationValue"),
                                      QJsonObject{{QStringLiteral("status"), m_catalogue.at(row).status}}}}}});
        return;
    }
    respond(link, kUpdate, code, {});
    m_catalogue.setStatus(row, wanted);
    OvSimLog::line(QStringLiteral("item %1 \"%2\" status %3 by console %4")
                       .arg(row)
                       .arg(m_catalogue.at(row).name)
                       .arg(wanted)
                       .arg(link->id()));
    notifyAll(target, 1, {{QStringLiteral("status"), wanted}}, op);
}

void OvSimServer::respond(OvSimConsoleLink* link, const QString& cmd, int code, const QString& info,
                          const QJsonObject& value)
{
    link->sendJson({{QStringLiteral("cmd"), cmd},
                    {QStringLiteral("cmdType"), QStringLiteral("response")},
                    {QStringLiteral("code"), code},
                    {QStringLiteral("codeInfo"), info},
                    {QStringLiteral("value"), value}});
}

void OvSimServer::notifyAll(const QString& target, int type, const QJsonObject& value, const QJsonObject& op)
{
    const QJsonObject message{{QStringLiteral("cmd"), QStringLiteral("notifyCG")},
                              {QStringLiteral("cmdType"), QStringLiteral("request")},
                              {QStringLiteral("value"),
                               QJsonObject{{QStringLiteral("operator"), op},
                                           {QStringLiteral("operationTarget"), target},
                                           {QStringLiteral("operationType"), type},
                                           {QStringLiteral("operationValue"), value}}}};
    const QList<OvSimConsoleLink*> links = m_links.values();
    for (OvSimConsoleLink* link : links) {
        if (link->state() == OvSimConsoleLink::State::LoggedIn)
            link->sendJson(message);
    }
}

void OvSimServer::notifyConnection(OvSimConsoleLink* subject, int connectType)
{
    const QString endpoint = QStringLiteral("%1 (%2)").arg(subject->operatorName(), subject->addressText());
    const QJsonObject message{{QStringLiteral("cmd"), QStringLiteral("notifyMSG")},
                              {QStringLiteral("cmdType"), QStringLiteral("request")},
                              {QStringLiteral("messageType"), 0},
                              {QStringLiteral("value"),
                               QJsonObject{{QStringLiteral("endpointName"), endpoint},
                                           {QStringLiteral("connectType"), connectType},
                                           {QStringLiteral("connectReason"), 0}}}};
    const QList<OvSimConsoleLink*> links = m_links.values();
    for (OvSimConsoleLink* link : links) {
        if (link != subject && link->state() == OvSimConsoleLink::State::LoggedIn)
            link->sendJson(message);
    }
}

QJsonObject OvSimServer::simulatorOperator() const
{
    return {{QStringLiteral("operationID"), OvSimCatalogue::newGuid()},
            {QStringLiteral("operatorAddr"), OvSimConsoleLink::describeAddress(address())},
            {QStringLiteral("operatorName"), QStringLiteral("ovcg-sim")},
            {QStringLiteral("operatorGuid"), m_guid}};
}

void OvSimServer::renameItem(int index, const QString& name)
{
    m_catalogue.rename(index, name);
    notifyAll(m_catalogue.at(index).guid, 2, {{QStringLiteral("name"), name}}, simulatorOperator());
}

void OvSimServer::moveItem(int from, int to)
{
    const QString guid = m_catalogue.at(from).guid;
    m_catalogue.move(from, to);
    notifyAll(guid, 4, {{QStringLiteral("index"), to}}, simulatorOperator());
}

void OvSimServer::removeItem(int index)
{
    const QString guid = m_catalogue.at(index).guid;
    m_catalogue.remove(index);
    notifyAll(guid, 5, {}, simulatorOperator());
}

const OvSimItem& OvSimServer::addItem(const QString& name, const QColor& colour)
{
    const OvSimItem& item = m_catalogue.append(name, colour);
    notifyAll(item.guid, 6, OvSimCatalogue::toJson(item), simulatorOperator());
    return item;
}

void OvSimServer::setItemStatus(int index, int status)
{
    m_catalogue.setStatus(index, status);
    notifyAll(m_catalogue.at(index).guid, 1, {{QStringLiteral("status"), status}}, simulatorOperator());
}

void OvSimServer::setItemImage(int index, const QByteArray& png)
{
    m_catalogue.setPng(index, png);
    notifyAll(m_catalogue.at(index).guid, 3,
              {{QStringLiteral("imageBase64"), QString::fromLatin1(png.toBase64())}}, simulatorOperator());
}

void OvSimServer::kick(OvSimConsoleLink* link, int kickType)
{
    link->sendJson({{QStringLiteral("cmd"), QStringLiteral("kickOff")},
                    {QStringLiteral("cmdType"), QStringLiteral("request")},
                    {QStringLiteral("value"), QJsonObject{{QStringLiteral("kickType"), kickType}}}});
    link->expectClose(kGraceMs);
}

void OvSimServer::closeAll()
{
    const QList<OvSimConsoleLink*> all = m_links.values();
    for (OvSimConsoleLink* link : all)
        link->close();
}
