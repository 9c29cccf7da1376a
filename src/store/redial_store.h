#pragma once

#include "store/contact_slots.h"

#include <string>
#include <string_view>

// The redial list, stored in "KestriumRedialList200.csv": a most-recent-first queue of at most ten
// entries, each using only its display name and first number.
class RedialStore : public ContactSlots {
public:
    static constexpr std::string_view kFileName = "KestriumRedialList200.csv";

    using ContactSlots::ContactSlots;

    // Puts the entry on top: an entry with the same name and number (exact) moves up from where it
    // was, a new one pushes the others down and the oldest of a full list falls off.
    void AddRedial(std::string_view displayName, std::string_view number);
    // "name, number" (or the number alone when the name is empty) for a used slot; empty otherwise.
    std::string RedialMenuText(int slot) const;
};
