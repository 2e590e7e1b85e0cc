// The Windows calls of the file layer that other programs' holds, or Windows itself where Wine
// differs, answer in ways that a test machine never shows by itself. Every call that reaches a
// file, a folder or the security of either goes through this table, whose rows are the system's
// own calls; tests put stand-ins in their place, the way SQLite's Windows layer lets its tests
// replace its system calls. Text conversions and the C runtime's streams do not.
#pragma once

#include <windows.h>

struct WindowsCalls {
    decltype(&::CreateFileW) CreateFileW;
    decltype(&::CloseHandle) CloseHandle;
    decltype(&::DeleteFileW) DeleteFileW;
    decltype(&::MoveFileExW) MoveFileExW;
    decltype(&::ReplaceFileW) ReplaceFileW;
    decltype(&::CreateHardLinkW) CreateHardLinkW;
    decltype(&::GetFileAttributesW) GetFileAttributesW;
    decltype(&::GetFullPathNameW) GetFullPathNameW;
    decltype(&::GetFinalPathNameByHandleW) GetFinalPathNameByHandleW;
    decltype(&::GetFileType) GetFileType;
    decltype(&::GetFileInformationByHandle) GetFileInformationByHandle;
    decltype(&::GetFileInformationByHandleEx) GetFileInformationByHandleEx;
    decltype(&::GetFileSizeEx) GetFileSizeEx;
    decltype(&::SetFilePointerEx) SetFilePointerEx;
    decltype(&::SetEndOfFile) SetEndOfFile;
    decltype(&::FlushFileBuffers) FlushFileBuffers;
    decltype(&::FindFirstFileW) FindFirstFileW;
    decltype(&::FindNextFileW) FindNextFileW;
    decltype(&::FindClose) FindClose;
    decltype(&::GetTempPathW) GetTempPathW;
    decltype(&::Sleep) Sleep;
    // The security calls, from advapi32, which is loaded only when a write first needs one, so
    // that the program's start does not pay for it.
    decltype(&::GetFileSecurityW) GetFileSecurityW;
    decltype(&::GetKernelObjectSecurity) GetKernelObjectSecurity;
    decltype(&::GetSecurityDescriptorLength) GetSecurityDescriptorLength;
    decltype(&::OpenProcessToken) OpenProcessToken;
    decltype(&::GetTokenInformation) GetTokenInformation;
    decltype(&::InitializeSecurityDescriptor) InitializeSecurityDescriptor;
    decltype(&::InitializeAcl) InitializeAcl;
    decltype(&::AddAccessAllowedAce) AddAccessAllowedAce;
    decltype(&::SetSecurityDescriptorDacl) SetSecurityDescriptorDacl;
    // Whether the program runs under Wine, whose file calls keep less than Windows' own: the
    // layer then takes Wine's way.
    bool (*UnderWine)();
};

extern WindowsCalls SystemCalls;
