#pragma once
// A control over a window of a system class (list view, tree view, combo
// box). Its window is made when first needed and can be destroyed and made
// again; the control outlives its window. Its messages reach WndProc first;
// notifications that the parent receives for it are reflected back to it by
// the parent (see Window).

#include "ui/Component.h"

#include <windows.h>

namespace kalvera {

struct CreateParams {
    const wchar_t* className = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
};

class Control : public Component {
public:
    ~Control() override;

    void SetParentWindow(HWND parent);
    HWND ParentWindow() const { return parent_; }
    // The window, made now if there is none yet.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    // Destroys the window and makes it again (the hooks of both run).
    void RecreateWnd();
    void SetBounds(int x, int y, int width, int height);
    const RECT& Bounds() const { return bounds_; }

    static Control* FromHandle(HWND window);

    // Reflected notifications; true when handled, with the result to return.
    virtual bool OnNotify(NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    virtual bool OnCommand(WORD /*code*/, LRESULT& /*result*/) { return false; }

protected:
    virtual CreateParams GetCreateParams() const = 0;
    // The height the platform window gets for the control's height (a combo
    // box's window also covers its drop-down list).
    virtual int WindowHeightFor(int height) const { return height; }
    // Hooks around the window's life. Derived destructors that override
    // DestroyWnd call DestroyHandle() themselves, so their hook still runs.
    virtual void CreateWnd();
    virtual void DestroyWnd();
    void DestroyHandle();
    // The subclassed window procedure; Default() runs the control's own.
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM);

    HWND handle_ = nullptr;
    WNDPROC original_ = nullptr;
    HWND parent_ = nullptr;
    RECT bounds_{0, 0, 100, 100};
};

} // namespace kalvera
