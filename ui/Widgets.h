#pragma once
// The plain widgets of the program's windows: panels, bevels, labels, a
// status bar, drop-down lists, check boxes, read-only text boxes and a push
// button with a picture. Panels, bevels and labels are drawn here; the rest
// are system controls.

#include "ui/Control.h"

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace kalvera {

// A strip of equally sized pictures drawn with one colour transparent; owns
// the image list it makes.
class PictureStrip {
public:
    PictureStrip() = default;
    ~PictureStrip();
    PictureStrip(const PictureStrip&) = delete;
    PictureStrip& operator=(const PictureStrip&) = delete;
    void Load(HBITMAP strip, int width, int height, COLORREF transparent);
    explicit operator bool() const { return list_ != nullptr; }
    int Count() const;
    int Width() const { return width_; }
    int Height() const { return height_; }
    void Draw(HDC dc, int index, int x, int y) const;

private:
    HIMAGELIST list_ = nullptr;
    int width_ = 0, height_ = 0;
};

// Draws itself: background, an optional sunken one-pixel border, a caption.
class Panel : public Control {
public:
    enum class CaptionAlign { Left, Center };
    void SetSunkenBorder(bool value) { sunken_ = value; }
    void SetCaptionAlign(CaptionAlign align) { captionAlign_ = align; }

protected:
    CreateParams GetCreateParams() const override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void Paint(HDC dc, const RECT& client);

private:
    bool sunken_ = false;
    CaptionAlign captionAlign_ = CaptionAlign::Center;
};

// An etched line or frame.
class Bevel : public Control {
public:
    enum class Shape { TopLine, RightLine, Frame };
    explicit Bevel(Shape shape) : shape_(shape) {}

protected:
    CreateParams GetCreateParams() const override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    Shape shape_;
};

// Text on the parent's background, in its own colour if given. It sizes
// itself to its text.
class Label : public Control {
public:
    void SetTextColor(COLORREF color) { textColor_ = color; }
    void SetText(const std::wstring& text) override;
    void FitText();

protected:
    CreateParams GetCreateParams() const override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    COLORREF textColor_ = CLR_INVALID;
};

class StatusBar : public Control {
public:
    // Widths of all panels but the last, which reaches the right end.
    void SetPanelWidths(std::vector<int> widths);
    int PanelRight(int index);
    void SetPanelText(int index, const std::wstring& text);
    std::wstring PanelText(int index);

protected:
    CreateParams GetCreateParams() const override;
    void CreateWnd() override;

private:
    std::vector<int> widths_;
};

// A drop-down list to pick from (no typing).
class ComboBox : public Control {
public:
    void SetItems(std::vector<std::wstring> items);
    const std::vector<std::wstring>& Items() const { return items_; }
    int ItemIndex();
    void SetItemIndex(int index);
    std::wstring SelectedText();
    // Selects the item with exactly this text; false when there is none.
    bool SelectText(const std::wstring& text);
    void SetItemHeight(int height);

protected:
    CreateParams GetCreateParams() const override;
    int WindowHeightFor(int height) const override;
    void CreateWnd() override;

private:
    std::vector<std::wstring> items_;
    int itemHeight_ = 0;
    int pendingIndex_ = -1;
};

class CheckBox : public Control {
public:
    bool Checked() const { return checked_; }
    // Runs OnClick when the state changes, whoever changes it.
    void SetChecked(bool checked);
    std::function<void()> OnClick;
    bool OnCommand(WORD code, LRESULT& result) override;

protected:
    CreateParams GetCreateParams() const override;

private:
    bool checked_ = false;
};

// A one-line text box the user types in.
class Edit : public Control {
public:
    // The text as it stands now, typed or set.
    std::wstring CurrentText();

protected:
    CreateParams GetCreateParams() const override;
};

// A read-only text box without border on the button face: reads like a
// label, but its text can be selected and copied.
class ReadOnlyEdit : public Control {
public:
    HBRUSH OnCtlColor(HDC dc) override;

protected:
    CreateParams GetCreateParams() const override;
};

// A push button with a picture left of its caption; the default button of
// its window draws a darker frame.
class PushButton : public Control {
public:
    // A strip of images of the given size; the first is drawn.
    void SetPicture(HBITMAP strip, int imageWidth, int imageHeight, COLORREF transparent);
    void SetDefault(bool value) { default_ = value; }
    std::function<void()> OnClick;
    bool OnCommand(WORD code, LRESULT& result) override;
    bool OnDrawItem(DRAWITEMSTRUCT& item) override;

protected:
    CreateParams GetCreateParams() const override;

private:
    PictureStrip picture_;
    bool default_ = false;
};

// Draws the text centred (or left-aligned) in a rectangle, in one line.
void DrawCaption(HDC dc, HFONT font, const std::wstring& text, RECT rect, UINT format,
                 COLORREF color);

} // namespace kalvera
