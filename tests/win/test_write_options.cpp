// The write options dialog as the player reaches it from the main dialog, the bytes its two write
// buttons leave in the file, the failures it reports, and one run through the system's own save
// dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "../../ui/write_options.h"
#include "ui_harness.h"
#include "write_test_support.h"

namespace {

// What one write of the binds made in AddBindsLikeAPlayer puts into the file.
const std::string WrittenBlock =
    std::string(WrittenHeader) +
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

// --- the save dialog seam -----------------------------------------------------------------------

struct SeamRecord {
    int Calls = 0;
    HWND Owner = nullptr;
    bool PathEmptyOnEntry = false;
};

SeamRecord Seam;
SavePathAnswer SeamAnswer = SavePathChosen;
std::string SeamPath;

SavePathAnswer AnswerLikeThePlayer(HWND owner, wchar_t* path) {
    ++Seam.Calls;
    Seam.Owner = owner;
    Seam.PathEmptyOnEntry = path[0] == '\0';
    if (SeamAnswer == SavePathChosen) {
        lstrcpynW(path, Widened(SeamPath).c_str(), FileNameBufferSize);
    }
    return SeamAnswer;
}

// --- the dialogs --------------------------------------------------------------------------------

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
    ClickButton(main, IDC_ADD_BIND);
}

// Forward on W, Jump on Space (then deleted), Auto Demo Script on F5, Reload on the right button.
void AddBindsLikeAPlayer(HWND main) {
    AddBindLikeAPlayer(main, 0, 0, 'W');
    AddBindLikeAPlayer(main, 0, 4, VK_SPACE);
    AddBindLikeAPlayer(main, 4, 0, VK_F5);
    AddBindLikeAPlayer(main, 1, 1, 2);
    ASSERT_EQ(4, App.Binds.BindCount);
    SendMessageA(App.BindListBox, LB_SETCURSEL, 1, 0);
    ClickButton(main, IDC_DELETE_BIND);
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
        Folder = MakeTempFolder("corvane_write_");
    }
    void TearDown() override {
        CloseAllDialogs();
        AskSavePath = RealPrompt;
        RemoveTree(Folder);
    }

    // Presses "Write Config File" and returns the write options dialog it opened.
    HWND OpenWriteOptions() {
        HWND options = OpenWriteOptionsDialog(Main);
        if (options) {
            EXPECT_EQ(Main, GetWindow(options, GW_OWNER));
        }
        return options;
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
        if (test.Before) {
            EXPECT_TRUE(PutFileBytes(path, test.Before)) << path;
        }
        Seam = SeamRecord();
        SeamAnswer = test.Answer;
        SeamPath = path;

        HWND options = OpenWriteOptions();
        ASSERT_NE(nullptr, options);
        MessageBoxAnswerer answerer;
        std::vector<HWND> completions = PressForCompletions(options, test.Button);

        EXPECT_FALSE(IsWindowVisible(options)) << "the write options dialog stayed open";
        EXPECT_TRUE(IsWindowVisible(Main));
        EXPECT_EQ(0u, answerer.Seen.size());
        EXPECT_EQ(test.Button == IDC_WRITE_CANCEL ? 0 : 1, Seam.Calls);
        if (Seam.Calls) {
            EXPECT_EQ(Main, Seam.Owner);
            EXPECT_TRUE(Seam.PathEmptyOnEntry) << "the save dialog must not propose a name";
        }
        if (test.Kept) {
            ASSERT_TRUE(PathExists(path));
            EXPECT_EQ(std::string(test.Kept) + (test.Writes ? WrittenBlock : ""), FileBytes(path));
        } else {
            EXPECT_FALSE(PathExists(path));
        }
        EXPECT_EQ(std::vector<std::string>(PathExists(path) ? 1 : 0, "binds.cfg"),
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
    std::vector<HWND> completions = PressForCompletions(options, IDC_WRITE_NEW_CONFIG);
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
    EXPECT_TRUE(PutFileBytes(path, earlier)) << path;
    SeamPath = path;
    HWND options = OpenWriteOptions();
    ASSERT_NE(nullptr, options);
    std::vector<HWND> completions = PressForCompletions(options, IDC_ADD_TO_CONFIG);
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
    EXPECT_TRUE(PutFileBytes(appended, "seta name \"player\"\r\n")) << appended;
    SeamPath = appended;
    EXPECT_EQ(1u, PressForCompletions(second, IDC_ADD_TO_CONFIG).size());
    EXPECT_FALSE(IsWindowVisible(second));
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_EQ("seta name \"player\"\r\n" + WrittenBlock, FileBytes(appended));

    const std::string fresh = InFolder("fresh.cfg");
    SeamPath = fresh;
    EXPECT_EQ(1u, PressForCompletions(first, IDC_WRITE_NEW_CONFIG).size());
    EXPECT_FALSE(IsWindowVisible(first));
    EXPECT_EQ(WrittenBlock, FileBytes(fresh));
    EXPECT_EQ("seta name \"player\"\r\n" + WrittenBlock, FileBytes(appended));
    EXPECT_EQ(2, Seam.Calls);
    EXPECT_EQ(2u, VisibleDialogs(CompletionCaption).size());

    // A third one cancelled leaves the files and the completion dialogs as they are.
    HWND third = OpenWriteOptions();
    ASSERT_NE(nullptr, third);
    EXPECT_EQ(0u, PressForCompletions(third, IDC_WRITE_CANCEL).size());
    EXPECT_FALSE(IsWindowVisible(third));
    EXPECT_EQ(2, Seam.Calls);
    EXPECT_EQ(2u, VisibleDialogs(CompletionCaption).size());
}

// --- closed dialogs ----------------------------------------------------------------------------

TEST_F(WriteOptions, ClosedDialogsAreGoneNotHidden) {
    SeamPath = InFolder("binds.cfg");
    for (int button : {IDC_WRITE_NEW_CONFIG, IDC_WRITE_CANCEL}) {
        ClickButton(Main, IDC_ABOUT);
        HWND options = OpenWriteOptions();
        ASSERT_NE(nullptr, options);
        std::vector<HWND> completions = PressForCompletions(options, button);
        ASSERT_EQ(button == IDC_WRITE_NEW_CONFIG ? 1u : 0u, completions.size());
        std::vector<HWND> open = VisibleThreadDialogs();
        ASSERT_EQ(2u + completions.size(), open.size()) << "the main dialog, About, completion";
        for (HWND dialog : open) {
            if (dialog != Main) ClickButton(dialog, IDOK);
        }
    }
    EXPECT_EQ(std::vector<HWND>{Main}, ThreadDialogs());
}

// --- failures -----------------------------------------------------------------------------------

struct ErrorCase {
    const char* Name;
    int Button;
    SavePathAnswer Answer;
    const char* Path;  // starting with '\\': inside the test's folder
    const char* Text;  // the box's text; the path follows it after a blank line when it ends in ':'
    const char* Fate;  // after the path and a blank line, when given
    const char* Reason;  // last (write_test_support.h)
};

const ErrorCase ErrorCases[] = {
    {"new config in a missing folder", IDC_WRITE_NEW_CONFIG, SavePathChosen, "\\missing\\binds.cfg",
     CannotOpenText, nullptr, "#3"},
    {"add in a missing folder", IDC_ADD_TO_CONFIG, SavePathChosen, "\\missing\\binds.cfg",
     CannotOpenText, nullptr, "#3"},
    // Names that Windows 10 and Wine keep for devices make no file, and nothing goes to the
    // device. Z:\dev\full is Wine's view of the Linux device that fails every write.
    {"new config as nul.cfg", IDC_WRITE_NEW_CONFIG, SavePathChosen, "\\nul.cfg", CannotOpenText,
     nullptr, DeviceReason},
    {"add to aux.cfg", IDC_ADD_TO_CONFIG, SavePathChosen, "\\aux.cfg", CannotOpenText, nullptr,
     DeviceReason},
    {"new config as com1.cfg", IDC_WRITE_NEW_CONFIG, SavePathChosen, "\\com1.cfg", CannotOpenText,
     nullptr, DeviceReason},
    {"add to a device", IDC_ADD_TO_CONFIG, SavePathChosen, "Z:\\dev\\full", CannotOpenText, nullptr,
     DeviceReason},
    {"new config, path too long", IDC_WRITE_NEW_CONFIG, SavePathTooLong, nullptr, PathTooLongText,
     nullptr, nullptr},
    {"add, path too long", IDC_ADD_TO_CONFIG, SavePathTooLong, nullptr, PathTooLongText, nullptr,
     nullptr},
    {"save dialog failed", IDC_WRITE_NEW_CONFIG, SaveDialogFailed, nullptr,
     "The save dialog could not be shown.", nullptr, nullptr},
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
        std::vector<HWND> completions = PressForCompletions(options, test.Button);

        ASSERT_EQ(1u, answerer.Seen.size());
        const SeenMessageBox& box = answerer.Seen[0];
        EXPECT_EQ("Error", box.Caption);
        std::string text = test.Text;
        if (text.back() == ':') text += "\n\n" + path;
        if (test.Fate) text += std::string("\n\n") + test.Fate;
        text += ReasonText(test.Reason);
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

class RealSaveDialog : public WriteOptions {
protected:
    void SetUp() override {
        WriteOptions::SetUp();
        AskSavePath = RealPrompt;
    }

    // Presses the button with the save dialog driven.
    std::vector<HWND> PressDriven(HWND options, int button, SaveDialogDriver* driver) {
        // No message box answerer runs meanwhile: the driver closes any box itself.
        driver->CloseMessageBoxes = true;
        SaveDialogTimer timer(driver);
        return PressForCompletions(options, button);
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
