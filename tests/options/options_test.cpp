// The Options sheet driven with real clicks and keys on Qt's offscreen
// platform: what OK, Cancel, Escape and the close button do with the File
// page's choices and the Associate button, how the pages come to exist, the
// long texts, and the About page's icon clicks.

#include "settings/optionssheet.h"
#include "tests/settings/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

const QStringList kTabs = {"File", "Contact", "Known Bugs", "Tips", "About"};
const QString kDescription =
    "This program creates JeerBox files for use with games such as Arena Brawl and Castle Siege.";
const QString kSurprise = "\nPretty cool, huh?";

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

// A radio button is clicked on its text: its middle may lie beyond the text,
// where a click does nothing.
void Click(QWidget& target, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QPoint at = target.rect().center();
    if (auto* radio = qobject_cast<QRadioButton*>(&target)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        at = radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio).center();
    }
    QTest::mouseClick(&target, Qt::LeftButton, modifiers, at);
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

bool Checked(QDialog& sheet, const char* radio) { return W<QRadioButton>(sheet, radio).isChecked(); }

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
        const bool ok = ShowOptionsSheet(&owner_, store_, desktop_, [this] {
            ++associations_;
            store_.events.push_back("associate");
        });
        EXPECT_TRUE(driven) << "the Options sheet did not open";
        return ok;
    }

    // What the last showing did to the store after it had opened.
    std::vector<std::string> ClosingEvents() const
    {
        return {store_.events.begin() + std::ptrdiff_t(eventsAtOpen_), store_.events.end()};
    }

    // The events of OK: both settings written, Open first.
    static std::vector<std::string> Writes(const std::string& open, const std::string& save)
    {
        return {"open", "write UseLastOpenDir=" + open, "close",
                "open", "write UseLastSaveDir=" + save, "close"};
    }

    QWidget owner_;
    FakeSettingsStore store_;
    FakeDesktop desktop_;
    int associations_ = 0;
    std::size_t eventsAtOpen_ = 0;
};

TEST_F(OptionsSheetTest, OkUntouchedShowsTheStoredChoicesAndWritesBothBack)
{
    const struct {
        decltype(FakeSettingsStore::values) stored;
        bool shownOpen, shownSave;   // "Last Used Directory" checked
        const char *writtenOpen, *writtenSave;
    } cases[] = {
        {{}, false, false, "no", "no"},
        {{{"UseLastOpenDir", "yes"}, {"UseLastSaveDir", "no"}}, true, false, "yes", "no"},
        // Any text but exactly "no" is yes, and is written back as "yes".
        {{{"UseLastOpenDir", "No"}, {"UseLastSaveDir", ""}}, true, true, "yes", "yes"},
    };
    for (const auto& c : cases) {
        store_.values = c.stored;
        EXPECT_TRUE(Show([&](QDialog& sheet) {
            EXPECT_EQ(Checked(sheet, "openLastUsedRadio"), c.shownOpen);
            EXPECT_EQ(Checked(sheet, "saveLastUsedRadio"), c.shownSave);
            Ok(sheet);
        }));
        EXPECT_EQ(ClosingEvents(), Writes(c.writtenOpen, c.writtenSave));
    }
    EXPECT_EQ(associations_, 0);
}

// Associate pressed twice, Last Used Directory for Open and every tab
// visited, then OK.
TEST_F(OptionsSheetTest, OkAfterChangesAssociatesOnceThenWritesBothWithApplyNeverEnabled)
{
    store_.values = {{"UseLastOpenDir", "no"}, {"UseLastSaveDir", "yes"}};
    EXPECT_TRUE(Show([this](QDialog& sheet) {
        QPushButton& apply = Button(sheet, QDialogButtonBox::Apply);
        EXPECT_FALSE(apply.isEnabled()) << "at opening";
        Click(sheet, "associateButton");
        Click(sheet, "associateButton");
        EXPECT_EQ(associations_, 0) << "associated while the sheet was open";
        Click(sheet, "openLastUsedRadio");
        for (const QString& tab : kTabs.mid(1)) {
            SelectTab(sheet, tab);
            EXPECT_FALSE(apply.isEnabled()) << "on " << tab.toStdString();
        }
        EXPECT_EQ(W<QTabWidget>(sheet, "pages").currentIndex(), 4);
        Ok(sheet);
    }));
    // The Save choice must survive the Open click: each pair is its own group.
    std::vector<std::string> expected = Writes("yes", "yes");
    expected.insert(expected.begin(), "associate");
    EXPECT_EQ(ClosingEvents(), expected);
}

TEST_F(OptionsSheetTest, CancelEscapeAndCloseWriteNothingAndDoNotAssociate)
{
    const struct {
        const char* name;
        void (*dismiss)(QDialog&);
    } ways[] = {{"Cancel", Cancel},
        {"Escape", [](QDialog& sheet) {
             QWidget* focus = QApplication::focusWidget();
             QTest::keyClick(focus != nullptr && sheet.isAncestorOf(focus) ? focus : &sheet, Qt::Key_Escape);
         }},
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
    EXPECT_EQ(associations_, 0);
}

TEST_F(OptionsSheetTest, IsAModalSheetWhosePagesAreBuiltWhenFirstSelectedAndKept)
{
    Show([this](QDialog& sheet) {
        EXPECT_EQ(sheet.windowTitle(), "Options");
        EXPECT_EQ(sheet.parentWidget(), &owner_);
        const QTabWidget& tabs = W<QTabWidget>(sheet, "pages");
        QStringList titles;
        for (int i = 0; i < tabs.count(); ++i)
            titles << tabs.tabText(i);
        EXPECT_EQ(titles, kTabs);
        EXPECT_EQ(tabs.currentIndex(), 0);

        const char* const pages[] = {"filePage", "contactPage", "knownBugsPage", "tipsPage", "aboutPage"};
        for (int i = 1; i < 5; ++i) {
            EXPECT_EQ(sheet.findChild<QWidget*>(pages[i]), nullptr) << pages[i];
            SelectTab(sheet, kTabs[i]);
            QWidget* built = &W(sheet, pages[i]);
            SelectTab(sheet, "File");
            SelectTab(sheet, kTabs[i]);
            EXPECT_EQ(sheet.findChildren<QWidget*>(pages[i]), QList<QWidget*>{built}) << "built again";
        }
        Cancel(sheet);
    });
}

TEST_F(OptionsSheetTest, KnownBugsAndTipsAreShownWholeInReadOnlyBoxes)
{
    const struct {
        const char* tab;
        const char* box;
        int length;       // with its CRLF line breaks
        int paragraphs;   // each ends with an empty line
        const char* pieces[2];
    } texts[] = {
        {"Known Bugs", "knownBugsText", 707, 3,
            {"*  The \"Unknown Voice File Block\" dialog box's \"Details\" button doesn't work",
             "Recorder won't open it).  If anyone has this problem, please e-mail me the .VOC file.\r\n\r\n*  This"}},
        {"Tips", "tipsText", 901, 6,
            {"*  You can load and play VOC files as well as WAV files.\r\n\r\n",
             "make sure:\r\n  1. It is a valid sound file (and JBX Maker will play it).\r\n  2. It is a MONO"}},
    };
    Show([&](QDialog& sheet) {
        for (const auto& t : texts) {
            SCOPED_TRACE(t.tab);
            SelectTab(sheet, t.tab);
            QPlainTextEdit& box = W<QPlainTextEdit>(sheet, t.box);
            // The box turns each CRLF into one line break; put them back to
            // see the text as it was given.
            const QString before = box.toPlainText();
            const QString text = QString(before).replace('\n', "\r\n");
            EXPECT_EQ(text.size(), t.length);
            EXPECT_TRUE(text.startsWith("*  ") && text.endsWith("\r\n\r\n"));
            EXPECT_EQ(text.count("\r\n\r\n"), t.paragraphs);
            for (const char* piece : t.pieces)
                EXPECT_TRUE(text.contains(QString::fromLatin1(piece))) << piece;

            EXPECT_TRUE(box.isReadOnly());
            box.setFocus();
            QTest::keyClicks(&box, "typed");
            QTest::keyClick(&box, Qt::Key_Return);
            EXPECT_EQ(box.toPlainText(), before);
        }
        Cancel(sheet);
    });
}

// Plays a script on the About page, one letter an action: i clicks the icon,
// w clicks "Written by", W the same with Shift held, t goes to the Tips tab
// and back.
void Play(QDialog& sheet, FakeDesktop& desktop, const std::string& script)
{
    for (const char action : script) {
        if (action == 'i') {
            Click(sheet, "aboutIcon");
        } else if (action == 't') {
            SelectTab(sheet, "Tips");
            SelectTab(sheet, "About");
        } else {
            desktop.shift = action == 'W';
            Click(W(sheet, "writtenByLabel"), desktop.shift ? Qt::ShiftModifier : Qt::NoModifier);
            desktop.shift = false;
        }
    }
}

TEST_F(OptionsSheetTest, AboutShiftClickSurprisesOnlyAfterExactlyThreeIconClicksEachWithItsSound)
{
    InitOptionsResources();
    QFile file(kAboutSoundPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray resource = file.readAll();
    const Bytes sound(resource.begin(), resource.end());

    const struct {
        std::string script;
        bool surprise;
    } cases[] = {{"iiiW", true},
        // Each case is a new showing: a count kept from the last one would
        // make this a surprise.
        {"W", false}, {"iiiiW", false}, {"iiiwW", true}, {"iitiW", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        desktop_.played.clear();
        Show([&](QDialog& sheet) {
            SelectTab(sheet, "About");
            Play(sheet, desktop_, c.script);
            EXPECT_EQ(W<QLabel>(sheet, "descriptionLabel").text(), c.surprise ? kSurprise : kDescription);
            Cancel(sheet);
        });
        // Every icon click plays the About sound from the start, whatever the
        // count says.
        ASSERT_EQ(desktop_.played.size(), std::size_t(std::count(c.script.begin(), c.script.end(), 'i')));
        for (const SoundData& played : desktop_.played) {
            ASSERT_NE(played, nullptr);
            EXPECT_EQ(*played, sound);
        }
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
