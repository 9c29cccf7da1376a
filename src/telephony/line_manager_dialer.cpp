// The system dialer: the system's telephony hand-off values and the program's own setting.
#include "telephony/line_manager.h"

#include "platform/kernel.h"
#include "settings/settings_store.h"

#include <string>

namespace {

// A hand-off value and the copy of what it held before the program took it over.
struct HandoffValue {
    const Settings::TextValue& plain;
    const Settings::TextValue& saved;
};

constexpr HandoffValue kHandoffValues[] = {
    { Settings::kRequestMakeCall, Settings::kSavedRequestMakeCall },
    { Settings::kRequestMediaCall, Settings::kSavedRequestMediaCall },
};

// The values hold program paths, which may be longer than the table's 260 bytes on this system: a
// longer value read with that buffer would come back empty and be saved as empty, losing it.
constexpr std::size_t kHandoffBufferSize = 4096;

std::string ReadHandoff(const SettingsStore& settings, const Settings::TextValue& value)
{
    return settings.ReadText(Settings::kHandoffKeyPath, value.name, value.def, kHandoffBufferSize);
}

void WriteHandoff(SettingsStore& settings, const Settings::TextValue& value, const std::string& text)
{
    settings.WriteText(Settings::kHandoffKeyPath, value.name, text);
}

// Takes the value over for `ownPath`, keeping what it held. When it already names the program (every
// start after the first), the copy made the first time is kept: copying the program's own path
// over it would lose the previous handler.
void TakeOver(SettingsStore& settings, const HandoffValue& value, const std::string& ownPath)
{
    const std::string current = ReadHandoff(settings, value.plain);
    if (current == ownPath)
        return;
    WriteHandoff(settings, value.saved, current);
    WriteHandoff(settings, value.plain, ownPath);
}

// Gives the value back: the saved copy returns where the value is empty or names the program. A
// value that names another program stays: that program registered itself after the program took
// over, or the program never did (no copy exists), and writing the copy would remove it.
void GiveBack(SettingsStore& settings, const HandoffValue& value, const std::string& ownPath)
{
    const std::string current = ReadHandoff(settings, value.plain);
    if (!current.empty() && current != ownPath)
        return;
    const std::string saved = ReadHandoff(settings, value.saved);
    if (saved != current)
        WriteHandoff(settings, value.plain, saved);
}

} // namespace

bool LineManager::IsSystemDialer() const
{
    return m_settings.Read(Settings::kIsSystemDialer) != 0;
}

// Without its own path the program cannot name itself; the hand-off values are then left alone
// rather than emptied.
void LineManager::BecomeSystemDialer()
{
    const std::string ownPath = platform::OwnExecutablePath();
    if (!ownPath.empty())
        for (const HandoffValue& value : kHandoffValues)
            TakeOver(m_settings, value, ownPath);
    m_settings.Write(Settings::kIsSystemDialer, 1);
    RegisterAsRequestRecipient(true);
}

void LineManager::StopBeingSystemDialer()
{
    const std::string ownPath = platform::OwnExecutablePath();
    for (const HandoffValue& value : kHandoffValues)
        GiveBack(m_settings, value, ownPath);
    m_settings.Write(Settings::kIsSystemDialer, 0);
    RegisterAsRequestRecipient(false);
}
