// The running order at its bound: 10,000 cues over 100,000 items, with its
// panel shown. GO from the call to the updateCG handed to the transfer client
// (no server here: the write itself is the client's), adding and moving a cue
// with the turn that saves the file and lays the panel out, and loading the
// file, and painting the table's visible rows. Prints figures; never fails.

#include "cg/OvCGListModel.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvRunningOrderPanel.h"
#include "cg/OvSubCGItem.h"
#include "cg/cgItemData.h"
#include "shell/OvConsoleCore.h"

#include "OvBenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QTableView>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Items = 100000;
constexpr int Cues = OvRunningOrder::MaxCues;
constexpr int Rounds = 50;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double longest(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Runs one edit and the turn of the event loop after it.
template <class Edit>
double timed(Edit edit)
{
    QElapsedTimer clock;
    clock.start();
    edit();
    QCoreApplication::processEvents();
    return clock.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_DATA_HOME", QDir::tempPath().toLocal8Bit() + "/bench_cues");
    QApplication app(argc, argv);
    OvCGListModel* const model = OvCGListModel::instance();
    QList<cgItemData> list;
    list.reserve(Items);
    for (int i = 0; i < Items; ++i)
        list.append(cgItemData{QUuid::createUuid(), 0, QStringLiteral("Item %1").arg(i), QPixmap()});
    model->resetCgList(list);
    OvConsoleCore core{OvSettings()};
    OvRunningOrder* const order = core.order();
    const QString path = OvRunningOrder::storePathFor(QStringLiteral("bench"), 1);
    QFile::remove(path);
    order->load(path);
    OvRunningOrderPanel panel(order);
    panel.resize(300, 800);
    panel.show();
    for (int i = 0; i < Cues - Rounds; ++i)
        order->insert(i, list.at(i * (Items / Cues)).guid);
    QCoreApplication::processEvents();

    std::vector<double> add, move, go, paint;
    for (int i = 0; i < Rounds; ++i)
        add.push_back(timed([&] { order->insert(order->count() / 2, list.at(Items - 1 - i).guid); }));
    for (int i = 0; i < Rounds; ++i)
        move.push_back(timed([&] { order->move(i, Cues - 1 - i); }));
    order->setNext(0);
    for (int i = 0; i < Rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        order->go(OvTakeCommand::RemoteApi);
        go.push_back(clock.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
        // Past the double-press guard without waiting for it.
        core.takes()->setGuardMs(0);
    }
    QCoreApplication::processEvents();
    for (int i = 0; i < Rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        panel.table()->viewport()->repaint();
        paint.push_back(clock.nsecsElapsed() / 1e6);
    }
    // The catalogue read again under the order, as at a login: every item
    // leaves and comes back, and every cue shows its item's name again.
    const double relistMs = timed([&] { model->resetCgList(list); });
    order->flush();
    QElapsedTimer clock;
    clock.start();
    order->load(path);
    const double loadMs = clock.nsecsElapsed() / 1e6;
    std::printf("running order, %d cues over %d items, panel shown: GO median %.2f ms (longest %.2f); adding a cue "
                "with its turn median %.2f ms (longest %.2f); moving one median %.2f ms (longest %.2f); painting the "
                "table median %.2f ms (longest %.2f); the catalogue read again %.0f ms; loading the file (%lld KB) %.1f ms, %d "
                "cues\n",
                order->count(), Items, median(go), longest(go), median(add), longest(add), median(move), longest(move),
                median(paint), longest(paint), relistMs, static_cast<long long>(QFileInfo(path).size() / 1024), loadMs,
                order->count());
    QFile::remove(path);
    return 0;
}
