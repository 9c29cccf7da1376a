#pragma once

#include <string>
#include <vector>

// A line's SIP account as Setup edits it. The password is not part of it: it lives in its own
// file (see WriteSipPassword).
struct SipAccountFields {
    bool enabled = false; // kind = sip; otherwise the line is a plain IP line (kind = ip)
    std::string displayName;
    std::string user;
    std::string domain;
    std::string authUser; // empty: the user
    std::string registrar; // empty: sip:<domain>
    std::string outboundProxy; // empty: none
    std::string fallbackOutboundProxy; // used when the outbound proxy stops answering; empty: none
    std::string transport = "udp"; // udp, tcp or tls
    std::string localAddress; // empty: the address of the default route
    int localPort = 0; // 0: any free port
    bool registers = true;
    bool presentAsAnalog = false; // present-as = analog
    std::string passwordFile; // the account's password-file; empty: the default file
};

// The telephony service's exchange configuration file, edited in place: a line's section gets
// its account keys set or removed, while comments, blank lines, other keys and other sections stay
// as they were. Without a file the built-in device set is written out first. Every change is
// checked with the service's own parser, so a file the service would refuse is never written.
class ExchangeConfigFile {
public:
    explicit ExchangeConfigFile(std::string path = DefaultPath());

    // $KESTRIUM_EXCHANGE_CONFIG, or $XDG_CONFIG_HOME/kestrium/exchange.conf (~/.config/...).
    static std::string DefaultPath();
    // Where the service looks for a line's password when its section names no password-file.
    static std::string DefaultPasswordFile(const std::string& lineName);

    const std::string& Path() const { return m_path; }
    // Reads the file, or the built-in set when there is none. False with the reason in `error`
    // when the file cannot be read or has a mistake (it must be corrected first).
    bool Load(std::string& error);
    bool HasLine(const std::string& lineName) const;
    SipAccountFields Account(const std::string& lineName) const;
    // Sets the line's account (or removes it when not enabled); false with the service's objection
    // in `error`, the text unchanged.
    bool SetAccount(const std::string& lineName, const SipAccountFields& account, std::string& error);
    // Writes the text atomically (a new file replaces the old one in one step).
    bool Save(std::string& error) const;
    std::string Text() const;

private:
    struct Section {
        std::size_t begin = 0; // the [line] header
        std::size_t end = 0; // one past its last line
    };
    bool FindLine(const std::string& lineName, Section& section) const;
    int FindKey(const Section& section, const std::string& key) const;
    std::string Value(const Section& section, const std::string& key) const;
    void SetValue(Section& section, const std::string& key, const std::string& value);
    void SetOrRemove(Section& section, const std::string& key, const std::string& value);
    void RemoveKey(Section& section, const std::string& key);
    bool Check(std::string& error) const;

    std::string m_path;
    std::vector<std::string> m_lines;
};

// Writes the password as the first line of `path`, a file only its owner can read or write
// (mode 0600, whatever the umask), replacing the old file in one step. Missing folders are made
// private (0700). False with the reason in `error`.
bool WriteSipPassword(const std::string& path, const std::string& password, std::string& error);
