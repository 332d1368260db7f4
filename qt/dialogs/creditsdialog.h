#pragma once

// The Credits dialog: shows the open bank's author, description and date
// finished, stores what the user typed on OK, and erases them on request.

#include "app/credits.h"

#include <QDialog>

#include <memory>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace Ui {
class CreditsDialog;
}

namespace jbx {

class Desktop;
struct SoundBank;

// The widgets of the Credits dialog; its rules are CreditsEditor's. OK
// stores through it, Erase asks and erases through it, Cancel, Esc and the
// close button keep nothing else.
class CreditsDialog : public QDialog {
    Q_OBJECT

public:
    // Places the bank's texts; a box the core gives nothing for keeps its
    // template text ("Anonymous", "None Entered", "??/??/??").
    CreditsDialog(SoundBank& bank, Desktop& desktop, QWidget* owner = nullptr);
    ~CreditsDialog() override;

    // True once any box changed after the dialog last placed its texts.
    bool creditsEdited() const { return editor_.edited(); }

    QLineEdit* authorBox() const;
    QPlainTextEdit* descriptionBox() const;
    QLineEdit* dateBox() const;
    QPushButton* okButton() const;
    QPushButton* eraseButton() const;
    QPushButton* cancelButton() const;

    // OK, and Enter in the author or date box.
    void accept() override;

private:
    void place(const CreditsPlacement& texts);
    CreditsBoxes boxes() const;
    void eraseCredits();
    void markEdited();
    void keepDescriptionValid(int position, int charsRemoved, int charsAdded);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::unique_ptr<Ui::CreditsDialog> ui_;
    CreditsEditor editor_;
    bool placingTexts_ = false;
};

// Runs the Credits dialog modally over owner. On OK creditsConfirmed becomes
// true (and the texts are stored when edited); Erase asks through the desktop
// (Owner::Dialog) and takes effect at once. Returns true when closed with OK.
bool ShowCreditsDialog(SoundBank& bank, Desktop& desktop, QWidget* owner);

} // namespace jbx
