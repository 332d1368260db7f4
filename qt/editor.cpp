#include "qt/editor.h"

#include "qt/dialogs/creditsdialog.h"
#include "qt/mainwindow.h"
#include "qt/programicon.h"
#include "qt/settings/optionssheet.h"
#include "qt/settings/qdesktopassociation.h"

#include <QApplication>
#include <QFile>

// The resources live in a static library, whose initialiser no one would
// otherwise reference; it must be named outside any namespace.
static void InitEditorResources()
{
    Q_INIT_RESOURCE(jbxmaker);
}

namespace jbx {

Editor::Editor(EditorOptions options)
    : options_(std::move(options)), session_(desktop_)
{
    InitEditorResources();
    InitOptionsResources();
    QApplication::setWindowIcon(ProgramIcon());
}

Editor::~Editor() = default;

void Editor::start()
{
    PrepareBank(session_, options_.commandLine);

    MainWindowDialogs dialogs;
    dialogs.credits = [this](QWidget* owner) { ShowCreditsDialog(session_.bank, desktop_, owner); };
    dialogs.options = [this](QWidget* owner) {
        ShowOptionsSheet(owner, settings_, desktop_,
            [this] { AssociateBankFilesWithThisProgram(desktop_); });
    };
    window_ = std::make_unique<MainWindow>(session_, settings_, std::move(dialogs));
    desktop_.setMainWindow(window_.get());
    window_->start();

    if (const auto table = LoadAcceleratorTable(options_.acceleratorTable)) {
        window_->installAccelerators(*table);
    } else {
        ShowError(desktop_, kAcceleratorLoadError, Owner::None);
        // The box had no owner to hand the keyboard back to.
        window_->activateWindow();
    }
}

std::optional<std::vector<Accelerator>> LoadAcceleratorTable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.readAll();
    return ParseAcceleratorTable(std::string_view(text.constData(), std::size_t(text.size())));
}

} // namespace jbx
