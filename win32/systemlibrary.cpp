#include "win32/systemlibrary.h"

#include "win32/widetext.h"

#include <map>
#include <mutex>
#include <string>

namespace jbx {

FARPROC FindSystemFunction(const wchar_t* library, const char* name)
{
    // Each DLL is loaded once and never freed: PlaySound's player goes on
    // reading after the call has returned. Only what loaded is kept, so a
    // DLL that was missing is looked for again next time.
    static std::mutex lock;
    static std::map<std::wstring, HMODULE, std::less<>> loaded;
    const std::lock_guard<std::mutex> held(lock);
    auto found = loaded.find(std::wstring_view(library));
    if (found == loaded.end()) {
        const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module)
            return nullptr;
        found = loaded.emplace(library, module).first;
    }
    return GetProcAddress(found->second, name);
}

std::string MissingFunctionMessage(const wchar_t* library, const char* name)
{
    return "Cannot load " + std::string(name) + " from " + Utf8FromWide(library);
}

} // namespace jbx
