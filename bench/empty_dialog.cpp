// The yardstick for start-up time: a program that only shows an empty dialog, built with the same
// flags as Corvane. Built with WITH_COMMON_CONTROLS it also loads the common controls first, as
// Corvane must for its tree and progress bar: the difference between the two is that library.
#include <windows.h>

#include <commctrl.h>

#ifdef WITH_COMMON_CONTROLS
constexpr int EmptyDialogResource = 2;
#else
constexpr int EmptyDialogResource = 1;
#endif

static INT_PTR CALLBACK EmptyDialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && wParam == IDCANCEL) PostQuitMessage(0);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
#ifdef WITH_COMMON_CONTROLS
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
#endif
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(EmptyDialogResource), nullptr,
                                     EmptyDialogProc, 0);
    ShowWindow(dialog, showCommand);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
