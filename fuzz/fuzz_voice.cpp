// libFuzzer target for the voice file converter: any input, any answers to
// its questions, must end in either an untouched output or a well-formed
// image inside the output buffer.

#include "audio/voiceconvert.h"
#include "bank/bytes.h"
#include "bank/soundbank.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace {

#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                              \
        }                                                                              \
    } while (false)

// Answers every question from the input's last byte, so that a saved crash
// input replays the same answers.
class ScriptedDesktop : public jbx::Desktop {
public:
    explicit ScriptedDesktop(std::uint8_t seed) : seed_(seed) {}

    jbx::MessageAnswer showMessage(const jbx::Message& message) override
    {
        if (message.buttons == jbx::MessageButtons::Ok)
            return jbx::MessageAnswer::Ok;
        return (seed_ & 1) ? jbx::MessageAnswer::Yes : jbx::MessageAnswer::No;
    }

    jbx::UnknownBlockChoice askUnknownBlock(const jbx::UnknownBlockDetails&, jbx::Owner) override
    {
        return jbx::UnknownBlockChoice(((seed_ >> 1) + questions_++) % 3);
    }

    std::optional<jbx::ChosenFile> chooseFile(const jbx::FileDialogRequest&) override { return std::nullopt; }
    void playSound(jbx::SoundData) override {}
    bool shiftHeld() const override { return false; }
    void openProgress() override {}
    void setProgress(int) override {}
    void closeProgress() override {}

private:
    std::uint8_t seed_;
    unsigned questions_ = 0;
};

bool AllZero(std::span<const std::uint8_t> bytes)
{
    for (std::uint8_t b : bytes)
        if (b != 0)
            return false;
    return true;
}

void CheckImage(std::span<const std::uint8_t> input, std::span<const std::uint8_t> out, std::int32_t size)
{
    FUZZ_CHECK(size >= 43);
    FUZZ_CHECK(std::size_t(size) < out.size());   // the byte at index size is the image's last
    FUZZ_CHECK(input.size() >= jbx::kVoiceHeaderSize);
    FUZZ_CHECK(std::memcmp(input.data(), "Creative Voice File\x1a", 20) == 0);

    FUZZ_CHECK(std::memcmp(out.data(), "RIFF", 4) == 0);
    const std::uint32_t riffLength = jbx::ReadLE32(out.data() + 4);
    FUZZ_CHECK(std::memcmp(out.data() + 8, "WAVEfmt ", 8) == 0);
    FUZZ_CHECK(jbx::ReadLE32(out.data() + 16) == 16);
    FUZZ_CHECK(jbx::ReadLE16(out.data() + 20) == 1);
    const std::uint16_t channels = jbx::ReadLE16(out.data() + 22);
    const std::uint32_t rate = jbx::ReadLE32(out.data() + 24);
    const std::uint32_t bytesPerSecond = jbx::ReadLE32(out.data() + 28);
    const std::uint16_t blockAlign = jbx::ReadLE16(out.data() + 32);
    const std::uint16_t bits = jbx::ReadLE16(out.data() + 34);
    FUZZ_CHECK(channels == 1 || channels == 2);
    FUZZ_CHECK(bits <= 255);
    FUZZ_CHECK(blockAlign == channels * bits / 8);
    FUZZ_CHECK(bytesPerSecond == std::uint32_t(blockAlign) * rate);
    FUZZ_CHECK(std::memcmp(out.data() + 36, "data", 4) == 0);

    const std::uint32_t count = jbx::ReadLE32(out.data() + 40);
    // Every sample byte comes from a block body at or after the data offset,
    // which may point back into the header.
    const std::size_t dataOffset = jbx::ReadLE16(input.data() + 20);
    FUZZ_CHECK(dataOffset < input.size() ? count < input.size() - dataOffset : count == 0);
    const std::size_t pad = count % 2;
    FUZZ_CHECK(riffLength == 36 + count + pad);
    FUZZ_CHECK(std::size_t(size) == riffLength + 7);
    if (pad)
        FUZZ_CHECK(out[44 + count] == 0);
    FUZZ_CHECK(AllZero(out.subspan(std::size_t(size) + 1)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t length)
{
    const std::span<const std::uint8_t> input(data, length);
    ScriptedDesktop desktop(length ? data[length - 1] : 0);
    jbx::Session session(desktop);
    session.bank.currentSlot = 1;

    std::vector<std::uint8_t> output(length + jbx::kWaveImageSlack, 0);
    std::int32_t size = std::int32_t(length);
    jbx::ConvertVoiceFile(session, output, input, size, nullptr);

    FUZZ_CHECK(size >= 0 && std::size_t(size) <= output.size());
    const bool refused = size == std::int32_t(length) && AllZero(output);
    if (!refused)
        CheckImage(input, output, size);
    return 0;
}
