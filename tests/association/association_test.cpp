#include "settings/association.h"

#include "tests/association/xdgsandbox.h"
#include "tests/support/fakedesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace jbx {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::DesktopEntryKeys;
using testing::FakeDesktop;
using testing::ReadText;
using testing::RecordingToolRunner;
using testing::Snapshot;
using testing::WriteText;
using testing::XdgSandbox;

const std::string kIcon =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\">"
    "<rect width=\"32\" height=\"32\" fill=\"#c33\"/></svg>\n";

// --- Which type owns *.jbx -------------------------------------------------

struct OwnerCase {
    const char* label;
    // mime/ files by folder: "home/globs2", "a/globs", "b/globs2", ...
    std::vector<std::pair<std::string, std::string>> files;
    std::optional<std::string> expected;
};

void PrintTo(const OwnerCase& c, std::ostream* os) { *os << c.label; }

class FindBankFileTypeTest : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(FindBankFileTypeTest, FindsTheFirstTypeWithTheGlobAsTheDesktopWould)
{
    const OwnerCase& c = GetParam();
    testing::TempDir root;
    for (const auto& [name, text] : c.files) {
        const auto slash = name.find('/');
        WriteText(root.file(name.substr(0, slash)) + "/mime/" + name.substr(slash + 1), text);
    }
    const XdgFolders folders{root.file("home"), {root.file("a"), "relative/b", root.file("b")}, ""};

    EXPECT_EQ(FindBankFileType(folders), c.expected);
}

INSTANTIATE_TEST_SUITE_P(MimeDatabases, FindBankFileTypeTest, ::testing::Values(
    OwnerCase{"noDatabase", {}, std::nullopt},
    OwnerCase{"otherGlobsOnly", {{"a/globs2", "50:audio/x-wav:*.wav\n50:text/plain:*.txt\n"}}, std::nullopt},
    OwnerCase{"homeOwns", {{"home/globs2", "50:application/x-jbx:*.jbx\n"}}, "application/x-jbx"},
    OwnerCase{"systemOwns",
              {{"a/globs2", "# generated\n50:audio/x-wav:*.wav\n50:application/x-foo:*.jbx\n"}},
              "application/x-foo"},
    OwnerCase{"homeBeforeSystem",
              {{"home/globs2", "50:application/x-jbx:*.jbx\n"}, {"a/globs2", "50:application/x-foo:*.jbx\n"}},
              "application/x-jbx"},
    OwnerCase{"earlierDataFolderFirst",
              {{"a/globs2", "50:application/x-foo:*.jbx\n"}, {"b/globs2", "50:application/x-bar:*.jbx\n"}},
              "application/x-foo"},
    OwnerCase{"firstLineOfAFolder",
              {{"a/globs2", "80:application/x-foo:*.jbx\n50:application/x-bar:*.jbx\n"}},
              "application/x-foo"},
    OwnerCase{"globInCapitals", {{"a/globs2", "50:application/x-foo:*.JBX\n"}}, "application/x-foo"},
    OwnerCase{"caseSensitiveFlag", {{"a/globs2", "50:application/x-foo:*.jbx:cs\n"}}, "application/x-foo"},
    OwnerCase{"longerExtensions",
              {{"a/globs2", "50:application/x-foo:*.jbxx\n50:application/x-bar:*.jbx.bak\n"
                            "50:application/x-baz:a*.jbx\n"}},
              std::nullopt},
    OwnerCase{"oldGlobsFile", {{"a/globs", "application/x-foo:*.jbx\n"}}, "application/x-foo"},
    OwnerCase{"globs2BeforeGlobs",
              {{"a/globs", "application/x-old:*.jbx\n"}, {"a/globs2", "50:application/x-new:*.jbx\n"}},
              "application/x-new"},
    OwnerCase{"cancelledByHome",
              {{"home/globs2", "50:application/x-foo:__NOGLOBS__\n"}, {"a/globs2", "50:application/x-foo:*.jbx\n"}},
              std::nullopt},
    OwnerCase{"cancelledTypeLetsTheNextOneOwn",
              {{"a/globs2", "50:application/x-foo:__NOGLOBS__\n"},
               {"b/globs2", "60:application/x-foo:*.jbx\n50:application/x-bar:*.jbx\n"}},
              "application/x-bar"},
    OwnerCase{"cancelledInItsOwnFolderStillOwns",
              {{"a/globs2", "50:application/x-foo:__NOGLOBS__\n50:application/x-foo:*.jbx\n"}},
              "application/x-foo"},
    OwnerCase{"malformedLinesSkipped",
              {{"a/globs2", "garbage\n50:*.jbx\n50:not a type:*.jbx\n50:application/x-a;b:*.jbx\n"
                            "50:noslash:*.jbx\n50:application/x-good:*.jbx\n"}},
              "application/x-good"},
    OwnerCase{"crlfLines", {{"a/globs2", "50:application/x-foo:*.jbx\r\n"}}, "application/x-foo"},
    OwnerCase{"relativeFolderIgnored", {{"relative/globs2", "50:application/x-foo:*.jbx\n"}}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(IsWellFormedMimeType, AcceptsOnlyWhatMimeappsListAndDesktopEntriesCanHoldUnchanged)
{
    for (const char* good : {"application/x-jbx", "audio/x-wav", "application/vnd.foo+xml", "a/b"})
        EXPECT_TRUE(IsWellFormedMimeType(good)) << good;
    for (const char* bad : {"", "application", "application/", "/x-jbx", "application/x jbx",
                            "application/x-jbx;", "a/b/c", "a/b=c", "[a]/b", "application/x-jbx\n"})
        EXPECT_FALSE(IsWellFormedMimeType(bad)) << bad;
    EXPECT_FALSE(IsWellFormedMimeType("application/" + std::string(128, 'x')));
}

// --- The desktop entry's Exec ---------------------------------------------

struct ExecCase {
    const char* path;
    const char* expected;
};

TEST(DesktopExecProgram, QuotesOnlyWhatTheFormatReserves)
{
    const ExecCase cases[] = {
        {"/usr/bin/jbxmaker", "/usr/bin/jbxmaker"},
        {"/opt/jbx-maker_1.2/bin/jbxmaker", "/opt/jbx-maker_1.2/bin/jbxmaker"},
        {"/home/me/My Programs/jbxmaker", "\"/home/me/My Programs/jbxmaker\""},
        {"/home/me/it's/jbxmaker", "\"/home/me/it's/jbxmaker\""},
        {"/a;b/jbxmaker", "\"/a;b/jbxmaker\""},
        {"/~me/jbxmaker", "\"/~me/jbxmaker\""},
        // Inside quotes ", `, $ and \ take a backslash; the file format then
        // doubles every backslash.
        {"/say \"hi\"/jbxmaker", "\"/say \\\\\"hi\\\\\"/jbxmaker\""},
        {"/cost$5/jbxmaker", "\"/cost\\\\$5/jbxmaker\""},
        {"/back\\slash/jbxmaker", "\"/back\\\\\\\\slash/jbxmaker\""},
        {"/tick`/jbxmaker", "\"/tick\\\\`/jbxmaker\""},
        // A percent sign is a field code unless doubled, quoted or not.
        {"/50%/jbxmaker", "/50%%/jbxmaker"},
        {"/50% off/jbxmaker", "\"/50%% off/jbxmaker\""},
        {"/two\nlines/jbxmaker", "\"/two\\nlines/jbxmaker\""},
        {"/tab\there/jbxmaker", "\"/tab\\there/jbxmaker\""},
        {"/ünïcode/jbxmaker", "/ünïcode/jbxmaker"},
    };
    for (const ExecCase& c : cases)
        EXPECT_EQ(DesktopExecProgram(c.path), c.expected) << c.path;
}

// --- mimeapps.list ----------------------------------------------------------

struct MimeAppsCase {
    const char* label;
    std::string before;
    std::string after;
};

void PrintTo(const MimeAppsCase& c, std::ostream* os) { *os << c.label; }

class UpdateMimeAppsListTest : public ::testing::TestWithParam<MimeAppsCase> {};

TEST_P(UpdateMimeAppsListTest, MakesTheEntryTheDefaultAndKeepsEverythingElse)
{
    const MimeAppsCase& c = GetParam();
    const std::string once = UpdateMimeAppsList(c.before, "application/x-jbx", "jbxmaker.desktop");
    EXPECT_EQ(once, c.after);
    EXPECT_EQ(UpdateMimeAppsList(once, "application/x-jbx", "jbxmaker.desktop"), once)
        << "a second association changes nothing more";
}

INSTANTIATE_TEST_SUITE_P(Files, UpdateMimeAppsListTest, ::testing::Values(
    MimeAppsCase{"newFile", "",
        "[Default Applications]\n"
        "application/x-jbx=jbxmaker.desktop\n"
        "\n"
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;\n"},
    MimeAppsCase{"otherGroupsAndTypesKept",
        "# kept as written\n"
        "[Added Associations]\n"
        "text/plain=gedit.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "image/png = eog.desktop\n"
        "\n"
        "[Removed Associations]\n"
        "application/x-jbx=old.desktop;\n",
        "# kept as written\n"
        "[Added Associations]\n"
        "text/plain=gedit.desktop;\n"
        "application/x-jbx=jbxmaker.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "image/png = eog.desktop\n"
        "application/x-jbx=jbxmaker.desktop\n"
        "\n"
        "[Removed Associations]\n"
        "application/x-jbx=old.desktop;\n"},
    MimeAppsCase{"formerDefaultStaysOffered",
        "[Default Applications]\n"
        "application/x-jbx=foo.desktop;bar.desktop;\n"
        "[Added Associations]\n"
        "application/x-jbx=baz.desktop;foo.desktop;\n",
        "[Default Applications]\n"
        "application/x-jbx=jbxmaker.desktop\n"
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;foo.desktop;bar.desktop;baz.desktop;\n"},
    MimeAppsCase{"ourEntryMovedFirstOnce",
        "[Added Associations]\n"
        "application/x-jbx = a.desktop; jbxmaker.desktop ;b.desktop\n",
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;a.desktop;b.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "application/x-jbx=jbxmaker.desktop\n"},
    MimeAppsCase{"keyInOtherCapitals",
        "[Default Applications]\n"
        "Application/X-JBX=old.desktop\n",
        "[Default Applications]\n"
        "application/x-jbx=jbxmaker.desktop\n"
        "\n"
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;old.desktop;\n"},
    MimeAppsCase{"duplicateLinesMerged",
        "[Default Applications]\n"
        "application/x-jbx=one.desktop\n"
        "text/plain=gedit.desktop\n"
        "application/x-jbx=two.desktop\n",
        "[Default Applications]\n"
        "application/x-jbx=jbxmaker.desktop\n"
        "text/plain=gedit.desktop\n"
        "\n"
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;one.desktop;two.desktop;\n"},
    MimeAppsCase{"ourRemovalUndoneOthersKept",
        "[Removed Associations]\n"
        "application/x-jbx=a.desktop;jbxmaker.desktop;\n"
        "text/plain=jbxmaker.desktop;\n",
        "[Removed Associations]\n"
        "application/x-jbx=a.desktop;\n"
        "text/plain=jbxmaker.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "application/x-jbx=jbxmaker.desktop\n"
        "\n"
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;\n"},
    MimeAppsCase{"removalOfOursOnlyDropsTheLine",
        "[Removed Associations]\n"
        "application/x-jbx=jbxmaker.desktop;\n"
        "[Default Applications]\n",
        "[Removed Associations]\n"
        "[Default Applications]\n"
        "application/x-jbx=jbxmaker.desktop\n"
        "\n"
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;\n"},
    MimeAppsCase{"emptyGroupAtTheEndWithoutLineBreak",
        "[Added Associations]",
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "application/x-jbx=jbxmaker.desktop\n"},
    MimeAppsCase{"entryAfterTheGroupsLastLineNotItsBlankLines",
        "[Default Applications]\n"
        "text/plain=gedit.desktop\n"
        "# a comment of the group\n"
        "\n"
        "\n"
        "[Added Associations]\n",
        "[Default Applications]\n"
        "text/plain=gedit.desktop\n"
        "# a comment of the group\n"
        "application/x-jbx=jbxmaker.desktop\n"
        "\n"
        "\n"
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;\n"},
    MimeAppsCase{"keyOfTheSameNameInAnotherGroupKept",
        "[Desktop Actions]\n"
        "application/x-jbx=not.a.handler\n",
        "[Desktop Actions]\n"
        "application/x-jbx=not.a.handler\n"
        "\n"
        "[Default Applications]\n"
        "application/x-jbx=jbxmaker.desktop\n"
        "\n"
        "[Added Associations]\n"
        "application/x-jbx=jbxmaker.desktop;\n"}),
    [](const auto& info) { return std::string(info.param.label); });

// --- The XDG folders from the environment ---------------------------------

class EnvironmentGuard {
public:
    explicit EnvironmentGuard(std::vector<std::string> names) : names_(std::move(names))
    {
        for (const std::string& name : names_) {
            const char* value = std::getenv(name.c_str());
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~EnvironmentGuard()
    {
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (saved_[i])
                setenv(names_[i].c_str(), saved_[i]->c_str(), 1);
            else
                unsetenv(names_[i].c_str());
        }
    }

private:
    std::vector<std::string> names_;
    std::vector<std::optional<std::string>> saved_;
};

struct EnvironmentCase {
    const char* label;
    std::optional<std::string> home, dataHome, configHome, dataDirs;
    XdgFolders expected;
};

void PrintTo(const EnvironmentCase& c, std::ostream* os) { *os << c.label; }

class XdgFoldersTest : public ::testing::TestWithParam<EnvironmentCase> {};

TEST_P(XdgFoldersTest, TakesTheSchemesDefaultsForMissingOrRelativeValues)
{
    const EnvironmentCase& c = GetParam();
    EnvironmentGuard guard({"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS"});
    const auto set = [](const char* name, const std::optional<std::string>& value) {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    };
    set("HOME", c.home);
    set("XDG_DATA_HOME", c.dataHome);
    set("XDG_CONFIG_HOME", c.configHome);
    set("XDG_DATA_DIRS", c.dataDirs);

    const XdgFolders folders = XdgFolders::FromEnvironment();
    EXPECT_EQ(folders.dataHome, c.expected.dataHome);
    EXPECT_EQ(folders.configHome, c.expected.configHome);
    EXPECT_EQ(folders.dataDirs, c.expected.dataDirs);
}

const std::vector<std::string> kDefaultDataDirs{"/usr/local/share", "/usr/share"};

INSTANTIATE_TEST_SUITE_P(Variables, XdgFoldersTest, ::testing::Values(
    EnvironmentCase{"allSet", "/home/me", "/d", "/c", "/x:/y",
                    {"/d", {"/x", "/y"}, "/c"}},
    EnvironmentCase{"onlyHome", "/home/me", std::nullopt, std::nullopt, std::nullopt,
                    {"/home/me/.local/share", kDefaultDataDirs, "/home/me/.config"}},
    EnvironmentCase{"emptyValues", "/home/me", "", "", "",
                    {"/home/me/.local/share", kDefaultDataDirs, "/home/me/.config"}},
    EnvironmentCase{"relativeValuesIgnored", "/home/me", "share", "./config", "rel:/x::other",
                    {"/home/me/.local/share", {"/x"}, "/home/me/.config"}},
    EnvironmentCase{"onlyRelativeDataDirs", "/home/me", std::nullopt, std::nullopt, "a:b",
                    {"/home/me/.local/share", kDefaultDataDirs, "/home/me/.config"}},
    EnvironmentCase{"noHome", std::nullopt, std::nullopt, "/c", std::nullopt,
                    {"", kDefaultDataDirs, "/c"}},
    EnvironmentCase{"relativeHome", "home", std::nullopt, std::nullopt, std::nullopt,
                    {"", kDefaultDataDirs, ""}}),
    [](const auto& info) { return std::string(info.param.label); });

// --- The association on a private desktop ---------------------------------

class AssociateBankFilesTest : public ::testing::Test {
protected:
    AssociateBankFilesTest()
    {
        WriteText(sandbox.path("banks/demo.jbx"), "IWAD");
        WriteText(sandbox.path("banks/LOUD.JBX"), "IWAD");
    }

    void associate(const std::string& programPath, std::optional<std::string> icon = kIcon)
    {
        AssociationEnvironment environment{sandbox.folders(), std::move(icon), tools.runner()};
        AssociateBankFiles(desktop, programPath, environment);
    }

    std::string program(const std::string& relative)
    {
        const std::string path = sandbox.path(relative);
        sandbox.makeRecordingProgram(path);
        return path;
    }

    std::string dataFile(const std::string& relative) const { return sandbox.dataHome() + "/" + relative; }
    std::string entryText() const { return ReadText(dataFile("applications/jbxmaker.desktop")).value_or(""); }
    std::string mimeApps() const { return ReadText(sandbox.configHome() + "/mimeapps.list").value_or(""); }
    std::string bank() const { return sandbox.path("banks/demo.jbx"); }

    // Another program's type application/x-foo owns *.jbx, defined in the
    // system folder with its own handlers; the user has chosen foo.desktop
    // as its default and also added bar.desktop.
    void installOtherProgram()
    {
        const std::string share = sandbox.systemData();
        WriteText(share + "/mime/packages/foo.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                  "  <mime-type type=\"application/x-foo\">\n"
                  "    <comment>Foo Player Bank</comment>\n"
                  "    <glob pattern=\"*.jbx\"/>\n"
                  "    <glob pattern=\"*.foo\"/>\n"
                  "  </mime-type>\n"
                  "</mime-info>\n");
        ASSERT_EQ(testing::RunProgram("update-mime-database", {share + "/mime"}).exitCode, 0);
        for (const char* name : {"foo", "bar"}) {
            WriteText(share + "/applications/" + name + ".desktop",
                      "[Desktop Entry]\nType=Application\nName=" + std::string(name) + "\nExec="
                          + program(std::string("system/bin/") + name) + " %f\n"
                          "MimeType=application/x-foo;\n");
        }
        ASSERT_EQ(testing::RunProgram("update-desktop-database", {share + "/applications"}).exitCode, 0);
        WriteText(sandbox.configHome() + "/mimeapps.list",
                  "[Default Applications]\n"
                  "application/x-foo=foo.desktop\n"
                  "text/plain=editor.desktop\n"
                  "\n"
                  "[Added Associations]\n"
                  "application/x-foo=bar.desktop;\n");
    }

    XdgSandbox sandbox;
    FakeDesktop desktop;
    RecordingToolRunner tools;
};

TEST_F(AssociateBankFilesTest, WithoutAnOwnerDefinesTheTypeAndMakesTheProgramItsHandler)
{
    const std::string jbxmaker = program("bin/jbxmaker");
    ASSERT_NE(sandbox.fileType(bank()), "application/x-jbx") << "no type may own *.jbx yet";

    associate(jbxmaker);

    EXPECT_THAT(desktop.messages, IsEmpty());
    EXPECT_EQ(ReadText(dataFile("mime/packages/jbxmaker.xml")), BankMimePackage());
    const std::string icon = dataFile("icons/hicolor/scalable/apps/jbxmaker.svg");
    EXPECT_EQ(ReadText(icon), kIcon);
    EXPECT_EQ(ReadText(dataFile("icons/hicolor/scalable/mimetypes/application-x-jbx.svg")), kIcon);

    const auto keys = DesktopEntryKeys(entryText());
    EXPECT_EQ(keys.at("Type"), "Application");
    EXPECT_EQ(keys.at("Name"), "JBXMaker");
    EXPECT_EQ(keys.at("Exec"), jbxmaker + " %f");
    EXPECT_EQ(keys.at("Icon"), icon);
    EXPECT_EQ(keys.at("MimeType"), "application/x-jbx;");
    EXPECT_EQ(keys.at("Terminal"), "false");
    EXPECT_EQ(keys.at("NoDisplay"), "false");
    const auto validation = testing::RunProgram("desktop-file-validate", {dataFile("applications/jbxmaker.desktop")});
    EXPECT_EQ(validation.exitCode, 0) << validation.out << validation.err;

    EXPECT_EQ(mimeApps(),
              "[Default Applications]\n"
              "application/x-jbx=jbxmaker.desktop\n"
              "\n"
              "[Added Associations]\n"
              "application/x-jbx=jbxmaker.desktop;\n");
    EXPECT_THAT(tools.calls, ElementsAre(
        ElementsAre("update-mime-database", sandbox.dataHome() + "/mime"),
        ElementsAre("update-desktop-database", sandbox.dataHome() + "/applications")));

    // The desktop's view.
    EXPECT_EQ(sandbox.fileType(bank()), "application/x-jbx");
    EXPECT_EQ(sandbox.fileType(sandbox.path("banks/LOUD.JBX")), "application/x-jbx");
    EXPECT_THAT(ReadText(dataFile("mime/application/x-jbx.xml")).value_or(""),
                HasSubstr("<comment>Jeer Box Sound File</comment>"));
    EXPECT_EQ(sandbox.defaultHandler("application/x-jbx"), "jbxmaker.desktop");
    EXPECT_EQ(sandbox.gioDefaultHandler("application/x-jbx"), "jbxmaker.desktop");
    ASSERT_TRUE(sandbox.open(bank()));
    EXPECT_THAT(sandbox.recordedRun(jbxmaker), ElementsAre(jbxmaker, bank()));
}

TEST_F(AssociateBankFilesTest, SecondAssociationKeepsTheDescriptionAndTakesTheNewProgramPath)
{
    associate(program("old place/jbxmaker"));
    // The user has since reworded the type's description.
    const std::string package = dataFile("mime/packages/jbxmaker.xml");
    std::string reworded = ReadText(package).value();
    reworded.replace(reworded.find("Jeer Box Sound File"), 19, "My jeers");
    WriteText(package, reworded);
    tools.calls.clear();

    const std::string moved = program("new place/jbxmaker");
    associate(moved);

    EXPECT_EQ(ReadText(package), reworded);
    EXPECT_EQ(DesktopEntryKeys(entryText()).at("Exec"), DesktopExecProgram(moved) + " %f");
    EXPECT_EQ(mimeApps(),
              "[Default Applications]\n"
              "application/x-jbx=jbxmaker.desktop\n"
              "\n"
              "[Added Associations]\n"
              "application/x-jbx=jbxmaker.desktop;\n");
    EXPECT_THAT(tools.calls, ElementsAre(
        ElementsAre("update-mime-database", sandbox.dataHome() + "/mime"),
        ElementsAre("update-desktop-database", sandbox.dataHome() + "/applications")));

    EXPECT_THAT(ReadText(dataFile("mime/application/x-jbx.xml")).value_or(""), HasSubstr("<comment>My jeers</comment>"));
    EXPECT_EQ(sandbox.fileType(bank()), "application/x-jbx");
    ASSERT_TRUE(sandbox.open(bank()));
    EXPECT_THAT(sandbox.recordedRun(moved), ElementsAre(moved, bank()));
}

TEST_F(AssociateBankFilesTest, AnotherProgramsTypeIsUsedAndItsDefinitionAndHandlersKept)
{
    installOtherProgram();
    const auto systemBefore = Snapshot(sandbox.systemData());
    ASSERT_EQ(sandbox.fileType(bank()), "application/x-foo");
    ASSERT_EQ(sandbox.defaultHandler("application/x-foo"), "foo.desktop");
    const std::string jbxmaker = program("bin/jbxmaker");

    associate(jbxmaker);

    EXPECT_EQ(Snapshot(sandbox.systemData()), systemBefore);
    EXPECT_FALSE(fs::exists(dataFile("mime")));
    EXPECT_THAT(tools.calls, Not(Contains(Contains("update-mime-database"))));
    EXPECT_EQ(DesktopEntryKeys(entryText()).at("MimeType"), "application/x-foo;");
    EXPECT_EQ(ReadText(dataFile("icons/hicolor/scalable/mimetypes/application-x-foo.svg")), kIcon);
    EXPECT_FALSE(fs::exists(dataFile("icons/hicolor/scalable/mimetypes/application-x-jbx.svg")));
    EXPECT_EQ(mimeApps(),
              "[Default Applications]\n"
              "application/x-foo=jbxmaker.desktop\n"
              "text/plain=editor.desktop\n"
              "\n"
              "[Added Associations]\n"
              "application/x-foo=jbxmaker.desktop;foo.desktop;bar.desktop;\n");

    EXPECT_EQ(sandbox.fileType(bank()), "application/x-foo");
    EXPECT_EQ(sandbox.defaultHandler("application/x-foo"), "jbxmaker.desktop");
    EXPECT_EQ(sandbox.gioDefaultHandler("application/x-foo"), "jbxmaker.desktop");
    const auto handlers = sandbox.gioHandlers("application/x-foo");
    EXPECT_THAT(handlers, Contains("foo.desktop"));
    EXPECT_THAT(handlers, Contains("bar.desktop"));
    ASSERT_TRUE(sandbox.open(bank()));
    EXPECT_THAT(sandbox.recordedRun(jbxmaker), ElementsAre(jbxmaker, bank()));
}

class ProgramPathTest : public AssociateBankFilesTest,
                        public ::testing::WithParamInterface<const char*> {};

TEST_P(ProgramPathTest, OpensBanksWithTheProgramWhereverItLives)
{
    const std::string jbxmaker = program(std::string(GetParam()) + "/jbx maker");

    associate(jbxmaker);

    const auto validation = testing::RunProgram("desktop-file-validate", {dataFile("applications/jbxmaker.desktop")});
    EXPECT_EQ(validation.exitCode, 0) << validation.out << validation.err;
    EXPECT_EQ(sandbox.gioDefaultHandler("application/x-jbx"), "jbxmaker.desktop");
    EXPECT_EQ(sandbox.defaultHandler("application/x-jbx"), "jbxmaker.desktop");
    ASSERT_TRUE(sandbox.open(bank()));
    EXPECT_THAT(sandbox.recordedRun(jbxmaker), ElementsAre(jbxmaker, bank()));
}

INSTANTIATE_TEST_SUITE_P(Folders, ProgramPathTest,
    ::testing::Values("My Programs", "it's mine", "say \"hi\"", "cost $5", "back\\slash",
                      "semi;colon", "a&b (copy)", "ünïcode"),
    [](const auto& info) { return "folder" + std::to_string(info.index); });

TEST_F(AssociateBankFilesTest, EmptyProgramPathShowsTheMessageAndWritesNothing)
{
    installOtherProgram();
    const auto before = Snapshot(sandbox.root());

    associate("");

    EXPECT_THAT(desktop.messages, ElementsAre(Message{"Cannot get JBXMaker's filename", "Error",
                                                      MessageButtons::Ok, MessageIcon::Stop,
                                                      Owner::MainWindow}));
    EXPECT_EQ(Snapshot(sandbox.root()), before);
    EXPECT_THAT(tools.calls, IsEmpty());
}

TEST_F(AssociateBankFilesTest, ExistingMimeAppsListKeepsItsOtherGroupsAndTypes)
{
    const std::string before =
        "# my handlers\n"
        "[Default Applications]\n"
        "text/plain=editor.desktop\n"
        "image/png=viewer.desktop;other-viewer.desktop;\n"
        "\n"
        "[Added Associations]\n"
        "text/plain=editor.desktop;notes.desktop;\n"
        "\n"
        "[Removed Associations]\n"
        "text/html=jbxmaker.desktop;\n"
        "\n"
        "[Some Future Group]\n"
        "key=value\n";
    WriteText(sandbox.configHome() + "/mimeapps.list", before);

    associate(program("bin/jbxmaker"));

    EXPECT_EQ(mimeApps(),
              "# my handlers\n"
              "[Default Applications]\n"
              "text/plain=editor.desktop\n"
              "image/png=viewer.desktop;other-viewer.desktop;\n"
              "application/x-jbx=jbxmaker.desktop\n"
              "\n"
              "[Added Associations]\n"
              "text/plain=editor.desktop;notes.desktop;\n"
              "application/x-jbx=jbxmaker.desktop;\n"
              "\n"
              "[Removed Associations]\n"
              "text/html=jbxmaker.desktop;\n"
              "\n"
              "[Some Future Group]\n"
              "key=value\n");
    EXPECT_EQ(sandbox.defaultHandler("application/x-jbx"), "jbxmaker.desktop");
}

TEST_F(AssociateBankFilesTest, LinkedMimeAppsListIsEditedWhereItLives)
{
    const std::string target = sandbox.path("dotfiles/mimeapps.list");
    WriteText(target, "[Default Applications]\ntext/plain=editor.desktop\n");
    fs::create_symlink(target, sandbox.configHome() + "/mimeapps.list");

    associate(program("bin/jbxmaker"));

    EXPECT_TRUE(fs::is_symlink(sandbox.configHome() + "/mimeapps.list"));
    EXPECT_THAT(ReadText(target).value_or(""), HasSubstr("application/x-jbx=jbxmaker.desktop\n"));
    EXPECT_EQ(sandbox.defaultHandler("application/x-jbx"), "jbxmaker.desktop");
}

TEST_F(AssociateBankFilesTest, StepsThatCannotWriteDoNotStopTheOthers)
{
    // mimeapps.list cannot be replaced (a folder holds its name), and the
    // icon theme cannot be created (a file holds its name).
    fs::create_directories(sandbox.configHome() + "/mimeapps.list/inside");
    WriteText(dataFile("icons"), "not a folder");
    const std::string jbxmaker = program("bin/jbxmaker");

    associate(jbxmaker);

    EXPECT_TRUE(fs::is_directory(sandbox.configHome() + "/mimeapps.list/inside"));
    EXPECT_EQ(ReadText(dataFile("icons")), "not a folder");
    EXPECT_EQ(DesktopEntryKeys(entryText()).at("Icon"), "jbxmaker") << "the theme's icon, by name";
    EXPECT_EQ(DesktopEntryKeys(entryText()).at("Exec"), jbxmaker + " %f");
    EXPECT_EQ(sandbox.fileType(bank()), "application/x-jbx");
    EXPECT_EQ(sandbox.gioDefaultHandler("application/x-jbx"), "jbxmaker.desktop")
        << "the entry's own MimeType makes it a handler even without mimeapps.list";
    EXPECT_THAT(desktop.messages, IsEmpty());
}

TEST_F(AssociateBankFilesTest, WithoutAnIconTheEntryNamesTheThemesIcon)
{
    associate(program("bin/jbxmaker"), std::nullopt);

    EXPECT_EQ(DesktopEntryKeys(entryText()).at("Icon"), "jbxmaker");
    EXPECT_FALSE(fs::exists(dataFile("icons")));
}

TEST_F(AssociateBankFilesTest, AnIconCacheIsRefreshedOnlyWhereThereIsOne)
{
    associate(program("bin/jbxmaker"));
    EXPECT_THAT(tools.calls, Not(Contains(Contains("gtk-update-icon-cache"))));

    WriteText(dataFile("icons/hicolor/icon-theme.cache"), "");
    tools.calls.clear();
    associate(program("bin/jbxmaker"));
    EXPECT_THAT(tools.calls, Contains(ElementsAre("gtk-update-icon-cache", "-f", "-t",
                                                  sandbox.dataHome() + "/icons/hicolor")));
}

TEST_F(AssociateBankFilesTest, WithoutTheDatabaseToolASecondAssociationStillKeepsThePackage)
{
    AssociationEnvironment noTools{sandbox.folders(), kIcon, {}};
    AssociateBankFiles(desktop, program("bin/jbxmaker"), noTools);
    const std::string package = dataFile("mime/packages/jbxmaker.xml");
    WriteText(package, "edited by the user");

    AssociateBankFiles(desktop, program("bin/jbxmaker"), noTools);

    EXPECT_EQ(ReadText(package), "edited by the user");
    EXPECT_EQ(DesktopEntryKeys(entryText()).at("MimeType"), "application/x-jbx;");
}

TEST_F(AssociateBankFilesTest, UnknownHomeFoldersWriteNothingAnywhere)
{
    const std::string jbxmaker = program("bin/jbxmaker");
    const auto withProgram = Snapshot(sandbox.root());
    AssociationEnvironment environment{XdgFolders{"", {sandbox.systemData()}, "relative/config"}, kIcon,
                                       tools.runner()};

    AssociateBankFiles(desktop, jbxmaker, environment);

    EXPECT_EQ(Snapshot(sandbox.root()), withProgram);
    EXPECT_THAT(tools.calls, IsEmpty());
    EXPECT_FALSE(fs::exists("relative"));
    EXPECT_THAT(desktop.messages, IsEmpty());
}

} // namespace
} // namespace jbx
