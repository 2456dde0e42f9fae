// The system-wide hot key and the single keys, end to end: the real console
// under a real X server (Xvfb), logged in to the CG server simulator, with
// another X client in front; keys come from xdotool.
#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

using OvTest::RunResult;

const QString kOn = QStringLiteral("系统:快键键已开启");
const QString kOff = QStringLiteral("系统:快键键已关闭");
// How long a key that should do nothing is given to do something anyway.
constexpr int kQuietMs = 1000;

}  // namespace

class TstE2eHotkey : public QObject
{
    Q_OBJECT

private:
    QProcess m_xvfb;
    QProcess m_sim;
    QProcess m_console;
    QProcess m_other;
    QString m_display;
    QString m_app;
    QString m_simLog;
    QString m_mainWindow;
    QString m_otherWindow;
    QProcessEnvironment m_env;
    // Lock keys switched on by a test, switched off again after it whatever the outcome.
    QStringList m_locksOn;

    RunResult xdotool(const QStringList& args) const { return OvTest::runProgram(QStringLiteral("xdotool"), args, m_env); }

    QString logText() const
    {
        return QString::fromUtf8(OvTest::readFile(QFileInfo(m_app).absolutePath() + QStringLiteral("/log/log.txt")));
    }

    QStringList simLines() const
    {
        return QString::fromUtf8(OvTest::readFile(m_simLog)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // The publish requests the simulator has received, in order.
    QStringList updateRequests() const
    {
        QStringList found;
        for (const QString& line : simLines())
            if (line.contains(QStringLiteral(" -> ")) && line.contains(QStringLiteral("\"cmd\":\"updateCG\"")))
                found << line;
        return found;
    }

    // Status changes the simulator made for this console: "item ROW ... status S".
    QStringList statusChanges() const
    {
        QStringList found;
        for (const QString& line : simLines())
            if (line.contains(QRegularExpression(QStringLiteral(" item \\d+ \".*\" status \\d by console"))))
                found << line;
        return found;
    }

    bool simCommand(const QString& line)
    {
        const qint64 before = simLines().size();
        m_sim.write(line.toUtf8() + '\n');
        return QTest::qWaitFor([&] { return simLines().size() > before + 1; }, 5000);
    }

    // Key presses from xdotool go to the window that has the focus.
    bool keysTo(const QString& window, const QString& keys)
    {
        if (xdotool({"windowfocus", "--sync", window}).exitCode != 0)
            return false;
        return xdotool({"key", keys}).exitCode == 0;
    }

    bool hotKeyTogglesTo(const QString& expected)
    {
        const int before = logText().count(expected);
        if (!keysTo(m_otherWindow, QStringLiteral("ctrl+alt+q")))
            return false;
        return QTest::qWaitFor([&] { return logText().count(expected) == before + 1; }, 5000);
    }

    QString findWindow(const QString& name) const
    {
        const RunResult found = OvTest::runProgram(QStringLiteral("timeout"),
                                    {"20", "xdotool", "search", "--sync", "--onlyvisible", "--name", name}, m_env,
                                    25000);
        return found.exitCode == 0 ? found.out.section(QLatin1Char('\n'), 0, 0) : QString();
    }

    QStringList consoleWindows() const
    {
        return xdotool({"search", "--onlyvisible", "--class", "OvCGVestrel"})
            .out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    bool startConsole()
    {
        m_console.setProcessEnvironment(m_env);
        m_console.setProcessChannelMode(QProcess::ForwardedChannels);
        m_console.start(m_app, QStringList());
        if (!m_console.waitForStarted(5000))
            return false;
        m_mainWindow = findWindow(QStringLiteral("^CGVestrel$"));
        const int welcomes = logText().count(QStringLiteral("欢迎使用"));
        return !m_mainWindow.isEmpty()
               && QTest::qWaitFor([&] { return logText().count(QStringLiteral("欢迎使用")) > welcomes - 1; }, 5000);
    }

    // Opens the login dialog with the connect button (bottom left) and confirms
    // the server that discovery found, with the port and password of config.ini.
    bool logIn()
    {
        const RunResult geometry = xdotool({"getwindowgeometry", "--shell", m_mainWindow});
        if (geometry.exitCode != 0)
            return false;
        QHash<QString, int> g;
        for (const QString& line : geometry.out.split(QLatin1Char('\n')))
            g.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
        const int x = g.value(QStringLiteral("X")) + 26 + 30;
        const int y = g.value(QStringLiteral("Y")) + g.value(QStringLiteral("HEIGHT")) - 2 - 10 - 16;
        const int before = consoleWindows().size();
        xdotool({"mousemove", QString::number(x), QString::number(y), "click", "1"});
        if (!QTest::qWaitFor([&] { return consoleWindows().size() > before; }, 5000))
            return false;
        const QString dialog = consoleWindows().last();
        // The server list fills from discovery within one announcement period.
        if (!QTest::qWaitFor([&] {
                return simLines().filter(QStringLiteral("discovery: announcement")).size() > 0;
            }, 8000))
            return false;
        QTest::qWait(300);
        if (!keysTo(dialog, QStringLiteral("Return")))
            return false;
        return QTest::qWaitFor([&] { return logText().contains(QStringLiteral("您成功与studio建立远程连接")); }, 8000)
               && QTest::qWaitFor([&] { return simLines().filter(QStringLiteral("syncCGList")).size() >= 2; }, 5000);
    }

private slots:
    void initTestCase()
    {
        // Found by discovery on the usual port, as a studio's server.
        m_simLog = QDir::currentPath() + QStringLiteral("/sim.log");
        QFile::remove(m_simLog);
        QString error;
        const quint16 port = OvTest::startSimulator(m_sim, {"--items", "4", "--log", m_simLog}, &error);
        QVERIFY2(port, qPrintable(error));

        for (const char* tool : {"Xvfb", "xdotool", "xmessage", "timeout"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool))));

        m_display = OvTest::startXvfb(m_xvfb, &error);
        QVERIFY2(!m_display.isEmpty(), qPrintable(error));
        m_env = OvTest::x11Environment(m_display);
        // No running order from an earlier run (the test's own data folder).
        QDir(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/OvCGVestrel")).removeRecursively();

        m_app = OvTest::copyProgram(QDir::currentPath() + QStringLiteral("/app"));
        QVERIFY(QFileInfo(m_app).isExecutable());

        QVERIFY(OvTest::writeFile(QFileInfo(m_app).absolutePath() + QStringLiteral("/config.ini"),
                                  QStringLiteral("[CONFIG]\nport=%1\npassword=580317\n").arg(port).toUtf8()));

        // Another X client, to have the focus when the hot key is pressed.
        m_other.setProcessEnvironment(m_env);
        m_other.start(QStringLiteral("xmessage"), {"-title", "ovother", "another client"});
        QVERIFY(m_other.waitForStarted(5000));
        m_otherWindow = findWindow(QStringLiteral("^ovother$"));
        QVERIFY(!m_otherWindow.isEmpty());

        QVERIFY(startConsole());
        QVERIFY2(logIn(), "the console did not log in to the simulator");
    }

    void cleanupTestCase()
    {
        OvTest::closeConsole(m_console);
        OvTest::stopSimulator(m_sim);
        OvTest::stopProcess(m_other);
        OvTest::stopProcess(m_xvfb);
    }

    // Whatever a test left behind: lock keys on, and after a failure the single keys armed.
    void cleanup()
    {
        for (const QString& key : qAsConst(m_locksOn))
            keysTo(m_otherWindow, key);
        m_locksOn.clear();
        if (QTest::currentTestFailed() && m_console.state() == QProcess::Running
            && logText().lastIndexOf(kOn) > logText().lastIndexOf(kOff))
            hotKeyTogglesTo(kOff);
    }

    void singleKeysOffAtStart()
    {
        QVERIFY(!logText().contains(kOn));
        QVERIFY(keysTo(m_mainWindow, QStringLiteral("z")));
        QTest::qWait(kQuietMs);
        QCOMPARE(updateRequests().size(), 0);
    }

    void hotKeyFromAnotherClientArmsZ()
    {
        QVERIFY(hotKeyTogglesTo(kOn));
        // The first tile is the current CG once the catalogue is in.
        QVERIFY(keysTo(m_mainWindow, QStringLiteral("z")));
        QTRY_COMPARE_WITH_TIMEOUT(updateRequests().size(), 1, 5000);
        QVERIFY2(updateRequests().first().contains(QStringLiteral("\"curStatus\":1")),
                 qPrintable(updateRequests().first()));
        QTRY_COMPARE_WITH_TIMEOUT(statusChanges().filter(QStringLiteral(" item 0 ")).size(), 1, 5000);
    }

    void rightThenXPublishesSecondTile()
    {
        // The arrows move the selection through the tile grid.
        const int before = statusChanges().size();
        QVERIFY(keysTo(m_mainWindow, QStringLiteral("Right")));
        QVERIFY(keysTo(m_mainWindow, QStringLiteral("x")));
        QTRY_COMPARE_WITH_TIMEOUT(statusChanges().size(), before + 1, 5000);
        QVERIFY2(statusChanges().last().contains(QRegularExpression(QStringLiteral(" item 1 \".*\" status 2 "))),
                 qPrintable(statusChanges().last()));
        QVERIFY(keysTo(m_mainWindow, QStringLiteral("Left")));
    }

    void secondHotKeyDisarms()
    {
        QVERIFY(hotKeyTogglesTo(kOff));
        // Back off air, so that each key would have something to send.
        QVERIFY(simCommand(QStringLiteral("status 0 0")));
        QTest::qWait(300);
        const int before = updateRequests().size();
        QVERIFY(keysTo(m_mainWindow, QStringLiteral("z")));
        QVERIFY(keysTo(m_mainWindow, QStringLiteral("x")));
        QTest::qWait(kQuietMs);
        QCOMPARE(updateRequests().size(), before);
    }

    void worksWhateverTheLockState_data()
    {
        QTest::addColumn<QString>("locks");
        QTest::newRow("NumLock") << "Num_Lock";
        QTest::newRow("CapsLock") << "Caps_Lock";
        QTest::newRow("NumLock and CapsLock") << "Num_Lock Caps_Lock";
    }

    void worksWhateverTheLockState()
    {
        QFETCH(QString, locks);
        const QStringList keys = locks.split(QLatin1Char(' '));
        for (const QString& key : keys) {
            QVERIFY(keysTo(m_otherWindow, key));
            m_locksOn << key;
        }
        QVERIFY(hotKeyTogglesTo(kOn));
        // The single keys work in that state too.
        QVERIFY(simCommand(QStringLiteral("status 0 0")));
        QTest::qWait(300);
        const int before = updateRequests().size();
        QVERIFY(keysTo(m_mainWindow, QStringLiteral("z")));
        QTRY_COMPARE_WITH_TIMEOUT(updateRequests().size(), before + 1, 5000);
        QVERIFY(hotKeyTogglesTo(kOff));
    }

    void heldHotKeyIsOnePress()
    {
        const int ons = logText().count(kOn);
        const int offs = logText().count(kOff);
        QVERIFY(xdotool({"windowfocus", "--sync", m_otherWindow}).exitCode == 0);
        const bool down = xdotool({"keydown", "ctrl+alt+q"}).exitCode == 0;
        QTest::qWait(1500);  // well past the X server's auto-repeat delay
        const bool up = xdotool({"keyup", "ctrl+alt+q"}).exitCode == 0;
        QVERIFY(down && up);
        QTRY_VERIFY_WITH_TIMEOUT(logText().count(kOn) > ons, 5000);
        QTest::qWait(300);
        QCOMPARE(logText().count(kOn), ons + 1);
        QCOMPARE(logText().count(kOff), offs);
        QVERIFY(hotKeyTogglesTo(kOff));
    }

    // GO held past the repeat delay takes the next cue, not the ones after it.
    void heldGoIsOnePress()
    {
        QVERIFY(hotKeyTogglesTo(kOn));
        // Two cues off air: the current first tile and the second, added with Insert.
        QVERIFY(simCommand(QStringLiteral("status 0 0")) && simCommand(QStringLiteral("status 1 0")));
        for (const char* key : {"Insert", "Right", "Insert", "Left"})
            QVERIFY(keysTo(m_mainWindow, QString::fromLatin1(key)));
        QTest::qWait(300);
        const int before = updateRequests().size();
        QVERIFY(xdotool({"keydown", "space"}).exitCode == 0);
        QTest::qWait(1500);  // well past the X server's repeat delay
        QVERIFY(xdotool({"keyup", "space"}).exitCode == 0);
        QTRY_VERIFY_WITH_TIMEOUT(updateRequests().size() > before, 5000);
        QTest::qWait(kQuietMs);
        QCOMPARE(updateRequests().size(), before + 1);
        QVERIFY(hotKeyTogglesTo(kOff));
    }

    void followsTheModifierMapping()
    {
        // NumLock moved to Mod3: the console grabs again with the new bit.
        const QString tool = QStringLiteral(OV_TEST_PROGS_DIR "/ov_x11_keys");
        QCOMPARE(OvTest::runProgram(tool, {"numlock-mod", "3"}, m_env).out, QStringLiteral("moved"));
        QTest::qWait(500);
        QVERIFY(keysTo(m_otherWindow, QStringLiteral("Num_Lock")));
        const bool armed = hotKeyTogglesTo(kOn);
        const bool disarmed = armed && hotKeyTogglesTo(kOff);
        keysTo(m_otherWindow, QStringLiteral("Num_Lock"));
        // Put back as the server had it, so the tests after this one see the usual mapping.
        QCOMPARE(OvTest::runProgram(tool, {"numlock-mod", "2"}, m_env).out, QStringLiteral("moved"));
        QVERIFY(armed);
        QVERIFY(disarmed);
    }

    void grabHeldByAnotherClient()
    {
        // Ends cleanly with its grab held: the grab goes while the X connection is still open.
        OvTest::closeConsole(m_console);
        QCOMPARE(m_console.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_console.exitCode(), 0);
        QProcess grabber;
        grabber.setProcessEnvironment(m_env);
        grabber.start(QStringLiteral(OV_TEST_PROGS_DIR "/ov_x11_keys"), {"grab"});
        QVERIFY(grabber.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(grabber.canReadLine(), 5000);
        QCOMPARE(QString::fromLatin1(grabber.readLine()).trimmed(), QStringLiteral("grabbed"));

        // The console starts normally and its shortcuts stay off, in every lock
        // state (it holds none of the combinations rather than only some).
        const int ons = logText().count(kOn);
        QVERIFY(startConsole());
        QVERIFY(keysTo(m_otherWindow, QStringLiteral("ctrl+alt+q")));
        QVERIFY(keysTo(m_otherWindow, QStringLiteral("Num_Lock")));
        m_locksOn << QStringLiteral("Num_Lock");
        QVERIFY(keysTo(m_otherWindow, QStringLiteral("ctrl+alt+q")));
        QTest::qWait(kQuietMs);
        QCOMPARE(logText().count(kOn), ons);
        QCOMPARE(m_console.state(), QProcess::Running);
        QVERIFY(!findWindow(QStringLiteral("^CGVestrel$")).isEmpty());

        grabber.closeWriteChannel();
        QVERIFY(grabber.waitForFinished(5000));
        OvTest::closeConsole(m_console);
        QCOMPARE(m_console.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_console.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TstE2eHotkey)
#include "tst_e2e_hotkey.moc"
