// The dialog templates as the dialog manager makes them from the program's
// own resources, with no dialog procedure of the program's behind them.

#include "win32/mainwindow.h"
#include "win32/resource.h"

#include <gtest/gtest.h>

using namespace jbx;

// Every template makes its window, whose icons are found and whose one-line
// texts are not cut off: a static control wraps a text wider than its box at
// a blank and drops the line below its box.
TEST(Templates, EveryTemplateMakesItsWindowWithItsIconsAndWholeTexts)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterMainWindowClass(instance);
    // A page's template needs a parent, as it has its sheet.
    const HWND host = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, instance, nullptr);
    for (int id = IDD_MAIN; id <= IDD_SOUND; ++id) {
        SCOPED_TRACE("template " + std::to_string(id));
        const HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(id), host,
            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        ASSERT_TRUE(dialog);
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t className[16] = {}, text[512] = {};
            GetClassNameW(child, className, 16);
            GetWindowTextW(child, text, 512);
            const DWORD type = GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK;
            SCOPED_TRACE(::testing::PrintToString(std::wstring(text)));
            if (_wcsicmp(className, L"Static") != 0)
                continue;
            // The unknown-block dialog sets its icon when it shows.
            if (type == SS_ICON && id != IDD_UNKNOWN_BLOCK) {
                EXPECT_TRUE(SendMessageW(child, STM_GETICON, 0, 0)) << "no icon";
            }
            if (type > SS_RIGHT && type != SS_LEFTNOWORDWRAP)
                continue;
            RECT box, line{};
            GetClientRect(child, &box);
            const HDC dc = GetDC(child);
            const HGDIOBJ font = SelectObject(dc, HGDIOBJ(SendMessageW(child, WM_GETFONT, 0, 0)));
            DrawTextW(dc, text, -1, &line, DT_CALCRECT | DT_SINGLELINE);
            SelectObject(dc, font);
            ReleaseDC(child, dc);
            if (wcschr(text, L' ') && 2 * box.bottom < 3 * line.bottom) {
                EXPECT_LE(line.right, box.right) << "too wide for its one line";
            }
        }
        DestroyWindow(dialog);
    }
    DestroyWindow(host);
}
