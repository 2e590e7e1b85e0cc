// The write options dialog and the save dialog in front of the config file writer.
#pragma once

#include <windows.h>

constexpr int FileNameBufferSize = 512;

enum SavePathAnswer {
    SavePathChosen,
    SaveCancelled,
    SavePathTooLong,  // the chosen path does not fit the file name buffer
    SaveDialogFailed,
};

// Fills path (FileNameBufferSize bytes, empty on entry) with the file the player chose.
using SavePathPrompt = SavePathAnswer (*)(HWND owner, char* path);
SavePathAnswer AskWithSaveDialog(HWND owner, char* path);
// The prompt ConfigWriter uses; tests put their own in place.
extern SavePathPrompt AskSavePath;

INT_PTR CALLBACK WriteOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
