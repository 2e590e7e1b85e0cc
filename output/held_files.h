// Other programs hold files for a moment: a virus scanner, a search indexer or a sync client
// opens a file just written, or one about to be replaced, for a few milliseconds to a second. A
// step they refuse is tried again after short, growing waits; a refusal that is no hold is told
// at once.
#pragma once

#include <windows.h>

// A write begins: its waits start again from the shortest, about two seconds in all at most.
void StartHoldWaits();

// Whether the step that failed with error on file met another program's hold that may yet end.
// It has then waited, and the step is to be tried again.
bool WaitedOutHold(DWORD error, const wchar_t* file);

// Another program has the file open, letting it be written but neither removed nor renamed, the
// way editors and sync clients open files: a plain write goes through, a replace does not.
bool IsHeldButWritable(const wchar_t* file);

// An open of an existing file, a move to a free name, and a removal, that wait out holds.
HANDLE OpenWaiting(const wchar_t* file, DWORD access, DWORD sharing, DWORD disposition);
bool MoveWaiting(const wchar_t* from, const wchar_t* to);
bool DeleteWaiting(const wchar_t* file);
