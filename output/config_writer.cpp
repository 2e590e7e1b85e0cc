#include "config_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "target_file.h"
#include "temp_names.h"

const char ConfigHeader[] =
    "//This Config has been created by Corvane\n"
    "//Mail: corvane@example.org ";

const char GeneralSection[] =
    "//General Implementations\n"
    "setA weapmodes \"01000110220000\"\n"
    "\n"
    "//Config Binds\n";

namespace {

// Slots are read only up to the declared count and never past their own storage, so a count or
// text that went wrong cannot send the writer beyond the table.
int32_t SlotsToWrite(const BindModel& binds) {
    return binds.BindCount > MaxBinds ? MaxBinds : binds.BindCount;
}

// Slots are searched sixteen bytes at a time, with SSE2 where the processor has it: the C
// runtime's own searches go byte by byte under Wine, and they were most of the time a write took
// to make its bytes.
constexpr unsigned Block = 16;
static_assert(BindSlotSize % Block == 0, "a slot is whole blocks");

// Where the zeros and the line feeds are among the sixteen bytes at block: bit n for byte n.
struct BlockMarks {
    unsigned Zeros;
    unsigned LineFeeds;
};

BlockMarks MarksOf(const char* block) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    return {static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128()))),
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))))};
#else
    BlockMarks marks = {0, 0};
    for (unsigned n = 0; n < Block; ++n) {
        marks.Zeros |= static_cast<unsigned>(block[n] == '\0') << n;
        marks.LineFeeds |= static_cast<unsigned>(block[n] == '\n') << n;
    }
    return marks;
#endif
}

unsigned LowestBit(unsigned bits) { return static_cast<unsigned>(__builtin_ctz(bits)); }

size_t SlotLength(const BindSlot& slot) {
    for (size_t at = 0; at < BindSlotSize; at += Block) {
        const unsigned zeros = MarksOf(slot.Text + at).Zeros;
        if (zeros) return at + LowestBit(zeros);
    }
    return BindSlotSize;
}

// Stores every line feed as carriage return and line feed, the way a Windows text-mode stream
// would.
char* PutText(char* out, const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\n') *out++ = '\r';
        *out++ = text[i];
    }
    return out;
}

char* PutLineBreak(char* out) {
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

// A slot's text, as PutText stores it. Each piece is stored as a whole block and out moves on by
// the piece's length alone: the buffer keeps a block's room past its end for that.
char* PutSlot(char* out, const BindSlot& slot) {
    for (size_t at = 0; at < BindSlotSize; at += Block) {
        const BlockMarks marks = MarksOf(slot.Text + at);
        const unsigned length = marks.Zeros ? LowestBit(marks.Zeros) : Block;
        // A copy with a block of room after it, for the pieces after a line feed.
        char block[2 * Block] = {};
        std::memcpy(block, slot.Text + at, Block);
        unsigned from = 0;
        for (unsigned lineFeeds = marks.LineFeeds & ((1u << length) - 1); lineFeeds != 0;
             lineFeeds &= lineFeeds - 1) {
            const unsigned lineFeed = LowestBit(lineFeeds);
            std::memcpy(out, block + from, Block);
            out = PutLineBreak(out + (lineFeed - from));
            from = lineFeed + 1;
        }
        std::memcpy(out, block + from, Block);
        out += length - from;
        if (marks.Zeros) break;
    }
    return out;
}

static_assert(TempNameSize <= KeptNameSize, "room for a temp name");

// The header and general section with their four breaks.
static_assert(sizeof ConfigHeader + sizeof GeneralSection + 4 <= 512, "room for the fixed texts");

// One write's bytes, made whole before the file is touched: the program writes one file at a time.
char ConfigBytes[MaxConfigBytes];

// Appending after a last line that has no break would glue the header onto it. A file of
// oldSize 0 (new, empty, or a device) has no last line.
bool EndsWithoutLineBreak(std::FILE* file, uint64_t oldSize, bool* failed) {
    if (oldSize == 0) return false;
    const int last = std::fseek(file, -1, SEEK_END) == 0 ? std::fgetc(file) : EOF;
    // Switching from reading to writing needs a positioning call in between.
    if (last == EOF || std::fseek(file, 0, SEEK_END) != 0) *failed = true;
    return last != '\n';
}

// Streams are unbuffered: the bytes are made whole in memory first, and a buffer would only copy
// them again. This must come before any other use of the stream.
std::FILE* Unbuffered(std::FILE* file) {
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

// The whole block in one call, after a line break when the oldSize bytes already in the file end
// without one. False when any of it could not be handed to the file.
bool WriteBlock(std::FILE* file, const BindModel& binds, uint64_t oldSize, WriteFailure* why) {
    bool failed = false;
    const bool lineBreakFirst = EndsWithoutLineBreak(file, oldSize, &failed);
    if (failed) return false;
    const size_t size = FormatConfig(binds, lineBreakFirst, ConfigBytes);
    return WriteBytes(file, ConfigBytes, size, why);
}

// Every byte from the start of one stream to the end of the other.
bool CopyAll(std::FILE* from, std::FILE* to, WriteFailure* why) {
    if (std::fseek(from, 0, SEEK_SET) != 0) return false;
    char chunk[8192];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, from)) > 0) {
        if (!WriteBytes(to, chunk, got, why)) return false;
    }
    return !std::ferror(from);
}

// A new file under the first free temp name in the folder, the first folderLength bytes of
// folder. Leftovers of writes that never ended are stepped over and left alone.
TempAnswer CreateTempIn(const char* folder, size_t folderLength, const char* target, TempUse use,
                        char (&tempPath)[TempPathSize], std::FILE** file, WriteFailure* why) {
    if (folderLength + TempNameSize > TempPathSize) return TempRefused;
    std::memcpy(tempPath, folder, folderLength);
    for (unsigned n = 0; n < TempNameCount; ++n) {
        PutTempName(tempPath + folderLength, n);
        const TempAnswer answer = CreateTempFile(tempPath, target, use, file, why);
        if (answer != TempTaken) return answer;
    }
    return TempFailed;
}

TempAnswer CreateTempBeside(const char* target, TempUse use, char (&tempPath)[TempPathSize],
                            std::FILE** file, WriteFailure* why) {
    return CreateTempIn(target, FolderLength(target), target, use, tempPath, file, why);
}

// A committed copy of the file's bytes, beside it or, where its folder takes no new file, in the
// system's temp folder. Left open for reading it back.
bool KeepAside(std::FILE* file, const char* path, char (&backupPath)[TempPathSize],
               std::FILE** backup, WriteFailure* why) {
    *backup = nullptr;
    // Its folder's refusal ends nothing while the temp folder takes the copy.
    WriteFailure besideWhy = {};
    if (CreateTempBeside(path, TempForBackup, backupPath, backup, &besideWhy) != TempMade) {
        char folder[PathBufferSize];
        if (!SystemTempFolder(folder, sizeof folder) ||
            CreateTempIn(folder, std::strlen(folder), path, TempForBackup, backupPath, backup,
                         why) != TempMade) {
            TellFailure(why, besideWhy.Kind, besideWhy.Code);
            return false;
        }
    }
    Unbuffered(*backup);
    if (CopyAll(file, *backup, why) && CommitFile(*backup, why)) return true;
    CloseFile(*backup, false, nullptr);
    RemoveFile(backupPath);
    return false;
}

// Writes the backup's bytes over the file and ends it there.
bool PutBack(std::FILE* backup, const char* path) {
    bool created = false;
    std::FILE* file = Unbuffered(OpenInPlace(path, InPlaceRewrite, &created, nullptr));
    if (file == nullptr) return false;
    const bool ok = CopyAll(backup, file, nullptr) && EndFileHere(file, nullptr);
    return CloseFile(file, true, nullptr) && ok;
}

// A new config in an existing file itself, which keeps its links, names and permissions. Its old
// bytes are kept aside first; a file they cannot be kept for is not touched.
WriteOutcome RewriteInPlace(const BindModel& binds, const char* path, std::FILE* file,
                            WriteFailure* why) {
    char backupPath[TempPathSize];
    std::FILE* backup = nullptr;
    if (!KeepAside(file, path, backupPath, &backup, why)) {
        CloseFile(file, false, nullptr);
        return ConfigWriteFailed;
    }
    bool ok = std::fseek(file, 0, SEEK_SET) == 0 && WriteBlock(file, binds, 0, why) &&
              EndFileHere(file, why);
    ok = CloseFile(file, true, why) && ok;
    const bool restored = !ok && PutBack(backup, path);
    CloseFile(backup, false, nullptr);
    // A copy that could not go back is the only one left of the player's bytes: it stays.
    if (ok || restored) RemoveFile(backupPath);
    return ok ? ConfigWritten : restored ? ConfigWriteFailed : ConfigPartlyWritten;
}

// Writes in the file itself; a failure takes back what this write added, where it can. A file
// that this write made goes again, also where a link put it.
WriteOutcome WriteInPlace(const BindModel& binds, const char* path, bool append,
                          WriteFailure* why) {
    bool created = false;
    // Binary streams with explicit carriage returns give the same bytes on every platform.
    std::FILE* file =
        Unbuffered(OpenInPlace(path, append ? InPlaceAppend : InPlaceRewrite, &created, why));
    if (file == nullptr) return ConfigOpenFailed;
    if (!append && !created) return RewriteInPlace(binds, path, file, why);
    uint64_t oldSize = 0;
    const bool canCutBack = append && OpenFileSize(file, &oldSize);
    bool ok = WriteBlock(file, binds, oldSize, why);
    ok = CloseFile(file, false, why) && ok;
    if (ok) return ConfigWritten;
    if (created) return RemoveMadeFile(path) ? ConfigWriteFailed : ConfigPartlyWritten;
    return canCutBack && CutBack(path, oldSize) ? ConfigWriteFailed : ConfigPartlyWritten;
}

// The whole new file goes to a file of its own in the target's folder, which takes the target's
// place only once every byte of it is on the disk. Where the folder takes no new file, or the
// new file would not keep what the target has, the target is written in place; so is a new name
// that turns out taken (a link that points nowhere), and a target that another program holds
// open but lets be written.
WriteOutcome WriteByReplacing(const BindModel& binds, const char* path, bool targetExists,
                              KeptNames* kept, WriteFailure* why) {
    char tempPath[TempPathSize], asidePath[TempPathSize];
    std::FILE* temp = nullptr;
    // A refusal ends nothing: the file is then written in place.
    WriteFailure tempWhy = {};
    const TempAnswer made = CreateTempBeside(path, TempToReplace, tempPath, &temp, &tempWhy);
    if (made == TempFailed) {
        TellFailure(why, tempWhy.Kind, tempWhy.Code);
        return ConfigWriteFailed;
    }
    if (made != TempMade) return WriteInPlace(binds, path, false, why);
    bool ok = WriteBlock(Unbuffered(temp), binds, 0, why);
    ok = CloseFile(temp, true, why) && ok;
    const PlaceAnswer placed =
        ok ? ReplaceTarget(tempPath, path, targetExists, asidePath, why) : PlaceFailed;
    if (placed == Placed) return ConfigWritten;
    // The two temp files are all that is left of the player's config: they stay, and are named.
    if (placed == PlaceLost) {
        if (kept) {
            std::strcpy(kept->Old, asidePath + FolderLength(asidePath));
            std::strcpy(kept->New, tempPath + FolderLength(tempPath));
        }
        return ConfigNameLost;
    }
    RemoveFile(tempPath);
    return placed == PlaceInPlace ? WriteInPlace(binds, path, false, why) : ConfigWriteFailed;
}

}  // namespace

size_t FormatConfig(const BindModel& binds, bool lineBreakFirst, char (&bytes)[MaxConfigBytes]) {
    char* out = bytes;
    if (lineBreakFirst) out = PutLineBreak(out);
    out = PutText(out, ConfigHeader, sizeof ConfigHeader - 1);
    out = PutLineBreak(PutLineBreak(PutLineBreak(out)));
    out = PutLineBreak(PutText(out, GeneralSection, sizeof GeneralSection - 1));
    const int32_t count = SlotsToWrite(binds);
    for (int32_t i = 0; i < count; ++i) {
        out = PutLineBreak(PutSlot(out, binds.Slots[i]));
    }
    return static_cast<size_t>(out - bytes);
}

int32_t ConfigWrittenLength(const BindModel& binds) {
    size_t length = std::strlen(ConfigHeader) + std::strlen(GeneralSection);
    const int32_t count = SlotsToWrite(binds);
    for (int32_t i = 0; i < count; ++i) length += SlotLength(binds.Slots[i]);
    return static_cast<int32_t>(length);
}

WriteOutcome WriteConfigFile(const BindModel& binds, const char* path, const char* writeMode,
                             int32_t* writtenLength, KeptNames* kept, WriteFailure* why) {
    if (writtenLength) *writtenLength = 0;
    if (why) *why = {};
    if (path == nullptr || writeMode == nullptr) return ConfigOpenFailed;
    const bool append = std::strcmp(writeMode, "a+") == 0;
    if (!append && std::strcmp(writeMode, "w") != 0) return ConfigOpenFailed;

    const TargetKind target = InspectTarget(path);
    // Windows' C runtime refuses a read-only file; the check keeps that where it would not. A
    // device is no file to keep a config in, and what it takes cannot be taken back. A name the
    // file system would change would make a file of another name.
    if (target == TargetReadOnly || target == TargetDevice || target == TargetBadName) {
        TellFailure(why, target == TargetReadOnly ? FailureReadOnly
                         : target == TargetDevice ? FailureDevice
                                                  : FailureBadName);
        return ConfigOpenFailed;
    }
    const WriteOutcome outcome =
        !append && (target == TargetAbsent || target == TargetPlainFile)
            ? WriteByReplacing(binds, path, target == TargetPlainFile, kept, why)
            : WriteInPlace(binds, path, append, why);
    if (outcome == ConfigWritten && writtenLength) *writtenLength = ConfigWrittenLength(binds);
    return outcome;
}
