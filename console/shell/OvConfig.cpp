#include "OvConfig.h"

#include "shell/OvSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <QWidget>

QString readConfigValue(const QString& path, const QString& group, const QString& key)
{
    return OvSettings::readValue(path, group, key);
}

int readConfigPort()
{
    QString text = readConfigValue(OvSettings::defaultPath(), QStringLiteral("CONFIG"), QStringLiteral("port"));
    if (text.isEmpty())
        text = QStringLiteral("19999");
    return text.toInt(nullptr, 10);
}

QString readConfigPassword()
{
    const QString text =
        readConfigValue(OvSettings::defaultPath(), QStringLiteral("CONFIG"), QStringLiteral("password"));
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
