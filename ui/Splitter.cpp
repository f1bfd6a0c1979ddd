#include "ui/Splitter.h"

#include <windowsx.h>

#include <utility>

namespace kalvera {
namespace {

// Esc during a drag reaches the splitter as this message in its place.
constexpr UINT kCancelDrag = WM_APP + 21;
Splitter* draggingSplitter = nullptr;

} // namespace

Splitter::~Splitter() {
    if (escapeWatch_)
        UnhookWindowsHookEx(escapeWatch_);
    if (draggingSplitter == this)
        draggingSplitter = nullptr;
}

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

// The keys go to the control that has the focus, which the bar never takes:
// while it is dragged, the thread's messages are watched for Esc instead,
// whichever loop takes them.
LRESULT CALLBACK Splitter::WatchForEscape(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && draggingSplitter &&
        msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
        msg->hwnd = draggingSplitter->Handle();
        msg->message = kCancelDrag;
        msg->wParam = msg->lParam = 0;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Splitter::EndDrag(bool apply) {
    if (!dragging_)
        return;
    dragging_ = false;
    draggingSplitter = nullptr;
    if (escapeWatch_)
        UnhookWindowsHookEx(std::exchange(escapeWatch_, nullptr));
    DrawDragLine(lineX_);
    if (GetCapture() == Handle())
        ReleaseCapture();
    if (apply)
        DragTo(lineX_);
}

LRESULT Splitter::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        return TRUE;
    case WM_LBUTTONDOWN:
        if (dragging_)
            return 0;
        dragging_ = true;
        grabOffset_ = GET_X_LPARAM(lParam);
        lineX_ = Left();
        draggingSplitter = this;
        escapeWatch_ =
            SetWindowsHookExW(WH_GETMESSAGE, WatchForEscape, nullptr, GetCurrentThreadId());
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
    case kCancelDrag:
        EndDrag(false);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != Handle())
            EndDrag(false);
        return 0;
    case WM_CANCELMODE:
        EndDrag(false);
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace kalvera
