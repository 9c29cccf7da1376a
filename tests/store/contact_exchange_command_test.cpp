// "kestrium --import" and "--export": the contacts of a data folder exchanged without a window.
#include "store/contact_exchange_command.h"
#include "store/data_folder.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include <sys/stat.h>

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

const char* const kCards = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;John;;;\r\nTEL;TYPE=CELL:555 0001\r\n"
                           "CATEGORIES:Clients\r\nEND:VCARD\r\n"
                           "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nTEL:555 0002\r\nEND:VCARD\r\n";

struct Output {
    int status;
    std::string out;
    std::string err;
};

// Runs the real program in `folder` with no display at all.
Output RunKestrium(const fs::path& folder, const std::string& arguments)
{
    const fs::path err = folder.parent_path() / "stderr.txt";
    const std::string command = "cd '" + folder.string()
        + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + KESTRIUM_PATH + " " + arguments
        + " 2>'" + err.string() + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    Output output{ -1, {}, {} };
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get()))
        output.out += buffer;
    const int status = pipe ? pclose(pipe.release()) : -1;
    output.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    output.err = ReadBytes(err);
    return output;
}

TEST(ContactExchangeCommand, ImportsAndExportsWithoutADisplay)
{
    TempDir dir;
    const fs::path data = dir / "data";
    fs::create_directory(data);
    WriteBytes(dir / "cards.vcf", kCards);

    Output imported = RunKestrium(data, "--import ../cards.vcf");
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out,
        "Import from \"../cards.vcf\": 2 cards read: 2 contacts added, 0 merged into existing "
        "contacts, 0 already present, 0 not imported.\n");
    EXPECT_THAT(ReadBytes(data / "KestriumContacts200.csv"), HasSubstr("\"Clients\",\"John\",\"Smith\""));
    EXPECT_THAT(ReadBytes(data / "KestriumContactGroups.csv"), HasSubstr("\"Clients\""));
    EXPECT_FALSE(fs::exists(data / DataFolderLock::kFileName));

    EXPECT_THAT(RunKestrium(data, "--import ../cards.vcf").out,
        HasSubstr("0 contacts added, 0 merged into existing contacts, 2 already present"));

    Output exported = RunKestrium(data, "--export out.vcf --vcard3");
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, "2 contacts exported to \"out.vcf\".\n");
    EXPECT_THAT(
        ReadBytes(data / "out.vcf"), HasSubstr("VERSION:3.0\r\nN:Smith;John;;;\r\nFN:John Smith\r\n"));

    Output missing = RunKestrium(data, "--import nothing.vcf");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "The file \"nothing.vcf\" does not exist.\n");
    Output usage = RunKestrium(data, "--import ../cards.vcf --vcard3");
    EXPECT_EQ(usage.status, 1);
    EXPECT_THAT(usage.err, HasSubstr("--vcard3 goes with --export"));
}

// Only a missing path or a regular file is exported to: a pipe, a link to one (as to a device)
// and a folder stay as they are.
TEST(ContactExchangeCommand, ExportRefusesWhatIsNoRegularFile)
{
    TempDir dir;
    WriteBytes(dir / "KestriumContacts200.csv", "");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink(dir / "pipe", dir / "link");
    fs::create_directory(dir / "folder");
    for (const char* target : { "pipe", "link", "folder" }) {
        std::ostringstream out;
        std::ostringstream err;
        const auto command = ContactExchangeCommand::Parse({ "--export", (dir / target).string() });
        ASSERT_TRUE(command);
        EXPECT_EQ(command->Run(dir.Path(), out, err), 1) << target;
        EXPECT_EQ(err.str(),
            "The file \"" + (dir / target).string() + "\" could not be written: it is not a regular file.\n");
    }
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 4);
}

TEST(ContactExchangeCommand, RefusesWhileAnotherKestriumHoldsTheFolder)
{
    TempDir dir;
    WriteBytes(dir / "cards.vcf", kCards);
    WriteBytes(dir / "KestriumContacts200.csv", "");
    DataFolderLock running(dir.Path());
    ASSERT_TRUE(running.TryLock());

    for (const char* action : { "--import", "--export" }) {
        std::ostringstream out;
        std::ostringstream err;
        const auto command = ContactExchangeCommand::Parse({ action, (dir / "cards.vcf").string() });
        ASSERT_TRUE(command);
        EXPECT_EQ(command->Run(dir.Path(), out, err), 1);
        EXPECT_EQ(out.str(), "");
        EXPECT_THAT(err.str(), HasSubstr("Kestrium is already running with the data folder"));
        EXPECT_THAT(err.str(), HasSubstr("Nothing was imported or exported."));
    }
    EXPECT_EQ(ReadBytes(dir / "KestriumContacts200.csv"), "");
    EXPECT_EQ(ReadBytes(dir / "cards.vcf"), kCards);
    EXPECT_FALSE(fs::exists(dir / "KestriumContactGroups.csv"));

    EXPECT_FALSE(ContactExchangeCommand::Parse({ "--vcard3" }));
}

// Help, and an option Kestrium does not know, end the program before it reads or creates anything.
TEST(KestriumCommandLine, HelpAndUnknownOptionsTouchNoFolder)
{
    TempDir dir;
    const fs::path folder = dir / "data";
    fs::create_directory(folder);
    const Output help = RunKestrium(folder, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: kestrium"));
    EXPECT_THAT(help.out, HasSubstr("--export FILE.vcf"));
    const Output unknown = RunKestrium(folder, "-platform offscreen --frobnicate");
    EXPECT_NE(unknown.status, 0);
    EXPECT_THAT(unknown.err, HasSubstr("unknown option \"--frobnicate\""));
    EXPECT_THAT(unknown.err, HasSubstr("Usage: kestrium"));
    EXPECT_TRUE(fs::is_empty(folder));
}

} // namespace
