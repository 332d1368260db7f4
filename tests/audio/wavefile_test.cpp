#include "audio/wavefile.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace jbx::testing {
namespace {

Bytes Chunk(std::string_view id, std::uint32_t declared, const Bytes& body)
{
    Bytes chunk;
    PutText(chunk, id);
    PutLE32(chunk, declared);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

Bytes Chunk(std::string_view id, const Bytes& body)
{
    Bytes chunk = Chunk(id, std::uint32_t(body.size()), body);
    if (body.size() % 2 == 1)
        chunk.push_back(0);
    return chunk;
}

// 16-bit stereo at 8000 Hz under the given tag; an extensible chunk's sub-format follows.
Bytes Fmt(std::uint16_t tag, std::optional<std::uint16_t> subFormat = std::nullopt)
{
    Bytes body;
    PutLE16(body, tag);
    PutLE16(body, 2);
    PutLE32(body, 8000);
    PutLE32(body, 32000);
    PutLE16(body, 4);
    PutLE16(body, 16);
    if (subFormat) {
        PutLE16(body, 22);
        PutLE16(body, 16);
        PutLE32(body, 3);
        PutLE16(body, *subFormat);
        PutText(body, std::string(14, 'g'));
    }
    return Chunk("fmt ", body);
}

// A RIFF image of the chunks; its length as given, or what follows it.
Bytes Riff(const Bytes& chunks, std::optional<std::uint32_t> length = std::nullopt, std::string_view form = "WAVE")
{
    Bytes image;
    PutText(image, "RIFF");
    PutLE32(image, length.value_or(std::uint32_t(4 + chunks.size())));
    PutText(image, form);
    image.insert(image.end(), chunks.begin(), chunks.end());
    return image;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(WaveFormatTest, ChunksAreWalkedToTheDataChunk)
{
    const Bytes data = Chunk("data", Bytes(8000, 0));
    const Bytes oddList = Chunk("LIST", Bytes(3, 'x'));
    // Every fmt chunk here is 16-bit stereo at 8000 Hz.
    using Expected = std::tuple<SampleEncoding, std::uint16_t, std::uint64_t, std::uint32_t, bool>;
    const struct {
        const char* what;
        Bytes image;
        std::optional<Expected> expected;
    } cases[] = {
        {"too short for a RIFF header", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}, std::nullopt},
        {"another RIFF form", Riff(Cat(Fmt(1), data), std::nullopt, "AVI "), std::nullopt},
        {"data before fmt", Riff(Cat(data, Fmt(1))), std::nullopt},
        {"no data chunk", Riff(Fmt(1)), std::nullopt},
        {"fmt of 14 bytes", Riff(Cat(Chunk("fmt ", Bytes(14, 1)), data)), std::nullopt},
        {"PCM, an odd chunk and its pad byte before the data", Riff(Cat(Cat(Fmt(1), oddList), data)),
            Expected{SampleEncoding::Pcm, 1, 12 + 24 + 12 + 8, 8000, true}},
        {"float", Riff(Cat(Fmt(3), data)), Expected{SampleEncoding::Float, 3, 44, 8000, true}},
        {"ADPCM", Riff(Cat(Fmt(2), data)), Expected{SampleEncoding::Other, 2, 44, 8000, true}},
        {"extensible float", Riff(Cat(Fmt(0xFFFE, 3), data)), Expected{SampleEncoding::Float, 0xFFFE, 68, 8000, true}},
        {"extensible PCM", Riff(Cat(Fmt(0xFFFE, 1), data)), Expected{SampleEncoding::Pcm, 0xFFFE, 68, 8000, true}},
        {"extensible without its sub-format", Riff(Cat(Fmt(0xFFFE), data)),
            Expected{SampleEncoding::Other, 0xFFFE, 44, 8000, true}},
        {"data past the bytes", Riff(Cat(Fmt(1), Chunk("data", 9000, Bytes(8000, 0)))),
            Expected{SampleEncoding::Pcm, 1, 44, 9000, false}},
        {"a prefix: the headers alone", Riff(Cat(Fmt(1), Chunk("data", 8000, {})), 36 + 8000),
            Expected{SampleEncoding::Pcm, 1, 44, 8000, false}},
        {"RIFF length past the bytes", Riff(Cat(Fmt(1), data), 100000),
            Expected{SampleEncoding::Pcm, 1, 44, 8000, false}},
        {"data past the RIFF length", Riff(Cat(Fmt(1), data), 100), Expected{SampleEncoding::Pcm, 1, 44, 8000, false}},
        {"data header past the RIFF length", Riff(Cat(Fmt(1), data), 30), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<WaveFormat> format = ReadWaveFormat(c.image);
        ASSERT_EQ(format.has_value(), c.expected.has_value());
        if (!format)
            continue;
        EXPECT_EQ(std::tie(format->channels, format->sampleRate, format->bitsPerSample, format->blockAlign),
            std::make_tuple(2, 8000u, 16, 4));
        EXPECT_EQ(std::tie(format->encoding, format->formatTag, format->dataOffset, format->dataLength, format->sizesFit),
            *c.expected);
    }
}

TEST(WaveFormatTest, SecondsCountWholeFramesAndNeedARateAndAFrameSize)
{
    EXPECT_DOUBLE_EQ((WaveFormat{.sampleRate = 8000, .blockAlign = 4, .dataLength = 16003}).seconds(), 0.5);
    EXPECT_EQ((WaveFormat{.sampleRate = 8000, .blockAlign = 0, .dataLength = 16003}).seconds(), 0);
    EXPECT_EQ((WaveFormat{.sampleRate = 0, .blockAlign = 4, .dataLength = 16003}).seconds(), 0);
}

} // namespace
} // namespace jbx::testing
