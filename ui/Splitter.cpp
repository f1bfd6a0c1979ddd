#include "ui/Splitter.h"

#include <windowsx.h>

namespace kalvera {

CreateParams Splitter::GetCreateParams() const {
    return {CustomClass(), WS_CHILD | WS_CLIPSIBLINGS, 0};
}

void Splitter::DragTo(int x) {
    if (!target_)
        return;
    int width = x - target_->Left();
    if (ClampWidth)
        width = ClampWidth(width);
    target_->SetWidth(width);
    if (Parent())
        Parent()->Realign();
    else if (HWND parent = ParentWindow())
        SendMessageW(parent, kRealignMessage, 0, 0);
}

int Splitter::ParentX(LPARAM lParam) {
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    MapWindowPoints(Handle(), ParentWindow(), &at, 1);
    return at.x;
}

// A hatched bar drawn by inverting, so drawing it twice removes it.
void Splitter::DrawDragLine(int x) {
    HWND parent = ParentWindow();
    HDC dc = GetDCEx(parent, nullptr, DCX_CACHE | DCX_LOCKWINDOWUPDATE | DCX_PARENTCLIP);
    static const WORD kPattern[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    HBITMAP bits = CreateBitmap(8, 8, 1, 1, kPattern);
    HBRUSH brush = CreatePatternBrush(bits);
    HGDIOBJ previous = SelectObject(dc, brush);
    PatBlt(dc, x, Top(), Width(), Height(), PATINVERT);
    SelectObject(dc, previous);
    DeleteObject(brush);
    DeleteObject(bits);
    ReleaseDC(parent, dc);
}

void Splitter::EndDrag(bool apply) {
    if (!dragging_)
        return;
    dragging_ = false;
    DrawDragLine(lineX_);
    if (GetCapture() == Handle())
        ReleaseCapture();
    if (focusBefore_ && IsWindow(focusBefore_))
        SetFocus(focusBefore_);
    if (apply)
        DragTo(lineX_);
}

LRESULT Splitter::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        return TRUE;
    case WM_LBUTTONDOWN:
        dragging_ = true;
        grabOffset_ = GET_X_LPARAM(lParam);
        lineX_ = Left();
        // Esc must reach the bar while it is dragged.
        focusBefore_ = SetFocus(Handle());
        SetCapture(Handle());
        DrawDragLine(lineX_);
        return 0;
    case WM_MOUSEMOVE:
        if (dragging_) {
            DrawDragLine(lineX_);
            lineX_ = ParentX(lParam) - grabOffset_;
            DrawDragLine(lineX_);
        }
        return 0;
    case WM_LBUTTONUP:
        EndDrag(true);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE && dragging_) {
            EndDrag(false);
            return 0;
        }
        break;
    case WM_CANCELMODE:
        EndDrag(false);
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace kalvera
