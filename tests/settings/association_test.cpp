#include "settings/association.h"
#include "settings/desktopentry.h"
#include "settings/mimeapps.h"
#include "settings/mimeglobs.h"
#include "settings/shellassociation.h"
#include "settings/xdgfolders.h"
#include "settings/xdgtext.h"

#include "tests/support/xdgsandbox.h"
#include "tests/support/fakedesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>

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

    XdgSandbox sandbox;
    FakeDesktop desktop;
    const std::string bank = sandbox.path("banks/demo.jbx");
};

TEST_F(AssociateBankFilesTest, WithoutAnOwnerDefinesTheTypeAndASecondTimeTakesTheNewPath)
{
    ASSERT_NE(sandbox.xdgMime("filetype", bank), "application/x-jbx");
    const std::string program = sandbox.path("My Programs/jbx maker");
    const std::string icon = sandbox.dataHome() + "/icons/hicolor/scalable/apps/jbxmaker.svg";
    const std::string own = "[Desktop Entry]\nType=Application\nName=Mine\nExec=jbxmaker --mine\nNoDisplay=false\n";
    WriteText(sandbox.dataHome() + "/applications/jbxmaker.desktop", own);

    associate(program);

    EXPECT_EQ(ReadText(icon), kIcon);
    for (const std::string& line : std::vector<std::string>{"Type=Application\n", "Name=JBXMaker\n", "NoDisplay=true\n",
             "MimeType=application/x-jbx;\n", "Exec=\"" + program + "\" %f\n", "Icon=" + icon + "\n"})
        EXPECT_THAT(entry(), HasSubstr(line));
    const std::string entryPath = sandbox.dataHome() + "/applications/jbxmaker-associated.desktop";
    EXPECT_EQ(RunProgram("desktop-file-validate", {entryPath}).exitCode, 0);
    EXPECT_EQ(sandbox.xdgMime("filetype", bank), "application/x-jbx");

    const std::string package = sandbox.dataHome() + "/mime/packages/jbxmaker.xml";
    std::string reworded = ReadText(package);
    reworded.replace(reworded.find("Jeer Box Sound File"), 19, "My jeers");
    WriteText(package, reworded);
    associate(sandbox.path("new/jbxmaker"));

    EXPECT_EQ(ReadText(package), reworded);
    EXPECT_THAT(data("mime/application/x-jbx.xml"), HasSubstr("<comment>My jeers</comment>"));
    EXPECT_THAT(entry(), HasSubstr("\nExec=" + sandbox.path("new/jbxmaker") + " %f\n"));
    EXPECT_EQ(sandbox.xdgMime("default", "application/x-jbx"), "jbxmaker-associated.desktop");
    // Ours never takes the menu entry's id; the user's own entry there is theirs.
    EXPECT_EQ(data("applications/jbxmaker.desktop"), own);
}

TEST_F(AssociateBankFilesTest, AnotherProgramsTypeIsUsedAndItsDefinitionKept)
{
    WriteText(sandbox.systemData() + "/mime/packages/foo.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
              "  <mime-type type=\"application/x-foo\"><glob pattern=\"*.jbx\"/></mime-type>\n"
              "</mime-info>\n");
    ASSERT_EQ(RunProgram("update-mime-database", {sandbox.systemData() + "/mime"}).exitCode, 0);
    WriteText(sandbox.configHome() + "/mimeapps.list", "[Default Applications]\napplication/x-foo=foo.desktop\n");
    const auto systemBefore = Snapshot(sandbox.systemData());
    ASSERT_EQ(sandbox.xdgMime("filetype", bank), "application/x-foo");

    associate(sandbox.path("bin/jbxmaker"));

    EXPECT_EQ(Snapshot(sandbox.systemData()), systemBefore);
    EXPECT_FALSE(fs::exists(sandbox.dataHome() + "/mime"));
    EXPECT_THAT(entry(), HasSubstr("\nMimeType=application/x-foo;\n"));
    EXPECT_EQ(data("icons/hicolor/scalable/mimetypes/application-x-foo.svg"), kIcon);
    EXPECT_EQ(sandbox.xdgMime("default", "application/x-foo"), "jbxmaker-associated.desktop");
}

// The build's menu entry, and the one earlier versions of the program wrote under its id in the user's folder.
const std::string kInstalledEntryPath = std::string(JBX_BUILD_DIR) + "/jbxmaker.desktop";
const std::string kFormerEntry = "[Desktop Entry]\nType=Application\nName=JBXMaker\nExec=/src/build/qt/jbxmaker %f\n"
                                 "Icon=jbxmaker\nMimeType=application/x-jbx;\nCategories=AudioVideo;Audio;\n"
                                 "Terminal=false\nNoDisplay=false\n";

// An entry of ours under the menu entry's id would shadow the installed one, so one an earlier version left goes.
TEST_F(AssociateBankFilesTest, TheInstalledMenuEntryIsTheHandlerUnlessAnotherEntryHidesIt)
{
    const std::string installed = ReadText(kInstalledEntryPath);
    ASSERT_NE(installed, "") << kInstalledEntryPath;
    WriteText(sandbox.systemData() + "/applications/jbxmaker.desktop", installed);
    WriteText(sandbox.dataHome() + "/applications/jbxmaker.desktop", kFormerEntry);

    associate(sandbox.path("build/qt/jbxmaker"));

    EXPECT_EQ(sandbox.xdgMime("default", "application/x-jbx"), "jbxmaker.desktop");
    EXPECT_FALSE(fs::exists(sandbox.dataHome() + "/applications/jbxmaker.desktop"));
    EXPECT_FALSE(fs::exists(sandbox.dataHome() + "/applications/jbxmaker-associated.desktop"));

    // The desktop reads the first data folder holding the id: another program's entry there hides the installed one.
    const std::string upper = sandbox.path("upper/share");
    WriteText(upper + "/applications/jbxmaker.desktop", "[Desktop Entry]\nType=Application\nName=X\nExec=x %f\n");
    associate(sandbox.path("build/qt/jbxmaker"), XdgFolders{sandbox.dataHome(), {upper, sandbox.systemData()},
                                                            sandbox.configHome()});
    EXPECT_THAT(ReadText(sandbox.configHome() + "/mimeapps.list"),
        HasSubstr("[Default Applications]\napplication/x-jbx=jbxmaker-associated.desktop\n"));
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

// The installed entry: a shown application whose Exec, its escapes undone, starts a program of that file name.
TEST(DesktopEntryTest, TheInstalledEntryIsAShownApplicationStartingAProgramOfThatName)
{
    const std::string head = "[Desktop Entry]\nType=Application\nName=X\n";
    const struct { std::string entry; const char* program; bool starts; } cases[] = {
        {"# installed\n[Desktop Entry]\nName=X\nType = Application\nExec=/usr/bin/jbxmaker %f\n", "jbxmaker", true},
        {head + "Exec=\"/opt/JBX Maker/jbxmaker\" %f\n", "jbxmaker", true},
        {head + "Exec=  jbxmaker\n", "jbxmaker", true},
        {head + "Exec=env-less\\sjbxmaker\n", "jbxmaker", false},
        {head + "Exec=/opt/x/xmaker %f\n", "jbxmaker", false},
        {head + "Exec=jbxmaker\nHidden=true\n", "jbxmaker", false},
        {"[Desktop Entry]\nType=Link\nName=X\nExec=jbxmaker\n", "jbxmaker", false},
        {"[Other]\nExec=jbxmaker\n[Desktop Entry]\nType=Application\nName=X\n", "jbxmaker", false},
        // A backslash that ends the value, or the quoted program, is kept.
        {head + "Exec=/opt/jb\\\n", "jb\\", true},
        {head + "Exec=\"/opt/jb\\\\\n", "jb\\", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsEntryStartingProgram(c.entry, c.program), c.starts) << c.entry;
}

TEST(MimeAppsListTest, MakesTheHandlerTheDefaultAndKeepsEveryOtherLine)
{
    const std::string def = "[Default Applications]\n", added = "[Added Associations]\n";
    const std::string removed = "[Removed Associations]\n";
    const std::string ours = "application/x-jbx=ours.desktop\n", oursAdded = "application/x-jbx=ours.desktop;\n";
    const std::string appended = def + ours + "\n" + added + oursAdded;
    const struct { const char* name; std::string before; std::string after; } cases[] = {
        {"groups without entries", def + added, def + ours + added + oursAdded},
        {"other handlers follow ours", "# mine\n" + def + "application/x-jbx=a.desktop\n" + added
            + "application/x-jbx=b.desktop;ours.desktop;a.desktop\n[Future]\nk=v", "# mine\n" + def + ours + added
            + "application/x-jbx=ours.desktop;a.desktop;b.desktop;\n[Future]\nk=v\n"},
        {"a group last without a line end", def + "text/plain=e.desktop", def + "text/plain=e.desktop\n" + ours
            + "\n" + added + oursAdded},
        {"a value ending in a bracket", def + "text/plain=e[1]\n" + added, def + "text/plain=e[1]\n" + ours + added
            + oursAdded},
        {"the type in another group", "[Other]\napplication/x-jbx=a.desktop\n",
            "[Other]\napplication/x-jbx=a.desktop\n\n" + appended},
        {"other removals stay as written", removed + "application/x-jbx=a.desktop\ntext/plain=ours.desktop\n",
            removed + "application/x-jbx=a.desktop\ntext/plain=ours.desktop\n\n" + appended},
        {"ours is removed no longer", removed + "application/x-jbx=a.desktop;ours.desktop;\n",
            removed + "application/x-jbx=a.desktop;\n\n" + appended},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UpdateMimeAppsList(c.before, "application/x-jbx", "ours.desktop"), c.after) << c.name;
}

TEST(BankFileTypeTest, TheFirstWellFormedTypeWithTheGlobInFolderOrder)
{
    const struct {
        const char* name;
        std::string home, system;   // globs2 of the data home and of the system data folder
        std::optional<std::string> type;
    } cases[] = {
        {"no globs", "", "", std::nullopt},
        {"a comment is no glob", "#50:text/x-old:*.jbx\n\n40:text/x-b:*.JBX\n", "", "text/x-b"},
        {"other globs and ill-formed types", "50:text/x-a:*.txt\n50:bad type:*.jbx\n40:text/x-b:*.jbx:cs\n", "",
            "text/x-b"},
        {"home first", "10:text/x-home:*.jbx\n", "90:text/x-b:*.jbx\n", "text/x-home"},
        {"cancelled", "0:Text/X-A:__NOGLOBS__\n", "90:text/x-a:*.jbx\n80:text/x-b:*.jbx\n", "text/x-b"},
    };
    for (const auto& c : cases) {
        XdgSandbox sandbox;
        if (!c.home.empty())
            WriteText(sandbox.dataHome() + "/mime/globs2", c.home);
        if (!c.system.empty())
            WriteText(sandbox.systemData() + "/mime/globs2", c.system);
        EXPECT_EQ(FindBankFileType(sandbox.folders()), c.type) << c.name;
    }
}

TEST(BankFileTypeTest, ATypeNameIsTypeAndSubtypeOfTheAllowedCharacters)
{
    const std::pair<std::string, bool> cases[] = {
        {"azAZ09/!#$&^_.+-", true}, {std::string(127, 'a') + "/x", true}, {"x/" + std::string(128, 'a'), false},
        {"text", false}, {"/x", false}, {"x/", false}, {"x/y/z", false}, {"x:/y", false}, {"x@/y", false},
        {"x/y`", false}, {"x[/y", false}, {"x/y{", false}, {"x/y z", false},
    };
    for (const auto& [text, wellFormed] : cases)
        EXPECT_EQ(IsWellFormedMimeType(text), wellFormed) << text;
}

TEST(XdgTextTest, AFileIsReadUpTo16MiB)
{
    TempDir dir;
    for (const std::size_t size : {std::size_t(16) << 20, (std::size_t(16) << 20) + 1}) {
        const fs::path file = fs::path(dir.path()) / "big";
        WriteText(file.string(), std::string(size, 'x'));
        EXPECT_EQ(xdg::ReadTextFile(file).has_value(), size == std::size_t(16) << 20) << size;
    }
}

TEST(XdgFoldersTest, TheEnvironmentsAbsoluteFoldersOrTheDefaults)
{
    const char* const names[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS"};
    const struct { std::array<const char*, 4> environment; XdgFolders folders; } cases[] = {
        {{"/h", "", "/c", "/a::rel:/b"}, {"/h/.local/share", {"/a", "/b"}, "/c"}},
        {{"", "rel", "", ""}, {"", {"/usr/local/share", "/usr/share"}, ""}},
    };
    std::vector<std::optional<std::string>> saved;
    for (const char* name : names)
        saved.push_back(std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt);
    for (const auto& c : cases) {
        for (std::size_t i = 0; i < c.environment.size(); ++i)
            setenv(names[i], c.environment[i], 1);
        const XdgFolders folders = XdgFolders::FromEnvironment();
        EXPECT_EQ(std::tie(folders.dataHome, folders.dataDirs, folders.configHome),
            std::tie(c.folders.dataHome, c.folders.dataDirs, c.folders.configHome)) << c.environment[3];
    }
    for (std::size_t i = 0; i < saved.size(); ++i)
        saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}

TEST(XdgTextTest, CaseIsFoldedForAsciiLettersOnly)
{
    const struct { const char* a; const char* b; bool equal; } cases[] = {
        {"AZ", "az", true}, {"@[", "`{", false}, {"ab", "abc", false}, {"ab", "ac", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xdg::EqualsIgnoringCase(c.a, c.b), c.equal) << c.a << " " << c.b;
}

// Our verb goes to whichever shell class .jbx names, and what was there before is recorded once per class.
TEST(ShellAssociationTest, PlanWritesTheVerbIntoTheExtensionsClassAndRecordsWhatWasThere)
{
    using Record = std::vector<ShellRecordValue>;
    using Writes = std::vector<ShellWrite>;
    const std::uint32_t no = 0, yes = 1;
    constexpr auto none = std::nullopt;
    const Writes ownClass{{".jbx", "jbxfile"}, {"jbxfile", "Jeer Box Sound File"}};
    const Record created{{"Class", "jbxfile"}, {"CreatedExtension", yes}, {"CreatedClass", yes}};
    const struct {
        const char* name;
        ShellClassesFound found;
        std::string className;
        Record record;   // empty: the kept one stays
        Writes firstWrites;
    } cases[] = {
        {"nothing there", {}, "jbxfile", created, ownClass},
        {"an empty .jbx", {"", false, none, none, none}, "jbxfile", created, ownClass},
        {"our class with our verb", {"jbxfile", true, "jbx", "old.ico", none}, "jbxfile",
            {{"Class", "jbxfile"}, {"CreatedExtension", no}, {"CreatedClass", no}, {"PreviousIcon", "old.ico"}}, {}},
        {"another class with a verb and an icon", {"foo", true, "open", "foo.ico", "bar"}, "foo",
            {{"Class", "foo"}, {"CreatedExtension", no}, {"CreatedClass", no}, {"PreviousVerb", "open"},
                {"PreviousIcon", "foo.ico"}}, {}},
        {"another class not there", {"foo", false, none, none, none}, "foo",
            {{"Class", "foo"}, {"CreatedExtension", no}, {"CreatedClass", yes}}, {}},
        {"recorded before", {"foo", true, "jbx", "p.exe", "foo"}, "foo", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ShellAssociationPlan plan = PlanShellAssociation(c.found, "C:\\JBX\\jbxmaker.exe");
        EXPECT_EQ(plan.replaceRecord, !c.record.empty());
        EXPECT_EQ(plan.record, c.record);
        Writes writes = c.firstWrites;
        const std::string verb = c.className + "\\shell\\jbx";
        writes.insert(writes.end(), {{c.className + "\\shell", "jbx"}, {verb, "&JBXMaker"},
            {verb + "\\command", "\"C:\\JBX\\jbxmaker.exe\" \"%1\""}, {c.className + "\\DefaultIcon",
            "\"C:\\JBX\\jbxmaker.exe\",0"}});
        EXPECT_EQ(plan.writes, writes);
    }
}

} // namespace
} // namespace jbx::testing
