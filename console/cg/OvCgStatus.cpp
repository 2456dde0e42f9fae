#include "cg/OvCgStatus.h"

#include <QCoreApplication>

namespace OvCgStatus {

QString outputName(int status)
{
    switch (status) {
    case OnPgm:
        return QStringLiteral("PGM");
    case OnPvw:
        return QStringLiteral("PVW");
    default:
        return QString();
    }
}

QString changeText(int status, const QString& name)
{
    switch (status) {
    case Idle:
        return QCoreApplication::translate("OvCgStatus", "取消发布\"%1\"").arg(name);
    case OnPgm:
    case OnPvw:
        return QCoreApplication::translate("OvCgStatus", "发布\"%1\"到%2").arg(name, outputName(status));
    default:
        return QString();
    }
}

QString unansweredText(int targetStatus, const QString& name)
{
    if (isOnAir(targetStatus))
        return QCoreApplication::translate("OvCgStatus", "studio未响应发布\"%1\"到%2的请求").arg(name, outputName(targetStatus));
    return QCoreApplication::translate("OvCgStatus", "studio未响应取消发布\"%1\"的请求").arg(name);
}

QString sendingText()
{
    return QCoreApplication::translate("OvCgStatus", "发送中");
}

}  // namespace OvCgStatus
