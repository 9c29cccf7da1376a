#include "telephony/call_description.h"

#include <QCoreApplication>

#include <cstdio>

std::string CallOutcome::RowText() const
{
    return party.empty() ? text : party + " (" + text + ")";
}

std::string CallOutcome::StatusText() const
{
    return party.empty() ? text : party + ": " + text;
}

namespace CallText {

namespace {

// The disconnect mode that the exchange reports for a call given up before it was answered.
constexpr DWORD kDisconnectModeCanceled = 0x8000;

// A text marked in the CallText context, in the user's language.
std::string Tr(const char* text)
{
    return QCoreApplication::translate("CallText", text).toStdString();
}

struct StateText {
    const char* text;
    int image;
};

StateText DisconnectedText(DWORD mode)
{
    switch (mode) {
    case LINEDISCONNECTMODE_NORMAL:
        return { QT_TRANSLATE_NOOP("CallText", " (Terminated)"), CallImage::kNoAnswer };
    case LINEDISCONNECTMODE_REJECT:
        return { QT_TRANSLATE_NOOP("CallText", " (Rejected)"), CallImage::kNoAnswer };
    case LINEDISCONNECTMODE_BUSY:
        return { QT_TRANSLATE_NOOP("CallText", " (Busy)"), CallImage::kBusy };
    case LINEDISCONNECTMODE_NOANSWER:
        return { QT_TRANSLATE_NOOP("CallText", " (No-Answer)"), CallImage::kNoAnswer };
    case LINEDISCONNECTMODE_BADADDRESS:
        return { QT_TRANSLATE_NOOP("CallText", " (Bad address)"), CallImage::kNoAnswer };
    case LINEDISCONNECTMODE_NODIALTONE:
        return { QT_TRANSLATE_NOOP("CallText", " (No-Dialtone)"), CallImage::kLine };
    case kDisconnectModeCanceled:
        return { QT_TRANSLATE_NOOP("CallText", " (Canceled)"), CallImage::kNoAnswer };
    default:
        return { QT_TRANSLATE_NOOP("CallText", " (Disconnected)"), CallImage::kNoAnswer };
    }
}

StateText ConnectedText(DWORD origin, DWORD mediaMode, CallRole role)
{
    if (role.isSetupCall && role.voiceMail)
        return { role.recordingPaused ? QT_TRANSLATE_NOOP("CallText", " (Voicemail paused)")
                                      : QT_TRANSLATE_NOOP("CallText", " (Voicemail)"),
            CallImage::kVoicemail };
    if (role.isSetupCall)
        return { role.recordingPaused ? QT_TRANSLATE_NOOP("CallText", " (Recording paused)")
                                      : QT_TRANSLATE_NOOP("CallText", " (Recording)"),
            CallImage::kTalk };
    if (origin == LINECALLORIGIN_CONFERENCE)
        return { QT_TRANSLATE_NOOP("CallText", " (Conference)"), CallImage::kTalk };
    if (mediaMode & (LINEMEDIAMODE_G3FAX | LINEMEDIAMODE_G4FAX))
        return { QT_TRANSLATE_NOOP("CallText", " (Fax)"), CallImage::kFax };
    return { QT_TRANSLATE_NOOP("CallText", " (Connected)"), CallImage::kTalk };
}

StateText TextOfState(DWORD state, DWORD stateMode, DWORD origin, DWORD mediaMode, CallRole role)
{
    switch (state) {
    case LINECALLSTATE_IDLE:
        return { QT_TRANSLATE_NOOP("CallText", " (Idle)"), CallImage::kIdle };
    case LINECALLSTATE_OFFERING:
        return { QT_TRANSLATE_NOOP("CallText", " (Incoming)"), CallImage::kIncome };
    case LINECALLSTATE_ACCEPTED:
        return { QT_TRANSLATE_NOOP("CallText", " (Accepted)"), CallImage::kIncome };
    case LINECALLSTATE_DIALTONE:
        return { QT_TRANSLATE_NOOP("CallText", " (Dialtone)"), CallImage::kDialtone };
    case LINECALLSTATE_DIALING:
        return { QT_TRANSLATE_NOOP("CallText", " (Dialing...)"), CallImage::kDial };
    case LINECALLSTATE_RINGBACK:
        return { QT_TRANSLATE_NOOP("CallText", " (Ringing...)"), CallImage::kRinging };
    case LINECALLSTATE_BUSY:
        return { QT_TRANSLATE_NOOP("CallText", " (Busy)"), CallImage::kBusy };
    case LINECALLSTATE_CONNECTED:
        return ConnectedText(origin, mediaMode, role);
    case LINECALLSTATE_PROCEEDING:
        return { QT_TRANSLATE_NOOP("CallText", " (Proceeding...)"), CallImage::kDial };
    case LINECALLSTATE_ONHOLD:
    case LINECALLSTATE_ONHOLDPENDCONF:
        return { QT_TRANSLATE_NOOP("CallText", " (On-Hold) "), CallImage::kHold };
    // Held while the user consults the party it is to be handed to: the transfer image tells it
    // from a call that is only held.
    case LINECALLSTATE_ONHOLDPENDTRANSFER:
        return { QT_TRANSLATE_NOOP("CallText", " (On-Hold) "), CallImage::kTransfer };
    case LINECALLSTATE_CONFERENCED:
        return { QT_TRANSLATE_NOOP("CallText", " (Conferenced)"), CallImage::kInConference };
    case LINECALLSTATE_DISCONNECTED:
        return DisconnectedText(stateMode);
    default:
        return { QT_TRANSLATE_NOOP("CallText", " (Unknown)"), CallImage::kUnknown };
    }
}

std::string OutgoingPartyText(const CallParty& party)
{
    if (party.calledParty.empty())
        return std::string(party.displayableAddress);
    std::string text(party.calledParty);
    if (!party.displayableAddress.empty())
        text.append(", ").append(party.displayableAddress);
    return text;
}

std::string IncomingPartyText(const CallParty& party)
{
    std::string text;
    if (party.callerIdFlags & LINECALLPARTYID_BLOCKED)
        text = Tr(QT_TRANSLATE_NOOP("CallText", "[Blocked]"));
    if (party.callerIdFlags & LINECALLPARTYID_OUTOFAREA)
        text = Tr(QT_TRANSLATE_NOOP("CallText", "[Out Of Area]"));
    if ((party.callerIdFlags & LINECALLPARTYID_NAME) && !party.callerName.empty())
        text = std::string(party.callerName);
    if (party.callerIdFlags & LINECALLPARTYID_ADDRESS) {
        const std::string_view number = SkipBlanks(party.callerNumber);
        if (!number.empty()) {
            if (!text.empty())
                text += ',';
            text.append(number);
        }
    }
    return text;
}

// Why a dialled call failed, by its disconnect mode; null for the modes that are no failure.
const char* FailureReason(DWORD mode)
{
    switch (mode) {
    case LINEDISCONNECTMODE_BADADDRESS:
        return QT_TRANSLATE_NOOP("CallText", "bad address");
    case LINEDISCONNECTMODE_UNREACHABLE:
        return QT_TRANSLATE_NOOP("CallText", "unreachable");
    case LINEDISCONNECTMODE_CONGESTION:
        return QT_TRANSLATE_NOOP("CallText", "network congestion");
    case LINEDISCONNECTMODE_INCOMPATIBLE:
        return QT_TRANSLATE_NOOP("CallText", "incompatible");
    case LINEDISCONNECTMODE_UNAVAIL:
        return QT_TRANSLATE_NOOP("CallText", "unavailable");
    case LINEDISCONNECTMODE_NODIALTONE:
        return QT_TRANSLATE_NOOP("CallText", "no dial tone");
    case LINEDISCONNECTMODE_NUMBERCHANGED:
        return QT_TRANSLATE_NOOP("CallText", "number changed");
    case LINEDISCONNECTMODE_OUTOFORDER:
        return QT_TRANSLATE_NOOP("CallText", "out of order");
    case kDisconnectModeCanceled:
        return QT_TRANSLATE_NOOP("CallText", "canceled");
    default:
        return QT_TRANSLATE_NOOP("CallText", "unknown reason");
    }
}

} // namespace

bool IsHeldState(DWORD state)
{
    return state == LINECALLSTATE_ONHOLD || state == LINECALLSTATE_ONHOLDPENDTRANSFER
        || state == LINECALLSTATE_ONHOLDPENDCONF;
}

bool IsIncomingOrigin(DWORD origin)
{
    return origin == LINECALLORIGIN_INTERNAL || origin == LINECALLORIGIN_EXTERNAL
        || origin == LINECALLORIGIN_INBOUND;
}

std::string_view SkipBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string PartyText(const CallParty& party)
{
    std::string text = IsIncomingOrigin(party.origin) ? IncomingPartyText(party) : OutgoingPartyText(party);
    if (party.transferredTo.empty())
        return text;
    // The far end handed the call on: the user now talks with that party.
    const QString to = QString::fromUtf8(party.transferredTo.data(), qsizetype(party.transferredTo.size()));
    const char* format = text.empty() ? QT_TRANSLATE_NOOP("CallText", "transferred to %1")
                                      : QT_TRANSLATE_NOOP("CallText", ", transferred to %1");
    return text + QCoreApplication::translate("CallText", format).arg(to).toStdString();
}

void AppendState(
    DWORD state, DWORD stateMode, DWORD origin, DWORD mediaMode, CallRole role, CallDescription& out)
{
    if (out.text.empty())
        out.text = Tr(QT_TRANSLATE_NOOP("CallText", "[No data]"));
    const StateText stateText = TextOfState(state, stateMode, origin, mediaMode, role);
    out.text += Tr(stateText.text);
    out.image = stateText.image;
    out.state = state;
}

bool Outcome(DWORD state, DWORD stateMode, CallOutcome& out)
{
    const DWORD mode = state == LINECALLSTATE_BUSY ? DWORD(LINEDISCONNECTMODE_BUSY) : stateMode;
    out.image = CallImage::kNoAnswer;
    switch (mode) {
    case LINEDISCONNECTMODE_NORMAL:
    case LINEDISCONNECTMODE_PICKUP:
    case LINEDISCONNECTMODE_FORWARDED:
        return false;
    case LINEDISCONNECTMODE_BUSY:
        out.text = Tr(QT_TRANSLATE_NOOP("CallText", "Busy"));
        out.image = CallImage::kBusy;
        return true;
    case LINEDISCONNECTMODE_NOANSWER:
        out.text = Tr(QT_TRANSLATE_NOOP("CallText", "No answer"));
        return true;
    case LINEDISCONNECTMODE_REJECT:
        out.text = Tr(QT_TRANSLATE_NOOP("CallText", "Refused"));
        return true;
    default:
        out.text = QCoreApplication::translate("CallText", "Call failed: %1")
                       .arg(QCoreApplication::translate("CallText", FailureReason(mode)))
                       .toStdString();
        return true;
    }
}

std::string Duration(std::uint64_t milliseconds)
{
    const std::uint64_t seconds = milliseconds / 1000;
    const auto hours = static_cast<unsigned long long>(seconds / 3600);
    const auto minutes = static_cast<unsigned long long>(seconds / 60 % 60);
    const auto rest = static_cast<unsigned long long>(seconds % 60);
    char text[32];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", hours, minutes, rest);
    else
        std::snprintf(text, sizeof text, "%llu:%02llu", minutes, rest);
    return text;
}

} // namespace CallText
