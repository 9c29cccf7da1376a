#include "store/call_log_store.h"

#include "settings/settings.h"
#include "settings/settings_store.h"
#include "store/csv_records.h"
#include "store/csv_writer.h"
#include "store/locale_compare.h"
#include "store/recording_path.h"
#include "store/text_limit.h"
#include "store/text_match.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace {

// Longest archive file name the file system takes (NAME_MAX).
constexpr std::size_t kMaxFileName = 255;

constexpr auto kDateLimits = [] {
    std::array<std::size_t, 12> limits{};
    limits.fill(CallLogStore::kNumberFieldLimit);
    return limits;
}();

CallTime TimeFromFields(std::span<const std::string_view> six)
{
    return { CsvCodec::ToNumber(six[0]), CsvCodec::ToNumber(six[1]), CsvCodec::ToNumber(six[2]),
        CsvCodec::ToNumber(six[3]), CsvCodec::ToNumber(six[4]), CsvCodec::ToNumber(six[5]) };
}

CallLogEntry EntryFromFields(std::span<const std::string_view> fields)
{
    CallLogEntry entry;
    entry.startTime = TimeFromFields(fields.subspan(0, 6));
    entry.endTime = TimeFromFields(fields.subspan(6, 6));
    entry.callerName = fields[12];
    entry.number = fields[13];
    entry.note = fields[14];
    entry.recordingPath = fields[15];
    entry.type = CsvCodec::ToNumber(fields[16]);
    entry.reservedText = fields[17];
    entry.reservedValue = CsvCodec::ToNumber(fields[18]);
    return entry;
}

void WriteTime(CsvWriter& writer, const CallTime& time)
{
    for (std::int32_t part : { time.year, time.month, time.day, time.hour, time.minute, time.second })
        writer.Number(part);
}

void WriteEntry(CsvWriter& writer, const CallLogEntry& entry)
{
    WriteTime(writer, entry.startTime);
    WriteTime(writer, entry.endTime);
    writer.Text(entry.callerName);
    writer.Text(entry.number);
    writer.Text(entry.note);
    writer.Text(entry.recordingPath);
    writer.Number(entry.type);
    writer.Text(entry.reservedText);
    writer.Number(entry.reservedValue);
    writer.EndRecord();
}

// The archive-name letter of a type code; none for codes of 6 and above.
std::string_view TypeLetter(std::int32_t code)
{
    static constexpr std::string_view kLetters[] = { "M", "I", "O", "F", "V", "V" };
    return code < 6 ? kLetters[code] : std::string_view{};
}

// Bytes a file name must not hold, or should not for the user's sake: the folder separator,
// ":" (the date and time separators), NUL and other control bytes.
bool IsUnsafeInFileName(char c)
{
    unsigned char byte = static_cast<unsigned char>(c);
    return c == '/' || c == ':' || byte < 0x20 || byte == 0x7F;
}

std::string SafeFileNamePart(std::string_view text)
{
    std::string safe(text);
    std::replace_if(safe.begin(), safe.end(), IsUnsafeInFileName, '_');
    return safe;
}

bool StartsLater(const CallTime& a, const CallTime& b)
{
    // Dates that are no valid date-time sort after every valid one, as the oldest.
    if (a.IsValid() != b.IsValid())
        return a.IsValid();
    return a > b;
}

// StartsLater's order as a number: a valid time above every invalid one (0), its fields packed
// each within its range, so that the numbers order as the times. Invalid times tie here and are
// ordered by StartsLater itself.
std::uint64_t StartKey(const CallTime& time)
{
    if (!time.IsValid())
        return 0;
    const auto u = [](std::int32_t v) { return std::uint64_t(v); };
    return std::uint64_t(1) << 63 | u(time.year) << 26 | u(time.month) << 22 | u(time.day) << 17
        | u(time.hour) << 12 | u(time.minute) << 6 | u(time.second);
}

} // namespace

std::uint32_t MissedCallStamp(const CallTime& time)
{
    auto u = [](std::int32_t v) { return static_cast<std::uint32_t>(v); };
    return u(time.second) + u(time.minute) * 60u + u(time.hour) * 3600u + u(time.day) * 86400u
        + u(time.month) * 2764800u + u(time.year) * 58060800u;
}

CallLogStore::CallLogStore(std::filesystem::path deletedFolder)
    : m_deletedFolder(std::move(deletedFolder))
{
}

// The list is made as large as the file can fill, so that loading does not move it again and
// again while it grows; room a file of long records leaves unused is given back.
bool CallLogStore::Load(const std::filesystem::path& file)
{
    constexpr std::uintmax_t kShortestQuotedRecord = 3 * kFieldCount;
    Clear();
    m_entries.ReserveForFile(file, kShortestQuotedRecord);
    LoadRecords<kFieldCount>(
        file, kDateLimits, kMaxEntries + 1, [this](std::span<const std::string_view> record) {
            return m_entries.Append(EntryFromFields(record));
        });
    m_entries.ReleaseSpareRoom();
    return true;
}

CallLogEntry* CallLogStore::GetAt(std::size_t index)
{
    ForgetDerived();
    return m_entries.GetAt(index);
}

void CallLogStore::Clear()
{
    ForgetDerived();
    m_entries.Clear();
}

bool CallLogStore::Append(const CallLogEntry& entry)
{
    ForgetDerived();
    if (m_entries.Count() >= kMaxEntries)
        m_entries.RemoveAt(0);
    return m_entries.Append(entry);
}

// An entry changed through GetAt's pointer after the counts were taken is saved before anything
// shows it; so the save lets the counts go as well.
bool CallLogStore::Save(const std::filesystem::path& file, TextFileWriter::Durability durability) const
{
    m_counts = {};
    return SaveRecords(file, m_entries, WriteEntry, durability);
}

void CallLogStore::ForgetDerived() const
{
    m_listOrder = {};
    m_counts = {};
}

bool CallLogStore::MarkDeleted(std::size_t index)
{
    CallLogEntry* entry = GetAt(index);
    if (!entry)
        return false;
    entry->type |= kDeletedFlag;
    return true;
}

bool CallLogStore::Restore(std::size_t index)
{
    CallLogEntry* entry = GetAt(index);
    if (!entry)
        return false;
    entry->type &= ~kDeletedFlag;
    return true;
}

bool CallLogStore::RemoveAt(std::size_t index)
{
    ForgetDerived();
    const CallLogEntry* entry = m_entries.GetAt(index);
    if (!entry)
        return false;
    if (!entry->recordingPath.empty())
        ArchiveRecording(*entry);
    return m_entries.RemoveAt(index);
}

std::string CallLogStore::ArchiveName(const CallLogEntry& entry)
{
    std::string suffix = "_";
    suffix.append(TypeLetter(entry.TypeCode()))
        .append("_")
        .append(entry.startTime.DateText())
        .append("_")
        .append(entry.startTime.TimeText())
        .append(".wav");
    std::size_t room = suffix.size() < kMaxFileName ? kMaxFileName - suffix.size() : 0;
    std::string name = std::string(CutToLimit(entry.NameOrNumber(), room)) + suffix;
    name = SafeFileNamePart(CutToLimit(name, kMaxFileName));
    if (!name.empty() && name[0] == '.')
        name[0] = '_'; // no hidden files, and never "." or ".."
    return name;
}

bool CallLogStore::ArchiveRecording(const CallLogEntry& entry) const
{
    if (m_deletedFolder.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(m_deletedFolder, ec);
    std::filesystem::path source = RecordingPath::ToLocalFile(entry.recordingPath);
    std::filesystem::path target = m_deletedFolder / ArchiveName(entry);
    if (std::filesystem::equivalent(source, target, ec))
        return true; // already the archive copy: copying onto itself would empty it
    return std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, ec);
}

// The counts are kept until the entries change: the window asks for them at every update of its
// controls, and a full log takes milliseconds to count.
std::size_t CallLogStore::CountUnseenMissed(const SettingsStore& settings) const
{
    return CountUnseenMissedSince(static_cast<std::uint32_t>(settings.Read(Settings::kMissedCallsViewedAt)));
}

void CallLogStore::PrepareCounts(std::uint32_t missedViewedAt) const
{
    CountUnseenMissedSince(missedViewedAt);
    CountUnheardVoicemail();
}

std::size_t CallLogStore::CountUnseenMissedSince(std::uint32_t viewedAt) const
{
    if (!m_counts.unseenMissed || m_counts.viewedAt != viewedAt) {
        m_counts.viewedAt = viewedAt;
        m_counts.unseenMissed = std::size_t(
            std::count_if(m_entries.begin(), m_entries.end(), [viewedAt](const CallLogEntry& e) {
                return (e.type == kCallTypeMissed || e.type == kCallTypeVoicemail)
                    && MissedCallStamp(e.startTime) > viewedAt;
            }));
    }
    return *m_counts.unseenMissed;
}

std::size_t CallLogStore::CountUnheardVoicemail() const
{
    if (!m_counts.unheardVoicemail)
        m_counts.unheardVoicemail = std::size_t(std::count_if(m_entries.begin(), m_entries.end(),
            [](const CallLogEntry& e) { return e.type == kCallTypeVoicemail && e.IsUnheard(); }));
    return *m_counts.unheardVoicemail;
}

bool CallLogStore::ShowsInCallList(const CallLogEntry& entry, std::int32_t filter, std::string_view search)
{
    bool shows = false;
    if (filter == kFilterAll)
        shows = !entry.IsDeleted();
    else if (filter == kFilterDeleted)
        shows = entry.IsDeleted();
    else
        shows = entry.type == filter;
    if (filter == kFilterUnreadVoicemail)
        shows = shows || (entry.type == kCallTypeVoicemail && entry.IsUnheard());
    if (!shows || search.empty())
        return shows;
    return StartsWithNoCase(entry.callerName, search) || StartsWithNoCase(entry.number, search);
}

int CallLogStore::CallListImage(const CallLogEntry& entry)
{
    constexpr int kUnheardVoicemailImage = 16;
    int code = entry.TypeCode();
    if (code == kCallTypeVoicemail) {
        if (entry.IsUnheard())
            return kUnheardVoicemailImage;
        code = kCallTypeMissed; // a heard message looks like a missed call with its recording
    }
    return code + (entry.note.empty() ? 0 : 4) + (entry.recordingPath.empty() ? 0 : 8);
}

// The order is total (ties keep store order), so the shown entries keep their order among all.
std::vector<std::size_t> CallLogStore::CallListEntries(std::int32_t filter, std::string_view search) const
{
    if (m_listOrder.size() != m_entries.Count())
        m_listOrder = InListOrder();
    std::vector<std::size_t> shown;
    std::copy_if(m_listOrder.begin(), m_listOrder.end(), std::back_inserter(shown),
        [&](std::size_t i) { return ShowsInCallList(*m_entries.GetAt(i), filter, search); });
    return shown;
}

std::vector<std::size_t> CallLogStore::InListOrder() const
{
    std::vector<std::size_t> positions(m_entries.Count());
    for (std::size_t i = 0; i < positions.size(); ++i)
        positions[i] = i;
    // The start times are copied beside the positions, so the sort does not visit the entries, with
    // their order as one number, so a comparison rarely looks at the fields.
    struct Start {
        std::uint64_t key;
        CallTime time;
        std::size_t position;
    };
    std::vector<Start> starts(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const CallTime& time = m_entries.GetAt(positions[i])->startTime;
        starts[i] = { StartKey(time), time, positions[i] };
    }
    std::stable_sort(starts.begin(), starts.end(), [](const Start& a, const Start& b) {
        return a.key != b.key ? a.key > b.key : a.key == 0 && StartsLater(a.time, b.time);
    });
    for (std::size_t i = 0; i < starts.size(); ++i)
        positions[i] = starts[i].position;
    // Entries that share a start second go by name. Their names are copied first, in store order:
    // read in list order, nearly every entry would be a cache miss.
    std::vector<char> shared(m_entries.Count(), 0);
    const auto runEnd = [&starts](std::size_t begin) {
        std::size_t end = begin + 1;
        while (end < starts.size() && starts[end].time == starts[begin].time)
            ++end;
        return end;
    };
    for (std::size_t begin = 0, end = 0; begin < starts.size(); begin = end) {
        end = runEnd(begin);
        for (std::size_t i = begin; end - begin > 1 && i < end; ++i)
            shared[starts[i].position] = 1;
    }
    const NameCopies names = CopyNames(shared);
    const TextSorter byName(false);
    const auto nameOf = [&names](std::size_t i) { return names.Of(i); };
    for (std::size_t begin = 0, end = 0; begin < starts.size(); begin = end) {
        end = runEnd(begin);
        if (end - begin > 1)
            byName.Sort(std::span(positions).subspan(begin, end - begin), nameOf);
    }
    return positions;
}

CallLogStore::NameCopies CallLogStore::CopyNames(const std::vector<char>& wanted) const
{
    NameCopies names;
    names.ends.resize(wanted.size() + 1, 0);
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (wanted[i])
            names.text += m_entries.GetAt(i)->NameOrNumber();
        names.ends[i + 1] = names.text.size();
    }
    return names;
}

int CallLogStore::CompareEntries(const CallLogEntry& a, const CallLogEntry& b)
{
    if (a.startTime != b.startTime)
        return StartsLater(a.startTime, b.startTime) ? -1 : 1;
    return CompareText(a.NameOrNumber(), b.NameOrNumber());
}
