#include "OvUIUtility/OvCustomRangeWidget.h"

#include "OvUIUtility/VNsNmLayout.h"

#include <QMouseEvent>

OvCustomRangeWidget::OvCustomRangeWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("OvCustomRangeWidget"));
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setFocusPolicy(Qt::ClickFocus);
    // Hovering over the border shows the resize cursor before any press.
    setMouseTracking(true);
    setAttribute(Qt::WA_StyledBackground, true);
    new VNsNmLayout(this);
}

OvCustomRangeWidget::~OvCustomRangeWidget() = default;

OvCustomRangeWidget::ResizeRegion OvCustomRangeWidget::regionAt(const QPoint& pos, const QSize& size)
{
    const QRect outer(QPoint(0, 0), size);
    const QRect inner = outer.adjusted(BorderWidth, BorderWidth, -BorderWidth, -BorderWidth);
    if (!outer.contains(pos) || inner.contains(pos))
        return NoRegion;
    const int x = pos.x();
    const int y = pos.y();
    const int w = size.width();
    const int h = size.height();
    if (y <= BorderWidth)
        return x <= BorderWidth ? TopLeft : (x >= w - BorderWidth ? TopRight : Top);
    if (y >= h - BorderWidth)
        return x <= BorderWidth ? BottomLeft : (x >= w - BorderWidth ? BottomRight : Bottom);
    return x <= BorderWidth ? Left : Right;
}

Qt::CursorShape OvCustomRangeWidget::cursorFor(ResizeRegion region)
{
    switch (region) {
    case Top:
    case Bottom:
        return Qt::SizeVerCursor;
    case Left:
    case Right:
        return Qt::SizeHorCursor;
    case TopLeft:
    case BottomRight:
        return Qt::SizeFDiagCursor;
    case TopRight:
    case BottomLeft:
        return Qt::SizeBDiagCursor;
    case NoRegion:
        break;
    }
    return Qt::ArrowCursor;
}

QRect OvCustomRangeWidget::resizedGeometry(ResizeRegion region, const QRect& start, const QPoint& delta,
                                           const QSize& minimum)
{
    const bool left = region == Left || region == TopLeft || region == BottomLeft;
    const bool right = region == Right || region == TopRight || region == BottomRight;
    const bool top = region == Top || region == TopLeft || region == TopRight;
    const bool bottom = region == Bottom || region == BottomLeft || region == BottomRight;

    int x = start.x();
    int y = start.y();
    int w = start.width();
    int h = start.height();
    if (left) {
        w = qMax(minimum.width(), start.width() - delta.x());
        x = start.x() + start.width() - w;
    } else if (right) {
        w = qMax(minimum.width(), start.width() + delta.x());
    }
    if (top) {
        h = qMax(minimum.height(), start.height() - delta.y());
        y = start.y() + start.height() - h;
    } else if (bottom) {
        h = qMax(minimum.height(), start.height() + delta.y());
    }
    return QRect(x, y, w, h);
}

bool OvCustomRangeWidget::canMoveResize() const
{
    return m_canMoveResize;
}

OvCustomRangeWidget::ResizeRegion OvCustomRangeWidget::resizeRegion() const
{
    return m_region;
}

void OvCustomRangeWidget::setCanMoveResize(bool enable)
{
    m_canMoveResize = enable;
}

QSize OvCustomRangeWidget::smallestSize() const
{
    // Keep the border band grabbable on every side.
    return minimumSize().expandedTo(QSize(2 * BorderWidth + 1, 2 * BorderWidth + 1));
}

void OvCustomRangeWidget::mousePressEvent(QMouseEvent* event)
{
    if (m_canMoveResize && event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_pressPos = event->pos();
        m_pressGlobalPos = event->globalPos();
        m_pressRect = rect();
        m_pressGeometry = geometry();
    }
    QWidget::mousePressEvent(event);
}

void OvCustomRangeWidget::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    if (!m_canMoveResize)
        return;
    if (m_region != NoRegion) {
        resizeTo(event->globalPos());
        return;
    }
    if (m_moving) {
        moveTo(event->globalPos());
        return;
    }
    const bool dragging = m_pressed && (event->buttons() & Qt::LeftButton);
    // While hovering only the cursor follows the pointer; a drag starts from
    // where the button went down.
    const ResizeRegion region = regionAt(dragging ? m_pressPos : event->pos(), m_pressed ? m_pressRect.size() : size());
    setCursor(cursorFor(region));
    if (!dragging)
        return;
    if (region != NoRegion) {
        m_region = region;
        emit startResizeMove(true);
        resizeTo(event->globalPos());
    } else {
        m_moving = true;
        moveTo(event->globalPos());
    }
}

void OvCustomRangeWidget::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = false;
    m_moving = false;
    if (m_canMoveResize) {
        m_region = NoRegion;
        setCursor(Qt::ArrowCursor);
        emit startResizeMove(false);
    }
    QWidget::mouseReleaseEvent(event);
}

void OvCustomRangeWidget::resizeTo(const QPoint& globalPos)
{
    setGeometry(resizedGeometry(m_region, m_pressGeometry, globalPos - m_pressGlobalPos, smallestSize()));
}

void OvCustomRangeWidget::moveTo(const QPoint& globalPos)
{
    const QPoint topLeft = globalPos - m_pressPos;
    move(isWindow() || !parentWidget() ? topLeft : parentWidget()->mapFromGlobal(topLeft));
}
