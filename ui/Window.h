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
    HWND CreateHandle(const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int width,
                      int height, HWND parent);

protected:
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnDestroyed() {}
    // The window class's icon and cursor; defaults when null.
    virtual HICON ClassIcon() const { return nullptr; }

private:
    static LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
    HWND handle_ = nullptr;
};

} // namespace kalvera
