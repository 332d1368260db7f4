// Loads arbitrary bytes as a bank, writes the result back out and checks
// that the written layout adds up and survives a second load unchanged.

#include "bank/bankformat.h"
#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "bank/desktop.h"
#include "bank/soundbank.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

// Answers every question from a fixed rotation, so one input always takes
// the same path through the voice conversion's dialogs.
class RotatingDesktop : public jbx::Desktop {
public:
    jbx::MessageAnswer showMessage(const jbx::Message& message) override
    {
        if (message.buttons == jbx::MessageButtons::Ok)
            return jbx::MessageAnswer::Ok;
        return questions_++ % 2 ? jbx::MessageAnswer::No : jbx::MessageAnswer::Yes;
    }

    jbx::UnknownBlockChoice askUnknownBlock(const jbx::UnknownBlockDetails&, jbx::Owner) override
    {
        static constexpr jbx::UnknownBlockChoice rotation[] = {jbx::UnknownBlockChoice::SkipBlock,
            jbx::UnknownBlockChoice::ForceConversion, jbx::UnknownBlockChoice::StopConversion};
        return rotation[blocks_++ % 3];
    }

    std::optional<jbx::ChosenFile> chooseFile(const jbx::FileDialogRequest&) override { return std::nullopt; }
    void playSound(jbx::SoundData) override {}
    bool shiftHeld() const override { return false; }
    void openProgress() override {}
    void setProgress(int) override {}
    void closeProgress() override {}

private:
    unsigned questions_ = 0;
    unsigned blocks_ = 0;
};

class QuietWindow : public jbx::MainWindowView {
public:
    void setCaption(const std::string&) override {}
    std::string nameText() const override { return {}; }
    void setNameText(const std::string&) override {}
    void setSizeText(const std::string&) override {}
    void setExtractEnabled(bool) override {}
    void focusSoundButton(int) override {}
};

// One path per process, written for every input and removed after it
// (libFuzzer may end the process without running exit handlers).
const std::string& ScratchPath()
{
    static const std::string path = [] {
        std::random_device random;
        return (std::filesystem::temp_directory_path()
            / ("fuzz_bank-" + std::to_string(random()) + ".jbx")).string();
    }();
    return path;
}

void RemoveScratchFile()
{
    std::remove(ScratchPath().c_str());
}

bool Store(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_bank: %s\n", what);
        std::abort();
    }
}

struct Written {
    jbx::Bytes bytes;
    // Credits at a text's limit do not load back as they were: the limit
    // stops the text before its NUL, which then ends the next one.
    bool creditsAtLimit = false;
    std::size_t soundBytes = 0;
};

Written LoadAndWrite(const std::uint8_t* data, std::size_t size, bool withWindow)
{
    if (!Store(data, size)) {
        std::fprintf(stderr, "fuzz_bank: cannot write %s\n", ScratchPath().c_str());
        std::abort();
    }
    RotatingDesktop desktop;
    QuietWindow window;
    jbx::Session session(desktop);
    session.bank.bankTitle = "fuzz.jbx";
    jbx::LoadBank(session, ScratchPath(), withWindow ? &window : nullptr);

    Written result;
    for (const jbx::SoundSlot& slot : session.bank.slots) {
        Check(slot.data != nullptr, "slot without a buffer");
        Check(slot.size >= 0, "negative slot size");
        Check(slot.data->size() >= std::size_t(slot.size), "slot size beyond its buffer");
        Check(slot.name.size() <= jbx::kSlotNameLimit, "slot name too long");
        result.soundBytes += std::size_t(slot.size);
    }
    const jbx::BankCredits& credits = session.bank.credits;
    Check(credits.author.size() <= jbx::kAuthorLimit && credits.description.size() <= jbx::kDescriptionLimit
            && credits.dateFinished.size() <= jbx::kDateFinishedLimit,
        "credit text over its limit");
    result.creditsAtLimit = credits.author.size() == jbx::kAuthorLimit
        || credits.description.size() == jbx::kDescriptionLimit
        || credits.dateFinished.size() == jbx::kDateFinishedLimit;
    std::size_t creditsLength = 0;
    if (credits.complete())
        creditsLength = credits.author.size() + credits.description.size() + credits.dateFinished.size() + 3;

    jbx::MemorySink sink;
    Check(jbx::WriteBank(session.bank, sink), "write failed");
    result.bytes = std::move(sink.data);
    const jbx::Bytes& out = result.bytes;
    const std::size_t directory = std::size_t(jbx::kHeaderSize) + result.soundBytes + creditsLength;
    Check(out.size() >= std::size_t(jbx::kHeaderSize), "no header written");
    Check(jbx::ReadLE32(&out[std::size_t(jbx::kDirectoryOffsetField)]) == directory,
        "directory offset is not 12 + sizes + credits");
    const std::size_t entries = credits.complete() ? 13 : 12;
    Check(out.size() == directory + entries * std::size_t(jbx::kEntrySize) + jbx::kCreditTrailer.size(),
        "written length does not add up");
    return result;
}

// The sounds and their directory entries of a written bank.
jbx::Bytes SoundParts(const Written& written)
{
    const jbx::Bytes& out = written.bytes;
    const auto soundsEnd = out.begin() + jbx::kHeaderSize + std::ptrdiff_t(written.soundBytes);
    const std::size_t directory = jbx::ReadLE32(&out[std::size_t(jbx::kDirectoryOffsetField)]);
    const auto entries = out.begin() + std::ptrdiff_t(directory) + jbx::kEntrySize;
    jbx::Bytes parts(out.begin() + jbx::kHeaderSize, soundsEnd);
    parts.insert(parts.end(), entries, entries + jbx::kEntrySize * jbx::kSlotCount);
    return parts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool withWindow = size % 2 == 1;
    const Written first = LoadAndWrite(data, size, withWindow);
    // What was written loads back as the same bank: nothing in it is a voice
    // file any more, and only complete credits were written.
    const Written second = LoadAndWrite(first.bytes.data(), first.bytes.size(), withWindow);
    if (first.creditsAtLimit)
        Check(SoundParts(first) == SoundParts(second), "written sounds do not load back unchanged");
    else
        Check(first.bytes == second.bytes, "a written bank does not load back unchanged");
    RemoveScratchFile();
    return 0;
}
