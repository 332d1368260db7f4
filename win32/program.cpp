#include "win32/program.h"

#include "app/accelerators.h"
#include "app/maincommands.h"
#include "bank/soundbank.h"
#include "seam/desktop.h"
#include "win32/mainwindow.h"
#include "win32/registrystore.h"
#include "win32/resource.h"
#include "win32/widetext.h"
#include "win32/win32desktop.h"

#include <commctrl.h>

namespace jbx {

namespace {

// The main window's keyboard handling keeps every key except the keyboard
// table's: those go to the table, unless the Name box has the focus and
// the key types a character there (the digits and A). F1 to F10 reach the
// table from anywhere. Without a table the dialog keeps everything, so the
// mnemonics still work.
bool LeftToTable(const MSG& message, HWND mainWindow, HACCEL table, HACCEL editSoundTable)
{
    // The dialog would take Alt+E for a mnemonic, which no control has.
    if (editSoundTable && message.message == WM_SYSKEYDOWN && int(message.wParam) == kEditSoundAccelerator.key)
        return true;
    if (!table || (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN)
        || !TableHasKey(int(message.wParam)))
        return false;
    const bool typing = message.message == WM_KEYDOWN && message.wParam < VK_F1;
    return !(typing && GetFocus() == GetDlgItem(mainWindow, IDC_NAME));
}

} // namespace

std::wstring BankPathFromCommandLine(std::wstring_view commandLine)
{
    // The shell's "%1" in quotes, a file dropped on the program, "Open with"
    // and Send To all quote the path; a path itself never holds a quote.
    if (commandLine.size() >= 2 && commandLine.front() == L'"' && commandLine.back() == L'"') {
        const std::wstring_view inside = commandLine.substr(1, commandLine.size() - 2);
        if (inside.find(L'"') == std::wstring_view::npos)
            return std::wstring(inside);
    }
    return std::wstring(commandLine);
}

HACCEL CreateEditSoundTable()
{
    ACCEL entry{BYTE(FVIRTKEY | (kEditSoundAccelerator.alt ? FALT : 0)), WORD(kEditSoundAccelerator.key),
        WORD(kEditSoundAccelerator.command)};
    return CreateAcceleratorTableW(&entry, 1);
}

void HandleLoopMessage(MSG& message, HWND mainWindow, HACCEL table, HACCEL editSoundTable)
{
    if (!LeftToTable(message, mainWindow, table, editSoundTable) && IsDialogMessageW(mainWindow, &message))
        return;
    if (table && TranslateAcceleratorW(mainWindow, table, &message))
        return;
    if (editSoundTable && TranslateAcceleratorW(mainWindow, editSoundTable, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int RunProgram(HINSTANCE instance, const wchar_t* commandLine)
{
    InitCommonControls();
    RegisterMainWindowClass(instance);

    Win32Desktop desktop(instance);
    RegistrySettingsStore settings;
    Session session(desktop);
    PrepareBank(session, Utf8FromWide(BankPathFromCommandLine(commandLine ? commandLine : L"")));

    Win32MainWindow window(instance, session, settings, desktop);
    const HWND mainWindow = window.create();
    if (!mainWindow)
        return 1;   // without the window nothing could ever end the loop

    const HACCEL table = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    if (!table)
        ShowError(desktop, kAcceleratorLoadError, Owner::None);
    const HACCEL editSoundTable = CreateEditSoundTable();

    MSG message{};
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return 1;
        HandleLoopMessage(message, mainWindow, table, editSoundTable);
    }
    return int(message.wParam);
}

} // namespace jbx
