#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "target_file.h"

namespace {

// The error of the step that just failed.
bool Failed(WriteFailure* why) {
    TellFailure(why, errno == ENOSPC || errno == EDQUOT ? FailureDiskFull : FailureSystem,
                static_cast<uint32_t>(errno));
    return false;
}

bool Sync(std::FILE* file, WriteFailure* why) {
    return (std::fflush(file) == 0 && fsync(fileno(file)) == 0) || Failed(why);
}

}  // namespace

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

TempAnswer CreateTempFile(const char* tempPath, const char* target, TempUse use, std::FILE** file,
                          WriteFailure* why) {
    const bool backup = use == TempForBackup;
    int fd = open(tempPath, (backup ? O_RDWR : O_WRONLY) | O_CREAT | O_EXCL | O_CLOEXEC,
                  backup ? 0600 : 0666);
    if (fd < 0 && errno == EEXIST) return TempTaken;
    if (fd < 0) {
        Failed(why);
        return errno == ENOSPC || errno == EDQUOT ? TempFailed : TempRefused;
    }

    // The new file must belong to whoever owned the old one; where it cannot be handed over
    // (a file of someone else's), the old file is written in place instead.
    TempAnswer answer = TempMade;
    struct stat old;
    if (!backup && stat(target, &old) == 0) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) answer = TempRefused;
        if (answer == TempMade && fchmod(fd, old.st_mode & 07777) != 0) answer = TempFailed;
        if (answer != TempMade) Failed(why);
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

std::FILE* OpenInPlace(const char* path, InPlaceMode mode, bool* created, WriteFailure* why) {
    const int flags = O_RDWR | O_CLOEXEC | (mode == InPlaceAppend ? O_APPEND : 0);
    int fd = open(path, flags);
    // Not O_EXCL: through a link to a missing file, the file is made where the link points.
    *created = fd < 0 && errno == ENOENT && (fd = open(path, flags | O_CREAT, 0666)) >= 0;
    std::FILE* file = fd < 0 ? nullptr : fdopen(fd, mode == InPlaceAppend ? "a+b" : "r+b");
    if (!file) Failed(why);
    if (fd >= 0 && !file) close(fd);
    struct stat status;
    if (file && (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))) {
        TellFailure(why, FailureDevice);
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool WriteBytes(std::FILE* file, const void* bytes, size_t size, WriteFailure* why) {
    return std::fwrite(bytes, 1, size, file) == size || Failed(why);
}

bool CommitFile(std::FILE* file, WriteFailure* why) { return Sync(file, why); }

bool CloseFile(std::FILE* file, bool commit, WriteFailure* why) {
    const bool committed = !commit || Sync(file, why);
    return (std::fclose(file) == 0 || Failed(why)) && committed;
}

bool EndFileHere(std::FILE* file, WriteFailure* why) {
    if (std::fflush(file) != 0) return Failed(why);
    const off_t end = ftello(file);
    return (end >= 0 && ftruncate(fileno(file), end) == 0) || Failed(why);
}

PlaceAnswer ReplaceTarget(const char* tempPath, const char* target, bool targetExists, char*,
                          WriteFailure* why) {
    if (targetExists && rename(tempPath, target) != 0) {
        Failed(why);
        return PlaceFailed;
    }
    if (targetExists) return Placed;
    // A second name fails where the name is taken; rename would replace what took it.
    if (link(tempPath, target) != 0) {
        if (errno == EEXIST) return PlaceInPlace;
        Failed(why);
        return PlaceFailed;
    }
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
