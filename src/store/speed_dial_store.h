#pragma once

#include "store/contact_slots.h"

#include <string_view>

// The ten speed-dial buttons, stored in "KestriumSpeedDial200.csv".
class SpeedDialStore : public ContactSlots {
public:
    static constexpr std::string_view kFileName = "KestriumSpeedDial200.csv";

    using ContactSlots::ContactSlots;
};
