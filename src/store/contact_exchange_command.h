#pragma once

#include "store/vcard.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// "kestrium --import FILE.vcf" and "kestrium --export FILE.vcf [--vcard3]": the contact list of the
// data folder exchanged with a vCard file without the window.
class ContactExchangeCommand {
public:
    // The command the arguments (without the program name) give; none when they name neither
    // --import nor --export, and the program starts as usual.
    static std::optional<ContactExchangeCommand> Parse(const std::vector<std::string>& arguments);

    // Locks the data folder, loads the contacts, imports (then saves the contacts and any new
    // groups) or exports. The summary goes to `out`, problems to `err`. 0 on success; 1 when the
    // arguments are wrong, another Kestrium holds the folder (nothing is touched then), or the
    // vCard file or a data file cannot be read or written.
    int Run(const std::filesystem::path& dataFolder, std::ostream& out, std::ostream& err) const;

private:
    enum class Action { Import, Export };

    Action m_action = Action::Import;
    std::filesystem::path m_file;
    VCardVersion m_version = VCardVersion::V4;
    std::string m_usageError;
};
