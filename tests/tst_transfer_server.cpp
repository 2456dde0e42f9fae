// The transfer client against an in-test server on loopback: framing, login,
// dispatch of server messages into the model and the hub, teardown texts and
// the two timers.

#include "OvTestPeer.h"
#include "OvTestSupport.h"
#include "shell/OvConsoleCore.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "log/OvCGMessage.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QtEndian>

#if defined(__SANITIZE_ADDRESS__)
// GCC installs no header for the sanitizer's allocator statistics.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

const QString RefusedText =
    QStringLiteral(u"远程拒绝连接或连接超时,请检查远程连接设置和网络状况后重试。");
const QString ProtocolErrorText = QStringLiteral(u"通讯数据异常,连接已断开!");
const QString RemoteClosedText =
    QStringLiteral(u"远程断开连接，请检查远程连接设置和网络状况后重试。");

const QString GuidA = QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}");
const QString GuidB = QStringLiteral("{7c9e6679-7425-40de-944b-e07fc1f90ae7}");
const QString GuidC = QStringLiteral("{16fd2706-8baf-433b-82eb-8c7fada847da}");

// Heap bytes this process has allocated and not freed. Unlike the resident
// size it leaves out what the allocator keeps for reuse: the sanitizer's
// quarantine alone grows the resident size by hundreds of megabytes in the
// flood, bounded reading or not.
qint64 heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
#endif
}

QJsonObject cgObject(const QString& guid, const QString& name, int status)
{
    return {{"guid", guid}, {"name", name}, {"status", status}, {"imageBase64", ""}};
}

using Peer = OvTestPeer;

}  // namespace

class TstTransferServer : public QObject
{
    Q_OBJECT

private:
    // The take path and the rest of a console's parts, with the default settings.
    OvConsoleCore m_core{OvSettings()};
    OvTransferServer* client() const { return OvTransferServer::instance(); }
    OvCGListModel* model() const { return OvCGListModel::instance(); }

    // The server stops reading and sends frames, each of which the console
    // answers: the answers back up. The console's send buffer is made small so
    // that a few thousand frames do it. With many, a slow (sanitizer) build
    // is still working through them when the kernel ends the connection
    // because the server's window stayed closed past the dead-peer time,
    // and the test would see that ending instead of the one it is about.
    void backUpAnswers(Peer& peer, int frames)
    {
        for (QTcpSocket* const socket : client()->findChildren<QTcpSocket*>())
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4096);
        peer.stopReading();
        peer.flood(frames);
    }

    QJsonArray threeItems() const
    {
        return {cgObject(GuidA, "A", 0), cgObject(GuidB, "B", 1), cgObject(GuidC, "C", 2)};
    }

    // Waits for the client to reach Idle and reports what it presented to
    // the operator meanwhile ("" when nothing).
    QString errorAfterTeardown(int timeoutMs = 3000)
    {
        if (!QTest::qWaitFor([&] { return client()->connectionState() == OvTransferServer::Idle; }, timeoutMs))
            return QStringLiteral("<still connected>");
        QTest::qWait(50);
        const QString text = m_errors.texts.join(QLatin1Char('\n'));
        m_errors.texts.clear();
        return text;
    }

    OvTest::ErrorRecorder m_errors;
    OvTest::LogRecorder m_log;

private slots:
    void init()
    {
        m_log.lines.clear();
        m_errors.texts.clear();
    }

    void cleanup()
    {
        if (client()->connectionState() != OvTransferServer::Idle) {
            client()->disconnectFromServer();
            errorAfterTeardown();
        }
        QCOMPARE(client()->connectionState(), OvTransferServer::Idle);
        client()->setMaxUnsentBytes(OvTransferServer::MaxUnsentBytes);
        model()->clearCg();
    }

    void loginRequestIsByteExact()
    {
        Peer peer;
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("p w\"1"),
                                  peer.port());
        QVERIFY(peer.waitFor("login"));
        QCOMPARE(peer.received.mid(4, 4), QByteArray("\x01\x00\x00\x00", 4));
        QCOMPARE(qFromBigEndian<quint32>(peer.received.constData()),
                 quint32(peer.bodies.first().size()));

        QString mac;
        for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
            for (const QNetworkAddressEntry& e : i.addressEntries())
                if (mac.isNull() && e.ip() == QHostAddress(QHostAddress::LocalHost))
                    mac = i.hardwareAddress();
        QCOMPARE(client()->deviceMac(), mac);
        const QByteArray expected = QStringLiteral("{\n"
                                                   "    \"cmd\": \"login\",\n"
                                                   "    \"cmdType\": \"request\",\n"
                                                   "    \"token\": \"\",\n"
                                                   "    \"value\": {\n"
                                                   "        \"clientVer\": 1,\n"
                                                   "        \"deviceMac\": \"%1\",\n"
                                                   "        \"deviceName\": \"%2\",\n"
                                                   "        \"deviceType\": \"PC\",\n"
                                                   "        \"password\": \"p w\\\"1\"\n"
                                                   "    }\n"
                                                   "}\n")
                                        .arg(mac, QHostInfo::localHostName())
                                        .toUtf8();
        QCOMPARE(peer.bodies.first(), expected);

        // The answer to a server request, byte for byte.
        peer.send(Peer::response("login", 0, {{"token", "t"}}));
        QVERIFY(peer.waitFor("syncCGList"));
        peer.send({{"cmd", "notifyMSG"}, {"cmdType", "request"}, {"value", QJsonObject()}});
        QVERIFY(peer.waitFor("notifyMSG", 1, "response"));
        QCOMPARE(peer.bodies.last(), QByteArray("{\n"
                                                "    \"cmd\": \"notifyMSG\",\n"
                                                "    \"cmdType\": \"response\",\n"
                                                "    \"code\": 0,\n"
                                                "    \"codeInfo\": \"\",\n"
                                                "    \"value\": {\n"
                                                "    }\n"
                                                "}\n"));
        QVERIFY(peer.received.endsWith(Peer::frameOf(peer.bodies.last())));
    }

    void loginAndCatalogue()
    {
        Peer peer;
        QSignalSpy connected(client(), &OvTransferServer::signalConnect);
        QVERIFY(client()->isSelfOperator(QString()));
        QVERIFY(!client()->isSelfOperator(QStringLiteral("x")));
        // An account name in parentheses is not part of the address.
        client()->connectToServer(QStringLiteral("127.0.0.1(operator1)"), QStringLiteral("pw"),
                                  peer.port());
        QVERIFY(peer.waitFor("login"));
        // A second attempt while the first runs is ignored and stores no text.
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("x"), 1);
        // Code 5 is success, whatever else the response lacks.
        peer.send(Peer::response("login", 5, {{"token", "tok-1"}}));
        QVERIFY(peer.waitFor("syncCGList"));
        QCOMPARE(connected.count(), 1);
        QCOMPARE(connected.first().first().toBool(), true);
        QCOMPARE(peer.last("syncCGList").value("token").toString(), QStringLiteral("tok-1"));
        QVERIFY(client()->isSelfOperator(QStringLiteral("tok-1")));
        QVERIFY(!client()->isSelfOperator(QString()));

        QJsonArray list = threeItems();
        list.append(cgObject("not a uuid", "D", 0));
        peer.send(Peer::response("syncCGList", 0, {{"cgList", list}}));
        QTRY_COMPARE_WITH_TIMEOUT(model()->count(), 4, 3000);
        QCOMPARE(model()->cgAt(1)->guid(), GuidB);
        QCOMPARE(model()->cgAt(1)->status(), 1);
        QVERIFY(QUuid(model()->cgAt(3)->guid()).isNull());
        QCOMPARE(model()->currentCg(), model()->cgAt(0));

        // The operator's disconnect: one signal, no box, no log entry.
        client()->disconnectFromServer();
        QCOMPARE(errorAfterTeardown(), QString());
        QCOMPARE(connected.count(), 2);
        QCOMPARE(connected.last().first().toBool(), false);
        QVERIFY(m_log.lines.isEmpty());
        QVERIFY(client()->isSelfOperator(QString()));
    }

    void framing()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("t"));
        auto msg = [](const QString& name) {
            return Peer::frameOf((QJsonObject{{"cmd", "notifyMSG"},
                                    {"value", QJsonObject{{"endpointName", name},
                                                          {"connectType", 0}}}}));
        };
        // One frame in three pieces: handled once the last byte is in.
        const QByteArray one = msg("one");
        peer.sendRaw(one.left(3));
        QTest::qWait(50);
        peer.sendRaw(one.mid(3, 10));
        QTest::qWait(50);
        QCOMPARE(peer.countOf("notifyMSG", "response"), 0);
        peer.sendRaw(one.mid(13));
        QVERIFY(peer.waitFor("notifyMSG", 1, "response"));

        // Two frames in one write, in order.
        peer.sendRaw(msg("two") + msg("three"));
        QVERIFY(peer.waitFor("notifyMSG", 3, "response"));

        // A whole frame followed by exactly the next header.
        const QByteArray five = msg("five");
        peer.sendRaw(msg("four") + five.left(8));
        QVERIFY(peer.waitFor("notifyMSG", 4, "response"));
        QTest::qWait(50);
        QCOMPARE(peer.countOf("notifyMSG", "response"), 4);
        peer.sendRaw(five.mid(8));
        QVERIFY(peer.waitFor("notifyMSG", 5, "response"));

        // A body large enough to be decoded aside, and small frames behind it
        // in the same write: applied and answered in the order received.
        const QJsonObject six{{"cmd", "notifyMSG"},
                              {"value", QJsonObject{{"endpointName", "six"},
                                                    {"connectType", 0},
                                                    {"padding", QString(OvTransferServer::DecodeAsideBytes, 'x')}}}};
        peer.sendRaw(Peer::frameOf(six) + Peer::frameOf(Peer::notifyCG(GuidA, 1, {{"status", 2}})) + msg("seven"));
        QVERIFY(peer.waitFor("notifyMSG", 7, "response"));
        QStringList answers;
        for (const QJsonObject& m : qAsConst(peer.messages))
            if (m.value("cmdType") == "response")
                answers.append(m.value("cmd").toString());
        QCOMPARE(answers.mid(answers.size() - 3), QStringList({"notifyMSG", "notifyCG", "notifyMSG"}));

        QStringList names;
        for (const QString& line : qAsConst(m_log.lines))
            names.append(line.section(QLatin1Char(':'), 1).section(QLatin1Char(' '), 0, 0));
        QCOMPARE(names, QStringList({"one", "two", "three", "four", "five", "six", "seven"}));
        QCOMPARE(m_log.lines.first(), QStringLiteral(u"系统:one 成功与studio建立连接"));
    }

    void notifyMsgAndMissingCmdType()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("t", threeItems()));
        peer.send({{"cmd", "notifyMSG"},
                   {"cmdType", "request"},
                   {"messageType", 4},
                   {"value", QJsonObject{{"endpointName", "studio-2"}, {"connectType", 2}}}});
        QVERIFY(peer.waitFor("notifyMSG", 1, "response"));
        QCOMPARE(m_log.lines, QStringList(QStringLiteral(u"系统:studio-2 与studio断开连接")));

        // No "cmdType" at all: still a request.
        QJsonObject n = Peer::notifyCG(GuidB, 2, {{"name", "B2"}});
        n.remove("cmdType");
        peer.send(n);
        QVERIFY(peer.waitFor("notifyCG", 1, "response"));
        QTRY_COMPARE_WITH_TIMEOUT(model()->findCg(GuidB)->name(), QStringLiteral("B2"), 2000);
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
    }

    void notifyCGOperations()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("mine", threeItems()));
        QList<operatorInfo> infos;
        const QMetaObject::Connection c1 =
            connect(model(), &OvCGListModel::SingalCGUpdate, this,
                    [&infos](int, int, OvSubCGItem*, const operatorInfo& info) {
                        infos.append(info);
                    });
        const QMetaObject::Connection c2 =
            connect(model(), &OvCGListModel::SignalCgMoved, this,
                    [&infos](OvSubCGItem*, int, int, const operatorInfo& info) {
                        infos.append(info);
                    });

        int answered = 0;
        auto sendAndWait = [&](const QJsonObject& o) {
            peer.send(o);
            ++answered;
            return peer.waitFor("notifyCG", answered, "response");
        };
        QVERIFY(sendAndWait(Peer::notifyCG(GuidA, 1, {{"status", 1}}, "Zhang", "mine")));
        QTRY_COMPARE_WITH_TIMEOUT(model()->findCg(GuidA)->status(), 1, 2000);
        QCOMPARE(infos.size(), 1);
        QCOMPARE(infos.first().operationID, QStringLiteral("{op}"));
        QCOMPARE(infos.first().operatorAddr, QStringLiteral("10.0.0.9:5000"));
        QCOMPARE(infos.first().operatorName, QStringLiteral("Zhang"));
        QCOMPARE(infos.first().operatorGuid, QStringLiteral("mine"));
        QCOMPARE(m_log.lines.last(), QStringLiteral(u"您:发布\"A\"到PGM"));

        QVERIFY(sendAndWait(Peer::notifyCG(GuidA, 3, {{"imageBase64", "not png"}})));
        QTRY_COMPARE_WITH_TIMEOUT(infos.size(), 2, 2000);

        QVERIFY(sendAndWait(Peer::notifyCG(GuidA, 4, {{"index", 2}})));
        QTRY_COMPARE_WITH_TIMEOUT(model()->cgAt(2)->guid(), GuidA, 2000);

        // Upper case and brace-less targets name no item.
        const QString upper = GuidB.toUpper();
        QString bare = GuidB;
        bare.remove(QLatin1Char('{')).remove(QLatin1Char('}'));
        QVERIFY(sendAndWait(Peer::notifyCG(upper, 2, {{"name", "X"}})));
        QVERIFY(sendAndWait(Peer::notifyCG(bare, 5, {})));
        // Type 7 for an existing item: answered, nothing else.
        QVERIFY(sendAndWait(Peer::notifyCG(GuidB, 7, {{"status", 2}, {"name", "Y"}})));
        QTest::qWait(50);
        QCOMPARE(model()->count(), 3);
        QCOMPARE(model()->findCg(GuidB)->name(), QStringLiteral("B"));
        QCOMPARE(infos.size(), 3);

        // Type 6 ignores the target and appends, duplicates included.
        QVERIFY(sendAndWait(Peer::notifyCG(upper, 6, cgObject(GuidC, "C again", 2))));
        QTRY_COMPARE_WITH_TIMEOUT(model()->count(), 4, 2000);
        QCOMPARE(model()->cgAt(3)->name(), QStringLiteral("C again"));
        QCOMPARE(model()->cgAt(3)->guid(), GuidC);

        QVERIFY(sendAndWait(Peer::notifyCG(GuidB, 5, {})));
        QTRY_COMPARE_WITH_TIMEOUT(model()->count(), 3, 2000);
        QVERIFY(!model()->findCg(GuidB));
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
        disconnect(c1);
        disconnect(c2);
    }

    void publishSendsUpdateCG()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("tk", threeItems()));
        model()->setCurrentCg(model()->findCg(GuidA));
        OvTest::take(m_core.takes(), OvCgStatus::OnPgm);
        QVERIFY(peer.waitFor("updateCG"));
        model()->setCurrentCg(model()->findCg(GuidB));
        OvTest::take(m_core.takes(), OvCgStatus::Idle);
        QVERIFY(peer.waitFor("updateCG", 2));
        QList<QJsonObject> updates;
        for (const QJsonObject& m : qAsConst(peer.messages))
            if (m.value("cmd") == "updateCG")
                updates.append(m);
        const int cur[] = {1, 0};
        const QString target[] = {GuidA, GuidB};
        for (int i = 0; i < 2; ++i) {
            const QJsonObject v = updates[i].value("value").toObject();
            QCOMPARE(updates[i].value("token").toString(), QStringLiteral("tk"));
            QCOMPARE(v.value("operationTarget").toString(), target[i]);
            QCOMPARE(v.value("operationType").toInt(), 1);
            QCOMPARE(v.value("operationValue").toObject().value("origStatus").toInt(-1), 3);
            QCOMPARE(v.value("operationValue").toObject().value("curStatus").toInt(-1), cur[i]);
            const QString id = v.value("operator").toObject().value("operationID").toString();
            QCOMPARE(id.size(), 38);
            QCOMPARE(id, id.toLower());
            QVERIFY(!QUuid(id).isNull());
        }
        peer.send(Peer::response("updateCG", 0));
        QTest::qWait(50);
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
    }

    void failuresTearDown_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("afterLogin");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("log");
        const QString noRight = QStringLiteral(u"登录帐号没有软件使用权限，请联系Tolva客服。");
        const QString kick2 =
            QStringLiteral(u"远程断开连接，登录帐号没有软件使用权限，请联系Tolva客服。");
        QTest::newRow("login -3") << Peer::frameOf((Peer::response("login", -3))) << false << noRight
                                  << noRight;
        // Codes and kick types without a text of their own: the server ended it.
        QTest::newRow("login -9") << Peer::frameOf((Peer::response("login", -9))) << false
                                  << RemoteClosedText << RemoteClosedText;
        QTest::newRow("heart -2") << Peer::frameOf((Peer::response("heart", -2))) << true
                                  << RefusedText << RefusedText;
        QTest::newRow("kick 2") << Peer::frameOf((QJsonObject{{"cmd", "kickOff"},
                                                    {"value", QJsonObject{{"kickType", 2}}}}))
                                << true << kick2 << QStringLiteral(u"您与") + kick2;
        QTest::newRow("kick 9") << Peer::frameOf((QJsonObject{{"cmd", "kickOff"},
                                                    {"value", QJsonObject{{"kickType", 9}}}}))
                                << true << RemoteClosedText
                                << QStringLiteral(u"您与") + RemoteClosedText;
        QTest::newRow("array body") << Peer::frameOf("[1, 2]") << true << ProtocolErrorText
                                    << ProtocolErrorText;
        QTest::newRow("not json") << Peer::frameOf("{\"cmd\": ") << true << ProtocolErrorText
                                  << ProtocolErrorText;
        QTest::newRow("empty body") << Peer::frameOf(QByteArray()) << true << ProtocolErrorText
                                    << ProtocolErrorText;
        QTest::newRow("unknown request")
            << Peer::frameOf((QJsonObject{{"cmd", "reboot"}, {"cmdType", "request"}})) << true
            << ProtocolErrorText << ProtocolErrorText;
        QTest::newRow("unknown response") << Peer::frameOf((Peer::response("reboot", 0))) << true
                                          << ProtocolErrorText << ProtocolErrorText;
        QByteArray huge(8, '\0');
        qToBigEndian<quint32>(64u * 1024u * 1024u + 1u, huge.data());
        QTest::newRow("body over 64 MiB") << huge + QByteArray(100, '{') << true
                                          << ProtocolErrorText << ProtocolErrorText;
    }

    void failuresTearDown()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, afterLogin);
        QFETCH(QString, box);
        QFETCH(QString, log);
        Peer peer;
        QSignalSpy connected(client(), &OvTransferServer::signalConnect);
        if (afterLogin) {
            QVERIFY(peer.logInConsole("t", threeItems()));
        } else {
            client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("pw"),
                                      peer.port());
            QVERIFY(peer.waitFor("login"));
        }
        m_log.lines.clear();
        const int requestsBefore = peer.messages.size();
        peer.sendRaw(frame);
        QCOMPARE(errorAfterTeardown(), box);
        QCOMPARE(m_log.lines, log.isEmpty() ? QStringList() : QStringList(QStringLiteral(u"系统:") + log));
        QCOMPARE(connected.count(), afterLogin ? 2 : 1);
        QCOMPARE(connected.last().first().toBool(), false);
        QVERIFY(client()->isSelfOperator(QString()));
        if (QByteArray(QTest::currentDataTag()).startsWith("kick")) {
            QVERIFY(peer.waitFor("kickOff", 1, "response"));
            QCOMPARE(peer.messages.size(), requestsBefore + 1);
        }
        // The remote end sees the connection go.
        QTRY_COMPARE_WITH_TIMEOUT(peer.socket()->state(), QAbstractSocket::UnconnectedState, 3000);
    }

    // Members of the wrong JSON type, values out of range and garbage where
    // objects belong: every request is still answered, the model stays a
    // consistent list, and only unparsable text ends the connection.
    void hostileShapes()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("t", threeItems()));
        int answered = 0;
        auto sendAndWait = [&](const QByteArray& body) {
            peer.sendRaw(Peer::frameOf(body));
            ++answered;
            return peer.waitFor("notifyCG", answered, "response");
        };
        const QByteArray b = GuidB.toUtf8();
        const QByteArray c = GuidC.toUtf8();
        QVERIFY(sendAndWait(R"({"cmd":"notifyCG","cmdType":"request","value":[1,2]})"));
        QVERIFY(sendAndWait(R"({"cmd":"notifyCG","value":{"operationTarget":")" + b
                            + R"(","operationType":"1","operationValue":{"status":0}}})"));
        QVERIFY(sendAndWait(R"({"cmd":"notifyCG","value":{"operationTarget":5,"operationType":5}})"));
        QVERIFY(sendAndWait(R"({"cmd":"notifyCG","value":{"operationTarget":")" + c
                            + R"(","operationType":3,"operator":[],"operationValue":{"imageBase64":"!!"}}})"));
        QTest::qWait(50);
        QCOMPARE(model()->count(), 3);
        QCOMPARE(model()->findCg(GuidB)->status(), 1);

        // No operator object at all, and a type written as 1.0: applied, by nobody.
        QList<operatorInfo> infos;
        const QMetaObject::Connection c1 = connect(
            model(), &OvCGListModel::SingalCGUpdate, this,
            [&infos](int, int, OvSubCGItem*, const operatorInfo& info) { infos.append(info); });
        QVERIFY(sendAndWait(R"({"cmd":"notifyCG","value":{"operationTarget":")" + b
                            + R"(","operationType":1.0,"operator":"me","operationValue":{"status":2}}})"));
        QTRY_COMPARE_WITH_TIMEOUT(model()->findCg(GuidB)->status(), 2, 2000);
        disconnect(c1);
        QVERIFY(!infos.isEmpty());
        QVERIFY(infos.last().operatorName.isEmpty() && infos.last().operatorGuid.isEmpty());

        // Move targets outside the list stay inside it.
        QVERIFY(sendAndWait(R"({"cmd":"notifyCG","value":{"operationTarget":")" + c
                            + R"(","operationType":4,"operationValue":{"index":-7}}})"));
        QTRY_COMPARE_WITH_TIMEOUT(model()->cgAt(0)->guid(), GuidC, 2000);
        QVERIFY(sendAndWait(R"({"cmd":"notifyCG","value":{"operationTarget":")" + c
                            + R"(","operationType":4,"operationValue":{"index":2147483647}}})"));
        QTRY_COMPARE_WITH_TIMEOUT(model()->cgAt(2)->guid(), GuidC, 2000);
        QCOMPARE(model()->cgAt(0)->guid(), GuidA);
        QCOMPARE(model()->cgAt(1)->guid(), GuidB);

        peer.sendRaw(Peer::frameOf(R"({"cmd":"notifyMSG","value":{"endpointName":["x"],"connectType":"3"}})"));
        QVERIFY(peer.waitFor("notifyMSG", 1, "response"));
        QTRY_COMPARE_WITH_TIMEOUT(m_log.lines.last(), QStringLiteral(u"系统: 成功与studio建立连接"), 2000);
        peer.sendRaw(Peer::frameOf(R"({"cmd":"heart","cmdType":"response","code":"-2","value":"x"})"));
        QTest::qWait(50);
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
        QCOMPARE(model()->count(), 3);

        // Nesting deeper than the parser follows is no JSON.
        peer.sendRaw(Peer::frameOf(QByteArray(5000, '[') + QByteArray(5000, ']')));
        QCOMPARE(errorAfterTeardown(), ProtocolErrorText);
        QCOMPARE(model()->count(), 3);
    }

    // Items past the catalogue's bound, in the list at login or added later,
    // are left out and counted, and the connection stays: one system line
    // says so, however many there are.
    void beyondTheBound_data()
    {
        QTest::addColumn<int>("atLogin");  // past the bound in the server's list
        QTest::addColumn<QString>("line");
        QTest::newRow("additions") << 0 << QStringLiteral(u"系统:CG数量已达上限100000个：服务器新增的CG不会列出");
        QTest::newRow("a larger list at login")
            << 3 << QStringLiteral(u"系统:CG数量已达上限100000个：服务器的另外3个CG未列出");
    }

    void beyondTheBound()
    {
        QFETCH(int, atLogin);
        QFETCH(QString, line);
        Peer peer;
        QJsonArray list;
        for (int i = 0; i < OvProtocol::MaxCgItems + atLogin; ++i)
            list.append(QJsonObject{{"name", QString::number(i)}});
        m_log.lines.clear();
        (void)peer.logInConsole("t", list, 1000);
        QTRY_COMPARE_WITH_TIMEOUT(model()->count(), OvProtocol::MaxCgItems, 20000);
        peer.send(Peer::notifyCG(GuidA, 6, cgObject(GuidA, "one too many", 0)));
        peer.send(Peer::notifyCG(GuidB, 6, cgObject(GuidB, "two too many", 0)));
        QVERIFY(peer.waitFor("notifyCG", 2, "response"));
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
        QCOMPARE(model()->count(), OvProtocol::MaxCgItems);
        QVERIFY(!model()->findCg(GuidA));
        QCOMPARE(model()->unlistedCount(), atLogin + 2);
        QCOMPARE(m_log.lines.filter(QStringLiteral("CG数量")), QStringList(line));
    }

    void serverClosesWhileLoggedIn()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("t"));
        QSignalSpy connected(client(), &OvTransferServer::signalConnect);
        peer.socket()->disconnectFromHost();
        QCOMPARE(errorAfterTeardown(), RemoteClosedText);
        QCOMPARE(m_log.lines, QStringList(QStringLiteral(u"系统:您与") + RemoteClosedText));
        QCOMPARE(connected.count(), 1);
    }

    void responseWithoutCodeAndListWithoutItems()
    {
        Peer peer;
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("pw"), peer.port());
        QVERIFY(peer.waitFor("login"));
        // No "code" at all, and no token: logged in with an empty token.
        peer.send({{"cmd", "login"}, {"cmdType", "response"}});
        QVERIFY(peer.waitFor("syncCGList"));
        QVERIFY(client()->isSelfOperator(QString()));
        peer.send(Peer::response("syncCGList", 0, {{"cgList", threeItems()}}));
        QTRY_COMPARE_WITH_TIMEOUT(model()->count(), 3, 2000);
        peer.send({{"cmd", "syncCGList"}, {"cmdType", "response"}, {"value", QJsonObject()}});
        QTRY_COMPARE_WITH_TIMEOUT(model()->count(), 0, 2000);
        // A code of another JSON type reads as 0.
        peer.send({{"cmd", "heart"}, {"cmdType", "response"}, {"code", "-1"}});
        peer.send({{"cmd", "heart"}, {"cmdType", "response"}, {"code", -1.5}});
        QTest::qWait(100);
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
    }

    // Login answers nobody asked for: no second login, no new token, no new
    // catalogue request, whatever their code.
    void repeatedLoginAnswersChangeNothing()
    {
        Peer peer;
        QSignalSpy connected(client(), &OvTransferServer::signalConnect);
        QVERIFY(peer.logInConsole("first", threeItems()));
        peer.send(Peer::response("login", 0, {{"token", "second"}}));
        peer.send(Peer::response("login", 3, {{"token", "third"}}));
        peer.send(Peer::response("login", -3));
        // A request behind them shows they were read.
        peer.send({{"cmd", "notifyMSG"}, {"value", QJsonObject{{"endpointName", "x"}}}});
        QVERIFY(peer.waitFor("notifyMSG", 1, "response"));
        QCOMPARE(connected.count(), 1);
        QCOMPARE(peer.countOf("syncCGList"), 1);
        QVERIFY(client()->isSelfOperator(QStringLiteral("first")));
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
        QCOMPARE(model()->count(), 3);
    }

    // A kick from a server that has stopped reading: the console leaves at
    // once, with the kick's reason, although its answers cannot be delivered.
    void kickFromAServerThatDoesNotRead()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("t", threeItems()));
        backUpAnswers(peer, 6000);
        QVERIFY(peer.socket()->waitForBytesWritten(5000));
        QTRY_COMPARE_WITH_TIMEOUT(peer.socket()->bytesToWrite(), qint64(0), 20000);
        QTest::qWait(200);
        m_log.lines.clear();
        const QString kick2 =
            QStringLiteral(u"远程断开连接，登录帐号没有软件使用权限，请联系Tolva客服。");
        peer.send({{"cmd", "kickOff"}, {"value", QJsonObject{{"kickType", 2}}}});
        QCOMPARE(errorAfterTeardown(5000), kick2);
        QCOMPARE(m_log.lines, QStringList(QStringLiteral(u"系统:您与") + kick2));
    }

    // The operator's disconnect waits for unsent bytes for a short while only.
    void disconnectFromAServerThatDoesNotRead()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("t", threeItems()));
        backUpAnswers(peer, 6000);
        QTRY_COMPARE_WITH_TIMEOUT(peer.socket()->bytesToWrite(), qint64(0), 10000);
        // The console reads no faster than it handles: wait until its answers
        // back up behind the server that does not read.
        auto* const socket = client()->findChild<QTcpSocket*>();
        QVERIFY(socket);
        QTRY_VERIFY_WITH_TIMEOUT(socket->bytesToWrite() > 0, 20000);
        m_log.lines.clear();
        client()->disconnectFromServer();
        QCOMPARE(client()->connectionState(), OvTransferServer::Closing);
        QCOMPARE(errorAfterTeardown(5000), QString());
        QVERIFY(m_log.lines.isEmpty());
    }

    // A server that sends on and never reads cannot make the console queue
    // without end: past the bound it is a protocol error.
    void unsentBacklogIsBounded()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("t", threeItems()));
        client()->setMaxUnsentBytes(1024 * 1024);
        backUpAnswers(peer, 30000);
        QCOMPARE(errorAfterTeardown(60000), ProtocolErrorText);
        QCOMPARE(m_log.lines, QStringList(QStringLiteral(u"系统:") + ProtocolErrorText));
    }

    // A burst that takes long to work through lets the event loop run in
    // between, and is still handled whole and in order.
    void longBurstYieldsToTheEventLoop()
    {
        Peer peer;
        QVERIFY(peer.logInConsole("t", threeItems()));
        constexpr int Frames = 200;
        int handled = 0;
        int handledWhenLoopRan = -1;
        QStringList names;
        const QMetaObject::Connection c = connect(
            &OvCGMessage::instance(), &OvCGMessage::notifyMessage, this,
            [&](MessageType, const QString&, const QString&, const QString& text) {
                names.append(text.section(QLatin1Char(' '), 0, 0));
                if (handled++ == 0)
                    QTimer::singleShot(0, this, [&] { handledWhenLoopRan = handled; });
                QThread::usleep(1000);  // a slow frame
            });
        QByteArray burst;
        QStringList sent;
        for (int i = 0; i < Frames; ++i) {
            sent.append(QString::number(i));
            burst += Peer::frameOf((QJsonObject{{"cmd", "notifyMSG"},
                                      {"value", QJsonObject{{"endpointName", sent.last()}}}}));
        }
        peer.sendRaw(burst);
        QVERIFY(peer.waitFor("notifyMSG", Frames, "response", 10000));
        disconnect(c);
        QCOMPARE(names, sent);
        QVERIFY2(handledWhenLoopRan > 0 && handledWhenLoopRan < Frames / 2,
                 QByteArray::number(handledWhenLoopRan));
    }

    // A server that sends faster than the console applies and logs: what is
    // not yet handled waits at the server, not in the console, and every
    // frame is still answered (more answers than the socket writes in one
    // turn of the event loop each) and applied, in order.
    void floodIsReadNoFasterThanHandled()
    {
        constexpr qint64 Frames = 250000;
        const QByteArray padding(100, 'p');
        const QJsonObject list = Peer::response("syncCGList", 0, {{"cgList", QJsonArray{cgObject(GuidA, "A", 0)}}});
        OvFloodPeer server(QJsonDocument(list).toJson(QJsonDocument::Compact), Frames, [&padding](qint64 i) {
            return R"({"cmd":"notifyCG","value":{"operationTarget":")" + GuidA.toUtf8()
                   + R"(","operationType":2,"operationValue":{"name":")" + QByteArray::number(i) + R"(","pad":")"
                   + padding + R"("}}})";
        });
        const quint16 port = server.listen();
        QVERIFY(port != 0);

        qint64 renamed = 0;
        qint64 outOfOrder = -1;
        const QMetaObject::Connection c = connect(
            model(), &OvCGListModel::SingalCGUpdate, this,
            [&](int, int type, OvSubCGItem* item, const operatorInfo&) {
                if (type != OvSubCGItem::NameUpdate)
                    return;
                if (item->name() != QString::number(renamed) && outOfOrder < 0)
                    outOfOrder = renamed;
                ++renamed;
                m_log.lines.clear();  // the hub's lines are not what is measured
            });
        const qint64 before = heapInUse();
        qint64 peak = before;
        QTimer sample;
        connect(&sample, &QTimer::timeout, this, [&] { peak = qMax(peak, heapInUse()); });
        sample.start(2);
        // The flood follows the catalogue at once.
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("pw"), port);
        const bool done = QTest::qWaitFor([&] { return server.answers() >= Frames; }, 120000);
        sample.stop();
        disconnect(c);
        QVERIFY2(done, qPrintable(QStringLiteral("%1 of %2 answered").arg(server.answers()).arg(Frames)));
        QCOMPARE(renamed, Frames);
        QCOMPARE(outOfOrder, qint64(-1));
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
        QVERIFY(!server.broken());
        const qint64 grown = peak - before;
        qInfo("flood of %lld bytes: heap in use grew by %lld KiB at most", server.bytesSent(), grown / 1024);
        // The read-ahead, whatever the flood's size, plus what is in hand
        // besides (the frame in progress, answers not yet written, the peer's
        // batch). Bounded, the growth stays under 9 MB in either build;
        // unbounded, it takes about the whole flood (60 MB).
        QVERIFY2(grown < OvTransferServer::ReadAheadBytes + 12 * 1024 * 1024, QByteArray::number(grown));
    }

    void loginWaitExpires()
    {
        Peer peer;  // accepts, never answers
        QSignalSpy connected(client(), &OvTransferServer::signalConnect);
        QElapsedTimer clock;
        clock.start();
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("pw"), peer.port());
        QVERIFY(peer.waitFor("login"));
        QCOMPARE(errorAfterTeardown(6000), RefusedText);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 3990 && elapsed < 5500, QByteArray::number(elapsed));
        QCOMPARE(connected.count(), 1);
        QCOMPARE(m_log.lines, QStringList(QStringLiteral(u"系统:") + RefusedText));
    }

    void refusedAfterLoginWait()
    {
        quint16 closedPort;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            closedPort = probe.serverPort();
        }
        QSignalSpy connected(client(), &OvTransferServer::signalConnect);
        QElapsedTimer clock;
        clock.start();
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("pw"), closedPort);
        QTest::qWait(500);
        QCOMPARE(connected.count(), 0);
        QCOMPARE(client()->connectionState(), OvTransferServer::Connecting);
        QCOMPARE(errorAfterTeardown(6000), RefusedText);
        QVERIFY2(clock.elapsed() >= 3990, QByteArray::number(clock.elapsed()));
        QCOMPARE(connected.count(), 1);
    }

    void heartbeatEvery3000ms()
    {
        Peer peer;
        QElapsedTimer clock;
        QList<qint64> beats;
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("pw"), peer.port());
        QVERIFY(peer.waitFor("login"));
        peer.send(Peer::response("login", 0, {{"token", "hb"}}));
        clock.start();
        QVERIFY(peer.waitFor("syncCGList"));
        for (int i = 1; i <= 2; ++i) {
            QVERIFY(peer.waitFor("heart", i, "request", 4500));
            beats.append(clock.elapsed());
        }
        QVERIFY2(beats[0] >= 2800 && beats[0] < 3600, QByteArray::number(beats[0]));
        QVERIFY2(beats[1] - beats[0] >= 2700 && beats[1] - beats[0] < 3600,
                 QByteArray::number(beats[1] - beats[0]));
        QCOMPARE(peer.last("heart").value("token").toString(), QStringLiteral("hb"));
        QCOMPARE(peer.last("heart").value("value").toObject(), QJsonObject());
        client()->disconnectFromServer();
        QCOMPARE(errorAfterTeardown(), QString());
        QTest::qWait(3300);
        QCOMPARE(peer.countOf("heart"), 2);
    }
};

QTEST_MAIN(TstTransferServer)
#include "tst_transfer_server.moc"
