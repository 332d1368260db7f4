#pragma once

// The Credits dialog: shows the open bank's author, description and date
// finished, stores what the user typed on OK, and erases them on request.

#include <QDialog>

#include <cstddef>
#include <memory>
#include <string_view>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace Ui {
class CreditsDialog;
}

namespace jbx {

class Desktop;
struct SoundBank;

// The most characters the description box takes; a line break counts as
// two, because it is stored as CR LF.
inline constexpr std::size_t kTypedDescriptionLimit = 255;

inline constexpr std::string_view kNoCreditsText = "This file didn't have any credits saved in it.";
inline constexpr std::string_view kEraseCreditsQuestion =
    "This action will erase the credits from memory, and they will not be saved "
    "to disk next time you save the file.\n\nContinue?";

// The dialog works directly on the bank: OK stores the boxes (only when one of
// them was edited) and confirms the credits; a confirmed Erase empties them at
// once, so a later Cancel does not bring them back. Cancel, Esc and the close
// button keep nothing else.
class CreditsDialog : public QDialog {
    Q_OBJECT

public:
    // Places the stored texts; an empty one leaves its box with the template
    // text ("Anonymous", "None Entered", "??/??/??").
    CreditsDialog(SoundBank& bank, Desktop& desktop, QWidget* owner = nullptr);
    ~CreditsDialog() override;

    // True once any box changed after the dialog last placed its texts.
    bool creditsEdited() const { return creditsEdited_; }

    QLineEdit* authorBox() const;
    QPlainTextEdit* descriptionBox() const;
    QLineEdit* dateBox() const;
    QPushButton* okButton() const;
    QPushButton* eraseButton() const;
    QPushButton* cancelButton() const;

    // OK, and Enter in the author or date box.
    void accept() override;

private:
    void placeNoCreditsTexts();
    void eraseCredits();
    void markEdited();
    void keepDescriptionValid(int position, int charsRemoved, int charsAdded);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::unique_ptr<Ui::CreditsDialog> ui_;
    SoundBank& bank_;
    Desktop& desktop_;
    bool creditsEdited_ = false;
    bool placingTexts_ = false;
};

// Runs the Credits dialog modally over owner. On OK creditsConfirmed becomes
// true (and the texts are stored when edited); Erase asks through the desktop
// (Owner::Dialog) and takes effect at once. Returns true when closed with OK.
bool ShowCreditsDialog(SoundBank& bank, Desktop& desktop, QWidget* owner);

} // namespace jbx
