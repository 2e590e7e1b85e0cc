#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "file_replace.h"
#include "held_files.h"
#include "target_file.h"
#include "temp_names.h"
#include "wide_names.h"
#include "windows_calls.h"

namespace {

bool RunsUnderWine() { return SystemCalls.UnderWine(); }

HANDLE HandleOf(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

// Windows' file systems ignore case. Wine's Unix file systems do not: a link keep.cfg may point
// to KEEP.cfg beside it, and then its final path differs from its name in case alone.
// Lengths of -1 compare up to the terminating zero.
bool SameName(const wchar_t* one, int oneLength, const wchar_t* other, int otherLength) {
    return CompareStringOrdinal(one, oneLength, other, otherLength, !RunsUnderWine()) == CSTR_EQUAL;
}

// Where path leads, through every link on the way; 0 when that cannot be told.
DWORD FinalPathOf(const wchar_t* path, WideName& final) {
    HANDLE handle = SystemCalls.CreateFileW(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    const DWORD length = SystemCalls.GetFinalPathNameByHandleW(handle, final, WideSize, 0);
    SystemCalls.CloseHandle(handle);
    return length < WideSize ? length : 0;
}

// Under Wine a Unix symbolic link looks like the file it points to, but its final path, which
// Wine resolves, names that file. A file is where its name says when its final path is its full
// path, or, where a folder on the way is a link, its folder's final path followed by its name.
bool IsWhereItsNameSays(HANDLE file, const wchar_t* full, const wchar_t* name) {
    WideName fileFinal, folderFinal;
    const DWORD fileLength = SystemCalls.GetFinalPathNameByHandleW(file, fileFinal, WideSize, 0);
    if (fileLength == 0 || fileLength >= WideSize) return false;
    // The final path is in the \\?\ form.
    if (fileLength > 4 && SameName(fileFinal + 4, -1, full, -1)) return true;

    WideName folderPath;
    lstrcpynW(folderPath, full, static_cast<int>(name - full) + 1);
    DWORD folderLength = FinalPathOf(folderPath, folderFinal);
    if (folderLength == 0) return false;
    // Only a drive's root ends in a separator.
    if (folderFinal[folderLength - 1] == L'\\') --folderLength;
    return folderLength < fileLength && fileFinal[folderLength] == L'\\' &&
           SameName(folderFinal, static_cast<int>(folderLength), fileFinal,
                    static_cast<int>(folderLength)) &&
           SameName(name, -1, fileFinal + folderLength + 1, -1);
}

// Windows' ReplaceFileW gives the new file the old one's security. Wine's gives it the new
// file's own Unix permissions, so there a new file may only take the place of a file whose
// security it already has.
constexpr SECURITY_INFORMATION Security =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// Under Wine the look at a plain target keeps its security, so that the new file that is to take
// its place is compared without opening the target once more: every open is a call to Wine's
// server, and one write's opens were most of what it cost above the bare write.
struct KeptSecurity {
    WideName Target;  // the full path it belongs to; empty when none is kept
    alignas(8) unsigned char Descriptor[4096];
} Kept;

void KeepSecurity(HANDLE target, const wchar_t* full) {
    DWORD length = 0;
    if (SystemCalls.GetKernelObjectSecurity(target, Security, Kept.Descriptor,
                                            sizeof Kept.Descriptor, &length)) {
        lstrcpynW(Kept.Target, full, WideSize);
    }
}

// The target's security as kept by the look at it, else as the system reports it now.
bool SecurityOfTarget(const WideName& target, unsigned char (&descriptor)[4096]) {
    WideName full;
    const DWORD fullLength = SystemCalls.GetFullPathNameW(target, WideSize, full, nullptr);
    if (Kept.Target[0] && fullLength > 0 && fullLength < WideSize &&
        lstrcmpW(full, Kept.Target) == 0) {
        std::memcpy(descriptor, Kept.Descriptor, sizeof descriptor);
        Kept.Target[0] = L'\0';  // for this write alone: the next one looks again
        return true;
    }
    DWORD length = 0;
    return SystemCalls.GetFileSecurityW(target, Security, descriptor, sizeof descriptor, &length);
}

bool HasTheSecurityOf(HANDLE file, const WideName& target) {
    alignas(8) unsigned char own[4096], its[4096];
    DWORD ownLength = 0;
    if (!SecurityOfTarget(target, its)) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;  // nothing to keep
    }
    if (!SystemCalls.GetKernelObjectSecurity(file, Security, own, sizeof own, &ownLength)) {
        return false;
    }
    const DWORD length = SystemCalls.GetSecurityDescriptorLength(own);
    return length == SystemCalls.GetSecurityDescriptorLength(its) &&
           std::memcmp(own, its, length) == 0;
}

// Under Wine a new file gets the Unix permissions of any new file, which would let others read
// the kept old bytes of a config private to its owner. An access list that lets the owner alone
// in makes the backup 0640 there; no descriptor gives 0600 under the usual umask.
struct OwnerOnlySecurity {
    SECURITY_ATTRIBUTES Attributes;
    SECURITY_DESCRIPTOR Descriptor;
    alignas(8) unsigned char User[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    alignas(8) unsigned char List[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
};

// Null where it cannot be made: the backup then gets what any new file gets.
SECURITY_ATTRIBUTES* OwnerOnly(OwnerOnlySecurity* security) {
    HANDLE token = nullptr;
    if (!SystemCalls.OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    DWORD length = 0;
    const bool known = SystemCalls.GetTokenInformation(token, TokenUser, security->User,
                                                       sizeof security->User, &length);
    SystemCalls.CloseHandle(token);
    PACL list = reinterpret_cast<PACL>(security->List);
    if (!known ||
        !SystemCalls.InitializeSecurityDescriptor(&security->Descriptor,
                                                  SECURITY_DESCRIPTOR_REVISION) ||
        !SystemCalls.InitializeAcl(list, sizeof security->List, ACL_REVISION) ||
        !SystemCalls.AddAccessAllowedAce(list, ACL_REVISION,
                                         FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE,
                                         reinterpret_cast<TOKEN_USER*>(security->User)->User.Sid) ||
        !SystemCalls.SetSecurityDescriptorDacl(&security->Descriptor, TRUE, list, FALSE)) {
        return nullptr;
    }
    security->Attributes = {sizeof security->Attributes, &security->Descriptor, FALSE};
    return &security->Attributes;
}

// A Linux file name holds at most 255 bytes of UTF-8, where Windows takes 255 UTF-16 units. Wine
// shortens a longer name without a word, and the shortened name may be another file's.
bool HasNameTooLongForLinux(const wchar_t* full) {
    constexpr int LinuxNameBytes = 255;
    for (const wchar_t* name = full; *name;) {
        int length = 0;
        while (name[length] && name[length] != L'\\' && name[length] != L'/') ++length;
        if (WideCharToMultiByte(CP_UTF8, 0, name, length, nullptr, 0, nullptr, nullptr) >
            LinuxNameBytes) {
            return true;
        }
        name += name[length] ? length + 1 : length;
    }
    return false;
}

// A stream of the C runtime on an open handle, which it then owns. It fails only where the C
// runtime has no descriptor or stream left.
std::FILE* StreamOf(HANDLE handle, int flags, const char* mode, WriteFailure* why) {
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | flags);
    std::FILE* file = descriptor == -1 ? nullptr : _fdopen(descriptor, mode);
    if (file) return file;
    if (descriptor == -1) {
        SystemCalls.CloseHandle(handle);
    } else {
        _close(descriptor);
    }
    TellSystemFailure(why, ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
}

// The C runtime's error for its step that just failed, whose errno was cleared before it. Only
// its writes keep the system's code for it; a disk file that takes fewer bytes than it was handed
// without one is full, as Microsoft's C runtime tells it.
bool StreamFailed(WriteFailure* why, bool writing = false) {
    if (errno == ENOSPC || (writing && _doserrno == 0)) {
        TellFailure(why, FailureDiskFull);
    } else if (writing) {
        TellSystemFailure(why, static_cast<DWORD>(_doserrno));
    }
    return false;
}

// Failed from here on: the system's error for the call just made.
bool CallFailed(WriteFailure* why) {
    TellSystemFailure(why, GetLastError());
    return false;
}

// The file's flush, once the C runtime has handed the system every byte.
bool Commit(std::FILE* file, WriteFailure* why) {
    errno = 0;
    if (std::fflush(file) != 0) return StreamFailed(why);
    return SystemCalls.FlushFileBuffers(HandleOf(file)) || CallFailed(why);
}

// The file's second name, where it is a temp name of the writer's own beside it that a write could
// not remove, is removed: true when it was.
bool RemoveLeftTempName(HANDLE file, const wchar_t* full, const wchar_t* name) {
    BY_HANDLE_FILE_INFORMATION its;
    if (!SystemCalls.GetFileInformationByHandle(file, &its)) return false;
    WideName pattern;
    const int folderLength = static_cast<int>(name - full);
    lstrcpynW(pattern, full, folderLength + 1);
    if (!MultiByteToWideChar(CP_UTF8, 0, TempPrefix, -1, pattern + folderLength,
                             WideSize - folderLength)) {
        return false;
    }
    lstrcatW(pattern, L"*.tmp");
    WIN32_FIND_DATAW found;
    HANDLE search = SystemCalls.FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool removed = false;
    do {
        WideName path;
        lstrcpynW(path, full, folderLength + 1);
        lstrcatW(path, found.cFileName);
        HANDLE other =
            SystemCalls.CreateFileW(path, FILE_READ_ATTRIBUTES, AllSharing, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (other == INVALID_HANDLE_VALUE) continue;
        BY_HANDLE_FILE_INFORMATION ours;
        const bool same = SystemCalls.GetFileInformationByHandle(other, &ours) &&
                          ours.dwVolumeSerialNumber == its.dwVolumeSerialNumber &&
                          ours.nFileIndexHigh == its.nFileIndexHigh &&
                          ours.nFileIndexLow == its.nFileIndexLow;
        SystemCalls.CloseHandle(other);
        removed = same && DeleteWaiting(path);
    } while (!removed && SystemCalls.FindNextFileW(search, &found));
    SystemCalls.FindClose(search);
    return removed;
}

}  // namespace

TargetKind InspectTarget(const char* path) {
    StartHoldWaits();
    Kept.Target[0] = L'\0';
    WideName wide, full;
    wchar_t* name = nullptr;
    if (!Widen(path, wide)) return TargetInPlaceOnly;
    const DWORD fullLength = SystemCalls.GetFullPathNameW(wide, WideSize, full, &name);
    if (fullLength == 0 || fullLength >= WideSize) return TargetInPlaceOnly;
    // The system takes nul.cfg, com1.cfg and their like for \\.\NUL, \\.\COM1, ..., with no
    // file name part, whether or not the device behind it is there.
    if (full[0] == L'\\' && full[1] == L'\\' && full[2] == L'.' && full[3] == L'\\') {
        return TargetDevice;
    }
    if (!name) return TargetInPlaceOnly;
    const bool wine = RunsUnderWine();
    if (wine && HasNameTooLongForLinux(full)) return TargetBadName;
    // The path itself, not what a link or junction points to.
    const auto open = [&wide](DWORD access) {
        return SystemCalls.CreateFileW(
            wide, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HANDLE handle = open(wine ? FILE_READ_ATTRIBUTES | READ_CONTROL : FILE_READ_ATTRIBUTES);
    const bool mayKeepSecurity = wine && handle != INVALID_HANDLE_VALUE;
    if (wine && handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        handle = open(FILE_READ_ATTRIBUTES);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TargetAbsent
                                                                              : TargetInPlaceOnly;
    }
    if (SystemCalls.GetFileType(handle) != FILE_TYPE_DISK) {
        SystemCalls.CloseHandle(handle);
        return TargetDevice;
    }
    // Not GetFileInformationByHandle: Wine reads the volume's serial number for it, which costs
    // more than all the rest of the look together.
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    const bool plain =
        SystemCalls.GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
        SystemCalls.GetFileInformationByHandleEx(handle, FileStandardInfo, &standard,
                                                 sizeof standard) &&
        !(basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
        standard.NumberOfLinks <= 2 && IsWhereItsNameSays(handle, full, name) &&
        (standard.NumberOfLinks == 1 || RemoveLeftTempName(handle, full, name));
    if (plain && mayKeepSecurity) KeepSecurity(handle, full);
    SystemCalls.CloseHandle(handle);
    if (!plain) return TargetInPlaceOnly;
    return basic.FileAttributes & FILE_ATTRIBUTE_READONLY ? TargetReadOnly : TargetPlainFile;
}

TempAnswer CreateTempFile(const char* tempPath, const char* target, TempUse use, std::FILE** file,
                          WriteFailure* why) {
    WideName wideTemp, wideTarget;
    if (!Widen(tempPath, wideTemp) || !Widen(target, wideTarget)) return TempRefused;
    const bool backup = use == TempForBackup;
    OwnerOnlySecurity security;
    HANDLE handle = SystemCalls.CreateFileW(
        wideTemp, backup ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE | READ_CONTROL, 0,
        backup && RunsUnderWine() ? OwnerOnly(&security) : nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS) return TempTaken;
        TellSystemFailure(why, error);
        return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? TempFailed
                                                                           : TempRefused;
    }
    if (!backup && RunsUnderWine() && !HasTheSecurityOf(handle, wideTarget)) {
        SystemCalls.CloseHandle(handle);
        SystemCalls.DeleteFileW(wideTemp);
        return TempRefused;
    }
    *file = StreamOf(handle, 0, backup ? "w+b" : "wb", why);
    if (*file) return TempMade;
    SystemCalls.DeleteFileW(wideTemp);
    return TempFailed;
}

bool SystemTempFolder(char* folder, size_t size) {
    wchar_t wide[MAX_PATH + 1];
    const DWORD length = SystemCalls.GetTempPathW(MAX_PATH + 1, wide);
    return length > 0 && length <= MAX_PATH &&
           WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, folder,
                               static_cast<int>(size), nullptr, nullptr) > 0;
}

std::FILE* OpenInPlace(const char* path, InPlaceMode mode, bool* created, WriteFailure* why) {
    WideName wide;
    *created = false;
    if (!Widen(path, wide)) return nullptr;
    const auto open = [&wide](DWORD disposition) {
        return OpenWaiting(wide, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           disposition);
    };
    HANDLE handle = open(OPEN_EXISTING);
    // Through a link to a missing file, the file is made where the link points, and Wine then
    // says it was there already: only the first open tells.
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
        handle = open(OPEN_ALWAYS);
        *created = handle != INVALID_HANDLE_VALUE;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        TellStepFailure(why);
        return nullptr;
    }
    const bool append = mode == InPlaceAppend;
    std::FILE* file = StreamOf(handle, append ? _O_APPEND : 0, append ? "a+b" : "r+b", why);
    if (file && SystemCalls.GetFileType(HandleOf(file)) != FILE_TYPE_DISK) {
        TellFailure(why, FailureDevice);
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool WriteBytes(std::FILE* file, const void* bytes, size_t size, WriteFailure* why) {
    errno = 0;
    _doserrno = 0;
    // Wine's C runtime takes the system's last error for a short write's, whatever call left it.
    SetLastError(0);
    return std::fwrite(bytes, 1, size, file) == size || StreamFailed(why, true);
}

bool CommitFile(std::FILE* file, WriteFailure* why) { return Commit(file, why); }

bool CloseFile(std::FILE* file, bool commit, WriteFailure* why) {
    const bool committed = !commit || Commit(file, why);
    errno = 0;
    return (std::fclose(file) == 0 || StreamFailed(why)) && committed;
}

bool EndFileHere(std::FILE* file, WriteFailure* why) {
    errno = 0;
    LARGE_INTEGER end;
    end.QuadPart = std::fflush(file) == 0 ? _ftelli64(file) : -1;
    if (end.QuadPart < 0) return StreamFailed(why);
    return (SystemCalls.SetFilePointerEx(HandleOf(file), end, nullptr, FILE_BEGIN) &&
            SystemCalls.SetEndOfFile(HandleOf(file))) ||
           CallFailed(why);
}

static bool IsTaken(DWORD error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

PlaceAnswer ReplaceTarget(const char* tempPath, const char* target, bool targetExists,
                          char* asidePath, WriteFailure* why) {
    WideName wideTemp, wideTarget;
    if (!Widen(tempPath, wideTemp) || !Widen(target, wideTarget)) return PlaceFailed;
    if (targetExists) return ReplaceExistingFile(tempPath, wideTemp, wideTarget, asidePath, why);
    // Wine 8 takes a Unix link into a missing folder for a free name (not listed, not found),
    // and MoveFileEx replaces it even without MOVEFILE_REPLACE_EXISTING. A second name, made
    // with link(), fails on it as on any taken name.
    if (SystemCalls.CreateHardLinkW(wideTarget, wideTemp, nullptr)) {
        DeleteWaiting(wideTemp);
        return Placed;
    }
    if (IsTaken(GetLastError())) return PlaceInPlace;
    // A file system without hard links (FAT) has no symbolic links either.
    if (SystemCalls.MoveFileExW(wideTemp, wideTarget, MOVEFILE_WRITE_THROUGH)) return Placed;
    const DWORD error = GetLastError();
    if (IsTaken(error)) return PlaceInPlace;
    TellSystemFailure(why, error);
    return PlaceFailed;
}

bool RemoveFile(const char* path) {
    WideName wide;
    return Widen(path, wide) && DeleteWaiting(wide);
}

bool RemoveMadeFile(const char* path) {
    WideName wide, final;
    return Widen(path, wide) && FinalPathOf(wide, final) > 0 && DeleteWaiting(final);
}

bool OpenFileSize(std::FILE* file, uint64_t* size) {
    HANDLE handle = HandleOf(file);
    LARGE_INTEGER length;
    const bool known = SystemCalls.GetFileType(handle) == FILE_TYPE_DISK &&
                       SystemCalls.GetFileSizeEx(handle, &length);
    if (known) *size = static_cast<uint64_t>(length.QuadPart);
    return known;
}

bool CutBack(const char* path, uint64_t length) {
    WideName wide;
    if (!Widen(path, wide)) return false;
    HANDLE handle = OpenWaiting(
        wide, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(length);
    const bool cut = SystemCalls.SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) &&
                     SystemCalls.SetEndOfFile(handle);
    return SystemCalls.CloseHandle(handle) && cut;
}
