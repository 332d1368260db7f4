#include "settings/settingsstore.h"

#include "bank/filesystem.h"
#include "tests/settings/fakesettingsstore.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace jbx {
namespace {

using testing::FakeSettingsStore;
using Events = std::vector<std::string>;

// Puts the process back into the folder it was in when the test started.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(CurrentDirectory()) {}
    ~CurrentDirectoryGuard() { ChangeCurrentDirectory(saved_); }

private:
    std::string saved_;
};

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

struct YesNoCase {
    const char* label;
    std::optional<std::string> stored;   // nothing: the value is missing
    bool expected;
    bool rewritten;                      // "no" written in its place
};

void PrintTo(const YesNoCase& c, std::ostream* os) { *os << c.label; }

class ReadYesNoSettingTest : public ::testing::TestWithParam<YesNoCase> {};

TEST_P(ReadYesNoSettingTest, ReadsYesUnlessExactlyNoAndReplacesUnreadableValues)
{
    const YesNoCase& c = GetParam();
    FakeSettingsStore store;
    if (c.stored)
        store.values["UseLastSaveDir"] = *c.stored;

    EXPECT_EQ(ReadYesNoSetting(store, kUseLastSaveDir), c.expected);

    Events expected{"open", "read UseLastSaveDir"};
    if (c.rewritten)
        expected.push_back("write UseLastSaveDir=no");
    expected.push_back("close");
    EXPECT_EQ(store.events, expected);
    EXPECT_EQ(store.values["UseLastSaveDir"], c.rewritten ? std::string("no") : *c.stored);
}

INSTANTIATE_TEST_SUITE_P(StoredTexts, ReadYesNoSettingTest, ::testing::Values(
    YesNoCase{"yes", "yes", true, false},
    YesNoCase{"no", "no", false, false},
    YesNoCase{"capitalNo", "No", true, false},
    YesNoCase{"upperNo", "NO", true, false},
    YesNoCase{"zero", "0", true, false},
    YesNoCase{"empty", "", true, false},
    YesNoCase{"noWithSpace", "no ", true, false},
    YesNoCase{"noBeforeNul", std::string("no\0yes", 6), false, false},
    YesNoCase{"longestReadable", std::string(254, 'n'), true, false},
    YesNoCase{"oneTooLong", std::string(255, 'n'), false, true},
    YesNoCase{"threeHundred", std::string(300, 'y'), false, true},
    YesNoCase{"missing", std::nullopt, false, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(WriteYesNoSettingTest, WritesYesOrNoOverWhateverWasStored)
{
    FakeSettingsStore store;
    store.values["UseLastOpenDir"] = std::string(300, 'x');

    WriteYesNoSetting(store, kUseLastOpenDir, true);
    WriteYesNoSetting(store, kUseLastSaveDir, false);

    EXPECT_EQ(store.events, (Events{"open", "write UseLastOpenDir=yes", "close",
                                    "open", "write UseLastSaveDir=no", "close"}));
    EXPECT_EQ(store.values["UseLastOpenDir"], "yes");
    EXPECT_EQ(store.values["UseLastSaveDir"], "no");
}

TEST(SettingsStoreFailureTest, AStoreThatCannotBeOpenedReadsAsNoAndStoresNothing)
{
    FakeSettingsStore store;
    store.openFails = true;

    EXPECT_FALSE(ReadYesNoSetting(store, kUseLastOpenDir));
    WriteYesNoSetting(store, kUseLastSaveDir, true);
    EXPECT_EQ(LoadStartDirectory(store, DirectoryKind::Open), ".");
    StoreLastDirectory(store, DirectoryKind::Save);

    EXPECT_EQ(store.events, Events(4, "open failed"));
    EXPECT_TRUE(store.values.empty());
}

struct StartDirectoryCase {
    const char* label;
    DirectoryKind kind;
    std::map<std::string, std::string> stored;
    std::string expected;
    Events events;
    std::map<std::string, std::string> after;
};

void PrintTo(const StartDirectoryCase& c, std::ostream* os) { *os << c.label; }

class LoadStartDirectoryTest : public ::testing::TestWithParam<StartDirectoryCase> {};

TEST_P(LoadStartDirectoryTest, ReadsTheSettingThenTheRememberedFolder)
{
    const StartDirectoryCase& c = GetParam();
    FakeSettingsStore store;
    store.values.insert(c.stored.begin(), c.stored.end());

    EXPECT_EQ(LoadStartDirectory(store, c.kind), c.expected);
    EXPECT_EQ(store.events, c.events);
    EXPECT_EQ(store.values, (std::map<std::string, std::string, std::less<>>(c.after.begin(), c.after.end())));
}

const std::string kLongest = "/" + std::string(253, 'd');
const std::string kTooLong = "/" + std::string(299, 'd');

INSTANTIATE_TEST_SUITE_P(Settings, LoadStartDirectoryTest, ::testing::Values(
    StartDirectoryCase{"freshProfile", DirectoryKind::Open, {}, ".",
        {"open", "read UseLastOpenDir", "write UseLastOpenDir=no", "close"},
        {{"UseLastOpenDir", "no"}}},
    StartDirectoryCase{"settingNoIgnoresFolder", DirectoryKind::Open,
        {{"UseLastOpenDir", "no"}, {"JBXOpenDirectory", "/banks"}}, ".",
        {"open", "read UseLastOpenDir", "close"},
        {{"UseLastOpenDir", "no"}, {"JBXOpenDirectory", "/banks"}}},
    StartDirectoryCase{"settingYesUsesFolder", DirectoryKind::Open,
        {{"UseLastOpenDir", "yes"}, {"JBXOpenDirectory", "/banks"}}, "/banks",
        {"open", "read UseLastOpenDir", "close", "open", "read JBXOpenDirectory", "close"},
        {{"UseLastOpenDir", "yes"}, {"JBXOpenDirectory", "/banks"}}},
    StartDirectoryCase{"missingFolderBecomesDot", DirectoryKind::Open,
        {{"UseLastOpenDir", "yes"}}, ".",
        {"open", "read UseLastOpenDir", "close",
         "open", "read JBXOpenDirectory", "write JBXOpenDirectory=.", "close"},
        {{"UseLastOpenDir", "yes"}, {"JBXOpenDirectory", "."}}},
    StartDirectoryCase{"longestFolderIsRead", DirectoryKind::Save,
        {{"UseLastSaveDir", "yes"}, {"JBXSaveDirectory", kLongest}}, kLongest,
        {"open", "read UseLastSaveDir", "close", "open", "read JBXSaveDirectory", "close"},
        {{"UseLastSaveDir", "yes"}, {"JBXSaveDirectory", kLongest}}},
    StartDirectoryCase{"tooLongFolderIsOverwritten", DirectoryKind::Save,
        {{"UseLastSaveDir", "yes"}, {"JBXSaveDirectory", kTooLong}}, ".",
        {"open", "read UseLastSaveDir", "close",
         "open", "read JBXSaveDirectory", "write JBXSaveDirectory=.", "close"},
        {{"UseLastSaveDir", "yes"}, {"JBXSaveDirectory", "."}}},
    StartDirectoryCase{"saveUsesOnlySaveValues", DirectoryKind::Save,
        {{"UseLastOpenDir", "yes"}, {"JBXOpenDirectory", "/open"},
         {"UseLastSaveDir", "No"}, {"JBXSaveDirectory", "/save"}}, "/save",
        {"open", "read UseLastSaveDir", "close", "open", "read JBXSaveDirectory", "close"},
        {{"UseLastOpenDir", "yes"}, {"JBXOpenDirectory", "/open"},
         {"UseLastSaveDir", "No"}, {"JBXSaveDirectory", "/save"}}},
    StartDirectoryCase{"openUsesOnlyOpenValues", DirectoryKind::Open,
        {{"UseLastOpenDir", "no"}, {"UseLastSaveDir", "yes"}, {"JBXSaveDirectory", "/save"}}, ".",
        {"open", "read UseLastOpenDir", "close"},
        {{"UseLastOpenDir", "no"}, {"UseLastSaveDir", "yes"}, {"JBXSaveDirectory", "/save"}}}),
    [](const auto& info) { return std::string(info.param.label); });

class StoreLastDirectoryTest : public ::testing::Test {
protected:
    CurrentDirectoryGuard guard_;
    testing::TempDir temp_;
    FakeSettingsStore store_;

    // A folder inside the temporary one whose full path is `length` bytes.
    std::string MakeFolderOfLength(std::size_t length)
    {
        const std::string base = Utf8(fs::canonical(temp_.path()));
        EXPECT_GT(length, base.size() + 1);
        const fs::path folder = fs::path(base) / std::string(length - base.size() - 1, 'f');
        fs::create_directory(folder);
        return Utf8(folder);
    }
};

TEST_F(StoreLastDirectoryTest, RemembersTheCurrentDirectoryForItsKindOnly)
{
    const std::string folder = Utf8(fs::canonical(temp_.path()));
    ASSERT_TRUE(ChangeCurrentDirectory(temp_.path()));
    store_.values = {{"UseLastOpenDir", "no"}, {"JBXSaveDirectory", "/save"}};

    StoreLastDirectory(store_, DirectoryKind::Open);

    EXPECT_EQ(store_.events, (Events{"open", "write JBXOpenDirectory=" + folder, "close"}));
    EXPECT_EQ(store_.values, (decltype(store_.values){
        {"UseLastOpenDir", "no"}, {"JBXOpenDirectory", folder}, {"JBXSaveDirectory", "/save"}}));

    StoreLastDirectory(store_, DirectoryKind::Save);
    EXPECT_EQ(store_.values["JBXSaveDirectory"], folder);
}

TEST_F(StoreLastDirectoryTest, AFolderTooLongToReadBackIsNotStored)
{
    const std::string longest = MakeFolderOfLength(254);
    const std::string tooLong = MakeFolderOfLength(255);

    ASSERT_TRUE(ChangeCurrentDirectory(longest));
    StoreLastDirectory(store_, DirectoryKind::Save);
    EXPECT_EQ(store_.values["JBXSaveDirectory"], longest);

    store_.events.clear();
    ASSERT_TRUE(ChangeCurrentDirectory(tooLong));
    StoreLastDirectory(store_, DirectoryKind::Save);
    EXPECT_TRUE(store_.events.empty());
    EXPECT_EQ(store_.values["JBXSaveDirectory"], longest);
}

// A first run: the folder is remembered while the setting is no, and is used
// once the setting is switched on.
TEST_F(StoreLastDirectoryTest, FolderRememberedWhileSettingIsNoIsUsedOnceItIsYes)
{
    const std::string folder = Utf8(fs::canonical(temp_.path()));

    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Open), ".");
    ASSERT_TRUE(ChangeCurrentDirectory(temp_.path()));
    StoreLastDirectory(store_, DirectoryKind::Open);

    EXPECT_EQ(store_.values["UseLastOpenDir"], "no");
    EXPECT_EQ(store_.values["JBXOpenDirectory"], folder);
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Open), ".");

    WriteYesNoSetting(store_, kUseLastOpenDir, true);
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Open), folder);
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Save), ".");
}

} // namespace
} // namespace jbx
