#pragma once
// A control: a child window with bounds, docking and anchors, made when
// first needed and able to be destroyed and made again (the control outlives
// its window). Controls of system classes (list view, tree view, combo box)
// and the program's own drawn controls share it. Its messages reach WndProc
// first; notifications a parent receives for a control are reflected back to
// it (see ReflectToControl). A control also lays out its own children.

#include "ui/Component.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kalvera {

struct CreateParams {
    const wchar_t* className = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
};

enum class Align { None, Top, Bottom, Left, Right, Client };

// Sent to a plain parent window (a form) when its children need laying out
// again, for instance after one was shown or hidden.
inline constexpr UINT kRealignMessage = WM_APP + 20;

struct Anchors {
    bool left = true, top = true, right = false, bottom = false;
};

class Control : public Component {
public:
    ~Control() override;

    // The parent: a control (which lays this one out) or a plain window.
    void SetParent(Control* parent);
    Control* Parent() const { return parentControl_; }
    void SetParentWindow(HWND parent);
    HWND ParentWindow() const;
    // The window, made now if there is none yet (its parent's first).
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    // Destroys the window and makes it again (the hooks of both run).
    void RecreateWnd();

    void SetBounds(int x, int y, int width, int height);
    const RECT& Bounds() const { return bounds_; }
    int Left() const { return bounds_.left; }
    int Top() const { return bounds_.top; }
    int Width() const { return bounds_.right - bounds_.left; }
    int Height() const { return bounds_.bottom - bounds_.top; }
    void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }

    Align GetAlign() const { return align_; }
    void SetAlign(Align align);
    // Taken relative to the parent's size at the moment they are set.
    void SetAnchors(Anchors anchors);
    Anchors GetAnchors() const { return anchors_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    HFONT Font() const { return font_; }
    void SetFont(HFONT font);
    const std::wstring& Text() const { return text_; }
    virtual void SetText(const std::wstring& text);

    // Lays out the children: docked ones in creation order, anchored ones
    // keeping their margins.
    void Realign();
    const std::vector<Control*>& Children() const { return children_; }

    static Control* FromHandle(HWND window);

    // Reflected notifications; true when handled, with the result to return.
    virtual bool OnNotify(NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    virtual bool OnCommand(WORD /*code*/, LRESULT& /*result*/) { return false; }
    virtual bool OnDrawItem(DRAWITEMSTRUCT& /*item*/) { return false; }
    // A brush for the control's background, or null for the default.
    virtual HBRUSH OnCtlColor(HDC /*dc*/) { return nullptr; }

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
    // The window procedure; Default() runs the class's own.
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    // The class registered for the program's own drawn controls.
    static const wchar_t* CustomClass();

private:
    static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM);
    void ParentChanged();
    void RealignParent();

    HWND handle_ = nullptr;
    WNDPROC original_ = nullptr;
    HWND parentWindow_ = nullptr;
    Control* parentControl_ = nullptr;
    std::vector<Control*> children_;
    RECT bounds_{0, 0, 100, 100};
    Align align_ = Align::None;
    Anchors anchors_;
    RECT anchorBounds_{};
    SIZE anchorParent_{};
    bool visible_ = true;
    bool enabled_ = true;
    HFONT font_ = nullptr;
    std::wstring text_;

    friend void AlignChildren(const std::vector<Control*>&, RECT);
};

// Lays out controls in a client rectangle (used by controls and forms).
void AlignChildren(const std::vector<Control*>& children, RECT client);

// Sends a parent's notification on to the control it came from.
bool ReflectToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

} // namespace kalvera
