#pragma once

#include <QString>
#include <QStringList>

class QObject;
class QProcess;

// Opens the operator help in a separate viewer process without waiting for it.
// All platform knowledge about help viewers lives here.
//
// Where "help.chm" lies beside the program and a CHM viewer is at hand, that
// viewer opens it; otherwise the HTML help (help/index.html beside the program)
// goes to the desktop's opener. The process object is a child of the given
// owner and deletes itself when the viewer ends or fails to start.
class OvHelpViewer
{
public:
    // The started process, or null when no help or no viewer could be started.
    static QProcess* open(QObject* owner);

    // Replace the viewer programs (tests use a fake viewer). An empty program
    // restores the platform's choice. The leading arguments come before the file.
    static void setChmViewerCommand(const QString& program, const QStringList& leadingArgs = {});
    static void setHtmlViewerCommand(const QString& program, const QStringList& leadingArgs = {});

    // The console's language ("en"; empty: Chinese). Where help/<language>/
    // index.html lies beside the program that page opens, and the compiled
    // help.chm (Chinese only) is passed over.
    static void setLanguage(const QString& language);

    static QString chmHelpPath();
    // The HTML help in the console's language, else the Chinese one.
    static QString htmlHelpPath();
};
