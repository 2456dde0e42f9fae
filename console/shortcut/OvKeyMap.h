#pragma once

#include <QHash>
#include <QKeySequence>
#include <QString>
#include <QStringList>

#include <array>

// The keys of the operator's choosing: the [KEYS] group of config.ini, in
// QKeySequence's portable text. A command without a usable value of its own
// keeps its default: an absent value quietly, one that does not parse, one
// that another command (or the arrows, Ctrl+F, Escape, Enter, the running
// order's Insert, Delete, Alt+Up and Alt+Down) also has, or a system-wide key
// that every program's editing or window chords would lose (Ctrl+C, Alt+F4),
// with one line naming the key.
class OvKeyMap
{
public:
    enum Command {
        Pgm,
        Pvw,
        Cancel,
        Go,
        Lock,
        ClearAll,
        Toggle,  // the system-wide hot key
    };
    static constexpr int CommandCount = Toggle + 1;

    OvKeyMap();

    // The name in [KEYS]: "pgm", "pvw", "cancel", "go", "lock", "clear_all", "toggle".
    static QString keyName(Command command);
    static QKeySequence defaultKey(Command command);
    // Publish keys and GO: one bare key, acting only while the single keys are on.
    static bool isSingleKey(Command command);

    // values: [KEYS] name -> text as written. problems: one line per refused value.
    static OvKeyMap fromValues(const QHash<QString, QString>& values, QStringList* problems);

    QKeySequence key(Command command) const;
    // As the card and the help write it.
    QString keyText(Command command) const;

    // The keys in force in this process (the defaults until set).
    static const OvKeyMap& current();
    static void setCurrent(const OvKeyMap& map);

private:
    std::array<QKeySequence, CommandCount> m_keys;
};
