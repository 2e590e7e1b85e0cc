#include "completion_dialog.h"

#include <commctrl.h>

#include "../output/size_gauge.h"
#include "../resources/resource.h"
#include "app.h"

int AppState::SizeGauge(int32_t writtenLength) {
    HWND dialog = OpenSecondaryDialog(MainDialog, IDD_COMPLETION, CompletionDialogProc);
    HWND bar = GetDlgItem(dialog, IDC_GAUGE_BAR);
    int32_t percentage = GaugePercentage(writtenLength);
    char text[GaugeTextSize];
    FormatGaugePercentage(text, percentage);
    SetDlgItemTextA(dialog, IDC_GAUGE_PERCENT, text);
    SetWindowTextA(bar, text);
    GaugeLevel level = GaugeLevelOf(percentage);
    SendMessageA(bar, PBM_SETBARCOLOR, 0, GaugeColour(level));
    SetDlgItemTextA(dialog, IDC_GAUGE_VERDICT, GaugeVerdict(level));
    SendMessageA(bar, PBM_SETPOS, percentage, 0);
    return 1;
}

// A modeless dialog that EndDialog ended would only be hidden, and stay until the program exits.
INT_PTR CALLBACK CompletionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && wParam == IDOK) DestroyWindow(dialog);
    return 0;
}
