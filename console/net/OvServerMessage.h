#pragma once

#include "net/OvCgNotification.h"
#include "net/OvCgRecord.h"

#include <QList>
#include <QString>

// One received body, decoded: everything read from it, nothing done about it
// yet. Decoding touches no state of the connection, so a large body can be
// decoded away from the GUI thread and applied there in its turn.
struct OvServerMessage
{
    enum Kind {
        Broken,         // no message of this protocol: the stream is unusable
        LoginAnswer,    // text: the token
        CatalogueAnswer,  // number: records past the catalogue's bound, left out
        PlainAnswer,    // a heartbeat or updateCG answer: nothing to do
        Failure,        // a negative code in an answer (number)
        NotifyCG,       // notification, unless ignored
        NotifyMSG,      // text: the endpoint name; number: the connect type
        KickOff,        // number: the kick type
    };

    Kind kind = Broken;
    // Of a login answer: not acted on unless a login is due.
    bool login = false;
    // A notification of an operation type outside 1 to 6 is answered and dropped.
    bool ignored = false;
    int number = 0;
    QString text;
    QList<OvCgRecord> list;
    OvCgNotification notification;
};
