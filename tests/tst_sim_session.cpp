// The console core in a whole session with the CG server simulator: login,
// catalogue, a publish and its notification, and a change made by a second
// client of the same simulator.

#include "OvTestPeer.h"
#include "OvTestSupport.h"
#include "shell/OvConsoleCore.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "net/OvTransferServer.h"

#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

class TstSimSession : public QObject
{
    Q_OBJECT

    // The take path and the rest of a console's parts, with the default settings.
    OvConsoleCore m_core{OvSettings()};

private slots:
    void session()
    {
        QProcess sim;
        QString error;
        const quint16 port =
            OvTest::startSimulator(sim, {"--listen", "127.0.0.1", "--items", "4", "--discovery-port", "0"}, &error);
        QVERIFY2(port, qPrintable(error));

        const OvTest::LogRecorder log;

        OvTransferServer* const client = OvTransferServer::instance();
        OvCGListModel* const model = OvCGListModel::instance();
        QSignalSpy connected(client, &OvTransferServer::signalConnect);
        client->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("580317"), port);
        QTRY_COMPARE_WITH_TIMEOUT(model->count(), 4, 5000);
        QCOMPARE(client->connectionState(), OvTransferServer::LoggedIn);
        QCOMPARE(connected.count(), 1);
        QVERIFY(model->currentCg());
        // Pictures are decoded on worker threads and come a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(!model->cgAt(0)->image().isNull(), 5000);

        // Publish the current item; the server's notification settles it.
        OvSubCGItem* const item = model->currentCg();
        const int before = item->status() == 1 ? 2 : 1;
        if (before == 1)
            OvTest::take(m_core.takes(), OvCgStatus::OnPgm);
        else
            OvTest::take(m_core.takes(), OvCgStatus::OnPvw);
        QCOMPARE(item->status(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(item->status(), before, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!log.lines.isEmpty(), 2000);
        QVERIFY2(log.lines.last().startsWith(QStringLiteral(u"您:发布")), qPrintable(log.lines.last()));

        // A second client renames an item of the same catalogue.
        OvTestPeer other;
        QVERIFY(other.connectTo(port));
        QVERIFY(other.login(QStringLiteral("580317"), QStringLiteral("other")) >= 0);
        QVERIFY(!client->isSelfOperator(other.token));
        OvSubCGItem* const target = model->cgAt(1);
        const QString oldName = target->name();
        other.send({{"cmd", "updateCG"},
                    {"cmdType", "request"},
                    {"token", other.token},
                    {"value", QJsonObject{{"operationTarget", target->guid()},
                                          {"operationType", 1},
                                          {"operationValue", QJsonObject{{"origStatus", 0},
                                                                         {"curStatus", 2}}},
                                          {"operator", QJsonObject{{"operationID",
                                                                    QUuid::createUuid()
                                                                        .toString()}}}}}});
        QTRY_COMPARE_WITH_TIMEOUT(target->status(), 2, 5000);
        QTRY_VERIFY2_WITH_TIMEOUT(log.lines.last().endsWith(QStringLiteral(u"发布\"%1\"到PVW").arg(oldName)),
                                  qPrintable(log.lines.last()), 2000);
        QVERIFY2(!log.lines.last().startsWith(QStringLiteral(u"您:")), qPrintable(log.lines.last()));

        // The operator leaves: no box, one more signal.
        client->disconnectFromServer();
        QTRY_COMPARE_WITH_TIMEOUT(client->connectionState(), OvTransferServer::Idle, 3000);
        QCOMPARE(connected.count(), 2);
        OvTest::stopSimulator(sim);
    }
};

QTEST_MAIN(TstSimSession)
#include "tst_sim_session.moc"
