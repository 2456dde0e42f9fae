#include "OvProtocol.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonValue>
#include <QtEndian>

#include <algorithm>


namespace OvProtocol {

QString protocolErrorText()
{
    return QCoreApplication::translate("OvProtocol", "通讯数据异常,连接已断开!");
}

QString refusedOrTimeoutText()
{
    return QCoreApplication::translate("OvProtocol", "远程拒绝连接或连接超时,请检查远程连接设置和网络状况后重试。");
}

QString remoteClosedText()
{
    return QCoreApplication::translate("OvProtocol", "远程断开连接，请检查远程连接设置和网络状况后重试。");
}

QString codeText(int code)
{
    switch (code) {
    case -1:
        return QCoreApplication::translate("OvProtocol", "连接失败，当前设备已被加入黑名单，请修改远程黑名单设置。");
    case -2:
        return refusedOrTimeoutText();
    case -3:
        return QCoreApplication::translate("OvProtocol", "登录帐号没有软件使用权限，请联系Tolva客服。");
    case -4:
        return QCoreApplication::translate("OvProtocol", "采编录播一体化系统未登陆，请登陆后重试。");
    default:
        return {};
    }
}

QString kickText(int kickType)
{
    switch (kickType) {
    case 1:
        return QCoreApplication::translate("OvProtocol", "远程断开连接，当前设备已被加入黑名单。");
    case 2:
        return QCoreApplication::translate("OvProtocol", "远程断开连接，登录帐号没有软件使用权限，请联系Tolva客服。");
    case 3:
        return remoteClosedText();
    default:
        return {};
    }
}

QString remoteLogText(const QString& errorText)
{
    return QCoreApplication::translate("OvProtocol", "您与%1").arg(errorText);
}

QString connectText(const QString& endpointName, int connectType)
{
    return connectType == 0 ? QCoreApplication::translate("OvProtocol", "%1 成功与studio建立连接").arg(endpointName)
                            : QCoreApplication::translate("OvProtocol", "%1 与studio断开连接").arg(endpointName);
}

QByteArray encodeBody(const QJsonObject& message)
{
    // QJsonObject keeps its members sorted by key, and the indented form uses
    // four spaces per level and ends with a newline.
    return QJsonDocument(message).toJson(QJsonDocument::Indented);
}

QByteArray frameHeader(quint32 bodyLength)
{
    QByteArray header(HeaderSize, '\0');
    qToBigEndian<quint32>(bodyLength, header.data());
    header[4] = HeaderMarker;
    return header;
}

QByteArray encodeFrame(const QJsonObject& message)
{
    const QByteArray body = encodeBody(message);
    QByteArray frame = frameHeader(quint32(body.size()));
    frame.append(body);
    return frame;
}

QJsonObject request(const QString& cmd, const QString& token, const QJsonObject& value)
{
    return QJsonObject{
        {QStringLiteral("cmd"), cmd},
        {QStringLiteral("cmdType"), TypeRequest},
        {QStringLiteral("token"), token},
        {QStringLiteral("value"), value},
    };
}

void appendJsonString(QByteArray* json, const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    *json += '"';
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\') {
            *json += '\\';
            *json += c;
        } else if (uchar(c) < 0x20) {
            *json += "\\u00";
            *json += hex[uchar(c) >> 4];
            *json += hex[uchar(c) & 15];
        } else {
            *json += c;
        }
    }
    *json += '"';
}

QByteArray answerFrame(const QString& cmd)
{
    // Command names are plain ASCII words; anything else goes through Qt's
    // writer for its escapes.
    const bool plain = std::all_of(cmd.cbegin(), cmd.cend(), [](QChar c) {
        return c.unicode() < 0x80 && c.isLetterOrNumber();
    });
    if (!plain) {
        return encodeFrame(QJsonObject{
            {QStringLiteral("cmd"), cmd},
            {QStringLiteral("cmdType"), TypeResponse},
            {QStringLiteral("code"), 0},
            {QStringLiteral("codeInfo"), QString()},
            {QStringLiteral("value"), QJsonObject()},
        });
    }
    QByteArray body;
    body.reserve(128);
    body += "{\n    \"cmd\": \"";
    body += cmd.toLatin1();
    body += "\",\n    \"cmdType\": \"response\",\n    \"code\": 0,\n    \"codeInfo\": \"\",\n"
            "    \"value\": {\n    }\n}\n";
    QByteArray frame = frameHeader(quint32(body.size()));
    frame += body;
    return frame;
}

QJsonObject loginValue(const QString& deviceName, const QString& password,
                       const QString& deviceMac)
{
    return QJsonObject{
        {QStringLiteral("deviceName"), deviceName},
        {QStringLiteral("password"), password},
        {QStringLiteral("deviceType"), QStringLiteral("PC")},
        {QStringLiteral("deviceMac"), deviceMac},
        {QStringLiteral("clientVer"), 1},
    };
}

QJsonObject updateCGValue(const QString& target, int operationType, int origStatus,
                          int curStatus, const QString& operationId)
{
    QJsonObject value{
        {QStringLiteral("operationTarget"), target},
        {QStringLiteral("operator"), QJsonObject{{QStringLiteral("operationID"), operationId}}},
    };
    if (operationType == StatusChange) {
        value.insert(QStringLiteral("operationType"), StatusChange);
        value.insert(QStringLiteral("operationValue"),
                     QJsonObject{{QStringLiteral("origStatus"), origStatus},
                                 {QStringLiteral("curStatus"), curStatus}});
    }
    return value;
}

QUuid readUuid(const QString& text)
{
    // QUuid itself reads only the first 38 characters and forgives a missing
    // closing brace, so the form is checked first.
    const bool bare = text.size() == 36;
    const bool braced = text.size() == 38 && text.startsWith(QLatin1Char('{'))
                        && text.endsWith(QLatin1Char('}'));
    return bare || braced ? QUuid(text) : QUuid();
}

}  // namespace OvProtocol
