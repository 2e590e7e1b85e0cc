#include "app.h"

#include "../resources/resource.h"

AppState App;
HINSTANCE InstanceHandle;
WNDPROC SavedTreeProc;
WNDPROC SavedKeyCaptureBoxProc;

int AppState::Initialise(HWND mainDialog) {
    MainDialog = mainDialog;
    KeyCaptureBox = GetDlgItem(mainDialog, IDC_KEY_CAPTURE_BOX);
    BindListBox = GetDlgItem(mainDialog, IDC_BIND_LIST_BOX);
    ActionTree = GetDlgItem(mainDialog, IDC_ACTION_TREE);
    Binds.FillKeyNames();
    return 1;
}

bool ToggleReadsChecked(HWND toggle) { return SendMessageA(toggle, BM_GETSTATE, 0, 0) == 1; }

HWND OpenSecondaryDialog(HWND owner, int resource, DLGPROC procedure) {
    HWND dialog =
        CreateDialogParamA(InstanceHandle, MAKEINTRESOURCEA(resource), owner, procedure, 0);
    ShowWindow(dialog, SW_SHOWNORMAL);
    return dialog;
}
