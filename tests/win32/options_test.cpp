// The Options sheet and the association in the test's own process, over the
// real registry of the Wine prefix.

#include "settings/options.h"
#include "win32/controls.h"
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
#include <optional>

using namespace jbx;
using namespace jbx::testing;

namespace {

// Other programs' classes owning .jbx: one for this user, one for all.
const std::wstring kUserClass = L"OtherPlayer.Sound";
const std::wstring kMachineClass = L"OtherApp.Bank";
const std::wstring kClassRoots[] = {L".jbx", L"jbxfile", kUserClass, kMachineClass};

std::wstring ClassesPath(const std::wstring& key)
{
    return std::wstring(kClassesKeyPath) + L"\\" + key;
}

void DeleteClassKeys()
{
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        for (const std::wstring& key : kClassRoots)
            RegDeleteTreeW(root, ClassesPath(key).c_str());
}

void Put(const std::wstring& key, const std::wstring& value, HKEY root = HKEY_CURRENT_USER)
{
    ASSERT_EQ(RegSetKeyValueW(root, ClassesPath(key).c_str(), nullptr, REG_SZ, value.c_str(),
                  DWORD((value.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
}

// A value as it is stored: a text, which must end at its terminator, or a
// number as "dword:N"; nothing when it is not there.
std::optional<std::wstring> Value(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t data[512] = {};
    DWORD type = 0;
    DWORD bytes = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    if (type == REG_DWORD)
        return L"dword:" + std::to_wstring(data[0] | DWORD(data[1]) << 16);
    EXPECT_EQ(type, DWORD(REG_SZ)) << path;
    EXPECT_EQ(bytes, (wcslen(data) + 1) * sizeof(wchar_t)) << path << " holds more or less than its text";
    return data;
}

std::optional<std::wstring> Default(const std::wstring& key)
{
    return Value(HKEY_CURRENT_USER, ClassesPath(key));
}

// One step a timer tick in the sheet's own loop, so that what a step posts
// is handled before the next.
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

HWND PageItem(HWND sheet, int id)
{
    return GetDlgItem(HWND(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)), id);
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
void ClickStatic(HWND control, UINT down = WM_LBUTTONDOWN)
{
    SendMessageW(control, down, MK_LBUTTON, 0);
    SendMessageW(control, WM_LBUTTONUP, 0, 0);
}

const SheetStep kOk = [](HWND sheet) { Press(sheet, IDOK); };
const SheetStep kCancel = [](HWND sheet) { Press(sheet, IDCANCEL); };

class OptionsSheet : public MainWindowTest {
protected:
    OptionsSheet() { DeleteClassKeys(); }
    ~OptionsSheet() override { DeleteClassKeys(); }

    // The last step should close the sheet.
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
    }
};

} // namespace

// The sheet is modal over the main window with all its pages; the stored
// choices reach the buttons, and the clicked ones and the Associate button
// take effect through OK only, also after the other pages were shown.
TEST_F(OptionsSheet, OpensModalOnTheStoredChoicesAndOnlyOkTakesTheClickedOnes)
{
    const struct Case {
        std::vector<SheetStep> steps;
        std::string open, save;
    } cases[] = {
        {{ClickButton(IDC_OPEN_CURRENT), ClickButton(IDC_ASSOCIATE), ToTab(4), ToTab(0),
             ClickButton(IDC_SAVE_LAST_USED), kOk}, "no", "yes"},
        {{ClickButton(IDC_OPEN_CURRENT), ClickButton(IDC_ASSOCIATE), kCancel}, "yes", "no"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.open);
        DeleteClassKeys();
        settings.open()->writeText(kUseLastOpenDir, "yes");
        settings.open()->writeText(kUseLastSaveDir, "no");
        std::vector<SheetStep> steps = {[this](HWND sheet) {
            EXPECT_EQ(GetWindow(sheet, GW_OWNER), main());
            EXPECT_FALSE(IsWindowEnabled(main())) << "the sheet is modal";
            EXPECT_EQ(TabCtrl_GetItemCount(HWND(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0))), int(kOptionsPageCount));
            const HWND apply = GetDlgItem(sheet, 0x3021);
            EXPECT_FALSE(apply && IsWindowEnabled(apply)) << "no page reports a change";
            EXPECT_EQ(SendMessageW(PageItem(sheet, IDC_OPEN_LAST_USED), BM_GETCHECK, 0, 0), BST_CHECKED);
            EXPECT_EQ(SendMessageW(PageItem(sheet, IDC_SAVE_CURRENT), BM_GETCHECK, 0, 0), BST_CHECKED);
        }};
        steps.insert(steps.end(), c.steps.begin(), c.steps.end());
        show(steps);
        EXPECT_EQ(settings.open()->readText(kUseLastOpenDir), c.open);
        EXPECT_EQ(settings.open()->readText(kUseLastSaveDir), c.save);
        EXPECT_EQ(Default(L".jbx").has_value(), c.save == "yes") << "associated";
    }
}

// Enter in the Known Bugs and Tips boxes stays there; on the File page it
// is the sheet's OK, and the step after it never runs.
TEST_F(OptionsSheet, EnterInTheReadOnlyTextsDoesNotCloseTheSheet)
{
    const struct {
        int tab;
        int box;
        bool stays;
    } cases[] = {{2, IDC_KNOWN_BUGS_TEXT, true}, {3, IDC_TIPS_TEXT, true}, {0, IDC_OPEN_CURRENT, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("tab " + std::to_string(c.tab));
        bool ranAfterEnter = false;
        const SheetStep enter = [&c](HWND sheet) {
            const HWND control = PageItem(sheet, c.box);
            SetFocus(control);
            PostMessageW(control, WM_KEYDOWN, VK_RETURN, 1);
            PostMessageW(control, WM_KEYUP, VK_RETURN, 0xC0000001);
        };
        show({ToTab(c.tab), enter, [&](HWND) { ranAfterEnter = true; }, kCancel});
        EXPECT_EQ(ranAfterEnter, c.stays);
    }
}

// How the count runs is the core's; here, that the page's clicks and the
// Shift key reach it, once a click, for one showing.
TEST_F(OptionsSheet, TheAboutPagesClicksReachTheCountOfItsShowing)
{
    const auto surprises = [](HWND sheet, bool shift) {
        const std::wstring before = WindowText(PageItem(sheet, IDC_ABOUT_DESCRIPTION));
        SetKey(VK_SHIFT, shift);
        ClickStatic(PageItem(sheet, IDC_WRITTEN_BY));
        SetKey(VK_SHIFT, false);
        return WindowText(PageItem(sheet, IDC_ABOUT_DESCRIPTION)) != before;
    };
    // Two clicks, a visit to another tab, and a double-click, which is one
    // click and a STN_DBLCLK that counts nothing: three.
    show({ToTab(4), [&](HWND sheet) {
        ClickStatic(PageItem(sheet, IDC_ABOUT_ICON));
        ClickStatic(PageItem(sheet, IDC_ABOUT_ICON));
        SendMessageW(sheet, PSM_SETCURSEL, 3, 0);
        SendMessageW(sheet, PSM_SETCURSEL, 4, 0);
        ClickStatic(PageItem(sheet, IDC_ABOUT_ICON));
        ClickStatic(PageItem(sheet, IDC_ABOUT_ICON), WM_LBUTTONDBLCLK);
        EXPECT_FALSE(surprises(sheet, false)) << "without Shift";
        EXPECT_TRUE(surprises(sheet, true));
    }, kCancel});
    show({ToTab(4), [&](HWND sheet) { EXPECT_FALSE(surprises(sheet, true)); }, kCancel});
}

int gShellNotices = 0;
std::optional<std::wstring> gVerbAtNotice;

// As Windows merges the classes, the user's .jbx comes before the machine's;
// every write goes to the user's classes, the shell is told after them, and
// the record keeps what was there before the first time.
TEST_F(OptionsSheet, TheAssociationReadsTheUsersClassesFirstAndWritesOnlyThem)
{
    const std::wstring record = SettingsKeyPath() + L"\\Association";
    wchar_t program[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, program, MAX_PATH * 4);
    const struct {
        bool userOwner;
        std::wstring owner;
        std::optional<std::wstring> extension, createdClass, previousVerb;
    } cases[] = {
        {true, kUserClass, kUserClass, L"dword:0", L"play"},
        {false, kMachineClass, std::nullopt, L"dword:1", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.userOwner ? "the user's and the machine's" : "the machine's");
        DeleteClassKeys();
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
        Put(L".jbx", kMachineClass, HKEY_LOCAL_MACHINE);
        if (c.userOwner) {
            Put(L".jbx", kUserClass);
            Put(kUserClass + L"\\shell", L"play");
        }
        for (int time = 1; time <= 2; ++time) {
            SCOPED_TRACE(time);
            gShellNotices = 0;
            AssociateBankFiles(instance, desktop, [](Desktop&) {
                ++gShellNotices;
                gVerbAtNotice = Default(kMachineClass + L"\\shell\\jbx\\command");
            });
            EXPECT_EQ(Default(L".jbx"), c.extension);
            EXPECT_EQ(Default(c.owner + L"\\shell"), L"jbx");
            EXPECT_EQ(Default(c.owner + L"\\shell\\jbx\\command"), L"\"" + std::wstring(program) + L"\" \"%1\"");
            EXPECT_EQ(gShellNotices, 1);
            EXPECT_EQ(gVerbAtNotice.has_value(), !c.userOwner);
            EXPECT_EQ(Value(HKEY_CURRENT_USER, record, L"Class"), c.owner);
            EXPECT_EQ(Value(HKEY_CURRENT_USER, record, L"CreatedClass"), c.createdClass);
            EXPECT_EQ(Value(HKEY_CURRENT_USER, record, L"PreviousVerb"), c.previousVerb);
        }
        EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, ClassesPath(kMachineClass + L"\\shell")), std::nullopt);
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
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(Default(L".jbx"), std::nullopt);
    EXPECT_EQ(driver.unexpectedCaptions(), L"");
}
