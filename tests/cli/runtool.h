#pragma once

// Runs programs the way a user's shell would, for black-box tests: the
// arguments go over verbatim, and standard output, standard error and the
// exit status come back.

#include <optional>
#include <string>
#include <vector>

namespace jbx::testing {

struct RunResult {
    int exitCode = -1;      // -1: did not start, or ended by a signal
    std::string out;
    std::string err;
};

// program is a path, or a bare name looked up on PATH.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// The jbxtool under test.
RunResult RunJbxtool(const std::vector<std::string>& args);

// The full path of a program on PATH, if it is there.
std::optional<std::string> FindOnPath(const std::string& name);

} // namespace jbx::testing
