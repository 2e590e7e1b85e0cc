// Start-up and the one message loop.
#include <windows.h>

#include <commctrl.h>

#include "../resources/resource.h"
#include "action_tree.h"
#include "app.h"
#include "main_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    InstanceHandle = instance;
    // The tree and the progress bar are common controls: their classes must exist first.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    HWND mainDialog =
        CreateDialogParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    if (!mainDialog) {
        MessageBoxA(nullptr, "Corvane could not create its main window.", "Error",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
    FillActionTree(mainDialog);
    ShowWindow(mainDialog, showCommand);
    SetFocus(GetDlgItem(mainDialog, IDC_ACTION_TREE));
    App.Initialise(mainDialog);
    SendMessageA(mainDialog, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconA(InstanceHandle, MAKEINTRESOURCEA(IDI_APP))));
    SendMessageA(mainDialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconA(InstanceHandle, MAKEINTRESOURCEA(IDI_APP))));

    // No dialog navigation and no accelerators: Tab, Enter and Escape reach the focused control
    // as ordinary keys, which is what lets the key capture box bind them.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
