#include "win32/widetext.h"

#include "bank/singlebytetext.h"

#include <windows.h>

namespace jbx {

std::wstring WideFromUtf8(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::wstring WideFromBankText(std::string_view bytes)
{
    const std::u16string text = SingleByteToUtf16(bytes);
    return std::wstring(text.begin(), text.end());
}

std::string BankTextFromWide(std::wstring_view wide)
{
    return SingleByteFromUtf16(std::u16string(wide.begin(), wide.end())).bytes;
}

std::wstring EditLinesFromBox(std::wstring_view text)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n')
            out += L'\r';
        out += c;
    }
    return out;
}

std::wstring BoxLinesFromEdit(std::wstring_view text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        out += text[i];
    }
    return out;
}

} // namespace jbx
