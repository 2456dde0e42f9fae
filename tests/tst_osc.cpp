// The OSC remote control through real UDP sockets on loopback: what is no
// command (garbage, bounds), the tally and its order, refresh, and where it
// listens. The commands themselves run through every surface in tst_api.

#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "remote/OvOscControl.h"
#include "net/OvTransferServer.h"
#include "shell/OvConsoleCore.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

#include <lo/lo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

OvCGListModel* model()
{
    return OvCGListModel::instance();
}

// One OSC message from "path types args...": i (int), s (string), f (float).
QByteArray osc(const char* path, const QString& types = QString(), const QStringList& args = {})
{
    const lo_message m = lo_message_new();
    for (int i = 0; i < types.size(); ++i) {
        if (types[i] == QLatin1Char('i'))
            lo_message_add_int32(m, args.at(i).toInt());
        else if (types[i] == QLatin1Char('s'))
            lo_message_add_string(m, args.at(i).toUtf8().constData());
        else
            lo_message_add_float(m, args.at(i).toFloat());
    }
    size_t size = 0;
    void* data = lo_message_serialise(m, path, nullptr, &size);
    const QByteArray bytes(static_cast<const char*>(data), int(size));
    std::free(data);
    lo_message_free(m);
    return bytes;
}

QByteArray bundle(const QList<QByteArray>& elements)
{
    QByteArray b("#bundle\0", 8);
    b.append(QByteArray(8, '\0'));
    for (const QByteArray& e : elements) {
        char length[4];
        qToBigEndian<qint32>(e.size(), length);
        b.append(length, 4).append(e);
    }
    return b;
}

// "path arg arg ..." of a received tally message.
QString readable(QByteArray datagram)
{
    const lo_message m = lo_message_deserialise(datagram.data(), size_t(datagram.size()), nullptr);
    if (!m)
        return QStringLiteral("<not OSC>");
    QStringList words{QString::fromUtf8(lo_get_path(datagram.data(), datagram.size()))};
    const char* types = lo_message_get_types(m);
    lo_arg** argv = lo_message_get_argv(m);
    for (int i = 0; i < lo_message_get_argc(m); ++i) {
        // Arguments are 4-byte aligned in the packet: no access through lo_arg's union.
        qint32 value = 0;
        std::memcpy(&value, argv[i], sizeof value);
        words.append(types[i] == LO_STRING ? QString::fromUtf8(reinterpret_cast<const char*>(argv[i]))
                                           : QString::number(value));
    }
    lo_message_free(m);
    return words.join(QLatin1Char(' '));
}

// The catalogue as "name:status" and the current item's name.
QString state()
{
    QStringList items;
    for (const OvSubCGItem* item : model()->cgList())
        items.append(item->name() + QLatin1Char(':') + QString::number(item->status()));
    return items.join(QLatin1Char(' ')) + QStringLiteral(" @") + (model()->currentCg() ? model()->currentCg()->name() : "-");
}

// The server confirms the status an item was asked for.
void confirm(int position, int status)
{
    OvSubCGItem* const item = model()->cgAt(position - 1);
    operatorInfo info = localOperatorInfo();
    info.operationID = model()->pendingOperationId(item);
    info.operatorName = QStringLiteral("studio");
    item->setStatus(status, info);
}

}  // namespace

class TstOsc : public QObject
{
    Q_OBJECT

    // The take path and the rest of a console's parts, with the default settings.
    OvConsoleCore m_core{OvSettings()};
    OvOscControl* m_osc = nullptr;
    // Takes go to a server: the console is logged in to this one.
    OvTestPeer* m_peer = nullptr;
    QUdpSocket m_panel;
    QUdpSocket m_tally;

    void send(const QByteArray& datagram)
    {
        m_panel.writeDatagram(datagram, QHostAddress::LocalHost, m_osc->port());
    }
    QStringList tally(int atLeast, int timeoutMs = 2000)
    {
        QStringList seen;
        (void)QTest::qWaitFor(
            [&] {
                while (m_tally.hasPendingDatagrams()) {
                    QByteArray d(int(m_tally.pendingDatagramSize()), '\0');
                    m_tally.readDatagram(d.data(), d.size());
                    seen.append(readable(d));
                }
                return seen.size() >= atLeast;
            },
            timeoutMs);
        return seen;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tally.bind(QHostAddress(QHostAddress::LocalHost)));
    }

    void init()
    {
        m_peer = new OvTestPeer;
        // Logged in once the server's own list arrived; the case's list follows.
        QVERIFY(m_peer->logInConsole(QStringLiteral("t"), {OvTestPeer::record("server's")}));
        m_osc = new OvOscControl(m_core.commands(), m_core.feed(), this);
        QString error;
        QVERIFY2(m_osc->listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
        m_osc->setFeedback(QHostAddress::LocalHost, m_tally.localPort());
        model()->resetCgList({OvTest::cgRecord("A"), OvTest::cgRecord("B", OvCgStatus::OnPgm), OvTest::cgRecord("C"),
                              OvTest::cgRecord("B", OvCgStatus::OnPvw)});
        model()->setCurrentCg(model()->cgAt(0));
        // What the set-up and the case before sent, to the current item the list's tally ends with.
        QVERIFY(QTest::qWaitFor([this] { return tally(1, 50).contains(QStringLiteral("/ovcg/current A 1 0")); }));
    }

    void cleanup()
    {
        m_core.takes()->setLocked(false);
        delete m_osc;
        OvTransferServer::instance()->disconnectFromServer();
        QTRY_COMPARE(OvTransferServer::instance()->connectionState(), OvTransferServer::Idle);
        model()->clearCg();
        delete m_peer;
    }

    // Each is ignored and counted; nothing changes, nothing is published.
    void garbage()
    {
        const QList<QByteArray> packets = {
            osc("/ovcg/launch"), osc("/other/pgm"), osc("/ovcg/pgm", "f", {"1"}), osc("/ovcg/pgm", "ii", {"1", "2"}),
            osc("/ovcg/select"), osc("/ovcg/next", "i", {"1"}), QByteArray("hello, not OSC"),
            osc("/ovcg/pgm", "i", {"1"}).left(10), bundle({QByteArray(12, '\x7f')}),
            bundle({bundle({bundle({bundle({bundle({osc("/ovcg/pgm")})})})})})};
        const QString before = state();
        for (const QByteArray& p : packets)
            send(p);
        QTRY_COMPARE(m_osc->ignoredCount(), packets.size());
        QCOMPARE(state(), before);
        // A flood leaves the listener listening: the command after it counts.
        for (int i = 0; i < 2000; ++i) {
            send(packets.at(i % packets.size()));
            if (i % 200 == 199)
                QTest::qWait(5);  // bursts the kernel's buffer holds
        }
        send(osc("/ovcg/select", "i", {"3"}));
        QTRY_COMPARE(model()->currentCg()->name(), QStringLiteral("C"));
    }

    // Locked, no take of the panel's reaches the server; selecting still
    // works; the tally and the log say each change, and the refusals once.
    void lockAndTakeAllOff()
    {
        OvTest::LogRecorder log;
        send(osc("/ovcg/lock", "i", {"1"}));
        QCOMPARE(tally(1), QStringList{"/ovcg/locked 1"});
        send(osc("/ovcg/pgm", "i", {"1"}));
        send(osc("/ovcg/clearall"));
        send(osc("/ovcg/select", "i", {"3"}));
        QTRY_COMPARE(state(), QStringLiteral("A:0 B:1 C:0 B:2 @C"));
        send(osc("/ovcg/lock", "i", {"0"}));
        // The refusals are told to the panel as well.
        QCOMPARE(tally(4), (QStringList{"/ovcg/refused pgm locked", "/ovcg/refused clearall locked",
                                        "/ovcg/current C 3 0", "/ovcg/locked 0"}));
        send(osc("/ovcg/clearall"));
        QTRY_COMPARE(state(), QStringLiteral("A:0 B:3 C:0 B:3 @C"));
        QCOMPARE(log.lines, (QStringList{QStringLiteral(u"系统:发布已锁定"), QStringLiteral(u"系统:发布已锁定，未执行来自OSC的命令"),
                                         QStringLiteral(u"系统:发布已解锁")}));
    }

    // Take all off cancels every item on air, however many turns it takes.
    void takeAllOffTakesEvery_data()
    {
        QTest::addColumn<int>("onAir");
        QTest::newRow("one more than a turn's") << OvTakeCommand::ClearAllPerTurn + 1;
        QTest::newRow("three turns'") << OvTakeCommand::ClearAllPerTurn * 2 + 50;
    }

    void takeAllOffTakesEvery()
    {
        QFETCH(int, onAir);
        QList<cgItemData> list;
        for (int i = 0; i < onAir + 10; ++i)
            list.append(OvTest::cgRecord(QString::number(i), i < onAir ? OvCgStatus::OnPgm + i % 2 : OvCgStatus::Idle));
        model()->resetCgList(list);
        QTest::qWait(OvTakeCommand::DefaultGuardMs + 20);  // past the other cases' presses
        send(osc("/ovcg/clearall"));
        const auto sending = [] {
            const QList<OvSubCGItem*> items = model()->cgList();
            return int(std::count_if(items.cbegin(), items.cend(),
                                     [](const OvSubCGItem* item) { return item->status() == OvCgStatus::Sending; }));
        };
        QTRY_COMPARE(sending(), onAir);
    }

    // GO from the panel takes the running order's next cue; the tally names the next.
    void goTakesTheNextCue()
    {
        OvRunningOrder* const order = m_core.order();
        order->clear();
        order->insert(0, QUuid(model()->cgAt(2)->guid()));
        order->insert(1, QUuid(model()->cgAt(0)->guid()));
        QCOMPARE(tally(1), QStringList{"/ovcg/next C 1"});
        send(osc("/ovcg/go"));
        QTRY_COMPARE(state(), QStringLiteral("A:0 B:1 C:3 B:2 @C"));
        QCOMPARE(tally(2), (QStringList{"/ovcg/current C 3 0", "/ovcg/next A 2"}));
        order->clear();
    }

    // A second press of the same command for the same item within the guard
    // time is ignored and counted; another item is never held back.
    void doublePresses_data()
    {
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("ignored");
        QTest::newRow("same, 100 ms") << osc("/ovcg/pvw", "i", {"1"}) << 100 << "A:3 B:1 C:0 B:2 @A" << 1;
        QTest::newRow("same, 400 ms") << osc("/ovcg/pvw", "i", {"1"}) << 400 << "A:3 B:1 C:0 B:2 @A" << 0;
        QTest::newRow("another item") << osc("/ovcg/pvw", "i", {"3"}) << 100 << "A:3 B:1 C:3 B:2 @C" << 0;
    }

    void doublePresses()
    {
        QFETCH(QByteArray, second);
        QFETCH(int, gapMs);
        QFETCH(QString, expected);
        QFETCH(int, ignored);
        const qint64 before = m_core.takes()->ignoredPresses();
        send(osc("/ovcg/pvw", "i", {"1"}));
        QTRY_COMPARE(model()->cgAt(0)->status(), int(OvCgStatus::Sending));
        QTest::qWait(gapMs);
        send(second);
        QTRY_COMPARE(state(), expected);
        QTest::qWait(50);
        QCOMPARE(m_core.takes()->ignoredPresses() - before, qint64(ignored));
    }

    // The tally says what the server confirmed, in order, never the console's
    // provisional state; a refresh lists everything.
    void tallyFollowsTheServer()
    {
        send(osc("/ovcg/select", "i", {"3"}));
        QCOMPARE(tally(1), QStringList{"/ovcg/current C 3 0"});
        send(osc("/ovcg/pgm"));
        QTRY_COMPARE(model()->cgAt(2)->status(), int(OvCgStatus::Sending));
        QCOMPARE(tally(1, 300), QStringList());
        confirm(3, OvCgStatus::OnPgm);
        confirm(2, OvCgStatus::Idle);
        QStringList told = tally(3);
        // This console's take, confirmed: how long the server took.
        QVERIFY2(told.size() == 3 && told.takeLast().contains(QRegularExpression("^/ovcg/confirmed C \\d+$")),
                 qPrintable(told.join('|')));
        QCOMPARE(told, (QStringList{"/ovcg/status C 3 1", "/ovcg/status B 2 0"}));
        send(osc("/ovcg/refresh"));
        // The whole state: the connection, the lock, the list.
        QCOMPARE(tally(6), (QStringList{"/ovcg/connected 1", "/ovcg/locked 0", "/ovcg/status A 1 0", "/ovcg/status B 2 0",
                                        "/ovcg/status C 3 1", "/ovcg/status B 4 2"}));
        // Positions that hold other items after a removal or a move are told again.
        m_peer->send(OvTestPeer::notifyCG(model()->cgAt(0)->guid(), 5, {}));
        QCOMPARE(tally(3), (QStringList{"/ovcg/status B 1 0", "/ovcg/status C 2 1", "/ovcg/status B 3 2"}));
        m_peer->send(OvTestPeer::notifyCG(model()->cgAt(1)->guid(), 4, {{"index", 0}}));
        QCOMPARE(tally(2), (QStringList{"/ovcg/status C 1 1", "/ovcg/status B 2 0"}));
    }

    // Messages count against the per-turn bound, not datagrams: a bundle
    // holds no more than one turn's worth, the rest ignored and counted, and
    // a command sent after it is obeyed.
    void bundlesAreBounded()
    {
        QList<cgItemData> list;
        for (int i = 0; i < 100000; ++i)
            list.append(OvTest::cgRecord(QString::number(i)));
        model()->resetCgList(list);
        model()->setCurrentCg(model()->cgAt(0));
        QList<QByteArray> nexts;
        for (int i = 0; i < 3000; ++i)
            nexts.append(osc("/ovcg/next"));
        send(bundle(nexts));
        send(osc("/ovcg/select", "s", {"99999"}));
        QTRY_COMPARE(model()->currentCg()->name(), QStringLiteral("99999"));
        QCOMPARE(m_osc->ignoredCount(), 3000 - OvOscControl::MessagesPerTurn);
    }

    // A refresh asked for again while one is under way does not start it
    // over (the positions that arrive only ever grow; loopback may drop some
    // of a long refresh, so gaps are allowed); a new catalogue does.
    void refreshRunsToItsEnd()
    {
        QList<cgItemData> list;
        for (int i = 0; i < 20 * OvOscControl::RefreshPerTurn; ++i)
            list.append(OvTest::cgRecord(QString::number(i)));
        model()->resetCgList(list);
        tally(100000, 30);
        for (int i = 0; i < 6; ++i)
            send(osc("/ovcg/refresh"));
        int last = 0;
        for (const QString& line : tally(100000, 1000)) {
            if (!line.startsWith(QLatin1String("/ovcg/status")))
                continue;
            QVERIFY2(line.section(' ', 2, 2).toInt() > last, qPrintable(line));
            last = line.section(' ', 2, 2).toInt();
        }
        QVERIFY(last > OvOscControl::RefreshPerTurn);

        send(osc("/ovcg/refresh"));
        (void)tally(1);
        model()->resetCgList({OvTest::cgRecord("new0"), OvTest::cgRecord("new1")});
        QVERIFY(tally(100000, 1000).contains(QStringLiteral("/ovcg/status new1 2 0")));
    }

    // The tally leaves through a socket that can reach a panel on another
    // host, not through the one listening on loopback.
    void tallyReachesAnotherHost()
    {
        OvTest::OtherHost host;
        const QString why = host.start();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QProcess panel;
        panel.start(QStringLiteral("nsenter"), host.enter() + QStringList{"oscdump", "-L", "9109"});
        QVERIFY(panel.waitForStarted(5000));
        m_osc->setFeedback(QHostAddress(QStringLiteral("10.88.0.2")), 9109);
        QByteArray seen;
        // Asked again until the panel listens.
        QTRY_VERIFY_WITH_TIMEOUT((send(osc("/ovcg/refresh")), seen += panel.readAllStandardOutput(),
                                  seen.contains("/ovcg/status")),
                                 10000);
        panel.kill();
        panel.waitForFinished(3000);
    }

    // Items with this console's take or cancel outstanding are refreshed with
    // the status the server confirmed: a tally never shows "sending".
    void refreshWhileRequestsAreOutstanding()
    {
        send(osc("/ovcg/pgm", "i", {"3"}));
        send(osc("/ovcg/cancel", "i", {"2"}));
        QTRY_COMPARE(state(), QStringLiteral("A:0 B:3 C:3 B:2 @B"));
        tally(100, 100);  // the current item's changes
        send(osc("/ovcg/refresh"));
        QCOMPARE(tally(6).mid(2), (QStringList{"/ovcg/status A 1 0", "/ovcg/status B 2 1", "/ovcg/status C 3 0",
                                               "/ovcg/status B 4 2"}));
    }

    void whereItListens()
    {
        QCOMPARE(m_osc->address(), QHostAddress(QHostAddress::LocalHost));
        OvOscControl other(m_core.commands(), m_core.feed());
        QString error;
        QVERIFY(!other.listen(QHostAddress(QStringLiteral("192.0.2.1")), 0, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!other.listen(QHostAddress::LocalHost, m_osc->port(), &error));
        QHostAddress host;
        quint16 port = 0;
        QVERIFY(OvSettings::parseHostPort(QStringLiteral("10.1.2.3:9001"), &host, &port));
        QCOMPARE(host.toString() + QLatin1Char(':') + QString::number(port), QStringLiteral("10.1.2.3:9001"));
        QVERIFY(OvSettings::parseHostPort(QStringLiteral("[::1]:9"), &host, &port));
        for (const char* bad : {"", "10.1.2.3", "10.1.2.3:0", "10.1.2.3:70000", "panel.local:9000", ":9000"})
            QVERIFY2(!OvSettings::parseHostPort(QString::fromLatin1(bad), &host, &port), bad);
    }
};

QTEST_MAIN(TstOsc)
#include "tst_osc.moc"
