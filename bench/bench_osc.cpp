// OSC remote control: from a packet's arrival to the updateCG on the wire, and
// a flood of garbage packets against the event loop. Prints figures; never fails.

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "net/OvErrorPresenter.h"
#include "cg/cgItemData.h"
#include "remote/OvOscControl.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"
#include "shell/OvConsoleCore.h"

#include "OvBenchSupport.h"
#include "OvTestPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTimer>
#include <QUdpSocket>
#include <QUuid>

#include <lo/lo.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray serialised(const lo_message m, const char* path)
{
    size_t size = 0;
    void* data = lo_message_serialise(m, path, nullptr, &size);
    const QByteArray bytes(static_cast<const char*>(data), int(size));
    std::free(data);
    lo_message_free(m);
    return bytes;
}

QByteArray pgmAt(int position)
{
    const lo_message m = lo_message_new();
    lo_message_add_int32(m, position);
    return serialised(m, "/ovcg/pgm");
}

QByteArray pgmNamed(const char* name)
{
    const lo_message m = lo_message_new();
    lo_message_add_string(m, name);
    return serialised(m, "/ovcg/pgm");
}

QByteArray bundleOf(const QList<QByteArray>& elements)
{
    QByteArray b("#bundle\0", 8);
    b.append(QByteArray(8, '\0'));
    for (const QByteArray& e : elements) {
        const quint32 length = htonl(quint32(e.size()));
        b.append(reinterpret_cast<const char*>(&length), 4).append(e);
    }
    return b;
}

// Sends count datagrams (the packets in turn) from another thread, pausing
// 16 ms after every burst, while a 1 ms timer measures the longest turn of
// this thread's event loop. Returns that turn in ms.
double floodAndMeasure(quint16 port, const QList<QByteArray>& packets, int count, int burst)
{
    std::atomic<bool> done{false};
    std::thread flooder([port, &done, &packets, count, burst] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        int buffer = 4 << 20;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; i < count; ++i) {
            const QByteArray& packet = packets.at(i % packets.size());
            ::sendto(fd, packet.constData(), size_t(packet.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to);
            if (i % burst == burst - 1)
                ::usleep(burst == 1 ? 62000 : 9000);
        }
        ::close(fd);
        done = true;
    });
    double longest = 0;
    QElapsedTimer turn;
    turn.start();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longest = std::max(longest, turn.nsecsElapsed() / 1e6);
        turn.restart();
    });
    probe.start(1);
    QElapsedTimer clock;
    clock.start();
    while (!done || clock.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    flooder.join();
    return longest;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!OvBench::insidePrivateNetwork("bench_osc"))
        return 2;
    QCoreApplication app(argc, argv);
    OvErrorPresenter::install([](const QString&) {});
    constexpr int Items = 300;
    QJsonArray list;
    for (int i = 0; i < Items; ++i)
        list.append(OvTestPeer::record(QStringLiteral("CG %1").arg(i)));
    OvTestPeer peer;
    if (!peer.logInConsole(QStringLiteral("t"), list)) {
        std::fprintf(stderr, "bench_osc: the console did not log in\n");
        return 1;
    }
    OvConsoleCore core{OvSettings()};
    OvOscControl osc(core.commands(), core.feed());
    QString error;
    if (!osc.listen(QHostAddress(QHostAddress::LocalHost), 0, &error)) {
        std::fprintf(stderr, "bench_osc: %s\n", qPrintable(error));
        return 1;
    }
    QUdpSocket panel;

    // Latency: one publish command at a time, each for another item.
    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 1; i <= Items; ++i) {
        const int before = peer.countOf(QStringLiteral("updateCG"));
        clock.start();
        panel.writeDatagram(pgmAt(i), QHostAddress::LocalHost, osc.port());
        while (peer.countOf(QStringLiteral("updateCG")) == before && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("OSC packet to updateCG received by the server, %d commands: median %.2f ms, 90th %.2f ms, max %.2f ms\n",
                Items, ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());

    // Flood at the catalogue's bound: 10,000 packets that are no command (not
    // OSC, a wrong argument type, a name no item has), sent within a second
    // from another thread, while a 1 ms timer measures the longest turn.
    QList<cgItemData> bound;
    for (int i = 0; i < OvProtocol::MaxCgItems; ++i)
        bound.append({QUuid::createUuid(), 0, QStringLiteral("CG %1").arg(i), QPixmap()});
    OvCGListModel::instance()->resetCgList(bound);
    const QByteArray unknownName = pgmNamed("no item has this name");
    const int published = peer.countOf(QStringLiteral("updateCG"));
    const quint16 port = osc.port();
    const char junk[] = "/ovcg/pgm\0\0\0,f\0\0\x3f\x80\0\0";
    const double garbageTurn = floodAndMeasure(
        port, {QByteArray("garbage, not OSC"), QByteArray(junk, sizeof junk - 1), unknownName}, 10000, 100);
    std::printf("%d items; 10,000 garbage packets in about a second: %lld ignored, %d published, longest event-loop turn %.1f ms\n",
                OvCGListModel::instance()->count(), static_cast<long long>(osc.ignoredCount()), peer.countOf(QStringLiteral("updateCG")) - published,
                garbageTurn);

    // Bundles of next and of select by position, each as full as a datagram
    // gets (about 64 KB), about 1 MB a second for two seconds; then one plain
    // command, which must still be obeyed.
    QList<QByteArray> nexts;
    QList<QByteArray> selects;
    while (bundleOf(nexts).size() < 60000)
        nexts.append(serialised(lo_message_new(), "/ovcg/next"));
    for (int i = 0; bundleOf(selects).size() < 60000; ++i) {
        const lo_message m = lo_message_new();
        lo_message_add_int32(m, (i * 7919) % OvProtocol::MaxCgItems + 1);
        selects.append(serialised(m, "/ovcg/select"));
    }
    const qint64 ignoredBefore = osc.ignoredCount();
    const double bundleTurn = floodAndMeasure(port, {bundleOf(nexts), bundleOf(selects)}, 32, 1);
    const lo_message plain = lo_message_new();
    lo_message_add_string(plain, "CG 5");
    panel.writeDatagram(serialised(plain, "/ovcg/select"), QHostAddress::LocalHost, port);
    clock.start();
    while (OvCGListModel::instance()->currentCg()->name() != QLatin1String("CG 5") && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("%d items; 32 bundles of %d next or %d select (1 MB/s for 2 s): %lld messages ignored, longest event-loop "
                "turn %.1f ms; the plain command after them %s\n",
                OvCGListModel::instance()->count(), int(nexts.size()), int(selects.size()),
                static_cast<long long>(osc.ignoredCount() - ignoredBefore), bundleTurn,
                OvCGListModel::instance()->currentCg()->name() == QLatin1String("CG 5") ? "obeyed" : "NOT obeyed");
    return 0;
}
