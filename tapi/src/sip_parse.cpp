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

// Control characters are left out and the text is cut at a character boundary.
std::string Clean(std::string_view text)
{
    std::string clean;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            clean.push_back(c);
    if (clean.size() > kMaxCallerText) {
        std::size_t cut = kMaxCallerText;
        while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80)
            --cut; // do not split a UTF-8 sequence
        clean.resize(cut);
    }
    return clean;
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
    const auto angle = value.find('<');
    if (angle == std::string_view::npos)
        return {};
    std::string_view name = Trim(value.substr(0, angle));
    if (name.size() >= 2 && name.front() == '"') {
        // A quoted string: up to the closing quote, with \x standing for x.
        std::string text;
        for (std::size_t i = 1; i < name.size() && name[i] != '"'; ++i) {
            if (name[i] == '\\' && i + 1 < name.size())
                ++i;
            text.push_back(name[i]);
        }
        return Clean(text);
    }
    return Clean(name);
}

SipCaller CallerOf(const sip_msg& invite)
{
    SipCaller caller;
    std::string_view value = View(invite.from.val);
    if (const sip_hdr* asserted = sip_msg_hdr(&invite, SIP_HDR_P_ASSERTED_IDENTITY))
        value = View(asserted->val);
    sip_addr address{};
    pl text{};
    pl_set_str(&text, "");
    text.p = value.data();
    text.l = value.size();
    std::string_view user;
    std::string_view host;
    if (!value.empty() && sip_addr_decode(&address, &text) == 0) {
        user = View(address.uri.user);
        host = View(address.uri.host);
    }
    caller.name = DisplayNameOf(value);
    // Percent escapes are left as they are: a number is shown, never used as a path or command.
    caller.number = Clean(user);
    const sip_hdr* privacy = sip_msg_hdr(&invite, SIP_HDR_PRIVACY);
    caller.blocked = EqualsNoCase(user, "anonymous") || ContainsNoCase(host, "anonymous.invalid")
        || EqualsNoCase(caller.name, "anonymous")
        || (privacy && (ContainsNoCase(View(privacy->val), "id") || ContainsNoCase(View(privacy->val), "user")));
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
        if (!format || !format->name || format->pt < 0 || format->pt > 127)
            continue;
        const std::string_view name = format->name;
        if (EqualsNoCase(name, "telephone-event") && format->srate == 8000 && eventType < 0)
            eventType = format->pt;
        else if (!chosen && format->srate == 8000 && (EqualsNoCase(name, "PCMU") || EqualsNoCase(name, "PCMA")))
            chosen = MediaFormat{ format->pt, EqualsNoCase(name, "PCMU") ? G711Law::Ulaw : G711Law::Alaw, -1 };
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
