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

}  // namespace

QString readConfigValue(const QString& path, const QString& group, const QString& key)
{
    QSettings settings(path, QSettings::IniFormat);
    // Operators write the file in a UTF-8 editor; without a codec Qt would read
    // a Chinese password as Latin-1 and the login would fail.
    settings.setIniCodec("UTF-8");
    return settings.value(group + QLatin1Char('/') + key, QVariant()).toString();
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
