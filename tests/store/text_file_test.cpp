#include "store/text_file_reader.h"
#include "store/text_file_writer.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

std::string ReadAll(TextFileReader& reader)
{
    std::string out;
    for (int c = reader.Get(); c != TextFileReader::kEnd; c = reader.Get())
        out.push_back(static_cast<char>(c));
    return out;
}

} // namespace

TEST(TextFileReader, TranslatesCrLfAndKeepsLoneCr)
{
    TempDir dir;
    WriteBytes(dir / "f", "a\r\nb\rc\n\r\r\nd\r");
    TextFileReader reader(dir / "f");
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_EQ(ReadAll(reader), "a\nb\rc\n\r\nd\r");
    EXPECT_EQ(reader.Get(), TextFileReader::kEnd);
    EXPECT_TRUE(reader.IsOpen());
}

TEST(TextFileReader, TranslatesCrLfSplitAcrossBufferRefills)
{
    TempDir dir;
    for (std::size_t crAt : { 65535u, 65536u, 131071u }) {
        std::string bytes(crAt, 'x');
        bytes += "\r\ny\r";
        WriteBytes(dir / "f", bytes);
        TextFileReader reader(dir / "f");
        std::string text = ReadAll(reader);
        EXPECT_EQ(text.size(), crAt + 3);
        EXPECT_EQ(text.substr(crAt), "\ny\r") << crAt;
    }
}

TEST(TextFileReader, MissingFileIsNotOpen)
{
    TempDir dir;
    TextFileReader reader(dir / "missing");
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.Get(), TextFileReader::kEnd);
}

TEST(TextFileReader, RestIsBlankLooksAtEveryRemainingByte)
{
    auto blank = TextFileReader::FromBytes(" \r\n\t\n ");
    EXPECT_TRUE(blank.RestIsBlank());
    auto data = TextFileReader::FromBytes("\n\n\"x\"");
    EXPECT_FALSE(data.RestIsBlank());
}

TEST(TextFileWriter, WritesCrLfAndReplacesOnlyOnCommit)
{
    TempDir dir;
    WriteBytes(dir / "f", "old");
    {
        TextFileWriter writer(dir / "f");
        ASSERT_TRUE(writer.IsOpen());
        writer.Write("line 1\nline\r2\n");
        EXPECT_EQ(ReadBytes(dir / "f"), "old");
        ASSERT_TRUE(writer.Commit());
    }
    EXPECT_EQ(ReadBytes(dir / "f"), "line 1\r\nline\r2\r\n");
    {
        TextFileWriter abandoned(dir / "f");
        abandoned.Write("half a file");
    }
    EXPECT_EQ(ReadBytes(dir / "f"), "line 1\r\nline\r2\r\n");
    int entries = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file is left behind";
}

TEST(TextFileWriter, WritesLargeDataThroughItsBuffer)
{
    TempDir dir;
    std::string line(1000, 'z');
    TextFileWriter writer(dir / "big");
    for (int i = 0; i < 1000; ++i)
        writer.Write(line + "\n");
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(std::filesystem::file_size(dir / "big"), 1000u * 1002u);
}

TEST(TextFileWriter, FailsWithoutTouchingAnythingWhenTheFolderIsMissing)
{
    TempDir dir;
    TextFileWriter writer(dir / "no-such-folder" / "f");
    EXPECT_FALSE(writer.IsOpen());
    writer.Write("x\n");
    EXPECT_FALSE(writer.Commit());
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-folder"));
}

TEST(TextFileWriter, ReplacesTheTargetOfASymbolicLink)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "synced");
    WriteBytes(dir / "synced" / "f", "old");
    std::filesystem::create_symlink(dir / "synced" / "f", dir / "link");
    TextFileWriter writer(dir / "link");
    writer.Write("new\n");
    ASSERT_TRUE(writer.Commit());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(ReadBytes(dir / "synced" / "f"), "new\r\n");
}

TEST(TextFileWriter, KeepsThePermissionsOfTheFileItReplaces)
{
    TempDir dir;
    WriteBytes(dir / "f", "old");
    ASSERT_EQ(::chmod((dir / "f").c_str(), 0640), 0);
    TextFileWriter writer(dir / "f");
    writer.Write("new");
    ASSERT_TRUE(writer.Commit());
    struct stat st { };
    ASSERT_EQ(::stat((dir / "f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}
