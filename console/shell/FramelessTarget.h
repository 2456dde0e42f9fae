#pragma once

#include "EdgeHit.h"

#include <QPoint>
#include <QPointer>
#include <QRect>

class QEvent;
class QMouseEvent;
class QHoverEvent;
class QRubberBand;
class QWidget;
struct FramelessSwitches;

// The moving and resizing state of one window managed by an OvFramelessHelper.
class FramelessTarget
{
public:
    static constexpr int BorderWidth = 5;
    static constexpr int TitleHeight = 30;

    FramelessTarget(const FramelessSwitches* switches, QWidget* widget);
    ~FramelessTarget();
    FramelessTarget(const FramelessTarget&) = delete;
    FramelessTarget& operator=(const FramelessTarget&) = delete;

    // True when the event is consumed.
    bool handleEvent(QEvent* event);

    // The widget is being destroyed: forget it so the destructor leaves it alone.
    void detach() { m_widget = nullptr; }

    // Creates the outline when an outline switch is on, drops it when both are off.
    void updateRubberBand();

    QWidget* widget() const { return m_widget; }
    QRubberBand* rubberBand() const;
    const EdgeHit& pressedEdges() const { return m_pressedEdges; }
    const EdgeHit& hoverEdges() const { return m_hoverEdges; }
    bool cursorChanged() const { return m_cursorChanged; }

private:
    bool handleMousePress(QMouseEvent* event);
    void handleMouseRelease(QMouseEvent* event);
    void handleMouseMove(QMouseEvent* event);
    void handleLeave();
    void handleHoverMove(QHoverEvent* event);

    // Windows are placed in screen coordinates, child widgets in their parent's.
    QPoint toPlacement(const QPoint& globalPos) const;
    QRect placementGeometry() const;
    bool isMaximizedOrFullScreen() const;

    void updateCursor(const QPoint& globalPos);
    void moveTo(const QPoint& globalPos);
    void resizeTo(const QPoint& globalPos);

    const FramelessSwitches* m_switches;
    QPointer<QRubberBand> m_rubberBand;
    QWidget* m_widget;
    QPoint m_dragOffset;
    EdgeHit m_pressedEdges;
    EdgeHit m_hoverEdges;
    bool m_leftButtonPressed = false;
    bool m_cursorChanged = false;
    bool m_titlePressed = false;
    Qt::WindowFlags m_savedFlags;
};
