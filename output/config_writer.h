// The game configuration file: header, general section and one line per bind slot, every line
// ended by carriage return and line feed.
#pragma once

#include <cstdint>

#include "../model/bind_list.h"

extern const char ConfigHeader[];    // two lines, no line feed at the end
extern const char GeneralSection[];  // 74 characters, four lines each ended by a line feed

enum WriteOutcome {
    ConfigWritten,
    ConfigOpenFailed,     // nothing was written
    ConfigWriteFailed,    // the write failed part-way; the file is as it was, or still absent
    ConfigPartlyWritten,  // the write failed part-way in the file itself, which may hold part of it
};

// The characters this write hands over as the game counts them: header, general section and the
// texts of slots 0 to BindCount - 1, their inner line feeds one each, appended breaks not at all.
int32_t ConfigWrittenLength(const BindModel& binds);

// writeMode is "w" (create or replace) or "a+" (append after the existing content, starting on a
// new line when the file does not end with one). *writtenLength is set for ConfigWritten.
// "w" replaces a plain file only with a complete new one; a device, a link or a file with more
// than one name is written in place. A failed "a+" cuts the file back to its old length, and a
// file that a failed write created is removed.
WriteOutcome WriteConfigFile(const BindModel& binds, const char* path, const char* writeMode,
                             int32_t* writtenLength);
