// The Options sheet and the association in the test's own process: the real
// property sheet over the real templates, driven from timers inside its own
// modal loop, and the real registry of the Wine prefix read back afterwards.

#include "bank/soundbank.h"
#include "settings/options.h"
#include "win32/mainwindow.h"
#include "win32/optionssheet.h"
#include "win32/registryassociation.h"
#include "win32/registrystore.h"
#include "win32/resource.h"
#include "win32/widetext.h"
#include "win32/win32desktop.h"

#include "tests/win32/dialogdriver.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>

using namespace jbx;
using namespace jbx::testing;

namespace {

// ---- the registry -------------------------------------------------------

const wchar_t* const kOtherClass = L"OtherPlayer.Sound";
// A class of another program installed for all users.
const wchar_t* const kMachineClass = L"OtherApp.Bank";

std::wstring ClassesPath(const std::wstring& key)
{
    return std::wstring(kClassesKeyPath) + L"\\" + key;
}

const wchar_t* const kClassRoots[] = {L".jbx", L"jbxfile", kOtherClass, kMachineClass};

void DeleteClassKeys()
{
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        for (const wchar_t* key : kClassRoots)
            RegDeleteTreeW(root, ClassesPath(key).c_str());
}

// Creates the key under the classes and, when given, its default value.
void Put(const std::wstring& key, std::optional<std::wstring> value, HKEY root = HKEY_CURRENT_USER)
{
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, ClassesPath(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                  nullptr),
        ERROR_SUCCESS);
    if (value)
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
            DWORD((value->size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
}

// Every key below the classes' roots with its default value (nothing
// for a key without one), by its path. Each value is checked to be text
// stored with its terminator and nothing after it.
using Tree = std::map<std::wstring, std::optional<std::wstring>>;

void Collect(HKEY key, const std::wstring& path, Tree& tree)
{
    DWORD type = 0;
    DWORD bytes = 0;
    std::optional<std::wstring> value;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
        EXPECT_EQ(type, DWORD(REG_SZ)) << path;
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &bytes);
        text.resize(wcslen(text.c_str()));
        EXPECT_EQ(bytes, (text.size() + 1) * sizeof(wchar_t)) << path << " holds more than its text";
        value = text;
    }
    tree[path] = value;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            Collect(child, path + L"\\" + name, tree);
            RegCloseKey(child);
        }
    }
}

// The user's classes, or the machine's.
Tree ClassTree(HKEY root = HKEY_CURRENT_USER)
{
    Tree tree;
    for (const wchar_t* name : kClassRoots) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, ClassesPath(name).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            Collect(key, name, tree);
            RegCloseKey(key);
        }
    }
    return tree;
}

// What the association recorded for the uninstaller: each value by its
// name, numbers as "dword:N".
using Record = std::map<std::wstring, std::wstring>;

Record AssociationRecord()
{
    Record record;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Brackwater\\JBXMaker\\Association", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return record;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        DWORD type = 0;
        std::wstring data(1024, L'\0');
        DWORD bytes = DWORD(data.size() * sizeof(wchar_t));
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes)
            != ERROR_SUCCESS)
            break;
        if (type == REG_DWORD && bytes == sizeof(DWORD)) {
            DWORD number = 0;
            std::memcpy(&number, data.data(), sizeof number);
            record[name] = L"dword:" + std::to_wstring(number);
        } else if (type == REG_SZ) {
            record[name] = data.c_str();
        } else {
            record[name] = L"type " + std::to_wstring(type);
        }
    }
    RegCloseKey(key);
    return record;
}

std::wstring ProgramPath()
{
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return std::wstring(path, length);
}

// What our verb and icon add to a class.
Tree OurVerbOn(const std::wstring& className)
{
    return {
        {className + L"\\shell", L"jbx"},
        {className + L"\\shell\\jbx", L"&JBXMaker"},
        {className + L"\\shell\\jbx\\command", L"\"" + ProgramPath() + L"\" \"%1\""},
        {className + L"\\DefaultIcon", L"\"" + ProgramPath() + L"\",0"},
    };
}

Tree Merged(Tree tree, const Tree& more)
{
    for (const auto& [path, value] : more)
        tree[path] = value;
    return tree;
}

Tree FreshAssociation()
{
    return Merged({{L".jbx", L"jbxfile"}, {L"jbxfile", L"Jeer Box Sound File"}}, OurVerbOn(L"jbxfile"));
}

// Another program's class owning .jbx, with two verbs of its own.
void PutOtherOwner()
{
    Put(L".jbx", kOtherClass);
    Put(kOtherClass, L"Other Player Sound");
    Put(std::wstring(kOtherClass) + L"\\shell", L"play");
    Put(std::wstring(kOtherClass) + L"\\shell\\play\\command", L"C:\\Other\\player.exe /play \"%1\"");
    Put(std::wstring(kOtherClass) + L"\\shell\\edit\\command", L"C:\\Other\\player.exe /edit \"%1\"");
    Put(std::wstring(kOtherClass) + L"\\DefaultIcon", L"C:\\Other\\player.exe,2");
}

std::optional<std::wstring> Setting(const wchar_t* name)
{
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

void PutSetting(const wchar_t* name, const std::optional<std::wstring>& value)
{
    if (!value)
        return;
    RegSetKeyValueW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), name, REG_SZ, value->c_str(),
        DWORD((value->size() + 1) * sizeof(wchar_t)));
}

void SetKey(int key, bool down)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[key] = down ? 0x80 : 0;
    SetKeyboardState(state);
}

// ---- driving the sheet --------------------------------------------------

// Steps run one a timer tick inside the sheet's own message loop, so what a
// step posts (keys, the OK button) is handled by the sheet before the next.
using SheetStep = std::function<void(HWND sheet)>;

std::deque<SheetStep> gSteps;
HWND gSheet = nullptr;

void CALLBACK NextStep(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (gSteps.empty() || !IsWindow(gSheet)) {
        KillTimer(nullptr, timer);
        return;
    }
    SheetStep step = std::move(gSteps.front());
    gSteps.pop_front();
    step(gSheet);
}

HWND CurrentPage(HWND sheet)
{
    return HWND(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

HWND PageItem(HWND sheet, int id)
{
    return GetDlgItem(CurrentPage(sheet), id);
}

SheetStep ToTab(int index)
{
    return [index](HWND sheet) { SendMessageW(sheet, PSM_SETCURSEL, WPARAM(index), 0); };
}

SheetStep ClickButton(int id)
{
    return [id](HWND sheet) { SendMessageW(PageItem(sheet, id), BM_CLICK, 0, 0); };
}

// A press of the mouse on a static control, as the user's click comes to it.
void ClickStatic(HWND control, bool doubleClick = false)
{
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(control, WM_LBUTTONUP, 0, 0);
    if (doubleClick) {
        SendMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        SendMessageW(control, WM_LBUTTONUP, 0, 0);
    }
}

// A key typed into the focused control, through the sheet's message loop.
SheetStep TypeKey(int id, WPARAM key)
{
    return [id, key](HWND sheet) {
        const HWND control = PageItem(sheet, id);
        SetFocus(control);
        PostMessageW(control, WM_KEYDOWN, key, 1);
        PostMessageW(control, WM_KEYUP, key, 0xC0000001);
    };
}

const SheetStep kOk = [](HWND sheet) { Press(sheet, IDOK); };
const SheetStep kCancel = [](HWND sheet) { Press(sheet, IDCANCEL); };
const SheetStep kCloseBox = [](HWND sheet) { PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0); };

class OptionsSheet : public ::testing::Test {
protected:
    OptionsSheet() : desktop(instance), session(desktop), window(instance, session, settings, desktop)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
        DeleteClassKeys();
        RegisterMainWindowClass(instance);
        NewBank(session);
    }
    ~OptionsSheet() override
    {
        if (IsWindow(window.handle()))
            DestroyWindow(window.handle());
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        SetKey(VK_SHIFT, false);
        DeleteClassKeys();
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
    }

    void SetUp() override { ASSERT_TRUE(window.create()); }

    HWND main() const { return window.handle(); }

    // Shows the sheet owned by the main window and runs the steps in it;
    // the last one should close it. Gives the sheet's result.
    INT_PTR show(std::vector<SheetStep> steps)
    {
        DialogDriver driver;
        driver.then([&steps](HWND sheet) {
            gSheet = sheet;
            gSteps.assign(steps.begin(), steps.end());
            SetTimer(nullptr, 0, 30, NextStep);
        });
        const INT_PTR result = ShowOptionsSheet(instance, main(), settings, desktop);
        gSteps.clear();
        gSheet = nullptr;
        EXPECT_TRUE(driver.done()) << "the sheet never came";
        EXPECT_EQ(driver.unexpectedCaptions(), L"");
        return result;
    }

    HINSTANCE instance = GetModuleHandleW(nullptr);
    Win32Desktop desktop;
    RegistrySettingsStore settings;
    Session session;
    Win32MainWindow window;
};

} // namespace

TEST_F(OptionsSheet, TheOptionsButtonOpensFivePagesOnFileOwnedByTheDisabledMainWindow)
{
    DialogDriver driver;
    struct Seen {
        std::wstring caption;
        HWND owner = nullptr;
        bool ownerEnabled = true;
        std::vector<std::wstring> tabs;
        LRESULT startTab = -1;
        bool fileControlsShown = false;
        bool ok = false, cancel = false, applyEnabled = true;
    } seen;
    driver.then([&](HWND sheet) {
        seen.caption = TextOf(sheet);
        seen.owner = GetWindow(sheet, GW_OWNER);
        seen.ownerEnabled = IsWindowEnabled(main());
        const HWND tabs = HWND(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
        for (int i = 0; i < TabCtrl_GetItemCount(tabs); ++i) {
            wchar_t title[64] = {};
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = title;
            item.cchTextMax = 64;
            TabCtrl_GetItem(tabs, i, &item);
            seen.tabs.push_back(title);
        }
        seen.startTab = TabCtrl_GetCurSel(tabs);
        seen.fileControlsShown = IsWindowVisible(PageItem(sheet, IDC_ASSOCIATE));
        seen.ok = IsWindowVisible(GetDlgItem(sheet, IDOK));
        seen.cancel = IsWindowVisible(GetDlgItem(sheet, IDCANCEL));
        const HWND apply = GetDlgItem(sheet, 0x3021);   // the sheet's Apply button
        seen.applyEnabled = !apply || IsWindowEnabled(apply);
        Press(sheet, IDCANCEL);
    });
    SendMessageW(main(), WM_COMMAND, MAKEWPARAM(IDC_OPTIONS, BN_CLICKED), LPARAM(GetDlgItem(main(), IDC_OPTIONS)));
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(driver.unexpectedCaptions(), L"");

    EXPECT_EQ(seen.caption, L"Options");
    EXPECT_EQ(seen.owner, main());
    EXPECT_FALSE(seen.ownerEnabled) << "the sheet is modal";
    EXPECT_EQ(seen.tabs, (std::vector<std::wstring>{L"File", L"Contact", L"Known Bugs", L"Tips", L"About"}));
    EXPECT_EQ(seen.startTab, 0);
    EXPECT_TRUE(seen.fileControlsShown);
    EXPECT_TRUE(seen.ok);
    EXPECT_TRUE(seen.cancel);
    EXPECT_FALSE(seen.applyEnabled) << "no page reports a change";
    EXPECT_TRUE(IsWindowEnabled(main()));
}

// Letters for the File page: O and o choose "Last Used Directory" and
// "Current Directory" for Open, S and s for Save; t visits every other tab
// and comes back. The case's closer ends the showing.
TEST_F(OptionsSheet, TheDirectoryChoicesShowTheStoreAndReachItOnlyThroughOk)
{
    using Value = std::optional<std::wstring>;
    const struct Case {
        Value storedOpen, storedSave;
        bool shownOpen, shownSave;
        std::string actions;
        const SheetStep* closer;
        Value open, save;
    } cases[] = {
        // A fresh profile: opening writes "no" for both, OK writes them again.
        {{}, {}, false, false, "", &kOk, L"no", L"no"},
        {{}, {}, false, false, "Ot", &kOk, L"yes", L"no"},
        {L"yes", L"yes", true, true, "os", &kOk, L"no", L"no"},
        {L"no", L"no", false, false, "S", &kOk, L"no", L"yes"},
        // Every text but "no" says yes, and OK writes back what it means.
        {L"maybe", L"no", true, false, "", &kOk, L"yes", L"no"},
        {L"maybe", L"no", true, false, "oS", &kCancel, L"maybe", L"no"},
        {L"yes", L"no", true, false, "osOS", &kCancel, L"yes", L"no"},
        {L"no", L"yes", false, true, "OSt", &kCloseBox, L"no", L"yes"},
    };
    const std::map<char, int> buttons = {
        {'O', IDC_OPEN_LAST_USED}, {'o', IDC_OPEN_CURRENT}, {'S', IDC_SAVE_LAST_USED}, {'s', IDC_SAVE_CURRENT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.actions + (c.closer == &kOk ? " OK" : c.closer == &kCancel ? " Cancel" : " close box"));
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
        PutSetting(L"UseLastOpenDir", c.storedOpen);
        PutSetting(L"UseLastSaveDir", c.storedSave);

        std::vector<int> shown;
        std::vector<SheetStep> steps = {[&shown](HWND sheet) {
            for (int id : {IDC_OPEN_LAST_USED, IDC_OPEN_CURRENT, IDC_SAVE_LAST_USED, IDC_SAVE_CURRENT})
                if (IsDlgButtonChecked(CurrentPage(sheet), id) == BST_CHECKED)
                    shown.push_back(id);
        }};
        for (const char action : c.actions) {
            if (action == 't') {
                for (int tab : {1, 2, 3, 4, 0})
                    steps.push_back(ToTab(tab));
            } else {
                steps.push_back(ClickButton(buttons.at(action)));
            }
        }
        steps.push_back(*c.closer);

        EXPECT_EQ(show(steps), c.closer == &kOk ? 1 : 0);
        EXPECT_EQ(shown, (std::vector<int>{c.shownOpen ? IDC_OPEN_LAST_USED : IDC_OPEN_CURRENT,
                             c.shownSave ? IDC_SAVE_LAST_USED : IDC_SAVE_CURRENT}));
        EXPECT_EQ(Setting(L"UseLastOpenDir"), c.open);
        EXPECT_EQ(Setting(L"UseLastSaveDir"), c.save);
    }
}

// Enter in the Known Bugs and Tips boxes stays there; on the File page it
// is the sheet's OK, which is what the boxes must not let through.
TEST_F(OptionsSheet, EnterInTheReadOnlyTextsDoesNotCloseTheSheet)
{
    const struct {
        int tab;
        int box;
        std::string_view text;
        std::size_t length;
        INT_PTR result;
    } cases[] = {
        {2, IDC_KNOWN_BUGS_TEXT, kKnownBugsText, 707, 0},
        {3, IDC_TIPS_TEXT, kTipsText, 901, 0},
        {0, IDC_OPEN_CURRENT, {}, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("tab " + std::to_string(c.tab));
        std::wstring before, after;
        const auto read = [&c](std::wstring& text) {
            return [&c, &text](HWND sheet) { text = TextOf(PageItem(sheet, c.box)); };
        };
        const INT_PTR result = show({ToTab(c.tab), read(before), TypeKey(c.box, VK_RETURN), read(after), kCancel});
        EXPECT_EQ(result, c.result);
        if (c.length) {
            EXPECT_EQ(before, WideFromUtf8(c.text));
            EXPECT_EQ(before.size(), c.length);
            EXPECT_EQ(after, before) << "the box is read-only";
        }
    }
}

// One letter an action on the About page: i clicks the icon, d double-clicks
// it, w clicks "Written by", W does so with Shift held, t visits the Tips
// tab and comes back. Each case is a new showing of the sheet. How the
// count itself runs (exactly three, its 8-bit wrap) is the core's, tested
// with the core; here: that the page's clicks reach it.
TEST_F(OptionsSheet, TheAboutPageSurprisesAfterExactlyThreeIconClicksAndShift)
{
    const std::wstring description =
        L"This program creates JeerBox files for use with games such as Arena Brawl and Castle Siege.";
    const std::wstring surprise = L"\nPretty cool, huh?";
    const struct {
        std::string script;
        std::vector<bool> surprised;   // after each w or W
    } cases[] = {
        {"iiiW", {true}},
        {"W", {false}},
        {"iiW", {false}},
        {"iiiwW", {false, true}},
        {"iitiW", {true}},
        // A double-click is one click and a STN_DBLCLK that counts nothing.
        {"iidW", {true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        std::wstring opening;
        std::vector<bool> surprised;
        std::vector<SheetStep> steps = {ToTab(4), [&](HWND sheet) {
            opening = TextOf(PageItem(sheet, IDC_ABOUT_DESCRIPTION));
            // The clicks in one go: the count is the page's, not the loop's.
            for (const char action : c.script) {
                const HWND page = CurrentPage(sheet);
                if (action == 'i' || action == 'd') {
                    ClickStatic(GetDlgItem(page, IDC_ABOUT_ICON), action == 'd');
                } else if (action == 't') {
                    SendMessageW(sheet, PSM_SETCURSEL, 3, 0);
                    SendMessageW(sheet, PSM_SETCURSEL, 4, 0);
                } else {
                    SetKey(VK_SHIFT, action == 'W');
                    ClickStatic(GetDlgItem(page, IDC_WRITTEN_BY));
                    SetKey(VK_SHIFT, false);
                    const std::wstring now = TextOf(GetDlgItem(page, IDC_ABOUT_DESCRIPTION));
                    surprised.push_back(now == surprise);
                    if (now != surprise) {
                        EXPECT_EQ(now, description);
                    }
                }
            }
        }, kCancel};
        show(steps);
        EXPECT_EQ(opening, description) << "a surprise kept from an earlier showing";
        EXPECT_EQ(surprised, c.surprised);
    }
}

TEST(AboutSound, IsTheCoresWaveAsResource1000Number300)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(300), MAKEINTRESOURCEW(1000));
    ASSERT_TRUE(found);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, found)));
    ASSERT_TRUE(bytes);
    const std::span<const std::uint8_t> wave = AboutSoundWave();
    ASSERT_EQ(SizeofResource(instance, found), wave.size());
    EXPECT_TRUE(std::equal(wave.begin(), wave.end(), bytes));
}

// The association through the sheet: only an OK after the Associate button
// makes it, and pressing it twice makes it once.
TEST_F(OptionsSheet, TheAssociateButtonTakesEffectOnlyWithOk)
{
    const struct {
        bool otherOwner;
        int presses;
        const SheetStep* closer;
        bool associated;
    } cases[] = {
        {false, 1, &kOk, true},
        {false, 2, &kOk, true},
        {false, 1, &kCancel, false},
        {false, 0, &kOk, false},
        {true, 1, &kOk, true},
        {true, 2, &kCloseBox, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.presses) + " presses" + (c.otherOwner ? ", another owner" : ""));
        DeleteClassKeys();
        if (c.otherOwner)
            PutOtherOwner();
        const Tree before = ClassTree();
        std::vector<SheetStep> steps;
        for (int i = 0; i < c.presses; ++i)
            steps.push_back(ClickButton(IDC_ASSOCIATE));
        // Nothing happens at the press itself.
        steps.push_back([&before](HWND) { EXPECT_EQ(ClassTree(), before); });
        steps.push_back(*c.closer);
        show(steps);

        Tree expected = before;
        if (c.associated)
            expected = c.otherOwner ? Merged(before, OurVerbOn(kOtherClass)) : FreshAssociation();
        EXPECT_EQ(ClassTree(), expected);
        // The settings are written with OK whatever the association did.
        EXPECT_EQ(Setting(L"UseLastOpenDir"), L"no");
    }
}

// The shell is told once the keys are written.
int gShellNotices = 0;
Tree gTreeAtNotice;

void SeeShellNotice()
{
    ++gShellNotices;
    gTreeAtNotice = ClassTree();
}

// Straight calls, from the state a case sets up: the user's classes after
// it, the machine's untouched, and the record the first call left.
TEST_F(OptionsSheet, TheAssociationKeepsAnOwnerOfDotJbxAndRewritesOnlyOurVerb)
{
    const std::wstring other = kOtherClass;
    const std::wstring machine = kMachineClass;
    const struct {
        const char* name;
        std::function<void()> setUp;
        Tree expected;
        Record record;
    } cases[] = {
        {"nothing yet", [] {}, FreshAssociation(),
            {{L"Class", L"jbxfile"}, {L"CreatedExtension", L"dword:1"}, {L"CreatedClass", L"dword:1"}}},
        {"another program's class",
            PutOtherOwner,
            Merged(
                {
                    {L".jbx", other},
                    {other, L"Other Player Sound"},
                    {other + L"\\shell\\play", std::nullopt},
                    {other + L"\\shell\\play\\command", L"C:\\Other\\player.exe /play \"%1\""},
                    {other + L"\\shell\\edit", std::nullopt},
                    {other + L"\\shell\\edit\\command", L"C:\\Other\\player.exe /edit \"%1\""},
                },
                OurVerbOn(other)),
            {{L"Class", other}, {L"CreatedExtension", L"dword:0"}, {L"CreatedClass", L"dword:0"},
                {L"PreviousVerb", L"play"}, {L"PreviousIcon", L"C:\\Other\\player.exe,2"}}},
        // Installed for all users: the user's classes only gain our verb on
        // the same class, and the extension stays the machine's.
        {"another program's class for all users",
            [] {
                Put(L".jbx", kMachineClass, HKEY_LOCAL_MACHINE);
                Put(kMachineClass, L"Other App Bank", HKEY_LOCAL_MACHINE);
                Put(std::wstring(kMachineClass) + L"\\shell\\open\\command", L"C:\\App\\app.exe \"%1\"",
                    HKEY_LOCAL_MACHINE);
            },
            Merged({{machine, std::nullopt}}, OurVerbOn(machine)),
            {{L"Class", machine}, {L"CreatedExtension", L"dword:0"}, {L"CreatedClass", L"dword:1"}}},
        // The program moved: our own class keeps a description the user
        // changed, the command and icon follow the program. The verb an
        // earlier version made the default is ours, not one to bring back.
        {"our class from before",
            [] {
                Put(L".jbx", L"jbxfile");
                Put(L"jbxfile", L"Bank");
                Put(L"jbxfile\\shell", L"jbx");
                Put(L"jbxfile\\shell\\jbx\\command", L"C:\\Old\\jbxmaker.exe %1");
                Put(L"jbxfile\\DefaultIcon", L"C:\\Old\\jbxmaker.exe,0");
            },
            Merged({{L".jbx", L"jbxfile"}, {L"jbxfile", L"Bank"}}, OurVerbOn(L"jbxfile")),
            {{L"Class", L"jbxfile"}, {L"CreatedExtension", L"dword:0"}, {L"CreatedClass", L"dword:0"},
                {L"PreviousIcon", L"C:\\Old\\jbxmaker.exe,0"}}},
        // Naming no class, .jbx is linked to ours so a double click opens.
        {".jbx without a class",
            [] {
                Put(L".jbx", std::nullopt);
                Put(L".jbx\\OpenWithProgids", std::nullopt);
            },
            Merged({{L".jbx\\OpenWithProgids", std::nullopt}}, FreshAssociation()),
            {{L"Class", L"jbxfile"}, {L"CreatedExtension", L"dword:1"}, {L"CreatedClass", L"dword:1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteClassKeys();
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
        c.setUp();
        const Tree machineBefore = ClassTree(HKEY_LOCAL_MACHINE);
        gShellNotices = 0;
        AssociateBankFiles(instance, desktop, SeeShellNotice);
        EXPECT_EQ(ClassTree(), c.expected);
        EXPECT_EQ(gShellNotices, 1);
        EXPECT_EQ(gTreeAtNotice, c.expected);
        EXPECT_EQ(AssociationRecord(), c.record);
        // Pressing the button again changes nothing more.
        AssociateBankFiles(instance, desktop, SeeShellNotice);
        EXPECT_EQ(ClassTree(), c.expected);
        EXPECT_EQ(AssociationRecord(), c.record);
        EXPECT_EQ(ClassTree(HKEY_LOCAL_MACHINE), machineBefore);
    }
}

TEST_F(OptionsSheet, WithoutItsOwnPathTheAssociationSaysSoAndWritesNothing)
{
    // No module is loaded there, so the program's path cannot be had.
    const auto nowhere = reinterpret_cast<HINSTANCE>(std::uintptr_t(0x10));
    DialogDriver driver;
    std::vector<SeenBox> boxes;
    driver.answerBox(IDOK, &boxes);
    AssociateBankFiles(nowhere, desktop);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Cannot get JBXMaker's filename");
    EXPECT_EQ(boxes[0].caption, L"Error");
    EXPECT_EQ(boxes[0].icon, "stop");
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_EQ(boxes[0].owner, main());
    EXPECT_EQ(ClassTree(), Tree{});
    EXPECT_EQ(driver.unexpectedCaptions(), L"");
}
