#include "OvUIUtility/OvUIUtility.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPointer>
#include <QTextStream>
#include <QTranslator>
#include <QVector>

namespace {
// Translators installed by the last loadTranslator call, removed by the next.
QVector<QPointer<QTranslator>>& installedTranslators()
{
    static QVector<QPointer<QTranslator>> list;
    return list;
}
}  // namespace

void loadStyleSheet(const QString& name)
{
    const QString fileName = name.isEmpty() ? QStringLiteral("default.qss") : name;
    QFile file(QCoreApplication::applicationDirPath() + QStringLiteral("/qss/") + fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // Style sheets are UTF-8 text: decoding with the locale's codec garbles
    // non-ASCII selectors and font names wherever the locale is not UTF-8.
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    const QString sheet = stream.readAll();
    file.close();
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        app->setStyleSheet(sheet);
}

void loadTranslator(const QString& language)
{
    const QString lang = language.isEmpty() ? QLocale::languageToString(QLocale::system().language()) : language;
    const QDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/language/") + lang);
    if (!dir.exists())
        return;

    auto& installed = installedTranslators();
    for (const QPointer<QTranslator>& t : qAsConst(installed)) {
        if (t) {
            QCoreApplication::removeTranslator(t);
            delete t.data();
        }
    }
    installed.clear();

    const QStringList files =
        dir.entryList({QStringLiteral("*.qm")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    QTranslator* pending = nullptr;
    for (const QString& file : files) {
        if (!pending)
            pending = new QTranslator(QCoreApplication::instance());
        if (pending->load(file, dir.path())) {
            installed.append(pending);
            QCoreApplication::installTranslator(pending);
            pending = nullptr;
        }
    }
    delete pending;
}
