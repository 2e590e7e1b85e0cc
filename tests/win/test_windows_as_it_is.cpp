// What Wine does not show by itself: other programs that hold the player's file, for a moment or
// for good, and Windows' own replace failing in each way its reference page documents. The file
// layer's Windows calls are replaced by stand-ins that behave as Windows does; with
// CORVANE_WINDOWS_WAY set, every write of the run takes the way it takes on Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../../output/windows_calls.h"
#include "../../resources/resource.h"
#include "../../ui/write_options.h"
#include "write_test_support.h"

namespace {

bool OnWindows() { return false; }

// How Windows' replace opens its files, from its reference page: the replaced file for reading,
// deleting and synchronising, sharing all three; the replacement for reading, writing, deleting
// and changing its security, or without writing where that is refused, sharing nothing.
constexpr DWORD AllSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD ReplacedAccess = GENERIC_READ | DELETE | SYNCHRONIZE;
constexpr DWORD ReplacementAccess = SYNCHRONIZE | GENERIC_READ | DELETE | WRITE_DAC;

bool Opens(LPCWSTR file, DWORD access, DWORD sharing) {
    HANDLE handle = CreateFileW(file, access, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

// ReplaceFileW as Windows documents it, given a backup name: it opens both files first, so that a
// hold on either leaves both as they were; then the replaced file moves to the backup name, and
// the replacement to the replaced file's, which failing leaves the replaced file under the backup
// name (1177). The reference names no code for a hold: heldCode stands in for the one Windows
// gives. Windows also gives the replacement the replaced file's attributes and security, which
// Wine's Unix files cannot take over faithfully: no test looks at them.
BOOL ReplaceInSteps(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD heldCode,
                    bool secondMoveFails) {
    if (!Opens(replaced, ReplacedAccess, AllSharing) ||
        (!Opens(replacement, ReplacementAccess | GENERIC_WRITE, 0) &&
         !Opens(replacement, ReplacementAccess, 0))) {
        if (GetLastError() == ERROR_SHARING_VIOLATION) SetLastError(heldCode);
        return FALSE;
    }
    if (!MoveFileExW(replaced, backup, MOVEFILE_REPLACE_EXISTING)) return FALSE;
    if (!secondMoveFails && MoveFileExW(replacement, replaced, 0)) return TRUE;
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
    return FALSE;
}

BOOL WINAPI ReplaceAsDocumented(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD,
                                LPVOID, LPVOID) {
    return ReplaceInSteps(replaced, replacement, backup, ERROR_SHARING_VIOLATION, false);
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

// Other programs, by the access and sharing with which they open a file.
enum class Who {
    Nobody,
    Editor,      // or a sync client: others may read and write, not delete
    Scanner,     // a virus scanner or an indexer: others may do anything
    SyncClient,  // uploading the file: others may only read
};
const struct {
    DWORD Access;
    DWORD Sharing;
} Holders[] = {
    {0, 0},
    {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
    {GENERIC_READ, AllSharing},
    {GENERIC_READ, FILE_SHARE_READ},
};

enum class On {
    Target,   // from before the write
    NewFile,  // from when the writer means it to take the target's place
};
constexpr DWORD Forever = INFINITE;

enum class Fault {
    None,
    MergeRefused,       // the replace refused unless asked to let the old security go
    VolumeRefuses,      // no replace on this volume, whatever it is asked
    Aside1177,          // once: the target under the backup name, the new file under its own
    Aside1177Stuck,     // the same, and the target's old file cannot move back
    Aside1177Lost,      // the same, and neither file can move under the target's name
    DeniedForGood,      // the player may not remove the target, and no program holds it
    FolderTakesNoFile,  // no new file may be made beside the target
    NoNameAside,        // the new file may, but no name for the old file can be had
    FlushFails,         // the new file cannot be put on the disk (a share gone, a drive pulled)
    LookRefused,        // the replace refused once, and the look at the target after it too
    LeftSecondName,     // an earlier write could not remove its temp name, a second name now
    NoRoom,             // the disk has no room for the new file
    EndLocked,          // another program has locked part of the file: it cannot be cut once
    NoReadControl,      // the target's security may not be read through its handle
    FolderLinked,       // the target's folder a junction to a folder on another disk
    RootLinked,         // the same, to another disk's root
    FolderUnknown,      // the same, and where the folder leads cannot be told
    UnknownFolderOnly,  // the same, and the target's final path is its own
    FileLinkedToo,      // the folder a junction, the target a link to a file of its name
    DeviceUnseen,       // a device that refuses the look: the open tells what it is
    NoOwnerOnly,        // the process's own account cannot be read for the backup's rights
    NoHardLinks,        // a new name on a file system without them (FAT)
    NoHardLinksTaken,   // the same, and another program makes the file meanwhile
    NoHardLinksDenied,  // the same, and the new file may not take the name
    NameTooLong,        // a new name that Windows cannot hold
};

enum class Shows { Completion, LeftAsItWas, CannotOpen, NameLost };

struct Row {
    const char* Name;
    Way Taken;
    int Button;
    Who Holder;
    On At;
    DWORD Until;      // ms waited when the holder lets go; 0: as soon as the replace met it
    DWORD Code;       // what Windows' replace answers the hold with
    DWORD AsideHeld;  // a sync client on the old file once it is aside, for so many ms waited
    Fault Failing;
    Shows Expected;
    DWORD Waited;          // ms in all: 25, 50, 75 ... until the holds end, or twelve of them
    const char* Replaces;  // the flags Windows' replace was asked with, as they changed
    const char* Stays;     // temp files left beside the config, with the old or the new bytes
    const char* Why;       // why the write failed, after the path (write_test_support.h)
};

constexpr int New = IDC_WRITE_NEW_CONFIG, Add = IDC_ADD_TO_CONFIG;
constexpr DWORD Merge = REPLACEFILE_IGNORE_MERGE_ERRORS;
constexpr Way W = Way::Windows;
constexpr Who None = Who::Nobody, Ed = Who::Editor, Scan = Who::Scanner, Sync = Who::SyncClient;
constexpr On Tgt = On::Target, NewF = On::NewFile;
constexpr DWORD Shar = ERROR_SHARING_VIOLATION, Lock = ERROR_LOCK_VIOLATION,
                Deny = ERROR_ACCESS_DENIED, Rem = ERROR_UNABLE_TO_REMOVE_REPLACED,
                Mov = ERROR_UNABLE_TO_MOVE_REPLACEMENT;
static_assert(Merge == 2, "the flags below");

// clang-format off
const Row Rows[] = {
    {"refused for security: asked again with the flag",   W,         New, None, Tgt,  0,       0,    0,       Fault::MergeRefused,      Shows::Completion,     0,    "0 2", "", nullptr},
    {"a volume that takes no replace: renamed in",        W,         New, None, Tgt,  0,       0,    0,       Fault::VolumeRefuses,     Shows::Completion,     0,    "0 2", "", nullptr},
    {"1177: the old file goes back, asked again",         W,         New, None, Tgt,  0,       0,    0,       Fault::Aside1177,         Shows::Completion,     0,    "0 2", "", nullptr},
    {"1177: the old file stuck, the new one moves in",    W,         New, None, Tgt,  0,       0,    0,       Fault::Aside1177Stuck,    Shows::Completion,     0,    "0",   "", nullptr},
    {"1177: neither moves, both kept and named",          W,         New, None, Tgt,  0,       0,    0,       Fault::Aside1177Lost,     Shows::NameLost,       0,    "0",   ".corvane-0.tmp=new .corvane-2.tmp=old", "#5"},
    {"the target may not be removed",                     W,         New, None, Tgt,  0,       0,    0,       Fault::DeniedForGood,     Shows::LeftAsItWas,    0,    "0 2", "", "#5"},
    {"no new file beside it: old bytes in the temp folder", W,       New, None, Tgt,  0,       0,    0,       Fault::FolderTakesNoFile, Shows::Completion,     0,    "",    "", nullptr},
    {"no name beside it for the old file: renamed in",    W,         New, None, Tgt,  0,       0,    0,       Fault::NoNameAside,       Shows::Completion,     0,    "",    "", nullptr},
    {"the new file cannot be flushed",                    W,         New, None, Tgt,  0,       0,    0,       Fault::FlushFails,        Shows::LeftAsItWas,    0,    "",    "", "#55"},
    {"the look at the target refused after a refusal",    W,         New, None, Tgt,  0,       0,    0,       Fault::LookRefused,       Shows::Completion,     0,    "0 2", "", nullptr},
    {"a temp name left as a second name",                 W,         New, None, Tgt,  0,       0,    0,       Fault::LeftSecondName,    Shows::Completion,     0,    "0",   "", nullptr},
    {"a temp name left as a second name",                 Way::Wine, New, None, Tgt,  0,       0,    0,       Fault::LeftSecondName,    Shows::Completion,     0,    "",    "", nullptr},
    {"no room for the new file",                          W,         New, None, Tgt,  0,       0,    0,       Fault::NoRoom,            Shows::LeftAsItWas,    0,    "",    "", DiskFullReason},
    {"held open by an editor, part of it locked",         W,         New, Ed,   Tgt,  Forever, Shar, 0,       Fault::EndLocked,         Shows::LeftAsItWas,    0,    "0",   "", "#33"},
    {"the target's security not readable through it",     Way::Wine, New, None, Tgt,  0,       0,    0,       Fault::NoReadControl,     Shows::Completion,     0,    "",    "", nullptr},
    {"the folder a junction to another disk",             W,         New, None, Tgt,  0,       0,    0,       Fault::FolderLinked,      Shows::Completion,     0,    "0",   "", nullptr},
    {"the folder a junction to another disk's root",      W,         New, None, Tgt,  0,       0,    0,       Fault::RootLinked,        Shows::Completion,     0,    "0",   "", nullptr},
    {"the folder a junction that cannot be followed",     W,         New, None, Tgt,  0,       0,    0,       Fault::FolderUnknown,     Shows::Completion,     0,    "",    "", nullptr},
    {"the same, the target where its name says",          W,         New, None, Tgt,  0,       0,    0,       Fault::UnknownFolderOnly, Shows::Completion, 0,    "0",   "", nullptr},
    {"the folder a junction, the target a link elsewhere", W,        New, None, Tgt,  0,       0,    0,       Fault::FileLinkedToo,     Shows::Completion,     0,    "",    "", nullptr},
    {"a device that refuses the look",                    W,         New, None, Tgt,  0,       0,    0,       Fault::DeviceUnseen,      Shows::CannotOpen,     0,    "",    "", DeviceReason},
    {"held open by an editor, no rights for the backup",  Way::Wine, New, Ed,   Tgt,  Forever, 0,    0,       Fault::NoOwnerOnly,       Shows::Completion,     0,    "",    "", nullptr},
    {"a new name, no hard links (FAT)",                   W,         New, None, Tgt,  0,       0,    0,       Fault::NoHardLinks,       Shows::Completion,     0,    "",    "", nullptr},
    {"a new name, no hard links, taken meanwhile",        W,         New, None, Tgt,  0,       0,    0,       Fault::NoHardLinksTaken,  Shows::Completion,     0,    "",    "", nullptr},
    {"a new name, no hard links, the name refused",       W,         New, None, Tgt,  0,       0,    0,       Fault::NoHardLinksDenied, Shows::LeftAsItWas,    0,    "",    "", "#5"},
    {"a new name too long for Windows",                   W,         New, None, Tgt,  0,       0,    0,       Fault::NameTooLong,       Shows::CannotOpen,     0,    "",    "", LongNameReason},
    // Each code a hold may bring, on either file.
    {"the target held for a moment, 32",                  W,         New, Sync, Tgt,  75,      Shar, 0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    {"the target held for a moment, 33",                  W,         New, Sync, Tgt,  75,      Lock, 0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    {"the target held for a moment, 5",                   W,         New, Sync, Tgt,  75,      Deny, 0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    {"the target held for a moment, 1175",                W,         New, Sync, Tgt,  75,      Rem,  0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    {"the target held for a moment, 1176",                W,         New, Sync, Tgt,  75,      Mov,  0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    // A hold that ends as the replace meets it: the code alone tells.
    {"the target let go as the replace failed, 32",       W,         New, Sync, Tgt,  0,       Shar, 0,       Fault::None,              Shows::Completion,    25,    "0",   "", nullptr},
    {"the target let go as the replace failed, 33",       W,         New, Sync, Tgt,  0,       Lock, 0,       Fault::None,              Shows::Completion,    25,    "0",   "", nullptr},
    {"the target let go as the replace failed, 5",        W,         New, Sync, Tgt,  0,       Deny, 0,       Fault::None,              Shows::Completion,     0,    "0 2", "", nullptr},
    {"the new file held for a moment, 32",                W,         New, Scan, NewF, 75,      Shar, 0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    {"the new file held for a moment, 33",                W,         New, Scan, NewF, 75,      Lock, 0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    {"the new file held for a moment, 5",                 W,         New, Scan, NewF, 75,      Deny, 0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    {"the new file held for a moment, 1175",              W,         New, Scan, NewF, 75,      Rem,  0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    {"the new file held for a moment, 1176",              W,         New, Scan, NewF, 75,      Mov,  0,       Fault::None,              Shows::Completion,    75,    "0",   "", nullptr},
    {"the new file held for a moment",                    Way::Wine, New, Sync, NewF, 75,      0,    0,       Fault::None,              Shows::Completion,    75,    "",    "", nullptr},
    {"the new file held for good by a scanner",           W,         New, Scan, NewF, Forever, Deny, 0,       Fault::None,              Shows::LeftAsItWas, 1950,    "0",   "", HeldReason},
    {"the new file held for good by a sync client",       W,         New, Sync, NewF, Forever, Shar, 0,       Fault::None,              Shows::LeftAsItWas, 1950,    "0",   ".corvane-0.tmp=new", HeldReason},
    // The name put right, and the old file removed, with waits of their own.
    {"past the replace's waits, 1177, the old file held", W,         New, Scan, NewF, 1950,    Mov,  75,      Fault::Aside1177,         Shows::Completion,  2025,    "0 2", "", nullptr},
    {"past the replace's waits, the old file held",       W,         New, Scan, NewF, 1950,    Mov,  75,      Fault::None,              Shows::Completion,  2025,    "0",   "", nullptr},
    {"the old file held for good once replaced",          W,         New, None, Tgt,  0,       0,    Forever, Fault::None,              Shows::Completion,  1950,    "0",   ".corvane-2.tmp=old", nullptr},
    {"a scanner on the target",                           W,         New, Scan, Tgt,  Forever, 0,    0,       Fault::None,              Shows::Completion,     0,    "0",   "", nullptr},
    {"held open by an editor",                            W,         New, Ed,   Tgt,  Forever, Shar, 0,       Fault::None,              Shows::Completion,     0,    "0",   "", nullptr},
    {"held open by an editor",                            W,         Add, Ed,   Tgt,  Forever, 0,    0,       Fault::None,              Shows::Completion,     0,    "",    "", nullptr},
    {"held open by an editor",                            Way::Wine, New, Ed,   Tgt,  Forever, 0,    0,       Fault::None,              Shows::Completion,     0,    "",    "", nullptr},
    {"held open by an editor",                            Way::Wine, Add, Ed,   Tgt,  Forever, 0,    0,       Fault::None,              Shows::Completion,     0,    "",    "", nullptr},
    {"held for 0.7 s",                                    W,         New, Sync, Tgt,  700,     Shar, 0,       Fault::None,              Shows::Completion,   700,    "0",   "", nullptr},
    {"held for 0.7 s",                                    W,         Add, Sync, Tgt,  700,     0,    0,       Fault::None,              Shows::Completion,   700,    "",    "", nullptr},
    {"held for 0.7 s",                                    Way::Wine, New, Sync, Tgt,  700,     0,    0,       Fault::None,              Shows::Completion,   700,    "",    "", nullptr},
    {"held for 0.7 s",                                    Way::Wine, Add, Sync, Tgt,  700,     0,    0,       Fault::None,              Shows::Completion,   700,    "",    "", nullptr},
    {"held for good",                                     W,         New, Sync, Tgt,  Forever, Shar, 0,       Fault::None,              Shows::LeftAsItWas, 1950,    "0",   "", HeldReason},
    {"held for good",                                     W,         Add, Sync, Tgt,  Forever, 0,    0,       Fault::None,              Shows::CannotOpen,  1950,    "",    "", HeldReason},
    {"held for good",                                     Way::Wine, New, Sync, Tgt,  Forever, 0,    0,       Fault::None,              Shows::LeftAsItWas, 1950,    "",    "", HeldReason},
    {"held for good",                                     Way::Wine, Add, Sync, Tgt,  Forever, 0,    0,       Fault::None,              Shows::CannotOpen,  1950,    "",    "", HeldReason},
};
// clang-format on

// --- the stand-ins ----------------------------------------------------------------------------

const Row* Current;
std::wstring RowFolder;  // where the target is, with a final separator
std::wstring Target;
std::wstring SystemTemp;  // with a final separator
struct Holding {
    HANDLE Handle;
    DWORD Until;  // ms waited
};
std::vector<Holding> Holds;
std::wstring Backup;
bool NewFileHeld, AsideHeld, GaveCode, FaultDone, Made1177, AskedByName;
std::string Replaces;  // the flags of each call of the replace, where they changed
DWORD LastFlags;
std::string KeptInTemp;
// The files flushed to the disk, by their final paths, and whether one took the config's place
// before it was.
std::vector<std::wstring> Flushed;
bool PlacedUnflushed;
struct {
    DWORD Total;
    bool WithWaitCursor;
} Waits;
WindowsCalls Real;

void HoldFile(LPCWSTR file, Who who, DWORD until) {
    const auto& holder = Holders[static_cast<int>(who)];
    HANDLE handle =
        CreateFileW(file, holder.Access, holder.Sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, handle) << "the hold the row names";
    Holds.push_back({handle, until == Forever ? Forever : Waits.Total + until});
}

void ReleaseHolds(DWORD waited) {
    for (Holding& hold : Holds) {
        if (hold.Handle != INVALID_HANDLE_VALUE && hold.Until <= waited) {
            CloseHandle(hold.Handle);
            hold.Handle = INVALID_HANDLE_VALUE;
        }
    }
}

// Another program opens the new file just as the writer means it to take the target's place.
void HoldNewFile(LPCWSTR file) {
    if (Current->Holder == Who::Nobody || Current->At != On::NewFile || NewFileHeld) return;
    HoldFile(file, Current->Holder, Current->Until);
    NewFileHeld = true;
}

// A sync client opens the old file once it is under its temp name.
void HoldAside(LPCWSTR backup) {
    if (Current->AsideHeld == 0 || AsideHeld) return;
    HoldFile(backup, Who::SyncClient, Current->AsideHeld);
    AsideHeld = true;
}

std::wstring FinalPathOf(HANDLE file) {
    wchar_t path[2048] = {};
    const DWORD length = GetFinalPathNameByHandleW(file, path, 2048, 0);
    return std::wstring(path, length < 2048 ? length : 0);
}

BOOL WINAPI FlushForRow(HANDLE file) {
    const std::wstring path = FinalPathOf(file);
    if (Current->Failing == Fault::FlushFails && path.find(L"\\.corvane-") != std::wstring::npos) {
        FaultDone = true;
        SetLastError(ERROR_DEV_NOT_EXIST);
        return FALSE;
    }
    Flushed.push_back(path);
    return Real.FlushFileBuffers(file);
}

// A new file takes the config's name only once it is on the disk.
void ExpectFlushed(LPCWSTR file) {
    HANDLE handle = Real.CreateFileW(file, FILE_READ_ATTRIBUTES, AllSharing, nullptr, OPEN_EXISTING,
                                     0, nullptr);
    const std::wstring path = handle == INVALID_HANDLE_VALUE ? L"" : FinalPathOf(handle);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (std::find(Flushed.begin(), Flushed.end(), path) == Flushed.end()) PlacedUnflushed = true;
}

// Where the target's folder is a junction, the final paths of the folder and of what it holds
// lead to another disk: where each leads, null where it cannot be told, or for files where they
// are as they are.
const struct {
    Fault Failing;
    const wchar_t* Folder;
    const wchar_t* Files;
} Junctions[] = {
    // clang-format off
    {Fault::FolderLinked,       L"\\\\?\\D:\\Linked",  L"\\\\?\\D:\\Linked"},
    {Fault::RootLinked,         L"\\\\?\\D:\\",        L"\\\\?\\D:"},
    {Fault::FolderUnknown,      nullptr,               L"\\\\?\\D:\\Linked"},
    {Fault::UnknownFolderOnly,  nullptr,               nullptr},
    {Fault::FileLinkedToo,      L"\\\\?\\D:\\Linked",  L"\\\\?\\D:\\Backup"},
    // clang-format on
};

DWORD WINAPI FinalPathForRow(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
    const DWORD length = Real.GetFinalPathNameByHandleW(file, path, size, flags);
    const auto* junction =
        std::find_if(std::begin(Junctions), std::end(Junctions),
                     [](const auto& row) { return row.Failing == Current->Failing; });
    const std::wstring folder = L"\\\\?\\" + RowFolder.substr(0, RowFolder.size() - 1);
    const std::wstring real(path, length < size ? length : 0);
    if (junction == std::end(Junctions) || real.compare(0, folder.size(), folder) != 0) {
        return length;
    }
    FaultDone = true;
    const std::wstring rest = real.substr(folder.size());
    const wchar_t* leads = rest.empty() ? junction->Folder : junction->Files;
    if (!leads && rest.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    const std::wstring final = leads ? leads + rest : real;
    if (final.size() >= size) return static_cast<DWORD>(final.size() + 1);
    std::copy(final.c_str(), final.c_str() + final.size() + 1, path);
    return static_cast<DWORD>(final.size());
}

// Under Wine the look at a plain target keeps its security for the new file's comparison.
BOOL WINAPI SecurityForRow(LPCWSTR file, SECURITY_INFORMATION asked, PSECURITY_DESCRIPTOR security,
                           DWORD size, LPDWORD needed) {
    AskedByName = AskedByName || Target == file;
    return Real.GetFileSecurityW(file, asked, security, size, needed);
}

DWORD WINAPI LookForRow(LPCWSTR file) {
    if (Current->Failing == Fault::LookRefused && Target == file) {
        FaultDone = true;
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_FILE_ATTRIBUTES;
    }
    return Real.GetFileAttributesW(file);
}

BOOL WINAPI ReplaceForRow(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                          LPVOID, LPVOID) {
    ExpectFlushed(replacement);
    if (Replaces.empty() || flags != LastFlags) {
        Replaces += (Replaces.empty() ? "" : " ") + std::to_string(flags);
    }
    LastFlags = flags;
    HoldNewFile(replacement);
    Backup = backup;
    const Fault fault = Current->Failing;
    if (((fault == Fault::MergeRefused || fault == Fault::LookRefused) && !(flags & Merge)) ||
        fault == Fault::VolumeRefuses || fault == Fault::DeniedForGood) {
        FaultDone = FaultDone || fault != Fault::LookRefused;
        SetLastError(fault == Fault::VolumeRefuses ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const bool once = fault >= Fault::Aside1177 && fault <= Fault::Aside1177Lost && !Made1177;
    const DWORD code = Current->Code ? Current->Code : ERROR_SHARING_VIOLATION;
    const BOOL replacedNow = ReplaceInSteps(replaced, replacement, backup, code, once);
    const DWORD error = GetLastError();
    ReleaseHolds(Waits.Total);
    GaveCode = GaveCode || (!replacedNow && error == code && Current->Code);
    if (!replacedNow && error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        Made1177 = true;
        FaultDone = FaultDone || fault == Fault::Aside1177;
    }
    if (replacedNow || Made1177) HoldAside(backup);
    SetLastError(error);
    return replacedNow;
}

BOOL WINAPI LinkForRow(LPCWSTR name, LPCWSTR existing, LPSECURITY_ATTRIBUTES security) {
    ExpectFlushed(existing);
    if (Current->Failing < Fault::NoHardLinks)
        return Real.CreateHardLinkW(name, existing, security);
    FaultDone = true;
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL WINAPI MoveForRow(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (flags & MOVEFILE_REPLACE_EXISTING) HoldNewFile(from);
    if (Target == to && Backup != from) ExpectFlushed(from);
    const Fault fault = Current->Failing;
    const bool stuck = Made1177 && Backup == from &&
                       (fault == Fault::Aside1177Stuck || fault == Fault::Aside1177Lost);
    const bool lost = Made1177 && fault == Fault::Aside1177Lost && Target == to;
    const bool denied =
        (fault == Fault::DeniedForGood || fault == Fault::NoHardLinksDenied) && Target == to;
    if (stuck || lost || denied) {
        FaultDone = FaultDone || lost || (stuck && fault == Fault::Aside1177Stuck) || denied;
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (fault == Fault::NoHardLinksTaken && Target == to) {
        FaultDone = PutFileBytes(Utf8(to), "taken");
    }
    return Real.MoveFileExW(from, to, flags);
}

HANDLE WINAPI CreateForRow(LPCWSTR file, DWORD access, DWORD sharing,
                           LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                           HANDLE from) {
    const std::wstring name = file;
    const bool inRowFolder =
        name.rfind(RowFolder, 0) == 0 && name.find(L'\\', RowFolder.size()) == std::wstring::npos;
    const Fault fault = Current->Failing;
    const bool probe = flags & FILE_FLAG_DELETE_ON_CLOSE;
    if (fault == Fault::NoRoom && disposition == CREATE_NEW && inRowFolder && !probe) {
        FaultDone = true;
        SetLastError(ERROR_DISK_FULL);
        return INVALID_HANDLE_VALUE;
    }
    if (fault == Fault::NameTooLong && name == Target) {
        FaultDone = true;
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    const bool look = flags & FILE_FLAG_OPEN_REPARSE_POINT;
    if ((fault == Fault::FolderTakesNoFile && disposition == CREATE_NEW && inRowFolder) ||
        (fault == Fault::DeviceUnseen && name == Target && look) ||
        (fault == Fault::NoReadControl && name == Target && (access & READ_CONTROL)) ||
        (fault == Fault::NoNameAside && disposition == CREATE_NEW && inRowFolder && probe) ||
        (fault == Fault::DeniedForGood && (access & DELETE) && name == Target)) {
        FaultDone = true;
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return Real.CreateFileW(file, access, sharing, security, disposition, flags, from);
}

// The device that refused the look is one to the open.
DWORD WINAPI TypeForRow(HANDLE file) {
    if (Current->Failing == Fault::DeviceUnseen && FinalPathOf(file) == L"\\\\?\\" + Target) {
        return FILE_TYPE_CHAR;
    }
    return Real.GetFileType(file);
}

// Under Wine the backup then gets what any new file gets.
BOOL WINAPI TokenUserForRow(HANDLE token, TOKEN_INFORMATION_CLASS asked, LPVOID information,
                            DWORD size, PDWORD needed) {
    if (Current->Failing != Fault::NoOwnerOnly) {
        return Real.GetTokenInformation(token, asked, information, size, needed);
    }
    FaultDone = true;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// Once, as a byte-range lock of another program refuses it.
BOOL WINAPI EndForRow(HANDLE file) {
    if (Current->Failing != Fault::EndLocked || FaultDone) return Real.SetEndOfFile(file);
    FaultDone = true;
    SetLastError(ERROR_LOCK_VIOLATION);
    return FALSE;
}

// The copy of old bytes in the system's temp folder is looked at as it goes.
BOOL WINAPI DeleteForRow(LPCWSTR file) {
    if (std::wstring(file).rfind(SystemTemp, 0) == 0) KeptInTemp = FileBytes(Utf8(file));
    return Real.DeleteFileW(file);
}

VOID WINAPI SleepForRow(DWORD wait) {
    Waits.WithWaitCursor = Waits.WithWaitCursor && GetCursor() == LoadCursor(nullptr, IDC_WAIT);
    Real.Sleep(wait);
    Waits.Total += wait;
    ReleaseHolds(Waits.Total);
}

// What the folder is to hold besides the config: "name=old name=new".
void AddStaying(std::map<std::string, std::string>& expected, const std::string& stays,
                const std::string& old, const std::string& written) {
    std::istringstream names(stays);
    for (std::string entry; names >> entry;) {
        const size_t is = entry.find('=');
        expected[entry.substr(0, is)] = entry.substr(is + 1) == "old" ? old : written;
    }
}

// Each row on the player's config beside another file of the folder: what the folder holds after,
// name by name and byte for byte, the message, the waits, and what Windows' replace was asked.
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
        ASSERT_TRUE(row.Failing >= Fault::NoHardLinks || PutFileBytes(path, earlier));
        ASSERT_TRUE(PutFileBytes(folder + "\\other.cfg", "keep"));
        // A leftover of a write that never ended keeps its bytes.
        ASSERT_TRUE(PutFileBytes(folder + "\\.corvane-1.tmp", "left"));
        // A copy that another program made of one, listed before the writer's own names.
        ASSERT_TRUE(PutFileBytes(folder + "\\.corvane-0 (copy).tmp", "copy"));
        FaultDone = row.Failing == Fault::LeftSecondName &&
                    CreateHardLinkW(WidePath(folder + "\\.corvane-0.tmp").c_str(),
                                    WidePath(path).c_str(), nullptr);
        std::map<std::string, std::string> expected = FolderContents(folder);
        if (FaultDone) expected.erase(".corvane-0.tmp");
        const std::string written = row.Button == Add ? earlier + block : block;
        if (row.Expected == Shows::Completion) expected["binds.cfg"] = written;
        if (row.Expected == Shows::NameLost) expected.erase("binds.cfg");
        AddStaying(expected, row.Stays, earlier, block);

        Current = &row;
        RowFolder = Widened(folder + "\\");
        Target = Widened(path);
        SystemTemp = Widened(systemTemp + "\\");
        Backup.clear();
        Replaces.clear();
        KeptInTemp.clear();
        NewFileHeld = AsideHeld = GaveCode = Made1177 = PlacedUnflushed = AskedByName = false;
        Flushed.clear();
        Waits = {0, true};
        if (row.Holder != Who::Nobody && row.At == On::Target) {
            HoldFile(Target.c_str(), row.Holder, row.Until);
        }
        SystemCalls.UnderWine = row.Taken == Way::Wine ? Real.UnderWine : OnWindows;
        SystemCalls.ReplaceFileW = ReplaceForRow;
        SystemCalls.MoveFileExW = MoveForRow;
        SystemCalls.CreateHardLinkW = LinkForRow;
        SystemCalls.CreateFileW = CreateForRow;
        SystemCalls.DeleteFileW = DeleteForRow;
        SystemCalls.Sleep = SleepForRow;
        SystemCalls.FlushFileBuffers = FlushForRow;
        SystemCalls.GetFileAttributesW = LookForRow;
        SystemCalls.GetFinalPathNameByHandleW = FinalPathForRow;
        SystemCalls.GetFileSecurityW = SecurityForRow;
        SystemCalls.GetFileType = TypeForRow;
        SystemCalls.GetTokenInformation = TokenUserForRow;
        SystemCalls.SetEndOfFile = EndForRow;
        SetEnvironmentVariableW(L"TMP", Widened(systemTemp).c_str());
        SavePathPrompt saved = AskSavePath;
        AskSavePath = HandOver;
        HandedPath = path;
        const DWORD start = GetTickCount();
        Outcome outcome = Write(row.Button, path);
        const DWORD elapsed = GetTickCount() - start;
        AskSavePath = saved;
        SystemCalls = Real;
        ReleaseHolds(Forever);
        Holds.clear();
        EXPECT_TRUE(!PathExists(path) || Opens(Target.c_str(), GENERIC_READ | DELETE, 0))
            << "the config left open";

        std::string seen;
        for (const SeenMessageBox& box : outcome.Boxes) seen += "[" + box.Text + "] ";
        if (row.Expected == Shows::Completion) {
            EXPECT_TRUE(outcome.Boxes.empty()) << seen;
            EXPECT_EQ(1u, outcome.Completions.size());
        } else {
            const char* fates[] = {"", LeftAsItWasText, "",
                                   "Its old text is now in .corvane-2.tmp and the new text in "
                                   ".corvane-0.tmp, in the same folder."};
            const std::string fate = fates[static_cast<int>(row.Expected)];
            const std::string text =
                std::string(row.Expected == Shows::CannotOpen ? CannotOpenText : CannotWriteText) +
                "\n\n" + path + (fate.empty() ? "" : "\n\n" + fate) + ReasonText(row.Why);
            ASSERT_EQ(1u, outcome.Boxes.size()) << seen;
            EXPECT_EQ(text, outcome.Boxes[0].Text);
            EXPECT_TRUE(outcome.Completions.empty()) << "a failed write reported as done";
        }
        EXPECT_EQ(expected, FolderContents(folder));
        EXPECT_EQ(std::vector<std::string>{}, FolderEntries(systemTemp));
        EXPECT_EQ(row.Failing == Fault::FolderTakesNoFile ? earlier : "", KeptInTemp);
        // A refusal that is no hold is told at once, and one that lasts within two seconds.
        EXPECT_EQ(row.Waited, Waits.Total);
        EXPECT_EQ(row.Replaces, Replaces);
        EXPECT_FALSE(PlacedUnflushed) << "a new file took the config's name before it was flushed";
        EXPECT_TRUE(Waits.WithWaitCursor) << "a wait without the wait cursor";
        // The stand-ins did what the row names.
        EXPECT_EQ(row.Failing != Fault::None, FaultDone);
        EXPECT_EQ(row.Holder != Who::Nobody && row.At == On::NewFile, NewFileHeld);
        EXPECT_EQ(row.AsideHeld != 0, AsideHeld);
        EXPECT_EQ(row.Code != 0, GaveCode);
        EXPECT_EQ(row.Failing == Fault::NoReadControl, AskedByName)
            << "the target's security asked by name where the look could have kept it";
        if (row.Waited >= 1950) std::printf("[ INFO     ] %s: %lu ms\n", row.Name, elapsed);
    }
    SetEnvironmentVariableW(L"TMP", tmp[0] ? tmp : nullptr);
    RemoveTree(systemTemp);
}

}  // namespace

bool TakesWindowsWay() { return SystemCalls.UnderWine == OnWindows; }
