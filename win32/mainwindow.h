#pragma once
// The main window: the modeless dialog of template 100, class "JBXMaker".
// Every command goes to the core's MainCommands; this file turns window
// messages into those calls and gives the core the window's fields.

#include "app/maincommands.h"
#include "app/mainwindowview.h"
#include "seam/desktop.h"

#include <windows.h>
#include <shellapi.h>

namespace jbx {

class SettingsStore;
class Win32Desktop;
struct Session;

class Win32MainWindow : public MainWindowView {
public:
    Win32MainWindow(HINSTANCE instance, Session& session, SettingsStore& settings, Win32Desktop& desktop);

    // CreateDialogParam of template 100, without owner. Null when it failed.
    HWND create();
    HWND handle() const { return window_; }

    void setCaption(const std::string& caption) override;
    std::string nameText() const override;
    void setNameText(const std::string& text) override;
    void setSizeText(const std::string& text) override;
    void setExtractEnabled(bool enabled) override;
    void focusSoundButton(int slotNumber) override;

private:
    static INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static BOOL OnInitDialog(HWND window, HWND focus, LPARAM self);
    static void OnCommand(HWND window, int id, HWND control, UINT code);
    // A sound button's context menu, by mouse or key: kSoundMenu.
    static void OnContextMenu(HWND window, HWND control, UINT x, UINT y);
    static void OnDropFiles(HWND window, HDROP drop);
    static void OnClose(HWND window);
    static void OnDestroy(HWND window);

    // The menu's chosen command, or 0.
    int trackSoundMenu(POINT at);

    HINSTANCE instance_;
    Session& session_;
    SettingsStore& settings_;
    Win32Desktop& desktop_;
    MainCommands commands_;
    HWND window_ = nullptr;
};

// The main window class, "JBXMaker", with icon 200. Registered once before
// the window is created; the result is not examined.
void RegisterMainWindowClass(HINSTANCE instance);

} // namespace jbx
