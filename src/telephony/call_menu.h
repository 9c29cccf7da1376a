#pragma once

// The keypad tab's context menu of a call, as the call model adjusts it. The menu's own item ids
// are the window's business; the call model names the items.
class CallMenu {
public:
    enum class Item { Answer, DropCall };

    virtual ~CallMenu() = default;
    virtual void Enable(Item item, bool enabled) = 0;
};
