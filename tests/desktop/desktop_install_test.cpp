// `cmake --install` into a fresh prefix: the installed commands find their libraries, and the
// desktop entry, the metainfo and the icons are where the desktop looks and pass its validators.

#include "support/temp_dir.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using testing_support::RunTool;
using testing_support::ToolRun;

namespace {

const std::string kAppId = "io.github.kestrium.Kestrium";

std::string Quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

// The icon as drawn: the blue of its rounded square below the handset, nothing in the corner.
void ExpectRenderedIcon(const fs::path& file, int size)
{
    const QImage image(QString::fromStdString(file.string()));
    ASSERT_EQ(image.size(), QSize(size, size)) << file;
    const QColor inside = image.pixelColor(size / 2, size * 7 / 8);
    EXPECT_NEAR(inside.red(), 0x2F, 24) << file;
    EXPECT_NEAR(inside.green(), 0x7D, 24) << file;
    EXPECT_NEAR(inside.blue(), 0xE1, 24) << file;
    EXPECT_LT(image.pixelColor(0, 0).alpha(), 128) << file;
}

} // namespace

TEST(DesktopInstall, InstalledProgramsFindTheirLibrariesAndTheDesktopFilesValidate)
{
    testing_support::TempDir prefix;
    const ToolRun install = RunTool(std::string(CMAKE_COMMAND_PATH) + " --install " + KESTRIUM_BUILD_DIR
        + " --prefix " + Quoted(prefix.Path()));
    ASSERT_EQ(install.status, 0) << install.output;

    // The commands in bin/ are links into the private folder, where the libraries are found beside
    // the programs; kestrium-dial needs libtapi32.so, kestrium libkestrium-platform.so.
    for (const char* program : { "linesim", "kestrium-dial" }) {
        const ToolRun help
            = RunTool("env -u LD_LIBRARY_PATH " + Quoted(prefix / "bin" / program) + " --help");
        EXPECT_EQ(help.status, 0) << program << ": " << help.output;
        EXPECT_NE(help.output.find(std::string("Usage: ") + program), std::string::npos) << help.output;
    }
    testing_support::TempDir data;
    const ToolRun exported = RunTool("cd " + Quoted(data.Path()) + " && env -u LD_LIBRARY_PATH "
        + Quoted(prefix / "bin" / "kestrium") + " --export contacts.vcf");
    EXPECT_EQ(exported.status, 0) << exported.output;
    EXPECT_TRUE(fs::exists(data / "contacts.vcf")) << exported.output;
    for (const char* file : { "libtapi32.so", "libkestrium-platform.so", "tapi-settings" })
        EXPECT_TRUE(fs::exists(prefix / "libexec" / "kestrium" / file)) << file;

    const fs::path entry = prefix / "share" / "applications" / (kAppId + ".desktop");
    const ToolRun entryCheck = RunTool("desktop-file-validate " + Quoted(entry));
    EXPECT_EQ(entryCheck.status, 0) << entryCheck.output;
    EXPECT_EQ(entryCheck.output, "");
    const std::string entryText = testing_support::ReadBytes(entry);
    EXPECT_NE(entryText.find("\nExec=" + (prefix / "bin" / "kestrium-dial").string() + " --start %u\n"),
        std::string::npos)
        << entryText;
    EXPECT_NE(
        entryText.find("\nMimeType=x-scheme-handler/tel;x-scheme-handler/callto;\n"), std::string::npos);

    const ToolRun metainfoCheck = RunTool("appstreamcli validate --no-net "
        + Quoted(prefix / "share" / "metainfo" / (kAppId + ".metainfo.xml")));
    EXPECT_EQ(metainfoCheck.status, 0) << metainfoCheck.output;

    const fs::path icons = prefix / "share" / "icons" / "hicolor";
    EXPECT_TRUE(fs::exists(icons / "scalable" / "apps" / (kAppId + ".svg")));
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        ExpectRenderedIcon(icons / folder / "apps" / (kAppId + ".png"), size);
    }
}
