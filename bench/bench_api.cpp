// The remote API (WebSocket): a confirmed status from the server to a panel,
// a 100,000-item state to 1 and 16 panels, and 16 panels at the command rate,
// each with the longest turn of the console's event loop. The panels run on
// a thread of their own, as another program would. Prints figures; never fails.

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "cg/cgItemData.h"
#include "net/OvApiServer.h"
#include "net/OvErrorPresenter.h"
#include "net/OvTransferServer.h"

#include "OvBenchSupport.h"
#include "OvTestPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <QWebSocket>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

QElapsedTimer g_clock;

// Panels on a thread of their own: they authenticate, count the catalogue
// items they receive, note when item messages arrive, and send commands at a
// given rate while asked to.
class Panels : public QThread
{
public:
    Panels(quint16 port, int count) : m_port(port), m_count(count) {}

    std::atomic<int> authenticated{0};
    std::atomic<qint64> itemsReceived{0};
    std::atomic<qint64> results{0};
    std::atomic<qint64> refused{0};
    std::atomic<int> commandsPerSecond{0};
    std::atomic<int> padding{0};  // bytes of filler in each command
    std::atomic<bool> quit{false};

    // Arrival times (ns on g_clock) of item messages, in order.
    std::vector<qint64> itemTimes()
    {
        QMutexLocker lock(&m_mutex);
        return m_itemTimes;
    }

protected:
    void run() override
    {
        std::vector<QWebSocket*> sockets;
        for (int i = 0; i < m_count; ++i) {
            auto* socket = new QWebSocket;
            sockets.push_back(socket);
            QObject::connect(socket, &QWebSocket::connected, socket,
                             [socket] { socket->sendTextMessage(R"({"cmd":"auth","token":"bench"})"); });
            QObject::connect(socket, &QWebSocket::textMessageReceived, socket, [this](const QString& text) {
                const qint64 now = g_clock.nsecsElapsed();
                // Cheap look at the type first: 100,000 items arrive in slices.
                if (text.startsWith(QLatin1String(R"({"type":"item")"))) {
                    QMutexLocker lock(&m_mutex);
                    m_itemTimes.push_back(now);
                    return;
                }
                const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
                const QString type = message.value(QStringLiteral("type")).toString();
                if (type == QLatin1String("state")) {
                    ++authenticated;
                    itemsReceived += message.value(QStringLiteral("items")).toArray().size();
                } else if (type == QLatin1String("items")) {
                    itemsReceived += message.value(QStringLiteral("items")).toArray().size();
                } else if (type == QLatin1String("result")) {
                    ++results;
                    if (message.value(QStringLiteral("error")).toString() == QLatin1String("rate limited"))
                        ++refused;
                }
            });
            socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(m_port)));
        }
        QTimer commands;
        int sent = 0;
        QElapsedTimer since;
        since.start();
        QObject::connect(&commands, &QTimer::timeout, [&] {
            // Each panel keeps to its rate, by the clock rather than the timer's ticks.
            const int rate = commandsPerSecond;
            if (rate == 0) {
                since.restart();
                sent = 0;
                return;
            }
            const int due = int(since.elapsed() * rate / 1000);
            const QString filler(padding, QLatin1Char('x'));
            for (; sent < due; ++sent)
                for (QWebSocket* socket : sockets)
                    socket->sendTextMessage(QStringLiteral(R"({"cmd":"select","item":%1,"id":%2,"x":"%3"})")
                                                .arg(sent % 1000 + 1)
                                                .arg(sent)
                                                .arg(filler));
        });
        commands.start(2);
        while (!quit)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (QWebSocket* socket : sockets)
            delete socket;
    }

private:
    quint16 m_port;
    int m_count;
    QMutex m_mutex;
    std::vector<qint64> m_itemTimes;
};

QList<cgItemData> catalogue(int count)
{
    QList<cgItemData> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i)
        items.append({QUuid::createUuid(), 0, QStringLiteral("Lower third %1").arg(i), QPixmap()});
    return items;
}

// Waits until the panels hold total items each, measuring the longest turn.
void deliverState(quint16 port, int panels, int total)
{
    OvBench::TurnProbe probe;
    probe.start();
    QElapsedTimer clock;
    clock.start();
    Panels threads(port, panels);
    threads.start();
    const bool whole = OvBench::waitFor([&] { return threads.itemsReceived >= qint64(total) * panels; }, 120000);
    probe.stop();
    std::printf("%d items to %d panel(s): %s in %lld ms, longest event-loop turn %.1f ms (%.1f ms of it on the CPU)\n",
                total, panels, whole ? "all delivered" : "NOT all delivered", static_cast<long long>(clock.elapsed()),
                probe.longestMs(), probe.longestCpuMs());
    threads.quit = true;
    threads.wait();
}

}  // namespace

int main(int argc, char** argv)
{
    if (!OvBench::insidePrivateNetwork("bench_api"))
        return 2;
    QCoreApplication app(argc, argv);
    OvErrorPresenter::install([](const QString&) {});
    g_clock.start();
    OvApiServer api;
    api.setToken(QStringLiteral("bench"));
    QString error;
    if (!api.listen(QHostAddress(QHostAddress::LocalHost), 0, &error)) {
        std::fprintf(stderr, "bench_api: %s\n", qPrintable(error));
        return 1;
    }
    OvCGListModel* const model = OvCGListModel::instance();

    // A status the server confirms, from the model applying it to a panel
    // receiving it: 300 changes, one at a time.
    constexpr int Items = 300;
    QJsonArray list;
    for (int i = 0; i < Items; ++i)
        list.append(OvTestPeer::record(QStringLiteral("CG %1").arg(i)));
    OvTestPeer peer;
    if (!peer.logInConsole(QStringLiteral("t"), list)) {
        std::fprintf(stderr, "bench_api: the console did not log in\n");
        return 1;
    }
    {
        Panels panel(api.port(), 1);
        panel.start();
        OvBench::waitFor([&] { return panel.authenticated == 1; }, 5000);
        qint64 applied = 0;
        const QMetaObject::Connection watch = QObject::connect(
            model, &OvCGListModel::SingalCGUpdate, [&applied] { applied = g_clock.nsecsElapsed(); });
        std::vector<double> ms;
        for (int i = 0; i < Items; ++i) {
            const size_t before = panel.itemTimes().size();
            peer.send(OvTestPeer::notifyCG(list.at(i).toObject().value("guid").toString(), 1, {{"status", 1}}));
            if (!OvBench::waitFor([&] { return panel.itemTimes().size() > before; }, 2000))
                continue;
            ms.push_back((panel.itemTimes().at(before) - applied) / 1e6);
        }
        QObject::disconnect(watch);
        std::sort(ms.begin(), ms.end());
        if (!ms.empty())
            std::printf("Confirmed status to a panel, %d changes: median %.2f ms, 90th %.2f ms, max %.2f ms\n",
                        int(ms.size()), ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
        panel.quit = true;
        panel.wait();
    }

    // The state of a catalogue at 100,000 items, to one panel and to sixteen.
    constexpr int Bound = 100000;
    bool twice = false;
    model->resetCgList(catalogue(Bound));
    deliverState(api.port(), 1, Bound);
    deliverState(api.port(), OvApiServer::MaxClients, Bound);

    // Sixteen panels at the command rate for three seconds, then at twice it,
    // then at it with every command as large as a message may be.
    for (const int padding : {0, 0, 60000}) {
        const int rate = padding == 0 && std::exchange(twice, true) ? 200 : 100;
        Panels panels(api.port(), OvApiServer::MaxClients);
        panels.padding = padding;
        panels.start();
        OvBench::waitFor([&] { return panels.itemsReceived >= qint64(Bound) * OvApiServer::MaxClients; }, 120000);
        OvBench::TurnProbe probe;
        probe.start();
        panels.commandsPerSecond = rate;
        QElapsedTimer clock;
        clock.start();
        OvBench::waitFor([&] { return clock.elapsed() >= 3000; }, 4000);
        panels.commandsPerSecond = 0;
        probe.stop();
        OvBench::waitFor([] { return false; }, 300);
        std::printf("%d panels at %d commands of %d bytes a second each for 3 s: %lld answered, %lld refused for the "
                    "rate, longest event-loop turn %.1f ms (%.1f ms of it on the CPU)\n",
                    OvApiServer::MaxClients, rate, padding + 50, static_cast<long long>(panels.results.load()),
                    static_cast<long long>(panels.refused.load()), probe.longestMs(), probe.longestCpuMs());
        panels.quit = true;
        panels.wait();
    }
    OvTransferServer::instance()->disconnectFromServer();
    return 0;
}
