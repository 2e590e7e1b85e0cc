// The completion dialog that judges a write's length against the game's limit: its texts, its bar,
// and the one way to close it.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "../../ui/app.h"
#include "ui_harness.h"

#ifndef PBM_GETBARCOLOR
#define PBM_GETBARCOLOR (WM_USER + 15)
#endif

namespace {

constexpr char CompletionCaption[] = "Dialog";

constexpr char Fine[] = "You Config file will work fine, it is within Quake III length limits.";
constexpr char Close[] =
    "You Config file will work fine, it is within Quake III length limits, but you are close to "
    "maxium capacity.";
constexpr char Over[] =
    "This Config File will not execute, as it exceeds the maximun length Quake III allows.";

constexpr COLORREF Green = 0x33FF33;
constexpr COLORREF Orange = 0x0099FF;
constexpr COLORREF Red = 0x0000FF;

struct GaugeCase {
    int32_t WrittenLength;
    const char* Percent;  // control 1035 and the bar's window text
    int Position;         // the bar keeps its range of 0 to 100
    COLORREF Colour;
    const char* Verdict;
};

const GaugeCase GaugeCases[] = {
    {144, "1%\n", 1, Green, Fine},  // header and general section alone
    {9989, "89%\n", 89, Green, Fine},      {9990, "90%\n", 90, Orange, Close},
    {11100, "100%\n", 100, Orange, Close}, {11210, "100%\n", 100, Orange, Close},
    {11211, "101%\n", 100, Red, Over},     {22200, "200%\n", 100, Red, Over},
};

struct GaugeSnapshot {
    std::string Caption;
    std::string Percent;
    std::string BarText;
    LRESULT Position;
    LRESULT RangeLow, RangeHigh;
    LRESULT Colour;
    std::string Verdict;
    HWND Owner;
    bool Visible;
};

GaugeSnapshot Snapshot(HWND dialog) {
    HWND bar = GetDlgItem(dialog, IDC_GAUGE_BAR);
    GaugeSnapshot shot;
    shot.Caption = WindowText(dialog);
    shot.Percent = ControlText(dialog, IDC_GAUGE_PERCENT);
    shot.BarText = WindowText(bar);
    shot.Position = SendMessageA(bar, PBM_GETPOS, 0, 0);
    shot.RangeLow = SendMessageA(bar, PBM_GETRANGE, TRUE, 0);
    shot.RangeHigh = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
    shot.Colour = SendMessageA(bar, PBM_GETBARCOLOR, 0, 0);
    shot.Verdict = ControlText(dialog, IDC_GAUGE_VERDICT);
    shot.Owner = GetWindow(dialog, GW_OWNER);
    shot.Visible = IsWindowVisible(dialog) != FALSE;
    return shot;
}

void ExpectShows(const GaugeCase& expected, const GaugeSnapshot& shot) {
    EXPECT_EQ(CompletionCaption, shot.Caption);
    EXPECT_TRUE(shot.Visible);
    EXPECT_EQ(expected.Percent, shot.Percent);
    EXPECT_EQ(expected.Percent, shot.BarText);
    EXPECT_EQ(expected.Position, shot.Position);
    EXPECT_EQ(0, shot.RangeLow);
    EXPECT_EQ(100, shot.RangeHigh);
    EXPECT_EQ(expected.Colour, static_cast<COLORREF>(shot.Colour))
        << std::hex << "bar colour 0x" << shot.Colour;
    EXPECT_EQ(expected.Verdict, shot.Verdict);
    EXPECT_EQ(App.MainDialog, shot.Owner);
}

class CompletionDialog : public ::testing::Test {
protected:
    void SetUp() override { Main = StartMainDialog(); }
    void TearDown() override { CloseAllDialogs(); }

    // Runs the gauge and returns the one dialog it opened.
    HWND Gauge(int32_t writtenLength) {
        std::vector<HWND> before = VisibleDialogs(CompletionCaption);
        App.SizeGauge(writtenLength);
        FlushEvents();
        std::vector<HWND> opened;
        for (HWND window : VisibleDialogs(CompletionCaption)) {
            if (std::find(before.begin(), before.end(), window) == before.end()) {
                opened.push_back(window);
            }
        }
        EXPECT_EQ(1u, opened.size());
        return opened.size() == 1 ? opened[0] : nullptr;
    }

    HWND Main = nullptr;
};

TEST_F(CompletionDialog, ShowsPercentBarAndVerdictForEachLevel) {
    for (const GaugeCase& test : GaugeCases) {
        SCOPED_TRACE(testing::Message() << "WrittenLength " << test.WrittenLength);
        HWND dialog = Gauge(test.WrittenLength);
        ASSERT_NE(nullptr, dialog);
        ExpectShows(test, Snapshot(dialog));
        EXPECT_EQ('\n', ControlText(dialog, IDC_GAUGE_PERCENT).back());
        EXPECT_EQ("OK", ControlText(dialog, IDOK));
        DestroyWindow(dialog);
    }
}

TEST_F(CompletionDialog, TwoAtOnceKeepTheirOwnValues) {
    HWND fine = Gauge(9989);
    HWND over = Gauge(22200);
    ASSERT_NE(nullptr, fine);
    ASSERT_NE(nullptr, over);
    ASSERT_NE(fine, over);
    ExpectShows(GaugeCases[1], Snapshot(fine));
    ExpectShows(GaugeCases[6], Snapshot(over));

    SendMessageA(GetDlgItem(fine, IDOK), BM_CLICK, 0, 0);
    FlushEvents();
    EXPECT_FALSE(IsWindowVisible(fine));
    ExpectShows(GaugeCases[6], Snapshot(over));

    SendMessageA(GetDlgItem(over, IDOK), BM_CLICK, 0, 0);
    FlushEvents();
    EXPECT_FALSE(IsWindowVisible(over));
    EXPECT_TRUE(IsWindowVisible(Main));
}

// How input reaches the dialog in one case.
enum InputKind { ClickOk, Command, Message, KeyOnOk };

struct InputCase {
    const char* Name;
    InputKind Kind;
    UINT Number;  // message number, or virtual key for KeyOnOk
    WPARAM WParam;
    bool Ends;
};

const InputCase InputCases[] = {
    {"click on OK", ClickOk, 0, 0, true},
    {"OK command", Command, WM_COMMAND, IDOK, true},
    {"cancel command", Command, WM_COMMAND, IDCANCEL, false},
    {"OK with a double-click notification", Command, WM_COMMAND, MAKEWPARAM(IDOK, BN_DOUBLECLICKED),
     false},
    {"close request", Message, WM_CLOSE, 0, false},
    {"Escape on OK", KeyOnOk, VK_ESCAPE, 0, false},
    {"Enter on OK", KeyOnOk, VK_RETURN, 0, false},
};

void PostKey(HWND target, UINT key) {
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(target, WM_KEYDOWN, key, scan | 1);
    PostMessageA(target, WM_KEYUP, key, scan | 1 | 0xC0000000);
}

TEST_F(CompletionDialog, OnlyOkEndsIt) {
    for (const InputCase& test : InputCases) {
        SCOPED_TRACE(test.Name);
        HWND dialog = Gauge(11211);
        ASSERT_NE(nullptr, dialog);
        HWND ok = GetDlgItem(dialog, IDOK);
        switch (test.Kind) {
            case ClickOk:
                SendMessageA(ok, BM_CLICK, 0, 0);
                break;
            case Command:
                SendMessageA(dialog, test.Number, test.WParam, reinterpret_cast<LPARAM>(ok));
                break;
            case Message:
                SendMessageA(dialog, test.Number, test.WParam, 0);
                break;
            case KeyOnOk:
                SetFocus(ok);
                PostKey(ok, test.Number);
                break;
        }
        FlushEvents();
        EXPECT_EQ(test.Ends, !IsWindowVisible(dialog));
        EXPECT_TRUE(IsWindowVisible(Main));
        if (!test.Ends) ExpectShows(GaugeCases[5], Snapshot(dialog));
        DestroyWindow(dialog);
    }
}

}  // namespace
