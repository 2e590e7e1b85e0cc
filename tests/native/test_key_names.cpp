#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <memory>
#include <set>
#include <string>

#include "model/key_names.h"

namespace {

struct KeyTable {
    KeyEntry Entries[KeyCount];
};

std::unique_ptr<KeyTable> FilledTable() {
    auto table = std::make_unique<KeyTable>();
    FillKeyNames(table->Entries);
    return table;
}

struct NamedKey {
    int Code;
    const char* DisplayName;
    const char* GameKeyName;
};

TEST(KeyNames, NamedKeysHoldTheirExactNames) {
    const NamedKey keys[] = {
        {0x01, "Left Mouse", "mouse1"},
        {0x02, "Right Mouse", "mouse2"},
        {0x03, "Wheel Up ", "mwheelup"},
        {0x04, "Wheel Down", "mwheeldown"},
        {0x05, "Middle Mouse", "mouse3"},
        {0x08, "Back Space", "backspace"},
        {0x0D, "Enter", "enter"},
        {0x10, "Shift", "shift"},
        {0x11, "Control", "ctrl"},
        {0x12, "Alt", "alt"},
        {0x14, "Capital Lock", "capslock"},
        {0x20, "Space Bar", "space"},
        {0x22, "Page Down", "pgdn"},
        {0x2E, "Delete", "del"},
        {0x6A, "Keypad *", "*"},
        {0x6B, "Keypad +", "kp_plus"},
        {0x6E, "Keypad Delete", "kp_del"},
        {0x6F, "Keypad /", "kp_slash"},
        {0xBA, "Semi Colon", "semicolon"},
        {0xBB, "Plus", "+"},
        {0xBE, "Dot", "."},
        {0xDB, "Bracket [", "["},
        {0xDD, "Bracket ]", "]"},
        {0xDF, "Tidle", "`"},
    };
    const auto table = FilledTable();
    for (const NamedKey& key : keys) {
        SCOPED_TRACE(key.Code);
        const KeyEntry& entry = KeyEntryOf(table->Entries, key.Code);
        EXPECT_STREQ(entry.DisplayName, key.DisplayName);
        EXPECT_STREQ(entry.GameKeyName, key.GameKeyName);
    }
}

// Keys whose codes run in a row are named in the same order: digits, letters, F1 to F12, the
// arrows (left, up, right, down) and the keypad digits, each of which is also the navigation key
// printed on it.
TEST(KeyNames, KeysInARowAreNamedInTheirCodesOrder) {
    const auto table = FilledTable();
    auto expectNames = [&](int code, const std::string& display, const std::string& game) {
        EXPECT_EQ(display, table->Entries[code].DisplayName) << code;
        EXPECT_EQ(game, table->Entries[code].GameKeyName) << code;
    };
    for (int digit = 0; digit <= 9; ++digit) {
        expectNames(0x30 + digit, std::to_string(digit), std::to_string(digit));
    }
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        expectNames(0x41 + letter - 'a', std::string(1, letter - 'a' + 'A'),
                    std::string(1, letter));
    }
    for (int number = 1; number <= 12; ++number) {
        expectNames(0x6F + number, "F" + std::to_string(number), "f" + std::to_string(number));
    }
    const char* const directions[] = {"Left", "Up", "Right", "Down"};
    for (int i = 0; i < 4; ++i) {
        std::string game = directions[i];
        game[0] = static_cast<char>(game[0] - 'A' + 'a');
        expectNames(0x25 + i, std::string(directions[i]) + " Arrow", game + "arrow");
    }
    // Insert, End, Down, Page Down, Left, (5), Right, Home, Up, Page Up.
    const int printedOn[10] = {0x2D, 0x23, 0x28, 0x22, 0x25, 0, 0x27, 0x24, 0x26, 0x21};
    for (int digit = 0; digit <= 9; ++digit) {
        const std::string navigation =
            printedOn[digit] ? table->Entries[printedOn[digit]].GameKeyName : "5";
        expectNames(0x60 + digit, "Keypad " + std::to_string(digit), "kp_" + navigation);
    }
}

// Quake III's own list of key names (left out: joystick, aux and world keys, which no entry
// uses); any other name the game takes is a single character.
const char* const kEngineKeyNames[] = {
    "TAB",       "ENTER",        "ESCAPE",     "SPACE",        "BACKSPACE", "UPARROW",
    "DOWNARROW", "LEFTARROW",    "RIGHTARROW", "ALT",          "CTRL",      "SHIFT",
    "COMMAND",   "CAPSLOCK",     "F1",         "F2",           "F3",        "F4",
    "F5",        "F6",           "F7",         "F8",           "F9",        "F10",
    "F11",       "F12",          "F13",        "F14",          "F15",       "INS",
    "DEL",       "PGDN",         "PGUP",       "HOME",         "END",       "MOUSE1",
    "MOUSE2",    "MOUSE3",       "MOUSE4",     "MOUSE5",       "MWHEELUP",  "MWHEELDOWN",
    "KP_HOME",   "KP_UPARROW",   "KP_PGUP",    "KP_LEFTARROW", "KP_5",      "KP_RIGHTARROW",
    "KP_END",    "KP_DOWNARROW", "KP_PGDN",    "KP_ENTER",     "KP_INS",    "KP_DEL",
    "KP_SLASH",  "KP_MINUS",     "KP_PLUS",    "KP_NUMLOCK",   "KP_STAR",   "KP_EQUALS",
    "PAUSE",     "SEMICOLON",
};

// Every game key name is one the game knows, and no two keys share one: a bind must reach the
// key it was made for.
TEST(KeyNames, GameKeyNamesAreTheGamesOwnAndEachNamesOneKey) {
    const auto table = FilledTable();
    std::set<std::string> seen;
    for (int code = 0; code < KeyCount; ++code) {
        const std::string name = table->Entries[code].GameKeyName;
        if (name.empty()) continue;
        SCOPED_TRACE(code);
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const bool known =
            name.size() == 1 || std::find(std::begin(kEngineKeyNames), std::end(kEngineKeyNames),
                                          upper) != std::end(kEngineKeyNames);
        EXPECT_TRUE(known) << name;
        EXPECT_TRUE(seen.insert(name).second) << name << " names two keys";
    }
}

TEST(KeyNames, UnnamedCodesStayEmpty) {
    // Every code with no name, as runs of first and last code: among them Pause, Print Screen,
    // the Windows keys, F13 to F24, the lock keys, the left and right modifier variants and
    // VK_OEM_2/3/5/7.
    const int runs[][2] = {{0x00, 0x00}, {0x06, 0x07}, {0x0A, 0x0C}, {0x0E, 0x0F}, {0x13, 0x13},
                           {0x15, 0x1A}, {0x1C, 0x1F}, {0x29, 0x2C}, {0x2F, 0x2F}, {0x3A, 0x40},
                           {0x5B, 0x5F}, {0x6C, 0x6C}, {0x7C, 0xB9}, {0xBF, 0xDA}, {0xDC, 0xDC},
                           {0xDE, 0xDE}, {0xE0, 0xFE}};
    const auto table = FilledTable();
    int empty = 0;
    for (const auto& run : runs) {
        for (int code = run[0]; code <= run[1]; ++code, ++empty) {
            EXPECT_STREQ(table->Entries[code].DisplayName, "") << code;
            EXPECT_STREQ(table->Entries[code].GameKeyName, "") << code;
        }
    }
    EXPECT_EQ(empty, 160);
}

TEST(KeyNames, NinetyFiveEntriesCarryBothNamesAndNoneCarriesOne) {
    const auto table = FilledTable();
    int named = 0;
    int empty = 0;
    for (int code = 0; code < KeyCount; ++code) {
        SCOPED_TRACE(code);
        const KeyEntry& entry = table->Entries[code];
        const size_t display = strnlen(entry.DisplayName, KeyNameSize);
        const size_t game = strnlen(entry.GameKeyName, KeyNameSize);
        EXPECT_LE(display, 13u);
        EXPECT_LE(game, 13u);
        EXPECT_EQ(display == 0, game == 0);
        if (display > 0 && game > 0) ++named;
        if (display == 0 && game == 0) ++empty;
    }
    EXPECT_EQ(named, 95);
    EXPECT_EQ(empty, 160);
}

TEST(KeyNames, FillWritesWholeEntriesAndIsRepeatable) {
    auto table = std::make_unique<KeyTable>();
    // Stale bytes from an earlier longer name must not survive behind a terminator.
    std::memset(table->Entries, 'x', sizeof(table->Entries));
    FillKeyNames(table->Entries);
    const KeyEntry& wheel = table->Entries[KeyWheelUp];
    for (int i = 9; i < KeyNameSize; ++i) EXPECT_EQ(wheel.DisplayName[i], '\0') << i;
    for (int i = 8; i < KeyNameSize; ++i) EXPECT_EQ(wheel.GameKeyName[i], '\0') << i;
    // Unnamed entries keep what they hold.
    EXPECT_EQ(table->Entries[0xC0].DisplayName[0], 'x');

    const auto once = FilledTable();
    auto twice = FilledTable();
    FillKeyNames(twice->Entries);
    EXPECT_EQ(std::memcmp(once->Entries, twice->Entries, sizeof(once->Entries)), 0);
}

TEST(KeyNames, CodesOutsideTheTableReadAsEmpty) {
    auto table = FilledTable();
    // Fill every byte so a read through a wrapped index would show up as a name.
    for (KeyEntry& entry : table->Entries) {
        std::strcpy(entry.DisplayName, "named");
        std::strcpy(entry.GameKeyName, "named");
    }
    for (int32_t code : {255, 256, 1000, 65535, -1, -255, INT32_MIN, INT32_MAX}) {
        const KeyEntry& entry = KeyEntryOf(table->Entries, code);
        EXPECT_STREQ(entry.DisplayName, "") << code;
        EXPECT_STREQ(entry.GameKeyName, "") << code;
    }
    EXPECT_EQ(&KeyEntryOf(table->Entries, 254), &table->Entries[254]);
    EXPECT_EQ(&KeyEntryOf(table->Entries, 0), &table->Entries[0]);
}

}  // namespace
