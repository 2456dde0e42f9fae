// The search above the tiles, in the real main window: what the filter shows
// as the catalogue changes, the current item it hides, and the keys while the
// field has the keyboard (sent to the focused widget, as the desktop does).

#include "OvTestSupport.h"
#include "shell/OvConsoleCore.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCGScrollareaWidget.h"
#include "cg/OvCGSearchField.h"
#include "cg/OvCGShowWidget.h"
#include "cg/OvSearchFilter.h"
#include "cg/OvControlWidget.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "cg/cgItemData.h"
#include "net/OvTransferServer.h"
#include "shell/OvCGVestrel.h"
#include "shortcut/OvShortcutKey.h"

#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>

#include <QApplication>
#include <QTest>

#include <memory>

namespace {

const QStringList Names = {"Lower Third 01", "lower third 02", "Headline", "天气预报", "明日天气", "Weather"};

OvCGListModel* model()
{
    return OvCGListModel::instance();
}

}  // namespace

class TstSearch : public QObject
{
    Q_OBJECT

    // The take path and the rest of a console's parts, with the default settings.
    OvConsoleCore m_core{OvSettings()};

    std::unique_ptr<OvCGVestrel> m_window;
    OvCGScrollareaWidget* grid() const { return m_window->showWidget()->grid(); }
    OvCGSearchField* field() const { return m_window->showWidget()->searchField(); }

    // The names the grid shows, in order, and the count beside the field.
    QString shown() const
    {
        QStringList names;
        for (int i = 0; i < m_core.filter()->shownCount(); ++i)
            names.append(m_core.filter()->shownAt(i)->name());
        return names.join(QLatin1Char('|')) + QStringLiteral(" [") + m_window->showWidget()->searchCount()->text()
               + QLatin1Char(']');
    }

private slots:
    void initTestCase()
    {
        m_window = std::make_unique<OvCGVestrel>(m_core);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        emit OvTransferServer::instance()->signalConnect(true);  // the grid and the field show
    }

    void init()
    {
        QList<cgItemData> list;
        for (const QString& name : Names)
            list.append(OvTest::cgRecord(name));
        model()->resetCgList(list);
        model()->setCurrentCg(model()->cgAt(2));
        field()->clear();
        m_window->activateWindow();
        m_window->setFocus();
        QCoreApplication::processEvents();
    }

    void cleanup()
    {
        if (OvShortcutKey::instance().isEnabled())
            OvShortcutKey::instance().toggleShortcuts();
    }

    void filterFollowsTheCatalogue()
    {
        field()->setText(QStringLiteral("THIRD"));
        QTRY_COMPARE(shown(), QStringLiteral("Lower Third 01|lower third 02 [2 / 6]"));
        field()->setText(QStringLiteral("天气"));
        QTRY_COMPARE(shown(), QStringLiteral("天气预报|明日天气 [2 / 6]"));
        // A rename in, an addition, a removal and a move, then a new list.
        model()->cgAt(5)->setName(QStringLiteral("天气 3"), localOperatorInfo());
        auto* added = new OvSubCGItem(OvTest::cgRecord(QStringLiteral("今日天气")));
        model()->insertCg(added, localOperatorInfo());
        model()->removeCg(model()->cgAt(3), localOperatorInfo());
        model()->moveCg(model()->indexOfCg(added), 0, localOperatorInfo());
        QTRY_COMPARE(shown(), QStringLiteral("今日天气|明日天气|天气 3 [3 / 6]"));
        model()->resetCgList({OvTest::cgRecord(QStringLiteral("天气")), OvTest::cgRecord(QStringLiteral("Other"))});
        QTRY_COMPARE(shown(), QStringLiteral("天气 [1 / 2]"));
        field()->setText(QStringLiteral("nothing like it"));
        QTRY_COMPARE(shown(), QStringLiteral(" [0 / 2]"));
        field()->clear();
        QTRY_COMPARE(shown(), QStringLiteral("天气|Other []"));
    }

    // Each character typed narrows the shown tiles, in any mix of cases.
    void typingIgnoresCase_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("counts");  // shown after each character
        QTest::newRow("lower, then upper") << QStringLiteral("weaTHER") << QList<int>{3, 3, 1, 1, 1, 1, 1};
        QTest::newRow("upper after the first") << QStringLiteral("lOWER T") << QList<int>{3, 2, 2, 2, 2, 2, 2};
    }

    void typingIgnoresCase()
    {
        QFETCH(QString, typed);
        QFETCH(QList<int>, counts);
        for (int i = 0; i < typed.size(); ++i) {
            QTest::keyClicks(field(), typed.mid(i, 1));
            QCOMPARE(field()->text(), typed.left(i + 1));
            QCOMPARE(m_window->showWidget()->searchCount()->text(),
                     QStringLiteral("%1 / %2").arg(counts.at(i)).arg(Names.size()));
        }
    }

    // The current item stays current while hidden; the arrows move among the
    // shown tiles and start from the first of them.
    void hiddenCurrentItem()
    {
        OvShortcutKey::instance().toggleShortcuts();
        field()->setText(QStringLiteral("third"));
        QTRY_COMPARE(m_core.filter()->shownCount(), 2);
        QCOMPARE(model()->currentCg()->name(), QStringLiteral("Headline"));
        QVERIFY(!grid()->currentTile());
        QTest::keyClick(m_window.get(), Qt::Key_Right);
        QCOMPARE(model()->currentCg()->name(), QStringLiteral("Lower Third 01"));
        QTest::keyClick(m_window.get(), Qt::Key_Right);
        QTest::keyClick(m_window.get(), Qt::Key_Right);
        QCOMPARE(model()->currentCg()->name(), QStringLiteral("lower third 02"));
        QTest::keyClick(m_window.get(), Qt::Key_Left);
        QCOMPARE(model()->currentCg()->name(), QStringLiteral("Lower Third 01"));
    }

    // Ctrl+F gives the field the keys: Z, X, C and the arrows type or do
    // nothing there, single keys on or not. Enter picks the first match and
    // gives the keys back (Z then publishes it); Esc empties the field.
    void keysWhileSearching()
    {
        OvShortcutKey::instance().toggleShortcuts();
        QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_COMPARE(QApplication::focusWidget(), field());
        QTest::keyClicks(field(), QStringLiteral("wzxc"));
        for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right})
            QTest::keyClick(field(), key);
        QCOMPARE(field()->text(), QStringLiteral("wzxc"));
        QCOMPARE(model()->currentCg()->name(), QStringLiteral("Headline"));
        for (OvSubCGItem* item : model()->cgList())
            QCOMPARE(item->status(), int(OvCgStatus::Idle));

        field()->setText(QStringLiteral("wea"));
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(model()->currentCg()->name(), QStringLiteral("Weather"));
        QVERIFY(QApplication::focusWidget() != field());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z);
        QCOMPARE(model()->currentCg()->status(), int(OvCgStatus::Sending));

        QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_COMPARE(QApplication::focusWidget(), field());
        QTest::keyClick(field(), Qt::Key_Escape);
        QCOMPARE(field()->text(), QString());
        QTRY_COMPARE(m_core.filter()->shownCount(), Names.size());
        QVERIFY(QApplication::focusWidget() != field());
        QVERIFY(m_window->isVisible());
    }

    // A take never acts on an item the search hides: Enter without a match
    // keeps the keys in the field, and while the current item is hidden the
    // single keys and the control bar leave it alone.
    void hiddenItemIsNeverTaken()
    {
        OvShortcutKey::instance().toggleShortcuts();
        OvControlWidget* const bar = m_window->controlWidget();
        QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(field(), QStringLiteral("wether"));
        QTRY_COMPARE(m_core.filter()->shownCount(), 0);
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), field());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z);
        QCOMPARE(field()->text(), QStringLiteral("wetherz"));
        QVERIFY(!bar->pgmButton()->isEnabled() && !bar->pvwButton()->isEnabled());

        m_window->setFocus();
        QTest::keyClick(m_window.get(), Qt::Key_Z);
        QCOMPARE(model()->currentCg()->status(), int(OvCgStatus::Idle));
        model()->currentCg()->setStatus(OvCgStatus::OnPgm, localOperatorInfo());
        QTest::keyClick(m_window.get(), Qt::Key_X);
        QTest::keyClick(m_window.get(), Qt::Key_C);
        QVERIFY(!bar->cancelButton()->isEnabled());
        QCOMPARE(model()->currentCg()->status(), int(OvCgStatus::OnPgm));
        QCOMPARE(model()->pendingOperationId(model()->currentCg()), QString());
        field()->clear();
        QTRY_VERIFY(bar->cancelButton()->isEnabled());
    }

    // A connection lost (and won back) while the operator types in the
    // search leaves the keyboard in the field.
    void searchKeepsTheKeyboardAcrossALoss()
    {
        OvShortcutKey::instance().toggleShortcuts();
        QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(field(), QStringLiteral("ele"));
        emit OvTransferServer::instance()->signalConnect(false);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("c"));
        emit OvTransferServer::instance()->signalConnect(true);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("tion"));
        QCOMPARE(field()->text(), QStringLiteral("election"));
        QCOMPARE(QApplication::focusWidget(), field());
    }
};

QTEST_MAIN(TstSearch)
#include "tst_search.moc"
