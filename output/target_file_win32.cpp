#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "target_file.h"

static HANDLE HandleOf(std::FILE* file) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

// Under Wine a Unix symbolic link looks like the file it points to, but its final path, which
// Wine resolves, names that file. A file is where its name says when its final path is its
// folder's final path followed by its name; a link to another name or folder is not.
static bool IsWhereItsNameSays(HANDLE file, const char* path) {
    char full[600], name[MAX_PATH], folderPath[600], folderFinal[600], fileFinal[600];
    char* namePart = nullptr;
    DWORD length = GetFullPathNameA(path, sizeof full, full, &namePart);
    if (length == 0 || length >= sizeof full || !namePart || lstrlenA(namePart) >= MAX_PATH) {
        return false;
    }
    lstrcpyA(name, namePart);
    lstrcpynA(folderPath, full, static_cast<int>(namePart - full) + 1);
    HANDLE folder = CreateFileA(folderPath, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    DWORD folderLength = GetFinalPathNameByHandleA(folder, folderFinal, sizeof folderFinal, 0);
    CloseHandle(folder);
    DWORD fileLength = GetFinalPathNameByHandleA(file, fileFinal, sizeof fileFinal, 0);
    if (folderLength == 0 || folderLength + 1 + lstrlenA(name) >= sizeof folderFinal ||
        fileLength == 0 || fileLength >= sizeof fileFinal) {
        return false;
    }
    if (folderFinal[folderLength - 1] != '\\') lstrcatA(folderFinal, "\\");
    lstrcatA(folderFinal, name);
    return lstrcmpiA(folderFinal, fileFinal) == 0;
}

TargetKind InspectTarget(const char* path) {
    // The path itself, not what a link or junction points to.
    HANDLE handle = CreateFileA(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TargetAbsent
                                                                              : TargetInPlaceOnly;
    }
    BY_HANDLE_FILE_INFORMATION information;
    bool plain = GetFileType(handle) == FILE_TYPE_DISK &&
                 GetFileInformationByHandle(handle, &information) &&
                 !(information.dwFileAttributes &
                   (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                 information.nNumberOfLinks == 1 && IsWhereItsNameSays(handle, path);
    CloseHandle(handle);
    if (!plain) return TargetInPlaceOnly;
    return information.dwFileAttributes & FILE_ATTRIBUTE_READONLY ? TargetReadOnly
                                                                  : TargetPlainFile;
}

TempAnswer CreateTempFile(const char* tempPath, const char*, std::FILE** file) {
    HANDLE handle = CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS) return TempTaken;
        return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? TempFailed
                                                                           : TempRefused;
    }
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    *file = descriptor == -1 ? nullptr : _fdopen(descriptor, "wb");
    if (*file) return TempMade;
    if (descriptor == -1) {
        CloseHandle(handle);
    } else {
        _close(descriptor);
    }
    DeleteFileA(tempPath);
    return TempFailed;
}

std::FILE* OpenInPlace(const char* path, bool append) {
    return std::fopen(path, append ? "a+b" : "wb");
}

bool CloseFile(std::FILE* file, bool commit) {
    const bool committed = !commit || (std::fflush(file) == 0 && FlushFileBuffers(HandleOf(file)));
    return std::fclose(file) == 0 && committed;
}

static bool IsTaken(DWORD error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

PlaceAnswer ReplaceTarget(const char* tempPath, const char* target, bool targetExists) {
    // ReplaceFileA keeps the target's attributes, security and creation time.
    if (targetExists) {
        return ReplaceFileA(target, tempPath, nullptr, 0, nullptr, nullptr) ? Placed : PlaceFailed;
    }
    // Wine 8 takes a Unix link into a missing folder for a free name (not listed, not found),
    // and MoveFileEx replaces it even without MOVEFILE_REPLACE_EXISTING. A second name, made
    // with link(), fails on it as on any taken name.
    if (CreateHardLinkA(target, tempPath, nullptr)) {
        DeleteFileA(tempPath);
        return Placed;
    }
    if (IsTaken(GetLastError())) return PlaceTaken;
    // A file system without hard links (FAT) has no symbolic links either.
    if (MoveFileExA(tempPath, target, MOVEFILE_WRITE_THROUGH)) return Placed;
    return IsTaken(GetLastError()) ? PlaceTaken : PlaceFailed;
}

bool OpenFileSize(std::FILE* file, uint64_t* size) {
    HANDLE handle = HandleOf(file);
    LARGE_INTEGER length;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &length)) return false;
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool CutBack(const char* path, uint64_t length) {
    HANDLE handle =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(length);
    bool cut = SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
    return CloseHandle(handle) && cut;
}
