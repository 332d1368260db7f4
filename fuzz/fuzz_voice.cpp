// Any input and any answers end in an untouched output or a well-formed image inside the output buffer.

#include "audio/voiceconvert.h"
#include "audio/waveimage.h"
#include "seam/bytes.h"
#include "fuzz/fuzzdesktop.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace {

bool AllZero(std::span<const std::uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

void CheckImage(std::span<const std::uint8_t> input, std::span<const std::uint8_t> out, std::int32_t size)
{
    // The byte at index size is the image's last.
    FUZZ_CHECK(size >= 43 && std::size_t(size) < out.size() && input.size() >= jbx::kVoiceHeaderSize);
    FUZZ_CHECK(std::memcmp(input.data(), "Creative Voice File\x1a", 20) == 0);
    const std::uint32_t riffLength = jbx::ReadLE32(out.data() + 4);
    const std::uint32_t count = jbx::ReadLE32(out.data() + 40);
    // Every sample byte comes from a block body at or after the data offset, which may point back into the header.
    const std::size_t dataOffset = jbx::ReadLE16(input.data() + 20);
    FUZZ_CHECK(dataOffset < input.size() ? count < input.size() - dataOffset : count == 0);
    const std::size_t pad = count % 2;
    FUZZ_CHECK(riffLength == 36 + count + pad && std::size_t(size) == riffLength + 7);
    FUZZ_CHECK(!pad || out[44 + count] == 0);
    FUZZ_CHECK(AllZero(out.subspan(std::size_t(size) + 1)));
    // The slot gets bytes 0..size, and the players must take them.
    FUZZ_CHECK(jbx::WaveImageFits(jbx::Bytes(out.begin(), out.begin() + size + 1)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t length)
{
    const std::span<const std::uint8_t> input(data, length);
    // Whatever is let through to a player holds its whole RIFF length.
    if (jbx::WaveImageFits(jbx::Bytes(input.begin(), input.end())))
        FUZZ_CHECK(length >= 12 && std::uint64_t(jbx::ReadLE32(data + 4)) + 8 <= length);
    FuzzDesktop desktop(length ? data[length - 1] : 0);

    std::vector<std::uint8_t> output(length + jbx::kWaveImageSlack, 0);
    std::int32_t size = std::int32_t(length);
    const jbx::ConvertResult result = jbx::ConvertVoiceFile({desktop, 1}, output, input, size);

    FUZZ_CHECK(size >= 0 && std::size_t(size) <= output.size());
    // The output is large enough for any image's headers.
    FUZZ_CHECK(result != jbx::ConvertResult::BuildFailed);
    if (result == jbx::ConvertResult::Converted)
        CheckImage(input, output, size);
    else
        FUZZ_CHECK(size == std::int32_t(length) && AllZero(output));
    return 0;
}
