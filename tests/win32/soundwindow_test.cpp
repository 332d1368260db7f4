// The Sound window as the main window opens it: from the sound buttons'
// menu, by a double-click and by Alt+E. Its commands reach the slot on OK
// only.

#include "app/soundeditor.h"
#include "win32/controls.h"
#include "win32/program.h"
#include "win32/resource.h"
#include "win32/widetext.h"

#include "tests/support/testfiles.h"
#include "tests/win32/dialogdriver.h"
#include "tests/win32/mainwindowtest.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace jbx;
using namespace jbx::testing;

namespace {

// 16-bit stereo: 100 silent frames, 200 loud ones, 100 silent.
Bytes QuietEndedSound()
{
    Bytes samples;
    for (int frame = 0; frame < 400; ++frame) {
        const std::uint16_t level = frame >= 100 && frame < 300 ? 8000 : 0;
        PutLE16(samples, frame % 2 ? level : std::uint16_t(-level));
        PutLE16(samples, level);
    }
    return WaveImage(1, 2, 11025, 16, samples);
}

// Answers the popup menu from a thread timer, which runs inside its loop:
// records each item, grayed or not, then types `choose`, or Escape for 0.
class MenuAnswer {
public:
    explicit MenuAnswer(wchar_t choose) : choose_(choose)
    {
        answering_ = this;
        timer_ = SetTimer(nullptr, 0, 20, Tick);
    }
    ~MenuAnswer()
    {
        KillTimer(nullptr, timer_);
        answering_ = nullptr;
    }

    std::vector<std::wstring> items;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        const HWND menuWindow = FindWindowW(L"#32768", nullptr);
        if (!answering_ || answering_->answered_ || !menuWindow || !IsWindowVisible(menuWindow))
            return;
        answering_->answered_ = true;
        const auto menu = HMENU(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
        for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, UINT(i), text, 64, MF_BYPOSITION);
            const bool grayed = GetMenuState(menu, UINT(i), MF_BYPOSITION) & MF_GRAYED;
            answering_->items.push_back(std::wstring(text) + (grayed ? L" (grayed)" : L""));
        }
        if (answering_->choose_)
            PostMessageW(menuWindow, WM_CHAR, answering_->choose_, 1);
        else
            PostMessageW(menuWindow, WM_KEYDOWN, VK_ESCAPE, 1);
    }

    static inline MenuAnswer* answering_ = nullptr;
    wchar_t choose_;
    bool answered_ = false;
    UINT_PTR timer_ = 0;
};

// A key through a modal dialog's loop, with Shift or Ctrl held or neither.
void Type(HWND dialog, WPARAM key, int modifier)
{
    SetKey(modifier, true);
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (!IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    SetKey(modifier, false);
}

void Click(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

bool Enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id));
}

class SoundWindow : public MainWindowTest {
protected:
    void TearDown() override
    {
        DestroyAcceleratorTable(editSoundTable);
        DestroyAcceleratorTable(table);
        EXPECT_EQ(driver.unexpectedCaptions(), L"");
    }

    // The program's loop, until nothing is left to handle; `key` held.
    void pump(int key = 0)
    {
        if (key)
            SetKey(key, true);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            HandleLoopMessage(message, main(), table, editSoundTable);
        if (key)
            SetKey(key, false);
    }

    DialogDriver driver;
    HACCEL table = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    HACCEL editSoundTable = CreateEditSoundTable();
};

} // namespace

TEST_F(SoundWindow, OpensFromTheMenuADoubleClickAndAltEAndChangesTheSlotOnlyOnOk)
{
    const Bytes sound = QuietEndedSound();
    for (const int slot : {2, 3}) {
        SoundSlot& entry = session.bank.slot(slot);
        entry = {"hiss", 0, std::int32_t(sound.size()), MakeSoundData(sound.size() + 1)};
        std::copy(sound.begin(), sound.end(), entry.data->begin());
    }
    ASSERT_TRUE(table && editSoundTable);
    std::vector<std::wstring> menuItems;
    for (const SoundMenuItem& entry : kSoundMenu)
        menuItems.push_back(WideFromUtf8(entry.text));

    // Shift+F10 on a sound button; on an empty current slot only Replace
    // is offered. (Wine 8 gives no menu for the menu key.)
    {
        MenuAnswer answer(0);
        PostMessageW(item(IDC_SOUND1 + 1), WM_SYSKEYDOWN, VK_F10, 1);
        pump(VK_SHIFT);
        EXPECT_EQ(answer.items,
            (std::vector<std::wstring>{menuItems[0], menuItems[1] + L" (grayed)", menuItems[2] + L" (grayed)"}));
    }

    // Edit sound from a right-click's menu; Trim silence shows at once and
    // OK keeps it.
    click(IDC_SOUND1 + 1);
    driver.then([&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), L"Sound 2 - hiss");
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), main());
        const std::wstring size = ItemText(dialog, IDC_SOUND_SIZE);
        Click(dialog, IDC_TRIM_SILENCE);
        EXPECT_NE(ItemText(dialog, IDC_SOUND_SIZE), size);
        EXPECT_TRUE(Enabled(dialog, IDC_UNDO));
        Press(dialog, IDOK);
    });
    {
        MenuAnswer answer(L'e');
        PostMessageW(item(IDC_SOUND1 + 1), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 4));
        PostMessageW(item(IDC_SOUND1 + 1), WM_RBUTTONUP, 0, MAKELPARAM(4, 4));
        pump();
    }
    EXPECT_TRUE(driver.done()) << "no Sound window";
    EXPECT_LT(session.bank.slot(2).size, std::int32_t(sound.size()));

    // A double-click, whose first click plays. The mouse, keys and commands
    // change nothing once the window is left with Escape; the core's box
    // meanwhile is owned by the Sound window.
    std::vector<SeenBox> boxes;
    HWND soundWindow = nullptr;
    driver.then([&](HWND dialog) {
        soundWindow = dialog;
        EXPECT_EQ(WindowText(dialog), L"Sound 3 - hiss");
        SetDlgItemTextW(dialog, IDC_SILENCE_FIELD, L"quiet");
        driver.answerBox(IDOK, &boxes);
        Click(dialog, IDC_TRIM_SILENCE);
        const HWND waveform = GetDlgItem(dialog, IDC_WAVEFORM);
        RECT box;
        GetClientRect(waveform, &box);
        SendMessageW(waveform, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(box.right / 10, box.bottom / 3));
        SendMessageW(waveform, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(box.right * 6 / 10, box.bottom / 3));
        SendMessageW(waveform, WM_LBUTTONUP, 0, MAKELPARAM(box.right * 6 / 10, box.bottom / 3));
        EXPECT_TRUE(Enabled(dialog, IDC_TRIM_SELECTION)) << "a drag selects";
        // All of it is nothing to trim to; Shift+Left takes one step back
        // from its end.
        Type(dialog, 'A', VK_CONTROL);
        EXPECT_FALSE(Enabled(dialog, IDC_TRIM_SELECTION)) << "Ctrl+A selects all";
        Type(dialog, VK_LEFT, VK_SHIFT);
        EXPECT_TRUE(Enabled(dialog, IDC_TRIM_SELECTION)) << "Shift+Left selects";
        EXPECT_EQ(GetFocus(), waveform) << "the arrow went to the next control";
        Click(dialog, IDC_MAKE_MONO);
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    });
    for (const UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        PostMessageW(item(IDC_SOUND1 + 2), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(4, 4));
    pump();
    EXPECT_TRUE(driver.done()) << "no Sound window";
    EXPECT_EQ(boxes, (std::vector<SeenBox>{{"stop", {IDOK}, soundWindow}}));
    EXPECT_EQ(desktop.playing(), session.bank.slot(3).data);
    EXPECT_EQ(Bytes(session.bank.slot(3).data->begin(), session.bank.slot(3).data->end() - 1), sound);

    // Alt+E, for the current slot.
    driver.then([&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), L"Sound 3 - hiss");
        Press(dialog, IDCANCEL);
    });
    SetFocus(item(IDC_SOUND1 + 2));
    PostMessageW(GetFocus(), WM_SYSKEYDOWN, 'E', 0x20000001);
    pump(VK_MENU);
    EXPECT_TRUE(driver.done()) << "no Sound window";
}
