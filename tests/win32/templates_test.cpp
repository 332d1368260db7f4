// The dialog templates as the dialog manager makes them: each template is
// read from the program's own resources and compared with the window the
// system creates from it, in pixels and with the styles the system adds.

#include "win32/mainwindow.h"
#include "win32/resource.h"

#include <gtest/gtest.h>

#include <array>

using namespace jbx;

namespace {

// A DLGTEMPLATE resource, read field by field.
class TemplateReader {
public:
    explicit TemplateReader(const void* data) : at_(static_cast<const WORD*>(data)) {}

    WORD word() { return *at_++; }
    DWORD dword()
    {
        const DWORD low = word();
        return low | DWORD(word()) << 16;
    }
    RECT units()
    {
        const auto x = short(word()), y = short(word()), cx = short(word()), cy = short(word());
        return {x, y, cx, cy};
    }
    // A text, or a number when it starts with 0xFFFF (then `text` stays empty).
    std::wstring text(int* number = nullptr)
    {
        if (*at_ == 0xFFFF) {
            ++at_;
            const int n = word();
            if (number)
                *number = n;
            return {};
        }
        std::wstring read(reinterpret_cast<const wchar_t*>(at_));
        at_ += read.size() + 1;
        return read;
    }
    void alignToDword()
    {
        at_ = reinterpret_cast<const WORD*>((reinterpret_cast<std::uintptr_t>(at_) + 3) & ~std::uintptr_t(3));
    }

private:
    const WORD* at_;
};

// The predefined classes a template names by number.
std::wstring ClassName(const std::wstring& name, int number)
{
    const std::array<const wchar_t*, 6> predefined = {
        L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar", L"ComboBox"};
    return name.empty() ? predefined.at(number - 0x80) : name;
}

// The dialog manager converts position and size separately, each rounded.
std::string Pixels(HWND dialog, RECT units)
{
    MapDialogRect(dialog, &units);
    return std::to_string(units.left) + "," + std::to_string(units.top) + " " + std::to_string(units.right) + "x"
        + std::to_string(units.bottom);
}

std::string Placed(HWND dialog, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + " " + std::to_string(rect.right - rect.left)
        + "x" + std::to_string(rect.bottom - rect.top);
}

} // namespace

TEST(Templates, EveryControlIsWhereAndAsItsTemplateSays)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterMainWindowClass(instance);
    // A child template needs a parent, as a page has its sheet.
    const HWND host = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, instance, nullptr);
    ASSERT_TRUE(host);
    for (int id = IDD_MAIN; id <= IDD_CREDITS; ++id) {
        SCOPED_TRACE("template " + std::to_string(id));
        const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
        ASSERT_TRUE(found);
        TemplateReader read(LockResource(LoadResource(instance, found)));
        const DWORD style = read.dword();
        const DWORD exStyle = read.dword();
        const int count = read.word();
        const RECT size = read.units();
        read.text();
        read.text();
        read.text();
        if (style & DS_SETFONT) {
            read.word();
            read.text();
        }

        // Every control as the template made it: no focus is set, so no push
        // button becomes the default one.
        const HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(id), (style & WS_CHILD) ? host : nullptr,
            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        ASSERT_TRUE(dialog);
        // The system clips a captioned top-level window's siblings, and a
        // modal frame comes with its extended style.
        EXPECT_EQ(DWORD(GetWindowLongW(dialog, GWL_STYLE)) & ~WS_CLIPSIBLINGS, style);
        EXPECT_EQ(DWORD(GetWindowLongW(dialog, GWL_EXSTYLE)) & WS_EX_DLGMODALFRAME,
            (style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : exStyle & WS_EX_DLGMODALFRAME);
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ("0,0 " + std::to_string(client.right) + "x" + std::to_string(client.bottom),
            Pixels(dialog, {0, 0, size.right, size.bottom}));

        HWND child = GetWindow(dialog, GW_CHILD);
        for (int index = 0; index < count; ++index, child = GetWindow(child, GW_HWNDNEXT)) {
            read.alignToDword();
            const DWORD itemStyle = read.dword();
            read.dword();
            const RECT units = read.units();
            const int itemId = read.word();
            int classNumber = 0;
            int icon = 0;
            const std::wstring className = ClassName(read.text(&classNumber), classNumber);
            const std::wstring text = read.text(&icon);
            ASSERT_EQ(read.word(), 0) << "creation data in control " << index;
            SCOPED_TRACE("control " + std::to_string(index) + ", id " + std::to_string(itemId));
            ASSERT_TRUE(child) << "fewer controls than the template has";
            EXPECT_EQ(GetDlgCtrlID(child), itemId);
            // In a DS_3DLOOK dialog an edit box's border becomes a sunken edge.
            const bool edgeForBorder = _wcsicmp(className.c_str(), L"Edit") == 0 && (itemStyle & WS_BORDER);
            EXPECT_EQ(DWORD(GetWindowLongW(child, GWL_STYLE)), edgeForBorder ? itemStyle & ~WS_BORDER : itemStyle);
            if (edgeForBorder) {
                EXPECT_TRUE(GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
            }
            const bool isStatic = _wcsicmp(className.c_str(), L"Static") == 0;
            std::string expected = Pixels(dialog, units);
            if (isStatic && (itemStyle & SS_TYPEMASK) == SS_ICON) {
                // An icon control shows the icon it names and takes its size.
                const auto shown = HICON(SendMessageW(child, STM_GETICON, 0, 0));
                EXPECT_EQ(shown, icon ? LoadIconW(instance, MAKEINTRESOURCEW(icon)) : nullptr);
                if (shown) {
                    const std::string at = expected.substr(0, expected.find(' '));
                    expected = at + " " + std::to_string(GetSystemMetrics(SM_CXICON)) + "x"
                        + std::to_string(GetSystemMetrics(SM_CYICON));
                }
            } else if (isStatic && (itemStyle & SS_TYPEMASK) == SS_ETCHEDHORZ) {
                // An etched line draws its own edge, which may widen it by a
                // pixel on each side; where it starts is the template's.
                expected = expected.substr(0, expected.find(' '));
                EXPECT_EQ(Placed(dialog, child).substr(0, expected.size()), expected);
                continue;
            }
            EXPECT_EQ(Placed(dialog, child), expected);
            // A static control wraps a text wider than its box at a blank and
            // cuts off the line below: a one-line text must fit in the font.
            if (isStatic && text.find(L' ') != std::wstring::npos && units.bottom <= 10) {
                const HDC dc = GetDC(child);
                const HGDIOBJ font = SelectObject(dc, HGDIOBJ(SendMessageW(child, WM_GETFONT, 0, 0)));
                RECT needed{};
                DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_SINGLELINE);
                SelectObject(dc, font);
                ReleaseDC(child, dc);
                RECT box;
                GetClientRect(child, &box);
                EXPECT_LE(needed.right, box.right) << "too wide for its box";
            }
        }
        EXPECT_FALSE(child) << "more controls than the template has";
        DestroyWindow(dialog);
    }
    DestroyWindow(host);
}
