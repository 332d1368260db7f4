#include "win32/optionssheet.h"

#include "settings/options.h"
#include "win32/controls.h"
#include "win32/registryassociation.h"
#include "win32/resource.h"
#include "win32/systemlibrary.h"
#include "win32/widetext.h"
#include "win32/win32desktop.h"

#include <commctrl.h>
#include <prsht.h>
#include <windowsx.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>

namespace jbx {

namespace {

// One showing of the sheet, which every page record carries as its lParam.
struct OptionsShowing {
    HINSTANCE instance;
    Win32Desktop& desktop;
    OptionsSession session;
};

void Check(HWND page, int id)
{
    SendDlgItemMessageW(page, id, BM_SETCHECK, BST_CHECKED, 0);
}

bool Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

// A page's WM_INITDIALOG comes with its page record.
OptionsShowing& KeepShowing(HWND page, LPARAM record)
{
    const LPARAM showing = reinterpret_cast<const PROPSHEETPAGEW*>(record)->lParam;
    return KeepDialogData(page, reinterpret_cast<OptionsShowing*>(showing));
}

BOOL OnFilePageInit(HWND page, HWND, LPARAM record)
{
    const OptionsSession& session = KeepShowing(page, record).session;
    Check(page, session.choices().useLastOpenDir ? IDC_OPEN_LAST_USED : IDC_OPEN_CURRENT);
    Check(page, session.choices().useLastSaveDir ? IDC_SAVE_LAST_USED : IDC_SAVE_CURRENT);
    return FALSE;
}

void OnFilePageCommand(HWND page, int id, HWND, UINT code)
{
    OptionsShowing* showing = DialogData<OptionsShowing>(page);
    if (showing && id == IDC_ASSOCIATE && code == BN_CLICKED)
        showing->session.requestAssociation();
}

// However the sheet closes; only OK lets the choices reach the store.
void OnFilePageDestroy(HWND page)
{
    if (OptionsShowing* showing = DialogData<OptionsShowing>(page))
        showing->session.setChoices({Checked(page, IDC_OPEN_LAST_USED), Checked(page, IDC_SAVE_LAST_USED)});
}

INT_PTR CALLBACK FilePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnFilePageInit);
        HANDLE_MSG(page, WM_COMMAND, OnFilePageCommand);
        HANDLE_MSG(page, WM_DESTROY, OnFilePageDestroy);
    }
    return FALSE;
}

INT_PTR CALLBACK ContactPageProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The boxes are read-only, multi-line and want Return, so Enter stays in
// them instead of pressing the sheet's OK.
BOOL OnKnownBugsPageInit(HWND page, HWND, LPARAM)
{
    SetDlgItemTextW(page, IDC_KNOWN_BUGS_TEXT, WideFromUtf8(kKnownBugsText).c_str());
    return FALSE;
}

INT_PTR CALLBACK KnownBugsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnKnownBugsPageInit);
    }
    return FALSE;
}

BOOL OnTipsPageInit(HWND page, HWND, LPARAM)
{
    SetDlgItemTextW(page, IDC_TIPS_TEXT, WideFromUtf8(kTipsText).c_str());
    return FALSE;
}

INT_PTR CALLBACK TipsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnTipsPageInit);
    }
    return FALSE;
}

// The count starts at 0 with the showing, before this page first shows.
BOOL OnAboutPageInit(HWND page, HWND, LPARAM record)
{
    KeepShowing(page, record);
    return FALSE;
}

void OnAboutPageCommand(HWND page, int id, HWND, UINT code)
{
    OptionsShowing* showing = DialogData<OptionsShowing>(page);
    // Only single clicks count: a double-click's second click comes as
    // STN_DBLCLK and matches neither.
    if (!showing || code != STN_CLICKED)
        return;
    if (id == IDC_ABOUT_ICON) {
        showing->session.countAboutIconClick();
        // A box saying the player is missing must be owned by the sheet,
        // the one window that takes input while it is up.
        showing->desktop.setDialog(GetParent(page));
        PlayAboutSound(showing->instance, showing->desktop);
        showing->desktop.setDialog(nullptr);
    } else if (id == IDC_WRITTEN_BY) {
        if (const std::optional<std::string_view> text = showing->session.writtenByClicked())
            SetDlgItemTextW(page, IDC_ABOUT_DESCRIPTION, WideFromUtf8(*text).c_str());
    }
}

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnAboutPageInit);
        HANDLE_MSG(page, WM_COMMAND, OnAboutPageCommand);
    }
    return FALSE;
}

struct PageRecord {
    int templateId;
    DLGPROC procedure;
};

// In the order of the core's tab titles.
constexpr std::array<PageRecord, kOptionsPageCount> kPages = {{
    {IDD_FILE_PAGE, FilePageProc},
    {IDD_CONTACT_PAGE, ContactPageProc},
    {IDD_KNOWN_BUGS_PAGE, KnownBugsPageProc},
    {IDD_TIPS_PAGE, TipsPageProc},
    {IDD_ABOUT_PAGE, AboutPageProc},
}};

// PROPSHEETPAGEW_V1_SIZE, as a constant.
constexpr std::size_t kPageRecordSize = offsetof(PROPSHEETPAGEW, pcRefParent) + sizeof(PROPSHEETPAGEW::pcRefParent);
static_assert(kPageRecordSize % alignof(PROPSHEETPAGEW) == 0);

} // namespace

bool PlayAboutSound(HINSTANCE instance, Desktop& desktop)
{
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDR_ABOUT_SOUND), MAKEINTRESOURCEW(RT_ABOUT_SOUND));
    const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const void* image = loaded ? LockResource(loaded) : nullptr;
    if (!image)
        return false;
    // The image stays mapped with the program, so the player may read it
    // after PlaySound has returned; a new click restarts it.
    const auto play = SystemFunction(kPlaySoundW, desktop, Owner::Dialog);
    return play && play(static_cast<LPCWSTR>(image), instance, SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
}

INT_PTR ShowOptionsSheet(HINSTANCE instance, HWND owner, SettingsStore& settings, Win32Desktop& desktop)
{
    OptionsShowing showing{instance, desktop, OptionsSession(settings, desktop)};

    // The sheet steps from one record to the next by the record's own size,
    // so first-version records lie packed at that size, not at the size of
    // the newest structure.
    std::array<std::wstring, kOptionsPageCount> titles;
    alignas(PROPSHEETPAGEW) std::array<std::byte, kOptionsPageCount * kPageRecordSize> pages{};
    for (std::size_t i = 0; i < kOptionsPageCount; ++i) {
        titles[i] = WideFromUtf8(kOptionsPageTitles[i]);
        PROPSHEETPAGEW page{};
        page.dwSize = kPageRecordSize;
        page.dwFlags = PSP_USETITLE | PSP_USEICONID;
        page.hInstance = instance;
        page.pszTemplate = MAKEINTRESOURCEW(kPages[i].templateId);
        page.pszIcon = nullptr;
        page.pszTitle = titles[i].c_str();
        page.pfnDlgProc = kPages[i].procedure;
        page.lParam = reinterpret_cast<LPARAM>(&showing);
        page.pfnCallback = nullptr;
        std::memcpy(pages.data() + i * kPageRecordSize, &page, kPageRecordSize);
    }

    const std::wstring caption = WideFromUtf8(kOptionsCaption);
    PROPSHEETHEADERW header{};
    header.dwSize = PROPSHEETHEADERW_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USEICONID;
    header.hwndParent = owner;
    header.hInstance = instance;
    header.pszIcon = nullptr;
    header.pszCaption = caption.c_str();
    header.nPages = UINT(kOptionsPageCount);
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEW>(pages.data());
    header.pfnCallback = nullptr;

    const INT_PTR result = PropertySheetW(&header);

    showing.session.close(result == 1 ? OptionsResult::Ok : OptionsResult::Cancel,
        [&] { AssociateBankFiles(instance, desktop); });
    return result;
}

} // namespace jbx
