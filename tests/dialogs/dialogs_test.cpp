// The Credits dialog and the unknown voice block "Warning" dialog, driven
// with real keys and clicks on Qt's offscreen platform.

#include "app/dialogs/creditsdialog.h"
#include "app/dialogs/unknownblockdialog.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

using Texts = std::vector<std::string>;

// Runs run(), which shows a modal Dialog with exec(), and answers the dialog
// once it is on screen; the answer must end it.
template <class Dialog, class Run>
auto RunAnswering(Run run, const std::function<void(Dialog&)>& answer)
{
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
    return run();
}

// Types text key by key; '\n' is the Return key. Ctrl+A first replaces what
// the box shows.
void Type(QWidget* box, const std::string& text, bool replace = false)
{
    if (replace)
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    for (const char c : text)
        c == '\n' ? QTest::keyClick(box, Qt::Key_Return) : QTest::keyClick(box, c);
}

class CreditsDialogTest : public ::testing::Test {
protected:
    void startAfterNew()
    {
        Session session(desktop);
        NewBank(session, nullptr);
        bank = session.bank;
    }

    void open()
    {
        dialog = std::make_unique<CreditsDialog>(bank, desktop);
        dialog->show();
    }

    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    Texts boxes() const
    {
        return {dialog->authorBox()->text().toStdString(),
                dialog->descriptionBox()->toPlainText().toStdString(), dialog->dateBox()->text().toStdString()};
    }

    Texts stored() const { return {bank.credits.author, bank.credits.description, bank.credits.dateFinished}; }

    FakeDesktop desktop;
    SoundBank bank;
    std::unique_ptr<CreditsDialog> dialog;
};

const std::string kNoCredits{kNoCreditsText};
const Texts kNothing = {"", "", ""};
// The date template spelt so that no compiler takes it for trigraphs.
const Texts kTemplates = {"Anonymous", "None Entered", "\?\?/\?\?/\?\?"};

TEST_F(CreditsDialogTest, AfterNewShowsTheTemplateTextsAndOkWithoutTypingStoresNothingButConfirms)
{
    startAfterNew();
    EXPECT_TRUE(RunAnswering<CreditsDialog>([&] { return ShowCreditsDialog(bank, desktop, nullptr); },
        [&](CreditsDialog& shown) {
            EXPECT_EQ(shown.windowTitle(), "Credits");
            EXPECT_EQ(shown.authorBox()->text().toStdString(), kTemplates[0]);
            EXPECT_EQ(shown.descriptionBox()->toPlainText().toStdString(), kTemplates[1]);
            EXPECT_EQ(shown.dateBox()->text().toStdString(), kTemplates[2]);
            click(shown.okButton());
        }));
    EXPECT_EQ(stored(), kNothing);
    EXPECT_TRUE(bank.creditsConfirmed);
}

TEST_F(CreditsDialogTest, AfterNewTypingOnlyAnAuthorStoresTheTemplateTextsWithIt)
{
    startAfterNew();
    open();
    // The author box starts with its text selected: typing replaces it.
    Type(dialog->authorBox(), "Kim");
    click(dialog->okButton());
    EXPECT_EQ(stored(), (Texts{"Kim", kTemplates[1], kTemplates[2]}));
    EXPECT_TRUE(bank.creditsConfirmed);
}

TEST_F(CreditsDialogTest, LoadedWithoutCreditsShowsTheNoCreditsTextAndOkKeepsThemEmpty)
{
    bank.creditsConfirmed = true;
    open();
    EXPECT_EQ(boxes(), (Texts{"", kNoCredits, ""}));
    click(dialog->okButton());
    EXPECT_EQ(stored(), kNothing);
}

TEST_F(CreditsDialogTest, CancelEscAndCloseKeepNothingTyped)
{
    const std::function<void(CreditsDialog&)> ways[] = {
        [](CreditsDialog& d) { QTest::mouseClick(d.cancelButton(), Qt::LeftButton); },
        [](CreditsDialog& d) { QTest::keyClick(d.descriptionBox(), Qt::Key_Escape); },
        [](CreditsDialog& d) { d.close(); },
    };
    for (const auto& dismiss : ways) {
        startAfterNew();
        open();
        Type(dialog->authorBox(), "Kim", true);
        Type(dialog->descriptionBox(), "Taunts", true);
        dismiss(*dialog);
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_EQ(stored(), kNothing);
        EXPECT_FALSE(bank.creditsConfirmed);
    }
}

TEST_F(CreditsDialogTest, EnterInTheAuthorIsOkAndInTheDescriptionANewLine)
{
    startAfterNew();
    open();
    Type(dialog->descriptionBox(), "one\ntwo", true);
    EXPECT_TRUE(dialog->isVisible());
    Type(dialog->authorBox(), "x\n", true);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(stored(), (Texts{"x", "one\r\ntwo", kTemplates[2]}));
}

TEST_F(CreditsDialogTest, EraseAnsweredYesTakesEffectAtOnceAndCancelDoesNotUndoIt)
{
    bank.credits = {"Kim", "Taunts", "01/02/03"};
    desktop.messageAnswers = {MessageAnswer::Yes};
    open();
    Type(dialog->dateBox(), "4");
    click(dialog->eraseButton());
    EXPECT_EQ(desktop.messages, (std::vector<Message>{{std::string(kEraseCreditsQuestion), "Warning",
        MessageButtons::YesNo, MessageIcon::Exclamation, Owner::Dialog}}));
    EXPECT_EQ(boxes(), (Texts{"", kNoCredits, ""}));
    click(dialog->cancelButton());
    EXPECT_EQ(stored(), kNothing);
    EXPECT_TRUE(bank.creditsConfirmed);
}

TEST_F(CreditsDialogTest, EraseAnsweredNoChangesNothing)
{
    startAfterNew();
    desktop.messageAnswers = {MessageAnswer::No};
    open();
    Type(dialog->authorBox(), "Kim");
    click(dialog->eraseButton());
    EXPECT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(boxes(), (Texts{"Kim", kTemplates[1], kTemplates[2]}));
    EXPECT_EQ(stored(), kNothing);
    EXPECT_FALSE(bank.creditsConfirmed);
}

TEST_F(CreditsDialogTest, DescriptionTakes255CharactersWithALineBreakCountingTwo)
{
    const std::string x253(253, 'x'), x254(254, 'x');
    const struct {
        std::string typed, stored;
    } cases[] = {{x253 + "\n", x253 + "\r\n"}, {x254 + "\ny", x254 + "y"}, {x254 + "yz", x254 + "y"}};
    for (const auto& c : cases) {
        startAfterNew();
        open();
        Type(dialog->descriptionBox(), c.typed, true);
        click(dialog->okButton());
        EXPECT_EQ(bank.credits.description, c.stored);
    }
}

const UnknownBlockDetails kDetails{3, 12, 70000};

UnknownBlockChoice Answer(QWidget* owner, const std::function<void(UnknownBlockDialog&)>& answer)
{
    return RunAnswering<UnknownBlockDialog>([&] { return RunUnknownBlockDialog(kDetails, owner); }, answer);
}

TEST(UnknownBlockDialogTest, EachButtonEndsItWithItsChoice)
{
    const struct {
        QPushButton* (UnknownBlockDialog::*button)() const;
        UnknownBlockChoice choice;
        int result;
    } cases[] = {{&UnknownBlockDialog::skipButton, UnknownBlockChoice::SkipBlock, 1},
        {&UnknownBlockDialog::stopButton, UnknownBlockChoice::StopConversion, 0},
        {&UnknownBlockDialog::forceButton, UnknownBlockChoice::ForceConversion, 2}};
    QWidget owner;
    for (const auto& c : cases) {
        int result = -1;
        EXPECT_EQ(Answer(&owner, [&](UnknownBlockDialog& shown) {
            EXPECT_EQ(shown.parentWidget(), &owner);
            QObject::connect(&shown, &QDialog::finished, [&result](int r) { result = r; });
            QTest::mouseClick((shown.*c.button)(), Qt::LeftButton);
        }), c.choice);
        EXPECT_EQ(result, c.result);
    }
}

TEST(UnknownBlockDialogTest, EscEnterAndCloseDoNothing)
{
    const std::function<void(UnknownBlockDialog&)> attempts[] = {
        [](UnknownBlockDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](UnknownBlockDialog& d) { QTest::keyClick(d.forceButton(), Qt::Key_Return); },
        [](UnknownBlockDialog& d) { QTest::keyClick(d.blockIdField(), Qt::Key_Enter, Qt::KeypadModifier); },
        [](UnknownBlockDialog& d) { EXPECT_FALSE(d.close()); },
    };
    for (const auto& attempt : attempts) {
        EXPECT_EQ(Answer(nullptr, [&](UnknownBlockDialog& shown) {
            attempt(shown);
            EXPECT_TRUE(shown.isVisible());
            QTest::mouseClick(shown.skipButton(), Qt::LeftButton);
        }), UnknownBlockChoice::SkipBlock);
    }
}

TEST(UnknownBlockDialogTest, OpensCollapsedAndDetailsGrowAndShrinkByTheStripHeight)
{
    UnknownBlockDialog dialog(kDetails);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_FALSE(dialog.detailsStrip()->isVisible());
    EXPECT_EQ(dialog.detailsButton()->text(), "Details >>");
    const QRect collapsed = dialog.geometry();
    QTest::mouseClick(dialog.detailsButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.detailsButton()->text(), "Details <<");
    ASSERT_TRUE(dialog.detailsStrip()->isVisible());
    EXPECT_GT(dialog.detailsStrip()->height(), 0);
    EXPECT_EQ(dialog.geometry(), collapsed.adjusted(0, 0, 0, dialog.detailsStrip()->height()));
    QTest::mouseClick(dialog.detailsButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.detailsStrip()->isVisible());
    EXPECT_EQ(dialog.geometry(), collapsed);
}

TEST(UnknownBlockDialogTest, FieldsShowTheNumbersAsUnsignedDecimalsReadOnly)
{
    for (const auto& [details, expected] : {std::pair<UnknownBlockDetails, QStringList>{kDetails, {"3", "12", "70000"}},
             {{-1, UINT32_MAX, UINT32_MAX}, {"4294967295", "4294967295", "4294967295"}}}) {
        const UnknownBlockDialog dialog(details);
        QStringList shown;
        for (const QLineEdit* field : {dialog.soundNumberField(), dialog.blockIdField(), dialog.blockLengthField()}) {
            shown << field->text();
            EXPECT_TRUE(field->isReadOnly());
        }
        EXPECT_EQ(shown, expected);
    }
}

} // namespace
} // namespace jbx::testing

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
