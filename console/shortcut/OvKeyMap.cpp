#include "shortcut/OvKeyMap.h"

#include <QCoreApplication>

namespace {

constexpr const char* Names[OvKeyMap::CommandCount] = {"pgm", "pvw", "cancel", "go", "lock", "clear_all", "toggle"};
constexpr const char* Defaults[OvKeyMap::CommandCount] = {"Z", "X", "C", "Space", "Ctrl+L", "Ctrl+Shift+C",
                                                          "Ctrl+Alt+Q"};

constexpr int ModifierMask = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier
                             | Qt::KeypadModifier | Qt::GroupSwitchModifier;

// Keys the console gives other work: a command there would shadow it (the
// running order's Insert, Delete and Alt+arrows among them).
bool isReserved(const QKeySequence& key)
{
    static const QList<QKeySequence> reserved = {
        QKeySequence(Qt::Key_Up),   QKeySequence(Qt::Key_Down),   QKeySequence(Qt::Key_Left),
        QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Find),
        QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Insert),
        QKeySequence(Qt::Key_Delete), QKeySequence(Qt::AltModifier | Qt::Key_Up),
        QKeySequence(Qt::AltModifier | Qt::Key_Down),
    };
    return reserved.contains(key);
}

// The chords every program relies on for editing and for its windows: the
// system-wide key would take them from all of them.
bool isEveryonesChord(const QKeySequence& key)
{
    const int chord = key[0] & ~Qt::ShiftModifier;
    const int code = chord & ~ModifierMask;
    const int modifiers = chord & ModifierMask;
    if (modifiers == Qt::ControlModifier)
        return code < 0x80 && QByteArrayLiteral("CXVZYASFWQ").contains(char(code));
    return modifiers == Qt::AltModifier && (code == Qt::Key_F4 || code == Qt::Key_Tab || code == Qt::Key_Backtab);
}

// A value as a log line shows it: a file can hold anything, at any length.
QString quoted(const QString& text)
{
    constexpr int Longest = 40;
    return text.size() <= Longest ? text : text.left(Longest) + QStringLiteral("…");
}

// One chord of a known key; a single key without Ctrl, Alt or Meta (Shift is
// taken as part of the key, as the single keys do), the hot key with one of them.
bool usable(OvKeyMap::Command command, const QKeySequence& key)
{
    if (key.count() != 1)
        return false;
    const int chord = key[0];
    const int code = chord & ~ModifierMask;
    const int modifiers = chord & ModifierMask & ~Qt::ShiftModifier;
    if (code == 0 || code == Qt::Key_unknown || (code >= Qt::Key_Shift && code <= Qt::Key_Meta))
        return false;
    if (OvKeyMap::isSingleKey(command))
        return modifiers == 0 && (chord & Qt::ShiftModifier) == 0;
    if (command == OvKeyMap::Toggle)
        return (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    return true;
}

}  // namespace

OvKeyMap::OvKeyMap()
{
    for (int i = 0; i < CommandCount; ++i)
        m_keys[size_t(i)] = defaultKey(Command(i));
}

QString OvKeyMap::keyName(Command command)
{
    return QString::fromLatin1(Names[command]);
}

QKeySequence OvKeyMap::defaultKey(Command command)
{
    return QKeySequence::fromString(QString::fromLatin1(Defaults[command]), QKeySequence::PortableText);
}

bool OvKeyMap::isSingleKey(Command command)
{
    return command == Pgm || command == Pvw || command == Cancel || command == Go;
}

OvKeyMap OvKeyMap::fromValues(const QHash<QString, QString>& givenValues, QStringList* problems)
{
    // Names in any case; a name that is none of the commands' is said, so
    // that a typing error does not pass for a key in force.
    QHash<QString, QString> values;
    for (auto it = givenValues.cbegin(); it != givenValues.cend(); ++it) {
        const QString name = it.key().trimmed().toLower();
        values.insert(name, it.value());
        if (!QStringList(std::begin(Names), std::end(Names)).contains(name))
            problems->append(QCoreApplication::translate("OvKeyMap", "[KEYS] 中没有%1这一项，已忽略").arg(quoted(it.key())));
    }
    OvKeyMap map;
    std::array<bool, CommandCount> chosen{};
    std::array<QString, CommandCount> written;
    for (int i = 0; i < CommandCount; ++i) {
        const Command command = Command(i);
        const auto value = values.constFind(keyName(command));
        if (value == values.cend() || value->trimmed().isEmpty())
            continue;
        written[size_t(i)] = quoted(value->trimmed());
        const QKeySequence key = QKeySequence::fromString(value->trimmed(), QKeySequence::PortableText);
        if (!usable(command, key)) {
            problems->append(QCoreApplication::translate("OvKeyMap", "[KEYS] %1=%2 不是可用的按键，仍使用默认键%3")
                                 .arg(keyName(command), written[size_t(i)], map.keyText(command)));
            continue;
        }
        if (command == Toggle && isEveryonesChord(key)) {
            problems->append(
                QCoreApplication::translate("OvKeyMap", "[KEYS] %1=%2 是其他程序常用的组合键，不能作为全局快捷键，仍使用默认键%3")
                    .arg(keyName(command), written[size_t(i)], map.keyText(command)));
            continue;
        }
        map.m_keys[size_t(i)] = key;
        chosen[size_t(i)] = true;
    }
    // A chosen key that another command also has goes back to its default;
    // that may clash anew with another chosen key, hence the rounds.
    for (bool clash = true; clash;) {
        clash = false;
        for (int i = 0; i < CommandCount; ++i) {
            if (!chosen[size_t(i)])
                continue;
            bool shared = isReserved(map.m_keys[size_t(i)]);
            for (int j = 0; j < CommandCount && !shared; ++j)
                shared = j != i && map.m_keys[size_t(j)] == map.m_keys[size_t(i)];
            if (!shared)
                continue;
            const Command command = Command(i);
            map.m_keys[size_t(i)] = defaultKey(command);
            chosen[size_t(i)] = false;
            clash = true;
            problems->append(QCoreApplication::translate("OvKeyMap", "[KEYS] %1=%2 与其他命令的按键重复，仍使用默认键%3")
                                 .arg(keyName(command), written[size_t(i)], map.keyText(command)));
        }
    }
    return map;
}

QKeySequence OvKeyMap::key(Command command) const
{
    return m_keys[size_t(command)];
}

QString OvKeyMap::keyText(Command command) const
{
    return m_keys[size_t(command)].toString(QKeySequence::PortableText);
}

namespace {

OvKeyMap& inForce()
{
    static OvKeyMap map;
    return map;
}

}  // namespace

const OvKeyMap& OvKeyMap::current()
{
    return inForce();
}

void OvKeyMap::setCurrent(const OvKeyMap& map)
{
    inForce() = map;
}
