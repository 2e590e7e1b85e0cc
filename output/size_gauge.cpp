#include "size_gauge.h"

int32_t GaugePercentage(int32_t writtenLength) {
    // Widened so that no length, however large, overflows the product.
    return static_cast<int32_t>(static_cast<int64_t>(writtenLength) * 100 / ConfigLengthLimit);
}

GaugeLevel GaugeLevelOf(int32_t percentage) {
    if (percentage > 100) return GaugeOver;
    if (percentage >= 90) return GaugeClose;
    return GaugeFine;
}

uint32_t GaugeColour(GaugeLevel level) {
    switch (level) {
        case GaugeOver:
            return 0x0000FF;
        case GaugeClose:
            return 0x0099FF;
        case GaugeFine:
            break;
    }
    return 0x33FF33;
}

const char* GaugeVerdict(GaugeLevel level) {
    switch (level) {
        case GaugeOver:
            return "This Config File will not execute, as it exceeds the maximun length Quake III "
                   "allows.";
        case GaugeClose:
            return "You Config file will work fine, it is within Quake III length limits, but you "
                   "are close to maxium capacity.";
        case GaugeFine:
            break;
    }
    return "You Config file will work fine, it is within Quake III length limits.";
}

// Formatted by hand: a printf here would pull the C library's whole formatter into the exe.
int FormatGaugePercentage(char text[GaugeTextSize], int32_t percentage) {
    char digits[12];
    int count = 0;
    int64_t value = percentage < 0 ? -static_cast<int64_t>(percentage) : percentage;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    int length = 0;
    if (percentage < 0) text[length++] = '-';
    while (count > 0) text[length++] = digits[--count];
    text[length++] = '%';
    text[length++] = '\n';
    text[length] = '\0';
    return length;
}
