#pragma once

// A rectangle in screen pixels; right and bottom are the first pixels outside it.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The part of the screen that windows may use: the desktop without the panels that cover it.
class ScreenArea {
public:
    virtual ~ScreenArea() = default;
    virtual ScreenRect AvailableArea() const = 0;
};
