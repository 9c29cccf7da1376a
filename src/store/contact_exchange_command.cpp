#include "store/contact_exchange_command.h"

#include "store/contact_exchange.h"
#include "store/contact_store.h"
#include "store/data_folder.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage = "Usage: kestrium --import FILE.vcf\n"
                               "       kestrium --export FILE.vcf [--vcard3]\n"
                               "The contacts are those of the data folder, the current directory.\n";

bool IsAction(const std::string& argument)
{
    return argument == "--import" || argument == "--export";
}

} // namespace

std::optional<ContactExchangeCommand> ContactExchangeCommand::Parse(const std::vector<std::string>& arguments)
{
    if (std::none_of(arguments.begin(), arguments.end(), IsAction))
        return std::nullopt;
    ContactExchangeCommand command;
    bool haveAction = false;
    for (std::size_t i = 0; i < arguments.size() && command.m_usageError.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (IsAction(argument) && !haveAction && i + 1 < arguments.size()) {
            haveAction = true;
            command.m_action = argument == "--import" ? Action::Import : Action::Export;
            command.m_file = arguments[++i];
        } else if (IsAction(argument) && !haveAction) {
            command.m_usageError = "kestrium: " + argument + " needs a file name.";
        } else if (argument == "--vcard3") {
            command.m_version = VCardVersion::V3;
        } else {
            command.m_usageError = "kestrium: unexpected argument \"" + argument + "\".";
        }
    }
    if (command.m_usageError.empty() && command.m_version == VCardVersion::V3
        && command.m_action == Action::Import)
        command.m_usageError = "kestrium: --vcard3 goes with --export.";
    return command;
}

int ContactExchangeCommand::Run(const fs::path& dataFolder, std::ostream& out, std::ostream& err) const
{
    if (!m_usageError.empty()) {
        err << m_usageError << "\n" << kUsage;
        return 1;
    }
    DataFolderLock lock(dataFolder);
    if (!lock.TryLock()) {
        err << DataFolderLock::AlreadyRunningMessage(dataFolder) << "\nNothing was imported or exported.\n";
        return 1;
    }
    ContactStore contacts = OpenContactStore(dataFolder);
    LoadContacts(contacts, dataFolder);
    const ContactExchangeResult result = m_action == Action::Import
        ? ImportContacts(m_file, contacts, dataFolder)
        : ContactExchange::ExportFile(m_file, contacts, m_version);
    for (const std::string& problem : result.problems)
        err << problem << "\n";
    if (!result.summary.empty())
        out << result.summary << "\n";
    return result.fileOk ? 0 : 1;
}

