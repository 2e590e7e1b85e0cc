// The game configuration file: header, general section and one line per bind slot, every line
// ended by carriage return and line feed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../model/bind_list.h"
#include "write_failure.h"

// Room for the save dialog's longest name, 511 UTF-16 units, in UTF-8 and its terminating zero:
// a unit takes at most three bytes, and a pair of units four.
constexpr size_t PathBufferSize = 3 * 511 + 1;

extern const char ConfigHeader[];    // two lines, no line feed at the end
extern const char GeneralSection[];  // 74 characters, four lines each ended by a line feed

enum WriteOutcome {
    ConfigWritten,
    ConfigOpenFailed,     // nothing was written: no file, a device, or a file that cannot be opened
    ConfigWriteFailed,    // the write failed part-way; the file is as it was, or still absent
    ConfigPartlyWritten,  // the write failed part-way and the file's old bytes could not go back
    // Neither the old file nor the new one could be put under the file's name: both are kept
    // under temp names beside it.
    ConfigNameLost,
};

// After ConfigNameLost, the names in the file's folder that hold its old bytes and the new ones.
constexpr size_t KeptNameSize = 24;
struct KeptNames {
    char Old[KeptNameSize];
    char New[KeptNameSize];
};

// Room for the most bytes one write hands to the file: a line break first, then the fixed texts in
// the room of 512 characters, and every slot's whole storage and its break, each character stored
// as at most two bytes; and 16 bytes more, as the slots are copied in blocks of that size.
constexpr size_t MaxConfigBytes = 2 * (1 + 512 + MaxBinds * (BindSlotSize + 1)) + 16;

// Puts the bytes of one write into bytes, after a line break when lineBreakFirst is set, and
// returns how many they are.
size_t FormatConfig(const BindModel& binds, bool lineBreakFirst, char (&bytes)[MaxConfigBytes]);

// The characters this write hands over as the game counts them: header, general section and the
// texts of slots 0 to BindCount - 1, their inner line feeds one each, appended breaks not at all.
int32_t ConfigWrittenLength(const BindModel& binds);

// path is UTF-8. writeMode is "w" (create or replace) or "a+" (append after the existing content,
// starting on a new line when the file does not end with one). *writtenLength is set for
// ConfigWritten. "w" replaces a plain file only with a complete new one; a link, a file with more
// than one name, one whose permissions a new file would not get, or one that another program
// holds open but lets be written is written in place, its old bytes kept aside to be put back
// should the write fail. A temp file or a copy of old bytes goes only once the file under its own
// name holds complete bytes, old or new. A failed "a+" cuts the file back to its
// old length, and a file that a failed write created is removed. A device is never written.
// *kept, where given, is set for ConfigNameLost, and *why, where given, for every outcome but
// ConfigWritten: the first failure that ended the write.
WriteOutcome WriteConfigFile(const BindModel& binds, const char* path, const char* writeMode,
                             int32_t* writtenLength, KeptNames* kept = nullptr,
                             WriteFailure* why = nullptr);
