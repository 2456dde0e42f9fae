// The dialog frame and the message box: window flags, modes, kinds, buttons,
// result codes and exec() results, Escape, and word wrap.

#include "OvTestSupport.h"

#include "shell/OvCGBaseDlg.h"
#include "shell/OvFramelessHelper.h"
#include "shell/OvMsgDlg.h"
#include "shell/OvTitlebar.h"

#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvLabel.h>

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {

// Runs the box modally and, once it shows, lets `act` answer it.
int runAnswered(OvMsgDlg& box, std::function<void(OvMsgDlg&)> act, bool* seen)
{
    *seen = false;
    OvTest::closeModalWhenShown(5000, 20, [&](QWidget* modal) {
        if (modal == &box) {
            *seen = true;
            act(box);
        }
    });
    return box.exec();
}

}  // namespace

class TstDialogs : public QObject
{
    Q_OBJECT
private slots:
    void baseFlagsAndModes();
    void kindsShowTheirButtons_data();
    void kindsShowTheirButtons();
    void buttonsGiveResults_data();
    void buttonsGiveResults();
    void escapeRejectsWithCodeZero();
    void longTextWraps();
};

void TstDialogs::baseFlagsAndModes()
{
    OvCGBaseDlg top(nullptr, 1);
    QCOMPARE(top.windowFlags() & ~Qt::Window,
             Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    QVERIFY(top.isWindow());
    QCOMPARE(top.moveResizeMode(), 1);
    // The constructor only records the mode: the helper keeps its defaults.
    OvFramelessHelper* helper = top.framelessHelper();
    QVERIFY(helper->movable() && helper->resizable());
    QVERIFY(!helper->moveRubberBand() && !helper->resizeRubberBand());
    QVERIFY(helper->target(&top));

    top.setMoveResizeMode(2);
    QCOMPARE(top.moveResizeMode(), 2);
    QVERIFY(helper->movable() && helper->resizable() && helper->moveRubberBand() && helper->resizeRubberBand());
    top.setMoveResizeMode(7);
    QVERIFY(!helper->movable() && !helper->resizable() && !helper->moveRubberBand() && !helper->resizeRubberBand());

    // With a parent the frame is a panel inside it.
    QWidget parent;
    auto* panel = new OvCGBaseDlg(&parent, 1);
    QVERIFY(!panel->isWindow());
    QCOMPARE(panel->parentWidget(), &parent);
}

void TstDialogs::kindsShowTheirButtons_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("no");
    QTest::newRow("below zero") << -3 << false << false;
    QTest::newRow("0") << 0 << false << false;
    QTest::newRow("1") << 1 << false << true;
    QTest::newRow("2") << 2 << true << true;
    QTest::newRow("above two") << 9 << true << true;
}

void TstDialogs::kindsShowTheirButtons()
{
    QFETCH(int, kind);
    QFETCH(bool, cancel);
    QFETCH(bool, no);
    OvMsgDlg box(QStringLiteral("是否断开远程连接"), kind, nullptr);
    QCOMPARE(box.objectName(), QStringLiteral("OvMsgDlg"));
    QCOMPARE(box.kind(), kind);
    QCOMPARE(box.resultCode(), 0);
    QCOMPARE(box.titlebar()->titleLabel()->text(), QStringLiteral("提示"));
    QCOMPARE(box.messageLabel()->objectName(), QStringLiteral("OvMsgDlg_m_uiMsg"));
    QCOMPARE(box.messageLabel()->text(), QStringLiteral("是否断开远程连接"));
    QCOMPARE(box.cancelButton()->objectName(), QStringLiteral("OvMsgDlg_m_pCancle"));
    QCOMPARE(box.noButton()->objectName(), QStringLiteral("OvMsgDlg_m_pNo"));
    QCOMPARE(box.yesButton()->objectName(), QStringLiteral("OvMsgDlg_m_pYes"));
    QCOMPARE(box.cancelButton()->text(), QStringLiteral("取消"));
    QCOMPARE(box.noButton()->text(), QStringLiteral("否"));
    QCOMPARE(box.yesButton()->text(), QStringLiteral("是"));
    QVERIFY(box.findChild<OvLabel*>(QStringLiteral("OvMsgDlg_icon")));

    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.cancelButton()->isVisible(), cancel);
    QCOMPARE(box.noButton()->isVisible(), no);
    QVERIFY(box.yesButton()->isVisible());
    QVERIFY(box.titlebar()->iconLabel()->isHidden());
    QVERIFY(box.titlebar()->maximizeButton()->isHidden());
    QVERIFY(box.titlebar()->minimizeButton()->isHidden());
    QVERIFY(box.titlebar()->closeButton()->isVisible());

    // Buttons sit at the right, in the order cancel, no, yes.
    const QRect yes = box.yesButton()->geometry();
    QCOMPARE(yes.right(), box.width() - 1 - 10);
    if (no)
        QVERIFY(box.noButton()->geometry().right() < yes.left());
    if (cancel)
        QVERIFY(box.cancelButton()->geometry().right() < box.noButton()->geometry().left());
}

void TstDialogs::buttonsGiveResults_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("execResult");
    QTest::addColumn<int>("resultCode");
    QTest::newRow("kind 0 yes") << 0 << "yes" << 1 << 0;
    QTest::newRow("kind 1 no") << 1 << "no" << 0 << 1;
    QTest::newRow("kind 1 yes") << 1 << "yes" << 1 << 0;
    QTest::newRow("kind 2 cancel") << 2 << "cancel" << 0 << 2;
    QTest::newRow("kind 2 no") << 2 << "no" << 0 << 1;
    QTest::newRow("kind 2 yes") << 2 << "yes" << 1 << 0;
}

void TstDialogs::buttonsGiveResults()
{
    QFETCH(int, kind);
    QFETCH(QString, button);
    QFETCH(int, execResult);
    QFETCH(int, resultCode);
    OvMsgDlg box(QStringLiteral("连接失败，当前设备已被加入黑名单，请修改远程黑名单设置。"), kind, nullptr);
    QSignalSpy accepted(&box, &QDialog::accepted);
    QSignalSpy rejected(&box, &QDialog::rejected);
    bool seen = false;
    const int result = runAnswered(
        box,
        [&](OvMsgDlg& b) {
            OvButton* target = button == QLatin1String("yes") ? b.yesButton()
                               : button == QLatin1String("no") ? b.noButton()
                                                               : b.cancelButton();
            QTest::mouseClick(target, Qt::LeftButton);
        },
        &seen);
    QVERIFY(seen);
    QCOMPARE(result, execResult);
    QCOMPARE(box.resultCode(), resultCode);
    QCOMPARE(accepted.count(), execResult == 1 ? 1 : 0);
    QCOMPARE(rejected.count(), execResult == 1 ? 0 : 1);
}

void TstDialogs::escapeRejectsWithCodeZero()
{
    OvMsgDlg box(QStringLiteral("是否断开远程连接"), 1, nullptr);
    bool seen = false;
    const int result =
        runAnswered(box, [](OvMsgDlg& b) { QTest::keyClick(&b, Qt::Key_Escape); }, &seen);
    QVERIFY(seen);
    QCOMPARE(result, 0);
    QCOMPARE(box.resultCode(), 0);
    QVERIFY(!box.isVisible());

    // The close button of the bar ends it the same way.
    OvMsgDlg second(QStringLiteral("未知错误。"), 2, nullptr);
    const int closed = runAnswered(
        second, [](OvMsgDlg& b) { QTest::mouseClick(b.titlebar()->closeButton(), Qt::LeftButton); }, &seen);
    QVERIFY(seen);
    QCOMPARE(closed, 0);
    QCOMPARE(second.resultCode(), 0);
}

void TstDialogs::longTextWraps()
{
    QString text;
    for (int i = 0; i < 60; ++i)
        text += QStringLiteral("远程拒绝连接或连接超时,请检查远程连接设置和网络状况后重试。");
    OvMsgDlg box(text, 1, nullptr);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(box.messageLabel()->wordWrap());
    const int oneLine = box.messageLabel()->fontMetrics().horizontalAdvance(text);
    QVERIFY(box.width() < oneLine / 4);
    QVERIFY(box.width() <= QApplication::primaryScreen()->availableGeometry().width());
    QVERIFY(box.messageLabel()->height() > box.messageLabel()->fontMetrics().height() * 3);
}

QTEST_MAIN(TstDialogs)
#include "tst_dialogs.moc"
