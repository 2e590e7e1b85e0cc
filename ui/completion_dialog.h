// The completion dialog: how much of the game's length limit a finished write uses.
#pragma once

#include <windows.h>

INT_PTR CALLBACK CompletionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
