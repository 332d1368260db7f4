#include "win32/controls.h"

#include "app/singlebytetext.h"

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

    std::wstring kept;
    DWORD keptCaret = caret;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        char32_t c = text[i++];
        if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(text[i++]) - 0xDC00);
        // Line breaks are the description box's own; they are stored as CR LF.
        if (c == U'\r' || c == U'\n' || IsSingleByteCharacter(c))
            kept.append(text, start, i - start);
        else if (start < caret)
            keptCaret -= DWORD(std::min<std::size_t>(i, caret) - start);
    }
    if (kept.size() == text.size())
        return false;
    SetWindowTextW(edit, kept.c_str());
    SendMessageW(edit, EM_SETSEL, keptCaret, keptCaret);
    MessageBeep(MB_OK);
    return true;
}

} // namespace jbx
