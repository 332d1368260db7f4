// The Credits dialog and the unknown voice block "Warning" dialog, driven
// with real keys and clicks on Qt's offscreen platform. The Credits rules
// themselves are pinned by credits_test; here, what only the widgets show.

#include "qt/dialogs/creditsdialog.h"
#include "qt/dialogs/unknownblockdialog.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Readable failures for the boxes' texts.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace jbx::testing {
namespace {

using Texts = std::vector<std::string>;

// Types text key by key; '\n' is the Return key. Ctrl+A first replaces what
// the box shows.
void Type(QWidget* box, const std::string& text, bool replace = false)
{
    if (replace)
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    for (const char c : text)
        c == '\n' ? QTest::keyClick(box, Qt::Key_Return) : QTest::keyClick(box, c);
}

// Types characters that have no key of their own, as an input method does.
void Compose(QWidget* box, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

Texts Boxes(const CreditsDialog& d)
{
    return {d.authorBox()->text().toStdString(), d.descriptionBox()->toPlainText().toStdString(),
            d.dateBox()->text().toStdString()};
}

const std::string kNoCredits{kNoCreditsText};
const Texts kNothing = {"", "", ""};
// The date template spelt so that no compiler takes it for trigraphs.
const Texts kTemplates = {"Anonymous", "None Entered", "\?\?/\?\?/\?\?"};

TEST(CreditsDialogTest, WhatEachWayOfUsingItStoresAndConfirms)
{
    enum Start { AfterNew, LoadedKim };
    const struct {
        const char* name;
        Start start;
        std::function<void(CreditsDialog&, FakeDesktop&)> act;
        Texts stored;
        bool accepted, confirmed;
    } cases[] = {
        {"OK untouched", AfterNew, [](CreditsDialog& d, FakeDesktop&) { Click(d.okButton()); }, kNothing, true, true},
        {"Cancel", AfterNew, [](CreditsDialog& d, FakeDesktop&) {
             Type(d.authorBox(), "Kim", true);
             Type(d.descriptionBox(), "Taunts", true);
             Click(d.cancelButton());
         }, kNothing, false, false},
        {"Esc", AfterNew, [](CreditsDialog& d, FakeDesktop&) {
             Type(d.authorBox(), "Kim", true);
             QTest::keyClick(d.descriptionBox(), Qt::Key_Escape);
         }, kNothing, false, false},
        {"Enter", AfterNew, [](CreditsDialog& d, FakeDesktop&) {
             Type(d.descriptionBox(), "one\ntwo", true);
             EXPECT_TRUE(d.isVisible());
             Type(d.authorBox(), "x\n", true);
         }, {"x", "one\r\ntwo", kTemplates[2]}, true, true},
        // Erase takes effect at once: Cancel does not undo it.
        {"Erase Yes", LoadedKim, [](CreditsDialog& d, FakeDesktop& desktop) {
             desktop.messageAnswers = {MessageAnswer::Yes};
             Type(d.dateBox(), "4");
             Click(d.eraseButton());
             EXPECT_EQ(desktop.messages.size(), 1u);
             EXPECT_EQ(Boxes(d), (Texts{"", kNoCredits, ""}));
             EXPECT_FALSE(d.creditsEdited());
             Click(d.cancelButton());
         }, kNothing, false, true},
        {"Erase No", AfterNew, [](CreditsDialog& d, FakeDesktop& desktop) {
             desktop.messageAnswers = {MessageAnswer::No};
             Type(d.authorBox(), "Kim");
             Click(d.eraseButton());
             EXPECT_EQ(desktop.messages.size(), 1u);
             EXPECT_EQ(Boxes(d), (Texts{"Kim", kTemplates[1], kTemplates[2]}));
             Click(d.cancelButton());
         }, kNothing, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDesktop desktop;
        SoundBank bank;
        if (c.start == AfterNew) {
            Session session(desktop);
            NewBank(session);
            bank = session.bank;
        } else {
            bank.credits = {"Kim", "Tau\r\nnts", "01/02/03"};
        }
        CreditsDialog dialog(bank, desktop);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "Credits");
        const Texts shown[] = {kTemplates, {"Kim", "Tau\nnts", "01/02/03"}};
        EXPECT_EQ(Boxes(dialog), shown[c.start]);
        EXPECT_FALSE(dialog.creditsEdited());
        c.act(dialog, desktop);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted);
        EXPECT_EQ((Texts{bank.credits.author, bank.credits.description, bank.credits.dateFinished}), c.stored);
        EXPECT_EQ(bank.creditsConfirmed, c.confirmed);
    }
}

// The boxes show and take Windows-1252: the author and date boxes refuse
// what the code page lacks; a paste into the description loses it and its
// excess in the paste's own undo step.
TEST(CreditsDialogTest, BoxesTakeOnlyWhatTheBankHolds)
{
    FakeDesktop desktop;
    SoundBank bank;
    bank.credits = {"Kim", "Taunts", "\x93" "01/02/03\x94"};
    CreditsDialog dialog(bank, desktop);
    dialog.show();
    EXPECT_EQ(dialog.authorBox()->maxLength(), 100);
    EXPECT_EQ(dialog.dateBox()->maxLength(), 100);
    EXPECT_EQ(dialog.dateBox()->text(), QString::fromUtf8("\u201C01/02/03\u201D"));

    QTest::keyClick(dialog.authorBox(), Qt::Key_A, Qt::ControlModifier);
    Compose(dialog.authorBox(), QString::fromUtf8("K\u20ACm\u0436\u00E9"));
    Compose(dialog.dateBox(), QString::fromUtf8("\u0100!"));
    EXPECT_EQ(dialog.authorBox()->text(), QString::fromUtf8("K\u20ACm\u00E9"));
    EXPECT_EQ(dialog.dateBox()->text(), QString::fromUtf8("\u201C01/02/03\u201D!"));

    // 6 + 248 + a break (2) + 2 = 258: the last three characters go, the
    // break whole.
    QPlainTextEdit* description = dialog.descriptionBox();
    description->moveCursor(QTextCursor::End);
    const QString x248(248, u'x');
    description->insertPlainText(QString::fromUtf8("\u0100") + x248 + "\nab");
    EXPECT_EQ(description->toPlainText(), "Taunts" + x248);
    description->undo();
    EXPECT_EQ(description->toPlainText(), "Taunts");
    description->redo();
    EXPECT_EQ(description->toPlainText(), "Taunts" + x248);
    description->moveCursor(QTextCursor::Start);
    description->insertPlainText(QString::fromUtf8("\u20AC\u0436"));
    EXPECT_EQ(description->toPlainText(), QString::fromUtf8("\u20AC") + "Taunts" + x248);

    Click(dialog.okButton());
    EXPECT_EQ((Texts{bank.credits.author, bank.credits.description, bank.credits.dateFinished}),
        (Texts{"K\x80m\xE9", "\x80Taunts" + std::string(248, 'x'), "\x93" "01/02/03\x94!"}));
}

// The dialog opens in the author box with its text selected; tabbing into
// the description selects its text too, so typing replaces either.
TEST(CreditsDialogTest, TabbingIntoTheDescriptionSelectsIt)
{
    FakeDesktop desktop;
    SoundBank bank;
    CreditsDialog dialog(bank, desktop);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_TRUE(dialog.authorBox()->hasFocus());
    EXPECT_EQ(dialog.authorBox()->selectedText(), "Anonymous");
    QTest::keyClick(dialog.authorBox(), Qt::Key_Tab);
    ASSERT_TRUE(dialog.descriptionBox()->hasFocus());
    Type(dialog.descriptionBox(), "Taunts");
    EXPECT_EQ(dialog.descriptionBox()->toPlainText(), "Taunts");
}

// Each way of dismissing a dialog is tried and must leave it open; then a
// button ends it with its choice and result code.
TEST(UnknownBlockDialogTest, OnlyTheButtonsEndItEachWithItsChoice)
{
    const struct {
        std::function<void(UnknownBlockDialog&)> attempt;
        QPushButton* (UnknownBlockDialog::*button)() const;
        UnknownBlockChoice choice;
        int result;
    } cases[] = {
        {[](UnknownBlockDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
            &UnknownBlockDialog::skipButton, UnknownBlockChoice::SkipBlock, 1},
        {[](UnknownBlockDialog& d) { QTest::keyClick(d.forceButton(), Qt::Key_Return); },
            &UnknownBlockDialog::stopButton, UnknownBlockChoice::StopConversion, 0},
        {[](UnknownBlockDialog& d) { QTest::keyClick(d.blockIdField(), Qt::Key_Enter, Qt::KeypadModifier); },
            &UnknownBlockDialog::forceButton, UnknownBlockChoice::ForceConversion, 2},
        {[](UnknownBlockDialog& d) { EXPECT_FALSE(d.close()); },
            &UnknownBlockDialog::skipButton, UnknownBlockChoice::SkipBlock, 1},
    };
    QWidget owner;
    for (const auto& c : cases) {
        int result = -1;
        QTimer::singleShot(0, [&] {
            auto* shown = qobject_cast<UnknownBlockDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->parentWidget(), &owner);
            QObject::connect(shown, &QDialog::finished, [&result](int r) { result = r; });
            c.attempt(*shown);
            EXPECT_TRUE(shown->isVisible());
            QTest::mouseClick((shown->*c.button)(), Qt::LeftButton);
        });
        EXPECT_EQ(RunUnknownBlockDialog({3, 12, 70000}, &owner), c.choice);
        EXPECT_EQ(result, c.result);
    }
}

// The fields show the numbers as unsigned decimals.
TEST(UnknownBlockDialogTest, OpensCollapsedWithReadOnlyFieldsAndDetailsGrowAndShrinkByTheStripHeight)
{
    UnknownBlockDialog dialog({-1, 12, UINT32_MAX});
    QStringList fields;
    for (const QLineEdit* field : {dialog.soundNumberField(), dialog.blockIdField(), dialog.blockLengthField()}) {
        fields << field->text();
        EXPECT_TRUE(field->isReadOnly());
    }
    EXPECT_EQ(fields, (QStringList{"4294967295", "12", "4294967295"}));
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

// Neither dialog can be resized by the user: its minimum and maximum size
// are the size it shows at, the unknown-block dialog's with the details
// strip shown and hidden.
TEST(DialogSizeTest, TheCreditsAndUnknownBlockDialogsHaveAFixedSize)
{
    FakeDesktop desktop;
    SoundBank bank;
    CreditsDialog credits(bank, desktop);
    UnknownBlockDialog unknown({3, 12, 70000});
    const auto expectFixed = [](QDialog& dialog, const char* what) {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog)) << what;
        EXPECT_EQ(dialog.minimumSize(), dialog.size()) << what;
        EXPECT_EQ(dialog.maximumSize(), dialog.size()) << what;
    };
    expectFixed(credits, "Credits");
    expectFixed(unknown, "unknown block, collapsed");
    QTest::mouseClick(unknown.detailsButton(), Qt::LeftButton);
    expectFixed(unknown, "unknown block, with details");
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
