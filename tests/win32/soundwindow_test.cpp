// The Sound window as the main window opens it: from the sound buttons'
// menu, by a double-click and by Alt+E. Its commands reach the slot on OK
// only.

#include "app/soundeditor.h"
#include "audio/wavefile.h"
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
        const bool loud = frame >= 100 && frame < 300;
        PutLE16(samples, std::uint16_t(loud ? (frame % 2 ? 8000 : -8000) : 0));
        PutLE16(samples, std::uint16_t(loud ? 4000 : 0));
    }
    return WaveImage(1, 2, 11025, 16, samples);
}

void PutSound(SoundSlot& slot, const Bytes& image)
{
    slot.data = MakeSoundData(image.size() + 1);
    std::copy(image.begin(), image.end(), slot.data->begin());
    slot.size = std::int32_t(image.size());
    slot.name = "hiss";
}

// Answers the popup menu from a thread timer, which runs inside its loop:
// records each item's text and whether it is grayed, then types `choose`,
// an item's mnemonic, or Escape for 0.
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

// The program's loop, until nothing is left to handle.
void Pump(HWND mainWindow, HACCEL table, HACCEL editSoundTable)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        HandleLoopMessage(message, mainWindow, table, editSoundTable);
}

// A key through a modal dialog's loop, with Shift or Ctrl held or neither.
void Type(HWND dialog, WPARAM key, int modifier = 0)
{
    if (modifier)
        SetKey(modifier, true);
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (!IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    if (modifier)
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

// The upper half of what a control paints: the waveform's first lane,
// above its time scale.
std::vector<DWORD> UpperHalf(HWND control)
{
    RECT box;
    GetClientRect(control, &box);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), box.right, -box.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP picture = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, picture);
    SendMessageW(control, WM_PRINTCLIENT, WPARAM(dc), PRF_CLIENT);
    GdiFlush();
    const auto* first = static_cast<const DWORD*>(bits);
    std::vector<DWORD> pixels(first, first + std::size_t(box.right) * std::size_t(box.bottom / 2));
    SelectObject(dc, old);
    DeleteObject(picture);
    DeleteDC(dc);
    return pixels;
}

std::uint32_t DataLength(const SoundSlot& slot)
{
    const std::optional<WaveFormat> format = ReadWaveFormat(std::span(slot.data->data(), std::size_t(slot.size)));
    return format ? format->dataLength : 0;
}

class SoundWindow : public MainWindowTest {
protected:
    void TearDown() override { EXPECT_EQ(driver.unexpectedCaptions(), L""); }
    DialogDriver driver;
};

} // namespace

TEST_F(SoundWindow, OpensFromTheMenuADoubleClickAndAltEAndChangesTheSlotOnlyOnOk)
{
    const Bytes sound = QuietEndedSound();
    PutSound(session.bank.slot(2), sound);
    PutSound(session.bank.slot(3), sound);
    const HACCEL table = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    const HACCEL editSoundTable = CreateEditSoundTable();
    ASSERT_TRUE(table && editSoundTable);
    std::vector<std::wstring> menuItems;
    for (const SoundMenuItem& entry : kSoundMenu)
        menuItems.push_back(WideFromUtf8(entry.text));

    // Shift+F10 on a sound button; on an empty current slot only Replace
    // is offered. (Windows also makes the menu key give the menu, which
    // Wine 8 does not.)
    {
        MenuAnswer answer(0);
        SetFocus(item(IDC_SOUND1 + 1));
        SetKey(VK_SHIFT, true);
        PostMessageW(GetFocus(), WM_SYSKEYDOWN, VK_F10, 1);
        Pump(main(), table, editSoundTable);
        SetKey(VK_SHIFT, false);
        EXPECT_EQ(answer.items,
            (std::vector<std::wstring>{menuItems[0], menuItems[1] + L" (grayed)", menuItems[2] + L" (grayed)"}));
    }

    // Edit sound from the menu of a right-click; Trim silence shows at
    // once, OK keeps it.
    click(IDC_SOUND1 + 1);
    std::wstring sizeBefore, sizeAfter;
    driver.then([&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), L"Sound 2 - hiss");
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), main());
        sizeBefore = ItemText(dialog, IDC_SOUND_SIZE);
        const std::vector<DWORD> traceBefore = UpperHalf(GetDlgItem(dialog, IDC_WAVEFORM));
        EXPECT_EQ(ItemText(dialog, IDC_SILENCE_FIELD), WideFromUtf8(kSilenceFieldDefault));
        Click(dialog, IDC_TRIM_SILENCE);
        sizeAfter = ItemText(dialog, IDC_SOUND_SIZE);
        EXPECT_TRUE(UpperHalf(GetDlgItem(dialog, IDC_WAVEFORM)) != traceBefore) << "the trace is drawn anew";
        EXPECT_TRUE(Enabled(dialog, IDC_UNDO));
        Press(dialog, IDOK);
    });
    {
        MenuAnswer answer(L'e');
        PostMessageW(item(IDC_SOUND1 + 1), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 4));
        PostMessageW(item(IDC_SOUND1 + 1), WM_RBUTTONUP, 0, MAKELPARAM(4, 4));
        Pump(main(), table, editSoundTable);
        EXPECT_EQ(answer.items, menuItems);
    }
    EXPECT_TRUE(driver.done()) << "no Sound window";
    EXPECT_NE(sizeAfter, sizeBefore);
    EXPECT_EQ(DataLength(session.bank.slot(2)), 200u * 4) << "the loud frames alone";

    // A double-click: its first click plays; the window's mouse, keys and
    // commands change nothing once it is left with Escape. What the core
    // tells meanwhile is owned by the Sound window.
    std::vector<SeenBox> boxes;
    HWND soundWindow = nullptr;
    driver.then([&](HWND dialog) {
        soundWindow = dialog;
        EXPECT_EQ(WindowText(dialog), L"Sound 3 - hiss");
        SetDlgItemTextW(dialog, IDC_SILENCE_FIELD, L"quiet");
        driver.answerBox(IDOK, &boxes);
        Click(dialog, IDC_TRIM_SILENCE);
        SetDlgItemTextW(dialog, IDC_SILENCE_FIELD, L"-40");
        const HWND waveform = GetDlgItem(dialog, IDC_WAVEFORM);
        EXPECT_EQ(GetFocus(), waveform);
        RECT box;
        GetClientRect(waveform, &box);
        const int y = box.bottom / 3;
        SendMessageW(waveform, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(box.right / 10, y));
        EXPECT_FALSE(Enabled(dialog, IDC_TRIM_SELECTION)) << "a press selects nothing";
        SendMessageW(waveform, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(box.right * 6 / 10, y));
        SendMessageW(waveform, WM_LBUTTONUP, 0, MAKELPARAM(box.right * 6 / 10, y));
        EXPECT_TRUE(Enabled(dialog, IDC_TRIM_SELECTION)) << "a drag selects";
        Type(dialog, VK_HOME);
        EXPECT_FALSE(Enabled(dialog, IDC_TRIM_SELECTION)) << "Home empties the selection";
        Type(dialog, VK_RIGHT, VK_SHIFT);
        EXPECT_TRUE(Enabled(dialog, IDC_TRIM_SELECTION)) << "Shift+Right selects";
        // All of it is nothing to trim to; Shift+Left takes one step back
        // from the end Ctrl+A moved the caret to.
        Type(dialog, 'A', VK_CONTROL);
        EXPECT_FALSE(Enabled(dialog, IDC_TRIM_SELECTION)) << "Ctrl+A selects all";
        Type(dialog, VK_LEFT, VK_SHIFT);
        EXPECT_TRUE(Enabled(dialog, IDC_TRIM_SELECTION)) << "Ctrl+A selects all";
        EXPECT_EQ(GetFocus(), waveform) << "the arrow went to the waveform, not to the next control";
        for (const int id : {IDC_TRIM_SILENCE, IDC_MAKE_MONO, IDC_NORMALIZE, IDC_MAKE_EIGHT_BIT})
            Click(dialog, id);
        EXPECT_FALSE(Enabled(dialog, IDC_MAKE_MONO));
        EXPECT_FALSE(Enabled(dialog, IDC_MAKE_EIGHT_BIT));
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    });
    const HWND button = item(IDC_SOUND1 + 2);
    for (const UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        PostMessageW(button, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(4, 4));
    Pump(main(), table, editSoundTable);
    EXPECT_TRUE(driver.done()) << "no Sound window";
    EXPECT_EQ(boxes, (std::vector<SeenBox>{{"stop", {IDOK}, soundWindow}}));
    EXPECT_EQ(session.bank.currentSlot, 3);
    EXPECT_EQ(desktop.playing(), session.bank.slot(3).data);
    EXPECT_EQ(Bytes(session.bank.slot(3).data->begin(), session.bank.slot(3).data->end() - 1), sound);

    // Alt+E, for the current slot.
    driver.then([&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), L"Sound 3 - hiss");
        Press(dialog, IDCANCEL);
    });
    SetFocus(item(IDC_SOUND1 + 2));
    SetKey(VK_MENU, true);
    PostMessageW(GetFocus(), WM_SYSKEYDOWN, 'E', 0x20000001);
    Pump(main(), table, editSoundTable);
    SetKey(VK_MENU, false);
    EXPECT_TRUE(driver.done()) << "no Sound window";
    DestroyAcceleratorTable(editSoundTable);
    DestroyAcceleratorTable(table);
}
