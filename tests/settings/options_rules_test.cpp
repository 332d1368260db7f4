#include "settings/options.h"

#include "tests/support/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace jbx {
namespace {

using testing::FakeDesktop;
using testing::FakeSettingsStore;
using Events = std::vector<std::string>;

// Each case starts from Open "no", Save "yes" as read at opening.
TEST(OptionsSessionTest, OnlyOkAssociatesOnceAndThenWritesBothWhetherChangedOrNot)
{
    const struct {
        const char* name;
        int associatePresses;
        std::optional<OptionsChoices> changedTo;
        OptionsResult result;
        Events closing;
        bool associator = true;
    } cases[] = {
        {"OK untouched", 0, std::nullopt, OptionsResult::Ok,
         {"open", "write UseLastOpenDir=no", "close", "open", "write UseLastSaveDir=yes", "close"}},
        {"OK after changes", 2, OptionsChoices{true, true}, OptionsResult::Ok,
         {"associate", "open", "write UseLastOpenDir=yes", "close", "open", "write UseLastSaveDir=yes", "close"}},
        {"Cancel after changes", 1, OptionsChoices{true, false}, OptionsResult::Cancel, {}},
        {"OK with no associator", 1, OptionsChoices{true, false}, OptionsResult::Ok,
         {"open", "write UseLastOpenDir=yes", "close", "open", "write UseLastSaveDir=no", "close"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSettingsStore store;
        store.values = {{"UseLastOpenDir", "no"}, {"UseLastSaveDir", "yes"}};
        FakeDesktop desktop;
        OptionsSession session(store, desktop);
        EXPECT_EQ(session.choices(), (OptionsChoices{false, true}));
        EXPECT_EQ(store.events,
            (Events{"open", "read UseLastOpenDir", "close", "open", "read UseLastSaveDir", "close"}));
        store.events.clear();
        for (int i = 0; i < c.associatePresses; ++i)
            session.requestAssociation();
        if (c.changedTo)
            session.setChoices(*c.changedTo);
        EXPECT_TRUE(store.events.empty()) << "the store was touched before the sheet closed";

        // Recorded among the store's events, so its order against the writes shows.
        std::function<void()> associate;
        if (c.associator)
            associate = [&store] { store.events.push_back("associate"); };
        session.close(c.result, associate);
        EXPECT_EQ(store.events, c.closing);
    }
}

// i clicks the icon, w "Written by", W that with Shift; s is a surprise, - none. Each case runs with the session
// playing the sound and with a front end counting alone (it plays the sound itself); both must count alike.
TEST(OptionsSessionTest, ShiftClickOnWrittenBySurprisesOnlyAfterExactlyThreeIconClicks)
{
    const struct { std::string script; std::string surprises; } cases[] = {
        {"iiiW", "s"},
        {"iiiwW", "-s"},
        {"iiiiW", "-"},
        {"iiWiW", "-s"},
        {"iiiWW", "ss"},
        // The count has 8 bits: 256 more clicks bring it back to three.
        {std::string(3 + 256, 'i') + "W", "s"},
        {std::string(3 + 255, 'i') + "W", "-"},
    };
    // The sound compiled in is the committed file.
    const Bytes wave = testing::ReadBytes(JBX_ABOUT_WAVE);
    for (const auto& c : cases)
    for (const bool sessionPlays : {true, false}) {
        SCOPED_TRACE(c.script.size() > 10 ? std::to_string(c.script.size() - 1) + " clicks, W" : c.script);
        SCOPED_TRACE(sessionPlays ? "aboutIconClicked" : "countAboutIconClick");
        FakeSettingsStore store;
        FakeDesktop desktop;
        OptionsSession session(store, desktop);
        store.events.clear();
        std::string surprises;
        for (const char action : c.script) {
            desktop.shift = action == 'W';
            if (action != 'i')
                surprises += session.writtenByClicked() == "\nPretty cool, huh?" ? 's' : '-';
            else if (sessionPlays)
                session.aboutIconClicked();
            else
                session.countAboutIconClick();
        }
        EXPECT_EQ(surprises, c.surprises);
        const auto clicks = std::size_t(std::count(c.script.begin(), c.script.end(), 'i'));
        EXPECT_EQ(session.aboutClickCount(), std::uint8_t(clicks));
        // Every click plays the whole About sound, whatever the count says.
        ASSERT_EQ(desktop.played.size(), sessionPlays ? clicks : 0);
        for (const SoundData& played : desktop.played)
            EXPECT_TRUE(played && *played == wave);
        EXPECT_TRUE(store.events.empty()) << "the About page touched the settings";
    }
}

// The long texts show in boxes that keep Windows line ends: every line, the last one too, ends in CR LF.
TEST(OptionsTextsTest, LongTextsEndEveryLineWithCrLf)
{
    for (const std::string_view text : {kKnownBugsText, kTipsText}) {
        EXPECT_TRUE(text.ends_with("\r\n\r\n"));
        for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
            EXPECT_EQ(text[at - 1], '\r') << "a bare line feed at " << at;
    }
}

} // namespace
} // namespace jbx
