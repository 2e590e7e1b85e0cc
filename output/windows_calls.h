// The Windows calls of the file layer that other programs' holds, or Windows itself where Wine
// differs, answer in ways that a test machine never shows by itself. The layer makes them only
// through this table, whose rows are the system's own calls; tests put stand-ins in their place,
// the way SQLite's Windows layer lets its tests replace its system calls.
#pragma once

#include <windows.h>

struct WindowsCalls {
    decltype(&::CreateFileW) CreateFileW;
    decltype(&::DeleteFileW) DeleteFileW;
    decltype(&::MoveFileExW) MoveFileExW;
    decltype(&::ReplaceFileW) ReplaceFileW;
    decltype(&::CreateHardLinkW) CreateHardLinkW;
    decltype(&::GetFileAttributesW) GetFileAttributesW;
    decltype(&::GetTempPathW) GetTempPathW;
    decltype(&::Sleep) Sleep;
    // Whether the program runs under Wine, whose file calls keep less than Windows' own: the
    // layer then takes Wine's way.
    bool (*UnderWine)();
};

extern WindowsCalls SystemCalls;
