#include "cli/commands.h"

#include "bank/singlebytetext.h"
#include "bank/slotops.h"
#include "audio/reshape.h"
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
#include "cli/sounddecoder.h"
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

// Opens the bank at path, titled after it, with its sounds left in the
// file: a batch run's memory stays flat whatever the bank's size. The load
// has reported a failure.
LoadOutcome OpenBankFile(Session& session, StreamedBank& streamed, const std::string& path)
{
    session.bank.bankTitle = FileTitleFromPath(path);
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

// The first bytes of a file, enough to tell what it holds; empty when it
// cannot be read.
constexpr std::size_t kStartBytes = 4;

Bytes FileStart(const std::string& path)
{
    Bytes start(kStartBytes);
    const auto file = InputFile::open(path);
    start.resize(file ? file->read(start.data(), start.size()) : 0);
    return start;
}

// Files that the editor's Replace takes as they stand (a WAVE or voice file,
// or anything else that starts as one would) go to it; others are decoded
// where this build can. Nothing when the file is none of these, after
// saying why if the reason is not Replace's own.
enum class SoundSource { AsItStands, Decoded, Refused };

SoundSource DecodeIfNeeded(const std::string& file, const Bytes& start, std::optional<Bytes>& decoded,
    std::ostream& err)
{
    if (ReplaceTakes(start))
        return SoundSource::AsItStands;
    std::string why;
    decoded = DecodeSoundFile(file, why);
    if (decoded)
        return SoundSource::Decoded;
    if (!why.empty()) {
        err << "jbxtool: Cannot read " << Quoted(file) << ": " << why << "; nothing written\n";
        return SoundSource::Refused;
    }
    // A build without a decoder names what it takes; one with a decoder
    // that could not read the file leaves it to Replace to refuse.
    if (const auto format = CompressedSoundFormat(start); format && DecodedFormats().empty()) {
        err << "jbxtool: " << Quoted(file) << " is " << (*format == "MP3" ? "an " : "a ") << *format
            << " file, which this build cannot read: it takes WAVE and Creative Voice files; nothing written\n";
        return SoundSource::Refused;
    }
    return SoundSource::AsItStands;
}

bool Reshaping(const Invocation& invocation)
{
    return invocation.reshape.mono || invocation.reshape.eightBit;
}

void ReshapeError(const std::string& file, ReshapeError error, std::ostream& err)
{
    err << "jbxtool: " << Quoted(file)
        << (error == ReshapeError::NotAWave ? " is not a WAVE sound"
                                            : " holds samples that --mono and --8bit do not take (PCM or float)")
        << "; nothing written\n";
}

// One file into one slot as the editor's Replace puts it there, or decoded,
// then reshaped as the options ask.
bool PutFile(Session& session, int slotNumber, const std::string& file, const Invocation& invocation,
    std::ostream& err)
{
    SoundSlot& slot = session.bank.slot(slotNumber);
    std::optional<Bytes> decoded;
    switch (DecodeIfNeeded(file, FileStart(file), decoded, err)) {
    case SoundSource::Refused:
        return false;
    case SoundSource::Decoded:
        PutWaveImageIntoSlot(slot, std::move(*decoded), FileTitleFromPath(file));
        break;
    case SoundSource::AsItStands:
        if (ReplaceSlotFromFile(session, Owner::None, slotNumber, file) != ReplaceResult::Replaced) {
            err << "jbxtool: " << Quoted(file) << " was refused; nothing written\n";
            return false;
        }
        break;
    }
    if (Reshaping(invocation)) {
        if (const auto error = ReshapeSlot(slot, invocation.reshape)) {
            ReshapeError(file, *error, err);
            return false;
        }
    }
    return true;
}

// Refuses, before any sound is read, a bank certain to outgrow its 32-bit
// offsets, or a file too long for a slot. Each file put into slots first on
// is counted at the least it adds: a file stored as it stands adds its
// length, one converted, decoded or reshaped may shrink and counts nothing.
// Only regular files are measured: a pipe can be read but once.
bool RefuseOversized(const SoundBank& bank, const StoredSounds& sounds, int first, const Invocation& invocation,
    std::span<const std::string> files, std::ostream& err)
{
    std::int64_t least = BankFileLength(bank, sounds);
    bool exact = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        least -= sounds.storedSize(bank, first + int(i));
        std::error_code error;
        const auto path = PathFromUtf8(files[i]);
        if (!std::filesystem::is_regular_file(path, error)) {
            exact = false;
            continue;
        }
        const std::int64_t size = std::int64_t(std::filesystem::file_size(path, error));
        const Bytes start = FileStart(files[i]);
        if (error || !ReplaceTakes(start)) {
            exact = false;   // decoded, or refused later
            continue;
        }
        if (std::uint64_t(size) > kVoiceFileLimit) {
            err << "jbxtool: " << Quoted(files[i]) << " is " << SizeText(size)
                << "; a slot holds at most 2 GiB; nothing written\n";
            return true;
        }
        if (StartsWithVoiceMark(start) || Reshaping(invocation)) {
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

// Puts each file into the next slot from first on; false once one is refused,
// a voice file that the conversion refused included (Replace or the
// conversion has said why). The editor keeps such a file as a silent slot;
// a batch run stops before writing a bank that holds one.
bool PutFiles(Session& session, StreamedBank* streamed, int first, const Invocation& invocation,
    std::span<const std::string> files, std::ostream& err)
{
    int slotNumber = first;
    for (const std::string& file : files) {
        if (streamed)
            streamed->useBuffer(slotNumber);
        if (const auto unheld = UnheldSlotNameCharacter(FileTitleFromPath(file))) {
            UnheldCharacterError(file, *unheld, err);
            return false;
        }
        if (!PutFile(session, slotNumber, file, invocation, err))
            return false;
        ++slotNumber;
    }
    return true;
}

bool StartsWithRiff(std::span<const std::uint8_t> start)
{
    return start.size() >= 4 && start[0] == 'R' && start[1] == 'I' && start[2] == 'F' && start[3] == 'F';
}

// The WAVE image convert writes when it cannot stream: the options reshape
// it, or the file is to be decoded. Nothing when it was refused, said why.
std::optional<Bytes> ImageToConvert(InputFile& file, const std::string& inPath, const Bytes& start,
    const Invocation& invocation, std::ostream& err)
{
    std::optional<Bytes> image;
    if (StartsWithVoiceMark(start) || StartsWithRiff(start)) {
        Bytes input(std::size_t(file.size()));
        file.seek(0);
        if (file.read(input.data(), input.size()) != input.size()) {
            err << "jbxtool: Cannot read " << Quoted(inPath) << '\n';
            return std::nullopt;
        }
        if (StartsWithRiff(start)) {
            image = std::move(input);
        } else {
            CliDesktop desktop(err, invocation.answers);
            Bytes output(input.size() + kWaveImageSlack);
            std::int32_t size = std::int32_t(input.size());
            if (ConvertVoiceFile({desktop}, output, input, size) != ConvertResult::Converted) {
                err << "jbxtool: " << Quoted(inPath) << " was not converted; nothing written\n";
                return std::nullopt;
            }
            output.resize(std::size_t(size) + 1);
            image = std::move(output);
        }
    } else if (const SoundSource source = DecodeIfNeeded(inPath, start, image, err); source != SoundSource::Decoded) {
        if (source == SoundSource::AsItStands)
            err << "jbxtool: " << Quoted(inPath) << " is no sound this build reads; nothing written\n";
        return std::nullopt;
    }
    if (Reshaping(invocation)) {
        ReshapeResult reshaped = ReshapeWave(*image, invocation.reshape);
        if (!reshaped.image) {
            ReshapeError(inPath, reshaped.error, err);
            return std::nullopt;
        }
        image = std::move(reshaped.image);
    }
    return image;
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
    // needs the sound in memory. What the file starts with comes from the
    // file already open: a pipe cannot be opened twice.
    Bytes start(kStartBytes);
    start.resize(file->read(start.data(), start.size()));
    // An empty file goes to the conversion, which says why it refuses it.
    const bool voice = StartsWithVoiceMark(start) || start.empty();
    const bool inMemory = Reshaping(invocation) || (!voice && !StartsWithRiff(start) && !start.empty());
    if ((voice || (inMemory && StartsWithRiff(start))) && std::uint64_t(file->size()) > kVoiceFileLimit) {
        err << "jbxtool: " << Quoted(inPath) << " is " << SizeText(file->size()) << "; "
            << (voice ? "a voice file" : "a sound that --mono and --8bit take") << " of at most 2 GiB, what a slot holds,"
            << (voice ? " is converted" : " is reshaped") << "; nothing written\n";
        return kExitFailure;
    }
    std::optional<Bytes> image;
    if (inMemory) {
        try {
            image = ImageToConvert(*file, inPath, start, invocation, err);
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
        || RefuseOversized(session.bank, streamed, *slotNumber, invocation, files, err)
        || !PutFiles(session, &streamed, *slotNumber, invocation, files, err))
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
    if (RefuseOversized(session.bank, buffers, 1, invocation, invocation.operands, err)
        || !PutFiles(session, nullptr, 1, invocation, invocation.operands, err))
        return kExitFailure;
    return SaveBankTo(session.bank, buffers, *invocation.output, {}, err);
}

} // namespace jbx
