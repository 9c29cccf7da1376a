#pragma once

#include "telephony/incoming_call_port.h"
#include "telephony/incoming_popup.h"
#include "telephony/line_manager.h"

#include <array>
#include <functional>
#include <string>

struct AppSettings;
class ScreenArea;

// The "Incoming call:" pop-ups of offered calls, stacked upward from the bottom right of the
// screen, their three buttons, and the automatic answer for voice mail after a set number of rings.
// Each call record of each slot has at most one pop-up; this table stands beside the slots' call
// tables, index for index.
class IncomingCalls : public IncomingCallPort, private IncomingPopupListener {
public:
    static constexpr int kPopupWidth = 334;
    static constexpr int kPopupHeight = 116;
    // The first pop-up's top edge lies this far above the bottom of the screen area.
    static constexpr int kFirstPopupRise = 146;

    // Creates a hidden pop-up that reports its buttons to the listener; null when it cannot.
    using PopupFactory = std::function<IncomingPopup::Handle(IncomingPopupListener&)>;

    // "Voicemail On" and "Answer after" are read from `settings` each time a ring arrives, so a
    // change made by the setup dialog counts at once. All four must outlive this object.
    IncomingCalls(
        LineManager& manager, const AppSettings& settings, PopupFactory factory, const ScreenArea& screen);
    IncomingCalls(const IncomingCalls&) = delete;
    IncomingCalls& operator=(const IncomingCalls&) = delete;

    void UpdateIncomingPopups(LineSlot& slot, HCALL call) override;
    void OnRing(LineSlot& slot, DWORD ringMode, DWORD ringCount) override;
    void OnLineClosed(LineSlot& slot) override;

    // Places every pop-up of a slot with an offering call, in slot and record order.
    void LayoutIncomingPopups();
    // The call becomes the slot's ignored call (it gets no pop-up again) and the pop-up closes.
    void DismissPopup(LineSlot& slot, HCALL call, IncomingPopup& popup);

private:
    struct Popup {
        IncomingPopup::Handle window;
        HCALL call = 0;
        DWORD deviceId = 0;
    };
    struct PopupPlace {
        int slot = -1;
        int record = -1;
    };

    void OnPopupButton(IncomingPopup& popup, Button button) override;
    void ShowPopup(LineSlot& slot, int record, const CallDescription& description);
    void SetCallInfo(Popup& popup, const CallDescription& description);
    void ClosePopup(Popup& popup);
    PopupPlace FindPopup(const IncomingPopup& popup) const;
    // Answers the call and hands it to voice-mail answering once the answer completes.
    void SendToVoiceMail(LineSlot& slot, HCALL call);
    void Ignore(LineSlot& slot, HCALL call, IncomingPopup& popup);

    LineManager& m_manager;
    const AppSettings& m_settings;
    PopupFactory m_factory;
    const ScreenArea& m_screen;
    std::array<std::array<Popup, LineSlot::kMaxCalls>, LineManager::kSlotCount> m_popups;
};
