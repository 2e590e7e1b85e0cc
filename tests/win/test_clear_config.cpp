#include <gtest/gtest.h>

#include <cstring>

#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "ui_harness.h"

namespace {

class ClearConfig : public ::testing::Test {
protected:
    void SetUp() override { Dialog = StartMainDialog(); }
    void TearDown() override { CloseAllDialogs(); }
    HWND Dialog = nullptr;
};

TEST_F(ClearConfig, AsksFirstAndClearsOnlyOnYes) {
    std::strcpy(App.Binds.Slots[0].Text, "bind a \"+forward\"");
    App.Binds.BindCount = 1;
    SendMessageA(App.BindListBox, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>("A -> (Movement) Forward"));

    MessageBoxAnswerer answerer;
    answerer.Queue(IDNO);
    answerer.Queue(IDYES);
    SendMessageA(Dialog, WM_COMMAND, IDC_CLEAR_CONFIG, 0);
    EXPECT_EQ(1, App.Binds.BindCount);
    EXPECT_EQ(1, SendMessageA(App.BindListBox, LB_GETCOUNT, 0, 0));
    SendMessageA(Dialog, WM_COMMAND, IDC_CLEAR_CONFIG, 0);
    EXPECT_EQ(0, App.Binds.BindCount);
    EXPECT_EQ(0, SendMessageA(App.BindListBox, LB_GETCOUNT, 0, 0));
    EXPECT_STREQ("", App.Binds.Slots[0].Text);

    ASSERT_EQ(2u, answerer.Seen.size());
    for (const SeenMessageBox& box : answerer.Seen) {
        EXPECT_EQ("Question.", box.Caption);
        EXPECT_EQ("Are you sure you wish to clear all binds now ?", box.Text);
        EXPECT_TRUE(box.HasYes && box.HasNo);
        EXPECT_FALSE(box.HasOk);
        EXPECT_TRUE(box.HasIcon);
    }
}

}  // namespace
