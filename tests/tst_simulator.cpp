// Drives the real ovcg-sim process over loopback with a console speaking the
// protocol by hand: framing, login, catalogue, heartbeat, publish notifications
// to several consoles, discovery answers, operator commands and faults.

#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include "net/OvProtocol.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>
#include <QUuid>

#include <memory>

namespace {

constexpr int kWait = 5000;

using OvProtocol::request;
using Peer = OvTestPeer;

// The simulator process with its command channel on standard input/output.
struct Sim
{
    QProcess process;
    quint16 port = 0;

    // Its log goes beside the test's other files, not into the test's output.
    bool start(const QStringList& extra)
    {
        QString error;
        port = OvTest::startSimulator(
            process, QStringList{"--listen", "127.0.0.1", "--log", QDir::tempPath() + "/ovcg-sim.log"} + extra, &error);
        if (port == 0)
            qWarning("%s", qPrintable(error));
        return port != 0;
    }
    QStringList command(const QString& line) { return OvTest::simCommand(process, line); }
    void stop() { OvTest::stopSimulator(process); }
    ~Sim() { stop(); }
};

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

}  // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loginChecksPasswordAndToken();
    void catalogueHasDecodableCards();
    void heartAndTokenCheck();
    void publishNotifiesEveryConsole();
    void discoveryAnswersAnnouncements();
    void commandsChangeCatalogue();
    void kickAndClose();
    void faultsOnCommand();
    void badFramesCloseOnlyThatConnection();
    void controlSocketAndImageFolder();
    void heldPublishesWaitForRelease();

private:
    std::unique_ptr<Sim> m_sim;
    quint16 m_discoveryPort = 0;
};

void TestSimulator::initTestCase()
{
    m_discoveryPort = freeUdpPort();
    QVERIFY(m_discoveryPort != 0);
    m_sim = std::make_unique<Sim>();
    QVERIFY2(m_sim->start({"--items", "5", "--discovery-port", QString::number(m_discoveryPort), "--name",
                           "studio-sim"}),
             "the simulator did not report that it listens");
}

void TestSimulator::cleanupTestCase()
{
    m_sim->stop();
    QCOMPARE(m_sim->process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_sim->process.exitCode(), 0);
}

void TestSimulator::loginChecksPasswordAndToken()
{
    // Requests before a login are refused with the "not logged in" code.
    Peer early;
    QVERIFY(early.connectTo(m_sim->port));
    early.send(request("syncCGList", ""));
    QCOMPARE(early.take("syncCGList", "response")["code"].toInt(), -4);

    Peer wrong;
    QVERIFY(wrong.connectTo(m_sim->port));
    QCOMPARE(wrong.login("000000"), -2);
    QVERIFY(wrong.token.isEmpty());
    // A refused console is expected to hang up; one that does not is cut off.
    QVERIFY(wrong.waitClosed());

    Peer right;
    QVERIFY(right.connectTo(m_sim->port));
    QCOMPARE(right.login("580317"), 0);
    QCOMPARE(right.token.size(), 38);
    QVERIFY(!QUuid::fromString(right.token).isNull());
    QCOMPARE(right.token, right.token.toLower());

    Peer other;
    QVERIFY(other.connectTo(m_sim->port));
    QCOMPARE(other.login("580317"), 0);
    QVERIFY(other.token != right.token);
}

void TestSimulator::catalogueHasDecodableCards()
{
    Peer peer;
    QVERIFY(peer.connectTo(m_sim->port));
    QCOMPARE(peer.login("580317"), 0);
    peer.send(request("syncCGList", peer.token));
    const QJsonObject answer = peer.take("syncCGList", "response");
    QCOMPARE(answer["code"].toInt(), 0);
    const QJsonArray list = answer["value"].toObject()["cgList"].toArray();
    QCOMPARE(list.size(), 5);
    QSet<QString> guids;
    for (const QJsonValue& entry : list) {
        const QJsonObject item = entry.toObject();
        const QString guid = item["guid"].toString();
        QVERIFY(QRegularExpression("^\\{[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\}$").match(guid).hasMatch());
        guids.insert(guid);
        QVERIFY(!item["name"].toString().isEmpty());
        QCOMPARE(item["status"].toInt(-1), 0);
        const QImage card = QImage::fromData(QByteArray::fromBase64(item["imageBase64"].toString().toLatin1()), "PNG");
        QCOMPARE(card.size(), QSize(160, 90));
    }
    QCOMPARE(guids.size(), 5);
}

void TestSimulator::heartAndTokenCheck()
{
    Peer peer;
    QVERIFY(peer.connectTo(m_sim->port));
    QCOMPARE(peer.login("580317"), 0);
    peer.send(request("heart", peer.token));
    QCOMPARE(peer.take("heart", "response")["code"].toInt(-99), 0);
    // Two frames in one write are both answered, in order.
    const QByteArray body = QJsonDocument(request("heart", peer.token)).toJson();
    peer.socket()->write(Peer::frameOf(body) + Peer::frameOf(body));
    QCOMPARE(peer.take("heart", "response")["code"].toInt(-99), 0);
    QCOMPARE(peer.take("heart", "response")["code"].toInt(-99), 0);
    // A token that is not the one issued is refused.
    peer.send(request("heart", "{00000000-0000-0000-0000-000000000001}"));
    QCOMPARE(peer.take("heart", "response")["code"].toInt(), -4);
}

void TestSimulator::publishNotifiesEveryConsole()
{
    Peer asker;
    QVERIFY(asker.connectTo(m_sim->port));
    QCOMPARE(asker.login("580317", "console-a"), 0);
    Peer watcher;
    QVERIFY(watcher.connectTo(m_sim->port));
    QCOMPARE(watcher.login("580317", "console-b"), 0);

    // The first console hears that the second one connected.
    const QJsonObject joined = asker.take([](const QJsonObject& m) {
        return m["cmd"] == "notifyMSG" && m["value"].toObject()["endpointName"].toString().contains("console-b");
    });
    QVERIFY(!joined.isEmpty());
    QCOMPARE(joined["value"].toObject()["connectType"].toInt(-1), 0);

    asker.send(request("syncCGList", asker.token));
    const QJsonArray list = asker.take("syncCGList", "response")["value"].toObject()["cgList"].toArray();
    QVERIFY(list.size() >= 2);
    const QString target = list.at(1).toObject()["guid"].toString();
    const QString operation = QUuid::createUuid().toString();
    asker.send(request("updateCG", asker.token,
                       {{"operationTarget", target}, {"operationType", 1},
                        {"operationValue", QJsonObject{{"origStatus", 3}, {"curStatus", 1}}},
                        {"operator", QJsonObject{{"operationID", operation}}}}));
    QCOMPARE(asker.take("updateCG", "response")["code"].toInt(-99), 0);

    for (Peer* peer : {&asker, &watcher}) {
        const QJsonObject notify = peer->take("notifyCG", "request");
        QVERIFY(!notify.isEmpty());
        const QJsonObject value = notify["value"].toObject();
        QCOMPARE(value["operationTarget"].toString(), target);
        QCOMPARE(value["operationType"].toInt(), 1);
        QCOMPARE(value["operationValue"].toObject()["status"].toInt(-1), 1);
        const QJsonObject op = value["operator"].toObject();
        QCOMPARE(op["operatorGuid"].toString(), asker.token);
        QCOMPARE(op["operationID"].toString(), operation);
        QCOMPARE(op["operatorName"].toString(), QStringLiteral("console-a"));
        QCOMPARE(op["operatorAddr"].toString(), QStringLiteral("127.0.0.1"));
    }
    // The catalogue keeps the new status for later logins.
    QVERIFY(m_sim->command("list").filter(target).value(0).contains(QStringLiteral(" 1 ")));

    // An updateCG for an unknown item is answered and changes nothing.
    asker.send(request("updateCG", asker.token,
                       {{"operationTarget", QUuid::createUuid().toString()}, {"operationType", 1},
                        {"operationValue", QJsonObject{{"origStatus", 3}, {"curStatus", 2}}},
                        {"operator", QJsonObject{{"operationID", operation}}}}));
    QCOMPARE(asker.take("updateCG", "response")["code"].toInt(-99), 0);
    QVERIFY(watcher.take("notifyCG", "request", 300).isEmpty());

    // The watcher leaves: the asker hears it.
    watcher.socket()->disconnectFromHost();
    const QJsonObject left = asker.take([](const QJsonObject& m) {
        return m["cmd"] == "notifyMSG" && m["value"].toObject()["endpointName"].toString().contains("console-b");
    });
    QVERIFY(!left.isEmpty());
    QCOMPARE(left["value"].toObject()["connectType"].toInt(), 1);
}

void TestSimulator::discoveryAnswersAnnouncements()
{
    QUdpSocket udp;
    QVERIFY(udp.bind(QHostAddress(QHostAddress::LocalHost), 0));
    // Not an announcement: no answer. Then a real one: exactly one answer.
    udp.writeDatagram("hello", QHostAddress::LocalHost, m_discoveryPort);
    const QJsonObject announcement{{"cg_publish_ver", 1}, {"name", "test"}, {"type_name", "PC"}, {"mac", ""}};
    udp.writeDatagram(QJsonDocument(announcement).toJson(), QHostAddress::LocalHost, m_discoveryPort);
    QTRY_VERIFY_WITH_TIMEOUT(udp.hasPendingDatagrams(), kWait);
    QTest::qWait(200);
    QList<QNetworkDatagram> replies;
    while (udp.hasPendingDatagrams())
        replies.append(udp.receiveDatagram());
    QCOMPARE(replies.size(), 1);
    const QJsonObject reply = QJsonDocument::fromJson(replies.first().data()).object();
    QVERIFY(reply.contains("cg_server_ver"));
    QCOMPARE(reply["port"].toInt(), int(m_sim->port));
    QCOMPARE(reply["name"].toString(), QStringLiteral("studio-sim"));
    QVERIFY(reply["type"].isDouble());
    QCOMPARE(reply["is_login"].toBool(true), false);
    QVERIFY(reply["account_name"].isString());

    QCOMPARE(m_sim->command("account Anna Li").last(), QStringLiteral("ok account \"Anna Li\" logged in"));
    udp.writeDatagram(QJsonDocument(announcement).toJson(), QHostAddress::LocalHost, m_discoveryPort);
    QTRY_VERIFY_WITH_TIMEOUT(udp.hasPendingDatagrams(), kWait);
    const QJsonObject second = QJsonDocument::fromJson(udp.receiveDatagram().data()).object();
    QCOMPARE(second["is_login"].toBool(), true);
    QCOMPARE(second["account_name"].toString(), QStringLiteral("Anna Li"));
    QVERIFY(m_sim->command("account").last().startsWith("ok"));
}

void TestSimulator::commandsChangeCatalogue()
{
    Peer peer;
    QVERIFY(peer.connectTo(m_sim->port));
    QCOMPARE(peer.login("580317"), 0);
    const auto opOf = [](const QJsonObject& notify) {
        return notify["value"].toObject()["operator"].toObject();
    };

    QStringList reply = m_sim->command("rename 0 \"Evening news\"");
    QVERIFY2(reply.last().startsWith("ok renamed 0 "), qPrintable(reply.join('|')));
    QJsonObject notify = peer.take("notifyCG", "request");
    QCOMPARE(notify["value"].toObject()["operationType"].toInt(), 2);
    QCOMPARE(notify["value"].toObject()["operationValue"].toObject()["name"].toString(), QStringLiteral("Evening news"));
    QCOMPARE(opOf(notify)["operatorName"].toString(), QStringLiteral("ovcg-sim"));
    QVERIFY(opOf(notify)["operatorGuid"].toString() != peer.token);
    const QString renamed = notify["value"].toObject()["operationTarget"].toString();

    QVERIFY(m_sim->command("move 0 2").last().startsWith("ok"));
    notify = peer.take("notifyCG", "request");
    QCOMPARE(notify["value"].toObject()["operationType"].toInt(), 4);
    QCOMPARE(notify["value"].toObject()["operationTarget"].toString(), renamed);
    QCOMPARE(notify["value"].toObject()["operationValue"].toObject()["index"].toInt(), 2);
    QVERIFY(m_sim->command("list").value(2).contains("Evening news"));

    QVERIFY(m_sim->command("add \"Late headline\" #204080").last().startsWith("ok added"));
    notify = peer.take("notifyCG", "request");
    QCOMPARE(notify["value"].toObject()["operationType"].toInt(), 6);
    const QJsonObject added = notify["value"].toObject()["operationValue"].toObject();
    QCOMPARE(added["name"].toString(), QStringLiteral("Late headline"));
    const QImage card = QImage::fromData(QByteArray::fromBase64(added["imageBase64"].toString().toLatin1()), "PNG");
    QCOMPARE(card.size(), QSize(160, 90));
    QCOMPARE(card.pixelColor(80, 5), QColor("#204080"));

    QVERIFY(m_sim->command("status " + added["guid"].toString() + " 2").last().startsWith("ok"));
    QCOMPARE(peer.take("notifyCG", "request")["value"].toObject()["operationValue"].toObject()["status"].toInt(), 2);
    QVERIFY(m_sim->command("image " + renamed).last().startsWith("ok"));
    notify = peer.take("notifyCG", "request");
    QCOMPARE(notify["value"].toObject()["operationType"].toInt(), 3);
    QVERIFY(!notify["value"].toObject()["operationValue"].toObject()["imageBase64"].toString().isEmpty());
    QVERIFY(m_sim->command("remove " + added["guid"].toString()).last().startsWith("ok removed"));
    notify = peer.take("notifyCG", "request");
    QCOMPARE(notify["value"].toObject()["operationType"].toInt(), 5);
    QCOMPARE(notify["value"].toObject()["operationTarget"].toString(), added["guid"].toString());

    // Bad commands are refused with a reason and send nothing.
    for (const char* bad : {"move 0 99", "remove 42", "status 0 3", "rename", "frobnicate", "add \"open"})
        QVERIFY2(m_sim->command(QString::fromUtf8(bad)).last().startsWith("error "), bad);
    QVERIFY(peer.take("notifyCG", "request", 200).isEmpty());
}

void TestSimulator::kickAndClose()
{
    Peer stay;
    QVERIFY(stay.connectTo(m_sim->port));
    QCOMPARE(stay.login("580317", "stays"), 0);
    Peer kicked;
    QVERIFY(kicked.connectTo(m_sim->port));
    QCOMPARE(kicked.login("580317", "gets-kicked"), 0);

    const QStringList consoles = m_sim->command("consoles");
    const QString line = consoles.filter(kicked.token).value(0);
    QVERIFY2(!line.isEmpty(), qPrintable(consoles.join('|')));
    const QString id = line.section(' ', 0, 0, QString::SectionSkipEmpty);
    QVERIFY(m_sim->command("kick " + id + " 2").last().startsWith("ok kicked"));
    const QJsonObject kick = kicked.take("kickOff", "request");
    QCOMPARE(kick["value"].toObject()["kickType"].toInt(), 2);
    // Like the console: answer, then hang up.
    kicked.send({{"cmd", "kickOff"}, {"cmdType", "response"}, {"code", 0}, {"codeInfo", ""}, {"value", QJsonObject{}}});
    kicked.socket()->disconnectFromHost();
    const QJsonObject left = stay.take([](const QJsonObject& m) {
        return m["cmd"] == "notifyMSG" && m["value"].toObject()["endpointName"].toString().contains("gets-kicked")
            && m["value"].toObject()["connectType"].toInt() == 1;
    });
    QVERIFY(!left.isEmpty());

    const QString stayId = m_sim->command("consoles").filter(stay.token).value(0).section(' ', 0, 0, QString::SectionSkipEmpty);
    QVERIFY(m_sim->command("close " + stayId).last().startsWith("ok closed"));
    QVERIFY(stay.waitClosed());
    QVERIFY(m_sim->command("kick 9999 1").last().startsWith("error"));
}

void TestSimulator::faultsOnCommand()
{
    Peer peer;
    QVERIFY(peer.connectTo(m_sim->port));
    QCOMPARE(peer.login("580317"), 0);

    QVERIFY(m_sim->command("code heart -3").last().startsWith("ok"));
    peer.send(request("heart", peer.token));
    QCOMPARE(peer.take("heart", "response")["code"].toInt(), -3);
    peer.send(request("heart", peer.token));
    QCOMPARE(peer.take("heart", "response")["code"].toInt(-99), 0);  // only the next one

    QVERIFY(m_sim->command("code login 5").last().startsWith("ok"));
    Peer five;
    QVERIFY(five.connectTo(m_sim->port));
    QCOMPARE(five.login("580317"), 5);
    QVERIFY(!five.token.isEmpty());

    const QString id = m_sim->command("consoles").filter(peer.token).value(0).section(' ', 0, 0, QString::SectionSkipEmpty);
    QVERIFY(m_sim->command("garbage " + id).last().startsWith("ok"));
    QTRY_VERIFY_WITH_TIMEOUT(!peer.badBodies.isEmpty(), kWait);
    QVERIFY(five.badBodies.isEmpty());

    QVERIFY(m_sim->command("oversize " + id).last().startsWith("ok"));
    // A header announcing more than 64 MiB.
    QTRY_VERIFY_WITH_TIMEOUT(peer.overlong, kWait);

    QVERIFY(m_sim->command("ignore-login on").last().startsWith("ok"));
    Peer ignored;
    QVERIFY(ignored.connectTo(m_sim->port));
    ignored.send(request("login", "", {{"password", "580317"}, {"deviceType", "PC"}, {"clientVer", 1}}));
    QVERIFY(ignored.take("login", "response", 400).isEmpty());
    QVERIFY(m_sim->command("ignore-login off").last().startsWith("ok"));

    QVERIFY(m_sim->command("login-delay 400").last().startsWith("ok"));
    Peer delayed;
    QVERIFY(delayed.connectTo(m_sim->port));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(delayed.login("580317"), 0);
    QVERIFY(clock.elapsed() >= 350);
    QVERIFY(m_sim->command("login-delay 0").last().startsWith("ok"));
}

void TestSimulator::badFramesCloseOnlyThatConnection()
{
    Peer healthy;
    QVERIFY(healthy.connectTo(m_sim->port));
    QCOMPARE(healthy.login("580317"), 0);

    const QList<QByteArray> faults{
        Peer::frameOf(QByteArray("not json at all")),
        Peer::frameOf(QByteArray("[1, 2, 3]")),
        QByteArray::fromHex("7fffffff01000000") + "{",  // announces 2 GiB
        QByteArray::fromHex("0400000101000000"),        // 64 MiB + 1
    };
    for (const QByteArray& fault : faults) {
        Peer bad;
        QVERIFY(bad.connectTo(m_sim->port));
        bad.socket()->write(fault);
        QVERIFY2(bad.waitClosed(), fault.toHex().constData());
    }
    // A frame split into pieces is still read once complete.
    const QByteArray whole = Peer::frameOf(QJsonDocument(request("heart", healthy.token)).toJson());
    for (int i = 0; i < whole.size(); i += 7) {
        healthy.socket()->write(whole.mid(i, 7));
        healthy.socket()->flush();
        QTest::qWait(2);
    }
    QCOMPARE(healthy.take("heart", "response")["code"].toInt(-99), 0);
    QCOMPARE(m_sim->process.state(), QProcess::Running);
}

void TestSimulator::controlSocketAndImageFolder()
{
    const QString folder = OvTest::freshDir("sim-images");
    QImage wide(320, 40, QImage::Format_RGB32);
    wide.fill(Qt::darkGreen);
    QVERIFY(wide.save(folder + "/b-banner.png"));
    QImage small(16, 16, QImage::Format_ARGB32);
    small.fill(Qt::yellow);
    QVERIFY(small.save(folder + "/a-icon.png"));
    QVERIFY(OvTest::writeFile(folder + "/c-broken.png", "not a png"));

    const quint16 controlPort = freeTcpPort();
    QVERIFY(controlPort != 0);
    Sim second;
    QVERIFY(second.start({"--images", folder, "--discovery-port", "0", "--control-port", QString::number(controlPort),
                          "--password", "pw"}));

    Peer peer;
    QVERIFY(peer.connectTo(second.port));
    QCOMPARE(peer.login("580317"), -2);
    Peer okPeer;
    QVERIFY(okPeer.connectTo(second.port));
    QCOMPARE(okPeer.login("pw"), 0);
    okPeer.send(request("syncCGList", okPeer.token));
    const QJsonArray list = okPeer.take("syncCGList", "response")["value"].toObject()["cgList"].toArray();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).toObject()["name"].toString(), QStringLiteral("a-icon"));
    QCOMPARE(list.at(1).toObject()["name"].toString(), QStringLiteral("b-banner"));
    const QImage banner = QImage::fromData(QByteArray::fromBase64(list.at(1).toObject()["imageBase64"].toString().toLatin1()));
    QCOMPARE(banner.size(), QSize(320, 40));

    QTcpSocket control;
    control.connectToHost(QHostAddress::LocalHost, controlPort);
    QVERIFY(control.waitForConnected(kWait));
    control.write("rename 1 Banner\n");
    QTRY_VERIFY_WITH_TIMEOUT(control.canReadLine(), kWait);
    QVERIFY(control.readLine().startsWith("ok renamed 1"));
    QCOMPARE(okPeer.take("notifyCG", "request")["value"].toObject()["operationValue"].toObject()["name"].toString(),
             QStringLiteral("Banner"));
    control.write("quit\n");
    control.flush();
    QVERIFY(second.process.waitForFinished(kWait));
    QCOMPARE(second.process.exitCode(), 0);
    QVERIFY(okPeer.waitClosed());
}

void TestSimulator::heldPublishesWaitForRelease()
{
    Peer peer;
    QVERIFY(peer.connectTo(m_sim->port));
    QCOMPARE(peer.login("580317", "console-held"), 0);
    peer.send(request("syncCGList", peer.token));
    const QJsonArray list = peer.take("syncCGList", "response")["value"].toObject()["cgList"].toArray();
    QVERIFY(list.size() >= 2);
    const QString target = list.at(0).toObject()["guid"].toString();
    QCOMPARE(m_sim->command("hold on").value(0), QStringLiteral("ok hold on"));
    for (int status : {2, 0}) {
        peer.send(request("updateCG", peer.token,
                          {{"operationTarget", target}, {"operationType", 1},
                           {"operationValue", QJsonObject{{"origStatus", 3}, {"curStatus", status}}},
                           {"operator", QJsonObject{{"operationID", QUuid::createUuid().toString()}}}}));
    }
    // Held: neither answered nor applied.
    const auto statusOf = [&] {
        const QString line = m_sim->command("list").filter(target).value(0);
        return QRegularExpression(QRegularExpression::escape(target) + QStringLiteral(" (\\d) "))
            .match(line).captured(1);
    };
    const QString before = statusOf();
    QVERIFY(!before.isEmpty());
    QVERIFY(peer.take("updateCG", "response", 300).isEmpty());
    QCOMPARE(statusOf(), before);
    // Released: answered and applied in the order they came.
    QCOMPARE(m_sim->command("hold off").value(0), QStringLiteral("ok hold off"));
    for (int status : {2, 0}) {
        QCOMPARE(peer.take("updateCG", "response")["code"].toInt(-99), 0);
        const QJsonObject notify = peer.take("notifyCG", "request");
        QCOMPARE(notify["value"].toObject()["operationValue"].toObject()["status"].toInt(-1), status);
    }
    QCOMPARE(statusOf(), QStringLiteral("0"));
    QCOMPARE(m_sim->command("hold maybe").value(0).left(5), QStringLiteral("error"));
}

QTEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
