#include "action_catalogue.h"

const char* const CategoryNames[CategoryCount] = {
    "Movement",        // 0
    "Shooting",        // 1
    "Item Control",    // 2
    "Radio",           // 3
    "Special",         // 4
    "Other",           // 5
    "User Interface",  // 6
    "Messages",        // 7
};

namespace {

struct CatalogueRow {
    int Category;
    int Slot;
    const char* Label;
    const char* Template;
    const char* Description;
};

constexpr const char AutoDemoScript[] =
    R"(seta r_demo_1 "set r_demo vstr r_demo_2;g_synchronousClients 1;record;g_synchronousClients 0")"
    "\n"
    R"(seta r_demo_2 "set r_demo vstr r_demo_1;stoprecord")"
    "\n"
    R"(set r_demo vstr r_demo_1)"
    "\n"
    R"(bind %s "vstr r_demo")";

constexpr const char ClearScreenshot[] =
    R"(seta screen_shot_clear "cg_draw2d 0;cg_drawhands 0; wait; wait; wait; screenshotJPEG; toggle cg_drawhands; toggle cg_draw2d")"
    "\n"
    R"(bind %s "vstr screen_shot_clear")";

// One row per action in index order, so the table reads like the catalogue it comes from.
// clang-format off
constexpr CatalogueRow Catalogue[] = {
    {0, 0, "Forward", R"(bind %s "+forward")", "Move Player Forward"},
    {0, 1, "Back", R"(bind %s "+back")", "Move Player Back"},
    {0, 2, "Step Left", R"(bind %s "+moveleft")", "Strafe Player Left"},
    {0, 3, "Step Right", R"(bind %s "+moveright")", "Strafe Player Right"},
    {0, 4, "Jump", R"(bind %s "+moveup")", "Make Player Jump"},
    {0, 5, "Crouch", R"(bind %s "+movedown")", "Make Player Crouch"},
    {0, 6, "Sprint", R"(bind %s "+button8")", "Make Player Sprint"},
    {0, 7, "Run/Walk", R"(bind %s "+speed")", "Toggle Run and Walk"},
    {0, 8, "Turn Left", R"(bind %s "+left")", "Turn Player Left"},
    {0, 9, "Turn Right", R"(bind %s "+right")", "Turn Player Right"},

    {1, 0, "Shoot", R"(bind %s "+attack")", "Shoot Current Weapon"},
    {1, 1, "Reload", R"(bind %s "+button5")", "Reload Current Weapon"},
    {1, 2, "Weapon Mode", R"(bind %s "+button3")", "Change Weapon Mode"},
    {1, 3, "Primary", R"(bind %s "ut_weaptoggle primary")", "Primary Weapon Select"},
    {1, 4, "Secondary", R"(bind %s "ut_weaptoggle secondary")", "Secondary Weapon Select"},
    {1, 5, "Sidearm", R"(bind %s "ut_weaptoggle sidearm")", "Sidearm Weapon Select"},
    {1, 6, "Grenades", R"(bind %s "ut_weaptoggle grenade")", "Select Grenades"},
    {1, 7, "Knife", R"(bind %s "ut_weaptoggle knife")", "Select Knives"},
    {1, 8, "Drop Weapon", R"(bind %s "ut_weapdrop")", "Drop Current Weapon"},
    {1, 9, "Next Weapon", R"(bind %s "weapnext")", "Change to Next Weapon"},
    {1, 10, "Previous Weapon", R"(bind %s "weapprev")", "Change to Previous Weapon"},
    {1, 11, "Zoom In", R"(bind %s "ut_zoomin")", "Zoom In on Current Weapon"},
    {1, 12, "Zoom Out", R"(bind %s "ut_zoomout")", "Zoom Out on Current Weapon"},
    {1, 13, "Zoom Reset", R"(bind %s "ut_zoomreset")", "Zoom Reset for Current Weapon"},

    {2, 0, "Use Item", R"(bind %s "ut_itemuse")", "Use Selected Item"},
    {2, 1, "Drop Item", R"(bind %s "ut_itemdrop")", "Drop Selected Item"},
    {2, 2, "Next Item", R"(bind %s "ut_itemnext")", "Select Next Item"},
    {2, 3, "Previous Item", R"(bind %s "ut_itemprev")", "Select Previous Item"},

    {3, 0, "Affirmative!", R"(bind %s "ut_radio 1 1")", "Radio Message-> Affirmative!"},
    {3, 1, "Copy that.", R"(bind %s "ut_radio 1 2")", "Radio Message-> Copy that."},
    {3, 2, "I'm on it.", R"(bind %s "ut_radio 1 3")", "Radio Message-> I'm on it."},
    {3, 3, "Negative!", R"(bind %s "ut_radio 1 4")", "Radio Message-> Negative!"},
    {3, 4, "Reporting for duty!", R"(bind %s "ut_radio 1 5")", "Radio Message-> Reporting for duty!"},
    {3, 5, "Sorry bout that.", R"(bind %s "ut_radio 1 6")", "Radio Message-> Sorry bout that."},
    {3, 6, "Thanks.", R"(bind %s "ut_radio 1 7")", "Radio Message-> Thanks."},
    {3, 7, "Whatever!", R"(bind %s "ut_radio 1 8")", "Whatever!"},
    {3, 8, "Let's clear the area!", R"(bind %s "ut_radio 2 1")", "Radio Message-> Let's clear the area!"},
    {3, 9, "Cover me.", R"(bind %s "ut_radio 2 2")", "Radio Message-> Cover me."},
    {3, 10, "Fallback.", R"(bind %s "ut_radio 2 3")", "Radio Message-> Fallback."},
    {3, 11, "Follow me.", R"(bind %s "ut_radio 2 4")", "Radio Message-> Follow me."},
    {3, 12, "Gimme a radio check.", R"(bind %s "ut_radio 2 5")", "Radio Message-> Gimme a radio check."},
    {3, 13, "Go!!!", R"(bind %s "ut_radio 2 6")", "Radio Message-> Go!!!"},
    {3, 14, "Spread out.", R"(bind %s "ut_radio 2 7")", "Spread out."},
    {3, 15, "Stay here.", R"(bind %s "ut_radio 2 8")", "Radio Message-> Stay here."},
    {3, 16, "Stay together.", R"(bind %s "ut_radio 2 9")", "Radio Message-> Stay together."},
    {3, 17, "All clear here.", R"(bind %s "ut_radio 3 1")", "Radio Message-> All clear here."},
    {3, 18, "Enemy spotted!", R"(bind %s "ut_radio 3 2")", "Radio Message-> Enemy spotted!"},
    {3, 19, "Grenade!!!", R"(bind %s "ut_radio 3 3")", "Radio Message-> Grenade!!!"},
    {3, 20, "He's as dead as fried", R"(bind %s "ut_radio 3 4")", "Radio Message-> He's as dead as fried"},
    {3, 21, "I got one of them bastards!", R"(bind %s "ut_radio 3 5")", "Radio Message-> I got one of them bastards!"},
    {3, 22, "Man down!!!", R"(bind %s "ut_radio 3 6")", "Radio Message-> Man down!!!"},
    {3, 23, "Target eliminated.", R"(bind %s "ut_radio 3 7")", "Radio Message-> Target eliminated."},
    {3, 24, "That was a good shot.", R"(bind %s "ut_radio 3 8")", "Radio Message-> That was a good shot."},
    {3, 25, "Check your fire!", R"(bind %s "ut_radio 4 1")", "Radio Message-> Check your fire!"},
    {3, 26, "Do you copy, over?", R"(bind %s "ut_radio 4 2")", "Radio Message-> Do you copy, over?"},
    {3, 27, "Help! Help!", R"(bind %s "ut_radio 4 3")", "Radio Message-> Help! Help!"},
    {3, 28, "Medic!", R"(bind %s "ut_radio 4 4")", "Medic!"},
    {3, 29, "Ohh you idiot!", R"(bind %s "ut_radio 4 5")", "Radio Message-> Ohh you idiot!"},
    {3, 30, "Requesting backup.", R"(bind %s "ut_radio 4 6")", "Radio Message-> Requesting backup."},

    {4, 0, "Auto Demo Script", AutoDemoScript, "Start and Stop Recording Demos"},
    {4, 1, "Clear Screenshot", ClearScreenshot, "Take a Screenshot with a Clear HUD"},
    {4, 2, "Screenshot", R"(bind %s "screenshotJPEG")", "Take a Screenshot"},

    {5, 0, "Vote Yes", R"(bind %s "vote yes")", "Vote Yes to a CallVote"},
    {5, 1, "Vote No", R"(bind %s "vote no")", "Vote No to a Call Vote"},
    {5, 2, "Open/Use", R"(bind %s "+button7")", "Open Door or use an Object"},
    {5, 3, "Bandage", R"(bind %s "+button6")", "Bandage Yourself or Team-mates"},
    {5, 4, "Custom Bind", R"(bind %s "%s")", "Completely Custom Bind to a Key"},
    {5, 5, "Reconnect", R"(bind %s "reconnect")", "Reconnect to Current Server"},
    {5, 6, "Quit", R"(bind %s "quit")", "Quit Quake III"},

    {6, 0, "Main Menu", R"(bind %s "toggleconsole")", "Show the Main Menu"},
    {6, 1, "Weapon/Gear Menu", R"(bind %s "ui_selectgear")", "Show the Weapon and Gear Menu"},
    {6, 2, "Team Menu", R"(bind %s "ui_selectteam")", "Select a Team"},
    {6, 3, "Scores", R"(bind %s "+scores")", "Show Current Scores"},
    {6, 4, "Radio", R"(bind %s "ut_radio")", "Show Main Radio Menu"},

    {7, 0, "Custom Message", R"(bind %s "say %s")", "Custom Say Message, Use Custom Control Box"},
    {7, 1, "Custom Team Message", R"(bind %s "say_team %s")", "Custom Team Message, Use Custom Control Box"},
    {7, 2, "Your Status", R"(bind %s "say_team I got $weapon [$bullets/x$clips]")", "Say Your Status for Weapons and Ammo"},
    {7, 3, "Your Location", R"(bind %s "say_team I'm $location[$health]")", "Say Your Current Location"},
    {7, 4, "Talk", R"(bind %s "messagemode")", "Talk to Players"},
    {7, 5, "Team Talk", R"(bind %s "messagemode2")", "Talk to Team Players"},
};
// clang-format on

constexpr int RowCount = static_cast<int>(sizeof(Catalogue) / sizeof(Catalogue[0]));
static_assert(RowCount == 80, "the catalogue has 80 actions");

// The grids are addressed by (category, slot) everywhere, so a misplaced row would silently
// shadow another action: every category must start at slot 0, run without gaps and leave slot
// 31 free.
constexpr bool RowsRunInIndexOrder() {
    int category = -1;
    int slot = -1;
    for (const CatalogueRow& row : Catalogue) {
        const bool nextSlot = row.Category == category && row.Slot == slot + 1;
        const bool nextCategory = row.Category == category + 1 && row.Slot == 0;
        if (!nextSlot && !nextCategory) return false;
        if (row.Slot >= SlotsPerCategory - 1) return false;
        category = row.Category;
        slot = row.Slot;
    }
    return category == CategoryCount - 1;
}
static_assert(RowsRunInIndexOrder(), "catalogue rows out of index order");

// The bind list fills templates with a plain two-argument substitution; any other conversion
// would be copied as is and produce a broken command.
constexpr bool TemplateIsWellFormed(const char* text) {
    int conversions = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p != '%') continue;
        if (p[1] != 's') return false;
        ++conversions;
        ++p;
    }
    return conversions == 1 || conversions == 2;
}

constexpr bool AllTemplatesWellFormed() {
    for (const CatalogueRow& row : Catalogue) {
        if (!TemplateIsWellFormed(row.Template)) return false;
    }
    return true;
}
static_assert(AllTemplatesWellFormed(), "every template takes one or two %s and nothing else");

enum Column { LabelColumn, TemplateColumn, DescriptionColumn };

struct Grid {
    const char* Cells[CatalogueCells];
};

constexpr Grid BuildGrid(Column column) {
    Grid grid{};
    for (const CatalogueRow& row : Catalogue) {
        const char* text = column == LabelColumn      ? row.Label
                           : column == TemplateColumn ? row.Template
                                                      : row.Description;
        grid.Cells[row.Category * SlotsPerCategory + row.Slot] = text;
    }
    return grid;
}

constexpr Grid LabelGrid = BuildGrid(LabelColumn);
constexpr Grid TemplateGrid = BuildGrid(TemplateColumn);
constexpr Grid DescriptionGrid = BuildGrid(DescriptionColumn);

}  // namespace

// The exported grids are plain arrays; spell out their 256 cells from the compile-time grids so
// they are constant-initialised and usable before any other start-up code runs.
#define CATALOGUE_CELLS4(g, i) g.Cells[i], g.Cells[i + 1], g.Cells[i + 2], g.Cells[i + 3]
#define CATALOGUE_CELLS16(g, i)                                                     \
    CATALOGUE_CELLS4(g, i), CATALOGUE_CELLS4(g, i + 4), CATALOGUE_CELLS4(g, i + 8), \
        CATALOGUE_CELLS4(g, i + 12)
#define CATALOGUE_CELLS64(g, i)                                                          \
    CATALOGUE_CELLS16(g, i), CATALOGUE_CELLS16(g, i + 16), CATALOGUE_CELLS16(g, i + 32), \
        CATALOGUE_CELLS16(g, i + 48)
#define CATALOGUE_CELLS256(g)                                                     \
    CATALOGUE_CELLS64(g, 0), CATALOGUE_CELLS64(g, 64), CATALOGUE_CELLS64(g, 128), \
        CATALOGUE_CELLS64(g, 192)

static_assert(CatalogueCells == 256, "the cell expansion below spells out 256 cells");

const char* const ActionLabels[CatalogueCells] = {CATALOGUE_CELLS256(LabelGrid)};
const char* const ActionTemplates[CatalogueCells] = {CATALOGUE_CELLS256(TemplateGrid)};
const char* const ActionDescriptions[CatalogueCells] = {CATALOGUE_CELLS256(DescriptionGrid)};

#undef CATALOGUE_CELLS256
#undef CATALOGUE_CELLS64
#undef CATALOGUE_CELLS16
#undef CATALOGUE_CELLS4

const char* CategoryName(int category) {
    if (category < 0 || category >= CategoryCount) return nullptr;
    return CategoryNames[category];
}

bool FindAction(int category, int slot, Action* action) {
    if (category < 0 || category >= CategoryCount) return false;
    if (slot < 0 || slot >= SlotsPerCategory) return false;
    const int cell = category * SlotsPerCategory + slot;
    if (ActionLabels[cell] == nullptr) return false;
    if (action != nullptr) {
        action->Label = ActionLabels[cell];
        action->Template = ActionTemplates[cell];
        action->Description = ActionDescriptions[cell];
    }
    return true;
}

int NextActionCell(int cell) {
    for (int c = cell < 0 ? 0 : cell; c < CatalogueCells; ++c) {
        if (ActionLabels[c] != nullptr) return c;
    }
    return -1;
}
