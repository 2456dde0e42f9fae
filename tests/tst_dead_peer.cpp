// A server whose host vanishes (power lost, cable pulled) sends neither FIN nor
// reset. The simulator runs in a network namespace of its own behind a veth
// link; cutting the link must end the console's connection through the usual
// teardown, with the remote-closed text, within seconds.

#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "net/OvTransferServer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

namespace {

const QString RemoteClosedText =
    QStringLiteral(u"远程断开连接，请检查远程连接设置和网络状况后重试。");

bool run(const QString& program, const QStringList& args)
{
    return OvTest::OtherHost::run(program, args);
}

}  // namespace

class TstDeadPeer : public QObject
{
    Q_OBJECT

private slots:
    void cutLinkEndsTheConnection()
    {
        // The server on a host of its own, behind a link that can be cut.
        OvTest::OtherHost host;
        const QString why = host.start();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        const QStringList inServer = host.enter();

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
        sim.waitForFinished(3000);
        QVERIFY(noticed);
        qInfo("cut link noticed after %lld ms", elapsed);
        QCOMPARE(errors.texts, QStringList(RemoteClosedText));
        QCOMPARE(log.lines.last(), QStringLiteral(u"系统:您与") + RemoteClosedText);
    }
};

QTEST_MAIN(TstDeadPeer)
#include "tst_dead_peer.moc"
