#pragma once
// The Windows editor talks to the wide-character API; the core's paths and
// messages are UTF-8 and its bank texts Windows-1252 bytes.

#include <string>
#include <string_view>

namespace jbx {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// Bank texts (slot names, credits) as a control shows them.
std::wstring WideFromBankText(std::string_view bytes);

// A control's text as bank bytes. The controls never take a character no
// bank text can hold (KeepBankCharacters), so nothing is lost here.
std::string BankTextFromWide(std::wstring_view wide);

// Windows edit controls end lines with CR LF; the core's box texts with LF.
std::wstring EditLinesFromBox(std::wstring_view text);
std::wstring BoxLinesFromEdit(std::wstring_view text);

} // namespace jbx
