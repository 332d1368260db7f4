#include "cli/arguments.h"

#include "bank/soundbank.h"
#include "cli/commands.h"
#include "cli/jbxtool.h"
#include "seam/sounddecoder.h"
#include "cli/text.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>

namespace jbx {

namespace {

constexpr std::string_view kVoiceOptions = "[--unknown-block=stop|skip|force] [--any-version]";

constexpr Command kCommands[] = {
    {"info", "BANK", 1, 1, true, false, false,
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
    {"check", "BANK...", 1, SIZE_MAX, true, false, false,
        "check that games can play a bank's sounds",
        "Checks each slot of each BANK and prints a line for the bank, then one\n"
        "per slot: its number and name, what it holds (PCM WAVE, another WAVE,\n"
        "voice file, empty, not a sound) and, for a sound, its channels, bits per\n"
        "sample, rate and length. A voice file is described as the WAVE it is\n"
        "converted to. Each slot's first 64 KiB are read, whatever its size.\n"
        "\n"
        "Problems, with which games fail to play the sound: stereo (the game\n"
        "plays mono sounds only), a WAVE that is not PCM or whose sizes run past\n"
        "its slot, a voice file that was not converted, not a sound at all, and\n"
        "a BANK that was not accepted. Warnings: more than 8 bits per sample\n"
        "(the game may need 8-bit), an empty slot. Exit status 1 when any BANK\n"
        "has a problem, 0 when there are only warnings; the other banks are\n"
        "checked all the same.\n"
        "\n"
        "  --json  print one JSON object per BANK, each on one line:\n"
        "          {\"path\", \"accepted\": bool, \"problems\": [text],\n"
        "           \"slots\": [{\"slot\", \"name\", \"kind\", \"channels\", \"bits\", \"rate\",\n"
        "                      \"seconds\", \"problems\": [text], \"warnings\": [text]}]}\n"
        "          kind is pcm-wave, other-wave, voice, refused-voice, empty or\n"
        "          not-sound; channels, bits, rate and seconds are null for what\n"
        "          is not a sound. A bank that was not accepted has no slots.\n",
        RunCheck},
    {"extract", "BANK SLOT OUT", 3, 3, false, false, false,
        "write one slot's sound to a file",
        "Writes the sound of slot SLOT (1..10) of BANK to OUT as the editor's\n"
        "Extract does: the sound followed by its pad byte, so a sound converted\n"
        "from a voice file comes out as its whole WAVE image.\n",
        RunExtract},
    {"convert", "IN OUT.wav", 2, 2, false, false, true,
        "convert a Creative Voice File (or another sound) to WAVE",
        "Converts the Creative Voice File IN to the WAVE file OUT.wav. A WAVE file\n"
        "is taken as it stands, and a sound of another format is decoded by the\n"
        "system's decoder (see the sound options). A file that is refused, a\n"
        "damaged one included, leaves OUT.wav as it was.\n",
        RunConvert},
    {"rewrite", "IN.jbx OUT.jbx", 2, 2, false, false, false,
        "load a bank and save it again",
        "Loads IN.jbx and saves it as OUT.jbx, as Open followed by Save does.\n"
        "Voice lumps are saved as the WAVE sounds they were converted to. A save\n"
        "that fails leaves OUT.jbx as it was.\n",
        RunRewrite},
    {"replace", "BANK SLOT FILE", 3, 3, false, true, true,
        "put a sound file into a slot",
        "Loads BANK, puts FILE into slot SLOT (1..10) as the editor's Replace does\n"
        "(named after FILE up to its first '.', at most 8 characters; a voice\n"
        "file is converted, another format decoded by the system's decoder) and\n"
        "saves the bank as OUT. A file that is not a sound, or a damaged one, is\n"
        "refused and nothing is written.\n",
        RunReplace},
    {"rename", "BANK SLOT NAME", 3, 3, false, true, false,
        "rename a slot",
        "Loads BANK, names slot SLOT (1..10) NAME (1 to 8 characters) and saves\n"
        "the bank as OUT. Slot names are Windows-1252, as games read them: a NAME\n"
        "(or for replace and create a file name) holding a character that code\n"
        "page lacks is refused and nothing is written.\n",
        RunRename},
    {"create", "FILE...", 1, kSlotCount, false, true, true,
        "make a bank from up to ten sound files",
        "Makes a new bank from up to ten sound files, into slots 1\n"
        "onwards, named and converted as the editor's Replace does, and saves it\n"
        "as OUT. The bank has no credits. A file that is not a sound is refused\n"
        "and nothing is written.\n",
        RunCreate},
};

std::string UsageLine(const Command& command)
{
    std::string line = "Usage: jbxtool ";
    line += command.name;
    if (command.takesJson)
        line += " [--json]";
    line += ' ';
    line += kVoiceOptions;
    if (command.takesSoundOptions)
        line += " [--trim-silence[=DB]] [--mono] [--normalize[=DB]] [--8bit]";
    line += ' ';
    line += command.operands;
    if (command.needsOutput)
        line += " -o OUT";
    return line;
}

void PrintSoundOptions(std::ostream& out)
{
    const std::string_view decoded = DecodedFormats();
    out << "Sound options, for convert, replace and create: the game plays mono sounds\n"
           "only, and may need 8-bit ones. They apply in this order, whatever order\n"
           "they are given in:\n"
           "  --trim-silence[=DB]\n"
           "                 cut the frames before the first and after the last one\n"
           "                 where a channel reaches DB dBFS (-120 to 0; -40 without\n"
           "                 a value); a sound that never does is refused\n"
           "  --mono         average the channels into one (their sum divided by their\n"
           "                 count, rounded to nearest: it never clips)\n"
           "  --normalize[=DB]\n"
           "                 scale the sound so that its peak is DB dBFS (-60 to 0; -1\n"
           "                 without a value), rounded to nearest, never clipping\n"
           "  --8bit         make samples of 16, 24 or 32 bits (integer or float)\n"
           "                 8-bit, rounded to nearest, without dither (with --mono\n"
           "                 and without --normalize, the two round once)\n"
        << "Besides WAVE and Creative Voice files, jbxtool takes what the system's\n"
           "decoder reads, decoded to 16-bit WAVE (8-bit with --8bit):\n  "
        << decoded << ".\nA damaged file is refused.\n";
}

// Whether arg is the option name, alone or with "=DB"; if so, the level it
// gives, nothing for one that is no level from lowest to 0 (ParseDecibels).
std::optional<std::optional<double>> LevelOption(std::string_view arg, std::string_view name, double fallback,
    double lowest)
{
    if (!arg.starts_with(name))
        return std::nullopt;
    arg.remove_prefix(name.size());
    if (arg.empty())
        return std::optional<double>(fallback);
    if (arg.front() != '=')
        return std::nullopt;
    arg.remove_prefix(1);
    return std::optional<std::optional<double>>(std::in_place, ParseDecibels(arg, lowest));
}

std::string LevelProblem(std::string_view name, std::string_view arg, double lowest)
{
    return std::string(name) + " takes a level from " + std::to_string(int(lowest)) + " to 0 dBFS, not "
        + Quoted(arg.substr(std::min(arg.size(), name.size() + 1)));
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

} // namespace

const Command* FindCommand(std::string_view name)
{
    for (const Command& command : kCommands)
        if (command.name == name)
            return &command;
    return nullptr;
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
    out << '\n';
    PrintSoundOptions(out);
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
    if (command.takesSoundOptions) {
        PrintSoundOptions(out);
        out << '\n';
    }
    PrintVoiceOptions(out);
}

int UsageError(const Command& command, std::string_view problem, std::ostream& err)
{
    err << "jbxtool: " << problem << '\n'
        << UsageLine(command) << '\n'
        << "Try 'jbxtool " << command.name << " --help' for more.\n";
    return kExitUsage;
}

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
        } else if ((a == "-o" || a == "--output" || a.starts_with("--output=")) && command.needsOutput) {
            const bool separate = !a.starts_with("--output=");
            if (separate && i + 1 == args.size()) {
                problem = std::string(a) + " needs a file name";
                return Parsed::Error;
            }
            const std::string named = separate ? args[++i] : std::string(a.substr(9));
            // Two outputs are a slip of the user's, not a choice for the last.
            if (invocation.output) {
                problem = "one output only: " + Quoted(*invocation.output) + " and " + Quoted(named) + " given";
                return Parsed::Error;
            }
            invocation.output = named;
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            return Parsed::Help;
        } else if (a == "--json" && command.takesJson) {
            invocation.json = true;
        } else if (a == "--mono" && command.takesSoundOptions) {
            invocation.shaping.mono = true;
        } else if (a == "--8bit" && command.takesSoundOptions) {
            invocation.shaping.eightBit = true;
        } else if (const auto level = LevelOption(a, "--trim-silence", kDefaultSilenceDb, kLowestSilenceDb);
                   level && command.takesSoundOptions) {
            if (!*level) {
                problem = LevelProblem("--trim-silence", a, kLowestSilenceDb);
                return Parsed::Error;
            }
            invocation.shaping.trimSilenceDb = **level;
        } else if (const auto level = LevelOption(a, "--normalize", kDefaultNormalizeDb, kLowestNormalizeDb);
                   level && command.takesSoundOptions) {
            if (!*level) {
                problem = LevelProblem("--normalize", a, kLowestNormalizeDb);
                return Parsed::Error;
            }
            invocation.shaping.normalizeDb = **level;
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

} // namespace jbx
