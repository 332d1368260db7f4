#pragma once
// The settings store on the registry: the key
// HKEY_CURRENT_USER\Software\Brackwater\JBXMaker, opened (and created when
// missing) for each operation and closed after it; values are written as
// REG_SZ and read whatever their type.

#include "settings/settingsstore.h"

namespace jbx {

class RegistrySettingsStore : public SettingsStore {
public:
    std::unique_ptr<SettingsKey> open() override;
};

// "Software\Brackwater\JBXMaker", from the core's names.
std::wstring SettingsKeyPath();

} // namespace jbx
