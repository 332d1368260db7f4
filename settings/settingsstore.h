#pragma once

// The per-user settings: whether the Open and Save dialogs start in the
// folder used last, and those two folders. Every operation opens the store,
// reads or writes the one value it concerns and closes the store again, so
// nothing is kept in memory and a value read is the one stored at that
// moment. No failure of the store is ever reported or stops a command.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace jbx {

// Whose settings they are: on Windows the key Software\Brackwater\JBXMaker
// of the current user, elsewhere the same names in the desktop's own store.
inline constexpr std::string_view kSettingsOrganization = "Brackwater";
inline constexpr std::string_view kSettingsApplication = "JBXMaker";

// The value names in the store.
inline constexpr std::string_view kUseLastOpenDir = "UseLastOpenDir";
inline constexpr std::string_view kUseLastSaveDir = "UseLastSaveDir";
inline constexpr std::string_view kJBXOpenDirectory = "JBXOpenDirectory";
inline constexpr std::string_view kJBXSaveDirectory = "JBXSaveDirectory";

// The only texts the rules themselves write, besides remembered folders.
inline constexpr std::string_view kSettingYes = "yes";
inline constexpr std::string_view kSettingNo = "no";
inline constexpr std::string_view kCurrentDirectoryText = ".";   // the process's current directory

// The longest stored text, in UTF-16 units, that counts as readable. A
// longer one is treated like a missing value (and so overwritten with the
// default).
inline constexpr std::size_t kSettingTextLimit = 254;

// The settings store, opened: the values live until it is closed by
// destroying this object.
class SettingsKey {
public:
    virtual ~SettingsKey() = default;

    // The value's text, whatever its length; nothing when the value is
    // missing or cannot be read. The type it was stored with is not
    // examined: a value that is no text reads as the text its bytes spell.
    virtual std::optional<std::string> readText(std::string_view name) = 0;

    // Stores the value as text, replacing what was there. False when it could
    // not be stored.
    virtual bool writeText(std::string_view name, std::string_view text) = 0;
};

// Where the settings live. Texts are UTF-8.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // Opens the store, creating it when it does not exist yet; nothing when it
    // cannot be opened, in which case nothing is read or written.
    virtual std::unique_ptr<SettingsKey> open() = 0;
};

enum class DirectoryKind { Open, Save };

// Whether the yes/no value `name` (kUseLastOpenDir or kUseLastSaveDir) says
// yes: every text except exactly "no" does. A value that cannot be read is
// replaced by "no" and reads as no; a store that cannot be opened reads as no.
bool ReadYesNoSetting(SettingsStore& store, std::string_view name);

// Stores "yes" or "no" under `name`.
void WriteYesNoSetting(SettingsStore& store, std::string_view name, bool value);

// The folder a file dialog of this kind starts in: the remembered folder while
// the kind's yes/no setting says yes, else "." (the current directory). A
// remembered folder that cannot be read is replaced by "." and "." is used.
// The result is at most kSettingTextLimit UTF-16 units long.
std::string LoadStartDirectory(SettingsStore& store, DirectoryKind kind);

// Remembers the process's current directory (which the file dialogs make the
// chosen file's folder) as the folder of this kind, whatever the kind's
// yes/no setting says. A current directory longer than kSettingTextLimit
// UTF-16 units could not be read back, so it is not stored and the folder
// remembered before stays.
void StoreLastDirectory(SettingsStore& store, DirectoryKind kind);

} // namespace jbx
