// Server discovery on real UDP sockets inside the test namespace: the row rules,
// the expiry against an injected clock, the announcement and its timing, and
// the hardware address that follows the transfer client's interface.

#include "OvTestSupport.h"

#include "net/OvNetworkDiscovery.h"
#include "net/OvTransferServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>

#include <memory>

namespace {

const QString NotLoggedIn = QStringLiteral(u"未登录");

bool insideTestNetwork()
{
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol
            && address.toString().startsWith(QLatin1String("10.77.0.")))
            return true;
    }
    return false;
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        return 0;
    return probe.localPort();
}

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

int runIp(const QStringList& args)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), args);
    if (!ip.waitForFinished(10000))
        return -1;
    return ip.exitStatus() == QProcess::NormalExit ? ip.exitCode() : -1;
}

QString macOf(const QString& interfaceName)
{
    return QNetworkInterface::interfaceFromName(interfaceName).hardwareAddress();
}

// The test network's own link (v0 or v1, whichever the system lists first).
QString firstTestLinkMac()
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        if (iface.name() == QLatin1String("v0") || iface.name() == QLatin1String("v1"))
            return iface.hardwareAddress();
    }
    return QString();
}

}  // namespace

class TestNetworkDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bareServerMarkerGivesPlainRow();
    void rowRulesAndNotifications();
    void accountNameOnlyWhileLoggedIn();
    void foreignDatagramsAreDropped();
    void rowsKeyedBySender();
    void expiryBoundary();
    void announcementContentAndFirstTick();
    void macFollowsTheConnection();

private:
    // A model on private ports with a clock the test sets.
    std::unique_ptr<OvNetworkDiscovery> makeModel();
    bool send(const QByteArray& bytes, const QHostAddress& from = QHostAddress::LocalHost);
    bool sendAndWait(const QByteArray& bytes, const QHostAddress& from = QHostAddress::LocalHost);

    quint16 m_listenPort = 0;
    qint64 m_now = 1'700'000'000'000;
    OvNetworkDiscovery* m_model = nullptr;
    int m_received = 0;
};

void TestNetworkDiscovery::initTestCase()
{
    if (!insideTestNetwork())
        QSKIP("needs the private test network (10.77.0.x); run through scripts/netns-run");
}

std::unique_ptr<OvNetworkDiscovery> TestNetworkDiscovery::makeModel()
{
    OvNetworkDiscovery::Settings settings;
    m_listenPort = freeUdpPort();
    settings.listenPort = m_listenPort;
    settings.announcePort = freeUdpPort();
    settings.clock = [this]() { return m_now; };
    auto model = std::make_unique<OvNetworkDiscovery>(settings);
    m_model = model.get();
    return model;
}

bool TestNetworkDiscovery::send(const QByteArray& bytes, const QHostAddress& from)
{
    QUdpSocket sender;
    if (!sender.bind(from, 0))
        return false;
    return sender.writeDatagram(bytes, QHostAddress::LocalHost, m_listenPort) == bytes.size();
}

// Sends, then waits until the model has read it: a marker datagram from a
// sender of its own follows, and its row shows up only after ours was read.
bool TestNetworkDiscovery::sendAndWait(const QByteArray& bytes, const QHostAddress& from)
{
    if (!send(bytes, from))
        return false;
    QUdpSocket marker;
    if (!marker.bind(QHostAddress(QStringLiteral("127.0.0.9")), 0))
        return false;
    ++m_received;
    const QByteArray markerBytes =
        json({{"cg_server_ver", 1}, {"name", QStringLiteral("marker%1").arg(m_received)}});
    marker.writeDatagram(markerBytes, QHostAddress::LocalHost, m_listenPort);
    const QString expected = QStringLiteral("marker%1").arg(m_received);
    return QTest::qWaitFor(
        [&]() {
            for (int row = 0; row < m_model->rowCount(); ++row) {
                const auto endpoint =
                    m_model->index(row).data(Qt::UserRole).value<networkEndpoint>();
                if (endpoint.name == expected)
                    return true;
            }
            return false;
        },
        3000);
}

void TestNetworkDiscovery::bareServerMarkerGivesPlainRow()
{
    auto model = makeModel();
    QVERIFY(model->isListening());
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(send(R"({"cg_server_ver": 1})"));
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, 3000);

    const QModelIndex row = model->index(0);
    QCOMPARE(row.data(Qt::DisplayRole).toString(), QStringLiteral("127.0.0.1(") + NotLoggedIn + ")");
    QCOMPARE(row.data(OvNetworkDiscovery::AddressRole).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(int(OvNetworkDiscovery::AddressRole), 257);

    const QVariant whole = row.data(Qt::UserRole);
    QCOMPARE(whole.typeName(), "networkEndpoint");
    QCOMPARE(QMetaType::type("networkEndpoint"), qMetaTypeId<networkEndpoint>());
    const auto endpoint = whole.value<networkEndpoint>();
    QCOMPARE(endpoint.port, 0);
    QCOMPARE(endpoint.type, 0);
    QVERIFY(endpoint.name.isEmpty());
    QVERIFY(endpoint.accountName.isEmpty());
    QCOMPARE(endpoint.address, QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(endpoint.lastSeen, m_now);

    QVERIFY(!row.data(Qt::ToolTipRole).isValid());
    QVERIFY(!model->index(1).data().isValid());
    QVERIFY(!model->data(QModelIndex()).isValid());
    QCOMPARE(model->rowCount(row), 0);
}

void TestNetworkDiscovery::rowRulesAndNotifications()
{
    auto model = makeModel();
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    const QJsonObject first{{"cg_server_ver", 1}, {"port", 19999}, {"name", "studio-a"}, {"type", 1}};

    QVERIFY(sendAndWait(json(first)));
    QCOMPARE(model->rowCount(), 2);  // ours and the marker
    QCOMPARE(model->index(0).data(Qt::UserRole).value<networkEndpoint>().name, QStringLiteral("studio-a"));
    // Each insert is followed by a data change for the new row.
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 0);
    inserted.clear();
    changed.clear();

    // The same datagram again: only the time moves on.
    m_now += 1000;
    QVERIFY(send(json(first)));
    QTRY_COMPARE_WITH_TIMEOUT(model->index(0).data(Qt::UserRole).value<networkEndpoint>().lastSeen, m_now, 3000);
    // A different "type" alone is no change either.
    QJsonObject otherType = first;
    otherType["type"] = 7;
    m_now += 1000;
    QVERIFY(send(json(otherType)));
    QTRY_COMPARE_WITH_TIMEOUT(model->index(0).data(Qt::UserRole).value<networkEndpoint>().lastSeen, m_now, 3000);
    QCOMPARE(model->index(0).data(Qt::UserRole).value<networkEndpoint>().type, 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(changed.count(), 0);

    // A new name replaces the row in place and announces it once.
    QJsonObject renamed = first;
    renamed["name"] = "studio-b";
    QVERIFY(send(json(renamed)));
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 3000);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 0);
    QCOMPARE(changed.at(0).at(1).toModelIndex().row(), 0);
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->index(0).data(Qt::UserRole).value<networkEndpoint>().name, QStringLiteral("studio-b"));

    // So does a new port.
    renamed["port"] = 20000;
    QVERIFY(send(json(renamed)));
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 2, 3000);
    QCOMPARE(model->index(0).data(Qt::UserRole).value<networkEndpoint>().port, 20000);
    QCOMPARE(inserted.count(), 0);
}

void TestNetworkDiscovery::accountNameOnlyWhileLoggedIn()
{
    auto model = makeModel();
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(sendAndWait(json({{"cg_server_ver", 1}, {"is_login", true}, {"account_name", QStringLiteral(u"编辑部")}})));
    QCOMPARE(model->index(0).data().toString(), QStringLiteral(u"127.0.0.1(编辑部)"));
    QCOMPARE(model->index(0).data(OvNetworkDiscovery::AddressRole).toString(), QStringLiteral("127.0.0.1"));
    changed.clear();

    // Logged out: the account in the datagram is not read, and losing it is a change.
    QVERIFY(send(json({{"cg_server_ver", 1}, {"is_login", false}, {"account_name", QStringLiteral(u"编辑部")}})));
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 3000);
    QCOMPARE(model->index(0).data().toString(), QStringLiteral("127.0.0.1(") + NotLoggedIn + ")");
    QVERIFY(model->index(0).data(Qt::UserRole).value<networkEndpoint>().accountName.isEmpty());

    // "is_login" of the wrong type reads as false.
    QVERIFY(sendAndWait(json({{"cg_server_ver", 1}, {"is_login", "true"}, {"account_name", "x"}})));
    QCOMPARE(changed.count(), 1 + 1);  // only the marker's insert
    QCOMPARE(model->index(0).data().toString(), QStringLiteral("127.0.0.1(") + NotLoggedIn + ")");
}

void TestNetworkDiscovery::foreignDatagramsAreDropped()
{
    auto model = makeModel();
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    const QByteArray junk[] = {
        QByteArray(),
        "not json at all",
        R"([{"cg_server_ver": 1}])",
        R"("cg_server_ver")",
        R"({"cg_publish_ver": 1, "name": "another console"})",
        R"({"cg_server_ver": 1, "port": )",
        QByteArray(2000, '\xff'),
    };
    for (const QByteArray& bytes : junk)
        QVERIFY(send(bytes));
    QVERIFY(sendAndWait(json({{"cg_server_ver", 1}, {"port", "19999"}, {"name", 5}, {"type", 2.5}})));
    // Only the last datagram and the marker made rows; the wrongly typed
    // members read as 0 and empty.
    QCOMPARE(inserted.count(), 2);
    const auto endpoint = model->index(0).data(Qt::UserRole).value<networkEndpoint>();
    QCOMPARE(endpoint.address, QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(endpoint.port, 0);
    QVERIFY(endpoint.name.isEmpty());
    QCOMPARE(endpoint.type, 0);
}

void TestNetworkDiscovery::rowsKeyedBySender()
{
    auto model = makeModel();
    const QHostAddress other(QStringLiteral("10.77.0.2"));
    QVERIFY(sendAndWait(json({{"cg_server_ver", 1}, {"name", "a"}})));
    QVERIFY(sendAndWait(json({{"cg_server_ver", 1}, {"name", "b"}}), other));
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->index(0).data(OvNetworkDiscovery::AddressRole).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(model->index(2).data(OvNetworkDiscovery::AddressRole).toString(), QStringLiteral("10.77.0.2"));
    QCOMPARE(model->index(2).data().toString(), QStringLiteral("10.77.0.2(") + NotLoggedIn + ")");
}

void TestNetworkDiscovery::expiryBoundary()
{
    auto model = makeModel();
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    const qint64 start = m_now;
    // Two old rows in a row, then a younger one: the walk must not skip the
    // second old row after removing the first.
    QVERIFY(sendAndWait(json({{"cg_server_ver", 1}, {"name", "old"}})));  // + marker1
    m_now = start + 2;
    QVERIFY(sendAndWait(json({{"cg_server_ver", 1}, {"name", "young"}}),
                        QHostAddress(QStringLiteral("10.77.0.2"))));  // marker row refreshed
    QCOMPARE(model->rowCount(), 3);

    m_now = start + 6500;
    model->announceAndExpire();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(removed.count(), 0);

    m_now = start + 6501;
    model->announceAndExpire();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 0);
    QCOMPARE(removed.at(0).at(2).toInt(), 0);

    m_now = start + 2 + 6501;
    model->announceAndExpire();
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(removed.count(), 3);
    QCOMPARE(removed.at(1).at(1).toInt(), 0);
    QCOMPARE(removed.at(2).at(1).toInt(), 0);
}

void TestNetworkDiscovery::announcementContentAndFirstTick()
{
    OvNetworkDiscovery::Settings settings;
    settings.listenPort = freeUdpPort();
    settings.announcePort = freeUdpPort();
    QUdpSocket listener;
    QVERIFY(listener.bind(QHostAddress(QHostAddress::AnyIPv4), settings.announcePort, QUdpSocket::ShareAddress));

    QElapsedTimer clock;
    clock.start();
    OvNetworkDiscovery model(settings);
    QTRY_VERIFY_WITH_TIMEOUT(listener.hasPendingDatagrams(), 6000);
    const qint64 first = clock.elapsed();
    // A coarse timer may fire up to 5 % early.
    QVERIFY2(first >= 2850 && first < 4500, qPrintable(QString::number(first)));

    const QNetworkDatagram datagram = listener.receiveDatagram();
    QCOMPARE(datagram.destinationPort(), int(settings.announcePort));
    QCOMPARE(datagram.senderPort(), int(settings.listenPort));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(datagram.data(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(datagram.data().contains("\n    \""));  // indented
    const QJsonObject object = document.object();
    QCOMPARE(object.keys(), (QStringList{"cg_publish_ver", "mac", "name", "type_name"}));
    QCOMPARE(object.value("cg_publish_ver"), QJsonValue(1));
    QCOMPARE(object.value("name").toString(), QHostInfo::localHostName());
    QCOMPARE(object.value("type_name").toString(), QStringLiteral("PC"));
    QCOMPARE(object.value("mac").toString(), model.localMac());
    // Inside the test network the first broadcast-capable interface is one of
    // the veth pair (loopback does not count).
    QCOMPARE(model.localMac(), firstTestLinkMac());
    QVERIFY(!model.localMac().isEmpty());

    model.setLocalMac(QStringLiteral("02:00:00:00:00:42"));
    while (listener.hasPendingDatagrams())
        listener.receiveDatagram();
    QTRY_VERIFY_WITH_TIMEOUT(listener.hasPendingDatagrams(), 4500);
    const QJsonObject next = QJsonDocument::fromJson(listener.receiveDatagram().data()).object();
    QCOMPARE(next.value("mac").toString(), QStringLiteral("02:00:00:00:00:42"));
}

void TestNetworkDiscovery::macFollowsTheConnection()
{
    // A second link whose far end carries the connection: the kernel takes the
    // destination as the local address, which belongs to ovd1, not to v0.
    runIp({"link", "del", "ovd0"});
    QCOMPARE(runIp({"link", "add", "ovd0", "type", "veth", "peer", "name", "ovd1"}), 0);
    auto cleanup = qScopeGuard([]() { runIp({"link", "del", "ovd0"}); });
    QCOMPARE(runIp({"addr", "add", "10.78.0.1/24", "dev", "ovd0"}), 0);
    QCOMPARE(runIp({"addr", "add", "10.78.0.2/24", "dev", "ovd1"}), 0);
    QCOMPARE(runIp({"link", "set", "ovd0", "up"}), 0);
    QCOMPARE(runIp({"link", "set", "ovd1", "up"}), 0);
    const QString secondMac = macOf(QStringLiteral("ovd1"));
    QVERIFY(!secondMac.isEmpty());

    OvNetworkDiscovery* const discovery = OvNetworkDiscovery::instance();
    QVERIFY(discovery->isListening());
    QCOMPARE(discovery->localMac(), firstTestLinkMac());
    QVERIFY(discovery->localMac() != secondMac);

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress(QStringLiteral("10.78.0.2")), 0));
    OvTransferServer* const client = OvTransferServer::instance();
    client->connectToServer(QStringLiteral("10.78.0.2"), QStringLiteral("580317"), server.serverPort());
    QVERIFY(server.waitForNewConnection(4000));
    QTRY_COMPARE_WITH_TIMEOUT(client->deviceMac(), secondMac, 3000);
    QCOMPARE(discovery->localMac(), secondMac);

    // The next announcement on the wire carries it.
    QUdpSocket listener;
    QVERIFY(listener.bind(QHostAddress(QHostAddress::AnyIPv4), OvNetworkDiscovery::DefaultAnnouncePort,
                          QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
    QTRY_VERIFY_WITH_TIMEOUT(listener.hasPendingDatagrams(), 4500);
    const QJsonObject announced = QJsonDocument::fromJson(listener.receiveDatagram().data()).object();
    QCOMPARE(announced.value("mac").toString(), secondMac);

    // Leave without a message box: an operator-style disconnect reports nothing.
    QSignalSpy connectSpy(client, &OvTransferServer::signalConnect);
    client->disconnectFromServer();
    QTRY_COMPARE_WITH_TIMEOUT(client->connectionState(), OvTransferServer::Idle, 3000);
    QCOMPARE(connectSpy.count(), 1);
}

QTEST_MAIN(TestNetworkDiscovery)
#include "tst_network_discovery.moc"
