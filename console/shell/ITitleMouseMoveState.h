#pragma once

class QMouseEvent;
class QWidget;

// How a title bar reacts to a mouse move: dragging while a button is down,
// nothing otherwise.
class ITitleMouseMoveState
{
public:
    virtual ~ITitleMouseMoveState() = default;
    // True: the event goes on to the base class (and so to the window).
    virtual bool handleMove(QWidget* window, QMouseEvent* event) = 0;
};
