#include "windows_calls.h"

namespace {

// Asked once: the look-up costs more than some of the file calls it decides on.
enum WineAnswer { WineUnknown, WineAbsent, WinePresent } Wine;

bool RunsUnderWine() {
    // ntdll.dll is in every process.
    if (Wine == WineUnknown) {
        Wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") ? WinePresent
                                                                                  : WineAbsent;
    }
    return Wine == WinePresent;
}

HMODULE SecurityLibrary;

// The security call of that name, from advapi32 loaded on first use; null where it cannot be had,
// with the error a missing call gives.
FARPROC SecurityCall(const char* name) {
    if (!SecurityLibrary) SecurityLibrary = LoadLibraryW(L"advapi32.dll");
    const FARPROC found = SecurityLibrary ? GetProcAddress(SecurityLibrary, name) : nullptr;
    if (!found) SetLastError(ERROR_PROC_NOT_FOUND);
    return found;
}

// That call with these arguments; where it cannot be had, it fails as a missing call does.
template <typename Function, typename... Arguments>
auto CallSecurity(const char* name, Arguments... arguments) {
    const auto call = reinterpret_cast<Function>(reinterpret_cast<void*>(SecurityCall(name)));
    return call ? call(arguments...) : decltype(call(arguments...)){};
}

BOOL WINAPI FileSecurity(LPCWSTR file, SECURITY_INFORMATION asked, PSECURITY_DESCRIPTOR descriptor,
                         DWORD size, LPDWORD needed) {
    return CallSecurity<decltype(&::GetFileSecurityW)>("GetFileSecurityW", file, asked, descriptor,
                                                       size, needed);
}

BOOL WINAPI ObjectSecurity(HANDLE object, SECURITY_INFORMATION asked,
                           PSECURITY_DESCRIPTOR descriptor, DWORD size, LPDWORD needed) {
    return CallSecurity<decltype(&::GetKernelObjectSecurity)>("GetKernelObjectSecurity", object,
                                                              asked, descriptor, size, needed);
}

DWORD WINAPI DescriptorLength(PSECURITY_DESCRIPTOR descriptor) {
    return CallSecurity<decltype(&::GetSecurityDescriptorLength)>("GetSecurityDescriptorLength",
                                                                  descriptor);
}

BOOL WINAPI OpenToken(HANDLE process, DWORD access, PHANDLE token) {
    return CallSecurity<decltype(&::OpenProcessToken)>("OpenProcessToken", process, access, token);
}

BOOL WINAPI TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS asked, LPVOID information,
                             DWORD size, PDWORD needed) {
    return CallSecurity<decltype(&::GetTokenInformation)>("GetTokenInformation", token, asked,
                                                          information, size, needed);
}

BOOL WINAPI InitialiseDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
    return CallSecurity<decltype(&::InitializeSecurityDescriptor)>("InitializeSecurityDescriptor",
                                                                   descriptor, revision);
}

BOOL WINAPI InitialiseList(PACL list, DWORD size, DWORD revision) {
    return CallSecurity<decltype(&::InitializeAcl)>("InitializeAcl", list, size, revision);
}

BOOL WINAPI AllowAccess(PACL list, DWORD revision, DWORD access, PSID sid) {
    return CallSecurity<decltype(&::AddAccessAllowedAce)>("AddAccessAllowedAce", list, revision,
                                                          access, sid);
}

BOOL WINAPI SetList(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL list, BOOL defaulted) {
    return CallSecurity<decltype(&::SetSecurityDescriptorDacl)>(
        "SetSecurityDescriptorDacl", descriptor, present, list, defaulted);
}

}  // namespace

// clang-format off
WindowsCalls SystemCalls = {
    ::CreateFileW,
    ::CloseHandle,
    ::DeleteFileW,
    ::MoveFileExW,
    ::ReplaceFileW,
    ::CreateHardLinkW,
    ::GetFileAttributesW,
    ::GetFullPathNameW,
    ::GetFinalPathNameByHandleW,
    ::GetFileType,
    ::GetFileInformationByHandle,
    ::GetFileInformationByHandleEx,
    ::GetFileSizeEx,
    ::SetFilePointerEx,
    ::SetEndOfFile,
    ::FlushFileBuffers,
    ::FindFirstFileW,
    ::FindNextFileW,
    ::FindClose,
    ::GetTempPathW,
    ::Sleep,
    FileSecurity,
    ObjectSecurity,
    DescriptorLength,
    OpenToken,
    TokenInformation,
    InitialiseDescriptor,
    InitialiseList,
    AllowAccess,
    SetList,
    RunsUnderWine,
};
// clang-format on
