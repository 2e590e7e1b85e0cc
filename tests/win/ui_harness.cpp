#include "ui_harness.h"

#include <cstring>

#include "../../resources/resource.h"
#include "../../ui/action_tree.h"
#include "../../ui/app.h"
#include "../../ui/main_dialog.h"

namespace {

// The control ids that both Windows and Wine give a message box's text and icon.
constexpr int MessageBoxTextId = 0xFFFF;
constexpr int MessageBoxIconId = 0x440;

MessageBoxAnswerer* ActiveAnswerer = nullptr;

bool IsMessageBox(HWND window) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    // The file dialog has a control 0x440 too; its name box tells it apart.
    constexpr int FileDialogNameCombo = 0x47c, FileDialogNameEdit = 0x480;
    return std::strcmp(className, "#32770") == 0 && GetDlgItem(window, MessageBoxIconId) &&
           !GetDlgItem(window, FileDialogNameCombo) && !GetDlgItem(window, FileDialogNameEdit);
}

LRESULT CALLBACK AnswerMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && ActiveAnswerer && IsMessageBox(window)) {
        SeenMessageBox seen;
        seen.Caption = WindowText(window);
        wchar_t text[2048] = {};
        GetDlgItemTextW(window, MessageBoxTextId, text, 2048);
        seen.Text = Utf8(text);
        seen.HasOk = GetDlgItem(window, IDOK) != nullptr;
        seen.HasYes = GetDlgItem(window, IDYES) != nullptr;
        seen.HasNo = GetDlgItem(window, IDNO) != nullptr;
        seen.HasIcon =
            SendDlgItemMessageA(window, MessageBoxIconId, STM_GETICON, 0, 0) != 0 &&
            (GetWindowLongA(GetDlgItem(window, MessageBoxIconId), GWL_STYLE) & WS_VISIBLE);
        if (!ActiveAnswerer->Answers.empty()) {
            seen.Answer = ActiveAnswerer->Answers.front();
            ActiveAnswerer->Answers.pop_front();
        } else {
            seen.Answer = seen.HasOk ? IDOK : IDYES;
        }
        ActiveAnswerer->Seen.push_back(seen);
        PostMessageA(window, WM_COMMAND, seen.Answer, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> ThreadWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer()
    : Hook(SetWindowsHookExA(WH_CBT, AnswerMessageBoxes, nullptr, GetCurrentThreadId())) {
    ActiveAnswerer = this;
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    UnhookWindowsHookEx(Hook);
    ActiveAnswerer = nullptr;
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string Utf8(const std::wstring& wide) {
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                    &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr));
    return utf8;
}

std::wstring Widened(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()),
                                    &wide[0], static_cast<int>(wide.size())));
    return wide;
}

std::string ControlText(HWND dialog, int id) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::string TreeItemText(HWND tree, HTREEITEM item) {
    char text[260] = {};
    TVITEMA query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

LPARAM TreeItemData(HWND tree, HTREEITEM item) {
    TVITEMA query = {};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return query.lParam;
}

static HTREEITEM FindChild(HWND tree, HTREEITEM parent, const char* text) {
    for (HTREEITEM item = TreeView_GetChild(tree, parent); item;
         item = TreeView_GetNextSibling(tree, item)) {
        if (TreeItemText(tree, item) == text) return item;
    }
    return nullptr;
}

HTREEITEM FindTreeItem(const char* category, const char* action) {
    HWND tree = App.ActionTree;
    HTREEITEM item = TreeView_GetRoot(tree);
    if (item && category) item = FindChild(tree, item, category);
    if (item && action) item = FindChild(tree, item, action);
    return item;
}

LRESULT SendKey(HWND window, UINT message, int virtualKey) {
    LPARAM lParam = 1 | (MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC) << 16);
    if (message == WM_KEYUP || message == WM_SYSKEYUP) lParam |= 0xC0000000;
    if (virtualKey == VK_MENU) lParam |= 1 << 29;  // the Alt context bit
    return SendMessageA(window, message, virtualKey, lParam);
}

void FlushEvents() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

HWND StartMainDialog() {
    std::memset(static_cast<void*>(&App), 0, sizeof App);
    InstanceHandle = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND dialog =
        CreateDialogParamA(InstanceHandle, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    FillActionTree(dialog);
    ShowWindow(dialog, SW_SHOWNORMAL);
    SetForegroundWindow(dialog);
    SetFocus(GetDlgItem(dialog, IDC_ACTION_TREE));
    App.Initialise(dialog);
    HICON icon = LoadIconA(InstanceHandle, MAKEINTRESOURCEA(IDI_APP));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    FlushEvents();
    return dialog;
}

void CloseAllDialogs() {
    for (HWND window : ThreadWindows()) {
        if (IsWindow(window)) DestroyWindow(window);
    }
    FlushEvents();
    std::memset(static_cast<void*>(&App), 0, sizeof App);
}

std::vector<HWND> VisibleDialogs(const char* caption) {
    std::vector<HWND> found;
    for (HWND window : ThreadWindows()) {
        if (IsWindowVisible(window) && WindowText(window) == caption) found.push_back(window);
    }
    return found;
}
