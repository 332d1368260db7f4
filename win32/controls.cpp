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

    // A surrogate stands for a character beyond any single-byte code page,
    // so each UTF-16 unit can be judged on its own.
    std::wstring kept;
    DWORD keptCaret = caret;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsSingleByteCharacter(text[i]))
            kept += text[i];
        else if (i < caret)
            --keptCaret;
    }
    if (kept.size() == text.size())
        return false;
    SetWindowTextW(edit, kept.c_str());
    SendMessageW(edit, EM_SETSEL, keptCaret, keptCaret);
    MessageBeep(MB_OK);
    return true;
}

} // namespace jbx
