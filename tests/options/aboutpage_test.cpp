// The About page's icon clicks, its sound and the Shift-click surprise.

#include "tests/options/optionsfixture.h"

#include "settings/optionssheet.h"

#include <QFile>
#include <QLabel>

#include <ostream>
#include <string>

namespace jbx::testing {
namespace {

const QString kDescription =
    "This program creates JeerBox files for use with games such as Arena Brawl and Castle Siege.";
const QString kSurprise = "\nPretty cool, huh?";

Bytes AboutSoundResource()
{
    InitOptionsResources();
    QFile file(kAboutSoundPath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    return Bytes(bytes.begin(), bytes.end());
}

// Plays a script on the About page, one letter an action:
//   i  click the icon            d  double-click the icon
//   w  click "Written by"        W  the same with Shift held
//   t  go to the Tips tab and back to About
// and returns how many times the icon was clicked (a double-click is one).
int Play(SheetDriver& sheet, FakeDesktop& desktop, const std::string& script)
{
    int iconClicks = 0;
    for (const char action : script) {
        switch (action) {
        case 'i':
            sheet.click("aboutIcon");
            ++iconClicks;
            break;
        case 'd':
            sheet.doubleClick("aboutIcon");
            ++iconClicks;
            break;
        case 'w':
            desktop.shift = false;
            sheet.click("writtenByLabel");
            break;
        case 'W':
            desktop.shift = true;
            sheet.click("writtenByLabel", Qt::ShiftModifier);
            desktop.shift = false;
            break;
        case 't':
            sheet.selectTab("Tips");
            sheet.selectTab("About");
            break;
        default:
            ADD_FAILURE() << "unknown action " << action;
        }
    }
    return iconClicks;
}

QString Description(SheetDriver& sheet)
{
    return sheet.widget<QLabel>("descriptionLabel").text();
}

struct ClickCase {
    const char* name;
    std::string script;
    bool surprise;
};

std::ostream& operator<<(std::ostream& out, const ClickCase& c)
{
    return out << c.name;
}

class AboutClicks : public OptionsSheetTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(AboutClicks, SurpriseOnlyAfterExactlyThreeIconClicks)
{
    const ClickCase& c = GetParam();
    int iconClicks = 0;
    Show([&](SheetDriver& sheet) {
        sheet.selectTab("About");
        iconClicks = Play(sheet, desktop_, c.script);
        EXPECT_EQ(Description(sheet), c.surprise ? kSurprise : kDescription);
        sheet.pressCancel();
    });

    // Every icon click plays the About sound from the start, whatever the
    // count says.
    ASSERT_EQ(desktop_.played.size(), std::size_t(iconClicks));
    const Bytes sound = AboutSoundResource();
    for (const SoundData& played : desktop_.played) {
        ASSERT_NE(played, nullptr);
        EXPECT_EQ(*played, sound);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, AboutClicks,
    ::testing::Values(
        ClickCase{"ThreeClicksThenShift", "iiiW", true},
        ClickCase{"FourClicksThenShift", "iiiiW", false},
        ClickCase{"TwoClicksThenShift", "iiW", false},
        ClickCase{"ShiftWithoutClicks", "W", false},
        ClickCase{"ThreeClicksThenPlainClick", "iiiw", false},
        ClickCase{"PlainClickThenShift", "iiiwW", true},
        ClickCase{"ShiftTooEarlyThenAgain", "iiWiW", true},
        ClickCase{"FourthClickAfterSurpriseKeepsIt", "iiiWi", true},
        ClickCase{"LeavingTheTabKeepsTheCount", "iitiW", true},
        ClickCase{"DoubleClickCountsOnce", "diiW", true},
        ClickCase{"WrapsAfter256", std::string(256 + 3, 'i') + "W", true},
        ClickCase{"WrappedToFour", std::string(256 + 4, 'i') + "W", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsSheetTest, ReopeningStartsTheCountAgainAndShowsTheDescription)
{
    Show([&](SheetDriver& sheet) {
        sheet.selectTab("About");
        Play(sheet, desktop_, "iiiW");
        EXPECT_EQ(Description(sheet), kSurprise);
        sheet.pressOk();
    });
    Show([&](SheetDriver& sheet) {
        sheet.selectTab("About");
        EXPECT_EQ(Description(sheet), kDescription);
        Play(sheet, desktop_, "W");
        EXPECT_EQ(Description(sheet), kDescription) << "the count went on from the last showing";
        Play(sheet, desktop_, "iiiW");
        EXPECT_EQ(Description(sheet), kSurprise);
        sheet.pressOk();
    });
    EXPECT_EQ(desktop_.played.size(), 6u);
}

} // namespace
} // namespace jbx::testing
