#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "ui_harness.h"

namespace {

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override { Dialog = StartMainDialog(); }
    void TearDown() override {
        CloseAllDialogs();
        MSG quit;
        while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    void Command(WPARAM wParam) {
        SendMessageA(Dialog, WM_COMMAND, wParam, 0);
        FlushEvents();
    }
    void SelectAction(const char* category, const char* action) {
        HTREEITEM item = FindTreeItem(category, action);
        ASSERT_TRUE(item || !category) << (action ? action : category);
        TreeView_SelectItem(App.ActionTree, item);
    }
    int Lines() { return static_cast<int>(SendMessageA(App.BindListBox, LB_GETCOUNT, 0, 0)); }
    std::string Line(int line) {
        char text[256] = {};
        SendMessageA(App.BindListBox, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text));
        return text;
    }
    int LineSlot(int line) {
        return static_cast<int>(SendMessageA(App.BindListBox, LB_GETITEMDATA, line, 0));
    }
    void SelectLine(int line) { SendMessageA(App.BindListBox, LB_SETCURSEL, line, 0); }
    void CaptureKey(int virtualKey) {
        SendKey(App.KeyCaptureBox, WM_KEYDOWN, virtualKey);
        SendKey(App.KeyCaptureBox, WM_KEYUP, virtualKey);
    }
    // Binds made without the buttons: slot i holds "bind k<i> ..." and its line "Line <i>".
    void FillBinds(int count) {
        SendMessageA(App.BindListBox, WM_SETREDRAW, FALSE, 0);
        for (int i = 0; i < count; ++i) {
            std::snprintf(App.Binds.Slots[i].Text, BindSlotSize, "bind k%d \"+forward\"", i);
            std::string line = "Line " + std::to_string(i);
            LRESULT index = SendMessageA(App.BindListBox, LB_ADDSTRING, 0,
                                         reinterpret_cast<LPARAM>(line.c_str()));
            SendMessageA(App.BindListBox, LB_SETITEMDATA, index, i);
        }
        App.Binds.BindCount = count;
        SendMessageA(App.BindListBox, WM_SETREDRAW, TRUE, 0);
    }
    bool QuitPosted(WPARAM* code) {
        MSG quit;
        if (!PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
        *code = quit.wParam;
        return true;
    }

    HWND Dialog = nullptr;
};

TEST_F(MainDialog, StartsWithItsTextsFocusInTheTreeAndNoBinds) {
    EXPECT_EQ("Corvane [v1.1]", WindowText(Dialog));
    EXPECT_EQ("Enter your custom string here when required.",
              ControlText(Dialog, IDC_CUSTOM_TEXT_BOX));
    EXPECT_EQ("Bind Description", ControlText(Dialog, IDC_DESCRIPTION_BOX));
    EXPECT_EQ("", ControlText(Dialog, IDC_KEY_CAPTURE_BOX));
    EXPECT_EQ("", ControlText(Dialog, IDC_CODE_BOX));
    EXPECT_EQ(App.ActionTree, GetFocus());
    // A tree that gets the focus with nothing selected selects its first item, the root.
    HTREEITEM selected = TreeView_GetSelection(App.ActionTree);
    EXPECT_TRUE(selected == nullptr || selected == TreeView_GetRoot(App.ActionTree));
    EXPECT_EQ(0, Lines());
    EXPECT_EQ(0, App.Binds.BindCount);
    EXPECT_EQ(0, SendDlgItemMessageA(Dialog, IDC_MOUSE_TOGGLE, BM_GETSTATE, 0, 0));
    EXPECT_EQ(0, SendDlgItemMessageA(Dialog, IDC_AUTO_BIND_TOGGLE, BM_GETSTATE, 0, 0));
}

TEST_F(MainDialog, CarriesTheApplicationIconInBothSizes) {
    HICON big = reinterpret_cast<HICON>(SendMessageA(Dialog, WM_GETICON, ICON_BIG, 0));
    HICON small = reinterpret_cast<HICON>(SendMessageA(Dialog, WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(nullptr, big);
    ASSERT_NE(nullptr, small);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(big, &info));
    BITMAP colour = {};
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(32, colour.bmWidth);
    EXPECT_EQ(32, colour.bmHeight);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    // The icon group itself holds a drawn 16 by 16 image besides the 32 by 32 one.
    for (int size : {32, 16}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(InstanceHandle, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, size, size, 0));
        ASSERT_NE(nullptr, icon) << size;
        ASSERT_TRUE(GetIconInfo(icon, &info));
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(size, colour.bmWidth);
        EXPECT_EQ(size, colour.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    HRSRC group = FindResourceA(InstanceHandle, MAKEINTRESOURCEA(IDI_APP), RT_GROUP_ICON);
    ASSERT_NE(nullptr, group);
    const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
    int entries = directory[4] | directory[5] << 8;
    std::vector<int> widths;
    for (int i = 0; i < entries; ++i) {
        const BYTE* entry = directory + 6 + 14 * i;  // width, height, colours, ...
        widths.push_back(entry[0]);
        EXPECT_EQ(entry[0], entry[1]);
        EXPECT_EQ(16, entry[2]) << "16 colours";
    }
    EXPECT_EQ((std::vector<int>{32, 16}), widths);
}

TEST_F(MainDialog, EachAboutPressOpensItsOwnDialog) {
    Command(IDC_ABOUT);
    Command(IDC_ABOUT);
    std::vector<HWND> abouts = VisibleDialogs("About Corvane");
    ASSERT_EQ(2u, abouts.size());
    for (HWND about : abouts) EXPECT_EQ(Dialog, GetWindow(about, GW_OWNER));

    // Keys reach the About dialog's button as plain keys: neither Escape nor Enter closes it.
    HWND ok = GetDlgItem(abouts[0], IDOK);
    ASSERT_NE(nullptr, ok);
    for (int key : {VK_ESCAPE, VK_RETURN}) {
        SetFocus(ok);
        SendKey(ok, WM_KEYDOWN, key);
        SendKey(ok, WM_KEYUP, key);
        FlushEvents();
    }
    ASSERT_EQ(2u, VisibleDialogs("About Corvane").size());

    SendMessageA(ok, BM_CLICK, 0, 0);
    FlushEvents();
    std::vector<HWND> left = VisibleDialogs("About Corvane");
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ(abouts[1], left[0]);
    SendDlgItemMessageA(left[0], IDOK, BM_CLICK, 0, 0);
    FlushEvents();
    EXPECT_TRUE(VisibleDialogs("About Corvane").empty());
    EXPECT_TRUE(IsWindowVisible(Dialog));
    WPARAM code;
    EXPECT_FALSE(QuitPosted(&code)) << "closing About leaves the program running";
}

TEST_F(MainDialog, QuitAndCancelPostQuitWithCodeZero) {
    for (WPARAM command : {WPARAM(IDC_QUIT), WPARAM(IDCANCEL)}) {
        SendMessageA(Dialog, WM_COMMAND, command, 0);
        WPARAM code = 99;
        EXPECT_TRUE(QuitPosted(&code)) << command;
        EXPECT_EQ(0u, code) << command;
    }
}

// Only clicks run commands: any other notification code in the high word matches no row.
TEST_F(MainDialog, NotificationsOtherThanClicksRunNothing) {
    const WPARAM commands[] = {
        MAKEWPARAM(IDC_ADD_BIND, 1),
        MAKEWPARAM(IDC_DELETE_BIND, 1),
        MAKEWPARAM(IDC_SHOW_CODE, 1),
        MAKEWPARAM(IDC_ABOUT, 1),
        MAKEWPARAM(IDC_WRITE_CONFIG, 1),
        MAKEWPARAM(IDC_CLEAR_CONFIG, 1),
        MAKEWPARAM(IDC_MOUSE_TOGGLE, 1),
        MAKEWPARAM(IDC_QUIT, 1),
        MAKEWPARAM(IDCANCEL, 1),
        MAKEWPARAM(IDC_ADD_BIND, BN_DOUBLECLICKED),
        MAKEWPARAM(IDC_SHOW_CODE, LBN_DBLCLK),
        MAKEWPARAM(IDC_ADD_BIND, EN_CHANGE),
    };
    SelectAction("Movement", "Jump");
    Command(IDC_ADD_BIND);
    ASSERT_EQ(1, Lines());
    SelectLine(0);
    MessageBoxAnswerer answerer;
    for (WPARAM command : commands) {
        SCOPED_TRACE(std::to_string(LOWORD(command)) + "/" + std::to_string(HIWORD(command)));
        SetFocus(App.ActionTree);
        Command(command);
        EXPECT_EQ(1, App.Binds.BindCount);
        EXPECT_EQ(1, Lines());
        EXPECT_EQ("", ControlText(Dialog, IDC_CODE_BOX));
        EXPECT_TRUE(VisibleDialogs("About Corvane").empty());
        EXPECT_TRUE(VisibleDialogs("Config File Write Options").empty());
        EXPECT_EQ(App.ActionTree, GetFocus());
        WPARAM code;
        EXPECT_FALSE(QuitPosted(&code));
    }
    EXPECT_TRUE(answerer.Seen.empty());
}

class BindCommands : public MainDialog {};

TEST_F(BindCommands, AddWithoutAnActionAddsAndShowsNothing) {
    struct Case {
        const char* Category;
        int BindCount;
    };
    const Case cases[] = {
        {nullptr, 0}, {"", 0},  // the root
        {"Radio", 0}, {"", MaxBinds}, {"Radio", MaxBinds},
    };
    MessageBoxAnswerer answerer;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Category ? c.Category : "(nothing)") + " at " +
                     std::to_string(c.BindCount));
        if (!c.Category) {
            TreeView_SelectItem(App.ActionTree, nullptr);
        } else {
            SelectAction(*c.Category ? c.Category : nullptr, nullptr);
        }
        App.Binds.BindCount = c.BindCount;
        Command(IDC_ADD_BIND);
        EXPECT_EQ(c.BindCount, App.Binds.BindCount);
        EXPECT_EQ(0, Lines());
    }
    EXPECT_TRUE(answerer.Seen.empty());
}

// Lines keep their slot numbers after a delete: the new first line still shows slot 1's text.
TEST_F(BindCommands, DeleteAndShowCodeFollowTheLinesSlots) {
    CaptureKey(VK_SPACE);
    const char* const actions[][2] = {
        {"Movement", "Jump"}, {"Shooting", "Reload"}, {"Special", "Clear Screenshot"}};
    for (const auto& action : actions) {
        SelectAction(action[0], action[1]);
        Command(IDC_ADD_BIND);
    }
    ASSERT_EQ(3, Lines());
    for (int line = 0; line < 3; ++line) EXPECT_EQ(line, LineSlot(line));
    EXPECT_EQ("Space Bar -> (Movement) Jump", Line(0));
    EXPECT_STREQ("bind space \"+moveup\"", App.Binds.Slots[0].Text);
    const char* screenshot =
        "seta screen_shot_clear \"cg_draw2d 0;cg_drawhands 0; wait; wait; wait; screenshotJPEG; "
        "toggle cg_drawhands; toggle cg_draw2d\"\nbind space \"vstr screen_shot_clear\"";
    EXPECT_STREQ(screenshot, App.Binds.Slots[2].Text);

    SelectLine(0);
    Command(IDC_DELETE_BIND);
    EXPECT_STREQ("", App.Binds.Slots[0].Text);
    EXPECT_EQ(3, App.Binds.BindCount);
    ASSERT_EQ(2, Lines());
    EXPECT_EQ("Space Bar -> (Shooting) Reload", Line(0));

    SelectLine(0);
    Command(IDC_SHOW_CODE);
    EXPECT_EQ("bind space \"+button5\"", ControlText(Dialog, IDC_CODE_BOX));
    SelectLine(1);
    Command(IDC_SHOW_CODE);
    EXPECT_EQ(screenshot, ControlText(Dialog, IDC_CODE_BOX)) << "line feed included";

    SelectLine(0);
    Command(IDC_DELETE_BIND);
    EXPECT_STREQ("", App.Binds.Slots[1].Text);
    EXPECT_STREQ(screenshot, App.Binds.Slots[2].Text);
    ASSERT_EQ(1, Lines());
    EXPECT_EQ(2, LineSlot(0));
    EXPECT_EQ(screenshot, ControlText(Dialog, IDC_CODE_BOX)) << "a delete leaves the Code Box";

    // With no line selected both commands change nothing.
    SelectLine(-1);
    SetDlgItemTextA(Dialog, IDC_CODE_BOX, "kept");
    Command(IDC_DELETE_BIND);
    Command(IDC_SHOW_CODE);
    EXPECT_EQ(1, Lines());
    EXPECT_STREQ(screenshot, App.Binds.Slots[2].Text);
}

TEST_F(BindCommands, InitialCustomTextIsRealContent) {
    CaptureKey(VK_SPACE);
    SelectAction("Messages", "Custom Message");
    Command(IDC_ADD_BIND);
    ASSERT_EQ(1, Lines());
    EXPECT_EQ("Space Bar -> (Messages) Custom Message", Line(0));
    EXPECT_STREQ("bind space \"say Enter your custom string here when required.\"",
                 App.Binds.Slots[0].Text);
}

TEST_F(BindCommands, TooLongCustomCommandIsRefused) {
    struct Case {
        const char* Category;
        const char* Action;
        size_t CustomLength;
        bool Added;
    };
    const Case cases[] = {
        {"Other", "Custom Bind", 242, true},  // bind space "<242>" is 255 characters
        {"Other", "Custom Bind", 243, false},
        {"Messages", "Custom Message", 238, true},  // bind space "say <238>"
        {"Messages", "Custom Message", 239, false},
        {"Messages", "Custom Team Message", 300, false},  // the box hands over 255 of them
    };
    CaptureKey(VK_SPACE);
    MessageBoxAnswerer answerer;
    int added = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Action) + " " + std::to_string(c.CustomLength));
        std::string custom(c.CustomLength, 'x');
        SetDlgItemTextA(Dialog, IDC_CUSTOM_TEXT_BOX, custom.c_str());
        SelectAction(c.Category, c.Action);
        answerer.Seen.clear();
        Command(IDC_ADD_BIND);
        if (c.Added) {
            ++added;
            EXPECT_TRUE(answerer.Seen.empty());
            EXPECT_EQ(255u, std::strlen(App.Binds.Slots[added - 1].Text));
        } else {
            ASSERT_EQ(1u, answerer.Seen.size());
            EXPECT_EQ("Error", answerer.Seen[0].Caption);
            EXPECT_EQ("Custom Text Too Long, Please Shorten It!", answerer.Seen[0].Text);
            EXPECT_TRUE(answerer.Seen[0].HasOk);
            EXPECT_STREQ("", App.Binds.Slots[added].Text);
        }
        EXPECT_EQ(added, App.Binds.BindCount);
        EXPECT_EQ(added, Lines());
    }
}

TEST_F(BindCommands, LongCustomTextIsIgnoredByPlainActions) {
    CaptureKey(VK_SPACE);
    SetDlgItemTextA(Dialog, IDC_CUSTOM_TEXT_BOX, std::string(255, 'x').c_str());
    SelectAction("Movement", "Jump");
    MessageBoxAnswerer answerer;
    Command(IDC_ADD_BIND);
    EXPECT_TRUE(answerer.Seen.empty());
    EXPECT_STREQ("bind space \"+moveup\"", App.Binds.Slots[0].Text);
}

// At the limit, slots emptied by deletes are given back: the live binds move to the front in
// their order and every line follows its bind to its new slot.
TEST_F(BindCommands, FullListWithDeletedBindsMakesRoom) {
    FillBinds(MaxBinds);
    for (int deleted : {700, 3, 0}) {
        SelectLine(deleted);
        Command(IDC_DELETE_BIND);
        EXPECT_STREQ("", App.Binds.Slots[deleted].Text);
    }
    ASSERT_EQ(MaxBinds - 3, Lines());
    CaptureKey(VK_SPACE);
    SelectAction("Movement", "Jump");
    MessageBoxAnswerer answerer;
    Command(IDC_ADD_BIND);
    EXPECT_TRUE(answerer.Seen.empty());

    EXPECT_EQ(MaxBinds - 2, App.Binds.BindCount);
    ASSERT_EQ(MaxBinds - 2, Lines());
    int previousSlot = -1;
    for (int line = 0; line < MaxBinds - 3; ++line) {
        std::string text = Line(line);
        int slot = LineSlot(line);
        ASSERT_EQ(line, slot) << text;
        ASSERT_GT(slot, previousSlot);
        previousSlot = slot;
        std::string number = text.substr(5);
        ASSERT_EQ("bind k" + number + " \"+forward\"", App.Binds.Slots[slot].Text) << text;
    }
    EXPECT_EQ("Line 1", Line(0));
    EXPECT_EQ("Line 4", Line(2));
    EXPECT_EQ("Line 702", Line(699));
    EXPECT_EQ("Space Bar -> (Movement) Jump", Line(MaxBinds - 3));
    EXPECT_EQ(MaxBinds - 3, LineSlot(MaxBinds - 3));
    EXPECT_STREQ("bind space \"+moveup\"", App.Binds.Slots[MaxBinds - 3].Text);
    EXPECT_STREQ("", App.Binds.Slots[MaxBinds - 2].Text);
    EXPECT_STREQ("", App.Binds.Slots[MaxBinds - 1].Text);

    // Show Code and Delete still find the right bind after the renumbering.
    SelectLine(699);
    Command(IDC_SHOW_CODE);
    EXPECT_EQ("bind k702 \"+forward\"", ControlText(Dialog, IDC_CODE_BOX));
    SelectLine(699);
    Command(IDC_DELETE_BIND);
    EXPECT_STREQ("", App.Binds.Slots[699].Text);
    EXPECT_STREQ("bind k703 \"+forward\"", App.Binds.Slots[700].Text);
}

TEST_F(BindCommands, FullListOfLiveBindsRefusesTheAdd) {
    FillBinds(MaxBinds);
    CaptureKey(VK_SPACE);
    SelectAction("Movement", "Jump");
    MessageBoxAnswerer answerer;
    Command(IDC_ADD_BIND);
    ASSERT_EQ(1u, answerer.Seen.size());
    EXPECT_EQ("Error", answerer.Seen[0].Caption);
    EXPECT_EQ("Too Many Binds, Please Delete Some!", answerer.Seen[0].Text);
    EXPECT_TRUE(answerer.Seen[0].HasOk);
    EXPECT_FALSE(answerer.Seen[0].HasYes || answerer.Seen[0].HasNo);
    EXPECT_FALSE(answerer.Seen[0].HasIcon);
    EXPECT_EQ(MaxBinds, App.Binds.BindCount);
    EXPECT_EQ(MaxBinds, Lines());
    EXPECT_STREQ("bind k1023 \"+forward\"", App.Binds.Slots[MaxBinds - 1].Text);
    EXPECT_EQ("Line 1023", Line(MaxBinds - 1));

    // One delete is enough for the next add.
    SelectLine(10);
    Command(IDC_DELETE_BIND);
    Command(IDC_ADD_BIND);
    EXPECT_EQ(1u, answerer.Seen.size());
    EXPECT_EQ(MaxBinds, App.Binds.BindCount);
    EXPECT_EQ("Space Bar -> (Movement) Jump", Line(MaxBinds - 1));
    EXPECT_STREQ("bind space \"+moveup\"", App.Binds.Slots[MaxBinds - 1].Text);
    EXPECT_STREQ("bind k11 \"+forward\"", App.Binds.Slots[10].Text);
}

// The real program in its own process, driven from outside through its windows.
class RealProgram : public ::testing::Test {
protected:
    void TearDown() override {
        if (Process.hProcess) {
            if (WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(Process.hProcess, 1);
            }
            CloseHandle(Process.hProcess);
            CloseHandle(Process.hThread);
        }
    }

    // Starts bin/corvane.exe, built next to this test program, and waits for its main window.
    HWND Start(int showCommand = SW_SHOWNORMAL) {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, sizeof path);
        std::string exe = path;
        exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "corvane.exe";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(showCommand);
        if (!CreateProcessA(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &Process)) {
            ADD_FAILURE() << "cannot start " << exe << ": error " << GetLastError();
            return nullptr;
        }
        WaitForInputIdle(Process.hProcess, 5000);
        for (int i = 0; i < 100; ++i) {
            HWND window = ProgramWindow("Corvane [v1.1]");
            if (window) return window;
            Sleep(50);
        }
        ADD_FAILURE() << "no main window";
        return nullptr;
    }

    // A visible top-level window of the started process with this caption.
    HWND ProgramWindow(const char* caption) {
        struct Search {
            DWORD ProcessId;
            const char* Caption;
            HWND Found;
        } search = {Process.dwProcessId, caption, nullptr};
        EnumWindows(
            [](HWND window, LPARAM found) -> BOOL {
                Search* s = reinterpret_cast<Search*>(found);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == s->ProcessId && IsWindowVisible(window) &&
                    WindowText(window) == s->Caption) {
                    s->Found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.Found;
    }

    void PostKey(HWND window, int virtualKey) {
        LPARAM lParam = 1 | (MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC) << 16);
        PostMessageA(window, WM_KEYDOWN, virtualKey, lParam);
        PostMessageA(window, WM_KEYUP, virtualKey, lParam | 0xC0000000);
    }
    // Pure blue (#0000FF) pixels on the screen in the 30 by 30 square at the window's top edge,
    // this far from its left edge.
    int PureBluePixels(HWND window, int fromLeft) {
        Sleep(200);
        RECT frame;
        GetWindowRect(window, &frame);
        HDC screen = GetDC(nullptr);
        int blue = 0;
        for (int y = frame.top; y < frame.top + 30; ++y) {
            for (int x = frame.left + fromLeft; x < frame.left + fromLeft + 30; ++x) {
                if (GetPixel(screen, x, y) == RGB(0, 0, 255)) ++blue;
            }
        }
        ReleaseDC(nullptr, screen);
        return blue;
    }
    bool StillRunning() { return WaitForSingleObject(Process.hProcess, 300) == WAIT_TIMEOUT; }
    DWORD ExitCode(DWORD waitMs = 5000) {
        if (WaitForSingleObject(Process.hProcess, waitMs) != WAIT_OBJECT_0) return 0xDEAD;
        DWORD code = 0xDEAD;
        GetExitCodeProcess(Process.hProcess, &code);
        return code;
    }

    PROCESS_INFORMATION Process = {};
};

TEST_F(RealProgram, StartsReadyAndQuitsWithCodeZero) {
    HWND main = Start();
    ASSERT_NE(nullptr, main);
    EXPECT_EQ("Bind Description", ControlText(main, IDC_DESCRIPTION_BOX));
    EXPECT_EQ("Enter your custom string here when required.",
              ControlText(main, IDC_CUSTOM_TEXT_BOX));
    EXPECT_EQ(0, SendDlgItemMessageA(main, IDC_BIND_LIST_BOX, LB_GETCOUNT, 0, 0));
    // Wine answers WM_GETICON from another process with 0 even for a window that has icons, so
    // the icon is looked for where the caption draws it (the small one, or the big one scaled):
    // its pure blue field.
    EXPECT_GT(PureBluePixels(main, 0), 40) << "the application icon in the caption";
    EXPECT_EQ(0, PureBluePixels(main, 100)) << "the caption itself has none";
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(Process.dwThreadId, &gui));
    EXPECT_EQ(GetDlgItem(main, IDC_ACTION_TREE), gui.hwndFocus);

    // The loop does no dialog navigation: Escape and Enter close neither window.
    PostKey(gui.hwndFocus, VK_ESCAPE);
    PostKey(gui.hwndFocus, VK_RETURN);
    PostKey(main, VK_ESCAPE);
    ASSERT_TRUE(StillRunning());
    PostMessageA(main, WM_COMMAND, IDC_ABOUT, 0);
    HWND about = nullptr;
    for (int i = 0; i < 40 && !about; ++i) {
        Sleep(50);
        about = ProgramWindow("About Corvane");
    }
    ASSERT_NE(nullptr, about);
    HWND ok = GetDlgItem(about, IDOK);
    PostKey(ok, VK_RETURN);
    PostKey(ok, VK_ESCAPE);
    ASSERT_TRUE(StillRunning());
    EXPECT_TRUE(IsWindowVisible(about)) << "Enter and Escape reach its button as plain keys";
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(StillRunning()) << "closing About ends nothing else";
    EXPECT_FALSE(IsWindowVisible(about));
    EXPECT_TRUE(IsWindowVisible(main));

    PostMessageA(main, WM_COMMAND, IDC_QUIT, 0);
    EXPECT_EQ(0u, ExitCode());
}

// The caption's close box and the system menu's Close both become Cancel, which quits.
TEST_F(RealProgram, CloseFromTheCaptionQuitsWithCodeZero) {
    struct Close {
        UINT Message;
        WPARAM WParam;
    };
    for (Close close : {Close{WM_CLOSE, 0}, Close{WM_SYSCOMMAND, SC_CLOSE}}) {
        SCOPED_TRACE(close.Message);
        HWND main = Start();
        ASSERT_NE(nullptr, main);
        PostMessageA(main, close.Message, close.WParam, 0);
        EXPECT_EQ(0u, ExitCode());
        TearDown();
        Process = {};
    }
}

TEST_F(RealProgram, StartsMinimisedWhenAskedTo) {
    HWND main = Start(SW_SHOWMINNOACTIVE);
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(IsIconic(main));
    PostMessageA(main, WM_COMMAND, IDC_QUIT, 0);
    EXPECT_EQ(0u, ExitCode());
}

}  // namespace
