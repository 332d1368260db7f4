#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace jbx {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;     // refused or failed operation
inline constexpr int kExitUsage = 2;

// Runs one jbxtool command line. args are the arguments after the program
// name, as UTF-8. Results and help go to out; messages, answered questions
// and usage errors go to err. Returns the exit status.
int RunJbxtool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace jbx
