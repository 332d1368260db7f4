// Whatever a load makes of any bytes stays inside its limits, and the bank written from it loads back unchanged.

#include "bank/bankformat.h"
#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "fuzz/fuzzdesktop.h"

namespace {

const std::string& ScratchPath()
{
    static const std::string path = (ScratchFolder() / "bank.jbx").string();
    return path;
}

jbx::Bytes LoadAndWrite(const std::uint8_t* data, std::size_t size, bool withWindow)
{
    WriteFuzzFile(ScratchPath(), data, size);
    FuzzDesktop desktop(0);
    jbx::Session session(desktop);
    jbx::LoadBank(session, ScratchPath(), withWindow ? jbx::Owner::MainWindow : jbx::Owner::None);

    CheckSlots(session.bank);
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
    // Nothing written is a voice file any more, and only complete credits were written, so a second round changes
    // nothing.
    FUZZ_CHECK(LoadAndWrite(first.data(), first.size(), withWindow) == first);
    std::remove(ScratchPath().c_str());
    return 0;
}
