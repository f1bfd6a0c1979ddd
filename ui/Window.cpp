#include "ui/Window.h"
#include "ui/Control.h"
#include "ui/Failure.h"

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

namespace kalvera {
namespace {
constexpr wchar_t kWindowClass[] = L"KalveraWindow";

void RegisterWindowClass(WNDPROC proc, const wchar_t* className) {
    // Windows are made on the user-interface thread alone.
    static std::vector<std::wstring> registered;
    for (const std::wstring& name : registered)
        if (name == className)
            return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
    registered.emplace_back(className);
}
} // namespace

Window::~Window() {
    if (handle_) {
        SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
        DestroyWindow(std::exchange(handle_, nullptr));
    }
}

HWND Window::CreateHandle(const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int width,
                          int height, HWND parent, const wchar_t* className) {
    if (!className)
        className = kWindowClass;
    RegisterWindowClass(StaticProc, className);
    HWND window = CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent,
                                  nullptr, GetModuleHandleW(nullptr), this);
    if (window) {
        if (HICON icon = ClassIcon()) {
            SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        }
    }
    return window;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ReflectToControl(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(handle_, message, wParam, lParam);
}

LRESULT CALLBACK Window::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Window*>(create->lpCreateParams);
        self->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->handle_ = nullptr;
        self->OnDestroyed();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        ReportFailure(std::current_exception());
        return 0;
    }
}

bool CanTakeFocus(HWND window) {
    if (!window || !IsWindow(window))
        return false;
    // The control and the parents between it and its top-level window; the
    // top-level window itself may still be on its way to being shown.
    for (HWND at = window; GetWindowLongPtrW(at, GWL_STYLE) & WS_CHILD; at = GetParent(at)) {
        const LONG_PTR style = GetWindowLongPtrW(at, GWL_STYLE);
        if (!(style & WS_VISIBLE) || (style & WS_DISABLED))
            return false;
    }
    return true;
}

bool FocusMemory::OnActivate(HWND window, WPARAM wParam, HWND fallback) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        // The window itself holding the focus means no control does. A focus
        // already gone (disabling a window drops it) keeps what was known.
        if (focus == window)
            saved_ = nullptr;
        else if (focus && IsChild(window, focus))
            saved_ = focus;
        return false;
    }
    if (HIWORD(wParam)) // minimised: nothing shows the focus
        return false;
    HWND target = saved_ && IsChild(window, saved_) && CanTakeFocus(saved_) ? saved_ : fallback;
    if (!target || !CanTakeFocus(target))
        return false;
    SetFocus(target);
    return true;
}

} // namespace kalvera
