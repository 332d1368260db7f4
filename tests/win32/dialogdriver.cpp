#include "tests/win32/dialogdriver.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace jbx::testing {

namespace {

DialogDriver* gDriver = nullptr;

struct Found {
    const std::vector<HWND>* handled;
    HWND window = nullptr;
};

// A window answered this long ago and still waiting for input was not
// answered as the test meant: it is closed, so the test fails instead of
// hanging.
constexpr ULONGLONG kStuckAfterMs = 4000;

BOOL CALLBACK FindNewDialog(HWND window, LPARAM data)
{
    auto* found = reinterpret_cast<Found*>(data);
    if (ClassOf(window) != L"#32770" || !IsWindowVisible(window) || !IsWindowEnabled(window))
        return TRUE;
    if (std::find(found->handled->begin(), found->handled->end(), window) != found->handled->end())
        return TRUE;
    found->window = window;
    return FALSE;
}

// The one static control with SS_ICON style in a message box.
HWND IconControl(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return child;
    }
    return nullptr;
}

} // namespace

std::wstring TextOf(HWND window)
{
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

std::wstring ClassOf(HWND window)
{
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

SeenBox ReadMessageBox(HWND box)
{
    SeenBox seen;
    seen.caption = TextOf(box);
    seen.text = TextOf(GetDlgItem(box, 0xFFFF));
    seen.owner = GetWindow(box, GW_OWNER);
    seen.icon = "none";
    if (const HWND icon = IconControl(box)) {
        const auto shown = HICON(SendMessageW(icon, STM_GETICON, 0, 0));
        const struct {
            LPCWSTR id;
            const char* name;
        } icons[] = {{IDI_HAND, "stop"}, {IDI_QUESTION, "question"}, {IDI_EXCLAMATION, "exclamation"},
            {IDI_ASTERISK, "asterisk"}};
        for (const auto& i : icons)
            if (shown && shown == LoadIconW(nullptr, i.id))
                seen.icon = i.name;
    }
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
        if (HWND button = GetDlgItem(box, id); button && IsWindowVisible(button))
            seen.buttons.push_back(id);
    return seen;
}

HWND WaitForWindowOf(DWORD process, const wchar_t* className)
{
    struct Search {
        DWORD process;
        const wchar_t* className;
        HWND found = nullptr;
    } search{process, className};
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!search.found && std::chrono::steady_clock::now() < end) {
        EnumWindows(
            [](HWND window, LPARAM data) {
                auto* s = reinterpret_cast<Search*>(data);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == s->process && IsWindowVisible(window) && ClassOf(window) == s->className) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            LPARAM(&search));
        if (!search.found)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return search.found;
}

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
    std::erase_if(handled_, [](const Handled& h) { return !IsWindow(h.window); });
    const ULONGLONG now = GetTickCount64();
    for (Handled& h : handled_) {
        if (IsWindowEnabled(h.window) && now - h.since > kStuckAfterMs) {
            unexpected_.push_back(L"stuck: " + TextOf(h.window));
            h.since = now;
            Press(h.window, IDCANCEL);
            PostMessageW(h.window, WM_CLOSE, 0, 0);
        }
    }
    std::vector<HWND> known;
    for (const Handled& h : handled_)
        known.push_back(h.window);
    Found found{&known};
    EnumThreadWindows(GetCurrentThreadId(), FindNewDialog, LPARAM(&found));
    if (!found.window)
        return;
    // A modal window disables its owner, so the newest one is the enabled one.
    handled_.push_back({found.window, now});
    // A step may open further windows and wait for them: the ticks inside
    // its nested loops answer those.
    if (steps_.empty()) {
        unexpected_.push_back(TextOf(found.window));
        PostMessageW(found.window, WM_CLOSE, 0, 0);
        Press(found.window, IDCANCEL);
    } else {
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(found.window);
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
            titles->push_back(TextOf(dialog));
        if (path.empty()) {
            Press(dialog, IDCANCEL);
            return;
        }
        // The file name box: an edit inside the combo box cmb13 (0x47C), or
        // the edit edt1 (0x480) of older dialogs.
        for (int id : {0x47C, 0x480})
            if (HWND box = GetDlgItem(dialog, id))
                SetWindowTextW(box, path.c_str());
        Press(dialog, IDOK);
    });
}

} // namespace jbx::testing
