#include "win32/win32desktop.h"

#include "audio/waveimage.h"
#include "win32/accessiblenames.h"
#include "win32/controls.h"
#include "win32/resource.h"
#include "win32/systemlibrary.h"
#include "win32/widetext.h"

#include <cderr.h>
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace jbx {

namespace {

UINT IconFlag(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Stop:
        return MB_ICONHAND;
    case MessageIcon::Question:
        return MB_ICONQUESTION;
    case MessageIcon::Exclamation:
        return MB_ICONEXCLAMATION;
    case MessageIcon::Asterisk:
        return MB_ICONASTERISK;
    }
    return 0;
}

// The unknown-block dialog's state, kept in its user data.
struct UnknownBlockDialog {
    const UnknownBlockDetails& details;
    // The template shows the details strip.
    bool detailsShown = true;
    AccessibleNames names;
};

// The longest path Windows takes, with its terminating NUL.
constexpr std::size_t kLongestPath = 32768;

// What ends the unknown-block dialog: one of its three buttons. None is 0
// or -1, which DialogBoxParam gives when the dialog could not be shown.
enum class UnknownBlockButton : INT_PTR { Stop = 1, Skip, Force };

// The dialog's details strip: its height in pixels is 38 vertical dialog
// units of the system font, not of the dialog's own.
void ToggleDetails(HWND dialog, UnknownBlockDialog& state)
{
    RECT rect;
    GetWindowRect(dialog, &rect);
    const int d = HIWORD(GetDialogBaseUnits()) * 38 / 8;
    const int height = rect.bottom - rect.top;
    if (state.detailsShown) {
        SetDlgItemTextW(dialog, IDC_DETAILS, WideFromUtf8(kShowDetailsText).c_str());
        SetWindowPos(dialog, nullptr, 0, 0, rect.right - rect.left, height - d, SWP_NOMOVE | SWP_NOZORDER);
        state.detailsShown = false;
    } else {
        SetDlgItemTextW(dialog, IDC_DETAILS, WideFromUtf8(kHideDetailsText).c_str());
        SetWindowPos(dialog, nullptr, 0, 0, rect.right - rect.left, height + d, SWP_NOMOVE | SWP_NOZORDER);
        state.detailsShown = true;
    }
}

BOOL OnInitDialog(HWND dialog, HWND, LPARAM lParam)
{
    UnknownBlockDialog& state = KeepDialogData(dialog, reinterpret_cast<UnknownBlockDialog*>(lParam));
    SendDlgItemMessageW(dialog, IDC_BLOCK_ICON, STM_SETICON, WPARAM(LoadIconW(nullptr, IDI_HAND)), 0);
    SetDlgItemInt(dialog, IDC_SOUND_NUMBER, UINT(state.details.soundNumber), FALSE);
    SetDlgItemInt(dialog, IDC_BLOCK_ID, state.details.blockType, FALSE);
    SetDlgItemInt(dialog, IDC_BLOCK_LENGTH, state.details.blockLength, FALSE);
    // The three headings come before the three fields, so Windows would name
    // every field after the last heading; each is given its own. The
    // headings are the texts just before the first field, in the fields' order.
    const int fields[] = {IDC_SOUND_NUMBER, IDC_BLOCK_ID, IDC_BLOCK_LENGTH};
    HWND heading = GetDlgItem(dialog, fields[0]);
    for (int i = 2; i >= 0; --i) {
        heading = GetWindow(heading, GW_HWNDPREV);
        state.names.give(GetDlgItem(dialog, fields[i]), WindowText(heading));
    }
    ToggleDetails(dialog, state);
    return FALSE;
}

void OnDestroy(HWND dialog)
{
    if (UnknownBlockDialog* state = DialogData<UnknownBlockDialog>(dialog))
        state->names.clear();
}

void OnCommand(HWND dialog, int id, HWND, UINT code)
{
    UnknownBlockDialog* state = DialogData<UnknownBlockDialog>(dialog);
    if (!state || code != BN_CLICKED)
        return;
    switch (id) {
    case IDC_DETAILS:
        ToggleDetails(dialog, *state);
        break;
    case IDC_STOP_CONVERSION:
        EndDialog(dialog, INT_PTR(UnknownBlockButton::Stop));
        break;
    case IDC_SKIP_BLOCK:
        EndDialog(dialog, INT_PTR(UnknownBlockButton::Skip));
        break;
    case IDC_FORCE_CONVERSION:
        EndDialog(dialog, INT_PTR(UnknownBlockButton::Force));
        break;
    }
}

INT_PTR CALLBACK UnknownBlockDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
        HANDLE_MSG(dialog, WM_DESTROY, OnDestroy);
    }
    return FALSE;
}

// What the user is told when a file dialog fails, by CommDlgExtendedError's code.
std::string FileDialogErrorText(DWORD error)
{
    switch (error) {
    case FNERR_BUFFERTOOSMALL:
        return "The file name is too long";
    case FNERR_INVALIDFILENAME:
        return "The file name is not valid";
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%04lX", static_cast<unsigned long>(error));
    return "The file dialog failed (error " + std::string(code) + ")";
}

} // namespace

Win32Desktop::Win32Desktop(HINSTANCE instance) : instance_(instance) {}

Win32Desktop::~Win32Desktop()
{
    // Something playing means the player was found.
    if (playing_)
        FindSystemFunction(kPlaySoundW)(nullptr, nullptr, 0);
}

HWND Win32Desktop::ownerWindow(Owner owner) const
{
    switch (owner) {
    case Owner::None:
        return nullptr;
    case Owner::MainWindow:
        return mainWindow_;
    case Owner::Dialog:
        return dialog_ ? dialog_ : mainWindow_;
    }
    return nullptr;
}

MessageAnswer Win32Desktop::showMessage(const Message& message)
{
    const UINT buttons = message.buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
    const int answer = MessageBoxW(ownerWindow(message.owner), WideFromUtf8(message.text).c_str(),
        WideFromUtf8(message.caption).c_str(), buttons | IconFlag(message.icon));
    if (answer == IDYES)
        return MessageAnswer::Yes;
    if (answer == IDNO)
        return MessageAnswer::No;
    return MessageAnswer::Ok;
}

UnknownBlockChoice Win32Desktop::askUnknownBlock(const UnknownBlockDetails& details, Owner owner)
{
    UnknownBlockDialog state{details, true, {}};
    const auto pressed = UnknownBlockButton(DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_UNKNOWN_BLOCK),
        ownerWindow(owner), UnknownBlockDialogProc, reinterpret_cast<LPARAM>(&state)));
    if (pressed == UnknownBlockButton::Skip)
        return UnknownBlockChoice::SkipBlock;
    if (pressed == UnknownBlockButton::Force)
        return UnknownBlockChoice::ForceConversion;
    // A dialog that could not be shown stops the conversion, like its button.
    return UnknownBlockChoice::StopConversion;
}

std::optional<ChosenFile> Win32Desktop::chooseFile(const FileDialogRequest& request)
{
    // "Description", NUL, "pattern", NUL, ..., and a second NUL at the end.
    std::wstring filter;
    for (const FileFilter& f : request.filters) {
        filter += WideFromUtf8(f.description) + L'\0';
        filter += WideFromUtf8(f.pattern) + L'\0';
    }
    filter += L'\0';
    const std::wstring title = WideFromUtf8(request.title);
    const std::wstring directory = WideFromUtf8(request.startDirectory);
    const std::wstring suffix = WideFromUtf8(request.defaultSuffix);
    // Room for the longest path Windows has, since the program takes long
    // paths; a dialog that still finds it too small says in the buffer's
    // first two bytes how many characters it needs, and is shown again.
    std::vector<wchar_t> file(kLongestPath, L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = ownerWindow(request.owner);
    dialog.hInstance = instance_;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = DWORD(request.filterIndex);
    dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = suffix.empty() ? nullptr : suffix.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (request.fileMustExist)
        dialog.Flags |= OFN_FILEMUSTEXIST;
    if (request.pathMustExist)
        dialog.Flags |= OFN_PATHMUSTEXIST;
    if (request.confirmOverwrite)
        dialog.Flags |= OFN_OVERWRITEPROMPT;

    auto run = request.kind == FileDialogKind::Open ? fileDialogs_.open : fileDialogs_.save;
    if (!run)
        run = SystemFunction(request.kind == FileDialogKind::Open ? kGetOpenFileNameW : kGetSaveFileNameW, *this, request.owner);
    auto failure = fileDialogs_.failure;
    if (run && !failure)
        failure = SystemFunction(kCommDlgExtendedError, *this, request.owner);
    if (!failure)
        return std::nullopt;
    for (bool retried = false;; retried = true) {
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = DWORD(file.size());
        if (run(&dialog))
            return ChosenFile{Utf8FromWide(file.data()), int(dialog.nFilterIndex)};
        const DWORD error = failure();
        if (error == 0)
            return std::nullopt;   // cancelled
        if (error == FNERR_BUFFERTOOSMALL && !retried) {
            const std::size_t needed = *reinterpret_cast<const WORD*>(file.data());
            file.assign(std::max(needed + 1, file.size() * 2), L'\0');
            continue;
        }
        ShowError(*this, FileDialogErrorText(error), request.owner);
        return std::nullopt;
    }
}

void Win32Desktop::playSound(SoundData image)
{
    const auto play = SystemFunction(kPlaySoundW, *this, Owner::MainWindow);
    if (!play)
        return;
    // Stop first: the buffer that may be playing is released below.
    play(nullptr, nullptr, 0);
    playing_.reset();
    if (!image || !WaveImageFits(*image))
        return;
    playing_ = std::move(image);
    play(reinterpret_cast<LPCWSTR>(playing_->data()), nullptr, SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
}

bool Win32Desktop::shiftHeld() const
{
    return GetKeyState(VK_SHIFT) < 0;
}

void Win32Desktop::openProgress()
{
    progress_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_SAVING), mainWindow_, nullptr, 0);
    // The main window takes no input while the bank is written, as under a
    // modal dialog; the Saving window, shown first, has the activation.
    if (mainWindow_)
        EnableWindow(mainWindow_, FALSE);
}

void Win32Desktop::setProgress(int position)
{
    if (progress_)
        SendDlgItemMessageW(progress_, IDC_PROGRESS, PBM_SETPOS, WPARAM(position), 0);
}

void Win32Desktop::closeProgress()
{
    // Enabled before the Saving window goes, so the activation returns to it.
    if (mainWindow_)
        EnableWindow(mainWindow_, TRUE);
    if (progress_)
        DestroyWindow(progress_);
    progress_ = nullptr;
}

void Win32Desktop::runAside(const std::function<void()>& work, const std::function<void()>& poll)
{
    // The thread sets this event as it ends: a std::thread has no handle
    // that MsgWaitForMultipleObjects takes.
    const std::unique_ptr<void, decltype(&CloseHandle)> ended(CreateEventW(nullptr, TRUE, FALSE, nullptr), CloseHandle);
    std::exception_ptr failure;
    std::thread worker;
    if (ended) {
        try {
            worker = std::thread([&] {
                try {
                    work();
                } catch (...) {
                    failure = std::current_exception();
                }
                SetEvent(ended.get());
            });
        } catch (const std::system_error&) {
        }
    }
    if (!worker.joinable()) {
        // The windows stand still meanwhile, but the bank is written.
        work();
        poll();
        return;
    }
    // Whatever leaves this frame, the thread ends first: its work lives in
    // the caller's frame.
    const auto joinFirst = [](std::thread* thread) {
        if (thread->joinable())
            thread->join();
    };
    const std::unique_ptr<std::thread, decltype(joinFirst)> joined(&worker, joinFirst);

    // A quit that comes meanwhile cannot end a loop that must wait for the
    // writer; it is posted again for the program's own loop once it has.
    std::optional<int> quit;
    HANDLE waitFor = ended.get();
    // MWMO_INPUTAVAILABLE: messages already seen by a peek and left in the
    // queue wake the wait too, not only new ones.
    while (MsgWaitForMultipleObjectsEx(1, &waitFor, kPollMilliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0) {
        handleWaitingMessages(quit);
        poll();
    }
    worker.join();
    if (quit)
        PostQuitMessage(*quit);
    poll();
    if (failure)
        std::rethrow_exception(failure);
}

void Win32Desktop::handleWaitingMessages(std::optional<int>& quit)
{
    // What comes while the bank is written is handled as a modal dialog's
    // loop handles it, the Saving window in the dialog's place: the windows
    // are painted, timers run, and after five seconds Windows does not take
    // the program for hung. The keyboard table is left out: it only makes
    // commands for the main window, which is disabled and takes none.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = int(message.wParam);
            continue;
        }
        if (progress_ && IsDialogMessageW(progress_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace jbx
