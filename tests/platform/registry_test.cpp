#include "platform/registry.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using platform::RegistryHive;
using platform::RegType;
using platform::RegValue;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

constexpr const char* kKey = "SOFTWARE\\Brindlex\\Kestrium\\";

std::string TextOf(const std::optional<RegValue>& value)
{
    return value ? std::string(value->data.begin(), value->data.end()) : "<none>";
}

}  // namespace

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
    EXPECT_EQ(value->data, (std::vector<std::uint8_t>{2, 0, 0, 0}));

    // Writing under another spelling replaces the value and keeps the first spelling.
    ASSERT_TRUE(hive.Set(kKey, "last TAB", RegValue::Number(3)));
    EXPECT_EQ(ReadBytes(hive.Path()),
              "REGEDIT4\n\n[HKEY_CURRENT_USER]\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Brindlex]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Brindlex\\Kestrium]\n\"Last tab\"=dword:00000003\n");
    struct stat st {};
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
    EXPECT_EQ(headset->data, (std::vector<std::uint8_t>{0xff, 0xff, 0xff, 0xff}));
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
    EXPECT_EQ(block->data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(TextOf(hive.Query(kKey, "")), "default");
    auto text = hive.Query(kKey, "text");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->type, RegType::Sz);
    EXPECT_EQ(text->data, (std::vector<std::uint8_t>{'A', 'B', 0}));
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
        EXPECT_TRUE(std::filesystem::exists(dir / "registry.reg"));  // reading keeps it as it is
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
    // A folder where the temporary file must go makes the write fail, even for root.
    std::filesystem::create_directory(dir / ("registry.reg.tmp-" + std::to_string(::getpid())));
    EXPECT_FALSE(hive.Set(kKey, "Last tab", RegValue::Number(2)));
    EXPECT_EQ(ReadBytes(hive.Path()), before);
    auto value = hive.Query(kKey, "Last tab");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data[0], 1);
}

TEST(RegistryHive, DefaultPathFollowsTheEnvironment)
{
    ::setenv("KESTRIUM_REGISTRY", "/tmp/elsewhere.reg", 1);
    EXPECT_EQ(RegistryHive::DefaultPath(), "/tmp/elsewhere.reg");
    ::unsetenv("KESTRIUM_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(RegistryHive::DefaultPath(), "/tmp/cfg/kestrium/registry.reg");
}
