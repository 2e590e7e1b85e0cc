#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "output/size_gauge.h"

namespace {

const char kOver[] =
    "This Config File will not execute, as it exceeds the maximun length Quake III allows.";
const char kClose[] =
    "You Config file will work fine, it is within Quake III length limits, but you are close to "
    "maxium capacity.";
const char kFine[] = "You Config file will work fine, it is within Quake III length limits.";

struct GaugeCase {
    int32_t length;
    int32_t percentage;
    GaugeLevel level;
    const char* text;
};

TEST(SizeGaugeTest, LengthsAroundTheLimits) {
    const GaugeCase cases[] = {
        {0, 0, GaugeFine, "0%\n"},
        {110, 0, GaugeFine, "0%\n"},
        {111, 1, GaugeFine, "1%\n"},
        {144, 1, GaugeFine, "1%\n"},
        {9989, 89, GaugeFine, "89%\n"},
        {9990, 90, GaugeClose, "90%\n"},
        {11099, 99, GaugeClose, "99%\n"},
        {11100, 100, GaugeClose, "100%\n"},
        {11210, 100, GaugeClose, "100%\n"},
        {11211, 101, GaugeOver, "101%\n"},
        {22200, 200, GaugeOver, "200%\n"},
        {261264, 2353, GaugeOver, "2353%\n"},  // every slot full
        {INT32_MAX, 19346699, GaugeOver, "19346699%\n"},
    };
    for (const GaugeCase& c : cases) {
        SCOPED_TRACE(c.length);
        const int32_t percentage = GaugePercentage(c.length);
        EXPECT_EQ(percentage, c.percentage);
        EXPECT_EQ(GaugeLevelOf(percentage), c.level);
        char text[GaugeTextSize];
        std::memset(text, '#', sizeof text);
        EXPECT_EQ(FormatGaugePercentage(text, percentage), static_cast<int>(std::strlen(c.text)));
        EXPECT_STREQ(text, c.text);
    }
}

TEST(SizeGaugeTest, ColoursAndVerdictsPerLevel) {
    const struct {
        GaugeLevel level;
        uint32_t colour;
        const char* verdict;
    } cases[] = {
        {GaugeOver, 0x0000FF, kOver},
        {GaugeClose, 0x0099FF, kClose},
        {GaugeFine, 0x33FF33, kFine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(GaugeColour(c.level), c.colour);
        EXPECT_STREQ(GaugeVerdict(c.level), c.verdict);
    }
}

TEST(SizeGaugeTest, FormattedTextFitsForEveryPercentage) {
    const struct {
        int32_t percentage;
        const char* text;
    } cases[] = {{INT32_MIN, "-2147483648%\n"}, {-1, "-1%\n"}, {INT32_MAX, "2147483647%\n"}};
    for (const auto& c : cases) {
        char text[GaugeTextSize];
        EXPECT_EQ(FormatGaugePercentage(text, c.percentage), static_cast<int>(std::strlen(c.text)));
        EXPECT_STREQ(text, c.text);
    }
}

}  // namespace
