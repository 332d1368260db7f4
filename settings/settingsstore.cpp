#include "settings/settingsstore.h"

#include "bank/singlebytetext.h"
#include "seam/filesystem.h"

namespace jbx {

namespace {

// Whether a text is short enough to be a setting. The limit counts UTF-16
// units, the characters of the Windows registry and of Qt's strings, not
// the UTF-8 bytes a text has here: a folder named in another script must
// not be refused at a third of the length.
bool FitsSetting(std::string_view text)
{
    std::size_t units = 0;
    for (const char32_t c : Utf8Characters(text))
        units += c > 0xFFFF ? 2 : 1;
    return units <= kSettingTextLimit;
}

struct KindValues {
    std::string_view useLast;     // the yes/no setting
    std::string_view directory;   // the remembered folder
};

KindValues ValuesFor(DirectoryKind kind)
{
    if (kind == DirectoryKind::Save)
        return {kUseLastSaveDir, kJBXSaveDirectory};
    return {kUseLastOpenDir, kJBXOpenDirectory};
}

// A stored text as the rules see it: only up to its first NUL, and nothing at
// all when it is longer than a setting may be.
std::optional<std::string> ReadSettingText(SettingsKey& key, std::string_view name)
{
    std::optional<std::string> text = key.readText(name);
    if (!text || !FitsSetting(*text))
        return std::nullopt;
    if (const std::size_t nul = text->find('\0'); nul != std::string::npos)
        text->resize(nul);
    return text;
}

} // namespace

bool ReadYesNoSetting(SettingsStore& store, std::string_view name)
{
    const std::unique_ptr<SettingsKey> key = store.open();
    if (!key)
        return false;
    std::optional<std::string> text = ReadSettingText(*key, name);
    if (!text) {
        key->writeText(name, kSettingNo);
        text = std::string(kSettingNo);
    }
    return *text != kSettingNo;
}

void WriteYesNoSetting(SettingsStore& store, std::string_view name, bool value)
{
    if (const std::unique_ptr<SettingsKey> key = store.open())
        key->writeText(name, value ? kSettingYes : kSettingNo);
}

std::string LoadStartDirectory(SettingsStore& store, DirectoryKind kind)
{
    const KindValues values = ValuesFor(kind);
    if (!ReadYesNoSetting(store, values.useLast))
        return std::string(kCurrentDirectoryText);

    const std::unique_ptr<SettingsKey> key = store.open();
    if (!key)
        return std::string(kCurrentDirectoryText);
    if (std::optional<std::string> directory = ReadSettingText(*key, values.directory))
        return *std::move(directory);
    key->writeText(values.directory, kCurrentDirectoryText);
    return std::string(kCurrentDirectoryText);
}

void StoreLastDirectory(SettingsStore& store, DirectoryKind kind)
{
    const std::string directory = CurrentDirectory();
    if (!FitsSetting(directory))
        return;
    if (const std::unique_ptr<SettingsKey> key = store.open())
        key->writeText(ValuesFor(kind).directory, directory);
}

} // namespace jbx
