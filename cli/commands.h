#pragma once

// The commands of jbxtool, each run with arguments that have been checked
// against its entry in the command table.

#include "cli/arguments.h"

#include <iosfwd>

namespace jbx {

int RunInfo(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunCheck(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunExtract(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunConvert(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunRewrite(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunReplace(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunRename(const Command&, const Invocation&, std::ostream&, std::ostream&);
int RunCreate(const Command&, const Invocation&, std::ostream&, std::ostream&);

} // namespace jbx
