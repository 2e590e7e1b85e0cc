// What Wine does not show by itself: other programs that hold the player's file, for a moment or
// for good, and Windows' own replace failing in each way its reference page documents. The file
// layer's Windows calls are replaced by stand-ins that behave as Windows does; with
// CORVANE_WINDOWS_WAY set, every write of the run takes the way it takes on Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "../../output/windows_calls.h"
#include "../../resources/resource.h"
#include "../../ui/write_options.h"
#include "write_test_support.h"

namespace {

bool OnWindows() { return false; }

// ReplaceFileW as Windows documents it, given a backup name: it opens both files first, so that a
// hold on either leaves both as they were; then the replaced file moves to the backup name, and
// the replacement to the replaced file's, which failing leaves the replaced file under the backup
// name (1177). Windows also gives the replacement the replaced file's attributes and security,
// which Wine's Unix files cannot take over faithfully: no test looks at them.
// The flags of the last call: only without the ones that ignore merge and access list errors
// does Windows keep the file's streams and security.
DWORD ReplaceFlags;

BOOL WINAPI ReplaceAsDocumented(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                                LPVOID, LPVOID) {
    ReplaceFlags = flags;
    for (LPCWSTR file : {replaced, replacement}) {
        HANDLE handle =
            CreateFileW(file, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return FALSE;
        CloseHandle(handle);
    }
    if (!MoveFileExW(replaced, backup, MOVEFILE_REPLACE_EXISTING)) return FALSE;
    if (MoveFileExW(replacement, replaced, 0)) return TRUE;
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
}

class WindowsWay : public ::testing::Environment {
    void SetUp() override {
        if (!std::getenv("CORVANE_WINDOWS_WAY")) return;
        SystemCalls.UnderWine = OnWindows;
        SystemCalls.ReplaceFileW = ReplaceAsDocumented;
    }
};
const auto* const TakeWindowsWay = ::testing::AddGlobalTestEnvironment(new WindowsWay);

// --- the rows ---------------------------------------------------------------------------------

enum class Way { Wine, Windows };

enum class Hold {
    None,
    ReadWriteForGood,  // an editor or a sync client: others may read and write, not delete
    ReadBriefly,       // a scanner for 0.7 s: others may only read
    ReadForGood,
    NewFileBriefly,  // a scanner on the new file as it is to take the target's place, 75 ms
    NewFileForGood,  // a scanner that hangs on the new file: it cannot even be removed
};

enum class Fault {
    None,
    Keeps1175,          // the replace fails: both files keep their names
    Keeps1176,          // the same, given a backup name
    Aside1177,          // the target under the backup name, the new file under its own
    Aside1177Stuck,     // the same, and the target's old file cannot move back
    DeniedForGood,      // access denied, and no program holds the file
    FolderTakesNoFile,  // no new file may be made beside the target
    NoHardLinks,        // a new name on a file system without them (FAT)
};

enum class Shows { Completion, LeftAsItWas, CannotOpen };

struct Row {
    const char* Name;
    Way Taken;
    int Button;
    Hold Held;
    Fault Failing;
    Shows Expected;
    DWORD Waited;  // ms in all: 25, 50, 75 ... until the hold ends, or twelve of them
};

constexpr int New = IDC_WRITE_NEW_CONFIG, Add = IDC_ADD_TO_CONFIG;

// clang-format off
const Row Rows[] = {
    {"1175: both keep their names",                              Way::Windows, New, Hold::None,             Fault::Keeps1175,         Shows::LeftAsItWas,    0},
    {"1176 with a backup name: both keep their names",           Way::Windows, New, Hold::None,             Fault::Keeps1176,         Shows::LeftAsItWas,    0},
    {"1177: the old file goes back",                             Way::Windows, New, Hold::None,             Fault::Aside1177,         Shows::LeftAsItWas,    0},
    {"1177: the old file stuck, the new one moves in",           Way::Windows, New, Hold::None,             Fault::Aside1177Stuck,    Shows::Completion,     0},
    {"access denied that lasts",                                 Way::Windows, New, Hold::None,             Fault::DeniedForGood,     Shows::LeftAsItWas,    0},
    {"no new file beside it: old bytes kept in the temp folder", Way::Windows, New, Hold::None,             Fault::FolderTakesNoFile, Shows::Completion,     0},
    {"a new name, no hard links (FAT)",                          Way::Windows, New, Hold::None,             Fault::NoHardLinks,       Shows::Completion,     0},
    {"the new file held for a moment",                           Way::Windows, New, Hold::NewFileBriefly,   Fault::None,              Shows::Completion,    75},
    {"the new file held for a moment",                           Way::Wine,    New, Hold::NewFileBriefly,   Fault::None,              Shows::Completion,    75},
    {"the new file held for good",                               Way::Windows, New, Hold::NewFileForGood,   Fault::None,              Shows::LeftAsItWas, 1950},
    {"held open by an editor",                                   Way::Windows, New, Hold::ReadWriteForGood, Fault::None,              Shows::Completion,     0},
    {"held open by an editor",                                   Way::Windows, Add, Hold::ReadWriteForGood, Fault::None,              Shows::Completion,     0},
    {"held open by an editor",                                   Way::Wine,    New, Hold::ReadWriteForGood, Fault::None,              Shows::Completion,     0},
    {"held open by an editor",                                   Way::Wine,    Add, Hold::ReadWriteForGood, Fault::None,              Shows::Completion,     0},
    {"held for 0.7 s",                                           Way::Windows, New, Hold::ReadBriefly,      Fault::None,              Shows::Completion,   700},
    {"held for 0.7 s",                                           Way::Windows, Add, Hold::ReadBriefly,      Fault::None,              Shows::Completion,   700},
    {"held for 0.7 s",                                           Way::Wine,    New, Hold::ReadBriefly,      Fault::None,              Shows::Completion,   700},
    {"held for 0.7 s",                                           Way::Wine,    Add, Hold::ReadBriefly,      Fault::None,              Shows::Completion,   700},
    {"held for good",                                            Way::Windows, New, Hold::ReadForGood,      Fault::None,              Shows::LeftAsItWas, 1950},
    {"held for good",                                            Way::Windows, Add, Hold::ReadForGood,      Fault::None,              Shows::CannotOpen,  1950},
    {"held for good",                                            Way::Wine,    New, Hold::ReadForGood,      Fault::None,              Shows::LeftAsItWas, 1950},
    {"held for good",                                            Way::Wine,    Add, Hold::ReadForGood,      Fault::None,              Shows::CannotOpen,  1950},
};
// clang-format on

// --- the stand-ins ----------------------------------------------------------------------------

const Row* Current;
std::wstring RowFolder;  // where the target is, with a final separator
HANDLE Held = INVALID_HANDLE_VALUE;
DWORD ReleaseAfter;  // ms waited
std::wstring Backup;
bool NewFileHeld;
struct {
    DWORD Total;
    bool WithWaitCursor;
} Waits;
WindowsCalls Real;

HANDLE HoldFile(LPCWSTR file, DWORD access, DWORD sharing) {
    return CreateFileW(file, access, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
}

void Release() {
    if (Held != INVALID_HANDLE_VALUE) CloseHandle(Held);
    Held = INVALID_HANDLE_VALUE;
}

// A scanner opens the new file just as the writer means it to take the target's place.
void HoldNewFile(LPCWSTR file) {
    if ((Current->Held != Hold::NewFileBriefly && Current->Held != Hold::NewFileForGood) ||
        NewFileHeld) {
        return;
    }
    Held = HoldFile(file, GENERIC_READ, FILE_SHARE_READ);
    ReleaseAfter = Current->Held == Hold::NewFileBriefly ? 75 : INFINITE;
    NewFileHeld = true;
}

BOOL WINAPI ReplaceForRow(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                          LPVOID exclude, LPVOID reserved) {
    ReplaceFlags = flags;
    HoldNewFile(replacement);
    const DWORD errors[] = {0,
                            ERROR_UNABLE_TO_REMOVE_REPLACED,
                            ERROR_UNABLE_TO_MOVE_REPLACEMENT,
                            ERROR_UNABLE_TO_MOVE_REPLACEMENT_2,
                            ERROR_UNABLE_TO_MOVE_REPLACEMENT_2,
                            ERROR_ACCESS_DENIED,
                            0,
                            0};
    const DWORD error = errors[static_cast<int>(Current->Failing)];
    if (error == 0)
        return ReplaceAsDocumented(replaced, replacement, backup, flags, exclude, reserved);
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        Backup = backup;
        MoveFileExW(replaced, backup, 0);
    }
    SetLastError(error);
    return FALSE;
}

BOOL WINAPI LinkForRow(LPCWSTR name, LPCWSTR existing, LPSECURITY_ATTRIBUTES security) {
    if (Current->Failing != Fault::NoHardLinks)
        return Real.CreateHardLinkW(name, existing, security);
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL WINAPI MoveForRow(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (flags & MOVEFILE_REPLACE_EXISTING) HoldNewFile(from);
    if (Current->Failing == Fault::Aside1177Stuck && Backup == from) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return Real.MoveFileExW(from, to, flags);
}

HANDLE WINAPI CreateForRow(LPCWSTR file, DWORD access, DWORD sharing,
                           LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                           HANDLE from) {
    const std::wstring name = file;
    if (Current->Failing == Fault::FolderTakesNoFile && disposition == CREATE_NEW &&
        name.rfind(RowFolder, 0) == 0 && name.find(L'\\', RowFolder.size()) == std::wstring::npos) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return Real.CreateFileW(file, access, sharing, security, disposition, flags, from);
}

VOID WINAPI SleepForRow(DWORD wait) {
    Waits.WithWaitCursor = Waits.WithWaitCursor && GetCursor() == LoadCursor(nullptr, IDC_WAIT);
    Real.Sleep(wait);
    Waits.Total += wait;
    if (Waits.Total >= ReleaseAfter) Release();
}

// Each row on the player's config beside another file of the folder: what the folder holds after,
// name by name and byte for byte, the message, and the waits, which never pass two seconds.
TEST_F(WriteFaults, OtherProgramsHoldsAndWindowsOwnReplace) {
    const std::string earlier = "seta name \"player\"\r\nbind x \"kill\"\r\n";
    const std::string block = std::string(WrittenHeader) + "bind space \"+moveup\"\r\n";
    const std::string systemTemp = MakeTempFolder("corvane_system_temp_");
    Real = SystemCalls;
    wchar_t tmp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    int index = 0;
    for (const Row& row : Rows) {
        SCOPED_TRACE(std::string(row.Name) + (row.Taken == Way::Wine ? ", Wine's way" : "") +
                     (row.Button == Add ? ", add" : ", new config"));
        const std::string folder = Folder + "\\" + std::to_string(++index);
        CreateDirectoryW(WidePath(folder).c_str(), nullptr);
        const std::string path = folder + "\\binds.cfg";
        ASSERT_TRUE(row.Failing == Fault::NoHardLinks || PutFileBytes(path, earlier));
        ASSERT_TRUE(PutFileBytes(folder + "\\other.cfg", "keep"));
        // A leftover of a write that never ended keeps its bytes.
        ASSERT_TRUE(PutFileBytes(folder + "\\.corvane-1.tmp", "left"));
        std::map<std::string, std::string> expected = FolderContents(folder);
        const std::string written = row.Button == Add ? earlier + block : block;
        if (row.Expected == Shows::Completion) expected["binds.cfg"] = written;
        // The new file stays while it is held.
        if (row.Held == Hold::NewFileForGood) expected[".corvane-0.tmp"] = block;

        Current = &row;
        RowFolder = Widened(folder + "\\");
        Backup.clear();
        NewFileHeld = false;
        Waits = {0, true};
        ReleaseAfter = row.Held == Hold::ReadBriefly ? 700 : INFINITE;
        if (row.Held == Hold::ReadWriteForGood) {
            Held = HoldFile(Widened(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE);
        } else if (row.Held == Hold::ReadBriefly || row.Held == Hold::ReadForGood) {
            Held = HoldFile(Widened(path).c_str(), GENERIC_READ, FILE_SHARE_READ);
        }
        ASSERT_TRUE(row.Held == Hold::None || row.Held >= Hold::NewFileBriefly ||
                    Held != INVALID_HANDLE_VALUE);
        SystemCalls.UnderWine = row.Taken == Way::Wine ? Real.UnderWine : OnWindows;
        SystemCalls.ReplaceFileW = ReplaceForRow;
        SystemCalls.MoveFileExW = MoveForRow;
        SystemCalls.CreateHardLinkW = LinkForRow;
        SystemCalls.CreateFileW = CreateForRow;
        SystemCalls.Sleep = SleepForRow;
        SetEnvironmentVariableW(L"TMP", Widened(systemTemp).c_str());
        SavePathPrompt saved = AskSavePath;
        AskSavePath = HandOver;
        HandedPath = path;
        const DWORD start = GetTickCount();
        Outcome outcome = Write(row.Button, path);
        const DWORD elapsed = GetTickCount() - start;
        AskSavePath = saved;
        SystemCalls = Real;
        Release();

        std::string seen;
        for (const SeenMessageBox& box : outcome.Boxes) seen += "[" + box.Text + "] ";
        if (row.Expected == Shows::Completion) {
            EXPECT_TRUE(outcome.Boxes.empty()) << seen;
            EXPECT_EQ(1u, outcome.Completions.size());
        } else {
            const bool left = row.Expected == Shows::LeftAsItWas;
            const std::string text = std::string(left ? CannotWriteText : CannotOpenText) + "\n\n" +
                                     path + (left ? std::string("\n\n") + LeftAsItWasText : "");
            ASSERT_EQ(1u, outcome.Boxes.size()) << seen;
            EXPECT_EQ(text, outcome.Boxes[0].Text);
            EXPECT_TRUE(outcome.Completions.empty()) << "a failed write reported as done";
        }
        EXPECT_EQ(expected, FolderContents(folder));
        EXPECT_EQ(std::vector<std::string>{}, FolderEntries(systemTemp));
        // A refusal that is no hold is told at once, and one that lasts within two seconds.
        EXPECT_EQ(row.Waited, Waits.Total);
        EXPECT_EQ(0u, ReplaceFlags);
        EXPECT_TRUE(Waits.WithWaitCursor) << "a wait without the wait cursor";
        if (row.Waited == 1950) std::printf("[ INFO     ] the message after %lu ms\n", elapsed);
    }
    SetEnvironmentVariableW(L"TMP", tmp[0] ? tmp : nullptr);
    RemoveTree(systemTemp);
}

}  // namespace

bool TakesWindowsWay() { return SystemCalls.UnderWine == OnWindows; }
