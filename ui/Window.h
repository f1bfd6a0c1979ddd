#pragma once
// Base of the program's own windows (forms, hosts): a static window
// procedure finds the object through the pointer stored at WM_NCCREATE and
// routes to HandleMessage until WM_NCDESTROY, after which nothing reaches
// the object. Notifications for child controls are reflected to them.

#include <windows.h>

namespace kalvera {

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return handle_; }
    // A window of a class of its own where className is given: other
    // programs find a top-level window by its class (the first in the
    // z-order), and must not take a hidden dialog for the main window.
    HWND CreateHandle(const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int width,
                      int height, HWND parent, const wchar_t* className = nullptr);

protected:
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnDestroyed() {}
    // The window class's icon and cursor; defaults when null.
    virtual HICON ClassIcon() const { return nullptr; }

private:
    static LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
    HWND handle_ = nullptr;
};

// Gives the keyboard focus back, when a window is activated again, to the
// control that had it when the window was deactivated, as a dialog does.
// Without one (the window itself held the focus, or the control can no
// longer take it), the fallback gets it.
class FocusMemory {
public:
    // WM_ACTIVATE of the window: remembers or gives back. Returns true when
    // the focus was placed, so the default handling must not run.
    bool OnActivate(HWND window, WPARAM wParam, HWND fallback);
    // The control that gets the focus at the next activation.
    void Remember(HWND control) { saved_ = control; }

private:
    HWND saved_ = nullptr;
};

// Whether a control can take the keyboard focus: it exists, and it and its
// parents below the top-level window are visible and enabled.
bool CanTakeFocus(HWND window);

} // namespace kalvera
