#include "write_test_support.h"

#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "ui_harness.h"

std::string ReasonText(const char* reason) {
    if (!reason) return "";
    if (reason[0] != '#') return std::string("\n\n") + reason;
    const DWORD code = std::strtoul(reason + 1, nullptr, 10);
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, 496, nullptr);
    std::string said = Utf8(text);
    while (!said.empty() && std::strchr("\r\n ", said.back())) said.pop_back();
    EXPECT_NE("", said) << "no text for " << code;
    return "\n\n" + said + " (" + std::to_string(code) + ")";
}

// --- files ------------------------------------------------------------------------------------

std::wstring WidePath(const std::string& path) {
    return path.rfind("\\\\?\\", 0) == 0 ? Widened(path) : L"\\\\?\\" + Widened(path);
}

bool PathExists(const std::string& path) {
    return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes->append(chunk, got);
    CloseHandle(file);
    return true;
}

std::string FileBytes(const std::string& path) {
    std::string bytes;
    ReadFileBytes(path, &bytes);
    return bytes;
}

bool PutFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(file);
    return put == bytes.size();
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((WidePath(folder) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = Utf8(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

std::map<std::string, std::string> FolderContents(const std::string& folder) {
    std::map<std::string, std::string> contents;
    for (const std::string& name : FolderEntries(folder)) {
        std::string bytes = FileBytes(folder + "\\" + name);
        contents[name] = name == "filler" ? std::to_string(bytes.size()) + " bytes" : bytes;
    }
    return contents;
}

void RemoveTree(const std::string& folder) {
    for (const std::string& name : FolderEntries(folder)) {
        const std::string path = folder + "\\" + name;
        SetFileAttributesW(WidePath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(WidePath(path).c_str())) RemoveTree(path);
    }
    RemoveDirectoryW(WidePath(folder).c_str());
}

std::string MakeTempFolder(const char* prefix) {
    static int made = 0;
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    std::string folder = std::string(base) + prefix + std::to_string(GetCurrentProcessId()) + "_" +
                         std::to_string(++made);
    CreateDirectoryW(WidePath(folder).c_str(), nullptr);
    return folder;
}

// --- the dialogs ------------------------------------------------------------------------------

std::vector<HWND> AddedWindows(const std::vector<HWND>& before, const std::vector<HWND>& after) {
    std::vector<HWND> added;
    for (HWND window : after) {
        if (std::find(before.begin(), before.end(), window) == before.end()) {
            added.push_back(window);
        }
    }
    return added;
}

void ClickButton(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    FlushEvents();
}

void PostButtonPress(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND OpenWriteOptionsDialog(HWND main) {
    std::vector<HWND> before = VisibleDialogs(WriteOptionsCaption);
    ClickButton(main, IDC_WRITE_CONFIG);
    std::vector<HWND> opened = AddedWindows(before, VisibleDialogs(WriteOptionsCaption));
    EXPECT_EQ(1u, opened.size());
    return opened.size() == 1 ? opened[0] : nullptr;
}

std::vector<HWND> PressForCompletions(HWND options, int button) {
    std::vector<HWND> before = VisibleDialogs(CompletionCaption);
    ClickButton(options, button);
    return AddedWindows(before, VisibleDialogs(CompletionCaption));
}

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> ThreadDialogs() {
    std::vector<HWND> windows, dialogs;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::string(className) == "#32770") dialogs.push_back(window);
    }
    return dialogs;
}

std::vector<HWND> VisibleThreadDialogs() {
    std::vector<HWND> dialogs;
    for (HWND dialog : ThreadDialogs()) {
        if (IsWindowVisible(dialog)) dialogs.push_back(dialog);
    }
    return dialogs;
}

bool IsFileDialog(HWND window) { return GetDlgItem(window, cmb13) || GetDlgItem(window, edt1); }

// --- the system's save dialog -----------------------------------------------------------------

namespace {

SaveDialogDriver* ActiveDriver = nullptr;

VOID CALLBACK DriveSaveDialog(HWND, UINT, UINT_PTR, DWORD) {
    SaveDialogDriver* driver = ActiveDriver;
    if (!driver) return;
    for (HWND dialog : VisibleThreadDialogs()) {
        if (GetWindow(dialog, GW_OWNER) != App.MainDialog) continue;
        if (!IsFileDialog(dialog)) {
            // A message box has its icon in stc1.
            if (driver->CloseMessageBoxes && GetDlgItem(dialog, stc1)) {
                driver->OtherBoxes.push_back(WindowText(dialog));
                PostButtonPress(dialog, IDOK);
            }
            continue;
        }
        if (driver->Seen) {
            // Still open well after the answer was given: close it so the test cannot hang.
            if (++driver->TicksSinceSeen == driver->GiveUpAfterTicks) {
                driver->GaveUp = true;
                PostButtonPress(dialog, IDCANCEL);
            }
            continue;
        }
        driver->Seen = true;
        driver->Title = WindowText(dialog);
        if (driver->Typed.empty()) {
            PostButtonPress(dialog, IDCANCEL);
            continue;
        }
        for (int box : {cmb13, edt1}) {
            if (HWND name = GetDlgItem(dialog, box)) {
                SetWindowTextW(name, Widened(driver->Typed).c_str());
                wchar_t typed[1024] = {};
                GetWindowTextW(name, typed, 1024);
                driver->NameBoxText = Utf8(typed);
                if (driver->NameBoxText == driver->Typed) driver->TypedIntoNameBox = true;
            }
        }
        PostButtonPress(dialog, IDOK);
    }
}

}  // namespace

SaveDialogTimer::SaveDialogTimer(SaveDialogDriver* driver) {
    ActiveDriver = driver;
    Timer = SetTimer(nullptr, 0, 50, DriveSaveDialog);
}

SaveDialogTimer::~SaveDialogTimer() {
    KillTimer(nullptr, Timer);
    ActiveDriver = nullptr;
}

std::string HandedPath;

SavePathAnswer HandOver(HWND, wchar_t* path) {
    lstrcpynW(path, Widened(HandedPath).c_str(), FileNameBufferSize);
    return SavePathChosen;
}

// --- writes that fail -------------------------------------------------------------------------

void WriteFaults::SetUp() {
    GetCurrentDirectoryA(sizeof StartFolder, StartFolder);
    Main = StartMainDialog();
    Folder = MakeTempFolder("corvane_faults_");
    AddOneBind();
}

void WriteFaults::TearDown() {
    CloseAllDialogs();
    // The save dialog makes the chosen file's folder the current one, which keeps it from being
    // removed.
    SetCurrentDirectoryA(StartFolder);
    RemoveTree(Folder);
}

void WriteFaults::AddOneBind() {
    HTREEITEM jump = FindTreeItem("Movement", "Jump");
    ASSERT_NE(nullptr, jump);
    TreeView_SelectItem(App.ActionTree, jump);
    SetFocus(App.KeyCaptureBox);
    SendKey(App.KeyCaptureBox, WM_KEYDOWN, VK_SPACE);
    SendKey(App.KeyCaptureBox, WM_KEYUP, VK_SPACE);
    ClickButton(Main, IDC_ADD_BIND);
    ASSERT_EQ(1, App.Binds.BindCount);
    ASSERT_STREQ("bind space \"+moveup\"", App.Binds.Slots[0].Text);
}

WriteFaults::Outcome WriteFaults::Write(int button, const std::string& typed) {
    Outcome outcome;
    HWND options = OpenWriteOptionsDialog(Main);
    if (!options) return outcome;

    MessageBoxAnswerer answerer;
    outcome.Driver.Typed = typed;
    outcome.Driver.GiveUpAfterTicks = 20;
    {
        SaveDialogTimer timer(&outcome.Driver);
        outcome.Completions = PressForCompletions(options, button);
    }
    outcome.Boxes = answerer.Seen;
    outcome.OptionsClosed = !IsWindowVisible(options);
    return outcome;
}
