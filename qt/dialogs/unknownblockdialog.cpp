#include "qt/dialogs/unknownblockdialog.h"

#include "ui_unknownblock.h"

#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <cstdint>
#include <string_view>

namespace jbx {

UnknownBlockDialog::UnknownBlockDialog(const UnknownBlockDetails& details, QWidget* owner)
    : QDialog(owner), ui_(std::make_unique<Ui::UnknownBlockDialog>())
{
    ui_->setupUi(this);
    // A title bar without a close button: only the three choices end it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    ui_->iconLabel->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this).pixmap(iconSize, iconSize));

    // Shown as unsigned decimal numbers, a negative slot number included.
    ui_->soundNumberEdit->setText(QString::number(std::uint32_t(details.soundNumber)));
    ui_->blockIdEdit->setText(QString::number(details.blockType));
    ui_->blockLengthEdit->setText(QString::number(details.blockLength));

    connect(ui_->skipButton, &QPushButton::clicked, this,
        [this] { choose(UnknownBlockChoice::SkipBlock); });
    connect(ui_->stopButton, &QPushButton::clicked, this,
        [this] { choose(UnknownBlockChoice::StopConversion); });
    connect(ui_->forceButton, &QPushButton::clicked, this,
        [this] { choose(UnknownBlockChoice::ForceConversion); });
    connect(ui_->detailsButton, &QPushButton::clicked, this, &UnknownBlockDialog::toggleDetails);

    // The layout fixes the window's size to what it holds, so hiding the
    // strip takes exactly its height off the window (the layout puts no
    // spacing before it) and showing it adds the same back.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    toggleDetails();
}

UnknownBlockDialog::~UnknownBlockDialog() = default;

QPushButton* UnknownBlockDialog::skipButton() const { return ui_->skipButton; }
QPushButton* UnknownBlockDialog::stopButton() const { return ui_->stopButton; }
QPushButton* UnknownBlockDialog::forceButton() const { return ui_->forceButton; }
QPushButton* UnknownBlockDialog::detailsButton() const { return ui_->detailsButton; }
QWidget* UnknownBlockDialog::detailsStrip() const { return ui_->detailsStrip; }
QLineEdit* UnknownBlockDialog::soundNumberField() const { return ui_->soundNumberEdit; }
QLineEdit* UnknownBlockDialog::blockIdField() const { return ui_->blockIdEdit; }
QLineEdit* UnknownBlockDialog::blockLengthField() const { return ui_->blockLengthEdit; }

void UnknownBlockDialog::reject()
{
}

void UnknownBlockDialog::choose(UnknownBlockChoice choice)
{
    choice_ = choice;
    done(int(choice));
}

void UnknownBlockDialog::toggleDetails()
{
    detailsShown_ = !detailsShown_;
    const std::string_view text = detailsShown_ ? kHideDetailsText : kShowDetailsText;
    ui_->detailsButton->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
    ui_->detailsStrip->setVisible(detailsShown_);
    // Resize now rather than on the next pass of the event loop, so the
    // window never shows the old height with the new content.
    layout()->activate();
}

UnknownBlockChoice RunUnknownBlockDialog(const UnknownBlockDetails& details, QWidget* owner)
{
    UnknownBlockDialog dialog(details, owner);
    dialog.exec();
    return dialog.choice();
}

} // namespace jbx
