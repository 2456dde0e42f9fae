#pragma once

#include <QMetaType>
#include <QString>

// Who caused a change to the CG catalogue. The fields carry the names the
// server reports them under.
struct operatorInfo
{
    QString operationID;   // identifier of the operation (UUID text)
    QString operatorAddr;  // address of the operator's client, as the server reports it
    QString operatorName;  // operator's name; this process's instanceGuid() for local changes
    QString operatorGuid;  // the operator's login on the server
    // Who on this console asked for a change it confirms, as the log names
    // them (a remote seat); empty: the operator, or not this console.
    QString taker = QString();
};

Q_DECLARE_METATYPE(operatorInfo)

// This process's identity in braced UUID text, made once per process. Changes
// that carry it as operatorName are this console's own bookkeeping.
const QString& instanceGuid();

// The info that goes with changes nobody operated: loading or clearing the
// list and moving the current-item mark.
const operatorInfo& localOperatorInfo();
