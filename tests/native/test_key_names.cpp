#include <gtest/gtest.h>

#include <cstring>
#include <memory>
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
        {0x28, "Down Arrow", "downarrow"},
        {0x2E, "Delete", "del"},
        {0x30, "0", "0"},
        {0x39, "9", "9"},
        {0x41, "A", "a"},
        {0x57, "W", "w"},
        {0x5A, "Z", "z"},
        {0x60, "Keypad 0", "kp_ins"},
        {0x65, "Keypad 5", "kp_5"},
        {0x66, "Keypad 6", "kp_rightarrow"},
        {0x6A, "Keypad *", "*"},
        {0x6B, "Keypad +", "kp_plus"},
        {0x6E, "Keypad Delete", "kp_del"},
        {0x6F, "Keypad /", "kp_slash"},
        {0x70, "F1", "f1"},
        {0x78, "F9", "f9"},
        {0x79, "F10", "f10"},
        {0x7B, "F12", "f12"},
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

TEST(KeyNames, UnnamedCodesStayEmpty) {
    // F13 (0x7C), the left/right modifier variants, VK_OEM_2/3/5/7 and the gaps between rules.
    const int codes[] = {0x00, 0x06, 0x07, 0x13, 0x2F, 0x3A, 0x40, 0x5B, 0x5F,
                         0x6C, 0x7C, 0x90, 0x91, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4,
                         0xA5, 0xBF, 0xC0, 0xDC, 0xDE, 0xE0, 0xFE};
    const auto table = FilledTable();
    for (int code : codes) {
        EXPECT_STREQ(table->Entries[code].DisplayName, "") << code;
        EXPECT_STREQ(table->Entries[code].GameKeyName, "") << code;
    }
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
