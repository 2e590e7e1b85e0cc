// The fixed vocabulary of bindable actions: category names and three parallel grids of labels,
// command templates and descriptions, 8 categories by 32 slots, stored row by row.
#pragma once

constexpr int CategoryCount = 8;
constexpr int SlotsPerCategory = 32;
constexpr int CatalogueCells = CategoryCount * SlotsPerCategory;

extern const char* const CategoryNames[CategoryCount];
// Entry category * SlotsPerCategory + slot; nullptr marks an empty cell.
extern const char* const ActionLabels[CatalogueCells];
extern const char* const ActionTemplates[CatalogueCells];
extern const char* const ActionDescriptions[CatalogueCells];

struct Action {
    const char* Label;
    const char* Template;
    const char* Description;
};

// nullptr outside 0..7.
const char* CategoryName(int category);
// False (and *action untouched) outside the grid or for an empty cell.
bool FindAction(int category, int slot, Action* action);
// Index-order enumeration: the first filled cell at or after `cell`, or -1 when none is left.
// Usage: for (int c = NextActionCell(0); c >= 0; c = NextActionCell(c + 1)) ...
int NextActionCell(int cell);
