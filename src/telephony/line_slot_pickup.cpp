// Line slot: directed pickup. A colleague's line that this line watches rings; the user answers
// that call here (linePickupA). The call arrives with the request's reply, already connected; a
// pickup the service refuses at once or that fails later is explained in a message box.
#include "telephony/line_slot.h"

#include "settings/prompter.h"
#include "telephony/line_manager.h"
#include "telephony/tapi_binding.h"

#include <QCoreApplication>

namespace {

constexpr const char* kMessageTitle = "Kestrium";

// Why a pickup failed, in words: refused at once (`later` false) or reported by the reply.
const char* PickupFailureText(LONG result, bool later)
{
    if (later)
        return QT_TRANSLATE_NOOP("LineSlot",
            "The call ringing at %1 could not be picked up: it was answered or ended meanwhile, or the "
            "caller's phone does not hand calls over.");
    switch (result) {
    case LINEERR_OPERATIONFAILED:
        return QT_TRANSLATE_NOOP("LineSlot", "Nothing is ringing at %1 now.");
    case LINEERR_OPERATIONUNAVAIL:
        return QT_TRANSLATE_NOOP("LineSlot",
            "The call ringing at %1 cannot be picked up: the telephone server does not tell which call "
            "rings there, or this line does not watch that number.");
    case LINEERR_INUSE:
        return QT_TRANSLATE_NOOP(
            "LineSlot", "The call ringing at %1 cannot be picked up while this line has a call.");
    default:
        return QT_TRANSLATE_NOOP("LineSlot", "The call ringing at %1 could not be picked up.");
    }
}

} // namespace

int LineSlot::PickUp(std::string_view address, std::string_view party)
{
    CallRecord* record = RecordForNewCall();
    if (!record)
        return 0;
    const std::string number(address);
    const std::string shown = party.empty() ? number : std::string(party);
    *record = CallRecord{};
    const LONG result = Tapi().linePickupA(m_line, 0, &record->call, number.c_str(), nullptr);
    if (result < 1) {
        ShowPickupFailure(result, shown, false);
        return 0;
    }
    // Reserved until the reply hands over the call's handle, as for a call placed.
    record->pendingRequest = result;
    record->placedParty = shown;
    m_pendingPickup = result;
    return 1;
}

void LineSlot::ShowPickupFailure(LONG result, const std::string& party, bool later)
{
    const QString text = QCoreApplication::translate("LineSlot", PickupFailureText(result, later))
                             .arg(QString::fromStdString(party));
    m_manager.GetPrompter().ShowMessage(text.toStdString(), kMessageTitle, Prompter::Icon::Exclamation);
}
