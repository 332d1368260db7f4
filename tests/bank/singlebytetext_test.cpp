#include "bank/singlebytetext.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

namespace jbx::testing {
namespace {

TEST(SingleByteText, EveryByteRoundTripsThroughEachForm)
{
    EXPECT_EQ(SingleByteToUtf8("caf\xE9 \x80 \x99 \x8E \x9F \xA0"), "caf\u00E9 \u20AC \u2122 \u017D \u0178 \u00A0");
    // The five bytes the code page leaves out are their controls.
    EXPECT_EQ(SingleByteToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");

    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    const std::string utf8 = SingleByteToUtf8(bytes);
    const std::u16string utf16 = SingleByteToUtf16(bytes);
    const std::u32string characters = Utf8Characters(utf8);
    ASSERT_EQ(characters.size(), 256u);
    ASSERT_EQ(utf16.size(), 256u);
    for (std::size_t b = 0; b < 256; ++b) {
        EXPECT_EQ(utf16[b], char16_t(characters[b])) << b;
        EXPECT_EQ(SingleByteOf(characters[b]), std::optional<std::uint8_t>(std::uint8_t(b))) << b;
    }
    EXPECT_EQ(SingleByteFromUtf8(utf8).bytes, bytes);
    EXPECT_EQ(SingleByteFromUtf16(utf16).bytes, bytes);
    EXPECT_FALSE(SingleByteFromUtf16(utf16).refused);
}

// Each byte of what is not well-formed UTF-8 is one replacement character.
TEST(SingleByteText, Utf8DecodesAndEncodesAtItsBoundaries)
{
    const std::pair<std::string, std::u32string> cases[] = {
        {"\x7F", U"\x7F"},
        {"\xC2\x80", U"\x80"},
        {"\xEF\xBF\xBF", U"\xFFFF"},
        {"\xF0\x90\x80\x80", U"\x10000"},
        {"\xF4\x8F\xBF\xBF", U"\x10FFFF"},
        {"\xED\x9F\xBF", U"\xD7FF"},
        {"\xEE\x80\x80", U"\xE000"},
        {"\xF4\x90\x80\x80", U"\xFFFD\xFFFD\xFFFD\xFFFD"},   // beyond U+10FFFF
        {"\xF5\x80\x80\x80", U"\xFFFD\xFFFD\xFFFD\xFFFD"},
        {"\xF8\x90\x80\x80", U"\xFFFD\xFFFD\xFFFD\xFFFD"},
        {"\xED\xA0\x80", U"\xFFFD\xFFFD\xFFFD"},   // surrogates
        {"\xED\xBF\xBF", U"\xFFFD\xFFFD\xFFFD"},
        {"a\xC0\xAF", U"a\xFFFD\xFFFD"},   // an overlong slash
        {"\xE2\x82", U"\xFFFD\xFFFD"},
    };
    for (const auto& [utf8, characters] : cases) {
        EXPECT_EQ(Utf8Characters(utf8), characters) << ::testing::PrintToString(utf8);
        if (characters.find(U'\xFFFD') == std::u32string::npos) {
            EXPECT_EQ(CharactersToUtf8(characters), utf8);
        }
    }
}

// A surrogate pair is refused as the character it makes, any other surrogate as itself.
TEST(SingleByteText, RefusesWhatTheCodePageCannotHold)
{
    const std::tuple<std::string, std::string, std::optional<char32_t>> fromUtf8[] = {
        {"Gr\u00FC\u00DFe \u20AC", "Gr\xFC\xDF" "e \x80", std::nullopt},
        {"ab\u0100c", "ab", U'\u0100'},
        {"x\u0080", "x", U'\u0080'},   // the control whose byte the euro sign took
        {"a\xC0\xAF", "a", U'\uFFFD'},
    };
    for (const auto& [utf8, bytes, refused] : fromUtf8) {
        const SingleByteText text = SingleByteFromUtf8(utf8);
        EXPECT_EQ(std::tie(text.bytes, text.refused), std::tie(bytes, refused)) << utf8;
    }
    const std::tuple<std::u16string, std::string, char32_t> fromUtf16[] = {
        {{0xD800, 0xDC00}, "", 0x10000},
        {{0xDBFF, 0xDFFF}, "", 0x10FFFF},
        {{0xD800, 0xE000}, "", 0xD800},
        {{0xD800, 0xDBFF}, "", 0xD800},
        {{u'a', 0xDC00, u'b'}, "a", 0xDC00},
        {{0x0100, 0xDC00}, "", 0x0100},
        {{0xD800}, "", 0xD800},
    };
    for (const auto& [utf16, bytes, refused] : fromUtf16) {
        const SingleByteText text = SingleByteFromUtf16(utf16);
        EXPECT_EQ(std::tie(text.bytes, text.refused), std::make_tuple(bytes, std::optional(refused)))
            << std::hex << std::uint32_t(refused);
    }
    // A text that ends on a high surrogate is not read past its end.
    const char16_t pair[] = {0xD800, 0xDC00};
    EXPECT_EQ(SingleByteFromUtf16(std::u16string_view(pair, 1)).refused, char32_t(0xD800));

    EXPECT_EQ(CharacterCode(U'\u0436'), "U+0436");
    EXPECT_EQ(CharacterCode(U'\U0001F600'), "U+1F600");
}

// The caret stays after what the user put before it, also when a dropped character follows.
TEST(SingleByteText, AnEditBoxLosesOnlyWhatTheCodePageLacks)
{
    EXPECT_FALSE(WithoutForeignCharacters(u"Gr\u00FC\u00DF \u20AC", 3));

    const auto kept = WithoutForeignCharacters(u"a\u0436b\U0001F600c|d\u0100", 3);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->text, u"abc|d");
    EXPECT_EQ(kept->caret, 2u);
}

} // namespace
} // namespace jbx::testing
