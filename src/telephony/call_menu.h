#pragma once

// The keypad tab's context menu of a call, as the call model adjusts it.
class CallMenu {
public:
    static constexpr int kDropCall = 32957;
    static constexpr int kAnswer = 32958;

    virtual ~CallMenu() = default;
    virtual void EnableCommand(int command, bool enabled) = 0;
};
