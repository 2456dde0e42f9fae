// Takes against the CG server simulator on loopback (10,000 items): the time
// a take spends in the console (the call through the take command, from the
// press to the updateCG written), the server's confirmation time over 1,000
// takes (median and 99th percentile), and the longest event-loop turn while
// take all off cancels 10,000 items on air. Prints figures; never fails.

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "net/OvErrorPresenter.h"
#include "net/OvTransferServer.h"
#include "shell/OvConsoleCore.h"

#include "OvBenchSupport.h"
#include "OvTestPeer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Items = 10000;
constexpr int Takes = 1000;

double at(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(double(values.size()) * fraction))];
}

int onAir()
{
    const QList<OvSubCGItem*> items = OvCGListModel::instance()->cgList();
    return int(std::count_if(items.cbegin(), items.cend(),
                             [](const OvSubCGItem* item) { return OvCgStatus::isOnAir(item->status()); }));
}

}  // namespace

int main(int argc, char** argv)
{
    if (!OvBench::insidePrivateNetwork("bench_takes"))
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    OvErrorPresenter::install([](const QString&) {});
    QProcess sim;
    QString error;
    const quint16 port = OvTest::startSimulator(
        sim, {"--listen", "127.0.0.1", "--items", QString::number(Items), "--discovery-port", "0", "--log", "/dev/null"},
        &error);
    if (port == 0) {
        std::printf("takes: no simulator (%s)\n", qPrintable(error));
        return 1;
    }
    OvTransferServer* const client = OvTransferServer::instance();
    OvCGListModel* const model = OvCGListModel::instance();
    OvConsoleCore core{OvSettings()};
    OvTakeCommand* const takes = core.takes();
    client->connectToServer("127.0.0.1", "580317", port);
    if (!OvBench::waitFor([&] { return client->connectionState() == OvTransferServer::LoggedIn && model->count() == Items; },
                 60000)) {
        std::printf("takes: no login to the simulator\n");
        return 1;
    }

    // One item on and off air, one take at a time.
    std::vector<double> inConsoleUs;
    std::vector<double> confirmedMs;
    // The console's own figure is whole milliseconds; the same span measured finer here.
    QElapsedTimer press;
    QObject::connect(model, &OvCGListModel::takeConfirmed,
                     [&](OvSubCGItem*, int) { confirmedMs.push_back(press.nsecsElapsed() / 1e6); });
    OvSubCGItem* const item = model->cgAt(0);
    for (int i = 0; i < Takes; ++i) {
        const int target = i % 2 == 0 ? OvCgStatus::OnPgm : OvCgStatus::Idle;
        press.start();
        const OvTakeCommand::Result result = takes->takeItem(OvTakeCommand::RemoteApi, item, target);
        inConsoleUs.push_back(press.nsecsElapsed() / 1e3);
        if (result != OvTakeCommand::Taken || !OvBench::waitFor([&] { return item->status() == target; }, 5000)) {
            std::printf("takes: take %d not confirmed (result %d)\n", i, int(result));
            break;
        }
    }
    std::printf("takes: %zu confirmed of %d; in the console (press to updateCG written) median %.0f us, 99th "
                "percentile %.0f us; confirmed by the server after median %.2f ms, 99th percentile %.2f ms, longest %.2f ms\n",
                confirmedMs.size(), Takes, at(inConsoleUs, 0.5), at(inConsoleUs, 0.99), at(confirmedMs, 0.5),
                at(confirmedMs, 0.99), at(confirmedMs, 1.0));

    // Every item on air, then take all off, against the event loop.
    for (int i = 0; i < Items; ++i) {
        takes->takeItem(OvTakeCommand::RemoteApi, model->cgAt(i), i % 2 == 0 ? OvCgStatus::OnPgm : OvCgStatus::OnPvw);
        if (i % 200 == 199)
            QCoreApplication::processEvents();
    }
    OvBench::waitFor([] { return onAir() == Items; }, 60000);
    OvBench::TurnProbe probe;
    probe.start();
    QElapsedTimer clock;
    clock.start();
    const int before = onAir();
    takes->clearAll(OvTakeCommand::RemoteApi);
    const bool cleared = OvBench::waitFor([] { return onAir() == 0; }, 60000);
    std::printf("take all off: %d items on air %s in %lld ms; longest event-loop turn %.1f ms\n", before,
                cleared ? "all off air" : "NOT all off air", static_cast<long long>(clock.elapsed()), probe.longestMs());
    client->disconnectFromServer();
    OvBench::waitFor([client] { return client->connectionState() == OvTransferServer::Idle; }, 5000);
    OvTest::stopSimulator(sim);
    return 0;
}
