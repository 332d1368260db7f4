#include "win32/creditsdialog.h"

#include "app/credits.h"
#include "bank/soundbank.h"
#include "win32/controls.h"
#include "win32/resource.h"
#include "win32/widetext.h"
#include "win32/win32desktop.h"

#include <windowsx.h>

namespace jbx {

namespace {

struct CreditsDialogState {
    CreditsEditor editor;
    Win32Desktop& desktop;
    // Texts the dialog places itself raise change notices that are no edit.
    bool placing = false;
};

void Place(HWND dialog, CreditsDialogState& state, const CreditsPlacement& placement)
{
    state.placing = true;
    if (placement.author)
        SetDlgItemTextW(dialog, IDC_AUTHOR, WideFromBankText(*placement.author).c_str());
    if (placement.description)
        SetDlgItemTextW(dialog, IDC_DESCRIPTION, EditLinesFromBox(WideFromBankText(*placement.description)).c_str());
    if (placement.dateFinished)
        SetDlgItemTextW(dialog, IDC_DATE_FINISHED, WideFromBankText(*placement.dateFinished).c_str());
    state.placing = false;
}

BOOL OnInitDialog(HWND dialog, HWND, LPARAM lParam)
{
    CreditsDialogState& state = KeepDialogData(dialog, reinterpret_cast<CreditsDialogState*>(lParam));
    state.desktop.setDialog(dialog);
    SendDlgItemMessageW(dialog, IDC_AUTHOR, EM_LIMITTEXT, kAuthorLimit, 0);
    SendDlgItemMessageW(dialog, IDC_DESCRIPTION, EM_LIMITTEXT, kTypedDescriptionLimit, 0);
    SendDlgItemMessageW(dialog, IDC_DATE_FINISHED, EM_LIMITTEXT, kDateFinishedLimit, 0);
    Place(dialog, state, state.editor.openingTexts());
    return FALSE;
}

void OnCommand(HWND dialog, int id, HWND control, UINT code)
{
    CreditsDialogState* state = DialogData<CreditsDialogState>(dialog);
    if (!state)
        return;
    const bool box = id == IDC_AUTHOR || id == IDC_DESCRIPTION || id == IDC_DATE_FINISHED;
    if (box && code == EN_UPDATE && !state->placing)
        KeepBankCharacters(control);
    if (box && code == EN_CHANGE && !state->placing)
        state->editor.boxChanged();
    if (code != BN_CLICKED)
        return;
    if (id == IDOK) {
        state->editor.accept({BankTextFromWide(ItemText(dialog, IDC_AUTHOR)),
            BankTextFromWide(BoxLinesFromEdit(ItemText(dialog, IDC_DESCRIPTION))),
            BankTextFromWide(ItemText(dialog, IDC_DATE_FINISHED))});
        EndDialog(dialog, IDOK);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
    } else if (id == IDC_ERASE) {
        if (const auto placement = state->editor.erase())
            Place(dialog, *state, *placement);
    }
}

void OnDestroy(HWND dialog)
{
    if (CreditsDialogState* state = DialogData<CreditsDialogState>(dialog))
        state->desktop.setDialog(nullptr);
}

INT_PTR CALLBACK CreditsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
        HANDLE_MSG(dialog, WM_DESTROY, OnDestroy);
    }
    return FALSE;
}

} // namespace

INT_PTR ShowCreditsDialog(HINSTANCE instance, HWND owner, SoundBank& bank, Win32Desktop& desktop)
{
    CreditsDialogState state{CreditsEditor(bank, desktop), desktop};
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CREDITS), owner, CreditsDialogProc, LPARAM(&state));
}

} // namespace jbx
