#include "qt/mainwindow.h"

#include "ui_mainwindow.h"

#include "bank/soundbank.h"
#include "qt/background.h"
#include "qt/singlebytevalidator.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QUrl>

#include <utility>

namespace jbx {

namespace {

std::vector<std::string> LocalFiles(const QMimeData* mime)
{
    std::vector<std::string> paths;
    if (!mime)
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return paths;
}

QKeySequence KeyFor(const Accelerator& entry)
{
    int key = 0;
    if (entry.key >= kVirtualKeyF1 && entry.key <= kVirtualKeyF24)
        key = Qt::Key_F1 + (entry.key - kVirtualKeyF1);
    else if ((entry.key >= '0' && entry.key <= '9') || (entry.key >= 'A' && entry.key <= 'Z'))
        key = entry.key;   // Qt's codes for digits and letters are their ASCII codes
    else
        return {};
    return QKeySequence(entry.alt ? QKeyCombination(Qt::AltModifier, Qt::Key(key))
                                  : QKeyCombination(Qt::Key(key)));
}

} // namespace

MainWindow::MainWindow(Session& session, SettingsStore& settings, MainWindowDialogs dialogs,
    QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::MainWindow>()),
      dialogs_(std::move(dialogs)),
      commands_(session, settings, *this,
          {.showCredits =
                  [this] {
                      if (dialogs_.credits)
                          dialogs_.credits(this);
                  },
              .showOptions =
                  [this] {
                      if (dialogs_.options)
                          dialogs_.options(this);
                  },
              .close = [this] { close(); },
              .pressReplace =
                  [this] {
                      if (QPushButton* replace = button(command::kReplace))
                          replace->click();
                  },
              .runAside = dialogs_.runAside ? dialogs_.runAside : RunAside(RunInBackground),
              .editSound = dialogs_.editSound
                  ? std::function<bool(SoundEditor&)>(
                        [this](SoundEditor& editor) { return dialogs_.editSound(editor, this); })
                  : nullptr})
{
    ui_->setupUi(this);
    // A fixed-size window with a caption, a window menu, minimise and close
    // and nothing to maximise it with.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    ui_->nameBox->setMaxLength(int(kSlotNameLimit));
    ui_->nameBox->setValidator(new SingleByteValidator(ui_->nameBox));
    setAcceptDrops(true);

    const std::pair<QPushButton*, int> commandButtons[] = {
        {ui_->sound1, command::kSound1 + 0},
        {ui_->sound2, command::kSound1 + 1},
        {ui_->sound3, command::kSound1 + 2},
        {ui_->sound4, command::kSound1 + 3},
        {ui_->sound5, command::kSound1 + 4},
        {ui_->sound6, command::kSound1 + 5},
        {ui_->sound7, command::kSound1 + 6},
        {ui_->sound8, command::kSound1 + 7},
        {ui_->sound9, command::kSound1 + 8},
        {ui_->sound10, command::kSound10},
        {ui_->openButton, command::kOpen},
        {ui_->saveButton, command::kSave},
        {ui_->newButton, command::kNew},
        {ui_->optionsButton, command::kOptions},
        {ui_->quitButton, command::kQuit},
        {ui_->creditsButton, command::kCredits},
        {ui_->extractButton, command::kExtract},
        {ui_->replaceButton, command::kReplace},
    };
    for (const auto& [push, id] : commandButtons) {
        buttons_[id] = push;
        connect(push, &QPushButton::clicked, this, [this, id] { commands_.run(id, Notification::Clicked); });
    }
    for (int id = command::kSound1; id <= command::kSound10; ++id) {
        QPushButton* sound = buttons_[id];
        sound->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(sound, &QWidget::customContextMenuRequested, this,
            [this, sound](const QPoint& pos) { showSoundMenu(sound, pos); });
        sound->installEventFilter(this);
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::start()
{
    commands_.startWindow();
    adjustSize();
    move(screen()->availableGeometry().center() - rect().center());
    show();
}

void MainWindow::installAccelerators(std::span<const Accelerator> table)
{
    for (const Accelerator& entry : table) {
        const QKeySequence key = KeyFor(entry);
        if (key.isEmpty())
            continue;
        auto* shortcut = new QShortcut(key, this);
        const int id = entry.command;
        connect(shortcut, &QShortcut::activated, this, [this, id] { commands_.run(id, Notification::Accelerator); });
    }
}

QPushButton* MainWindow::button(int id) const
{
    const auto found = buttons_.find(id);
    return found == buttons_.end() ? nullptr : found->second;
}

void MainWindow::showSoundMenu(QPushButton* sound, const QPoint& pos)
{
    // Its items act on the current slot, as the buttons below do; what
    // needs a sound is off when Extract is.
    QMenu menu(this);
    const bool slotHoldsSound = ui_->extractButton->isEnabled();
    for (const SoundMenuItem& item : kSoundMenu) {
        QAction* action = menu.addAction(QString::fromUtf8(item.text.data(), qsizetype(item.text.size())));
        action->setData(item.command);
        action->setEnabled(item.command == command::kReplace || slotHoldsSound);
    }
    if (const QAction* chosen = menu.exec(sound->mapToGlobal(pos)))
        commands_.run(chosen->data().toInt(), Notification::Clicked);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (int id = command::kSound1; id <= command::kSound10; ++id) {
            if (watched != button(id))
                continue;
            // The first click has played the sound; the second is no click.
            // The window opens once the button has had its release, which
            // would otherwise wait behind the modal window.
            QMetaObject::invokeMethod(
                this, [this, id] { commands_.run(id, Notification::DoubleClicked); }, Qt::QueuedConnection);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromUtf8(caption.data(), qsizetype(caption.size())));
}

std::string MainWindow::nameText() const
{
    return ToBankText(ui_->nameBox->text());
}

void MainWindow::setNameText(const std::string& text)
{
    ui_->nameBox->setText(FromBankText(text));
}

void MainWindow::setSizeText(const std::string& text)
{
    ui_->sizeText->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

void MainWindow::setExtractEnabled(bool enabled)
{
    ui_->extractButton->setEnabled(enabled);
}

void MainWindow::focusSoundButton(int slotNumber)
{
    if (QPushButton* sound = button(command::kSound1 + slotNumber - 1))
        sound->setFocus(Qt::OtherFocusReason);
}

bool MainWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowBlocked)
        holdControls(true);
    else if (event->type() == QEvent::WindowUnblocked)
        holdControls(false);
    return QWidget::event(event);
}

void MainWindow::holdControls(bool held)
{
    if (held)
        focusBeforeHold_ = focusWidget();
    // The group boxes, never disabled by anything else, carry it to every
    // control, and each control's own state (Extract off for an empty
    // slot) comes back with them. Windows owned by this one are left alone.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow())
            child->setEnabled(!held);
    }
    if (QWidget* focused = held ? nullptr : std::exchange(focusBeforeHold_, nullptr).data())
        focused->setFocus(Qt::OtherFocusReason);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalFiles(event->mimeData()).empty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths = LocalFiles(event->mimeData());
    if (paths.empty())
        return;
    event->acceptProposedAction();
    // Loaded once the drop is over, so that the drag source is not kept
    // waiting behind a message box of the loader.
    QMetaObject::invokeMethod(
        this, [this, paths = std::move(paths)] { commands_.dropFiles(paths); }, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    setAcceptDrops(false);
    event->accept();
}

} // namespace jbx
