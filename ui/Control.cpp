#include "ui/Control.h"
#include "ui/Failure.h"

#include <commctrl.h>

namespace kalvera {
namespace {
constexpr wchar_t kControlProperty[] = L"KalveraControl";
constexpr UINT_PTR kSubclassId = 1;
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
    return window ? static_cast<Control*>(GetPropW(window, kControlProperty)) : nullptr;
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
    SetPropW(window, kControlProperty, this);
    SetWindowSubclass(window, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
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
    return DefSubclassProc(handle_, message, wParam, lParam);
}

LRESULT CALLBACK Control::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<Control*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, kSubclassId);
        RemovePropW(window, kControlProperty);
        if (self->handle_ == window)
            self->handle_ = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    try {
        return self->WndProc(message, wParam, lParam);
    } catch (...) {
        ReportFailure(std::current_exception());
        return 0;
    }
}

} // namespace kalvera
