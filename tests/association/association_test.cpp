// The bank file association on a private desktop, checked with the desktop's
// own tools: what xdg-mime and gio make of the files the association writes.

#include "settings/association.h"
#include "settings/mimeglobs.h"

#include "tests/association/xdgsandbox.h"
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

    void associate(const std::string& programPath)
    {
        AssociateBankFiles(desktop, programPath, {sandbox.folders(), kIcon,
            [](const std::string& tool, const std::vector<std::string>& args) { RunProgram(tool, args); }});
    }

    std::string data(const std::string& relative) const { return ReadText(sandbox.dataHome() + "/" + relative); }
    std::string entry() const { return data("applications/jbxmaker.desktop"); }
    std::string mimeApps() const { return ReadText(sandbox.configHome() + "/mimeapps.list"); }

    int validateEntry() const
    {
        return RunProgram("desktop-file-validate", {sandbox.dataHome() + "/applications/jbxmaker.desktop"}).exitCode;
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
    for (const std::string& line : std::vector<std::string>{"Type=Application\n", "Name=JBXMaker\n",
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
    EXPECT_EQ(mimeApps(), "[Default Applications]\napplication/x-jbx=jbxmaker.desktop\n\n"
                          "[Added Associations]\napplication/x-jbx=jbxmaker.desktop;\n");
    EXPECT_EQ(sandbox.xdgMime("default", "application/x-jbx"), "jbxmaker.desktop");
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
              "# my handlers\n[Default Applications]\napplication/x-foo=jbxmaker.desktop\ntext/plain=editor.desktop\n"
              "\n[Added Associations]\napplication/x-foo=jbxmaker.desktop;foo.desktop;bar.desktop;\n"
              "\n[Some Future Group]\nkey=value\n");
    EXPECT_EQ(sandbox.xdgMime("default", "application/x-foo"), "jbxmaker.desktop");
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
