#include "app/credits.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

// The program's own texts, spelt out so that a slip in either shows.
const Message kEraseQuestion{
    "This action will erase the credits from memory, and they will not be saved to disk next "
    "time you save the file.\n\nContinue?",
    "Warning", MessageButtons::YesNo, MessageIcon::Exclamation, Owner::Dialog};

const CreditsPlacement kNoCreditsShown{"", "This file didn't have any credits saved in it.", ""};
// The date template spelt so that no compiler takes it for trigraphs.
const CreditsBoxes kTemplates{"Anonymous", "None Entered", "\?\?/\?\?/\?\?"};

std::string X(std::size_t n) { return std::string(n, 'x'); }
std::u16string U(std::size_t n) { return std::u16string(n, u'x'); }

struct CreditsDialog {
    CreditsDialog(BankCredits credits, bool confirmed)
    {
        bank.credits = std::move(credits);
        bank.creditsConfirmed = confirmed;
    }
    FakeDesktop desktop;
    SoundBank bank;
    CreditsEditor editor{bank, desktop};
};

// An empty stored text leaves the template text; only confirmed credits all empty show the no-credits texts.
TEST(CreditsEditorTest, OpeningTextsForCompletePartialAndMissingCredits)
{
    const struct {
        const char* name;
        BankCredits credits;
        bool confirmed;
        CreditsPlacement shown;
    } cases[] = {
        {"after New", {}, false, {}},
        {"loaded without credits", {}, true, kNoCreditsShown},
        {"complete, CR LF shown as line breaks", {"Kim", "one\r\ntwo\r\n", "01/02/03"}, true,
            {"Kim", "one\ntwo\n", "01/02/03"}},
        {"description only, confirmed", {"", "Taunts", ""}, true, {std::nullopt, "Taunts", std::nullopt}},
        {"a lone CR or LF stays", {"", "a\rb\nc\r", ""}, false, {std::nullopt, "a\rb\nc\r", std::nullopt}},
        {"a loaded description over the typed limit is shown whole", {"", X(256), ""}, true,
            {std::nullopt, X(256), std::nullopt}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CreditsDialog dialog(c.credits, c.confirmed);
        EXPECT_EQ(dialog.editor.openingTexts(), c.shown);
    }
}

// OK stores all three boxes, each within its limit, once any was edited, and confirms the credits either way.
TEST(CreditsEditorTest, OkStoresEveryBoxOnlyAfterAnEditAndAlwaysConfirms)
{
    const struct {
        const char* name;
        BankCredits before;
        bool edited;
        CreditsBoxes boxes;
        CreditsBoxes stored;
    } cases[] = {
        {"after New, untouched", {}, false, kTemplates, {}},
        {"after New, author typed", {}, true, {"Kim", kTemplates.description, kTemplates.dateFinished},
            {"Kim", "None Entered", "\?\?/\?\?/\?\?"}},
        {"every box emptied", {"Kim", "one\r\ntwo", "01/02/03"}, true, {"", "", ""}, {}},
        {"line breaks stored as CR LF", {}, true, {"a", "\none\ntwo\n", "d"}, {"a", "\r\none\r\ntwo\r\n", "d"}},
        {"a break past 255 is cut whole", {}, true, {"a", X(254) + "\nyz", "d"}, {"a", X(254), "d"}},
        {"a lone CR ending 255 stays", {}, true, {"a", X(254) + "\r", "d"}, {"a", X(254) + "\r", "d"}},
        {"author and date cut to 100", {}, true, {X(101), "b", X(150)}, {X(100), "b", X(100)}},
        {"author and date of 100 stay whole", {}, true, {X(100), "b", X(100)}, {X(100), "b", X(100)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CreditsDialog dialog(c.before, false);
        if (c.edited)
            dialog.editor.boxChanged();
        dialog.editor.accept(c.boxes);
        const BankCredits& stored = dialog.bank.credits;
        EXPECT_EQ((CreditsBoxes{stored.author, stored.description, stored.dateFinished}), c.stored);
        EXPECT_TRUE(dialog.bank.creditsConfirmed);
    }
}

// Yes empties and confirms at once, so a Cancel afterwards keeps it so; No leaves everything, edited state too.
TEST(CreditsEditorTest, EraseAsksTheDialogsWarningAndActsOnlyOnYes)
{
    for (const MessageAnswer answer : {MessageAnswer::Yes, MessageAnswer::No}) {
        const bool yes = answer == MessageAnswer::Yes;
        SCOPED_TRACE(yes ? "Yes" : "No");
        CreditsDialog dialog({"Kim", "Taunts", "01/02/03"}, false);
        dialog.desktop.messageAnswers = {answer};
        dialog.editor.boxChanged();

        const std::optional<CreditsPlacement> shown = dialog.editor.erase();
        EXPECT_EQ(dialog.desktop.messages, std::vector<Message>{kEraseQuestion});
        EXPECT_EQ(shown, yes ? std::optional(kNoCreditsShown) : std::nullopt);
        EXPECT_EQ(dialog.bank.credits.empty(), yes);
        EXPECT_EQ(dialog.bank.creditsConfirmed, yes);
        EXPECT_EQ(dialog.editor.edited(), !yes);
    }
}

// Characters no single-byte text holds go first, then the insertion's last ones while the box is over 255.
TEST(CreditsInsertionTest, KeepsWhatASingleByteDescriptionOfAtMost255Holds)
{
    const struct {
        const char* name;
        std::u16string before;
        std::size_t position;
        std::u16string inserted;
        std::u16string kept;
    } cases[] = {
        {"Windows-1252 stays, the rest goes", u"", 0, u"a\u20AC\u00E9\u0100\u00FFb\u0080\u0081\u2122",
            u"a\u20AC\u00E9\u00FFb\u0081\u2122"},
        {"a break filling 255", U(253), 253, u"\n", u"\n"},
        {"a break past 255", U(254), 254, u"\n", u""},
        {"a paste loses its end", U(250), 250, u"ab\ncd", u"ab\nc"},
        {"paragraph and line separators count two", U(252), 252, u"\u2029\u2028", u"\u2029"},
        {"refused characters take nothing of the limit", U(254), 254, u"\u0100a", u"a"},
        {"a euro sign takes one of the limit", U(254), 254, u"\u20ACa", u"\u20AC"},
        {"an insertion at the start loses its own end", U(254), 0, u"ab", u"a"},
        {"a full box refuses all", U(255), 100, u"q\n", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::u16string box = c.before;
        box.insert(c.position, c.inserted);
        const std::vector<bool> keep = KeptOfDescriptionInsertion(box, c.position, c.inserted.size());
        ASSERT_EQ(keep.size(), c.inserted.size());
        std::u16string kept;
        for (std::size_t i = 0; i < keep.size(); ++i) {
            if (keep[i])
                kept += c.inserted[i];
        }
        EXPECT_TRUE(kept == c.kept) << "kept " << kept.size() << " of " << c.inserted.size();
    }
}

} // namespace
} // namespace jbx::testing
