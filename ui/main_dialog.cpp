#include "main_dialog.h"

#include "../resources/resource.h"
#include "action_tree.h"
#include "app.h"
#include "key_capture.h"
#include "write_options.h"

static WNDPROC ReplaceProcedure(HWND control, WNDPROC replacement) {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replacement)));
}

// Runs while the dialog is created, before App knows any handle: only the dialog's own is used.
static void InitialiseMainDialog(HWND dialog) {
    SavedKeyCaptureBoxProc =
        ReplaceProcedure(GetDlgItem(dialog, IDC_KEY_CAPTURE_BOX), KeyCaptureProc);
    SavedTreeProc = ReplaceProcedure(GetDlgItem(dialog, IDC_ACTION_TREE), ActionTreeProc);
    SetDlgItemTextA(dialog, IDC_CUSTOM_TEXT_BOX, "Enter your custom string here when required.");
    SetDlgItemTextA(dialog, IDC_DESCRIPTION_BOX, "Bind Description");
}

// The whole wParam is matched, so only clicks (notification code 0) run a command.
static void RunCommand(HWND dialog, WPARAM command) {
    switch (command) {
        case IDCANCEL:
        case IDC_QUIT:
            PostQuitMessage(0);
            break;
        case IDC_DELETE_BIND:
            App.DeleteBind();
            break;
        case IDC_ADD_BIND:
            App.AddBind();
            break;
        case IDC_ABOUT:
            OpenSecondaryDialog(dialog, IDD_ABOUT, AboutDialogProc);
            break;
        case IDC_WRITE_CONFIG:
            OpenSecondaryDialog(dialog, IDD_WRITE_OPTIONS, WriteOptionsProc);
            break;
        case IDC_CLEAR_CONFIG:
            App.ClearBinds();
            break;
        case IDC_MOUSE_TOGGLE:
            SetFocus(GetDlgItem(dialog, IDC_KEY_CAPTURE_BOX));
            break;
        case IDC_SHOW_CODE:
            App.ShowBindCode();
            break;
    }
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitialiseMainDialog(dialog);
            break;
        case WM_COMMAND:
            RunCommand(dialog, wParam);
            break;
    }
    return 0;
}

// Destroyed, not ended: EndDialog only hides a modeless dialog.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && wParam == IDOK) DestroyWindow(dialog);
    return 0;
}
