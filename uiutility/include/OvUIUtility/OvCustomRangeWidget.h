#pragma once

#include "ovuiutility_global.h"

#include <QRect>
#include <QWidget>

// A frameless rectangle the user drags around and resizes by a 5-pixel band
// along its edges (a region or selection frame). Works as a top-level window
// and as a child widget: positions are mapped into the parent, and the edge
// opposite the one dragged stays where it was.
class OVUIUTILITY_EXPORT OvCustomRangeWidget : public QWidget
{
    Q_OBJECT
public:
    // Clockwise from the top edge.
    enum ResizeRegion { NoRegion = 0, Top, TopRight, Right, BottomRight, Bottom, BottomLeft, Left, TopLeft };

    static constexpr int BorderWidth = 5;

    explicit OvCustomRangeWidget(QWidget* parent = nullptr);
    ~OvCustomRangeWidget() override;

    // The border region under pos in a widget of that size; NoRegion inside the
    // band's inner rectangle or outside the widget.
    static ResizeRegion regionAt(const QPoint& pos, const QSize& size);
    static Qt::CursorShape cursorFor(ResizeRegion region);
    // The geometry after dragging region's edges by delta from start, never
    // smaller than minimum (the opposite edges stay put).
    static QRect resizedGeometry(ResizeRegion region, const QRect& start, const QPoint& delta,
                                 const QSize& minimum);

    bool canMoveResize() const;
    ResizeRegion resizeRegion() const;

signals:
    // true when a drag on the border starts, false on release.
    void startResizeMove(bool start);

protected:
    void setCanMoveResize(bool enable);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void resizeTo(const QPoint& globalPos);
    void moveTo(const QPoint& globalPos);
    QSize smallestSize() const;

    bool m_pressed = false;
    bool m_moving = false;
    QPoint m_pressPos;
    QPoint m_pressGlobalPos;
    ResizeRegion m_region = NoRegion;
    QRect m_pressRect;
    QRect m_pressGeometry;
    bool m_canMoveResize = true;
};
