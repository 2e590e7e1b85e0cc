// The tree the player picks actions from. Items carry the catalogue position as item data: the
// root -1, a category its index, an action its slot; texts and screen order are never used.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>

#include "../model/action_catalogue.h"

constexpr LPARAM RootItemData = -1;

// Exists only while the tree is filled.
struct TreeBuilder {
    HWND Tree;
    HTREEITEM Root;
    HTREEITEM CategoryItems[CategoryCount];
    int32_t SelectedImage;
    int32_t NormalImage;

    explicit TreeBuilder(HWND mainDialog);
    int LoadImages();
    int InsertRoot(const char* text);
    int InsertCategory(const char* text, int category);
    int InsertAction(int category, const char* text, int slot);

private:
    HTREEITEM Insert(HTREEITEM parent, const char* text, LPARAM itemData, bool hasChildren);
};

int FillActionTree(HWND mainDialog);
// The selection contract shared by the bind commands and the description display.
bool SelectedAction(HWND tree, int* category, int* slot);
LRESULT CALLBACK ActionTreeProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam);
