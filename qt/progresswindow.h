#pragma once

// The "Saving" window that a save shows over the main window.

#include <QFrame>

#include <memory>

namespace Ui {
class ProgressWindow;
}

namespace jbx {

class ProgressWindow final : public QFrame {
    Q_OBJECT

public:
    // A captionless window that stays above owner; nothing is shown yet.
    explicit ProgressWindow(QWidget* owner);
    ~ProgressWindow() override;

    // Shows the window centred on its owner (on the screen without one) and
    // paints it at once.
    void showCentred();

    // Moves the bar to position (0..100) and paints it at once: while a bank
    // is written no events are processed, so a scheduled paint would come
    // only after the save.
    void setPosition(int position);
    int position() const;

private:
    std::unique_ptr<Ui::ProgressWindow> ui_;
};

} // namespace jbx
