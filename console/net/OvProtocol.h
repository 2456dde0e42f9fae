#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QUuid>

// The JSON-over-TCP protocol spoken with the CG server: frame layout, the two
// envelopes, command names, keys and the texts tied to server codes. Pure data
// handling; no sockets, no UI.
namespace OvProtocol {

// Frame header: 4 bytes body length (big-endian), 1 byte marker, 3 zero bytes.
constexpr int HeaderSize = 8;
constexpr char HeaderMarker = 1;
// A body longer than this is treated as a broken stream rather than buffered.
constexpr quint32 MaxBodySize = 64u * 1024u * 1024u;
// Far beyond any real catalogue (studios keep hundreds to a few thousand). A list or a run of additions that would grow
// past it is treated as a broken stream: every item becomes a tile, and a
// 64 MiB body of empty objects alone would make some twenty million of them.
constexpr int MaxCgItems = 100000;

// Command names.
inline const QString CmdLogin = QStringLiteral("login");
inline const QString CmdSyncCGList = QStringLiteral("syncCGList");
inline const QString CmdHeart = QStringLiteral("heart");
inline const QString CmdUpdateCG = QStringLiteral("updateCG");
inline const QString CmdNotifyCG = QStringLiteral("notifyCG");
inline const QString CmdNotifyMSG = QStringLiteral("notifyMSG");
inline const QString CmdKickOff = QStringLiteral("kickOff");

inline const QString TypeRequest = QStringLiteral("request");
inline const QString TypeResponse = QStringLiteral("response");

// Operation types of notifyCG; updateCG always sends StatusChange.
enum OperationType {
    StatusChange = 1,
    Rename = 2,
    NewThumbnail = 3,
    Move = 4,
    Remove = 5,
    Add = 6,
};

// Texts.
QString protocolErrorText();
QString refusedOrTimeoutText();
QString remoteClosedText();
// Text for a negative response code; empty for codes without a text of their own.
QString codeText(int code);
// Error text for a kick type; empty for kick types without one.
QString kickText(int kickType);
// The log's wording of a disconnection caused by the remote end.
QString remoteLogText(const QString& errorText);
// Log text for a server endpoint notice.
QString connectText(const QString& endpointName, int connectType);

// Serialisation: indented UTF-8 JSON, members in ascending key order, final
// newline; framed with the 8-byte header.
QByteArray encodeBody(const QJsonObject& message);
QByteArray encodeFrame(const QJsonObject& message);
QByteArray frameHeader(quint32 bodyLength);

// text as a JSON string, quoted and escaped, appended to json: for messages
// written by hand where Qt's writer would cost too much.
void appendJsonString(QByteArray* json, const QString& text);

// Envelopes.
QJsonObject request(const QString& cmd, const QString& token, const QJsonObject& value = {});
// The answer to a request of the server: always the same bytes for a command,
// those Qt's writer makes of {cmd, cmdType "response", code 0, codeInfo "",
// value {}}, but made without it (a burst is answered frame by frame).
QByteArray answerFrame(const QString& cmd);

// Request values.
QJsonObject loginValue(const QString& deviceName, const QString& password,
                       const QString& deviceMac);
QJsonObject updateCGValue(const QString& target, int operationType, int origStatus,
                          int curStatus, const QString& operationId);

// A UUID in its text form, braces optional; anything else (trailing text, one
// brace only) gives the null UUID.
QUuid readUuid(const QString& text);

}  // namespace OvProtocol
