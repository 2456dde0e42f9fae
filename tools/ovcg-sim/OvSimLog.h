#pragma once

#include <QJsonObject>
#include <QString>

// Readable log of everything the simulator does: one time-stamped line per
// event, on standard error or in a file.
class OvSimLog
{
public:
    // Appends to path from now on; false (and standard error stays) on failure.
    static bool openFile(const QString& path);
    static void line(const QString& text);

    // Compact JSON of a message with long strings (thumbnails) and long arrays
    // shortened, so one message stays one readable line.
    static QString summarise(const QJsonObject& message);
};
