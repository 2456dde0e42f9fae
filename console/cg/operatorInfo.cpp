#include "cg/operatorInfo.h"

#include <QUuid>

const QString& instanceGuid()
{
    static const QString guid = QUuid::createUuid().toString();
    return guid;
}

const operatorInfo& localOperatorInfo()
{
    static const operatorInfo info{QStringLiteral("localID"), QStringLiteral("0.0.0.0:0"),
                                   instanceGuid(), QString()};
    return info;
}
