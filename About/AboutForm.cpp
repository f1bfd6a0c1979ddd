#include "About/AboutForm.h"
#include "ui/Application.h"
#include "resources/Version.h"
#include "resources/resource.h"

namespace kalvera {

TAboutForm1* AboutForm1 = nullptr;

namespace {
constexpr int kClientWidth = 427, kClientHeight = 229;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;
} // namespace

TAboutForm1::TAboutForm1() {
    AboutForm1 = this;
    font_.reset(CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック"));
    icon_.reset(static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KALVERA), IMAGE_ICON, 32, 32, 0)));
    RECT outer{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    // Hidden for most of the program's life, and above the main window in
    // the z-order: of another class than the main window's.
    CreateHandle(L"バージョン情報", kStyle, kExStyle, 0, 0, outer.right - outer.left,
                 outer.bottom - outer.top, Application::Instance().Window(), L"KalveraAbout");

    struct Line {
        Panel& panel;
        int top;
        const wchar_t* text;
    };
    for (const Line& line : {Line{Panel1, 15, L"『Kalvera』"},
                             Line{Panel2, 39, L"Version " KALVERA_SHORT_VERSION_TEXT},
                             Line{Panel3, 63, L"Copyright (C) 2026 Kalvera Project"},
                             Line{Panel4, 87, L"Programmed by the Kalvera Project"}}) {
        Place(line.panel, nullptr, 72, line.top, 332, 20);
        line.panel.SetSunkenBorder(true);
        line.panel.SetText(line.text);
    }
    Place(Bevel1, nullptr, 10, 115, 407, 5);
    Place(Label2, nullptr, 10, 124, 135, 12);
    Label2.SetText(L"Kalvera Project");
    Place(Label3, nullptr, 16, 147, 91, 12);
    Label3.SetText(L"最新版ソフトは･･･");
    Place(Panel7, nullptr, 136, 143, 268, 20);
    Panel7.SetSunkenBorder(true);
    Place(Edit1, &Panel7, 8, 2, 249, 16);
    // The project has no web site or mail address of its own: the boxes say
    // where its documentation and its issue list are.
    Edit1.SetText(L"ソースに同梱の README.md をご覧ください");
    Place(Label1, nullptr, 16, 171, 103, 12);
    Label1.SetText(L"ご意見・ご感想は･･･");
    Place(Panel8, nullptr, 136, 167, 268, 20);
    Panel8.SetSunkenBorder(true);
    Place(Edit2, &Panel8, 8, 2, 249, 16);
    Edit2.SetText(L"Kalvera Project の課題一覧へお寄せください");

    Place(BitBtn1, nullptr, 168, 197, 90, 25);
    BitBtn1.SetText(L"OK");
    BitBtn1.SetDefault(true);
    okPicture_.reset(
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_OK),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BitBtn1.SetPicture(okPicture_.get(), 18, 18, RGB(0, 128, 128));
    BitBtn1.OnClick = [this] { modalResult_ = 1; };

    for (Control* c :
         std::initializer_list<Control*>{&Panel1, &Panel2, &Panel3, &Panel4, &Bevel1, &Label2,
                                         &Label3, &Panel7, &Label1, &Panel8, &BitBtn1})
        c->Handle();
    // The OK button comes first in the tab order.
    SetWindowPos(BitBtn1.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TAboutForm1::~TAboutForm1() {
    if (AboutForm1 == this)
        AboutForm1 = nullptr;
}

void TAboutForm1::Place(Control& control, Control* parent, int left, int top, int width,
                        int height) {
    if (parent)
        control.SetParent(parent);
    else
        control.SetParentWindow(Handle());
    control.SetFont(font_.get());
    control.SetBounds(left, top, width, height);
}

int TAboutForm1::ShowModal() {
    if (!shownBefore_) {
        CentreOnScreen(Handle());
        shownBefore_ = true;
    }
    HWND previous = GetActiveWindow();
    bool quit = false;
    MSG msg;
    {
        DisabledThreadWindows disabled(Handle());
        modalResult_ = 0;
        focusMemory_.Remember(BitBtn1.Handle());
        ShowWindow(Handle(), SW_SHOW);
        SetActiveWindow(Handle());
        // Once per showing: coming back to the program while the dialog is
        // open does not move the pointer again.
        FormActivate();
        while (modalResult_ == 0) {
            if (!GetMessageW(&msg, nullptr, 0, 0)) {
                quit = true;
                break;
            }
            if (!IsDialogMessageW(Handle(), &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    // The previous window is activated before the dialog is hidden. Hiding
    // the window in the foreground still hands the activation to its owner,
    // the application window, which passes it on to the main window.
    if (previous && IsWindow(previous))
        SetActiveWindow(previous);
    ShowWindow(Handle(), SW_HIDE);
    if (quit)
        PostQuitMessage(static_cast<int>(msg.wParam));
    return modalResult_;
}

void TAboutForm1::FormActivate() {
    POINT centre{BitBtn1.Width() / 2, BitBtn1.Height() / 2};
    ClientToScreen(BitBtn1.Handle(), &centre);
    SetCursorPos(centre.x, centre.y);
}

LRESULT TAboutForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        if (focusMemory_.OnActivate(Handle(), wParam, BitBtn1.Handle()))
            return 0;
        break;
    // The dialog keeps its pixel geometry on a monitor of any dpi.
    case WM_DPICHANGED:
        return 0;
    case WM_COMMAND:
        // Enter anywhere in the dialog presses the default button; Esc,
        // with no cancel button, does nothing.
        if (lParam == 0 && LOWORD(wParam) == IDOK) {
            modalResult_ = 1;
            return 0;
        }
        if (lParam == 0 && LOWORD(wParam) == IDCANCEL)
            return 0;
        break;
    case WM_CLOSE:
        modalResult_ = 2;
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        if (icon_)
            DrawIconEx(dc, 20, 20, icon_.get(), 32, 32, 0, nullptr, DI_NORMAL);
        EndPaint(Handle(), &ps);
        return 0;
    }
    }
    return Window::HandleMessage(message, wParam, lParam);
}

} // namespace kalvera
