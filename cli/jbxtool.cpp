#include "cli/jbxtool.h"

#include "bank/singlebytetext.h"
#include "bank/slotops.h"
#include "audio/voiceconvert.h"
#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "seam/filesystem.h"
#include "bank/soundbank.h"
#include "cli/clidesktop.h"
#include "cli/text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <new>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

namespace {

constexpr std::string_view kVoiceOptions = "[--unknown-block=stop|skip|force] [--any-version]";

struct Invocation {
    bool json = false;
    std::optional<std::string> output;   // -o OUT
    CliAnswers answers;
    bool anyVersion = false;
    std::vector<std::string> operands;
};

struct Command;
using CommandFunction = int (*)(const Command&, const Invocation&, std::ostream& out, std::ostream& err);

struct Command {
    std::string_view name;
    std::string_view operands;
    std::size_t operandCount;      // the fewest operands
    std::size_t operandLimit;      // the most
    bool takesJson;
    bool needsOutput;              // -o OUT
    std::string_view summary;
    std::string_view details;
    CommandFunction run;
};

int RunInfo(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunExtract(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunConvert(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunRewrite(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunReplace(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunRename(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunCreate(const Command&, const Invocation&, std::ostream&, std::ostream&);

constexpr Command kCommands[] = {
    {"info", "BANK", 1, 1, true, false,
        "list the slots and credits of a bank",
        "Lists the ten slots (number, name, offset, size) and the credits of BANK,\n"
        "and whether the file was accepted as a bank. Names and credits are shown\n"
        "as UTF-8; control characters appear as \\xNN and a backslash as \\\\.\n"
        "\n"
        "  --json  print one JSON object instead:\n"
        "          {\"accepted\": bool, \"slots\": [{\"slot\", \"name\", \"offset\", \"size\"} x 10],\n"
        "           \"credits\": {\"author\", \"description\", \"dateFinished\"}}\n"
        "          A bank that was not accepted adds why: \"error\": \"cannot open\",\n"
        "          \"not a bank\" or \"out of memory\".\n",
        RunInfo},
    {"extract", "BANK SLOT OUT", 3, 3, false, false,
        "write one slot's sound to a file",
        "Writes the sound of slot SLOT (1..10) of BANK to OUT as the editor's\n"
        "Extract does: the sound followed by its pad byte, so a sound converted\n"
        "from a voice file comes out as its whole WAVE image.\n",
        RunExtract},
    {"convert", "IN.voc OUT.wav", 2, 2, false, false,
        "convert a Creative Voice File to WAVE",
        "Converts the Creative Voice File IN.voc to the WAVE file OUT.wav. A file\n"
        "that is refused leaves OUT.wav as it was.\n",
        RunConvert},
    {"rewrite", "IN.jbx OUT.jbx", 2, 2, false, false,
        "load a bank and save it again",
        "Loads IN.jbx and saves it as OUT.jbx, as Open followed by Save does.\n"
        "Voice lumps are saved as the WAVE sounds they were converted to. A save\n"
        "that fails leaves OUT.jbx as it was.\n",
        RunRewrite},
    {"replace", "BANK SLOT FILE", 3, 3, false, true,
        "put a WAVE or voice file into a slot",
        "Loads BANK, puts FILE into slot SLOT (1..10) as the editor's Replace does\n"
        "(named after FILE up to its first '.', at most 8 characters; a voice\n"
        "file is converted) and saves the bank as OUT. A file that is not a sound\n"
        "is refused and nothing is written.\n",
        RunReplace},
    {"rename", "BANK SLOT NAME", 3, 3, false, true,
        "rename a slot",
        "Loads BANK, names slot SLOT (1..10) NAME (1 to 8 characters) and saves\n"
        "the bank as OUT. Slot names are Windows-1252, as games read them: a NAME\n"
        "(or for replace and create a file name) holding a character that code\n"
        "page lacks is refused and nothing is written.\n",
        RunRename},
    {"create", "FILE...", 1, kSlotCount, false, true,
        "make a bank from up to ten sound files",
        "Makes a new bank from up to ten WAVE or voice files, into slots 1\n"
        "onwards, named and converted as the editor's Replace does, and saves it\n"
        "as OUT. The bank has no credits. A file that is not a sound is refused\n"
        "and nothing is written.\n",
        RunCreate},
};

const Command* FindCommand(std::string_view name)
{
    for (const Command& command : kCommands)
        if (command.name == name)
            return &command;
    return nullptr;
}

std::string UsageLine(const Command& command)
{
    std::string line = "Usage: jbxtool ";
    line += command.name;
    if (command.takesJson)
        line += " [--json]";
    line += ' ';
    line += kVoiceOptions;
    line += ' ';
    line += command.operands;
    if (command.needsOutput)
        line += " -o OUT";
    return line;
}

void PrintVoiceOptions(std::ostream& out)
{
    out << "Voice file options, for voice files and for voice lumps inside banks:\n"
           "  --unknown-block=stop|skip|force\n"
           "                 answer to an unknown voice block: stop the conversion\n"
           "                 (the default), skip the block, or take it as sound\n"
           "  --any-version  convert a voice file of an unknown version (without it,\n"
           "                 such a file is refused); a command that writes from a\n"
           "                 bank also goes on when a voice lump in it was refused,\n"
           "                 keeping that slot silent as the editor does (without it,\n"
           "                 nothing is written)\n";
}

void PrintUsage(std::ostream& out)
{
    out << "Usage: jbxtool COMMAND [OPTIONS] ARGUMENTS\n"
           "\n"
           "Batch work on JBX sound banks and Creative Voice Files.\n"
           "\n"
           "Commands:\n";
    for (const Command& command : kCommands) {
        std::string synopsis = std::string(command.name) + (command.takesJson ? " [--json] " : " ");
        synopsis += command.operands;
        if (command.needsOutput)
            synopsis += " -o OUT";
        // At least two blanks before the summary: help2man, which makes the
        // manual page from this text, splits an entry there.
        out << "  " << synopsis << std::string(synopsis.size() < 29 ? 31 - synopsis.size() : 2, ' ')
            << command.summary << '\n';
    }
    out << '\n';
    PrintVoiceOptions(out);
    out << "\n"
           "Other options:\n"
           "  -o OUT, --output=OUT, --output OUT\n"
           "                 the bank that replace, rename and create write\n"
           "  --             takes every argument after it as an operand, even one\n"
           "                 that starts with '-'\n"
           "\n"
           "'jbxtool COMMAND --help' describes one command.\n"
           "'jbxtool --version' prints the version, " JBX_VERSION ".\n"
           "Exit status: 0 done, 1 refused or failed, 2 usage error.\n";
}

void PrintCommandUsage(const Command& command, std::ostream& out)
{
    out << UsageLine(command) << "\n\n" << command.details << '\n';
    PrintVoiceOptions(out);
}

int UsageError(const Command& command, std::string_view problem, std::ostream& err)
{
    err << "jbxtool: " << problem << '\n'
        << UsageLine(command) << '\n'
        << "Try 'jbxtool " << command.name << " --help' for more.\n";
    return kExitUsage;
}

// On Error, problem says what is wrong with the arguments.
enum class Parsed { Run, Help, Error };

Parsed ParseArguments(const Command& command, std::span<const std::string> args, Invocation& invocation,
    std::string& problem)
{
    constexpr std::string_view unknownBlockOption = "--unknown-block=";
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string_view a = arg;
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            invocation.operands.push_back(arg);
        } else if ((a == "-o" || a == "--output") && command.needsOutput) {
            if (i + 1 == args.size()) {
                problem = std::string(a) + " needs a file name";
                return Parsed::Error;
            }
            invocation.output = args[++i];
        } else if (a.starts_with("--output=") && command.needsOutput) {
            invocation.output = std::string(a.substr(9));
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            return Parsed::Help;
        } else if (a == "--json" && command.takesJson) {
            invocation.json = true;
        } else if (a == "--any-version") {
            invocation.answers.question = MessageAnswer::Yes;
            invocation.anyVersion = true;
        } else if (a == "--unknown-block") {
            problem = "--unknown-block needs a value: --unknown-block=stop, skip or force";
            return Parsed::Error;
        } else if (a.starts_with(unknownBlockOption)) {
            const std::string_view value = a.substr(unknownBlockOption.size());
            if (value == "stop") {
                invocation.answers.unknownBlock = UnknownBlockChoice::StopConversion;
            } else if (value == "skip") {
                invocation.answers.unknownBlock = UnknownBlockChoice::SkipBlock;
            } else if (value == "force") {
                invocation.answers.unknownBlock = UnknownBlockChoice::ForceConversion;
            } else {
                problem = "--unknown-block takes stop, skip or force, not " + Quoted(value);
                return Parsed::Error;
            }
        } else {
            problem = "unknown option " + Quoted(arg) + " for " + std::string(command.name);
            return Parsed::Error;
        }
    }
    const std::size_t given = invocation.operands.size();
    if (given < command.operandCount || given > command.operandLimit) {
        problem = std::string(command.name) + " takes " + std::string(command.operands) + " ("
            + std::to_string(given) + " given)";
        return Parsed::Error;
    }
    if (command.needsOutput && (!invocation.output || invocation.output->empty())) {
        problem = std::string(command.name) + " needs -o OUT, the bank to write";
        return Parsed::Error;
    }
    return Parsed::Run;
}

// Loads the bank at path, titled after it; LoadBank has reported a failure.
LoadOutcome LoadBankFile(Session& session, const std::string& path)
{
    session.bank.bankTitle = FileTitleFromPath(path);
    return LoadBank(session, path, Owner::None);
}

// Loads a bank that a command goes on to write from. The editor keeps a
// voice lump that the conversion refused as a silent slot once the user has
// been asked; a batch run has asked no one, so it stops rather than write
// that sound as zeros, unless --any-version said to go on as the editor
// does. spared is the slot the command overwrites anyway (0 for none); for
// extract, only the slot it writes counts.
bool LoadBankToWrite(Session& session, const Invocation& invocation, const std::string& path,
    std::ostream& err, int spared = 0, int only = 0)
{
    const LoadOutcome outcome = LoadBankFile(session, path);
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

void PrintInfoText(const SoundBank& bank, bool accepted, std::ostream& out)
{
    constexpr std::size_t nameWidth = 10;
    out << "Accepted: " << (accepted ? "yes" : "no") << '\n'
        << "Slot  Name          Offset        Size\n";
    for (int n = 1; n <= kSlotCount; ++n) {
        const SoundSlot& slot = bank.slot(n);
        const std::string name = PrintableText(slot.name);
        const std::size_t width = CharacterCount(name);
        const std::string offset = std::to_string(slot.fileOffset);
        const std::string size = std::to_string(slot.size);
        out << std::string(n < 10 ? 3 : 2, ' ') << n << "  " << name
            << std::string(width < nameWidth ? nameWidth - width : 1, ' ')
            << std::string(offset.size() < 10 ? 10 - offset.size() : 0, ' ') << offset << "  "
            << std::string(size.size() < 10 ? 10 - size.size() : 0, ' ') << size << '\n';
    }
    out << "Author: " << PrintableText(bank.credits.author) << '\n'
        << "Description: " << PrintableText(bank.credits.description) << '\n'
        << "Date finished: " << PrintableText(bank.credits.dateFinished) << '\n';
}

std::string_view LoadErrorName(LoadResult result)
{
    switch (result) {
    case LoadResult::Loaded:
        break;
    case LoadResult::CannotOpen:
        return "cannot open";
    case LoadResult::NotABank:
        return "not a bank";
    case LoadResult::OutOfMemory:
        return "out of memory";
    }
    return {};
}

void PrintInfoJson(const SoundBank& bank, LoadResult result, std::ostream& out)
{
    out << "{\n  \"accepted\": " << (result == LoadResult::Loaded ? "true" : "false") << ",\n";
    if (result != LoadResult::Loaded)
        out << "  \"error\": \"" << LoadErrorName(result) << "\",\n";
    out << "  \"slots\": [\n";
    for (int n = 1; n <= kSlotCount; ++n) {
        const SoundSlot& slot = bank.slot(n);
        out << "    {\"slot\": " << n << ", \"name\": " << JsonString(slot.name) << ", \"offset\": "
            << slot.fileOffset << ", \"size\": " << slot.size << '}' << (n < kSlotCount ? ",\n" : "\n");
    }
    out << "  ],\n  \"credits\": {\"author\": " << JsonString(bank.credits.author)
        << ", \"description\": " << JsonString(bank.credits.description)
        << ", \"dateFinished\": " << JsonString(bank.credits.dateFinished) << "}\n}\n";
}

int RunInfo(const Command&, const Invocation& invocation, std::ostream& out, std::ostream& err)
{
    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    const LoadResult result = LoadBankFile(session, invocation.operands[0]).result;
    const bool accepted = result == LoadResult::Loaded;
    if (invocation.json)
        PrintInfoJson(session.bank, result, out);
    else
        PrintInfoText(session.bank, accepted, out);
    return accepted ? kExitSuccess : kExitFailure;
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

int RunExtract(const Command& command, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    const std::string& bankPath = invocation.operands[0];
    const std::string& outPath = invocation.operands[2];
    const auto slotNumber = ParseSlotNumber(invocation.operands[1]);
    if (!slotNumber)
        return SlotUsageError(command, invocation, err);

    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    if (!LoadBankToWrite(session, invocation, bankPath, err, 0, *slotNumber))
        return kExitFailure;

    const SoundSlot& slot = session.bank.slot(*slotNumber);
    if (slot.size <= 0) {
        err << "jbxtool: Slot " << *slotNumber << " of " << Quoted(bankPath) << " is empty; nothing written\n";
        return kExitFailure;
    }
    // The sound and the byte after it, never past the buffer, as Extract writes.
    if (!WriteSlotFile(session.bank, outPath, *slotNumber)) {
        err << "jbxtool: Cannot write " << Quoted(outPath) << '\n';
        return kExitFailure;
    }
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
    if (std::uint64_t(file->size()) > kVoiceFileLimit) {
        err << "jbxtool: " << Quoted(inPath) << " is too large for a voice file\n";
        return kExitFailure;
    }
    Bytes input;
    Bytes output;
    try {
        input.resize(std::size_t(file->size()));
        output.resize(input.size() + kWaveImageSlack);
    } catch (const std::bad_alloc&) {
        err << "jbxtool: Not enough memory to convert " << Quoted(inPath) << '\n';
        return kExitFailure;
    }
    if (file->read(input.data(), input.size()) != input.size()) {
        err << "jbxtool: Cannot read " << Quoted(inPath) << '\n';
        return kExitFailure;
    }

    CliDesktop desktop(err, invocation.answers);
    std::int32_t size = std::int32_t(input.size());
    // The conversion has said why it refused a file. No slot is involved.
    if (ConvertVoiceFile({desktop}, output, input, size) != ConvertResult::Converted) {
        err << "jbxtool: " << Quoted(inPath) << " was not converted; nothing written\n";
        return kExitFailure;
    }
    const auto image = std::span<const std::uint8_t>(output).first(std::size_t(size) + 1);
    if (WriteFileSafely(outPath, [&](ByteSink& file) { return file.write(image); }) != WriteFileResult::Written) {
        err << "jbxtool: Cannot write " << Quoted(outPath) << '\n';
        return kExitFailure;
    }
    return kExitSuccess;
}

int SaveBankTo(const SoundBank& bank, const std::string& outPath, std::ostream& err)
{
    switch (WriteBankFile(bank, outPath)) {
    case WriteFileResult::Written:
        return kExitSuccess;
    case WriteFileResult::CannotCreate:
        err << "jbxtool: Cannot create " << Quoted(outPath) << '\n';
        break;
    case WriteFileResult::CannotWrite:
        err << "jbxtool: Cannot write " << Quoted(outPath) << '\n';
        break;
    }
    return kExitFailure;
}

int RunRewrite(const Command&, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    if (!LoadBankToWrite(session, invocation, invocation.operands[0], err))
        return kExitFailure;
    return SaveBankTo(session.bank, invocation.operands[1], err);
}

// The editor names a slot after a file with a '?' where the code page has no
// character; a batch run says so and stops instead.
int UnheldCharacterError(const std::string& given, char32_t character, std::ostream& err)
{
    err << "jbxtool: " << Quoted(given) << " holds " << DescribeCharacter(character)
        << ", which Windows-1252 slot names cannot hold; nothing written\n";
    return kExitFailure;
}

// Puts each file into the next slot from first on; false once one is refused,
// a voice file that the conversion refused included (Replace or the
// conversion has said why). The editor keeps such a file as a silent slot;
// a batch run stops before writing a bank that holds one.
bool PutFiles(Session& session, int first, std::span<const std::string> files, std::ostream& err)
{
    int slotNumber = first;
    for (const std::string& file : files) {
        if (const auto unheld = UnheldSlotNameCharacter(FileTitleFromPath(file))) {
            UnheldCharacterError(file, *unheld, err);
            return false;
        }
        if (ReplaceSlotFromFile(session, Owner::None, slotNumber, file) != ReplaceResult::Replaced) {
            err << "jbxtool: " << Quoted(file) << " was refused; nothing written\n";
            return false;
        }
        ++slotNumber;
    }
    return true;
}

int RunReplace(const Command& command, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    const auto slotNumber = ParseSlotNumber(invocation.operands[1]);
    if (!slotNumber)
        return SlotUsageError(command, invocation, err);

    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    if (!LoadBankToWrite(session, invocation, invocation.operands[0], err, *slotNumber)
        || !PutFiles(session, *slotNumber, std::span(invocation.operands).subspan(2), err))
        return kExitFailure;
    return SaveBankTo(session.bank, *invocation.output, err);
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
    if (!LoadBankToWrite(session, invocation, invocation.operands[0], err))
        return kExitFailure;
    session.bank.slot(*slotNumber).name = name.bytes;
    return SaveBankTo(session.bank, *invocation.output, err);
}

int RunCreate(const Command&, const Invocation& invocation, std::ostream&, std::ostream& err)
{
    CliDesktop desktop(err, invocation.answers);
    Session session(desktop);
    NewBank(session);
    if (!PutFiles(session, 1, invocation.operands, err))
        return kExitFailure;
    return SaveBankTo(session.bank, *invocation.output, err);
}

} // namespace

int RunJbxtool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty()) {
        PrintUsage(err);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        PrintUsage(out);
        return kExitSuccess;
    }
    if (args[0] == "--version") {
        out << "jbxtool (JBX Maker) " JBX_VERSION "\n"
               "Copyright The JBX Maker developers. MIT licence.\n";
        return kExitSuccess;
    }
    const Command* command = FindCommand(args[0]);
    if (!command) {
        err << "jbxtool: unknown command " << Quoted(args[0]) << '\n'
            << "Try 'jbxtool --help' for the commands.\n";
        return kExitUsage;
    }

    Invocation invocation;
    std::string problem;
    switch (ParseArguments(*command, std::span(args).subspan(1), invocation, problem)) {
    case Parsed::Help:
        PrintCommandUsage(*command, out);
        return kExitSuccess;
    case Parsed::Error:
        return UsageError(*command, problem, err);
    case Parsed::Run:
        break;
    }
    return command->run(*command, invocation, out, err);
}

} // namespace jbx
