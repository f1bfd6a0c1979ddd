#pragma once
// The About dialog: the program's name, version and where to find more.
// Made hidden at start-up and shown modally, again and again; it keeps the
// position it was left at. Its pixel geometry does not scale.

#include "ui/Widgets.h"
#include "ui/Window.h"
#include "win/Gdi.h"

namespace kalvera {

class TAboutForm1 : public Window {
public:
    TAboutForm1();
    ~TAboutForm1() override;

    Panel Panel1, Panel2, Panel3, Panel4, Panel7, Panel8;
    Bevel Bevel1{Bevel::Shape::TopLine};
    Label Label1, Label2, Label3;
    ReadOnlyEdit Edit1, Edit2;
    PushButton BitBtn1;

    // Shows the dialog with the program's other windows disabled until it
    // closes: 1 for OK (the button or Enter), 2 for the close button.
    int ShowModal();
    // Puts the mouse pointer on the OK button; done as the dialog is shown.
    void FormActivate();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Place(Control& control, Control* parent, int left, int top, int width, int height);

    UniqueFont font_;
    UniqueIcon icon_;
    UniqueBitmap okPicture_;
    int modalResult_ = 0;
    FocusMemory focusMemory_;
    bool shownBefore_ = false;
};

extern TAboutForm1* AboutForm1;

} // namespace kalvera
