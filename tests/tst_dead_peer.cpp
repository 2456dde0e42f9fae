// A server whose host vanishes (power lost, cable pulled) sends neither FIN nor
// reset. The simulator runs in a network namespace of its own behind a veth
// link; cutting the link must end the console's connection through the usual
// teardown, with the remote-closed text, within seconds.

#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "net/OvTransferServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString RemoteClosedText =
    QStringLiteral(u"远程断开连接，请检查远程连接设置和网络状况后重试。");

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace

class TstDeadPeer : public QObject
{
    Q_OBJECT

private slots:
    void cutLinkEndsTheConnection()
    {
        // Cutting links is only safe inside the suite's private namespace.
        if (qgetenv("OV_IN_NETNS") != "1")
            QSKIP("runs only inside scripts/netns-run");
        for (const char* tool : {"unshare", "nsenter", "ip"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP("unshare, nsenter and ip are needed");
        }

        // A namespace of its own for the server, held open by a sleeping process.
        QProcess holder;
        holder.start(QStringLiteral("unshare"), {"-n", "sleep", "600"});
        QVERIFY(holder.waitForStarted(5000));
        const QString pid = QString::number(holder.processId());
        const QString ownNs = QFile::symLinkTarget(QStringLiteral("/proc/self/ns/net"));
        const auto serverNs = [&] { return QFile::symLinkTarget("/proc/" + pid + "/ns/net"); };
        QTRY_VERIFY_WITH_TIMEOUT(!serverNs().isEmpty() && serverNs() != ownNs, 5000);
        const QStringList inServer{"-t", pid, "-n"};
        QVERIFY(run("ip", {"link", "add", "vc0", "type", "veth", "peer", "name", "vc1"}));
        QVERIFY(run("ip", {"link", "set", "vc1", "netns", pid}));
        QVERIFY(run("ip", {"addr", "add", "10.88.0.1/24", "dev", "vc0"}));
        QVERIFY(run("ip", {"link", "set", "vc0", "up"}));
        QVERIFY(run("nsenter", inServer + QStringList{"ip", "addr", "add", "10.88.0.2/24", "dev", "vc1"}));
        QVERIFY(run("nsenter", inServer + QStringList{"ip", "link", "set", "vc1", "up"}));

        QProcess sim;
        QString error;
        const quint16 port = OvTest::startSimulator(
            sim, {"--listen", "10.88.0.2", "--items", "3", "--discovery-port", "0"}, &error,
            QStringList{"nsenter"} + inServer);
        QVERIFY2(port, qPrintable(error));

        const OvTest::LogRecorder log;
        OvTransferServer* const client = OvTransferServer::instance();
        client->connectToServer(QStringLiteral("10.88.0.2"), QStringLiteral("580317"), port);
        QTRY_COMPARE_WITH_TIMEOUT(OvCGListModel::instance()->count(), 3, 10000);
        QCOMPARE(client->connectionState(), OvTransferServer::LoggedIn);

        const OvTest::ErrorRecorder errors;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(run("ip", {"link", "set", "vc0", "down"}));
        // The kernel alone would keep retrying for some fifteen minutes.
        const bool noticed = QTest::qWaitFor(
            [&] { return client->connectionState() == OvTransferServer::Idle; }, 90000);
        const qint64 elapsed = clock.elapsed();
        QTest::qWait(100);
        sim.kill();
        holder.kill();
        sim.waitForFinished(3000);
        holder.waitForFinished(3000);
        run("ip", {"link", "del", "vc0"});
        QVERIFY(noticed);
        qInfo("cut link noticed after %lld ms", elapsed);
        QCOMPARE(errors.texts, QStringList(RemoteClosedText));
        QCOMPARE(log.lines.last(), QStringLiteral(u"系统:您与") + RemoteClosedText);
    }
};

QTEST_MAIN(TstDeadPeer)
#include "tst_dead_peer.moc"
