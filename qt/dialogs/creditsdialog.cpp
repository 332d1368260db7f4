#include "qt/dialogs/creditsdialog.h"

#include "ui_credits.h"

#include "bank/soundbank.h"
#include "qt/singlebytevalidator.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

namespace {

std::string LineFromBox(const QLineEdit& box)
{
    return ToBankText(box.text());
}

// The box's text with every kind of line break the editor makes as "\n".
// toPlainText() would also turn no-break spaces into blanks, so the raw text
// is used.
std::string DescriptionFromBox(const QPlainTextEdit& box)
{
    QString raw = box.document()->toRawText();
    for (QChar& c : raw)
        if (IsDescriptionLineBreak(c.unicode()))
            c = u'\n';
    return ToBankText(raw);
}

std::u16string_view Utf16(const QString& text)
{
    return {QStringView(text).utf16(), std::size_t(text.size())};
}

} // namespace

CreditsDialog::CreditsDialog(SoundBank& bank, Desktop& desktop, QWidget* owner)
    : QDialog(owner), ui_(std::make_unique<Ui::CreditsDialog>()), editor_(bank, desktop)
{
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // A window of fixed size, like the main window: nothing in it would use more room.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    auto* validator = new SingleByteValidator(this);
    ui_->authorEdit->setValidator(validator);
    ui_->dateEdit->setValidator(validator);
    ui_->authorEdit->setMaxLength(int(kAuthorLimit));
    ui_->dateEdit->setMaxLength(int(kDateFinishedLimit));
    ui_->descriptionEdit->installEventFilter(this);

    connect(ui_->authorEdit, &QLineEdit::textChanged, this, &CreditsDialog::markEdited);
    connect(ui_->dateEdit, &QLineEdit::textChanged, this, &CreditsDialog::markEdited);
    connect(ui_->descriptionEdit, &QPlainTextEdit::textChanged, this, &CreditsDialog::markEdited);
    connect(ui_->descriptionEdit->document(), &QTextDocument::contentsChange, this,
        &CreditsDialog::keepDescriptionValid);

    connect(ui_->okButton, &QPushButton::clicked, this, &CreditsDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CreditsDialog::reject);
    connect(ui_->eraseButton, &QPushButton::clicked, this, &CreditsDialog::eraseCredits);

    place(editor_.openingTexts());

    // Start in the author box with its text selected, so that typing replaces it.
    ui_->authorEdit->setFocus(Qt::OtherFocusReason);
    ui_->authorEdit->selectAll();
}

CreditsDialog::~CreditsDialog() = default;

QLineEdit* CreditsDialog::authorBox() const { return ui_->authorEdit; }
QPlainTextEdit* CreditsDialog::descriptionBox() const { return ui_->descriptionEdit; }
QLineEdit* CreditsDialog::dateBox() const { return ui_->dateEdit; }
QPushButton* CreditsDialog::okButton() const { return ui_->okButton; }
QPushButton* CreditsDialog::eraseButton() const { return ui_->eraseButton; }
QPushButton* CreditsDialog::cancelButton() const { return ui_->cancelButton; }

void CreditsDialog::accept()
{
    editor_.accept(boxes());
    QDialog::accept();
}

// Placed texts are no edit, and a loaded description longer than the box
// would take is shown whole.
void CreditsDialog::place(const CreditsPlacement& texts)
{
    placingTexts_ = true;
    if (texts.author)
        ui_->authorEdit->setText(FromBankText(*texts.author));
    if (texts.description)
        ui_->descriptionEdit->setPlainText(FromBankText(*texts.description));
    if (texts.dateFinished)
        ui_->dateEdit->setText(FromBankText(*texts.dateFinished));
    placingTexts_ = false;
}

CreditsBoxes CreditsDialog::boxes() const
{
    return {LineFromBox(*ui_->authorEdit), DescriptionFromBox(*ui_->descriptionEdit),
        LineFromBox(*ui_->dateEdit)};
}

void CreditsDialog::eraseCredits()
{
    if (const auto texts = editor_.erase())
        place(*texts);
}

void CreditsDialog::markEdited()
{
    if (!placingTexts_)
        editor_.boxChanged();
}

// Every insertion into the description box passes here, whether typed,
// pasted or dropped. The correction joins the insertion's undo step, so an
// undo never brings back more than the box may hold.
void CreditsDialog::keepDescriptionValid(int position, int, int charsAdded)
{
    if (placingTexts_ || charsAdded <= 0)
        return;

    QTextDocument* document = ui_->descriptionEdit->document();
    const int end = std::min(position + charsAdded, document->characterCount() - 1);
    if (end <= position)
        return;

    const QString text = document->toRawText();
    const std::vector<bool> keep =
        KeptOfDescriptionInsertion(Utf16(text), std::size_t(position), std::size_t(end - position));
    if (std::all_of(keep.cbegin(), keep.cend(), [](bool k) { return k; }))
        return;

    QTextCursor cursor(document);
    cursor.joinPreviousEditBlock();
    for (int i = end - 1; i >= position; --i) {
        if (!keep[std::size_t(i - position)]) {
            cursor.setPosition(i);
            cursor.setPosition(i + 1, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
    }
    cursor.endEditBlock();
}

// Tabbing into the description box selects its text, as the single-line
// boxes do, so that a keyboard user can replace it at once.
bool CreditsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->descriptionEdit && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            ui_->descriptionEdit->selectAll();
    }
    return QDialog::eventFilter(watched, event);
}

bool ShowCreditsDialog(SoundBank& bank, Desktop& desktop, QWidget* owner)
{
    CreditsDialog dialog(bank, desktop, owner);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace jbx
