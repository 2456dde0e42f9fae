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

// Names are compared on the received bytes: no text is made for them.
bool is(std::string_view text, const QString& name)
{
    return QLatin1String(text.data(), int(text.size())) == name;
}

void decodeResponse(std::string_view cmd, const Object& message, OvServerMessage* m)
{
    // Only the login in progress is answered by a login response; a repeated
    // one must not log in again (decided when it is applied).
    m->login = is(cmd, CmdLogin);
    const int code = message.readInt("code");
    if (code < 0) {
        m->kind = OvServerMessage::Failure;
        m->number = code;
        return;
    }
    const Object value = message.readObject("value");
    if (m->login) {
        m->kind = OvServerMessage::LoginAnswer;
        m->text = value.readString("token");
    } else if (is(cmd, CmdSyncCGList)) {
        simdjson::dom::array array;
        if (value.readArray("cgList", &array)) {
            // A server with more than the bound: the first are listed, the
            // rest counted, and the connection stays.
            const size_t listed = std::min(array.size(), size_t(MaxCgItems));
            m->number = int(array.size() - listed);
            m->list.reserve(int(listed));
            for (const simdjson::dom::element element : array) {
                if (size_t(m->list.size()) == listed)
                    break;
                m->list.append(readRecord(Object(element)));
            }
        }
        m->kind = OvServerMessage::CatalogueAnswer;
    } else if (is(cmd, CmdHeart) || is(cmd, CmdUpdateCG)) {
        m->kind = OvServerMessage::PlainAnswer;
    }
}

void decodeNotifyCG(const Object& value, OvCgNotification* n)
{
    n->operationType = value.readInt("operationType");
    const Object op = value.readObject("operator");
    n->operationID = op.readString("operationID");
    n->operatorAddr = op.readString("operatorAddr");
    n->operatorName = op.readString("operatorName");
    n->operatorGuid = op.readString("operatorGuid");
    n->target = value.readString("operationTarget");
    const Object operation = value.readObject("operationValue");
    switch (n->operationType) {
    case StatusChange:
        n->status = operation.readInt("status");
        break;
    case Rename:
        n->name = operation.readString("name");
        break;
    case NewThumbnail:
        n->imageBase64 = operation.readString("imageBase64");
        break;
    case Move:
        n->index = operation.readInt("index");
        break;
    case Add:
        n->record = readRecord(operation);
        break;
    default:
        break;
    }
}

void decodeRequest(std::string_view cmd, const Object& message, OvServerMessage* m)
{
    const Object value = message.readObject("value");
    if (is(cmd, CmdNotifyCG)) {
        m->kind = OvServerMessage::NotifyCG;
        const int type = value.readInt("operationType");
        m->ignored = type < StatusChange || type > Add;
        if (!m->ignored)
            decodeNotifyCG(value, &m->notification);
    } else if (is(cmd, CmdNotifyMSG)) {
        m->kind = OvServerMessage::NotifyMSG;
        m->text = value.readString("endpointName");
        m->number = value.readInt("connectType");
    } else if (is(cmd, CmdKickOff)) {
        m->kind = OvServerMessage::KickOff;
        m->number = value.readInt("kickType");
    }
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
    return apply(decode(*m_json, body));
}

OvServerMessage OvProtocolDispatcher::decode(OvJsonBody& json, const QByteArray& body)
{
    OvServerMessage m;
    // Anything but a JSON object reads as an empty object, which names no command.
    const Object message = json.parse(body);
    const std::string_view cmd = message.readView("cmd");
    if (is(message.readView("cmdType"), TypeResponse))
        decodeResponse(cmd, message, &m);
    else
        decodeRequest(cmd, message, &m);
    return m;
}

OvServerMessage OvProtocolDispatcher::decodeAlone(const QByteArray& body)
{
    OvJsonBody json;
    return decode(json, body);
}

bool OvProtocolDispatcher::apply(const OvServerMessage& m)
{
    if (m.login && !m_sink.awaitingLogin())
        return true;
    switch (m.kind) {
    case OvServerMessage::Broken:
        break;
    case OvServerMessage::Failure: {
        // A code without a text of its own still ends the connection: the
        // operator is told the server ended it rather than left guessing.
        const QString text = codeText(m.number);
        m_sink.refused(text.isEmpty() ? remoteClosedText() : text, QString());
        return false;
    }
    case OvServerMessage::LoginAnswer:
        m_sink.loginSucceeded(m.text);
        m_sink.sendFrame(encodeFrame(request(CmdSyncCGList, m_sink.token())));
        return true;
    case OvServerMessage::CatalogueAnswer:
        m_sink.cgListReceived(m.list, m.number);
        return true;
    case OvServerMessage::PlainAnswer:
        return true;
    case OvServerMessage::NotifyCG:
        m_sink.sendFrame(answerFrame(CmdNotifyCG));
        if (!m.ignored)
            m_sink.cgNotified(m.notification);
        return true;
    case OvServerMessage::NotifyMSG:
        m_sink.sendFrame(answerFrame(CmdNotifyMSG));
        m_sink.endpointNotice(connectText(m.text, m.number));
        return true;
    case OvServerMessage::KickOff: {
        m_sink.sendFrame(answerFrame(CmdKickOff));
        QString text = kickText(m.number);
        if (text.isEmpty())
            text = remoteClosedText();
        m_sink.refused(text, remoteLogText(text));
        return false;
    }
    }
    return protocolError(m_sink);
}
