#include "held_files.h"

#include "windows_calls.h"

namespace {

// SQLite's waits: 25, 50, 75 ... ms; twelve of them come to 1.95 s.
constexpr DWORD WaitStep = 25;
constexpr DWORD WaitCount = 12;
DWORD Waits;

// Deleting is the one access that a hold without delete sharing refuses to everyone.
bool IsHeldAgainstDeletion(const wchar_t* file) {
    HANDLE handle = SystemCalls.CreateFileW(file, DELETE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(handle);
    return false;
}

}  // namespace

void StartHoldWaits() { Waits = 0; }

bool WaitedOutHold(DWORD error, const wchar_t* file) {
    // Renaming over a file held without delete sharing is refused as access denied, and Windows'
    // replace says that the replaced file could not be removed. Access denied that is no hold
    // (no permission, a read-only file) is final.
    const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                      ((error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED) &&
                       IsHeldAgainstDeletion(file));
    if (!held || Waits >= WaitCount) return false;
    SystemCalls.Sleep(WaitStep * ++Waits);
    return true;
}

bool IsHeldButWritable(const wchar_t* file) {
    if (!IsHeldAgainstDeletion(file)) return false;
    HANDLE handle = SystemCalls.CreateFileW(file, GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}

HANDLE OpenWaiting(const wchar_t* file, DWORD access, DWORD sharing, DWORD disposition) {
    HANDLE handle;
    do {
        handle = SystemCalls.CreateFileW(file, access, sharing, nullptr, disposition,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    } while (handle == INVALID_HANDLE_VALUE && WaitedOutHold(GetLastError(), file));
    return handle;
}

bool MoveWaiting(const wchar_t* from, const wchar_t* to) {
    while (!SystemCalls.MoveFileExW(from, to, MOVEFILE_WRITE_THROUGH)) {
        if (!WaitedOutHold(GetLastError(), from)) return false;
    }
    return true;
}

bool DeleteWaiting(const wchar_t* file) {
    while (!SystemCalls.DeleteFileW(file)) {
        if (!WaitedOutHold(GetLastError(), file)) return false;
    }
    return true;
}
