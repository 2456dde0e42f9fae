#include "OvProtocolDispatcher.h"

#include "net/OvProtocol.h"
#include "net/OvProtocolSink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

using namespace OvProtocol;

OvProtocolDispatcher::OvProtocolDispatcher(OvProtocolSink& sink)
    : m_sink(sink)
{
}

bool OvProtocolDispatcher::dispatch(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    // Anything but a JSON object reads as an empty object, which names no command.
    const QJsonObject message =
        error.error == QJsonParseError::NoError && document.isObject() ? document.object()
                                                                         : QJsonObject();
    const QString cmdType = readString(message, QStringLiteral("cmdType"));
    const QString cmd = readString(message, QStringLiteral("cmd"));
    if (cmdType == TypeResponse)
        return handleResponse(cmd, message);
    return handleRequest(cmd, message);
}

bool OvProtocolDispatcher::handleResponse(const QString& cmd, const QJsonObject& message)
{
    const int code = readInt(message, QStringLiteral("code"));
    if (code < 0) {
        m_sink.closeWithError(codeText(code), QString());
        return false;
    }
    const QJsonObject value = readObject(message, QStringLiteral("value"));
    if (cmd == CmdLogin) {
        m_sink.loginSucceeded(readString(value, QStringLiteral("token")));
        m_sink.sendMessage(request(CmdSyncCGList, m_sink.token()));
        return true;
    }
    if (cmd == CmdSyncCGList) {
        const QJsonArray array = value.value(QStringLiteral("cgList")).toArray();
        if (array.size() > MaxCgItems)
            return protocolError();
        QList<OvCgRecord> list;
        list.reserve(array.size());
        for (const QJsonValue element : array)
            list.append(readRecord(element.toObject()));
        m_sink.cgListReceived(list);
        return true;
    }
    if (cmd == CmdHeart || cmd == CmdUpdateCG)
        return true;
    return protocolError();
}

bool OvProtocolDispatcher::handleRequest(const QString& cmd, const QJsonObject& message)
{
    const QJsonObject value = readObject(message, QStringLiteral("value"));
    if (cmd == CmdNotifyCG) {
        m_sink.sendMessage(response(cmd));
        handleNotifyCG(value);
        return true;
    }
    if (cmd == CmdNotifyMSG) {
        m_sink.sendMessage(response(cmd));
        m_sink.endpointNotice(connectText(readString(value, QStringLiteral("endpointName")),
                                          readInt(value, QStringLiteral("connectType"))));
        return true;
    }
    if (cmd == CmdKickOff) {
        m_sink.sendMessage(response(cmd));
        const QString text = kickText(readInt(value, QStringLiteral("kickType")));
        m_sink.closeWithError(text, text.isEmpty() ? QString() : remoteLogText(text));
        return false;
    }
    return protocolError();
}

void OvProtocolDispatcher::handleNotifyCG(const QJsonObject& value)
{
    OvCgNotification n;
    n.operationType = readInt(value, QStringLiteral("operationType"));
    if (n.operationType < StatusChange || n.operationType > Add)
        return;
    const QJsonObject op = readObject(value, QStringLiteral("operator"));
    n.operationID = readString(op, QStringLiteral("operationID"));
    n.operatorAddr = readString(op, QStringLiteral("operatorAddr"));
    n.operatorName = readString(op, QStringLiteral("operatorName"));
    n.operatorGuid = readString(op, QStringLiteral("operatorGuid"));
    n.target = readString(value, QStringLiteral("operationTarget"));
    const QJsonObject operation = readObject(value, QStringLiteral("operationValue"));
    switch (n.operationType) {
    case StatusChange:
        n.status = readInt(operation, QStringLiteral("status"));
        break;
    case Rename:
        n.name = readString(operation, QStringLiteral("name"));
        break;
    case NewThumbnail:
        n.imageBase64 = readString(operation, QStringLiteral("imageBase64"));
        break;
    case Move:
        n.index = readInt(operation, QStringLiteral("index"));
        break;
    case Add:
        n.record = readRecord(operation);
        break;
    default:
        break;
    }
    m_sink.cgNotified(n);
}

bool OvProtocolDispatcher::protocolError()
{
    m_sink.closeWithError(protocolErrorText(), QString());
    return false;
}

OvCgRecord OvProtocolDispatcher::readRecord(const QJsonObject& object)
{
    OvCgRecord record;
    record.guid = readUuid(readString(object, QStringLiteral("guid")));
    record.name = readString(object, QStringLiteral("name"));
    record.status = readInt(object, QStringLiteral("status"));
    record.imageBase64 = readString(object, QStringLiteral("imageBase64"));
    return record;
}
