#pragma once

namespace jbx {

class MainWindowView;
class SettingsStore;
struct Session;

// What became of a Save. The failures have been reported to the user.
enum class SaveBankResult {
    Saved,
    Cancelled,      // the user closed the file dialog
    CannotCreate,   // "Cannot create JBX file"
    CannotWrite,    // "Cannot write JBX file"
};

// The Save command once the credits question is settled: asks for a file
// name, remembers its folder, writes the bank with the "Saving" progress
// window and makes the file's name the bank's title. A file that cannot be
// written is reported; the file that was there and bankTitle stay as they were.
SaveBankResult SaveBank(Session& session, SettingsStore& settings, MainWindowView& window);

} // namespace jbx
