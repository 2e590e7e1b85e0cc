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

// The pixels of one character drawn in a font; with ETO_GLYPH_INDEX it is a glyph number.
std::string Drawn(HDC screen, HFONT font, const wchar_t* text, UINT options) {
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ bitmap = SelectObject(dc, CreateCompatibleBitmap(screen, 64, 32));
    HGDIOBJ old = SelectObject(dc, font);
    RECT all = {0, 0, 64, 32};
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE | options, &all, text, 1, nullptr);
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

    // A message names the player's file as typed: in the message boxes' font, no character of a
    // name in Chinese, Japanese, Korean, Cyrillic, Greek or Hebrew may come out as the missing
    // glyph (glyph 0, a box). Wine takes no Hebrew from a linked face.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT messageFont = CreateFontIndirectW(&metrics.lfMessageFont);
    const std::string box = Drawn(screen, messageFont, L"", ETO_GLYPH_INDEX);
    for (const wchar_t* name :
         {L"\u73a9\u5bb6", L"\u3042\u30ab", L"\ud50c\ub808",
          L"\u0414\u043c\u0438\u0442\u0440\u0438\u0439",
          L"\u03c0\u03b1\u03af\u03ba\u03c4\u03b7\u03c2", L"\u05e9\u05dc\u05d5\u05dd"}) {
        for (const wchar_t* c = name; *c; ++c)
            EXPECT_TRUE(Drawn(screen, messageFont, c, 0) != box)
                << Utf8(name) << ", character " << c - name + 1;
    }
    DeleteObject(messageFont);
    ReleaseDC(nullptr, screen);
}

}  // namespace
