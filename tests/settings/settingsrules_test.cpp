#include "settings/settingsstore.h"

#include "seam/filesystem.h"
#include "tests/support/fakesettingsstore.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace jbx {
namespace {

using testing::FakeSettingsStore;
using Events = std::vector<std::string>;

std::string Repeat(std::string_view text, std::size_t times)
{
    std::string repeated;
    for (std::size_t i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

TEST(ReadYesNoSettingTest, OnlyExactlyNoIsNoAndUnreadableValuesBecomeNo)
{
    // The length limit counts UTF-16 units, whatever the UTF-8 bytes.
    const struct { std::optional<std::string> stored; bool expected; bool rewritten; } cases[] = {
        {"no", false, false}, {"No", true, false}, {"", true, false}, {std::string("no\0yes", 6), false, false},
        {std::string(254, 'n'), true, false}, {std::string(255, 'n'), false, true}, {std::nullopt, false, true},
        {Repeat("\uFFFF", 254), true, false}, {Repeat("\U00010000", 127), true, false},
        {Repeat("\U00010000", 128), false, true},
    };
    for (const auto& c : cases) {
        FakeSettingsStore store;
        if (c.stored)
            store.values["UseLastSaveDir"] = *c.stored;
        EXPECT_EQ(ReadYesNoSetting(store, kUseLastSaveDir), c.expected) << &c - cases;
        Events expected{"open", "read UseLastSaveDir"};
        if (c.rewritten)
            expected.push_back("write UseLastSaveDir=no");
        expected.push_back("close");
        EXPECT_EQ(store.events, expected) << &c - cases;
    }
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

TEST(LoadStartDirectoryTest, ReadsTheSettingThenTheRememberedFolderOfItsKind)
{
    const Events readYes{"open", "read UseLastSaveDir", "close", "open", "read JBXSaveDirectory"};
    const struct { decltype(FakeSettingsStore::values) stored; std::string expected; Events events; } cases[] = {
        {{{"UseLastSaveDir", "no"}, {"JBXSaveDirectory", "/b"}}, ".", {"open", "read UseLastSaveDir", "close"}},
        {{{"UseLastSaveDir", "yes"}, {"JBXSaveDirectory", "/b"}, {"JBXOpenDirectory", "/o"}}, "/b", {"close"}},
        {{{"UseLastSaveDir", "yes"}, {"JBXOpenDirectory", "/o"}}, ".", {"write JBXSaveDirectory=.", "close"}},
    };
    for (const auto& c : cases) {
        FakeSettingsStore store;
        store.values = c.stored;
        EXPECT_EQ(LoadStartDirectory(store, DirectoryKind::Save), c.expected) << &c - cases;
        Events expected = c.stored.at("UseLastSaveDir") == "yes" ? readYes : Events{};
        expected.insert(expected.end(), c.events.begin(), c.events.end());
        EXPECT_EQ(store.events, expected) << &c - cases;
    }
}

TEST(StoreLastDirectoryTest, RemembersTheCurrentDirectoryWhateverTheSettingSays)
{
    testing::TempDir temp;
    const std::string base = std::filesystem::canonical(temp.path()).string();
    const auto folderOfLength = [&](std::size_t length) {
        const std::string folder = (std::filesystem::path(base) / std::string(length - base.size() - 1, 'f')).string();
        std::filesystem::create_directories(folder);
        return folder;
    };
    const std::string longest = folderOfLength(254);
    FakeSettingsStore store;
    store.values = {{"UseLastOpenDir", "no"}};

    ASSERT_TRUE(ChangeCurrentDirectory(longest));
    StoreLastDirectory(store, DirectoryKind::Open);
    EXPECT_EQ(store.events, (Events{"open", "write JBXOpenDirectory=" + longest, "close"}));

    // One character more could not be read back, so the folder before stays.
    ASSERT_TRUE(ChangeCurrentDirectory(folderOfLength(255)));
    store.events.clear();
    StoreLastDirectory(store, DirectoryKind::Open);
    EXPECT_TRUE(store.events.empty());
}

} // namespace
} // namespace jbx
