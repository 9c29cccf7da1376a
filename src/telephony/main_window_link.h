#pragma once

#include <cstddef>
#include <string_view>

class CallTreeView;

// The pages telephony brings up: the contacts, and the active calls with the keypad. The window
// has others (the call log, voice mail), which telephony only sees as "another page".
enum class WindowPage { Contacts, Calls, Other };

// The little that telephony events need from the main window. The telephony code never touches
// a widget; it reaches the window only through this interface (a fake in tests).
class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;

    // False until the window has finished its initialisation; nothing else is called before.
    virtual bool IsReady() const = 0;
    // Refresh the tool bars, line buttons and the shown page's controls.
    virtual void UpdateControls() = 0;
    virtual WindowPage CurrentPage() const = 0;
    // Select the page's tab and show it.
    virtual void ShowPage(WindowPage page) = 0;
    // The keypad tab's tree of lines and calls, or null while it does not exist.
    virtual CallTreeView* CallTree() = 0;
    // Refill the call log tab's list (all entries) and the voice mail tab's list (voice mail).
    virtual void RefillCallLists() = 0;
    // A finished call was logged at this position of the call log (after its refill): the
    // desktop may be told of a missed call or a new message.
    virtual void CallLogged(std::size_t position) = 0;
    // What the calls are doing, for the status bar (plain text; empty clears it).
    virtual void ShowCallStatus(std::string_view text) = 0;
};
