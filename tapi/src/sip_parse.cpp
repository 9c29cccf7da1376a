#include "sip_parse.h"

#include "libre.h"

#include <algorithm>
#include <cctype>

namespace tapi {

namespace {

std::string_view View(const pl& text)
{
    return text.p ? std::string_view(text.p, text.l) : std::string_view();
}

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The length of the Unicode bidirectional control at the start of `text` (U+061C, U+200E, U+200F,
// U+202A to U+202E, U+2066 to U+2069), 0 when there is none: such a control can turn a name around
// on the screen and make it look like another.
std::size_t BidiControlAt(std::string_view text)
{
    const auto byte
        = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0; };
    if (byte(0) == 0xD8 && byte(1) == 0x9C)
        return 2;
    if (byte(0) != 0xE2)
        return 0;
    const unsigned char third = byte(2);
    if (byte(1) == 0x80 && (third == 0x8E || third == 0x8F || (third >= 0xAA && third <= 0xAE)))
        return 3;
    if (byte(1) == 0x81 && third >= 0xA6 && third <= 0xA9)
        return 3;
    return 0;
}

// Control characters and bidirectional controls are left out and the text is cut at a character
// boundary.
std::string Clean(std::string_view text)
{
    std::string clean;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (const std::size_t bidi = BidiControlAt(text.substr(i))) {
            i += bidi - 1;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != 0x7F)
            clean.push_back(text[i]);
    }
    if (clean.size() > kMaxCallerText) {
        std::size_t cut = kMaxCallerText;
        while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80)
            --cut; // do not split a UTF-8 sequence
        clean.resize(cut);
    }
    return clean;
}

// A name-addr split into its display name (unquoted, unescaped) and the rest from the "<"; the
// quoted string is read first, so a "<" inside it is part of the name. Without a name-addr the
// name is empty and the rest is the whole value.
struct NameAddr {
    std::string name;
    std::string_view rest;
};

NameAddr SplitNameAddr(std::string_view value)
{
    value = Trim(value);
    if (value.empty() || value.front() != '"') {
        const auto angle = value.find('<');
        if (angle == std::string_view::npos)
            return { {}, value };
        return { std::string(Trim(value.substr(0, angle))), value.substr(angle) };
    }
    // A quoted string: up to the closing quote, with \x standing for x.
    std::string name;
    for (std::size_t i = 1; i < value.size(); ++i) {
        if (value[i] == '"') {
            const std::string_view rest = Trim(value.substr(i + 1));
            if (rest.empty() || rest.front() != '<')
                break;
            return { std::move(name), rest };
        }
        if (value[i] == '\\' && i + 1 < value.size())
            ++i;
        name.push_back(value[i]);
    }
    return { {}, {} }; // no closing quote, or no address after it
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

bool ContainsNoCase(std::string_view text, std::string_view word)
{
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (EqualsNoCase(text.substr(i, word.size()), word))
            return true;
    return false;
}

bool IsDialString(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#' || c == '+';
    });
}

bool IsUriChar(char c)
{
    static constexpr std::string_view kAllowed = "-_.!~*'()&=+$,;?/%:@[]#";
    return std::isalnum(static_cast<unsigned char>(c)) || kAllowed.find(c) != std::string_view::npos;
}

} // namespace

std::string DisplayNameOf(std::string_view value)
{
    return Clean(SplitNameAddr(value).name);
}

SipCaller CallerOf(const sip_msg& invite, bool trustAssertedIdentity)
{
    std::string_view value = View(invite.from.val);
    const sip_hdr* asserted
        = trustAssertedIdentity ? sip_msg_hdr(&invite, SIP_HDR_P_ASSERTED_IDENTITY) : nullptr;
    if (asserted)
        value = View(asserted->val);
    SipCaller caller = PartyOf(value);
    const sip_hdr* privacy = sip_msg_hdr(&invite, SIP_HDR_PRIVACY);
    if (privacy && (ContainsNoCase(View(privacy->val), "id") || ContainsNoCase(View(privacy->val), "user")))
        caller = SipCaller{ {}, {}, true };
    return caller;
}

SipCaller PartyOf(std::string_view value)
{
    SipCaller caller;
    const NameAddr nameAddr = SplitNameAddr(value);
    sip_addr address{};
    pl text{};
    pl_set_str(&text, "");
    text.p = nameAddr.rest.data();
    text.l = nameAddr.rest.size();
    std::string_view user;
    std::string_view host;
    if (!nameAddr.rest.empty() && sip_addr_decode(&address, &text) == 0) {
        user = View(address.uri.user);
        host = View(address.uri.host);
    }
    caller.name = Clean(nameAddr.name);
    // Percent escapes are left as they are: a number is shown, never used as a path or command.
    caller.number = Clean(user);
    caller.blocked = EqualsNoCase(user, "anonymous") || ContainsNoCase(host, "anonymous.invalid")
        || EqualsNoCase(caller.name, "anonymous");
    if (caller.blocked) {
        caller.number.clear();
        caller.name.clear();
    }
    return caller;
}

std::optional<MediaFormat> ChooseFormat(const sdp_media& media)
{
    std::optional<MediaFormat> chosen;
    int eventType = -1;
    const list* formats = sdp_media_format_lst(&media, false);
    for (const le* entry = formats ? formats->head : nullptr; entry; entry = entry->next) {
        const auto* format = static_cast<const sdp_format*>(entry->data);
        if (!format || format->pt < 0 || format->pt > 127)
            continue;
        if (!format->name) { // a static payload type needs no rtpmap: 0 is PCMU, 8 is PCMA
            if (!chosen && (format->pt == 0 || format->pt == 8))
                chosen = MediaFormat{ format->pt, format->pt == 0 ? G711Law::Ulaw : G711Law::Alaw, -1 };
            continue;
        }
        const std::string_view name = format->name;
        if (EqualsNoCase(name, "telephone-event") && format->srate == 8000 && eventType < 0)
            eventType = format->pt;
        else if (!chosen && format->srate == 8000
            && (EqualsNoCase(name, "PCMU") || EqualsNoCase(name, "PCMA")))
            chosen
                = MediaFormat{ format->pt, EqualsNoCase(name, "PCMU") ? G711Law::Ulaw : G711Law::Alaw, -1 };
    }
    if (chosen)
        chosen->eventType = eventType;
    return chosen;
}

std::string TransportParam(const SipAccount& account)
{
    switch (account.transport) {
    case SipTransport::Tcp:
        return ";transport=tcp";
    case SipTransport::Tls:
        return ";transport=tls";
    case SipTransport::Udp:
        break;
    }
    return {};
}

std::string SipTargetUri(const std::string& address, const SipAccount& account)
{
    const std::string_view text = Trim(address);
    const bool uri = text.rfind("sip:", 0) == 0 || text.rfind("sips:", 0) == 0;
    if (uri || text.find('@') != std::string_view::npos) {
        if (!std::all_of(text.begin(), text.end(), IsUriChar))
            return {};
        return uri ? std::string(text) : "sip:" + std::string(text) + TransportParam(account);
    }
    // A telephone number as the program dials it ("T5551234", "555-1234"): only the digits count.
    std::string digits;
    for (char c : text)
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#' || c == '+')
            digits.push_back(c);
    if (!IsDialString(digits))
        return {};
    std::string user;
    for (char c : digits)
        user += c == '#' ? std::string("%23") : std::string(1, c);
    return "sip:" + user + "@" + account.domain + TransportParam(account);
}

} // namespace tapi
