// The dialogs are laid out for MS Sans Serif, and Wine draws the caption buttons with Marlett.
// A prefix that lacks either quietly falls back to another face, so ask for each by name the way
// the dialog manager does and read back the face that was really given. The message boxes' font
// must draw a name in any script. Run in any prefix with --gtest_filter=PrefixFonts.*
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

// The pixels of two characters drawn in a font; with ETO_GLYPH_INDEX they are glyph numbers.
std::string Drawn(HDC screen, HFONT font, const wchar_t* text, UINT options) {
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ bitmap = SelectObject(dc, CreateCompatibleBitmap(screen, 64, 32));
    HGDIOBJ old = SelectObject(dc, font);
    RECT all = {0, 0, 64, 32};
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE | options, &all, text, 2, nullptr);
    std::string pixels;
    for (int p = 0; p < 64 * 32; ++p)
        pixels += GetPixel(dc, p % 64, p / 64) == 0xFFFFFF ? '.' : '#';
    SelectObject(dc, old);
    DeleteObject(SelectObject(dc, bitmap));
    DeleteDC(dc);
    return pixels;
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

    // A message names the player's file as typed: in the message boxes' font, a name in Chinese,
    // Japanese, Korean, Greek or Cyrillic must not come out as missing glyphs (glyph 0, a box).
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT messageFont = CreateFontIndirectW(&metrics.lfMessageFont);
    for (const wchar_t* name :
         {L"\u73a9\u5bb6", L"\u3042\u30ab", L"\ud50c\ub808", L"\u03c0\u0414"}) {
        EXPECT_NE(Drawn(screen, messageFont, name, 0),
                  Drawn(screen, messageFont, L"\0", ETO_GLYPH_INDEX))
            << Utf8(name);
    }
    DeleteObject(messageFont);
    ReleaseDC(nullptr, screen);
}

}  // namespace
