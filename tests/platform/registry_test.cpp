#include "platform/registry.h"

#include "support/file_size_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

using platform::RegistryHive;
using platform::RegType;
using platform::RegValue;
using testing_support::FileSizeLimit;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

constexpr const char* kKey = "SOFTWARE\\Brindlex\\Kestrium\\";

std::string TextOf(const std::optional<RegValue>& value)
{
    return value ? std::string(value->data.begin(), value->data.end()) : "<none>";
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(RegistryHive, ReadingNeverCreatesTheFileOrKey)
{
    TempDir dir;
    RegistryHive hive(dir / "registry.reg");
    EXPECT_FALSE(hive.KeyExists(kKey));
    EXPECT_FALSE(hive.Query(kKey, "Play to"));
    EXPECT_FALSE(std::filesystem::exists(dir / "registry.reg"));
}

TEST(RegistryHive, WriteCreatesKeyWithParentsAndIsCaseInsensitive)
{
    TempDir dir;
    RegistryHive hive(dir / "sub" / "registry.reg");
    ASSERT_TRUE(hive.Set(kKey, "Last tab", RegValue::Number(2)));
    EXPECT_TRUE(hive.KeyExists("SOFTWARE"));
    EXPECT_TRUE(hive.KeyExists("software\\brindlex"));
    EXPECT_TRUE(hive.KeyExists("SOFTWARE\\BRINDLEX\\KESTRIUM"));
    auto value = hive.Query("software\\brindlex\\kestrium", "LAST TAB");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::Dword);
    EXPECT_EQ(value->data, (std::vector<std::uint8_t>{ 2, 0, 0, 0 }));

    // Writing under another spelling replaces the value and keeps the first spelling.
    ASSERT_TRUE(hive.Set(kKey, "last TAB", RegValue::Number(3)));
    EXPECT_EQ(ReadBytes(hive.Path()),
        "REGEDIT4\n\n[HKEY_CURRENT_USER]\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Brindlex]\n\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Brindlex\\Kestrium]\n\"Last tab\"=dword:00000003\n");
    struct stat st { };
    ASSERT_EQ(::stat(hive.Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(RegistryHive, RoundTripsEveryTypeThroughTheFile)
{
    TempDir dir;
    std::vector<std::uint8_t> block(44);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = std::uint8_t(i * 7);
    {
        RegistryHive writer(dir / "registry.reg");
        ASSERT_TRUE(writer.Set(kKey, "Play to", RegValue::Text("Speakers \"front\" C:\\x")));
        ASSERT_TRUE(writer.Set(kKey, "Multi", RegValue::Text("line one\r\nline two")));
        ASSERT_TRUE(writer.Set(kKey, "Placement", RegValue::Block(block.data(), block.size())));
        ASSERT_TRUE(writer.Set(kKey, "Line1 headset", RegValue::Number(0xffffffffu)));
        ASSERT_TRUE(writer.Set(kKey, "Empty", RegValue::Text("")));
        ASSERT_TRUE(writer.Set(kKey, "Unicode", RegValue::Text("Zoë – Müller")));
    }
    // A second hive on the same file (another process, as far as it knows) sees it all.
    RegistryHive reader(dir / "registry.reg");
    EXPECT_EQ(TextOf(reader.Query(kKey, "play to")), "Speakers \"front\" C:\\x");
    EXPECT_EQ(TextOf(reader.Query(kKey, "multi")), "line one\r\nline two");
    EXPECT_EQ(TextOf(reader.Query(kKey, "empty")), "");
    EXPECT_EQ(TextOf(reader.Query(kKey, "unicode")), "Zoë – Müller");
    auto placement = reader.Query(kKey, "placement");
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->type, RegType::Binary);
    EXPECT_EQ(placement->data, block);
    auto headset = reader.Query(kKey, "line1 headset");
    ASSERT_TRUE(headset);
    EXPECT_EQ(headset->data, (std::vector<std::uint8_t>{ 0xff, 0xff, 0xff, 0xff }));
}

TEST(RegistryHive, SeesChangesMadeByAnotherWriter)
{
    TempDir dir;
    RegistryHive a(dir / "registry.reg");
    RegistryHive b(dir / "registry.reg");
    ASSERT_TRUE(a.Set(kKey, "Answer after", RegValue::Number(3)));
    ASSERT_TRUE(b.Set(kKey, "Voicemail On", RegValue::Number(1)));
    // a must not overwrite b's value with its older view of the file.
    ASSERT_TRUE(a.Set(kKey, "Last tab", RegValue::Number(1)));
    EXPECT_TRUE(b.Query(kKey, "Voicemail On"));
    EXPECT_TRUE(b.Query(kKey, "Last tab"));
    EXPECT_TRUE(a.Query(kKey, "Voicemail On"));
}

TEST(RegistryHive, ReadsHandWrittenFilesWithCrLfCommentsAndContinuedHex)
{
    TempDir dir;
    WriteBytes(dir / "registry.reg",
        "REGEDIT4\r\n\r\n; written by hand\r\n[HKEY_CURRENT_USER\\Software\\Brindlex\\Kestrium]\r\n"
        "\"Block\"=hex:01,02,\\\r\n  03,04\r\n@=\"default\"\r\n\"Text\"=hex(1):41,42,00\r\n");
    RegistryHive hive(dir / "registry.reg");
    auto block = hive.Query(kKey, "Block");
    ASSERT_TRUE(block);
    EXPECT_EQ(block->data, (std::vector<std::uint8_t>{ 1, 2, 3, 4 }));
    EXPECT_EQ(TextOf(hive.Query(kKey, "")), "default");
    auto text = hive.Query(kKey, "text");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->type, RegType::Sz);
    EXPECT_EQ(text->data, (std::vector<std::uint8_t>{ 'A', 'B', 0 }));
}

TEST(RegistryHive, CorruptFileIsKeptAsideBeforeTheFirstWrite)
{
    const char* corrupt[] = {
        "not a registry file\n",
        "REGEDIT4\n\"Orphan\"=\"value before any key\"\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\X]\n\"Bad\"=dword:xyz\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\X]\n\"Unclosed=\"v\"\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\X]\n\"A\"=hex:zz\n",
    };
    for (const char* text : corrupt) {
        SCOPED_TRACE(text);
        TempDir dir;
        WriteBytes(dir / "registry.reg", text);
        RegistryHive hive(dir / "registry.reg");
        EXPECT_FALSE(hive.KeyExists("X"));
        EXPECT_TRUE(std::filesystem::exists(dir / "registry.reg")); // reading keeps it as it is
        ASSERT_TRUE(hive.Set(kKey, "Last tab", RegValue::Number(1)));
        ASSERT_FALSE(hive.LastCorruptCopy().empty());
        EXPECT_EQ(ReadBytes(hive.LastCorruptCopy()), text);
        EXPECT_EQ(hive.LastCorruptCopy().parent_path(), dir.Path());
        EXPECT_TRUE(hive.Query(kKey, "Last tab"));
    }
}

TEST(RegistryHive, FailedWriteReturnsFalseAndKeepsTheOldFile)
{
    TempDir dir;
    RegistryHive hive(dir / "registry.reg");
    ASSERT_TRUE(hive.Set(kKey, "Last tab", RegValue::Number(1)));
    std::string before = ReadBytes(hive.Path());
    {
        // A file size limit below the new file's size makes the write fail half-way, even for root.
        FileSizeLimit limit(32);
        EXPECT_FALSE(hive.Set(kKey, "Play to", RegValue::Text("Speakers")));
    }
    EXPECT_EQ(ReadBytes(hive.Path()), before);
    EXPECT_NE(hive.LastError().find("cannot be written"), std::string::npos) << hive.LastError();
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{ "registry.reg", "registry.reg.lock" }));
    auto value = hive.Query(kKey, "Last tab");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data[0], 1);
    EXPECT_FALSE(hive.Query(kKey, "Play to"));
}

// A registry path that names a folder, a pipe or a device is an error: reads see nothing, writes
// fail, nothing is moved aside or replaced, and reading never blocks or runs out of memory.
TEST(RegistryHive, PathThatIsNotARegularFileIsAnError)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.reg");
    WriteBytes(dir / "folder.reg" / "keep.txt", "kept");
    ASSERT_EQ(::mkfifo((dir / "pipe.reg").c_str(), 0600), 0);
    for (const char* name : { "folder.reg", "pipe.reg" }) {
        SCOPED_TRACE(name);
        RegistryHive hive(dir / name);
        EXPECT_FALSE(hive.Query(kKey, "Last tab"));
        EXPECT_FALSE(hive.Set(kKey, "Last tab", RegValue::Number(1)));
        EXPECT_NE(hive.LastError().find("is not a regular file"), std::string::npos) << hive.LastError();
        EXPECT_TRUE(hive.LastCorruptCopy().empty());
    }
    EXPECT_EQ(ReadBytes(dir / "folder.reg" / "keep.txt"), "kept");
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe.reg"));
    for (const std::string& name : FilesIn(dir.Path())) {
        EXPECT_EQ(name.find(".corrupt-"), std::string::npos) << name;
        EXPECT_EQ(name.find(".lock"), std::string::npos) << name; // no lock file beside /dev/null either
    }

    // A device that never ends is only looked at, never read (no write here: it is the real one).
    RegistryHive zero("/dev/zero");
    EXPECT_FALSE(zero.KeyExists(kKey));
    EXPECT_NE(zero.LastError().find("is not a regular file"), std::string::npos) << zero.LastError();
}

// A hive kept elsewhere behind a link (a synced folder, say) is written at the link's target, so
// the link stays a link; a set-aside corrupt file is the target's.
TEST(RegistryHive, LinkedHiveIsWrittenAtItsTarget)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "synced");
    WriteBytes(dir / "synced" / "real.reg", "not a hive");
    std::filesystem::create_symlink(dir / "synced" / "real.reg", dir / "registry.reg");
    RegistryHive hive(dir / "registry.reg");
    ASSERT_TRUE(hive.Set(kKey, "Last tab", RegValue::Number(1)));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "registry.reg"));
    EXPECT_TRUE(RegistryHive(dir / "synced" / "real.reg").Query(kKey, "Last tab"));
    EXPECT_EQ(hive.LastCorruptCopy().parent_path(), dir / "synced");
    EXPECT_EQ(ReadBytes(hive.LastCorruptCopy()), "not a hive");
    ASSERT_TRUE(hive.Set(kKey, "Last tab", RegValue::Number(2)));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "registry.reg"));
    EXPECT_EQ(hive.Query(kKey, "Last tab")->data, RegValue::Number(2).data);
}

TEST(RegistryHive, FileLargerThanTheLimitIsAnErrorNotAReset)
{
    TempDir dir;
    RegistryHive hive(dir / "registry.reg");
    ASSERT_TRUE(hive.Set(kKey, "Last tab", RegValue::Number(1)));
    // A sparse file: large on paper, cheap on disk.
    std::filesystem::resize_file(hive.Path(), RegistryHive::kMaxFileSize + 1);
    EXPECT_FALSE(hive.Query(kKey, "Last tab"));
    EXPECT_NE(hive.LastError().find("larger than"), std::string::npos) << hive.LastError();
    EXPECT_FALSE(hive.Set(kKey, "Last tab", RegValue::Number(2)));
    EXPECT_TRUE(hive.LastCorruptCopy().empty());
    EXPECT_EQ(std::filesystem::file_size(hive.Path()), RegistryHive::kMaxFileSize + 1);
}

// Within the size limit, loading takes time in proportion to the file, whatever its shape.
// Its load time is measured by bench/platform/registry_bench.
TEST(RegistryHive, KeyWithManyValuesLoadsEveryValue)
{
    TempDir dir;
    std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
    for (int i = 0; i < 100000; ++i)
        text += "\"value" + std::to_string(i) + "\"=dword:0000000" + std::to_string(i % 10) + "\n";
    WriteBytes(dir / "registry.reg", text);
    RegistryHive hive(dir / "registry.reg");
    for (int i : { 0, 4711, 99999 }) {
        const std::optional<RegValue> value = hive.Query("K", "VALUE" + std::to_string(i));
        ASSERT_TRUE(value) << i;
        EXPECT_EQ(value->data, RegValue::Number(static_cast<std::uint32_t>(i % 10)).data) << i;
    }
    EXPECT_FALSE(hive.Query("K", "value100000"));
}

TEST(RegistryHive, TemporaryFileNeverFollowsAPlantedLink)
{
    TempDir dir;
    WriteBytes(dir / "victim.txt", "precious");
    // The name the temporary file of this process had before it was chosen at random.
    std::filesystem::create_symlink(
        dir / "victim.txt", dir / ("registry.reg.tmp-" + std::to_string(::getpid())));
    RegistryHive hive(dir / "registry.reg");
    ASSERT_TRUE(hive.Set(kKey, "Last tab", RegValue::Number(1)));
    EXPECT_EQ(ReadBytes(dir / "victim.txt"), "precious");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(hive.Path())));
    EXPECT_TRUE(RegistryHive(hive.Path()).Query(kKey, "Last tab"));
}

// Read-only (no write permission for the owner, as after chmod 0400 or 0000): writes fail and leave
// the file as it is. A file that cannot be read is an error, never an empty hive to be set aside.
TEST(RegistryHive, ReadOnlyAndUnreadableFilesAreKeptAsTheyAre)
{
    TempDir dir;
    RegistryHive hive(dir / "registry.reg");
    ASSERT_TRUE(hive.Set(kKey, "Last tab", RegValue::Number(1)));
    const std::string before = ReadBytes(hive.Path());
    for (mode_t mode : { 0400, 0000 }) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chmod(hive.Path().c_str(), mode), 0);
        EXPECT_FALSE(hive.Set(kKey, "Last tab", RegValue::Number(2)));
        EXPECT_FALSE(hive.LastError().empty());
        EXPECT_TRUE(hive.LastCorruptCopy().empty());
        struct stat st { };
        ASSERT_EQ(::stat(hive.Path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, mode);
        ASSERT_EQ(::chmod(hive.Path().c_str(), 0600), 0);
        EXPECT_EQ(ReadBytes(hive.Path()), before);
        ASSERT_EQ(::chmod(hive.Path().c_str(), mode), 0);
        // Root may read any file; anyone else gets an error and sees no values.
        const bool readable = mode == 0400 || ::geteuid() == 0;
        EXPECT_EQ(hive.Query(kKey, "Last tab").has_value(), readable);
        EXPECT_EQ(hive.LastError().empty(), readable) << hive.LastError();
    }

    // A regular file whose reading fails, readable or not by its mode.
    RegistryHive failing("/proc/self/mem");
    EXPECT_FALSE(failing.KeyExists(kKey));
    EXPECT_NE(failing.LastError().find("cannot be read"), std::string::npos) << failing.LastError();
    EXPECT_TRUE(failing.LastCorruptCopy().empty());
}

TEST(RegistryHive, OverlongKeyPathsAndValueNamesAreRefused)
{
    TempDir dir;
    RegistryHive hive(dir / "registry.reg");
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "a\\";
    EXPECT_FALSE(hive.Set(deep, "v", RegValue::Number(1)));
    EXPECT_FALSE(hive.CreateKey(deep));
    EXPECT_FALSE(std::filesystem::exists(hive.Path()));

    const std::string longest(RegistryHive::kMaxKeyNameLength, 'k');
    const std::string valueName(RegistryHive::kMaxValueNameLength, 'v');
    EXPECT_FALSE(hive.Set(longest + "k", "v", RegValue::Number(1)));
    EXPECT_FALSE(hive.Set("a\\\\b", "v", RegValue::Number(1))); // an empty key name
    EXPECT_FALSE(hive.Set(kKey, valueName + "v", RegValue::Number(1)));
    EXPECT_NE(hive.LastError().find("too long"), std::string::npos) << hive.LastError();
    EXPECT_FALSE(std::filesystem::exists(hive.Path()));

    ASSERT_TRUE(hive.Set(longest, valueName, RegValue::Number(1)));
    EXPECT_TRUE(hive.Query(longest, valueName));
    std::string deepest = "a"; // 512 levels of one letter, 1023 characters
    while (deepest.size() + 2 <= RegistryHive::kMaxKeyPathLength)
        deepest += "\\a";
    ASSERT_TRUE(hive.CreateKey(deepest));
    EXPECT_TRUE(hive.KeyExists(deepest));
    EXPECT_LT(std::filesystem::file_size(hive.Path()), 1u << 20);
}

TEST(RegistryHive, DefaultPathFollowsTheEnvironment)
{
    ::setenv("KESTRIUM_REGISTRY", "/tmp/elsewhere.reg", 1);
    EXPECT_EQ(RegistryHive::DefaultPath(), "/tmp/elsewhere.reg");
    ::unsetenv("KESTRIUM_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(RegistryHive::DefaultPath(), "/tmp/cfg/kestrium/registry.reg");
}
