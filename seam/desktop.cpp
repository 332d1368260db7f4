#include "seam/desktop.h"

#include "seam/filesystem.h"

namespace jbx {

std::optional<ChosenFile> RunFileDialog(Desktop& desktop, const FileDialogRequest& request)
{
    auto chosen = desktop.chooseFile(request);
    if (chosen)
        ChangeCurrentDirectory(ParentDirectory(chosen->path));
    return chosen;
}

} // namespace jbx
