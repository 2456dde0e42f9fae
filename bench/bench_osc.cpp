// OSC remote control: from a packet's arrival to the updateCG on the wire, and
// a flood of garbage packets against the event loop. Prints figures; never fails.

#include "cg/OvCGListModel.h"
#include "net/OvErrorPresenter.h"
#include "cg/cgItemData.h"
#include "net/OvOscControl.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"

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
        list.append(QJsonObject{{"guid", QUuid::createUuid().toString()}, {"name", QStringLiteral("CG %1").arg(i)},
                                {"status", 0}, {"imageBase64", ""}});
    OvTestPeer peer;
    if (!peer.logInConsole(QStringLiteral("t"), list)) {
        std::fprintf(stderr, "bench_osc: the console did not log in\n");
        return 1;
    }
    OvOscControl osc;
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
    std::atomic<bool> done{false};
    std::thread flooder([port, &done, &unknownName] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const char junk[] = "/ovcg/pgm\0\0\0,f\0\0\x3f\x80\0\0";
        const QByteArray packets[] = {QByteArray("garbage, not OSC"), QByteArray(junk, sizeof junk - 1), unknownName};
        for (int i = 0; i < 10000; ++i) {
            const QByteArray& packet = packets[i % 3];
            ::sendto(fd, packet.constData(), size_t(packet.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to);
            if (i % 100 == 99)
                ::usleep(9000);
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
    clock.start();
    while (!done || clock.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    flooder.join();
    std::printf("%d items; 10,000 garbage packets in about a second: %lld ignored, %d published, longest event-loop turn %.1f ms\n",
                OvCGListModel::instance()->count(), static_cast<long long>(osc.ignoredCount()), peer.countOf(QStringLiteral("updateCG")) - published,
                longest);
    return 0;
}
