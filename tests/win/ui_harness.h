// Drives the real dialogs from the real resources, the way the program starts them, and answers
// the message boxes they open.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <string>
#include <vector>

// Creates the main dialog exactly as start-up does (dialog, tree, show, focus, App, icons), with
// App reset to zeros first. Everything but the message loop.
HWND StartMainDialog();
// Destroys the main dialog and every other top-level window of the thread, and resets App.
void CloseAllDialogs();
// Dispatches everything that is waiting in the thread's queue.
void FlushEvents();
// Top-level visible windows of this thread with the given caption, newest first.
std::vector<HWND> VisibleDialogs(const char* caption);
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);
// UTF-8 and back, for texts that hold names in any script.
std::string Utf8(const std::wstring& wide);
std::wstring Widened(const std::string& utf8);

// The action tree of the started main dialog, found by the texts the user sees: the root with no
// category, a category item, or an action item under its category. Null when absent.
HTREEITEM FindTreeItem(const char* category = nullptr, const char* action = nullptr);
std::string TreeItemText(HWND tree, HTREEITEM item);
LPARAM TreeItemData(HWND tree, HTREEITEM item);
// A key message as the keyboard sends it: repeat count 1, the key's scan code, and the previous
// state and transition bits set for a release.
LRESULT SendKey(HWND window, UINT message, int virtualKey);

struct SeenMessageBox {
    std::string Caption;
    std::string Text;  // UTF-8, read as the wide text it is
    bool HasOk, HasYes, HasNo;
    bool HasIcon;
    int Answer;  // the button that was pressed
};

// While one exists, every message box the thread opens is recorded and answered at once: with
// the next queued answer, or with its first button when none is queued.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    void Queue(int answer) { Answers.push_back(answer); }
    std::vector<SeenMessageBox> Seen;
    std::deque<int> Answers;

private:
    HHOOK Hook;
};
