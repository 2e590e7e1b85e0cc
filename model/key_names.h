// Names of every key code: what the player sees and the token the game expects after "bind".
#pragma once

#include <cstdint>

constexpr int KeyCount = 255;  // codes 0 to 254
constexpr int KeyNameSize = 50;

// Mouse pseudo-codes share numbers with virtual-key codes 1 to 5.
constexpr int32_t KeyLeftMouse = 1;
constexpr int32_t KeyRightMouse = 2;
constexpr int32_t KeyWheelUp = 3;
constexpr int32_t KeyWheelDown = 4;
constexpr int32_t KeyMiddleMouse = 5;

struct KeyEntry {
    char DisplayName[KeyNameSize];
    char GameKeyName[KeyNameSize];
};

// Writes every named entry whole; entries it does not name keep what they hold (zeros in App).
void FillKeyNames(KeyEntry table[KeyCount]);
// The entry of a code; codes outside 0..254 read as a key with two empty names.
const KeyEntry& KeyEntryOf(const KeyEntry table[KeyCount], int32_t code);
