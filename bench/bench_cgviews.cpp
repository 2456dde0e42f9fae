// The console's views under load: the CG tile grid with 1,000, 5,000 and 10,000
// tiles (load to laid out, relayout at a new width, one arrow-key move, one
// status notification repainted, memory per tile), the operation log list
// (cost of single appends as the list grows, memory per entry) and a burst of
// 20,000 server notifications through the whole console to the log list.
// Every case runs in a child process of its own so that peak memory figures
// do not mix. Offscreen platform; the application style sheet is loaded.
//
// Usage: bench_cgviews              (runs every case, prints a table)
//        bench_cgviews tiles COUNT | log | burst

#include "cg/OvCGListItemWidget.h"
#include "cg/OvCGListModel.h"
#include "cg/OvCGScrollareaWidget.h"
#include "cg/OvCGShowWidget.h"
#include "cg/OvSubCGItem.h"
#include "cg/cgItemData.h"
#include "log/OvCGMessage.h"
#include "log/OvCGOperationLogListWidget.h"
#include "net/OvTransferServer.h"
#include "shell/OvCGVestrel.h"
#include "shortcut/OvShortcutKey.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTcpServer>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

long statusKb(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void loadStyle()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& path : {dir + QStringLiteral("/qss/default.qss"), dir + QStringLiteral("/../bin/qss/default.qss")}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
            return;
        }
    }
    std::fprintf(stderr, "bench_cgviews: default.qss not found, running unstyled\n");
}

// Runs the event loop until nothing is left to do (paint included).
void settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

QList<cgItemData> records(int count)
{
    std::vector<QPixmap> pictures;
    for (int i = 0; i < 64; ++i) {
        QPixmap pixmap(160, 90);
        pixmap.fill(QColor::fromHsv(i * 37 % 360, 180, 200));
        QPainter painter(&pixmap);
        painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("CG %1").arg(i));
        pictures.push_back(pixmap);
    }
    QList<cgItemData> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        cgItemData data;
        data.guid = QUuid::createUuid();
        data.name = QStringLiteral("CG item %1").arg(i);
        data.image = pictures[size_t(i % 64)];  // shared: the figures are the tiles', not the pictures'
        list.append(data);
    }
    return list;
}

int runTiles(int count)
{
    OvCGMessage::instance();
    OvCGListModel* const model = OvCGListModel::instance();
    OvCGShowWidget show(nullptr);
    show.resize(1240, 760);
    show.show();
    emit OvTransferServer::instance()->signalConnect(true);
    settle();
    OvCGScrollareaWidget* const grid = show.grid();
    const QList<cgItemData> list = records(count);
    settle();

    const long baseKb = statusKb("VmRSS");
    resetPeak();
    double t = nowMs();
    const double cpu0 = cpuMs();
    model->resetCgList(list);
    const double insertMs = nowMs() - t;
    settle();
    const double loadMs = nowMs() - t;
    const double loadCpuMs = cpuMs() - cpu0;
    if (qEnvironmentVariableIsSet("OV_BENCH_PHASES"))  // where a load's time goes
        std::fprintf(stderr, "inserts %.0f ms, layout and paint %.0f ms\n", insertMs, loadMs - insertMs);
    const long peakKb = statusKb("VmHWM");
    const bool laidOut = grid->tileCount() == count && grid->tileAt(count - 1)->y() > grid->tileAt(0)->y();

    // Relayout at a new width (one column fewer).
    t = nowMs();
    double c = cpuMs();
    show.resize(1040, 760);
    settle();
    const double relayoutMs = nowMs() - t;
    const double relayoutCpu = cpuMs() - c;

    // One arrow key in the middle of the catalogue.
    model->setCurrentCg(model->cgAt(count / 2));
    settle();
    if (!OvShortcutKey::instance().isEnabled())
        OvShortcutKey::instance().toggleShortcuts();
    t = nowMs();
    c = cpuMs();
    OvShortcutKey::instance().activate(QKeySequence(Qt::Key_Right));
    settle();
    const double arrowMs = nowMs() - t;
    const double arrowCpu = cpuMs() - c;
    const bool moved = model->indexOfCg(model->currentCg()) == count / 2 + 1;

    // One status notification from the server, on a tile in view.
    OvSubCGItem* const item = model->currentCg();
    operatorInfo info{QStringLiteral("{op}"), QStringLiteral("10.0.0.9:1"), QStringLiteral("Zhang"), QString()};
    t = nowMs();
    c = cpuMs();
    item->setStatus(1, info);
    settle();
    const double statusMs = nowMs() - t;
    const double statusCpu = cpuMs() - c;

    std::printf("tiles %d %.0f/%.0f %.1f/%.1f %.1f/%.1f %.1f/%.1f %.1f %d\n", count, loadMs, loadCpuMs, relayoutMs,
                relayoutCpu, arrowMs, arrowCpu, statusMs, statusCpu, double(peakKb - baseKb) / count,
                int(laidOut && moved));
    return 0;
}

int runLog()
{
    OvCGMessage::instance();
    OvCGShowWidget show(nullptr);
    show.resize(1240, 760);
    show.show();
    settle();
    OvCGOperationLogListWidget* const list = show.logList();
    list->clear();
    auto add = [list](int i) {
        list->addLogEntry(OperationMessage, QStringLiteral("2026-12-07 16:00"), QStringLiteral("Zhang"),
                          QStringLiteral("调整了\"CG item %1\"的位置 从\"%2\"至\"%3\"").arg(i).arg(i % 97).arg(i % 13));
    };
    const long baseKb = statusKb("VmRSS");
    resetPeak();
    // Cost of one append as a message arrives on its own: the append plus one
    // turn of the event loop (layout, scroll to the newest, paint). Median of 9.
    std::vector<double> figures;
    int n = 0;
    for (const int target : {100, 1000, 10000}) {
        while (n < target - 5)
            add(n++);
        settle();
        std::vector<double> samples;
        for (int k = 0; k < 9; ++k) {
            const double t = nowMs();
            add(n++);
            settle();
            samples.push_back(nowMs() - t);
        }
        std::sort(samples.begin(), samples.end());
        figures.push_back(samples[4]);
    }
    const long peakKb = statusKb("VmHWM");
    // A burst appended in one turn, and past the cap.
    double t = nowMs();
    for (int i = 0; i < 10000; ++i)
        add(n++);
    settle();
    const double burstMs = nowMs() - t;
    std::printf("log %.2f %.2f %.2f %.2f %.0f %d\n", figures[0], figures[1], figures[2],
                double(peakKb - baseKb) * 1024.0 / list->count(), burstMs, list->count());
    return 0;
}

int runBurst()
{
#ifndef OV_SIM_BIN
    std::printf("burst - - 0\n");
    return 0;
#else
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
    }
    QProcess sim;
    sim.setStandardOutputFile(QProcess::nullDevice());
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(QStringLiteral(OV_SIM_BIN), {"--port", QString::number(port), "--listen", "127.0.0.1", "--items",
                                           "50", "--discovery-port", "0"});
    if (!sim.waitForStarted(5000))
        return 1;
    QThread::msleep(500);
    OvCGVestrel window;
    OvCGListModel* const model = OvCGListModel::instance();
    OvTransferServer::instance()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("580317"), port);
    QElapsedTimer wait;
    wait.start();
    while (model->count() != 50 && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    int messages = 0;
    QObject::connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, [&messages] { ++messages; });
    constexpr int total = 20000;
    QByteArray script;
    for (int i = 0; i < total; ++i)
        script += QStringLiteral("status %1 %2\n").arg(i % 50).arg(i % 3).toLatin1();
    const double t = nowMs();
    sim.write(script);
    wait.restart();
    while (messages < total && wait.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double burstMs = nowMs() - t;
    std::printf("burst %.0f %d %d\n", burstMs, messages, window.showWidget()->logList()->count());
    OvTransferServer::instance()->disconnectFromServer();
    sim.write("quit\n");
    sim.waitForFinished(3000);
    return 0;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    loadStyle();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 2) {
        if (args.at(1) == QLatin1String("tiles") && args.size() == 3)
            return runTiles(args.at(2).toInt());
        if (args.at(1) == QLatin1String("log"))
            return runLog();
        if (args.at(1) == QLatin1String("burst"))
            return runBurst();
        std::fprintf(stderr, "usage: bench_cgviews [tiles COUNT | log | burst]\n");
        return 2;
    }

    QTextStream out(stdout);
    auto child = [](const QStringList& a) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), a);
        if (!p.waitForFinished(600000) || p.exitCode() != 0)
            return QStringList();
        return QString::fromLatin1(p.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    };
    out << "CG tile grid, 160x90 thumbnails, style sheet applied, one process per case; ms as wall/CPU\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
               .arg("tiles", 6).arg("load", 11).arg("relayout", 11).arg("arrow", 9).arg("status", 9).arg("KB/tile", 8);
    out.flush();
    for (const int count : {1000, 5000, 10000}) {
        const QStringList f = child({QStringLiteral("tiles"), QString::number(count)});
        if (f.size() < 8) {
            out << count << ": failed\n";
            continue;
        }
        out << QStringLiteral("%1 %2 %3 %4 %5 %6%7\n")
                   .arg(f.at(1), 6).arg(f.at(2), 11).arg(f.at(3), 11).arg(f.at(4), 9).arg(f.at(5), 9).arg(f.at(6), 8)
                   .arg(f.at(7) == QLatin1String("1") ? QString() : QStringLiteral("  (not laid out!)"));
        out.flush();
    }
    const QStringList l = child({QStringLiteral("log")});
    if (l.size() >= 7) {
        out << "\nOperation log list: one append plus its turn of the event loop (median of 9, ms)\n";
        out << QStringLiteral("100th %1   1,000th %2   10,000th %3   memory %4 B/entry   10,000 more in one turn %5 ms "
                              "(kept: %6)\n")
                   .arg(l.at(1), l.at(2), l.at(3), l.at(4), l.at(5), l.at(6));
    }
    out.flush();
    const QStringList b = child({QStringLiteral("burst")});
    if (b.size() >= 4)
        out << QStringLiteral("\nBurst of 20,000 status notifications, simulator to log list: %1 ms (%2 messages, "
                              "list keeps %3)\n")
                   .arg(b.at(1), b.at(2), b.at(3));
    out << "load: resetCgList until the tiles are laid out and painted; relayout: a narrower window;\n"
           "arrow: Right on the middle tile until repainted; status: a server status change on the current tile.\n"
           "KB/tile: peak resident growth during the load, divided by the tile count (thumbnails shared).\n";
    return 0;
}
