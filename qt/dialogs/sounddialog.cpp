#include "qt/dialogs/sounddialog.h"

#include "ui_soundwindow.h"

#include "qt/waveformview.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

#include <string>
#include <string_view>

namespace jbx {

namespace {

constexpr SoundCommand kCommands[] = {SoundCommand::TrimToSelection, SoundCommand::TrimSilence,
    SoundCommand::Normalize, SoundCommand::MakeMono, SoundCommand::MakeEightBit, SoundCommand::Undo};

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

SoundDialog::SoundDialog(SoundEditor& editor, QWidget* owner)
    : QDialog(owner), ui_(std::make_unique<Ui::SoundDialog>()), editor_(editor)
{
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(FromUtf8(editor_.caption()));

    ui_->silenceField->setText(FromUtf8(kSilenceFieldDefault));
    ui_->levelField->setText(FromUtf8(kLevelFieldDefault));
    ui_->formatLabel->setTextFormat(Qt::PlainText);
    ui_->findingsLabel->setTextFormat(Qt::PlainText);

    connect(ui_->buttonBox, &QDialogButtonBox::accepted, this, &SoundDialog::accept);
    connect(ui_->buttonBox, &QDialogButtonBox::rejected, this, &SoundDialog::reject);
    connect(ui_->playButton, &QPushButton::clicked, this, [this] { editor_.play(); });
    for (const SoundCommand command : kCommands)
        connect(commandButton(command), &QPushButton::clicked, this, [this, command] { runCommand(command); });
    // Trim to selection waits for a selection.
    connect(ui_->waveform, &WaveformView::selectionChanged, this, &SoundDialog::enableCommands);

    ui_->waveform->setEditor(&editor_);
    showSound();
    ui_->waveform->setFocus(Qt::OtherFocusReason);
}

SoundDialog::~SoundDialog() = default;

WaveformView* SoundDialog::waveform() const { return ui_->waveform; }
QPushButton* SoundDialog::playButton() const { return ui_->playButton; }
QLineEdit* SoundDialog::silenceField() const { return ui_->silenceField; }
QLineEdit* SoundDialog::levelField() const { return ui_->levelField; }
QPushButton* SoundDialog::okButton() const { return ui_->buttonBox->button(QDialogButtonBox::Ok); }
QPushButton* SoundDialog::cancelButton() const { return ui_->buttonBox->button(QDialogButtonBox::Cancel); }

QPushButton* SoundDialog::commandButton(SoundCommand command) const
{
    switch (command) {
    case SoundCommand::TrimToSelection: return ui_->trimSelectionButton;
    case SoundCommand::TrimSilence: return ui_->trimSilenceButton;
    case SoundCommand::Normalize: return ui_->normalizeButton;
    case SoundCommand::MakeMono: return ui_->monoButton;
    case SoundCommand::MakeEightBit: return ui_->eightBitButton;
    case SoundCommand::Undo: return ui_->undoButton;
    }
    return nullptr;
}

void SoundDialog::runCommand(SoundCommand command)
{
    std::string field;
    if (command == SoundCommand::TrimSilence)
        field = ui_->silenceField->text().toStdString();
    else if (command == SoundCommand::Normalize)
        field = ui_->levelField->text().toStdString();
    // A refused field has been told through the desktop; the sound is as it was.
    if (editor_.run(command, field))
        showSound();
}

void SoundDialog::showSound()
{
    ui_->waveform->soundChanged();
    ui_->formatLabel->setText(FromUtf8(editor_.formatText()));
    QStringList findings;
    for (const std::string& line : editor_.findings())
        findings << FromUtf8(line);
    ui_->findingsLabel->setText(findings.join(u'\n'));
    ui_->sizeText->setText(FromUtf8(editor_.sizeText()));
    enableCommands();
}

void SoundDialog::enableCommands()
{
    for (const SoundCommand command : kCommands)
        commandButton(command)->setEnabled(editor_.canRun(command));
    ui_->silenceField->setEnabled(editor_.canRun(SoundCommand::TrimSilence));
    ui_->levelField->setEnabled(editor_.canRun(SoundCommand::Normalize));
}

bool ShowSoundDialog(SoundEditor& editor, QWidget* owner)
{
    SoundDialog dialog(editor, owner);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace jbx
