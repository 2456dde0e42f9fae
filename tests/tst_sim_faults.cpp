// The console against a simulator told to misbehave: unrequested login
// answers, and a kick while it has stopped reading under a flood.

#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "net/OvTransferServer.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

class TstSimFaults : public QObject
{
    Q_OBJECT

private slots:
    void misbehavingServer()
    {
        QProcess sim;
        QString error;
        const quint16 port =
            OvTest::startSimulator(sim, {"--listen", "127.0.0.1", "--items", "4", "--discovery-port", "0"}, &error);
        QVERIFY2(port, qPrintable(error));
        const auto command = [&sim](const QString& line) { return OvTest::simCommand(sim, line, 10000); };
        OvTest::ErrorRecorder errors;

        const OvTest::LogRecorder log;
        OvTransferServer* const client = OvTransferServer::instance();
        QSignalSpy connected(client, &OvTransferServer::signalConnect);
        client->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("580317"), port);
        QTRY_COMPARE_WITH_TIMEOUT(OvCGListModel::instance()->count(), 4, 5000);
        const QString token = command("consoles").first().section(' ', -1);
        QVERIFY(client->isSelfOperator(token));

        // Three answers to logins nobody sent: the session goes on unchanged.
        QVERIFY(command("repeat-login 1 3").last().startsWith("ok"));
        QVERIFY(command("rename 0 Later").last().startsWith("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(OvCGListModel::instance()->cgAt(0)->name(), QStringLiteral("Later"), 5000);
        QCOMPARE(connected.count(), 1);
        QVERIFY(client->isSelfOperator(token));

        // The server stops reading and floods; the kick still ends the
        // connection at once, with its own reason.
        QVERIFY(command("stop-reading").last().startsWith("ok"));
        QVERIFY(command("flood 60000").last().startsWith("ok"));
        QTest::qWait(1500);
        const QString kick1 = QStringLiteral(u"远程断开连接，当前设备已被加入黑名单。");
        QVERIFY(command("kick 1 1").last().startsWith("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(client->connectionState(), OvTransferServer::Idle, 5000);
        QTest::qWait(100);
        QCOMPARE(errors.texts, QStringList(kick1));
        QCOMPARE(log.lines.last(), QStringLiteral(u"系统:您与") + kick1);
        QCOMPARE(connected.count(), 2);
        OvTest::stopSimulator(sim);
    }
};

QTEST_MAIN(TstSimFaults)
#include "tst_sim_faults.moc"
