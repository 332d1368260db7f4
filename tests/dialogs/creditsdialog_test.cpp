// The Credits dialog driven like a user would: keys into its boxes, clicks on
// its buttons, the Erase question answered by the scripted desktop.

#include "app/dialogs/creditsdialog.h"
#include "bank/soundbank.h"
#include "tests/dialogs/modalscript.h"
#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

#include <memory>
#include <string>

namespace jbx::testing {
namespace {

const std::string kNoCredits{kNoCreditsText};
// The date box's template text, spelt so that no compiler takes it for trigraphs.
const std::string kDateTemplate = "\?\?/\?\?/\?\?";

const Message kEraseQuestionMessage{std::string(kEraseCreditsQuestion), "Warning",
    MessageButtons::YesNo, MessageIcon::Exclamation, Owner::Dialog};

std::string BoxText(const QLineEdit* box)
{
    return box->text().toStdString();
}

std::string BoxText(const QPlainTextEdit* box)
{
    return box->toPlainText().toStdString();
}

// Types text key by key, as Latin-1; '\n' is the Return key.
void Type(QWidget* box, const std::string& text)
{
    for (const char c : text) {
        const QChar typed = QChar::fromLatin1(c);
        if (c == '\n')
            QTest::keyClick(box, Qt::Key_Return);
        else if (typed.unicode() < 0x80)
            QTest::keyClick(box, c);
        else   // Qt's key codes for Latin-1 letters are their capitals
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key(typed.toUpper().unicode()),
                QString(typed), Qt::NoModifier);
    }
}

void ReplaceByTyping(QWidget* box, const std::string& text)
{
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.empty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        Type(box, text);
}

class CreditsDialogTest : public ::testing::Test {
protected:
    void startAfterNew()
    {
        Session session(desktop);
        NewBank(session, nullptr);
        bank = session.bank;
    }

    void startLoaded(BankCredits credits)
    {
        bank.credits = std::move(credits);
        bank.creditsConfirmed = true;
    }

    CreditsDialog& open()
    {
        dialog = std::make_unique<CreditsDialog>(bank, desktop);
        dialog->show();
        return *dialog;
    }

    void clickOk() { QTest::mouseClick(dialog->okButton(), Qt::LeftButton); }

    void expectBoxes(const std::string& author, const std::string& description,
        const std::string& date) const
    {
        EXPECT_EQ(BoxText(dialog->authorBox()), author);
        EXPECT_EQ(BoxText(dialog->descriptionBox()), description);
        EXPECT_EQ(BoxText(dialog->dateBox()), date);
    }

    void expectStored(const std::string& author, const std::string& description,
        const std::string& date) const
    {
        EXPECT_EQ(bank.credits.author, author);
        EXPECT_EQ(bank.credits.description, description);
        EXPECT_EQ(bank.credits.dateFinished, date);
    }

    FakeDesktop desktop;
    SoundBank bank;
    std::unique_ptr<CreditsDialog> dialog;
};

struct PlacedCase {
    const char* name;
    bool confirmed;
    BankCredits stored;
    std::string author, description, date;
};

TEST_F(CreditsDialogTest, PlacesTheStoredTextsOrTheTemplateTextsWithoutCountingAsAnEdit)
{
    const PlacedCase cases[] = {
        {"after New", false, {}, "Anonymous", "None Entered", kDateTemplate},
        {"loaded without credits", true, {}, "", kNoCredits, ""},
        {"loaded with credits", true, {"Kim", "Ten taunts\r\nfor the arena", "01/02/03"}, "Kim",
            "Ten taunts\nfor the arena", "01/02/03"},
        {"author only", true, {"Kim", "", ""}, "Kim", "None Entered", kDateTemplate},
        {"unconfirmed date only", false, {"", "", "2024"}, "Anonymous", "None Entered", "2024"},
    };
    for (const PlacedCase& c : cases) {
        SCOPED_TRACE(c.name);
        bank.credits = c.stored;
        bank.creditsConfirmed = c.confirmed;
        open();
        expectBoxes(c.author, c.description, c.date);
        EXPECT_FALSE(dialog->creditsEdited());
        EXPECT_EQ(dialog->windowTitle(), "Credits");
    }
}

TEST_F(CreditsDialogTest, AfterNewOkWithoutTypingStoresNothingButConfirms)
{
    startAfterNew();
    ModalScript<CreditsDialog> script([](CreditsDialog& shown) {
        EXPECT_EQ(BoxText(shown.authorBox()), "Anonymous");
        EXPECT_EQ(BoxText(shown.descriptionBox()), "None Entered");
        EXPECT_EQ(BoxText(shown.dateBox()), kDateTemplate);
        QTest::mouseClick(shown.okButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(ShowCreditsDialog(bank, desktop, nullptr));
    EXPECT_TRUE(script.answered());
    expectStored("", "", "");
    EXPECT_TRUE(bank.creditsConfirmed);
}

TEST_F(CreditsDialogTest, AfterNewTypingOnlyAnAuthorStoresTheTemplateTextsWithIt)
{
    startAfterNew();
    open();
    // The author box starts with its text selected: typing replaces it.
    Type(dialog->authorBox(), "Kim");
    EXPECT_TRUE(dialog->creditsEdited());
    clickOk();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    expectStored("Kim", "None Entered", kDateTemplate);
    EXPECT_TRUE(bank.creditsConfirmed);
}

TEST_F(CreditsDialogTest, OkWithoutChangesLeavesLoadedCreditsByteForByte)
{
    // Copying these boxes back would cut the description to 255 characters.
    const BankCredits loaded{"Kim", std::string(kDescriptionLimit, 'd'), "01/02/03"};
    startLoaded(loaded);
    open();
    clickOk();
    expectStored(loaded.author, loaded.description, loaded.dateFinished);
}

TEST_F(CreditsDialogTest, CancelEscAndCloseKeepNothingTyped)
{
    const struct {
        const char* name;
        void (*dismiss)(CreditsDialog&);
    } ways[] = {
        {"Cancel", [](CreditsDialog& d) { QTest::mouseClick(d.cancelButton(), Qt::LeftButton); }},
        {"Esc in a box", [](CreditsDialog& d) { QTest::keyClick(d.authorBox(), Qt::Key_Escape); }},
        {"Esc in the description",
            [](CreditsDialog& d) { QTest::keyClick(d.descriptionBox(), Qt::Key_Escape); }},
        {"close button", [](CreditsDialog& d) { d.close(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        startAfterNew();
        ModalScript<CreditsDialog> script([&way](CreditsDialog& shown) {
            ReplaceByTyping(shown.authorBox(), "Kim");
            ReplaceByTyping(shown.descriptionBox(), "Taunts");
            way.dismiss(shown);
        });
        EXPECT_FALSE(ShowCreditsDialog(bank, desktop, nullptr));
        EXPECT_TRUE(script.answered());
        expectStored("", "", "");
        EXPECT_FALSE(bank.creditsConfirmed);
    }
}

TEST_F(CreditsDialogTest, EnterInAuthorOrDateIsOkAndInTheDescriptionANewLine)
{
    for (const bool inDate : {false, true}) {
        SCOPED_TRACE(inDate ? "date box" : "author box");
        startAfterNew();
        open();
        QLineEdit* box = inDate ? dialog->dateBox() : dialog->authorBox();
        ReplaceByTyping(box, "x");
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_TRUE(bank.creditsConfirmed);
        EXPECT_EQ(inDate ? bank.credits.dateFinished : bank.credits.author, "x");
    }

    startAfterNew();
    open();
    ReplaceByTyping(dialog->descriptionBox(), "one\ntwo");
    EXPECT_TRUE(dialog->isVisible());
    clickOk();
    EXPECT_EQ(bank.credits.description, "one\r\ntwo");
}

TEST_F(CreditsDialogTest, KeyboardAloneFillsEveryBoxReplacingWhatTheyShow)
{
    startAfterNew();
    open();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));

    const auto typeInFocused = [](const std::string& text) { Type(QApplication::focusWidget(), text); };
    typeInFocused("Kim");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog->descriptionBox());
    typeInFocused("Ten\ntaunts");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog->dateBox());
    typeInFocused("2024\n");

    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    expectStored("Kim", "Ten\r\ntaunts", "2024");
}

TEST_F(CreditsDialogTest, EraseAnsweredYesTakesEffectAtOnceAndCancelDoesNotUndoIt)
{
    startLoaded({"Kim", "Taunts", "01/02/03"});
    bank.creditsConfirmed = false;   // so that the erase is seen to confirm them
    desktop.messageAnswers = {MessageAnswer::Yes};
    open();
    Type(dialog->dateBox(), "4");
    QTest::mouseClick(dialog->eraseButton(), Qt::LeftButton);

    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], kEraseQuestionMessage);
    EXPECT_TRUE(dialog->isVisible());
    expectBoxes("", kNoCredits, "");
    expectStored("", "", "");
    EXPECT_TRUE(bank.creditsConfirmed);
    EXPECT_FALSE(dialog->creditsEdited());

    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    expectStored("", "", "");
    EXPECT_TRUE(bank.creditsConfirmed);
}

TEST_F(CreditsDialogTest, EraseThenTypingAnAuthorStoresTheNoCreditsTextAndAnEmptyDate)
{
    startLoaded({"Kim", "Taunts", "01/02/03"});
    desktop.messageAnswers = {MessageAnswer::Yes};
    open();
    QTest::mouseClick(dialog->eraseButton(), Qt::LeftButton);
    Type(dialog->authorBox(), "Lee");
    clickOk();
    expectStored("Lee", kNoCredits, "");
}

TEST_F(CreditsDialogTest, EraseAnsweredNoChangesNothing)
{
    startAfterNew();
    desktop.messageAnswers = {MessageAnswer::No};
    open();
    Type(dialog->authorBox(), "Kim");
    QTest::mouseClick(dialog->eraseButton(), Qt::LeftButton);

    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], kEraseQuestionMessage);
    expectBoxes("Kim", "None Entered", kDateTemplate);
    expectStored("", "", "");
    EXPECT_FALSE(bank.creditsConfirmed);
    EXPECT_TRUE(dialog->creditsEdited());
}

struct LimitCase {
    const char* name;
    std::string typed;      // '\n' is the Return key
    std::string stored;
};

TEST_F(CreditsDialogTest, DescriptionLimitCountsEachLineBreakAsTwoCharacters)
{
    std::string breaks;
    std::string crlfs;
    for (int i = 0; i < 127; ++i) {
        breaks += '\n';
        crlfs += "\r\n";
    }
    const LimitCase cases[] = {
        {"253 characters and a break", std::string(253, 'x') + "\n",
            std::string(253, 'x') + "\r\n"},
        {"a break after 254 characters", std::string(254, 'x') + "\ny", std::string(254, 'x') + "y"},
        {"a 256th character", std::string(256, 'x'), std::string(255, 'x')},
        {"127 breaks, then two characters", breaks + "ab", crlfs + "a"},
        {"a break between", "ab\ncd", "ab\r\ncd"},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        startAfterNew();
        open();
        ReplaceByTyping(dialog->descriptionBox(), c.typed);
        clickOk();
        EXPECT_EQ(bank.credits.description, c.stored);
        EXPECT_LE(bank.credits.description.size(), kTypedDescriptionLimit);
    }
}

TEST_F(CreditsDialogTest, AuthorAndDateTakeAHundredCharacters)
{
    startAfterNew();
    open();
    ReplaceByTyping(dialog->authorBox(), std::string(101, 'a'));
    ReplaceByTyping(dialog->dateBox(), std::string(101, 'd'));
    clickOk();
    EXPECT_EQ(bank.credits.author, std::string(kAuthorLimit, 'a'));
    EXPECT_EQ(bank.credits.dateFinished, std::string(kDateFinishedLimit, 'd'));
}

TEST_F(CreditsDialogTest, InsertedTextIsCutToTheLimitAndUndoneAsOneStep)
{
    startAfterNew();
    open();
    QPlainTextEdit* box = dialog->descriptionBox();
    ReplaceByTyping(box, std::string(250, 'x'));
    const QString before = box->toPlainText();

    // What a paste or a drop inserts: three breaks and some text.
    box->insertPlainText(QStringLiteral("a\nb\nc\nd"));
    EXPECT_EQ(box->toPlainText(), before + "a\nb");   // 250 + 1 + 2 + 1 = 254, the next break won't fit

    box->document()->undo();
    EXPECT_EQ(box->toPlainText(), before);
    box->document()->redo();
    EXPECT_EQ(box->toPlainText(), before + "a\nb");
}

TEST_F(CreditsDialogTest, TextsStayLatin1BothWays)
{
    // é, a no-break space and a line break: bytes that must come back unchanged.
    const std::string description = "Caf\xe9\xa0" "d\xe9j\xe0\r\nvu";
    startLoaded({"Jos\xe9", description, "2024"});
    open();
    EXPECT_EQ(dialog->authorBox()->text(), QStringLiteral(u"José"));

    ReplaceByTyping(dialog->dateBox(), "\xe9t\xe9");
    // A character no single-byte text can hold is refused in every box.
    for (QWidget* box : {static_cast<QWidget*>(dialog->dateBox()),
             static_cast<QWidget*>(dialog->descriptionBox())}) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QStringLiteral(u"€"),
            Qt::NoModifier);
    }
    dialog->descriptionBox()->insertPlainText(QStringLiteral(u"€"));
    clickOk();

    expectStored("Jos\xe9", description, "\xe9t\xe9");
}

TEST_F(CreditsDialogTest, ALoadedDescriptionTooLongToTypeIsCutWhenStored)
{
    // A 256-character description from a file ends in a line break that the
    // 255-character limit splits: the lone CR is not kept.
    startLoaded({"Kim", std::string(254, 'd') + "\r\n", "01/02/03"});
    open();
    Type(dialog->authorBox(), "Lee");
    clickOk();
    EXPECT_EQ(bank.credits.description, std::string(254, 'd'));
}

} // namespace
} // namespace jbx::testing
