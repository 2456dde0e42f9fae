#pragma once

#include "ITitleMouseMoveState.h"

#include <QPoint>

#include <memory>

// A button is down on a title bar: the window follows the pointer. One object
// serves every title bar of the process, so a press on one bar replaces the
// start point of any other.
class TitleMouseMovePressState : public ITitleMouseMoveState
{
public:
    static TitleMouseMovePressState* instance();

    // The press position in the window's coordinates.
    void setStartPoint(const QPoint& point);
    QPoint startPoint() const { return m_startPoint; }
    // Set between un-maximizing a window and the move that re-places it.
    bool hasRestoreRatio() const { return m_restoreRatio != nullptr; }

    bool handleMove(QWidget* window, QMouseEvent* event) override;

private:
    QPoint m_startPoint;
    // Where along the maximized bar the pointer was, as a fraction of its width.
    std::unique_ptr<float> m_restoreRatio;
};
