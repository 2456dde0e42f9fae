// A minimal host of OnlyOneApplication for the two-process tests.
//   onlyone_probe KEY [--window]
// Prints "serving" once it serves KEY, "window shown" when a later start woke
// its (hidden) activation window, and "quit" when its event loop ended. Ends by
// itself after 60 s so that a failed test leaves nothing behind.
#include <OvUIUtility/OnlyOneApplication.h>

#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const QString key = QString::fromLocal8Bit(argv[1]);
    const bool withWindow = argc > 2 && qstrcmp(argv[2], "--window") == 0;

    OnlyOneApplication app(argc, argv, key);
    if (app.isRunning())
        return 0;
    OnlyOneApplication::setInstance(&app);

    QWidget window;
    if (withWindow)
        app.setActivationWindow(&window);

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &window, [&window, &watch]() {
        if (window.isVisible()) {
            std::printf("window shown\n");
            std::fflush(stdout);
            watch.stop();
        }
    });
    watch.start(20);
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);

    std::printf("serving\n");
    std::fflush(stdout);
    const int rc = QApplication::exec();
    std::printf("quit\n");
    std::fflush(stdout);
    return rc;
}
