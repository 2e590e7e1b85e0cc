#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/action_catalogue.h"

namespace {

int Cell(int category, int slot) { return category * SlotsPerCategory + slot; }

int CountConversions(const char* text, bool* otherPercent) {
    int conversions = 0;
    *otherPercent = false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p != '%') continue;
        if (p[1] == 's') {
            ++conversions;
            ++p;
        } else {
            *otherPercent = true;
        }
    }
    return conversions;
}

TEST(ActionCatalogue, CategoryNamesInIndexOrder) {
    const char* const expected[CategoryCount] = {"Movement",       "Shooting", "Item Control",
                                                 "Radio",          "Special",  "Other",
                                                 "User Interface", "Messages"};
    for (int category = 0; category < CategoryCount; ++category) {
        ASSERT_NE(CategoryName(category), nullptr) << category;
        EXPECT_STREQ(CategoryName(category), expected[category]);
        EXPECT_EQ(CategoryName(category), CategoryNames[category]);
    }
    EXPECT_EQ(CategoryName(-1), nullptr);
    EXPECT_EQ(CategoryName(CategoryCount), nullptr);
}

TEST(ActionCatalogue, EachCategoryFillsItsSlotsFromZeroWithoutGaps) {
    const int expectedCounts[CategoryCount] = {10, 14, 4, 31, 3, 7, 5, 6};
    int total = 0;
    for (int category = 0; category < CategoryCount; ++category) {
        for (int slot = 0; slot < SlotsPerCategory; ++slot) {
            const int cell = Cell(category, slot);
            const bool filled = slot < expectedCounts[category];
            EXPECT_EQ(ActionLabels[cell] != nullptr, filled) << category << "," << slot;
            EXPECT_EQ(ActionTemplates[cell] != nullptr, filled) << category << "," << slot;
            EXPECT_EQ(ActionDescriptions[cell] != nullptr, filled) << category << "," << slot;
            if (ActionLabels[cell] != nullptr) ++total;
        }
    }
    EXPECT_EQ(total, 80);
}

struct SampleCell {
    int Category;
    int Slot;
    const char* Label;
    const char* Template;
    const char* Description;
};

TEST(ActionCatalogue, SampleCellsHoldTheirExactTexts) {
    const SampleCell samples[] = {
        {0, 4, "Jump", "bind %s \"+moveup\"", "Make Player Jump"},
        {1, 7, "Knife", "bind %s \"ut_weaptoggle knife\"", "Select Knives"},
        {1, 13, "Zoom Reset", "bind %s \"ut_zoomreset\"", "Zoom Reset for Current Weapon"},
        {2, 3, "Previous Item", "bind %s \"ut_itemprev\"", "Select Previous Item"},
        {3, 7, "Whatever!", "bind %s \"ut_radio 1 8\"", "Whatever!"},
        {3, 16, "Stay together.", "bind %s \"ut_radio 2 9\"", "Radio Message-> Stay together."},
        {3, 20, "He's as dead as fried", "bind %s \"ut_radio 3 4\"",
         "Radio Message-> He's as dead as fried"},
        {4, 2, "Screenshot", "bind %s \"screenshotJPEG\"", "Take a Screenshot"},
        {5, 1, "Vote No", "bind %s \"vote no\"", "Vote No to a Call Vote"},
        {5, 4, "Custom Bind", "bind %s \"%s\"", "Completely Custom Bind to a Key"},
        {5, 6, "Quit", "bind %s \"quit\"", "Quit Quake III"},
        {6, 4, "Radio", "bind %s \"ut_radio\"", "Show Main Radio Menu"},
        {7, 0, "Custom Message", "bind %s \"say %s\"",
         "Custom Say Message, Use Custom Control Box"},
        {7, 1, "Custom Team Message", "bind %s \"say_team %s\"",
         "Custom Team Message, Use Custom Control Box"},
        {7, 2, "Your Status", "bind %s \"say_team I got $weapon [$bullets/x$clips]\"",
         "Say Your Status for Weapons and Ammo"},
        {7, 3, "Your Location", "bind %s \"say_team I'm $location[$health]\"",
         "Say Your Current Location"},
    };
    for (const SampleCell& sample : samples) {
        SCOPED_TRACE(std::to_string(sample.Category) + "," + std::to_string(sample.Slot));
        Action action = {};
        ASSERT_TRUE(FindAction(sample.Category, sample.Slot, &action));
        EXPECT_STREQ(action.Label, sample.Label);
        EXPECT_STREQ(action.Template, sample.Template);
        EXPECT_STREQ(action.Description, sample.Description);
        const int cell = Cell(sample.Category, sample.Slot);
        EXPECT_EQ(action.Label, ActionLabels[cell]);
        EXPECT_EQ(action.Template, ActionTemplates[cell]);
        EXPECT_EQ(action.Description, ActionDescriptions[cell]);
    }
}

TEST(ActionCatalogue, MultiLineTemplatesJoinLinesWithSingleLineFeeds) {
    Action demo = {};
    ASSERT_TRUE(FindAction(4, 0, &demo));
    EXPECT_STREQ(demo.Label, "Auto Demo Script");
    EXPECT_STREQ(demo.Description, "Start and Stop Recording Demos");
    EXPECT_STREQ(demo.Template,
                 "seta r_demo_1 \"set r_demo vstr r_demo_2;g_synchronousClients 1;record;"
                 "g_synchronousClients 0\"\n"
                 "seta r_demo_2 \"set r_demo vstr r_demo_1;stoprecord\"\n"
                 "set r_demo vstr r_demo_1\n"
                 "bind %s \"vstr r_demo\"");

    Action clear = {};
    ASSERT_TRUE(FindAction(4, 1, &clear));
    EXPECT_STREQ(clear.Label, "Clear Screenshot");
    EXPECT_STREQ(clear.Description, "Take a Screenshot with a Clear HUD");
    EXPECT_STREQ(clear.Template,
                 "seta screen_shot_clear \"cg_draw2d 0;cg_drawhands 0; wait; wait; wait; "
                 "screenshotJPEG; toggle cg_drawhands; toggle cg_draw2d\"\n"
                 "bind %s \"vstr screen_shot_clear\"");
}

TEST(ActionCatalogue, TemplatesTakeOneOrTwoStringsAndEndInABindLine) {
    int twoArgumentCells = 0;
    for (int cell = 0; cell < CatalogueCells; ++cell) {
        const char* text = ActionTemplates[cell];
        if (text == nullptr) continue;
        SCOPED_TRACE(cell);
        bool otherPercent = false;
        const int conversions = CountConversions(text, &otherPercent);
        EXPECT_FALSE(otherPercent);
        EXPECT_TRUE(conversions == 1 || conversions == 2);
        if (conversions == 2) {
            const bool custom = cell == Cell(5, 4) || cell == Cell(7, 0) || cell == Cell(7, 1);
            EXPECT_TRUE(custom);
            ++twoArgumentCells;
        }
        const std::string full = text;
        ASSERT_FALSE(full.empty());
        EXPECT_NE(full.back(), '\n');
        EXPECT_EQ(full.find("\n\n"), std::string::npos);
        const std::string lastLine = full.substr(full.rfind('\n') + 1);  // npos + 1 == 0
        EXPECT_EQ(lastLine.rfind("bind %s \"", 0), 0u) << lastLine;
        EXPECT_EQ(lastLine.back(), '"');
    }
    EXPECT_EQ(twoArgumentCells, 3);
}

// The game's radio messages come in four groups of 8, 9, 8 and 6, numbered from 1 in each; the
// labels list them in that order.
TEST(ActionCatalogue, RadioSlotsSendTheirMessageAndDescribeItByItsLabel) {
    const int groupSizes[] = {8, 9, 8, 6};
    int slot = 0;
    for (int group = 1; group <= 4; ++group) {
        for (int message = 1; message <= groupSizes[group - 1]; ++message, ++slot) {
            SCOPED_TRACE(slot);
            Action action = {};
            ASSERT_TRUE(FindAction(3, slot, &action));
            EXPECT_EQ(action.Template, "bind %s \"ut_radio " + std::to_string(group) + " " +
                                           std::to_string(message) + "\"");
            const bool bare = slot == 7 || slot == 14 || slot == 28;
            const std::string label = action.Label;
            EXPECT_EQ(action.Description, bare ? label : "Radio Message-> " + label);
        }
    }
    EXPECT_EQ(slot, 31);
}

TEST(ActionCatalogue, EmptyOrOutOfRangeCellsYieldNothing) {
    const int lastFilled[CategoryCount] = {9, 13, 3, 30, 2, 6, 4, 5};
    const Action untouched = {"label", "template", "description"};
    for (int category = 0; category < CategoryCount; ++category) {
        for (int slot : {lastFilled[category] + 1, SlotsPerCategory - 1, SlotsPerCategory, -1}) {
            Action action = untouched;
            EXPECT_FALSE(FindAction(category, slot, &action)) << category << "," << slot;
            EXPECT_EQ(action.Label, untouched.Label);
            EXPECT_EQ(action.Template, untouched.Template);
            EXPECT_EQ(action.Description, untouched.Description);
        }
    }
    Action action = untouched;
    EXPECT_FALSE(FindAction(-1, 0, &action));
    EXPECT_FALSE(FindAction(CategoryCount, 0, &action));
    EXPECT_EQ(action.Label, untouched.Label);
}

TEST(ActionCatalogue, EnumerationVisitsEveryFilledCellInIndexOrder) {
    int visited = 0;
    int previous = -1;
    for (int c = NextActionCell(0); c >= 0; c = NextActionCell(c + 1)) {
        ASSERT_GT(c, previous);
        ASSERT_LT(c, CatalogueCells);
        for (int skipped = previous + 1; skipped < c; ++skipped) {
            EXPECT_EQ(ActionLabels[skipped], nullptr) << skipped;
        }
        Action action = {};
        EXPECT_TRUE(FindAction(c / SlotsPerCategory, c % SlotsPerCategory, &action));
        EXPECT_EQ(action.Label, ActionLabels[c]);
        previous = c;
        ++visited;
    }
    EXPECT_EQ(visited, 80);
    EXPECT_EQ(previous, Cell(7, 5));
    EXPECT_EQ(NextActionCell(Cell(7, 6)), -1);
    EXPECT_EQ(NextActionCell(CatalogueCells), -1);
    EXPECT_EQ(NextActionCell(Cell(0, 10)), Cell(1, 0));
    EXPECT_EQ(NextActionCell(-1), 0);
    EXPECT_EQ(NextActionCell(-5), 0);
}

}  // namespace
