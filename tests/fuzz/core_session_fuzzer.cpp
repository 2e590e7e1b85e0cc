// Drives one bind model through a session of key captures, adds, deletes, clears and config
// writes decoded from the input, the way the main dialog's buttons would, while keeping its own
// copy of the list box lines (slot number per line, in line order). Every step is checked against
// what the list box and the written file must show; any mismatch traps.
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/bind_list.h"
#include "output/config_writer.h"

namespace {

#define CHECK(condition)                                                                 \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #condition); \
            __builtin_trap();                                                            \
        }                                                                                \
    } while (0)

constexpr int MaxCustomText = 400;
// Appends stop growing the file past this; a write then starts it afresh.
constexpr size_t MaxFileBytes = 2 * 1024 * 1024;

// One list box line: the slot it carries and a fingerprint of the command added with it.
struct Line {
    int32_t Slot;
    uint64_t Hash;
};

BindModel Binds;
Line Lines[MaxBinds];
int LineCount = 0;
int32_t LastKey = 0;
char ConfigFolder[64];  // holds the config file and nothing else
char ConfigPath[80];
std::string FileContent;  // what the config file must hold now
bool FileExists = false;

uint64_t Fingerprint(const char* text) {
    uint64_t hash = 1469598103934665603ull;
    for (const char* p = text; *p != '\0'; ++p) {
        hash ^= static_cast<unsigned char>(*p);
        hash *= 1099511628211ull;
    }
    return hash ^ std::strlen(text);
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Done() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t Word() {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }
    // A custom text of 0 to MaxCustomText bytes; whatever follows an embedded zero is not seen.
    void Text(char text[MaxCustomText + 1]) {
        const int length = Word() % (MaxCustomText + 1);
        std::memset(text, 0, MaxCustomText + 1);
        for (int i = 0; i < length && !Done(); ++i) text[i] = static_cast<char>(Byte());
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// The names of a key, looked up without the model's help.
const KeyEntry& KeyOf(int32_t code) {
    static const KeyEntry unnamed = {};
    return code >= 0 && code < KeyCount ? Binds.KeyNameTable[code] : unnamed;
}

// Each "%s" takes the next argument (a third one takes nothing), every other byte is copied.
std::string ExpectedCommand(const char* commandTemplate, const char* first, const char* second) {
    std::string command;
    int argument = 0;
    for (const char* p = commandTemplate; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (argument == 0) command += first;
            if (argument == 1) command += second;
            ++argument;
            ++p;
        } else {
            command += *p;
        }
    }
    return command;
}

void CheckInvariants() {
    CHECK(Binds.BindCount >= 0 && Binds.BindCount <= MaxBinds);
    CHECK(Binds.CurrentKey == LastKey);
    CHECK(LineCount >= 0 && LineCount <= Binds.BindCount);

    static bool held[MaxBinds];
    std::memset(held, 0, sizeof(held));
    int32_t previous = -1;
    for (int line = 0; line < LineCount; ++line) {
        const int32_t slot = Lines[line].Slot;
        CHECK(slot >= 0 && slot < Binds.BindCount);
        // Lines run in the order of adding, and so do the slots they were handed.
        CHECK(slot > previous);
        previous = slot;
        CHECK(!held[slot]);
        held[slot] = true;
    }
    for (int slot = 0; slot < MaxBinds; ++slot) {
        const char* text = Binds.Slots[slot].Text;
        CHECK(std::memchr(text, '\0', BindSlotSize) != nullptr);
        CHECK(Binds.SlotText(slot) == text);
        const bool empty = text[0] == '\0';
        if (slot < Binds.BindCount) {
            CHECK(empty == !held[slot]);
        } else {
            CHECK(empty);
        }
    }
    for (int line = 0; line < LineCount; ++line) {
        CHECK(Fingerprint(Binds.SlotText(Lines[line].Slot)) == Lines[line].Hash);
    }
    CHECK(Binds.SlotText(-1)[0] == '\0' && Binds.SlotText(MaxBinds)[0] == '\0');
}

void RecordKey(int32_t code) {
    CHECK(Binds.RecordKey(code) == 1);
    LastKey = code;
}

bool CellIsFilled(int category, int actionSlot) {
    if (category < 0 || category >= CategoryCount) return false;
    if (actionSlot < 0 || actionSlot >= SlotsPerCategory) return false;
    return ActionLabels[category * SlotsPerCategory + actionSlot] != nullptr;
}

// An add the model must refuse leaves everything as it was, the caller's outputs included.
// BindAdded as the expectation accepts any refusal.
void AddExpectingRefusal(int category, int actionSlot, const char* text, AddOutcome expected) {
    const int32_t count = Binds.BindCount;
    char caption[BindCaptionSize];
    std::memset(caption, '#', sizeof(caption));
    int32_t slot = -7;
    const AddOutcome outcome = Binds.AddBind(category, actionSlot, text, caption, &slot);
    CHECK(outcome != BindAdded);
    if (expected != BindAdded) CHECK(outcome == expected);
    CHECK(Binds.BindCount == count);
    CHECK(slot == -7);
    for (char byte : caption) CHECK(byte == '#');
    if (count < MaxBinds) CHECK(Binds.Slots[count].Text[0] == '\0');
}

// The "Add Bind" button with this action selected and this text in the custom text box.
void AddBind(int category, int actionSlot, const char* text) {
    if (!CellIsFilled(category, actionSlot)) {
        // The tree offers no such item; the model must still turn it away untouched.
        AddExpectingRefusal(category, actionSlot, text, BindAdded);
        return;
    }
    if (Binds.BindCount >= MaxBinds) {
        static int32_t newSlotOf[MaxBinds];
        for (int32_t& entry : newSlotOf) entry = -2;
        const int32_t count = Binds.BindCount;
        if (!Binds.MakeRoom(newSlotOf)) {
            // Only a list of live binds in every slot has no room.
            CHECK(LineCount == MaxBinds);
            CHECK(Binds.BindCount == count);
            AddExpectingRefusal(category, actionSlot, text, BindListFull);
            return;
        }
        CHECK(LineCount < MaxBinds);
        CHECK(Binds.BindCount == LineCount);
        static bool held[MaxBinds];
        std::memset(held, 0, sizeof(held));
        for (int line = 0; line < LineCount; ++line) held[Lines[line].Slot] = true;
        for (int old = 0; old < MaxBinds; ++old) {
            if (held[old]) {
                CHECK(newSlotOf[old] >= 0 && newSlotOf[old] < Binds.BindCount);
            } else {
                CHECK(newSlotOf[old] == -1);
            }
        }
        for (int line = 0; line < LineCount; ++line) {
            Lines[line].Slot = newSlotOf[Lines[line].Slot];
        }
        CheckInvariants();
    }

    const int cell = category * SlotsPerCategory + actionSlot;
    const KeyEntry& key = KeyOf(LastKey);
    CHECK(std::memchr(key.DisplayName, '\0', KeyNameSize) != nullptr);
    CHECK(std::memchr(key.GameKeyName, '\0', KeyNameSize) != nullptr);
    const std::string command = ExpectedCommand(ActionTemplates[cell], key.GameKeyName, text);
    if (command.size() > BindSlotSize - 1) {
        AddExpectingRefusal(category, actionSlot, text, CommandTooLong);
        return;
    }
    const std::string caption = std::string(key.DisplayName) + " -> (" + CategoryNames[category] +
                                ") " + ActionLabels[cell];
    CHECK(caption.size() < BindCaptionSize);

    const int32_t count = Binds.BindCount;
    char shown[BindCaptionSize];
    std::memset(shown, '#', sizeof(shown));
    int32_t slot = -7;
    CHECK(Binds.AddBind(category, actionSlot, text, shown, &slot) == BindAdded);
    CHECK(slot == count);
    CHECK(Binds.BindCount == count + 1);
    CHECK(std::memchr(shown, '\0', sizeof(shown)) != nullptr);
    CHECK(caption == shown);
    CHECK(command == Binds.SlotText(slot));
    CHECK(LineCount < MaxBinds);
    Lines[LineCount++] = {slot, Fingerprint(command.c_str())};
}

// The "Delete Key Bind" button; a line number past the end means no line is selected.
void DeleteBind(int line) {
    if (line < 0 || line >= LineCount) return;
    CHECK(Binds.DeleteSlot(Lines[line].Slot) == 1);
    std::memmove(&Lines[line], &Lines[line + 1], sizeof(Line) * (LineCount - line - 1));
    --LineCount;
}

void ClearBinds() {
    CHECK(Binds.ClearSlots() == 1);
    LineCount = 0;
    CHECK(Binds.BindCount == 0);
}

bool ReadFile(std::string* content) {
    content->clear();
    std::FILE* file = std::fopen(ConfigPath, "rb");
    if (file == nullptr) return false;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) content->append(buffer, got);
    std::fclose(file);
    return true;
}

// Old bytes in front of an append, as another program might have left them.
void Scribble(Input& input) {
    const int length = input.Byte();
    std::string bytes;
    for (int i = 0; i < length; ++i) bytes += static_cast<char>(input.Byte());
    if (FileContent.size() > MaxFileBytes) return;
    std::FILE* file = std::fopen(ConfigPath, "ab");
    CHECK(file != nullptr);
    CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    CHECK(std::fclose(file) == 0);
    FileContent += bytes;
    FileExists = true;
}

// Takes the expected text off the front of what was read back; false when it is not there.
bool Consume(const std::string& decoded, size_t* at, const char* expected) {
    const size_t length = std::strlen(expected);
    if (decoded.compare(*at, length, expected) != 0) return false;
    *at += length;
    return true;
}

// The names in the config folder.
int FolderEntries() {
    DIR* folder = opendir(ConfigFolder);
    CHECK(folder != nullptr);
    int entries = 0;
    while (dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            ++entries;
        }
    }
    closedir(folder);
    return entries;
}

// With a stop, the file size limit ends the write once the file would grow past `stop` bytes
// beyond what it holds, as a full disk would; a write that fits is checked as any other.
void WriteConfig(bool append, long stop = -1) {
    if (append && FileContent.size() > MaxFileBytes) append = false;
    const int32_t count = Binds.BindCount;
    size_t slotLengths = 0;
    for (int32_t slot = 0; slot < count; ++slot) slotLengths += std::strlen(Binds.SlotText(slot));
    const int32_t expectedLength =
        static_cast<int32_t>(std::strlen(ConfigHeader) + 74 + slotLengths);
    CHECK(std::strlen(GeneralSection) == 74);
    CHECK(ConfigWrittenLength(Binds) == expectedLength);

    int32_t written = -1;
    rlimit unlimited;
    CHECK(getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    // A write past the limit then fails with an error instead of ending the process; libFuzzer
    // has its own handler in place otherwise.
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    if (stop >= 0) {
        rlimit capped = unlimited;
        capped.rlim_cur = static_cast<rlim_t>(stop) + (append ? FileContent.size() : 0);
        CHECK(setrlimit(RLIMIT_FSIZE, &capped) == 0);
    }
    const WriteOutcome outcome = WriteConfigFile(Binds, ConfigPath, append ? "a+" : "w", &written);
    CHECK(setrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    std::signal(SIGXFSZ, handler);
    if (stop >= 0 && outcome != ConfigWritten) {
        // The folder holds exactly what it held: the old file with its bytes, or nothing.
        CHECK(outcome == ConfigWriteFailed);
        CHECK(written == 0);
        std::string content;
        CHECK(ReadFile(&content) == FileExists);
        CHECK(content == FileContent);
        CHECK(FolderEntries() == (FileExists ? 1 : 0));
        return;
    }
    CHECK(outcome == ConfigWritten);
    CHECK(written == expectedLength);
    CHECK(FolderEntries() == 1);

    std::string content;
    CHECK(ReadFile(&content));
    size_t start = 0;
    if (append) {
        CHECK(content.compare(0, FileContent.size(), FileContent) == 0);
        start = FileContent.size();
        // The block starts on a line of its own.
        if (!FileContent.empty() && FileContent.back() != '\n') {
            CHECK(content.compare(start, 2, "\r\n") == 0);
            start += 2;
        }
    }
    // Every line feed in the file comes with its carriage return; dropping those gives back the
    // texts as handed over.
    std::string decoded;
    for (size_t i = start; i < content.size(); ++i) {
        if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
            decoded += '\n';
            ++i;
            continue;
        }
        CHECK(content[i] != '\n');
        decoded += content[i];
    }
    size_t at = 0;
    CHECK(Consume(decoded, &at, ConfigHeader));
    CHECK(Consume(decoded, &at, "\n\n\n"));
    CHECK(Consume(decoded, &at, GeneralSection));
    CHECK(Consume(decoded, &at, "\n"));
    for (int32_t slot = 0; slot < count; ++slot) {
        CHECK(Consume(decoded, &at, Binds.SlotText(slot)));
        CHECK(Consume(decoded, &at, "\n"));
    }
    CHECK(at == decoded.size());
    FileContent = content;
    FileExists = true;
}

void Reset() {
    std::memset(&Binds, 0, sizeof(Binds));
    Binds.FillKeyNames();
    LineCount = 0;
    LastKey = 0;
    if (FileExists) std::remove(ConfigPath);
    FileExists = false;
    FileContent.clear();
}

void RemoveConfig() {
    std::remove(ConfigPath);
    rmdir(ConfigFolder);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::snprintf(ConfigFolder, sizeof(ConfigFolder), "/tmp/corvane_fuzz_%d",
                  static_cast<int>(getpid()));
    std::snprintf(ConfigPath, sizeof(ConfigPath), "%s/binds.cfg", ConfigFolder);
    mkdir(ConfigFolder, 0700);
    std::remove(ConfigPath);
    std::atexit(RemoveConfig);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reset();
    CheckInvariants();
    Input input(data, size);
    char text[MaxCustomText + 1];
    while (!input.Done()) {
        const uint8_t op = input.Byte();
        switch (op % 8) {
            case 0: {
                const uint16_t code = input.Word();
                RecordKey(op & 0x80 ? static_cast<int16_t>(code) : code);
                break;
            }
            case 1:
            case 2: {
                int category, actionSlot;
                if (op & 0x40) {
                    category = static_cast<int8_t>(input.Byte());
                    actionSlot = static_cast<int8_t>(input.Byte());
                } else {
                    const uint8_t cell = input.Byte();
                    category = cell / SlotsPerCategory;
                    actionSlot = cell % SlotsPerCategory;
                }
                // The second form presses the button many times in a row, to reach a full list.
                const int times = op % 8 == 2 ? input.Byte() + 1 : 1;
                input.Text(text);
                for (int i = 0; i < times; ++i) AddBind(category, actionSlot, text);
                break;
            }
            case 3:
                DeleteBind(input.Word() % (LineCount + 1));
                break;
            case 4: {
                // Deletes every stride-th line, last first, to leave scattered holes.
                const int stride = input.Byte() % 8 + 2;
                const int phase = input.Byte() % stride;
                for (int line = LineCount - 1; line >= 0; --line) {
                    if (line % stride == phase) DeleteBind(line);
                }
                break;
            }
            case 5:
                ClearBinds();
                break;
            case 6:
                // The second form stops the write at a point taken from the input.
                WriteConfig(op & 0x80, op & 0x40 ? input.Word() % 4096 : -1);
                break;
            case 7:
                Scribble(input);
                break;
        }
        CheckInvariants();
    }
    return 0;
}
