#include "key_capture.h"

#include "../resources/resource.h"
#include "app.h"

int AppState::ShowCurrentKey() {
    SendMessageA(KeyCaptureBox, WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(Binds.DisplayName(Binds.CurrentKey)));
    return 1;
}

int TryAutoBind(HWND box) {
    if (ToggleReadsChecked(GetDlgItem(GetParent(box), IDC_AUTO_BIND_TOGGLE))) App.AddBind();
    return 1;
}

static void ReleaseToggle(HWND toggle) { SendMessageA(toggle, BM_SETCHECK, BST_UNCHECKED, 0); }

static void CaptureButton(HWND box, HWND mouseToggle, int32_t code) {
    App.Binds.RecordKey(code);
    App.ShowCurrentKey();
    ReleaseToggle(mouseToggle);
    TryAutoBind(box);
}

// Any size of delta is one step at most; a zero delta only ends the capture.
static void CaptureWheel(HWND box, HWND mouseToggle, WPARAM wParam) {
    short delta = static_cast<short>(HIWORD(wParam));
    if (delta != 0) {
        App.Binds.RecordKey(delta > 0 ? KeyWheelUp : KeyWheelDown);
        App.ShowCurrentKey();
        TryAutoBind(box);
    }
    ReleaseToggle(mouseToggle);
}

LRESULT CALLBACK KeyCaptureProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND mouseToggle = GetDlgItem(GetParent(box), IDC_MOUSE_TOGGLE);
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            App.Binds.RecordKey(static_cast<int32_t>(wParam));
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            App.ShowCurrentKey();
            TryAutoBind(box);
            break;
        case WM_LBUTTONDOWN:
            if (ToggleReadsChecked(mouseToggle)) CaptureButton(box, mouseToggle, KeyLeftMouse);
            break;
        case WM_RBUTTONDOWN:
            if (ToggleReadsChecked(mouseToggle)) CaptureButton(box, mouseToggle, KeyRightMouse);
            break;
        case WM_MBUTTONDOWN:
            if (ToggleReadsChecked(mouseToggle)) CaptureButton(box, mouseToggle, KeyMiddleMouse);
            break;
        case WM_MOUSEWHEEL:
            if (ToggleReadsChecked(mouseToggle)) CaptureWheel(box, mouseToggle, wParam);
            break;
    }
    return CallWindowProcA(SavedKeyCaptureBoxProc, box, message, wParam, lParam);
}
