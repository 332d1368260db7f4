// The Credits dialog and the unknown voice block "Warning" dialog, driven
// with real keys and clicks. The Credits rules themselves are pinned by
// credits_test; here, what only the widgets show.

#include "audio/voiceconvert.h"
#include "bank/soundbank.h"
#include "qt/dialogs/creditsdialog.h"
#include "qt/dialogs/unknownblockdialog.h"
#include "tests/qt/guitest.h"
#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

using Texts = std::vector<std::string>;

// Replaces what the box shows by typing text key by key; '\n' is the Return key.
void Type(QWidget* box, const std::string& text)
{
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    for (const char c : text)
        c == '\n' ? QTest::keyClick(box, Qt::Key_Return) : QTest::keyClick(box, c);
}

void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

Texts Boxes(const CreditsDialog& d)
{
    return {d.authorBox()->text().toStdString(), d.descriptionBox()->toPlainText().toStdString(),
            d.dateBox()->text().toStdString()};
}

Texts Stored(const SoundBank& bank)
{
    return {bank.credits.author, bank.credits.description, bank.credits.dateFinished};
}

void ExpectFixedSize(QDialog& dialog)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.minimumSize(), dialog.size());
    EXPECT_EQ(dialog.maximumSize(), dialog.size());
}

// The form's templates, shown while the credits hold nothing. The date is
// spelt so that no compiler takes it for trigraphs.
const Texts kTemplates = {"Anonymous", "None Entered", "\?\?/\?\?/\?\?"};

TEST(CreditsDialogTest, WhatEachWayOfClosingItStoresAndConfirms)
{
    const struct {
        const char* name;
        bool loaded;
        std::function<void(CreditsDialog&, FakeDesktop&)> act;
        Texts stored;
        bool accepted, confirmed;
    } cases[] = {
        // Placing the texts is no edit.
        {"OK untouched", false, [](CreditsDialog& d, FakeDesktop&) { Click(d.okButton()); }, {"", "", ""}, true, true},
        {"Cancel", false, [](CreditsDialog& d, FakeDesktop&) {
             Type(d.authorBox(), "Kim");
             Click(d.cancelButton());
         }, {"", "", ""}, false, false},
        {"Esc", false, [](CreditsDialog& d, FakeDesktop&) {
             Type(d.authorBox(), "Kim");
             QTest::keyClick(d.descriptionBox(), Qt::Key_Escape);
         }, {"", "", ""}, false, false},
        // Return is a line break in the description and OK elsewhere.
        {"Enter", false, [](CreditsDialog& d, FakeDesktop&) {
             Type(d.descriptionBox(), "one\ntwo");
             EXPECT_TRUE(d.isVisible());
             Type(d.authorBox(), "x\n");
         }, {"x", "one\r\ntwo", kTemplates[2]}, true, true},
        // What Erase places is no edit either.
        {"Erase", true, [](CreditsDialog& d, FakeDesktop& desktop) {
             desktop.messageAnswers = {MessageAnswer::Yes};
             Type(d.dateBox(), "4");
             Click(d.eraseButton());
             EXPECT_EQ(Boxes(d), (Texts{"", std::string(kNoCreditsText), ""}));
             EXPECT_FALSE(d.creditsEdited());
             Click(d.cancelButton());
         }, {"", "", ""}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDesktop desktop;
        SoundBank bank;
        if (c.loaded)
            bank.credits = {"Kim", "Tau\r\nnts", "01/02/03"};
        CreditsDialog dialog(bank, desktop);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "Credits");
        EXPECT_EQ(Boxes(dialog), (c.loaded ? Texts{"Kim", "Tau\nnts", "01/02/03"} : kTemplates));
        c.act(dialog, desktop);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted);
        EXPECT_EQ(Stored(bank), c.stored);
        EXPECT_EQ(bank.creditsConfirmed, c.confirmed);
    }
}

// The dialog opens in the author box with its text selected; tabbing into
// the description selects its text too, so typing replaces either. The
// boxes show and take Windows-1252: the author and date boxes refuse what
// the code page lacks, as typed by an input method; a paste into the
// description loses it and its excess in the paste's own undo step.
TEST(CreditsDialogTest, TheBoxesSelectAsTheyAreEnteredAndTakeOnlyWhatTheBankHolds)
{
    FakeDesktop desktop;
    SoundBank bank;
    bank.credits = {"Kim", "\x80", "\x93" "01/02/03\x94"};
    CreditsDialog dialog(bank, desktop);
    dialog.show();
    ExpectFixedSize(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_TRUE(dialog.authorBox()->hasFocus());
    EXPECT_EQ(dialog.authorBox()->selectedText(), "Kim");
    EXPECT_EQ(dialog.authorBox()->maxLength(), 100);
    EXPECT_EQ(dialog.dateBox()->maxLength(), 100);
    EXPECT_EQ(dialog.dateBox()->text(), QString::fromUtf8("\u201C01/02/03\u201D"));
    for (const auto& [box, typed] : {std::pair{dialog.authorBox(), "K\u20ACm\u0436\u00E9"}, {dialog.dateBox(), "\u0100!"}})
        for (const QChar c : QString::fromUtf8(typed))
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_EQ(dialog.authorBox()->text(), QString::fromUtf8("K\u20ACm\u00E9"));

    QTest::keyClick(dialog.authorBox(), Qt::Key_Tab);
    QPlainTextEdit* description = dialog.descriptionBox();
    ASSERT_TRUE(description->hasFocus());
    EXPECT_EQ(description->textCursor().selectedText(), QString::fromUtf8("\u20AC"));
    // 1 + 253 + a break (2) + 2 = 258: the last three characters go, the
    // break whole.
    description->moveCursor(QTextCursor::End);
    description->insertPlainText(QString::fromUtf8("\u0100") + QString(253, u'x') + "\nab");
    EXPECT_EQ(description->toPlainText(), QString::fromUtf8("\u20AC") + QString(253, u'x'));
    description->undo();
    EXPECT_EQ(description->toPlainText(), QString::fromUtf8("\u20AC"));

    Click(dialog.okButton());
    EXPECT_EQ(Stored(bank), (Texts{"K\x80m\xE9", "\x80", "\x93" "01/02/03\x94!"}));
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
            Click((shown->*c.button)());
        });
        EXPECT_EQ(RunUnknownBlockDialog({3, 12, 70000}, &owner), c.choice);
        EXPECT_EQ(result, c.result);
    }
}

// The fields show the numbers as unsigned decimals. Details grows the
// window by the strip's height and shrinks it back; either way the user
// cannot resize it.
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
    ExpectFixedSize(dialog);
    EXPECT_FALSE(dialog.detailsStrip()->isVisible());
    EXPECT_EQ(dialog.detailsButton()->text().toStdString(), kShowDetailsText);
    const QRect collapsed = dialog.geometry();
    Click(dialog.detailsButton());
    EXPECT_EQ(dialog.detailsButton()->text().toStdString(), kHideDetailsText);
    ASSERT_TRUE(dialog.detailsStrip()->isVisible());
    EXPECT_GT(dialog.detailsStrip()->height(), 0);
    EXPECT_EQ(dialog.geometry(), collapsed.adjusted(0, 0, 0, dialog.detailsStrip()->height()));
    ExpectFixedSize(dialog);
    Click(dialog.detailsButton());
    EXPECT_FALSE(dialog.detailsStrip()->isVisible());
    EXPECT_EQ(dialog.geometry(), collapsed);
}

} // namespace
} // namespace jbx::testing
