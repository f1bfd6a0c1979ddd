#include "tests/support/Pictures.h"

#include <algorithm>
#include <map>
#include <utility>

namespace kalvera::test {
namespace {

// What paint draws into a top-down 32-bit bitmap held by a memory DC.
template <typename Paint> Picture Draw(int width, int height, Paint paint) {
    Picture picture{width, height, std::vector<std::uint32_t>(size_t(width) * height)};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
    void* bits = nullptr;
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    UniqueBitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !bitmap)
        return {};
    HGDIOBJ previous = SelectObject(dc.get(), bitmap.get());
    paint(dc.get());
    GdiFlush();
    std::copy_n(static_cast<const std::uint32_t*>(bits), picture.pixels.size(),
                picture.pixels.begin());
    SelectObject(dc.get(), previous);
    for (std::uint32_t& p : picture.pixels)
        p &= 0xFFFFFF;
    return picture;
}

// The colour most pixels of the area have.
std::uint32_t BackgroundOf(const Picture& picture, const RECT& area) {
    std::map<std::uint32_t, int> counts;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            ++counts[picture.At(x, y)];
    return std::max_element(counts.begin(), counts.end(),
                            [](auto& a, auto& b) { return a.second < b.second; })
        ->first;
}

} // namespace

Picture PaintedClientOf(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    return Draw(client.right, client.bottom, [&](HDC dc) {
        SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                     PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    });
}

Picture TextIn(HFONT font, const std::wstring& text) {
    constexpr int kMargin = 4;
    SIZE size{};
    {
        UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
        HGDIOBJ previous = SelectObject(dc.get(), font);
        GetTextExtentPoint32W(dc.get(), text.c_str(), int(text.size()), &size);
        SelectObject(dc.get(), previous);
    }
    Picture whole = Draw(size.cx + 2 * kMargin, size.cy + 2 * kMargin, [&](HDC dc) {
        RECT all{0, 0, size.cx + 2 * kMargin, size.cy + 2 * kMargin};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        HGDIOBJ previous = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutW(dc, kMargin, kMargin, text.c_str(), int(text.size()));
        SelectObject(dc, previous);
    });
    RECT ink{whole.width, whole.height, 0, 0};
    for (int y = 0; y < whole.height; ++y)
        for (int x = 0; x < whole.width; ++x)
            if (whole.At(x, y) != 0xFFFFFF) {
                ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                       std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
            }
    if (ink.right <= ink.left)
        return {};
    Picture cut{ink.right - ink.left, ink.bottom - ink.top, {}};
    for (int y = ink.top; y < ink.bottom; ++y)
        for (int x = ink.left; x < ink.right; ++x)
            cut.pixels.push_back(whole.At(x, y));
    return cut;
}

UniqueFont SameSizeIn(HFONT font, const std::wstring& family) {
    LOGFONTW logFont{};
    GetObjectW(font, sizeof logFont, &logFont);
    family.copy(logFont.lfFaceName, LF_FACESIZE - 1);
    logFont.lfFaceName[std::min<size_t>(family.size(), LF_FACESIZE - 1)] = L'\0';
    // The window font asks for the Japanese character set, which the other
    // family may not claim; the family alone decides.
    logFont.lfCharSet = DEFAULT_CHARSET;
    // Glyphs borrowed through a link are drawn the way the window font
    // draws its own at that size, which the Japanese fonts do unsmoothed.
    logFont.lfQuality = NONANTIALIASED_QUALITY;
    UniqueFont made(CreateFontIndirectW(&logFont));
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    HGDIOBJ previous = SelectObject(dc.get(), made.get());
    wchar_t face[LF_FACESIZE] = L"";
    GetTextFaceW(dc.get(), LF_FACESIZE, face);
    SelectObject(dc.get(), previous);
    return family == face ? std::move(made) : UniqueFont();
}

bool ShowsText(const Picture& picture, const RECT& area, const Picture& text) {
    if (text.pixels.empty() || area.left < 0 || area.top < 0 || area.right > picture.width ||
        area.bottom > picture.height || area.right <= area.left || area.bottom <= area.top)
        return false;
    const std::uint32_t background = BackgroundOf(picture, area);
    const auto ink = std::count_if(text.pixels.begin(), text.pixels.end(),
                                   [](std::uint32_t p) { return p != 0xFFFFFF; });
    for (int top = area.top; top + text.height <= area.bottom; ++top)
        for (int left = area.left; left + text.width <= area.right; ++left) {
            long differing = 0;
            for (int y = 0; y < text.height && differing * 20 <= ink; ++y)
                for (int x = 0; x < text.width; ++x)
                    differing += (text.At(x, y) != 0xFFFFFF) !=
                                 (picture.At(left + x, top + y) != background);
            if (differing * 20 <= ink) // within 5% of the ink
                return true;
        }
    return false;
}

} // namespace kalvera::test
