// The code page of the bank's texts, against the code page's own table.

#include "bank/singlebytetext.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace jbx::testing {
namespace {

// 0x80..0x9F as Windows-1252 defines them; the five bytes it leaves out are
// not listed here.
const std::pair<std::uint8_t, char32_t> kDefinedHighBytes[] = {
    {0x80, 0x20AC}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026}, {0x86, 0x2020},
    {0x87, 0x2021}, {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152},
    {0x8E, 0x017D}, {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022},
    {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC}, {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A},
    {0x9C, 0x0153}, {0x9E, 0x017E}, {0x9F, 0x0178},
};

std::string AllBytes()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    return bytes;
}

TEST(SingleByteTextTest, HighBytesAreTheCodePagesAndTheUndefinedOnesTheirControls)
{
    ASSERT_EQ(std::size(kDefinedHighBytes), 27u);
    for (int b = 0x80; b < 0xA0; ++b) {
        char32_t expected = char32_t(b);
        for (const auto& [byte, character] : kDefinedHighBytes)
            if (byte == b)
                expected = character;
        EXPECT_EQ(SingleByteCharacter(std::uint8_t(b)), expected) << std::hex << b;
        EXPECT_EQ(SingleByteOf(expected), std::optional<std::uint8_t>(std::uint8_t(b))) << std::hex << b;
    }
    EXPECT_EQ(SingleByteToUtf8("caf\xE9 \x80 \x99"), "caf\u00E9 \u20AC \u2122");
    EXPECT_EQ(SingleByteToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
}

TEST(SingleByteTextTest, EveryByteRoundTripsThroughEachForm)
{
    const std::string bytes = AllBytes();
    const std::string utf8 = SingleByteToUtf8(bytes);
    const std::u16string utf16 = SingleByteToUtf16(bytes);
    ASSERT_EQ(utf16.size(), 256u);
    ASSERT_EQ(Utf8Characters(utf8).size(), 256u);

    const SingleByteText fromUtf8 = SingleByteFromUtf8(utf8);
    EXPECT_EQ(fromUtf8.bytes, bytes);
    EXPECT_FALSE(fromUtf8.refused);
    const SingleByteText fromUtf16 = SingleByteFromUtf16(utf16);
    EXPECT_EQ(fromUtf16.bytes, bytes);
    EXPECT_FALSE(fromUtf16.refused);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(utf16[std::size_t(b)], char16_t(SingleByteCharacter(std::uint8_t(b)))) << b;
}

// The refused character is named, and what came before it is kept.
TEST(SingleByteTextTest, RefusesWhatTheCodePageCannotHold)
{
    const struct {
        const char* name;
        std::string utf8;
        std::string bytes;
        std::optional<char32_t> refused;
    } cases[] = {
        {"a letter the code page holds", "Gr\u00FC\u00DFe \u20AC", "Gr\xFC\xDF" "e \x80", std::nullopt},
        {"a letter it does not", "ab\u0100c", "ab", U'\u0100'},
        {"the control whose byte the euro sign took", "x\u0080", "x", U'\u0080'},
        {"Cyrillic", "\u0436", "", U'\u0436'},
        {"beyond the basic plane", "a\U0001F600", "a", U'\U0001F600'},
        {"the replacement character itself", "\uFFFD", "", U'\uFFFD'},
        {"a Latin-1 byte that is not UTF-8", "caf\xE9", "caf", U'\uFFFD'},
        {"an overlong slash", "a\xC0\xAF", "a", U'\uFFFD'},
        {"a cut-off sequence", "a\xE2\x82", "a", U'\uFFFD'},
        {"an encoded surrogate", "\xED\xA0\x80", "", U'\uFFFD'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SingleByteText text = SingleByteFromUtf8(c.utf8);
        EXPECT_EQ(text.bytes, c.bytes);
        EXPECT_EQ(text.refused, c.refused);
        if (c.refused) {
            EXPECT_FALSE(IsSingleByteCharacter(*c.refused));
        }
    }

    const SingleByteText pair = SingleByteFromUtf16(u"ok\U0001F600");
    EXPECT_EQ(pair.bytes, "ok");
    EXPECT_EQ(pair.refused, U'\U0001F600');
    const std::u16string lone = {u'a', char16_t(0xDC00), u'b'};
    EXPECT_EQ(SingleByteFromUtf16(lone).refused, char32_t(0xDC00));

    EXPECT_EQ(CharacterCode(U'\u0436'), "U+0436");
    EXPECT_EQ(CharacterCode(U'\U0001F600'), "U+1F600");
}

// A paste keeps what the code page holds; the caret stays after what the
// user put before it.
TEST(SingleByteTextTest, AnEditBoxLosesOnlyWhatTheCodePageLacks)
{
    EXPECT_FALSE(WithoutForeignCharacters(u"Gr\u00FC\u00DF \u20AC", 3));

    const auto kept = WithoutForeignCharacters(u"a\u0436b\U0001F600c|d\u0100", 6);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->text, u"abc|d");
    EXPECT_EQ(kept->caret, 3u);
}

} // namespace
} // namespace jbx::testing
