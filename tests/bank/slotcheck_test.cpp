#include "bank/slotcheck.h"

#include "bank/bankwriter.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace jbx {
namespace {

using namespace jbx::testing;
using ::testing::ElementsAreArray;

Bytes Wave(std::uint16_t tag, std::uint16_t channels, std::uint16_t bits, std::uint32_t dataBytes)
{
    return WaveImage(tag, channels, 11025, bits, Ramp(dataBytes, 0x40));
}

Bytes WithDataSize(Bytes image, std::uint32_t size)
{
    WriteLE32(&image[40], size);
    return image;
}

// Every kind of slot, each in a bank of ten. Images longer than what is
// read of a slot have their sizes checked against the slot's all the same.
TEST(SlotCheck, NamesWhatEachSlotHoldsAndWhyAGameMayNotPlayIt)
{
    constexpr std::uint32_t kLong = 3 * kSlotCheckBytes;
    const std::vector<std::string> none;
    const struct Row {
        std::string what;
        Bytes lump;
        SlotContent content;
        int channels, bits;
        std::vector<std::string> problems, warnings;
    } rows[] = {
        {"stereo 16-bit PCM", Wave(1, 2, 16, 40), SlotContent::PcmWave, 2, 16, {std::string(kMonoOnly)},
            {std::string(kMayNeed8Bit)}},
        {"mono 8-bit PCM", PcmWave(41), SlotContent::PcmWave, 1, 8, none, none},
        {"float", Wave(3, 1, 32, 40), SlotContent::OtherWave, 1, 32, {std::string(kPcmOnly)},
            {std::string(kMayNeed8Bit)}},
        {"ADPCM", Wave(2, 1, 4, 40), SlotContent::OtherWave, 1, 4, {std::string(kPcmOnly)}, none},
        {"data past the slot", WithDataSize(PcmWave(40), 41), SlotContent::PcmWave, 1, 8,
            {std::string(kSizesRunPast)}, none},
        // An odd count of samples: the image's pad byte is the one after the slot.
        {"voice lump", VoiceFileBuilder().soundBlock(166, Ramp(99)).terminator().build(), SlotContent::Voice, 1, 8,
            none, none},
        {"empty", {}, SlotContent::Empty, 0, 0, none, {std::string(kEmptySlot)}},
        {"junk", ToBytes("not a sound at all"), SlotContent::NotASound, 0, 0, {std::string(kNotASound)}, none},
        {"refused voice lump", ToBytes("Creative nonsense file here"), SlotContent::RefusedVoice, 0, 0,
            {std::string(kVoiceRefused)}, none},
        {"long PCM", PcmWave(kLong), SlotContent::PcmWave, 1, 8, none, none},
        {"long PCM, data past the slot", WithDataSize(PcmWave(kLong), kLong + 2), SlotContent::PcmWave, 1, 8,
            {std::string(kSizesRunPast)}, none},
    };
    TempDir dir;
    for (std::size_t first = 0; first < std::size(rows); first += kSlotCount) {
        const std::size_t count = std::min<std::size_t>(kSlotCount, std::size(rows) - first);
        SoundBank written;
        for (std::size_t i = 0; i < count; ++i) {
            Bytes lump = rows[first + i].lump;
            SoundSlot& slot = written.slot(int(i + 1));
            slot.size = std::int32_t(lump.size());
            lump.push_back(0x80);
            slot.data = std::make_shared<Bytes>(lump);
        }
        const std::string path = dir.file("checked.jbx");
        ASSERT_EQ(WriteBankFile(written, path), WriteFileResult::Written);

        FakeDesktop desktop;
        Session session(desktop);
        StreamedBank streamed;
        ASSERT_EQ(streamed.open(session, path, Owner::None).result, LoadResult::Loaded);
        const std::vector<SlotCheck> checks = CheckSlots(session.bank, streamed);
        ASSERT_EQ(checks.size(), std::size_t(kSlotCount));
        for (std::size_t i = 0; i < count; ++i) {
            const Row& row = rows[first + i];
            const SlotCheck& check = checks[i];
            SCOPED_TRACE(row.what);
            EXPECT_EQ(check.slot, int(i + 1));
            EXPECT_EQ(check.content, row.content);
            EXPECT_EQ(check.format ? check.format->channels : 0, row.channels);
            EXPECT_EQ(check.format ? check.format->bitsPerSample : 0, row.bits);
            EXPECT_THAT(check.problems, ElementsAreArray(row.problems));
            EXPECT_THAT(check.warnings, ElementsAreArray(row.warnings));
        }
    }
}

// The question names the slot and what keeps the game from playing its
// sound; a sound the game plays, or one no reshape takes, is not asked about.
TEST(SlotCheck, AsksToMakeOnlyWhatTheGameCannotPlayGameReady)
{
    const struct {
        Bytes image;
        std::optional<std::string> question;
    } cases[] = {
        {Wave(1, 2, 16, 40), "Sound 7 is stereo, 16-bit. The game plays mono sounds only, and may need 8-bit."},
        {Wave(1, 2, 8, 40), "Sound 7 is stereo, 8-bit. The game plays mono sounds only."},
        {Wave(3, 1, 32, 40), "Sound 7 is mono, 32-bit float. The game plays PCM sounds only, and may need 8-bit."},
        {Wave(3, 6, 64, 48), "Sound 7 is 6 channels, 64-bit float. The game plays mono PCM sounds only, and may need 8-bit."},
        {Wave(1, 1, 16, 40), std::nullopt},
        {PcmWave(41), std::nullopt},
        {Wave(2, 2, 4, 40), std::nullopt},
        {ToBytes("RIFF but no WAVE"), std::nullopt},
    };
    for (const auto& c : cases) {
        Bytes buffer = c.image;
        buffer.push_back(0x80);
        const SoundSlot slot{"x", 0, std::int32_t(c.image.size()), std::make_shared<Bytes>(buffer)};
        EXPECT_EQ(GameReadyQuestion(slot, 7),
            c.question ? std::optional(*c.question + "\n\nMake it mono and 8-bit?") : std::nullopt)
            << c.question.value_or("no question");
    }
    EXPECT_EQ(GameReadyQuestion(SoundSlot{}, 7), std::nullopt) << "an empty slot";
}

} // namespace
} // namespace jbx
