// Loads arbitrary bytes as a bank, writes the result back out and checks
// that what was loaded stays inside its limits and that the written bank
// survives a second load unchanged.

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

jbx::Bytes LoadAndWrite(const std::uint8_t* data, std::size_t size, bool withWindow)
{
    std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    FUZZ_CHECK(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
    FuzzDesktop desktop(0);
    jbx::Session session(desktop);
    session.bank.bankTitle = "fuzz.jbx";
    jbx::LoadBank(session, ScratchPath(), withWindow ? jbx::Owner::MainWindow : jbx::Owner::None);

    for (const jbx::SoundSlot& slot : session.bank.slots) {
        FUZZ_CHECK(slot.data && slot.size >= 0 && slot.data->size() >= std::size_t(slot.size));
        FUZZ_CHECK(slot.name.size() <= jbx::kSlotNameLimit);
    }
    const jbx::BankCredits& credits = session.bank.credits;
    FUZZ_CHECK(credits.author.size() <= jbx::kAuthorLimit && credits.description.size() <= jbx::kDescriptionLimit
        && credits.dateFinished.size() <= jbx::kDateFinishedLimit);
    jbx::MemorySink sink;
    FUZZ_CHECK(jbx::WriteBank(session.bank, sink));
    return std::move(sink.data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool withWindow = size % 2 == 1;
    const jbx::Bytes first = LoadAndWrite(data, size, withWindow);
    // What was written loads back as the same bank, credits at their limits
    // included: nothing in it is a voice file any more, and only complete
    // credits were written.
    FUZZ_CHECK(LoadAndWrite(first.data(), first.size(), withWindow) == first);
    std::remove(ScratchPath().c_str());
    return 0;
}
