// Single-instance guard, driven through real processes.
#include "OvTestSupport.h"

#include <OvUIUtility/OnlyOneApplication.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

#include <memory>

#include <unistd.h>
#include <vector>

class TstOnlyOneApplication : public QObject
{
    Q_OBJECT

private:
    static QString probe() { return QStringLiteral(OV_TEST_PROGS_DIR "/onlyone_probe"); }
    static QString freshKey() { return QStringLiteral("ovtest_") + QUuid::createUuid().toString(QUuid::Id128); }

    // Starts a probe and waits until it serves the key.
    std::unique_ptr<QProcess> startServing(const QString& key, const QStringList& extra = {})
    {
        auto p = std::make_unique<QProcess>();
        p->start(probe(), QStringList{key} + extra);
        if (!p->waitForStarted(5000))
            return nullptr;
        const bool ok = QTest::qWaitFor([&]() { return p->canReadLine() || p->state() != QProcess::Running; }, 10000);
        if (!ok || p->readLine() != "serving\n")
            return nullptr;
        return p;
    }

    static void sendToKey(const QString& key, const QByteArray& bytes)
    {
        QLocalSocket socket;
        socket.connectToServer(OnlyOneApplication::socketPath(key));
        QVERIFY(socket.waitForConnected(2000));
        socket.write(bytes);
        QVERIFY(socket.waitForBytesWritten(2000));
        // Give the server time to read before the connection goes away.
        QTest::qWait(300);
    }

    static void stop(QProcess* p)
    {
        p->kill();
        p->waitForFinished(5000);
    }

private slots:
    void instanceIsNullUntilSet()
    {
        QCOMPARE(OnlyOneApplication::instance(), nullptr);
    }

    void secondProcessExitsWithOneLine()
    {
        const QString key = freshKey();
        auto first = startServing(key);
        QVERIFY(first);

        QProcess second;
        second.start(probe(), {key});
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardError(), (key + QStringLiteral(" already running.\n")).toLocal8Bit());
        QCOMPARE(second.readAllStandardOutput(), QByteArray());  // it never served

        QTest::qWait(1200);  // past the first process's one-second read wait
        QCOMPARE(first->state(), QProcess::Running);
        stop(first.get());
    }

    void wakeUpShowsActivationWindow()
    {
        const QString key = freshKey();
        auto first = startServing(key, {QStringLiteral("--window")});
        QVERIFY(first);
        QProcess second;
        second.start(probe(), {key});
        QVERIFY(second.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(first->canReadLine(), 5000);
        QCOMPARE(first->readLine(), QByteArray("window shown\n"));
        stop(first.get());
    }

    void closeMessage_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("quits");
        QTest::newRow("close") << QByteArray("close") << true;
        QTest::newRow("close with line end") << QByteArray("close\n") << false;
        QTest::newRow("capitals") << QByteArray("CLOSE") << false;
        QTest::newRow("other text") << QByteArray("hello") << false;
    }

    void closeMessage()
    {
        QFETCH(QByteArray, message);
        QFETCH(bool, quits);
        const QString key = freshKey();
        auto first = startServing(key);
        QVERIFY(first);
        sendToKey(key, message);
        if (quits) {
            QTRY_COMPARE_WITH_TIMEOUT(first->state(), QProcess::NotRunning, 5000);
            QCOMPARE(first->exitCode(), 0);
            QVERIFY(first->readAllStandardOutput().contains("quit"));
            // The name is gone: a new process serves it at once.
            auto next = startServing(key);
            QVERIFY(next);
            stop(next.get());
        } else {
            QTest::qWait(1300);
            QCOMPARE(first->state(), QProcess::Running);
            // It still serves: a later start is told so.
            QProcess second;
            second.start(probe(), {key});
            QVERIFY(second.waitForFinished(5000));
            QVERIFY(second.readAllStandardError().contains("already running"));
            stop(first.get());
        }
    }

    void staleNameIsReclaimed()
    {
        const QString key = freshKey();
        auto crashed = startServing(key);
        QVERIFY(crashed);
        crashed->kill();  // SIGKILL: the socket file stays behind
        QVERIFY(crashed->waitForFinished(5000));

        auto next = startServing(key);
        QVERIFY2(next, "a stale server name must be reclaimed");
        QProcess third;
        third.start(probe(), {key});
        QVERIFY(third.waitForFinished(5000));
        QCOMPARE(third.exitCode(), 0);
        QVERIFY(third.readAllStandardError().contains("already running"));
        stop(next.get());
    }

    void simultaneousStartsLeaveOneServing()
    {
        // Pairs started at the same moment: exactly one of each pair serves.
        constexpr int pairs = 40;
        std::vector<std::unique_ptr<QProcess>> procs;
        for (int i = 0; i < pairs; ++i) {
            const QString key = freshKey();
            for (int k = 0; k < 2; ++k) {
                procs.push_back(std::make_unique<QProcess>());
                procs.back()->start(probe(), {key});
            }
        }
        for (auto& p : procs)
            QVERIFY(p->waitForStarted(5000));
        int bothServed = 0;
        for (int i = 0; i < pairs; ++i) {
            int serving = 0;
            for (int k = 0; k < 2; ++k) {
                QProcess* const p = procs[size_t(2 * i + k)].get();
                (void)QTest::qWaitFor([p] { return p->canReadLine() || p->state() != QProcess::Running; }, 15000);
                serving += p->canReadLine() && p->readLine() == "serving\n";
            }
            bothServed += serving == 2;
            QVERIFY(serving >= 1);
        }
        for (auto& p : procs)
            stop(p.get());
        QCOMPARE(bothServed, 0);
    }

    void socketIsTheUsersOnly()
    {
        // Even under a umask that lets everyone in, other users cannot connect.
        const QString key = freshKey();
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral("/bin/sh"), {"-c", "umask 000; exec \"$0\" \"$1\"", probe(), key});
        QVERIFY(p->waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(p->canReadLine(), 10000);
        QCOMPARE(p->readLine(), QByteArray("serving\n"));
        const QFileInfo socket(OnlyOneApplication::socketPath(key));
        QVERIFY(socket.exists());
        QCOMPARE(socket.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
        stop(p.get());
    }

    // Another local user can neither squat on the name nor plant the lock:
    // the socket lives in a folder of this user only.
    void squattersCannotStopTheStart()
    {
        const QString key = freshKey();
        // Short paths: a local socket's path is limited to 107 bytes.
        QTemporaryDir scratch(QStringLiteral("/tmp/ovsq-XXXXXX"));
        QVERIFY(scratch.isValid());
        // A runtime folder open to all, and the per-user folder taken by someone else.
        const QString open = scratch.filePath(QStringLiteral("open"));
        QVERIFY(QDir().mkpath(open));
        QVERIFY(QFile::setPermissions(open, QFile::Permissions(0x7777)));
        const QString tmp = scratch.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(tmp));
        // A live server on the name everybody shared before, in the temporary folder.
        QLocalServer oldName;
        QVERIFY(oldName.listen(tmp + QLatin1Char('/') + key));
        const QString squatted = tmp + QStringLiteral("/ovuiutility-") + QString::number(::getuid());
        QVERIFY(QDir().mkpath(squatted));
        QVERIFY(QFile::setPermissions(squatted, QFile::Permissions(0x7777)));
        QFile planted(squatted + QLatin1Char('/') + key + QStringLiteral(".lock"));
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write("99999\nsomeone\nhost\n");
        planted.close();

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), open);
        env.insert(QStringLiteral("TMPDIR"), tmp);
        p.setProcessEnvironment(env);
        QElapsedTimer started;
        started.start();
        p.start(probe(), {key});
        QVERIFY(p.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine() || p.state() != QProcess::Running, 10000);
        QCOMPARE(p.readLine(), QByteArray("serving\n"));
        QVERIFY2(started.elapsed() < 4000, "a planted lock must not hold the start");
        QVERIFY(!QFileInfo::exists(open + QLatin1Char('/') + key));
        QVERIFY(!QFileInfo::exists(squatted + QLatin1Char('/') + key));
        stop(&p);
    }

    void silentPeersDoNotStallTheServer()
    {
        // Peers that connect and say nothing each held the serving process for
        // a second; a "close" behind eight of them must act at once.
        const QString key = freshKey();
        auto first = startServing(key);
        QVERIFY(first);
        std::vector<std::unique_ptr<QLocalSocket>> silent;
        for (int i = 0; i < 8; ++i) {
            silent.push_back(std::make_unique<QLocalSocket>());
            silent.back()->connectToServer(OnlyOneApplication::socketPath(key));
            QVERIFY(silent.back()->waitForConnected(2000));
        }
        QLocalSocket closer;
        closer.connectToServer(OnlyOneApplication::socketPath(key));
        QVERIFY(closer.waitForConnected(2000));
        closer.write("close");
        QVERIFY(closer.waitForBytesWritten(2000));
        // Eight seconds before; well under that now.
        QTRY_COMPARE_WITH_TIMEOUT(first->state(), QProcess::NotRunning, 4000);
        QCOMPARE(first->exitCode(), 0);
    }
};

QTEST_MAIN(TstOnlyOneApplication)
#include "tst_onlyoneapplication.moc"
