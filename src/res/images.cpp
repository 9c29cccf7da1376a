#include "res/images.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPalette>
#include <QString>

#include <algorithm>
#include <array>
#include <iterator>
#include <string>

// Qt's resource registration lives in the generated file of this static library; calling it
// from here makes the linker keep that file in every program that shows an image.
static void RegisterKestriumResources()
{
    Q_INIT_RESOURCE(kestrium);
    Q_INIT_RESOURCE(kestrium_dark);
}

namespace Images {
namespace {

struct NamedFile
{
    std::string_view name;
    const char* file;
};

constexpr std::array<NamedFile, kSmallCount> kSmall{{
    {"Contacts", "contacts"},
    {"DIAL16", "dial"},
    {"CALL16", "call"},
    {"CallsLog", "call-log"},
    {"Recorder", "recorder"},
    {"VoiceMail", "voice-mail"},
    {"DND16", "do-not-disturb"},
    {"QueueCall", "queue-call"},
    {"Conference", "conference"},
    {"RECORD16", "record"},
    {"MUTE16", "mute"},
    {"Hold", "hold"},
    {"AnalogIM", "analog-message"},
    {"Setup", "setup"},
    {"MissedCalls", "missed-calls"},
    {"LINE_PSTN_ON_HOOK", "line-pstn-on-hook"},
    {"LINE_PSTN_OFF_HOOK", "line-pstn-off-hook"},
    {"LINE_PSTN_DEFAULT_ON_HOOK", "line-pstn-default-on-hook"},
    {"LINE_PSTN_DEFAULT_OFF_HOOK", "line-pstn-default-off-hook"},
    {"LINE_PSTN_GRAYED", "line-pstn-grayed"},
    {"LINE_IP_ON_HOOK", "line-ip-on-hook"},
    {"LINE_IP_OFF_HOOK", "line-ip-off-hook"},
    {"LINE_IP_DEFAULT_ON_HOOK", "line-ip-default-on-hook"},
    {"LINE_IP_DEFAULT_OFF_HOOK", "line-ip-default-off-hook"},
    {"LINE_IP_GRAYED", "line-ip-grayed"},
    {"Phone", "phone"},
    {"Headset", "headset"},
    {"AddContact", "add-contact"},
    {"PAUSE16", "pause"},
    {"STOP16", "stop"},
}};

// The line-node states share the art of the line buttons.
constexpr NamedFile kPstnOn{"CALL_STATE_PSTN_ON", "line-pstn-on-hook"};
constexpr NamedFile kPstnOff{"CALL_STATE_PSTN_OFF", "line-pstn-off-hook"};
constexpr NamedFile kIpOn{"CALL_STATE_IP_ON", "line-ip-on-hook"};
constexpr NamedFile kIpOff{"CALL_STATE_IP_OFF", "line-ip-off-hook"};

constexpr std::array<NamedFile, kCallStateCount> kCallState{{
    {"CALL_STATE_IDLE", "state-idle"},
    {"CALL_STATE_ANSWER", "state-answer"},
    {"CALL_STATE_BUSY", "state-busy"},
    {"CALL_STATE_DIAL", "state-dial"},
    {"CALL_STATE_DIALTONE", "state-dial-tone"},
    {"CALL_STATE_FAX", "state-fax"},
    {"CALL_STATE_HOLD", "state-hold"},
    {"CALL_STATE_INCOME", "state-incoming"},
    {"CALL_STATE_LINE", "state-line"},
    {"CALL_STATE_NO_ANSWER", "state-no-answer"},
    {"CALL_STATE_RINGING", "state-ringing"},
    {"CALL_STATE_TALK", "state-talk"},
    {"CALL_STATE_XFER", "state-transfer"},
    {"CALL_STATE_IN_CONF", "state-in-conference"},
    {"CALL_STATE_UNKNOWN", "state-unknown"},
    kPstnOn, kPstnOff, kPstnOn, kPstnOff, kPstnOn,
    kIpOn, kIpOff, kIpOn, kIpOff, kIpOn,
    {"CALL_STATE_VM", "state-voice-mail"},
}};

// Bitmaps 251 to 254 and 270 to 282: the four kinds of call, each plain, with a note, with a
// recording and with both, then the unheard message.
constexpr std::array<NamedFile, kCallTypeCount> kCallType{{
    {"251", "call-missed"},
    {"252", "call-incoming"},
    {"253", "call-outgoing"},
    {"254", "call-conference"},
    {"270", "call-missed-note"},
    {"271", "call-incoming-note"},
    {"272", "call-outgoing-note"},
    {"273", "call-conference-note"},
    {"274", "call-missed-recorded"},
    {"275", "call-incoming-recorded"},
    {"276", "call-outgoing-recorded"},
    {"277", "call-conference-recorded"},
    {"278", "call-missed-note-recorded"},
    {"279", "call-incoming-note-recorded"},
    {"280", "call-outgoing-note-recorded"},
    {"281", "call-conference-note-recorded"},
    {"282", "call-voice-mail-unheard"},
}};

constexpr std::array<NamedFile, kSetupPageCount> kSetupPage{{
    {"238", "setup-general"},
    {"239", "setup-call-recording"},
    {"240", "setup-voice-mail"},
    {"242", "setup-telephony"},
    {"243", "contacts"},
}};

constexpr std::array<NamedFile, 14> kIcons{{
    {"128", "kestrium"},
    {"261", "search"},
    {"262", "clear"},
    {"263", "drop-down"},
    {"270", "play"},
    {"271", "pause"},
    {"272", "stop"},
    {"273", "delete"},
    {"274", "rewind"},
    {"275", "speaker"},
    {"276", "phone"},
    {"277", "record"},
    {"280", "headset"},
    {"281", "microphone"},
}};

constexpr std::array<NamedFile, 8> kButtons{{
    {"KesCallUp", "call-button-up"},
    {"KesCallDown", "call-button-down"},
    {"KesCallFocus", "call-button-focus"},
    {"KesCallDisabled", "call-button-disabled"},
    {"KesCallEndUp", "end-button-up"},
    {"KesCallEndDown", "end-button-down"},
    {"KesCallEndFocus", "end-button-focus"},
    {"KesCallEndDisabled", "end-button-disabled"},
}};

// A dark window: its background is darker than its text.
bool IsDarkPalette()
{
    if (!qGuiApp)
        return false;
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

// An icon made from an SVG file reads and parses the file, so each file is made into an icon once
// and handed out as shared copies. The cache is never destroyed, so no icon is freed at exit after
// the application is gone.
QIcon CachedIcon(const QString& path)
{
    static auto* const cache = new QHash<QString, QIcon>;
    const auto found = cache->constFind(path);
    return found != cache->constEnd() ? *found : *cache->insert(path, QIcon(path));
}

// The dark variant where there is one and the application's palette is dark.
QIcon Load(const char* file)
{
    static const bool registered = (RegisterKestriumResources(), true);
    Q_UNUSED(registered);
    if (IsDarkPalette()) {
        const QString dark = QStringLiteral(":/icons-dark/%1.svg").arg(QLatin1String(file));
        if (QFile::exists(dark))
            return CachedIcon(dark);
    }
    return CachedIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(file)));
}

template <std::size_t N>
QIcon At(const std::array<NamedFile, N>& table, int index)
{
    if (index < 0 || index >= static_cast<int>(N))
        return {};
    return Load(table[static_cast<std::size_t>(index)].file);
}

template <std::size_t N>
const NamedFile* Find(const std::array<NamedFile, N>& table, std::string_view name)
{
    const auto it = std::find_if(table.begin(), table.end(), [name](const NamedFile& entry) { return entry.name == name; });
    return it == table.end() ? nullptr : &*it;
}

}  // namespace

QIcon Small(int index)
{
    return At(kSmall, index);
}

QIcon CallState(int index)
{
    return At(kCallState, index);
}

QList<QIcon> CallStateList()
{
    QList<QIcon> icons;
    for (int index = 0; index < kCallStateCount; ++index)
        icons.append(CallState(index));
    return icons;
}

QIcon CallType(int index)
{
    return At(kCallType, index);
}

QIcon SetupPage(int index)
{
    return At(kSetupPage, index);
}

QIcon Icon(int resourceId)
{
    const NamedFile* entry = Find(kIcons, std::to_string(resourceId));
    return entry ? Load(entry->file) : QIcon();
}

// Only bitmap names: numbered resources are reached through their own tables, where a number
// like 270 means a different image for a bitmap and for an icon.
QIcon Named(std::string_view resourceName)
{
    for (const NamedFile* entry : {Find(kSmall, resourceName), Find(kCallState, resourceName), Find(kButtons, resourceName)}) {
        if (entry)
            return Load(entry->file);
    }
    return {};
}

QStringList Names()
{
    QStringList names;
    const auto add = [&names](const auto& table) {
        for (const NamedFile& entry : table) {
            const QString name = QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
            if (!names.contains(name))
                names.append(name);
        }
    };
    add(kSmall);
    add(kCallState);
    add(kButtons);
    return names;
}

}  // namespace Images
