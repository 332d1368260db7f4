// The Options sheet and the association in the test's own process: the real
// property sheet over the real templates, driven from timers inside its own
// modal loop, and the real registry of the Wine prefix read back afterwards.
// What a showing reads, writes and counts is the core's; here, that each
// control reaches it and its answers reach the controls.

#include "settings/association.h"
#include "settings/options.h"
#include "win32/optionssheet.h"
#include "win32/registryassociation.h"
#include "win32/resource.h"
#include "win32/widetext.h"

#include "tests/win32/dialogdriver.h"
#include "tests/win32/mainwindowtest.h"

#include <commctrl.h>
#include <prsht.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>

using namespace jbx;
using namespace jbx::testing;

namespace {

// Classes of other programs owning .jbx: one installed for this user, one
// for all users.
const wchar_t* const kUserClass = L"OtherPlayer.Sound";
const wchar_t* const kMachineClass = L"OtherApp.Bank";
const wchar_t* const kClassRoots[] = {L".jbx", L"jbxfile", kUserClass, kMachineClass};

std::wstring ClassesPath(const std::wstring& key)
{
    return std::wstring(kClassesKeyPath) + L"\\" + key;
}

void DeleteClassKeys()
{
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        for (const wchar_t* key : kClassRoots)
            RegDeleteTreeW(root, ClassesPath(key).c_str());
}

void Put(const std::wstring& key, const std::wstring& value, HKEY root = HKEY_CURRENT_USER)
{
    ASSERT_EQ(RegSetKeyValueW(root, ClassesPath(key).c_str(), nullptr, REG_SZ, value.c_str(),
                  DWORD((value.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
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
std::map<std::wstring, std::wstring> AssociationRecord()
{
    std::map<std::wstring, std::wstring> record;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (SettingsKeyPath() + L"\\Association").c_str(), 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return record;
    wchar_t name[256];
    DWORD data[256];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        DWORD type = 0;
        DWORD bytes = sizeof data;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes)
            != ERROR_SUCCESS)
            break;
        record[name] = type == REG_DWORD ? L"dword:" + std::to_wstring(data[0])
            : type == REG_SZ             ? std::wstring(reinterpret_cast<const wchar_t*>(data))
                                         : L"type " + std::to_wstring(type);
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

class OptionsSheet : public MainWindowTest {
protected:
    OptionsSheet() { DeleteClassKeys(); }
    ~OptionsSheet() override { DeleteClassKeys(); }

    // Opens the sheet with the main window's Options button and runs the
    // steps in it; the last one should close it.
    void show(std::vector<SheetStep> steps)
    {
        DialogDriver driver;
        driver.then([&steps](HWND sheet) {
            gSheet = sheet;
            gSteps.assign(steps.begin(), steps.end());
            SetTimer(nullptr, 0, 30, NextStep);
        });
        click(IDC_OPTIONS);
        gSteps.clear();
        gSheet = nullptr;
        EXPECT_TRUE(driver.done()) << "the sheet never came";
        EXPECT_EQ(driver.unexpectedCaptions(), L"");
        EXPECT_TRUE(IsWindowEnabled(main()));
    }
};

} // namespace

TEST_F(OptionsSheet, TheOptionsButtonOpensTheModalSheetOnItsFirstPage)
{
    show({[this](HWND sheet) {
        EXPECT_EQ(TextOf(sheet), WideFromUtf8(kOptionsCaption));
        EXPECT_EQ(GetWindow(sheet, GW_OWNER), main());
        EXPECT_FALSE(IsWindowEnabled(main())) << "the sheet is modal";
        const HWND tabs = HWND(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
        ASSERT_EQ(TabCtrl_GetItemCount(tabs), int(kOptionsPageCount));
        for (int i = 0; i < int(kOptionsPageCount); ++i) {
            wchar_t title[64] = {};
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = title;
            item.cchTextMax = 64;
            TabCtrl_GetItem(tabs, i, &item);
            EXPECT_EQ(title, WideFromUtf8(kOptionsPageTitles[i]));
        }
        EXPECT_EQ(TabCtrl_GetCurSel(tabs), 0);
        const HWND apply = GetDlgItem(sheet, 0x3021);   // the sheet's Apply button
        EXPECT_FALSE(apply && IsWindowEnabled(apply)) << "no page reports a change";
    }, kCancel});
}

// The closer ends each showing; a visit to every other tab comes between.
TEST_F(OptionsSheet, TheDirectoryChoicesShowTheStoreAndReachItOnlyThroughOk)
{
    const struct Case {
        std::string storedOpen, storedSave;
        std::vector<SheetStep> steps;
        std::string open, save;
    } cases[] = {
        {"yes", "no", {ClickButton(IDC_OPEN_CURRENT), ClickButton(IDC_SAVE_LAST_USED), kOk}, "no", "yes"},
        {"no", "yes", {ClickButton(IDC_OPEN_LAST_USED), ToTab(1), ToTab(2), ToTab(3), ToTab(4), ToTab(0), kOk}, "yes",
            "yes"},
        {"no", "yes", {ClickButton(IDC_OPEN_LAST_USED), ClickButton(IDC_SAVE_CURRENT), kCancel}, "no", "yes"},
        {"no", "yes", {ClickButton(IDC_OPEN_LAST_USED), kCloseBox}, "no", "yes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        settings.open()->writeText(kUseLastOpenDir, c.storedOpen);
        settings.open()->writeText(kUseLastSaveDir, c.storedSave);
        std::vector<int> shown;
        std::vector<SheetStep> steps = {[&shown](HWND sheet) {
            for (int id : {IDC_OPEN_LAST_USED, IDC_OPEN_CURRENT, IDC_SAVE_LAST_USED, IDC_SAVE_CURRENT})
                if (IsDlgButtonChecked(CurrentPage(sheet), id) == BST_CHECKED)
                    shown.push_back(id);
        }};
        steps.insert(steps.end(), c.steps.begin(), c.steps.end());
        show(steps);
        EXPECT_EQ(shown, (std::vector<int>{c.storedOpen == "yes" ? IDC_OPEN_LAST_USED : IDC_OPEN_CURRENT,
                             c.storedSave == "yes" ? IDC_SAVE_LAST_USED : IDC_SAVE_CURRENT}));
        EXPECT_EQ(settings.open()->readText(kUseLastOpenDir), c.open);
        EXPECT_EQ(settings.open()->readText(kUseLastSaveDir), c.save);
    }
}

// Enter in the Known Bugs and Tips boxes stays there; on the File page it
// is the sheet's OK, which is what the boxes must not let through: the
// sheet is gone then, and the step after it never runs.
TEST_F(OptionsSheet, EnterInTheReadOnlyTextsDoesNotCloseTheSheet)
{
    const struct {
        int tab;
        int box;
        std::string_view text;
    } cases[] = {
        {2, IDC_KNOWN_BUGS_TEXT, kKnownBugsText},
        {3, IDC_TIPS_TEXT, kTipsText},
        {0, IDC_OPEN_CURRENT, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("tab " + std::to_string(c.tab));
        std::wstring before, after;
        const auto read = [&c](std::wstring& text) {
            return [&c, &text](HWND sheet) { text = TextOf(PageItem(sheet, c.box)); };
        };
        show({ToTab(c.tab), read(before), TypeKey(c.box, VK_RETURN), read(after), kCancel});
        if (c.text.empty()) {
            EXPECT_EQ(after, L"");
        } else {
            EXPECT_EQ(before, WideFromUtf8(c.text));
            EXPECT_EQ(after, before) << "the box is read-only";
        }
    }
}

// How the count runs is the core's; here, that the page's clicks and the
// Shift key reach it, once a click, for one showing.
TEST_F(OptionsSheet, TheAboutPagesClicksReachTheCountOfItsShowing)
{
    const auto surprises = [](HWND sheet, bool shift) {
        const std::wstring before = TextOf(PageItem(sheet, IDC_ABOUT_DESCRIPTION));
        SetKey(VK_SHIFT, shift);
        ClickStatic(PageItem(sheet, IDC_WRITTEN_BY));
        SetKey(VK_SHIFT, false);
        return TextOf(PageItem(sheet, IDC_ABOUT_DESCRIPTION)) != before;
    };
    // Two clicks, a visit to another tab, and a double-click, which is one
    // click and a STN_DBLCLK that counts nothing: three.
    show({ToTab(4), [&](HWND sheet) {
        ClickStatic(PageItem(sheet, IDC_ABOUT_ICON));
        ClickStatic(PageItem(sheet, IDC_ABOUT_ICON));
        SendMessageW(sheet, PSM_SETCURSEL, 3, 0);
        SendMessageW(sheet, PSM_SETCURSEL, 4, 0);
        ClickStatic(PageItem(sheet, IDC_ABOUT_ICON), true);
        EXPECT_FALSE(surprises(sheet, false)) << "without Shift";
        EXPECT_TRUE(surprises(sheet, true));
    }, kCancel});
    // The next showing counts from nothing.
    show({ToTab(4), [&](HWND sheet) { EXPECT_FALSE(surprises(sheet, true)); }, kCancel});
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

// The Associate button asks; only OK makes the association, once.
TEST_F(OptionsSheet, TheAssociateButtonTakesEffectOnlyWithOk)
{
    for (const SheetStep* closer : {&kOk, &kCancel}) {
        SCOPED_TRACE(closer == &kOk ? "OK" : "Cancel");
        DeleteClassKeys();
        show({ClickButton(IDC_ASSOCIATE), ClickButton(IDC_ASSOCIATE),
            [](HWND) { EXPECT_EQ(ClassTree(), Tree{}) << "associated at the press"; }, *closer});
        const Tree fresh = Merged({{L".jbx", L"jbxfile"}, {L"jbxfile", L"Jeer Box Sound File"}}, OurVerbOn(L"jbxfile"));
        EXPECT_EQ(ClassTree(), closer == &kOk ? fresh : Tree{});
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

// As Windows merges the classes, the user's .jbx comes before the machine's;
// every write goes to the user's classes, and the record keeps what was
// there before the first time only.
TEST_F(OptionsSheet, TheAssociationReadsTheUsersClassesFirstAndWritesOnlyThem)
{
    const std::wstring user = kUserClass;
    const std::wstring machine = kMachineClass;
    const struct {
        bool userOwner;
        Tree expected;
        std::map<std::wstring, std::wstring> record;
    } cases[] = {
        {true,
            Merged({{L".jbx", user}, {user, L"Other Player Sound"}, {user + L"\\shell\\play", std::nullopt},
                       {user + L"\\shell\\play\\command", L"player.exe \"%1\""}},
                OurVerbOn(user)),
            {{L"Class", user}, {L"CreatedExtension", L"dword:0"}, {L"CreatedClass", L"dword:0"},
                {L"PreviousVerb", L"play"}, {L"PreviousIcon", L"player.exe,2"}}},
        {false, Merged({{machine, std::nullopt}}, OurVerbOn(machine)),
            {{L"Class", machine}, {L"CreatedExtension", L"dword:0"}, {L"CreatedClass", L"dword:1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.userOwner ? "the user's and the machine's" : "the machine's");
        DeleteClassKeys();
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
        Put(L".jbx", kMachineClass, HKEY_LOCAL_MACHINE);
        Put(machine + L"\\shell\\open\\command", L"app.exe \"%1\"", HKEY_LOCAL_MACHINE);
        if (c.userOwner) {
            Put(L".jbx", user);
            Put(user, L"Other Player Sound");
            Put(user + L"\\shell", L"play");
            Put(user + L"\\shell\\play\\command", L"player.exe \"%1\"");
            Put(user + L"\\DefaultIcon", L"player.exe,2");
        }
        const Tree machineBefore = ClassTree(HKEY_LOCAL_MACHINE);
        for (int time = 1; time <= 2; ++time) {
            SCOPED_TRACE(time);
            gShellNotices = 0;
            AssociateBankFiles(instance, desktop, SeeShellNotice);
            EXPECT_EQ(ClassTree(), c.expected);
            EXPECT_EQ(gShellNotices, 1);
            EXPECT_EQ(gTreeAtNotice, c.expected);
            EXPECT_EQ(AssociationRecord(), c.record);
        }
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
    EXPECT_EQ(boxes[0].text, WideFromUtf8(kNoProgramPathMessage));
    EXPECT_EQ(boxes[0].owner, main());
    EXPECT_EQ(ClassTree(), Tree{});
    EXPECT_EQ(driver.unexpectedCaptions(), L"");
}
