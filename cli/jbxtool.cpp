#include "cli/jbxtool.h"

#include "cli/arguments.h"
#include "cli/text.h"

#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace jbx {

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
