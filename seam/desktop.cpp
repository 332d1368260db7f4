#include "seam/desktop.h"

#include "seam/filesystem.h"

namespace jbx {

void ShowError(Desktop& desktop, std::string_view text, Owner owner)
{
    desktop.showMessage(
        {std::string(text), std::string(kErrorCaption), MessageButtons::Ok, MessageIcon::Stop, owner});
}

bool AskYesNo(Desktop& desktop, std::string_view text, MessageIcon icon, Owner owner)
{
    return desktop.showMessage(
               {std::string(text), std::string(kWarningCaption), MessageButtons::YesNo, icon, owner})
        == MessageAnswer::Yes;
}

std::optional<ChosenFile> RunFileDialog(Desktop& desktop, const FileDialogRequest& request)
{
    auto chosen = desktop.chooseFile(request);
    if (chosen)
        ChangeCurrentDirectory(ParentDirectory(chosen->path));
    return chosen;
}

} // namespace jbx
