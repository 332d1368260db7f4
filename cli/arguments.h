#pragma once

// What jbxtool's commands are, how their arguments are read, and the help
// texts made from them.

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

int UsageError(const Command& command, std::string_view problem, std::ostream& err);

} // namespace jbx
