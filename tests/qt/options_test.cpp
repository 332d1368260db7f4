// The Options sheet driven with real clicks and keys: that they reach the
// core's OptionsSession, whose rules options_rules_test checks, and what
// only the widgets do.

#include "qt/settings/optionssheet.h"
#include "settings/options.h"
#include "tests/qt/guitest.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fakesettingsstore.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWindow>

#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace jbx::testing {
namespace {

// The sheet's named widget; a missing one fails the script and cancels the sheet.
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

// A radio button is clicked on its round indicator: its middle may lie
// beyond the text, where a click does nothing.
void Click(QDialog& sheet, const char* name)
{
    QWidget& target = W(sheet, name);
    const bool radio = qobject_cast<QRadioButton*>(&target) != nullptr;
    QTest::mouseClick(&target, Qt::LeftButton, Qt::NoModifier,
                      radio ? QPoint(6, target.height() / 2) : target.rect().center());
}

void Cancel(QDialog& sheet) { QTest::mouseClick(&Button(sheet, QDialogButtonBox::Cancel), Qt::LeftButton); }

void SelectTab(QDialog& sheet, OptionsPage page)
{
    QTabBar* bar = W<QTabWidget>(sheet, "pages").tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(int(page)).center());
}

class OptionsSheetTest : public ::testing::Test {
protected:
    // Shows the sheet and runs drive once it is on screen; drive must close
    // it. The association is recorded among the store's events, so its order
    // against the writes shows.
    bool Show(const std::function<void(QDialog&)>& drive)
    {
        ModalScript script{[&](QWidget* modal) {
            auto& sheet = static_cast<QDialog&>(*modal);
            eventsAtOpen_ = store_.events.size();
            try {
                drive(sheet);
            } catch (const std::runtime_error& missing) {
                ADD_FAILURE() << missing.what();
            }
            if (sheet.isVisible()) {
                ADD_FAILURE() << "the script left the Options sheet open";
                sheet.reject();
            }
        }};
        const bool ok = ShowOptionsSheet(&owner_, store_, desktop_, [this] { store_.events.push_back("associate"); });
        EXPECT_EQ(script.pending(), 0u) << "the Options sheet did not open";
        return ok;
    }

    // What the last showing did to the store after it had opened.
    std::vector<std::string> ClosingEvents() const
    {
        return {store_.events.begin() + std::ptrdiff_t(eventsAtOpen_), store_.events.end()};
    }

    QWidget owner_;
    FakeSettingsStore store_;
    FakeDesktop desktop_;
    std::size_t eventsAtOpen_ = 0;
};

// Driven by keys: the focused push button is the default one, so Enter on
// Associate presses it and leaves the sheet open, and Return on a radio
// button is OK's. Every tab is visited twice over: each page is built when
// first selected and never again, fits the sheet's one fixed size, and
// leaves Apply disabled.
TEST_F(OptionsSheetTest, OkByKeysAfterVisitingEveryPageAssociatesThenWritesBoth)
{
    store_.values = {{"UseLastOpenDir", "no"}, {"UseLastSaveDir", "yes"}};
    EXPECT_TRUE(Show([this](QDialog& sheet) {
        EXPECT_EQ(sheet.parentWidget(), &owner_);
        EXPECT_FALSE(W<QRadioButton>(sheet, "openLastUsedRadio").isChecked());
        EXPECT_TRUE(W<QRadioButton>(sheet, "saveLastUsedRadio").isChecked());
        W(sheet, "associateButton").setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        EXPECT_TRUE(sheet.isVisible()) << "Enter on Associate closed the sheet";
        EXPECT_EQ(store_.events.size(), eventsAtOpen_) << "associated while the sheet was open";
        const QSize opened = sheet.size();
        EXPECT_EQ(sheet.minimumSize(), opened);
        EXPECT_EQ(sheet.maximumSize(), opened);
        const char* const pages[] = {"filePage", "contactPage", "knownBugsPage", "tipsPage", "aboutPage"};
        for (int i = 1; i < 5; ++i) {
            EXPECT_EQ(sheet.findChild<QWidget*>(pages[i]), nullptr) << pages[i];
            SelectTab(sheet, OptionsPage(i));
            QWidget* built = &W(sheet, pages[i]);
            SelectTab(sheet, OptionsPage(i - 1));
            SelectTab(sheet, OptionsPage(i));
            EXPECT_EQ(sheet.findChildren<QWidget*>(pages[i]), QList<QWidget*>{built}) << "built again";
            QApplication::processEvents();
            EXPECT_EQ(sheet.size(), opened) << pages[i];
            EXPECT_LE(built->minimumSizeHint().height(), built->height()) << pages[i];
            EXPECT_LE(built->minimumSizeHint().width(), built->width()) << pages[i];
            EXPECT_FALSE(Button(sheet, QDialogButtonBox::Apply).isEnabled()) << pages[i];
        }
        // The long texts: whole, read-only, and Return or Enter in them is not OK.
        for (const auto& [name, page, text] : {std::tuple{"knownBugsText", OptionsPage::KnownBugs, kKnownBugsText},
                                               std::tuple{"tipsText", OptionsPage::Tips, kTipsText}}) {
            SelectTab(sheet, page);
            QPlainTextEdit& box = W<QPlainTextEdit>(sheet, name);
            box.setFocus();
            QTest::keyClicks(&box, "typed");
            QTest::keyClick(&box, Qt::Key_Return);
            QTest::keyClick(&box, Qt::Key_Enter);
            EXPECT_TRUE(sheet.isVisible()) << name;
            // The box shows each CRLF as one line break.
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
    EXPECT_EQ(ClosingEvents(), (std::vector<std::string>{"associate", "open", "write UseLastOpenDir=yes", "close",
                                                         "open", "write UseLastSaveDir=yes", "close"}));
}

// Each way of closing the sheet but OK writes nothing and does not
// associate. On the way, real clicks on the About icon and on "Written by"
// reach the session, and its answer reaches the description (the counting
// itself is the core's): i clicks the icon, W "Written by" with Shift held.
// Each showing counts anew: a count kept from the last one would make the
// second's "W" a surprise.
TEST_F(OptionsSheetTest, CancelEscapeAndCloseWriteNothingAndAboutClicksReachTheDescription)
{
    const struct {
        std::function<void(QDialog&)> dismiss;
        const char* clicks;
        bool surprise;
    } ways[] = {{Cancel, "iiiW", true},
        {[](QDialog& sheet) { QTest::keyClick(&sheet, Qt::Key_Escape); }, "W", false},
        // The same close request the window manager's close button makes.
        {[](QDialog& sheet) { sheet.windowHandle()->close(); }, "", false}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.clicks);
        store_.values = {{"UseLastOpenDir", "yes"}, {"UseLastSaveDir", "no"}};
        EXPECT_FALSE(Show([&](QDialog& sheet) {
            Click(sheet, "associateButton");
            Click(sheet, "saveLastUsedRadio");
            SelectTab(sheet, OptionsPage::About);
            for (const char* click = way.clicks; *click != '\0'; ++click) {
                desktop_.shift = *click == 'W';
                Click(sheet, desktop_.shift ? "writtenByLabel" : "aboutIcon");
            }
            desktop_.shift = false;
            const QString description = W<QLabel>(sheet, "descriptionLabel").text();
            EXPECT_EQ(description.toStdString() == kSurpriseText, way.surprise);
            way.dismiss(sheet);
        }));
        EXPECT_EQ(ClosingEvents(), std::vector<std::string>{});
    }
}

} // namespace
} // namespace jbx::testing
