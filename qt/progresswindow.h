#pragma once

// The "Saving" window that a save shows over the main window while the bank
// is written off the GUI thread.

#include <QFrame>

#include <memory>

namespace Ui {
class ProgressWindow;
}

namespace jbx {

class ProgressWindow final : public QFrame {
    Q_OBJECT

public:
    // A captionless window that stays above owner and, like a message box,
    // keeps every other window of the program from the mouse and keys while
    // it is up; nothing is shown yet.
    explicit ProgressWindow(QWidget* owner);
    ~ProgressWindow() override;

    // Shows the window centred on its owner (on the screen without one).
    void showCentred();

    // Moves the bar to position (0..100).
    void setPosition(int position);
    int position() const;

private:
    std::unique_ptr<Ui::ProgressWindow> ui_;
};

} // namespace jbx
