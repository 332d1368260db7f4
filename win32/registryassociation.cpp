#include "win32/registryassociation.h"

#include "seam/desktop.h"
#include "settings/association.h"
#include "settings/mimeglobs.h"
#include "win32/registrystore.h"
#include "win32/widetext.h"

#include <shlobj.h>

#include <optional>
#include <vector>

namespace jbx {

namespace {

constexpr wchar_t kExtensionKey[] = L".jbx";
constexpr wchar_t kOwnClass[] = L"jbxfile";
constexpr wchar_t kVerb[] = L"jbx";
constexpr wchar_t kVerbMenuText[] = L"&JBXMaker";
constexpr wchar_t kRecordSubkey[] = L"Association";

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

// The class .jbx names as the shell sees it: the merged classes take a
// value from the user's key first and the machine's after it. Wine's
// HKEY_CLASSES_ROOT shows only the machine's, so both are read here.
std::optional<std::wstring> OwnerOfExtension()
{
    std::optional<std::wstring> owner = ReadText(HKEY_CURRENT_USER, ClassesPath(kExtensionKey));
    if (!owner)
        owner = ReadText(HKEY_LOCAL_MACHINE, ClassesPath(kExtensionKey));
    if (!owner || owner->empty())
        return std::nullopt;
    return owner;
}

struct AssociationRecord {
    std::wstring className;
    bool createdExtension = false;
    bool createdClass = false;
    std::optional<std::wstring> previousVerb;
    std::optional<std::wstring> previousIcon;
};

std::wstring RecordKeyPath()
{
    return SettingsKeyPath() + L"\\" + kRecordSubkey;
}

// Kept once made for the same class, so what we wrote ourselves never
// passes for what was there before; a record for a class that no longer
// owns .jbx is replaced whole.
void WriteRecord(const AssociationRecord& record)
{
    if (ReadText(HKEY_CURRENT_USER, RecordKeyPath(), L"Class") == record.className)
        return;
    RegDeleteTreeW(HKEY_CURRENT_USER, RecordKeyPath().c_str());
    const KeyHandle key = CreateKey(HKEY_CURRENT_USER, RecordKeyPath());
    if (!key)
        return;
    SetText(key.get(), L"Class", record.className);
    SetNumber(key.get(), L"CreatedExtension", record.createdExtension ? 1 : 0);
    SetNumber(key.get(), L"CreatedClass", record.createdClass ? 1 : 0);
    if (record.previousVerb)
        SetText(key.get(), L"PreviousVerb", *record.previousVerb);
    if (record.previousIcon)
        SetText(key.get(), L"PreviousIcon", *record.previousIcon);
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

void NotifyShellOfAssociations()
{
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void AssociateBankFiles(HINSTANCE instance, Desktop& desktop, void (*tellShell)())
{
    const std::optional<std::wstring> program = ProgramPath(instance);
    if (!program) {
        ShowError(desktop, kNoProgramPathMessage, Owner::MainWindow);
        return;
    }

    // A .jbx naming no class (holding only "open with" lists, say) is
    // linked to ours, else double-clicking a bank would find no verb.
    const std::optional<std::wstring> owner = OwnerOfExtension();
    AssociationRecord record;
    record.className = owner ? *owner : kOwnClass;
    record.createdExtension = !owner;
    const std::wstring& className = record.className;
    record.createdClass = !KeyExists(HKEY_CURRENT_USER, ClassesPath(className));
    record.previousVerb = ReadText(HKEY_CURRENT_USER, ClassesPath(className + L"\\shell"));
    // Our verb made the default by a version that kept no record.
    if (record.previousVerb == kVerb)
        record.previousVerb.reset();
    record.previousIcon = ReadText(HKEY_CURRENT_USER, ClassesPath(className + L"\\DefaultIcon"));
    WriteRecord(record);

    if (record.createdExtension)
        WriteDefault(kExtensionKey, kOwnClass);
    // A description the user gave our class is theirs; a new class gets ours.
    if (record.createdClass && className == kOwnClass)
        WriteDefault(kOwnClass, WideFromUtf8(kBankTypeDescription));
    WriteDefault(className + L"\\shell", kVerb);
    WriteDefault(className + L"\\shell\\" + kVerb, kVerbMenuText);
    WriteDefault(className + L"\\shell\\" + kVerb + L"\\command", AssociationCommand(*program));
    WriteDefault(className + L"\\DefaultIcon", AssociationIcon(*program));

    if (tellShell)
        tellShell();
}

} // namespace jbx
