// The few file system steps that keep a failed write from touching the player's file: telling
// what kind of file the chosen path names, writing a new file beside it that takes its place in
// one step, keeping a file's old bytes aside while it is written where it is, opening and closing
// with every error seen, and cutting an appended file back. One side for Windows, one for POSIX
// systems; the tests put their own in front to make steps fail.
//
// On Windows, a step that another program's hold refuses is tried again for a moment. A write
// starts with its look at the target and waits 1.95 s at most for its steps; as much again each
// time the config's name is put right after Windows' replace (at most twice), and for removing
// the old file once replaced: 7.8 s in all at most, on the window's thread.
//
// A step that fails tells why in *why, where given (write_failure.h).
//
// Paths are UTF-8. The Windows side hands them to the system as wide names, so that a name
// outside the ANSI code page reaches the file it names and no other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "write_failure.h"

enum TargetKind {
    TargetAbsent,
    TargetPlainFile,  // a disk file with one name: a complete new file may take its place
    TargetReadOnly,
    TargetDevice,   // the name opens a device, not a disk file (nul.cfg on Windows 10)
    TargetBadName,  // the file system cannot hold the name as it was given
    // A link, a file with more than one name, or a path that cannot be looked at: replacing it
    // would cut the tie, so it is written where it is.
    TargetInPlaceOnly,
};

// A second name that is one of the writer's own temp names beside the target, left by a write
// that could not remove it, is no name the player made: the look removes it.
TargetKind InspectTarget(const char* path);

enum TempUse {
    TempToReplace,  // to take the target's place: it must end up with what the target has
    // To hold the target's old bytes. Under Wine and on POSIX systems readable by its owner
    // alone; on Windows it gets what any new file in its folder gets.
    TempForBackup,
};

enum TempAnswer {
    TempMade,
    TempTaken,    // a file of that name is there already
    TempRefused,  // no file may be made in that folder, or it would not keep what the target has
    TempFailed,   // the folder is full, or the file could not be set up
};

// Creates the new file tempPath, open for binary writing, and for reading too when it is a
// backup. A file to replace the target gets the target's permissions and owner on POSIX systems;
// on Windows ReplaceTarget gives it the target's attributes and security, and under Wine, which
// does not, a target whose security a new file would not get is refused.
TempAnswer CreateTempFile(const char* tempPath, const char* target, TempUse use, std::FILE** file,
                          WriteFailure* why);

// The folder for backups where the target's own folder takes no new file, ending in a separator.
bool SystemTempFolder(char* folder, size_t size);

enum InPlaceMode {
    InPlaceAppend,   // reading and appending
    InPlaceRewrite,  // reading and writing from the start, nothing cut
};

// Opens the file itself, making it where it is absent; through a link to a missing file, that is
// where the link points. *created says whether this open made it. Null also when what opens is
// no disk file.
std::FILE* OpenInPlace(const char* path, InPlaceMode mode, bool* created, WriteFailure* why);

// Hands the bytes to the stream's file.
bool WriteBytes(std::FILE* file, const void* bytes, size_t size, WriteFailure* why);

// Has the system put the stream's bytes on the disk.
bool CommitFile(std::FILE* file, WriteFailure* why);

// Closes the stream, committing it first when commit is set; false when any of it failed.
bool CloseFile(std::FILE* file, bool commit, WriteFailure* why);

// Ends the file at the stream's position.
bool EndFileHere(std::FILE* file, WriteFailure* why);

enum PlaceAnswer {
    Placed,
    // The file at the name is to be written where it is: a new name was taken after all, or
    // another program holds the target open, letting it be written but not replaced. The temp
    // file is still there.
    PlaceInPlace,
    PlaceFailed,  // the target is as it was, and the temp file still there
    // Neither the target's old file nor the new one could go back under its name: the old one is
    // kept under the temp name in asidePath, the new one under tempPath.
    PlaceLost,
};

// Puts the complete temp file in the target's place in one step. A name believed free is never
// replaced: whatever took it meanwhile, or a link that cannot be looked through, stays.
// asidePath has room for a temp name beside the target (TempPathSize bytes).
PlaceAnswer ReplaceTarget(const char* tempPath, const char* target, bool targetExists,
                          char* asidePath, WriteFailure* why);

bool RemoveFile(const char* path);

// Removes the file that path leads to, through any links, which stay: a file that a failed write
// made in place goes again.
bool RemoveMadeFile(const char* path);

// The size of an open disk file; false for a device or when it cannot be told.
bool OpenFileSize(std::FILE* file, uint64_t* size);

// Cuts the file back to its first length bytes.
bool CutBack(const char* path, uint64_t length);
