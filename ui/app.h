// The one application object and the handles every window procedure reaches through it.
#pragma once

#include <windows.h>

#include "../model/bind_list.h"

struct AppState {
    HWND MainDialog;
    HWND BindListBox;
    HWND KeyCaptureBox;
    HWND ActionTree;
    BindModel Binds;  // key name table, current key, bind count and slots

    // Records the four window handles of a created main dialog, then fills the key name table.
    int Initialise(HWND mainDialog);

    // The bind list's commands, read from and shown in the main dialog's controls.
    int AddBind();
    int DeleteBind();
    int ClearBinds();
    int ShowBindCode();

    // The tree's selection: an action is selected when the caret's parent is a category.
    int IsActionSelected();
    int ShowSelectedDescription();

    int ShowCurrentKey();

    // Asks for a file and writes the binds to it with "w" or "a+"; always returns 1.
    int ConfigWriter(const char* writeMode);
    // Opens a completion dialog judging one write's length.
    int SizeGauge(int32_t writtenLength);
};

extern AppState App;
extern HINSTANCE InstanceHandle;
extern WNDPROC SavedTreeProc;
extern WNDPROC SavedKeyCaptureBoxProc;

// Exactly checked: BM_GETSTATE answers 1, with no pushed, focus or indeterminate bits.
bool ToggleReadsChecked(HWND toggle);
// A modeless secondary dialog owned by the main dialog, created anew on every request.
HWND OpenSecondaryDialog(HWND owner, int resource, DLGPROC procedure);
