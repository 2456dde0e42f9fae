#pragma once

#include "ITitleMouseMoveState.h"

// No button down on a title bar: moves only pass through.
class TitleMouseMoveReleaseState : public ITitleMouseMoveState
{
public:
    static TitleMouseMoveReleaseState* instance();
    bool handleMove(QWidget* window, QMouseEvent* event) override;
};
