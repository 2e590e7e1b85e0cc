// The yardstick for start-up time: a program that only shows an empty dialog, built with the same
// flags as Corvane.
#include <windows.h>

static INT_PTR CALLBACK EmptyDialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && wParam == IDCANCEL) PostQuitMessage(0);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(1), nullptr, EmptyDialogProc, 0);
    ShowWindow(dialog, showCommand);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
