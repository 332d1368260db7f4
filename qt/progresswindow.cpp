#include "qt/progresswindow.h"

#include "ui_progress.h"

#include <QScreen>

namespace jbx {

ProgressWindow::ProgressWindow(QWidget* owner)
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint), ui_(std::make_unique<Ui::ProgressWindow>())
{
    ui_->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::showCentred()
{
    adjustSize();
    const QWidget* owner = parentWidget();
    const QPoint centre = owner ? owner->frameGeometry().center() : screen()->availableGeometry().center();
    move(centre - rect().center());
    show();
}

void ProgressWindow::setPosition(int position)
{
    ui_->progressBar->setValue(position);
}

int ProgressWindow::position() const
{
    return ui_->progressBar->value();
}

} // namespace jbx
