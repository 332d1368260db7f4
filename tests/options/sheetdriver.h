#pragma once

// Drives the modal Options sheet from inside its own event loop, with real
// mouse clicks and key presses on Qt's offscreen platform.

#include "bank/desktop.h"
#include "settings/settingsstore.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>
#include <string>

class QPushButton;

namespace jbx::testing {

// Thrown by SheetDriver::widget when the sheet has no such widget; the run
// reports it as a failure and cancels the sheet.
class MissingWidget : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SheetDriver {
public:
    explicit SheetDriver(QDialog& sheet) : sheet_(sheet) {}

    QDialog& sheet() const { return sheet_; }

    // The named widget, or null while it does not exist (a page not yet
    // shown).
    template <class T>
    T* find(const char* name) const
    {
        return sheet_.findChild<T*>(QString::fromLatin1(name));
    }

    template <class T>
    T& widget(const char* name) const
    {
        T* found = find<T>(name);
        if (found == nullptr)
            throw MissingWidget(std::string("the sheet has no widget ") + name);
        return *found;
    }

    QStringList tabTitles() const;
    QString currentTab() const;
    // Clicks the tab with this title.
    void selectTab(const QString& title);

    // A left click in the middle of the named widget; a radio button is
    // clicked on its text.
    void click(const char* name, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void click(QWidget& target, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // The press-release-press-release of a quick double-click, with the
    // double-click event the window system sends for the second press.
    void doubleClick(const char* name);

    QPushButton& button(QDialogButtonBox::StandardButton which) const;
    void pressOk();
    void pressCancel();
    void pressEscape();
    // The window's close button, as the window system reports it.
    void closeWindow();

private:
    QDialog& sheet_;
};

// Runs ShowOptionsSheet over owner (may be null) and calls drive once the
// sheet is on screen; drive must close it. A sheet left open, or a missing
// widget, fails the test and cancels the sheet. Returns ShowOptionsSheet's
// result.
bool RunOptionsSheet(QWidget* owner, SettingsStore& settings, Desktop& desktop,
    const std::function<void()>& associate, const std::function<void(SheetDriver&)>& drive);

} // namespace jbx::testing
