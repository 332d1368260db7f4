// Every control of the dialog templates (the main window, its dialogs and
// the Options sheet's five pages), read back from the created dialog,
// against the tables the templates were written from.

#include "win32/mainwindow.h"
#include "win32/resource.h"
#include "win32/win32desktop.h"

#include "tests/win32/dialogdriver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace jbx;
using namespace jbx::testing;

namespace {

struct Control {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    RECT units;   // left, top, width, height
    int icon = 0; // the icon resource an icon control shows
};

struct Template {
    int id;
    const wchar_t* caption;
    DWORD style;
    DWORD exStyle;
    int width, height;
    std::vector<Control> controls;
};

constexpr DWORD kButton = 0x50014300;
constexpr DWORD kGroup = 0x50020007;
constexpr DWORD kText = 0x50000000;
// The Options pages: children of the sheet, created disabled until shown.
constexpr DWORD kPage = 0x48C00044;
constexpr DWORD kRadio = 0x50010009;
constexpr DWORD kNotifyingIcon = 0x50000103;
constexpr DWORD kReadOnlyBox = 0x50A11804;

const Template kTemplates[] = {
    {IDD_MAIN, L"JBX Maker", 0x10CA08C4, 0, 219, 119,
        {
            {-1, L"Button", L"Sounds", kGroup, {4, 2, 212, 50}},
            {100, L"Button", L"Sound &1", kButton, {12, 14, 36, 14}},
            {101, L"Button", L"Sound &2", kButton, {52, 14, 36, 14}},
            {102, L"Button", L"Sound &3", kButton, {92, 14, 36, 14}},
            {103, L"Button", L"Sound &4", kButton, {132, 14, 36, 14}},
            {104, L"Button", L"Sound &5", kButton, {172, 14, 36, 14}},
            {105, L"Button", L"Sound &6", kButton, {12, 30, 36, 14}},
            {106, L"Button", L"Sound &7", kButton, {52, 30, 36, 14}},
            {107, L"Button", L"Sound &8", kButton, {92, 30, 36, 14}},
            {108, L"Button", L"Sound &9", kButton, {132, 30, 36, 14}},
            {109, L"Button", L"Sound 1&0", kButton, {172, 30, 36, 14}},
            {-1, L"Button", L"File", kGroup, {4, 54, 82, 62}},
            {120, L"Button", L"&Open...", kButton, {8, 64, 36, 14}},
            {121, L"Button", L"&Save...", kButton, {46, 64, 36, 14}},
            {123, L"Button", L"&New", kButton, {8, 80, 36, 14}},
            {136, L"Button", L"O&ptions...", kButton, {46, 80, 36, 14}},
            {125, L"Button", L"&Quit", kButton, {8, 96, 36, 14}},
            {126, L"Button", L"&Credits...", kButton, {46, 96, 36, 14}},
            {-1, L"Button", L"Last File Played", kGroup, {92, 54, 124, 62}},
            {-1, L"Static", L"N&ame:", 0x50020002, {100, 68, 20, 8}},
            {150, L"Edit", L"(none)", 0x50810080, {124, 68, 84, 10}},
            {-1, L"Static", L"Size:", 0x50020002, {104, 80, 16, 9}},
            {151, L"Static", L"", 0x5002100C, {124, 80, 84, 10}},
            {127, L"Button", L"E&xtract...", kButton, {100, 96, 50, 14}},
            {128, L"Button", L"&Replace...", kButton, {156, 96, 48, 14}},
        }},
    {IDD_SAVING, L"", 0x90000844, WS_EX_DLGMODALFRAME, 88, 38,
        {
            {-1, L"Static", L"Saving", 0x50000000, {28, 4, 24, 9}},
            {206, L"msctls_progress32", L"Progress", 0x50000000, {4, 17, 76, 9}},
        }},
    {IDD_UNKNOWN_BLOCK, L"Warning", 0x90C008C4, 0, 298, 195,
        {
            {205, L"Static", L"", 0x50000003, {24, 13, 21, 20}},
            {-1, L"Static", L"Unknown voice file sound block.", 0x50000000, {72, 9, 104, 9}},
            {-1, L"Static",
                L"This could either mean that the sound file is a newer version, or it isn't a sound file at all.",
                0x50000000, {72, 22, 188, 17}},
            {131, L"Button", L"Skip Block", 0x50010000, {4, 43, 60, 14}},
            {-1, L"Static", L"You can choose to skip the sound block and try to convert the rest of the file.",
                0x50000000, {72, 43, 188, 17}},
            {130, L"Button", L"Stop Conversion", 0x50010000, {4, 65, 60, 14}},
            {-1, L"Static", L"You can stop the conversion and save what has been converted so far.", 0x50000000,
                {72, 65, 188, 15}},
            {132, L"Button", L"Force Conversion", 0x50010000, {4, 86, 60, 14}},
            {-1, L"Static",
                L"You can presume the block contains sound, and have the program convert is as though it is sound.",
                0x50000000, {72, 86, 188, 17}},
            {-1, L"Static",
                L"If you are sure that the file is a Creative Voice File, it should be safe to continue (although "
                L"some of the sound won't be converted).  On the other hand, if it isn't a sound file the program "
                L"will probably crash!",
                0x50000000, {72, 108, 188, 33}},
            {129, L"Button", L"Details >>", 0x50010000, {4, 116, 60, 14}},
            {-1, L"Static", L"", 0x50000010, {-4, 151, 309, 1}},
            {-1, L"Static", L"Sound Number", 0x5000000C, {52, 159, 48, 9}},
            {-1, L"Static", L"Block ID", 0x5000000C, {124, 159, 28, 9}},
            {-1, L"Static", L"Block Length", 0x5000000C, {178, 159, 44, 9}},
            {152, L"Edit", L"Error", 0x50812800, {48, 168, 60, 12}},
            {153, L"Edit", L"Error", 0x50812800, {108, 168, 60, 12}},
            {154, L"Edit", L"Error", 0x50812800, {168, 168, 60, 12}},
        }},
    {IDD_CREDITS, L"Credits", 0x90C808D4, WS_EX_DLGMODALFRAME, 219, 124,
        {
            {-1, L"Static",
                L"This information will be saved into your JBX file so that you can be recognised for your work.",
                0x50000000, {4, 4, 224, 17}},
            {-1, L"Static", L"Author:", 0x50000002, {0, 26, 48, 8}},
            {100, L"Edit", L"Anonymous", 0x50010080, {52, 24, 160, 10}},
            {-1, L"Static", L"Description:", 0x50000002, {0, 36, 48, 8}},
            {101, L"Edit", L"None Entered", 0x50211044, {52, 36, 160, 49}},
            {-1, L"Static", L"Date Finished:", 0x50000002, {0, 90, 48, 8}},
            {102, L"Edit", L"??/??/??", 0x50010080, {52, 88, 160, 10}},
            {1, L"Button", L"OK", 0x50010000, {52, 104, 50, 14}},
            {103, L"Button", L"Erase...", 0x50010000, {108, 104, 50, 14}},
            {2, L"Button", L"Cancel", 0x50010000, {162, 104, 50, 14}},
        }},
    {IDD_FILE_PAGE, L"File", kPage, 0, 212, 204,
        {
            {-1, L"Button", L"Loading", kGroup, {8, 9, 200, 98}},
            {-1, L"Static", L"You can double-click on .JBX files in explorer.", kText, {16, 21, 148, 8}},
            {135, L"Button", L"Associate .JBX files with JBX Maker", 0x50010300, {32, 34, 128, 17}},
            {-1, L"Static",
                L"This option is compatible with other programs such as RealAudio.  If a program changes the "
                L"association so that you can't double click on .JBX files, just click on this button again.  "
                L"You can then right-click on the .JBX file to use the other program.",
                kText, {16, 56, 164, 44}},
            {-1, L"Button", L"Open", kGroup, {8, 112, 96, 52}},
            {-1, L"Static", L"Default Directory", kText, {16, 121, 76, 9}},
            {139, L"Button", L"Last Used Directory", kRadio, {16, 134, 84, 9}},
            {138, L"Button", L"Current Directory", kRadio, {16, 146, 68, 9}},
            {-1, L"Button", L"Save", kGroup, {112, 112, 96, 52}},
            {-1, L"Static", L"Default Directory", kText, {120, 121, 76, 9}},
            {141, L"Button", L"Last Used Directory", kRadio, {120, 134, 84, 9}},
            {140, L"Button", L"Current Directory", kRadio, {120, 146, 68, 9}},
        }},
    {IDD_CONTACT_PAGE, L"Contact", kPage, 0, 212, 204,
        {
            {-1, L"Button", L"E-Mail", kGroup, {8, 9, 196, 55}},
            {-1, L"Static", L"", 0x50000003, {16, 22, 21, 20}, IDI_CONTACT},
            {-1, L"Static", L"If you have any comments or suggestions, don't hesitate to e-mail me at:", kText,
                {44, 22, 152, 17}},
            {-1, L"Edit", L"jbxmaker@example.org", 0x50010880, {44, 43, 80, 9}},
        }},
    {IDD_KNOWN_BUGS_PAGE, L"Known Bugs", kPage, 0, 212, 204,
        {
            {-1, L"Static", L"", kNotifyingIcon, {8, 9, 21, 20}, IDI_KNOWN_BUGS},
            {-1, L"Static",
                L"Here is a list of known bugs in JBX Maker.  If you are going to report a bug, please make sure "
                L"it isn't listed here.",
                kText, {40, 8, 156, 26}},
            {142, L"Edit", L"Known Bugs", kReadOnlyBox, {8, 39, 196, 158}},
        }},
    {IDD_TIPS_PAGE, L"Tips", kPage, 0, 212, 204,
        {
            {-1, L"Static", L"", kNotifyingIcon, {8, 9, 21, 20}, IDI_TIPS},
            {-1, L"Static",
                L"This list of tips will help you get the most out of JBX Maker.  They are mainly interesting "
                L"things that will (hopefully) save time.",
                kText, {40, 8, 156, 26}},
            {143, L"Edit", L"Tips", kReadOnlyBox, {8, 39, 196, 158}},
        }},
    {IDD_ABOUT_PAGE, L"About", kPage, 0, 212, 204,
        {
            {205, L"Static", L"", kNotifyingIcon, {8, 9, 21, 20}, IDI_PROGRAM},
            {-1, L"Static", L"JBX Maker for Windows", kText, {72, 9, 80, 8}},
            {137, L"Static", L"Written by the JBX team", 0x50000100, {68, 30, 88, 9}},
            {204, L"Static",
                L"This program creates JeerBox files for use with games such as Arena Brawl and Castle Siege.",
                kText, {44, 42, 140, 35}},
            {-1, L"Static", L"Usage:", kText, {44, 86, 24, 9}},
            {-1, L"Static",
                L"After you have opened or created a new JBX file, simply click on the sound button to hear the "
                L"sound.  If you want to replace or extract a sound, click on the sound button for the sound "
                L"that you want to replace/extract and choose the Replace or Extract button.",
                kText, {44, 103, 144, 52}},
            {-1, L"Static", L"Version 1.2", 0x50000001, {72, 18, 80, 8}},
        }},
};

// Leaves every control as the template made it: no focus is set, so no
// push button becomes the default one.
INT_PTR CALLBACK Untouched(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The dialog manager converts position and size separately, each rounded.
RECT Pixels(HWND dialog, RECT units)
{
    RECT rect = units;
    MapDialogRect(dialog, &rect);
    return {rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
}

std::string Describe(RECT r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x"
        + std::to_string(r.bottom - r.top);
}

} // namespace

TEST(Templates, EveryControlIsAsTheTablesGiveIt)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterMainWindowClass(instance);
    // A child template needs a parent, as a page has its sheet.
    const HWND host = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, instance, nullptr);
    ASSERT_TRUE(host);
    for (const Template& t : kTemplates) {
        SCOPED_TRACE("template " + std::to_string(t.id));
        const HWND parent = (t.style & WS_CHILD) ? host : nullptr;
        const HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(t.id), parent, Untouched, 0);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(TextOf(dialog), t.caption);
        // The system clips a captioned top-level window's siblings, and a
        // modal frame comes with its extended style.
        EXPECT_EQ(DWORD(GetWindowLongW(dialog, GWL_STYLE)) & ~WS_CLIPSIBLINGS, t.style);
        EXPECT_EQ(DWORD(GetWindowLongW(dialog, GWL_EXSTYLE)) & WS_EX_DLGMODALFRAME,
            (t.style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : t.exStyle);
        if (t.id == IDD_MAIN) {
            EXPECT_EQ(ClassOf(dialog), L"JBXMaker");
        }
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(Describe(client), Describe(Pixels(dialog, {0, 0, t.width, t.height})));

        std::size_t index = 0;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT), ++index) {
            ASSERT_LT(index, t.controls.size()) << "a control more than the table has";
            const Control& c = t.controls[index];
            SCOPED_TRACE("control " + std::to_string(index) + ", id " + std::to_string(c.id));
            EXPECT_EQ(GetDlgCtrlID(child), c.id == -1 ? 0xFFFF : c.id);
            EXPECT_EQ(_wcsicmp(ClassOf(child).c_str(), c.className), 0) << ClassOf(child).size();
            // An icon control's text names its icon by number; which icon
            // it shows is checked below.
            if (!c.icon) {
                EXPECT_EQ(TextOf(child), c.text);
            }
            // In a DS_3DLOOK dialog an edit box's border becomes a sunken edge.
            const bool edgeForBorder = std::wstring(c.className) == L"Edit" && (c.style & WS_BORDER);
            EXPECT_EQ(DWORD(GetWindowLongW(child, GWL_STYLE)), edgeForBorder ? c.style & ~WS_BORDER : c.style);
            if (edgeForBorder) {
                EXPECT_TRUE(GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
            }
            RECT rect;
            GetWindowRect(child, &rect);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
            const RECT expected = Pixels(dialog, c.units);
            const bool isStatic = std::wstring(c.className) == L"Static";
            if (isStatic && (c.style & SS_TYPEMASK) == SS_ICON) {
                // An icon control shows its icon and takes the icon's size.
                const auto shown = HICON(SendMessageW(child, STM_GETICON, 0, 0));
                EXPECT_EQ(shown, c.icon ? LoadIconW(instance, MAKEINTRESOURCEW(c.icon)) : nullptr);
                EXPECT_EQ(Describe({rect.left, rect.top, rect.left, rect.top}),
                    Describe({expected.left, expected.top, expected.left, expected.top}));
                if (shown) {
                    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXICON));
                    EXPECT_EQ(rect.bottom - rect.top, GetSystemMetrics(SM_CYICON));
                } else {
                    EXPECT_EQ(Describe(rect), Describe(expected));
                }
            } else if ((c.style & SS_TYPEMASK) == SS_ETCHEDHORZ && isStatic) {
                // An etched line draws its own edge, which may widen it by
                // a pixel on each side; where it starts and runs is the
                // template's.
                EXPECT_EQ(Describe({rect.left, rect.top, rect.left, rect.bottom}),
                    Describe({expected.left, expected.top, expected.left, expected.bottom}));
                EXPECT_LE(std::abs((rect.right - rect.left) - (expected.right - expected.left)), 2);
            } else {
                EXPECT_EQ(Describe(rect), Describe(expected));
            }
        }
        EXPECT_EQ(index, t.controls.size());
        DestroyWindow(dialog);
    }
    DestroyWindow(host);
}

// The About page's author line is one line high, and a static control
// wraps a text wider than its box and cuts off the line below: the line
// must fit in the page's font.
TEST(Templates, TheAboutPagesAuthorLineFitsItsBox)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const HWND host = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, instance, nullptr);
    const HWND page = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT_PAGE), host, Untouched, 0);
    ASSERT_TRUE(page);
    const HWND line = GetDlgItem(page, 137);
    RECT box{0, 0, 88, 9};
    MapDialogRect(page, &box);
    const std::wstring text = TextOf(line);
    const HDC dc = GetDC(line);
    const HGDIOBJ font = SelectObject(dc, HGDIOBJ(SendMessageW(line, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &extent);
    SelectObject(dc, font);
    ReleaseDC(line, dc);
    EXPECT_LE(extent.cx, box.right) << "too wide for its box";
    EXPECT_LE(extent.cy, box.bottom);
    DestroyWindow(page);
    DestroyWindow(host);
}
