#include "qt/qtdesktop.h"

#include "audio/waveimage.h"

#include "qt/dialogs/unknownblockdialog.h"
#include "qt/progresswindow.h"
#include "qt/player/soundoutputloader.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStringList>

namespace jbx {

namespace {

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QMessageBox::Icon IconFor(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Asterisk: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// Qt reads a filter's patterns from the parentheses of its text, separated
// by spaces where the core separates them by ';'. A description that does
// not show its patterns gets them appended.
QString NameFilter(const FileFilter& filter)
{
    const QString description = FromUtf8(filter.description);
    const QString patterns =
        FromUtf8(filter.pattern).split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
    if (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')')))
        return description;
    return description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

// The suffix added to a name typed without one. File names here are case
// sensitive, so when the first filter names the same extension in another
// case ("*.jbx" for "JBX"), the filter's spelling is the one that finds the
// files the dialog lists.
QString DefaultSuffix(const FileDialogRequest& request)
{
    const QString suffix = FromUtf8(request.defaultSuffix);
    if (suffix.isEmpty() || request.filters.empty())
        return suffix;
    const QString pattern = FromUtf8(request.filters.front().pattern);
    const QString listed = pattern.mid(2);
    if (pattern.startsWith(QStringLiteral("*.")) && listed.compare(suffix, Qt::CaseInsensitive) == 0)
        return listed;
    return suffix;
}

} // namespace

QtDesktop::QtDesktop() = default;

QtDesktop::~QtDesktop()
{
    delete progress_;
}

QWidget* QtDesktop::ownerWidget(Owner owner) const
{
    switch (owner) {
    case Owner::None:
        return nullptr;
    case Owner::MainWindow:
        return mainWindow_;
    case Owner::Dialog:
        if (QWidget* dialog = QApplication::activeModalWidget())
            return dialog;
        return mainWindow_;
    }
    return nullptr;
}

MessageAnswer QtDesktop::showMessage(const Message& message)
{
    const bool yesNo = message.buttons == MessageButtons::YesNo;
    QMessageBox box(IconFor(message.icon), FromUtf8(message.caption), FromUtf8(message.text),
        yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, ownerWidget(message.owner));
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    if (!yesNo)
        return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

UnknownBlockChoice QtDesktop::askUnknownBlock(const UnknownBlockDetails& details, Owner owner)
{
    return RunUnknownBlockDialog(details, ownerWidget(owner));
}

std::optional<ChosenFile> QtDesktop::chooseFile(const FileDialogRequest& request)
{
    const bool open = request.kind == FileDialogKind::Open;
    const QString start = request.startDirectory.empty() || request.startDirectory == "."
        ? QDir::currentPath()
        : QFile::decodeName(QByteArray::fromStdString(request.startDirectory));

    // The desktop's own dialog where there is one (the file-chooser portal
    // on GNOME and KDE and in sandboxes), else Qt's, which QFileDialog falls
    // back to by itself. Qt::AA_DontUseNativeDialogs forces Qt's.
    QFileDialog dialog(ownerWidget(request.owner), FromUtf8(request.title), start);
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open && request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    dialog.setDefaultSuffix(DefaultSuffix(request));

    QStringList filters;
    for (const FileFilter& filter : request.filters)
        filters.append(NameFilter(filter));
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) {
        const qsizetype chosen = request.filterIndex <= 0 ? 0 : request.filterIndex - 1;
        dialog.selectNameFilter(filters.at(std::min(chosen, filters.size() - 1)));
    }

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;

    ChosenFile chosen;
    chosen.path = QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
    const qsizetype filter = filters.indexOf(dialog.selectedNameFilter());
    chosen.filterIndex = filter < 0 ? 1 : int(filter) + 1;
    return chosen;
}

void QtDesktop::playSound(SoundData image)
{
    if (!outputLookedFor_) {
        outputLookedFor_ = true;
        output_ = LoadSoundOutput(SoundOutputFolders(QCoreApplication::applicationDirPath()));
    }
    // An image the player must not read still stops what plays.
    if (image && !WaveImageFits(*image))
        image.reset();
    if (output_)
        output_->play(std::move(image));
}

bool QtDesktop::shiftHeld() const
{
    return ShiftKeyDown();
}

void QtDesktop::openProgress()
{
    delete progress_;
    progress_ = new ProgressWindow(mainWindow_);
    progress_->showCentred();
}

void QtDesktop::setProgress(int position)
{
    if (progress_)
        progress_->setPosition(position);
}

ProgressWindow* QtDesktop::progressWindow() const
{
    return progress_;
}

void QtDesktop::closeProgress()
{
    delete progress_;
}

bool ShiftKeyDown()
{
    return QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
}

} // namespace jbx
