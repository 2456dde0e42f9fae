#pragma once

#include <QString>

// A CG item's publish status, with the integers the server sends in "status"
// and "curStatus"; and its wording, the same in the log, the tiles and the
// model's own lines.
namespace OvCgStatus {

enum Value : int {
    Idle = 0,     // not on air
    OnPgm = 1,    // on programme output
    OnPvw = 2,    // on preview
    Sending = 3,  // this console's request is outstanding (never from the server by rights)
};

inline bool isOnAir(int status)
{
    return status == OnPgm || status == OnPvw;
}

// "PGM" or "PVW" for an item on air, else empty: the tile's badge and the
// tile's state for screen readers.
QString outputName(int status);
// What a status change did, as the log words it: "发布"NAME"到PGM" and so
// on; empty for a status without wording.
QString changeText(int status, const QString& name);
// The line for a request the server never answered, by the status asked for.
QString unansweredText(int targetStatus, const QString& name);
// The tile's state while this console's request is outstanding.
QString sendingText();

}  // namespace OvCgStatus
