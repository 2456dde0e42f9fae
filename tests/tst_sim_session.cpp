// The console core in a whole session with the CG server simulator: login,
// catalogue, a publish and its notification, and a change made by a second
// client of the same simulator.

#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "log/OvCGMessage.h"
#include "net/OvTransferServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUuid>
#include <QtEndian>

namespace {

QByteArray frameOf(const QJsonObject& o)
{
    const QByteArray body = QJsonDocument(o).toJson(QJsonDocument::Compact);
    QByteArray header(8, '\0');
    qToBigEndian<quint32>(quint32(body.size()), header.data());
    header[4] = 1;
    return header + body;
}

// A second, independent client of the simulator, speaking the protocol itself.
class OtherClient
{
public:
    bool login(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(3000))
            return false;
        send({{"cmd", "login"},
              {"cmdType", "request"},
              {"token", ""},
              {"value", QJsonObject{{"deviceName", "other"},
                                    {"password", "580317"},
                                    {"deviceType", "PC"},
                                    {"deviceMac", "02:00:00:00:00:01"},
                                    {"clientVer", 1}}}});
        const QJsonObject answer = waitFor("login");
        token = answer.value("value").toObject().value("token").toString();
        return answer.value("code").toInt(-1) >= 0;
    }

    void send(const QJsonObject& o)
    {
        socket.write(frameOf(o));
        socket.flush();
    }

    QJsonObject waitFor(const QString& cmd)
    {
        QJsonObject found;
        OvTest::waitFor(
            [&] {
                socket.waitForReadyRead(5);
                buffer += socket.readAll();
                while (buffer.size() >= 8) {
                    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
                    if (quint32(buffer.size()) < 8 + length)
                        break;
                    const QJsonObject m =
                        QJsonDocument::fromJson(buffer.mid(8, int(length))).object();
                    buffer.remove(0, int(8 + length));
                    if (m.value("cmd").toString() == cmd && found.isEmpty())
                        found = m;
                }
                return !found.isEmpty();
            },
            5000);
        return found;
    }

    QTcpSocket socket;
    QByteArray buffer;
    QString token;
};

}  // namespace

class TstSimSession : public QObject
{
    Q_OBJECT

private slots:
    void session()
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
        QProcess sim;
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(QStringLiteral(OV_SIM_BIN),
                  {"--port", QString::number(port), "--listen", "127.0.0.1", "--items", "4",
                   "--discovery-port", "0"});
        QVERIFY(sim.waitForStarted(5000));
        QVERIFY(OvTest::waitForTcpListener(port, 5000));

        QStringList log;
        connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, this,
                [&log](MessageType, const QString&, const QString& title, const QString& text) {
                    log.append(title + QLatin1Char(':') + text);
                });

        OvTransferServer* const client = OvTransferServer::instance();
        OvCGListModel* const model = OvCGListModel::instance();
        QSignalSpy connected(client, &OvTransferServer::signalConnect);
        client->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("580317"), port);
        QVERIFY(OvTest::waitFor([&] { return model->count() == 4; }, 5000));
        QCOMPARE(client->connectionState(), OvTransferServer::LoggedIn);
        QCOMPARE(connected.count(), 1);
        QVERIFY(model->currentCg());
        // Pictures are decoded on worker threads and come a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(!model->cgAt(0)->image().isNull(), 5000);

        // Publish the current item; the server's notification settles it.
        OvSubCGItem* const item = model->currentCg();
        const int before = item->status() == 1 ? 2 : 1;
        if (before == 1)
            model->sendPgm();
        else
            model->sendPvw();
        QCOMPARE(item->status(), 3);
        QVERIFY(OvTest::waitFor([&] { return item->status() == before; }, 5000));
        QVERIFY(OvTest::waitFor([&] { return !log.isEmpty(); }, 2000));
        QVERIFY2(log.last().startsWith(QStringLiteral(u"您:发布")), qPrintable(log.last()));

        // A second client renames an item of the same catalogue.
        OtherClient other;
        QVERIFY(other.login(port));
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
        QVERIFY(OvTest::waitFor([&] { return target->status() == 2; }, 5000));
        QVERIFY(OvTest::waitFor(
            [&] { return log.last().endsWith(QStringLiteral(u"发布\"%1\"到PVW").arg(oldName)); },
            2000));
        QVERIFY2(!log.last().startsWith(QStringLiteral(u"您:")), qPrintable(log.last()));

        // The operator leaves: no box, one more signal.
        client->disconnectFromServer();
        QVERIFY(OvTest::waitFor(
            [&] { return client->connectionState() == OvTransferServer::Idle; }, 3000));
        QCOMPARE(connected.count(), 2);
        sim.write("quit\n");
        if (!sim.waitForFinished(3000)) {
            sim.kill();
            sim.waitForFinished(1000);
        }
#endif
    }
};

QTEST_MAIN(TstSimSession)
#include "tst_sim_session.moc"
