// The shortcut reference card.

#include "OvTestSupport.h"

#include "shell/OvTitlebar.h"
#include "shortcut/OvShortcutKeyDlg.h"

#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvLabel.h>

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

QStringList headerTexts(const QTableWidget* table)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts << table->horizontalHeaderItem(column)->text();
    return texts;
}

QStringList rowTexts(const QTableWidget* table)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts << table->item(0, column)->text();
    return texts;
}

}  // namespace

class TstShortcutDlg : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QApplication::setActiveWindow(nullptr); }

    void groupsOneRowEach()
    {
        OvShortcutKeyDlg dlg(nullptr);
        QCOMPARE(dlg.objectName(), QStringLiteral("OvShortcutKeyDlg"));
        // A class of its own: its texts are translated in its own context.
        QCOMPARE(QString::fromLatin1(dlg.metaObject()->className()), QStringLiteral("OvShortcutKeyDlg"));

        auto* bar = dlg.findChild<OvTitlebar*>();
        QVERIFY(bar);
        QCOMPARE(bar->titleLabel()->text(), QStringLiteral("快捷键"));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(!bar->iconLabel()->isVisible());
        QVERIFY(!bar->minimizeButton()->isVisible());
        QVERIFY(!bar->maximizeButton()->isVisible());
        QVERIFY(bar->closeButton()->isVisible());

        const QList<QGroupBox*> boxes = dlg.findChildren<QGroupBox*>();
        QCOMPARE(boxes.size(), 5);
        const QStringList titles = {QStringLiteral("快捷键(开启/关闭)"), QStringLiteral("快捷键选择框移动"),
                                    QStringLiteral("发布控制"), QStringLiteral("串联单"),
                                    QStringLiteral("搜索CG")};
        const QList<QStringList> headers = {
            {QStringLiteral("快捷键(开启/关闭)")},
            {QStringLiteral("上移"), QStringLiteral("下移"), QStringLiteral("左移"), QStringLiteral("右移")},
            {QStringLiteral("发布PGM"), QStringLiteral("发布PVW"), QStringLiteral("取消发布"), QStringLiteral("锁定发布"),
             QStringLiteral("全部撤下")},
            {QStringLiteral("执行下一条"), QStringLiteral("加入"), QStringLiteral("移除"), QStringLiteral("上移/下移")},
            {QStringLiteral("搜索"), QStringLiteral("选中第一个结果"), QStringLiteral("清空搜索")}};
        const QList<QStringList> rows = {
            {QStringLiteral("Ctrl+Alt+Q")},
            {QStringLiteral("方向键 ↑"), QStringLiteral("方向键 ↓"), QStringLiteral("方向键 ←"),
             QStringLiteral("方向键 →")},
            {QStringLiteral("Z"), QStringLiteral("X"), QStringLiteral("C"), QStringLiteral("Ctrl+L"),
             QStringLiteral("Ctrl+Shift+C")},
            {QStringLiteral("Space"), QStringLiteral("Insert"), QStringLiteral("Delete"), QStringLiteral("Alt+↑ / Alt+↓")},
            {QStringLiteral("Ctrl+F"), QStringLiteral("回车"), QStringLiteral("Esc")}};
        int previousY = -1;
        for (int i = 0; i < titles.size(); ++i) {
            QGroupBox* box = boxes.at(i);
            QCOMPARE(box->title(), titles.at(i));
            // Top to bottom in that order.
            QVERIFY(box->y() > previousY);
            previousY = box->y();
            const QList<QTableWidget*> tables = box->findChildren<QTableWidget*>();
            QCOMPARE(tables.size(), 1);
            const QTableWidget* table = tables.first();
            QCOMPARE(table->rowCount(), 1);
            QCOMPARE(table->rowHeight(0), 36);
            QVERIFY(!table->verticalHeader()->isVisible());
            QCOMPARE(headerTexts(table), headers.at(i));
            QCOMPARE(rowTexts(table), rows.at(i));
            QCOMPARE(table->focusPolicy(), Qt::NoFocus);
            QCOMPARE(table->accessibleName(), titles.at(i));
            for (int column = 0; column < table->columnCount(); ++column) {
                QCOMPARE(table->horizontalHeader()->sectionResizeMode(column), QHeaderView::Stretch);
                QCOMPARE(Qt::Alignment(table->item(0, column)->textAlignment()), Qt::AlignHCenter | Qt::AlignVCenter);
            }
            // The columns share the width.
            const int first = table->columnWidth(0);
            for (int column = 1; column < table->columnCount(); ++column)
                QVERIFY(qAbs(table->columnWidth(column) - first) <= 1);
        }
        QCOMPARE(boxes.first()->findChild<QTableWidget*>()->horizontalHeader()->defaultAlignment(),
                 Qt::AlignHCenter | Qt::AlignVCenter);
    }

    void clickGivesNoFocus()
    {
        QWidget window;
        window.setFocusPolicy(Qt::StrongFocus);
        window.resize(900, 700);
        OvShortcutKeyDlg dlg(&window);
        window.show();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
        window.setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(window.hasFocus(), 2000);

        for (QTableWidget* table : dlg.findChildren<QTableWidget*>()) {
            const QRect cell = table->visualItemRect(table->item(0, 0));
            QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
            QVERIFY(!table->hasFocus());
            QVERIFY(window.hasFocus());
        }
    }

    void centredInParent_data()
    {
        QTest::addColumn<QSize>("parentSize");
        QTest::addColumn<QSize>("size");
        QTest::newRow("even") << QSize(1000, 700) << QSize(400, 300);
        QTest::newRow("odd halves round down") << QSize(1001, 701) << QSize(401, 301);
        QTest::newRow("larger than the parent") << QSize(300, 200) << QSize(400, 300);
    }

    void centredInParent()
    {
        QFETCH(QSize, parentSize);
        QFETCH(QSize, size);
        QWidget window;
        window.move(120, 80);
        window.resize(parentSize);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        OvShortcutKeyDlg dlg(&window);
        dlg.resize(size);
        QRect seen;
        // A panel inside the window, not a window of its own: closed by a timer.
        QTimer::singleShot(100, &dlg, [&] {
            seen = dlg.geometry();
            dlg.reject();
        });
        dlg.exec();
        QVERIFY(!dlg.isWindow());
        const QPoint expected(parentSize.width() / 2 - size.width() / 2, parentSize.height() / 2 - size.height() / 2);
        QCOMPARE(seen, QRect(expected, size));
    }

    void sizedByContentsAndClosedByItsButton()
    {
        // The size comes from the layouts and the application's style sheet.
        const QByteArray qss = OvTest::readFile(QStringLiteral(OV_SOURCE_DIR "/qss/default.qss"));
        QVERIFY(qss.contains("#OvShortcutKeyDlg"));
        qApp->setStyleSheet(QString::fromUtf8(qss));
        QWidget window;
        window.resize(1280, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        OvShortcutKeyDlg dlg(&window);
        bool shown = false;
        QRect seen;
        QTimer::singleShot(100, &dlg, [&] {
            shown = dlg.isVisible();
            seen = dlg.geometry();
            dlg.findChild<OvTitlebar*>()->closeButton()->click();
        });
        QTimer::singleShot(3000, &dlg, &QDialog::accept);  // bound if the button failed
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(shown);
        // Not a default-sized panel: every table shows its row in full.
        QVERIFY(seen.width() > 100 && seen.height() > 200);
        QVERIFY2(window.rect().contains(seen), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(seen.x()).arg(seen.y()).arg(seen.width()).arg(seen.height())));
        QCOMPARE(seen.center().x() / 10, window.rect().center().x() / 10);
        for (const QTableWidget* table : dlg.findChildren<QTableWidget*>()) {
            const QRect cell = table->visualItemRect(table->item(0, 0));
            QVERIFY(table->viewport()->rect().contains(cell));
        }
        qApp->setStyleSheet(QString());
    }
};

QTEST_MAIN(TstShortcutDlg)
#include "tst_shortcutdlg.moc"
