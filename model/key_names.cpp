#include "key_names.h"

namespace {

struct KeyNameRow {
    int Code;
    const char* DisplayName;
    const char* GameKeyName;
};

// Keys whose names follow no rule. Codes 1 to 5 are the mouse pseudo-codes of the key capture
// box, not the virtual keys that share their numbers.
// clang-format off
constexpr KeyNameRow KeyNames[] = {
    {0x01, "Left Mouse", "mouse1"},
    {0x02, "Right Mouse", "mouse2"},
    {0x03, "Wheel Up ", "mwheelup"},
    {0x04, "Wheel Down", "mwheeldown"},
    {0x05, "Middle Mouse", "mouse3"},
    {0x08, "Back Space", "backspace"},
    {0x09, "Tab", "tab"},
    {0x0D, "Enter", "enter"},
    {0x10, "Shift", "shift"},
    {0x11, "Control", "ctrl"},
    {0x12, "Alt", "alt"},
    {0x14, "Capital Lock", "capslock"},
    {0x1B, "Escape", "escape"},
    {0x20, "Space Bar", "space"},
    {0x21, "Page Up", "pgup"},
    {0x22, "Page Down", "pgdn"},
    {0x23, "End", "end"},
    {0x24, "Home", "home"},
    {0x25, "Left Arrow", "leftarrow"},
    {0x26, "Up Arrow", "uparrow"},
    {0x27, "Right Arrow", "rightarrow"},
    {0x28, "Down Arrow", "downarrow"},
    {0x2D, "Insert", "ins"},
    {0x2E, "Delete", "del"},
    {0x60, "Keypad 0", "kp_ins"},
    {0x61, "Keypad 1", "kp_end"},
    {0x62, "Keypad 2", "kp_downarrow"},
    {0x63, "Keypad 3", "kp_pgdn"},
    {0x64, "Keypad 4", "kp_leftarrow"},
    {0x65, "Keypad 5", "kp_5"},
    {0x66, "Keypad 6", "kp_rightarrow"},
    {0x67, "Keypad 7", "kp_home"},
    {0x68, "Keypad 8", "kp_uparrow"},
    {0x69, "Keypad 9", "kp_pgup"},
    {0x6A, "Keypad *", "*"},
    {0x6B, "Keypad +", "kp_plus"},
    {0x6D, "Keypad -", "kp_minus"},
    {0x6E, "Keypad Delete", "kp_del"},
    {0x6F, "Keypad /", "kp_slash"},
    {0xBA, "Semi Colon", "semicolon"},
    {0xBB, "Plus", "+"},
    {0xBC, "Comma", ","},
    {0xBD, "Minus", "-"},
    {0xBE, "Dot", "."},
    {0xDB, "Bracket [", "["},
    {0xDD, "Bracket ]", "]"},
    {0xDF, "Tidle", "`"},
};
// clang-format on

constexpr int FirstDigitCode = 0x30;
constexpr int FirstLetterCode = 0x41;
constexpr int FirstFunctionCode = 0x70;  // F1
constexpr int FunctionKeyCount = 12;

constexpr int NameLength(const char* name) {
    int length = 0;
    while (name[length] != '\0') ++length;
    return length;
}

constexpr bool RowsFitTheTable() {
    for (const KeyNameRow& row : KeyNames) {
        if (row.Code <= 0 || row.Code >= KeyCount) return false;
        if (NameLength(row.DisplayName) >= KeyNameSize) return false;
        if (NameLength(row.GameKeyName) >= KeyNameSize) return false;
    }
    return true;
}
static_assert(RowsFitTheTable(), "every named key must fit its entry");

// Writes the whole field so a refill leaves no trace of earlier contents. Every name fits: the
// rows are checked above, and the rules make names of at most three characters.
void SetName(char (&field)[KeyNameSize], const char* name) {
    int i = 0;
    for (; name[i] != '\0'; ++i) field[i] = name[i];
    for (; i < KeyNameSize; ++i) field[i] = '\0';
}

void SetEntry(KeyEntry& entry, const char* displayName, const char* gameKeyName) {
    SetName(entry.DisplayName, displayName);
    SetName(entry.GameKeyName, gameKeyName);
}

}  // namespace

void FillKeyNames(KeyEntry table[KeyCount]) {
    for (int digit = 0; digit < 10; ++digit) {
        const char name[2] = {static_cast<char>('0' + digit), '\0'};
        SetEntry(table[FirstDigitCode + digit], name, name);
    }
    for (int letter = 0; letter < 26; ++letter) {
        const char display[2] = {static_cast<char>('A' + letter), '\0'};
        const char game[2] = {static_cast<char>('a' + letter), '\0'};
        SetEntry(table[FirstLetterCode + letter], display, game);
    }
    for (int number = 1; number <= FunctionKeyCount; ++number) {
        char display[4] = {'F', '\0', '\0', '\0'};
        if (number >= 10) {
            display[1] = '1';
            display[2] = static_cast<char>('0' + number - 10);
        } else {
            display[1] = static_cast<char>('0' + number);
        }
        char game[4] = {'f', display[1], display[2], '\0'};
        SetEntry(table[FirstFunctionCode + number - 1], display, game);
    }
    for (const KeyNameRow& row : KeyNames) {
        SetEntry(table[row.Code], row.DisplayName, row.GameKeyName);
    }
}

const KeyEntry& KeyEntryOf(const KeyEntry table[KeyCount], int32_t code) {
    static const KeyEntry unnamed = {};
    if (code < 0 || code >= KeyCount) return unnamed;
    return table[code];
}
