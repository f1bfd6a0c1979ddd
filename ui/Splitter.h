#pragma once
// A drag bar that resizes the control docked just before it on the same
// side. While it is dragged a hatched line follows the mouse; the new size
// is applied when the button is released. Esc, or losing the mouse capture
// (another window taking it, Alt+Tab), cancels. The bar never takes the
// keyboard focus.

#include "ui/Control.h"

#include <functional>

namespace kalvera {

class Splitter : public Control {
public:
    ~Splitter() override;
    // The width the resized control gets for a drag that would give it
    // proposed: the owner's rules (limits, collapsing).
    std::function<int(int proposed)> ClampWidth;
    // The control that the bar resizes.
    void SetTarget(Control* target) { target_ = target; }
    // Applies a drag that ends with the bar's left edge at x (in the
    // parent's client coordinates), as releasing the mouse there would.
    void DragTo(int x);
    bool Dragging() const { return dragging_; }

protected:
    CreateParams GetCreateParams() const override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK WatchForEscape(int code, WPARAM wParam, LPARAM lParam);
    void DrawDragLine(int x);
    int ParentX(LPARAM lParam);
    void EndDrag(bool apply);

    Control* target_ = nullptr;
    bool dragging_ = false;
    int grabOffset_ = 0;
    int lineX_ = 0;
    HHOOK escapeWatch_ = nullptr;
};

} // namespace kalvera
