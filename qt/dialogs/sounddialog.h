#pragma once

// The Sound window: one slot's sound drawn, described and shaped. Its rules
// and every text it shows are the SoundEditor's; the dialog lays them out,
// forwards each button, key and drag to it and shows the result at once.

#include "app/soundeditor.h"

#include <QDialog>

#include <memory>

class QLineEdit;
class QPushButton;

namespace Ui {
class SoundDialog;
}

namespace jbx {

class WaveformView;

class SoundDialog final : public QDialog {
    Q_OBJECT

public:
    SoundDialog(SoundEditor& editor, QWidget* owner = nullptr);
    ~SoundDialog() override;

    WaveformView* waveform() const;
    QPushButton* playButton() const;
    // The button that runs command.
    QPushButton* commandButton(SoundCommand command) const;
    QLineEdit* silenceField() const;
    QLineEdit* levelField() const;
    QPushButton* okButton() const;
    QPushButton* cancelButton() const;

private:
    void runCommand(SoundCommand command);
    // Everything that follows from the sound: traces, format line,
    // findings, size, description and which commands may run.
    void showSound();
    void enableCommands();

    std::unique_ptr<Ui::SoundDialog> ui_;
    SoundEditor& editor_;
};

// Runs the Sound window over editor, modal to owner; true when it was closed
// with OK. The slot is the caller's to change (SoundEditor::keep()).
bool ShowSoundDialog(SoundEditor& editor, QWidget* owner);

} // namespace jbx
