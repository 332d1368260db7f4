// The Options sheet as a whole: what it reads when it opens, what OK,
// Cancel, Escape and the close button do with the File page's choices and
// the Associate button, and how its pages come to exist.

#include "tests/options/optionsfixture.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <optional>
#include <ostream>
#include <string>

namespace jbx::testing {
namespace {

const QStringList kTabs = {"File", "Contact", "Known Bugs", "Tips", "About"};

bool Checked(SheetDriver& sheet, const char* radio)
{
    return sheet.widget<QRadioButton>(radio).isChecked();
}

// Which radio button of each pair shows; false is "Current Directory".
void ExpectShown(SheetDriver& sheet, bool openLastUsed, bool saveLastUsed)
{
    EXPECT_EQ(Checked(sheet, "openLastUsedRadio"), openLastUsed);
    EXPECT_EQ(Checked(sheet, "openCurrentRadio"), !openLastUsed);
    EXPECT_EQ(Checked(sheet, "saveLastUsedRadio"), saveLastUsed);
    EXPECT_EQ(Checked(sheet, "saveCurrentRadio"), !saveLastUsed);
}

// ---- OK with nothing touched ------------------------------------------------

struct StoredCase {
    const char* name;
    std::optional<std::string> storedOpen, storedSave;   // nothing: no value yet
    bool shownOpen, shownSave;
    const char* writtenOpen;
    const char* writtenSave;
};

std::ostream& operator<<(std::ostream& out, const StoredCase& c)
{
    return out << c.name;
}

class OkUntouched : public OptionsSheetTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(OkUntouched, ShowsTheStoredChoicesAndWritesThemBack)
{
    const StoredCase& c = GetParam();
    if (c.storedOpen)
        store_.values["UseLastOpenDir"] = *c.storedOpen;
    if (c.storedSave)
        store_.values["UseLastSaveDir"] = *c.storedSave;

    const bool ok = Show([&](SheetDriver& sheet) {
        ExpectShown(sheet, c.shownOpen, c.shownSave);
        sheet.pressOk();
    });

    EXPECT_TRUE(ok);
    EXPECT_EQ(ClosingEvents(), Writes(c.writtenOpen, c.writtenSave));
    EXPECT_EQ(associations_, 0);
}

INSTANTIATE_TEST_SUITE_P(Settings, OkUntouched,
    ::testing::Values(
        // The opening itself stores "no" for a value it cannot read.
        StoredCase{"FreshProfile", std::nullopt, std::nullopt, false, false, "no", "no"},
        StoredCase{"OpenYes", "yes", "no", true, false, "yes", "no"},
        StoredCase{"SaveYes", "no", "yes", false, true, "no", "yes"},
        // Any text but exactly "no" is yes, and is written back as "yes".
        StoredCase{"OddTexts", "No", "", true, true, "yes", "yes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsSheetTest, OpeningReadsOpenThenSaveAndCreatesMissingValues)
{
    Show([](SheetDriver& sheet) { sheet.pressOk(); });

    const std::vector<std::string> opening(store_.events.begin(),
        store_.events.begin() + std::ptrdiff_t(eventsAtOpen_));
    EXPECT_EQ(opening, (std::vector<std::string>{
        "open", "read UseLastOpenDir", "write UseLastOpenDir=no", "close",
        "open", "read UseLastSaveDir", "write UseLastSaveDir=no", "close"}));
}

// ---- changing the choices ----------------------------------------------------

TEST_F(OptionsSheetTest, LastUsedForOpenAfterVisitingEveryTabWritesOnlyThatChange)
{
    store_.values["UseLastOpenDir"] = "no";
    store_.values["UseLastSaveDir"] = "yes";

    const bool ok = Show([](SheetDriver& sheet) {
        sheet.click("openLastUsedRadio");
        for (const QString& tab : kTabs.mid(1))
            sheet.selectTab(tab);
        EXPECT_EQ(sheet.currentTab(), "About");
        sheet.pressOk();
    });

    EXPECT_TRUE(ok);
    EXPECT_EQ(ClosingEvents(), Writes("yes", "yes"));
    EXPECT_EQ(store_.values["UseLastOpenDir"], "yes");
    EXPECT_EQ(store_.values["UseLastSaveDir"], "yes");
}

TEST_F(OptionsSheetTest, EachPairOfRadioButtonsIsItsOwnChoice)
{
    Show([](SheetDriver& sheet) {
        sheet.click("saveLastUsedRadio");
        ExpectShown(sheet, false, true);
        sheet.click("openLastUsedRadio");
        ExpectShown(sheet, true, true);
        sheet.click("saveCurrentRadio");
        ExpectShown(sheet, true, false);
        sheet.pressOk();
    });

    EXPECT_EQ(ClosingEvents(), Writes("yes", "no"));
}

// ---- the Associate button ----------------------------------------------------

class AssociatePresses : public OptionsSheetTest, public ::testing::WithParamInterface<int> {};

TEST_P(AssociatePresses, ThenOkAssociatesOnceBeforeTheWrites)
{
    const int presses = GetParam();
    const bool ok = Show([presses](SheetDriver& sheet) {
        for (int i = 0; i < presses; ++i)
            sheet.click("associateButton");
        sheet.pressOk();
    });

    EXPECT_TRUE(ok);
    EXPECT_EQ(associations_, 1);
    std::vector<std::string> expected = {"associate"};
    for (const std::string& write : Writes("no", "no"))
        expected.push_back(write);
    EXPECT_EQ(ClosingEvents(), expected);
}

INSTANTIATE_TEST_SUITE_P(Presses, AssociatePresses, ::testing::Values(1, 2, 5));

TEST_F(OptionsSheetTest, AssociateButtonDoesNothingWhileTheSheetIsOpen)
{
    Show([this](SheetDriver& sheet) {
        sheet.click("associateButton");
        EXPECT_EQ(associations_, 0);
        EXPECT_EQ(store_.events.size(), eventsAtOpen_);
        EXPECT_TRUE(sheet.sheet().isVisible());
        sheet.pressOk();
    });
}

// ---- closing without OK --------------------------------------------------------

struct DismissCase {
    const char* name;
    void (SheetDriver::*dismiss)();
};

std::ostream& operator<<(std::ostream& out, const DismissCase& c)
{
    return out << c.name;
}

class Dismissed : public OptionsSheetTest, public ::testing::WithParamInterface<DismissCase> {};

TEST_P(Dismissed, WritesNothingAndDoesNotAssociate)
{
    store_.values["UseLastOpenDir"] = "yes";
    store_.values["UseLastSaveDir"] = "no";

    const bool ok = Show([](SheetDriver& sheet) {
        sheet.click("associateButton");
        sheet.click("openCurrentRadio");
        sheet.click("saveLastUsedRadio");
        sheet.selectTab("About");
        (sheet.*GetParam().dismiss)();
    });

    EXPECT_FALSE(ok);
    EXPECT_EQ(ClosingEvents(), std::vector<std::string>{});
    EXPECT_EQ(associations_, 0);

    // The next showing starts from the store again, not from the choices
    // that were thrown away.
    Show([](SheetDriver& sheet) {
        ExpectShown(sheet, true, false);
        sheet.pressOk();
    });
    EXPECT_EQ(associations_, 0);
    EXPECT_EQ(ClosingEvents(), Writes("yes", "no"));
}

INSTANTIATE_TEST_SUITE_P(Ways, Dismissed,
    ::testing::Values(DismissCase{"CancelButton", &SheetDriver::pressCancel},
        DismissCase{"EscapeKey", &SheetDriver::pressEscape},
        DismissCase{"CloseButton", &SheetDriver::closeWindow}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the sheet itself ------------------------------------------------------------

TEST_F(OptionsSheetTest, IsAModalSheetOverItsOwnerWithFiveTabsInOrder)
{
    Show([this](SheetDriver& sheet) {
        EXPECT_EQ(sheet.sheet().windowTitle(), "Options");
        EXPECT_TRUE(sheet.sheet().isModal());
        EXPECT_EQ(sheet.sheet().parentWidget(), &owner_);
        EXPECT_EQ(sheet.tabTitles(), kTabs);
        EXPECT_EQ(sheet.currentTab(), "File");
        sheet.pressCancel();
    });
}

TEST_F(OptionsSheetTest, ApplyStaysDisabledThroughout)
{
    Show([](SheetDriver& sheet) {
        QPushButton& apply = sheet.button(QDialogButtonBox::Apply);
        EXPECT_FALSE(apply.isEnabled()) << "at opening";
        sheet.click("openLastUsedRadio");
        EXPECT_FALSE(apply.isEnabled()) << "after a choice";
        sheet.click("associateButton");
        EXPECT_FALSE(apply.isEnabled()) << "after Associate";
        for (const QString& tab : kTabs.mid(1)) {
            sheet.selectTab(tab);
            EXPECT_FALSE(apply.isEnabled()) << "on " << tab.toStdString();
        }
        sheet.click("aboutIcon");
        EXPECT_FALSE(apply.isEnabled()) << "after an About click";
        sheet.pressCancel();
    });
}

TEST_F(OptionsSheetTest, PagesAreBuiltWhenTheirTabIsFirstSelectedAndKept)
{
    struct Page {
        const char* tab;
        const char* page;
        const char* control;   // one of the page's own widgets
    };
    constexpr Page lazyPages[] = {
        {"Contact", "contactPage", "emailEdit"},
        {"Known Bugs", "knownBugsPage", "knownBugsText"},
        {"Tips", "tipsPage", "tipsText"},
        {"About", "aboutPage", "writtenByLabel"},
    };

    Show([&](SheetDriver& sheet) {
        EXPECT_NE(sheet.find<QWidget>("filePage"), nullptr);
        EXPECT_NE(sheet.find<QWidget>("associateButton"), nullptr);

        std::vector<QWidget*> built;
        for (const Page& page : lazyPages) {
            SCOPED_TRACE(page.tab);
            EXPECT_EQ(sheet.find<QWidget>(page.page), nullptr);
            EXPECT_EQ(sheet.find<QWidget>(page.control), nullptr);
            sheet.selectTab(page.tab);
            built.push_back(sheet.find<QWidget>(page.page));
            EXPECT_NE(built.back(), nullptr);
            EXPECT_NE(sheet.find<QWidget>(page.control), nullptr);
        }

        // Going back to a page shows the same one, not a new one.
        sheet.selectTab("File");
        for (std::size_t i = 0; i < std::size(lazyPages); ++i) {
            sheet.selectTab(lazyPages[i].tab);
            const QList<QWidget*> pages =
                sheet.sheet().findChildren<QWidget*>(QString::fromLatin1(lazyPages[i].page));
            EXPECT_EQ(pages, QList<QWidget*>{built[i]}) << lazyPages[i].tab;
        }
        sheet.pressCancel();
    });
}

TEST_F(OptionsSheetTest, EveryShowingBuildsItsPagesAnew)
{
    Show([](SheetDriver& sheet) {
        sheet.selectTab("Tips");
        sheet.pressOk();
    });
    Show([](SheetDriver& sheet) {
        EXPECT_EQ(sheet.currentTab(), "File");
        EXPECT_EQ(sheet.find<QWidget>("tipsPage"), nullptr);
        sheet.pressOk();
    });
}

} // namespace
} // namespace jbx::testing
