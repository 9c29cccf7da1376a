#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Keeps a password in the desktop's secret store (Secret Service or KWallet, through QtKeychain).
// Where none runs, the password goes to a file only its owner may read (0600) in a folder only
// its owner may enter (0700); a password stored in the secret store later replaces that file.
class PasswordVault {
public:
    // `service` names the program's entries in the secret store; `fallbackFolder` is the folder of
    // the files.
    PasswordVault(std::string service, std::filesystem::path fallbackFolder);

    // False (with the reason in `error`) when neither the secret store nor the file took it.
    bool Store(std::string_view key, std::string_view password, std::string& error);
    // Empty when nothing is stored under `key`.
    std::string Read(std::string_view key) const;
    void Forget(std::string_view key);

    // The file that holds `key`'s password where no secret store runs.
    std::filesystem::path FallbackFile(std::string_view key) const;

private:
    std::string m_service;
    std::filesystem::path m_folder;
};
