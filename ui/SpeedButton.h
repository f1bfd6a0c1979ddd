#pragma once
// A tool button that never takes the keyboard focus: a click activates its
// window (which gives the focus back to the control that had it) and runs
// the command. Buttons of one group
// number act together: in a group exactly one is down unless the group
// allows all up, when a click on the button that is down releases it. A
// flat button draws its border only while the mouse is over it or while it
// is down.

#include "ui/Control.h"
#include "ui/Widgets.h"

#include <commctrl.h>

#include <functional>

namespace kalvera {

class SpeedButton : public Control {
public:
    // A strip of images: normal, disabled, pressed, down (as many as given).
    void SetPicture(HBITMAP strip, int imageWidth, int imageHeight, COLORREF transparent);
    void SetFlat(bool value) { flat_ = value; }
    void SetGroupIndex(int group) { groupIndex_ = group; }
    int GroupIndex() const { return groupIndex_; }
    void SetAllowAllUp(bool value) { allowAllUp_ = value; }
    bool Down() const { return down_; }
    // Setting a button down releases the others of its group.
    void SetDown(bool value);
    std::function<void()> OnClick;
    // What a click does: the group rules, then OnClick.
    void Click();

protected:
    CreateParams GetCreateParams() const override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc, const RECT& client);
    void Redraw();

    PictureStrip picture_;
    bool flat_ = true;
    int groupIndex_ = 0;
    bool allowAllUp_ = false;
    bool down_ = false;
    bool hot_ = false;
    bool pressing_ = false;
    bool pointerInside_ = false;
};

} // namespace kalvera
