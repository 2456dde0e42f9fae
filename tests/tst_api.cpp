// The remote API through Qt's own WebSocket client on loopback, the console
// logged in to the in-test peer: who gets in, the bounds, the state and its
// events, every command of the table through the API and through OSC with
// the same effect and refusal, and thumbnails.

#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "remote/OvAddressBackoff.h"
#include "remote/OvApiListener.h"
#include "remote/OvApiServer.h"
#include "cg/OvSearchFilter.h"
#include "net/OvTransferServer.h"
#include "remote/OvOscControl.h"
#include "remote/OvPanelFiles.h"
#include "shell/OvConsoleCore.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QPixmap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <QUdpSocket>
#include <QWebSocket>
#include <QtEndian>

#include <cstdlib>
#include <functional>

#include <lo/lo.h>

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

const QString Token = QStringLiteral("s3cret-of-16-chars");
const QString ViewToken = QStringLiteral("watch-only-16-chars");
const QByteArray Handshake = "GET / HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                             "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";

// A panel by hand on a plain socket: from any loopback address, with a
// request head of its own, and reading only in readUntil() (a lagging one a
// few KB at a time).
class RawPanel : public QObject
{
public:
    explicit RawPanel(quint16 port, const char* from = "127.0.0.1", const QByteArray& head = Handshake, bool lags = false)
    {
        // A lagging one takes a few KB at a time from the kernel, and only when read.
        if (lags) {
            socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
            socket.setReadBufferSize(4096);
        }
        socket.bind(QHostAddress(QString::fromLatin1(from)));
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.write(head);
    }
    void auth(const QString& token = Token)
    {
        const QByteArray text = "{\"cmd\":\"auth\",\"token\":\"" + token.toUtf8() + "\"}";
        socket.write(QByteArray("\x81") + char(0x80 | text.size()) + QByteArray(4, '\0') + text);
    }
    // Reads until cond holds or the connection ends, parsing what came;
    // turns of the event loop without pauses, as a large state takes many.
    bool readUntil(const std::function<bool()>& cond, int timeoutMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        QTimer wake;
        wake.start(20);
        for (;;) {
            in += socket.readAll();
            if (head.isEmpty() && in.contains("\r\n\r\n"))
                head = in.left(in.indexOf("\r\n\r\n") + 4), in.remove(0, head.size());
            while (!head.isEmpty() && in.size() >= 2) {
                const int code = in[1] & 0x7f;
                const int at = code == 126 ? 4 : code == 127 ? 10 : 2;
                const qint64 size = code == 126   ? qFromBigEndian<quint16>(in.constData() + 2)
                                    : code == 127 ? qFromBigEndian<qint64>(in.constData() + 2)
                                                  : code;
                if (in.size() < at + size)
                    break;
                message += in.mid(at, int(size));
                if ((in[0] & 0x0f) == 8)
                    closeCode = qFromBigEndian<quint16>(message.constData());
                else if (in[0] & 0x80)
                    received.append(QJsonDocument::fromJson(message).object()), sizes.append(message.size());
                if (in[0] & 0x80)
                    message.clear();
                in.remove(0, at + int(size));
            }
            if (cond())
                return true;
            if (socket.state() == QAbstractSocket::UnconnectedState || clock.elapsed() >= timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    int closed() { return readUntil([this] { return closeCode >= 0; }) ? closeCode : -1; }

    QTcpSocket socket;
    QByteArray in, head, message;
    QList<QJsonObject> received;
    QList<int> sizes;
    int closeCode = -1;
};

QString png(const QColor& color)
{
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(color);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

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

    // The parts of the case under way, built afresh for each.
    std::unique_ptr<OvConsoleCore> m_core;
    OvApiServer* m_api = nullptr;
    OvTestPeer* m_peer = nullptr;
    QJsonArray m_list;

    Panel* authenticated(const QString& token = Token, const QJsonValue& seat = QJsonValue::Undefined)
    {
        auto* panel = new Panel(m_api->port());
        panel->setParent(this);
        if (!panel->connected())
            qWarning("the panel did not connect");
        QJsonObject auth{{"cmd", "auth"}, {"token", token}};
        if (!seat.isUndefined())
            auth.insert("seat", seat);
        panel->send(auth);
        if (panel->take("result").value("ok") != true)
            qWarning("the panel was not let in");
        return panel;
    }

private slots:
    void init()
    {
        m_core = std::make_unique<OvConsoleCore>(OvSettings());
        m_api = new OvApiServer(m_core->commands(), m_core->feed(), this);
        m_api->setToken(Token);
        m_api->setViewToken(ViewToken);
        m_api->setAllowedOrigins({"HTTP://Panel.local/"});
        m_api->setAllowedHosts({"Console.Studio.LAN."});
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
        // Kept per server: the next case's login would read it back.
        m_core->order()->clear();
        OvTransferServer::instance()->disconnectFromServer();
        QTRY_COMPARE(OvTransferServer::instance()->connectionState(), OvTransferServer::Idle);
        // As the main window does: the next login then waits for its own catalogue.
        model()->clearCg();
        delete m_peer;
        delete m_api;
        qDeleteAll(findChildren<Panel*>(QString(), Qt::FindDirectChildrenOnly));
        m_core.reset();
    }

    // Only a wrong token is told as one: the other refusals are retried.
    void authentication_data()
    {
        QTest::addColumn<QJsonObject>("first");
        QTest::addColumn<int>("closeCode");  // 0: admitted
        QTest::addColumn<QString>("role");
        QTest::newRow("a command first") << cmd("pgm", 1) << OvApiServer::CloseProtocolError << "";
        QTest::newRow("wrong token") << QJsonObject{{"cmd", "auth"}, {"token", "s3cre"}} << OvApiServer::CloseUnauthorized
                                     << "";
        QTest::newRow("wrong token of the right length")
            << QJsonObject{{"cmd", "auth"}, {"token", "s3cret-of-16-chart"}} << OvApiServer::CloseUnauthorized << "";
        QTest::newRow("token not a string") << QJsonObject{{"cmd", "auth"}, {"token", 1}} << OvApiServer::CloseUnauthorized
                                            << "";
        QTest::newRow("right token") << QJsonObject{{"cmd", "auth"}, {"token", Token}, {"id", "x"}} << 0 << "control";
        QTest::newRow("view token") << QJsonObject{{"cmd", "auth"}, {"token", ViewToken}, {"id", "x"}} << 0 << "view";
    }

    void authentication()
    {
        QFETCH(QJsonObject, first);
        QFETCH(int, closeCode);
        QFETCH(QString, role);
        Panel panel(m_api->port());
        QVERIFY(panel.connected());
        panel.send(first);
        if (closeCode != 0) {
            QCOMPARE(panel.closeCode(), closeCode);
            QVERIFY(panel.received.isEmpty());
            QCOMPARE(m_peer->countOf("updateCG"), 0);
            return;
        }
        QCOMPARE(panel.take("result"), (QJsonObject{{"type", "result"}, {"ok", true}, {"id", "x"}, {"role", role}}));
        const QJsonObject state = panel.take("state");
        QCOMPARE(state.value("total").toInt(), 3);
        QCOMPARE(state.value("role").toString(), role);
    }

    // Who gets in, and the browser panel's page on the API's port. A web page
    // (an Origin) is kept out unless it is the console's own page or allowed,
    // and asked for under one of the console's names; panel software (no
    // Origin) is not held to the Host. The page's files by their names alone,
    // to the console's own names, every answer with the page's security
    // headers. A row is the request's line, Host, Origin ("-": none), and
    // whether it asks for a WebSocket; "P" is the API's port.
    void requests_data()
    {
        QTest::addColumn<QStringList>("request");
        QTest::addColumn<QString>("answer");  // status, then the type
        const struct {
            const char* name;
            QStringList request;
            const char* answer;
        } rows[] = {
            {"a page elsewhere", {"GET /", "127.0.0.1:P", "http://evil.example", "ws"}, "403"},
            {"an allowed page", {"GET /", "127.0.0.1:P", "http://panel.local", "ws"}, "101"},
            {"no origin (panel software)", {"GET /", "127.0.0.1:P", "-", "ws"}, "101"},
            {"no origin, any name", {"GET /", "console.elsewhere:P", "-", "ws"}, "101"},
            {"the console's own page", {"GET /", "127.0.0.1:P", "http://127.0.0.1:P", "ws"}, "101"},
            {"its page by a listed name", {"GET /", "console.studio.lan:P", "http://console.studio.lan:P", "ws"}, "101"},
            {"its page through a TLS proxy", {"GET /", "console.studio.lan", "https://console.studio.lan", "ws"}, "101"},
            {"a page on another port", {"GET /", "127.0.0.1:P", "http://127.0.0.1:8080", "ws"}, "403"},
            {"DNS rebinding", {"GET /", "evil.example:P", "http://evil.example:P", "ws"}, "403"},
            {"an allowed page, a foreign name", {"GET /", "evil.example:P", "http://panel.local", "ws"}, "403"},
            {"origin null", {"GET /", "127.0.0.1:P", "null", "ws"}, "403"},
            {"a blank in the host", {"GET /", "127.0.0.1 :P", "http://127.0.0.1 :P", "ws"}, "403"},
            {"the page", {"GET /", "127.0.0.1:P", "-"}, "200 text/html; charset=utf-8"},
            {"a module, a query", {"GET /grid.js?v=2", "localhost:P", "http://localhost:P"}, "200 text/javascript; charset=utf-8"},
            {"HEAD, a listed name", {"HEAD /panel.css", "CONSOLE.studio.lan.:P", "-"}, "200 text/css; charset=utf-8"},
            {"no such file", {"GET /config.ini", "127.0.0.1:P", "-"}, "404 text/plain; charset=utf-8"},
            {"up a folder", {"GET /../panel.js", "127.0.0.1:P", "-"}, "404 text/plain; charset=utf-8"},
            {"a resource path", {"GET /:/panel/panel.js", "127.0.0.1:P", "-"}, "404 text/plain; charset=utf-8"},
            {"POST", {"POST /", "127.0.0.1:P", "-"}, "405"},
            {"DNS rebinding, the page", {"GET /", "evil.example:P", "-"}, "403 text/plain; charset=utf-8"},
            {"no host", {"GET /", "", "-"}, "403 text/plain; charset=utf-8"},
            {"another page's request", {"GET /panel.js", "127.0.0.1:P", "http://evil.example"}, "403 text/plain; charset=utf-8"},
            {"two hosts", {"GET /", "127.0.0.1:P\r\nHost: evil.example", "-"}, "400 text/plain; charset=utf-8"},
            {"no HTTP/1", {"PRI *", "127.0.0.1:P", "-", "HTTP/2.0"}, "400 text/plain; charset=utf-8"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.request << QString::fromLatin1(row.answer);
    }

    void requests()
    {
        QFETCH(QStringList, request);
        QFETCH(QString, answer);
        request.replaceInStrings(QRegularExpression(":P\\b"), ':' + QString::number(m_api->port()));
        QByteArray head = (request.at(0) + (request.value(3) == "HTTP/2.0" ? " HTTP/2.0" : " HTTP/1.1")).toUtf8() + "\r\n";
        if (!request.at(1).isEmpty())
            head += "Host: " + request.at(1).toUtf8() + "\r\n";
        if (request.at(2) != "-")
            head += "Origin: " + request.at(2).toUtf8() + "\r\n";
        if (request.value(3) == "ws")
            head += Handshake.mid(Handshake.indexOf("Upgrade")).chopped(2);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_api->port());
        socket.write(head + "\r\n");
        // A handshake's head, or all of an answer: the console closes after it.
        QByteArray in;
        const QByteArray status = answer.section(' ', 0, 0).toLatin1();
        QVERIFY(QTest::qWaitFor([&] {
            in += socket.readAll();
            return status == "101" ? in.contains("\r\n\r\n") : socket.state() == QAbstractSocket::UnconnectedState;
        }, 5000));
        const QByteArray answerHead = in.left(in.indexOf("\r\n\r\n") + 2);
        QVERIFY2(answerHead.startsWith("HTTP/1.1 " + status), in.constData());
        QCOMPARE(m_api->refusedRequests(), status == "403" ? 1 : 0);
        if (status == "101")
            return;
        QVERIFY2(answerHead.contains("\r\n" + OvPanelFiles::securityHeaders()), answerHead.constData());
        QCOMPARE(answerHead.contains("\r\nContent-Type: " + answer.section(' ', 1).toLatin1() + "\r\n"), answer.contains(' '));
        // The body as long as said; none for HEAD.
        const int length = QString::fromLatin1(answerHead).section("Content-Length: ", 1).section("\r\n", 0, 0).toInt();
        QCOMPARE(in.size() - answerHead.size() - 2, head.startsWith("HEAD") ? 0 : length);
        QVERIFY(!status.startsWith('2') || length > 0);
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
        // The others' coming was told to the first (the seats): those aside.
        QTRY_COMPARE(panels.first()->received.size(), OvApiServer::MaxClients - 1);
        panels.first()->received.clear();
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
        QList<cgItemData> list;
        for (int i = 0; i < 250; ++i)
            list.append(OvTest::cgRecord(QString(OvApiServer::MaxNameChars, QChar(0x4e2d))));
        model()->resetCgList(list);
        RawPanel panel(m_api->port(), "127.0.0.1", Handshake, true);
        panel.auth();
        QTRY_COMPARE(m_api->clientCount(), 1);
        // Each turn's changes are some 200 KB for every panel.
        for (int i = 1; i < 100 && m_api->dropped() == 0; ++i) {
            for (OvSubCGItem* const item : model()->cgList())
                item->setStatus(i % 2 + 1, operatorInfo());
            QTest::qWait(5);
        }
        QCOMPARE(m_api->dropped(), 1);
        QTRY_COMPARE(m_api->clientCount(), 0);
    }

    // A flood of connections that never authenticate pushes out only those of
    // its own address, each told to try again; one line counts them.
    void pushedOut_data()
    {
        QTest::addColumn<QByteArray>("panelFrom");
        QTest::addColumn<int>("authTimeoutMs");
        QTest::addColumn<int>("closeCode");  // the panel's; 0: let in
        QTest::addColumn<int>("closedEarly");
        const int flood = OvApiServer::MaxWaiting + 2 - OvApiServer::MaxWaitingPerAddress;
        QTest::newRow("a flood from elsewhere") << QByteArray("127.0.0.1") << 60000 << 0 << flood;
        QTest::newRow("a flood from its address") << QByteArray("127.0.0.2") << 60000 << OvApiServer::CloseTryAgain
                                                  << flood + 1;
        QTest::newRow("no token in time") << QByteArray("127.0.0.1") << 100 << OvApiServer::CloseTryAgain << 1;
    }

    void pushedOut()
    {
        QFETCH(QByteArray, panelFrom);
        QFETCH(int, authTimeoutMs);
        QFETCH(int, closeCode);
        QFETCH(int, closedEarly);
        OvTest::LogRecorder log;
        m_api->setAuthTimeoutMs(authTimeoutMs);
        RawPanel panel(m_api->port(), panelFrom.constData());
        QVERIFY(panel.readUntil([&] { return !panel.head.isEmpty(); }));
        for (int i = 0; authTimeoutMs > 1000 && i < OvApiServer::MaxWaiting + 2; ++i) {
            auto* const flood = new RawPanel(m_api->port(), "127.0.0.2");
            flood->setParent(&panel);
            QVERIFY(flood->readUntil([&] { return !flood->head.isEmpty(); }));
        }
        if (closeCode == 0) {
            panel.auth();
            QVERIFY(panel.readUntil([&] { return !panel.received.isEmpty(); }));
            QCOMPARE(panel.received.first().value("ok"), true);
        } else {
            QCOMPARE(panel.closed(), closeCode);
        }
        QCOMPARE(m_api->closedEarly(), closedEarly);
        QCOMPARE(log.lines.filter(QStringLiteral(u"未完成认证")).size(), 1);
    }

    // Past three wrong tokens an address waits, 1 s doubling to 30 s; a right
    // token or five quiet minutes forgive it. Tries at their times (ms), -1 a right one.
    void backoff_data()
    {
        QTest::addColumn<QList<qint64>>("wrong");
        QTest::addColumn<qint64>("at");
        QTest::addColumn<qint64>("wait");
        QTest::newRow("two") << QList<qint64>{0, 0} << qint64(0) << qint64(0);
        QTest::newRow("three") << QList<qint64>{0, 0, 0} << qint64(0) << qint64(1000);
        QTest::newRow("five") << QList<qint64>{0, 0, 0, 0, 0} << qint64(0) << qint64(4000);
        QTest::newRow("ten: the longest") << QList<qint64>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0} << qint64(0) << qint64(30000);
        QTest::newRow("waited out") << QList<qint64>{0, 0, 0} << qint64(1000) << qint64(0);
        QTest::newRow("a right one") << QList<qint64>{0, 0, 0, -1} << qint64(0) << qint64(0);
        QTest::newRow("a quiet") << QList<qint64>{0, 0, 0, 300000} << qint64(300000) << qint64(0);
    }

    void backoff()
    {
        QFETCH(QList<qint64>, wrong);
        QFETCH(qint64, at);
        QFETCH(qint64, wait);
        OvAddressBackoff backoff;
        for (const qint64 ms : wrong)
            ms < 0 ? backoff.succeeded("a") : backoff.failed("a", ms);
        QCOMPARE(backoff.waitMs("a", at), wait);
        QCOMPARE(backoff.waitMs("b", at), qint64(0));
    }

    // Tries during the wait are turned away unread: the right token too.
    void wrongTokensBackOff()
    {
        m_api->setWrongTokenWaitMs(60000);
        for (int i = 0; i < OvAddressBackoff::FreeAttempts; ++i) {
            RawPanel guess(m_api->port(), "127.0.0.3");
            guess.auth(Token.left(15) + QString::number(i));
            QCOMPARE(guess.closed(), OvApiServer::CloseUnauthorized);
        }
        RawPanel right(m_api->port(), "127.0.0.3");
        right.auth();
        QCOMPARE(right.closed(), OvApiServer::CloseTryAgain);
    }

    // A token anyone could guess keeps the API off; listening is said, and
    // listening beyond this machine once more.
    void startRules_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("lines");
        QFile config(OV_SOURCE_DIR "/packaging/config.ini");
        QVERIFY(config.open(QIODevice::ReadOnly));
        const QString example = QString::fromUtf8(config.readAll()).section(";api_token=", 1).section('\n', 0, 0);
        QTest::newRow("none") << "" << "127.0.0.1" << u8"config.ini中未设置api_token" << 0;
        QTest::newRow("15 characters") << Token.left(15) << "127.0.0.1" << u8"api_token少于16个字符" << 0;
        QTest::newRow("the packaged example") << example << "127.0.0.1" << u8"api_token仍是示例中的值" << 0;
        QTest::newRow("16 characters, this machine") << Token.left(16) << "127.0.0.1" << "" << 1;
        QTest::newRow("every interface") << Token << "0.0.0.0" << "" << 2;
    }

    void startRules()
    {
        QFETCH(QString, token);
        QFETCH(QString, address);
        QFETCH(QString, error);
        QFETCH(int, lines);
        OvTest::LogRecorder log;
        OvApiServer api(m_core->commands(), m_core->feed());
        api.setToken(token);
        QString refusal;
        QCOMPARE(api.listen(QHostAddress(address), 0, &refusal), error.isEmpty());
        QCOMPARE(refusal, error);
        QCOMPARE(OvApiServer::tokenRefusal(token), error);
        QCOMPARE(log.lines.size(), lines);
    }

    // A picture changed in the same write as a new item reaches a panel,
    // however far behind it is: its version rides in the slices.
    void pictureVersions_data()
    {
        QTest::addColumn<int>("items");
        QTest::newRow("a short catalogue") << 3;
        QTest::newRow("a lagging panel") << 3000;
    }

    void pictureVersions()
    {
        QFETCH(int, items);
        QList<cgItemData> list;
        for (int i = 0; i < items; ++i)
            list.append(OvTest::cgRecord(QString::number(i)));
        model()->resetCgList(list);
        const QString guid = model()->cgAt(items - 1)->guid();
        m_peer->send(OvTestPeer::notifyCG(guid, 3, {{"imageBase64", png(Qt::red)}}));
        QTRY_VERIFY(!model()->cgAt(items - 1)->image().isNull());
        RawPanel panel(m_api->port(), "127.0.0.1", Handshake, items > 3);
        panel.auth();
        double version = -1;
        int seen = 0;
        const auto told = [&](double unlike) {
            for (; seen < panel.received.size(); ++seen) {
                const QJsonObject m = panel.received.at(seen);
                if (m.value("type") == "picture" && m.value("guid") == guid)
                    version = m.value("picture").toDouble();
                for (const QJsonValue item : m.value("items").toArray())
                    version = item["guid"] == guid ? item["picture"].toDouble(-1) : version;
            }
            return version > 0 && version != unlike;
        };
        QVERIFY(panel.readUntil([&] { return told(-1); }));
        const double before = version;
        m_peer->sendRaw(OvTestPeer::frameOf(OvTestPeer::notifyCG(guid, 6, OvTestPeer::record("new")))
                        + OvTestPeer::frameOf(OvTestPeer::notifyCG(guid, 3, {{"imageBase64", png(Qt::blue)}})));
        QTRY_VERIFY(model()->count() == items + 1 && model()->thumbnailsPending() == 0);
        QVERIFY(panel.readUntil([&] { return told(before); }));
    }

    // Insertions, removals, moves and renames at the server reach a panel as
    // those changes, never as the list again: what it builds from them is the
    // console's list, also when it reads slowly and has only part of the list
    // while they happen.
    void incrementalCatalogue_data()
    {
        QTest::addColumn<bool>("lags");
        QTest::addColumn<bool>("midTurn");
        QTest::newRow("a panel that reads") << false << false;
        QTest::newRow("a lagging panel") << true << false;
        QTest::newRow("a panel let in before a change is told") << false << true;
    }

    void incrementalCatalogue()
    {
        QFETCH(bool, lags);
        QFETCH(bool, midTurn);
        QList<cgItemData> list;
        // More than the console lets wait for a panel: a lagging one holds
        // only the start of the list while the changes come.
        for (int i = 0; i < 20000; ++i)
            list.append(OvTest::cgRecord(QString::number(i)));
        model()->resetCgList(list);
        RawPanel panel(m_api->port(), "127.0.0.1", Handshake, lags);
        if (midTurn) {
            // Its auth read, then an item moved, both told in one turn: the
            // state already shows the move.
            QVERIFY(panel.readUntil([&] { return !panel.head.isEmpty(); }));
            panel.auth();
            panel.socket.flush();
            QTcpSocket* const accepted = m_api->findChild<QTcpSocket*>();
            QVERIFY(accepted && accepted->waitForReadyRead(3000));
            model()->moveCg(0, 5, localOperatorInfo());
        } else {
            panel.auth();
        }
        // The panel's list, built from what it was sent.
        QList<QPair<QString, QString>> built;  // guid, name
        int restarts = 0;
        int applied = 0;
        const auto apply = [&] {
            for (; applied < panel.received.size(); ++applied) {
                const QJsonObject m = panel.received.at(applied);
                const QString type = m.value("type").toString();
                const auto entry = [](const QJsonValue& item) {
                    return qMakePair(item["guid"].toString(), item["name"].toString());
                };
                if (type == "state" || (type == "items" && m.value("offset").toInt() == 0)) {
                    restarts += type == "items" && !built.isEmpty();
                    built.clear();
                }
                if (type == "state" || type == "items") {
                    QCOMPARE(m.value("offset").toInt(), built.size());
                    for (const QJsonValue item : m.value("items").toArray())
                        built.append(entry(item));
                } else if (type == "inserted") {
                    built.insert(m.value("position").toInt() - 1, entry(m.value("item")));
                } else if (type == "removed") {
                    QCOMPARE(built.takeAt(m.value("position").toInt() - 1).first, m.value("guid").toString());
                } else if (type == "moved") {
                    QCOMPARE(built.at(m.value("from").toInt() - 1).first, m.value("guid").toString());
                    built.move(m.value("from").toInt() - 1, m.value("to").toInt() - 1);
                } else if (type == "item" && m.value("position").toInt() <= built.size()) {
                    built[m.value("position").toInt() - 1] = entry(m);
                }
            }
        };
        const auto console = [] {
            QList<QPair<QString, QString>> items;
            for (const OvSubCGItem* item : model()->cgList())
                items.append({item->guid(), item->name()});
            return items;
        };
        QVERIFY(panel.readUntil([&] { return !panel.received.isEmpty(); }));
        QRandomGenerator random(20261209);
        for (int round = 0; round < 40; ++round) {
            // A few changes in one write: one turn of the console's.
            QByteArray frames;
            for (int n = random.bounded(1, 6); n > 0; --n) {
                const int count = model()->count() + 1;
                const QString guid = model()->cgAt(random.bounded(count - 1))->guid();
                switch (random.bounded(4)) {
                case 0:
                    frames += OvTestPeer::frameOf(OvTestPeer::notifyCG(guid, 6, OvTestPeer::record(QString("new %1").arg(round))));
                    break;
                case 1:
                    frames += OvTestPeer::frameOf(OvTestPeer::notifyCG(guid, 5, {}));
                    break;
                case 2:
                    frames += OvTestPeer::frameOf(OvTestPeer::notifyCG(guid, 4, {{"index", random.bounded(count - 2)}}));
                    break;
                default:
                    frames += OvTestPeer::frameOf(OvTestPeer::notifyCG(guid, 2, {{"name", QString("renamed %1").arg(round)}}));
                }
            }
            m_peer->sendRaw(frames);
            // A lagging panel reads a little now and then, the other all it is sent.
            (void)panel.readUntil([&] { return lags || panel.socket.bytesAvailable() == 0; }, lags ? 20 : 200);
            apply();
        }
        QVERIFY(panel.readUntil([&] { return apply(), built == console(); }, 20000));
        QCOMPARE(restarts, 0);
    }

    // Only what changed in the running order goes out, and nothing for an
    // item that is not cued.
    void cueMessages_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected");
        QTest::newRow("an item not cued renamed") << "rename 1" << "item";
        QTest::newRow("a cued item renamed") << "rename 2" << "item cue 2 C2";
        QTest::newRow("a duration") << "duration" << "cue 1 A";
        QTest::newRow("the next mark") << "next" << "next 2";
        QTest::newRow("a cue added") << "insert" << "cues 0 3";
        QTest::newRow("the order cleared") << "clear" << "cues 0 0";
    }

    void cueMessages()
    {
        QFETCH(QString, change);
        QFETCH(QString, expected);
        OvRunningOrder* const order = m_core->order();
        order->insert(0, QUuid(model()->cgAt(0)->guid()));
        order->insert(1, QUuid(model()->cgAt(2)->guid()));
        Panel* const panel = authenticated();
        QCOMPARE(panel->take("state").value("cueTotal").toInt(), 2);
        if (change.startsWith("rename")) {
            OvSubCGItem* const item = model()->cgAt(change.right(1).toInt());
            m_peer->send(OvTestPeer::notifyCG(item->guid(), 2, {{"name", item->name() + "2"}}));
            QTRY_VERIFY(item->name().endsWith('2'));
        } else if (change == "duration") {
            order->setDuration(0, 5);
        } else if (change == "next") {
            order->setNext(1);
        } else if (change == "insert") {
            order->insert(2, QUuid(model()->cgAt(1)->guid()));
        } else {
            order->clear();
        }
        // What the change sent comes before the answer to a command sent after it.
        panel->send(cmd("mark"));
        QVERIFY(!panel->take("result").isEmpty());
        QStringList seen;
        for (const QJsonObject& m : qAsConst(panel->received)) {
            const QString type = m.value("type").toString();
            const auto number = [&m](const char* key) { return QString::number(m.value(key).toInt()); };
            seen << (type == "cue"    ? QStringList{type, number("index"), m.value("name").toString()}
                     : type == "next" ? QStringList{type, number("next")}
                     : type == "cues" ? QStringList{type, number("offset"), number("total")}
                                      : QStringList{type});
        }
        QCOMPARE(seen.join(' '), expected);
    }

    // Nothing the console sends is larger than a slice's bound (the state:
    // two), so a panel that reads is never dropped for what the console made.
    void slicesWithinBounds_data()
    {
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("name");
        QTest::newRow("names of 9,000 characters") << 600 << QString(9000, QChar(0x4e2d));
        QTest::newRow("10,000 cues of 256 Chinese characters") << OvRunningOrder::MaxCues << QString(256, QChar(0x4e2d));
        QTest::newRow("names of control characters") << 600 << QString(300, QChar(1));
    }

    void slicesWithinBounds()
    {
        QFETCH(int, items);
        QFETCH(QString, name);
        QList<cgItemData> list;
        for (int i = 0; i < items; ++i)
            list.append(OvTest::cgRecord(name));
        model()->resetCgList(list);
        for (int i = 0; i < items; ++i)
            m_core->order()->insert(i, QUuid(model()->cgAt(i)->guid()));
        RawPanel panel(m_api->port());
        panel.auth();
        int have[2] = {0, 0};
        int seen = 0;
        QVERIFY(panel.readUntil([&] {
            for (; seen < panel.received.size(); ++seen) {
                const QJsonObject m = panel.received.at(seen);
                const bool state = m.value("type") == "state";
                if (!state && panel.sizes.at(seen) > OvApiServer::SliceBytes + 200)
                    return false;
                for (const char* key : {"items", "cues"})
                    for (const QJsonValue entry : m.value(key).toArray())
                        have[*key == 'c'] += entry["name"].toString().size() <= OvApiServer::MaxNameChars;
            }
            return have[0] == items && have[1] == items;
        }, 30000));
        QVERIFY(panel.sizes.first() <= 2 * OvApiServer::SliceBytes + 1024);
        QCOMPARE(m_api->dropped(), 0);
    }

    // While a take waits for the server's answer, a panel is told the status
    // the server confirmed, never "sending".
    void pendingTake_data()
    {
        QTest::addColumn<QString>("via");
        QTest::newRow("the state") << "state";
        QTest::newRow("an item message") << "item";
        QTest::newRow("the current item") << "current";
    }

    void pendingTake()
    {
        QFETCH(QString, via);
        Panel* const panel = authenticated();
        QVERIFY(!panel->take("state").isEmpty());
        OvSubCGItem* const item = model()->cgAt(1);
        QCOMPARE(m_core->takes()->takeItem(OvTakeCommand::RemoteApi, item, OvCgStatus::OnPgm),
                 OvTakeCommand::Taken);
        QJsonObject shown;
        if (via == "state") {
            shown = authenticated()->take("state").value("items").toArray().at(1).toObject();
        } else if (via == "item") {
            m_peer->send(OvTestPeer::notifyCG(item->guid(), 2, {{"name", "B2"}}));
            shown = panel->take("item");
        } else {
            model()->setCurrentCg(item);
            shown = panel->take("current");
        }
        QCOMPARE(shown.value("guid").toString(), item->guid());
        QCOMPARE(shown.value("status").toInt(), int(OvCgStatus::Idle));
    }

    // Connections that never finish their request are bounded in number,
    // bytes and time; a plain request gets the page.
    void handshakeBounds_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("flood");  // unfinished heads from 127.0.0.2 meanwhile
        QTest::addColumn<QByteArray>("answer");  // empty: closed
        const QByteArray line = "GET / HTTP/1.1\r\n";
        QTest::newRow("a head that never ends") << line + "X: " + QByteArray(20000, 'a') << 60000 << 0 << QByteArray();
        QTest::newRow("a head too slow") << line << 100 << 0 << QByteArray();
        QTest::newRow("a flood of heads elsewhere")
            << Handshake << 60000 << OvApiListener::MaxWaiting + 8 << QByteArray("HTTP/1.1 101");
        QTest::newRow("a plain request: the page") << line + "Host: 127.0.0.1\r\n\r\n" << 60000 << 0 << QByteArray("HTTP/1.1 200");
    }

    void handshakeBounds()
    {
        QFETCH(QByteArray, head);
        QFETCH(int, timeoutMs);
        QFETCH(int, flood);
        QFETCH(QByteArray, answer);
        m_api->setHandshakeTimeoutMs(timeoutMs);
        // Half of it at once, the rest after the flood.
        RawPanel panel(m_api->port(), "127.0.0.1", head.left(head.size() / 2));
        for (int i = 0; i < flood; ++i)
            (new RawPanel(m_api->port(), "127.0.0.2", "GET / HTTP/1.1\r\n"))->setParent(&panel);
        const qint64 pushedOut = qMax(0, flood - (OvApiListener::MaxWaiting - 1));
        QTRY_COMPARE(m_api->closedEarly(), pushedOut);
        panel.socket.write(head.mid(head.size() / 2));
        QCOMPARE(panel.readUntil([&] { return !panel.head.isEmpty(); }), !answer.isEmpty());
        QVERIFY(panel.head.startsWith(answer));
        QCOMPARE(m_api->closedEarly(), pushedOut + answer.isEmpty());
    }

    void stateThenEvents()
    {
        m_core->order()->insert(0, QUuid(m_list.at(2).toObject().value("guid").toString()));
        Panel* const panel = authenticated();
        const QJsonObject state = panel->take("state");
        QCOMPARE(state.value("connected"), true);
        QCOMPARE(state.value("current").toString(), model()->cgAt(0)->guid());
        QCOMPARE(state.value("items").toArray().at(1).toObject().value("position").toInt(), 2);
        QCOMPARE(state.value("cues").toArray().at(0).toObject().value("name").toString(), "C");
        QCOMPARE(state.value("next").toInt(), 1);

        // The server's confirmation of a take, as an item and as a take.
        QCOMPARE(m_core->takes()->takeItem(OvTakeCommand::RemoteApi, model()->cgAt(1), OvCgStatus::OnPgm),
                 OvTakeCommand::Taken);
        const QString guid = model()->cgAt(1)->guid();
        m_peer->send(OvTestPeer::notifyCG(guid, 1, {{"status", 1}}, "Zhang", "t"));
        QCOMPARE(panel->take("take").value("status").toInt(), int(OvCgStatus::OnPgm));
        const QJsonObject item = panel->take("item");
        QCOMPARE(item.value("guid").toString(), guid);
        QCOMPARE(item.value("status").toInt(), int(OvCgStatus::OnPgm));
        QCOMPARE(panel->take("current").value("position").toInt(), 2);
        m_core->takes()->setLocked(true);
        QCOMPARE(panel->take("locked").value("locked"), true);
        m_core->order()->insert(1, QUuid(guid));
        QCOMPARE(panel->take("cues").value("cues").toArray().size(), 2);
        // An item removed is told as that, not as the list again.
        m_peer->send(OvTestPeer::notifyCG(guid, 5, {}));
        const QJsonObject removed = panel->take("removed");
        QCOMPARE(removed.value("guid").toString(), guid);
        QCOMPARE(removed.value("position").toInt(), 2);
        QCOMPARE(removed.value("total").toInt(), 2);
        QVERIFY(panel->take("items", 100).isEmpty());
    }

    // Every command of the table through OSC and through the API against the
    // same console: the same effect and the same refusal. A step is a command
    // with its item (a position, "#n" the guid of item n, or a name), or what
    // the operator or the server does meanwhile.
    void everySurface_data()
    {
        QTest::addColumn<QString>("surface");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("error");  // of the last command
        QTest::addColumn<QString>("expected");  // statuses A B C, then the current item
        const struct {
            const char* name;
            QStringList steps;
            const char* error;
            const char* expected;
        } rows[] = {
            {"pgm: the current item", {"pgm"}, "", "3 0 0 @A"},
            {"pvw by position", {"pvw:3"}, "", "0 0 3 @C"},
            {"pvw by guid", {"pvw:#2"}, "", "0 3 0 @B"},
            {"cancel by name: off air", {"cancel:B"}, "refused", "0 0 0 @B"},
            {"an answer awaited", {"pgm:2", "pvw:2"}, "refused", "0 3 0 @B"},
            {"the same press twice", {"pvw:3", "pvw:3"}, "repeated", "0 0 3 @C"},
            {"select by position", {"select:2"}, "", "0 0 0 @B"},
            {"next, next, prev", {"next", "next", "prev"}, "", "0 0 0 @B"},
            {"position 0", {"pgm:0"}, "no such item", "0 0 0 @A"},
            {"no such name", {"select:Z"}, "no such item", "0 0 0 @A"},
            {"locked", {"lock", "pgm"}, "locked", "0 0 0 @A"},
            {"unlocked", {"lock", "unlock", "pgm"}, "", "3 0 0 @A"},
            {"the search hides the current item", {"search B", "pgm"}, "hidden", "0 0 0 @A"},
            {"the search hides a named item", {"search B", "pgm:1"}, "", "3 0 0 @A"},
            {"go: nothing cued", {"go"}, "nothing to go", "0 0 0 @A"},
            {"go", {"cue 3", "go"}, "", "0 0 3 @C"},
            {"not connected", {"offline", "pgm:2"}, "not connected", "0 0 0 @A"},
        };
        for (const char* surface : {"api", "osc"})
            for (const auto& row : rows)
                QTest::addRow("%s: %s", surface, row.name)
                    << surface << row.steps << row.error << row.expected;
    }

    void everySurface()
    {
        QFETCH(QString, surface);
        QFETCH(QStringList, steps);
        QFETCH(QString, error);
        QFETCH(QString, expected);
        OvOscControl osc(m_core->commands(), m_core->feed());
        QUdpSocket tally;
        QString listenError;
        QVERIFY(osc.listen(QHostAddress::LocalHost, 0, &listenError) && tally.bind(QHostAddress::LocalHost));
        osc.setFeedback(QHostAddress::LocalHost, tally.localPort());
        Panel* const panel = authenticated();
        QVERIFY(!panel->take("state").isEmpty());
        QUdpSocket oscPanel;
        QString answered;
        for (const QString& step : steps) {
            const QString word = step.section(' ', 1);
            if (step.startsWith("search "))
                m_core->filter()->setText(word);
            else if (step.startsWith("cue "))
                m_core->order()->insert(0, QUuid(model()->cgAt(word.toInt() - 1)->guid()));
            else if (step == "offline")
                OvTransferServer::instance()->disconnectFromServer();
            if (step.contains(' ') || step == "offline")
                continue;
            const QString name = step.section(':', 0, 0);
            const QString ref = step.section(':', 1);
            // The item as each surface names it: a number, or a text.
            const QString text = ref.startsWith('#') ? model()->cgAt(ref.mid(1).toInt() - 1)->guid() : ref;
            bool isNumber = false;
            const int position = ref.toInt(&isNumber);
            if (surface == "api") {
                panel->send(ref.isEmpty() ? cmd(name) : isNumber ? cmd(name, position) : cmd(name, text));
                answered = panel->take("result").value("error").toString();
            } else {
                const lo_message message = lo_message_new();
                if (isNumber)
                    lo_message_add_int32(message, position);
                else if (!ref.isEmpty())
                    lo_message_add_string(message, text.toUtf8().constData());
                size_t size = 0;
                void* const data = lo_message_serialise(message, qPrintable("/ovcg/" + name), nullptr, &size);
                oscPanel.writeDatagram(static_cast<const char*>(data), qint64(size), QHostAddress::LocalHost, osc.port());
                std::free(data);
                lo_message_free(message);
            }
        }
        if (surface == "osc") {
            // A refusal is told to the panel's tally; none for what was done.
            const auto refusals = [&tally] {
                QStringList seen;
                while (tally.hasPendingDatagrams()) {
                    QByteArray d(int(tally.pendingDatagramSize()), '\0');
                    tally.readDatagram(d.data(), d.size());
                    const lo_message m = lo_message_deserialise(d.data(), size_t(d.size()), nullptr);
                    if (m && d.startsWith("/ovcg/refused") && lo_message_get_argc(m) == 2)
                        seen.append(QString::fromUtf8(reinterpret_cast<const char*>(lo_message_get_argv(m)[1])));
                    if (m)
                        lo_message_free(m);
                }
                return seen;
            };
            QStringList seen;
            QTest::qWait(error.isEmpty() ? 300 : 0);
            QTRY_VERIFY((seen += refusals(), error.isEmpty() || !seen.isEmpty()));
            answered = seen.join('|');
        }
        QCOMPARE(answered, error);
        QStringList statuses;
        for (const OvSubCGItem* item : model()->cgList())
            statuses.append(QString::number(item->status()));
        QTRY_COMPARE(statuses.join(' ') + " @" + model()->currentCg()->name(), expected);
    }

    // What only the API's messages can carry.
    void apiMessages_data()
    {
        QTest::addColumn<QJsonObject>("command");
        QTest::addColumn<QString>("error");
        QTest::newRow("position 1.5") << cmd("pgm", 1.5) << "no such item";
        QTest::newRow("item an object") << cmd("pvw", QJsonObject()) << "no such item";
        QTest::newRow("unknown") << cmd("launch") << "unknown command";
        QTest::newRow("no cmd") << QJsonObject{{"id", 7}} << "bad message";
        QTest::newRow("ping") << cmd("ping") << "";
        QTest::newRow("clearall for one item") << cmd("clearall", 2) << "bad message";
        QTest::newRow("go for one item") << cmd("go", 3) << "bad message";
    }

    void apiMessages()
    {
        QFETCH(QJsonObject, command);
        QFETCH(QString, error);
        Panel* const panel = authenticated();
        QVERIFY(!panel->take("state").isEmpty());
        panel->send(command);
        const QJsonObject result = panel->take("result");
        QCOMPARE(result.value("id").toInt(), 7);
        QCOMPARE(result.value("error").toString(), error);
        // An id to echo in bulk is not echoed, and the command is not run.
        panel->send(QJsonObject{{"cmd", "lock"}, {"id", QJsonArray{1, 2}}});
        QCOMPARE(panel->take("result").value("error").toString(), "bad message");
        QVERIFY(!m_core->takes()->isLocked());
    }

    // A view-only seat: every command of the table is answered "read only"
    // and changes nothing; it times its round trip and fetches pictures.
    void viewSeat_data()
    {
        QTest::addColumn<QJsonObject>("command");
        QTest::addColumn<QString>("error");
        for (const OvCommandTable::Command& command : OvCommandTable::commands())
            QTest::newRow(command.name) << cmd(command.name, 2) << "read only";
        QTest::newRow("ping") << cmd("ping") << "";
        QTest::newRow("thumbnail") << cmd("thumbnail", 2) << "no picture";
        QTest::newRow("unknown") << cmd("launch") << "unknown command";
    }

    void viewSeat()
    {
        QFETCH(QJsonObject, command);
        QFETCH(QString, error);
        Panel* const panel = authenticated(ViewToken);
        QVERIFY(!panel->take("state").isEmpty());
        panel->send(command);
        QCOMPARE(panel->take("result").value("error").toString(), error);
        QTest::qWait(50);
        QCOMPARE(m_peer->countOf("updateCG"), 0);
        QCOMPARE(model()->currentCg(), model()->cgAt(0));
        QVERIFY(!m_core->takes()->isLocked());
    }

    // A seat names itself when it authenticates: every seat is told who came
    // and went, and the log names it with its takes.
    void seats_data()
    {
        QTest::addColumn<QJsonValue>("given");
        QTest::addColumn<QString>("listed");
        QTest::newRow("a name") << QJsonValue(u8"导演 iPad") << u8"导演 iPad";
        QTest::newRow("none") << QJsonValue(QJsonValue::Undefined) << "";
        QTest::newRow("not a text") << QJsonValue(7) << "";
        QTest::newRow("control, format and line characters")
            << QJsonValue(QString::fromUtf16(u"Floor\n\u202eTV\u2028 \u0007one")) << "FloorTV one";
        QTest::newRow("too long") << QJsonValue(QString(70, 'x')) << QString(OvApiServer::MaxSeatChars, 'x');
        QTest::newRow("too long, never within a character")
            << QJsonValue(QString(OvApiServer::MaxSeatChars - 1, 'x') + QString::fromUtf16(u"\U0001F3AC"))
            << QString(OvApiServer::MaxSeatChars - 1, 'x');
    }

    void seats()
    {
        QFETCH(QJsonValue, given);
        QFETCH(QString, listed);
        Panel* const floor = authenticated(ViewToken, "Floor");
        const QJsonObject floorSeat{{"seat", "Floor"}, {"role", "view"}};
        QCOMPARE(floor->take("state").value("seats").toArray(), QJsonArray{floorSeat});
        Panel* const desk = authenticated(Token, given);
        const QJsonArray both{floorSeat, QJsonObject{{"seat", listed}, {"role", "control"}}};
        QCOMPARE(desk->take("state").value("seats").toArray(), both);
        QCOMPARE(floor->take("seats").value("seats").toArray(), both);
        // Its take, once the server confirmed it, in its name (the operator's own: "you").
        OvTest::LogRecorder log;
        desk->send(cmd("pgm", 2));
        QCOMPARE(desk->take("result").value("ok"), true);
        m_peer->send(OvTestPeer::notifyCG(model()->cgAt(1)->guid(), 1, {{"status", 1}}, "Zhang", "t"));
        const QString title = listed.isEmpty() ? u8"您" : u8"远程接口（" + listed + u8"）";
        QTRY_VERIFY2(std::any_of(log.lines.cbegin(), log.lines.cend(),
                                 [&](const QString& line) { return line.startsWith(title + ':') && line.contains('B'); }),
                     qPrintable(log.lines.join('|')));
        delete desk;
        QCOMPARE(floor->take("seats").value("seats").toArray(), QJsonArray{floorSeat});
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
        m_peer->send(OvTestPeer::notifyCG(model()->cgAt(0)->guid(), 3, {{"imageBase64", png(Qt::red)}}));
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
