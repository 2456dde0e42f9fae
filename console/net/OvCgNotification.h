#pragma once

#include "net/OvCgRecord.h"

#include <QString>

// One decoded notifyCG: which item, what changed, and who changed it.
struct OvCgNotification
{
    // The operator object, field by field.
    QString operationID;
    QString operatorAddr;
    QString operatorName;
    QString operatorGuid;

    QString target;       // item UUID text, compared verbatim
    int operationType = 0;

    int status = 0;       // StatusChange
    QString name;         // Rename
    QString imageBase64;  // NewThumbnail
    int index = 0;        // Move
    OvCgRecord record;    // Add
};
