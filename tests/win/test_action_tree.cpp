#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../../model/action_catalogue.h"
#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "ui_harness.h"

namespace {

class ActionTree : public ::testing::Test {
protected:
    void SetUp() override {
        Dialog = StartMainDialog();
        Tree = App.ActionTree;
        KeyBox = App.KeyCaptureBox;
    }
    void TearDown() override { CloseAllDialogs(); }

    std::vector<HTREEITEM> Children(HTREEITEM parent) {
        std::vector<HTREEITEM> items;
        for (HTREEITEM item = TreeView_GetChild(Tree, parent); item;
             item = TreeView_GetNextSibling(Tree, item)) {
            items.push_back(item);
        }
        return items;
    }

    // A release over empty space below the last item: the tree sees no item under the point.
    void ReleaseOverEmptySpace() {
        RECT client;
        GetClientRect(Tree, &client);
        SendMessageA(Tree, WM_LBUTTONUP, 0, MAKELPARAM(client.right - 4, client.bottom - 4));
        FlushEvents();
    }

    HWND Dialog = nullptr;
    HWND Tree = nullptr;
    HWND KeyBox = nullptr;
};

TEST_F(ActionTree, CategoriesShowSortedUnderTheRootWithTheirIndexes) {
    HTREEITEM root = TreeView_GetRoot(Tree);
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("Bind Selector", TreeItemText(Tree, root));
    EXPECT_EQ(-1, TreeItemData(Tree, root));
    EXPECT_EQ(nullptr, TreeView_GetNextSibling(Tree, root));

    struct Shown {
        const char* Name;
        LPARAM Index;
    };
    const Shown expected[] = {
        {"Item Control", 2}, {"Messages", 7}, {"Movement", 0}, {"Other", 5},
        {"Radio", 3},        {"Shooting", 1}, {"Special", 4},  {"User Interface", 6},
    };
    std::vector<HTREEITEM> categories = Children(root);
    ASSERT_EQ(8u, categories.size());
    for (size_t i = 0; i < categories.size(); ++i) {
        EXPECT_EQ(expected[i].Name, TreeItemText(Tree, categories[i])) << "position " << i;
        EXPECT_EQ(expected[i].Index, TreeItemData(Tree, categories[i])) << expected[i].Name;
    }
}

TEST_F(ActionTree, EveryActionCarriesItsCatalogueSlotAndSortsByLabel) {
    int actions = 0;
    for (HTREEITEM categoryItem : Children(TreeView_GetRoot(Tree))) {
        LPARAM category = TreeItemData(Tree, categoryItem);
        std::string previous;
        for (HTREEITEM item : Children(categoryItem)) {
            ++actions;
            std::string label = TreeItemText(Tree, item);
            LPARAM slot = TreeItemData(Tree, item);
            ASSERT_TRUE(slot >= 0 && slot < SlotsPerCategory) << label << " slot " << slot;
            const char* catalogued = ActionLabels[category * SlotsPerCategory + slot];
            ASSERT_NE(nullptr, catalogued) << label;
            EXPECT_EQ(catalogued, label) << "category " << category << " slot " << slot;
            EXPECT_EQ(nullptr, TreeView_GetChild(Tree, item)) << label;
            // Wine's word sort ignores the apostrophe and puts "Help! Help!" before "He's as
            // dead as fried"; Windows may order that pair the other way, so it is not checked.
            bool wineSortPair = previous == "Help! Help!" && label == "He's as dead as fried";
            if (!previous.empty() && !wineSortPair) {
                EXPECT_LT(lstrcmpiA(previous.c_str(), label.c_str()), 0)
                    << previous << " shown before " << label;
            }
            previous = label;
        }
    }
    EXPECT_EQ(80, actions);
}

TEST_F(ActionTree, ScreenOrderIsNotCatalogueOrder) {
    std::vector<HTREEITEM> radio = Children(FindTreeItem("Radio"));
    ASSERT_EQ(31u, radio.size());
    EXPECT_EQ("Affirmative!", TreeItemText(Tree, radio.front()));
    EXPECT_EQ(0, TreeItemData(Tree, radio.front()));
    EXPECT_EQ("Whatever!", TreeItemText(Tree, radio.back()));
    EXPECT_EQ(7, TreeItemData(Tree, radio.back()));

    const char* const movement[] = {"Back",   "Crouch",    "Forward",    "Jump",      "Run/Walk",
                                    "Sprint", "Step Left", "Step Right", "Turn Left", "Turn Right"};
    const LPARAM movementSlots[] = {1, 5, 0, 4, 7, 6, 2, 3, 8, 9};
    std::vector<HTREEITEM> shown = Children(FindTreeItem("Movement"));
    ASSERT_EQ(10u, shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(movement[i], TreeItemText(Tree, shown[i]));
        EXPECT_EQ(movementSlots[i], TreeItemData(Tree, shown[i])) << movement[i];
    }
}

// Slot 0 exists in every category: only the parent's item data tells them apart.
TEST_F(ActionTree, SlotZeroOfTwoCategoriesBindsTheRightAction) {
    SetFocus(KeyBox);
    SendKey(KeyBox, WM_KEYDOWN, VK_SPACE);
    SendKey(KeyBox, WM_KEYUP, VK_SPACE);
    struct Pick {
        const char* Category;
        const char* Action;
        const char* Caption;
        const char* Command;
    };
    const Pick picks[] = {
        {"Shooting", "Shoot", "Space Bar -> (Shooting) Shoot", "bind space \"+attack\""},
        {"Movement", "Forward", "Space Bar -> (Movement) Forward", "bind space \"+forward\""},
        {"Radio", "Affirmative!", "Space Bar -> (Radio) Affirmative!",
         "bind space \"ut_radio 1 1\""},
        {"Item Control", "Use Item", "Space Bar -> (Item Control) Use Item",
         "bind space \"ut_itemuse\""},
    };
    for (const Pick& pick : picks) {
        HTREEITEM item = FindTreeItem(pick.Category, pick.Action);
        ASSERT_NE(nullptr, item) << pick.Action;
        EXPECT_EQ(0, TreeItemData(Tree, item)) << pick.Action;
        TreeView_SelectItem(Tree, item);
        SendMessageA(Dialog, WM_COMMAND, IDC_ADD_BIND, 0);
    }
    ASSERT_EQ(4, App.Binds.BindCount);
    ASSERT_EQ(4, SendMessageA(App.BindListBox, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < 4; ++i) {
        char line[256] = {};
        SendMessageA(App.BindListBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        EXPECT_STREQ(picks[i].Caption, line);
        EXPECT_EQ(i, SendMessageA(App.BindListBox, LB_GETITEMDATA, i, 0));
        EXPECT_STREQ(picks[i].Command, App.Binds.Slots[i].Text);
    }
}

// A release over the tree re-reads the selection: an action shows its description and sends the
// focus on to the key capture box; the root or a category shows the placeholder and keeps it.
TEST_F(ActionTree, ReleaseShowsTheSelectionsDescriptionAndMovesFocusOnlyForActions) {
    struct Case {
        const char* Category;
        const char* Action;
        const char* Description;
        bool FocusToKeyBox;
    };
    const Case cases[] = {
        {"Movement", "Jump", "Make Player Jump", true},
        {nullptr, nullptr, "Bind Description", false},
        {"Special", "Clear Screenshot", "Take a Screenshot with a Clear HUD", true},
        {"Radio", nullptr, "Bind Description", false},
        {"Radio", "Medic!", "Medic!", true},
        {"Messages", "Custom Message", "Custom Say Message, Use Custom Control Box", true},
        {"User Interface", nullptr, "Bind Description", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Category ? c.Category : "(root)") + " / " +
                     (c.Action ? c.Action : "-"));
        HTREEITEM item = FindTreeItem(c.Category, c.Action);
        ASSERT_NE(nullptr, item);
        TreeView_SelectItem(Tree, item);
        SetFocus(Tree);
        ReleaseOverEmptySpace();
        EXPECT_EQ(c.Description, ControlText(Dialog, IDC_DESCRIPTION_BOX));
        EXPECT_EQ(c.FocusToKeyBox ? KeyBox : Tree, GetFocus());
        EXPECT_EQ(item, TreeView_GetSelection(Tree)) << "the selection stays";
    }
}

TEST_F(ActionTree, PostedReleaseIsHandledWhenDispatched) {
    TreeView_SelectItem(Tree, FindTreeItem("Shooting", "Reload"));
    SetFocus(Tree);
    PostMessageA(Tree, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_EQ("Bind Description", ControlText(Dialog, IDC_DESCRIPTION_BOX));
    FlushEvents();
    EXPECT_EQ("Reload Current Weapon", ControlText(Dialog, IDC_DESCRIPTION_BOX));
    EXPECT_EQ(KeyBox, GetFocus());
}

TEST_F(ActionTree, KeyboardSelectionLeavesDescriptionAndFocusAlone) {
    TreeView_SelectItem(Tree, FindTreeItem("Movement", "Jump"));
    SetFocus(Tree);
    ReleaseOverEmptySpace();
    ASSERT_EQ("Make Player Jump", ControlText(Dialog, IDC_DESCRIPTION_BOX));

    SetFocus(Tree);
    TreeView_SelectItem(Tree, FindTreeItem("Movement", "Crouch"));
    EXPECT_EQ("Make Player Jump", ControlText(Dialog, IDC_DESCRIPTION_BOX));
    SendKey(Tree, WM_KEYDOWN, VK_DOWN);
    SendKey(Tree, WM_KEYUP, VK_DOWN);
    FlushEvents();
    HTREEITEM moved = TreeView_GetSelection(Tree);
    EXPECT_EQ("Forward", TreeItemText(Tree, moved)) << "the arrow moved the selection";
    EXPECT_EQ("Make Player Jump", ControlText(Dialog, IDC_DESCRIPTION_BOX));
    EXPECT_EQ(Tree, GetFocus());

    // The next release picks up what the keyboard selected.
    ReleaseOverEmptySpace();
    EXPECT_EQ("Move Player Forward", ControlText(Dialog, IDC_DESCRIPTION_BOX));
}

// A real click on an item: the tree's own drag detection takes the release out of the queue, and
// the click must still show the description and hand the focus to the key capture box.
TEST_F(ActionTree, RealClickOnAnActionPicksIt) {
    ASSERT_EQ(Dialog, GetForegroundWindow()) << "real input goes to the foreground window";
    HTREEITEM jump = FindTreeItem("Movement", "Jump");
    ASSERT_NE(nullptr, jump);
    TreeView_SelectItem(Tree, FindTreeItem("Movement"));
    TreeView_EnsureVisible(Tree, jump);
    SetFocus(Tree);
    FlushEvents();
    ASSERT_EQ("Bind Description", ControlText(Dialog, IDC_DESCRIPTION_BOX));

    RECT rect;
    ASSERT_TRUE(TreeView_GetItemRect(Tree, jump, &rect, TRUE));
    POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(Tree, &point);
    ASSERT_TRUE(SetCursorPos(point.x, point.y));
    INPUT clicks[2] = {};
    clicks[0].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].type = INPUT_MOUSE;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(2u, SendInput(2, clicks, sizeof(INPUT)));
    for (int i = 0; i < 20 && GetFocus() != KeyBox; ++i) {
        Sleep(20);
        FlushEvents();
    }
    EXPECT_EQ(jump, TreeView_GetSelection(Tree));
    EXPECT_EQ("Make Player Jump", ControlText(Dialog, IDC_DESCRIPTION_BOX));
    EXPECT_EQ(KeyBox, GetFocus());
}

}  // namespace
