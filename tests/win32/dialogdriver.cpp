#include "tests/win32/dialogdriver.h"

#include "win32/controls.h"

#include <algorithm>

namespace jbx::testing {

namespace {

DialogDriver* gDriver = nullptr;

std::wstring ClassOf(HWND window)
{
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

SeenBox ReadMessageBox(HWND box)
{
    SeenBox seen{"none", {}, GetWindow(box, GW_OWNER)};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != L"Static" || (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            continue;
        const auto shown = HICON(SendMessageW(child, STM_GETICON, 0, 0));
        for (const auto& [id, name] : {std::pair{IDI_HAND, "stop"}, {IDI_QUESTION, "question"},
                 {IDI_EXCLAMATION, "exclamation"}, {IDI_ASTERISK, "asterisk"}})
            if (shown && shown == LoadIconW(nullptr, id))
                seen.icon = name;
    }
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
        if (HWND button = GetDlgItem(box, id); button && IsWindowVisible(button))
            seen.buttons.push_back(id);
    return seen;
}

} // namespace

void Press(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

DialogDriver::DialogDriver()
{
    gDriver = this;
    timer_ = SetTimer(nullptr, 0, 20, Tick);
}

DialogDriver::~DialogDriver()
{
    KillTimer(nullptr, timer_);
    gDriver = nullptr;
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (gDriver)
        gDriver->tick();
}

void DialogDriver::tick()
{
    // Handles of closed windows are used again.
    std::erase_if(handled_, [](HWND window) { return !IsWindow(window); });
    // A modal window disables its owner, so the newest one is the enabled one.
    HWND found = nullptr;
    for (HWND window = GetTopWindow(nullptr); window && !found; window = GetWindow(window, GW_HWNDNEXT)) {
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() && ClassOf(window) == L"#32770"
            && IsWindowVisible(window) && IsWindowEnabled(window)
            && (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION   // not the Saving window
            && std::find(handled_.begin(), handled_.end(), window) == handled_.end())
            found = window;
    }
    if (!found)
        return;
    handled_.push_back(found);
    // A step may open further windows and wait for them: the ticks inside
    // its nested loops answer those.
    if (steps_.empty()) {
        unexpected_.push_back(WindowText(found));
        PostMessageW(found, WM_CLOSE, 0, 0);
        Press(found, IDCANCEL);
    } else {
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(found);
    }
}

std::wstring DialogDriver::unexpectedCaptions() const
{
    std::wstring captions;
    for (const std::wstring& caption : unexpected_)
        captions += L"[" + caption + L"]";
    return captions;
}

void DialogDriver::answerBox(int button, std::vector<SeenBox>* seen)
{
    then([button, seen](HWND box) {
        if (seen)
            seen->push_back(ReadMessageBox(box));
        Press(box, button);
    });
}

void DialogDriver::answerFile(const std::wstring& path, std::vector<std::wstring>* titles)
{
    then([path, titles](HWND dialog) {
        if (titles)
            titles->push_back(WindowText(dialog));
        if (path.empty()) {
            Press(dialog, IDCANCEL);
            return;
        }
        // The file name box: cmb13 (0x47C), or edt1 (0x480) in older dialogs.
        for (int id : {0x47C, 0x480})
            if (HWND box = GetDlgItem(dialog, id))
                SetWindowTextW(box, path.c_str());
        Press(dialog, IDOK);
    });
}

} // namespace jbx::testing
