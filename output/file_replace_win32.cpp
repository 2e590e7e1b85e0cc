#include "file_replace.h"

#include <cstring>

#include "held_files.h"
#include "temp_names.h"
#include "wide_names.h"
#include "windows_calls.h"

namespace {

// Wine's ReplaceFileW keeps none of what Windows' keeps, and takes three steps: the target is
// moved away and removed before the new file moves in, so that a failure there would lose it. A
// rename is one step. Windows takes it too where its replace is refused.
PlaceAnswer RenameOver(const wchar_t* temp, const wchar_t* target, WriteFailure* why) {
    while (!SystemCalls.MoveFileExW(temp, target,
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        if (IsHeldButWritable(target)) return PlaceInPlace;
        if (WaitForHolds(error, {target, DELETE, AllSharing}, {temp, DELETE, AllSharing}) !=
            HoldWaited) {
            TellStepFailure(why);
            return PlaceFailed;
        }
    }
    return Placed;
}

// A free temp name beside the new file, for the old one while Windows' replace moves the new one
// in: a program that replaces robustly names it, so that the old file always has a known name.
// The new file's own temp path was made with room for any temp name after its folder.
bool FreeAsideName(const char* tempPath, char* path, WideName& aside) {
    const size_t folderLength = FolderLength(tempPath);
    std::memcpy(path, tempPath, folderLength);
    for (unsigned n = 0; n < TempNameCount; ++n) {
        PutTempName(path + folderLength, n);
        // Made and gone at once: free a moment ago, and nobody else's.
        HANDLE probe = Widen(path, aside)
                           ? SystemCalls.CreateFileW(aside, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                     CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr)
                           : INVALID_HANDLE_VALUE;
        if (probe != INVALID_HANDLE_VALUE) return SystemCalls.CloseHandle(probe);
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

// With waits of its own, whatever the replace's came to: a copy of old bytes that a scanner
// holds past them stays, and later writes step over its name.
void RemoveAside(const wchar_t* aside) {
    StartHoldWaits();
    DeleteWaiting(aside);
}

// The old file went aside and the new one could not follow: the old one goes back, or where it
// cannot, the new one takes the name, and the write has succeeded after all. This has waits of
// its own, so that the replace's having spent them on a hold does not leave the name empty.
PlaceAnswer PutNameRight(const wchar_t* temp, const wchar_t* target, const wchar_t* aside,
                         WriteFailure* why) {
    StartHoldWaits();
    if (MoveWaiting(aside, target)) return PlaceFailed;
    if (!MoveWaiting(temp, target)) {
        TellStepFailure(why);
        return PlaceLost;
    }
    RemoveAside(aside);
    return Placed;
}

// Where Windows left the old file after a failed replace, as the look at both names answers: a
// look that fails for any other reason says nothing of it.
bool IsNameEmpty(const wchar_t* target, const wchar_t* aside) {
    return SystemCalls.GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES &&
           GetLastError() == ERROR_FILE_NOT_FOUND &&
           SystemCalls.GetFileAttributesW(aside) != INVALID_FILE_ATTRIBUTES;
}

// How Windows' replace opens the two files, documented: a hold on either that does not share
// what it asks refuses the replace.
constexpr DWORD ReplaceAccess = GENERIC_READ | DELETE | SYNCHRONIZE;

// Windows documents where a failed replace leaves the files when it is given a backup name:
// both under their own names, or the old file under the backup name and the new one under its
// own, the target's name empty. A refusal that no hold explains is asked again without the old
// file's security and attributes, which a share or the player's rights may not let it carry
// over; where that is refused too, the volume takes no replace, and the new file is renamed in.
PlaceAnswer ReplaceAsWindowsDoes(const char* tempPath, const wchar_t* temp, const wchar_t* target,
                                 char* asidePath, WriteFailure* why) {
    WideName aside;
    // Without a known name for the old file the replace is not safe: a failure could lose it.
    if (!FreeAsideName(tempPath, asidePath, aside)) return RenameOver(temp, target, why);
    DWORD flags = 0;
    while (!SystemCalls.ReplaceFileW(target, temp, aside, flags, nullptr, nullptr)) {
        const DWORD error = GetLastError();
        if (IsNameEmpty(target, aside)) {
            // With the old file back, the replace is tried as after any other refusal.
            const PlaceAnswer putRight = PutNameRight(temp, target, aside, why);
            if (putRight != PlaceFailed) return putRight;
        } else if (IsHeldButWritable(target)) {
            return PlaceInPlace;
        } else {
            const HoldAnswer hold =
                WaitForHolds(error, {target, ReplaceAccess, AllSharing}, {temp, ReplaceAccess, 0});
            if (hold == HoldLasts) {
                TellStepFailure(why);
                return PlaceFailed;
            }
            if (hold == HoldWaited) continue;
        }
        if (flags != 0) return RenameOver(temp, target, why);
        flags = REPLACEFILE_IGNORE_MERGE_ERRORS;
    }
    RemoveAside(aside);
    return Placed;
}

}  // namespace

PlaceAnswer ReplaceExistingFile(const char* tempPath, const wchar_t* temp, const wchar_t* target,
                                char* asidePath, WriteFailure* why) {
    return SystemCalls.UnderWine() ? RenameOver(temp, target, why)
                                   : ReplaceAsWindowsDoes(tempPath, temp, target, asidePath, why);
}
