#include "ui/Widgets.h"

#include <windowsx.h>

namespace kalvera {

void DrawCaption(HDC dc, HFONT font, const std::wstring& text, RECT rect, UINT format,
                 COLORREF color) {
    HGDIOBJ previous = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              format | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previous);
}

namespace {

// Paints through the control's own routine, with a background brush.
template <typename F> LRESULT PaintWith(HWND window, F&& paint) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    paint(dc, client);
    EndPaint(window, &ps);
    return 0;
}

} // namespace

// Picture strip.

PictureStrip::~PictureStrip() {
    if (list_)
        ImageList_Destroy(list_);
}

void PictureStrip::Load(HBITMAP strip, int width, int height, COLORREF transparent) {
    if (list_)
        ImageList_Destroy(list_);
    width_ = width;
    height_ = height;
    list_ = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 4, 0);
    ImageList_AddMasked(list_, strip, transparent);
}

int PictureStrip::Count() const {
    return list_ ? ImageList_GetImageCount(list_) : 0;
}

void PictureStrip::Draw(HDC dc, int index, int x, int y) const {
    ImageList_Draw(list_, index, dc, x, y, ILD_TRANSPARENT);
}

// Panel.

CreateParams Panel::GetCreateParams() const {
    return {CustomClass(), WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT};
}

void Panel::Paint(HDC dc, const RECT& client) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT inner = client;
    if (sunken_) {
        DrawEdge(dc, &inner, BDR_SUNKENOUTER, BF_RECT);
        InflateRect(&inner, -1, -1);
    }
    if (!Text().empty())
        DrawCaption(dc, Font(), Text(), inner,
                    (captionAlign_ == CaptionAlign::Center ? DT_CENTER : DT_LEFT) | DT_VCENTER,
                    GetSysColor(COLOR_WINDOWTEXT));
}

LRESULT Panel::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        return PaintWith(Handle(), [this](HDC dc, const RECT& client) { Paint(dc, client); });
    case WM_ERASEBKGND:
        return TRUE;
    }
    return Default(message, wParam, lParam);
}

// Bevel.

CreateParams Bevel::GetCreateParams() const {
    return {CustomClass(), WS_CHILD | WS_CLIPSIBLINGS, WS_EX_TRANSPARENT};
}

LRESULT Bevel::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT)
        return PaintWith(Handle(), [this](HDC dc, const RECT& client) {
            RECT edge = client;
            switch (shape_) {
            case Shape::TopLine:
                DrawEdge(dc, &edge, EDGE_ETCHED, BF_TOP);
                break;
            case Shape::RightLine:
                DrawEdge(dc, &edge, EDGE_ETCHED, BF_RIGHT);
                break;
            case Shape::Frame:
                DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
                break;
            }
        });
    if (message == WM_ERASEBKGND)
        return TRUE;
    // Lets clicks through to what lies below.
    if (message == WM_NCHITTEST)
        return HTTRANSPARENT;
    return Default(message, wParam, lParam);
}

// Label.

void Label::SetText(const std::wstring& text) {
    Control::SetText(text);
    FitText();
}

void Label::FitText() {
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, Font() ? Font() : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc, Text().c_str(), static_cast<int>(Text().size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    // The height of a line of the font without its internal leading: the
    // character height the font was asked for.
    SetBounds(Left(), Top(), size.cx, metrics.tmHeight - metrics.tmInternalLeading);
}

CreateParams Label::GetCreateParams() const {
    return {CustomClass(), WS_CHILD | WS_CLIPSIBLINGS, 0};
}

LRESULT Label::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT)
        return PaintWith(Handle(), [this](HDC dc, const RECT& client) {
            FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
            const COLORREF color = textColor_ != CLR_INVALID ? textColor_
                                   : Enabled()               ? GetSysColor(COLOR_WINDOWTEXT)
                                                             : GetSysColor(COLOR_GRAYTEXT);
            DrawCaption(dc, Font(), Text(), client, DT_LEFT | DT_TOP, color);
        });
    if (message == WM_NCHITTEST)
        return HTTRANSPARENT;
    return Default(message, wParam, lParam);
}

// Status bar.

CreateParams StatusBar::GetCreateParams() const {
    // No automatic placement: the window's layout puts the bar.
    return {STATUSCLASSNAMEW, WS_CHILD | SBARS_SIZEGRIP | CCS_NOPARENTALIGN | CCS_NORESIZE, 0};
}

void StatusBar::CreateWnd() {
    Control::CreateWnd();
    SetPanelWidths(widths_);
}

void StatusBar::SetPanelWidths(std::vector<int> widths) {
    widths_ = std::move(widths);
    if (!HandleAllocated())
        return;
    std::vector<int> rights;
    int right = 0;
    for (int w : widths_)
        rights.push_back(right += w);
    rights.push_back(-1);
    SendMessageW(Handle(), SB_SETPARTS, rights.size(), reinterpret_cast<LPARAM>(rights.data()));
}

int StatusBar::PanelRight(int index) {
    int rights[16] = {};
    SendMessageW(Handle(), SB_GETPARTS, 16, reinterpret_cast<LPARAM>(rights));
    return rights[index];
}

void StatusBar::SetPanelText(int index, const std::wstring& text) {
    SendMessageW(Handle(), SB_SETTEXTW, index, reinterpret_cast<LPARAM>(text.c_str()));
    UpdateWindow(Handle());
}

std::wstring StatusBar::PanelText(int index) {
    const int length = LOWORD(SendMessageW(Handle(), SB_GETTEXTLENGTHW, index, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(Handle(), SB_GETTEXTW, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

// Drop-down list.

CreateParams ComboBox::GetCreateParams() const {
    return {WC_COMBOBOXW, WS_CHILD | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
}

int ComboBox::WindowHeightFor(int height) const {
    return height + 16 * 12;
}

void ComboBox::CreateWnd() {
    Control::CreateWnd();
    SetItems(items_);
    SetItemHeight(itemHeight_);
    SetItemIndex(pendingIndex_);
}

void ComboBox::SetItemHeight(int height) {
    itemHeight_ = height;
    if (HandleAllocated() && itemHeight_ > 0) {
        // The selection field and the list's items.
        SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight_);
        SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, itemHeight_);
    }
}

void ComboBox::SetItems(std::vector<std::wstring> items) {
    items_ = std::move(items);
    if (!HandleAllocated())
        return;
    SendMessageW(Handle(), CB_RESETCONTENT, 0, 0);
    for (const auto& item : items_)
        SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int ComboBox::ItemIndex() {
    return HandleAllocated() ? static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0))
                             : pendingIndex_;
}

void ComboBox::SetItemIndex(int index) {
    pendingIndex_ = index;
    if (HandleAllocated())
        SendMessageW(Handle(), CB_SETCURSEL, index, 0);
}

std::wstring ComboBox::SelectedText() {
    const int index = ItemIndex();
    return index >= 0 && index < static_cast<int>(items_.size()) ? items_[index] : std::wstring();
}

bool ComboBox::SelectText(const std::wstring& text) {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == text) {
            SetItemIndex(static_cast<int>(i));
            return true;
        }
    return false;
}

// Check box.

CreateParams CheckBox::GetCreateParams() const {
    return {WC_BUTTONW, WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
}

void CheckBox::SetChecked(bool checked) {
    if (HandleAllocated())
        Button_SetCheck(Handle(), checked ? BST_CHECKED : BST_UNCHECKED);
    if (checked == checked_)
        return;
    checked_ = checked;
    if (OnClick)
        OnClick();
}

bool CheckBox::OnCommand(WORD code, LRESULT& result) {
    if (code != BN_CLICKED)
        return false;
    result = 0;
    const bool now = Button_GetCheck(Handle()) == BST_CHECKED;
    if (now != checked_) {
        checked_ = now;
        if (OnClick)
            OnClick();
    }
    return true;
}

// Read-only text box.

CreateParams Edit::GetCreateParams() const {
    return {WC_EDITW, WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE};
}

std::wstring Edit::CurrentText() {
    if (!Handle())
        return Text();
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(Handle())) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(Handle(), text.data(), int(text.size()))));
    return text;
}

CreateParams ReadOnlyEdit::GetCreateParams() const {
    return {WC_EDITW, WS_CHILD | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL | ES_LEFT, 0};
}

HBRUSH ReadOnlyEdit::OnCtlColor(HDC dc) {
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

// Push button.

CreateParams PushButton::GetCreateParams() const {
    return {WC_BUTTONW, WS_CHILD | WS_TABSTOP | BS_OWNERDRAW, 0};
}

void PushButton::SetPicture(HBITMAP strip, int imageWidth, int imageHeight, COLORREF transparent) {
    picture_.Load(strip, imageWidth, imageHeight, transparent);
}

bool PushButton::OnCommand(WORD code, LRESULT& result) {
    if (code != BN_CLICKED)
        return false;
    result = 0;
    if (OnClick)
        OnClick();
    return true;
}

bool PushButton::OnDrawItem(DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool focused = item.itemState & ODS_FOCUS;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (default_ || focused) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const int shift = pressed ? 1 : 0;
    // Picture and caption centred together, the picture on the left.
    SIZE text{};
    HGDIOBJ previous = SelectObject(dc, Font() ? Font() : GetStockObject(DEFAULT_GUI_FONT));
    GetTextExtentPoint32W(dc, Text().c_str(), static_cast<int>(Text().size()), &text);
    SelectObject(dc, previous);
    const int gap = picture_ ? 4 : 0;
    const int total = (picture_ ? picture_.Width() : 0) + gap + text.cx;
    int x = (item.rcItem.left + item.rcItem.right - total) / 2 + shift;
    const int midY = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;
    if (picture_) {
        picture_.Draw(dc, IsWindowEnabled(item.hwndItem) ? 0 : 1, x, midY - picture_.Height() / 2);
        x += picture_.Width() + gap;
    }
    RECT textRect{x, item.rcItem.top + shift, x + text.cx + 2, item.rcItem.bottom + shift};
    DrawCaption(dc, Font(), Text(), textRect, DT_LEFT | DT_VCENTER,
                GetSysColor(IsWindowEnabled(item.hwndItem) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    if (focused) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
    return true;
}

} // namespace kalvera
