// The console against a simulator told to misbehave: unrequested login
// answers, and a kick while it has stopped reading under a flood.

#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "log/OvCGMessage.h"
#include "net/OvTransferServer.h"
#include "shell/OvMsgDlg.h"

#include <OvUIUtility/OvLabel.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

class TstSimFaults : public QObject
{
    Q_OBJECT

#ifdef OV_SIM_BIN
    QProcess m_sim;

    QStringList command(const QString& line)
    {
        m_sim.write(line.toUtf8() + '\n');
        QStringList reply;
        while (OvTest::waitFor([&] { return m_sim.canReadLine(); }, 10000)) {
            reply.append(QString::fromUtf8(m_sim.readLine()).trimmed());
            if (reply.last().startsWith("ok") || reply.last().startsWith("error"))
                break;
        }
        return reply;
    }
#endif

private slots:
    void misbehavingServer()
    {
#ifndef OV_SIM_BIN
        QFAIL("the simulator is not built: its tests cannot pass without it");
#else
        quint16 port;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        m_sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_sim.start(QStringLiteral(OV_SIM_BIN), {"--port", QString::number(port), "--listen",
                                                 "127.0.0.1", "--items", "4", "--discovery-port", "0"});
        QVERIFY(m_sim.waitForStarted(5000));
        QVERIFY(OvTest::waitFor([&] { return m_sim.canReadLine(); }, 10000));
        m_sim.readLine();

        QStringList log;
        connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, this,
                [&log](MessageType, const QString&, const QString& title, const QString& text) {
                    log.append(title + QLatin1Char(':') + text);
                });
        OvTransferServer* const client = OvTransferServer::instance();
        QSignalSpy connected(client, &OvTransferServer::signalConnect);
        client->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("580317"), port);
        QVERIFY(OvTest::waitFor([&] { return OvCGListModel::instance()->count() == 4; }, 5000));
        const QString token = command("consoles").first().section(' ', -1);
        QVERIFY(client->isSelfOperator(token));

        // Three answers to logins nobody sent: the session goes on unchanged.
        QVERIFY(command("repeat-login 1 3").last().startsWith("ok"));
        QVERIFY(command("rename 0 Later").last().startsWith("ok"));
        QVERIFY(OvTest::waitFor(
            [&] { return OvCGListModel::instance()->cgAt(0)->name() == "Later"; }, 5000));
        QCOMPARE(connected.count(), 1);
        QVERIFY(client->isSelfOperator(token));

        // The server stops reading and floods; the kick still ends the
        // connection at once, with its own reason.
        QVERIFY(command("stop-reading").last().startsWith("ok"));
        QVERIFY(command("flood 60000").last().startsWith("ok"));
        QTest::qWait(1500);
        const QString kick1 = QStringLiteral(u"远程断开连接，当前设备已被加入黑名单。");
        QString boxText;
        OvTest::closeModalWhenShown(10000, 20, [&boxText](QWidget* w) {
            if (auto* box = qobject_cast<OvMsgDlg*>(w))
                boxText = box->messageLabel()->text();
        });
        QVERIFY(command("kick 1 1").last().startsWith("ok"));
        QVERIFY(OvTest::waitFor(
            [&] { return client->connectionState() == OvTransferServer::Idle; }, 5000));
        QTest::qWait(100);
        QCOMPARE(boxText, kick1);
        QCOMPARE(log.last(), QStringLiteral(u"系统:您与") + kick1);
        QCOMPARE(connected.count(), 2);
        m_sim.write("quit\n");
        if (!m_sim.waitForFinished(3000)) {
            m_sim.kill();
            m_sim.waitForFinished(1000);
        }
#endif
    }
};

QTEST_MAIN(TstSimFaults)
#include "tst_sim_faults.moc"
