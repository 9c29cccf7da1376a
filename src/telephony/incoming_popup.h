#pragma once

#include "tapi/include/tapi.h"

#include <memory>
#include <string>

class IncomingPopup;

// Told when a button of an "Incoming call:" pop-up is pressed.
class IncomingPopupListener {
public:
    enum class Button { Answer, SendToVoicemail, Ignore };

    virtual ~IncomingPopupListener() = default;
    virtual void OnPopupButton(IncomingPopup& popup, Button button) = 0;
};

// The modeless "Incoming call:" pop-up as the telephony code sees it; the widgets side implements
// it with a dialog, tests with a fake.
class IncomingPopup {
public:
    // Closing is what destroying a handle does: a pop-up is usually closed from within the
    // handling of its own button, so the pop-up destroys itself once that handling has ended.
    struct Closer {
        void operator()(IncomingPopup* popup) const { popup->Close(); }
    };
    using Handle = std::unique_ptr<IncomingPopup, Closer>;

    // Shows the caller text and sets the caption.
    virtual void SetCallInfo(HCALL call, DWORD deviceId, const std::string& text, const std::string& caption)
        = 0;
    // Shows the pop-up normally and brings it to the top.
    virtual void ShowOnTop() = 0;
    // Places the pop-up's outer rectangle.
    virtual void Move(int x, int y, int width, int height) = 0;

protected:
    virtual ~IncomingPopup() = default;
    // Hides the pop-up and destroys it once the current event has been handled.
    virtual void Close() = 0;
};
