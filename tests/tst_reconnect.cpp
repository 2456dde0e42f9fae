// Reconnection, when the operator has turned it on: the retry schedule and
// what ends it, a server gone silent taken for lost, and the loss box that
// closes itself once the console is back.

#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "net/OvErrorPresenter.h"
#include "net/OvTransferServer.h"
#include "shell/OvConnectionErrorBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString RemoteClosedText = QStringLiteral(u"远程断开连接，请检查远程连接设置和网络状况后重试。");
const QString RefusedText = QStringLiteral(u"采编录播一体化系统未登陆，请登陆后重试。");
const QString ReconnectingLine = QStringLiteral(u"系统:正在自动重新连接studio…");

QJsonArray catalogue(const QString& name)
{
    return {QJsonObject{{"guid", "{0f8fad5b-d9cb-469f-a165-70867728950e}"}, {"name", name}, {"status", 1},
                        {"imageBase64", ""}}};
}

enum class Ending { ReconnectOff, Kick, OperatorDisconnects, OperatorStopsRetries, RefusedOnRetry };

}  // namespace

class TstReconnect : public QObject
{
    Q_OBJECT

    OvTransferServer* client() const { return OvTransferServer::instance(); }

    // A server with the console logged in and listing one item named name.
    std::unique_ptr<OvTestPeer> loggedIn(const QString& name = QStringLiteral("A"), quint16 port = 0)
    {
        auto peer = std::make_unique<OvTestPeer>(port);
        peer->answerLogins(QStringLiteral("t"), catalogue(name));
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("pw"), peer->port());
        if (!QTest::qWaitFor([this] { return client()->connectionState() == OvTransferServer::LoggedIn; }, 5000))
            return nullptr;
        return peer;
    }

    OvTest::ErrorRecorder m_errors;
    OvTest::LogRecorder m_log;

private slots:
    void init()
    {
        client()->setReconnect(true);
        m_errors.texts.clear();
        m_log.lines.clear();
    }

    void cleanup()
    {
        client()->stopReconnecting();
        if (client()->connectionState() != OvTransferServer::Idle)
            client()->disconnectFromServer();
        QTRY_COMPARE(client()->connectionState(), OvTransferServer::Idle);
        client()->setReconnect(false);
        OvCGListModel::instance()->clearCg();
    }

    // The first try a second after the loss, then one two seconds after each
    // failed one; nothing of the tries reaches the operator; back on, the
    // server's catalogue is listed.
    void retriesOnScheduleUntilLoggedIn()
    {
        std::unique_ptr<OvTestPeer> peer = loggedIn();
        QVERIFY(peer);
        const quint16 port = peer->port();
        QSignalSpy changes(client(), &OvTransferServer::signalConnect);
        QElapsedTimer clock;
        peer.reset();
        clock.start();
        // Takes each try and hangs up before it logs in.
        QTcpServer stub;
        QVERIFY(stub.listen(QHostAddress::LocalHost, port));
        QList<qint64> tries;
        connect(&stub, &QTcpServer::newConnection, this, [&] {
            tries.append(clock.elapsed());
            delete stub.nextPendingConnection();
        });
        QTRY_COMPARE_WITH_TIMEOUT(tries.size(), 3, 10000);
        stub.close();
        QVERIFY2(tries[0] >= 950 && tries[0] < 2000, qPrintable(QString::number(tries[0])));
        for (int i = 1; i < tries.size(); ++i)
            QVERIFY2(tries[i] - tries[i - 1] >= 1950 && tries[i] - tries[i - 1] < 3500,
                     qPrintable(QStringLiteral("try %1 after %2 ms").arg(i).arg(tries[i] - tries[i - 1])));
        QVERIFY(client()->isReconnecting());
        QCOMPARE(m_errors.texts, QStringList{RemoteClosedText});
        QCOMPARE(m_log.lines.count(ReconnectingLine), 1);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(OvCGListModel::instance()->count(), 0);

        OvTestPeer back(port);
        back.answerLogins(QStringLiteral("t2"), catalogue(QStringLiteral("B")));
        QTRY_COMPARE_WITH_TIMEOUT(client()->connectionState(), OvTransferServer::LoggedIn, 3000);
        QTRY_COMPARE(OvCGListModel::instance()->count(), 1);
        QCOMPARE(OvCGListModel::instance()->cgAt(0)->name(), QStringLiteral("B"));
        QVERIFY(!client()->isReconnecting());
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.last().first().toBool(), true);
        QCOMPARE(back.countOf(QStringLiteral("syncCGList")), 1);
        QCOMPARE(m_errors.texts.size(), 1);
    }

    void whatEndsTheRetries_data()
    {
        QTest::addColumn<int>("ending");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("reconnection off") << int(Ending::ReconnectOff) << QStringList{RemoteClosedText};
        QTest::newRow("kick") << int(Ending::Kick) << QStringList{QStringLiteral(u"远程断开连接，当前设备已被加入黑名单。")};
        QTest::newRow("operator disconnects") << int(Ending::OperatorDisconnects) << QStringList();
        QTest::newRow("operator stops the retries") << int(Ending::OperatorStopsRetries) << QStringList{RemoteClosedText};
        QTest::newRow("login refused on a retry") << int(Ending::RefusedOnRetry)
                                                  << QStringList{RemoteClosedText, RefusedText};
    }

    // After each of these nobody tries again: a server listening on the port
    // sees no connection for longer than the retry period.
    void whatEndsTheRetries()
    {
        QFETCH(int, ending);
        QFETCH(QStringList, errors);
        client()->setReconnect(Ending(ending) != Ending::ReconnectOff);
        std::unique_ptr<OvTestPeer> peer = loggedIn();
        QVERIFY(peer);
        const quint16 port = peer->port();
        switch (Ending(ending)) {
        case Ending::ReconnectOff:
            peer.reset();
            break;
        case Ending::Kick:
            peer->send({{"cmd", "kickOff"}, {"cmdType", "request"}, {"value", QJsonObject{{"kickType", 1}}}});
            break;
        case Ending::OperatorDisconnects:
            client()->disconnectFromServer();
            break;
        case Ending::OperatorStopsRetries:
            peer.reset();
            QTRY_VERIFY(client()->isReconnecting());
            client()->stopReconnecting();
            break;
        case Ending::RefusedOnRetry: {
            peer.reset();
            OvTestPeer refusing(port);
            QVERIFY(refusing.waitFor(QStringLiteral("login"), 1, QStringLiteral("request"), 4000));
            refusing.send(OvTestPeer::response(QStringLiteral("login"), -4));
            QTRY_VERIFY(!client()->isReconnecting());
            break;
        }
        }
        QTRY_COMPARE(client()->connectionState(), OvTransferServer::Idle);
        peer.reset();
        QTcpServer watch;
        QVERIFY(watch.listen(QHostAddress::LocalHost, port));
        QTest::qWait(2600);
        QVERIFY(!watch.hasPendingConnections());
        QVERIFY(!client()->isReconnecting());
        QCOMPARE(m_errors.texts, errors);
        const bool retried = Ending(ending) == Ending::OperatorStopsRetries || Ending(ending) == Ending::RefusedOnRetry;
        QCOMPARE(m_log.lines.count(ReconnectingLine), retried ? 1 : 0);
    }

    // Heartbeats go out, nothing comes back: after ten seconds the server
    // counts as lost and the retries begin.
    void silentServerIsLost()
    {
        std::unique_ptr<OvTestPeer> peer = loggedIn();
        QVERIFY(peer);
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(client()->isReconnecting(), 15000);
        QVERIFY2(clock.elapsed() >= 9500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(peer->countOf(QStringLiteral("heart")) >= 3);
        QCOMPARE(m_errors.texts, QStringList{RemoteClosedText});
    }

    // A large frame still arriving is no silence: a catalogue that takes
    // longer than the silence rule over a slow link is listed.
    void slowCatalogueIsHeard()
    {
        OvTestPeer peer;
        QSignalSpy changes(client(), &OvTransferServer::signalConnect);
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("pw"), peer.port());
        QVERIFY(peer.waitFor(QStringLiteral("login")));
        peer.send(OvTestPeer::response(QStringLiteral("login"), 0, {{"token", "t"}}));
        QVERIFY(peer.waitFor(QStringLiteral("syncCGList")));
        QJsonArray list;
        for (int i = 0; i < 200; ++i)
            list.append(catalogue(QString(60, QLatin1Char('a' + i % 26))).first());
        const QByteArray frame = OvTestPeer::frameOf(OvTestPeer::response(QStringLiteral("syncCGList"), 0, {{"cgList", list}}));
        constexpr int Pieces = 24;  // one every half second: 12 s in all
        for (int i = 0; i < Pieces; ++i) {
            peer.sendRaw(frame.mid(i * frame.size() / Pieces, (i + 1) * frame.size() / Pieces - i * frame.size() / Pieces));
            QTest::qWait(500);
        }
        QTRY_COMPARE(OvCGListModel::instance()->count(), 200);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
    }

    // A server that drops each connection soon after its login is tried
    // less and less often, said once; a connection that lasts restores the
    // usual schedule.
    void flappingServerBacksOff()
    {
        std::unique_ptr<OvTestPeer> peer = loggedIn();
        QVERIFY(peer);
        const quint16 port = peer->port();
        QElapsedTimer clock;
        clock.start();
        qint64 lostAt = 0;
        QList<qint64> gaps;  // from each loss to the next login
        connect(client(), &OvTransferServer::signalConnect, this, [&](bool up) {
            if (up)
                gaps.append(clock.elapsed() - lostAt);
            else
                lostAt = clock.elapsed();
        });
        for (const int lives : {500, 500, 5500}) {
            QTest::qWait(lives);
            peer.reset();
            peer = std::make_unique<OvTestPeer>(port);
            peer->answerLogins(QStringLiteral("t"), catalogue(QStringLiteral("A")));
            const int logins = gaps.size() + 1;
            QTRY_COMPARE_WITH_TIMEOUT(gaps.size(), logins, 6000);
        }
        disconnect(client(), &OvTransferServer::signalConnect, this, nullptr);
        const QString gapsText = QString::number(gaps[0]) + ' ' + QString::number(gaps[1]) + ' ' + QString::number(gaps[2]);
        QVERIFY2(gaps[0] < 1900 && gaps[1] >= 1900 && gaps[2] < 1900, qPrintable(gapsText));
        QCOMPARE(m_log.lines.filter(QStringLiteral(u"重连的间隔逐次加长")).size(), 1);
    }

    // The operator's loss box stays open while the console reconnects behind
    // it, and closes itself once it is back.
    void lossBoxClosesOnReconnection()
    {
        int closed = 0;
        const OvErrorPresenter::Present recorder = OvErrorPresenter::install([&closed](const QString& text) {
            OvConnectionErrorBox::show(text);
            ++closed;
        });
        std::unique_ptr<OvTestPeer> peer = loggedIn();
        QVERIFY(peer);
        const quint16 port = peer->port();
        std::unique_ptr<OvTestPeer> back;
        QTimer::singleShot(1500, this, [&back, port] {
            back = std::make_unique<OvTestPeer>(port);
            back->answerLogins(QStringLiteral("t2"), catalogue(QStringLiteral("B")));
        });
        // The box runs its own loop: should it never close itself, it is
        // closed here, and the state check below fails instead of a hang.
        QTimer::singleShot(12000, this, [] {
            if (QWidget* const box = QApplication::activeModalWidget())
                box->close();
        });
        peer.reset();
        QTRY_COMPARE_WITH_TIMEOUT(closed, 1, 15000);
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
        OvErrorPresenter::install(recorder);
    }
};

QTEST_MAIN(TstReconnect)
#include "tst_reconnect.moc"
