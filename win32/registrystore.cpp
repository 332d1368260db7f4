#include "win32/registrystore.h"

#include "win32/widetext.h"

#include <windows.h>

#include <vector>

namespace jbx {

namespace {

class RegistryKey : public SettingsKey {
public:
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() override { RegCloseKey(key_); }

    std::optional<std::string> readText(std::string_view name) override
    {
        const std::wstring valueName = WideFromUtf8(name);
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(key_, valueName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS
            || (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        // Room for a terminator the stored text may lack.
        std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = bytes;
        if (RegQueryValueExW(key_, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size)
            != ERROR_SUCCESS)
            return std::nullopt;
        return Utf8FromWide(std::wstring_view(text.data()));
    }

    bool writeText(std::string_view name, std::string_view text) override
    {
        const std::wstring value = WideFromUtf8(text);
        return RegSetValueExW(key_, WideFromUtf8(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD((value.size() + 1) * sizeof(wchar_t)))
            == ERROR_SUCCESS;
    }

private:
    HKEY key_;
};

} // namespace

std::wstring SettingsKeyPath()
{
    return L"Software\\" + WideFromUtf8(kSettingsOrganization) + L"\\" + WideFromUtf8(kSettingsApplication);
}

std::unique_ptr<SettingsKey> RegistrySettingsStore::open()
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
            KEY_ALL_ACCESS, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<RegistryKey>(key);
}

} // namespace jbx
