#pragma once

// The "Warning" dialog that asks what to do with a voice block of unknown
// type: skip it, stop the conversion, or take its bytes as sound.

#include "seam/desktop.h"

#include <QDialog>

#include <memory>

class QLineEdit;
class QPushButton;
class QWidget;

namespace Ui {
class UnknownBlockDialog;
}

namespace jbx {

// Only its three choice buttons end the dialog: it has no default button,
// and Esc, Enter and the window's close request do nothing. It opens with the
// details strip hidden; "Details >>" shows it and grows the window by the
// strip's height, "Details <<" hides it and shrinks the window by as much,
// the top-left corner staying put.
class UnknownBlockDialog : public QDialog {
    Q_OBJECT

public:
    explicit UnknownBlockDialog(const UnknownBlockDetails& details, QWidget* owner = nullptr);
    ~UnknownBlockDialog() override;

    // The button that ended the dialog; Stop Conversion until one did, which
    // keeps the sound gathered so far if the dialog is ever ended otherwise.
    UnknownBlockChoice choice() const { return choice_; }

    bool detailsShown() const { return detailsShown_; }

    QPushButton* skipButton() const;
    QPushButton* stopButton() const;
    QPushButton* forceButton() const;
    QPushButton* detailsButton() const;
    QWidget* detailsStrip() const;
    QLineEdit* soundNumberField() const;
    QLineEdit* blockIdField() const;
    QLineEdit* blockLengthField() const;

    // Esc and the window's close request both come here, and end nothing.
    void reject() override;

private:
    void choose(UnknownBlockChoice choice);
    void toggleDetails();

    std::unique_ptr<Ui::UnknownBlockDialog> ui_;
    UnknownBlockChoice choice_ = UnknownBlockChoice::StopConversion;
    bool detailsShown_ = true;
};

// Runs the "Warning" dialog for a voice block of unknown type over owner
// (nullptr: no owner) and returns the choice.
UnknownBlockChoice RunUnknownBlockDialog(const UnknownBlockDetails& details, QWidget* owner);

} // namespace jbx
