#pragma once

// The settings store of the Qt editor: the user's settings of organisation
// "Brackwater", application "JBXMaker" (the registry key
// Software\Brackwater\JBXMaker on Windows, $XDG_CONFIG_HOME/Brackwater/
// JBXMaker.conf on Linux). Values are stored as strings converted from and to
// UTF-8.

#include "settings/settingsstore.h"

namespace jbx {

class QSettingsStore final : public SettingsStore {
public:
    // Nothing when the settings file exists but cannot be read; then nothing
    // is written over it either. Of a damaged file, what can be parsed is
    // read, and the next write rewrites the file without the rest.
    std::unique_ptr<SettingsKey> open() override;
};

} // namespace jbx
