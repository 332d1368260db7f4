#pragma once
// Names that screen readers say for controls which Windows' own rule
// misnames. That rule names a control after the nearest static text before
// it in the tab order, so a row of headings above a row of fields names
// every field after the last heading. Windows' accessibility runtime takes
// a name given to the window instead (dynamic annotation), and a
// description for a control that draws what no text of its says; it is
// reached through COM, which is loaded when a window first needs it.

#include <windows.h>

#include <string>
#include <vector>

struct IAccPropServices;

namespace jbx {

class AccessibleNames {
public:
    AccessibleNames() = default;
    ~AccessibleNames();
    AccessibleNames(const AccessibleNames&) = delete;
    AccessibleNames& operator=(const AccessibleNames&) = delete;

    // Gives `control` its own name; false when the service is missing, in
    // which case the control keeps the name Windows' rule gives it.
    bool give(HWND control, const std::wstring& name);
    // Gives `control` a description, said after its name and role; given
    // again, it replaces the one before.
    bool describe(HWND control, const std::wstring& description);
    // Takes the names and descriptions back, which the runtime would
    // otherwise keep after the windows are gone. For the dialog's
    // WM_DESTROY.
    void clear();

private:
    bool start();
    bool set(HWND control, REFGUID property, const std::wstring& text);

    IAccPropServices* services_ = nullptr;
    bool comStarted_ = false;
    bool tried_ = false;
    std::vector<HWND> named_;
};

} // namespace jbx
