// The write options dialog as the player reaches it from the main dialog, the bytes its two write
// buttons leave in the file, the failures it reports, and one run through the system's own save
// dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "../../ui/write_options.h"
#include "ui_harness.h"

namespace {

constexpr char WriteOptionsCaption[] = "Config File Write Options";
constexpr char CompletionCaption[] = "Dialog";

// What one write of the binds made in AddBindsLikeAPlayer puts into the file.
const std::string WrittenBlock =
    "//This Config has been created by Corvane\r\n"
    "//Mail: corvane@example.org \r\n"
    "\r\n"
    "\r\n"
    "//General Implementations\r\n"
    "setA weapmodes \"01000110220000\"\r\n"
    "\r\n"
    "//Config Binds\r\n"
    "\r\n"
    "bind w \"+forward\"\r\n"
    "\r\n"  // the deleted Jump bind keeps its slot
    "seta r_demo_1 \"set r_demo vstr r_demo_2;g_synchronousClients 1;record;g_synchronousClients "
    "0\"\r\n"
    "seta r_demo_2 \"set r_demo vstr r_demo_1;stoprecord\"\r\n"
    "set r_demo vstr r_demo_1\r\n"
    "bind f5 \"vstr r_demo\"\r\n"
    "bind mouse2 \"+button5\"\r\n";
// 375 characters as the game counts them: 375 * 100 / 11100.
constexpr char WrittenPercent[] = "3%\n";

// --- files --------------------------------------------------------------------------------------

std::string MakeTempFolder() {
    static int made = 0;
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    std::string folder = std::string(base) + "corvane_write_" +
                         std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++made);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void RemoveFolder(const std::string& folder) {
    for (const std::string& name : FolderEntries(folder)) {
        std::string path = folder + "\\" + name;
        if (!DeleteFileA(path.c_str())) RemoveFolder(path);
    }
    RemoveDirectoryA(folder.c_str());
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FileBytes(const std::string& path) {
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

void PutFileBytes(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// --- the save dialog seam -----------------------------------------------------------------------

struct SeamRecord {
    int Calls = 0;
    HWND Owner = nullptr;
    bool PathEmptyOnEntry = false;
};

SeamRecord Seam;
SavePathAnswer SeamAnswer = SavePathChosen;
std::string SeamPath;

SavePathAnswer AnswerLikeThePlayer(HWND owner, char* path) {
    ++Seam.Calls;
    Seam.Owner = owner;
    Seam.PathEmptyOnEntry = path[0] == '\0';
    if (SeamAnswer == SavePathChosen) lstrcpynA(path, SeamPath.c_str(), FileNameBufferSize);
    return SeamAnswer;
}

// --- the dialogs --------------------------------------------------------------------------------

void Click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    FlushEvents();
}

std::vector<HWND> Added(const std::vector<HWND>& before, const std::vector<HWND>& after) {
    std::vector<HWND> added;
    for (HWND window : after) {
        if (std::find(before.begin(), before.end(), window) == before.end()) {
            added.push_back(window);
        }
    }
    return added;
}

HTREEITEM ChildWithData(HWND tree, HTREEITEM parent, LPARAM data) {
    for (HTREEITEM item = TreeView_GetChild(tree, parent); item;
         item = TreeView_GetNextSibling(tree, item)) {
        TVITEMA read = {};
        read.mask = TVIF_PARAM;
        read.hItem = item;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
        if (read.lParam == data) return item;
    }
    return nullptr;
}

// Selects the action in the tree, takes the key as the capture box would, and presses "Add Bind".
void AddBindLikeAPlayer(HWND main, int category, int slot, int32_t key) {
    HWND tree = App.ActionTree;
    HTREEITEM categoryItem = ChildWithData(tree, TreeView_GetRoot(tree), category);
    ASSERT_NE(nullptr, categoryItem) << "category " << category;
    HTREEITEM action = ChildWithData(tree, categoryItem, slot);
    ASSERT_NE(nullptr, action) << "action " << category << "," << slot;
    TreeView_SelectItem(tree, action);
    App.Binds.RecordKey(key);
    Click(main, IDC_ADD_BIND);
}

// Forward on W, Jump on Space (then deleted), Auto Demo Script on F5, Reload on the right button.
void AddBindsLikeAPlayer(HWND main) {
    AddBindLikeAPlayer(main, 0, 0, 'W');
    AddBindLikeAPlayer(main, 0, 4, VK_SPACE);
    AddBindLikeAPlayer(main, 4, 0, VK_F5);
    AddBindLikeAPlayer(main, 1, 1, 2);
    ASSERT_EQ(4, App.Binds.BindCount);
    SendMessageA(App.BindListBox, LB_SETCURSEL, 1, 0);
    Click(main, IDC_DELETE_BIND);
    ASSERT_EQ(3, SendMessageA(App.BindListBox, LB_GETCOUNT, 0, 0));
    ASSERT_STREQ("", App.Binds.Slots[1].Text);
}

class WriteOptions : public ::testing::Test {
protected:
    void SetUp() override {
        Main = StartMainDialog();
        Seam = SeamRecord();
        SeamAnswer = SavePathChosen;
        SeamPath.clear();
        RealPrompt = AskSavePath;
        AskSavePath = AnswerLikeThePlayer;
        Folder = MakeTempFolder();
    }
    void TearDown() override {
        CloseAllDialogs();
        AskSavePath = RealPrompt;
        RemoveFolder(Folder);
    }

    // Presses "Write Config File" and returns the write options dialog it opened.
    HWND OpenWriteOptions() {
        std::vector<HWND> before = VisibleDialogs(WriteOptionsCaption);
        Click(Main, IDC_WRITE_CONFIG);
        std::vector<HWND> opened = Added(before, VisibleDialogs(WriteOptionsCaption));
        EXPECT_EQ(1u, opened.size());
        if (opened.size() != 1) return nullptr;
        EXPECT_EQ(Main, GetWindow(opened[0], GW_OWNER));
        return opened[0];
    }

    // Presses one of the dialog's buttons and returns the completion dialogs the press opened.
    std::vector<HWND> Press(HWND options, int button) {
        std::vector<HWND> before = VisibleDialogs(CompletionCaption);
        Click(options, button);
        return Added(before, VisibleDialogs(CompletionCaption));
    }

    std::string InFolder(const char* name) const { return Folder + "\\" + name; }

    HWND Main = nullptr;
    SavePathPrompt RealPrompt = nullptr;
    std::string Folder;
};

// --- the three buttons --------------------------------------------------------------------------

struct ButtonCase {
    const char* Name;
    int Button;
    SavePathAnswer Answer;  // what the save dialog gives back
    const char* Before;     // the file's content before the press; nullptr: no such file
    const char* Kept;       // the content that must stay ahead of a written block; nullptr: no file
    bool Writes;            // one block written, one completion dialog
};

const ButtonCase ButtonCases[] = {
    {"new config on a new name", IDC_WRITE_NEW_CONFIG, SavePathChosen, nullptr, "", true},
    {"new config replaces a file", IDC_WRITE_NEW_CONFIG, SavePathChosen, "bind x \"kill\"\r\n", "",
     true},
    {"add to a new name creates it", IDC_ADD_TO_CONFIG, SavePathChosen, nullptr, "", true},
    {"add after a final line break", IDC_ADD_TO_CONFIG, SavePathChosen, "bind x \"kill\"\r\n",
     "bind x \"kill\"\r\n", true},
    {"add after a last line without a break", IDC_ADD_TO_CONFIG, SavePathChosen, "bind x \"kill\"",
     "bind x \"kill\"\r\n", true},
    {"add to an empty file", IDC_ADD_TO_CONFIG, SavePathChosen, "", "", true},
    {"add after a block written before", IDC_ADD_TO_CONFIG, SavePathChosen, WrittenBlock.c_str(),
     WrittenBlock.c_str(), true},
    {"cancel leaves a file alone", IDC_WRITE_CANCEL, SavePathChosen, "keep\r\n", "keep\r\n", false},
    {"cancel creates nothing", IDC_WRITE_CANCEL, SavePathChosen, nullptr, nullptr, false},
    {"new config, save dialog cancelled", IDC_WRITE_NEW_CONFIG, SaveCancelled, nullptr, nullptr,
     false},
    {"new config, save dialog cancelled, file kept", IDC_WRITE_NEW_CONFIG, SaveCancelled, "keep",
     "keep", false},
    {"add, save dialog cancelled", IDC_ADD_TO_CONFIG, SaveCancelled, nullptr, nullptr, false},
    {"add, save dialog cancelled, file kept", IDC_ADD_TO_CONFIG, SaveCancelled, "keep", "keep",
     false},
};

TEST_F(WriteOptions, EachButtonWritesOrNotAndEndsTheDialog) {
    AddBindsLikeAPlayer(Main);
    for (const ButtonCase& test : ButtonCases) {
        SCOPED_TRACE(test.Name);
        const std::string path = InFolder("binds.cfg");
        DeleteFileA(path.c_str());
        if (test.Before) PutFileBytes(path, test.Before);
        Seam = SeamRecord();
        SeamAnswer = test.Answer;
        SeamPath = path;

        HWND options = OpenWriteOptions();
        ASSERT_NE(nullptr, options);
        MessageBoxAnswerer answerer;
        std::vector<HWND> completions = Press(options, test.Button);

        EXPECT_FALSE(IsWindowVisible(options)) << "the write options dialog stayed open";
        EXPECT_TRUE(IsWindowVisible(Main));
        EXPECT_EQ(0u, answerer.Seen.size());
        EXPECT_EQ(test.Button == IDC_WRITE_CANCEL ? 0 : 1, Seam.Calls);
        if (Seam.Calls) {
            EXPECT_EQ(Main, Seam.Owner);
            EXPECT_TRUE(Seam.PathEmptyOnEntry) << "the save dialog must not propose a name";
        }
        if (test.Kept) {
            ASSERT_TRUE(FileExists(path));
            EXPECT_EQ(std::string(test.Kept) + (test.Writes ? WrittenBlock : ""), FileBytes(path));
        } else {
            EXPECT_FALSE(FileExists(path));
        }
        EXPECT_EQ(std::vector<std::string>(FileExists(path) ? 1 : 0, "binds.cfg"),
                  FolderEntries(Folder));
        ASSERT_EQ(test.Writes ? 1u : 0u, completions.size());
        if (test.Writes) {
            EXPECT_EQ(Main, GetWindow(completions[0], GW_OWNER));
            EXPECT_EQ(WrittenPercent, ControlText(completions[0], IDC_GAUGE_PERCENT));
        }
        // The bind list is only read.
        EXPECT_EQ(4, App.Binds.BindCount);
        EXPECT_EQ(3, SendMessageA(App.BindListBox, LB_GETCOUNT, 0, 0));
    }
}

TEST_F(WriteOptions, NoBindsWritesHeaderAndGeneralSectionOnly) {
    const std::string path = InFolder("empty.cfg");
    SeamPath = path;
    HWND options = OpenWriteOptions();
    ASSERT_NE(nullptr, options);
    std::vector<HWND> completions = Press(options, IDC_WRITE_NEW_CONFIG);
    EXPECT_EQ(WrittenBlock.substr(0, WrittenBlock.find("bind w")), FileBytes(path));
    ASSERT_EQ(1u, completions.size());
    // 144 characters: 1 percent.
    EXPECT_EQ("1%\n", ControlText(completions[0], IDC_GAUGE_PERCENT));
}

TEST_F(WriteOptions, AddToConfigJudgesOnlyThisWrite) {
    AddBindsLikeAPlayer(Main);
    const std::string path = InFolder("long.cfg");
    // Twice the game's limit already in the file.
    std::string earlier;
    while (earlier.size() < 22200) earlier += "bind x \"say this line only fills the file\"\r\n";
    PutFileBytes(path, earlier);
    SeamPath = path;
    HWND options = OpenWriteOptions();
    ASSERT_NE(nullptr, options);
    std::vector<HWND> completions = Press(options, IDC_ADD_TO_CONFIG);
    EXPECT_EQ(earlier + WrittenBlock, FileBytes(path));
    ASSERT_EQ(1u, completions.size());
    EXPECT_EQ(WrittenPercent, ControlText(completions[0], IDC_GAUGE_PERCENT));
}

TEST_F(WriteOptions, TwoDialogsOpenAtOnceEachWorkOnTheirOwn) {
    AddBindsLikeAPlayer(Main);
    HWND first = OpenWriteOptions();
    HWND second = OpenWriteOptions();
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    ASSERT_NE(first, second);

    const std::string appended = InFolder("appended.cfg");
    PutFileBytes(appended, "seta name \"player\"\r\n");
    SeamPath = appended;
    EXPECT_EQ(1u, Press(second, IDC_ADD_TO_CONFIG).size());
    EXPECT_FALSE(IsWindowVisible(second));
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_EQ("seta name \"player\"\r\n" + WrittenBlock, FileBytes(appended));

    const std::string fresh = InFolder("fresh.cfg");
    SeamPath = fresh;
    EXPECT_EQ(1u, Press(first, IDC_WRITE_NEW_CONFIG).size());
    EXPECT_FALSE(IsWindowVisible(first));
    EXPECT_EQ(WrittenBlock, FileBytes(fresh));
    EXPECT_EQ("seta name \"player\"\r\n" + WrittenBlock, FileBytes(appended));
    EXPECT_EQ(2, Seam.Calls);
    EXPECT_EQ(2u, VisibleDialogs(CompletionCaption).size());

    // A third one cancelled leaves the files and the completion dialogs as they are.
    HWND third = OpenWriteOptions();
    ASSERT_NE(nullptr, third);
    EXPECT_EQ(0u, Press(third, IDC_WRITE_CANCEL).size());
    EXPECT_FALSE(IsWindowVisible(third));
    EXPECT_EQ(2, Seam.Calls);
    EXPECT_EQ(2u, VisibleDialogs(CompletionCaption).size());
}

// --- failures -----------------------------------------------------------------------------------

struct ErrorCase {
    const char* Name;
    int Button;
    SavePathAnswer Answer;
    const char* Path;  // starting with '\\': inside the test's folder
    const char* Text;  // the box's text; the path follows it after a blank line when it ends in ':'
};

constexpr char CannotOpen[] = "The config file could not be opened for writing:";
constexpr char CannotWrite[] = "The config file could not be written completely:";
constexpr char TooLong[] =
    "The chosen file name is too long. Please choose a shorter path for the config file.";

// Z:\dev\full is Wine's view of the Linux device that fails every write with "disk full".
const ErrorCase ErrorCases[] = {
    {"new config in a missing folder", IDC_WRITE_NEW_CONFIG, SavePathChosen, "\\missing\\binds.cfg",
     CannotOpen},
    {"add in a missing folder", IDC_ADD_TO_CONFIG, SavePathChosen, "\\missing\\binds.cfg",
     CannotOpen},
    {"new config on a full disk", IDC_WRITE_NEW_CONFIG, SavePathChosen, "Z:\\dev\\full",
     CannotWrite},
    {"add on a full disk", IDC_ADD_TO_CONFIG, SavePathChosen, "Z:\\dev\\full", CannotWrite},
    {"new config, path too long", IDC_WRITE_NEW_CONFIG, SavePathTooLong, nullptr, TooLong},
    {"add, path too long", IDC_ADD_TO_CONFIG, SavePathTooLong, nullptr, TooLong},
    {"save dialog failed", IDC_WRITE_NEW_CONFIG, SaveDialogFailed, nullptr,
     "The save dialog could not be shown."},
};

TEST_F(WriteOptions, FailuresShowOneErrorBoxAndNoCompletionDialog) {
    AddBindsLikeAPlayer(Main);
    for (const ErrorCase& test : ErrorCases) {
        SCOPED_TRACE(test.Name);
        std::string path;
        if (test.Path) path = test.Path[0] == '\\' ? Folder + test.Path : test.Path;
        SeamAnswer = test.Answer;
        SeamPath = path;

        HWND options = OpenWriteOptions();
        ASSERT_NE(nullptr, options);
        MessageBoxAnswerer answerer;
        std::vector<HWND> completions = Press(options, test.Button);

        ASSERT_EQ(1u, answerer.Seen.size());
        const SeenMessageBox& box = answerer.Seen[0];
        EXPECT_EQ("Error", box.Caption);
        std::string text = test.Text;
        if (text.back() == ':') text += "\n\n" + path;
        EXPECT_EQ(text, box.Text);
        EXPECT_TRUE(box.HasOk);
        EXPECT_FALSE(box.HasYes || box.HasNo);
        EXPECT_TRUE(box.HasIcon);
        EXPECT_EQ(0u, completions.size());
        EXPECT_FALSE(IsWindowVisible(options));
        EXPECT_TRUE(FolderEntries(Folder).empty()) << "nothing may be created";
    }
}

// --- the system's save dialog -------------------------------------------------------------------

// Drives the save dialog from a thread timer: the dialog runs its own loop inside the button
// handler, and that loop dispatches the timer.
struct SaveDialogDriver {
    std::string Typed;  // empty: cancel the dialog
    bool Seen = false;
    bool TypedIntoNameBox = false;
    std::string Title;
    int TicksSinceSeen = 0;
    bool GaveUp = false;
    std::vector<std::string> OtherBoxes;  // captions of message boxes seen meanwhile
};

SaveDialogDriver* Driver = nullptr;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

bool IsFileDialog(HWND window) { return GetDlgItem(window, cmb13) || GetDlgItem(window, edt1); }

// Visible #32770 windows owned by the main dialog.
std::vector<HWND> OwnedDialogs() {
    std::vector<HWND> windows, owned;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::string(className) == "#32770" && IsWindowVisible(window) &&
            GetWindow(window, GW_OWNER) == App.MainDialog) {
            owned.push_back(window);
        }
    }
    return owned;
}

void PressDialogButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The file dialog is told apart by its file name box: Wine's explorer dialog names it cmb13 (a
// combo box with an edit inside), older templates edt1. The harness's message box answerer cannot
// run meanwhile, as it takes the file dialog (which has a stc1 label) for a message box; any
// message box is recorded and closed here instead.
VOID CALLBACK DriveSaveDialog(HWND, UINT, UINT_PTR, DWORD) {
    for (HWND dialog : OwnedDialogs()) {
        if (!IsFileDialog(dialog)) {
            if (!GetDlgItem(dialog, stc1)) continue;  // not a message box: its icon is stc1
            Driver->OtherBoxes.push_back(WindowText(dialog));
            PressDialogButton(dialog, IDOK);
            continue;
        }
        if (Driver->Seen) {
            // Still open well after the answer was given: close it so the test cannot hang.
            if (++Driver->TicksSinceSeen == 40) {
                Driver->GaveUp = true;
                PressDialogButton(dialog, IDCANCEL);
            }
            continue;
        }
        Driver->Seen = true;
        Driver->Title = WindowText(dialog);
        if (Driver->Typed.empty()) {
            PressDialogButton(dialog, IDCANCEL);
            continue;
        }
        for (int box : {cmb13, edt1}) {
            if (HWND name = GetDlgItem(dialog, box)) {
                SetWindowTextA(name, Driver->Typed.c_str());
                if (WindowText(name) == Driver->Typed) Driver->TypedIntoNameBox = true;
            }
        }
        PressDialogButton(dialog, IDOK);
    }
}

class RealSaveDialog : public WriteOptions {
protected:
    void SetUp() override {
        WriteOptions::SetUp();
        AskSavePath = RealPrompt;
    }

    // Presses the button with the timer running, then stops it.
    std::vector<HWND> PressDriven(HWND options, int button, SaveDialogDriver* driver) {
        Driver = driver;
        UINT_PTR timer = SetTimer(nullptr, 0, 50, DriveSaveDialog);
        std::vector<HWND> completions = Press(options, button);
        KillTimer(nullptr, timer);
        Driver = nullptr;
        return completions;
    }
};

TEST_F(RealSaveDialog, SavesTheTypedPathWithTheDefaultExtension) {
    AddBindsLikeAPlayer(Main);
    HWND options = OpenWriteOptions();
    ASSERT_NE(nullptr, options);
    SaveDialogDriver driver;
    driver.Typed = InFolder("typed");  // no extension: the dialog adds ".cfg"
    std::vector<HWND> completions = PressDriven(options, IDC_WRITE_NEW_CONFIG, &driver);

    ASSERT_TRUE(driver.Seen) << "the save dialog never appeared";
    EXPECT_EQ("Save As", driver.Title);  // the system's own title (English Windows and Wine)
    EXPECT_TRUE(driver.TypedIntoNameBox);
    EXPECT_FALSE(driver.GaveUp) << "the save dialog did not accept the typed name";
    EXPECT_TRUE(driver.OtherBoxes.empty()) << driver.OtherBoxes[0];
    EXPECT_FALSE(IsWindowVisible(options));
    EXPECT_EQ(std::vector<std::string>{"typed.cfg"}, FolderEntries(Folder));
    EXPECT_EQ(WrittenBlock, FileBytes(InFolder("typed.cfg")));
    ASSERT_EQ(1u, completions.size());
    EXPECT_EQ(WrittenPercent, ControlText(completions[0], IDC_GAUGE_PERCENT));
}

TEST_F(RealSaveDialog, CancelWritesNothing) {
    AddBindsLikeAPlayer(Main);
    HWND options = OpenWriteOptions();
    ASSERT_NE(nullptr, options);
    SaveDialogDriver driver;  // nothing typed: cancel
    std::vector<HWND> completions = PressDriven(options, IDC_ADD_TO_CONFIG, &driver);

    ASSERT_TRUE(driver.Seen) << "the save dialog never appeared";
    EXPECT_FALSE(driver.GaveUp);
    EXPECT_TRUE(driver.OtherBoxes.empty()) << driver.OtherBoxes[0];
    EXPECT_EQ(0u, completions.size());
    EXPECT_FALSE(IsWindowVisible(options));
    EXPECT_TRUE(FolderEntries(Folder).empty());
}

}  // namespace
