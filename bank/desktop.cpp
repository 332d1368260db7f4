#include "bank/desktop.h"

#include "bank/filesystem.h"

namespace jbx {

std::optional<ChosenFile> RunFileDialog(Desktop& desktop, const FileDialogRequest& request)
{
    auto chosen = desktop.chooseFile(request);
    if (chosen)
        ChangeCurrentDirectory(ParentDirectory(chosen->path));
    return chosen;
}

} // namespace jbx
