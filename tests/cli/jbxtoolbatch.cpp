// Runs the jbxtool under test once for each line of a file, so that
// matchnative.sh starts Wine once for a whole list of commands:
//
//   jbxtoolbatch COMMANDS RESULTS
//
// Each line of COMMANDS holds one command's arguments, separated by tabs
// (UTF-8). Line n's exit status, standard output and standard error go to
// RESULTS/n.status, n.out and n.err. Exits 0 when every command started.

#include "tests/cli/runtool.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::filesystem::path U8Path(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::vector<std::string> Arguments(const std::string& line)
{
    std::vector<std::string> args;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '\t'))
        args.push_back(field);
    return args;
}

bool Keep(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out.flush());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: jbxtoolbatch COMMANDS RESULTS\n";
        return 2;
    }
    std::ifstream commands(U8Path(argv[1]), std::ios::binary);
    if (!commands) {
        std::cerr << "jbxtoolbatch: cannot read " << argv[1] << '\n';
        return 1;
    }
    const std::filesystem::path results = U8Path(argv[2]);
    int status = 0;
    std::string line;
    for (int n = 1; std::getline(commands, line); ++n) {
        const jbx::testing::RunResult run = jbx::testing::RunJbxtool(Arguments(line));
        const std::string name = std::to_string(n);
        if (run.exitCode < 0)
            status = 1;
        if (!Keep(results / (name + ".status"), std::to_string(run.exitCode) + "\n")
            || !Keep(results / (name + ".out"), run.out) || !Keep(results / (name + ".err"), run.err)) {
            std::cerr << "jbxtoolbatch: cannot write the results of command " << n << '\n';
            return 1;
        }
    }
    return status;
}
