#include "TitleMouseMoveReleaseState.h"

TitleMouseMoveReleaseState* TitleMouseMoveReleaseState::instance()
{
    static TitleMouseMoveReleaseState state;
    return &state;
}

bool TitleMouseMoveReleaseState::handleMove(QWidget* /*window*/, QMouseEvent* /*event*/)
{
    return true;
}
