#pragma once
// Small helpers over Win32 controls and dialogs shared by the editor's
// windows.
//
// The dialog procedures hand each message to a handler through windowsx.h's
// HANDLE_MSG. Their handlers return nothing, which the crackers give back as
// FALSE: the dialog manager goes on with its own handling, and no message
// here has a result to set with DWLP_MSGRESULT. A WM_INITDIALOG handler's
// BOOL is the answer itself: FALSE keeps the dialog manager from moving the
// focus.

#include <windows.h>

#include <string>

namespace jbx {

// What a dialog works on, kept in its user data from WM_INITDIALOG on.
template <typename T>
T& KeepDialogData(HWND dialog, T* data)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
    return *data;
}

// Null for the messages that come before WM_INITDIALOG.
template <typename T>
T* DialogData(HWND dialog)
{
    return reinterpret_cast<T*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);

// Called on an edit box's EN_UPDATE: removes what was just typed or pasted
// that no bank text can hold, keeping the caret where the user left it.
// True when something was removed.
bool KeepBankCharacters(HWND edit);

} // namespace jbx
