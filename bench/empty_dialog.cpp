// The yardsticks for start-up time, built with the same flags as Corvane and with a dialog
// procedure that does nothing:
//   empty_dialog                   shows an empty dialog
//   empty_dialog_common_controls   loads the common controls first, as Corvane must for its tree
//                                  and progress bar
//   corvane_template               loads them and shows Corvane's own main dialog template, under
//                                  another caption: the floor of Corvane's start-up, which needs
//                                  every one of those controls
#include <windows.h>

#include <commctrl.h>

#if defined(CORVANE_TEMPLATE)
#include "../resources/resource.h"
#define WITH_COMMON_CONTROLS
constexpr int DialogResource = IDD_MAIN;
#elif defined(WITH_COMMON_CONTROLS)
constexpr int DialogResource = 2;
#else
constexpr int DialogResource = 1;
#endif

static INT_PTR CALLBACK DoNothingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
#if defined(CORVANE_TEMPLATE)
    // Another caption, so that the timer cannot take this window for Corvane's.
    if (message == WM_INITDIALOG) SetWindowTextA(dialog, "Corvane Template");
#else
    (void)dialog;
#endif
    if (message == WM_COMMAND && wParam == IDCANCEL) PostQuitMessage(0);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
#ifdef WITH_COMMON_CONTROLS
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
#endif
    HWND dialog =
        CreateDialogParamA(instance, MAKEINTRESOURCEA(DialogResource), nullptr, DoNothingProc, 0);
    ShowWindow(dialog, showCommand);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
