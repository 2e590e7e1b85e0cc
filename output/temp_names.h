// The writer's own names beside the player's file: ".corvane-0.tmp" on, for the new file that is
// to take the file's place, for the copy of its old bytes, and for its old file while Windows
// replaces it.
#pragma once

#include <cstddef>

#include "config_writer.h"

// A folder holding more leftovers than this is beyond any that writes which never ended could
// leave.
constexpr unsigned TempNameCount = 65536;
constexpr char TempPrefix[] = ".corvane-";
constexpr char TempSuffix[] = ".tmp";
constexpr size_t TempNameSize = sizeof TempPrefix - 1 + 5 + sizeof TempSuffix;  // 5 digits
// Room for a temp name beside a target of the save dialog's longest path.
constexpr size_t TempPathSize = PathBufferSize + TempNameSize;

// Where the folder ends in a path: after its last separator.
size_t FolderLength(const char* path);

// Writes temp name number n, and its terminating zero, at name.
void PutTempName(char* name, unsigned n);
