#include "win32/controls.h"

#include "bank/singlebytetext.h"

namespace jbx {

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(std::size_t(length) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

bool KeepBankCharacters(HWND edit)
{
    const std::wstring text = WindowText(edit);
    DWORD caret = 0;
    SendMessageW(edit, EM_GETSEL, 0, LPARAM(&caret));

    // wchar_t holds UTF-16 units here, as char16_t does.
    const std::optional<KeptBoxText> kept =
        WithoutForeignCharacters(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()), caret);
    if (!kept)
        return false;
    SetWindowTextW(edit, reinterpret_cast<const wchar_t*>(kept->text.c_str()));
    SendMessageW(edit, EM_SETSEL, WPARAM(kept->caret), LPARAM(kept->caret));
    MessageBeep(MB_OK);
    return true;
}

} // namespace jbx
