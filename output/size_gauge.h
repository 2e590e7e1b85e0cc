// How much of the game's configuration length limit a write uses.
#pragma once

#include <cstdint>

constexpr int32_t ConfigLengthLimit = 11100;
constexpr int GaugeTextSize = 16;

enum GaugeLevel {
    GaugeFine,   // below 90 percent
    GaugeClose,  // 90 to 100 percent
    GaugeOver,   // above 100 percent
};

int32_t GaugePercentage(int32_t writtenLength);
GaugeLevel GaugeLevelOf(int32_t percentage);
uint32_t GaugeColour(GaugeLevel level);  // COLORREF, 0x00BBGGRR
const char* GaugeVerdict(GaugeLevel level);
// "%d%%\n": the number, a percent sign and a line feed.
int FormatGaugePercentage(char text[GaugeTextSize], int32_t percentage);
