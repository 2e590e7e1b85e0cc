// Names as the Windows side hands them to the system: wide, from the UTF-8 that the core keeps.
#pragma once

#include <windows.h>

// Wide names for the longest UTF-8 path the writer makes: a UTF-8 text never has fewer bytes
// than its UTF-16 form has units.
constexpr int WideSize = 1600;
using WideName = wchar_t[WideSize];

// No character may turn into another on the way: text that is not UTF-8 is refused.
inline bool Widen(const char* path, WideName& wide) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, WideSize) > 0;
}
