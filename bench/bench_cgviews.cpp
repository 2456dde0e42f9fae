// The console's views under load: the CG tile grid with 1,000, 10,000 and
// 100,000 items (load to painted, replace, empty, relayout at a new width, one
// arrow-key move, scroll steps, one status notification repainted, the longest
// stall of the event loop, memory per item), the log pane's divider dragged
// over a full log of long entries, the operation log list
// (cost of single appends as the list grows, memory per entry) and a burst of
// 20,000 server notifications through the whole console to the log list.
// Every case runs in a child process of its own so that peak memory figures
// do not mix. Offscreen platform; the application style sheet is loaded.
//
// Usage: bench_cgviews              (runs every case, prints a table)
//        bench_cgviews tiles COUNT | log | divider | burst

#include "cg/OvCGListItemWidget.h"
#include "cg/OvCGListModel.h"
#include "cg/OvCGScrollareaWidget.h"
#include "cg/OvCGSearchField.h"
#include "cg/OvCGShowWidget.h"
#include "cg/OvSearchFilter.h"
#include "cg/OvSubCGItem.h"
#include "cg/cgItemData.h"
#include "log/OvCGMessage.h"
#include "log/OvCGOperationLogListWidget.h"
#include "net/OvTransferServer.h"
#include "shell/OvCGVestrel.h"
#include "shortcut/OvShortcutKey.h"
#include "OvBenchSupport.h"
#include "OvTestPeer.h"
#include "shell/OvConsoleCore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QSplitter>
#include <QTextStream>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <vector>

using OvBench::cpuMs;
using OvBench::resetPeak;
using OvBench::statusKb;

namespace {

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

// Runs the event loop until nothing is left to do (paint included); returns
// the longest single turn, the longest the operator waited for the screen.
double settleStall()
{
    double longest = 0;
    for (int i = 0; i < 4; ++i) {
        const double t = nowMs();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        longest = std::max(longest, nowMs() - t);
    }
    return longest;
}

int runTiles(int count)
{
    OvCGMessage::instance();
    OvCGListModel* const model = OvCGListModel::instance();
    OvConsoleCore core{OvSettings()};
    OvCGShowWidget show(core.filter(), core.order());
    show.resize(1240, 760);
    show.show();
    emit OvTransferServer::instance()->signalConnect(true);
    settle();
    OvCGScrollareaWidget* const grid = show.grid();
    const QList<cgItemData> list = records(count);
    const QList<cgItemData> other = records(count);
    settle();

    // List received to tiles painted. The stall is the longest time the event
    // loop did not turn: the synchronous load, or any one turn after it.
    const long baseKb = statusKb("VmRSS");
    resetPeak();
    double t = nowMs();
    const double cpu0 = cpuMs();
    model->resetCgList(list);
    const double insertMs = nowMs() - t;
    double stall = std::max(insertMs, settleStall());
    const double loadMs = nowMs() - t;
    const double loadCpuMs = cpuMs() - cpu0;
    const long peakKb = statusKb("VmHWM");
    const bool laidOut = grid->tileAt(0) && grid->tileCount() < 400 && model->count() == count;

    // The server answers the list again: replaced by as many others.
    t = nowMs();
    model->resetCgList(other);
    double replaceStall = nowMs() - t;
    replaceStall = std::max(replaceStall, settleStall());
    const double replaceMs = nowMs() - t;

    // One status notification from the server, on a tile in view.
    model->setCurrentCg(model->cgAt(count / 2));
    settle();
    OvSubCGItem* const item = model->currentCg();
    operatorInfo info{QStringLiteral("{op}"), QStringLiteral("10.0.0.9:1"), QStringLiteral("Zhang"), QString()};
    t = nowMs();
    item->setStatus(1, info);
    settle();
    const double statusMs = nowMs() - t;

    // One arrow key in the middle of the catalogue.
    if (!OvShortcutKey::instance().isEnabled())
        OvShortcutKey::instance().toggleShortcuts();
    t = nowMs();
    OvShortcutKey::instance().activate(QKeySequence(Qt::Key_Down));
    settle();
    const double arrowMs = nowMs() - t;
    const bool moved = model->indexOfCg(model->currentCg()) == count / 2 + grid->columns();

    // One wheel notch's worth of scrolling, past the band of bound tiles.
    double scrollMs = 0;
    for (int k = 0; k < 10; ++k) {
        t = nowMs();
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->value() + 60);
        settle();
        scrollMs = std::max(scrollMs, nowMs() - t);
    }

    // Relayout at a new width (one column fewer).
    t = nowMs();
    show.resize(1040, 760);
    settle();
    const double relayoutMs = nowMs() - t;

    // The connection ends: the catalogue is emptied.
    t = nowMs();
    model->clearCg();
    double emptyStall = nowMs() - t;
    emptyStall = std::max(emptyStall, settleStall());
    const double emptyMs = nowMs() - t;
    stall = std::max({stall, replaceStall, emptyStall});

    std::printf("tiles %d %.0f/%.0f %.0f %.0f %.1f %.1f %.1f %.1f %.0f %.2f %d\n", count, loadMs, loadCpuMs, replaceMs,
                emptyMs, relayoutMs, arrowMs, scrollMs, statusMs, stall, double(peakKb - baseKb) / count,
                int(laidOut && moved));
    return 0;
}

// The show widget on screen, its operation log empty.
OvCGOperationLogListWidget* emptyLog(OvCGShowWidget& show)
{
    OvCGMessage::instance();
    show.resize(1240, 760);
    show.show();
    settle();
    OvCGOperationLogListWidget* const list = show.logList();
    list->clear();
    return list;
}

// Dragging the log pane's divider with a full log of long entries: the
// longest step of twenty 20-pixel steps, ms.
int runDivider()
{
    OvConsoleCore core{OvSettings()};
    OvCGShowWidget show(core.filter(), core.order());
    OvCGOperationLogListWidget* const list = emptyLog(show);
    const QString text = QString(QStringLiteral("调整了CG的位置 from one row to another, ")).repeated(8).left(290);
    for (int i = 0; i < OvCGOperationLogListWidget::MaxEntries; ++i)
        list->addLogEntry(OperationMessage, QStringLiteral("2026-12-07 16:00"), QStringLiteral("Zhang"),
                          text + QString::number(i));
    settle();
    auto* const splitter = show.findChild<QSplitter*>();
    if (!splitter)
        return 1;
    double longest = 0;
    double total = 0;
    for (int k = 0; k < 20; ++k) {
        QList<int> sizes = splitter->sizes();
        const int step = k < 10 ? -20 : 20;
        sizes[0] += step;
        sizes[1] -= step;
        const double t = nowMs();
        splitter->setSizes(sizes);
        emit splitter->splitterMoved(sizes[0], 1);
        settle();
        const double ms = nowMs() - t;
        longest = std::max(longest, ms);
        total += ms;
    }
    std::printf("divider %.1f %.1f %d\n", longest, total / 20, list->count());
    return 0;
}

int runLog()
{
    OvConsoleCore core{OvSettings()};
    OvCGShowWidget show(core.filter(), core.order());
    OvCGOperationLogListWidget* const list = emptyLog(show);
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
    // 50 items and 20,000 status changes framed beforehand and written in one
    // go: what is measured is the console, not the sender.
    OvConsoleCore core{OvSettings()};
    OvCGVestrel window(core);
    QJsonArray list;
    QStringList guids;
    for (int i = 0; i < 50; ++i) {
        guids.append(QUuid::createUuid().toString());
        list.append(QJsonObject{{"guid", guids.last()}, {"name", QStringLiteral("CG %1").arg(i)}, {"status", 0},
                                {"imageBase64", ""}});
    }
    OvTestPeer peer;
    if (!peer.logInConsole(QStringLiteral("t"), list)) {
        std::printf("burst - - 0\n");
        return 0;
    }
    settle();
    int messages = 0;
    QObject::connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, [&messages] { ++messages; });
    constexpr int total = 20000;
    QByteArray frames;
    for (int i = 0; i < total; ++i)
        frames += OvTestPeer::frameOf(OvTestPeer::notifyCG(guids.at(i % 50), 1, {{"status", i % 3}}));
    double longest = 0;
    QElapsedTimer turn;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longest = std::max(longest, turn.nsecsElapsed() / 1e6);
        turn.restart();
    });
    probe.start(1);
    turn.start();
    const double t = nowMs();
    peer.sendRaw(frames);
    QElapsedTimer wait;
    wait.start();
    while (messages < total && wait.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    settle();
    const double burstMs = nowMs() - t;
    probe.stop();
    std::printf("burst %.0f %d %d %.1f\n", burstMs, messages, window.showWidget()->logList()->count(), longest);
    OvTransferServer::instance()->disconnectFromServer();
    return 0;
}

}  // namespace

// Typing into the search field, a key at a time, then deleting back: the
// longest and the mean time from a key to the repainted grid.
int runSearch(int count)
{
    OvCGMessage::instance();
    OvConsoleCore core{OvSettings()};
    OvCGShowWidget show(core.filter(), core.order());
    show.resize(1240, 760);
    show.show();
    emit OvTransferServer::instance()->signalConnect(true);
    OvCGListModel::instance()->resetCgList(records(count));
    settle();
    const QString typed = QStringLiteral("Item 12");
    QVector<double> times;
    auto key = [&](const QString& text) {
        const double t = nowMs();
        show.searchField()->setText(text);
        settleStall();
        times.append(nowMs() - t);
    };
    for (int i = 1; i <= typed.size(); ++i)
        key(typed.left(i));
    const int matches = core.filter()->shownCount();
    for (int i = typed.size() - 1; i >= 0; --i)
        key(typed.left(i));
    const double longest = *std::max_element(times.cbegin(), times.cend());
    const double mean = std::accumulate(times.cbegin(), times.cend(), 0.0) / times.size();
    std::printf("search %d %.1f %.1f %d\n", count, longest, mean, matches);
    return 0;
}

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
        if (args.at(1) == QLatin1String("search") && args.size() == 3)
            return runSearch(args.at(2).toInt());
        if (args.at(1) == QLatin1String("log"))
            return runLog();
        if (args.at(1) == QLatin1String("divider"))
            return runDivider();
        if (args.at(1) == QLatin1String("burst"))
            return OvBench::insidePrivateNetwork("bench_cgviews burst") ? runBurst() : 2;
        std::fprintf(stderr, "usage: bench_cgviews [tiles COUNT | search COUNT | log | divider | burst]\n");
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
    out << "CG tile grid, 160x90 thumbnails, style sheet applied, one process per case; ms (load as wall/CPU)\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10\n")
               .arg("items", 7).arg("load", 10).arg("replace", 8).arg("empty", 6).arg("relayout", 9).arg("arrow", 6)
               .arg("scroll", 7).arg("status", 7).arg("stall", 6).arg("KB/item", 8);
    out.flush();
    for (const int count : {1000, 10000, 100000}) {
        const QStringList f = child({QStringLiteral("tiles"), QString::number(count)});
        if (f.size() < 12) {
            out << count << ": failed\n";
            continue;
        }
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10%11\n")
                   .arg(f.at(1), 7).arg(f.at(2), 10).arg(f.at(3), 8).arg(f.at(4), 6).arg(f.at(5), 9).arg(f.at(6), 6)
                   .arg(f.at(7), 7).arg(f.at(8), 7).arg(f.at(9), 6).arg(f.at(10), 8)
                   .arg(f.at(11) == QLatin1String("1") ? QString() : QStringLiteral("  (not shown right!)"));
        out.flush();
    }
    out << "\nSearch field, typing \"Item 12\" a key at a time and deleting it again: key to repainted grid, ms\n";
    for (const int count : {5000, 100000}) {
        const QStringList s = child({QStringLiteral("search"), QString::number(count)});
        if (s.size() >= 5)
            out << QStringLiteral("%1 items: longest %2, mean %3 (%4 matches)\n").arg(s.at(1), s.at(2), s.at(3), s.at(4));
    }
    const QStringList d = child({QStringLiteral("divider")});
    if (d.size() >= 4)
        out << QStringLiteral("\nLog pane divider, %1 entries of 300 characters, 20-pixel steps: longest %2 ms, mean %3 ms\n")
                   .arg(d.at(3), d.at(1), d.at(2));
    const QStringList l = child({QStringLiteral("log")});
    if (l.size() >= 7) {
        out << "\nOperation log list: one append plus its turn of the event loop (median of 9, ms)\n";
        out << QStringLiteral("100th %1   1,000th %2   10,000th %3   memory %4 B/entry   10,000 more in one turn %5 ms "
                              "(kept: %6)\n")
                   .arg(l.at(1), l.at(2), l.at(3), l.at(4), l.at(5), l.at(6));
    }
    out.flush();
    const QStringList b = child({QStringLiteral("burst")});
    if (b.size() >= 5)
        out << QStringLiteral("\nBurst of 20,000 status notifications written in one go, to the log file, the log "
                              "list, the notice and the tiles: %1 ms (%2 messages, list keeps %3, longest event-loop "
                              "turn %4 ms)\n")
                   .arg(b.at(1), b.at(2), b.at(3), b.at(4));
    out << "load: resetCgList until the tiles are painted; replace: the list received again with as many items;\n"
           "empty: clearCg (connection lost) until painted; relayout: a narrower window; arrow: Down on the middle\n"
           "item until repainted; scroll: the longest of ten 60-pixel scroll steps; status: a server status change on\n"
           "the current tile; stall: the longest time the event loop did not turn during load, replace and empty;\n"
           "KB/item: peak resident growth during the load per item (thumbnails shared).\n";
    return 0;
}
