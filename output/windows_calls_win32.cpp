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

HMODULE SecurityLibrary;

// The security call of that name; where it cannot be had, the call fails as a missing one does.
template <typename Function>
Function Security(const char* name) {
    if (!SecurityLibrary) SecurityLibrary = LoadLibraryW(L"advapi32.dll");
    FARPROC found = SecurityLibrary ? GetProcAddress(SecurityLibrary, name) : nullptr;
    if (!found) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

BOOL WINAPI FileSecurity(LPCWSTR file, SECURITY_INFORMATION asked, PSECURITY_DESCRIPTOR descriptor,
                         DWORD size, LPDWORD needed) {
    auto call = Security<decltype(&::GetFileSecurityW)>("GetFileSecurityW");
    return call && call(file, asked, descriptor, size, needed);
}

BOOL WINAPI ObjectSecurity(HANDLE object, SECURITY_INFORMATION asked,
                           PSECURITY_DESCRIPTOR descriptor, DWORD size, LPDWORD needed) {
    auto call = Security<decltype(&::GetKernelObjectSecurity)>("GetKernelObjectSecurity");
    return call && call(object, asked, descriptor, size, needed);
}

DWORD WINAPI DescriptorLength(PSECURITY_DESCRIPTOR descriptor) {
    auto call = Security<decltype(&::GetSecurityDescriptorLength)>("GetSecurityDescriptorLength");
    return call ? call(descriptor) : 0;
}

BOOL WINAPI OpenToken(HANDLE process, DWORD access, PHANDLE token) {
    auto call = Security<decltype(&::OpenProcessToken)>("OpenProcessToken");
    return call && call(process, access, token);
}

BOOL WINAPI TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS asked, LPVOID information,
                             DWORD size, PDWORD needed) {
    auto call = Security<decltype(&::GetTokenInformation)>("GetTokenInformation");
    return call && call(token, asked, information, size, needed);
}

BOOL WINAPI InitialiseDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
    auto call = Security<decltype(&::InitializeSecurityDescriptor)>("InitializeSecurityDescriptor");
    return call && call(descriptor, revision);
}

BOOL WINAPI InitialiseList(PACL list, DWORD size, DWORD revision) {
    auto call = Security<decltype(&::InitializeAcl)>("InitializeAcl");
    return call && call(list, size, revision);
}

BOOL WINAPI AllowAccess(PACL list, DWORD revision, DWORD access, PSID sid) {
    auto call = Security<decltype(&::AddAccessAllowedAce)>("AddAccessAllowedAce");
    return call && call(list, revision, access, sid);
}

BOOL WINAPI SetList(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL list, BOOL defaulted) {
    auto call = Security<decltype(&::SetSecurityDescriptorDacl)>("SetSecurityDescriptorDacl");
    return call && call(descriptor, present, list, defaulted);
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
