#include "win32/registryassociation.h"

#include "seam/desktop.h"
#include "settings/association.h"
#include "settings/shellassociation.h"
#include "win32/registrystore.h"
#include "win32/systemlibrary.h"
#include "win32/widetext.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace jbx {

namespace {

std::wstring ClassesPath(const std::wstring& key)
{
    return std::wstring(kClassesKeyPath) + L"\\" + key;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY handle = nullptr;
    const bool opened = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS;
    const KeyHandle key(opened ? handle : nullptr);
    return key != nullptr;
}

// Texts are stored with their terminating NUL counted in the size.
void SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
        DWORD((text.size() + 1) * sizeof(wchar_t)));
}

void SetNumber(HKEY key, const wchar_t* name, DWORD number)
{
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

// Each key is closed right after its one value is set.
void WriteDefault(const std::wstring& key, const std::wstring& text)
{
    if (const KeyHandle handle = CreateKey(HKEY_CURRENT_USER, ClassesPath(key)))
        SetText(handle.get(), nullptr, text);
}

// A text value (the key's default when `name` is null); nothing when the
// key or the value is missing or the value is not text.
std::optional<std::wstring> ReadText(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
{
    constexpr DWORD kTexts = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    DWORD bytes = 0;
    if (RegGetValueW(root, path.c_str(), name, kTexts, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    // Room for a terminator the stored text may lack.
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = DWORD(text.size() * sizeof(wchar_t));
    if (RegGetValueW(root, path.c_str(), name, kTexts, nullptr, text.data(), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text.data());
}

std::wstring RecordKeyPath()
{
    return SettingsKeyPath() + L"\\" + WideFromUtf8(kShellRecordSubkey);
}

std::optional<std::string> ReadUtf8(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
{
    const std::optional<std::wstring> text = ReadText(root, path, name);
    return text ? std::optional<std::string>(Utf8FromWide(*text)) : std::nullopt;
}

// The class .jbx names as the shell sees it: the merged classes take a
// value from the user's key first and the machine's after it. Wine's
// HKEY_CLASSES_ROOT shows only the machine's, so both are read here.
std::optional<std::string> OwnerOfExtension()
{
    const std::wstring extension = ClassesPath(WideFromUtf8(kShellExtensionKey));
    std::optional<std::string> owner = ReadUtf8(HKEY_CURRENT_USER, extension);
    if (!owner)
        owner = ReadUtf8(HKEY_LOCAL_MACHINE, extension);
    return owner;
}

void ReplaceRecord(const std::vector<ShellRecordValue>& values)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, RecordKeyPath().c_str());
    const KeyHandle key = CreateKey(HKEY_CURRENT_USER, RecordKeyPath());
    if (!key)
        return;
    for (const ShellRecordValue& value : values) {
        const std::wstring name = WideFromUtf8(value.name);
        if (const auto* text = std::get_if<std::string>(&value.value))
            SetText(key.get(), name.c_str(), WideFromUtf8(*text));
        else
            SetNumber(key.get(), name.c_str(), std::get<std::uint32_t>(value.value));
    }
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

void NotifyShellOfAssociations(Desktop& desktop)
{
    if (const auto notify = SystemFunction(kSHChangeNotify, desktop, Owner::MainWindow))
        notify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void AssociateBankFiles(HINSTANCE instance, Desktop& desktop, void (*tellShell)(Desktop&))
{
    const std::optional<std::wstring> program = ProgramPath(instance);
    if (!program) {
        ShowError(desktop, kNoProgramPathMessage, Owner::MainWindow);
        return;
    }

    ShellClassesFound found;
    found.extensionOwner = OwnerOfExtension();
    const std::wstring className = WideFromUtf8(ShellAssociationClass(found.extensionOwner));
    found.classExists = KeyExists(HKEY_CURRENT_USER, ClassesPath(className));
    found.verb = ReadUtf8(HKEY_CURRENT_USER, ClassesPath(className + L"\\shell"));
    found.icon = ReadUtf8(HKEY_CURRENT_USER, ClassesPath(className + L"\\DefaultIcon"));
    found.recordedClass = ReadUtf8(HKEY_CURRENT_USER, RecordKeyPath(), L"Class");

    const ShellAssociationPlan plan = PlanShellAssociation(found, Utf8FromWide(*program));
    if (plan.replaceRecord)
        ReplaceRecord(plan.record);
    for (const ShellWrite& write : plan.writes)
        WriteDefault(WideFromUtf8(write.key), WideFromUtf8(write.text));

    if (tellShell)
        tellShell(desktop);
}

} // namespace jbx
