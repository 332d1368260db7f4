#include "win32/accessiblenames.h"

#include "win32/systemlibrary.h"

// The GUIDs of the annotation service and the name property, defined here
// rather than taken from oleacc's import library, which would load the DLL
// at every start.
#include <initguid.h>
#include <oleacc.h>

#include <algorithm>

namespace jbx {

AccessibleNames::~AccessibleNames()
{
    clear();
    if (services_)
        services_->Release();
    if (comStarted_)
        FindSystemFunction(kCoUninitialize)();
}

bool AccessibleNames::start()
{
    if (tried_)
        return services_ != nullptr;
    tried_ = true;
    const auto initialize = FindSystemFunction(kCoInitializeEx);
    const auto create = FindSystemFunction(kCoCreateInstance);
    if (!initialize || !create || !FindSystemFunction(kCoUninitialize))
        return false;
    // A thread where COM runs already in the other model still has it.
    const HRESULT started = initialize(nullptr, COINIT_APARTMENTTHREADED);
    comStarted_ = SUCCEEDED(started);
    void* services = nullptr;
    if (SUCCEEDED(create(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices, &services)))
        services_ = static_cast<IAccPropServices*>(services);
    return services_ != nullptr;
}

bool AccessibleNames::set(HWND control, REFGUID property, const std::wstring& text)
{
    if (!start() || FAILED(services_->SetHwndPropStr(control, DWORD(OBJID_CLIENT), CHILDID_SELF, property, text.c_str())))
        return false;
    if (std::find(named_.begin(), named_.end(), control) == named_.end())
        named_.push_back(control);
    return true;
}

bool AccessibleNames::give(HWND control, const std::wstring& name)
{
    return set(control, PROPID_ACC_NAME, name);
}

bool AccessibleNames::describe(HWND control, const std::wstring& description)
{
    return set(control, PROPID_ACC_DESCRIPTION, description);
}

void AccessibleNames::clear()
{
    const MSAAPROPID properties[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION};
    for (HWND control : named_)
        services_->ClearHwndProps(control, DWORD(OBJID_CLIENT), CHILDID_SELF, properties, 2);
    named_.clear();
}

} // namespace jbx
