// The running order's rules without a window: the next mark through edits, GO
// through the take path (greyed cues skipped, a double press one cue, what a
// GO that takes nothing says, cue preview as sent to the server), time off air
// and what interrupts it, and the file it is kept in.

#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvRunningOrderTable.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "net/OvTransferServer.h"

#include "OvTestPeer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {

OvCGListModel* model()
{
    return OvCGListModel::instance();
}

OvRunningOrder* order()
{
    return OvRunningOrder::instance();
}

QUuid guidOf(int position)
{
    return QUuid(model()->cgAt(position)->guid());
}

// "name:status" of every cue's item ("-" when greyed), "*" before the next.
QString cues()
{
    QStringList words;
    for (int i = 0; i < order()->count(); ++i) {
        const OvSubCGItem* const item = order()->itemAt(i);
        words.append((i == order()->nextIndex() ? "*" : "")
                     + (item ? item->name() + QLatin1Char(':') + QString::number(item->status()) : QStringLiteral("-")));
    }
    return words.join(QLatin1Char(' '));
}

}  // namespace

class TstRunningOrder : public QObject
{
    Q_OBJECT

private slots:
    // The order's files go to this test's own folder, not the user's.
    void initTestCase() { qputenv("XDG_DATA_HOME", QDir::tempPath().toLocal8Bit() + "/data"); }

    void init()
    {
        model()->resetCgList({OvTest::cgRecord("A"), OvTest::cgRecord("B"), OvTest::cgRecord("C"),
                              OvTest::cgRecord("D")});
        order()->load(QString());
        for (int i = 0; i < 4; ++i)
            order()->insert(i, guidOf(i));
        // Only the double-press case wants the guard; the others press at will.
        OvTakeCommand::instance()->setGuardMs(0);
    }

    void cleanup()
    {
        if (OvTransferServer::instance()->connectionState() != OvTransferServer::Idle)
            OvTransferServer::instance()->disconnectFromServer();
        QTRY_COMPARE(OvTransferServer::instance()->connectionState(), OvTransferServer::Idle);
        order()->clear();
        order()->setCuePreview(false);
        model()->clearCg();
    }

    // The mark stays on its cue through edits; GO takes it and marks the next,
    // or says why it took nothing (the same reason once within 5 s; the lock
    // says its own).
    void edits_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("said");
        const QString why = QStringLiteral("系统:GO未执行：");
        QTest::newRow("as built") << "" << "*A:0 B:0 C:0 D:0" << QStringList();
        QTest::newRow("next clicked") << "n2" << "A:0 B:0 *C:0 D:0" << QStringList();
        QTest::newRow("moved past the mark") << "n1 m0>3" << "*B:0 C:0 D:0 A:0" << QStringList();
        QTest::newRow("the marked one moved") << "n1 m1>3" << "A:0 C:0 D:0 *B:0" << QStringList();
        QTest::newRow("removed before the mark") << "n2 r0" << "B:0 *C:0 D:0" << QStringList();
        QTest::newRow("the last, marked, removed") << "n3 r3" << "A:0 B:0 C:0" << QStringList();
        QTest::newRow("GO") << "g" << "A:3 *B:0 C:0 D:0" << QStringList();
        QTest::newRow("GO skips a greyed cue") << "n1 x1 g" << "A:0 - C:3 *D:0" << QStringList();
        QTest::newRow("GO at the end") << "n3 g g g" << "A:0 B:0 C:0 D:3" << QStringList{why + "串联单已执行到最后一条"};
        QTest::newRow("GO on an empty order") << "c g g" << "" << QStringList{why + "串联单是空的"};
        QTest::newRow("GO awaiting an answer") << "g n0 g g" << "*A:3 B:0 C:0 D:0" << QStringList{why + "“A”正在等待服务器应答"};
        QTest::newRow("GO locked") << "l g l" << "*A:0 B:0 C:0 D:0" << QStringList();
        QTest::newRow("dragged below the last") << "n1 d0>4" << "*B:0 C:0 D:0 A:0" << QStringList();
        QTest::newRow("dragged up") << "d3>1" << "*A:0 D:0 B:0 C:0" << QStringList();
    }

    void edits()
    {
        QFETCH(QString, steps);
        OvTest::LogRecorder log;
        for (const QString& step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const int a = step.mid(1).section(QLatin1Char('>'), 0, 0).toInt();
            const int b = step.section(QLatin1Char('>'), 1).toInt();
            switch (step.at(0).toLatin1()) {
            case 'n': order()->setNext(a); break;
            case 'm': order()->move(a, b); break;
            case 'd': {
                // Dropped before row b, as the table's view does it.
                OvRunningOrderTable table;
                const std::unique_ptr<QMimeData> dragged(table.mimeData({table.index(a, 0)}));
                table.dropMimeData(dragged.get(), Qt::MoveAction, b, 0, {});
                break;
            }
            case 'r': order()->remove(a); break;
            case 'x': model()->removeCg(model()->cgAt(a), localOperatorInfo()); break;
            case 'g': order()->go(OvTakeCommand::Osc); break;
            case 'c': order()->clear(); break;
            case 'l': OvTakeCommand::instance()->setLocked(!OvTakeCommand::instance()->isLocked()); break;
            }
        }
        QTEST(cues(), "expected");
        QTEST(log.lines.filter(QStringLiteral("GO未执行")), "said");
    }

    // Cue preview puts the cue GO takes next on PVW, only an item off air:
    // never one on PGM (cued twice, another desk's), nothing past the last cue.
    void cuePreview_data()
    {
        QTest::addColumn<QString>("cued");  // items A to F; a lower-case one is on PGM from another desk
        QTest::addColumn<int>("gos");
        QTest::addColumn<QString>("sent");  // each take the server received: item and status
        QTest::newRow("the next to PVW") << "ABC" << 1 << "A1 B2";
        QTest::newRow("nothing past the last") << "AB" << 2 << "A1 B2 B1";
        QTest::newRow("cued twice") << "EFE" << 2 << "E1 F2 F1";
        QTest::newRow("another desk's on air") << "Ad" << 1 << "A1";
    }

    void cuePreview()
    {
        QFETCH(QString, cued);
        QFETCH(int, gos);
        OvTestPeer peer;
        QJsonArray list;
        for (const char* name : {"A", "B", "C", "D", "E", "F"})
            list.append(OvTestPeer::record(name));
        QVERIFY(peer.logInConsole("t", list));
        order()->clear();
        for (const QChar name : cued) {
            OvSubCGItem* const item = model()->cgAt(name.toUpper().unicode() - 'A');
            order()->insert(order()->count(), QUuid(item->guid()));
            if (name.isLower())
                item->setStatus(OvCgStatus::OnPgm, operatorInfo{"{x}", "10.0.0.9", "Li", "other"});
        }
        order()->setCuePreview(true);
        QStringList sent;
        for (int i = 0; i < gos; ++i) {
            QSignalSpy taken(OvTakeCommand::instance(), &OvTakeCommand::taken);
            QCOMPARE(order()->go(OvTakeCommand::Osc), OvTakeCommand::Taken);
            for (int t = 0; t < taken.count(); ++t) {  // each confirmed, as a server does
                const QJsonObject value = peer.take("updateCG", "request").value("value").toObject();
                const int status = value["operationValue"].toObject()["curStatus"].toInt(-1);
                const OvSubCGItem* const item = model()->findCg(value["operationTarget"].toString());
                sent.append(item->name() + QString::number(status));
                peer.send(OvTestPeer::notifyCG(item->guid(), 1, {{"status", status}}, "Zhang", "t"));
                QTRY_COMPARE(item->status(), status);
            }
        }
        QTEST(sent.join(QLatin1Char(' ')), "sent");
    }

    // An edit elsewhere leaves a duration being edited open; the editor and
    // the selection stay with their cue.
    void editorKept()
    {
        OvRunningOrderTable table;
        QTableView view;
        view.setModel(&table);
        view.show();
        view.selectRow(2);
        view.edit(table.index(2, OvRunningOrderTable::DurationColumn));
        QWidget* const editor = view.indexWidget(table.index(2, OvRunningOrderTable::DurationColumn));
        QVERIFY(editor);
        order()->insert(0, guidOf(3));
        order()->setNext(1);
        order()->move(4, 0);
        QCOMPARE(view.indexWidget(table.index(4, OvRunningOrderTable::DurationColumn)), editor);
        QCOMPARE(view.selectionModel()->selectedRows(), QModelIndexList{table.index(4, 0)});
    }

    // A double press of GO takes one cue; with cue preview the one after goes to PVW.
    void goTwiceAndPreview()
    {
        OvTakeCommand::instance()->setGuardMs(OvTakeCommand::DefaultGuardMs);
        QTest::qWait(OvTakeCommand::DefaultGuardMs + 20);  // past the other cases' presses
        QCOMPARE(order()->go(OvTakeCommand::Osc), OvTakeCommand::Taken);
        QCOMPARE(order()->go(OvTakeCommand::SingleKey), OvTakeCommand::Repeated);
        QCOMPARE(cues(), QStringLiteral("A:3 *B:0 C:0 D:0"));
        order()->setCuePreview(true);
        QTest::qWait(OvTakeCommand::DefaultGuardMs + 20);
        QCOMPARE(order()->go(OvTakeCommand::Osc), OvTakeCommand::Taken);
        QCOMPARE(cues(), QStringLiteral("A:3 B:3 *C:3 D:0"));
        // The preview it made is no press: the next GO at once is still a double press.
        QCOMPARE(order()->go(OvTakeCommand::Osc), OvTakeCommand::Repeated);
        // The preview did not take the operator's current item away.
        QCOMPARE(model()->currentCg(), model()->cgAt(1));
    }

    // A cue with a duration is taken off air when it runs out, unless a take
    // on the item came in between.
    void timeOffAir_data()
    {
        QTest::addColumn<bool>("interrupted");
        QTest::newRow("runs out") << false;
        QTest::newRow("another desk took it") << true;
    }

    void timeOffAir()
    {
        QFETCH(bool, interrupted);
        OvTestPeer peer;
        QJsonArray list;
        for (const char* name : {"A", "B"})
            list.append(OvTestPeer::record(name));
        QVERIFY(peer.logInConsole("t", list));
        const QString guid = list.at(0).toObject().value("guid").toString();
        order()->insert(0, QUuid(guid));
        order()->setDuration(0, 1);
        QCOMPARE(order()->go(OvTakeCommand::Osc), OvTakeCommand::Taken);
        peer.send(OvTestPeer::notifyCG(guid, 1, {{"status", 1}}, "Zhang", "t"));
        QTRY_COMPARE(model()->cgAt(0)->status(), int(OvCgStatus::OnPgm));
        QCOMPARE(order()->secondsLeft(QUuid(guid)), 1);
        if (interrupted)
            peer.send(OvTestPeer::notifyCG(guid, 1, {{"status", 2}}));
        // The cancel goes out when the time is up, unless someone took the item meanwhile.
        QCOMPARE(peer.waitFor("updateCG", 2, "request", 2000), !interrupted);
        QCOMPARE(order()->secondsLeft(QUuid(guid)), -1);
        OvTransferServer::instance()->disconnectFromServer();
        QTRY_COMPARE(OvTransferServer::instance()->connectionState(), OvTransferServer::Idle);
    }

    // Written on every change; read back; a file that does not read is set aside.
    void keptInAFile()
    {
        const QString path = OvRunningOrder::storePathFor(QStringLiteral("10.0.0.5"), 19999);
        QFile::remove(path);
        order()->load(path);
        for (int i = 0; i < 3; ++i)
            order()->insert(i, guidOf(i));
        order()->setDuration(1, 30);
        order()->setNext(2);
        QTRY_VERIFY(QFile::exists(path));
        order()->load(QString());
        QCOMPARE(order()->count(), 0);
        order()->load(path);
        QCOMPARE(cues(), QStringLiteral("A:0 B:0 *C:0"));
        QCOMPARE(order()->cueAt(1).durationS, 30);

        OvTest::LogRecorder log;
        QVERIFY(OvTest::writeFile(path, "{\"version\":1,\"cues\":[{\"guid\":\"nonsense\"}]}"));
        order()->load(path);
        QCOMPARE(order()->count(), 0);
        QVERIFY(QFile::exists(path + ".bad") && !QFile::exists(path));
        QCOMPARE(log.lines.size(), 1);
    }

    // A flush writes what waits; the end of the turn does not write it again.
    void flushWritesOnce()
    {
        const QString path = OvRunningOrder::storePathFor(QStringLiteral("10.0.0.6"), 19999);
        order()->load(path);
        order()->insert(0, guidOf(0));
        order()->flush();
        QVERIFY(QFile::remove(path));
        QCoreApplication::processEvents();
        order()->flush();
        QVERIFY(!QFile::exists(path));
        order()->load(QString());
    }
};

QTEST_MAIN(TstRunningOrder)
#include "tst_running_order.moc"
