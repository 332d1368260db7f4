#include "cli/text.h"

#include "bank/singlebytetext.h"

#include <cstdint>

namespace jbx {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// C0, DEL and the C1 controls, which stand for the bytes Windows-1252
// leaves undefined.
bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c < 0xa0);
}

std::string Utf8Of(char byte)
{
    return SingleByteToUtf8(std::string_view(&byte, 1));
}

std::string Hex(std::uint8_t byte)
{
    return {kHexDigits[byte >> 4], kHexDigits[byte & 0xf]};
}

// Calls take(character, bytes) for each character of a UTF-8 text, or
// take(U+FFFD, byte) for each byte that is not UTF-8.
template <class Take>
void ForEachCharacter(std::string_view utf8, Take take)
{
    for (const char32_t c : Utf8Characters(utf8)) {
        const std::string bytes = CharactersToUtf8(std::u32string(1, c));
        // Each byte that is not UTF-8 decodes as a U+FFFD of its own.
        const std::size_t length = c == U'\uFFFD' && !utf8.starts_with(bytes) ? 1 : bytes.size();
        take(c, utf8.substr(0, length), length == bytes.size());
        utf8.remove_prefix(length);
    }
}

std::string HexBytes(std::string_view bytes)
{
    std::string out;
    for (const char byte : bytes)
        out += "\\x" + Hex(std::uint8_t(byte));
    return out;
}

std::string JsonCharacters(std::u32string_view characters)
{
    std::string out = "\"";
    for (const char32_t c : characters) {
        switch (c) {
        case U'"':
            out += "\\\"";
            break;
        case U'\\':
            out += "\\\\";
            break;
        case U'\n':
            out += "\\n";
            break;
        case U'\r':
            out += "\\r";
            break;
        case U'\t':
            out += "\\t";
            break;
        default:
            if (IsControl(c))
                out += "\\u00" + Hex(std::uint8_t(c));
            else
                out += CharactersToUtf8(std::u32string_view(&c, 1));
        }
    }
    out += '"';
    return out;
}

} // namespace

std::string JsonString(std::string_view bankText)
{
    return JsonCharacters(Utf8Characters(SingleByteToUtf8(bankText)));
}

std::string JsonUtf8String(std::string_view utf8)
{
    std::u32string characters;
    ForEachCharacter(utf8, [&](char32_t c, std::string_view bytes, bool valid) {
        if (valid) {
            characters += c;
        } else {
            for (const char byte : HexBytes(bytes))
                characters += char32_t(std::uint8_t(byte));
        }
    });
    return JsonCharacters(characters);
}

std::string PrintableText(std::string_view bankText)
{
    std::string out;
    for (const char byte : bankText) {
        if (IsControl(SingleByteCharacter(std::uint8_t(byte))))
            out += "\\x" + Hex(std::uint8_t(byte));
        else if (byte == '\\')
            out += "\\\\";
        else
            out += Utf8Of(byte);
    }
    return out;
}

std::string QuotedBankText(std::string_view bankText)
{
    std::string out = "\"";
    for (const char byte : PrintableText(bankText))
        out += byte == '"' ? std::string("\\\"") : std::string(1, byte);
    return out + '"';
}

std::string Quoted(std::string_view utf8)
{
    std::string out = "'";
    ForEachCharacter(utf8, [&](char32_t c, std::string_view bytes, bool valid) {
        out += valid && !IsControl(c) ? std::string(bytes) : HexBytes(bytes);
    });
    return out + "'";
}

std::string SizeText(std::int64_t bytes)
{
    const bool gib = bytes >= (std::int64_t(1) << 30);
    const std::int64_t unit = gib ? std::int64_t(1) << 30 : std::int64_t(1) << 20;
    // In tenths of the unit, rounded up.
    const std::int64_t tenths = (bytes * 10 + unit - 1) / unit;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + (gib ? " GiB" : " MiB");
}

std::size_t CharacterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8)
        if ((std::uint8_t(c) & 0xc0) != 0x80)
            ++count;
    return count;
}

std::string DescribeCharacter(char32_t character)
{
    if (character == U'\uFFFD')
        return "bytes that are not UTF-8 (or " + CharacterCode(character) + ")";
    if (IsControl(character))
        return CharacterCode(character);
    return "'" + CharactersToUtf8(std::u32string(1, character)) + "' (" + CharacterCode(character) + ")";
}

} // namespace jbx
