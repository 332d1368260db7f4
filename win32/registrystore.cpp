#include "win32/registrystore.h"

#include "win32/widetext.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace jbx {

namespace {

class RegistryKey : public SettingsKey {
public:
    explicit RegistryKey(KeyHandle key) : key_(std::move(key)) {}

    std::optional<std::string> readText(std::string_view name) override
    {
        // The type the value was stored with is not examined: its bytes are
        // the UTF-16 text they spell, so a REG_DWORD 1 (01 00 00 00) is the
        // text U+0001, which is not "no". Only a terminator at the very end
        // is no part of the text; the rules cut it at any other NUL.
        const std::wstring valueName = WideFromUtf8(name);
        DWORD bytes = 0;
        if (RegQueryValueExW(key_.get(), valueName.c_str(), nullptr, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        if (bytes == 0)
            return std::string();
        // An odd last byte is the low half of a unit of its own.
        std::vector<wchar_t> text((bytes + 1) / sizeof(wchar_t), L'\0');
        DWORD size = bytes;
        if (RegQueryValueExW(
                key_.get(), valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size)
            != ERROR_SUCCESS)
            return std::nullopt;
        std::wstring_view units(text.data(), (std::min(size, bytes) + 1) / sizeof(wchar_t));
        if (!units.empty() && units.back() == L'\0')
            units.remove_suffix(1);
        return Utf8FromWide(units);
    }

    bool writeText(std::string_view name, std::string_view text) override
    {
        const std::wstring value = WideFromUtf8(text);
        return RegSetValueExW(key_.get(), WideFromUtf8(name).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()), DWORD((value.size() + 1) * sizeof(wchar_t)))
            == ERROR_SUCCESS;
    }

private:
    KeyHandle key_;
};

} // namespace

std::wstring SettingsKeyPath()
{
    return L"Software\\" + WideFromUtf8(kSettingsOrganization) + L"\\" + WideFromUtf8(kSettingsApplication);
}

KeyHandle CreateKey(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return nullptr;
    return KeyHandle(key);
}

std::unique_ptr<SettingsKey> RegistrySettingsStore::open()
{
    KeyHandle key = CreateKey(HKEY_CURRENT_USER, SettingsKeyPath());
    if (!key)
        return nullptr;
    return std::make_unique<RegistryKey>(std::move(key));
}

} // namespace jbx
