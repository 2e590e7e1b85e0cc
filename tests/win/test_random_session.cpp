// A long random session on the real main dialog: keys, mouse input, the tree, the toggles, the
// custom text and the bind buttons in any order, checked after every event against a model of
// the lines and slots kept here. The seed is printed with every failure; CORVANE_SESSION_SEED
// replays a session.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "../../model/action_catalogue.h"
#include "../../model/key_names.h"
#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "ui_harness.h"

namespace {

constexpr int SessionEvents = 10000;
constexpr uint32_t DefaultSeed = 20240611;
constexpr int SlotTextLimit = BindSlotSize - 1;

constexpr char TooMany[] = "Too Many Binds, Please Delete Some!";
constexpr char TooLong[] = "Custom Text Too Long, Please Shorten It!";
constexpr char ClearQuestion[] = "Are you sure you wish to clear all binds now ?";
constexpr char InitialCustomText[] = "Enter your custom string here when required.";

uint32_t SessionSeed() {
    char text[32] = {};
    if (GetEnvironmentVariableA("CORVANE_SESSION_SEED", text, sizeof text) == 0) {
        return DefaultSeed;
    }
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
}

// One item of the action tree as the player sees it, with what binding it must produce.
struct TreeEntry {
    HTREEITEM Item;
    bool IsAction;
    std::string Category;  // the parent's text
    std::string Label;     // the item's own text
    std::string Template;
    std::string Description;
};

struct ExpectedLine {
    std::string Caption;
    std::string Command;
    int32_t Slot;
};

struct ExpectedBox {
    std::string Caption;
    std::string Text;
};

bool operator==(const ExpectedBox& a, const ExpectedBox& b) {
    return a.Caption == b.Caption && a.Text == b.Text;
}

// Each %s takes the next argument, a third one nothing; every other byte is copied.
std::string Fill(const std::string& pattern, const std::string& first, const std::string& second) {
    std::string out;
    int argument = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            if (argument == 0) out += first;
            if (argument == 1) out += second;
            ++argument;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

// --- the watchdog -------------------------------------------------------------------------------

// Releasing Alt or F10 hands the key to the default handling, which enters the dialog's menu mode
// and waits for the next key; the session queues an Escape for it. When a message box of the
// same release eats that Escape first, the menu would wait for ever: this thread timer, which
// only runs inside such modal loops, presses Escape again.
struct Watchdog {
    bool InEvent = false;
    ULONGLONG EventStart = 0;
    int Escapes = 0;      // pressed during the current event
    bool GaveUp = false;  // the event hung even after Escapes
    HWND Main = nullptr;
};

Watchdog Guard;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> ThreadWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

void PressEscape(HWND window) {
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1 | (MapVirtualKeyA(VK_ESCAPE, 0) << 16));
}

VOID CALLBACK WatchEvent(HWND, UINT, UINT_PTR, DWORD) {
    if (!Guard.InEvent) return;
    ULONGLONG running = GetTickCount64() - Guard.EventStart;
    // Far beyond any event's own time, even on a busy machine where one took over 400 ms.
    if (running < 2000) return;
    if (Guard.Escapes < 5) {
        ++Guard.Escapes;
        PressEscape(Guard.Main);
        return;
    }
    if (running > 8000 && !Guard.GaveUp) {
        // Nothing answered the Escapes: close whatever holds the thread so the test can end.
        Guard.GaveUp = true;
        EndMenu();
        for (HWND window : ThreadWindows()) {
            if (window != Guard.Main && ClassOf(window) == "#32770") {
                for (int id : {IDCANCEL, IDNO, IDOK}) PostMessageA(window, WM_COMMAND, id, 0);
            }
        }
    }
}

// --- the session --------------------------------------------------------------------------------

class RandomSession : public ::testing::Test {
protected:
    void SetUp() override {
        Seed = SessionSeed();
        Random.seed(Seed);
        Main = StartMainDialog();
        Box = App.KeyCaptureBox;
        List = App.BindListBox;
        Tree = App.ActionTree;
        MouseToggle = GetDlgItem(Main, IDC_MOUSE_TOGGLE);
        AutoBindToggle = GetDlgItem(Main, IDC_AUTO_BIND_TOGGLE);
        FillKeyNames(KeyNames);
        CollectTree(TreeView_GetRoot(Tree), nullptr);
        HTREEITEM selected = TreeView_GetSelection(Tree);
        for (size_t i = 0; i < Entries.size(); ++i) {
            if (Entries[i].Item == selected) Selected = static_cast<int>(i);
        }
        for (size_t i = 0; i < Entries.size(); ++i) {
            if (IsCustom(static_cast<int>(i))) CustomEntries.push_back(static_cast<int>(i));
        }
        Guard = Watchdog();
        Guard.Main = Main;
        Timer = SetTimer(nullptr, 0, 100, WatchEvent);
    }
    void TearDown() override {
        KillTimer(nullptr, Timer);
        Guard = Watchdog();
        CloseAllDialogs();
        MSG quit;
        while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    void CollectTree(HTREEITEM item, const TreeEntry* parent) {
        for (; item; item = TreeView_GetNextSibling(Tree, item)) {
            TreeEntry entry = {item, false, "", TreeItemText(Tree, item), "", ""};
            LPARAM data = TreeItemData(Tree, item);
            // Actions sit under a category, whose item data is its index (the root's is -1).
            HTREEITEM parentItem = TreeView_GetParent(Tree, item);
            if (parent && parentItem && TreeItemData(Tree, parentItem) != -1) {
                Action action;
                int category = static_cast<int>(TreeItemData(Tree, parentItem));
                if (FindAction(category, static_cast<int>(data), &action)) {
                    entry.IsAction = true;
                    entry.Category = parent->Label;
                    entry.Template = action.Template;
                    entry.Description = action.Description;
                }
            }
            Entries.push_back(entry);
            TreeEntry copy = entry;
            CollectTree(TreeView_GetChild(Tree, item), &copy);
        }
    }

    // The custom actions are the ones whose template takes the custom text as a second argument.
    bool IsCustom(int index) const {
        const std::string& pattern = Entries[index].Template;
        const size_t first = pattern.find("%s");
        return Entries[index].IsAction && first != std::string::npos &&
               pattern.find("%s", first + 2) != std::string::npos;
    }

    const KeyEntry& Names(int32_t code) const {
        static const KeyEntry none = {};
        return code >= 0 && code < KeyCount ? KeyNames[code] : none;
    }

    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(Random); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(Random); }

    // --- what the player does ---

    // Dispatches what is waiting, as the message loop would; a quit request is remembered.
    void Pump() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                QuitSeen = true;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

    // A key message as the keyboard sends it. System keys come with Alt held (the context bit),
    // except F10, which is a system key by itself, and F4, as Alt+F4 would close the program.
    void Key(UINT message, int code) {
        LPARAM lParam = 1 | (MapVirtualKeyA(code, MAPVK_VK_TO_VSC) << 16);
        const bool system = message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
        if (system && code != VK_F10 && code != VK_F4) lParam |= 1 << 29;
        if (message == WM_KEYUP || message == WM_SYSKEYUP) lParam |= 0xC0000000;
        SendMessageA(Box, message, code, lParam);
    }

    // The capture steps that a key-down, a button press or a wheel step runs; a release binds.
    void ExpectRecord(int32_t code) { CurrentKey = code; }
    void ExpectShow() { BoxText = Names(CurrentKey).DisplayName; }

    void ExpectAdd() {
        if (Selected < 0 || !Entries[Selected].IsAction) return;
        const TreeEntry& action = Entries[Selected];
        if (BindCount >= MaxBinds) {
            if (static_cast<int>(Lines.size()) == MaxBinds) {
                Boxes.push_back({"Error", TooMany});
                ++Stats.TooMany;
                return;
            }
            // The live binds move to the front in the order they were made.
            BindCount = static_cast<int32_t>(Lines.size());
            for (size_t i = 0; i < Lines.size(); ++i) Lines[i].Slot = static_cast<int32_t>(i);
            ++Stats.Compactions;
        }
        std::string command = Fill(action.Template, Names(CurrentKey).GameKeyName,
                                   CustomText.substr(0, CustomTextSize - 1));
        if (static_cast<int>(command.size()) > SlotTextLimit) {
            Boxes.push_back({"Error", TooLong});
            ++Stats.TooLong;
            return;
        }
        std::string caption = std::string(Names(CurrentKey).DisplayName) + " -> (" +
                              action.Category + ") " + action.Label;
        Lines.push_back({caption, command, BindCount++});
        if (static_cast<int>(Lines.size()) > Stats.MostLines) {
            Stats.MostLines = static_cast<int>(Lines.size());
        }
    }

    int RandomCode() { return Pick(256); }

    // A tap: one key pressed and released, as the player binds with "Automatically Bind" down.
    std::string KeyTapEvent() {
        const int code = RandomCode();
        SetFocus(Box);
        KeyDown(WM_KEYDOWN, code);
        KeyUp(WM_KEYUP, code);
        return "key " + std::to_string(code) + " tapped";
    }

    std::string KeyEvent() {
        const bool system = Chance(0.3);
        const UINT down = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
        const UINT up = system ? WM_SYSKEYUP : WM_KEYUP;
        const int code = RandomCode();
        // Mostly whole presses; sometimes a lone press or release, as with chords.
        const int shape = Pick(10);
        std::string name = std::string(system ? "system " : "") + "key " + std::to_string(code);
        SetFocus(Box);
        if (shape < 8) {
            KeyDown(down, code);
            KeyUp(up, code);
            return name + " pressed and released";
        }
        if (shape == 8) {
            KeyDown(down, code);
            return name + " pressed";
        }
        KeyUp(up, code);
        return name + " released";
    }

    void KeyDown(UINT message, int code) {
        Key(message, code);
        ExpectRecord(code);
        // The edit control's own editing keys change the text until the release shows the key.
        if ((message == WM_KEYDOWN && code == VK_DELETE) ||
            (message == WM_SYSKEYDOWN && code == VK_BACK)) {
            BoxTextKnown = false;
        }
    }

    void KeyUp(UINT message, int code) {
        PressEscape(Main);  // for the menu mode that releasing Alt or F10 enters
        KeyRelease = true;
        Key(message, code);
        CountUsedEscape();
        ExpectShow();
        BoxTextKnown = true;
        if (AutoBindDown) ExpectAdd();
    }

    // A queued Escape that is gone once the message returns was taken by a menu's loop.
    void CountUsedEscape() {
        MSG waiting;
        if (!PeekMessageA(&waiting, Main, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) ++Stats.MenusLeft;
    }

    bool ReadsChecked(bool down, HWND toggle, HWND focus) { return down && focus != toggle; }

    std::string MouseEvent() {
        RECT client;
        GetClientRect(Box, &client);
        const LPARAM at = MAKELPARAM(Pick(client.right > 0 ? client.right : 1),
                                     Pick(client.bottom > 0 ? client.bottom : 1));
        const HWND focus = GetFocus();
        const bool armed = ReadsChecked(MouseDown, MouseToggle, focus);
        const bool autoBind = ReadsChecked(AutoBindDown, AutoBindToggle, focus);
        const std::string state = armed ? " (Mouse down)" : "";
        auto capture = [&](int32_t code) {
            if (!armed) return;
            ExpectRecord(code);
            ExpectShow();
            BoxTextKnown = true;
            MouseDown = false;
            if (autoBind) ExpectAdd();
        };
        switch (Pick(5)) {
            case 0:
                SendMessageA(Box, WM_LBUTTONDOWN, MK_LBUTTON, at);
                capture(KeyLeftMouse);
                SendMessageA(Box, WM_LBUTTONUP, 0, at);
                return "left button" + state;
            case 1:
                SendMessageA(Box, WM_RBUTTONDOWN, MK_RBUTTON, at);
                capture(KeyRightMouse);
                PressEscape(Main);  // the release opens the edit control's context menu
                SendMessageA(Box, WM_RBUTTONUP, 0, at);
                CountUsedEscape();
                return "right button" + state;
            case 2:
                SendMessageA(Box, WM_MBUTTONDOWN, MK_MBUTTON, at);
                capture(KeyMiddleMouse);
                SendMessageA(Box, WM_MBUTTONUP, 0, at);
                return "middle button" + state;
            case 3: {
                const WORD button = Chance(0.5) ? XBUTTON1 : XBUTTON2;
                SendMessageA(Box, WM_XBUTTONDOWN,
                             MAKEWPARAM(button == XBUTTON1 ? MK_XBUTTON1 : MK_XBUTTON2, button),
                             at);
                SendMessageA(Box, WM_XBUTTONUP, MAKEWPARAM(0, button), at);
                return "extra button" + state;
            }
            default: {
                short delta;
                switch (Pick(4)) {
                    case 0:
                        delta = 0;
                        break;
                    case 1:
                        delta = WHEEL_DELTA;
                        break;
                    case 2:
                        delta = -WHEEL_DELTA;
                        break;
                    default:
                        delta = static_cast<short>(Pick(65536) - 32768);
                        break;
                }
                SendMessageA(Box, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), at);
                if (armed) {
                    if (delta != 0) {
                        ExpectRecord(delta > 0 ? KeyWheelUp : KeyWheelDown);
                        ExpectShow();
                        BoxTextKnown = true;
                        if (autoBind) ExpectAdd();
                    }
                    MouseDown = false;
                }
                return "wheel " + std::to_string(delta) + state;
            }
        }
    }

    std::string ToggleEvent(bool mouse) {
        if (mouse) {
            Click(MouseToggle);
            MouseDown = !MouseDown;
            return std::string("Mouse clicked ") + (MouseDown ? "down" : "up");
        }
        Click(AutoBindToggle);
        AutoBindDown = !AutoBindDown;
        return std::string("Automatically Bind clicked ") + (AutoBindDown ? "down" : "up");
    }

    // Custom actions are few among the items; they are picked more often so that long custom
    // texts meet them.
    // A burst picks an action without custom text, whose adds cannot be refused for length.
    std::string TreeEvent(bool plainAction = false) {
        int index;
        if (!plainAction && !CustomEntries.empty() && Chance(0.25)) {
            index = CustomEntries[Pick(static_cast<int>(CustomEntries.size()))];
        } else {
            do {
                index = Pick(static_cast<int>(Entries.size()));
            } while (plainAction && (!Entries[index].IsAction || IsCustom(index)));
        }
        const TreeEntry& entry = Entries[index];
        TreeView_SelectItem(Tree, entry.Item);
        Selected = index;
        RECT item;
        RECT client;
        GetClientRect(Tree, &client);
        POINT at = {client.right / 2, client.bottom / 2};
        if (TreeView_GetItemRect(Tree, entry.Item, &item, TRUE) && item.top >= 0 &&
            item.bottom <= client.bottom) {
            at = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
        }
        SendMessageA(Tree, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        Description = entry.IsAction ? entry.Description : "Bind Description";
        CheckFocusOnBox = entry.IsAction;
        return "release over \"" + entry.Label + "\"";
    }

    std::string CustomTextEvent() {
        int length;
        switch (Pick(3)) {
            case 0:
                length = Pick(401);
                break;
            case 1:
                length = Pick(61);
                break;
            default:
                length = 230 + Pick(31);  // around the slot's limit
                break;
        }
        std::string text;
        for (int i = 0; i < length; ++i) text += static_cast<char>(0x20 + Pick(0x7F - 0x20));
        SetDlgItemTextA(Main, IDC_CUSTOM_TEXT_BOX, text.c_str());
        CustomText = text;
        return "custom text of " + std::to_string(length) + " characters";
    }

    std::string AddEvent() {
        Click(GetDlgItem(Main, IDC_ADD_BIND));
        ExpectAdd();
        return "Add Bind";
    }

    int SelectRandomLine(bool withLine) {
        int line = withLine && !Lines.empty() ? Pick(static_cast<int>(Lines.size())) : -1;
        SendMessageA(List, LB_SETCURSEL, line, 0);
        return line;
    }

    std::string DeleteEvent(bool withLine) {
        int line = SelectRandomLine(withLine);
        Click(GetDlgItem(Main, IDC_DELETE_BIND));
        if (line >= 0) Lines.erase(Lines.begin() + line);
        return "Delete Key Bind on line " + std::to_string(line);
    }

    std::string ShowCodeEvent(bool withLine) {
        int line = SelectRandomLine(withLine);
        Click(GetDlgItem(Main, IDC_SHOW_CODE));
        if (line >= 0) Code = Lines[line].Command;
        return "Show Code on line " + std::to_string(line);
    }

    std::string ClearEvent(MessageBoxAnswerer& answerer) {
        const bool yes = Chance(0.5);
        answerer.Queue(yes ? IDYES : IDNO);
        Boxes.push_back({"Question.", ClearQuestion});
        Click(GetDlgItem(Main, IDC_CLEAR_CONFIG));
        if (yes) {
            Lines.clear();
            BindCount = 0;
            ++Stats.Clears;
        }
        return std::string("Clear Config answered ") + (yes ? "Yes" : "No");
    }

    // --- what must hold after every event ---

    std::string ListText(int line) {
        char text[BindCaptionSize + 1] = {};
        LRESULT length = SendMessageA(List, LB_GETTEXTLEN, line, 0);
        if (length < 0 || length > BindCaptionSize)
            return "<length " + std::to_string(length) + ">";
        SendMessageA(List, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // The first disagreement between the dialog and the model, or "".
    std::string Disagreement() {
        char buffer[600];
        if (App.Binds.BindCount != BindCount) {
            return "BindCount " + std::to_string(App.Binds.BindCount) + ", expected " +
                   std::to_string(BindCount);
        }
        const LRESULT count = SendMessageA(List, LB_GETCOUNT, 0, 0);
        if (count != static_cast<LRESULT>(Lines.size())) {
            return "list has " + std::to_string(count) + " lines, expected " +
                   std::to_string(Lines.size());
        }
        std::vector<int> holder(MaxBinds, -1);
        for (int line = 0; line < static_cast<int>(count); ++line) {
            const ExpectedLine& expected = Lines[line];
            const LRESULT slot = SendMessageA(List, LB_GETITEMDATA, line, 0);
            if (slot < 0 || slot >= BindCount) {
                return "line " + std::to_string(line) + " carries slot " + std::to_string(slot) +
                       " outside 0.." + std::to_string(BindCount - 1);
            }
            if (holder[slot] >= 0) {
                return "lines " + std::to_string(holder[slot]) + " and " + std::to_string(line) +
                       " both carry slot " + std::to_string(slot);
            }
            holder[slot] = line;
            if (slot != expected.Slot) {
                return "line " + std::to_string(line) + " carries slot " + std::to_string(slot) +
                       ", expected " + std::to_string(expected.Slot);
            }
            const char* text = App.Binds.Slots[slot].Text;
            if (text[0] == '\0' || expected.Command != text) {
                std::snprintf(buffer, sizeof buffer,
                              "slot %d of line %d holds \"%s\", expected \"%s\"",
                              static_cast<int>(slot), line, Printable(text).c_str(),
                              Printable(expected.Command).c_str());
                return buffer;
            }
            const std::string caption = ListText(line);
            if (caption != expected.Caption) {
                return "line " + std::to_string(line) + " reads \"" + caption + "\", expected \"" +
                       expected.Caption + "\"";
            }
        }
        for (int slot = 0; slot < MaxBinds; ++slot) {
            const bool empty = App.Binds.Slots[slot].Text[0] == '\0';
            if (slot >= BindCount && !empty) {
                return "slot " + std::to_string(slot) + " at or above BindCount holds \"" +
                       Printable(App.Binds.Slots[slot].Text) + "\"";
            }
            if (slot < BindCount && !empty && holder[slot] < 0) {
                return "slot " + std::to_string(slot) + " holds \"" +
                       Printable(App.Binds.Slots[slot].Text) + "\" but no line carries it";
            }
        }
        if (App.Binds.CurrentKey != CurrentKey) {
            return "CurrentKey " + std::to_string(App.Binds.CurrentKey) + ", expected " +
                   std::to_string(CurrentKey);
        }
        if (BoxTextKnown && WindowText(Box) != BoxText) {
            return "key capture box shows \"" + WindowText(Box) + "\", expected \"" + BoxText +
                   "\"";
        }
        const std::string code = ControlText(Main, IDC_CODE_BOX);
        if (code != Code) {
            return "Code Box shows \"" + Printable(code) + "\", expected \"" + Printable(Code) +
                   "\"";
        }
        const std::string description = ControlText(Main, IDC_DESCRIPTION_BOX);
        if (description != Description) {
            return "Description Box shows \"" + description + "\", expected \"" + Description +
                   "\"";
        }
        char custom[1024] = {};
        GetDlgItemTextA(Main, IDC_CUSTOM_TEXT_BOX, custom, sizeof custom);
        if (CustomText != custom)
            return "the custom text changed to \"" + std::string(custom) + "\"";
        const bool mouseChecked = SendMessageA(MouseToggle, BM_GETSTATE, 0, 0) & BST_CHECKED;
        if (mouseChecked != MouseDown) {
            return std::string("Mouse is ") + (mouseChecked ? "down" : "up") + ", expected " +
                   (MouseDown ? "down" : "up");
        }
        const bool autoChecked = SendMessageA(AutoBindToggle, BM_GETSTATE, 0, 0) & BST_CHECKED;
        if (autoChecked != AutoBindDown) {
            return std::string("Automatically Bind is ") + (autoChecked ? "down" : "up") +
                   ", expected " + (AutoBindDown ? "down" : "up");
        }
        if (CheckFocusOnBox && GetFocus() != Box) {
            return "the release over an action left the focus on a " + ClassOf(GetFocus());
        }
        if (Selected >= 0 && TreeView_GetSelection(Tree) != Entries[Selected].Item) {
            return "the tree selection moved";
        }
        for (HWND window : ThreadWindows()) {
            if (window == Main || !IsWindowVisible(window)) continue;
            const std::string kind = ClassOf(window);
            if (kind == "#32770" || kind == "#32768") {
                return "a " + kind + " window \"" + WindowText(window) + "\" is still open";
            }
        }
        if (QuitSeen) return "the program asked to quit";
        return "";
    }

    std::string BoxesDisagreement(MessageBoxAnswerer& answerer) {
        std::vector<ExpectedBox> seen;
        for (const SeenMessageBox& box : answerer.Seen) seen.push_back({box.Caption, box.Text});
        std::string result;
        if (!(seen == Boxes)) {
            result = "message boxes seen:";
            for (const ExpectedBox& box : seen)
                result += " [" + box.Caption + ": " + box.Text + "]";
            result += "; expected:";
            for (const ExpectedBox& box : Boxes)
                result += " [" + box.Caption + ": " + box.Text + "]";
        } else if (!answerer.Answers.empty()) {
            result = "a queued answer was not used";
        }
        answerer.Seen.clear();
        answerer.Answers.clear();
        Boxes.clear();
        return result;
    }

    std::mt19937 Random;
    uint32_t Seed = 0;
    HWND Main = nullptr, Box = nullptr, List = nullptr, Tree = nullptr;
    HWND MouseToggle = nullptr, AutoBindToggle = nullptr;
    UINT_PTR Timer = 0;
    KeyEntry KeyNames[KeyCount] = {};
    std::vector<TreeEntry> Entries;
    std::vector<int> CustomEntries;

    // The model.
    std::vector<ExpectedLine> Lines;
    int32_t BindCount = 0;
    int32_t CurrentKey = 0;
    int Selected = -1;
    bool MouseDown = false, AutoBindDown = false;
    std::string CustomText = InitialCustomText;
    std::string Code;
    std::string Description = "Bind Description";
    std::string BoxText;
    bool BoxTextKnown = true;
    std::vector<ExpectedBox> Boxes;

    // Per event.
    bool CheckFocusOnBox = false;
    bool KeyRelease = false;
    bool QuitSeen = false;

    struct {
        int TooMany = 0, TooLong = 0, Compactions = 0, Clears = 0, MostLines = 0, Escapes = 0,
            MenusLeft = 0;
    } Stats;
};

TEST_F(RandomSession, TenThousandEventsKeepListSlotsAndBoxesInStep) {
    MessageBoxAnswerer answerer;
    std::deque<std::string> recent;
    int burst = 0;  // events left in the current burst
    bool burstFilled = false;
    int bursts = 0;
    const auto started = std::chrono::steady_clock::now();

    for (int event = 0; event < SessionEvents; ++event) {
        CheckFocusOnBox = false;
        KeyRelease = false;
        Guard.Escapes = 0;
        Guard.EventStart = GetTickCount64();
        Guard.InEvent = true;

        std::string what;
        // Bursts of adds fill the list to its limit now and then: one at least in every session.
        if (burst == 0 &&
            ((bursts < 3 && Chance(1.0 / 2500)) || (bursts == 0 && event == SessionEvents / 3))) {
            burst = 3000;  // ends two events after the first refusal; the cap only bounds it
            burstFilled = false;
            ++bursts;
            what = "burst: " + TreeEvent(true);
        } else if (burst > 0) {
            --burst;
            const int tooManyBefore = Stats.TooMany;
            // Different keys, now and then another action, and a few deletes, so that lines and
            // slots differ and the limit is reached with emptied slots to compact.
            const int step = Pick(50);
            if (step < 2) {
                what = "burst: " + TreeEvent(true);
            } else if (step < 3) {
                what = "burst: " + DeleteEvent(true);
            } else if (step < 25 && !AutoBindDown) {
                what = "burst: " + ToggleEvent(false);
            } else if (step < 25) {
                what = "burst: " + KeyTapEvent();
            } else {
                what = "burst: " + AddEvent();
            }
            if (Stats.TooMany > tooManyBefore && !burstFilled) {
                burst = 2;  // a couple more refused adds, then back to the mix
                burstFilled = true;
            }
        } else {
            const int roll = Pick(1000);
            if (roll < 290) {
                what = KeyEvent();
            } else if (roll < 440) {
                what = MouseEvent();
            } else if (roll < 465) {
                what = ToggleEvent(true);
            } else if (roll < 485) {
                what = ToggleEvent(false);
            } else if (roll < 545) {
                what = TreeEvent();
            } else if (roll < 595) {
                what = CustomTextEvent();
            } else if (roll < 840) {
                what = AddEvent();
            } else if (roll < 910) {
                what = DeleteEvent(true);
            } else if (roll < 925) {
                what = DeleteEvent(false);
            } else if (roll < 965) {
                what = ShowCodeEvent(true);
            } else if (roll < 975) {
                what = ShowCodeEvent(false);
            } else if (roll < 985) {
                what = ClearEvent(answerer);
            } else {
                what = KeyEvent();
            }
        }
        Pump();
        Guard.InEvent = false;
        Stats.Escapes += Guard.Escapes;

        recent.push_back(std::to_string(event) + ": " + what);
        if (recent.size() > 12) recent.pop_front();

        std::string problem = BoxesDisagreement(answerer);
        if (problem.empty()) problem = Disagreement();
        // Only a release can enter the menu mode that the watchdog's Escape leaves.
        if (problem.empty() && Guard.Escapes > 0 && !KeyRelease) {
            problem = "the event hung until Escape was pressed " + std::to_string(Guard.Escapes) +
                      " times";
        }
        if (problem.empty() && Guard.GaveUp) problem = "the event hung";
        if (!problem.empty()) {
            std::string history;
            for (const std::string& line : recent) history += "\n  " + line;
            ADD_FAILURE() << "seed " << Seed << " (CORVANE_SESSION_SEED), event " << event << ": "
                          << problem << "\nlast events:" << history;
            break;
        }
    }

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "seed %u: %d bursts, %d clears, most lines %d, %d Too Many, %d Too Long, %d compactions, "
        "%d menus left with Escape, %d watchdog escapes, %.1f s\n",
        Seed, bursts, Stats.Clears, Stats.MostLines, Stats.TooMany, Stats.TooLong,
        Stats.Compactions, Stats.MenusLeft, Stats.Escapes, seconds);
    // The session must have reached the limit and gone past it by compacting.
    EXPECT_GT(Stats.TooMany, 0) << "seed " << Seed;
    EXPECT_GT(Stats.Compactions, 0) << "seed " << Seed;
    EXPECT_GT(Stats.TooLong, 0) << "seed " << Seed;
}

}  // namespace
