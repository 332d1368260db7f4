#pragma once

// Bank texts (slot names, credits) are single bytes, each standing for the
// Unicode character of the same value. These turn them into UTF-8 for a
// terminal or a JSON reader without losing a byte.

#include <cstddef>
#include <string>
#include <string_view>

namespace jbx {

std::string Latin1ToUtf8(std::string_view latin1);

// A JSON string literal, quotes included: every byte kept, control
// characters, quotes and backslashes escaped.
std::string JsonString(std::string_view latin1);

// UTF-8 for a terminal: control characters become \xNN so a name cannot
// break a listing's lines.
std::string PrintableText(std::string_view latin1);

// Characters (not bytes) in a UTF-8 text, for lining up columns.
std::size_t CharacterCount(std::string_view utf8);

} // namespace jbx
