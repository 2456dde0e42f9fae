// The real console program, started as an operator would start it.
#include "OvTestSupport.h"

#include <OvUIUtility/OnlyOneApplication.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>

class TstStartup : public QObject
{
    Q_OBJECT

private:
    QString m_app;  // a private copy of the program folder

    static bool serving()
    {
        QLocalSocket probe;
        probe.connectToServer(OnlyOneApplication::socketPath(QStringLiteral("OvCG_Vestrel")));
        return probe.waitForConnected(200);
    }

private slots:
    void initTestCase()
    {
        m_app = OvTest::copyProgram(QDir::currentPath() + QStringLiteral("/app"), true);
        QVERIFY(QFileInfo(m_app).isExecutable());
    }

    void secondStartExitsAtOnce()
    {
        QProcess first;
        first.start(m_app, QStringList());
        QVERIFY(first.waitForStarted(5000));
        QTRY_VERIFY2_WITH_TIMEOUT(serving(), "the first console never served its key", 15000);

        QProcess second;
        second.start(m_app, QStringList());
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardError(), QByteArray("OvCG_Vestrel already running.\n"));
        QCOMPARE(second.readAllStandardOutput(), QByteArray());

        QTest::qWait(1200);
        QCOMPARE(first.state(), QProcess::Running);
        OvTest::closeConsole(first);
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
    }

    // The log is never written through a link planted in its place.
    void logIsNotFollowedThroughALink()
    {
        const QString linked = OvTest::copyProgram(QDir::currentPath() + QStringLiteral("/linked"), true);
        const QString logDir = QFileInfo(linked).absolutePath() + QStringLiteral("/log");
        QVERIFY(QDir().mkpath(logDir));
        QFile target(QDir::currentPath() + QStringLiteral("/someone-elses.txt"));
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("untouched\n");
        target.close();
        QFile::remove(logDir + QStringLiteral("/log.txt"));
        QVERIFY(QFile::link(target.fileName(), logDir + QStringLiteral("/log.txt")));
        QProcess console;
        console.start(linked, QStringList());
        QVERIFY(console.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(serving(), 15000);
        OvTest::closeConsole(console);
        QCOMPARE(console.exitCode(), 0);
        QVERIFY(target.open(QIODevice::ReadOnly));
        QCOMPARE(target.readAll(), QByteArray("untouched\n"));
    }

    void startsWithoutStyleSheets()
    {
        const QString bare = OvTest::copyProgram(QDir::currentPath() + QStringLiteral("/bare"), false);
        QProcess console;
        console.start(bare, QStringList());
        QVERIFY(console.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(serving(), 15000);
        QCOMPARE(console.state(), QProcess::Running);
        OvTest::closeConsole(console);
        QCOMPARE(console.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TstStartup)
#include "tst_startup.moc"
