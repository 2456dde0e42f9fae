#include "TitleMouseMovePressState.h"

#include <QMouseEvent>
#include <QWidget>

namespace {
// A window is placed in screen coordinates, a child panel in its parent's.
QPoint placementOf(const QWidget* window, const QPoint& globalPos)
{
    if (window->isWindow() || !window->parentWidget())
        return globalPos;
    return window->parentWidget()->mapFromGlobal(globalPos);
}
}  // namespace

TitleMouseMovePressState* TitleMouseMovePressState::instance()
{
    static TitleMouseMovePressState state;
    return &state;
}

void TitleMouseMovePressState::setStartPoint(const QPoint& point)
{
    m_startPoint = point;
}

bool TitleMouseMovePressState::handleMove(QWidget* window, QMouseEvent* event)
{
    if (!window)
        return true;
    if (window->isMaximized()) {
        const int width = window->width();
        m_restoreRatio = std::make_unique<float>(width > 0 ? float(event->pos().x() * 1.0 / width) : 0.0f);
        window->showNormal();
        return false;
    }
    if (m_restoreRatio) {
        // First move after un-maximizing: keep the pointer at the same relative
        // place on the now narrower bar.
        m_startPoint.setX(int(*m_restoreRatio * float(window->width())));
        window->move(placementOf(window, event->globalPos()) - m_startPoint);
        m_restoreRatio.reset();
        return false;
    }
    window->move(placementOf(window, event->globalPos()) - m_startPoint);
    return true;
}
