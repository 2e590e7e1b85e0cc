// The few file system steps that keep a failed write from touching the player's file: telling
// what kind of file the chosen path names, writing a new file beside it that takes its place in
// one step, opening and closing with every error seen, and cutting an appended file back. One
// side for Windows, one for POSIX systems; the tests put their own in front to make steps fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum TargetKind {
    TargetAbsent,
    TargetPlainFile,  // a disk file with one name: a complete new file may take its place
    TargetReadOnly,
    // A device, a link, a file with more than one name, or a path that cannot be looked at:
    // replacing it would cut the tie, so it is written where it is.
    TargetInPlaceOnly,
};

TargetKind InspectTarget(const char* path);

enum TempAnswer {
    TempMade,
    TempTaken,    // a file of that name is there already
    TempRefused,  // no file may be made in that folder: write in place
    TempFailed,   // the folder is full, or the file could not be set up
};

// Creates the new file tempPath, open for binary writing, to take the target's place later. On
// Windows ReplaceTarget gives it the target's attributes and security; on POSIX systems it gets
// the target's permissions and owner here.
TempAnswer CreateTempFile(const char* tempPath, const char* target, std::FILE** file);

// Opens the file itself, for binary writing ("w") or reading and appending ("a+").
std::FILE* OpenInPlace(const char* path, bool append);

// Closes the stream, after having the system put its bytes on the disk when commit is set; false
// when any of it failed.
bool CloseFile(std::FILE* file, bool commit);

enum PlaceAnswer {
    Placed,
    PlaceTaken,  // a new name was taken after all: the temp file is still there
    PlaceFailed,
};

// Puts the complete temp file in the target's place in one step. A name believed free is never
// replaced: whatever took it meanwhile, or a link that cannot be looked through, stays.
PlaceAnswer ReplaceTarget(const char* tempPath, const char* target, bool targetExists);

// The size of an open disk file; false for a device or when it cannot be told.
bool OpenFileSize(std::FILE* file, uint64_t* size);

// Cuts the file back to its first length bytes.
bool CutBack(const char* path, uint64_t length);
