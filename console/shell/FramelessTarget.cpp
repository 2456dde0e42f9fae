#include "FramelessTarget.h"

#include "FramelessSwitches.h"

#include <QHoverEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWidget>

FramelessTarget::FramelessTarget(const FramelessSwitches* switches, QWidget* widget)
    : m_switches(switches), m_widget(widget), m_savedFlags(widget->windowFlags())
{
    m_widget->setMouseTracking(true);
    m_widget->setAttribute(Qt::WA_Hover, true);
    updateRubberBand();
}

FramelessTarget::~FramelessTarget()
{
    delete m_rubberBand.data();
    if (!m_widget)
        return;
    m_widget->setMouseTracking(false);
    if (m_widget->windowFlags() != m_savedFlags)
        m_widget->setWindowFlags(m_savedFlags);
    m_widget->setAttribute(Qt::WA_Hover, false);
}

void FramelessTarget::updateRubberBand()
{
    if (m_switches->anyRubberBand()) {
        if (!m_rubberBand) {
            // A window's outline is a top-level band in screen coordinates; a child
            // widget's outline lives in the same parent as the widget.
            QWidget* bandParent = m_widget->isWindow() ? nullptr : m_widget->parentWidget();
            m_rubberBand = new QRubberBand(QRubberBand::Rectangle, bandParent);
        }
    } else {
        delete m_rubberBand.data();
    }
}

bool FramelessTarget::handleEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        return handleMousePress(static_cast<QMouseEvent*>(event));
    case QEvent::MouseButtonRelease:
        handleMouseRelease(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseMove:
        handleMouseMove(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::Leave:
        handleLeave();
        return true;
    case QEvent::HoverMove:
        handleHoverMove(static_cast<QHoverEvent*>(event));
        return true;
    default:
        return false;
    }
}

QPoint FramelessTarget::toPlacement(const QPoint& globalPos) const
{
    if (m_widget->isWindow() || !m_widget->parentWidget())
        return globalPos;
    return m_widget->parentWidget()->mapFromGlobal(globalPos);
}

QRect FramelessTarget::placementGeometry() const
{
    return m_widget->frameGeometry();
}

bool FramelessTarget::isMaximizedOrFullScreen() const
{
    return m_widget->isMaximized() || m_widget->isFullScreen();
}

bool FramelessTarget::handleMousePress(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return true;

    m_leftButtonPressed = true;
    // A maximized window neither moves nor resizes: it has no borders to grab, and
    // the title bar restores it itself when dragged.
    if (isMaximizedOrFullScreen()) {
        m_titlePressed = false;
        m_pressedEdges.reset();
        return false;
    }
    m_titlePressed = event->pos().y() < TitleHeight;

    const QRect frame = placementGeometry();
    const QPoint pos = toPlacement(event->globalPos());
    m_pressedEdges = EdgeHit::of(pos, frame, BorderWidth);
    m_dragOffset = pos - frame.topLeft();

    if (m_pressedEdges.onEdges) {
        if (m_switches->resizeRubberBand && m_rubberBand) {
            m_rubberBand->setGeometry(frame);
            m_rubberBand->show();
        }
        return true;
    }
    if (m_switches->moveRubberBand && m_titlePressed && m_rubberBand) {
        m_rubberBand->setGeometry(frame);
        m_rubberBand->show();
        return true;
    }
    return false;
}

void FramelessTarget::handleMouseRelease(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_leftButtonPressed = false;
    m_titlePressed = false;
    m_pressedEdges.reset();
    if (m_rubberBand && m_rubberBand->isVisible()) {
        m_rubberBand->hide();
        m_widget->setGeometry(m_rubberBand->geometry());
    }
}

void FramelessTarget::handleMouseMove(QMouseEvent* event)
{
    if (!m_leftButtonPressed) {
        if (m_switches->resizable)
            updateCursor(event->globalPos());
        return;
    }
    if (m_switches->resizable && m_pressedEdges.onEdges)
        resizeTo(event->globalPos());
    else if (m_switches->movable && m_titlePressed)
        moveTo(event->globalPos());
}

void FramelessTarget::handleLeave()
{
    if (!m_leftButtonPressed) {
        m_widget->unsetCursor();
        m_cursorChanged = false;
    }
}

void FramelessTarget::handleHoverMove(QHoverEvent* event)
{
    if (m_switches->resizable)
        updateCursor(m_widget->mapToGlobal(event->pos()));
}

void FramelessTarget::updateCursor(const QPoint& globalPos)
{
    if (isMaximizedOrFullScreen()) {
        if (m_cursorChanged) {
            m_widget->unsetCursor();
            m_cursorChanged = false;
        }
        return;
    }

    m_hoverEdges = EdgeHit::of(toPlacement(globalPos), placementGeometry(), BorderWidth);
    Qt::CursorShape shape = Qt::ArrowCursor;
    bool resizeCursor = true;
    if (m_hoverEdges.topLeft || m_hoverEdges.bottomRight)
        shape = Qt::SizeFDiagCursor;
    else if (m_hoverEdges.topRight || m_hoverEdges.bottomLeft)
        shape = Qt::SizeBDiagCursor;
    else if (m_hoverEdges.left || m_hoverEdges.right)
        shape = Qt::SizeHorCursor;
    else if (m_hoverEdges.top || m_hoverEdges.bottom)
        shape = Qt::SizeVerCursor;
    else
        resizeCursor = false;

    if (resizeCursor) {
        m_widget->setCursor(shape);
        m_cursorChanged = true;
    } else if (m_cursorChanged) {
        m_widget->unsetCursor();
        m_cursorChanged = false;
    }
}

void FramelessTarget::moveTo(const QPoint& globalPos)
{
    const QPoint topLeft = toPlacement(globalPos) - m_dragOffset;
    if (m_switches->moveRubberBand && m_rubberBand)
        m_rubberBand->move(topLeft);
    else
        m_widget->move(topLeft);
}

void FramelessTarget::resizeTo(const QPoint& globalPos)
{
    const QPoint p = toPlacement(globalPos);
    const bool viaBand = m_switches->resizeRubberBand && m_rubberBand;
    // The outline is placed by its geometry (an outline window may report a frame).
    const QRect before = viaBand ? m_rubberBand->geometry() : placementGeometry();
    int left = before.left();
    int top = before.top();
    int right = before.right();
    int bottom = before.bottom();

    if (m_pressedEdges.topLeft) {
        left = p.x();
        top = p.y();
    } else if (m_pressedEdges.bottomLeft) {
        left = p.x();
        bottom = p.y();
    } else if (m_pressedEdges.topRight) {
        right = p.x();
        top = p.y();
    } else if (m_pressedEdges.bottomRight) {
        right = p.x();
        bottom = p.y();
    } else if (m_pressedEdges.left) {
        left = p.x();
    } else if (m_pressedEdges.right) {
        right = p.x();
    } else if (m_pressedEdges.top) {
        top = p.y();
    } else if (m_pressedEdges.bottom) {
        bottom = p.y();
    }

    QRect target(QPoint(left, top), QPoint(right, bottom));
    if (!target.isValid())
        return;

    // The edge being dragged stops where the minimum size is reached; the opposite
    // edge never moves.
    if (target.width() < m_widget->minimumWidth()) {
        if (before.left() == target.left())
            target.setRight(before.right());
        else
            target.setLeft(before.left());
    }
    if (target.height() < m_widget->minimumHeight()) {
        if (before.top() == target.top())
            target.setBottom(before.bottom());
        else
            target.setTop(before.top());
    }

    if (viaBand)
        m_rubberBand->setGeometry(target);
    else
        m_widget->setGeometry(target);
}

QRubberBand* FramelessTarget::rubberBand() const
{
    return m_rubberBand.data();
}
