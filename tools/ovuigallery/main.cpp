// A gallery of the widget kit's controls. With --screenshot FILE it saves the
// window to FILE once shown and quits.
#include "OvUIGalleryWindow.h"

#include <OvUIUtility/OvUIUtility.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ovuigallery"));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption shot(QStringLiteral("screenshot"), QStringLiteral("Save the window to <file> and quit."),
                                  QStringLiteral("file"));
    parser.addOption(shot);
    parser.process(app);

    loadStyleSheet(QStringLiteral("default.qss"));
    OvUIGalleryWindow window;
    window.show();
    if (parser.isSet(shot)) {
        const QString file = parser.value(shot);
        // Let the track panel play a little so the play-head is under way.
        QTimer::singleShot(1500, &window, [&window, file]() {
            const bool saved = window.grab().save(file);
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
