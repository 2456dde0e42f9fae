// The running order's rules without a window: the next mark through edits, GO
// through the take path (greyed cues skipped, a double press one cue, what a
// GO that takes nothing says, cue preview as sent to the server), time off air
// and what interrupts it, and the file it is kept in (on a full disk too, in a
// small file system of the test's own), its lock against another console, the
// copies of files that did not read.

#include "OvTestSupport.h"
#include "shell/OvConsoleCore.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvRunningOrderPanel.h"
#include "cg/OvRunningOrderTable.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "net/OvTransferServer.h"

#include "OvTestPeer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLockFile>
#include <QMimeData>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

#include <memory>

#include <sys/mount.h>

namespace {

OvCGListModel* model()
{
    return OvCGListModel::instance();
}

// The parts of the case under way, built afresh for each.
OvConsoleCore* g_core = nullptr;

OvRunningOrder* order()
{
    return g_core->order();
}

OvTakeCommand* takes()
{
    return g_core->takes();
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

    std::unique_ptr<OvConsoleCore> m_core;

private slots:
    // The order's files go to this test's own folder, not the user's.
    void initTestCase() { qputenv("XDG_DATA_HOME", QDir::tempPath().toLocal8Bit() + "/data"); }

    void init()
    {
        m_core = std::make_unique<OvConsoleCore>(OvSettings());
        g_core = m_core.get();
        model()->resetCgList({OvTest::cgRecord("A"), OvTest::cgRecord("B"), OvTest::cgRecord("C"),
                              OvTest::cgRecord("D")});
        order()->load(QString());
        for (int i = 0; i < 4; ++i)
            order()->insert(i, guidOf(i));
        // Only the double-press case wants the guard; the others press at will.
        takes()->setGuardMs(0);
    }

    void cleanup()
    {
        if (OvTransferServer::instance()->connectionState() != OvTransferServer::Idle)
            OvTransferServer::instance()->disconnectFromServer();
        QTRY_COMPARE(OvTransferServer::instance()->connectionState(), OvTransferServer::Idle);
        order()->clear();
        order()->setCuePreview(false);
        model()->clearCg();
        g_core = nullptr;
        m_core.reset();
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
                OvRunningOrderTable table(order());
                const std::unique_ptr<QMimeData> dragged(table.mimeData({table.index(a, 0)}));
                table.dropMimeData(dragged.get(), Qt::MoveAction, b, 0, {});
                break;
            }
            case 'r': order()->remove(a); break;
            case 'x': model()->removeCg(model()->cgAt(a), localOperatorInfo()); break;
            case 'g': order()->go(OvTakeCommand::Osc); break;
            case 'c': order()->clear(); break;
            case 'l': takes()->setLocked(!takes()->isLocked()); break;
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
            QSignalSpy taken(takes(), &OvTakeCommand::taken);
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
        OvRunningOrderTable table(order());
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

    // What the operator types into a duration stays while countdowns tick
    // and the row changes, however many cues there are.
    void typingKept_data()
    {
        QTest::addColumn<int>("cues");
        QTest::newRow("one, counting down itself") << 1;
        QTest::newRow("four, another counting down") << 4;
    }

    void typingKept()
    {
        QFETCH(int, cues);
        while (order()->count() > cues)
            order()->remove(cues);
        order()->setDuration(0, 30);
        QCOMPARE(order()->go(OvTakeCommand::Osc), OvTakeCommand::Taken);
        OvRunningOrderPanel panel(order());
        panel.show();
        const QModelIndex duration = panel.table()->model()->index(cues / 2, OvRunningOrderTable::DurationColumn);
        panel.table()->edit(duration);
        QWidget* const editor = panel.table()->indexWidget(duration);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, "45");
        QTest::qWait(600);  // ticks
        emit order()->countdownChanged();  // one at least, however busy the machine
        order()->setNext(cues / 2);
        QCOMPARE(editor->property("text").toString(), QStringLiteral("45"));
    }

    // Names are kept and shown cut, from the file and from the server.
    void namesCapped()
    {
        const QString name(1000000, QChar(0x5b57));
        const QString path = OvRunningOrder::storePathFor(QStringLiteral("10.0.0.8"), 19999);
        QVERIFY(OvTest::writeFile(path, "{\"version\":1,\"next\":0,\"cues\":[{\"guid\":\"" + QUuid::createUuid().toByteArray()
                                            + "\",\"duration\":0,\"name\":\"" + name.toUtf8() + "\"}]}"));
        model()->resetCgList({OvTest::cgRecord(name)});
        order()->load(path);
        order()->insert(1, guidOf(0));
        const QString cut = name.left(OvRunningOrder::MaxStoredName) + QChar(0x2026);
        OvRunningOrderTable table(order());
        for (int row : {0, 1}) {
            QCOMPARE(order()->cueAt(row).name, cut);
            QCOMPARE(table.data(table.index(row, OvRunningOrderTable::NameColumn)).toString(), cut);
        }
        order()->load(QString());
    }

    // A double press of GO takes one cue; with cue preview the one after goes to PVW.
    void goTwiceAndPreview()
    {
        takes()->setGuardMs(OvTakeCommand::DefaultGuardMs);
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
    // on the item came in between, its cue no longer asks for it, or the
    // console could not watch the item.
    void timeOffAir_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("runs out") << "" << true;
        QTest::newRow("another desk took it") << "taken" << false;
        QTest::newRow("its duration set to 0") << "0" << false;
        QTest::newRow("its cue removed") << "removed" << false;
        QTest::newRow("the order emptied") << "cleared" << false;
        QTest::newRow("the item's other cue removed") << "other removed" << true;
        QTest::newRow("the connection dropped") << "dropped" << false;
    }

    void timeOffAir()
    {
        QFETCH(QString, interruption);
        QFETCH(bool, cancelled);
        OvTest::ErrorRecorder boxes;
        OvTestPeer peer;
        QJsonArray list;
        for (const char* name : {"A", "B"})
            list.append(OvTestPeer::record(name));
        QVERIFY(peer.logInConsole("t", list));
        const QString guid = list.at(0).toObject().value("guid").toString();
        order()->insert(0, QUuid(guid));
        order()->insert(1, QUuid(guid));
        order()->setDuration(0, 1);
        QCOMPARE(order()->go(OvTakeCommand::Osc), OvTakeCommand::Taken);
        peer.send(OvTestPeer::notifyCG(guid, 1, {{"status", 1}}, "Zhang", "t"));
        QTRY_COMPARE(model()->cgAt(0)->status(), int(OvCgStatus::OnPgm));
        QCOMPARE(order()->secondsLeft(QUuid(guid)), 1);
        OvTest::LogRecorder log;
        if (interruption == "taken")
            peer.send(OvTestPeer::notifyCG(guid, 1, {{"status", 2}}));
        else if (interruption == "0")
            order()->setDuration(0, 0);
        else if (interruption.endsWith("removed"))
            order()->remove(interruption == "removed" ? 0 : 1);
        else if (interruption == "cleared")
            order()->clear();
        else if (interruption == "dropped")
            peer.socket()->abort();
        QCOMPARE(peer.waitFor("updateCG", 2, "request", 2000), cancelled);
        QCOMPARE(order()->secondsLeft(QUuid(guid)), -1);
        // A countdown that could not watch its item is said, with the item's name.
        QCOMPARE(log.lines.filter(QStringLiteral(u"计时")),
                 interruption == "dropped" ? QStringList{QStringLiteral(u"系统:连接中断，串联单的1个计时已取消，这些CG不会自动撤下：“A”")}
                                           : QStringList());
        OvTransferServer::instance()->disconnectFromServer();
        QTRY_COMPARE(OvTransferServer::instance()->connectionState(), OvTransferServer::Idle);
    }

    // Written on every change; read back; each file that does not read is
    // set aside and said, the newest copies kept.
    void keptInAFile()
    {
        const QString path = OvTest::freshDir(QStringLiteral("kept")) + QStringLiteral("/order.json");
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
        QSet<QByteArray> newest;
        for (int i = 0; i < OvRunningOrder::MaxSetAside + 2; ++i) {
            const QByteArray unreadable = "{\"version\":1,\"cues\":[{\"guid\":\"nonsense " + QByteArray::number(i) + "\"}]}";
            QVERIFY(OvTest::writeFile(path, unreadable));
            order()->load(path);
            if (i >= 2)
                newest.insert(unreadable);
        }
        QCOMPARE(order()->count(), 0);
        QVERIFY(!QFile::exists(path));
        QSet<QByteArray> kept;
        const QDir dir = QFileInfo(path).dir();
        for (const QString& name : dir.entryList({QFileInfo(path).fileName() + ".*.bad"}))
            kept.insert(OvTest::readFile(dir.filePath(name)));
        QCOMPARE(kept, newest);
        QCOMPARE(log.lines.size(), OvRunningOrder::MaxSetAside + 2);
    }

    // The file open on another console that lives is read, shown read-only
    // and never written; a lock its console left behind is taken over. Said
    // once.
    void openElsewhere_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("a console of this machine") << "here" << true;
        QTest::newRow("a console of this machine that crashed") << "crashed" << false;
        QTest::newRow("another machine's, renewed") << "there" << true;
        QTest::newRow("another machine's, silent for ten minutes") << "silent" << false;
    }

    void openElsewhere()
    {
        QFETCH(QString, holder);
        QFETCH(bool, readOnly);
        const QString path = OvTest::freshDir(QStringLiteral("shared")) + QStringLiteral("/order.json");
        order()->load(path);  // the other console's order: B, then C marked next
        order()->insert(0, guidOf(1)), order()->insert(1, guidOf(2)), order()->setNext(1);
        order()->load(QString());
        const QByteArray first = OvTest::readFile(path);
        QLockFile here(path + ".lock");
        QVERIFY(here.tryLock(0));
        if (holder != "here") {
            // The lock as a console of this or another machine leaves it.
            QList<QByteArray> lines = OvTest::readFile(path + ".lock").split('\n');
            here.unlock();
            (holder == "crashed" ? lines[0] : lines[2]) = "999999999";
            QVERIFY(OvTest::writeFile(path + ".lock", lines.join('\n')));
            QFile lock(path + ".lock");
            QVERIFY(lock.open(QIODevice::ReadOnly));
            lock.setFileTime(QDateTime::currentDateTime().addSecs(holder == "silent" ? -600 : 0), QFileDevice::FileModificationTime);
        }
        OvTest::LogRecorder log;
        order()->load(path);
        order()->load(path);  // a login again
        QCOMPARE(cues(), QStringLiteral("B:0 *C:0"));
        QCOMPARE(order()->isReadOnly(), readOnly);
        QCOMPARE(log.lines.size(), readOnly ? 1 : 0);
        // Played, not edited, not written.
        order()->insert(0, guidOf(0));
        order()->setNext(0);
        order()->flush();
        QCOMPARE(cues(), readOnly ? QStringLiteral("*B:0 C:0") : QStringLiteral("*A:0 B:0 C:0"));
        QCOMPARE(OvTest::readFile(path) == first, readOnly);
        order()->load(QString());
    }

    // A save that fails (a full disk, which shows only when the written
    // bytes are flushed) leaves the last good file as it was, and is said
    // once until a save works again.
    void fullDisk()
    {
        const QString dir = OvTest::freshDir(QStringLiteral("small-disk"));
        // In the test's own mount namespace (scripts/netns-run makes one).
        QVERIFY2(::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=64k") == 0,
                 "cannot mount a small file system: run the test inside scripts/netns-run");
        struct Unmount {
            QByteArray dir;
            ~Unmount() { order()->load(QString()), ::umount2(dir.constData(), MNT_DETACH); }
        } unmount{QFile::encodeName(dir)};
        const QString path = dir + QStringLiteral("/order.json");
        order()->load(path);
        order()->insert(0, guidOf(0));
        order()->flush();
        const QByteArray good = OvTest::readFile(path);
        OvTest::LogRecorder log;
        const auto fullThenEdit = [&](int seconds) {
            QFile filler(dir + QStringLiteral("/filler"));
            if (filler.open(QIODevice::Append | QIODevice::Unbuffered))
                while (filler.write(QByteArray(4096, 'x')) > 0) {
                }
            order()->setDuration(0, seconds);
            order()->flush();
            QCoreApplication::processEvents();
        };
        fullThenEdit(10);
        fullThenEdit(11);
        QCOMPARE(OvTest::readFile(path), good);
        QCOMPARE(log.lines, QStringList{QStringLiteral(u"系统:串联单无法保存到%1：No space left on device").arg(path)});
        // Room again: the edit is saved, and a later failure is said again.
        QVERIFY(QFile::remove(dir + QStringLiteral("/filler")));
        order()->flush();
        QVERIFY(OvTest::readFile(path).contains("\"duration\":11"));
        fullThenEdit(12);
        QCOMPARE(log.lines.size(), 2);
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
