#include "bank/singlebytetext.h"

#include <algorithm>
#include <array>

namespace jbx {

namespace {

// What the code page puts at 0x80..0x9F; the rest of the bytes are the
// Unicode characters of the same value.
constexpr std::array<char16_t, 32> kHighControls = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

constexpr char32_t kReplacementCharacter = U'\uFFFD';

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The length of the well-formed UTF-8 sequence at the start of `text`, and
// its character; 0 when it is not one (overlong forms and surrogates are
// not).
std::size_t DecodeUtf8(std::string_view text, char32_t& c)
{
    const auto lead = std::uint8_t(text[0]);
    std::size_t length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        least = 0x80;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        least = 0x800;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        least = 0x10000;
        c = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = std::uint8_t(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

char32_t SingleByteCharacter(std::uint8_t byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char32_t(byte);
}

std::optional<std::uint8_t> SingleByteOf(char32_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return std::uint8_t(character);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == character)
            return std::uint8_t(0x80 + i);
    return std::nullopt;
}

std::string SingleByteToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char byte : text)
        AppendUtf8(out, SingleByteCharacter(std::uint8_t(byte)));
    return out;
}

std::u16string SingleByteToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const char byte : text)
        out += char16_t(SingleByteCharacter(std::uint8_t(byte)));
    return out;
}

std::u32string Utf8Characters(std::string_view utf8)
{
    std::u32string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(utf8, c);
        out += length ? c : kReplacementCharacter;
        utf8.remove_prefix(length ? length : 1);
    }
    return out;
}

std::string CharactersToUtf8(std::u32string_view characters)
{
    std::string out;
    out.reserve(characters.size());
    for (const char32_t c : characters)
        AppendUtf8(out, c);
    return out;
}

SingleByteText SingleByteFromCharacters(std::u32string_view characters)
{
    SingleByteText text;
    text.bytes.reserve(characters.size());
    for (const char32_t c : characters) {
        const auto byte = SingleByteOf(c);
        if (!byte) {
            text.refused = c;
            break;
        }
        text.bytes += char(*byte);
    }
    return text;
}

SingleByteText SingleByteFromUtf8(std::string_view utf8)
{
    return SingleByteFromCharacters(Utf8Characters(utf8));
}

SingleByteText SingleByteFromUtf16(std::u16string_view utf16)
{
    // Every character the code page holds is a single UTF-16 unit, so any
    // surrogate, paired or not, is refused where it starts.
    SingleByteText text;
    text.bytes.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const auto byte = SingleByteOf(utf16[i]);
        if (!byte) {
            char32_t c = utf16[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00
                && utf16[i + 1] <= 0xDFFF)
                c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            text.refused = c;
            break;
        }
        text.bytes += char(*byte);
    }
    return text;
}

std::optional<KeptBoxText> WithoutForeignCharacters(std::u16string_view text, std::size_t caret)
{
    KeptBoxText kept;
    kept.text.reserve(text.size());
    kept.caret = std::min(caret, text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsSingleByteCharacter(text[i]))
            kept.text += text[i];
        else if (i < caret)
            --kept.caret;
    }
    if (kept.text.size() == text.size())
        return std::nullopt;
    return kept;
}

std::string CharacterCode(char32_t character)
{
    constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string digits;
    for (char32_t rest = character; rest || digits.size() < 4; rest >>= 4)
        digits.insert(digits.begin(), kHexDigits[rest & 0xF]);
    return "U+" + digits;
}

} // namespace jbx
