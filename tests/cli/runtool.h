#pragma once

// Runs programs the way a user's shell would, for black-box tests: the
// arguments go over verbatim, and standard output, standard error and the
// exit status come back.

#include <string>
#include <vector>

namespace jbx::testing {

struct RunResult {
    int exitCode = -1;      // -1: did not start, or ended by a signal
    std::string out;
    std::string err;
};

// program is a path, or a bare name looked up on PATH; exitCode -1 when it
// is not there.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// The jbxtool under test, and its path for running it through another
// program.
RunResult RunJbxtool(const std::vector<std::string>& args);
std::string JbxtoolPath();

} // namespace jbx::testing
