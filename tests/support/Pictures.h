#pragma once
// What a window paints, read back pixel by pixel, and where a piece of text
// shows in it: enough to tell a drawn name from a row of "missing glyph"
// boxes.

#include "win/Gdi.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kalvera::test {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, top row first
    std::uint32_t At(int x, int y) const { return pixels[y * width + x]; }
};

// The window's client area as it paints itself into a bitmap (WM_PRINT),
// whatever covers it on the screen.
Picture PaintedClientOf(HWND window);

// The text drawn once in the font, dark on white, cut to its ink.
Picture TextIn(HFONT font, const std::wstring& text);

// The font of the same size and weight in another family, or null when the
// system has no such family (it would hand over a substitute).
UniqueFont SameSizeIn(HFONT font, const std::wstring& family);

// Whether the text's ink shows somewhere inside the area of the picture:
// at one place every pixel of the text's ink, and no other, differs from
// the area's background, all but a few along the glyphs' smoothed edges.
bool ShowsText(const Picture& picture, const RECT& area, const Picture& text);

} // namespace kalvera::test
