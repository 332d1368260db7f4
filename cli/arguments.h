#pragma once

// What jbxtool's commands are, how their arguments are read, and the help
// texts made from them.

#include "audio/shape.h"
#include "cli/clidesktop.h"

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

struct Invocation {
    bool json = false;
    std::optional<std::string> output;   // -o OUT
    CliAnswers answers;
    bool anyVersion = false;
    Shaping shaping;                     // --trim-silence, --mono, --normalize, --8bit
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
    bool takesSoundOptions;        // --trim-silence, --mono, --normalize, --8bit
    std::string_view summary;
    std::string_view details;
    CommandFunction run;
};

const Command* FindCommand(std::string_view name);

void PrintUsage(std::ostream& out);
void PrintCommandUsage(const Command& command, std::ostream& out);
int UsageError(const Command& command, std::string_view problem, std::ostream& err);

// On Error, problem says what is wrong with the arguments.
enum class Parsed { Run, Help, Error };

Parsed ParseArguments(const Command& command, std::span<const std::string> args, Invocation& invocation,
    std::string& problem);

} // namespace jbx
