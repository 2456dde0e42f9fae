// Title bar, its drag states and the frameless helper: edge detection, cursors,
// moving and resizing (directly and through outlines), and maximize/restore.

#include "OvTestSupport.h"

#include "shell/EdgeHit.h"
#include "shell/FramelessTarget.h"
#include "shell/OvCGBaseDlg.h"
#include "shell/OvFramelessHelper.h"
#include "shell/OvTitlebar.h"
#include "shell/TitleMouseMovePressState.h"

#include <OvUIUtility/MenuButton.h>
#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/VNsNmLayout.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QRubberBand>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Sends a mouse event as the window system would deliver it: through the
// application, so event filters and propagation to parents take part.
void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& localPos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, localPos, widget->mapToGlobal(localPos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void sendMouseGlobal(QWidget* widget, QEvent::Type type, const QPoint& globalPos, Qt::MouseButton button,
                     Qt::MouseButtons buttons)
{
    sendMouse(widget, type, widget->mapFromGlobal(globalPos), button, buttons);
}

// A plain window that counts the presses that reach it.
class PressCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        QWidget::mousePressEvent(event);
    }
};

// A frameless dialog with a title bar, as the console's dialogs are built.
class BarDialog : public OvCGBaseDlg
{
public:
    explicit BarDialog(QWidget* parent = nullptr) : OvCGBaseDlg(parent, 1), bar(new OvTitlebar(this))
    {
        auto* layout = new VNsNmLayout(this);
        layout->addWidget(bar);
        layout->addStretch();
    }
    OvTitlebar* bar;
};

// A frameless 400 x 300 window at (100, 100), managed by helper and shown.
bool showManaged(QWidget* window, OvFramelessHelper* helper)
{
    window->setWindowFlags(Qt::FramelessWindowHint);
    window->setGeometry(100, 100, 400, 300);
    helper->activateOn(window);
    window->show();
    return QTest::qWaitForWindowExposed(window);
}

}  // namespace

class TstTitlebar : public QObject
{
    Q_OBJECT
private slots:
    void edgeHitBands();
    void cursorFollowsBorders();
    void resizeStopsAtMinimum();
    void resizeKeepsOppositeEdgeAndIgnoresInvalid();
    void outlineMoveAndResize();
    void otherButtonsConsumed();
    void helperLifetime();
    void titlebarWidgetsAndMenu();
    void maximizeRestoreProperties();
    void maximizedDialogDragRestoresAndKeepsRatio();
    void maximizedWindowIgnoresHelper();
    void pressOnAnyBarReplacesStartPoint();
};

void TstTitlebar::edgeHitBands()
{
    const QRect frame(100, 100, 400, 300);
    const EdgeHit corner = EdgeHit::of(QPoint(103, 103), frame, FramelessTarget::BorderWidth);
    QVERIFY(corner.onEdges && corner.top && corner.left && corner.topLeft);
    QVERIFY(!corner.right && !corner.bottom && !corner.topRight && !corner.bottomLeft && !corner.bottomRight);

    const EdgeHit inside = EdgeHit::of(QPoint(106, 250), frame, FramelessTarget::BorderWidth);
    QVERIFY(!inside.onEdges && !inside.left && !inside.top && !inside.right && !inside.bottom);

    // Inclusive bounds: the band is border + 1 pixels wide on each side.
    QVERIFY(EdgeHit::of(QPoint(105, 250), frame, 5).left);
    QVERIFY(EdgeHit::of(QPoint(500, 250), frame, 5).right);
    QVERIFY(EdgeHit::of(QPoint(495, 250), frame, 5).right);
    QVERIFY(!EdgeHit::of(QPoint(494, 250), frame, 5).right);
    QVERIFY(EdgeHit::of(QPoint(499, 399), frame, 5).bottomRight);
    QVERIFY(EdgeHit::of(QPoint(499, 101), frame, 5).topRight);
    QVERIFY(EdgeHit::of(QPoint(101, 399), frame, 5).bottomLeft);
    QVERIFY(!EdgeHit::of(QPoint(99, 250), frame, 5).onEdges);

    EdgeHit reset = corner;
    reset.reset();
    QVERIFY(!reset.onEdges && !reset.topLeft);
}

void TstTitlebar::cursorFollowsBorders()
{
    QWidget window;
    OvFramelessHelper helper;
    QVERIFY(showManaged(&window, &helper));
    QVERIFY(window.hasMouseTracking());
    QVERIFY(window.testAttribute(Qt::WA_Hover));

    sendMouse(&window, QEvent::MouseMove, QPoint(3, 3), Qt::NoButton, Qt::NoButton);
    QVERIFY(window.testAttribute(Qt::WA_SetCursor));
    QCOMPARE(window.cursor().shape(), Qt::SizeFDiagCursor);
    QVERIFY(helper.target(&window)->cursorChanged());

    sendMouse(&window, QEvent::MouseMove, QPoint(395, 3), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.cursor().shape(), Qt::SizeBDiagCursor);
    sendMouse(&window, QEvent::MouseMove, QPoint(398, 150), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.cursor().shape(), Qt::SizeHorCursor);
    sendMouse(&window, QEvent::MouseMove, QPoint(200, 297), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.cursor().shape(), Qt::SizeVerCursor);

    // Six pixels in from the left at half height: no border, the cursor is unset.
    sendMouse(&window, QEvent::MouseMove, QPoint(6, 150), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!helper.target(&window)->cursorChanged());

    // Hover moves choose the cursor too.
    QHoverEvent hover(QEvent::HoverMove, QPointF(2, 150), QPointF(50, 150));
    QApplication::sendEvent(&window, &hover);
    QCOMPARE(window.cursor().shape(), Qt::SizeHorCursor);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&window, &leave);
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);

    // Not resizable: no cursor changes.
    helper.setResizable(false);
    sendMouse(&window, QEvent::MouseMove, QPoint(3, 3), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
}

void TstTitlebar::resizeStopsAtMinimum()
{
    QWidget window;
    window.setMinimumSize(300, 200);
    OvFramelessHelper helper;
    QVERIFY(showManaged(&window, &helper));
    const QRect start = window.frameGeometry();

    sendMouseGlobal(&window, QEvent::MouseButtonPress, QPoint(start.left() + 2, start.center().y()),
                    Qt::LeftButton, Qt::LeftButton);
    QVERIFY(helper.target(&window)->pressedEdges().left);

    // Within the minimum: the left edge follows.
    sendMouseGlobal(&window, QEvent::MouseMove, QPoint(start.left() + 50, start.center().y()), Qt::NoButton,
                    Qt::LeftButton);
    QCOMPARE(window.frameGeometry().left(), start.left() + 50);
    QCOMPARE(window.frameGeometry().right(), start.right());

    // Past the minimum: the left edge stays where it was, the right one too.
    const QRect before = window.frameGeometry();
    sendMouseGlobal(&window, QEvent::MouseMove, QPoint(start.left() + 250, start.center().y()), Qt::NoButton,
                    Qt::LeftButton);
    QCOMPARE(window.frameGeometry(), before);
    QVERIFY(window.width() >= window.minimumWidth());

    // Past the minimum height by the bottom border: the bottom edge stays.
    sendMouseGlobal(&window, QEvent::MouseButtonRelease, QPoint(start.left() + 250, start.center().y()),
                    Qt::LeftButton, Qt::NoButton);
    const QRect beforeBottom = window.frameGeometry();
    sendMouseGlobal(&window, QEvent::MouseButtonPress, QPoint(beforeBottom.center().x(), beforeBottom.bottom()),
                    Qt::LeftButton, Qt::LeftButton);
    sendMouseGlobal(&window, QEvent::MouseMove, QPoint(beforeBottom.center().x(), beforeBottom.top() + 50),
                    Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.frameGeometry(), beforeBottom);
    sendMouseGlobal(&window, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!helper.target(&window)->pressedEdges().onEdges);
}

void TstTitlebar::resizeKeepsOppositeEdgeAndIgnoresInvalid()
{
    QWidget window;
    OvFramelessHelper helper;
    QVERIFY(showManaged(&window, &helper));
    const QRect start = window.frameGeometry();

    // Bottom-right corner: both far edges follow, the near ones stay.
    sendMouseGlobal(&window, QEvent::MouseButtonPress, start.bottomRight(), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(helper.target(&window)->pressedEdges().bottomRight);
    sendMouseGlobal(&window, QEvent::MouseMove, start.bottomRight() + QPoint(30, 20), Qt::NoButton,
                    Qt::LeftButton);
    QCOMPARE(window.frameGeometry(), QRect(start.topLeft(), start.bottomRight() + QPoint(30, 20)));

    // Dragging the corner past the opposite edge gives no valid rectangle: ignored.
    const QRect before = window.frameGeometry();
    sendMouseGlobal(&window, QEvent::MouseMove, start.topLeft() - QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.frameGeometry(), before);
    sendMouseGlobal(&window, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::LeftButton, Qt::NoButton);

    // Top-left corner.
    const QRect r = window.frameGeometry();
    sendMouseGlobal(&window, QEvent::MouseButtonPress, r.topLeft() + QPoint(1, 1), Qt::LeftButton, Qt::LeftButton);
    sendMouseGlobal(&window, QEvent::MouseMove, r.topLeft() + QPoint(-20, 10), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.frameGeometry(), QRect(r.topLeft() + QPoint(-20, 10), r.bottomRight()));
    sendMouseGlobal(&window, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::LeftButton, Qt::NoButton);
}

void TstTitlebar::outlineMoveAndResize()
{
    BarDialog dialog;
    dialog.setMoveResizeMode(2);
    dialog.setGeometry(100, 100, 400, 300);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.bar->setSelfMove(false);
    OvFramelessHelper* helper = dialog.framelessHelper();
    QVERIFY(helper->movable() && helper->resizable() && helper->moveRubberBand() && helper->resizeRubberBand());
    QRubberBand* band = helper->target(&dialog)->rubberBand();
    QVERIFY(band);
    QVERIFY(!band->isVisible());

    // Move by the title strip: only the outline moves until the release.
    const QRect start = dialog.frameGeometry();
    const QPoint grab = start.topLeft() + QPoint(200, 15);
    sendMouseGlobal(dialog.bar, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(band->isVisible());
    QCOMPARE(band->geometry(), start);
    sendMouseGlobal(dialog.bar, QEvent::MouseMove, grab + QPoint(50, 40), Qt::NoButton, Qt::LeftButton);
    sendMouseGlobal(dialog.bar, QEvent::MouseMove, grab + QPoint(70, 60), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(dialog.frameGeometry(), start);
    QCOMPARE(band->geometry(), start.translated(70, 60));
    sendMouseGlobal(dialog.bar, QEvent::MouseButtonRelease, grab + QPoint(70, 60), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!band->isVisible());
    QCOMPARE(dialog.geometry(), start.translated(70, 60));

    // A press below the title strip and off the borders moves nothing.
    const QRect moved = dialog.frameGeometry();
    sendMouseGlobal(&dialog, QEvent::MouseButtonPress, moved.center(), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(!band->isVisible());
    sendMouseGlobal(&dialog, QEvent::MouseMove, moved.center() + QPoint(30, 30), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(dialog.frameGeometry(), moved);
    sendMouseGlobal(&dialog, QEvent::MouseButtonRelease, moved.center(), Qt::LeftButton, Qt::NoButton);

    // Resize at the right border through the outline.
    const QPoint edge(moved.right(), moved.center().y());
    sendMouseGlobal(&dialog, QEvent::MouseButtonPress, edge, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(band->isVisible());
    sendMouseGlobal(&dialog, QEvent::MouseMove, edge + QPoint(60, 0), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(dialog.frameGeometry(), moved);
    QCOMPARE(band->geometry().width(), moved.width() + 60);
    sendMouseGlobal(&dialog, QEvent::MouseButtonRelease, edge + QPoint(60, 0), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(dialog.geometry(), QRect(moved.topLeft(), QSize(moved.width() + 60, moved.height())));

    // Both outline switches off: the outline goes away.
    helper->setMoveRubberBand(false);
    QVERIFY(helper->target(&dialog)->rubberBand());
    helper->setResizeRubberBand(false);
    QVERIFY(!helper->target(&dialog)->rubberBand());

    // Mode other than 1 and 2: neither moves nor resizes.
    dialog.setMoveResizeMode(0);
    QVERIFY(!helper->movable() && !helper->resizable());
    const QRect fixed = dialog.frameGeometry();
    sendMouseGlobal(&dialog, QEvent::MouseButtonPress, QPoint(fixed.right(), fixed.center().y()), Qt::LeftButton,
                    Qt::LeftButton);
    sendMouseGlobal(&dialog, QEvent::MouseMove, QPoint(fixed.right() + 40, fixed.center().y()), Qt::NoButton,
                    Qt::LeftButton);
    QCOMPARE(dialog.frameGeometry(), fixed);
    sendMouseGlobal(&dialog, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::LeftButton, Qt::NoButton);

    dialog.setMoveResizeMode(1);
    QVERIFY(helper->movable() && helper->moveRubberBand() && !helper->resizable());
}

void TstTitlebar::otherButtonsConsumed()
{
    PressCounter window;
    OvFramelessHelper helper;
    QVERIFY(showManaged(&window, &helper));
    const QRect start = window.frameGeometry();

    // Right button on the border: consumed, nothing changes.
    sendMouse(&window, QEvent::MouseButtonPress, QPoint(1, 150), Qt::RightButton, Qt::RightButton);
    QCOMPARE(window.presses, 0);
    sendMouse(&window, QEvent::MouseMove, QPoint(50, 150), Qt::NoButton, Qt::RightButton);
    sendMouse(&window, QEvent::MouseButtonRelease, QPoint(50, 150), Qt::RightButton, Qt::NoButton);
    QCOMPARE(window.frameGeometry(), start);
    // Right button inside: consumed as well.
    sendMouse(&window, QEvent::MouseButtonPress, QPoint(200, 150), Qt::RightButton, Qt::RightButton);
    QCOMPARE(window.presses, 0);

    // Left press on the border: consumed by the resize.
    sendMouse(&window, QEvent::MouseButtonPress, QPoint(1, 150), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(window.presses, 0);
    sendMouse(&window, QEvent::MouseButtonRelease, QPoint(1, 150), Qt::LeftButton, Qt::NoButton);
    // Left press inside: the window handles it itself.
    sendMouse(&window, QEvent::MouseButtonPress, QPoint(200, 150), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(window.presses, 1);
    sendMouse(&window, QEvent::MouseButtonRelease, QPoint(200, 150), Qt::LeftButton, Qt::NoButton);
}

void TstTitlebar::helperLifetime()
{
    // Deleting the helper hands the widget back as it was.
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    const Qt::WindowFlags flags = window.windowFlags();
    auto helper = std::make_unique<OvFramelessHelper>();
    helper->setMoveRubberBand(true);
    helper->activateOn(&window);
    helper->activateOn(&window);  // a second activation is ignored
    QPointer<QRubberBand> band = helper->target(&window)->rubberBand();
    QVERIFY(band);
    helper.reset();
    QVERIFY(!window.hasMouseTracking());
    QVERIFY(!window.testAttribute(Qt::WA_Hover));
    QCOMPARE(window.windowFlags(), flags);
    QVERIFY(!band);

    // A widget destroyed before its helper leaves no dangling record behind.
    OvFramelessHelper survivor;
    auto doomed = std::make_unique<QWidget>();
    survivor.activateOn(doomed.get());
    QWidget* raw = doomed.get();
    doomed.reset();
    QVERIFY(!survivor.target(raw));
    survivor.setResizeRubberBand(true);
}

void TstTitlebar::titlebarWidgetsAndMenu()
{
    QWidget window;
    auto* bar = new OvTitlebar(&window);
    QCOMPARE(bar->minimizeButton()->objectName(), QStringLiteral("OvTitlebar_m_minimize"));
    QCOMPARE(bar->maximizeButton()->objectName(), QStringLiteral("OvTitlebar_m_maximize"));
    QCOMPARE(bar->closeButton()->objectName(), QStringLiteral("close"));
    QCOMPARE(bar->iconLabel()->objectName(), QStringLiteral("OvTitlebar_m_icon"));
    QCOMPARE(bar->titleLabel()->objectName(), QStringLiteral("OvTitlebar_m_title"));
    QCOMPARE(static_cast<QObject*>(bar->helpButton())->objectName(), QStringLiteral("OvTitlebar_m_helper"));
    QCOMPARE(bar->titleLabel()->text(), QStringLiteral("CGVestrel"));
    QCOMPARE(bar->helpButton()->text(), QStringLiteral("帮助"));
    QVERIFY(bar->selfMove());

    // Adopted by the layout.
    QCOMPARE(bar->closeButton()->parentWidget(), bar);
    QCOMPARE(bar->helpButton()->parentWidget(), bar);
    QCOMPARE(bar->noticeArea()->parentWidget(), bar);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(bar->helpButton()->isHidden());
    QVERIFY(bar->noticeArea()->isHidden());
    bar->showHelpMenu();
    bar->showNotice();
    QVERIFY(!bar->helpButton()->isHidden());
    QVERIFY(!bar->noticeArea()->isHidden());
    bar->hideIcon();
    bar->hideMinimizeButton();
    bar->hideMaximizeButton();
    QVERIFY(bar->iconLabel()->isHidden() && bar->minimizeButton()->isHidden() && bar->maximizeButton()->isHidden());
    bar->setTitle(QStringLiteral("连接设置"));
    QCOMPARE(bar->titleLabel()->text(), QStringLiteral("连接设置"));

    const QList<QAction*> actions = bar->helpButton()->getMenu()->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("快捷键"));
    QCOMPARE(actions.at(1)->text(), QStringLiteral("关于"));
    QCOMPARE(actions.at(2)->text(), QStringLiteral("帮助信息"));
    QSignalSpy quick(bar, &OvTitlebar::quickWidget);
    QSignalSpy about(bar, &OvTitlebar::about);
    QSignalSpy help(bar, &OvTitlebar::helperInfo);
    actions.at(1)->trigger();
    actions.at(2)->trigger();
    actions.at(0)->trigger();
    QCOMPARE(quick.count(), 1);
    QCOMPARE(about.count(), 1);
    QCOMPARE(help.count(), 1);

    // The close button closes the window.
    QTest::mouseClick(bar->closeButton(), Qt::LeftButton);
    QVERIFY(!window.isVisible());
}

void TstTitlebar::maximizeRestoreProperties()
{
    BarDialog dialog;
    dialog.setGeometry(100, 100, 400, 300);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.bar->updateMaximizeState();
    QCOMPARE(dialog.bar->maximizeButton()->property("max"), QVariant(true));
    QCOMPARE(dialog.bar->maximizeButton()->accessibleName(), QStringLiteral("最大化"));

    QTest::mouseClick(dialog.bar->maximizeButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isMaximized(), 2000);
    QCOMPARE(dialog.property("type").toString(), QString());
    dialog.bar->updateMaximizeState();
    QCOMPARE(dialog.bar->maximizeButton()->property("max"), QVariant(false));
    QCOMPARE(dialog.bar->maximizeButton()->accessibleName(), QStringLiteral("还原"));

    // A double click on the bar restores.
    QTest::mouseDClick(dialog.bar, Qt::LeftButton, Qt::NoModifier, QPoint(150, 10));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isMaximized(), 2000);
    QCOMPARE(dialog.property("type").toString(), QStringLiteral("small"));
    dialog.bar->updateMaximizeState();
    QCOMPARE(dialog.bar->maximizeButton()->property("max"), QVariant(true));

    // And maximizes again.
    QTest::mouseDClick(dialog.bar, Qt::LeftButton, Qt::NoModifier, QPoint(150, 10));
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isMaximized(), 2000);
    QCOMPARE(dialog.property("type").toString(), QString());

    QTest::mouseClick(dialog.bar->minimizeButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isMinimized(), 2000);
}

void TstTitlebar::maximizedDialogDragRestoresAndKeepsRatio()
{
    BarDialog dialog;
    dialog.setGeometry(100, 100, 600, 300);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const int normalWidth = dialog.width();
    dialog.showMaximized();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isMaximized() && dialog.width() > normalWidth, 2000);
    const int maxWidth = dialog.bar->width();

    // Grab the bar three quarters along.
    const QPoint press(maxWidth * 3 / 4, 12);
    const QPoint pressGlobal = dialog.bar->mapToGlobal(press);
    sendMouse(dialog.bar, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(!TitleMouseMovePressState::instance()->hasRestoreRatio());

    // First move: back to normal size.
    QMouseEvent first(QEvent::MouseMove, press + QPoint(5, 5), pressGlobal + QPoint(5, 5), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dialog.bar, &first);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isMaximized() && dialog.width() == normalWidth, 2000);
    QVERIFY(TitleMouseMovePressState::instance()->hasRestoreRatio());

    // Second move: the bar goes under the pointer at the same relative place.
    const QPoint second = pressGlobal + QPoint(10, 8);
    QMouseEvent secondEvent(QEvent::MouseMove, dialog.bar->mapFromGlobal(second), second, Qt::NoButton,
                            Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dialog.bar, &secondEvent);
    QVERIFY(!TitleMouseMovePressState::instance()->hasRestoreRatio());
    // The ratio is taken at the first move, five pixels on from the press.
    const int expectedX = int(float((press.x() + 5) * 1.0 / maxWidth) * float(normalWidth));
    QCOMPARE(dialog.x(), second.x() - expectedX);
    QVERIFY(dialog.frameGeometry().contains(second));

    // Later moves follow the pointer, and the frameless helper does not pull the
    // window back to where the maximized press was.
    const QPoint third = second + QPoint(-30, 25);
    sendMouseGlobal(dialog.bar, QEvent::MouseMove, third, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(dialog.pos(), QPoint(third.x() - expectedX, dialog.pos().y()));
    QVERIFY(dialog.frameGeometry().contains(third));
    sendMouseGlobal(dialog.bar, QEvent::MouseButtonRelease, third, Qt::LeftButton, Qt::NoButton);

    // A plain drag of a normal window keeps the grab offset.
    const QPoint start = dialog.pos();
    sendMouse(dialog.bar, QEvent::MouseButtonPress, QPoint(100, 10), Qt::LeftButton, Qt::LeftButton);
    const QPoint g = dialog.bar->mapToGlobal(QPoint(100, 10));
    sendMouseGlobal(dialog.bar, QEvent::MouseMove, g + QPoint(40, 30), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(dialog.pos(), start + QPoint(40, 30));
    sendMouseGlobal(dialog.bar, QEvent::MouseButtonRelease, g + QPoint(40, 30), Qt::LeftButton, Qt::NoButton);
    // After the release, moves drag nothing.
    sendMouseGlobal(dialog.bar, QEvent::MouseMove, g + QPoint(90, 90), Qt::NoButton, Qt::NoButton);
    QCOMPARE(dialog.pos(), start + QPoint(40, 30));
}

void TstTitlebar::maximizedWindowIgnoresHelper()
{
    // As the main window: the helper moves it, the bar does not.
    BarDialog window;
    window.bar->setSelfMove(false);
    window.setMoveResizeMode(2);
    window.setGeometry(100, 100, 400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.showMaximized();
    QTRY_VERIFY_WITH_TIMEOUT(window.isMaximized(), 2000);
    const QRect maxGeometry = window.frameGeometry();

    // No resize cursors.
    sendMouse(&window, QEvent::MouseMove, QPoint(2, 150), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);

    // Dragging the bar does nothing; nor does dragging a border.
    QRubberBand* band = window.framelessHelper()->target(&window)->rubberBand();
    sendMouse(window.bar, QEvent::MouseButtonPress, QPoint(200, 15), Qt::LeftButton, Qt::LeftButton);
    sendMouse(window.bar, QEvent::MouseMove, QPoint(260, 80), Qt::NoButton, Qt::LeftButton);
    QVERIFY(!band->isVisible());
    sendMouse(window.bar, QEvent::MouseButtonRelease, QPoint(260, 80), Qt::LeftButton, Qt::NoButton);
    QVERIFY(window.isMaximized());
    QCOMPARE(window.frameGeometry(), maxGeometry);
    sendMouse(&window, QEvent::MouseButtonPress, QPoint(1, 150), Qt::LeftButton, Qt::LeftButton);
    sendMouse(&window, QEvent::MouseMove, QPoint(100, 150), Qt::NoButton, Qt::LeftButton);
    sendMouse(&window, QEvent::MouseButtonRelease, QPoint(100, 150), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(window.frameGeometry(), maxGeometry);
}

void TstTitlebar::pressOnAnyBarReplacesStartPoint()
{
    BarDialog a;
    BarDialog b;
    a.setGeometry(50, 50, 300, 200);
    b.setGeometry(400, 50, 300, 200);
    a.show();
    b.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b));
    sendMouse(a.bar, QEvent::MouseButtonPress, QPoint(30, 10), Qt::LeftButton, Qt::LeftButton);
    const QPoint fromA = TitleMouseMovePressState::instance()->startPoint();
    sendMouse(b.bar, QEvent::MouseButtonPress, QPoint(70, 12), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(TitleMouseMovePressState::instance()->startPoint() != fromA);
    QCOMPARE(TitleMouseMovePressState::instance()->startPoint(), b.bar->mapToParent(QPoint(70, 12)));
    sendMouse(b.bar, QEvent::MouseButtonRelease, QPoint(70, 12), Qt::LeftButton, Qt::NoButton);
    sendMouse(a.bar, QEvent::MouseButtonRelease, QPoint(30, 10), Qt::LeftButton, Qt::NoButton);
}

QTEST_MAIN(TstTitlebar)
#include "tst_titlebar.moc"
