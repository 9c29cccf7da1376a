#pragma once

#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "support/temp_dir.h"

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>

namespace office_test {

// A colleague's seat: the real `kestrium` program in a process of its own (offscreen), with its
// own data folder, registry, runtime folder and exchange configuration, whose "IP Line 1" (line 5)
// is a SIP account on the office server. Driven with linesim and kestrium-dial.
class KestriumSeat {
public:
    static constexpr int kSipLine = 5; // "IP Line 1" in linesim's numbering

    // `user` registers with `password` at the server on `serverPort`; voice mail answers after
    // three rings of a second and a half. `accountKeys` are added to the SIP line's section.
    KestriumSeat(const std::string& user, const std::string& password, std::uint16_t serverPort,
        const std::string& accountKeys = {});
    ~KestriumSeat();
    KestriumSeat(const KestriumSeat&) = delete;
    KestriumSeat& operator=(const KestriumSeat&) = delete;

    // Changes the settings the program reads when it starts.
    void ChangeSettings(const std::function<void(SettingsStore&)>& change);
    // Starts the program and waits until its exchange answers.
    bool Start();
    std::string Linesim(const std::string& arguments) const;
    // Asks the running program to dial `number` on its default line (the SIP line).
    std::string Dial(const std::string& number) const;
    // The SIP line's row in `linesim list`.
    std::string SipLineState() const;
    const std::filesystem::path& DataFolder() const { return m_data.Path(); }
    // The program's call log as it is on disk.
    CallLogStore CallLog() const;
    std::string Output() const;

private:
    testing_support::TempDir m_data;
    testing_support::TempDir m_run;
    testing_support::TempDir m_config;
    std::filesystem::path m_socket;
    pid_t m_pid = 0;
};

// Writes a password file only its owner can read, as the service insists.
void WritePasswordFile(const std::filesystem::path& file, const std::string& password);

} // namespace office_test
