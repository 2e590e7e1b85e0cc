#include "file_replace.h"

#include <cstring>

#include "held_files.h"
#include "temp_names.h"
#include "wide_names.h"
#include "windows_calls.h"

namespace {

// Wine's ReplaceFileW keeps none of what Windows' keeps, and takes three steps: the target is
// moved away and removed before the new file moves in, so that a failure there would lose it. A
// rename is one step.
PlaceAnswer RenameOver(const wchar_t* temp, const wchar_t* target) {
    while (!SystemCalls.MoveFileExW(temp, target,
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        if (IsHeldButWritable(target)) return PlaceInPlace;
        if (!WaitedOutHold(error, target)) return PlaceFailed;
    }
    return Placed;
}

// A free temp name beside the new file, for the old one while Windows' replace moves the new one
// in: a program that replaces robustly names it, so that the old file always has a known name.
// The new file's own temp path was made with room for any temp name after its folder.
bool FreeAsideName(const char* tempPath, WideName& aside) {
    char path[TempPathSize];
    const size_t folderLength = FolderLength(tempPath);
    std::memcpy(path, tempPath, folderLength);
    for (unsigned n = 0; n < TempNameCount; ++n) {
        PutTempName(path + folderLength, n);
        // Made and gone at once: free a moment ago, and nobody else's.
        HANDLE probe = Widen(path, aside)
                           ? SystemCalls.CreateFileW(aside, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                     CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr)
                           : INVALID_HANDLE_VALUE;
        if (probe != INVALID_HANDLE_VALUE) return CloseHandle(probe);
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

// The old file went aside and the new one could not follow: the old one goes back, or where it
// cannot, the new one takes the name, and the write has succeeded after all.
PlaceAnswer PutNameRight(const wchar_t* temp, const wchar_t* target, const wchar_t* aside) {
    if (MoveWaiting(aside, target)) return PlaceFailed;
    if (!MoveWaiting(temp, target)) return PlaceLost;
    DeleteWaiting(aside);
    return Placed;
}

// Windows documents where a failed replace leaves the files when it is given a backup name:
// both under their own names, or the old file under the backup name and the new one under its
// own, the target's name empty.
PlaceAnswer ReplaceAsWindowsDoes(const char* tempPath, const wchar_t* temp, const wchar_t* target) {
    WideName aside;
    if (!FreeAsideName(tempPath, aside)) return PlaceFailed;
    while (!SystemCalls.ReplaceFileW(target, temp, aside, 0, nullptr, nullptr)) {
        const DWORD error = GetLastError();
        if (SystemCalls.GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES) {
            return PutNameRight(temp, target, aside);
        }
        if (IsHeldButWritable(target)) return PlaceInPlace;
        if (!WaitedOutHold(error, target)) return PlaceFailed;
    }
    DeleteWaiting(aside);
    return Placed;
}

}  // namespace

PlaceAnswer ReplaceExistingFile(const char* tempPath, const wchar_t* temp, const wchar_t* target) {
    return SystemCalls.UnderWine() ? RenameOver(temp, target)
                                   : ReplaceAsWindowsDoes(tempPath, temp, target);
}
