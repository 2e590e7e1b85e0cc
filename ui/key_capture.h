// The key capture box: turns key presses and, while "Mouse" is down, one mouse button or wheel
// step into the current key, shows its name and binds it at once when "Automatically Bind" is on.
#pragma once

#include <windows.h>

int TryAutoBind(HWND box);
LRESULT CALLBACK KeyCaptureProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
