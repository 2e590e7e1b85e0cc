#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "target_file.h"

TargetKind InspectTarget(const char* path) {
    struct stat link;
    if (lstat(path, &link) != 0) return errno == ENOENT ? TargetAbsent : TargetInPlaceOnly;
    if (!S_ISREG(link.st_mode) || link.st_nlink != 1) return TargetInPlaceOnly;
    return access(path, W_OK) == 0 ? TargetPlainFile : TargetReadOnly;
}

TempAnswer CreateTempFile(const char* tempPath, const char* target, std::FILE** file) {
    int fd = open(tempPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) return TempTaken;
    if (fd < 0) return errno == ENOSPC || errno == EDQUOT ? TempFailed : TempRefused;

    // The new file must belong to whoever owned the old one; where it cannot be handed over
    // (a file of someone else's), the old file is written in place instead.
    TempAnswer answer = TempMade;
    struct stat old;
    if (stat(target, &old) == 0) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) answer = TempRefused;
        if (answer == TempMade && fchmod(fd, old.st_mode & 07777) != 0) answer = TempFailed;
    }
    *file = answer == TempMade ? fdopen(fd, "wb") : nullptr;
    if (*file) return TempMade;
    close(fd);
    unlink(tempPath);
    return answer == TempMade ? TempFailed : answer;
}

std::FILE* OpenInPlace(const char* path, bool append) {
    return std::fopen(path, append ? "a+b" : "wb");
}

bool CloseFile(std::FILE* file, bool commit) {
    const bool committed = !commit || (std::fflush(file) == 0 && fsync(fileno(file)) == 0);
    return std::fclose(file) == 0 && committed;
}

PlaceAnswer ReplaceTarget(const char* tempPath, const char* target, bool targetExists) {
    if (targetExists) return rename(tempPath, target) == 0 ? Placed : PlaceFailed;
    // A second name fails where the name is taken; rename would replace what took it.
    if (link(tempPath, target) != 0) return errno == EEXIST ? PlaceTaken : PlaceFailed;
    unlink(tempPath);
    return Placed;
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
