// The Options sheet driven with real clicks and keys on Qt's offscreen
// platform: that the clicks and keys reach the core's OptionsSession (whose
// rules options_rules_test checks), how the pages come to exist, that Apply
// is never enabled, and that the long texts show whole and read-only.

#include "qt/settings/optionssheet.h"
#include "settings/options.h"
#include "tests/support/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"

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
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace jbx::testing {
namespace {

const QStringList kTabs = {"File", "Contact", "Known Bugs", "Tips", "About"};
// The form's description; only the surprise replaces it.
const QString kDescription =
    "This program creates JeerBox files for use with games such as Arena Brawl and Castle Siege.";
const QString kSurprise = QString::fromStdString(std::string(kSurpriseText));

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
void Click(QWidget& target, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const bool radio = qobject_cast<QRadioButton*>(&target) != nullptr;
    QTest::mouseClick(&target, Qt::LeftButton, modifiers,
                      radio ? QPoint(6, target.height() / 2) : target.rect().center());
}

void Click(QDialog& sheet, const char* name) { Click(W(sheet, name)); }
void Ok(QDialog& sheet) { Click(Button(sheet, QDialogButtonBox::Ok)); }
void Cancel(QDialog& sheet) { Click(Button(sheet, QDialogButtonBox::Cancel)); }

void SelectTab(QDialog& sheet, const QString& title)
{
    QTabBar* bar = W<QTabWidget>(sheet, "pages").tabBar();
    for (int i = 0; i < bar->count(); ++i)
        if (bar->tabText(i) == title)
            return QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(i).center());
    throw std::runtime_error("the sheet has no tab " + title.toStdString());
}

// A long text page: its text whole, with its CRLF line breaks, read-only, and
// keeping Enter to itself.
void ExpectLongText(QDialog& sheet, const char* name, std::string_view expected)
{
    QPlainTextEdit& box = W<QPlainTextEdit>(sheet, name);
    // The box turns each CRLF into one line break; put them back to see the
    // text as it was given.
    const QString before = box.toPlainText();
    EXPECT_EQ(QString(before).replace('\n', "\r\n").toStdString(), expected) << name;
    box.setFocus();
    QTest::keyClicks(&box, "typed");
    // Return and the keypad's Enter: the box has no use for them, and the
    // sheet must not take them as OK.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(&box, key);
        EXPECT_TRUE(sheet.isVisible()) << name << " closed the sheet on key " << key;
    }
    EXPECT_EQ(box.toPlainText(), before) << name;
}

class OptionsSheetTest : public ::testing::Test {
protected:
    // Shows the sheet and runs drive once it is on screen; drive must close
    // it. The association is recorded among the store's events, so its order
    // against the writes shows.
    bool Show(const std::function<void(QDialog&)>& drive)
    {
        bool driven = false;
        QTimer::singleShot(0, [&] {
            auto* sheet = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (sheet == nullptr)
                return;
            driven = true;
            eventsAtOpen_ = store_.events.size();
            try {
                drive(*sheet);
            } catch (const std::runtime_error& missing) {
                ADD_FAILURE() << missing.what();
            }
            if (sheet->isVisible()) {
                ADD_FAILURE() << "the script left the Options sheet open";
                sheet->reject();
            }
        });
        const bool ok = ShowOptionsSheet(&owner_, store_, desktop_, [this] { store_.events.push_back("associate"); });
        EXPECT_TRUE(driven) << "the Options sheet did not open";
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

// Associate pressed twice, Last Used Directory for Open and every tab
// visited, then OK. Each page is built when its tab is first selected, once.
TEST_F(OptionsSheetTest, OkAfterChangesAssociatesOnceThenWritesBothWithApplyNeverEnabled)
{
    store_.values = {{"UseLastOpenDir", "no"}, {"UseLastSaveDir", "yes"}};
    EXPECT_TRUE(Show([this](QDialog& sheet) {
        EXPECT_EQ(sheet.windowTitle(), "Options");
        EXPECT_EQ(sheet.parentWidget(), &owner_);
        EXPECT_FALSE(W<QRadioButton>(sheet, "openLastUsedRadio").isChecked());
        EXPECT_TRUE(W<QRadioButton>(sheet, "saveLastUsedRadio").isChecked());
        QPushButton& apply = Button(sheet, QDialogButtonBox::Apply);
        EXPECT_FALSE(apply.isEnabled()) << "at opening";
        Click(sheet, "associateButton");
        Click(sheet, "associateButton");
        EXPECT_EQ(store_.events.size(), eventsAtOpen_) << "associated while the sheet was open";
        Click(sheet, "openLastUsedRadio");
        const char* const pages[] = {"filePage", "contactPage", "knownBugsPage", "tipsPage", "aboutPage"};
        for (int i = 1; i < 5; ++i) {
            EXPECT_EQ(sheet.findChild<QWidget*>(pages[i]), nullptr) << pages[i];
            SelectTab(sheet, kTabs[i]);
            QWidget* built = &W(sheet, pages[i]);
            SelectTab(sheet, kTabs[i - 1]);
            SelectTab(sheet, kTabs[i]);
            EXPECT_EQ(sheet.findChildren<QWidget*>(pages[i]), QList<QWidget*>{built}) << "built again";
            EXPECT_FALSE(apply.isEnabled()) << "on " << pages[i];
        }
        SelectTab(sheet, "Known Bugs");
        ExpectLongText(sheet, "knownBugsText", kKnownBugsText);
        SelectTab(sheet, "Tips");
        ExpectLongText(sheet, "tipsText", kTipsText);
        Ok(sheet);
    }));
    // The Save choice must survive the Open click: each pair is its own group.
    EXPECT_EQ(ClosingEvents(), (std::vector<std::string>{"associate", "open", "write UseLastOpenDir=yes", "close",
                                                         "open", "write UseLastSaveDir=yes", "close"}));
}

// The focused push button is the default one: Enter on Associate presses it
// and leaves the sheet open; Enter elsewhere on the File page is OK's.
TEST_F(OptionsSheetTest, EnterPressesTheFocusedAssociateButtonAndOkOnlyFromElsewhere)
{
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(key);
        store_.values = {{"UseLastOpenDir", "no"}, {"UseLastSaveDir", "no"}};
        EXPECT_TRUE(Show([key](QDialog& sheet) {
            QWidget& associate = W(sheet, "associateButton");
            associate.setFocus();
            QTest::keyClick(&associate, key);
            EXPECT_TRUE(sheet.isVisible()) << "Enter on Associate closed the sheet";
            QWidget& radio = W(sheet, "openLastUsedRadio");
            radio.setFocus();
            QTest::keyClick(&radio, Qt::Key_Space);
            QTest::keyClick(&radio, key);
            EXPECT_FALSE(sheet.isVisible()) << "Enter on a radio button left the sheet open";
            if (sheet.isVisible())
                Cancel(sheet);
        }));
        EXPECT_EQ(ClosingEvents(), (std::vector<std::string>{"associate", "open", "write UseLastOpenDir=yes", "close",
                                                             "open", "write UseLastSaveDir=no", "close"}));
    }
}

// However the pages are visited, the sheet keeps the size it opened with,
// and the user cannot change it.
TEST_F(OptionsSheetTest, TheSheetHasOneFixedSizeOnEveryPage)
{
    Show([](QDialog& sheet) {
        const QSize opened = sheet.size();
        EXPECT_EQ(sheet.minimumSize(), opened);
        EXPECT_EQ(sheet.maximumSize(), opened);
        for (const QString& tab : kTabs) {
            SelectTab(sheet, tab);
            QApplication::processEvents();
            EXPECT_EQ(sheet.size(), opened) << tab.toStdString();
            // Each page fits the room it was laid out for.
            QWidget* page = W<QTabWidget>(sheet, "pages").currentWidget();
            EXPECT_LE(page->minimumSizeHint().height(), page->height()) << tab.toStdString();
            EXPECT_LE(page->minimumSizeHint().width(), page->width()) << tab.toStdString();
        }
        Cancel(sheet);
    });
}

TEST_F(OptionsSheetTest, CancelEscapeAndCloseWriteNothingAndDoNotAssociate)
{
    const struct {
        const char* name;
        void (*dismiss)(QDialog&);
    } ways[] = {{"Cancel", Cancel},
        {"Escape", [](QDialog& sheet) { QTest::keyClick(&sheet, Qt::Key_Escape); }},
        // The same close request the window manager's close button makes.
        {"close button", [](QDialog& sheet) { sheet.windowHandle()->close(); }}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        store_.values = {{"UseLastOpenDir", "yes"}, {"UseLastSaveDir", "no"}};
        EXPECT_FALSE(Show([&way](QDialog& sheet) {
            Click(sheet, "associateButton");
            Click(sheet, "saveLastUsedRadio");
            SelectTab(sheet, "About");
            way.dismiss(sheet);
        }));
        EXPECT_EQ(ClosingEvents(), std::vector<std::string>{});
    }
}

// Real clicks on the icon and on "Written by" reach the session, and its
// answer reaches the description; the counting itself is the core's.
TEST_F(OptionsSheetTest, AboutClicksReachTheSessionAndTheSurpriseReplacesTheDescription)
{
    const struct {
        std::string script;
        bool surprise;
    } cases[] = {{"iiiW", true},
        // Each case is a new showing: a count kept from the last one would
        // make this a surprise.
        {"W", false},
        // Leaving the About tab neither rebuilds the page nor restarts the count.
        {"iitiW", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        desktop_.played.clear();
        Show([&](QDialog& sheet) {
            SelectTab(sheet, "About");
            // One letter an action: i clicks the icon, w clicks "Written by",
            // W the same with Shift held, t goes to the Tips tab and back.
            for (const char action : c.script) {
                desktop_.shift = action == 'W';
                if (action == 'i') {
                    Click(sheet, "aboutIcon");
                } else if (action == 't') {
                    SelectTab(sheet, "Tips");
                    SelectTab(sheet, "About");
                } else {
                    Click(W(sheet, "writtenByLabel"), desktop_.shift ? Qt::ShiftModifier : Qt::NoModifier);
                }
            }
            desktop_.shift = false;
            EXPECT_EQ(W<QLabel>(sheet, "descriptionLabel").text(), c.surprise ? kSurprise : kDescription);
            Cancel(sheet);
        });
        // Every icon click plays the About sound (what it plays is the core's).
        EXPECT_EQ(desktop_.played.size(), std::size_t(std::count(c.script.begin(), c.script.end(), 'i')));
    }
}

} // namespace
} // namespace jbx::testing

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
