// The bank file association on a private desktop, checked with the desktop's
// own tools: what xdg-mime and gio make of the files the association writes.

#include "settings/association.h"

#include "tests/association/xdgsandbox.h"
#include "tests/support/fakedesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace jbx {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::ReadText;
using testing::RunProgram;
using testing::Snapshot;
using testing::WriteText;

const std::string kIcon = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\"/>\n";

const std::string kOurMimeApps =
    "[Default Applications]\n"
    "application/x-jbx=jbxmaker.desktop\n"
    "\n"
    "[Added Associations]\n"
    "application/x-jbx=jbxmaker.desktop;\n";

class AssociateBankFilesTest : public ::testing::Test {
protected:
    AssociateBankFilesTest() { WriteText(bank, "IWAD"); }

    void associate(const std::string& programPath)
    {
        const auto runTool = [](const std::string& tool, const std::vector<std::string>& arguments) {
            RunProgram(tool, arguments);
        };
        AssociateBankFiles(desktop, programPath, {sandbox.folders(), kIcon, runTool});
    }

    std::string data(const std::string& relative) const
    {
        return ReadText(sandbox.dataHome() + "/" + relative).value_or("");
    }
    std::string entryPath() const { return sandbox.dataHome() + "/applications/jbxmaker.desktop"; }
    std::string entry() const { return ReadText(entryPath()).value_or(""); }
    std::string mimeApps() const { return ReadText(sandbox.configHome() + "/mimeapps.list").value_or(""); }

    void expectValidEntry() const
    {
        const auto result = RunProgram("desktop-file-validate", {entryPath()});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    }

    testing::XdgSandbox sandbox;
    testing::FakeDesktop desktop;
    const std::string bank = sandbox.path("banks/demo.jbx");
};

TEST_F(AssociateBankFilesTest, WithoutAnOwnerDefinesTheTypeAndMakesTheProgramItsHandler)
{
    ASSERT_NE(sandbox.xdgMime("filetype", bank), "application/x-jbx");
    const std::string program = sandbox.path("bin/jbxmaker");

    associate(program);

    EXPECT_THAT(desktop.messages, IsEmpty());
    EXPECT_EQ(data("mime/packages/jbxmaker.xml"), BankMimePackage());
    const std::string icon = sandbox.dataHome() + "/icons/hicolor/scalable/apps/jbxmaker.svg";
    EXPECT_EQ(ReadText(icon), kIcon);
    EXPECT_EQ(data("icons/hicolor/scalable/mimetypes/application-x-jbx.svg"), kIcon);
    for (const std::string& line : std::vector<std::string>{"Type=Application\n", "Name=JBXMaker\n",
             "MimeType=application/x-jbx;\n", "Exec=" + program + " %f\n", "Icon=" + icon + "\n"})
        EXPECT_THAT(entry(), HasSubstr(line));
    expectValidEntry();
    EXPECT_EQ(mimeApps(), kOurMimeApps);

    EXPECT_THAT(data("mime/application/x-jbx.xml"), HasSubstr("<comment>Jeer Box Sound File</comment>"));
    EXPECT_EQ(sandbox.xdgMime("filetype", bank), "application/x-jbx");
    EXPECT_EQ(sandbox.xdgMime("default", "application/x-jbx"), "jbxmaker.desktop");
}

TEST_F(AssociateBankFilesTest, SecondAssociationKeepsTheDescriptionAndTakesTheNewProgramPath)
{
    associate(sandbox.path("old/jbxmaker"));
    // The user has since reworded the type's description.
    const std::string package = sandbox.dataHome() + "/mime/packages/jbxmaker.xml";
    std::string reworded = *ReadText(package);
    reworded.replace(reworded.find("Jeer Box Sound File"), 19, "My jeers");
    WriteText(package, reworded);

    associate(sandbox.path("new/jbxmaker"));

    EXPECT_EQ(ReadText(package), reworded);
    EXPECT_THAT(data("mime/application/x-jbx.xml"), HasSubstr("<comment>My jeers</comment>"));
    EXPECT_THAT(entry(), HasSubstr("\nExec=" + sandbox.path("new/jbxmaker") + " %f\n"));
    EXPECT_EQ(mimeApps(), kOurMimeApps);
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
    EXPECT_EQ(sandbox.xdgMime("filetype", bank), "application/x-foo");
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
    expectValidEntry();
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

    EXPECT_THAT(desktop.messages, ElementsAre(Message{"Cannot get JBXMaker's filename", "Error", MessageButtons::Ok,
                                                      MessageIcon::Stop, Owner::MainWindow}));
    EXPECT_EQ(Snapshot(sandbox.path("")), before);
}

} // namespace
} // namespace jbx
