// The bind list's commands as the main dialog's buttons run them: the model holds the texts, the
// list box holds one line per live bind with its slot number as item data.
#include "../resources/resource.h"
#include "action_tree.h"
#include "app.h"

// After the model compacted its slots, every line follows its bind to the new slot number.
static void RenumberLines(HWND listBox, const int32_t newSlotOf[MaxBinds]) {
    LRESULT lines = SendMessageA(listBox, LB_GETCOUNT, 0, 0);
    for (LRESULT line = 0; line < lines; ++line) {
        LRESULT slot = SendMessageA(listBox, LB_GETITEMDATA, line, 0);
        if (slot >= 0 && slot < MaxBinds) {
            SendMessageA(listBox, LB_SETITEMDATA, line, newSlotOf[slot]);
        }
    }
}

int AppState::AddBind() {
    int category, actionSlot;
    if (!SelectedAction(ActionTree, &category, &actionSlot)) return 1;
    if (Binds.BindCount >= MaxBinds) {
        int32_t newSlotOf[MaxBinds];
        if (!Binds.MakeRoom(newSlotOf)) {
            MessageBoxA(MainDialog, "Too Many Binds, Please Delete Some!", "Error", MB_OK);
            return 1;
        }
        RenumberLines(BindListBox, newSlotOf);
    }
    char customText[CustomTextSize] = {};
    GetDlgItemTextA(MainDialog, IDC_CUSTOM_TEXT_BOX, customText, CustomTextSize);
    char caption[BindCaptionSize];
    int32_t slot;
    if (Binds.AddBind(category, actionSlot, customText, caption, &slot) != BindAdded) {
        MessageBoxA(MainDialog, "Custom Text Too Long, Please Shorten It!", "Error", MB_OK);
        return 1;
    }
    LRESULT line = SendMessageA(BindListBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caption));
    SendMessageA(BindListBox, LB_SETITEMDATA, line, slot);
    return 1;
}

int AppState::DeleteBind() {
    LRESULT line = SendMessageA(BindListBox, LB_GETCURSEL, 0, 0);
    if (line == LB_ERR) return 1;
    Binds.DeleteSlot(static_cast<int32_t>(SendMessageA(BindListBox, LB_GETITEMDATA, line, 0)));
    SendMessageA(BindListBox, LB_DELETESTRING, line, 0);
    return 1;
}

int AppState::ShowBindCode() {
    LRESULT line = SendMessageA(BindListBox, LB_GETCURSEL, 0, 0);
    if (line == LB_ERR) return 1;
    int32_t slot = static_cast<int32_t>(SendMessageA(BindListBox, LB_GETITEMDATA, line, 0));
    SetDlgItemTextA(MainDialog, IDC_CODE_BOX, Binds.SlotText(slot));
    return 1;
}

int AppState::ClearBinds() {
    if (MessageBoxA(MainDialog, "Are you sure you wish to clear all binds now ?", "Question.",
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return 0;
    }
    SendMessageA(BindListBox, LB_RESETCONTENT, 0, 0);
    Binds.ClearSlots();
    return 1;
}
