#pragma once
// The settings store on the registry: the key
// HKEY_CURRENT_USER\Software\Brackwater\JBXMaker, opened (and created when
// missing) for each operation and closed after it; values are written as
// REG_SZ and read whatever their type.

#include "settings/settingsstore.h"

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace jbx {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
// A registry key this program opened, closed with its holder.
using KeyHandle = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// The key at `path` under `root`, opened for all access and created when
// missing; null when that fails.
KeyHandle CreateKey(HKEY root, const std::wstring& path);

class RegistrySettingsStore : public SettingsStore {
public:
    std::unique_ptr<SettingsKey> open() override;
};

// "Software\Brackwater\JBXMaker", from the core's names.
std::wstring SettingsKeyPath();

} // namespace jbx
