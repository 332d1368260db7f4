// The Credits dialog, the unknown voice block dialog and the Options sheet
// driven with real keys and clicks and heard by a screen reader; their rules
// are the core's.

#include "audio/voiceconvert.h"
#include "bank/soundbank.h"
#include "qt/dialogs/creditsdialog.h"
#include "qt/dialogs/unknownblockdialog.h"
#include "qt/settings/optionssheet.h"
#include "settings/options.h"
#include "tests/qt/guitest.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fakesettingsstore.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QWindow>

#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace jbx::testing {
namespace {

using Texts = std::vector<std::string>;

void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

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

class CreditsDialogTest : public ::testing::Test {
protected:
    void SetUp() override { dialog.show(); }
    FakeDesktop desktop;
    SoundBank bank{.slots = {}, .bankTitle = {}, .credits = {"Kim", "\x80", "01/02/03"}};
    CreditsDialog dialog{bank, desktop};
};

// What Erase places is no edit.
TEST_F(CreditsDialogTest, EraseAndCancelReachTheBank)
{
    desktop.messageAnswers = {MessageAnswer::Yes};
    Click(dialog.eraseButton());
    EXPECT_EQ(dialog.descriptionBox()->toPlainText().toStdString(), kNoCreditsText);
    EXPECT_FALSE(dialog.creditsEdited());
    Click(dialog.cancelButton());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Stored(bank), (Texts{"", "", ""}));
}

// Characters come as an input method sends them; a paste into the
// description loses what the bank can't hold in the paste's own undo step.
TEST_F(CreditsDialogTest, KeysReachTheNamedBoxesAndTheBankTakesTheirBytes)
{
    ExpectFixedSize(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ExpectAnnounced(&dialog, 6);
    EXPECT_TRUE(dialog.authorBox()->hasFocus());
    EXPECT_EQ(dialog.authorBox()->maxLength(), int(kAuthorLimit));
    EXPECT_EQ(dialog.dateBox()->maxLength(), int(kDateFinishedLimit));
    for (const auto& [box, typed] :
         {std::pair{dialog.authorBox(), "K\u20ACm\u0436\u00E9"}, {dialog.dateBox(), "\u0100!"}})
        for (const QChar c : QString::fromUtf8(typed))
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_EQ(dialog.authorBox()->text(), QString::fromUtf8("K\u20ACm\u00E9"));

    QTest::keyClick(dialog.authorBox(), Qt::Key_Tab);
    QPlainTextEdit* description = dialog.descriptionBox();
    ASSERT_TRUE(description->hasFocus());
    EXPECT_EQ(description->textCursor().selectedText(), QString::fromUtf8("\u20AC"));
    // 1 + 253 + a break (2) + 2 = 258: the break, counted as two, goes whole with ab.
    description->moveCursor(QTextCursor::End);
    description->insertPlainText(QString::fromUtf8("\u0100") + QString(253, u'x') + "\nab");
    EXPECT_EQ(description->toPlainText(), QString::fromUtf8("\u20AC") + QString(253, u'x'));
    description->undo();
    EXPECT_EQ(description->toPlainText(), QString::fromUtf8("\u20AC"));

    // Return is a line break in the description and OK elsewhere.
    QTest::keyClicks(description, "one");
    QTest::keyClick(description, Qt::Key_Return);
    QTest::keyClicks(description, "two");
    QTest::keyClick(dialog.authorBox(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Stored(bank), (Texts{"K\x80m\xE9", "\x80one\r\ntwo", "01/02/03!"}));
}

// Each way of dismissing it must leave it open; then a button ends it.
TEST(UnknownBlockDialogTest, OnlyTheButtonsEndItEachWithItsChoice)
{
    const struct {
        std::function<void(UnknownBlockDialog&)> attempt;
        QPushButton* (UnknownBlockDialog::*button)() const;
        UnknownBlockChoice choice;
    } cases[] = {
        {[](UnknownBlockDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
            &UnknownBlockDialog::skipButton, UnknownBlockChoice::SkipBlock},
        {[](UnknownBlockDialog& d) { QTest::keyClick(d.forceButton(), Qt::Key_Return); },
            &UnknownBlockDialog::stopButton, UnknownBlockChoice::StopConversion},
        {[](UnknownBlockDialog& d) { EXPECT_FALSE(d.close()); },
            &UnknownBlockDialog::forceButton, UnknownBlockChoice::ForceConversion},
    };
    QWidget owner;
    for (const auto& c : cases) {
        ModalScript script{[&](QWidget* modal) {
            auto* shown = qobject_cast<UnknownBlockDialog*>(modal);
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->parentWidget(), &owner);
            c.attempt(*shown);
            EXPECT_TRUE(shown->isVisible());
            Click((shown->*c.button)());
        }};
        EXPECT_EQ(RunUnknownBlockDialog({3, 12, 70000}, &owner), c.choice);
    }
}

// The sound number shows as an unsigned decimal, a negative one included.
TEST(UnknownBlockDialogTest, OpensCollapsedAndItsNamedDetailsGrowAndShrinkItByTheStripHeight)
{
    UnknownBlockDialog dialog({-1, 12, 70000});
    const QStringList fields{
        dialog.soundNumberField()->text(), dialog.blockIdField()->text(), dialog.blockLengthField()->text()};
    EXPECT_EQ(fields, (QStringList{"4294967295", "12", "70000"}));
    dialog.show();
    ExpectFixedSize(dialog);
    const QRect collapsed = dialog.geometry();
    Click(dialog.detailsButton());
    EXPECT_EQ(dialog.detailsButton()->text().toStdString(), kHideDetailsText);
    ASSERT_TRUE(dialog.detailsStrip()->isVisible());
    ExpectAnnounced(&dialog, 7);
    EXPECT_EQ(dialog.geometry(), collapsed.adjusted(0, 0, 0, dialog.detailsStrip()->height()));
    Click(dialog.detailsButton());
    EXPECT_EQ(dialog.geometry(), collapsed);
}

// The sheet's named widget; a missing one ends the run, naming it.
template <class T = QWidget>
T& W(QDialog& sheet, const char* name)
{
    if (T* found = sheet.findChild<T*>(QString::fromLatin1(name)))
        return *found;
    throw std::runtime_error(std::string("the sheet has no widget ") + name);
}

QPushButton& Button(QDialog& sheet, QDialogButtonBox::StandardButton which)
{
    return *W<QDialogButtonBox>(sheet, "buttons").button(which);
}

void Cancel(QDialog& sheet) { QTest::mouseClick(&Button(sheet, QDialogButtonBox::Cancel), Qt::LeftButton); }

void SelectTab(QDialog& sheet, OptionsPage page)
{
    QTabBar* bar = W<QTabWidget>(sheet, "pages").tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(int(page)).center());
}

class OptionsSheetTest : public ::testing::Test {
protected:
    // drive must close the sheet; the events then hold what closing it did.
    bool Show(const std::function<void(QDialog&)>& drive)
    {
        ModalScript script{[&](QWidget* modal) {
            auto& sheet = static_cast<QDialog&>(*modal);
            store_.events.clear();
            drive(sheet);
            if (sheet.isVisible()) {
                ADD_FAILURE() << "the script left the Options sheet open";
                sheet.reject();
            }
        }};
        const bool ok = ShowOptionsSheet(&owner_, store_, desktop_, [this] { store_.events.push_back("associate"); });
        EXPECT_EQ(script.steps.size(), 0u) << "the Options sheet did not open";
        return ok;
    }

    QWidget owner_;
    FakeSettingsStore store_;
    FakeDesktop desktop_;
};

// The focused push button is the default one, so Enter on Associate presses
// it, and Return on a radio button is OK's.
TEST_F(OptionsSheetTest, OkByKeysAfterVisitingEveryPageAssociatesThenWritesBoth)
{
    store_.values = {{"UseLastOpenDir", "no"}, {"UseLastSaveDir", "yes"}};
    EXPECT_TRUE(Show([this](QDialog& sheet) {
        // Sent to the button itself: run alone, the sheet may not be the
        // active window yet, and then no widget has the focus.
        QWidget& associate = W(sheet, "associateButton");
        associate.setFocus();
        QTest::keyClick(&associate, Qt::Key_Enter);
        EXPECT_TRUE(sheet.isVisible()) << "Enter on Associate closed the sheet";
        EXPECT_EQ(store_.events, std::vector<std::string>{}) << "associated while the sheet was open";
        ExpectFixedSize(sheet);
        const char* const pages[] = {"filePage", "contactPage", "knownBugsPage", "tipsPage", "aboutPage"};
        for (int i = 1; i < 5; ++i) {
            SelectTab(sheet, OptionsPage(i));
            QWidget* built = &W(sheet, pages[i]);
            SelectTab(sheet, OptionsPage(i - 1));
            SelectTab(sheet, OptionsPage(i));
            EXPECT_EQ(sheet.findChildren<QWidget*>(pages[i]), QList<QWidget*>{built}) << "built again";
            QApplication::processEvents();
            EXPECT_LE(built->minimumSizeHint().height(), built->height()) << pages[i];
            EXPECT_LE(built->minimumSizeHint().width(), built->width()) << pages[i];
        }
        EXPECT_FALSE(Button(sheet, QDialogButtonBox::Apply).isEnabled());
        ExpectAnnounced(&sheet, 25);
        for (const auto& [name, page, text] : {std::tuple{"knownBugsText", OptionsPage::KnownBugs, kKnownBugsText},
                                               std::tuple{"tipsText", OptionsPage::Tips, kTipsText}}) {
            SelectTab(sheet, page);
            QPlainTextEdit& box = W<QPlainTextEdit>(sheet, name);
            box.setFocus();
            QTest::keyClicks(&box, "typed");
            QTest::keyClick(&box, Qt::Key_Return);
            QTest::keyClick(&box, Qt::Key_Enter);
            EXPECT_TRUE(sheet.isVisible()) << name;
            EXPECT_EQ(box.toPlainText().replace('\n', "\r\n").toStdString(), text) << name;
        }
        SelectTab(sheet, OptionsPage::File);
        QWidget& radio = W(sheet, "openLastUsedRadio");
        radio.setFocus();
        QTest::keyClick(&radio, Qt::Key_Space);
        QTest::keyClick(&radio, Qt::Key_Return);
        EXPECT_FALSE(sheet.isVisible()) << "Return on a radio button left the sheet open";
    }));
    // The Save choice must survive the Open one: each pair is its own group.
    EXPECT_EQ(store_.events, (std::vector<std::string>{"associate", "open", "write UseLastOpenDir=yes", "close",
                                                         "open", "write UseLastSaveDir=yes", "close"}));
}

// i clicks the About icon, W "Written by" with Shift held. Each showing
// counts anew: a count kept from the last would make the second's W a surprise.
TEST_F(OptionsSheetTest, CancelAndCloseWriteNothingAndAboutClicksReachTheDescription)
{
    const struct {
        std::function<void(QDialog&)> dismiss;
        const char* clicks;
        bool surprise;
    } ways[] = {{Cancel, "iiiW", true}, {[](QDialog& sheet) { sheet.windowHandle()->close(); }, "W", false}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.clicks);
        EXPECT_FALSE(Show([&](QDialog& sheet) {
            SelectTab(sheet, OptionsPage::About);
            for (const char* click = way.clicks; *click != '\0'; ++click) {
                desktop_.shift = *click == 'W';
                QTest::mouseClick(&W(sheet, desktop_.shift ? "writtenByLabel" : "aboutIcon"), Qt::LeftButton);
            }
            EXPECT_EQ(W<QLabel>(sheet, "descriptionLabel").text().toStdString() == kSurpriseText, way.surprise);
            way.dismiss(sheet);
        }));
        EXPECT_EQ(store_.events, std::vector<std::string>{});
    }
}

} // namespace
} // namespace jbx::testing
