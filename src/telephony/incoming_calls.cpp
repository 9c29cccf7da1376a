#include "telephony/incoming_calls.h"

#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "telephony/screen_area.h"

#include <QCoreApplication>

#include <cstdint>
#include <utility>

namespace {

// The caller's text without the state, which the pop-up says already (the call tree's state
// text, in the same language).
std::string PopupText(std::string text)
{
    const std::string ending = QCoreApplication::translate("CallText", " (Incoming)").toStdString();
    if (text.size() > ending.size() && text.ends_with(ending))
        text.resize(text.size() - ending.size());
    return text;
}

} // namespace

IncomingCalls::IncomingCalls(
    LineManager& manager, const AppSettings& settings, PopupFactory factory, const ScreenArea& screen)
    : m_manager(manager)
    , m_settings(settings)
    , m_factory(std::move(factory))
    , m_screen(screen)
{
}

// An event about one call leaves the pop-ups of the line's other calls alone: each closes on an
// event of its own call, or when its record no longer holds it.
void IncomingCalls::UpdateIncomingPopups(LineSlot& slot, HCALL call)
{
    for (int record = 0; record < LineSlot::kMaxCalls; ++record) {
        Popup& popup = m_popups[slot.Index()][record];
        const HCALL held = slot.CallAt(record).call;
        CallDescription description;
        if (call != 0 && held == call && slot.DescribeCall(call, description)
            && description.state == LINECALLSTATE_OFFERING) {
            ShowPopup(slot, record, description);
        } else if (popup.window && (held == call || held != popup.call)) {
            ClosePopup(popup);
            LayoutIncomingPopups();
        }
    }
}

void IncomingCalls::ShowPopup(LineSlot& slot, int record, const CallDescription& description)
{
    Popup& popup = m_popups[slot.Index()][record];
    const HCALL call = slot.CallAt(record).call;
    if (!popup.window) {
        if (call == slot.GetIgnoredCall())
            return;
        popup.window = m_factory(*this);
        if (!popup.window)
            return;
        popup.call = call;
        popup.window->ShowOnTop();
        LayoutIncomingPopups();
    }
    SetCallInfo(popup, description);
}

// The caption names the line that has the call's device (the first slot's when none has).
void IncomingCalls::SetCallInfo(Popup& popup, const CallDescription& description)
{
    int slot = 0;
    m_manager.FindSlotByDevice(description.deviceId, &slot);
    popup.deviceId = description.deviceId;
    popup.window->SetCallInfo(popup.call, description.deviceId, PopupText(description.text),
        QCoreApplication::translate("IncomingCalls", "Incoming call on %1")
            .arg(QString::fromStdString(m_manager.GetDisplayName(slot)))
            .toStdString());
}

void IncomingCalls::ClosePopup(Popup& popup)
{
    popup = Popup{};
}

void IncomingCalls::LayoutIncomingPopups()
{
    const ScreenRect area = m_screen.AvailableArea();
    const int x = area.right - kPopupWidth;
    int y = area.bottom - kFirstPopupRise;
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot) {
        if (m_manager.GetLineSlot(slot).FindOfferingCall() == 0)
            continue;
        for (Popup& popup : m_popups[slot]) {
            if (!popup.window)
                continue;
            popup.window->Move(x, y, kPopupWidth, kPopupHeight);
            y -= kPopupHeight;
        }
    }
}

void IncomingCalls::OnRing(LineSlot& slot, DWORD, DWORD ringCount)
{
    if (m_settings.voiceMailOn == 0 || std::int64_t(ringCount) + 1 < m_settings.answerAfter)
        return;
    if (const HCALL call = slot.FindOfferingCall())
        SendToVoiceMail(slot, call);
}

void IncomingCalls::OnLineClosed(LineSlot& slot)
{
    for (Popup& popup : m_popups[slot.Index()])
        ClosePopup(popup);
    LayoutIncomingPopups();
}

void IncomingCalls::DismissPopup(LineSlot& slot, HCALL call, IncomingPopup& popup)
{
    slot.SetIgnoredCall(call);
    for (Popup& shown : m_popups[slot.Index()])
        if (shown.window.get() == &popup)
            ClosePopup(shown);
    LayoutIncomingPopups();
}

IncomingCalls::PopupPlace IncomingCalls::FindPopup(const IncomingPopup& popup) const
{
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot)
        for (int record = 0; record < LineSlot::kMaxCalls; ++record)
            if (m_popups[slot][record].window.get() == &popup)
                return { slot, record };
    return {};
}

// A pop-up that is already closing (a second click before it went) does nothing.
void IncomingCalls::OnPopupButton(IncomingPopup& popup, Button button)
{
    const PopupPlace place = FindPopup(popup);
    if (place.slot < 0)
        return;
    const Popup& shown = m_popups[place.slot][place.record];
    LineSlot* slot = m_manager.FindSlotByDevice(shown.deviceId);
    if (!slot)
        return;
    const HCALL call = shown.call;
    switch (button) {
    case Button::Answer:
        // The pop-up stays until the call leaves OFFERING.
        slot->AnswerCall(call);
        break;
    case Button::SendToVoicemail:
        SendToVoiceMail(*slot, call);
        break;
    case Button::Ignore:
        Ignore(*slot, call, popup);
        break;
    }
}

void IncomingCalls::SendToVoiceMail(LineSlot& slot, HCALL call)
{
    const LONG request = slot.AnswerCall(call);
    if (request <= 0)
        return;
    const int record = slot.IndexOfCall(call);
    if (IncomingPopup* popup = m_popups[slot.Index()][record].window.get())
        DismissPopup(slot, call, *popup);
    slot.SetPendingAnswerRequest(request);
    slot.SetSetupCall(call, 1);
}

// "Drop incoming means ignore" is read each time: nonzero lets the call ring on until the caller
// gives up; 0 picks it up, beeps and hangs up (the beep and the drop follow the answer's reply).
void IncomingCalls::Ignore(LineSlot& slot, HCALL call, IncomingPopup& popup)
{
    if (m_manager.Settings().Read(Settings::kDropIncomingMeansIgnore) != 0) {
        DismissPopup(slot, call, popup);
        return;
    }
    const LONG request = slot.AnswerCall(call);
    if (request <= 0)
        return;
    DismissPopup(slot, call, popup);
    slot.SetPendingBeepRejectRequest(request);
}
