// The dialogs are laid out for MS Sans Serif, and Wine draws the caption buttons with Marlett.
// A prefix that lacks either quietly falls back to another face, so ask for each by name the way
// the dialog manager does and read back the face that was really given. Run in any prefix with
// --gtest_filter=PrefixFonts.*
#include <gtest/gtest.h>

#include "ui_harness.h"

namespace {

std::string GivenFace(HDC screen, HFONT font) {
    HGDIOBJ old = SelectObject(screen, font);
    char face[LF_FACESIZE] = {};
    GetTextFaceA(screen, LF_FACESIZE, face);
    SelectObject(screen, old);
    return face;
}

TEST(PrefixFonts, DialogsGetTheFacesTheyAreLaidOutFor) {
    HDC screen = GetDC(nullptr);
    for (const char* name : {"MS Sans Serif", "Marlett"}) {
        LOGFONTA wanted = {};
        wanted.lfHeight = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
        wanted.lfWeight = FW_NORMAL;
        wanted.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(wanted.lfFaceName, name, LF_FACESIZE);
        HFONT font = CreateFontIndirectA(&wanted);
        ASSERT_TRUE(font) << name;
        EXPECT_EQ(GivenFace(screen, font), name) << "the prefix has no " << name;
        DeleteObject(font);
    }

    HWND dialog = StartMainDialog();
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    ASSERT_TRUE(dialogFont);
    EXPECT_EQ(GivenFace(screen, dialogFont), "MS Sans Serif");
    CloseAllDialogs();
    ReleaseDC(nullptr, screen);
}

}  // namespace
