#include "win32/registryassociation.h"

#include "seam/desktop.h"
#include "settings/association.h"
#include "settings/mimeglobs.h"
#include "win32/widetext.h"

#include <optional>
#include <vector>

namespace jbx {

namespace {

constexpr wchar_t kExtensionKey[] = L".jbx";
constexpr wchar_t kOwnClass[] = L"jbxfile";
constexpr wchar_t kVerb[] = L"jbx";
constexpr wchar_t kVerbMenuText[] = L"&JBXMaker";

std::wstring ClassesPath(const std::wstring& key)
{
    return std::wstring(kClassesKeyPath) + L"\\" + key;
}

HKEY CreateKey(const std::wstring& key, DWORD* disposition = nullptr)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, ClassesPath(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
            KEY_ALL_ACCESS, nullptr, &handle, disposition)
        != ERROR_SUCCESS)
        return nullptr;
    return handle;
}

// The key's default value, with its terminating NUL counted in the size.
void SetDefault(HKEY key, const std::wstring& text)
{
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
        DWORD((text.size() + 1) * sizeof(wchar_t)));
}

// Each key is closed right after its one value is set.
void WriteDefault(const std::wstring& key, const std::wstring& text)
{
    if (const HKEY handle = CreateKey(key)) {
        SetDefault(handle, text);
        RegCloseKey(handle);
    }
}

// The class an existing .jbx names; nothing when its default value is
// missing, empty or not text.
std::optional<std::wstring> ClassNamed(HKEY extension)
{
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(extension, nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS
        || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    // Room for a terminator the stored text may lack.
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = bytes;
    if (RegQueryValueExW(extension, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring name(text.data());
    if (name.empty())
        return std::nullopt;
    return name;
}

// The whole path, however long: a cut one would start some other program.
std::optional<std::wstring> ProgramPath(HINSTANCE instance)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(instance, path.data(), DWORD(path.size()));
        if (length == 0)
            return std::nullopt;
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768)
            return std::nullopt;
        path.resize(path.size() * 2);
    }
}

} // namespace

std::wstring AssociationCommand(const std::wstring& programPath)
{
    // Both in quotes: the program folder usually has a blank in it
    // ("Program Files", "JBX Maker"), and without quotes the program would
    // be handed the rest of its own path as the bank's; a bank's path may
    // have blanks too.
    return L"\"" + programPath + L"\" \"%1\"";
}

// The first icon in the program file, the program icon.
std::wstring AssociationIcon(const std::wstring& programPath)
{
    return L"\"" + programPath + L"\",0";
}

void AssociateBankFiles(HINSTANCE instance, Desktop& desktop)
{
    const std::optional<std::wstring> program = ProgramPath(instance);
    if (!program) {
        ShowError(desktop, kNoProgramPathMessage, Owner::MainWindow);
        return;
    }

    // A .jbx without a class to name (only other programs' "open with"
    // lists, say) is left as it is; our verb then waits under "jbxfile".
    std::wstring className = kOwnClass;
    DWORD disposition = 0;
    if (const HKEY extension = CreateKey(kExtensionKey, &disposition)) {
        if (disposition == REG_CREATED_NEW_KEY) {
            SetDefault(extension, kOwnClass);
            RegCloseKey(extension);
            WriteDefault(kOwnClass, WideFromUtf8(kBankTypeDescription));
        } else {
            if (const auto named = ClassNamed(extension))
                className = *named;
            RegCloseKey(extension);
        }
    }

    WriteDefault(className + L"\\shell", kVerb);
    WriteDefault(className + L"\\shell\\" + kVerb, kVerbMenuText);
    WriteDefault(className + L"\\shell\\" + kVerb + L"\\command", AssociationCommand(*program));
    WriteDefault(className + L"\\DefaultIcon", AssociationIcon(*program));
}

} // namespace jbx
