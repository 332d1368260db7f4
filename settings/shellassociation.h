#pragma once

// Associates bank files (*.jbx) with the program in the Windows shell's
// classes. What the classes held is read by the front end that owns a
// registry; the keys, texts and their order are decided here, and it makes
// the writes in the order given. Everything goes to the current user's
// classes (HKEY_CURRENT_USER\Software\Classes), which need no administrator
// and which the shell's merged HKEY_CLASSES_ROOT puts before the machine's:
//
//   .jbx                           "jbxfile"              only when .jbx names no class
//   jbxfile                        "Jeer Box Sound File"  only when our class is new
//   CLASS\shell                    "jbx"                  the double-click verb
//   CLASS\shell\jbx                "&JBXMaker"
//   CLASS\shell\jbx\command        "PROGRAM" "%1"
//   CLASS\DefaultIcon              "PROGRAM",0
//
// CLASS is the class .jbx names in the merged classes (the user's .jbx,
// else the machine's), else "jbxfile": another program, installed for this
// user or for all, keeps its class, its description and its other verbs,
// and only gains ours as the default one.
//
// What was changed is recorded for the uninstaller under the settings key,
// in the subkey Association, the first time the class is associated:
//   Class             REG_SZ     CLASS
//   CreatedExtension  REG_DWORD  1 when the user's .jbx got the default "jbxfile" (the key made
//                                if missing); its other values and subkeys are another program's
//   CreatedClass      REG_DWORD  1 when the user's CLASS key did not exist
//   PreviousVerb      REG_SZ     CLASS\shell's default before, absent when none
//   PreviousIcon      REG_SZ     CLASS\DefaultIcon's default before, absent when none
//
// Texts are UTF-8 here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace jbx {

inline constexpr std::string_view kShellExtensionKey = ".jbx";
inline constexpr std::string_view kShellRecordSubkey = "Association";

// The class that gets the verb: the one .jbx names (none when it names
// nothing or an empty text), else our own.
std::string ShellAssociationClass(const std::optional<std::string>& extensionOwner);

// What the classes held before, as the shell merges them.
struct ShellClassesFound {
    std::optional<std::string> extensionOwner;
    // Of the user's key for ShellAssociationClass(extensionOwner):
    bool classExists = false;
    std::optional<std::string> verb;   // its shell key's default
    std::optional<std::string> icon;   // its DefaultIcon key's default
    // The Class of the record kept under kShellRecordSubkey, if any.
    std::optional<std::string> recordedClass;
};

// The default value of key, under the user's classes, set to text.
struct ShellWrite {
    std::string key;
    std::string text;

    bool operator==(const ShellWrite&) const = default;
};

// One value of the record: a text (REG_SZ) or a number (REG_DWORD).
struct ShellRecordValue {
    std::string name;
    std::variant<std::string, std::uint32_t> value;

    bool operator==(const ShellRecordValue&) const = default;
};

struct ShellAssociationPlan {
    // True when the kept record goes, whole, and `record` takes its place;
    // a record kept for the same class stays, so that what we wrote
    // ourselves never passes for what was there before.
    bool replaceRecord = false;
    std::vector<ShellRecordValue> record;
    // Made after the record, each whatever became of the ones before.
    std::vector<ShellWrite> writes;
};

ShellAssociationPlan PlanShellAssociation(const ShellClassesFound& found, const std::string& programPath);

// The open command and the icon that bank files show, for the program file
// at programPath.
std::string ShellOpenCommand(const std::string& programPath);
std::string ShellIcon(const std::string& programPath);

} // namespace jbx
