#include "OvProtocolDispatcher.h"

#include "net/OvJsonBody.h"
#include "net/OvProtocol.h"
#include "net/OvProtocolSink.h"

using namespace OvProtocol;
using Object = OvJsonBody::Object;

namespace {

OvCgRecord readRecord(const Object& object)
{
    OvCgRecord record;
    record.guid = readUuid(object.readString("guid"));
    record.name = object.readString("name");
    record.status = object.readInt("status");
    record.imageBase64 = object.readString("imageBase64");
    return record;
}

bool protocolError(OvProtocolSink& sink)
{
    sink.closeWithError(protocolErrorText(), QString());
    return false;
}

bool handleResponse(OvProtocolSink& sink, const QString& cmd, const Object& message)
{
    // Only the login in progress is answered by a login response; a repeated
    // one must not log in again.
    if (cmd == CmdLogin && !sink.awaitingLogin())
        return true;
    const int code = message.readInt("code");
    if (code < 0) {
        // A code without a text of its own still ends the connection: the
        // operator is told the server ended it rather than left guessing.
        const QString text = codeText(code);
        sink.refused(text.isEmpty() ? remoteClosedText() : text, QString());
        return false;
    }
    const Object value = message.readObject("value");
    if (cmd == CmdLogin) {
        sink.loginSucceeded(value.readString("token"));
        sink.sendMessage(request(CmdSyncCGList, sink.token()));
        return true;
    }
    if (cmd == CmdSyncCGList) {
        simdjson::dom::array array;
        QList<OvCgRecord> list;
        if (value.readArray("cgList", &array)) {
            if (array.size() > size_t(MaxCgItems))
                return protocolError(sink);
            list.reserve(int(array.size()));
            for (const simdjson::dom::element element : array)
                list.append(readRecord(Object(element)));
        }
        sink.cgListReceived(list);
        return true;
    }
    if (cmd == CmdHeart || cmd == CmdUpdateCG)
        return true;
    return protocolError(sink);
}

void handleNotifyCG(OvProtocolSink& sink, const Object& value)
{
    OvCgNotification n;
    n.operationType = value.readInt("operationType");
    if (n.operationType < StatusChange || n.operationType > Add)
        return;
    const Object op = value.readObject("operator");
    n.operationID = op.readString("operationID");
    n.operatorAddr = op.readString("operatorAddr");
    n.operatorName = op.readString("operatorName");
    n.operatorGuid = op.readString("operatorGuid");
    n.target = value.readString("operationTarget");
    const Object operation = value.readObject("operationValue");
    switch (n.operationType) {
    case StatusChange:
        n.status = operation.readInt("status");
        break;
    case Rename:
        n.name = operation.readString("name");
        break;
    case NewThumbnail:
        n.imageBase64 = operation.readString("imageBase64");
        break;
    case Move:
        n.index = operation.readInt("index");
        break;
    case Add:
        n.record = readRecord(operation);
        break;
    default:
        break;
    }
    sink.cgNotified(n);
}

bool handleRequest(OvProtocolSink& sink, const QString& cmd, const Object& message)
{
    const Object value = message.readObject("value");
    if (cmd == CmdNotifyCG) {
        sink.sendMessage(response(cmd));
        handleNotifyCG(sink, value);
        return true;
    }
    if (cmd == CmdNotifyMSG) {
        sink.sendMessage(response(cmd));
        sink.endpointNotice(
            connectText(value.readString("endpointName"), value.readInt("connectType")));
        return true;
    }
    if (cmd == CmdKickOff) {
        sink.sendMessage(response(cmd));
        QString text = kickText(value.readInt("kickType"));
        if (text.isEmpty())
            text = remoteClosedText();
        sink.refused(text, remoteLogText(text));
        return false;
    }
    return protocolError(sink);
}

}  // namespace

OvProtocolDispatcher::OvProtocolDispatcher(OvProtocolSink& sink)
    : m_sink(sink)
    , m_json(std::make_unique<OvJsonBody>())
{
}

OvProtocolDispatcher::~OvProtocolDispatcher() = default;

bool OvProtocolDispatcher::dispatch(const QByteArray& body)
{
    // Anything but a JSON object reads as an empty object, which names no command.
    const Object message = m_json->parse(body);
    const QString cmdType = message.readString("cmdType");
    const QString cmd = message.readString("cmd");
    if (cmdType == TypeResponse)
        return handleResponse(m_sink, cmd, message);
    return handleRequest(m_sink, cmd, message);
}
