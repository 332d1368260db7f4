#pragma once
// The system DLLs that only some sessions use (the file dialogs, dropped
// files, the shell's notice of new associations, sound, COM for the names
// screen readers say) are loaded at their
// first use, not with the program: with what they load in turn they cost
// megabytes at every start that most sessions never need. Every function
// the editor takes from them is listed here, typed by the SDK's own
// declaration, so a call through one cannot disagree with the system's.

#include "seam/desktop.h"

#include <windows.h>

#include <commdlg.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace jbx {

// A function of a system DLL, found when it is first wanted.
template <typename Function>
struct LateFunction {
    const wchar_t* library;
    const char* name;
};

inline constexpr LateFunction<decltype(GetOpenFileNameW)> kGetOpenFileNameW{L"comdlg32.dll", "GetOpenFileNameW"};
inline constexpr LateFunction<decltype(GetSaveFileNameW)> kGetSaveFileNameW{L"comdlg32.dll", "GetSaveFileNameW"};
inline constexpr LateFunction<decltype(CommDlgExtendedError)> kCommDlgExtendedError{L"comdlg32.dll", "CommDlgExtendedError"};
inline constexpr LateFunction<decltype(DragQueryFileW)> kDragQueryFileW{L"shell32.dll", "DragQueryFileW"};
inline constexpr LateFunction<decltype(DragFinish)> kDragFinish{L"shell32.dll", "DragFinish"};
inline constexpr LateFunction<decltype(SHChangeNotify)> kSHChangeNotify{L"shell32.dll", "SHChangeNotify"};
inline constexpr LateFunction<decltype(PlaySoundW)> kPlaySoundW{L"winmm.dll", "PlaySoundW"};
inline constexpr LateFunction<decltype(CoInitializeEx)> kCoInitializeEx{L"ole32.dll", "CoInitializeEx"};
inline constexpr LateFunction<decltype(CoUninitialize)> kCoUninitialize{L"ole32.dll", "CoUninitialize"};
inline constexpr LateFunction<decltype(CoCreateInstance)> kCoCreateInstance{L"ole32.dll", "CoCreateInstance"};

// The function `name` of `library`, which is loaded from the system folder
// only, never from the program's or the current folder, and then stays
// loaded. Null when the DLL cannot be loaded or does not have the function.
FARPROC FindSystemFunction(const wchar_t* library, const char* name);

// "Cannot load NAME from LIBRARY".
std::string MissingFunctionMessage(const wchar_t* library, const char* name);

// FindSystemFunction with the function's own type, for where a failure has
// nobody to tell (a destructor, a window already going).
template <typename Function>
Function* FindSystemFunction(const LateFunction<Function>& function)
{
    // Through void (*)(), which converts to any function pointer unwarned.
    const FARPROC found = FindSystemFunction(function.library, function.name);
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(found));
}

// The same, telling the user which function is missing (caption "Error",
// stop icon, owned by `owner`) when it cannot be had.
template <typename Function>
Function* SystemFunction(const LateFunction<Function>& function, Desktop& desktop, Owner owner)
{
    Function* found = FindSystemFunction(function);
    if (!found)
        ShowError(desktop, MissingFunctionMessage(function.library, function.name), owner);
    return found;
}

} // namespace jbx
