// The bank file association on a private desktop, checked with the desktop's
// own tools: what xdg-mime and gio make of the files the association writes.

#include "settings/association.h"
#include "settings/mimeglobs.h"

#include "tests/support/xdgsandbox.h"
#include "tests/support/fakedesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace jbx::testing {
namespace {

using ::testing::HasSubstr;

const std::string kIcon = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\"/>\n";

class AssociateBankFilesTest : public ::testing::Test {
protected:
    AssociateBankFilesTest() { WriteText(bank, "IWAD"); }

    void associate(const std::string& programPath) { associate(programPath, sandbox.folders()); }
    void associate(const std::string& programPath, const XdgFolders& folders)
    {
        AssociateBankFiles(desktop, programPath, {folders, kIcon,
            [](const std::string& tool, const std::vector<std::string>& args) { RunProgram(tool, args); }});
    }

    std::string data(const std::string& relative) const { return ReadText(sandbox.dataHome() + "/" + relative); }
    std::string entry() const { return data("applications/jbxmaker-associated.desktop"); }
    std::string mimeApps() const { return ReadText(sandbox.configHome() + "/mimeapps.list"); }

    int validateEntry() const
    {
        return RunProgram("desktop-file-validate", {sandbox.dataHome() + "/applications/jbxmaker-associated.desktop"})
            .exitCode;
    }

    XdgSandbox sandbox;
    FakeDesktop desktop;
    const std::string bank = sandbox.path("banks/demo.jbx");
};

// Without an owner the type is defined; a second association keeps the
// user's description of it and takes the new program path.
TEST_F(AssociateBankFilesTest, WithoutAnOwnerDefinesTheTypeAndASecondTimeTakesTheNewPath)
{
    ASSERT_NE(sandbox.xdgMime("filetype", bank), "application/x-jbx");
    const std::string program = sandbox.path("old/jbxmaker");
    const std::string icon = sandbox.dataHome() + "/icons/hicolor/scalable/apps/jbxmaker.svg";

    associate(program);

    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(data("mime/packages/jbxmaker.xml"), BankMimePackage());
    EXPECT_EQ(ReadText(icon), kIcon);
    for (const std::string& line : std::vector<std::string>{"Type=Application\n", "Name=JBXMaker\n", "NoDisplay=true\n",
             "MimeType=application/x-jbx;\n", "Exec=" + program + " %f\n", "Icon=" + icon + "\n"})
        EXPECT_THAT(entry(), HasSubstr(line));
    EXPECT_EQ(validateEntry(), 0);
    EXPECT_THAT(data("mime/application/x-jbx.xml"), HasSubstr("<comment>Jeer Box Sound File</comment>"));
    EXPECT_EQ(sandbox.xdgMime("filetype", bank), "application/x-jbx");

    const std::string package = sandbox.dataHome() + "/mime/packages/jbxmaker.xml";
    std::string reworded = ReadText(package);
    reworded.replace(reworded.find("Jeer Box Sound File"), 19, "My jeers");
    WriteText(package, reworded);
    associate(sandbox.path("new/jbxmaker"));

    EXPECT_EQ(ReadText(package), reworded);
    EXPECT_THAT(data("mime/application/x-jbx.xml"), HasSubstr("<comment>My jeers</comment>"));
    EXPECT_THAT(entry(), HasSubstr("\nExec=" + sandbox.path("new/jbxmaker") + " %f\n"));
    EXPECT_EQ(mimeApps(), "[Default Applications]\napplication/x-jbx=jbxmaker-associated.desktop\n\n"
                          "[Added Associations]\napplication/x-jbx=jbxmaker-associated.desktop;\n");
    EXPECT_EQ(sandbox.xdgMime("default", "application/x-jbx"), "jbxmaker-associated.desktop");
    // The menu entry's id stays free for the installed entry.
    EXPECT_FALSE(fs::exists(sandbox.dataHome() + "/applications/jbxmaker.desktop"));
}

TEST_F(AssociateBankFilesTest, AnotherProgramsTypeIsUsedAndItsDefinitionAndTheUsersHandlersKept)
{
    WriteText(sandbox.systemData() + "/mime/packages/foo.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
              "  <mime-type type=\"application/x-foo\"><glob pattern=\"*.jbx\"/></mime-type>\n"
              "</mime-info>\n");
    ASSERT_EQ(RunProgram("update-mime-database", {sandbox.systemData() + "/mime"}).exitCode, 0);
    // The user's other handlers, groups and comments are kept too.
    WriteText(sandbox.configHome() + "/mimeapps.list",
              "# my handlers\n[Default Applications]\napplication/x-foo=foo.desktop\ntext/plain=editor.desktop\n"
              "\n[Added Associations]\napplication/x-foo=bar.desktop;\n\n[Some Future Group]\nkey=value\n");
    const auto systemBefore = Snapshot(sandbox.systemData());
    ASSERT_EQ(sandbox.xdgMime("filetype", bank), "application/x-foo");

    associate(sandbox.path("bin/jbxmaker"));

    EXPECT_EQ(Snapshot(sandbox.systemData()), systemBefore);
    EXPECT_FALSE(fs::exists(sandbox.dataHome() + "/mime"));
    EXPECT_THAT(entry(), HasSubstr("\nMimeType=application/x-foo;\n"));
    EXPECT_EQ(data("icons/hicolor/scalable/mimetypes/application-x-foo.svg"), kIcon);
    EXPECT_EQ(mimeApps(),
              "# my handlers\n[Default Applications]\napplication/x-foo=jbxmaker-associated.desktop\n"
              "text/plain=editor.desktop\n"
              "\n[Added Associations]\napplication/x-foo=jbxmaker-associated.desktop;foo.desktop;bar.desktop;\n"
              "\n[Some Future Group]\nkey=value\n");
    EXPECT_EQ(sandbox.xdgMime("default", "application/x-foo"), "jbxmaker-associated.desktop");
}

// The menu entry as the build installs it, and the entry this program's
// earlier versions wrote under the same id in the user's folder.
const std::string kInstalledEntryPath = std::string(JBX_BUILD_DIR) + "/jbxmaker.desktop";
const std::string kFormerEntry = "[Desktop Entry]\nType=Application\nName=JBXMaker\nExec=/src/build/qt/jbxmaker %f\n"
                                 "Icon=jbxmaker\nMimeType=application/x-jbx;\nCategories=AudioVideo;Audio;\n"
                                 "Terminal=false\nNoDisplay=false\n";

// With the program installed, its menu entry becomes the handler: no entry
// of ours shadows it, and one an earlier version left there is taken away.
TEST_F(AssociateBankFilesTest, TheInstalledMenuEntryIsTheHandlerAndNoEntryOfOursShadowsIt)
{
    const std::string installed = ReadText(kInstalledEntryPath);
    ASSERT_NE(installed, "") << kInstalledEntryPath;
    WriteText(sandbox.systemData() + "/applications/jbxmaker.desktop", installed);
    WriteText(sandbox.dataHome() + "/applications/jbxmaker.desktop", kFormerEntry);

    associate(sandbox.path("build/qt/jbxmaker"));

    EXPECT_EQ(mimeApps(), "[Default Applications]\napplication/x-jbx=jbxmaker.desktop\n\n"
                          "[Added Associations]\napplication/x-jbx=jbxmaker.desktop;\n");
    EXPECT_EQ(sandbox.xdgMime("default", "application/x-jbx"), "jbxmaker.desktop");
    EXPECT_FALSE(fs::exists(sandbox.dataHome() + "/applications/jbxmaker.desktop"));
    EXPECT_FALSE(fs::exists(sandbox.dataHome() + "/applications/jbxmaker-associated.desktop"));
    EXPECT_EQ(ReadText(sandbox.systemData() + "/applications/jbxmaker.desktop"), installed);
}

// An entry under the menu entry's id that is not this program's installed
// one is never made the handler: ours is written under its own id.
TEST_F(AssociateBankFilesTest, AnEntryUnderTheMenuIdThatIsNotThisProgramsIsPassedOver)
{
    const std::string installed = ReadText(kInstalledEntryPath);
    ASSERT_NE(installed, "") << kInstalledEntryPath;
    const std::string upper = sandbox.path("upper/share");
    const struct {
        const char* name;
        std::string systemEntry;
        std::string upperEntry;   // in a data folder before the system one
    } cases[] = {
        {"another program under the id", "[Desktop Entry]\nType=Application\nName=X\nExec=/opt/x/xmaker %f\n", ""},
        {"hidden", installed + "Hidden=true\n", ""},
        {"a link, not an application", "[Desktop Entry]\nType=Link\nName=X\nURL=https://example.org/\n", ""},
        {"Exec outside the entry's group", "[Other]\nExec=jbxmaker\n[Desktop Entry]\nType=Application\nName=X\n", ""},
        {"shadowed by another program's entry", installed, "[Desktop Entry]\nType=Application\nName=X\nExec=x %f\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(sandbox.path("home"));
        fs::remove_all(upper);
        WriteText(sandbox.systemData() + "/applications/jbxmaker.desktop", c.systemEntry);
        if (!c.upperEntry.empty())
            WriteText(upper + "/applications/jbxmaker.desktop", c.upperEntry);

        associate(sandbox.path("bin/jbxmaker"), XdgFolders{sandbox.dataHome(), {upper, sandbox.systemData()},
                                                           sandbox.configHome()});

        EXPECT_THAT(entry(), HasSubstr("\nNoDisplay=true\n"));
        EXPECT_THAT(mimeApps(), HasSubstr("application/x-jbx=jbxmaker-associated.desktop\n"));
    }
}

// Entries that only look like ours: the user's own under the menu id is
// theirs to keep, and the installed entry is recognised however its Exec
// names the program.
TEST_F(AssociateBankFilesTest, OnlyTheFormerEntryIsRemovedAndTheInstalledOneIsFoundByItsProgramsName)
{
    const std::string own = "[Desktop Entry]\nType=Application\nName=My JBXMaker\nExec=jbxmaker --mine %f\n";
    WriteText(sandbox.dataHome() + "/applications/jbxmaker.desktop", own);
    for (const std::string exec : {"jbxmaker %f", "/usr/bin/jbxmaker %f", "\"/opt/JBX Maker/jbxmaker\" %f",
             "  jbxmaker", "env-less\\sjbxmaker"}) {
        SCOPED_TRACE(exec);
        const bool ours = exec != "env-less\\sjbxmaker";
        WriteText(sandbox.systemData() + "/applications/jbxmaker.desktop",
                  "# installed\n[Desktop Entry]\nName=JBX Maker\nType = Application\nExec=" + exec + "\n");
        fs::remove(sandbox.configHome() + "/mimeapps.list");

        associate(sandbox.path("bin/jbxmaker"));

        EXPECT_THAT(mimeApps(), HasSubstr(ours ? "=jbxmaker.desktop\n" : "=jbxmaker-associated.desktop\n"));
        EXPECT_EQ(data("applications/jbxmaker.desktop"), own);
    }
}

TEST_F(AssociateBankFilesTest, ProgramPathWithBlanksIsQuotedSoTheDesktopStartsIt)
{
    // Records the path it was started as and its arguments.
    const std::string program = sandbox.path("My Programs/jbx maker");
    const std::string record = sandbox.path("record");
    WriteText(program, "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" + record + ".part'\n"
                       "mv '" + record + ".part' '" + record + "'\n");
    fs::permissions(program, fs::perms::owner_all);

    associate(program);

    EXPECT_THAT(entry(), HasSubstr("\nExec=\"" + program + "\" %f\n"));
    EXPECT_EQ(validateEntry(), 0);
    ASSERT_EQ(sandbox.run("gio", {"open", bank}).exitCode, 0);
    // gio returns before the program it started has run.
    for (int i = 0; i < 1000 && !fs::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ReadText(record), program + "\n" + bank + "\n");
}

TEST_F(AssociateBankFilesTest, EmptyProgramPathShowsTheMessageAndWritesNothing)
{
    WriteText(sandbox.configHome() + "/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n");
    const auto before = Snapshot(sandbox.path(""));

    associate("");

    EXPECT_EQ(desktop.messages, (std::vector<Message>{{"Cannot get JBXMaker's filename", "Error", MessageButtons::Ok,
                                                        MessageIcon::Stop, Owner::MainWindow}}));
    EXPECT_EQ(Snapshot(sandbox.path("")), before);
}

} // namespace
} // namespace jbx::testing
