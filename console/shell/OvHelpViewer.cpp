#include "OvHelpViewer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

struct ViewerCommand
{
    QString program;
    QStringList leadingArgs;
};

ViewerCommand& chmOverride()
{
    static ViewerCommand command;
    return command;
}

ViewerCommand& htmlOverride()
{
    static ViewerCommand command;
    return command;
}

QString& helpLanguage()
{
    static QString language;
    return language;
}

// The help page in the console's language; empty when there is none.
QString languageHelpPath()
{
    if (helpLanguage().isEmpty())
        return QString();
    const QString path =
        QCoreApplication::applicationDirPath() + QStringLiteral("/help/%1/index.html").arg(helpLanguage());
    return QFileInfo::exists(path) ? path : QString();
}

// The first installed CHM viewer, or an empty program.
ViewerCommand platformChmViewer()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("hh.exe"), {}};
#else
    static const char* const candidates[] = {"xchm", "kchmviewer", "chmsee", "okular"};
    for (const char* name : candidates) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return {path, {}};
    }
    return {};
#endif
}

ViewerCommand platformHtmlViewer()
{
#if defined(Q_OS_WIN)
    return {QStringLiteral("explorer.exe"), {}};
#elif defined(Q_OS_MACOS)
    return {QStringLiteral("open"), {}};
#else
    const QString path = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (path.isEmpty())
        return {};
    return {path, {}};
#endif
}

QProcess* startViewer(QObject* owner, const ViewerCommand& command, const QString& file)
{
    auto* process = new QProcess(owner);
    // The viewer runs on its own; its object goes when it ends or cannot start.
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                     &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    // Nobody reads the viewer's chatter.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(command.program, command.leadingArgs + QStringList{file}, QIODevice::ReadOnly);
    return process;
}

}  // namespace

void OvHelpViewer::setChmViewerCommand(const QString& program, const QStringList& leadingArgs)
{
    chmOverride() = {program, leadingArgs};
}

void OvHelpViewer::setHtmlViewerCommand(const QString& program, const QStringList& leadingArgs)
{
    htmlOverride() = {program, leadingArgs};
}

void OvHelpViewer::setLanguage(const QString& language)
{
    // Only a plain language code names a folder.
    static const QRegularExpression code(QStringLiteral("^[a-z]{2}(_[A-Z]{2})?$"));
    helpLanguage() = code.match(language).hasMatch() ? language : QString();
}

QString OvHelpViewer::chmHelpPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/help.chm");
}

QString OvHelpViewer::htmlHelpPath()
{
    const QString translated = languageHelpPath();
    return translated.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html")
                                : translated;
}

QProcess* OvHelpViewer::open(QObject* owner)
{
    const QString chm = chmHelpPath();
    if (QFileInfo::exists(chm) && languageHelpPath().isEmpty()) {
        const ViewerCommand viewer =
            chmOverride().program.isEmpty() ? platformChmViewer() : chmOverride();
        if (!viewer.program.isEmpty() && (QFileInfo(viewer.program).isAbsolute()
                                              ? QFileInfo(viewer.program).isExecutable()
                                              : !QStandardPaths::findExecutable(viewer.program).isEmpty()))
            return startViewer(owner, viewer, chm);
    }

    const QString html = htmlHelpPath();
    if (!QFileInfo::exists(html))
        return nullptr;
    const ViewerCommand viewer = htmlOverride().program.isEmpty() ? platformHtmlViewer() : htmlOverride();
    if (viewer.program.isEmpty())
        return nullptr;
    return startViewer(owner, viewer, html);
}
