#include "change/ChangeForm.h"
#include "About/AboutForm.h"
#include "ui/Application.h"
#include "resources/resource.h"
#include "ui/MessageLoop.h"
#include "core/RunJournalFile.h"

namespace kalvera {

TChangeForm1* ChangeForm1 = nullptr;

namespace {

constexpr int kClientWidth = 734, kClientHeight = 548;
constexpr DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

UniqueFont MakeFont(int pixelHeight, bool bold, const wchar_t* face) {
    return UniqueFont(CreateFontW(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                                  FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

std::vector<std::wstring> Numbers(int from, int to, bool twoDigits) {
    std::vector<std::wstring> items;
    for (int n = from; n <= to; ++n)
        items.push_back((twoDigits && n < 10 ? L"0" : L"") + std::to_wstring(n));
    return items;
}

} // namespace

TChangeForm1::TChangeForm1(int dpi) : dpi_(dpi > 0 ? dpi : ScreenDpi()) {
    ChangeForm1 = this;
    journals_ = JournalFolder();
    textHeight_ = MulDiv(12, dpi_, 96);
    MakeFonts();
    ShowFileProperties = [](const std::wstring& path) {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_INVOKEIDLIST;
        info.hwnd = Application::Instance().Window();
        info.lpVerb = L"properties";
        info.lpFile = path.c_str();
        ShellExecuteExW(&info);
    };
    BuildMenu();
    RECT outer{0, 0, Scale(kClientWidth), Scale(kClientHeight)};
    AdjustWindowRectEx(&outer, kStyle, TRUE, 0);
    CreateHandle(L"Kalvera/カルヴェラ", kStyle, 0, 0, 0, outer.right - outer.left,
                 outer.bottom - outer.top, Application::Instance().Window());
    SetMenu(Handle(), menu_);
    BuildLayout();
    FormCreate();
    AcceptDroppedFiles();
    laidOut_ = true;
    Realign();
    // The control that has the focus when the window is first activated.
    focusMemory_.Remember(ShellComboBox1.Handle());
}

void TChangeForm1::MakeFonts() {
    font_ = MakeFont(textHeight_, false, L"MS UI Gothic");
    boldFont_ = MakeFont(textHeight_, true, L"MS UI Gothic");
    crossFont_ = MakeFont(textHeight_, true, L"ＭＳ Ｐゴシック");
}

TChangeForm1::~TChangeForm1() {
    StopAcceptingDroppedFiles();
    if (ChangeForm1 == this)
        ChangeForm1 = nullptr;
}

HICON TChangeForm1::ClassIcon() const {
    return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KALVERA));
}

void TChangeForm1::Place(Control& control, Control* parent, int left, int top, int width,
                         int height) {
    if (parent)
        control.SetParent(parent);
    else
        control.SetParentWindow(Handle());
    if (!control.Font())
        control.SetFont(font_.get());
    control.SetBounds(Scale(left), Scale(top), Scale(width), Scale(height));
    placements_.push_back({&control, left, top, width, height});
}

void TChangeForm1::Rescale(int dpi, const RECT* suggested) {
    if (dpi > 0 && dpi != dpi_) {
        const int oldTextHeight = textHeight_;
        const int paneWidth = Panel5.Width();
        const bool paneAsDesigned = paneWidth == Scale(185);
        // The old fonts live until no control holds them any more.
        const UniqueFont oldFonts[] = {std::move(font_), std::move(boldFont_),
                                       std::move(crossFont_)};
        dpi_ = dpi;
        textHeight_ = MulDiv(12, dpi_, 96);
        MakeFonts();
        const HFONT newFonts[] = {font_.get(), boldFont_.get(), crossFont_.get()};
        laidOut_ = false;
        // Parents come before their children, as when the window was built,
        // so each anchor is taken against its parent's size at the new dpi.
        for (const Placement& p : placements_) {
            for (int i = 0; i < 3; ++i)
                if (p.control->Font() == oldFonts[i].get())
                    p.control->SetFont(newFonts[i]);
            p.control->SetBounds(Scale(p.left), Scale(p.top), Scale(p.width), Scale(p.height));
            const Anchors anchors = p.control->GetAnchors();
            if (anchors.right || anchors.bottom)
                p.control->SetAnchors(anchors);
            if (auto* label = dynamic_cast<Label*>(p.control))
                label->FitText();
            if (auto* list = dynamic_cast<ComboBox*>(p.control))
                list->SetItemHeight(Scale(12));
        }
        FitOptionsToText();
        // A folder pane the user resized keeps its share of the window.
        if (!paneAsDesigned)
            Panel5.SetWidth(MulDiv(paneWidth, textHeight_, oldTextHeight));
        SendMessageW(ShellTreeView1.Handle(), TVM_SETINDENT, Scale(19), 0);
        laidOut_ = true;
    }
    if (suggested)
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    Realign();
    FormResize();
}

namespace {
int TextWidth(HFONT font, const std::wstring& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return size.cx;
}
} // namespace

void TChangeForm1::FitOptionsToText() {
    // The hint stands after the pane's caption, and the mode list shows its
    // longest item whole: in a wider font (another system's, or a
    // substitute's) the pane widens to hold them, at any dpi. A hint too
    // wide to stand beside the caption covers it while it shows, which
    // keeps the pane as designed.
    Label8.FitText();
    Label9.FitText();
    int hintLeft = std::max(Scale(53), Label8.Left() + Label8.Width() + Scale(4));
    if (hintLeft + Label9.Width() + Scale(4) > Scale(200))
        hintLeft = Label8.Left();
    Label9.SetBounds(hintLeft, Label9.Top(), Label9.Width(), Label9.Height());
    SetWindowPos(Label9.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    int widest = 0;
    for (const std::wstring& item : ComboBox1.Items())
        widest = std::max(widest, TextWidth(font_.get(), item));
    // The list's button, its frame and the text's margins.
    const int modeList =
        std::max(Scale(192), widest + GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_) + Scale(12));
    const int pane = std::max({Scale(200), ComboBox1.Left() + modeList + Scale(4),
                               Label9.Left() + Label9.Width() + Scale(4)});
    ComboBox1.SetWidth(pane - Scale(8));
    // The names box's caption stands before it, whatever its text's width,
    // and follows it from there.
    Label10.FitText();
    Label10.SetBounds(Edit1.Left() - Scale(4) - Label10.Width(), Label10.Top(), Label10.Width(),
                      Label10.Height());
    Label10.SetAnchors(Label10.GetAnchors());
    Panel2.SetWidth(pane);
    if (laidOut_)
        Realign();
}

HWND TChangeForm1::FirstTabControl() {
    return GetNextDlgTabItem(Handle(), nullptr, FALSE);
}

void TChangeForm1::LoadPicture(SpeedButton& button, int id, int size) {
    UniqueBitmap& strip = pictures_.emplace_back(static_cast<HBITMAP>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    button.SetPicture(strip.get(), size, size, RGB(0, 128, 128));
}

void TChangeForm1::BuildLayout() {
    // Creation order matters: controls docked to one side stack in it.
    Place(Panel1, nullptr, 0, 0, 734, 32);
    Panel1.SetAlign(Align::Top);
    Place(Bevel3, &Panel1, 0, 0, 734, 4);
    Bevel3.SetAlign(Align::Top);
    Place(Panel3, &Panel1, 0, 4, 48, 28);
    Panel3.SetText(L"アドレス");
    Panel3.SetAlign(Align::Left);
    Place(ShellComboBox1, &Panel1, 50, 5, 681, 22);
    ShellComboBox1.SetAnchors({true, true, true, true});

    Place(Panel4, nullptr, 0, 32, 734, 32);
    Panel4.SetAlign(Align::Top);
    Place(Bevel1, &Panel4, 0, 0, 734, 4);
    Bevel1.SetAlign(Align::Top);
    Place(SpeedButton3, &Panel4, 4, 4, 64, 25);
    SpeedButton3.SetText(L"フォルダ");
    LoadPicture(SpeedButton3, IDB_FOLDERS, 16);
    SpeedButton3.SetGroupIndex(2);
    SpeedButton3.SetAllowAllUp(true);
    SpeedButton3.SetDown(true);
    SpeedButton3.OnClick = [this] { SpeedButton3Click(); };
    Place(Bevel4, &Panel4, 68, 4, 5, 25);
    struct ViewButton {
        SpeedButton& button;
        int left, picture;
        void (TChangeForm1::*click)();
    };
    for (const ViewButton& v :
         {ViewButton{SpeedButton4, 76, IDB_LARGE_ICONS, &TChangeForm1::SpeedButton4Click},
          ViewButton{SpeedButton5, 101, IDB_SMALL_ICONS, &TChangeForm1::SpeedButton5Click},
          ViewButton{SpeedButton6, 126, IDB_LIST, &TChangeForm1::SpeedButton6Click},
          ViewButton{SpeedButton7, 151, IDB_DETAILS, &TChangeForm1::SpeedButton7Click}}) {
        Place(v.button, &Panel4, v.left, 4, 25, 25);
        LoadPicture(v.button, v.picture, 16);
        v.button.SetGroupIndex(1);
        v.button.OnClick = [this, click = v.click] { (this->*click)(); };
    }
    Place(Bevel6, &Panel4, 176, 4, 5, 25);
    // The names box at the row's right end, where Explorer keeps its search
    // box; it follows the window's width.
    Place(Label10, &Panel4, 536, 10, 30, 12);
    Label10.SetText(L"対象:");
    Label10.SetAnchors({false, true, true, false});
    Place(Edit1, &Panel4, 570, 6, 160, 20);
    Edit1.SetAnchors({false, true, true, false});

    Place(StatusBar1, nullptr, 0, 529, 734, 19);
    StatusBar1.SetAlign(Align::Bottom);
    StatusBar1.SetPanelWidths({Scale(600)});
    StatusBar1.SetFont(nullptr);

    Place(Panel5, nullptr, 0, 64, 185, 465);
    Panel5.SetAlign(Align::Left);
    Place(Panel6, &Panel5, 0, 0, 185, 20);
    Panel6.SetAlign(Align::Top);
    Panel6.SetSunkenBorder(true);
    Panel6.SetCaptionAlign(Panel::CaptionAlign::Left);
    Panel6.SetText(L" フォルダ");
    SpeedButton2.SetFont(crossFont_.get());
    Place(SpeedButton2, &Panel6, 166, 1, 18, 18);
    SpeedButton2.SetText(L"×");
    SpeedButton2.SetAnchors({false, false, true, true});
    SpeedButton2.OnClick = [this] { SpeedButton3Click(); };
    Place(ShellTreeView1, &Panel5, 0, 20, 185, 445);
    ShellTreeView1.SetAlign(Align::Client);

    Place(Splitter1, nullptr, 185, 64, 3, 465);
    Splitter1.SetAlign(Align::Left);
    Splitter1.SetTarget(&Panel5);
    Splitter1.ClampWidth = [this](int proposed) { return ClampPaneWidth(proposed); };

    Place(Panel2, nullptr, 534, 64, 200, 465);
    Panel2.SetAlign(Align::Right);
    BuildOptions();

    Place(ShellListView1, nullptr, 188, 64, 346, 465);
    ShellListView1.SetAlign(Align::Client);
    ShellListView1.OnEnter = [this] { ShellListView1Enter(); };
    ShellListView1.OnFolderChange = [this] { ShellListView1FolderChange(); };
    // A large folder's count while its rows come in.
    ShellListView1.OnFillProgress = [this](size_t found, bool done) {
        const std::wstring reading(kLoadingRowsText);
        if (!done)
            StatusBar1.SetPanelText(0, reading + std::to_wstring(found));
        else if (StatusBar1.PanelText(0).starts_with(reading))
            StatusBar1.SetPanelText(0, L"");
    };

    // The shell controls are configured as a loaded form describes them,
    // then told that loading has finished, in creation order.
    for (Control* shell :
         std::initializer_list<Control*>{&ShellComboBox1, &ShellTreeView1, &ShellListView1})
        shell->BeginLoading();
    ShellComboBox1.SetShellTreeView(&ShellTreeView1);
    ShellComboBox1.SetShellListView(&ShellListView1);
    ShellTreeView1.SetShellComboBox(&ShellComboBox1);
    ShellTreeView1.SetShellListView(&ShellListView1);
    ShellListView1.SetShellTreeView(&ShellTreeView1);
    ShellListView1.SetShellComboBox(&ShellComboBox1);
    ShellListView1.SetViewStyle(vsSmallIcon);
    ShowViewOnButtons();

    for (Control* top : std::initializer_list<Control*>{&Panel1, &Panel4, &StatusBar1, &Panel5,
                                                        &Splitter1, &Panel2, &ShellListView1})
        top->Handle();
    SendMessageW(ShellTreeView1.Handle(), TVM_SETINDENT, Scale(19), 0);
    ShellComboBox1.Loaded();
    ShellTreeView1.Loaded();
    ShellListView1.Loaded();

    // Tab order: ListView 0, options 2, the toolbar's names box right after
    // the mode list, address 3, folders 5.
    HWND previous = HWND_TOP;
    for (Control* c :
         std::initializer_list<Control*>{&ShellListView1, &Panel2, &Panel4, &Panel1, &Panel5}) {
        SetWindowPos(c->Handle(), previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = c->Handle();
    }
}

void TChangeForm1::BuildOptions() {
    Place(Bevel2, &Panel2, 0, 0, 200, 4);
    Bevel2.SetAlign(Align::Top);
    Place(Label8, &Panel2, 4, 6, 43, 12);
    Label8.SetText(L"オプション");
    Label9.SetFont(boldFont_.get());
    Place(Label9, &Panel2, 53, 6, 141, 12);
    Label9.SetText(L"ファイルを選択してください。");
    Label9.SetTextColor(RGB(255, 0, 0));
    Label9.SetVisible(false);

    Place(ComboBox1, &Panel2, 4, 29, 192, 20);
    ComboBox1.SetItems(
        {L"選択ファイルのみ変更", L"選択フォルダ内のすべて変更", L"サブフォルダも含めて変更"});
    struct Check {
        CheckBox& box;
        int top;
        const wchar_t* text;
    };
    for (const Check& c :
         {Check{CheckBox1, 61, L"ファイル作成日時"}, Check{CheckBox2, 81, L"ファイル更新日時"},
          Check{CheckBox3, 101, L"ファイルアクセス日"}}) {
        Place(c.box, &Panel2, 20, c.top, 116, 17);
        c.box.SetText(c.text);
        c.box.OnClick = [this] { CheckBoxClick(); };
    }
    Place(Label1, &Panel2, 4, 128, 24, 12);
    Label1.SetText(L"西暦");
    struct Selector {
        ComboBox& list;
        int left, top, width;
        std::vector<std::wstring> items;
        Label& unit;
        int unitLeft;
        const wchar_t* unitText;
    };
    for (const Selector& s :
         {Selector{ComboBox2, 4, 145, 50, Numbers(1980, 2107, false), Label2, 57, L"年"},
          Selector{ComboBox3, 74, 145, 40, Numbers(1, 12, false), Label3, 117, L"月"},
          Selector{ComboBox4, 134, 145, 40, Numbers(1, 31, false), Label4, 177, L"日"},
          Selector{ComboBox5, 14, 175, 40, Numbers(0, 24, false), Label5, 57, L"時"},
          Selector{ComboBox6, 74, 175, 40, Numbers(0, 59, true), Label6, 117, L"分"},
          Selector{ComboBox7, 134, 175, 40, Numbers(0, 59, true), Label7, 177, L"秒"}}) {
        Place(s.list, &Panel2, s.left, s.top, s.width, 20);
        s.list.SetItems(s.items);
        s.list.SetItemHeight(Scale(12));
        Place(s.unit, &Panel2, s.unitLeft, s.top + 8, 12, 12);
        s.unit.SetText(s.unitText);
    }
    ComboBox1.SetItemHeight(Scale(12));

    Place(SpeedButton1, &Panel2, 60, 205, 80, 25);
    SpeedButton1.SetText(L"実行");
    SpeedButton1.SetFlat(false);
    LoadPicture(SpeedButton1, IDB_RUN, 12);
    SpeedButton1.OnClick = [this] { SpeedButton1Click(); };

    Place(Bevel5, &Panel2, 7, 240, 186, 218);
    Bevel5.SetAnchors({true, true, true, true});
    FitOptionsToText();

    // Tab order within the pane: the six selectors, the check boxes (last
    // first), then the mode list.
    HWND previous = HWND_TOP;
    for (Control* c : std::initializer_list<Control*>{
             &ComboBox2, &ComboBox3, &ComboBox4, &ComboBox5, &ComboBox6, &ComboBox7, &CheckBox3,
             &CheckBox2, &CheckBox1, &ComboBox1}) {
        SetWindowPos(c->Handle(), previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = c->Handle();
    }
}

void TChangeForm1::BuildMenu() {
    menu_ = CreateMenu();
    fileMenu_ = CreatePopupMenu();
    AppendMenuW(fileMenu_, MF_STRING, Property1, L"プロパティ/&Property...");
    AppendMenuW(fileMenu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(fileMenu_, MF_STRING, Undo1, L"元に戻す/&Undo\tCtrl+Z");
    AppendMenuW(fileMenu_, MF_STRING, History1, L"履歴/&History...");
    AppendMenuW(fileMenu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(fileMenu_, MF_STRING, Exit1, L"終了/E&xit");
    showMenu_ = CreatePopupMenu();
    AppendMenuW(showMenu_, MF_STRING, KFoldBar1, L"フォルダ バー/&Folder");
    AppendMenuW(showMenu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(showMenu_, MF_STRING, KLargeIcon1, L"大きいアイコン/Lar&geIcon");
    AppendMenuW(showMenu_, MF_STRING, KSmallIcon1, L"小さいアイコン/&SmallIcon");
    AppendMenuW(showMenu_, MF_STRING, KList1, L"一覧/&List");
    AppendMenuW(showMenu_, MF_STRING, KReport1, L"詳細/&Detail");
    AppendMenuW(showMenu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(showMenu_, MF_STRING, Renew1, L"最新の情報へ更新/&Renew");
    optionMenu_ = CreatePopupMenu();
    AppendMenuW(optionMenu_, MF_STRING, KFile1, L"選択ファイルのみ変更");
    AppendMenuW(optionMenu_, MF_STRING, KFold1, L"選択フォルダ内のすべてのファイルを変更");
    AppendMenuW(optionMenu_, MF_STRING, KTree1, L"サブフォルダも含めてすべて変更");
    AppendMenuW(optionMenu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(optionMenu_, MF_STRING, Folders1, L"フォルダも対象にする/&Folders");
    AppendMenuW(optionMenu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(optionMenu_, MF_STRING, Create1, L"ファイル作成日時/&Create");
    AppendMenuW(optionMenu_, MF_STRING, Update1, L"ファイル更新日時/&Update");
    AppendMenuW(optionMenu_, MF_STRING, Access1, L"ファイルアクセス日/&Access");
    AppendMenuW(optionMenu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(optionMenu_, MF_STRING, Run1, L"実行/&Run...");
    AppendMenuW(optionMenu_, MF_STRING, Shift1, L"時刻をずらす/&Shift...");
    AppendMenuW(optionMenu_, MF_STRING, Photo1, L"撮影日時に合わせる/&Photo");
    AppendMenuW(optionMenu_, MF_STRING, Name1, L"ファイル名の日時に合わせる/Na&me");
    AppendMenuW(optionMenu_, MF_STRING, Sidecar1, L"JSON/XMPの日時に合わせる/S&idecar");
    AppendMenuW(optionMenu_, MF_STRING, Contents1, L"フォルダの日時を中身に合わせる/Con&tents");
    AppendMenuW(optionMenu_, MF_STRING, Other1, L"別のフォルダに合わせる/Fr&om another folder...");
    AppendMenuW(optionMenu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(optionMenu_, MF_STRING | MF_CHECKED, Preview1, L"実行前に確認する/Pre&view");
    AppendMenuW(optionMenu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(optionMenu_, MF_STRING, Now1, L"現在の日時/&Now");
    AppendMenuW(optionMenu_, MF_STRING, Load1, L"選択ファイルの日時を読み込む/&Load");
    HMENU helpMenu = CreatePopupMenu();
    AppendMenuW(helpMenu, MF_STRING, About1, L"バージョン情報/&About...");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(fileMenu_), L"ファイル/&File");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(showMenu_), L"表示/&Show");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(optionMenu_), L"オプション/&Option");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(helpMenu), L"ヘルプ/&Help");
}

bool TChangeForm1::MenuItemChecked(UINT item) const {
    return GetMenuState(menu_, item, MF_BYCOMMAND) & MF_CHECKED;
}

bool TChangeForm1::MenuItemEnabled(UINT item) const {
    return !(GetMenuState(menu_, item, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

void TChangeForm1::Realign() {
    RECT client;
    GetClientRect(Handle(), &client);
    AlignChildren({&Panel1, &Panel4, &StatusBar1, &Panel5, &Splitter1, &Panel2, &ShellListView1},
                  client);
}

int TChangeForm1::ClampPaneWidth(int proposed) {
    // At 64 pixels or less the pane collapses; the file list keeps at
    // least 64 pixels beside the pane, the bar and the options pane.
    if (proposed <= Scale(64))
        return 0;
    RECT client;
    GetClientRect(Handle(), &client);
    return std::min(proposed, static_cast<int>(client.right) - Panel2.Width() - Scale(67));
}

LRESULT TChangeForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandlePathMessage(message))
        return 0;
    switch (message) {
    // Until every control is placed the window keeps its design size for
    // them: anchors are taken against the parents' design sizes, whatever
    // size the screen lets the window have.
    case WM_SIZE:
        if (laidOut_) {
            Realign();
            FormResize();
        }
        return 0;
    case kRealignMessage:
        if (laidOut_)
            Realign();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        // A pane widened for its texts widens the smallest window with it.
        info->ptMinTrackSize = {Scale(540) + Panel2.Width() - Scale(200), Scale(364)};
        return 0;
    }
    case WM_INITMENUPOPUP: {
        if (HIWORD(lParam))
            break;
        auto popup = reinterpret_cast<HMENU>(wParam);
        if (popup == fileMenu_)
            File1Click();
        else if (popup == showMenu_)
            KShow1Click();
        else if (popup == optionMenu_)
            Option1Click();
        return 0;
    }
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0) {
            ChooseMenuItem(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if (SystemMenuCommand(wParam))
            return 0;
        break;
    case WM_KEYDOWN:
        FormKeyDown(static_cast<WORD>(wParam));
        break;
    // Alt+Home comes as a system key; the key goes on to the default
    // handling (the menu's Alt keys) either way.
    case WM_SYSKEYDOWN:
        if (wParam == VK_HOME)
            FormKeyDown(static_cast<WORD>(wParam));
        break;
    case WM_ACTIVATE:
        if (focusMemory_.OnActivate(Handle(), wParam, FirstTabControl()))
            return 0;
        break;
    // Closing the main window, whichever way, ends the program; the windows
    // are destroyed once, when the loop has ended.
    case WM_CLOSE:
        Application::Instance().RequestClose();
        return 0;
    case WM_QUERYENDSESSION:
        return Application::Instance().QueryEndSession();
    case WM_ENDSESSION:
        Application::Instance().EndSession(wParam);
        return 0;
    case kPreviewKey:
        return PreviewKey(*reinterpret_cast<const MSG*>(lParam)) ||
               AddressEntered(*reinterpret_cast<const MSG*>(lParam));
    case kOfferUnfinished:
        OfferUnfinishedRuns();
        return 0;
    case WM_DPICHANGED:
        Rescale(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

void TChangeForm1::DropDownMenu(int index) {
    SendMessageW(Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(menu_, index)),
                 index);
}

void TChangeForm1::ChooseMenuItem(UINT item) {
    switch (item) {
    case Property1:
        PropertyClick();
        break;
    case Exit1:
        Exit1Click();
        break;
    case KFoldBar1:
        SpeedButton3Click();
        break;
    case KLargeIcon1:
        SpeedButton4Click();
        break;
    case KSmallIcon1:
        SpeedButton5Click();
        break;
    case KList1:
        SpeedButton6Click();
        break;
    case KReport1:
        SpeedButton7Click();
        break;
    case Renew1:
        RenewClick();
        break;
    case KFile1:
        KFile1Click();
        break;
    case KFold1:
        KFold1Click();
        break;
    case KTree1:
        ComboBox1.SetItemIndex(cmWholeTree);
        break;
    case Folders1:
        foldersToo_ = !foldersToo_;
        CheckMenuItem(menu_, Folders1, MF_BYCOMMAND | (foldersToo_ ? MF_CHECKED : MF_UNCHECKED));
        break;
    case Create1:
        Create1Click();
        break;
    case Update1:
        Update1Click();
        break;
    case Access1:
        Access1Click();
        break;
    case Run1:
        SpeedButton1Click();
        break;
    case About1:
        About1Click();
        break;
    case Undo1:
        Undo1Click();
        break;
    case Now1:
        Now1Click();
        break;
    case Load1:
        Load1Click();
        break;
    case Shift1:
        Shift1Click();
        break;
    case Photo1:
        Photo1Click();
        break;
    case Name1:
        Name1Click();
        break;
    case History1:
        History1Click();
        break;
    case Contents1:
        Contents1Click();
        break;
    case Sidecar1:
        Sidecar1Click();
        break;
    case Other1:
        Other1Click();
        break;
    case Preview1:
        CheckMenuItem(menu_, Preview1,
                      MF_BYCOMMAND | (MenuItemChecked(Preview1) ? MF_UNCHECKED : MF_CHECKED));
        break;
    }
}

} // namespace kalvera
