// The remote API through Qt's own WebSocket client on loopback, the console
// logged in to the in-test peer: who gets in, the bounds, the state and its
// events, each command with its refusals, and thumbnails.

#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "net/OvApiServer.h"
#include "net/OvTransferServer.h"

#include <QBuffer>
#include <QImage>
#include <QJsonDocument>
#include <QPixmap>
#include <QTcpSocket>
#include <QTest>
#include <QUuid>
#include <QWebSocket>

namespace {

OvCGListModel* model()
{
    return OvCGListModel::instance();
}

// A panel: what it received, and how it was closed.
class Panel : public QObject
{
public:
    explicit Panel(quint16 port, const QString& origin = QString()) : socket(origin)
    {
        connect(&socket, &QWebSocket::textMessageReceived, this,
                [this](const QString& text) { received.append(QJsonDocument::fromJson(text.toUtf8()).object()); });
        connect(&socket, &QWebSocket::disconnected, this, [this] { closed = true; });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
    }
    bool connected() { return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, 3000); }
    void send(const QJsonObject& message) { socket.sendTextMessage(QJsonDocument(message).toJson(QJsonDocument::Compact)); }
    // The first message of that type not yet taken.
    QJsonObject take(const QString& type, int timeoutMs = 3000)
    {
        QJsonObject found;
        (void)QTest::qWaitFor(
            [&] {
                for (int i = 0; i < received.size(); ++i)
                    if (received.at(i).value("type").toString() == type) {
                        found = received.takeAt(i);
                        return true;
                    }
                return false;
            },
            timeoutMs);
        return found;
    }
    int closeCode()
    {
        (void)QTest::qWaitFor([this] { return closed; }, 3000);
        return closed ? int(socket.closeCode()) : -1;
    }

    QWebSocket socket;
    QList<QJsonObject> received;
    bool closed = false;
};

QJsonObject cmd(const QString& name, const QJsonValue& item = QJsonValue::Undefined)
{
    QJsonObject message{{"cmd", name}, {"id", 7}};
    if (!item.isUndefined())
        message.insert("item", item);
    return message;
}

}  // namespace

class TstApi : public QObject
{
    Q_OBJECT

    OvApiServer* m_api = nullptr;
    OvTestPeer* m_peer = nullptr;
    QJsonArray m_list;

    Panel* authenticated()
    {
        auto* panel = new Panel(m_api->port());
        panel->setParent(this);
        if (!panel->connected())
            qWarning("the panel did not connect");
        panel->send({{"cmd", "auth"}, {"token", "s3cret"}});
        if (panel->take("result").value("ok") != true)
            qWarning("the panel was not let in");
        return panel;
    }

private slots:
    void init()
    {
        m_api = new OvApiServer(this);
        m_api->setToken("s3cret");
        m_api->setAllowedOrigins({"HTTP://Panel.local/"});
        QString error;
        QVERIFY2(m_api->listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
        m_peer = new OvTestPeer;
        m_list = {};
        for (const char* name : {"A", "B", "C"})
            m_list.append(OvTestPeer::record(name));
        QVERIFY(m_peer->logInConsole("t", m_list));
        QTRY_COMPARE(model()->thumbnailsPending(), 0);
        model()->setCurrentCg(model()->cgAt(0));
    }

    void cleanup()
    {
        OvTakeCommand::instance()->setLocked(false);
        OvRunningOrder::instance()->clear();
        OvTransferServer::instance()->disconnectFromServer();
        QTRY_COMPARE(OvTransferServer::instance()->connectionState(), OvTransferServer::Idle);
        delete m_peer;
        delete m_api;
        qDeleteAll(findChildren<Panel*>(QString(), Qt::FindDirectChildrenOnly));
    }

    void authentication_data()
    {
        QTest::addColumn<QJsonObject>("first");
        QTest::addColumn<bool>("admitted");
        QTest::newRow("a command first") << cmd("pgm", 1) << false;
        QTest::newRow("wrong token") << QJsonObject{{"cmd", "auth"}, {"token", "s3cre"}} << false;
        QTest::newRow("token not a string") << QJsonObject{{"cmd", "auth"}, {"token", 1}} << false;
        QTest::newRow("right token") << QJsonObject{{"cmd", "auth"}, {"token", "s3cret"}, {"id", "x"}} << true;
    }

    void authentication()
    {
        QFETCH(QJsonObject, first);
        QFETCH(bool, admitted);
        Panel panel(m_api->port());
        QVERIFY(panel.connected());
        panel.send(first);
        if (!admitted) {
            QCOMPARE(panel.closeCode(), OvApiServer::CloseUnauthorized);
            QVERIFY(panel.received.isEmpty());
            QCOMPARE(m_peer->countOf("updateCG"), 0);
            return;
        }
        QCOMPARE(panel.take("result"), (QJsonObject{{"type", "result"}, {"ok", true}, {"id", "x"}}));
        QCOMPARE(panel.take("state").value("total").toInt(), 3);
    }

    // A web page is kept out at the handshake unless its origin is allowed.
    void origin_data()
    {
        QTest::addColumn<QString>("origin");
        QTest::addColumn<bool>("admitted");
        QTest::newRow("a page elsewhere") << "http://evil.example" << false;
        QTest::newRow("an allowed page") << "http://panel.local" << true;
        QTest::newRow("no origin (panel software)") << QString() << true;
    }

    void origin()
    {
        QFETCH(QString, origin);
        QFETCH(bool, admitted);
        Panel panel(m_api->port(), origin);
        QCOMPARE(panel.connected(), admitted);
    }

    void bounds()
    {
        // Sixteen in, the seventeenth turned away.
        QList<Panel*> panels;
        for (int i = 0; i < OvApiServer::MaxClients; ++i) {
            panels.append(authenticated());
            QVERIFY(!panels.last()->take("state").isEmpty());
        }
        Panel extra(m_api->port());
        QCOMPARE(extra.closeCode(), OvApiServer::CloseTooMany);
        // Commands past the rate are refused and counted, each answered.
        for (int i = 0; i < 150; ++i)
            panels.first()->send(cmd("select", 1));
        QTRY_COMPARE(panels.first()->received.size(), 150);
        const auto refused = std::count_if(panels.first()->received.cbegin(), panels.first()->received.cend(),
                                           [](const QJsonObject& m) { return m.value("error") == "rate limited"; });
        QVERIFY2(refused >= 50 && refused == m_api->rateRefused(), qPrintable(QString::number(refused)));
        // A message over the bound closes the connection.
        panels.last()->socket.sendTextMessage(QString(OvApiServer::MaxMessageBytes + 1, 'x'));
        QCOMPARE(panels.last()->closeCode(), int(QWebSocketProtocol::CloseCodeTooMuchData));
    }

    // A panel that stops reading is dropped once its backlog passes the
    // bound; the console goes on. A socket of its own that never reads,
    // speaking the handshake and one masked frame by hand.
    void slowClientDropped()
    {
        QTcpSocket raw;
        raw.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        raw.connectToHost(QHostAddress::LocalHost, m_api->port());
        QVERIFY(raw.waitForConnected(3000));
        raw.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        const QByteArray auth = R"({"cmd":"auth","token":"s3cret"})";
        raw.write(QByteArray("\x81") + char(0x80 | auth.size()) + QByteArray(4, '\0') + auth);
        QTRY_COMPARE(m_api->clientCount(), 1);
        OvRunningOrder* const order = OvRunningOrder::instance();
        for (int i = 0; i < OvRunningOrder::MaxCues; ++i)
            order->insert(i, QUuid::createUuid());
        // Each change of a long running order is some 600 KB for every panel.
        for (int i = 1; i < 100 && m_api->dropped() == 0; ++i) {
            order->setDuration(0, i);
            QTest::qWait(5);
        }
        QCOMPARE(m_api->dropped(), 1);
        QTRY_COMPARE(m_api->clientCount(), 0);
    }

    void stateThenEvents()
    {
        OvRunningOrder::instance()->insert(0, QUuid(m_list.at(2).toObject().value("guid").toString()));
        Panel* const panel = authenticated();
        const QJsonObject state = panel->take("state");
        QCOMPARE(state.value("connected"), true);
        QCOMPARE(state.value("current").toString(), model()->cgAt(0)->guid());
        QCOMPARE(state.value("items").toArray().at(1).toObject().value("position").toInt(), 2);
        QCOMPARE(state.value("cues").toArray().at(0).toObject().value("name").toString(), "C");
        QCOMPARE(state.value("next").toInt(), 1);

        // The server's confirmation of a take, as an item and as a take.
        QCOMPARE(OvTakeCommand::instance()->takeItem(OvTakeCommand::RemoteApi, model()->cgAt(1), OvCgStatus::OnPgm),
                 OvTakeCommand::Taken);
        const QString guid = model()->cgAt(1)->guid();
        m_peer->send(OvTestPeer::notifyCG(guid, 1, {{"status", 1}}, "Zhang", "t"));
        QCOMPARE(panel->take("take").value("status").toInt(), int(OvCgStatus::OnPgm));
        const QJsonObject item = panel->take("item");
        QCOMPARE(item.value("guid").toString(), guid);
        QCOMPARE(item.value("status").toInt(), int(OvCgStatus::OnPgm));
        QCOMPARE(panel->take("current").value("position").toInt(), 2);
        OvTakeCommand::instance()->setLocked(true);
        QCOMPARE(panel->take("locked").value("locked"), true);
        OvRunningOrder::instance()->insert(1, QUuid(guid));
        QCOMPARE(panel->take("cues").value("cues").toArray().size(), 2);
        // The catalogue replaced: the whole list again from the start.
        m_peer->send(OvTestPeer::notifyCG(guid, 5, {}));
        const QJsonObject items = panel->take("items");
        QCOMPARE(items.value("offset").toInt(), 0);
        QCOMPARE(items.value("total").toInt(), 2);
    }

    void commands_data()
    {
        QTest::addColumn<QList<QJsonObject>>("commands");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("expected");  // statuses A B C, then the current item
        QTest::newRow("pgm: the current item") << QList<QJsonObject>{cmd("pgm")} << "" << "3 0 0 @A";
        QTest::newRow("pvw by position") << QList<QJsonObject>{cmd("pvw", 3)} << "" << "0 0 3 @C";
        QTest::newRow("cancel by name: idle") << QList<QJsonObject>{cmd("cancel", "B")} << "refused" << "0 0 0 @B";
        QTest::newRow("pgm twice: an answer awaited")
            << QList<QJsonObject>{cmd("pgm", 2), cmd("pvw", 2)} << "refused" << "0 3 0 @B";
        QTest::newRow("select by position") << QList<QJsonObject>{cmd("select", 2)} << "" << "0 0 0 @B";
        QTest::newRow("next") << QList<QJsonObject>{cmd("next")} << "" << "0 0 0 @B";
        QTest::newRow("position 0") << QList<QJsonObject>{cmd("pgm", 0)} << "no such item" << "0 0 0 @A";
        QTest::newRow("position 1.5") << QList<QJsonObject>{cmd("pgm", 1.5)} << "no such item" << "0 0 0 @A";
        QTest::newRow("no such name") << QList<QJsonObject>{cmd("select", "Z")} << "no such item" << "0 0 0 @A";
        QTest::newRow("item an object") << QList<QJsonObject>{cmd("pvw", QJsonObject())} << "no such item" << "0 0 0 @A";
        QTest::newRow("locked") << QList<QJsonObject>{cmd("lock"), cmd("pgm")} << "locked" << "0 0 0 @A";
        QTest::newRow("unlocked") << QList<QJsonObject>{cmd("lock"), cmd("unlock"), cmd("pgm")} << "" << "3 0 0 @A";
        QTest::newRow("go: nothing cued") << QList<QJsonObject>{cmd("go")} << "nothing to go" << "0 0 0 @A";
        QTest::newRow("unknown") << QList<QJsonObject>{cmd("launch")} << "unknown command" << "0 0 0 @A";
        QTest::newRow("no cmd") << QList<QJsonObject>{QJsonObject{{"id", 7}}} << "bad message" << "0 0 0 @A";
        QTest::newRow("an id to echo in bulk")
            << QList<QJsonObject>{cmd("lock"), QJsonObject{{"cmd", "unlock"}, {"id", QJsonArray{1, 2}}}, cmd("pgm")}
            << "locked" << "0 0 0 @A";
    }

    void commands()
    {
        QFETCH(QList<QJsonObject>, commands);
        QFETCH(QString, error);
        QFETCH(QString, expected);
        OvTakeCommand::instance()->setGuardMs(0);
        Panel* const panel = authenticated();
        QVERIFY(!panel->take("state").isEmpty());
        QJsonObject result;
        for (const QJsonObject& command : commands) {
            panel->send(command);
            result = panel->take("result");
        }
        QCOMPARE(result.value("id").toInt(), 7);
        QCOMPARE(result.value("ok").toBool(), error.isEmpty());
        QCOMPARE(result.value("error").toString(), error);
        QStringList statuses;
        for (const OvSubCGItem* item : model()->cgList())
            statuses.append(QString::number(item->status()));
        QCOMPARE(statuses.join(' ') + " @" + model()->currentCg()->name(), expected);
        OvTakeCommand::instance()->setGuardMs(OvTakeCommand::DefaultGuardMs);
    }

    void notConnected()
    {
        OvTransferServer::instance()->disconnectFromServer();
        Panel* const panel = authenticated();
        QCOMPARE(panel->take("state").value("connected"), false);
        panel->send(cmd("pgm"));
        QCOMPARE(panel->take("result").value("error").toString(), "not connected");
    }

    void thumbnails_data()
    {
        QTest::addColumn<QJsonValue>("size");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("default") << QJsonValue(QJsonValue::Undefined) << "" << QSize(72, 36);
        QTest::newRow("16") << QJsonValue(16) << "" << QSize(16, 8);
        QTest::newRow("over 256") << QJsonValue(257) << "bad message" << QSize();
        QTest::newRow("0") << QJsonValue(0) << "bad message" << QSize();
        QTest::newRow("a text") << QJsonValue("72") << "bad message" << QSize();
    }

    void thumbnails()
    {
        QFETCH(QJsonValue, size);
        QFETCH(QString, error);
        QFETCH(QSize, expected);
        // The server sends a picture; the panel is told to fetch it.
        Panel* const panel = authenticated();
        QVERIFY(!panel->take("state").isEmpty());
        QImage picture(200, 100, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        m_peer->send(OvTestPeer::notifyCG(model()->cgAt(0)->guid(), 3, {{"imageBase64", QString(png.toBase64())}}));
        QCOMPARE(panel->take("picture").value("guid").toString(), model()->cgAt(0)->guid());
        QJsonObject ask = cmd("thumbnail", model()->cgAt(0)->guid());
        if (!size.isUndefined())
            ask.insert("size", size);
        panel->send(ask);
        const QJsonObject result = panel->take("result");
        QCOMPARE(result.value("error").toString(), error);
        if (error.isEmpty())
            QCOMPARE(QImage::fromData(QByteArray::fromBase64(result.value("png").toString().toLatin1()), "PNG").size(),
                     expected);
        panel->send(cmd("thumbnail", 2));
        QCOMPARE(panel->take("result").value("error").toString(), "no picture");
    }
};

QTEST_MAIN(TstApi)
#include "tst_api.moc"
