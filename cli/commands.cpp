#include "cli/commands.h"

#include "bank/singlebytetext.h"
#include "bank/slotops.h"
#include "audio/reshape.h"
#include "audio/shape.h"
#include "audio/soundinput.h"
#include "audio/voiceconvert.h"
#include "audio/wavefile.h"
#include "audio/voicestream.h"
#include "bank/bankloader.h"
#include "bank/bankstream.h"
#include "bank/bankwriter.h"
#include "bank/slotcheck.h"
#include "seam/filesystem.h"
#include "bank/soundbank.h"
#include "cli/clidesktop.h"
#include "cli/jbxtool.h"
#include "cli/printers.h"
#include "cli/text.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <new>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace jbx {

namespace {

// Opens the bank at path with its sounds left in the file: a batch run's
// memory stays flat whatever the bank's size. The load has reported a
// failure.
LoadOutcome OpenBankFile(Session& session, StreamedBank& streamed, const std::string& path)
{
    return streamed.open(session, path, Owner::None);
}

// Loads a bank that a command goes on to write from. The editor keeps a
// voice lump that the conversion refused as a silent slot once the user has
// been asked; a batch run has asked no one, so it stops rather than write
// that sound as zeros, unless --any-version said to go on as the editor
// does. spared is the slot the command overwrites anyway (0 for none); for
// extract, only the slot it writes counts.
bool LoadBankToWrite(Session& session, StreamedBank& streamed, const Invocation& invocation,
    const std::string& path, std::ostream& err, int spared = 0, int only = 0)
{
    const LoadOutcome outcome = OpenBankFile(session, streamed, path);
    if (outcome.result != LoadResult::Loaded)
        return false;
    if (invocation.anyVersion)
        return true;
    bool writable = true;
    for (const int slot : outcome.refusedSlots) {
        if (slot == spared || (only != 0 && slot != only))
            continue;
        err << "jbxtool: Slot " << slot << " of " << Quoted(path)
            << " holds a voice file that was not converted; nothing written"
               " (--any-version writes it as the editor keeps it)\n";
        writable = false;
    }
    return writable;
}

std::optional<int> ParseSlotNumber(std::string_view text)
{
    int n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc() || end != text.data() + text.size() || n < 1 || n > kSlotCount)
        return std::nullopt;
    return n;
}

int SlotUsageError(const Command& command, const Invocation& invocation, std::ostream& err)
{
    return UsageError(command, "SLOT must be a number from 1 to 10, not " + Quoted(invocation.operands[1]), err);
}

// Says why a save failed: the input when it failed under the save (another
// program cut or rewrote it meanwhile), else the output.
int SaveFailure(WriteFileResult result, const std::string& outPath, bool inputFailed, const std::string& inPath,
    std::ostream& err)
{
    if (result == WriteFileResult::CannotCreate)
        err << "jbxtool: Cannot create " << Quoted(outPath) << '\n';
    else if (inputFailed)
        err << "jbxtool: Cannot read " << Quoted(inPath) << ": it changed while it was read; nothing written\n";
    else
        err << "jbxtool: Cannot write " << Quoted(outPath) << '\n';
    return kExitFailure;
}

void BankLimitError(const std::string& outPath, std::int64_t length, bool atLeast, std::ostream& err)
{
    err << "jbxtool: " << Quoted(outPath) << " would be " << (atLeast ? "at least " : "") << SizeText(length)
        << "; a bank holds at most 2 GiB; nothing written\n";
}

// inPath is the bank the sounds stay in, if any.
int SaveBankTo(const SoundBank& bank, StoredSounds& sounds, const std::string& outPath, const std::string& inPath,
    std::ostream& err)
{
    if (const std::int64_t length = BankFileLength(bank, sounds); length > kBankLimit) {
        BankLimitError(outPath, length, false, err);
        return kExitFailure;
    }
    const WriteFileResult result = WriteBankFile(bank, sounds, outPath);
    if (result == WriteFileResult::Written)
        return kExitSuccess;
    return SaveFailure(result, outPath, sounds.failed(), inPath, err);
}

// The editor names a slot after a file with a '?' where the code page has no
// character; a batch run says so and stops instead.
int UnheldCharacterError(const std::string& given, char32_t character, std::ostream& err)
{
    err << "jbxtool: " << Quoted(given) << " holds " << DescribeCharacter(character)
        << ", which Windows-1252 slot names cannot hold; nothing written\n";
    return kExitFailure;
}

bool Reshaping(const Invocation& invocation)
{
    return invocation.shaping.any();
}

// The sound options, named in messages; all of them take the same samples.
std::string_view SoundOptionNames(const Invocation& invocation)
{
    const Shaping& shaping = invocation.shaping;
    return shaping.trimSilenceDb || shaping.normalizeDb ? "--trim-silence, --mono, --normalize and --8bit"
                                                        : "--mono and --8bit";
}

void PrintReshapeRefusal(const std::string& file, ReshapeError error, const Invocation& invocation,
    std::ostream& err)
{
    err << "jbxtool: " << Quoted(file);
    if (error == ReshapeError::NotAWave)
        err << " is not a WAVE sound";
    else
        err << " holds samples that " << SoundOptionNames(invocation) << " do not take (PCM or float)";
    err << "; nothing written\n";
}

// A sound the silence trim would leave nothing of is refused rather than
// put in empty.
bool RefuseTrimmedAway(const std::string& file, std::span<const std::uint8_t> shaped, const Invocation& invocation,
    std::ostream& err)
{
    if (!invocation.shaping.trimSilenceDb || WaveFrames(shaped) > 0)
        return false;
    err << "jbxtool: " << Quoted(file) << " is below " << *invocation.shaping.trimSilenceDb
        << " dBFS throughout: --trim-silence would leave nothing; nothing written\n";
    return true;
}

std::string TooLargeText(const std::string& file, std::int64_t size)
{
    return Quoted(file) + " is " + SizeText(size) + "; a slot holds at most 2 GiB";
}

// Says why the one way in refused a sound file; the conversion of a voice
// file has said its part through the desktop.
void PrintSoundRefusal(const std::string& file, const InputFile& input, const SoundRead& sound, std::ostream& err)
{
    err << "jbxtool: ";
    switch (sound.result) {
    case SoundReadResult::Read:
        return;
    case SoundReadResult::NotConverted:
        err << Quoted(file) << " was not converted";
        break;
    case SoundReadResult::NotASound:
        if (sound.why.empty()) {
            err << Quoted(file) << " is no sound this build reads";
            break;
        }
        [[fallthrough]];
    case SoundReadResult::NoDecoder:
        err << "Cannot read " << Quoted(file) << ": " << sound.why;
        break;
    case SoundReadResult::Damaged:
        err << Quoted(file) << " is damaged: " << sound.why;
        break;
    case SoundReadResult::TooLarge:
        if (sound.kind == SoundKind::Decoded)
            err << Quoted(file) << " decodes to more than the 2 GiB a slot holds";
        else
            err << TooLargeText(file, input.size());
        break;
    case SoundReadResult::Unreadable:
        err << "Cannot read " << Quoted(file)
            << (input.failed() ? ": it changed while it was read" : "");
        break;
    case SoundReadResult::OutOfMemory:
        err << "Not enough memory to read " << Quoted(file);
        break;
    }
    err << "; nothing written\n";
}

// The sound files a command puts into slots, each opened once: a pipe can
// be read but once, and a file measured before the work is the file read.
struct SoundFile {
    const std::string& path;
    std::unique_ptr<InputFile> input;
    SoundKind kind = SoundKind::Decoded;
};

std::optional<std::vector<SoundFile>> OpenSoundFiles(std::span<const std::string> paths, std::ostream& err)
{
    std::vector<SoundFile> files;
    for (const std::string& path : paths) {
        auto input = InputFile::open(path);
        if (!input) {
            err << "jbxtool: Cannot open " << Quoted(path) << '\n';
            return std::nullopt;
        }
        std::uint8_t mark[kSoundMarkLength] = {};
        const SoundKind kind = SoundKindOf(std::span(mark, input->read(mark, sizeof mark)));
        files.push_back({path, std::move(input), kind});
    }
    return files;
}

// One file into one slot through the one way in, then reshaped as the
// options ask.
bool PutFile(Session& session, int slotNumber, SoundFile& file, const Invocation& invocation, std::ostream& err)
{
    SoundSlot& slot = session.bank.slot(slotNumber);
    SoundRead sound = ReadSound({session.desktop, session.bank.currentSlot, Owner::None}, *file.input);
    if (sound.result != SoundReadResult::Read) {
        PrintSoundRefusal(file.path, *file.input, sound, err);
        return false;
    }
    PutSoundIntoSlot(slot, std::move(sound), FileTitleFromPath(file.path));
    if (Reshaping(invocation)) {
        if (const auto error = ShapeSlot(slot, invocation.shaping)) {
            PrintReshapeRefusal(file.path, *error, invocation, err);
            return false;
        }
        if (RefuseTrimmedAway(file.path, SlotFileBytes(slot), invocation, err))
            return false;
    }
    return true;
}

// Refuses, before any sound is read, a bank certain to outgrow its 32-bit
// offsets, or a file too long for a slot. Each file put into slots first on
// is counted at the least it adds: a file stored as it stands adds its
// length, one converted, decoded or reshaped may shrink and counts nothing.
bool RefuseOversized(const SoundBank& bank, const StoredSounds& sounds, int first, const Invocation& invocation,
    std::span<const SoundFile> files, std::ostream& err)
{
    std::int64_t least = BankFileLength(bank, sounds);
    bool exact = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        least -= sounds.storedSize(bank, first + int(i));
        const SoundFile& file = files[i];
        if (file.kind == SoundKind::Decoded) {
            exact = false;
            continue;
        }
        const std::int64_t size = file.input->size();
        if (std::uint64_t(size) > kVoiceFileLimit) {
            err << "jbxtool: " << TooLargeText(file.path, size) << "; nothing written\n";
            return true;
        }
        if (file.kind == SoundKind::Voice || Reshaping(invocation)) {
            exact = false;
            continue;
        }
        least += size;
    }
    if (least <= kBankLimit)
        return false;
    BankLimitError(*invocation.output, least, !exact, err);
    return true;
}

// Puts each file into the next slot from first on; false once one is
// refused, said why. The editor keeps a voice file that the conversion
// refused out of its slot as well; a batch run stops before writing a bank.
bool PutFiles(Session& session, StreamedBank* streamed, int first, const Invocation& invocation,
    std::span<SoundFile> files, std::ostream& err)
{
    int slotNumber = first;
    for (SoundFile& file : files) {
        if (streamed)
            streamed->useBuffer(slotNumber);
        if (const auto unheld = UnheldSlotNameCharacter(FileTitleFromPath(file.path))) {
            UnheldCharacterError(file.path, *unheld, err);
            return false;
        }
        if (!PutFile(session, slotNumber, file, invocation, err))
            return false;
        ++slotNumber;
    }
    return true;
}

// Opens the files, refuses what is too large and puts them into slots from
// first on.
bool PutSoundFiles(Session& session, StreamedBank* streamed, const StoredSounds& sounds, int first,
    const Invocation& invocation, std::span<const std::string> paths, std::ostream& err)
{
    auto files = OpenSoundFiles(paths, err);
    return files && !RefuseOversized(session.bank, sounds, first, invocation, *files, err)
        && PutFiles(session, streamed, first, invocation, *files, err);
}

// The WAVE image convert writes when it cannot stream: the options reshape
// it, or the file is decoded. Nothing when it was refused, said why.
std::optional<Bytes> ImageToConvert(InputFile& file, const std::string& inPath, const Invocation& invocation,
    std::ostream& err)
{
    CliDesktop desktop(err, invocation.answers);
    SoundRead sound = ReadSound({desktop}, file);
    if (sound.result != SoundReadResult::Read) {
        PrintSoundRefusal(inPath, file, sound, err);
        return std::nullopt;
    }
    // A converted voice file's image ends with the byte after its size.
    const std::size_t length = std::size_t(sound.size) + (sound.kind == SoundKind::Voice ? 1 : 0);
    if (!Reshaping(invocation)) {
        sound.buffer.resize(length);
        return std::move(sound.buffer);
    }
    ReshapeResult shaped = ShapeWave(std::span(sound.buffer.data(), length), invocation.shaping);
    if (!shaped.image) {
        PrintReshapeRefusal(inPath, shaped.error, invocation, err);
        return std::nullopt;
    }
    if (RefuseTrimmedAway(inPath, *shaped.image, invocation, err))
        return std::nullopt;
    return std::move(shaped.image);
}

} // namespace

int RunInfo(const Command&, const Invocation& invocation, std::ostream& out, std::ostream& err)
{
    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    StreamedBank streamed;
    const LoadResult result = OpenBankFile(session, streamed, invocation.operands[0]).result;
    const bool accepted = result == LoadResult::Loaded;
    if (invocation.json)
        PrintInfoJson(session.bank, result, out);
    else
        PrintInfoText(session.bank, accepted, out);
    return accepted ? kExitSuccess : kExitFailure;
}

int RunCheck(const Command&, const Invocation& invocation, std::ostream& out, std::ostream& err)
{
    CliDesktop desktop(err, invocation.answers);
    bool problems = false;
    for (const std::string& path : invocation.operands) {
        Session session(desktop);
        StreamedBank streamed;
        const LoadResult result = OpenBankFile(session, streamed, path).result;
        std::vector<SlotCheck> checks;
        if (result == LoadResult::Loaded)
            checks = CheckSlots(session.bank, streamed);
        if (invocation.json)
            PrintCheckJson(path, result, checks, out);
        else
            PrintCheckText(path, result, checks, out);
        problems = problems || result != LoadResult::Loaded
            || std::any_of(checks.begin(), checks.end(), [](const SlotCheck& c) { return !c.problems.empty(); });
    }
    return problems ? kExitFailure : kExitSuccess;
}

int RunExtract(const Command& command, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    const std::string& bankPath = invocation.operands[0];
    const std::string& outPath = invocation.operands[2];
    const auto slotNumber = ParseSlotNumber(invocation.operands[1]);
    if (!slotNumber)
        return SlotUsageError(command, invocation, err);

    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    StreamedBank streamed;
    if (!LoadBankToWrite(session, streamed, invocation, bankPath, err, 0, *slotNumber))
        return kExitFailure;

    const SoundSlot& slot = session.bank.slot(*slotNumber);
    if (slot.size <= 0) {
        err << "jbxtool: Slot " << *slotNumber << " of " << Quoted(bankPath) << " is empty; nothing written\n";
        return kExitFailure;
    }
    // The sound and the byte after it, never past the buffer, as Extract writes.
    const WriteFileResult result = streamed.writeSlotFile(session.bank, *slotNumber, outPath);
    if (result != WriteFileResult::Written)
        return SaveFailure(result, outPath, streamed.failed(), bankPath, err);
    return kExitSuccess;
}

int RunConvert(const Command&, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    const std::string& inPath = invocation.operands[0];
    const std::string& outPath = invocation.operands[1];

    const auto file = InputFile::open(inPath);
    if (!file) {
        err << "jbxtool: Cannot open " << Quoted(inPath) << '\n';
        return kExitFailure;
    }

    // A voice file goes through in two passes: the blocks' headers first,
    // which settles the image's length and asks the questions, then the
    // samples copied straight into the output behind the header, so memory
    // stays flat; a WAVE file is copied as it stands. Reshaping or decoding
    // needs the sound in memory.
    std::uint8_t mark[kSoundMarkLength] = {};
    const std::span<const std::uint8_t> start(mark, file->read(mark, sizeof mark));
    const SoundKind kind = SoundKindOf(start);
    // A file that the editor's Replace would store as it stands but that is
    // no RIFF file makes no WAVE file.
    if (kind == SoundKind::AsItStands) {
        err << "jbxtool: " << Quoted(inPath) << " is no sound this build reads; nothing written\n";
        return kExitFailure;
    }
    const bool voice = kind == SoundKind::Voice;
    const bool inMemory = Reshaping(invocation) || kind == SoundKind::Decoded;
    if (kind != SoundKind::Decoded && std::uint64_t(file->size()) > kVoiceFileLimit) {
        err << "jbxtool: " << Quoted(inPath) << " is " << SizeText(file->size()) << "; "
            << (voice ? "a voice file" : "a sound that " + std::string(SoundOptionNames(invocation)) + " take")
            << " of at most 2 GiB, what a slot holds,"
            << (voice ? " is converted" : " is reshaped") << "; nothing written\n";
        return kExitFailure;
    }
    std::optional<Bytes> image;
    if (inMemory) {
        try {
            image = ImageToConvert(*file, inPath, invocation, err);
        } catch (const std::bad_alloc&) {
            err << "jbxtool: Not enough memory to convert " << Quoted(inPath) << '\n';
            return kExitFailure;
        }
        if (!image)
            return kExitFailure;
    }
    CliDesktop desktop(err, invocation.answers);
    LumpSource source(*file, 0, file->size());
    VoiceImagePlan plan;
    // The conversion has said why it refused a file. No slot is involved.
    if (voice && !image && PlanVoiceImage({desktop}, source, plan) != ConvertResult::Converted) {
        err << "jbxtool: " << Quoted(inPath) << " was not converted; nothing written\n";
        return kExitFailure;
    }
    const auto write = [&](ByteSink& sink) {
        bool written = false;
        if (image)
            written = sink.write(*image);
        else if (voice)
            written = WriteVoiceImage(source, plan, sink, plan.imageLength());
        else
            written = file->copyTo(sink, 0, file->size());
        return written && !file->failed();
    };
    const WriteFileResult result = WriteFileSafely(outPath, write);
    if (result != WriteFileResult::Written)
        return SaveFailure(result, outPath, file->failed(), inPath, err);
    return kExitSuccess;
}

int RunRewrite(const Command&, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    StreamedBank streamed;
    if (!LoadBankToWrite(session, streamed, invocation, invocation.operands[0], err))
        return kExitFailure;
    return SaveBankTo(session.bank, streamed, invocation.operands[1], invocation.operands[0], err);
}

int RunReplace(const Command& command, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    const auto slotNumber = ParseSlotNumber(invocation.operands[1]);
    if (!slotNumber)
        return SlotUsageError(command, invocation, err);

    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    StreamedBank streamed;
    const auto files = std::span(invocation.operands).subspan(2);
    if (!LoadBankToWrite(session, streamed, invocation, invocation.operands[0], err, *slotNumber)
        || !PutSoundFiles(session, &streamed, streamed, *slotNumber, invocation, files, err))
        return kExitFailure;
    return SaveBankTo(session.bank, streamed, *invocation.output, invocation.operands[0], err);
}

int RunRename(const Command& command, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    const auto slotNumber = ParseSlotNumber(invocation.operands[1]);
    if (!slotNumber)
        return SlotUsageError(command, invocation, err);
    const std::string& typed = invocation.operands[2];
    // The Name box takes at most 8 characters, the width of a lump name.
    const std::size_t length = Utf8Characters(typed).size();
    if (length == 0 || length > kSlotNameLimit)
        return UsageError(command, "NAME must be 1 to 8 characters, not " + Quoted(typed), err);
    const SingleByteText name = SingleByteFromUtf8(typed);
    if (name.refused)
        return UnheldCharacterError(typed, *name.refused, err);

    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    StreamedBank streamed;
    if (!LoadBankToWrite(session, streamed, invocation, invocation.operands[0], err))
        return kExitFailure;
    session.bank.slot(*slotNumber).name = name.bytes;
    return SaveBankTo(session.bank, streamed, *invocation.output, invocation.operands[0], err);
}

int RunCreate(const Command&, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    NewBank(session);
    StoredSounds buffers;
    if (!PutSoundFiles(session, nullptr, buffers, 1, invocation, invocation.operands, err))
        return kExitFailure;
    return SaveBankTo(session.bank, buffers, *invocation.output, {}, err);
}

} // namespace jbx
