// Single-instance guard, driven through real processes.
#include "OvTestSupport.h"

#include <OvUIUtility/OnlyOneApplication.h>

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

#include <memory>

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
        const bool ok = OvTest::waitFor([&]() { return p->canReadLine() || p->state() != QProcess::Running; }, 10000);
        if (!ok || p->readLine() != "serving\n")
            return nullptr;
        return p;
    }

    static void sendToKey(const QString& key, const QByteArray& bytes)
    {
        QLocalSocket socket;
        socket.connectToServer(key);
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
        QVERIFY(OvTest::waitFor([&]() { return first->canReadLine(); }, 5000));
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
            QVERIFY(OvTest::waitFor([&]() { return first->state() == QProcess::NotRunning; }, 5000));
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
};

QTEST_MAIN(TstOnlyOneApplication)
#include "tst_onlyoneapplication.moc"
