// The X11 hot-key layer on its own, inside a program whose Qt runs on a real X
// server (Xvfb, started before the application so that Qt connects to it).
#include "OvTestSupport.h"

#include "shortcut/OvHotKeyPlatform.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <QX11Info>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QString kKeysTool = QStringLiteral(OV_TEST_PROGS_DIR "/ov_x11_keys");

int xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000))
        return -1;
    return p.exitCode();
}

// Whether another client can take Ctrl+Alt+Q right now: it cannot while this
// program holds it.
QString otherClientGrab()
{
    QProcess p;
    p.start(kKeysTool, {"grab"});
    if (!p.waitForStarted(5000) || !QTest::qWaitFor([&] { return p.canReadLine(); }, 5000))
        return QStringLiteral("no answer");
    const QString answer = QString::fromLatin1(p.readLine()).trimmed();
    p.closeWriteChannel();
    p.waitForFinished(5000);
    return answer;
}

}  // namespace

class TstHotkeyX11 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QX11Info::isPlatformX11())
            QSKIP("no X server to run on (Xvfb is not installed)");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("xdotool is not installed");
    }

    void grabsReportsAndReleases()
    {
        int presses = 0;
        {
            OvHotKeyPlatform hotKey([&presses] { ++presses; });
            qApp->installNativeEventFilter(&hotKey);
            QVERIFY(hotKey.registerHotKey(Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier));
            QVERIFY(hotKey.isRegistered());
            QCOMPARE(otherClientGrab(), QStringLiteral("refused"));

            QCOMPARE(xdotool({"key", "ctrl+alt+q"}), 0);
            QTRY_COMPARE_WITH_TIMEOUT(presses, 1, 5000);
            // Other keys and other modifiers are not the hot key.
            for (const char* keys : {"q", "ctrl+q", "ctrl+alt+w", "ctrl+alt+shift+q"})
                QCOMPARE(xdotool({"key", QString::fromLatin1(keys)}), 0);
            QTest::qWait(300);
            QCOMPARE(presses, 1);

            QVERIFY(hotKey.unregisterHotKey());
            QVERIFY(!hotKey.isRegistered());
            QVERIFY(!hotKey.unregisterHotKey());
            QCOMPARE(otherClientGrab(), QStringLiteral("grabbed"));
            QCOMPARE(xdotool({"key", "ctrl+alt+q"}), 0);
            QTest::qWait(300);
            QCOMPARE(presses, 1);

            // Registered again, then released by the destructor.
            QVERIFY(hotKey.registerHotKey(Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier));
            QCOMPARE(otherClientGrab(), QStringLiteral("refused"));
        }
        QCOMPARE(otherClientGrab(), QStringLiteral("grabbed"));
    }

    // A layout without the key costs the grab; switching back brings it back,
    // however many changes failed in between. Each change is reported once.
    void followsMappingChangesAfterAFailedGrab()
    {
        int presses = 0;
        QList<bool> held;
        OvHotKeyPlatform hotKey([&presses] { ++presses; });
        hotKey.setHeldChanged([&held](bool h) { held << h; });
        qApp->installNativeEventFilter(&hotKey);
        QVERIFY(hotKey.registerHotKey(Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier));
        const auto mapQ = [](const char* state) {
            QProcess p;
            p.start(kKeysTool, {"q-key", QString::fromLatin1(state)});
            return p.waitForFinished(5000) && p.readAll().trimmed() == "mapped";
        };
        QVERIFY(mapQ("off"));
        QTRY_COMPARE_WITH_TIMEOUT(held, QList<bool>{false}, 5000);
        QVERIFY(mapQ("off"));  // a second change that still has no Q: no new line
        QTest::qWait(300);
        QCOMPARE(held, QList<bool>{false});
        QVERIFY(mapQ("on"));
        QTRY_COMPARE_WITH_TIMEOUT(held, (QList<bool>{false, true}), 5000);
        QCOMPARE(xdotool({"key", "ctrl+alt+q"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(presses, 1, 5000);
        qApp->removeNativeEventFilter(&hotKey);
    }

    void refusedWhileAnotherClientHoldsIt()
    {
        QProcess holder;
        holder.start(kKeysTool, {"grab"});
        QVERIFY(holder.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(holder.canReadLine(), 5000);
        QCOMPARE(QString::fromLatin1(holder.readLine()).trimmed(), QStringLiteral("grabbed"));

        int presses = 0;
        OvHotKeyPlatform hotKey([&presses] { ++presses; });
        qApp->installNativeEventFilter(&hotKey);
        QVERIFY(!hotKey.registerHotKey(Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier));
        QVERIFY(!hotKey.isRegistered());
        // Other combinations are still free.
        QVERIFY(hotKey.registerHotKey(Qt::Key_F5, Qt::ShiftModifier));
        QCOMPARE(xdotool({"key", "shift+F5"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(presses, 1, 5000);

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(5000));
        // Keys the table has no code for are refused before asking the server.
        QVERIFY(!hotKey.registerHotKey(Qt::Key_F25, Qt::ControlModifier));
        QVERIFY(!hotKey.isRegistered());
    }
};

int main(int argc, char** argv)
{
    // A display of its own, started before the application connects.
    pid_t xvfb = 0;
    QString display;
    if (!QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        for (int attempt = 0; attempt < 50 && display.isEmpty(); ++attempt) {
            const int n = 90 + QRandomGenerator::global()->bounded(400);
            if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
                && !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                display = QStringLiteral(":%1").arg(n);
        }
        const QByteArray name = display.toLatin1();
        char* const args[] = {const_cast<char*>("Xvfb"), const_cast<char*>(name.constData()),
                              const_cast<char*>("-screen"), const_cast<char*>("0"),
                              const_cast<char*>("640x480x24"), const_cast<char*>("-noreset"), nullptr};
        if (!display.isEmpty() && posix_spawnp(&xvfb, "Xvfb", nullptr, nullptr, args, environ) == 0) {
            const QString socket = QStringLiteral("/tmp/.X11-unix/X") + display.mid(1);
            for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
                usleep(50000);
            qputenv("DISPLAY", name);
            qputenv("QT_QPA_PLATFORM", "xcb");
            qputenv("QT_XCB_GL_INTEGRATION", "none");
        } else {
            xvfb = 0;
        }
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        TstHotkeyX11 test;
        result = QTest::qExec(&test, argc, argv);
    }
    if (xvfb > 0) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    return result;
}

#include "tst_hotkey_x11.moc"
