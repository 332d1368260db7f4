#pragma once

// The bank's texts (slot names, credits) are single bytes, and the games that
// read them take those bytes as Windows-1252. Every front end shows and takes
// them through these functions, so that a name typed in the editor, given to
// jbxtool or read from a file means the same character everywhere.
//
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for the control characters of the same value, so every byte
// survives being shown and read back.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jbx {

// The character a byte stands for.
char32_t SingleByteCharacter(std::uint8_t byte);

// The byte that stands for a character, if the code page has one.
std::optional<std::uint8_t> SingleByteOf(char32_t character);

inline bool IsSingleByteCharacter(char32_t character)
{
    return SingleByteOf(character).has_value();
}

std::string SingleByteToUtf8(std::string_view text);
std::u16string SingleByteToUtf16(std::string_view text);

// A UTF-8 text's characters; each byte of a malformed sequence counts as one
// U+FFFD, which no bank text can hold.
std::u32string Utf8Characters(std::string_view utf8);
std::string CharactersToUtf8(std::u32string_view characters);

// A text turned into bank bytes, or the first character that kept it from
// being: `bytes` then holds only what came before that character.
struct SingleByteText {
    std::string bytes;
    std::optional<char32_t> refused;
};

SingleByteText SingleByteFromUtf8(std::string_view utf8);
// A lone surrogate is refused as itself.
SingleByteText SingleByteFromUtf16(std::u16string_view utf16);
SingleByteText SingleByteFromCharacters(std::u32string_view characters);

// What an edit box keeps when typing or a paste puts in characters no bank
// text can hold: those characters go, one by one, and the rest stay. Both
// editors' boxes do this, so a name means the same whichever typed it. A
// '?' in their place would save a character the user never typed.
// `caret` is a UTF-16 index and moves back over every unit taken out before
// it; either half of a surrogate pair goes, as no bank character is one.
struct KeptBoxText {
    std::u16string text;
    std::size_t caret = 0;
};

// Nothing when the box holds only characters a bank text can.
std::optional<KeptBoxText> WithoutForeignCharacters(std::u16string_view text, std::size_t caret);

// "U+20AC", for messages that name a character.
std::string CharacterCode(char32_t character);

} // namespace jbx
