// The remote API (WebSocket): a confirmed status from the server to a panel,
// a 100,000-item state to 1 and 16 panels, and 16 panels at the command rate,
// each with the longest turn of the console's event loop; what floods of
// unfinished handshakes and of connections without a token cost the GUI
// thread and the panels elsewhere; the largest message the console makes at
// its bounds; a picture changed while a panel lags. The panels and floods run
// on threads of their own, as other programs would. Prints figures; never fails.

#include "cg/OvCGListModel.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"
#include "cg/cgItemData.h"
#include "remote/OvApiClient.h"
#include "remote/OvApiServer.h"
#include "net/OvErrorPresenter.h"
#include "net/OvTransferServer.h"
#include "shell/OvConsoleCore.h"

#include "OvBenchSupport.h"
#include "OvTestPeer.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
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
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
    // What the panels received, all together: bytes of text, and the
    // catalogue's structural changes.
    std::atomic<qint64> bytesReceived{0};
    std::atomic<qint64> structureReceived{0};
    std::atomic<qint64> results{0};
    std::atomic<qint64> refused{0};
    std::atomic<int> commandsPerSecond{0};
    std::atomic<int> padding{0};  // bytes of filler in each command
    std::atomic<bool> quit{false};
    // While paused, nothing is read (the event loop does not run).
    std::atomic<bool> paused{false};
    // The picture version last told for the item of this guid (set before start).
    QString watch;
    std::atomic<double> picture{-1};

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
                             [socket] { socket->sendTextMessage(R"({"cmd":"auth","token":"bench-token-16ch"})"); });
            QObject::connect(socket, &QWebSocket::textMessageReceived, socket, [this](const QString& text) {
                const qint64 now = g_clock.nsecsElapsed();
                bytesReceived += text.size();
                if (text.startsWith(QLatin1String(R"({"type":"inserted")"))) {
                    ++structureReceived;
                    return;
                }
                // Slices are counted, not parsed: the panels must not be what
                // the figure measures.
                if (watch.isEmpty() && text.startsWith(QLatin1String(R"({"type":"items")"))) {
                    itemsReceived += text.count(QLatin1String(R"({"guid":)"));
                    return;
                }
                // Cheap look at the type first: 100,000 items arrive in slices.
                if (text.startsWith(QLatin1String(R"({"type":"item")"))) {
                    QMutexLocker lock(&m_mutex);
                    m_itemTimes.push_back(now);
                    return;
                }
                const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
                const QString type = message.value(QStringLiteral("type")).toString();
                if (!watch.isEmpty()) {
                    if (type == QLatin1String("picture") && message.value(QStringLiteral("guid")).toString() == watch)
                        picture = message.value(QStringLiteral("picture")).toDouble();
                    for (const QJsonValue item : message.value(QStringLiteral("items")).toArray())
                        if (item[QStringLiteral("guid")].toString() == watch)
                            picture = item[QStringLiteral("picture")].toDouble();
                }
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
        while (!quit) {
            if (paused)
                QThread::msleep(5);
            else
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
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


qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Connections from one loopback address on a thread of their own, with plain
// non-blocking sockets: either request heads that never end, sent a KB at a
// time at a given rate in all (0: as fast as the console takes them), or
// handshakes that never send a token, each held until the console closes it.
// A closed one connects again at once.
class Flood
{
public:
    enum Kind { EndlessHeads, SilentHandshakes };
    Flood(Kind kind, quint16 port, const char* from, int connections, qint64 bytesPerSecond = 0)
        : m_kind(kind), m_port(port), m_from(from), m_count(connections), m_rate(bytesPerSecond)
    {
        m_thread = std::thread([this] { run(); });
    }
    ~Flood()
    {
        m_stop = true;
        m_thread.join();
    }
    std::atomic<qint64> bytes{0};
    std::atomic<qint64> connects{0};
    std::atomic<qint64> upgraded{0};

private:
    struct Conn
    {
        int fd = -1;
        bool answered = false;
    };
    void open(Conn& c)
    {
        c = Conn();
        c.fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, m_from, &local.sin_addr);
        ::bind(c.fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(m_port);
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        if (::connect(c.fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            ::close(c.fd);
            c.fd = -1;
            return;
        }
        ++connects;
        const QByteArray head = m_kind == EndlessHeads
                                    ? QByteArray("GET / HTTP/1.1\r\nHost: x\r\n")
                                    : QByteArray("GET / HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        (void)::send(c.fd, head.constData(), size_t(head.size()), MSG_NOSIGNAL);
        fcntl(c.fd, F_SETFL, fcntl(c.fd, F_GETFL) | O_NONBLOCK);
    }
    void run()
    {
        std::vector<Conn> conns(static_cast<size_t>(m_count));
        const QByteArray filler = "X-Filler: " + QByteArray(m_rate > 0 ? 1000 : 4000, 'a') + "\r\n";
        char sink[4096];
        QElapsedTimer clock;
        clock.start();
        while (!m_stop) {
            const bool due = m_rate == 0 || bytes < m_rate * clock.nsecsElapsed() / 1000000000;
            std::vector<pollfd> fds;
            for (Conn& c : conns) {
                if (c.fd < 0)
                    open(c);
                fds.push_back({c.fd, short(POLLIN | (m_kind == EndlessHeads && due ? POLLOUT : 0)), 0});
            }
            if (::poll(fds.data(), fds.size(), due ? 50 : 1) <= 0)
                continue;
            for (size_t i = 0; i < conns.size(); ++i) {
                Conn& c = conns[i];
                bool closed = fds[i].revents & (POLLERR | POLLHUP);
                if (!closed && (fds[i].revents & POLLIN)) {
                    const ssize_t n = ::recv(c.fd, sink, sizeof sink, 0);
                    closed = n <= 0;
                    if (n > 0 && !c.answered && std::strncmp(sink, "HTTP/1.1 101", 12) == 0) {
                        c.answered = true;
                        ++upgraded;
                    }
                }
                if (!closed && (fds[i].revents & POLLOUT)
                    && (m_rate == 0 || bytes < m_rate * clock.nsecsElapsed() / 1000000000)) {
                    const ssize_t n = ::send(c.fd, filler.constData(), size_t(filler.size()), MSG_NOSIGNAL);
                    closed = n < 0 && errno != EAGAIN;
                    bytes += qMax<ssize_t>(0, n);
                }
                if (closed) {
                    ::close(c.fd);
                    c.fd = -1;
                }
            }
        }
        for (Conn& c : conns)
            if (c.fd >= 0)
                ::close(c.fd);
    }

    const Kind m_kind;
    const quint16 m_port;
    const char* const m_from;
    const int m_count;
    const qint64 m_rate;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Panels connecting one after the other from 127.0.0.1 with the right token
// while a flood runs: how many were let in, and how long each took.
void rightTokenConnects(quint16 port, int count, const char* during)
{
    int admitted = 0;
    QList<int> codes;
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        QWebSocket socket;
        bool in = false;
        bool closed = false;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&socket, &QWebSocket::connected, &socket,
                         [&socket] { socket.sendTextMessage(R"({"cmd":"auth","token":"bench-token-16ch"})"); });
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [&](const QString& text) {
            in = in || text.contains(QLatin1String(R"("type":"state")"));
        });
        QObject::connect(&socket, &QWebSocket::disconnected, &socket, [&] { closed = true; });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
        OvBench::waitFor([&] { return in || closed; }, 10000);
        if (in) {
            ++admitted;
            ms.push_back(clock.nsecsElapsed() / 1e6);
        } else {
            codes.append(closed ? int(socket.closeCode()) : -1);
        }
        socket.abort();
    }
    std::sort(ms.begin(), ms.end());
    QStringList refused;
    for (const int code : codes)
        refused.append(QString::number(code));
    std::printf("  %d of %d right-token panels from another address let in during %s (median %.1f ms, max %.1f ms)%s%s\n",
                admitted, count, during, ms.empty() ? 0.0 : ms[ms.size() / 2], ms.empty() ? 0.0 : ms.back(),
                codes.isEmpty() ? "" : "; refused with ", qPrintable(refused.join(QLatin1Char(' '))));
}

// The GUI thread's share of the CPU while the event loop runs for ms
// milliseconds on its own (no probe, no busy waiting: what it spends is the
// console's).
double busyWhile(int ms)
{
    const qint64 cpu = threadCpuNs();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return (threadCpuNs() - cpu) / 1e9 / (clock.nsecsElapsed() / 1e9);
}

void floods(quint16 port)
{
    std::printf("GUI thread with nothing to do, 1 s: %.1f %% busy\n", busyWhile(1000) * 100);
    // The heads at 2.7 MB/s in all for 20 s (a head that grows costs more
    // with every read, so the cost shows late), as fast as they go for 3 s;
    // then the loops.
    for (const qint64 rate : {qint64(2700000), qint64(0), qint64(-1)}) {
        const Flood::Kind kind = rate < 0 ? Flood::SilentHandshakes : Flood::EndlessHeads;
        {
            QElapsedTimer clock;
            clock.start();
            Flood flood(kind, port, "127.0.0.2", 64, qMax<qint64>(0, rate));
            // The last 3 s of it.
            if (rate > 0)
                busyWhile(17000);
            const double busy = busyWhile(3000);
            const double seconds = clock.elapsed() / 1000.0;
            if (kind == Flood::EndlessHeads)
                std::printf("64 connections sending request heads that never end (%s), %.0f s: %.1f MB/s taken, %.0f "
                            "connections a second, GUI thread %.1f %% busy in the last 3 s\n",
                            rate > 0 ? "2.7 MB/s" : "as fast as taken", seconds, flood.bytes / seconds / 1e6,
                            flood.connects / seconds, busy * 100);
            else
                std::printf("64 connection loops without a token, 3 s: %.0f handshakes a second, GUI thread %.1f %% "
                            "busy\n",
                            flood.upgraded / seconds, busy * 100);
            rightTokenConnects(port, 30, kind == Flood::EndlessHeads ? "the heads" : "the loops");
        }
        busyWhile(500);
    }
}

// The largest message the console makes at its bounds: 100,000 items and
// 10,000 cues, every name at its length bound and every character escaped
// (a control character is six bytes of JSON).
void largestMessage(quint16 port, OvRunningOrder* order)
{
    OvCGListModel* const model = OvCGListModel::instance();
    QList<cgItemData> items;
    for (int i = 0; i < 100000; ++i)
        items.append({QUuid::createUuid(), 1, QString(OvApiServer::MaxNameChars, QChar(1)), QPixmap()});
    model->resetCgList(items);
    for (int i = 0; i < OvRunningOrder::MaxCues; ++i)
        order->insert(i, QUuid(model->cgAt(i)->guid()));
    QWebSocket socket;
    qint64 largest = 0;
    qint64 largestState = 0;
    qint64 total = 0;
    int cues = 0;
    int listed = 0;
    QObject::connect(&socket, &QWebSocket::connected, &socket,
                     [&socket] { socket.sendTextMessage(R"({"cmd":"auth","token":"bench-token-16ch"})"); });
    QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [&](const QString& text) {
        const QByteArray bytes = text.toUtf8();
        total += bytes.size();
        const QJsonObject m = QJsonDocument::fromJson(bytes).object();
        (m.value(QStringLiteral("type")) == QLatin1String("state") ? largestState : largest) =
            qMax(m.value(QStringLiteral("type")) == QLatin1String("state") ? largestState : largest, qint64(bytes.size()));
        listed += m.value(QStringLiteral("items")).toArray().size();
        cues += m.value(QStringLiteral("cues")).toArray().size();
    });
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
    const bool whole = OvBench::waitFor([&] { return listed == 100000 && cues == OvRunningOrder::MaxCues; }, 120000);
    std::printf("100,000 items and 10,000 cues, names of %d escaped characters: %s; the state %.1f KB, the largest "
                "other message %.1f KB (a client's bound: 4,096 KB here, 8,192 KB in the module), %.1f MB in all\n",
                OvApiServer::MaxNameChars, whole ? "all delivered" : "NOT all delivered", largestState / 1024.0,
                largest / 1024.0, total / 1e6);
    order->clear();
}

// 90,000 items; the server adds one and changes item 85,000's picture in the
// same write while a panel does not read for 2 s: does the panel end with the
// new picture?
void laggingPicture(quint16 port, OvTestPeer& peer)
{
    OvCGListModel* const model = OvCGListModel::instance();
    QList<cgItemData> items;
    for (int i = 0; i < 90000; ++i)
        items.append({QUuid::createUuid(), 0, QStringLiteral("Lower third %1").arg(i), QPixmap()});
    model->resetCgList(items);
    QImage red(64, 36, QImage::Format_RGB32);
    red.fill(Qt::red);
    QImage blue = red;
    blue.fill(Qt::blue);
    const auto png = [](const QImage& image) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return QString::fromLatin1(bytes.toBase64());
    };
    const QString guid = model->cgAt(84999)->guid();
    peer.send(OvTestPeer::notifyCG(guid, 3, {{"imageBase64", png(red)}}));
    OvBench::waitFor([&] { return !model->cgAt(84999)->image().isNull(); }, 5000);
    Panels panel(port, 1);
    panel.watch = guid;
    panel.start();
    OvBench::waitFor([&] { return panel.itemsReceived >= 90000; }, 60000);
    const double before = panel.picture;
    panel.paused = true;
    OvBench::waitFor([] { return false; }, 200);
    peer.sendRaw(OvTestPeer::frameOf(OvTestPeer::notifyCG(guid, 6, OvTestPeer::record(QStringLiteral("new"))))
                 + OvTestPeer::frameOf(OvTestPeer::notifyCG(guid, 3, {{"imageBase64", png(blue)}})));
    OvBench::waitFor([] { return false; }, 2000);
    panel.paused = false;
    const bool changed = OvBench::waitFor([&] { return panel.picture != before; }, 10000);
    std::printf("90,000 items, a picture changed with a new item while a panel did not read for 2 s: the panel %s "
                "(version %.0f, then %.0f)\n",
                changed ? "has the new picture" : "kept the OLD picture", before, double(panel.picture));
    panel.quit = true;
    panel.wait();
}

}  // namespace

int main(int argc, char** argv)
{
    if (!OvBench::insidePrivateNetwork("bench_api"))
        return 2;
    // Pictures need the GUI module; no display is needed for them.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Parts by name (status, command, state, added, commands, floods, largest, picture); all without arguments.
    const QStringList parts = app.arguments().mid(1);
    const auto part = [&parts](const char* name) { return parts.isEmpty() || parts.contains(QLatin1String(name)); };
    OvErrorPresenter::install([](const QString&) {});
    g_clock.start();
    OvConsoleCore core{OvSettings()};
    OvApiServer api(core.commands(), core.feed());
    api.setToken(QStringLiteral("bench-token-16ch"));
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
    if (part("status")) {
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

    // A command from a panel to the updateCG the server receives: one pgm at
    // a time, each for another item.
    if (part("command")) {
        QWebSocket socket;
        bool in = false;
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [&in](const QString& text) {
            in = in || text.startsWith(QLatin1String(R"({"type":"state")"));
        });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(api.port())));
        OvBench::waitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000);
        socket.sendTextMessage(QStringLiteral(R"({"cmd":"auth","token":"bench-token-16ch"})"));
        OvBench::waitFor([&] { return in; }, 5000);
        std::vector<double> ms;
        QElapsedTimer clock;
        for (int i = 1; i <= Items; ++i) {
            const int before = peer.countOf(QStringLiteral("updateCG"));
            clock.start();
            socket.sendTextMessage(QStringLiteral(R"({"cmd":"pgm","item":%1})").arg(i));
            while (peer.countOf(QStringLiteral("updateCG")) == before && clock.elapsed() < 2000)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            ms.push_back(clock.nsecsElapsed() / 1e6);
            // Within the rate a client is allowed.
            OvBench::waitFor([] { return false; }, 1000 / OvApiClient::CommandsPerSecond + 2);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("API command to updateCG received by the server, %d commands: median %.2f ms, 90th %.2f ms, "
                    "max %.2f ms\n",
                    Items, ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
    }

    // The state of a catalogue at 100,000 items, to one panel and to sixteen.
    constexpr int Bound = 100000;
    bool twice = false;
    model->resetCgList(catalogue(Bound));
    if (part("state")) {
        deliverState(api.port(), 1, Bound);
        deliverState(api.port(), OvApiServer::MaxClients, Bound);
    }

    // One item added at the server to the catalogue of 100,000 that sixteen
    // panels hold: what each is sent, and the longest turn meanwhile.
    if (part("added")) {
        // Room for one more below the catalogue's bound.
        peer.send(OvTestPeer::notifyCG(model->cgAt(model->count() - 1)->guid(), 5, {}));
        OvBench::waitFor([&] { return model->count() == Bound - 1; }, 5000);
        Panels panels(api.port(), OvApiServer::MaxClients);
        panels.start();
        OvBench::waitFor([&] { return panels.itemsReceived >= qint64(Bound - 1) * OvApiServer::MaxClients; }, 120000);
        OvBench::waitFor([] { return false; }, 300);
        const qint64 before = panels.bytesReceived;
        OvBench::TurnProbe probe;
        probe.start();
        peer.send(OvTestPeer::notifyCG(model->cgAt(0)->guid(), 6, OvTestPeer::record(QStringLiteral("Breaking"))));
        const bool told = OvBench::waitFor([&] { return panels.structureReceived >= OvApiServer::MaxClients; }, 10000);
        OvBench::waitFor([] { return false; }, 300);
        probe.stop();
        std::printf("One item added to %d with %d panels: %s, %.1f KB sent a panel, longest event-loop turn %.1f ms "
                    "(%.1f ms of it on the CPU)\n",
                    Bound, OvApiServer::MaxClients, told ? "told as an insertion" : "NOT told as an insertion",
                    (panels.bytesReceived - before) / 1024.0 / OvApiServer::MaxClients, probe.longestMs(),
                    probe.longestCpuMs());
        panels.quit = true;
        panels.wait();
    }

    // Sixteen panels at the command rate for three seconds, then at twice it,
    // then at it with every command as large as a message may be.
    for (const int padding : {0, 0, 60000}) {
        if (!part("commands"))
            break;
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
    if (part("floods"))
        floods(api.port());
    if (part("largest"))
        largestMessage(api.port(), core.order());
    if (part("picture"))
        laggingPicture(api.port(), peer);
    OvTransferServer::instance()->disconnectFromServer();
    return 0;
}
