// The Windows editor in the test's own process, its message boxes and file
// dialogs answered by DialogDriver.

#include "audio/wavefile.h"
#include "seam/filesystem.h"
#include "win32/controls.h"
#include "win32/program.h"
#include "win32/resource.h"
#include "win32/systemlibrary.h"
#include "win32/widetext.h"

#include "tests/support/testfiles.h"
#include "tests/win32/dialogdriver.h"
#include "tests/win32/mainwindowtest.h"

#include <cderr.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

using namespace jbx;
using namespace jbx::testing;

namespace {

// The editor's own message loop, until nothing is left to handle.
void Pump(HWND mainWindow, HACCEL table)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(int(message.wParam));
            return;
        }
        HandleLoopMessage(message, mainWindow, table);
    }
}

// Sends WM_DROPFILES with a real drop handle naming `paths`.
void SendDrop(HWND window, const std::vector<std::string>& paths)
{
    std::wstring names;
    for (const std::string& path : paths)
        names += WideFromUtf8(path) + L'\0';
    names += L'\0';
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, WPARAM(memory), 0);
}

// Made by the build machine's ffmpeg (tests/seam/mf_sounds.sh).
const std::string kSounds = std::filesystem::path(JBX_MF_SOUNDS).make_preferred().string();

// Every modal window a test does not answer fails it.
class Editor : public MainWindowTest {
protected:
    void TearDown() override { EXPECT_EQ(driver.unexpectedCaptions(), L""); }

    void shiftClick(int id)
    {
        SetKey(VK_SHIFT, true);
        click(id);
        SetKey(VK_SHIFT, false);
    }

    TempDir dir;
    DialogDriver driver;
};

} // namespace

// What only the window adds to the core's start: the Name box's limit,
// dropped files, a window that cannot be resized.
TEST_F(Editor, StartsWithExtractOffAndTheWindowsOwnSettings)
{
    EXPECT_FALSE(IsWindowEnabled(item(IDC_EXTRACT)));
    EXPECT_EQ(SendMessageW(item(IDC_NAME), EM_GETLIMITTEXT, 0, 0), 8);
    EXPECT_TRUE(GetWindowLongW(main(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    const HMENU menu = GetSystemMenu(main(), FALSE);
    EXPECT_EQ(GetMenuState(menu, 2, MF_BYPOSITION) & GetMenuState(menu, 4, MF_BYPOSITION) & MF_GRAYED, UINT(MF_GRAYED))
        << "Size and Maximize";
}

// The core's questions as message boxes with their icons, buttons and
// owner; names from the file dialog and drops reach the files, whatever
// their characters.
TEST_F(Editor, AsksInMessageBoxesAndTakesFilesFromTheDialogAndDrops)
{
    std::vector<SeenBox> boxes;
    session.bank.bankTitle = "kept.jbx";
    driver.answerBox(IDNO, &boxes);
    click(IDC_NEW);
    EXPECT_EQ(session.bank.bankTitle, "kept.jbx") << "No keeps the bank";

    // A bank without credits asks about them before the Save dialog.
    const std::string folder = dir.file("Klänge 音");
    std::filesystem::create_directories(PathFromUtf8(folder));
    const std::string saved = folder + "\\Gespeichert-ß.jbx";
    driver.answerBox(IDYES, &boxes);
    driver.answerFile(WideFromUtf8(saved), nullptr);
    click(IDC_SAVE);
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(WindowText(main()), L"JBX Maker - Gespeichert-ß.jbx");
    EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(saved)));
    EXPECT_EQ(boxes, (std::vector<SeenBox>{{"question", {IDYES, IDNO}, main()}, {"stop", {IDYES, IDNO}, main()}}));

    // Two files dropped: a real drop handle; only the first is loaded.
    const std::string bank = folder + "\\Überraschung-ß.jbx";
    WriteOneSoundBank(bank);
    SendDrop(main(), {bank, saved});
    EXPECT_EQ(WindowText(main()), L"JBX Maker - Überraschung-ß.jbx");

}

// The Replace dialog offers the core's filters, ';' lists and all; an MP3
// chosen there is decoded into the slot, and the core's question whether
// to make it fit the game is a Yes/No box. A dropped WAVE goes into the
// current slot, and Yes makes it mono and 8-bit.
TEST_F(Editor, ReplacesFromTheDialogWithAnyFilterAndTakesDroppedSounds)
{
    std::vector<std::wstring> filters;
    driver.then([&](HWND dialog) {
        const HWND types = GetDlgItem(dialog, 0x470);   // cmb1, the file types
        for (LRESULT i = 0, n = SendMessageW(types, CB_GETCOUNT, 0, 0); i < n; ++i) {
            std::wstring text(std::size_t(SendMessageW(types, CB_GETLBTEXTLEN, WPARAM(i), 0)), L'\0');
            SendMessageW(types, CB_GETLBTEXT, WPARAM(i), LPARAM(text.data()));
            filters.push_back(text);
        }
        SendMessageW(types, CB_SETCURSEL, 2, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK), LPARAM(types));
        SetWindowTextW(GetDlgItem(dialog, 0x47C), WideFromUtf8(kSounds + "\\tone.mp3").c_str());
        Press(dialog, IDOK);
    });
    std::vector<SeenBox> boxes;
    driver.answerBox(IDNO, &boxes);
    shiftClick(IDC_SOUND1 + 2);
    EXPECT_EQ(filters, (std::vector<std::wstring>{L"Wave Files (*.wav)", L"Voice Files (*.voc)", L"Other sound files"}));
    EXPECT_EQ(boxes, (std::vector<SeenBox>{{"question", {IDYES, IDNO}, main()}}));
    const SoundSlot& slot = session.bank.slot(3);
    const std::optional<WaveFormat> format = ReadWaveFormat(*slot.data);
    ASSERT_TRUE(format) << "no WAVE in the slot";
    EXPECT_EQ(std::tuple(format->formatTag, format->channels, format->sampleRate, format->bitsPerSample),
        std::tuple(std::uint16_t(1), std::uint16_t(2), 44100u, std::uint16_t(16)));
    EXPECT_EQ(session.replaceFilterIndex, 3);

    WriteBytes(dir.file("dropped.wav"), WaveImage(1, 2, 11025, 16, Bytes(400, 0x10)));
    driver.answerBox(IDYES, &boxes);
    click(IDC_SOUND1 + 6);
    SendDrop(main(), {dir.file("dropped.wav")});
    EXPECT_EQ(boxes.size(), 2u);
    const std::optional<WaveFormat> dropped = ReadWaveFormat(*session.bank.slot(7).data);
    ASSERT_TRUE(dropped) << "no WAVE in the slot";
    EXPECT_EQ(std::tuple(dropped->channels, dropped->sampleRate, dropped->bitsPerSample, dropped->dataLength),
        std::tuple(std::uint16_t(1), 11025u, std::uint16_t(8), 100u));
}

// Alt+F4 is the system's close key, not Sound 4's; the other Alt keys play.
TEST_F(Editor, ClicksAndKeysGoThroughTheLoopToTheTableOrTheNameBox)
{
    const HACCEL table = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_TRUE(table);
    // A double click (notice 5) plays nothing, and on an empty slot opens
    // nothing either.
    SendMessageW(main(), WM_COMMAND, MAKEWPARAM(103, 5), LPARAM(item(103)));
    EXPECT_EQ(session.bank.currentSlot, 1);
    click(IDC_SOUND1 + 4);
    EXPECT_EQ(session.bank.currentSlot, 5);
    const auto key = [&](UINT message, WPARAM vk) {
        SetKey(VK_MENU, message == WM_SYSKEYDOWN);
        PostMessageW(GetFocus(), message, vk, message == WM_SYSKEYDOWN ? 0x20000001 : 1);
        Pump(main(), table);
        SetKey(VK_MENU, false);
    };
    key(WM_SYSKEYDOWN, VK_F2);
    EXPECT_EQ(session.bank.currentSlot, 2);
    key(WM_KEYDOWN, '0');
    EXPECT_EQ(session.bank.currentSlot, 10);
    EXPECT_EQ(GetFocus(), item(IDC_SOUND10));

    // In the Name box the table's letters type; F-keys still select.
    SetFocus(item(IDC_NAME));
    SetWindowTextW(item(IDC_NAME), L"");
    key(WM_KEYDOWN, 'A');
    EXPECT_EQ(session.bank.currentSlot, 10);
    key(WM_KEYDOWN, VK_F3);
    EXPECT_EQ(session.bank.currentSlot, 3);
    EXPECT_EQ(session.bank.slot(10).name, "a") << "the typed name went to the slot that was current";

    // A on a button presses Replace, and so does a click with Shift held.
    std::vector<std::wstring> titles;
    driver.answerFile(L"", &titles);
    key(WM_KEYDOWN, 'A');
    driver.answerFile(L"", &titles);
    shiftClick(IDC_SOUND1 + 5);
    EXPECT_EQ(titles, (std::vector<std::wstring>{L"Replace sound 3", L"Replace sound 6"}));

    key(WM_SYSKEYDOWN, VK_F4);
    EXPECT_EQ(session.bank.currentSlot, 6);
    EXPECT_FALSE(IsWindow(main()));
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
    DestroyAcceleratorTable(table);
}

// The core's texts reach the boxes, and the typed ones come back through
// the bank's character set.
TEST_F(Editor, CreditsDialogShowsStoresAndErases)
{
    std::vector<SeenBox> boxes;

    // A character no bank text holds is not taken; line breaks stay CR LF.
    driver.then([&](HWND dialog) {
        EXPECT_EQ(ItemText(dialog, IDC_DATE_FINISHED), L"??/??/??");
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_AUTHOR, EM_GETLIMITTEXT, 0, 0), 100);
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_DESCRIPTION, EM_GETLIMITTEXT, 0, 0), 255);
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_DATE_FINISHED, EM_GETLIMITTEXT, 0, 0), 100);
        SetDlgItemTextW(dialog, IDC_AUTHOR, L"ZoëΩ");
        SetDlgItemTextW(dialog, IDC_DESCRIPTION, L"one\r\ntwo");
        Press(dialog, IDOK);
    });
    click(IDC_CREDITS);
    EXPECT_EQ(session.bank.credits.author, "Zo\xEB");
    EXPECT_EQ(session.bank.credits.description, "one\r\ntwo");

    // Erase asks, owned by the dialog, and empties the boxes at once.
    HWND creditsDialog = nullptr;
    driver.then([&](HWND dialog) {
        creditsDialog = dialog;
        driver.answerBox(IDYES, &boxes);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ERASE, BN_CLICKED), 0);
        EXPECT_EQ(ItemText(dialog, IDC_AUTHOR), L"");
        SetDlgItemTextW(dialog, IDC_AUTHOR, L"someone else");
        Press(dialog, IDCANCEL);
    });
    click(IDC_CREDITS);
    EXPECT_EQ(boxes, (std::vector<SeenBox>{{"exclamation", {IDYES, IDNO}, creditsDialog}}));
    EXPECT_TRUE(session.bank.credits.empty());
}

TEST_F(Editor, TheUnknownBlockDialogShowsItsDetailsOnRequest)
{
    std::vector<std::wstring> seen;
    driver.then([&](HWND dialog) {
        seen.push_back(WindowText(dialog) + L"|" + ItemText(dialog, IDC_SOUND_NUMBER) + L"|" + ItemText(dialog, IDC_BLOCK_ID) + L"|"
            + ItemText(dialog, IDC_BLOCK_LENGTH) + L"|" + ItemText(dialog, IDC_DETAILS));
        EXPECT_TRUE(SendDlgItemMessageW(dialog, IDC_BLOCK_ICON, STM_GETICON, 0, 0) == LPARAM(LoadIconW(nullptr, IDI_HAND)));
        RECT before, after;
        GetWindowRect(dialog, &before);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DETAILS, BN_CLICKED), 0);
        GetWindowRect(dialog, &after);
        EXPECT_EQ(after.bottom - before.bottom, HIWORD(GetDialogBaseUnits()) * 38 / 8) << "the details strip";
        seen.push_back(ItemText(dialog, IDC_DETAILS));
        // Esc and Enter do not end it; only its buttons do.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
        EXPECT_TRUE(IsWindow(dialog));
        Press(dialog, IDC_FORCE_CONVERSION);
    });
    const UnknownBlockChoice choice = desktop.askUnknownBlock({3, 12, 345}, Owner::MainWindow);
    EXPECT_EQ(choice, UnknownBlockChoice::ForceConversion);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Warning|3|12|345|Details >>", L"Details <<"}));

    for (const auto& [button, expected] : {std::pair{IDC_SKIP_BLOCK, UnknownBlockChoice::SkipBlock},
             std::pair{IDC_STOP_CONVERSION, UnknownBlockChoice::StopConversion}}) {
        driver.then([button = button](HWND dialog) { Press(dialog, button); });
        EXPECT_EQ(desktop.askUnknownBlock({0, 10, 1}, Owner::None), expected);
    }
}

// Wine here reaches no sound device: what is checked is what PlaySound is
// handed, and that it is kept alive while it may play.
TEST_F(Editor, PlaybackGetsTheSlotsImageAndKeepsItThroughAReplace)
{
    const Bytes good = PcmWave(64);

    session.bank.slot(2).data = MakeSoundData(good.size() + 1);
    std::copy(good.begin(), good.end(), session.bank.slot(2).data->begin());
    session.bank.slot(2).size = std::int32_t(good.size());
    session.bank.slot(3).data = MakeSoundData(13);
    session.bank.slot(3).size = 12;   // zeros: not a sound
    click(IDC_SOUND1 + 1);
    EXPECT_EQ(desktop.playing(), session.bank.slot(2).data);

    const std::weak_ptr<Bytes> played = session.bank.slot(2).data;
    const std::string replacement = dir.file("other.wav");
    WriteBytes(replacement, PcmWave(32));
    driver.answerFile(WideFromUtf8(replacement), nullptr);
    click(IDC_REPLACE);
    EXPECT_FALSE(played.expired());
    click(IDC_SOUND1 + 2);
    EXPECT_TRUE(played.expired());
    EXPECT_EQ(desktop.playing(), nullptr) << "zeros are not handed to the player";
}

// A system DLL that is missing, or lacks the function, is said in a box,
// and the caller gets nothing to call.
TEST_F(Editor, AMissingSystemFunctionIsToldNotCalled)
{
    std::vector<SeenBox> boxes;
    using Player = LateFunction<decltype(PlaySoundW)>;
    for (const Player missing : {Player{L"nosuchlibrary.dll", "PlaySoundW"}, Player{L"winmm.dll", "NoSuchFunction"}}) {
        driver.answerBox(IDOK, &boxes);
        EXPECT_EQ(SystemFunction(missing, desktop, Owner::MainWindow), nullptr) << missing.name;
    }
    EXPECT_EQ(boxes, (std::vector<SeenBox>(2, {"stop", {IDOK}, main()})));
}

// Windows disables the owner of a message box or modal dialog, so no click
// or key reaches the main window; a WM_COMMAND sent to it anyway, as a
// screen reader's default action on a button sends it, runs nothing, and
// neither a close nor a drop gets through.
TEST_F(Editor, TakesNoCommandWhileAModalWindowIsUp)
{
    const std::string bank = dir.file("dropped.jbx");
    WriteOneSoundBank(bank);
    const std::wstring caption = WindowText(main());
    std::vector<std::wstring> seen;
    const auto tryCommands = [&](HWND modal, int closer) {
        seen.push_back(WindowText(modal));
        EXPECT_FALSE(IsWindowEnabled(main()));
        SendMessageW(main(), WM_COMMAND, MAKEWPARAM(IDC_SOUND1 + 4, BN_CLICKED), LPARAM(item(IDC_SOUND1 + 4)));
        SendDrop(main(), {bank});
        SendMessageW(main(), WM_CLOSE, 0, 0);
        EXPECT_EQ(session.bank.currentSlot, 1) << "a sound button";
        EXPECT_EQ(WindowText(main()), caption) << "a drop";
        EXPECT_TRUE(IsWindow(main())) << "a close";
        Press(modal, closer);
    };
    driver.then([&](HWND box) { tryCommands(box, IDOK); });
    desktop.showMessage({"text", "Box", MessageButtons::Ok, MessageIcon::Stop, Owner::MainWindow});
    driver.then([&](HWND dialog) { tryCommands(dialog, IDC_STOP_CONVERSION); });
    desktop.askUnknownBlock({3, 12, 345}, Owner::MainWindow);
    driver.then([&](HWND dialog) { tryCommands(dialog, IDCANCEL); });
    click(IDC_OPEN);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Box", L"Warning", L"Open"}));
    EXPECT_TRUE(IsWindowEnabled(main()));
}

namespace {

// Windows' file dialog as documented, choosing gChosen: a buffer too small
// for the name gets the size it needs in its first two characters, and
// the failure FNERR_BUFFERTOOSMALL; nothing chosen is a failure of the
// dialog itself. Wine's own dialog takes no name past MAX_PATH.
std::wstring gChosen;
DWORD gFailure = 0;
std::vector<DWORD> gBufferSizes;

BOOL WINAPI ChooseAsWindows(OPENFILENAMEW* dialog)
{
    gBufferSizes.push_back(dialog->nMaxFile);
    gFailure = 0;
    if (gChosen.empty()) {
        gFailure = CDERR_DIALOGFAILURE;
        return FALSE;
    }
    if (dialog->nMaxFile <= gChosen.size()) {
        *reinterpret_cast<WORD*>(dialog->lpstrFile) = WORD(gChosen.size() + 1);
        gFailure = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::copy(gChosen.begin(), gChosen.end(), dialog->lpstrFile);
    dialog->lpstrFile[gChosen.size()] = L'\0';
    return TRUE;
}

DWORD WINAPI FailureAsWindows()
{
    return gFailure;
}

bool Painted(HWND window)
{
    return !GetUpdateRect(window, nullptr, FALSE);
}

std::function<void()> gTick;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (gTick)
        gTick();
}

// The first FlushFileBuffers of this program waits, on the thread that
// calls it, until release() or ten seconds have passed: a slow disk's
// flush, which keeps the writer inside the last step of a save. It stands
// in for kernel32's in the program's import table while this lives.
class HeldFlush {
public:
    HeldFlush()
    {
        started_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        released_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        slot_ = ImportSlot("FlushFileBuffers");
        if (slot_) {
            real_ = reinterpret_cast<decltype(real_)>(*slot_);
            patch(reinterpret_cast<ULONG_PTR>(&Flush));
        }
    }
    ~HeldFlush()
    {
        if (slot_)
            patch(reinterpret_cast<ULONG_PTR>(real_));
        CloseHandle(started_);
        CloseHandle(released_);
    }

    bool installed() const { return slot_ != nullptr; }
    // A flush is waiting for release().
    bool holding() const
    {
        return WaitForSingleObject(started_, 0) == WAIT_OBJECT_0 && WaitForSingleObject(released_, 0) == WAIT_TIMEOUT;
    }
    void release() { SetEvent(released_); }

private:
    static BOOL WINAPI Flush(HANDLE file)
    {
        if (WaitForSingleObject(started_, 0) == WAIT_TIMEOUT) {
            SetEvent(started_);
            WaitForSingleObject(released_, 10000);
        }
        return real_(file);
    }

    static ULONG_PTR* ImportSlot(const char* function)
    {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); library->Name; ++library) {
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
            for (; library->OriginalFirstThunk && names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                const auto* named = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(named->Name), function) == 0)
                    return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
            }
        }
        return nullptr;
    }

    void patch(ULONG_PTR function)
    {
        DWORD was;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &was);
        *slot_ = function;
        VirtualProtect(slot_, sizeof *slot_, was, &was);
    }

    static inline HANDLE started_ = nullptr;
    static inline HANDLE released_ = nullptr;
    static inline decltype(FlushFileBuffers)* real_ = nullptr;
    ULONG_PTR* slot_ = nullptr;
};

} // namespace

// A slow disk's flush, or one big sound, keeps the writer in a single step
// for long. Meanwhile the GUI thread goes on: the Saving window and the
// main window are painted anew and the bar moves, while the main window
// stays disabled and a command, a close and a quit sent to it change
// nothing. Windows takes a program for hung after five seconds without
// a look at its messages (IsHungAppWindow); what is checked here is the
// cause, in far less time: the messages are handled during the step.
TEST_F(Editor, ASaveHeldInOneStepKeepsTheWindowsPaintedAndTakesNoCommand)
{
    const std::string source = dir.file("source.jbx");
    WriteOneSoundBank(source);
    PrepareBank(session, source);
    session.bank.creditsConfirmed = true;
    const std::string saved = dir.file("saved.jbx");
    desktop.setFileDialogFunctions({ChooseAsWindows, ChooseAsWindows, FailureAsWindows});
    gChosen = WideFromUtf8(saved);

    HeldFlush flush;
    ASSERT_TRUE(flush.installed());
    std::vector<std::string> seen;
    HWND saving = nullptr;
    ULONGLONG held = 0;
    gTick = [&] {
        if (!flush.holding())
            return;
        if (!saving) {
            held = GetTickCount64();
            // An owned window comes in front of its owner.
            saving = GetWindow(main(), GW_HWNDPREV);
            for (HWND window : {main(), saving})
                RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            SendMessageW(main(), WM_COMMAND, MAKEWPARAM(IDC_SOUND1 + 4, BN_CLICKED), LPARAM(item(IDC_SOUND1 + 4)));
            SendMessageW(main(), WM_CLOSE, 0, 0);
            // What Alt+F4 on it sends: a dialog turns it into IDCANCEL, and
            // the Saving window has no procedure to take that.
            SendMessageW(saving, WM_CLOSE, 0, 0);
            PostQuitMessage(3);
            return;
        }
        // A later tick: paints come before timers. The writer reported its
        // end before the flush; the bar shows it from the next poll.
        const HWND bar = GetDlgItem(saving, IDC_PROGRESS);
        if (SendMessageW(bar, PBM_GETPOS, 0, 0) != 100 && GetTickCount64() - held < 2000)
            return;
        seen.push_back(IsWindow(saving) && GetWindow(saving, GW_OWNER) == main() && IsWindowVisible(saving) && bar
                ? "saving shown"
                : "saving gone");
        seen.push_back(Painted(saving) && Painted(GetWindow(saving, GW_CHILD)) && Painted(bar) ? "painted" : "unpainted");
        seen.push_back(Painted(main()) && Painted(item(IDC_SOUND1)) ? "main painted" : "main unpainted");
        seen.push_back("bar at " + std::to_string(SendMessageW(bar, PBM_GETPOS, 0, 0)));
        seen.push_back(IsWindowEnabled(main()) ? "main enabled" : "main disabled");
        seen.push_back(IsWindow(main()) ? "main open" : "main closed");
        seen.push_back("slot " + std::to_string(session.bank.currentSlot));
        flush.release();
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
    click(IDC_SAVE);
    KillTimer(nullptr, timer);
    gTick = nullptr;

    EXPECT_EQ(seen, (std::vector<std::string>{"saving shown", "painted", "main painted", "bar at 100", "main disabled",
                        "main open", "slot 1"}));
    EXPECT_FALSE(IsWindow(saving));
    EXPECT_EQ(ReadBytes(saved), ReadBytes(source));
    EXPECT_TRUE(IsWindowEnabled(main()));
    EXPECT_EQ(WindowText(main()), L"JBX Maker - saved.jbx");
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit is kept for the program's loop";
    EXPECT_EQ(quit.wParam, 3u);
}

// The last poll comes once the work has ended, so the bar shows where the
// writer got; what the work throws reaches the caller.
TEST_F(Editor, WorkAsideIsPolledAfterItsEndAndHandsOnWhatItThrows)
{
    std::atomic<bool> ended = false;
    bool lastPollAfterEnd = false;
    desktop.runAside([&] { ended = true; }, [&] { lastPollAfterEnd = ended; });
    EXPECT_TRUE(lastPollAfterEnd);
    EXPECT_THROW(desktop.runAside([] { throw std::runtime_error("disk gone"); }, [] {}), std::runtime_error);
}

// A bank 300 characters deep, past MAX_PATH, opens and is saved there.
TEST_F(Editor, ABankPastMaxPathOpensAndSaves)
{
    std::string folder = dir.file("deep");
    while (folder.size() < 300)
        folder += "\\" + std::string(50, 'd');
    ASSERT_TRUE(std::filesystem::create_directories(PathFromUtf8(folder)));
    const std::string bank = folder + "\\deep.jbx";
    WriteOneSoundBank(bank);

    desktop.setFileDialogFunctions({ChooseAsWindows, ChooseAsWindows, FailureAsWindows});
    gChosen = WideFromUtf8(bank);
    click(IDC_OPEN);
    EXPECT_EQ(WindowText(main()), L"JBX Maker - deep.jbx");
    EXPECT_EQ(session.bank.slot(4).name, "s4");

    const std::string saved = folder + "\\saved.jbx";
    session.bank.creditsConfirmed = true;
    gChosen = WideFromUtf8(saved);
    click(IDC_SAVE);
    EXPECT_EQ(WindowText(main()), L"JBX Maker - saved.jbx");
    EXPECT_EQ(ReadBytes(saved), ReadBytes(bank));

    // A folder that deep may be current (where the system takes long
    // paths, as Wine does), and is then read back whole.
    if (ChangeCurrentDirectory(folder)) {
        EXPECT_EQ(PathFromUtf8(CurrentDirectory()), PathFromUtf8(folder));
    }
    ASSERT_TRUE(ChangeCurrentDirectory(dir.path()));

    // Under Wine std::filesystem::remove_all leaves a tree this deep behind
    // (the temporary folder's removal included), so it is taken down here
    // one entry at a time from the bottom.
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(bank), ignored);
    std::filesystem::remove(PathFromUtf8(saved), ignored);
    for (std::string at = folder; at.size() > dir.path().size(); at.erase(at.rfind('\\')))
        std::filesystem::remove(PathFromUtf8(at), ignored);
}

// A name longer than the buffer shows the dialog again with room for it;
// a dialog that fails says so.
TEST_F(Editor, TheFileDialogRetriesWithRoomAndTellsOfAFailure)
{
    desktop.setFileDialogFunctions({ChooseAsWindows, ChooseAsWindows, FailureAsWindows});
    FileDialogRequest request;
    request.title = "Open";
    gChosen = L"C:\\" + std::wstring(40000, L'n');
    gBufferSizes.clear();
    const std::optional<ChosenFile> chosen = desktop.chooseFile(request);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(WideFromUtf8(chosen->path), gChosen);
    ASSERT_EQ(gBufferSizes.size(), 2u);
    EXPECT_EQ(gBufferSizes[0], 32768u);
    EXPECT_GT(gBufferSizes[1], 40003u);

    std::wstring told;
    driver.then([&](HWND box) {
        told = WindowText(box) + L"|" + ItemText(box, 0xFFFF);
        Press(box, IDOK);
    });
    gChosen.clear();
    EXPECT_FALSE(desktop.chooseFile(request));
    EXPECT_EQ(told, L"Error|The file dialog failed (error 0xFFFF)");
}
