// The CG tile grid, the publish control bar, the show widget and the operation
// log list, driven through the list model and the message hub, with the
// application's own style sheet (the grid's arithmetic counts on its tile width).
#include "OvTestSupport.h"
#include "shell/OvConsoleCore.h"

#include "cg/OvCGCustomLabel.h"
#include "cg/OvCGListItemWidget.h"
#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvCGScrollareaWidget.h"
#include "cg/OvCGShowWidget.h"
#include "cg/OvControlWidget.h"
#include "cg/OvSubCGItem.h"
#include "cg/cgItemData.h"
#include "log/OvCGMessage.h"
#include "log/OvCGOperationLogEntry.h"
#include "log/OvCGOperationLogListWidget.h"
#include "log/OvCGOperationLogModel.h"
#include "log/OvWrappedText.h"
#include "net/OvTransferServer.h"
#include "shortcut/OvShortcutKey.h"

#include <OvUIUtility/FlowLayout.h>
#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>

#include <memory>

namespace {

OvCGListModel* model()
{
    return OvCGListModel::instance();
}

QPixmap thumbnail(int seed)
{
    QPixmap pixmap(160, 90);
    pixmap.fill(QColor::fromHsv(seed * 40 % 360, 200, 200));
    return pixmap;
}

void loadCatalogue(int count)
{
    QList<cgItemData> list;
    for (int i = 0; i < count; ++i) {
        cgItemData data = OvTest::cgRecord(QStringLiteral("CG %1").arg(i));
        data.image = thumbnail(i);
        list.append(data);
    }
    model()->resetCgList(list);
    QCoreApplication::processEvents();  // tiles of removed items go, the new ones are laid out
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Many items without pictures, statuses cycling 0, 1, 2.
void loadPlainCatalogue(int count)
{
    QList<cgItemData> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(OvTest::cgRecord(QStringLiteral("CG %1").arg(i), i % 3));
    model()->resetCgList(list);
    QCoreApplication::processEvents();
}

operatorInfo server(const QString& operationId)
{
    return operatorInfo{operationId, QStringLiteral("10.77.0.9:5000"), QStringLiteral("Zhang"), QStringLiteral("g")};
}

}  // namespace

class TstCgViews : public QObject
{
    Q_OBJECT

private:
    // The take path and the rest of a console's parts, with the default settings.
    OvConsoleCore m_core{OvSettings()};
    std::unique_ptr<OvCGScrollareaWidget> m_grid;

    // Tiles show an item's changes once per turn of the event loop.
    static void applied() { QCoreApplication::sendPostedEvents(); }

    OvCGListItemWidget* tileOf(const OvSubCGItem* item) const
    {
        applied();
        return m_grid->tileOf(item);
    }

private slots:
    void initTestCase()
    {
        QFile sheet(QStringLiteral(OV_SOURCE_DIR "/qss/default.qss"));
        QVERIFY(sheet.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
        m_grid = std::make_unique<OvCGScrollareaWidget>(m_core.filter(), m_core.order());
        m_grid->registerArrows();
        m_grid->resize(600, 500);
        m_grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
        if (!OvShortcutKey::instance().isEnabled())
            OvShortcutKey::instance().toggleShortcuts();
    }

    void cleanupTestCase() { m_grid.reset(); }

    void relayout_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("spacing");
        QTest::newRow("190: no full column") << 190 << 0 << 3;
        QTest::newRow("400: two") << 400 << 2 << 29;
        QTest::newRow("600: three") << 600 << 3 << 26;
    }

    void relayout()
    {
        QFETCH(int, width);
        QFETCH(int, columns);
        QFETCH(int, spacing);
        loadCatalogue(7);
        m_grid->resize(width, 500);
        QCoreApplication::processEvents();
        QCOMPARE(m_grid->columns(), columns);
        QCOMPARE(m_grid->horizontalSpacing(), spacing);
        // The tiles really sit in that many columns, all of them inside the view.
        const int perRow = qMax(1, columns);
        for (int i = 0; i < 7; ++i) {
            OvCGListItemWidget* const tile = m_grid->tileAt(i);
            QCOMPARE(tile->width(), 174);
            QCOMPARE(tile->y() == m_grid->tileAt(0)->y(), i < perRow);
            QVERIFY(tile->geometry().right() < m_grid->viewport()->width());
        }
        m_grid->resize(600, 500);
        QCoreApplication::processEvents();
    }

    void arrows_data()
    {
        QTest::addColumn<int>("start");  // -1: no current tile
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");  // -1: nothing became current
        QTest::newRow("none, right: first") << -1 << int(Qt::Key_Right) << 0;
        QTest::newRow("none, down: end of first row") << -1 << int(Qt::Key_Down) << 2;
        QTest::newRow("none, up") << -1 << int(Qt::Key_Up) << -1;
        QTest::newRow("none, left") << -1 << int(Qt::Key_Left) << -1;
        QTest::newRow("left across the row start") << 3 << int(Qt::Key_Left) << 2;
        QTest::newRow("right across the row end") << 2 << int(Qt::Key_Right) << 3;
        QTest::newRow("left on the first") << 0 << int(Qt::Key_Left) << 0;
        QTest::newRow("right on the last") << 5 << int(Qt::Key_Right) << 5;
        QTest::newRow("down") << 1 << int(Qt::Key_Down) << 4;
        QTest::newRow("down, nothing below") << 4 << int(Qt::Key_Down) << 4;
        QTest::newRow("up") << 4 << int(Qt::Key_Up) << 1;
        QTest::newRow("up on the first row") << 2 << int(Qt::Key_Up) << 2;
    }

    void arrows()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, expected);
        loadCatalogue(7);
        // The grid had item 0 current; with that item gone it has no current tile.
        model()->removeCg(model()->cgAt(0), localOperatorInfo());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCOMPARE(m_grid->tileCount(), 6);
        QVERIFY(!m_grid->currentTile());
        if (start >= 0) {
            model()->setCurrentCg(model()->cgAt(start));
            QCOMPARE(m_grid->currentTile(), m_grid->tileAt(start));
        }
        QVERIFY(OvShortcutKey::instance().activate(QKeySequence(key)));
        QCOMPARE(model()->indexOfCg(model()->currentCg()), expected);
    }

    void arrowsSurviveTheirGrid()
    {
        loadCatalogue(3);
        model()->setCurrentCg(model()->cgAt(0));
        {
            OvCGScrollareaWidget other(m_core.filter(), m_core.order());
            other.registerArrows();
            other.resize(600, 300);
            other.show();
            QCoreApplication::processEvents();
            QVERIFY(OvShortcutKey::instance().activate(QKeySequence(Qt::Key_Right)));
            QCOMPARE(model()->indexOfCg(model()->currentCg()), 1);
        }
        // The first grid keeps the keys; the destroyed one is never called.
        QVERIFY(OvShortcutKey::instance().activate(QKeySequence(Qt::Key_Right)));
        QCOMPARE(model()->indexOfCg(model()->currentCg()), 2);
    }

    void tileStatesAndOverlay()
    {
        loadCatalogue(4);
        OvSubCGItem* const item = model()->cgAt(1);
        model()->setCurrentCg(item);
        OvCGListItemWidget* const tile = tileOf(item);
        QCOMPARE(tile->property("type").toString(), QStringLiteral("checked"));
        QCOMPARE(tile->pictureLabel()->property("type").toString(), QStringLiteral("checked"));
        QCOMPARE(tile->accessibleName(), QStringLiteral("CG 1"));
        QCOMPARE(tile->accessibleDescription(), QString());
        const QImage plain = tile->pictureLabel()->pixmap(Qt::ReturnByValue).toImage();

        // The local publish: overlay on, keyed by the request's identifier.
        OvTest::take(m_core.takes(), OvCgStatus::OnPgm);
        QCOMPARE(item->status(), 3);
        applied();
        QVERIFY(tile->isSending());
        QVERIFY(tile->pictureLabel()->pixmap(Qt::ReturnByValue).toImage() != plain);
        QCOMPARE(tile->accessibleDescription(), QStringLiteral("发送中"));

        // Moving the current mark or another desk's rename does not end it.
        model()->setCurrentCg(model()->cgAt(0));
        item->setName(QStringLiteral("renamed"), server(QStringLiteral("{other}")));
        applied();
        QVERIFY(tile->isSending());

        // Any status from the server ends the wait, whichever operation it
        // carries (another desk's change may come first and the server then
        // has nothing to report for this request), and shows PGM.
        item->setStatus(1, server(QStringLiteral("{other}")));
        applied();
        QVERIFY(!tile->isSending());
        QCOMPARE(tile->pictureLabel()->pixmap(Qt::ReturnByValue).toImage(), plain);
        QCOMPARE(tile->pictureLabel()->property("type").toString(), QStringLiteral("sendPGM"));
        QCOMPARE(tile->accessibleDescription(), QStringLiteral("PGM"));
        QVERIFY(tile->tallyLabel() && tile->tallyLabel()->isVisibleTo(tile));
        QCOMPARE(tile->tallyLabel()->text(), QStringLiteral("PGM"));

        // On PVW and current: the picture shows PVW, name and tile "checked".
        model()->setCurrentCg(item);
        item->setStatus(2, server(QStringLiteral("{x}")));
        applied();
        QCOMPARE(tile->pictureLabel()->property("type").toString(), QStringLiteral("sendPVW"));
        QCOMPARE(tile->nameLabel()->property("type").toString(), QStringLiteral("checked"));
        QCOMPARE(tile->tallyLabel()->text(), QStringLiteral("PVW"));
        item->setStatus(0, server(QStringLiteral("{y}")));
        applied();
        QVERIFY(!tile->tallyLabel()->isVisibleTo(tile));

        // Without a thumbnail an outstanding request still shows, on an empty card.
        item->setImage(QPixmap(), server(QStringLiteral("{i}")));
        applied();
        QVERIFY(tile->pictureLabel()->pixmap(Qt::ReturnByValue).isNull());
        OvTest::take(m_core.takes(), OvCgStatus::OnPvw);
        applied();
        QVERIFY(tile->isSending());
        QCOMPARE(tile->pictureLabel()->pixmap(Qt::ReturnByValue).size(), QSize(160, 90));
    }

    // A take given up unanswered leaves no earlier confirmation time on its tile.
    void confirmationToolTip()
    {
        loadCatalogue(2);
        OvSubCGItem* const item = model()->cgAt(0);
        model()->setCurrentCg(item);
        OvTest::take(m_core.takes(), OvCgStatus::OnPgm);
        item->setStatus(OvCgStatus::OnPgm, server(QStringLiteral("{a}")));
        model()->setPublishAnswerTimeout(100);
        OvTest::take(m_core.takes(), OvCgStatus::OnPvw);
        QTRY_COMPARE(item->status(), int(OvCgStatus::OnPgm));
        model()->setPublishAnswerTimeout(OvCGListModel::DefaultPublishAnswerMs);
        QCOMPARE(tileOf(item)->pictureLabel()->toolTip(), QStringLiteral("上一次发布未获确认"));
    }

    // A catalogue far larger than the view: tiles exist only near it, and
    // every shown tile shows the item at its place, through scrolling and
    // changes of the list.
    void virtualGrid()
    {
        constexpr int count = 100000;
        loadPlainCatalogue(count);
        QScrollBar* const bar = m_grid->verticalScrollBar();
        const auto boundRight = [this] {
            for (int i = 0; i < model()->count(); ++i) {
                OvCGListItemWidget* const tile = m_grid->tileAt(i);
                if (!tile)
                    continue;
                const QRect onScreen = tile->geometry().translated(m_grid->contentFrame()->pos());
                const QRect expected = m_grid->tileRect(i).translated(0, -m_grid->verticalScrollBar()->value());
                if (tile->cgItem() != model()->cgAt(i) || onScreen != expected || !tile->isVisible()
                    || tile->accessibleName() != model()->cgAt(i)->name())
                    return false;
            }
            return true;
        };
        const int perScreen = qMax(1, m_grid->columns()) * (m_grid->viewport()->height() / 147 + 1);
        QVERIFY(m_grid->tileCount() > 0 && m_grid->tileCount() <= 4 * perScreen);
        QCOMPARE(m_grid->contentFrame()->findChildren<OvCGListItemWidget*>().size(), m_grid->tileCount());
        QVERIFY(boundRight());
        QCOMPARE(bar->maximum(), m_grid->tileRect(count - 1).bottom() + 1 + 5 - m_grid->viewport()->height());

        // Scrolled to the middle: the tiles there show their items and states.
        bar->setValue(m_grid->tileRect(60000).top());
        QVERIFY(!m_grid->tileAt(0));
        QCOMPARE(m_grid->tileAt(60000)->accessibleName(), QStringLiteral("CG 60000"));
        QCOMPARE(m_grid->tileAt(60000)->accessibleDescription(), QString());
        QCOMPARE(m_grid->tileAt(60001)->accessibleDescription(), QStringLiteral("PGM"));
        QVERIFY(boundRight());
        model()->cgAt(60000)->setStatus(2, server(QStringLiteral("{s}")));
        applied();
        QCOMPARE(m_grid->tileAt(60000)->accessibleDescription(), QStringLiteral("PVW"));

        // Changes before the view shift what it shows.
        model()->removeCg(model()->cgAt(10), server(QStringLiteral("{r}")));
        QCOMPARE(m_grid->tileAt(60000)->accessibleName(), QStringLiteral("CG 60001"));
        model()->moveCg(0, count, server(QStringLiteral("{m}")));
        QCOMPARE(m_grid->tileAt(60000)->accessibleName(), QStringLiteral("CG 60002"));
        QVERIFY(boundRight());

        // Only another item becoming current scrolls; a rename of the current
        // one (another desk) leaves the view where the operator put it.
        model()->setCurrentCg(model()->cgAt(60003));
        const int value = bar->value();
        QVERIFY(m_grid->currentTile());
        bar->setValue(bar->maximum());
        QCoreApplication::processEvents();
        model()->currentCg()->setName(QStringLiteral("renamed"), server(QStringLiteral("{n}")));
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(OvShortcutKey::instance().activate(QKeySequence(Qt::Key_Down)));
        QCoreApplication::processEvents();
        QCOMPARE(model()->indexOfCg(model()->currentCg()), 60003 + m_grid->columns());
        QVERIFY(qAbs(bar->value() - value) < 400);
        QCOMPARE(m_grid->currentTile()->cgItem(), model()->currentCg());

        // Emptied: no tile is left bound, and the scroll range is gone.
        model()->clearCg();
        QCOMPARE(m_grid->tileCount(), 0);
        QCOMPARE(bar->maximum(), 0);
    }

    void tileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fits");
        QTest::newRow("short") << QStringLiteral("台标") << true;
        QTest::newRow("markup") << QStringLiteral("<b>x") << true;
        QTest::newRow("half a tag") << QStringLiteral("a<b") << true;
        QTest::newRow("long") << QString(2000, QChar(u'长')) << false;
    }

    void tileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, fits);
        loadCatalogue(1);
        OvSubCGItem* const item = model()->cgAt(0);
        item->setName(name, server(QStringLiteral("{n}")));
        OvLabel* const label = tileOf(item)->nameLabel();
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->alignment(), fits ? Qt::Alignment(Qt::AlignCenter) : (Qt::AlignLeft | Qt::AlignVCenter));
        if (fits)
            QCOMPARE(label->text(), name);
        else
            QVERIFY(label->text().endsWith(QChar(0x2026)) && label->text().size() < 100);
        // The tool tip shows the name literally, never rendered, and never huge.
        QVERIFY(label->toolTip().contains(name.left(100).toHtmlEscaped()));
        QVERIFY(label->toolTip().size() < 400 * 6);
    }

    void removeAndMove()
    {
        loadCatalogue(4);
        OvSubCGItem* const first = model()->cgAt(0);
        OvSubCGItem* const gone = model()->cgAt(2);
        OvCGListItemWidget* const goneTile = m_grid->tileOf(gone);
        model()->removeCg(gone, server(QStringLiteral("{r}")));
        // The tile leaves with the item, and never shows the item again while
        // it waits for deletion.
        QCOMPARE(m_grid->tileCount(), 3);
        QVERIFY(!m_grid->tileOf(gone));
        QVERIFY(goneTile->cgItem() != gone);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(m_grid->tileCount(), 3);
        model()->moveCg(0, 99, server(QStringLiteral("{m}")));
        QCOMPARE(m_grid->tileAt(2)->cgItem(), first);
        model()->moveCg(2, -5, server(QStringLiteral("{m}")));
        QCOMPARE(m_grid->tileAt(0)->cgItem(), first);
    }

    void controlBar_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("enabled");  // PGM, PVW, cancel
        QTest::newRow("off air") << 0 << QStringLiteral("110");
        QTest::newRow("on PGM") << 1 << QStringLiteral("011");
        QTest::newRow("on PVW") << 2 << QStringLiteral("101");
        QTest::newRow("unknown") << 7 << QStringLiteral("110");
    }

    void controlBar()
    {
        QFETCH(int, status);
        QFETCH(QString, enabled);
        OvControlWidget bar(m_core.takes(), m_core.filter());
        const QList<OvGrayButton*> buttons{bar.pgmButton(), bar.pvwButton(), bar.cancelButton()};
        QCOMPARE(buttons.at(0)->accessibleName(), QStringLiteral("PGM"));
        QCOMPARE(buttons.at(2)->accessibleName(), QStringLiteral("取消"));
        loadCatalogue(2);
        OvSubCGItem* const item = model()->currentCg();
        QCOMPARE(bar.followedItem(), item);
        item->setStatus(status, server(QStringLiteral("{s}")));
        auto states = [&] {
            QString s;
            for (OvGrayButton* b : buttons)
                s += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
            return s;
        };
        QCOMPARE(states(), enabled);

        // A click sends through the model and the bar freezes while status is 3.
        OvGrayButton* const send = enabled.at(0) == QLatin1Char('1') ? buttons.at(0) : buttons.at(1);
        send->click();
        QCOMPARE(item->status(), 3);
        QCOMPARE(states(), enabled);
        QVERIFY(!send->property("lit").toBool());
        int updates = 0;
        const QMetaObject::Connection counter =
            connect(model(), &OvCGListModel::SingalCGUpdate, this, [&updates] { ++updates; });
        send->click();
        QCOMPARE(updates, 0);

        // The current item goes away: all enabled, cancel checked, clicks send nothing.
        model()->removeCg(item, server(QStringLiteral("{r}")));
        model()->setCurrentCg(nullptr);
        QVERIFY(!bar.followedItem());
        QCOMPARE(states(), QStringLiteral("111"));
        QVERIFY(!buttons.at(0)->property("lit").toBool() && !buttons.at(1)->property("lit").toBool()
                && buttons.at(2)->property("lit").toBool());
        for (OvGrayButton* b : buttons)
            b->click();
        QCOMPARE(updates, 0);
        disconnect(counter);
    }

    void showWidget()
    {
        OvCGShowWidget show(m_core.filter(), m_core.order());
        show.resize(1000, 600);
        show.show();
        QVERIFY(QTest::qWaitForWindowExposed(&show));
        QCoreApplication::processEvents();
        QVERIFY(show.hintLabel()->isVisible());
        QVERIFY(!show.grid()->isVisible());
        QCOMPARE(show.logPane()->width(), 185);
        QCOMPARE(show.savedLogWidth(), 185);

        emit OvTransferServer::instance()->signalConnect(true);
        QVERIFY(show.grid()->isVisible());
        QVERIFY(!show.hintLabel()->isVisible());

        // A resize goes to the CG area; the log pane keeps its width.
        show.resize(1400, 600);
        QCoreApplication::processEvents();
        QCOMPARE(show.logPane()->width(), 185);

        // A drag releases the pin within 125 and width - 194.
        show.onSplitterMoved(0, 1);
        QCOMPARE(show.logPane()->minimumWidth(), 125);
        QCOMPARE(show.logPane()->maximumWidth(), 1400 - 194);
        show.splitter()->setSizes({100, 1300});
        QCoreApplication::processEvents();
        QVERIFY(show.splitter()->widget(0)->width() >= 194);

        // Beside the splitter the button shows, just left of the handle; far
        // from it (the left edge of the tiles included) it does not.
        OvButton* const button = show.toggleButton();
        const int paneLeft = show.logPane()->mapTo(&show, QPoint()).x();
        show.onChildMouseMove(QPoint(paneLeft - 10, 300));
        QVERIFY(button->isVisible());
        QCOMPARE(button->geometry().right(), paneLeft - show.splitter()->handleWidth() - 1);
        show.onChildMouseMove(QPoint(10, 300));
        QVERIFY(!button->isVisible());

        // Collapse, then the button sits at the right edge and expands again.
        QCOMPARE(button->property("type").toString(), QStringLiteral("expand"));
        QCOMPARE(button->accessibleName(), QStringLiteral("收起操作日志"));
        button->click();
        QVERIFY(!show.logPane()->isVisible());
        QCOMPARE(button->property("type").toString(), QStringLiteral("collapse"));
        QCOMPARE(button->accessibleName(), QStringLiteral("展开操作日志"));
        QVERIFY(!button->isVisible());
        show.onChildMouseMove(QPoint(show.width() - 5, 300));
        QVERIFY(button->isVisible());
        QCOMPARE(button->geometry().right(), show.width() - 1);
        show.onChildMouseMove(QPoint(show.width() / 2, 300));
        QVERIFY(!button->isVisible());
        show.onChildMouseMove(QPoint(show.width() - 5, 300));
        button->click();
        QVERIFY(show.logPane()->isVisible());
        QCOMPARE(button->property("type").toString(), QStringLiteral("expand"));

        // Clear empties the list; losing the connection shows the hint again.
        OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("系统"), QStringLiteral("x"));
        show.logList()->logModel()->flush();
        QVERIFY(show.logList()->count() > 0);
        show.clearButton()->click();
        QCOMPARE(show.logList()->count(), 0);
        emit OvTransferServer::instance()->signalConnect(false);
        QVERIFY(show.hintLabel()->isVisible());
        QVERIFY(!show.grid()->isVisible());
    }

    void logEntries_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("color");
        QTest::newRow("system") << 0 << QStringLiteral("系统") << QStringLiteral("欢迎") << QStringLiteral("#19e819");
        QTest::newRow("operation") << 1 << QStringLiteral("Zhang") << QStringLiteral("发布\"A\"到PGM")
                                   << QStringLiteral("#FF641F");
        QTest::newRow("markup stays text") << 1 << QStringLiteral("<b>x") << QStringLiteral("a<b & <i>")
                                           << QStringLiteral("#FF641F");
        QTest::newRow("empty text") << 0 << QStringLiteral("系统") << QString() << QStringLiteral("#19e819");
    }

    void logEntries()
    {
        QFETCH(int, type);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, color);
        OvCGOperationLogListWidget list(nullptr);
        list.resize(200, 300);
        list.show();
        OvCGMessage::instance().addMessage(MessageType(type), title, text);
        QCOMPARE(list.count(), 0);  // shown at the end of the turn
        QCoreApplication::processEvents();
        QCOMPARE(list.count(), 1);
        const QModelIndex item = list.model()->index(0, 0);
        const QString shown = item.data().toString();
        const QString time = shown.section(QLatin1Char('\n'), 0, 0);
        QCOMPARE(time.size(), 16);  // yyyy-MM-dd hh:mm
        QCOMPARE(shown, time + QLatin1Char('\n') + title + QLatin1Char(':') + text);
        QCOMPARE(item.data(Qt::UserRole).toString(), title + QLatin1Char(':') + text);
        const auto* entry = list.entryAt(item);
        QVERIFY(entry);
        QCOMPARE(entry->titleColor(), color);
        // Two lines at least, and drawing it does not fail.
        QVERIFY(list.visualRect(item).height() >= 2 * list.fontMetrics().lineSpacing());
        QVERIFY(!list.grab().isNull());
    }

    // Log texts are wrapped by arithmetic on widths measured once: lines fit
    // (spaces may hang), words move whole when they fit on a line of their
    // own, and nothing is lost or doubled.
    void logWrapping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::newRow("words") << QStringLiteral("系统:the quick brown fox jumps over the lazy dog") << 80;
        QTest::newRow("chinese") << QStringLiteral("张编导:发布\"新闻标题一号字幕\"到PGM 调整了位置") << 60;
        QTest::newRow("word longer than the line") << QStringLiteral("x:") + QString(60, QLatin1Char('w')) << 50;
        QTest::newRow("narrower than a character") << QStringLiteral("系统:台标") << 1;
        QTest::newRow("line breaks read as spaces") << QStringLiteral("a:one\ntwo\rthree") << 1000;
        QTest::newRow("surrogate pairs") << QStringLiteral("a:") + QString::fromUtf8("\xF0\x9F\x8E\xAC").repeated(30) << 40;
    }

    void logWrapping()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        OvWrappedText wrapped;
        const QFont font = QApplication::font();
        wrapped.setText(text, font);
        const QString shown = wrapped.text();
        QVERIFY(!shown.contains(QLatin1Char('\n')) && !shown.contains(QLatin1Char('\r')));
        const QVector<int> ends = wrapped.lineEnds(width);
        QCOMPARE(ends.last(), shown.size());
        int start = 0;
        for (const int end : ends) {
            QVERIFY(end > start);
            QVERIFY(!shown.at(end - 1).isHighSurrogate());
            const QString line = shown.mid(start, end - start);
            const int ink = QString(line).remove(QRegularExpression(QStringLiteral("\\s+$"))).size();
            // A single character (or pair) may be wider than a very narrow line.
            if (ink > 2)
                QVERIFY2(wrapped.advance(start, start + ink) <= width + 0.01, qPrintable(line));
            // Measured as the sum of its characters, the line is what Qt draws.
            QVERIFY(qAbs(wrapped.advance(start, end) - QFontMetricsF(font).horizontalAdvance(line)) < 2.0);
            start = end;
        }
        if (text.startsWith(QLatin1String("系统:the")))
            for (int end : ends)
                QVERIFY(end == shown.size() || shown.at(end - 1).isSpace());
    }

    // The pane keeps the newest 10,000 entries: that bounds the window's
    // memory under a show of days (the log file has them all).
    void logKeepsNewest()
    {
        constexpr int Cap = 10000;
        constexpr int Added = Cap + 25;
        OvCGOperationLogListWidget list(nullptr);
        list.resize(200, 300);
        list.show();
        for (int i = 0; i < Added; ++i)
            list.addLogEntry(SystemMessage, QStringLiteral("t"), QStringLiteral("系统"), QString::number(i));
        list.logModel()->flush();
        QCOMPARE(list.count(), Cap);
        QCOMPARE(list.model()->index(0, 0).data(Qt::UserRole).toString(), QStringLiteral("系统:%1").arg(Added - Cap));
        QCoreApplication::processEvents();
        // Scrolled to the newest.
        QCOMPARE(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());
        QSignalSpy resized(&list, &OvCGOperationLogListWidget::resizeWidget);
        list.resize(260, 300);
        QCOMPARE(resized.count(), 1);
    }

    // However messages fall into turns, the log file and the list say the same
    // line for line, past the cap too: a burst shown at its turn's end as one
    // message per turn. Times are left out: the runs may straddle a minute.
    void logBatchesAsSingleMessages_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("count");
        QTest::newRow("a few") << 0 << 5;
        QTest::newRow("past the cap in one turn") << 0 << OvCGOperationLogListWidget::MaxEntries + 25;
        QTest::newRow("onto a nearly full list") << OvCGOperationLogListWidget::MaxEntries - 10 << 30;
    }

    void logBatchesAsSingleMessages()
    {
        QFETCH(int, before);
        QFETCH(int, count);
        OvCGMessage& hub = OvCGMessage::instance();
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/log/log.txt");
        // The lines written after the first `before` messages, then the rows shown.
        const auto run = [&](const OvCGOperationLogModel& rows, auto perMessage, auto turnEnd) {
            int mark = 0;
            for (int i = 0; i < before + count; ++i) {
                if (i == before) {
                    turnEnd();
                    mark = OvTest::readFile(path).size();
                }
                hub.addMessage(MessageType(i % 2), QStringLiteral("op%1").arg(i % 7), QStringLiteral("x\n%1").arg(i));
                perMessage();
            }
            turnEnd();
            QStringList out = QString::fromUtf8(OvTest::readFile(path).mid(mark)).split(QStringLiteral("\r\n"));
            for (QString& line : out)
                line.remove(0, 17);  // "yyyy-MM-dd hh:mm "
            for (int row = 0; row < rows.rowCount(); ++row)
                out << rows.entryAt(row)->titleColor() + rows.index(row, 0).data().toString().section('\n', 1);
            return out;
        };
        QStringList batched;
        {
            OvCGOperationLogListWidget list(nullptr);
            list.show();
            batched = run(*list.logModel(), [] {}, [] { QCoreApplication::processEvents(); });
        }
        OvCGOperationLogModel single(OvCGOperationLogListWidget::MaxEntries);
        connect(&hub, &OvCGMessage::notifyMessage, &single, &OvCGOperationLogModel::append);
        const auto flushBoth = [&] { hub.flushLog(); single.flush(); };
        QCOMPARE(batched, run(single, flushBoth, flushBoth));
    }
};

QTEST_MAIN(TstCgViews)
#include "tst_cgviews.moc"
