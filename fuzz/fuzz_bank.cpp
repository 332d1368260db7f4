// Loads arbitrary bytes as a bank, writes the result back out and checks
// that the written layout adds up and survives a second load unchanged.

#include "bank/bankformat.h"
#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "fuzz/fuzzdesktop.h"

#include <filesystem>
#include <random>

namespace {

// One path per process, written for every input and removed after it
// (libFuzzer may end the process without running exit handlers).
const std::string& ScratchPath()
{
    static const std::string path = (std::filesystem::temp_directory_path()
        / ("fuzz_bank-" + std::to_string(std::random_device()()) + ".jbx")).string();
    return path;
}

struct Written {
    jbx::Bytes bytes;
    std::size_t soundBytes = 0;
};

Written LoadAndWrite(const std::uint8_t* data, std::size_t size, bool withWindow)
{
    std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    FUZZ_CHECK(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
    FuzzDesktop desktop(0);
    jbx::Session session(desktop);
    session.bank.bankTitle = "fuzz.jbx";
    jbx::LoadBank(session, ScratchPath(), withWindow ? jbx::Owner::MainWindow : jbx::Owner::None);

    Written result;
    for (const jbx::SoundSlot& slot : session.bank.slots) {
        FUZZ_CHECK(slot.data && slot.size >= 0 && slot.data->size() >= std::size_t(slot.size));
        FUZZ_CHECK(slot.name.size() <= jbx::kSlotNameLimit);
        result.soundBytes += std::size_t(slot.size);
    }
    const jbx::BankCredits& credits = session.bank.credits;
    FUZZ_CHECK(credits.author.size() <= jbx::kAuthorLimit && credits.description.size() <= jbx::kDescriptionLimit
        && credits.dateFinished.size() <= jbx::kDateFinishedLimit);
    const std::size_t creditsLength = credits.complete()
        ? credits.author.size() + credits.description.size() + credits.dateFinished.size() + 3 : 0;

    jbx::MemorySink sink;
    FUZZ_CHECK(jbx::WriteBank(session.bank, sink));
    result.bytes = std::move(sink.data);
    const jbx::Bytes& out = result.bytes;
    // The directory follows the header, the sounds and the credits.
    const std::size_t directory = std::size_t(jbx::kHeaderSize) + result.soundBytes + creditsLength;
    FUZZ_CHECK(out.size() >= std::size_t(jbx::kHeaderSize));
    FUZZ_CHECK(jbx::ReadLE32(&out[std::size_t(jbx::kDirectoryOffsetField)]) == directory);
    const std::size_t entries = credits.complete() ? 13 : 12;
    FUZZ_CHECK(out.size() == directory + entries * std::size_t(jbx::kEntrySize) + jbx::kCreditTrailer.size());
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool withWindow = size % 2 == 1;
    const Written first = LoadAndWrite(data, size, withWindow);
    // What was written loads back as the same bank, credits at their limits
    // included: nothing in it is a voice file any more, and only complete
    // credits were written.
    const Written second = LoadAndWrite(first.bytes.data(), first.bytes.size(), withWindow);
    FUZZ_CHECK(first.bytes == second.bytes);
    std::remove(ScratchPath().c_str());
    return 0;
}
