#include "held_files.h"

#include "windows_calls.h"

namespace {

// SQLite's waits: 25, 50, 75 ... ms; twelve of them come to 1.95 s.
constexpr DWORD WaitStep = 25;
constexpr DWORD WaitCount = 12;
DWORD Waits;
// How the last step waited on failed: its error, and whether a hold outlasted the waits.
DWORD StepError;
bool StepHeld;

bool IsSharingRefusal(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsHeld(const FileUse& use) {
    if (!use.Name) return false;
    HANDLE handle = SystemCalls.CreateFileW(use.Name, use.Access, use.Sharing, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return IsSharingRefusal(GetLastError());
    SystemCalls.CloseHandle(handle);
    return false;
}

// Deleting is the one access that a hold without delete sharing refuses to everyone.
FileUse Deleting(const wchar_t* file) { return {file, DELETE, AllSharing}; }

}  // namespace

void StartHoldWaits() { Waits = 0; }

HoldAnswer WaitForHolds(DWORD error, const FileUse& first, const FileUse& second) {
    // Windows answers a hold with a sharing violation, access denied or a call's own codes (a
    // replace's "could not remove" or "could not move"): what tells is the look at the files.
    const bool held = IsSharingRefusal(error) || IsHeld(first) || IsHeld(second);
    SetLastError(error);
    StepError = error;
    StepHeld = held && Waits >= WaitCount;
    if (!held) return NotHeld;
    if (StepHeld) return HoldLasts;
    SystemCalls.Sleep(WaitStep * ++Waits);
    return HoldWaited;
}

void TellStepFailure(WriteFailure* why) {
    if (StepHeld) {
        TellFailure(why, FailureHeld);
    } else {
        TellSystemFailure(why, StepError);
    }
}

void TellSystemFailure(WriteFailure* why, DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            TellFailure(why, FailureDiskFull);
            break;
        case ERROR_FILENAME_EXCED_RANGE:
            TellFailure(why, FailureBadName);
            break;
        default:
            TellFailure(why, FailureSystem, error);
    }
}

bool IsHeldButWritable(const wchar_t* file) {
    if (!IsHeld(Deleting(file))) return false;
    HANDLE handle = SystemCalls.CreateFileW(file, GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    SystemCalls.CloseHandle(handle);
    return true;
}

HANDLE OpenWaiting(const wchar_t* file, DWORD access, DWORD sharing, DWORD disposition) {
    HANDLE handle;
    do {
        handle = SystemCalls.CreateFileW(file, access, sharing, nullptr, disposition,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    } while (handle == INVALID_HANDLE_VALUE &&
             WaitForHolds(GetLastError(), {file, access, sharing}) == HoldWaited);
    return handle;
}

bool MoveWaiting(const wchar_t* from, const wchar_t* to) {
    while (!SystemCalls.MoveFileExW(from, to, MOVEFILE_WRITE_THROUGH)) {
        if (WaitForHolds(GetLastError(), Deleting(from)) != HoldWaited) return false;
    }
    return true;
}

bool DeleteWaiting(const wchar_t* file) {
    while (!SystemCalls.DeleteFileW(file)) {
        if (WaitForHolds(GetLastError(), Deleting(file)) != HoldWaited) return false;
    }
    return true;
}
