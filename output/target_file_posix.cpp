#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "target_file.h"

TargetKind InspectTarget(const char* path) {
    struct stat link;
    if (lstat(path, &link) != 0) return errno == ENOENT ? TargetAbsent : TargetInPlaceOnly;
    if (S_ISLNK(link.st_mode)) {
        struct stat target;
        const bool device =
            stat(path, &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode);
        if (device) return TargetDevice;
        return TargetInPlaceOnly;
    }
    if (!S_ISREG(link.st_mode)) return S_ISDIR(link.st_mode) ? TargetInPlaceOnly : TargetDevice;
    if (link.st_nlink != 1) return TargetInPlaceOnly;
    return access(path, W_OK) == 0 ? TargetPlainFile : TargetReadOnly;
}

TempAnswer CreateTempFile(const char* tempPath, const char* target, TempUse use, std::FILE** file) {
    const bool backup = use == TempForBackup;
    int fd = open(tempPath, (backup ? O_RDWR : O_WRONLY) | O_CREAT | O_EXCL | O_CLOEXEC,
                  backup ? 0600 : 0666);
    if (fd < 0 && errno == EEXIST) return TempTaken;
    if (fd < 0) return errno == ENOSPC || errno == EDQUOT ? TempFailed : TempRefused;

    // The new file must belong to whoever owned the old one; where it cannot be handed over
    // (a file of someone else's), the old file is written in place instead.
    TempAnswer answer = TempMade;
    struct stat old;
    if (!backup && stat(target, &old) == 0) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) answer = TempRefused;
        if (answer == TempMade && fchmod(fd, old.st_mode & 07777) != 0) answer = TempFailed;
    }
    *file = answer == TempMade ? fdopen(fd, backup ? "w+b" : "wb") : nullptr;
    if (*file) return TempMade;
    close(fd);
    unlink(tempPath);
    return answer == TempMade ? TempFailed : answer;
}

bool SystemTempFolder(char* folder, size_t size) {
    const char* tmp = std::getenv("TMPDIR");
    if (tmp == nullptr || tmp[0] != '/') tmp = "/tmp";
    const size_t length = std::strlen(tmp);
    if (length + 2 > size) return false;
    std::memcpy(folder, tmp, length);
    folder[length] = '/';
    folder[length + 1] = '\0';
    return true;
}

std::FILE* OpenInPlace(const char* path, InPlaceMode mode, bool* created) {
    const int flags = O_RDWR | O_CLOEXEC | (mode == InPlaceAppend ? O_APPEND : 0);
    int fd = open(path, flags);
    // Not O_EXCL: through a link to a missing file, the file is made where the link points.
    *created = fd < 0 && errno == ENOENT && (fd = open(path, flags | O_CREAT, 0666)) >= 0;
    std::FILE* file = fd < 0 ? nullptr : fdopen(fd, mode == InPlaceAppend ? "a+b" : "r+b");
    if (fd >= 0 && !file) close(fd);
    struct stat status;
    if (file && (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool CommitFile(std::FILE* file) { return std::fflush(file) == 0 && fsync(fileno(file)) == 0; }

bool CloseFile(std::FILE* file, bool commit) {
    const bool committed = !commit || (std::fflush(file) == 0 && fsync(fileno(file)) == 0);
    return std::fclose(file) == 0 && committed;
}

bool EndFileHere(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    const off_t end = ftello(file);
    return end >= 0 && ftruncate(fileno(file), end) == 0;
}

PlaceAnswer ReplaceTarget(const char* tempPath, const char* target, bool targetExists, char*) {
    if (targetExists) return rename(tempPath, target) == 0 ? Placed : PlaceFailed;
    // A second name fails where the name is taken; rename would replace what took it.
    if (link(tempPath, target) != 0) return errno == EEXIST ? PlaceInPlace : PlaceFailed;
    unlink(tempPath);
    return Placed;
}

bool RemoveFile(const char* path) { return unlink(path) == 0; }

bool RemoveMadeFile(const char* path) {
    char where[PATH_MAX];
    return realpath(path, where) && unlink(where) == 0;
}

bool OpenFileSize(std::FILE* file, uint64_t* size) {
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    *size = static_cast<uint64_t>(status.st_size);
    return true;
}

bool CutBack(const char* path, uint64_t length) {
    return truncate(path, static_cast<off_t>(length)) == 0;
}
