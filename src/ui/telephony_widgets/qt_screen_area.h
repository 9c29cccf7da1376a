#pragma once

#include "telephony/screen_area.h"

// The primary screen's available area: the desktop without its panels and docks.
class QtScreenArea : public ScreenArea {
public:
    ScreenRect AvailableArea() const override;
};
