#include "OvConfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTextStream>
#include <QVariant>
#include <QWidget>

namespace {

QString configPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini");
}

// The text after "key=" in [group] of the INI file, untouched but for the
// blanks around it; the last such line counts.
QString rawConfigValue(const QString& path, const QString& group, const QString& key)
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

int portValue(const char* key)
{
    bool ok = false;
    const int port = readConfigValue(configPath(), QStringLiteral("CONFIG"), QLatin1String(key)).trimmed().toInt(&ok);
    return ok && port > 0 && port <= 65535 ? port : 0;
}

QString addressValue(const char* key)
{
    const QString address = readConfigValue(configPath(), QStringLiteral("CONFIG"), QLatin1String(key)).trimmed();
    return address.isEmpty() ? QStringLiteral("127.0.0.1") : address;
}

}  // namespace

QString readConfigValue(const QString& path, const QString& group, const QString& key)
{
    QSettings settings(path, QSettings::IniFormat);
    // Operators write the file in a UTF-8 editor; without a codec Qt would read
    // a Chinese password as Latin-1 and the login would fail.
    settings.setIniCodec("UTF-8");
    const QVariant value = settings.value(group + QLatin1Char('/') + key, QVariant());
    // An unquoted comma makes the INI reading a list (and toString() of a
    // list is empty): the operator meant the text as written.
    if (value.type() == QVariant::StringList && value.toStringList().size() > 1)
        return rawConfigValue(path, group, key);
    return value.toString();
}

int readConfigPort()
{
    QString text = readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("port"));
    if (text.isEmpty())
        text = QStringLiteral("19999");
    return text.toInt(nullptr, 10);
}

QString readConfigPassword()
{
    const QString text = readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("password"));
    return text.isEmpty() ? QStringLiteral("580317") : text;
}

QString readConfigLanguage()
{
    const QString language =
        readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("language")).trimmed();
    return language == QLatin1String("en") ? language : QString();
}

int readConfigOscPort()
{
    return portValue("osc_port");
}

QString readConfigOscAddress()
{
    return addressValue("osc_address");
}

QString readConfigOscFeedback()
{
    return readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("osc_feedback")).trimmed();
}

int readConfigApiPort()
{
    return portValue("api_port");
}

QString readConfigApiAddress()
{
    return addressValue("api_address");
}

QString readConfigApiToken()
{
    return readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("api_token")).trimmed();
}

QStringList readConfigApiOrigins()
{
    QStringList origins;
    const QString text = readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("api_origins"));
    for (const QString& origin : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!origin.trimmed().isEmpty())
            origins.append(origin.trimmed());
    return origins;
}

QString readConfigTslTarget()
{
    return readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("tsl_target")).trimmed();
}

bool readConfigReconnect()
{
    return readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("reconnect")).trimmed()
           == QLatin1String("true");
}

void applyStyleSheet(QWidget* widget, const QString& name)
{
    if (!widget)
        return;
    QFile file(QCoreApplication::applicationDirPath() + QStringLiteral("/qss/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // The style sheets are UTF-8 (they name Chinese font families), whatever the
    // locale of the machine says.
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    widget->setStyleSheet(stream.readAll());
    file.close();
}

int readConfigTakeGuardMs()
{
    constexpr int DefaultMs = 300;
    bool ok = false;
    const int ms =
        readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("take_guard_ms")).trimmed().toInt(&ok);
    return ok && ms >= 0 && ms <= 10000 ? ms : DefaultMs;
}

QHash<QString, QString> readConfigKeys()
{
    QHash<QString, QString> keys;
    const QString path = configPath();
    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.beginGroup(QStringLiteral("KEYS"));
    for (const QString& key : settings.childKeys())
        keys.insert(key, readConfigValue(path, QStringLiteral("KEYS"), key));
    return keys;
}

bool readConfigCuePreview()
{
    return readConfigValue(configPath(), QStringLiteral("CONFIG"), QStringLiteral("cue_preview"))
               .trimmed()
               .compare(QLatin1String("true"), Qt::CaseInsensitive)
           == 0;
}
