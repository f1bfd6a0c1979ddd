#include "ui/Control.h"
#include "ui/Failure.h"

#include <commctrl.h>

#include <unordered_map>

namespace kalvera {
namespace {
// Which control a window belongs to. A map rather than a window property:
// under Wine every property lookup is a round trip to the server (about
// 50 us), and the lookup runs for every message and notification.
std::unordered_map<HWND, Control*>& Controls() {
    static std::unordered_map<HWND, Control*> controls;
    return controls;
}
} // namespace

Control::~Control() {
    if (handle_)
        DestroyWindow(handle_);
}

void Control::SetParentWindow(HWND parent) {
    parent_ = parent;
    if (handle_)
        SetParent(handle_, parent);
}

HWND Control::Handle() {
    if (!handle_)
        CreateWnd();
    return handle_;
}

void Control::RecreateWnd() {
    if (handle_)
        DestroyWnd();
    CreateWnd();
}

void Control::SetBounds(int x, int y, int width, int height) {
    bounds_ = {x, y, x + width, y + height};
    if (handle_)
        MoveWindow(handle_, x, y, width, WindowHeightFor(height), TRUE);
}

Control* Control::FromHandle(HWND window) {
    auto& controls = Controls();
    const auto found = controls.find(window);
    return found == controls.end() ? nullptr : found->second;
}

void Control::CreateWnd() {
    const CreateParams params = GetCreateParams();
    HWND window =
        CreateWindowExW(params.exStyle, params.className, L"",
                        params.style | (parent_ ? WS_CHILD : 0), bounds_.left, bounds_.top,
                        bounds_.right - bounds_.left, WindowHeightFor(bounds_.bottom - bounds_.top),
                        parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return;
    Controls()[window] = this;
    // Replacing the window procedure directly rather than through
    // SetWindowSubclass: under Wine every message through a comctl32
    // subclass costs about 0.2 ms (against under 1 us this way), which turns
    // filling a tree of thousands of nodes into minutes. Nothing else
    // subclasses these windows, and the original procedure is put back
    // before the window goes.
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
    handle_ = window;
}

void Control::DestroyWnd() {
    DestroyHandle();
}

void Control::DestroyHandle() {
    if (HWND window = handle_)
        DestroyWindow(window);
    handle_ = nullptr;
}

LRESULT Control::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT Control::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(original_, handle_, message, wParam, lParam);
}

LRESULT CALLBACK Control::ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = FromHandle(window);
    if (!self || self->handle_ != window)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const WNDPROC original = self->original_;
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        Controls().erase(window);
        self->handle_ = nullptr;
        return CallWindowProcW(original, window, message, wParam, lParam);
    }
    try {
        return self->WndProc(message, wParam, lParam);
    } catch (...) {
        ReportFailure(std::current_exception());
        return 0;
    }
}

} // namespace kalvera
