// The least a Win32 program can do to put a window on the screen: a
// modeless dialog with a caption and nothing in it, made from a template in
// memory, and a message loop. bench_win32_startup measures the editor's
// start-up against this one's, so that what Windows (or Wine) costs any
// program is not counted against the editor.
//
// Built a second time as textdialog, with a resource template (dialog 1,
// textdialog.rc) that adds a font, one labelled button and the common
// controls 6 manifest: what showing any text costs.
//
// And a third time as templatedialog, with the editor's own resource script:
// it shows the editor's main window (template 100, its class registered as
// the editor registers it) and does nothing else, so the editor's start-up
// against it is what the editor's own code costs.

#include <windows.h>

namespace {

// A dialog template without DS_SETFONT: no font, no controls, no menu, the
// standard dialog class. DLGTEMPLATE is packed to two bytes, so the fields
// after it follow with no gap; the whole must start on a DWORD boundary.
struct alignas(4) BareTemplate {
    DLGTEMPLATE dialog;
    WORD menu;
    WORD windowClass;
    wchar_t caption[12];
};

const BareTemplate kTemplate = {
    {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME, 0, 0, 0, 0, 219, 119},
    0,
    0,
    L"Bare dialog",
};

INT_PTR CALLBACK BareDialogProc(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

HWND CreateDialogWindow(HINSTANCE instance)
{
    const LPCWSTR dialogType = MAKEINTRESOURCEW(5);   // RT_DIALOG
    if (FindResourceW(instance, MAKEINTRESOURCEW(100), dialogType)) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefDlgProcW;
        windowClass.cbWndExtra = DLGWINDOWEXTRA;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(200));
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = L"JBXMaker";
        RegisterClassW(&windowClass);
        return CreateDialogParamW(instance, MAKEINTRESOURCEW(100), nullptr, BareDialogProc, 0);
    }
    if (FindResourceW(instance, MAKEINTRESOURCEW(1), dialogType))
        return CreateDialogParamW(instance, MAKEINTRESOURCEW(1), nullptr, BareDialogProc, 0);
    return CreateDialogIndirectParamW(instance, &kTemplate.dialog, nullptr, BareDialogProc, 0);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    const HWND window = CreateDialogWindow(instance);
    if (!window)
        return 1;

    MSG message{};
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return 1;
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return int(message.wParam);
}
