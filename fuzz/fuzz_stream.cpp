// Streaming gives what loading does, byte for byte: the same input, read as a voice file and as a bank, once into
// memory and once streamed from its file, with the same answers, must ask the same questions and write the same
// image, bank and extracted slots.

#include "audio/voicestream.h"
#include "bank/bankloader.h"
#include "bank/bankstream.h"
#include "bank/bankwriter.h"
#include "bank/slotops.h"
#include "bank/soundbank.h"
#include "fuzz/fuzzdesktop.h"
#include "seam/filesystem.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

void CompareVoice(const std::string& path, std::span<const std::uint8_t> input, unsigned seed)
{
    FuzzDesktop inMemory(seed);
    std::vector<std::uint8_t> output(input.size() + jbx::kWaveImageSlack, 0);
    std::int32_t size = std::int32_t(input.size());
    const jbx::ConvertResult loaded = jbx::ConvertVoiceFile({inMemory, 1}, output, input, size);

    FuzzDesktop streaming(seed);
    auto file = jbx::InputFile::open(path);
    FUZZ_CHECK(file);
    jbx::LumpSource source(*file, 0, file->size());
    jbx::VoiceImagePlan plan;
    const jbx::ConvertResult planned = jbx::PlanVoiceImage({streaming, 1}, source, plan);
    FUZZ_CHECK(planned == loaded && streaming.log == inMemory.log);
    if (planned != jbx::ConvertResult::Converted)
        return;

    // Written whole, as jbxtool converts, and one byte short, as a bank stores it.
    FUZZ_CHECK(plan.imageLength() == std::uint64_t(size) + 1);
    for (const std::uint64_t length : {plan.imageLength(), plan.imageLength() - 1}) {
        jbx::MemorySink image;
        FUZZ_CHECK(jbx::WriteVoiceImage(source, plan, image, length));
        FUZZ_CHECK(image.data == jbx::Bytes(output.begin(), output.begin() + std::ptrdiff_t(length)));
    }
}

void CompareBank(const std::string& path, unsigned seed)
{
    FuzzDesktop inMemory(seed);
    jbx::Session loadedSession(inMemory);
    const jbx::LoadOutcome loaded = jbx::LoadBank(loadedSession, path, jbx::Owner::None);

    FuzzDesktop streaming(seed);
    jbx::Session streamedSession(streaming);
    jbx::StreamedBank streamed;
    const jbx::LoadOutcome opened = streamed.open(streamedSession, path, jbx::Owner::None);

    FUZZ_CHECK(opened.result == loaded.result && opened.refusedSlots == loaded.refusedSlots);
    FUZZ_CHECK(streaming.log == inMemory.log);
    const jbx::SoundBank& a = loadedSession.bank;
    const jbx::SoundBank& b = streamedSession.bank;
    FUZZ_CHECK(a.bankTitle == b.bankTitle);
    for (int n = 1; n <= jbx::kSlotCount; ++n) {
        FUZZ_CHECK(a.slot(n).name == b.slot(n).name && a.slot(n).size == b.slot(n).size
            && a.slot(n).fileOffset == b.slot(n).fileOffset);
        jbx::MemorySink extracted;
        FUZZ_CHECK(streamed.writeSlot(b, n, extracted));
        const auto expected = jbx::SlotFileBytes(a.slot(n));
        FUZZ_CHECK(extracted.data == jbx::Bytes(expected.begin(), expected.end()));
        const std::size_t limit = seed % 64;
        const jbx::Bytes start = streamed.slotStart(b, n, limit);
        FUZZ_CHECK(start == jbx::Bytes(expected.begin(), expected.begin() + std::ptrdiff_t(std::min(limit, expected.size()))));
    }
    FUZZ_CHECK(a.credits.author == b.credits.author && a.credits.description == b.credits.description
        && a.credits.dateFinished == b.credits.dateFinished);

    jbx::MemorySink written, rewritten;
    FUZZ_CHECK(jbx::WriteBank(a, written) == jbx::WriteBank(b, streamed, rewritten));
    FUZZ_CHECK(written.data == rewritten.data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t length)
{
    const std::string path = (ScratchFolder() / "input").string();
    WriteFuzzFile(path, data, length);
    const unsigned seed = length ? data[length - 1] : 0;
    CompareVoice(path, {data, length}, seed);
    CompareBank(path, seed);
    return 0;
}
