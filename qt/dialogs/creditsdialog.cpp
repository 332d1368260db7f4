#include "qt/dialogs/creditsdialog.h"

#include "ui_credits.h"

#include "seam/desktop.h"
#include "bank/soundbank.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QValidator>

#include <algorithm>
#include <string>
#include <vector>

namespace jbx {

namespace {

// The stored credits are single-byte texts; Latin-1 maps every byte to one
// character and back, so a text survives the dialog unchanged.
QString FromStored(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

bool IsLineBreak(QChar c)
{
    return c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

bool IsStorable(QChar c)
{
    return c.unicode() <= 0xFF || IsLineBreak(c);
}

// What a character of the description box takes of its limit.
std::size_t StoredWeight(QChar c)
{
    return IsLineBreak(c) ? 2 : 1;
}

std::size_t StoredLength(const QString& text)
{
    std::size_t length = 0;
    for (const QChar c : text)
        length += StoredWeight(c);
    return length;
}

// The box's text, with every kind of line break the editor makes as CR LF.
// toPlainText() would also turn no-break spaces into blanks, so the raw text
// is used.
std::string DescriptionFromBox(const QPlainTextEdit& box)
{
    const QString raw = box.document()->toRawText();
    std::string text;
    text.reserve(std::size_t(raw.size()) + 16);
    for (const QChar c : raw) {
        if (IsLineBreak(c))
            text += "\r\n";
        else
            text += char(c.toLatin1());
    }
    // A description loaded from a file may be longer than the box would take;
    // like the box's own limit, storing keeps the first characters only, and
    // never half a line break.
    if (text.size() > kTypedDescriptionLimit) {
        text.resize(kTypedDescriptionLimit);
        if (text.back() == '\r')
            text.pop_back();
    }
    return text;
}

QString DescriptionForBox(const std::string& stored)
{
    QString text = FromStored(stored);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string LineFromBox(const QLineEdit& box)
{
    return box.text().toLatin1().toStdString();
}

// Refuses any input holding a character that a single-byte text can't keep.
class Latin1Validator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        return std::all_of(input.cbegin(), input.cend(), [](QChar c) { return c.unicode() <= 0xFF; })
            ? Acceptable
            : Invalid;
    }
};

} // namespace

CreditsDialog::CreditsDialog(SoundBank& bank, Desktop& desktop, QWidget* owner)
    : QDialog(owner), ui_(std::make_unique<Ui::CreditsDialog>()), bank_(bank), desktop_(desktop)
{
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* validator = new Latin1Validator(this);
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

    // An empty stored text leaves the box with its template text.
    placingTexts_ = true;
    const BankCredits& credits = bank_.credits;
    if (!credits.author.empty())
        ui_->authorEdit->setText(FromStored(credits.author));
    if (!credits.description.empty())
        ui_->descriptionEdit->setPlainText(DescriptionForBox(credits.description));
    if (!credits.dateFinished.empty())
        ui_->dateEdit->setText(FromStored(credits.dateFinished));
    placingTexts_ = false;
    if (bank_.creditsConfirmed && credits.empty())
        placeNoCreditsTexts();
    creditsEdited_ = false;

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
    // Untouched boxes are stored too, template texts included: the user saw
    // them and let them stand.
    if (creditsEdited_) {
        bank_.credits.author = LineFromBox(*ui_->authorEdit);
        bank_.credits.description = DescriptionFromBox(*ui_->descriptionEdit);
        bank_.credits.dateFinished = LineFromBox(*ui_->dateEdit);
    }
    bank_.creditsConfirmed = true;
    QDialog::accept();
}

void CreditsDialog::placeNoCreditsTexts()
{
    placingTexts_ = true;
    ui_->authorEdit->clear();
    ui_->descriptionEdit->setPlainText(QString::fromLatin1(kNoCreditsText));
    ui_->dateEdit->clear();
    placingTexts_ = false;
}

void CreditsDialog::eraseCredits()
{
    const Message question{std::string(kEraseCreditsQuestion), "Warning", MessageButtons::YesNo,
        MessageIcon::Exclamation, Owner::Dialog};
    if (desktop_.showMessage(question) != MessageAnswer::Yes)
        return;

    placeNoCreditsTexts();
    bank_.credits = BankCredits{};
    bank_.creditsConfirmed = true;
    creditsEdited_ = false;
}

void CreditsDialog::markEdited()
{
    creditsEdited_ = true;
}

// Every insertion into the description box passes here, whether typed,
// pasted or dropped: characters a single-byte text can't hold are dropped,
// then whatever of the insertion goes past the limit, from its end, as a
// limited edit box does. The correction joins the insertion's undo step, so
// an undo never brings back more than the box may hold.
void CreditsDialog::keepDescriptionValid(int position, int, int charsAdded)
{
    if (placingTexts_ || charsAdded <= 0)
        return;

    QTextDocument* document = ui_->descriptionEdit->document();
    const int end = std::min(position + charsAdded, document->characterCount() - 1);
    if (end <= position)
        return;

    const QString text = document->toRawText();
    std::vector<bool> keep(std::size_t(end - position), true);
    std::size_t length = StoredLength(text);
    for (int i = position; i < end; ++i) {
        if (!IsStorable(text[i])) {
            keep[std::size_t(i - position)] = false;
            length -= StoredWeight(text[i]);
        }
    }
    for (int i = end - 1; i >= position && length > kTypedDescriptionLimit; --i) {
        if (keep[std::size_t(i - position)]) {
            keep[std::size_t(i - position)] = false;
            length -= StoredWeight(text[i]);
        }
    }
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
