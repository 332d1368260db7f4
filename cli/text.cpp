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
    return JsonCharacters(Utf8Characters(utf8));
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

std::string Quoted(std::string_view utf8)
{
    std::string out = "'";
    for (const char32_t c : Utf8Characters(utf8)) {
        const std::string bytes = CharactersToUtf8(std::u32string(1, c));
        // Each byte that is not UTF-8 decodes as a U+FFFD of its own.
        const std::size_t length = c == U'\uFFFD' && !utf8.starts_with(bytes) ? 1 : bytes.size();
        const std::string_view taken = utf8.substr(0, length);
        utf8.remove_prefix(length);
        if (length == bytes.size() && !IsControl(c)) {
            out += taken;
            continue;
        }
        for (const char byte : taken)
            out += "\\x" + Hex(std::uint8_t(byte));
    }
    return out + "'";
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
