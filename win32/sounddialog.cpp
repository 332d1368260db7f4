#include "win32/sounddialog.h"

#include "app/soundeditor.h"
#include "win32/accessiblenames.h"
#include "win32/controls.h"
#include "win32/resource.h"
#include "win32/widetext.h"
#include "win32/win32desktop.h"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

namespace jbx {

namespace {

struct SoundDialogState {
    SoundEditor& editor;
    Win32Desktop& desktop;
    AccessibleNames names;
    WNDPROC staticProc = nullptr;   // the waveform's own class procedure
};

struct CommandButton {
    int id;
    SoundCommand command;
    int field;   // the edit box whose text the command takes, or 0
};

constexpr std::array<CommandButton, 6> kCommandButtons{{
    {IDC_TRIM_SELECTION, SoundCommand::TrimToSelection, 0},
    {IDC_TRIM_SILENCE, SoundCommand::TrimSilence, IDC_SILENCE_FIELD},
    {IDC_NORMALIZE, SoundCommand::Normalize, IDC_LEVEL_FIELD},
    {IDC_MAKE_MONO, SoundCommand::MakeMono, 0},
    {IDC_MAKE_EIGHT_BIT, SoundCommand::MakeEightBit, 0},
    {IDC_UNDO, SoundCommand::Undo, 0},
}};

// Where the waveform's parts lie in the control, in its own pixels. Every
// length comes from the control's size and its font, which the dialog
// manager made for the window's DPI, so nothing is drawn at 96 DPI and
// stretched.
struct WaveformLayout {
    RECT plot{};    // the traces, one lane per channel
    RECT scale{};   // the time scale below them
    int tick = 0;
    int minimumGap = 0;   // between two marks, room for a label and a blank
};

WaveformLayout LayoutOf(HWND control, HDC dc)
{
    const HGDIOBJ font = SelectObject(dc, GetWindowFont(control));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SIZE label{};
    GetTextExtentPoint32W(dc, L"00.00 s", 7, &label);
    SelectObject(dc, font);

    WaveformLayout layout;
    RECT inner;
    GetClientRect(control, &inner);
    InflateRect(&inner, -2, -2);   // the sunken edge
    layout.tick = std::max(2, int(metrics.tmHeight) / 3);
    layout.minimumGap = int(label.cx) + 2 * int(metrics.tmAveCharWidth);
    layout.scale = inner;
    layout.scale.top = std::max(inner.top, inner.bottom - int(metrics.tmHeight) - layout.tick - 1);
    layout.plot = inner;
    layout.plot.bottom = layout.scale.top;
    return layout;
}

WaveformLayout LayoutOf(HWND control)
{
    const HDC dc = GetDC(control);
    const WaveformLayout layout = LayoutOf(control, dc);
    ReleaseDC(control, dc);
    return layout;
}

int PlotWidth(const WaveformLayout& layout)
{
    return std::max(0, int(layout.plot.right - layout.plot.left));
}

// Column j of the peaks shows frames [j * frames / width, ...): the frame
// at a column's left edge, and the column a frame falls in.
int XOfFrame(const WaveformLayout& layout, std::uint64_t frame, std::uint64_t frames)
{
    const int width = PlotWidth(layout);
    if (frames == 0)
        return layout.plot.left;
    return layout.plot.left + int(std::min(frame, frames) * std::uint64_t(width) / frames);
}

std::uint64_t FrameAtX(const WaveformLayout& layout, int x, std::uint64_t frames)
{
    const int width = PlotWidth(layout);
    if (width == 0)
        return 0;
    const std::uint64_t offset = std::uint64_t(std::clamp(x - int(layout.plot.left), 0, width));
    return (offset * frames + std::uint64_t(width) / 2) / std::uint64_t(width);
}

COLORREF Mix(COLORREF a, COLORREF b, int partsOfA, int parts)
{
    const auto mix = [&](int x, int y) { return (x * partsOfA + y * (parts - partsOfA)) / parts; };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void Fill(HDC dc, int left, int top, int right, int bottom, HBRUSH brush)
{
    const RECT box{left, top, right, bottom};
    FillRect(dc, &box, brush);
}

void DrawTraces(HDC dc, const WaveformLayout& layout, const PeakSummary& peaks)
{
    const HBRUSH ink = GetSysColorBrush(COLOR_WINDOWTEXT);
    const HBRUSH axis = GetSysColorBrush(COLOR_GRAYTEXT);
    const int lanes = std::max<int>(1, peaks.channels);
    const int laneHeight = (layout.plot.bottom - layout.plot.top) / lanes;
    for (int channel = 0; channel < peaks.channels; ++channel) {
        const int top = layout.plot.top + channel * laneHeight;
        const int middle = top + laneHeight / 2;
        const int half = std::max(1, laneHeight / 2 - 1);
        if (channel > 0)
            Fill(dc, layout.plot.left, top, layout.plot.right, top + 1, axis);
        Fill(dc, layout.plot.left, middle, layout.plot.right, middle + 1, axis);
        for (std::size_t column = 0; column < peaks.columns; ++column) {
            const Peak& peak = peaks.at(column, std::uint16_t(channel));
            const int high = middle - int(std::lround(std::clamp(double(peak.high), -1.0, 1.0) * half));
            const int low = middle - int(std::lround(std::clamp(double(peak.low), -1.0, 1.0) * half));
            const int x = layout.plot.left + int(column);
            Fill(dc, x, std::min(high, low), x + 1, std::max(high, low) + 1, ink);
        }
    }
}

void DrawScale(HDC dc, HWND control, const WaveformLayout& layout, const SoundEditor& editor)
{
    const HBRUSH ink = GetSysColorBrush(COLOR_WINDOWTEXT);
    Fill(dc, layout.scale.left, layout.scale.top, layout.scale.right, layout.scale.top + 1, ink);
    const HGDIOBJ font = SelectObject(dc, GetWindowFont(control));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (const TimeMark& mark : editor.timeScale(PlotWidth(layout), layout.minimumGap)) {
        const int x = layout.plot.left + mark.x;
        Fill(dc, x, layout.scale.top, x + 1, layout.scale.top + layout.tick, ink);
        const std::wstring label = WideFromUtf8(mark.label);
        ExtTextOutW(dc, x + 2, layout.scale.top + layout.tick - 1, ETO_CLIPPED, &layout.scale, label.c_str(),
            UINT(label.size()), nullptr);
    }
    SelectObject(dc, font);
}

// Into a bitmap first, so that a drag repaints without flicker. The editor
// keeps the summary it last gave, so a repaint reads no sample.
void PaintWaveform(const DRAWITEMSTRUCT& item, const SoundEditor& editor)
{
    const int width = item.rcItem.right - item.rcItem.left;
    const int height = item.rcItem.bottom - item.rcItem.top;
    const HDC dc = CreateCompatibleDC(item.hDC);
    const HBITMAP bitmap = CreateCompatibleBitmap(item.hDC, width, height);
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const WaveformLayout layout = LayoutOf(item.hwndItem, dc);
    const bool focused = GetFocus() == item.hwndItem;

    const RECT whole{0, 0, width, height};
    FillRect(dc, &whole, GetSysColorBrush(COLOR_WINDOW));
    const std::uint64_t frames = editor.frames();
    const FrameRange selection = editor.selection();
    if (selection.count > 0) {
        const HBRUSH shade = CreateSolidBrush(Mix(GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_WINDOW), 1, 3));
        const int left = XOfFrame(layout, selection.first, frames);
        const int right = std::max(left + 1, XOfFrame(layout, selection.first + selection.count, frames));
        Fill(dc, left, layout.plot.top, right, layout.plot.bottom, shade);
        DeleteObject(shade);
    }
    if (const int columns = PlotWidth(layout); columns > 0)
        if (const std::optional<PeakSummary> peaks = editor.peaks(std::size_t(columns)))
            DrawTraces(dc, layout, *peaks);
    if (selection.count == 0 && focused) {
        const int x = std::min(XOfFrame(layout, selection.first, frames), int(layout.plot.right) - 1);
        Fill(dc, x, layout.plot.top, x + 1, layout.plot.bottom, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    DrawScale(dc, item.hwndItem, layout, editor);
    RECT edge = whole;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    if (focused) {
        RECT ring = layout.plot;
        InflateRect(&ring, -1, -1);
        DrawFocusRect(dc, &ring);
    }

    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// Enables each command as the editor allows it now. A button that goes off
// under the focus would leave the keyboard nowhere: the focus goes to the
// waveform.
void EnableCommands(HWND dialog, const SoundEditor& editor)
{
    const HWND focus = GetFocus();
    for (const CommandButton& button : kCommandButtons)
        EnableWindow(GetDlgItem(dialog, button.id), editor.canRun(button.command));
    if (focus && !IsWindowEnabled(focus) && GetParent(focus) == dialog)
        SendMessageW(dialog, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dialog, IDC_WAVEFORM)), TRUE);
}

void ShowSelection(HWND dialog, const SoundEditor& editor)
{
    EnableCommands(dialog, editor);
    InvalidateRect(GetDlgItem(dialog, IDC_WAVEFORM), nullptr, FALSE);
}

void ShowSound(HWND dialog, SoundDialogState& state)
{
    const SoundEditor& editor = state.editor;
    SetDlgItemTextW(dialog, IDC_FORMAT, WideFromUtf8(editor.formatText()).c_str());
    std::string findings;
    for (const std::string& line : editor.findings())
        findings += (findings.empty() ? "" : "\n") + line;
    SetDlgItemTextW(dialog, IDC_FINDINGS, WideFromUtf8(findings).c_str());
    SetDlgItemTextW(dialog, IDC_SOUND_SIZE, WideFromUtf8(editor.sizeText()).c_str());
    state.names.describe(GetDlgItem(dialog, IDC_WAVEFORM), WideFromUtf8(editor.waveformDescription()));
    ShowSelection(dialog, editor);
}

std::optional<SelectionKey> SelectionKeyOf(WPARAM key)
{
    switch (key) {
    case VK_LEFT:
        return SelectionKey::Left;
    case VK_RIGHT:
        return SelectionKey::Right;
    case VK_HOME:
        return SelectionKey::Home;
    case VK_END:
        return SelectionKey::End;
    }
    return std::nullopt;
}

constexpr WPARAM kControlA = 1;   // the character Ctrl+A types

// The waveform takes the focus, the mouse, the arrow keys and Ctrl+A; the
// static control beneath it paints (through WM_DRAWITEM) and does the rest.
LRESULT CALLBACK WaveformProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND dialog = GetParent(control);
    SoundDialogState* const state = DialogData<SoundDialogState>(dialog);
    if (!state)
        return DefWindowProcW(control, message, wParam, lParam);
    SoundEditor& editor = state->editor;
    switch (message) {
    case WM_GETDLGCODE: {
        // Ctrl+A's character is the waveform's, not a mnemonic to look for.
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        const bool selectAll = key && key->message == WM_CHAR && key->wParam == kControlA;
        return DLGC_WANTARROWS | (selectAll ? DLGC_WANTMESSAGE : 0);
    }
    case WM_CHAR:
        if (wParam == kControlA)
            return 0;
        break;
    case WM_ERASEBKGND:
        return TRUE;   // the painting covers every pixel
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(control, nullptr, FALSE);
        break;
    case WM_LBUTTONDOWN:
        SetFocus(control);
        SetCapture(control);
        editor.pressAt(FrameAtX(LayoutOf(control), GET_X_LPARAM(lParam), editor.frames()));
        ShowSelection(dialog, editor);
        return 0;
    case WM_LBUTTONDBLCLK:
        editor.selectAll();
        ShowSelection(dialog, editor);
        return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == control) {
            editor.dragTo(FrameAtX(LayoutOf(control), GET_X_LPARAM(lParam), editor.frames()));
            ShowSelection(dialog, editor);
        }
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == control)
            ReleaseCapture();
        return 0;
    case WM_KEYDOWN:
        if (wParam == 'A' && GetKeyState(VK_CONTROL) < 0) {
            editor.selectAll();
            ShowSelection(dialog, editor);
            return 0;
        }
        if (const std::optional<SelectionKey> key = SelectionKeyOf(wParam)) {
            // One pixel column's worth of frames a key.
            const int width = std::max(1, PlotWidth(LayoutOf(control)));
            editor.moveCaret(*key, GetKeyState(VK_SHIFT) < 0, std::max<std::uint64_t>(1, editor.frames() / width));
            ShowSelection(dialog, editor);
            return 0;
        }
        break;
    }
    return CallWindowProcW(state->staticProc, control, message, wParam, lParam);
}

BOOL OnInitDialog(HWND dialog, HWND, LPARAM lParam)
{
    SoundDialogState& state = KeepDialogData(dialog, reinterpret_cast<SoundDialogState*>(lParam));
    state.desktop.setDialog(dialog);
    SetWindowTextW(dialog, WideFromUtf8(state.editor.caption()).c_str());
    SetDlgItemTextW(dialog, IDC_SILENCE_FIELD, WideFromUtf8(kSilenceFieldDefault).c_str());
    SetDlgItemTextW(dialog, IDC_LEVEL_FIELD, WideFromUtf8(kLevelFieldDefault).c_str());
    const HWND waveform = GetDlgItem(dialog, IDC_WAVEFORM);
    state.staticProc = SubclassWindow(waveform, WaveformProc);
    // Its template text, which no one sees, is its name.
    state.names.give(waveform, WindowText(waveform));
    ShowSound(dialog, state);
    SetFocus(waveform);
    return FALSE;
}

void OnCommand(HWND dialog, int id, HWND, UINT code)
{
    SoundDialogState* state = DialogData<SoundDialogState>(dialog);
    if (!state || code != BN_CLICKED)
        return;
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, id);
        return;
    }
    if (id == IDC_PLAY) {
        state->editor.play();
        return;
    }
    const auto button = std::find_if(kCommandButtons.begin(), kCommandButtons.end(),
        [id](const CommandButton& b) { return b.id == id; });
    if (button == kCommandButtons.end())
        return;
    const std::string field = button->field ? Utf8FromWide(ItemText(dialog, button->field)) : std::string();
    state->editor.run(button->command, field);
    ShowSound(dialog, *state);
}

void OnDrawItem(HWND dialog, const DRAWITEMSTRUCT* item)
{
    if (SoundDialogState* state = DialogData<SoundDialogState>(dialog); state && item->CtlID == IDC_WAVEFORM)
        PaintWaveform(*item, state->editor);
}

void OnDestroy(HWND dialog)
{
    SoundDialogState* state = DialogData<SoundDialogState>(dialog);
    if (!state)
        return;
    state->names.clear();
    state->desktop.setDialog(nullptr);
}

INT_PTR CALLBACK SoundDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
        HANDLE_MSG(dialog, WM_DESTROY, OnDestroy);
    case WM_DRAWITEM:
        OnDrawItem(dialog, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

INT_PTR ShowSoundDialog(HINSTANCE instance, HWND owner, SoundEditor& editor, Win32Desktop& desktop)
{
    SoundDialogState state{editor, desktop, {}, nullptr};
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SOUND), owner, SoundDialogProc, LPARAM(&state));
}

} // namespace jbx
