#pragma once

#include "device_config.h"
#include "sip_media.h"

#include <optional>
#include <string>
#include <string_view>

struct sdp_media;
struct sip_msg;

namespace tapi {

// Who calls, as an INVITE tells it (P-Asserted-Identity first when it came from a proxy we trust,
// else From). Both texts are cut to kMaxCallerText bytes and hold no control characters.
struct SipCaller {
    std::string number;
    std::string name;
    bool blocked = false; // anonymous, or the caller asked for privacy
};
inline constexpr std::size_t kMaxCallerText = 127;

SipCaller CallerOf(const sip_msg& invite, bool trustAssertedIdentity);
// The party a header value such as From or Referred-By names (`"Name" <sip:...>` or a bare
// address), its number and name cleaned as a caller's are.
SipCaller PartyOf(std::string_view value);

// The display name of a name-addr header value ("Ann Example" <sip:...>, Ann <sip:...>), unquoted;
// empty when there is none.
std::string DisplayNameOf(std::string_view value);

// The first G.711 format the far end listed and its telephone-event type, from the remote side of
// an offer or answer; none when it offers no G.711.
std::optional<MediaFormat> ChooseFormat(const sdp_media& media);

// Turns a dialled address into a SIP URI of the account: digits (and * #) go to user@domain, a sip:
// or sips: URI or user@host is taken as it stands. Empty when it holds what cannot be sent
// (blanks, quotes, angle brackets, control characters).
std::string SipTargetUri(const std::string& address, const SipAccount& account);

// The ";transport=" parameter the account's transport needs on a URI ("" for UDP).
std::string TransportParam(const SipAccount& account);

} // namespace tapi
