#pragma once

// What an OvFramelessHelper lets its windows do; shared by all its targets.
struct FramelessSwitches
{
    bool movable = true;
    bool resizable = true;
    bool resizeRubberBand = false;
    bool moveRubberBand = false;

    bool anyRubberBand() const { return resizeRubberBand || moveRubberBand; }
};
