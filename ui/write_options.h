// The write options dialog and the save dialog in front of the config file writer.
#pragma once

#include <windows.h>

// In wide characters: the save dialog gives every name the file system can hold.
constexpr int FileNameBufferSize = 512;

enum SavePathAnswer {
    SavePathChosen,
    SaveCancelled,
    SavePathTooLong,  // the chosen path does not fit the file name buffer
    SaveDialogFailed,
};

// Fills path (FileNameBufferSize characters, empty on entry) with the file the player chose.
using SavePathPrompt = SavePathAnswer (*)(HWND owner, wchar_t* path);
SavePathAnswer AskWithSaveDialog(HWND owner, wchar_t* path);
// The prompt ConfigWriter uses; tests put their own in place.
extern SavePathPrompt AskSavePath;

INT_PTR CALLBACK WriteOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
