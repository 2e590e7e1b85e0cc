#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "ui_harness.h"

namespace {

// Both toggles and the bind list report what happens to them, in order, so a test can see
// whether the Mouse toggle was released before or after a bind was added.
std::vector<std::string>* Events = nullptr;
WNDPROC SavedToggleProc = nullptr;
WNDPROC SavedListProc = nullptr;

LRESULT CALLBACK RecordingToggleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == BM_SETCHECK && Events) {
        Events->push_back("Mouse set " + std::to_string(wParam));
    }
    return CallWindowProcA(SavedToggleProc, window, message, wParam, lParam);
}

LRESULT CALLBACK RecordingListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LB_ADDSTRING && Events) {
        Events->push_back(std::string("add ") + reinterpret_cast<const char*>(lParam));
    }
    return CallWindowProcA(SavedListProc, window, message, wParam, lParam);
}

class KeyCapture : public ::testing::Test {
protected:
    void SetUp() override {
        Dialog = StartMainDialog();
        Box = App.KeyCaptureBox;
        MouseToggle = GetDlgItem(Dialog, IDC_MOUSE_TOGGLE);
        AutoBindToggle = GetDlgItem(Dialog, IDC_AUTO_BIND_TOGGLE);
        SetFocus(Box);
    }
    void TearDown() override {
        if (SavedToggleProc) {
            SetWindowLongPtrA(MouseToggle, GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(SavedToggleProc));
            SetWindowLongPtrA(App.BindListBox, GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(SavedListProc));
            SavedToggleProc = SavedListProc = nullptr;
        }
        Events = nullptr;
        CloseAllDialogs();
    }

    void SelectAction(const char* category, const char* action) {
        HTREEITEM item = FindTreeItem(category, action);
        ASSERT_NE(nullptr, item) << action;
        TreeView_SelectItem(App.ActionTree, item);
    }
    // Down without the focus, so the toggle reads exactly checked.
    void PressToggle(HWND toggle) { SendMessageA(toggle, BM_SETCHECK, BST_CHECKED, 0); }
    LRESULT State(HWND toggle) { return SendMessageA(toggle, BM_GETSTATE, 0, 0); }
    int Lines() { return static_cast<int>(SendMessageA(App.BindListBox, LB_GETCOUNT, 0, 0)); }
    std::string BoxText() { return WindowText(Box); }

    void Tap(int virtualKey, bool system = false) {
        SendKey(Box, system ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey);
        SendKey(Box, system ? WM_SYSKEYUP : WM_KEYUP, virtualKey);
    }
    void RecordOrder() {
        SavedToggleProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            MouseToggle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingToggleProc)));
        SavedListProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            App.BindListBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingListProc)));
        Events = &Seen;
    }

    HWND Dialog = nullptr;
    HWND Box = nullptr;
    HWND MouseToggle = nullptr;
    HWND AutoBindToggle = nullptr;
    std::vector<std::string> Seen;
};

// Alt and F10 go on to the default handling, which enters the main window's menu mode once the
// release arrives; an Escape press already waiting in the queue leaves it again at once.
void QueueMenuEscape(HWND window) {
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1 | (MapVirtualKeyA(VK_ESCAPE, 0) << 16));
}

TEST_F(KeyCapture, ReleaseShowsTheKeyAndAutoBindAddsItsGameName) {
    struct Case {
        int Code;
        bool System;
        const char* Shown;
        const char* Command;  // Jump bound with "Automatically Bind" down
    };
    const Case cases[] = {
        {VK_SPACE, false, "Space Bar", "bind space \"+moveup\""},
        {'A', false, "A", "bind a \"+moveup\""},
        {VK_MENU, true, "Alt", "bind alt \"+moveup\""},
        {VK_F10, true, "F10", "bind f10 \"+moveup\""},
        {VK_TAB, false, "Tab", "bind tab \"+moveup\""},
        {VK_RETURN, false, "Enter", "bind enter \"+moveup\""},
        {VK_ESCAPE, false, "Escape", "bind escape \"+moveup\""},
        {VK_PAUSE, false, "", "bind  \"+moveup\""},
        {VK_NUMLOCK, false, "", "bind  \"+moveup\""},
        {3, false, "Wheel Up ", "bind mwheelup \"+moveup\""},
    };
    SelectAction("Movement", "Jump");
    PressToggle(AutoBindToggle);
    int bound = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Shown);
        SetWindowTextA(Box, "previous");
        if (c.System) QueueMenuEscape(Box);
        Tap(c.Code, c.System);
        EXPECT_EQ(c.Code, App.Binds.CurrentKey);
        EXPECT_EQ(c.Shown, BoxText());
        EXPECT_EQ(Box, GetFocus()) << "Tab, Enter and Escape move nothing";
        ASSERT_EQ(++bound, App.Binds.BindCount);
        EXPECT_STREQ(c.Command, App.Binds.Slots[bound - 1].Text);
        FlushEvents();
        EXPECT_EQ(bound, App.Binds.BindCount) << "nothing more once the queue is empty";
    }
    EXPECT_EQ(bound, Lines());
    EXPECT_EQ(BST_CHECKED, State(AutoBindToggle));
}

TEST_F(KeyCapture, KeysWithoutAutoBindOrActionAddNothing) {
    SelectAction("Movement", "Jump");
    Tap(VK_SPACE);
    EXPECT_EQ("Space Bar", BoxText());
    SelectAction("Movement", nullptr);
    PressToggle(AutoBindToggle);
    Tap('Q');
    EXPECT_EQ("Q", BoxText());
    SelectAction(nullptr, nullptr);
    Tap('W');
    EXPECT_EQ("W", BoxText());
    EXPECT_EQ(0, App.Binds.BindCount);
    EXPECT_EQ(0, Lines());
}

TEST_F(KeyCapture, RepeatedKeyDownsBindOnceOnRelease) {
    SelectAction("Shooting", "Reload");
    PressToggle(AutoBindToggle);
    for (int i = 0; i < 3; ++i) SendKey(Box, WM_KEYDOWN, 'R');
    EXPECT_EQ(0, App.Binds.BindCount);
    SendKey(Box, WM_KEYUP, 'R');
    EXPECT_EQ("R", BoxText());
    ASSERT_EQ(1, App.Binds.BindCount);
    EXPECT_STREQ("bind r \"+button5\"", App.Binds.Slots[0].Text);
}

// Each release shows and binds the last key pressed, whichever key goes up.
TEST_F(KeyCapture, ShiftThenAChordBindsATwice) {
    SelectAction("Movement", "Jump");
    PressToggle(AutoBindToggle);
    SendKey(Box, WM_KEYDOWN, VK_SHIFT);
    SendKey(Box, WM_KEYDOWN, 'A');
    SendKey(Box, WM_KEYUP, 'A');
    EXPECT_EQ("A", BoxText());
    SendKey(Box, WM_KEYUP, VK_SHIFT);
    EXPECT_EQ("A", BoxText());
    EXPECT_EQ(0x41, App.Binds.CurrentKey);
    ASSERT_EQ(2, App.Binds.BindCount);
    EXPECT_STREQ("bind a \"+moveup\"", App.Binds.Slots[0].Text);
    EXPECT_STREQ("bind a \"+moveup\"", App.Binds.Slots[1].Text);
    ASSERT_EQ(2, Lines());
    char line[256] = {};
    SendMessageA(App.BindListBox, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_STREQ("A -> (Movement) Jump", line);
}

TEST_F(KeyCapture, MouseInputIsCapturedOnlyWhileMouseIsDown) {
    struct Case {
        UINT Message;
        WPARAM WParam;
        int Code;
        const char* Shown;
        const char* Command;
    };
    const Case cases[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, 1, "Left Mouse", "bind mouse1 \"+attack\""},
        {WM_RBUTTONDOWN, MK_RBUTTON, 2, "Right Mouse", "bind mouse2 \"+attack\""},
        {WM_MBUTTONDOWN, MK_MBUTTON, 5, "Middle Mouse", "bind mouse3 \"+attack\""},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 3, "Wheel Up ", "bind mwheelup \"+attack\""},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 4, "Wheel Down",
         "bind mwheeldown \"+attack\""},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 3 * WHEEL_DELTA), 3, "Wheel Up ",
         "bind mwheelup \"+attack\""},
    };
    SelectAction("Shooting", "Shoot");
    PressToggle(AutoBindToggle);
    RECT client;
    GetClientRect(Box, &client);
    LPARAM inside = MAKELPARAM(client.right / 2, client.bottom / 2);
    int bound = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Shown);
        App.Binds.CurrentKey = 0x20;
        SetWindowTextA(Box, "previous");

        // With Mouse up the box is a plain edit control for the mouse.
        SendMessageA(Box, c.Message, c.WParam, inside);
        if (c.Message == WM_LBUTTONDOWN) SendMessageA(Box, WM_LBUTTONUP, 0, inside);
        SetFocus(Box);
        EXPECT_EQ(0x20, App.Binds.CurrentKey);
        EXPECT_EQ("previous", BoxText());
        EXPECT_EQ(bound, App.Binds.BindCount);

        PressToggle(MouseToggle);
        ASSERT_EQ(BST_CHECKED, State(MouseToggle));
        SendMessageA(Box, c.Message, c.WParam, inside);
        if (c.Message == WM_LBUTTONDOWN) SendMessageA(Box, WM_LBUTTONUP, 0, inside);
        SetFocus(Box);
        EXPECT_EQ(c.Code, App.Binds.CurrentKey);
        EXPECT_EQ(c.Shown, BoxText());
        EXPECT_EQ(BST_UNCHECKED, State(MouseToggle)) << "one capture per press of Mouse";
        ASSERT_EQ(++bound, App.Binds.BindCount);
        EXPECT_STREQ(c.Command, App.Binds.Slots[bound - 1].Text);
    }
}

TEST_F(KeyCapture, ZeroWheelDeltaRecordsNothingButReleasesMouse) {
    SelectAction("Shooting", "Shoot");
    PressToggle(AutoBindToggle);
    PressToggle(MouseToggle);
    App.Binds.CurrentKey = 0x20;
    SetWindowTextA(Box, "previous");
    SendMessageA(Box, WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 0);
    EXPECT_EQ(0x20, App.Binds.CurrentKey);
    EXPECT_EQ("previous", BoxText());
    EXPECT_EQ(0, App.Binds.BindCount);
    EXPECT_EQ(BST_UNCHECKED, State(MouseToggle));
}

TEST_F(KeyCapture, ExtraButtonsAndKeysLeaveMouseDown) {
    PressToggle(MouseToggle);
    App.Binds.CurrentKey = 0x20;
    SendMessageA(Box, WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON1, XBUTTON1), MAKELPARAM(5, 5));
    SendMessageA(Box, WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), MAKELPARAM(5, 5));
    EXPECT_EQ(0x20, App.Binds.CurrentKey);
    EXPECT_EQ(BST_CHECKED, State(MouseToggle));

    Tap('K');
    EXPECT_EQ("K", BoxText());
    EXPECT_EQ(BST_CHECKED, State(MouseToggle));

    SendMessageA(Box, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ("Middle Mouse", BoxText());
    EXPECT_EQ(BST_UNCHECKED, State(MouseToggle));
}

// A toggle that holds the focus does not read exactly checked: after clicking Automatically Bind
// a captured click is shown but not bound.
TEST_F(KeyCapture, AutoBindHoldingTheFocusDoesNotBindAMouseCapture) {
    SelectAction("Shooting", "Shoot");
    PressToggle(MouseToggle);
    SendMessageA(AutoBindToggle, BM_CLICK, 0, 0);
    FlushEvents();
    ASSERT_EQ(AutoBindToggle, GetFocus());
    ASSERT_EQ(BST_CHECKED | BST_FOCUS, State(AutoBindToggle));
    SendMessageA(Box, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ("Right Mouse", BoxText());
    EXPECT_EQ(BST_UNCHECKED, State(MouseToggle));
    EXPECT_EQ(0, App.Binds.BindCount);
}

TEST_F(KeyCapture, ButtonReleasesMouseBeforeBindingAndWheelAfter) {
    SelectAction("Shooting", "Shoot");
    PressToggle(AutoBindToggle);
    RecordOrder();

    PressToggle(MouseToggle);
    Seen.clear();
    SendMessageA(Box, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(5, 5));
    const std::vector<std::string> button = {"Mouse set 0", "add Middle Mouse -> (Shooting) Shoot"};
    EXPECT_EQ(button, Seen);

    PressToggle(MouseToggle);
    Seen.clear();
    SendMessageA(Box, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(5, 5));
    const std::vector<std::string> wheel = {"add Wheel Down -> (Shooting) Shoot", "Mouse set 0"};
    EXPECT_EQ(wheel, Seen);
}

// Clicking Mouse hands the focus to the box, so the toggle reads exactly checked for the capture.
TEST_F(KeyCapture, ClickingMouseArmsTheBoxEitherWay) {
    SetFocus(App.ActionTree);
    SendMessageA(MouseToggle, BM_CLICK, 0, 0);
    FlushEvents();
    EXPECT_EQ(Box, GetFocus());
    EXPECT_EQ(BST_CHECKED, State(MouseToggle));
    SendMessageA(Box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(Box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ("Left Mouse", BoxText());
    EXPECT_EQ(BST_UNCHECKED, State(MouseToggle));

    PressToggle(MouseToggle);
    SetFocus(App.ActionTree);
    SendMessageA(MouseToggle, BM_CLICK, 0, 0);
    FlushEvents();
    EXPECT_EQ(Box, GetFocus()) << "letting Mouse up also returns the focus";
    EXPECT_EQ(BST_UNCHECKED, State(MouseToggle));
}

}  // namespace
