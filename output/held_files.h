// Other programs hold files for a moment: a virus scanner, a search indexer or a sync client
// opens a file just written, or one about to be replaced, for a few milliseconds to a second. A
// step they refuse is tried again after short, growing waits; a refusal that is no hold is told
// at once.
#pragma once

#include <windows.h>

#include "write_failure.h"

constexpr DWORD AllSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A file of a step, and how the step opens it: another program holds it where an open of the
// same kind is refused for sharing.
struct FileUse {
    const wchar_t* Name;  // null: no file
    DWORD Access;
    DWORD Sharing;
};

enum HoldAnswer {
    NotHeld,     // the refusal is no other program's doing
    HoldWaited,  // a file was held and has been waited for: the step is to be tried again
    HoldLasts,   // a file is still held after every wait
};

// Waits start again from the shortest, 1.95 s in all at most: a write begins, or a step that must
// be done whatever the write's waits came to (target_file.h says how often).
void StartHoldWaits();

// After a step failed with error: whether another program holds one of its files, whatever the
// code says, and if so a wait. Keeps the step's error as the last one.
HoldAnswer WaitForHolds(DWORD error, const FileUse& first, const FileUse& second = {});

// Why the last step that WaitForHolds was asked about failed: its error, or a hold that lasts.
void TellStepFailure(WriteFailure* why);

// The system's error for a step: a full disk, and a name too long, in words of the writer's own.
void TellSystemFailure(WriteFailure* why, DWORD error);

// Another program has the file open, letting it be written but neither removed nor renamed, the
// way editors and sync clients open files: a plain write goes through, a replace does not.
bool IsHeldButWritable(const wchar_t* file);

// An open of an existing file, a move to a free name, and a removal, that wait out holds.
HANDLE OpenWaiting(const wchar_t* file, DWORD access, DWORD sharing, DWORD disposition);
bool MoveWaiting(const wchar_t* from, const wchar_t* to);
bool DeleteWaiting(const wchar_t* file);
