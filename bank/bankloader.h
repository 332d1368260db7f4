#pragma once

#include <string>

namespace jbx {

class InputFile;
class MainWindowView;
struct Session;

// Reads the bank at path into session.bank. The caller has set bankTitle.
// A file that cannot be opened or is rejected leaves the empty bank of
// NewBank; with a window, the caption, Name box and Size text follow.
void LoadBank(Session& session, const std::string& path, MainWindowView* window);

// Reads the header, the directory and the credits; true when the file is
// accepted. A rejected file has been reported to the user.
bool ReadBankDirectory(Session& session, InputFile& file, MainWindowView* window);

// Reads the ten sound lumps into fresh slot buffers, converting voice files.
void ReadBankLumps(Session& session, InputFile& file, MainWindowView* window);

} // namespace jbx
