#pragma once

#include <QString>
#include <QUuid>

// A CG item object as it travels in "cgList" and in an add notification, before
// its thumbnail is decoded.
struct OvCgRecord
{
    QUuid guid;            // null when the text is no UUID
    QString name;
    int status = 0;
    QString imageBase64;
};
