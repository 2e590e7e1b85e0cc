#include "windows_calls.h"

namespace {

// Asked once: the look-up costs more than some of the file calls it decides on.
enum WineAnswer { WineUnknown, WineAbsent, WinePresent } Wine;

bool RunsUnderWine() {
    if (Wine == WineUnknown) {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        Wine = ntdll && GetProcAddress(ntdll, "wine_get_version") ? WinePresent : WineAbsent;
    }
    return Wine == WinePresent;
}

}  // namespace

// clang-format off
WindowsCalls SystemCalls = {
    ::CreateFileW,
    ::DeleteFileW,
    ::MoveFileExW,
    ::ReplaceFileW,
    ::CreateHardLinkW,
    ::GetFileAttributesW,
    ::GetTempPathW,
    ::Sleep,
    RunsUnderWine,
};
// clang-format on
