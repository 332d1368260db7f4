#include "win32/mainwindow.h"

#include "bank/soundbank.h"
#include "win32/controls.h"
#include "win32/creditsdialog.h"
#include "win32/optionssheet.h"
#include "win32/resource.h"
#include "win32/sounddialog.h"
#include "win32/systemlibrary.h"
#include "win32/widetext.h"
#include "win32/win32desktop.h"

#include <windowsx.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace jbx {

static_assert(IDC_SOUND1 == command::kSound1 && IDC_SOUND10 == command::kSound10);
static_assert(IDC_OPEN == command::kOpen && IDC_SAVE == command::kSave && IDC_NEW == command::kNew);
static_assert(IDC_QUIT == command::kQuit && IDC_CREDITS == command::kCredits && IDC_OPTIONS == command::kOptions);
static_assert(IDC_EXTRACT == command::kExtract && IDC_REPLACE == command::kReplace);
static_assert(IDC_NAME == kNameBoxId && IDC_SIZE_TEXT == kSizeTextId);

namespace {

Notification NotificationOf(UINT code)
{
    if (code == 0)
        return Notification::Clicked;
    if (code == 1)
        return Notification::Accelerator;
    // A push button reports a double-click only with BS_NOTIFY, which the
    // sound buttons of template 100 have always had (0x4000 in 0x50014300).
    if (code == BN_DOUBLECLICKED)
        return Notification::DoubleClicked;
    return Notification::Other;
}

static_assert(BN_DOUBLECLICKED == UINT(Notification::DoubleClicked));

bool IsSoundButton(HWND window, HWND control)
{
    const int id = GetDlgCtrlID(control);
    return GetParent(control) == window && id >= IDC_SOUND1 && id <= IDC_SOUND10;
}

// What DragAcceptFiles does, which would load the shell at start-up for
// one style bit; the shell is needed only once something is dropped.
void AcceptDroppedFiles(HWND window, bool accept)
{
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, accept ? style | WS_EX_ACCEPTFILES : style & ~LONG_PTR(WS_EX_ACCEPTFILES));
}

// Only the first name counts; its length is asked for, so no path is cut.
// The drop is released before the bank is opened. Nothing when the shell's
// drop functions cannot be had; the user has been told which.
std::optional<std::wstring> FirstDroppedName(HDROP drop, Desktop& desktop)
{
    const auto query = SystemFunction(kDragQueryFileW, desktop, Owner::MainWindow);
    const auto finish = query ? SystemFunction(kDragFinish, desktop, Owner::MainWindow) : nullptr;
    if (!finish)
        return std::nullopt;   // without DragFinish nothing can release the drop
    const std::unique_ptr<std::remove_pointer_t<HDROP>, decltype(finish)> held(drop, finish);
    const UINT length = query(drop, 0, nullptr, 0);
    std::wstring name(std::size_t(length) + 1, L'\0');
    name.resize(query(drop, 0, name.data(), length + 1));
    return name;
}

} // namespace

void RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSW windowClass{};
    windowClass.style = CS_BYTEALIGNWINDOW | CS_SAVEBITS | CS_DBLCLKS;
    windowClass.lpfnWndProc = DefDlgProcW;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));   // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = L"JBXMaker";
    RegisterClassW(&windowClass);
}

Win32MainWindow::Win32MainWindow(HINSTANCE instance, Session& session, SettingsStore& settings, Win32Desktop& desktop)
    : instance_(instance),
      session_(session),
      settings_(settings),
      desktop_(desktop),
      commands_(session, settings, *this,
          MainWindowHooks{
              [this] { ShowCreditsDialog(instance_, window_, session_.bank, desktop_); },
              [this] { ShowOptionsSheet(instance_, window_, settings_, desktop_); },
              [this] { SendMessageW(window_, WM_CLOSE, 0, 0); },
              [this] { SendDlgItemMessageW(window_, IDC_REPLACE, BM_CLICK, 0, 0); },
              [this](const std::function<void()>& work, const std::function<void()>& poll) { desktop_.runAside(work, poll); },
              [this](SoundEditor& editor) { return ShowSoundDialog(instance_, window_, editor, desktop_) == IDOK; },
          })
{
}

HWND Win32MainWindow::create()
{
    return CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, LPARAM(this));
}

INT_PTR CALLBACK Win32MainWindow::MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(window, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(window, WM_COMMAND, OnCommand);
        HANDLE_MSG(window, WM_CONTEXTMENU, OnContextMenu);
        HANDLE_MSG(window, WM_DROPFILES, OnDropFiles);
        HANDLE_MSG(window, WM_CLOSE, OnClose);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
    }
    return FALSE;
}

BOOL Win32MainWindow::OnInitDialog(HWND window, HWND, LPARAM lParam)
{
    Win32MainWindow& self = KeepDialogData(window, reinterpret_cast<Win32MainWindow*>(lParam));
    self.window_ = window;
    self.desktop_.setMainWindow(window);
    // The window's own share of the start, then the core's: caption,
    // current slot 1, Extract, and the focus on Sound 1 last.
    AcceptDroppedFiles(window, true);
    SendDlgItemMessageW(window, IDC_NAME, EM_LIMITTEXT, kSlotNameLimit, 0);
    const HMENU menu = GetSystemMenu(window, FALSE);
    EnableMenuItem(menu, 2, MF_BYPOSITION | MF_GRAYED);   // Size
    EnableMenuItem(menu, 4, MF_BYPOSITION | MF_GRAYED);   // Maximize
    self.commands_.startWindow();
    return FALSE;
}

void Win32MainWindow::OnCommand(HWND window, int id, HWND control, UINT code)
{
    Win32MainWindow* self = DialogData<Win32MainWindow>(window);
    if (!self)
        return;
    if (id == IDC_NAME && code == EN_UPDATE)
        KeepBankCharacters(control);
    // Windows disables the owner of a message box or modal dialog, and the
    // Saving window disables this one, so no click or key reaches it then;
    // but a WM_COMMAND sent straight to it (a screen reader's default
    // action, another program) still comes, and would run a command in
    // the middle of another.
    if (!IsWindowEnabled(window))
        return;
    self->commands_.run(id, NotificationOf(code));
}

void Win32MainWindow::OnContextMenu(HWND window, HWND control, UINT x, UINT y)
{
    Win32MainWindow* self = DialogData<Win32MainWindow>(window);
    if (!self || !IsSoundButton(window, control) || !IsWindowEnabled(window))
        return;
    POINT at{short(x), short(y)};   // screen coordinates, signed on a monitor left of or above the first
    if (at.x == -1 && at.y == -1) {
        // From the keyboard (Shift+F10, the menu key): below the button.
        RECT box;
        GetWindowRect(control, &box);
        at = {box.left, box.bottom};
    }
    if (const int id = self->trackSoundMenu(at))
        self->commands_.run(id, Notification::Clicked);
}

int Win32MainWindow::trackSoundMenu(POINT at)
{
    const HMENU menu = CreatePopupMenu();
    if (!menu)
        return 0;
    // What Extract needs, a sound in the current slot, the Sound window
    // needs too.
    const bool extract = IsWindowEnabled(GetDlgItem(window_, IDC_EXTRACT));
    for (const SoundMenuItem& item : kSoundMenu) {
        const bool grayed = !extract && (item.command == command::kExtract || item.command == command::kEditSound);
        AppendMenuW(menu, MF_STRING | (grayed ? MF_GRAYED : 0), UINT_PTR(item.command), WideFromUtf8(item.text).c_str());
    }
    const int id = int(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_NONOTIFY,
        at.x, at.y, 0, window_, nullptr));
    DestroyMenu(menu);
    return id;
}

void Win32MainWindow::OnDropFiles(HWND window, HDROP drop)
{
    Win32MainWindow* self = DialogData<Win32MainWindow>(window);
    if (!self || !IsWindowEnabled(window)) {
        if (const auto finish = FindSystemFunction(kDragFinish))
            finish(drop);
        return;
    }
    if (const std::optional<std::wstring> name = FirstDroppedName(drop, self->desktop_))
        self->commands_.dropFiles({Utf8FromWide(*name)});
}

void Win32MainWindow::OnClose(HWND window)
{
    // Closed under a modal box or a save, the window would be gone when
    // they return to it.
    if (!IsWindowEnabled(window))
        return;
    AcceptDroppedFiles(window, false);
    DestroyWindow(window);
}

void Win32MainWindow::OnDestroy(HWND window)
{
    Win32MainWindow* self = DialogData<Win32MainWindow>(window);
    if (!self)
        return;
    self->desktop_.setMainWindow(nullptr);
    PostQuitMessage(0);
}

void Win32MainWindow::setCaption(const std::string& caption)
{
    SetWindowTextW(window_, WideFromUtf8(caption).c_str());
}

std::string Win32MainWindow::nameText() const
{
    return BankTextFromWide(ItemText(window_, IDC_NAME)).substr(0, kSlotNameLimit);
}

void Win32MainWindow::setNameText(const std::string& text)
{
    SetDlgItemTextW(window_, IDC_NAME, WideFromBankText(text).c_str());
}

void Win32MainWindow::setSizeText(const std::string& text)
{
    SetDlgItemTextW(window_, IDC_SIZE_TEXT, WideFromUtf8(text).c_str());
}

void Win32MainWindow::setExtractEnabled(bool enabled)
{
    EnableWindow(GetDlgItem(window_, IDC_EXTRACT), enabled);
}

void Win32MainWindow::focusSoundButton(int slotNumber)
{
    SetFocus(GetDlgItem(window_, IDC_SOUND1 + slotNumber - 1));
}

} // namespace jbx
