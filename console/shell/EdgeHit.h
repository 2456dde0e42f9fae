#pragma once

#include <QPoint>
#include <QRect>

// Which borders of a window a point lies on. Every band is border + 1 pixels
// wide because both of its bounds are inclusive.
struct EdgeHit
{
    bool onEdges = false;
    bool left = false;
    bool right = false;
    bool top = false;
    bool bottom = false;
    bool topLeft = false;
    bool bottomLeft = false;
    bool topRight = false;
    bool bottomRight = false;

    void reset() { *this = EdgeHit(); }

    static EdgeHit of(const QPoint& point, const QRect& rect, int border)
    {
        const int x = point.x();
        const int y = point.y();
        const int rx = rect.x();
        const int ry = rect.y();
        const int w = rect.width();
        const int h = rect.height();
        EdgeHit hit;
        hit.left = x >= rx && x <= rx + border;
        hit.right = x >= rx + w - border && x <= rx + w;
        hit.top = y >= ry && y <= ry + border;
        hit.bottom = y >= ry + h - border && y <= ry + h;
        hit.topLeft = hit.top && hit.left;
        hit.bottomLeft = hit.bottom && hit.left;
        hit.topRight = hit.top && hit.right;
        hit.bottomRight = hit.bottom && hit.right;
        hit.onEdges = hit.left || hit.right || hit.top || hit.bottom;
        return hit;
    }
};
