#include "ui/SpeedButton.h"
#include "ui/Widgets.h"

#include <windowsx.h>

namespace kalvera {

CreateParams SpeedButton::GetCreateParams() const {
    return {CustomClass(), WS_CHILD | WS_CLIPSIBLINGS, 0};
}

void SpeedButton::SetPicture(HBITMAP strip, int imageWidth, int imageHeight, COLORREF transparent) {
    picture_.Load(strip, imageWidth, imageHeight, transparent);
}

void SpeedButton::SetDown(bool value) {
    if (value && groupIndex_ != 0 && Parent())
        for (Control* sibling : Parent()->Children())
            if (auto* other = dynamic_cast<SpeedButton*>(sibling);
                other && other != this && other->groupIndex_ == groupIndex_ && other->down_) {
                other->down_ = false;
                other->Redraw();
            }
    down_ = value;
    Redraw();
}

void SpeedButton::Click() {
    if (groupIndex_ != 0) {
        if (down_ && allowAllUp_)
            SetDown(false);
        else
            SetDown(true);
    }
    if (OnClick)
        OnClick();
}

void SpeedButton::Redraw() {
    if (HandleAllocated())
        InvalidateRect(Handle(), nullptr, TRUE);
}

void SpeedButton::Paint(HDC dc, const RECT& client) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const bool enabled = Enabled();
    const bool pushed = pressing_ && pointerInside_;
    RECT edge = client;
    if (pushed || down_)
        DrawEdge(dc, &edge, flat_ ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
    else if (!flat_)
        DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
    else if (hot_ && enabled)
        DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);

    int image = 0;
    if (!enabled)
        image = 1;
    else if (pushed)
        image = 2;
    else if (down_)
        image = 3;
    if (image >= picture_.Count())
        image = enabled ? 0 : (picture_.Count() > 1 ? 1 : 0);

    const int shift = (pushed || down_) ? 1 : 0;
    SIZE text{};
    HGDIOBJ previous = SelectObject(dc, Font() ? Font() : GetStockObject(DEFAULT_GUI_FONT));
    GetTextExtentPoint32W(dc, Text().c_str(), static_cast<int>(Text().size()), &text);
    SelectObject(dc, previous);
    const int gap = picture_ && !Text().empty() ? 4 : 0;
    const int total = (picture_ ? picture_.Width() : 0) + gap + (Text().empty() ? 0 : text.cx);
    int x = (client.right - total) / 2 + shift;
    const int midY = client.bottom / 2 + shift;
    if (picture_) {
        picture_.Draw(dc, image, x, midY - picture_.Height() / 2);
        x += picture_.Width() + gap;
    }
    if (!Text().empty()) {
        const COLORREF color = GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
        RECT r{x, shift, x + text.cx + 2, client.bottom + shift};
        DrawCaption(dc, Font(), Text(), r, DT_LEFT | DT_VCENTER, color);
    }
}

LRESULT SpeedButton::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        RECT client;
        GetClientRect(Handle(), &client);
        Paint(dc, client);
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return TRUE;
    case WM_MOUSEMOVE: {
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT client;
        GetClientRect(Handle(), &client);
        const bool inside = PtInRect(&client, at);
        if (!hot_) {
            hot_ = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
            TrackMouseEvent(&track);
            Redraw();
        }
        if (inside != pointerInside_) {
            pointerInside_ = inside;
            Redraw();
        }
        return 0;
    }
    case WM_MOUSELEAVE:
        hot_ = false;
        Redraw();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!Enabled())
            return 0;
        pressing_ = true;
        pointerInside_ = true;
        SetCapture(Handle());
        Redraw();
        return 0;
    case WM_LBUTTONUP: {
        if (!pressing_)
            return 0;
        pressing_ = false;
        ReleaseCapture();
        Redraw();
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT client;
        GetClientRect(Handle(), &client);
        if (PtInRect(&client, at))
            Click();
        return 0;
    }
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
        if (pressing_) {
            pressing_ = false;
            Redraw();
        }
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace kalvera
