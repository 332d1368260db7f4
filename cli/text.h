#pragma once

// Bank texts (slot names, credits) are Windows-1252 bytes. These show them
// as UTF-8 to a terminal or a JSON reader without losing a byte, and name a
// character that a bank text cannot hold.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace jbx {

// A JSON string literal, quotes included: every byte kept, control
// characters, quotes and backslashes escaped.
std::string JsonString(std::string_view bankText);

// A JSON string literal of a text the user gave, such as a path. A byte
// that is not UTF-8 shows as the text "\xNN", as Quoted shows it, so that
// names differing only there can be told apart.
std::string JsonUtf8String(std::string_view utf8);

// UTF-8 for a terminal: control characters become \xNN (the byte's value)
// so a name cannot break a listing's lines, and a backslash is doubled so
// that a name holding "\x41" is not taken for one holding "A".
std::string PrintableText(std::string_view bankText);

// The same in double quotes, a quote inside escaped as \", for a listing
// where a name stands between quotes.
std::string QuotedBankText(std::string_view bankText);

// A path or a name the user gave, for a message: in single quotes, with
// control characters and bytes that are not UTF-8 as \xNN, so that no
// message is split or garbled by what it quotes.
std::string Quoted(std::string_view utf8);

// A file's size for a message about a limit: "2.3 GiB", "512.0 MiB",
// rounded up, so that a size over a limit never reads as the limit itself.
std::string SizeText(std::int64_t bytes);

// Characters (not bytes) in a UTF-8 text, for lining up columns.
std::size_t CharacterCount(std::string_view utf8);

// "'ж' (U+0436)" for a message; a control character by its code alone, and
// U+FFFD as the bytes that are not UTF-8 it usually stands for.
std::string DescribeCharacter(char32_t character);

} // namespace jbx
