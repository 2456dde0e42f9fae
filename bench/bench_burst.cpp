// The transfer client against an in-process server on loopback:
//  - the longest event-loop stall while a burst of 2,000 notifications for an
//    unknown item is worked through with 100,000 items listed;
//  - the time from a kick to the end of the connection when the server has
//    stopped reading, and the time an operator's disconnect spends closing;
//  - resident memory while a server offers 600 MB of status notifications as
//    fast as it can send (a server on a thread of its own, tests/support);
//  - five 63 MiB bodies in a row from a server in a process of its own (so
//    that its copies are not counted): the longest event-loop turn while they
//    are decoded, and the console's peak memory growth.
// Prints figures; never fails.

#include "cg/OvCGListModel.h"
#include "cg/cgItemData.h"
#include "log/OvCGMessage.h"
#include "net/OvErrorPresenter.h"
#include "net/OvTransferServer.h"

#include "OvBenchSupport.h"
#include "OvTestPeer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using OvBench::waitFor;

// Resident memory from a fresh peak, said the same way by every run that
// prints it.
class PeakMemory
{
public:
    PeakMemory()
    {
        OvBench::resetPeak();
        m_beforeKb = OvBench::statusKb("VmRSS");
    }
    // Reads the peak reached since the start.
    void stop() { m_peakKb = OvBench::statusKb("VmHWM"); }
    long growthKb() const { return m_peakKb - m_beforeKb; }
    QByteArray text() const
    {
        return QString::asprintf("resident memory %ld MB before, peak %ld MB (grew by %ld MB)", m_beforeKb / 1024,
                                 m_peakKb / 1024, growthKb() / 1024)
            .toUtf8();
    }

private:
    long m_beforeKb = 0;
    long m_peakKb = 0;
};

void burstStall()
{
    constexpr int Items = 100000;
    constexpr int Frames = 2000;
    OvTestPeer peer;
    if (!peer.logInConsole()) {
        std::printf("burst: login failed\n");
        return;
    }
    QList<cgItemData> list;
    list.reserve(Items);
    for (int i = 0; i < Items; ++i) {
        cgItemData d;
        d.guid = QUuid::createUuid();
        d.name = QString::number(i);
        list.append(d);
    }
    OvCGListModel::instance()->resetCgList(list);

    const QByteArray frame = OvTestPeer::frameOf(QJsonObject{
        {"cmd", "notifyCG"},
        {"cmdType", "request"},
        {"value", QJsonObject{{"operationTarget", QUuid::createUuid().toString()},
                              {"operationType", 1},
                              {"operationValue", QJsonObject{{"status", 1}}},
                              {"operator", QJsonObject{{"operationID", "x"}}}}}});
    QElapsedTimer tick;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = tick.nsecsElapsed();
        longest = qMax(longest, now - last);
        last = now;
    });
    // The machine's own noise: the same probe on an idle loop.
    tick.start();
    probe.start(1);
    waitFor([] { return false; }, 2000);
    const qint64 idleLongest = longest;
    longest = 0;
    QList<qint64> gaps;
    QObject::connect(&probe, &QTimer::timeout, [&] { gaps.append(tick.nsecsElapsed()); });
    QElapsedTimer clock;
    clock.start();
    peer.sendRaw(frame.repeated(Frames));
    const bool done = waitFor([&] { return peer.countOf("notifyCG", "response") >= Frames; }, 120000);
    const qint64 total = clock.elapsed();
    probe.stop();
    QList<qint64> steps;
    for (int i = 1; i < gaps.size(); ++i)
        steps.append(gaps[i] - gaps[i - 1]);
    std::sort(steps.begin(), steps.end());
    const double p99 = steps.isEmpty() ? 0.0 : steps[int(steps.size() * 0.99)] / 1e6;
    std::printf("burst: %d unknown-guid notifications (%d bytes) with %d items: %s in %lld ms "
                "(%.2f ms a frame); event-loop stall longest %.1f ms, 99th percentile %.1f ms "
                "(idle loop on this machine: longest %.1f ms)\n",
                Frames, int(frame.size()) * Frames, Items, done ? "answered" : "NOT answered",
                static_cast<long long>(total), double(total) / Frames, longest / 1e6, p99,
                idleLongest / 1e6);
    OvTransferServer::instance()->disconnectFromServer();
    waitFor([] { return OvTransferServer::instance()->connectionState() == OvTransferServer::Idle; },
            5000);
    OvCGListModel::instance()->clearCg();
}

void closingTimes(bool kick)
{
    OvTestPeer peer;
    if (!peer.logInConsole()) {
        std::printf("closing: login failed\n");
        return;
    }
    peer.stopReading();
    peer.flood(60000);
    waitFor([&] { return peer.socket()->bytesToWrite() == 0; }, 20000);
    waitFor([] { return false; }, 500);
    OvTransferServer* const client = OvTransferServer::instance();
    // Polled: a teardown that happens within one call is never seen Closing.
    QElapsedTimer clock;
    qint64 closingSince = -1;
    qint64 closingUntil = -1;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (client->connectionState() == OvTransferServer::Closing && closingSince < 0)
            closingSince = clock.nsecsElapsed();
    });
    const QMetaObject::Connection down =
        QObject::connect(client, &OvTransferServer::signalConnect, [&](bool up) {
            if (!up)
                closingUntil = clock.nsecsElapsed();
        });
    poll.start(1);
    clock.start();
    if (kick) {
        peer.send(QJsonObject{{"cmd", "kickOff"}, {"value", QJsonObject{{"kickType", 2}}}});
    } else {
        client->disconnectFromServer();
    }
    const bool ended = waitFor(
        [&] { return client->connectionState() == OvTransferServer::Idle; }, 10000);
    poll.stop();
    QObject::disconnect(down);
    const QString closing =
        closingSince < 0 ? QStringLiteral("never seen in Closing (torn down within the call)")
                         : QStringLiteral("%1 ms in Closing")
                               .arg((closingUntil - closingSince) / 1e6, 0, 'f', 1);
    std::printf("%s with a server that stopped reading (60,000 answers unsent): %s\n",
                kick ? "kick" : "operator disconnect",
                ended ? qPrintable(QStringLiteral("ended %1 ms after the request was sent; %2")
                                       .arg(clock.elapsed())
                                       .arg(closing))
                      : "still not ended after 10 s");
    if (!ended) {
        peer.socket()->abort();
        waitFor([&] { return client->connectionState() == OvTransferServer::Idle; }, 5000);
    }
}

void floodMemory()
{
    constexpr qint64 Bytes = 600ll * 1024 * 1024;
    const QString guid = QUuid::createUuid().toString();
    auto body = [guid](qint64 i) {
        return QJsonDocument(QJsonObject{
                   {"cmd", "notifyCG"},
                   {"cmdType", "request"},
                   {"value", QJsonObject{{"operationTarget", guid},
                                         {"operationType", 1},
                                         {"operationValue", QJsonObject{{"status", int(1 + i % 2)}}},
                                         {"operator", QJsonObject{{"operationID", "x"},
                                                                  {"operatorAddr", "10.0.0.9:5000"},
                                                                  {"operatorName", "Zhang"},
                                                                  {"operatorGuid", "g"}}}}}})
            .toJson(QJsonDocument::Compact);
    };
    const qint64 frames = Bytes / (body(0).size() + 8);
    const QByteArray list = QJsonDocument(QJsonObject{
        {"cmd", "syncCGList"}, {"cmdType", "response"}, {"code", 0},
        {"value", QJsonObject{{"cgList", QJsonArray{QJsonObject{{"guid", guid}, {"name", "A"}}}}}}})
                                .toJson(QJsonDocument::Compact);
    OvFloodPeer server(list, frames, body);
    const quint16 port = server.listen();
    OvTransferServer* const client = OvTransferServer::instance();
    PeakMemory memory;
    QElapsedTimer clock;
    clock.start();
    client->connectToServer("127.0.0.1", "pw", port);
    const bool done = waitFor([&] { return server.answers() >= frames || server.broken(); }, 600000);
    const qint64 ms = clock.elapsed();
    memory.stop();
    std::printf("flood: %lld status notifications (%.0f MB) from a server sending as fast as it can: "
                "%s, %lld answered in %lld ms (%.1f us a frame); %s; connection %s\n",
                static_cast<long long>(frames), server.bytesSent() / 1048576.0,
                done && !server.broken() ? "all sent" : "NOT all sent",
                static_cast<long long>(server.answers()), static_cast<long long>(ms),
                ms * 1000.0 / double(qMax<qint64>(1, server.answers())), memory.text().constData(),
                client->connectionState() == OvTransferServer::LoggedIn ? "up" : "DOWN");
    client->disconnectFromServer();
    waitFor([client] { return client->connectionState() == OvTransferServer::Idle; }, 5000);
    OvCGListModel::instance()->clearCg();
}

// Writes all of bytes to a blocking socket; false when the peer has gone.
bool writeAll(int fd, const QByteArray& bytes)
{
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n <= 0)
            return false;
        at += n;
    }
    return true;
}

constexpr int LargeBodies = 5;
constexpr int LargeBodyBytes = 63 << 20;

// A listening socket on loopback served by a child process: it answers the
// login and the catalogue request before they are asked, writes the large
// bodies, then reads until the console hangs up. Forked before the
// application exists. Returns the port, 0 on failure.
quint16 forkLargeBodyServer(pid_t* child)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener, 1) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    *child = ::fork();
    if (*child != 0) {
        ::close(listener);
        return *child > 0 ? ntohs(address.sin_port) : 0;
    }
    const int fd = ::accept(listener, nullptr, nullptr);
    const QByteArray head = "{\"cmd\":\"notifyMSG\",\"cmdType\":\"request\",\"value\":{\"endpointName\":\"Desk\","
                            "\"connectType\":0,\"padding\":\"";
    const QByteArray tail = "\"}}";
    QByteArray body = head + QByteArray(LargeBodyBytes - head.size() - tail.size(), 'x') + tail;
    bool ok = fd >= 0
              && writeAll(fd, OvTestPeer::frameOf(OvTestPeer::response("login", 0, {{"token", "t"}}))
                                  + OvTestPeer::frameOf(OvTestPeer::response("syncCGList", 0, {})));
    const QByteArray frame = OvTestPeer::frameOf(body);
    body.clear();
    for (int i = 0; ok && i < LargeBodies; ++i)
        ok = writeAll(fd, frame);
    char sink[4096];
    while (ok && ::read(fd, sink, sizeof sink) > 0) {
    }
    ::_exit(0);
}

void largeBodies(quint16 port)
{
    if (port == 0) {
        std::printf("large bodies: no server\n");
        return;
    }
    int notices = 0;
    const QMetaObject::Connection counting = QObject::connect(
        &OvCGMessage::instance(), &OvCGMessage::notifyMessage, [&notices](MessageType, const QString&,
                                                                            const QString&, const QString& text) {
            notices += text.startsWith(QLatin1String("Desk")) ? 1 : 0;
        });
    OvBench::TurnProbe probe;
    OvTransferServer* const client = OvTransferServer::instance();
    PeakMemory memory;
    QElapsedTimer clock;
    clock.start();
    client->connectToServer("127.0.0.1", "pw", port);
    probe.start();
    const bool done = waitFor([&] { return notices >= LargeBodies; }, 120000);
    probe.stop();
    const qint64 ms = clock.elapsed();
    memory.stop();
    std::printf("large bodies: %d notifyMSG of %d MiB in a row: %s in %lld ms; longest event-loop turn %.1f ms; "
                "%s, %.2f x one body\n",
                LargeBodies, LargeBodyBytes >> 20, done ? "all applied" : "NOT all applied",
                static_cast<long long>(ms), probe.longestMs(), memory.text().constData(),
                double(memory.growthKb()) * 1024.0 / LargeBodyBytes);
    QObject::disconnect(counting);
    client->disconnectFromServer();
    waitFor([client] { return client->connectionState() == OvTransferServer::Idle; }, 5000);
    OvCGListModel::instance()->clearCg();
}

}  // namespace

int main(int argc, char** argv)
{
    if (!OvBench::insidePrivateNetwork("bench_burst"))
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    pid_t child = -1;
    const quint16 largePort = forkLargeBodyServer(&child);
    QApplication app(argc, argv);
    // Nobody to read why a connection ended: the figures tell.
    OvErrorPresenter::install([](const QString&) {});
    burstStall();
    closingTimes(true);
    closingTimes(false);
    floodMemory();
    largeBodies(largePort);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return 0;
}
