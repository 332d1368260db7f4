#pragma once

// Reading the desktop's small text files (MIME globs, mimeapps.list): a size
// limit, lines, blanks and the ASCII-only case folding these formats use.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jbx::xdg {

// The whole file as text; nothing when it is not a regular file, cannot be
// read or is too large to be one of these files.
std::optional<std::string> ReadTextFile(const std::filesystem::path& path);

// The lines without their '\n'; a final newline starts no further line.
std::vector<std::string> SplitLines(std::string_view text);

// Without leading and trailing blanks (space, tab, carriage return).
std::string_view Trim(std::string_view text);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::string LowerCase(std::string_view text);

} // namespace jbx::xdg
