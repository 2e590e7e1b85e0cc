// What the tests that write config files through the write options dialog share: the texts the
// dialogs show, the header every write starts with, files by wide names (so that paths past
// MAX_PATH work too), and a driver for the system's save dialog.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "../../ui/write_options.h"
#include "ui_harness.h"

constexpr char WriteOptionsCaption[] = "Config File Write Options";
constexpr char CompletionCaption[] = "Dialog";

// The error boxes' texts; the first two are followed by a blank line and the path.
constexpr char CannotOpenText[] = "The config file could not be opened for writing:";
constexpr char CannotWriteText[] = "The config file could not be written completely:";
// After the path of a write that failed part-way, what became of the file.
constexpr char LeftAsItWasText[] = "The file has been left as it was.";
constexpr char PartlyWrittenText[] = "The file may now hold part of the new text.";
// Why, after the path and what became of the file: the writer's own sentences, or "#5" for the
// system's text for code 5 followed by the code in brackets.
constexpr char DeviceReason[] =
    "This name belongs to a device, not to a file. Choose another name.";
constexpr char LongNameReason[] = "This name is too long for the disk. Choose a shorter name.";
constexpr char ReadOnlyReason[] =
    "The file is read-only. Untick Read-only in its Properties, or choose another name.";
constexpr char HeldReason[] =
    "Another program has the file open. Close that program, then write again.";
constexpr char DiskFullReason[] = "The disk is full. Free some space, then write again.";
// "\n\n" and the reason; empty for none.
std::string ReasonText(const char* reason);
constexpr char PathTooLongText[] =
    "The chosen file name is too long. Please choose a shorter path for the config file.";

// Every write starts with this, up to the first bind.
constexpr char WrittenHeader[] =
    "//This Config has been created by Corvane\r\n"
    "//Mail: corvane@example.org \r\n"
    "\r\n"
    "\r\n"
    "//General Implementations\r\n"
    "setA weapmodes \"01000110220000\"\r\n"
    "\r\n"
    "//Config Binds\r\n"
    "\r\n";

// --- files ------------------------------------------------------------------------------------

// Paths are UTF-8. The \\?\ form of an absolute path.
std::wstring WidePath(const std::string& path);
bool PathExists(const std::string& path);
// False when the file cannot be read.
bool ReadFileBytes(const std::string& path, std::string* bytes);
// Empty when the file cannot be read.
std::string FileBytes(const std::string& path);
// Creates or replaces the file; false unless every byte was written.
bool PutFileBytes(const std::string& path, const std::string& bytes);
std::vector<std::string> FolderEntries(const std::string& folder);
// Every name in the folder with its bytes; a file named filler, which takes up a disk, by its
// size only.
std::map<std::string, std::string> FolderContents(const std::string& folder);
// Removes the folder with everything in it, read-only files too.
void RemoveTree(const std::string& folder);
// A new folder under the temp folder, named after the prefix, the process and a count.
std::string MakeTempFolder(const char* prefix);

// --- the dialogs ------------------------------------------------------------------------------

// The windows of after that are not in before.
std::vector<HWND> AddedWindows(const std::vector<HWND>& before, const std::vector<HWND>& after);
// Clicks the button and lets everything it set off run.
void ClickButton(HWND dialog, int id);
// Posts the button's press, for a dialog that runs its own loop.
void PostButtonPress(HWND dialog, int id);
// Presses "Write Config File" in the main dialog and returns the one write options dialog it
// opened; null, with a failure, when it opened none or more.
HWND OpenWriteOptionsDialog(HWND main);
// Clicks a button of the write options dialog and returns the completion dialogs it opened.
std::vector<HWND> PressForCompletions(HWND options, int button);
// The #32770 windows of this thread, hidden ones included, and the visible ones only.
std::vector<HWND> ThreadDialogs();
std::vector<HWND> VisibleThreadDialogs();
// The file dialog is told apart by its file name box: Wine's explorer dialog names it cmb13 (a
// combo box with an edit inside), older templates edt1.
bool IsFileDialog(HWND window);

// --- the system's save dialog -----------------------------------------------------------------

// Drives the save dialog that the main dialog owns from a thread timer: the dialog runs its own
// loop inside the button handler, and that loop dispatches the timer. It types the path into the
// name box and presses Save; a dialog still open well after that has refused the name and is
// cancelled.
struct SaveDialogDriver {
    std::string Typed;          // UTF-8; empty: cancel the dialog
    int GiveUpAfterTicks = 40;  // ticks of 50 ms after the answer
    // Records and closes any message box meanwhile, for a test that runs no MessageBoxAnswerer.
    bool CloseMessageBoxes = false;

    bool Seen = false;
    std::string Title;
    std::string NameBoxText;  // what the name box held after typing
    bool TypedIntoNameBox = false;
    int TicksSinceSeen = 0;
    bool GaveUp = false;
    std::vector<std::string> OtherBoxes;  // captions of the message boxes closed
};

// Runs the driver while it exists.
class SaveDialogTimer {
public:
    explicit SaveDialogTimer(SaveDialogDriver* driver);
    ~SaveDialogTimer();
    SaveDialogTimer(const SaveDialogTimer&) = delete;
    SaveDialogTimer& operator=(const SaveDialogTimer&) = delete;

private:
    UINT_PTR Timer;
};

// --- writes that fail -------------------------------------------------------------------------

// The main dialog with one bind (Jump on the space bar, made as the player makes it) and a
// folder of the test's own.
class WriteFaults : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void AddOneBind();

    struct Outcome {
        std::vector<SeenMessageBox> Boxes;
        std::vector<HWND> Completions;
        SaveDialogDriver Driver;
        bool OptionsClosed = false;
    };

    // "Write Config File", then the given button of the write options dialog, with the path
    // typed into the save dialog.
    Outcome Write(int button, const std::string& typed);

    HWND Main = nullptr;
    std::string Folder;
    char StartFolder[MAX_PATH] = {};
};

// A save dialog's stand-in that chooses HandedPath.
extern std::string HandedPath;
SavePathAnswer HandOver(HWND owner, wchar_t* path);

// Whether this run's file layer takes the way it takes on Windows, though it runs under Wine.
bool TakesWindowsWay();
