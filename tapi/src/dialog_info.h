#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The dialog-event package's documents (application/dialog-info+xml): what a watched line's
// NOTIFY says about its calls, and the line's state that follows from it.

namespace tapi {

// What a watched line is doing, as the program shows it.
enum class LineActivity { Unknown, Idle, Ringing, InCall };

struct DialogInfoDialog {
    enum class Direction { None, Initiator, Recipient };
    std::string id;
    std::string callId;
    std::string localTag;
    std::string remoteTag;
    Direction direction = Direction::None;
    std::string state; // trying, proceeding, early, confirmed or terminated
    std::string remoteIdentity;
    std::string remoteTarget;
};

struct DialogInfo {
    unsigned long long version = 0;
    bool full = true;
    std::string entity;
    std::vector<DialogInfoDialog> dialogs;
};

// Documents larger than this, or with more dialogs, are refused.
inline constexpr std::size_t kMaxDialogInfoBytes = 64 * 1024;
inline constexpr std::size_t kMaxDialogInfoDialogs = 64;

// Reads a dialog-info document from the wire. The text is untrusted: a document type declaration
// (and so any entity) is refused, as is anything that is not well-formed, lacks the root element,
// its version or state, or is too large; `error` then says why. Texts are cut to 256 bytes.
std::optional<DialogInfo> ParseDialogInfo(std::string_view xml, std::string& error);

// A call ringing at a watched line that may be picked up: the caller's address and the caller's
// dialog as a Replaces header names it for the caller ("call-id;to-tag=caller's;from-tag=callee's").
struct RingingCall {
    std::string callerUri;
    std::string replaces;
    bool operator==(const RingingCall&) const = default;
};

// The dialogs of one watched line, kept across full and partial notifications.
class DialogBook {
public:
    // Applies a notification; false (and nothing changes) when its version is not newer than the
    // last one applied.
    bool Apply(const DialogInfo& info);
    void Clear();
    LineActivity Activity() const;
    // A call ringing at the line (the first by dialog id) that the server described fully (call id, both
    // tags, the caller as a SIP address, all fit for a header); none when no such call rings.
    std::optional<RingingCall> Ringing() const;

private:
    std::optional<unsigned long long> m_version;
    std::map<std::string, DialogInfoDialog> m_dialogs;
};

} // namespace tapi
