#include "shell/OvSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QSettings>
#include <QVariant>

namespace {

const QString ConfigGroup = QStringLiteral("CONFIG");
const QString KeysGroup = QStringLiteral("KEYS");

// The text after "key=" in [group] of the INI file, untouched but for the
// blanks around it; the last such line counts.
QString rawValue(const QString& path, const QString& group, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString section;
    QString value;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& bytes : lines) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (section == group && eq > 0 && line.left(eq).trimmed() == key)
            value = line.mid(eq + 1).trimmed();
    }
    return value;
}

// What the file says, as a line shows it: cut, never within a character,
// and without the control characters a file may hold.
QString shownText(const QString& text)
{
    constexpr int Longest = 40;
    QString shown = text;
    if (shown.size() > Longest)
        shown = shown.left(shown.at(Longest - 1).isHighSurrogate() ? Longest - 1 : Longest) + QChar(0x2026);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return shown;
}

QString keyName(const OvSettings::KeyInfo& key)
{
    return QString::fromLatin1(key.group) == ConfigGroup ? QString::fromLatin1(key.name)
                                                         : QStringLiteral("%1/%2").arg(key.group, key.name);
}

}  // namespace

const QVector<OvSettings::KeyInfo>& OvSettings::keys()
{
    using K = Kind;
    static const QVector<KeyInfo> table{
        {"CONFIG", "reconnect", K::Flag, "false"},
        {"CONFIG", "language", K::Language, ""},
        {"CONFIG", "osc_port", K::Number, "0", 0, 65535},
        {"CONFIG", "osc_address", K::Address, "127.0.0.1"},
        {"CONFIG", "osc_feedback", K::HostPort, ""},
        {"CONFIG", "api_port", K::Number, "0", 0, 65535},
        {"CONFIG", "api_address", K::Address, "127.0.0.1"},
        {"CONFIG", "api_token", K::Text, ""},
        {"CONFIG", "api_view_token", K::Text, ""},
        {"CONFIG", "api_origins", K::List, ""},
        {"CONFIG", "api_hosts", K::List, ""},
        {"CONFIG", "tsl_target", K::HostPort, ""},
        {"CONFIG", "take_guard_ms", K::Number, "300", 0, 10000},
        {"CONFIG", "cue_preview", K::Flag, "false"},
        {"KEYS", "pgm", K::Key, "Z"},
        {"KEYS", "pvw", K::Key, "X"},
        {"KEYS", "cancel", K::Key, "C"},
        {"KEYS", "lock", K::Key, "Ctrl+L"},
        {"KEYS", "clear_all", K::Key, "Ctrl+Shift+C"},
        {"KEYS", "toggle", K::Key, "Ctrl+Alt+Q"},
        {"KEYS", "go", K::Key, "Space"},
    };
    return table;
}

const OvSettings::KeyInfo* OvSettings::info(const QString& group, const QString& name)
{
    for (const KeyInfo& key : keys())
        if (group == QLatin1String(key.group) && name == QLatin1String(key.name))
            return &key;
    return nullptr;
}

OvSettings::OvSettings()
{
    for (const KeyInfo& key : keys())
        if (key.kind != Kind::Key)
            m_values.insert(QLatin1String(key.name), QLatin1String(key.defaultText));
}

bool OvSettings::parseHostPort(const QString& text, QHostAddress* host, quint16* port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString hostText = text.left(colon).trimmed();
    if (hostText.startsWith(QLatin1Char('[')) && hostText.endsWith(QLatin1Char(']')))
        hostText = hostText.mid(1, hostText.size() - 2);
    bool ok = false;
    const uint number = text.mid(colon + 1).trimmed().toUInt(&ok);
    QHostAddress address;
    if (!ok || number == 0 || number > 65535 || !address.setAddress(hostText))
        return false;
    if (host)
        *host = address;
    if (port)
        *port = quint16(number);
    return true;
}

QString OvSettings::defaultPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini");
}

QString OvSettings::readValue(const QString& path, const QString& group, const QString& key)
{
    QSettings settings(path, QSettings::IniFormat);
    // Operators write the file in a UTF-8 editor; without a codec Qt would read
    // a Chinese password as Latin-1 and the login would fail.
    settings.setIniCodec("UTF-8");
    const QVariant value = settings.value(group + QLatin1Char('/') + key, QVariant());
    // An unquoted comma makes the INI reading a list (and toString() of a
    // list is empty): the operator meant the text as written.
    if (value.type() == QVariant::StringList && value.toStringList().size() > 1)
        return rawValue(path, group, key);
    return value.toString();
}

OvSettings OvSettings::fromFile(const QString& path)
{
    OvSettings settings;
    if (!QFile::exists(path))
        return settings;
    QSettings ini(path, QSettings::IniFormat);
    ini.setIniCodec("UTF-8");
    ini.beginGroup(ConfigGroup);
    const QStringList present = ini.childKeys();
    ini.endGroup();
    for (const QString& name : present) {
        if (name == QLatin1String("port") || name == QLatin1String("password"))
            continue;  // the login dialog's own
        const KeyInfo* const key = info(ConfigGroup, name);
        if (!key)
            settings.m_problems.append({name, QString(), QString()});
        else
            settings.set(key->name, readValue(path, ConfigGroup, name));
    }
    ini.beginGroup(KeysGroup);
    const QStringList keyNames = ini.childKeys();
    ini.endGroup();
    for (const QString& name : keyNames)
        settings.m_keyTexts.insert(name, readValue(path, KeysGroup, name));
    return settings;
}

bool OvSettings::set(const char* name, const QString& given)
{
    const KeyInfo* const key = info(ConfigGroup, QLatin1String(name));
    Q_ASSERT(key);
    if (!key)
        return false;
    const QString text = given.trimmed();
    QString value = text;
    bool fits = true;
    switch (key->kind) {
    case Kind::Flag:
        value = text.toLower();
        fits = text.isEmpty() || value == QLatin1String("true") || value == QLatin1String("false");
        break;
    case Kind::Number: {
        bool ok = false;
        const int number = text.toInt(&ok);
        fits = text.isEmpty() || (ok && number >= key->min && number <= key->max);
        break;
    }
    case Kind::Address:
        fits = text.isEmpty() || !QHostAddress(text).isNull();
        break;
    case Kind::HostPort:
        fits = text.isEmpty() || parseHostPort(text, nullptr, nullptr);
        break;
    case Kind::Language:
        fits = text.isEmpty() || text == QLatin1String("en") || text == QLatin1String("zh_CN");
        break;
    case Kind::Text:
    case Kind::List:
    case Kind::Key:
        break;
    }
    if (text.isEmpty() || !fits)
        value = QLatin1String(key->defaultText);
    m_values.insert(QLatin1String(key->name), value);
    if (!fits)
        m_problems.append({keyName(*key), text, QLatin1String(key->defaultText)});
    return fits;
}

QStringList OvSettings::problems() const
{
    // A file may hold any number of keys nobody knows: a few are named, the
    // rest counted, so that the log stays readable.
    constexpr int UnknownNamed = 10;
    QStringList lines;
    int unknown = 0;
    for (const Problem& problem : m_problems) {
        const QString key = shownText(problem.key);
        const QString given = shownText(problem.given);
        if (problem.given.isEmpty()) {
            if (++unknown <= UnknownNamed)
                lines.append(tr("config.ini中的设置%1未知，已忽略").arg(key));
        } else if (problem.kept.isEmpty()) {
            lines.append(tr("config.ini中%1的值“%2”无效，已忽略").arg(key, given));
        } else {
            lines.append(tr("config.ini中%1的值“%2”无效，使用默认值“%3”").arg(key, given, problem.kept));
        }
    }
    if (unknown > UnknownNamed)
        lines.append(tr("config.ini中另有%1个未知设置，已忽略").arg(unknown - UnknownNamed));
    return lines;
}

QString OvSettings::language() const
{
    const QString value = text("language");
    return value == QLatin1String("en") ? value : QString();
}

bool OvSettings::flag(const char* name) const
{
    Q_ASSERT(info(ConfigGroup, QLatin1String(name)));
    return m_values.value(QLatin1String(name)) == QLatin1String("true");
}

int OvSettings::number(const char* name) const
{
    Q_ASSERT(info(ConfigGroup, QLatin1String(name)));
    return m_values.value(QLatin1String(name)).toInt();
}

QString OvSettings::text(const char* name) const
{
    Q_ASSERT(info(ConfigGroup, QLatin1String(name)));
    return m_values.value(QLatin1String(name));
}

QStringList OvSettings::list(const char* name) const
{
    QStringList items;
    for (const QString& item : text(name).split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!item.trimmed().isEmpty())
            items.append(item.trimmed());
    return items;
}
