#pragma once
// The editor's main window as the program makes it, with no settings stored.

#include "bank/soundbank.h"
#include "win32/mainwindow.h"
#include "win32/registrystore.h"
#include "win32/win32desktop.h"

#include <gtest/gtest.h>

namespace jbx::testing {

// Holds a key down, or lets it go, as the thread's keyboard state shows it.
inline void SetKey(int key, bool down)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[key] = down ? 0x80 : 0;
    SetKeyboardState(state);
}

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : desktop(instance), session(desktop), window(instance, session, settings, desktop)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
        RegisterMainWindowClass(instance);
        NewBank(session);
    }
    ~MainWindowTest() override
    {
        if (IsWindow(window.handle()))
            DestroyWindow(window.handle());
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        SetKey(VK_SHIFT, false);
        SetKey(VK_MENU, false);
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
    }

    void SetUp() override { ASSERT_TRUE(window.create()); }

    HWND main() const { return window.handle(); }
    HWND item(int id) const { return GetDlgItem(main(), id); }
    void click(int id) { SendMessageW(item(id), BM_CLICK, 0, 0); }

    HINSTANCE instance = GetModuleHandleW(nullptr);
    Win32Desktop desktop;
    RegistrySettingsStore settings;
    Session session;
    Win32MainWindow window;
};

} // namespace jbx::testing
