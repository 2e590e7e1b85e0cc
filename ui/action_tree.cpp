#include "action_tree.h"

#include "../resources/resource.h"
#include "app.h"

TreeBuilder::TreeBuilder(HWND mainDialog)
    : Tree(GetDlgItem(mainDialog, IDC_ACTION_TREE)),
      Root(nullptr),
      CategoryItems(),
      SelectedImage(0),
      NormalImage(0) {}

int TreeBuilder::LoadImages() {
    HIMAGELIST images = ImageList_Create(8, 8, 0, 2, 0);
    HBITMAP bitmap = LoadBitmapA(InstanceHandle, MAKEINTRESOURCEA(IDB_TREE_SELECTED));
    SelectedImage = ImageList_Add(images, bitmap, nullptr);
    DeleteObject(bitmap);
    bitmap = LoadBitmapA(InstanceHandle, MAKEINTRESOURCEA(IDB_TREE_NORMAL));
    NormalImage = ImageList_Add(images, bitmap, nullptr);
    DeleteObject(bitmap);
    SendMessageA(Tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    return 1;
}

HTREEITEM TreeBuilder::Insert(HTREEITEM parent, const char* text, LPARAM itemData,
                              bool hasChildren) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.cchTextMax = lstrlenA(text);
    insert.item.iImage = NormalImage;
    insert.item.iSelectedImage = SelectedImage;
    insert.item.lParam = itemData;
    if (hasChildren) {
        insert.item.mask |= TVIF_CHILDREN;
        insert.item.cChildren = 1;
    }
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(Tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

int TreeBuilder::InsertRoot(const char* text) {
    Root = Insert(TVI_ROOT, text, RootItemData, true);
    return 1;
}

int TreeBuilder::InsertCategory(const char* text, int category) {
    CategoryItems[category] = Insert(Root, text, category, true);
    return 1;
}

int TreeBuilder::InsertAction(int category, const char* text, int slot) {
    Insert(CategoryItems[category], text, slot, false);
    return 1;
}

int FillActionTree(HWND mainDialog) {
    TreeBuilder builder(mainDialog);
    builder.LoadImages();
    builder.InsertRoot("Bind Selector");
    for (int category = 0; category < CategoryCount; ++category) {
        const char* name = CategoryName(category);
        if (!name) continue;
        builder.InsertCategory(name, category);
        for (int slot = 0; slot < SlotsPerCategory; ++slot) {
            const char* label = ActionLabels[category * SlotsPerCategory + slot];
            if (label) builder.InsertAction(category, label, slot);
        }
    }
    return 1;
}

static LPARAM ItemData(HWND tree, HTREEITEM item) {
    TVITEMA query = {};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return query.lParam;
}

bool SelectedAction(HWND tree, int* category, int* slot) {
    HTREEITEM selected = TreeView_GetSelection(tree);
    HTREEITEM parent = selected ? TreeView_GetParent(tree, selected) : nullptr;
    if (!parent) return false;
    LPARAM parentData = ItemData(tree, parent);
    if (parentData == RootItemData) return false;
    *category = static_cast<int>(parentData);
    *slot = static_cast<int>(ItemData(tree, selected));
    return true;
}

int AppState::IsActionSelected() {
    int category, slot;
    return SelectedAction(ActionTree, &category, &slot) ? 1 : 0;
}

int AppState::ShowSelectedDescription() {
    int category, slot;
    Action action;
    if (!SelectedAction(ActionTree, &category, &slot) || !FindAction(category, slot, &action)) {
        SetDlgItemTextA(MainDialog, IDC_DESCRIPTION_BOX, "Bind Description");
        return 0;
    }
    SetDlgItemTextA(MainDialog, IDC_DESCRIPTION_BOX, action.Description);
    return 1;
}

static void AfterLeftButtonRelease(HWND tree) {
    App.ShowSelectedDescription();
    if (App.IsActionSelected()) SetFocus(GetDlgItem(GetParent(tree), IDC_KEY_CAPTURE_BOX));
}

LRESULT CALLBACK ActionTreeProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONUP) AfterLeftButtonRelease(tree);
    LRESULT result = CallWindowProcA(SavedTreeProc, tree, message, wParam, lParam);
    // A click on an item runs the tree's drag detection, which swallows the release; when the
    // button is already up again, the click is over and the release steps run here instead.
    if (message == WM_LBUTTONDOWN && !(GetKeyState(VK_LBUTTON) & 0x8000)) {
        AfterLeftButtonRelease(tree);
    }
    return result;
}
