#include "About/AboutForm.h"
#include "ShellCtrls/ShellModule.h"
#include "app/Application.h"
#include "change/ChangeForm.h"
#include "change/TimestampCore.h"
#include "tests/support/Pump.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestFiles.h"
#include "ui/Failure.h"

#include <gtest/gtest.h>

using namespace kalvera;
using namespace kalvera::test;

namespace {

struct Box {
    std::wstring text, caption;
    UINT flags;
};

// The main window as the program makes it, with the platform's message box
// replaced by a recorder and failures going to the error box as they do in
// the program.
class MainWindow : public ::testing::Test {
protected:
    std::vector<Box> boxes;
    PlatformMessageBox previousBox;
    FailureHandler previousHandler;
    std::unique_ptr<TChangeForm1> form;
    std::unique_ptr<TAboutForm1> about;

    void SetUp() override {
        Application::Instance().SetTitle(L"Kalvera/カルヴェラ");
        previousBox = SetPlatformMessageBox(
            [this](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
                boxes.push_back({text, caption, flags});
                return IDOK;
            });
        previousHandler =
            SetFailureHandler([](std::exception_ptr failure) { ShowExceptionBox(failure); });
        form = std::make_unique<TChangeForm1>(96);
        about = std::make_unique<TAboutForm1>();
        form->SetAboutForm(about.get());
        ShowWindow(form->Handle(), SW_SHOW);
        PumpFor(50);
    }
    void TearDown() override {
        form.reset();
        about.reset();
        SetFailureHandler(previousHandler);
        SetPlatformMessageBox(previousBox);
    }
    void ResizeOuter(int width, int height) {
        SetWindowPos(form->Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    }
    static void Click(Control& control) {
        SendMessageW(control.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(control.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
};

struct Expected {
    const char* name;
    Control* control;
    int left, top, width, height;
};

void ExpectBounds(const Expected& e, int scaleNum = 1, int scaleDen = 1) {
    const RECT& b = e.control->Bounds();
    // Scaled lengths are rounded to the nearest pixel.
    EXPECT_EQ(b.left, MulDiv(e.left, scaleNum, scaleDen)) << e.name << " left";
    EXPECT_EQ(b.top, MulDiv(e.top, scaleNum, scaleDen)) << e.name << " top";
    if (e.width >= 0) {
        EXPECT_EQ(b.right - b.left, MulDiv(e.width, scaleNum, scaleDen)) << e.name << " width";
        EXPECT_EQ(b.bottom - b.top, MulDiv(e.height, scaleNum, scaleDen)) << e.name << " height";
    }
    // The window itself stands where the control says.
    if (e.control->HandleAllocated() && e.control->Visible()) {
        RECT w;
        GetWindowRect(e.control->Handle(), &w);
        MapWindowPoints(nullptr, GetParent(e.control->Handle()), reinterpret_cast<POINT*>(&w), 2);
        EXPECT_EQ(w.left, b.left) << e.name << " window left";
        EXPECT_EQ(w.top, b.top) << e.name << " window top";
    }
}

// Rectangles at 96 dpi, relative to each control's parent. Labels size
// themselves to their text in the font at hand: only their place is fixed.
std::vector<Expected> Layout(TChangeForm1& f) {
    return {
        {"Panel1", &f.Panel1, 0, 0, 734, 32},
        {"Panel4", &f.Panel4, 0, 32, 734, 32},
        {"StatusBar1", &f.StatusBar1, 0, 529, 734, 19},
        {"Panel5", &f.Panel5, 0, 64, 185, 465},
        {"Splitter1", &f.Splitter1, 185, 64, 3, 465},
        {"Panel2", &f.Panel2, 534, 64, 200, 465},
        {"ShellListView1", &f.ShellListView1, 188, 64, 346, 465},
        {"Bevel3", &f.Bevel3, 0, 0, 734, 4},
        {"Panel3", &f.Panel3, 0, 4, 48, 28},
        {"ShellComboBox1", &f.ShellComboBox1, 50, 5, 681, 22},
        {"Bevel1", &f.Bevel1, 0, 0, 734, 4},
        {"SpeedButton3", &f.SpeedButton3, 4, 4, 64, 25},
        {"Bevel4", &f.Bevel4, 68, 4, 5, 25},
        {"SpeedButton4", &f.SpeedButton4, 76, 4, 25, 25},
        {"SpeedButton5", &f.SpeedButton5, 101, 4, 25, 25},
        {"SpeedButton6", &f.SpeedButton6, 126, 4, 25, 25},
        {"SpeedButton7", &f.SpeedButton7, 151, 4, 25, 25},
        {"Bevel6", &f.Bevel6, 176, 4, 5, 25},
        {"Panel6", &f.Panel6, 0, 0, 185, 20},
        {"SpeedButton2", &f.SpeedButton2, 166, 1, 18, 18},
        {"ShellTreeView1", &f.ShellTreeView1, 0, 20, 185, 445},
        {"Bevel2", &f.Bevel2, 0, 0, 200, 4},
        {"Label8", &f.Label8, 4, 6, -1, -1},
        {"Label9", &f.Label9, 53, 6, -1, -1},
        {"ComboBox1", &f.ComboBox1, 4, 29, 192, 20},
        {"CheckBox1", &f.CheckBox1, 20, 61, 116, 17},
        {"CheckBox2", &f.CheckBox2, 20, 81, 116, 17},
        {"CheckBox3", &f.CheckBox3, 20, 101, 116, 17},
        {"Label1", &f.Label1, 4, 128, -1, -1},
        {"ComboBox2", &f.ComboBox2, 4, 145, 50, 20},
        {"Label2", &f.Label2, 57, 153, -1, -1},
        {"ComboBox3", &f.ComboBox3, 74, 145, 40, 20},
        {"Label3", &f.Label3, 117, 153, -1, -1},
        {"ComboBox4", &f.ComboBox4, 134, 145, 40, 20},
        {"Label4", &f.Label4, 177, 153, -1, -1},
        {"ComboBox5", &f.ComboBox5, 14, 175, 40, 20},
        {"Label5", &f.Label5, 57, 183, -1, -1},
        {"ComboBox6", &f.ComboBox6, 74, 175, 40, 20},
        {"Label6", &f.Label6, 117, 183, -1, -1},
        {"ComboBox7", &f.ComboBox7, 134, 175, 40, 20},
        {"Label7", &f.Label7, 177, 183, -1, -1},
        {"SpeedButton1", &f.SpeedButton1, 60, 205, 80, 25},
        {"Bevel5", &f.Bevel5, 7, 240, 186, 218},
    };
}

} // namespace

TEST_F(MainWindow, EveryControlAtItsPlaceAt96Dpi) {
    RECT client;
    GetClientRect(form->Handle(), &client);
    ASSERT_EQ(client.right, 734);
    ASSERT_EQ(client.bottom, 548);
    for (const Expected& e : Layout(*form))
        ExpectBounds(e);
}

TEST(MainWindowScaled, At144DpiEveryLengthGrowsByHalf) {
    TChangeForm1 form(144);
    EXPECT_EQ(form.Scale(12), 18);
    LOGFONTW font{};
    GetObjectW(form.FormFont(), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -18);
    // The options pane and the toolbar keep fixed places inside their
    // parents, whatever size the screen allows the window.
    for (const Expected& e : Layout(form)) {
        const std::string name = e.name;
        if (e.control->Parent() == &form.Panel2 || e.control->Parent() == &form.Panel4) {
            if (name == "Bevel2" || name == "Bevel1" || name == "Bevel5")
                continue;
            ExpectBounds(e, 3, 2);
        }
    }
    EXPECT_EQ(form.Panel2.Width(), 300);
    EXPECT_EQ(form.Panel1.Height(), 48);
    EXPECT_EQ(form.Panel3.Width(), 72);
}

TEST_F(MainWindow, MinimumSizeKeepsTheOptionsPane) {
    MINMAXINFO limits{};
    SendMessageW(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 540);
    EXPECT_EQ(limits.ptMinTrackSize.y, 364);
    ResizeOuter(540, 364);
    EXPECT_EQ(form->Panel2.Width(), 200);
    for (const Expected& e : Layout(*form))
        if (e.control->Parent() == &form->Panel2 && std::string(e.name) != "Bevel5" &&
            std::string(e.name) != "Bevel2")
            ExpectBounds(e);
    RECT client;
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(form->ShellComboBox1.Width(), client.right - 50 - 3);
    EXPECT_LT(form->ShellListView1.Width(), 346);
}

TEST_F(MainWindow, ResizeRulesForTheFrameAndTheStatusBar) {
    ResizeOuter(742, 383);
    EXPECT_FALSE(form->Bevel5.Visible());
    ResizeOuter(742, 384);
    EXPECT_TRUE(form->Bevel5.Visible());
    EXPECT_EQ(form->StatusBar1.PanelRight(0), 593);
    EXPECT_EQ(form->StatusBar1.PanelRight(1), -1);
}

TEST_F(MainWindow, SplitterClampsCollapsesAndTheToggleRestores) {
    form->Splitter1.DragTo(300);
    EXPECT_EQ(form->Panel5.Width(), 300);
    EXPECT_EQ(form->Splitter1.Left(), 300);
    form->Splitter1.DragTo(700);
    EXPECT_EQ(form->Panel5.Width(), 734 - 267);
    EXPECT_EQ(form->ShellListView1.Width(), 64);
    // SpeedButton2 keeps 1 pixel from the pane's right edge.
    EXPECT_EQ(form->SpeedButton2.Left() + form->SpeedButton2.Width(), form->Panel6.Width() - 1);
    form->Splitter1.DragTo(64);
    EXPECT_EQ(form->Panel5.Width(), 0);
    EXPECT_TRUE(form->Panel5.Visible());
    EXPECT_TRUE(form->SpeedButton3.Down());

    form->SpeedButton3Click();
    EXPECT_FALSE(form->Panel5.Visible());
    EXPECT_FALSE(form->Splitter1.Visible());
    EXPECT_FALSE(form->SpeedButton3.Down());
    form->SpeedButton3Click();
    EXPECT_TRUE(form->Panel5.Visible());
    EXPECT_EQ(form->Panel5.Width(), 64);
    EXPECT_EQ(form->Panel5.Left(), 0);
    EXPECT_EQ(form->Splitter1.Left(), 64);
    EXPECT_TRUE(form->SpeedButton3.Down());

    // The "x" on the pane hides it the same way.
    Click(form->SpeedButton2);
    EXPECT_FALSE(form->Panel5.Visible());
    EXPECT_FALSE(form->SpeedButton3.Down());
    form->DropDownMenu(1);
    EXPECT_FALSE(form->MenuItemChecked(TChangeForm1::KFoldBar1));
}

TEST_F(MainWindow, OptionMenuAndRunEnabling) {
    EXPECT_FALSE(form->SpeedButton1.Enabled());
    form->DropDownMenu(2);
    EXPECT_FALSE(form->MenuItemEnabled(TChangeForm1::Run1));
    EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::KFile1));
    EXPECT_FALSE(form->MenuItemChecked(TChangeForm1::KFold1));

    SendMessageW(form->CheckBox2.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(form->CheckBox2.Checked());
    EXPECT_TRUE(form->SpeedButton1.Enabled());

    int clicks = 0;
    auto original = form->CheckBox1.OnClick;
    form->CheckBox1.OnClick = [&] {
        ++clicks;
        original();
    };
    form->ChooseMenuItem(TChangeForm1::Create1);
    EXPECT_TRUE(form->CheckBox1.Checked());
    form->ChooseMenuItem(TChangeForm1::Create1);
    EXPECT_FALSE(form->CheckBox1.Checked());
    EXPECT_EQ(clicks, 2);

    form->ChooseMenuItem(TChangeForm1::KFold1);
    EXPECT_EQ(form->ComboBox1.ItemIndex(), 1);
    form->ChooseMenuItem(TChangeForm1::Update1);
    form->DropDownMenu(2);
    EXPECT_FALSE(form->MenuItemEnabled(TChangeForm1::Run1));
    EXPECT_FALSE(form->SpeedButton1.Enabled());
    EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::KFold1));
}

TEST_F(MainWindow, ViewMenuLeavesTheToolButtonsAlone) {
    EXPECT_TRUE(form->SpeedButton6.Down());
    EXPECT_EQ(form->ShellListView1.ViewStyle(), vsSmallIcon);
    form->DropDownMenu(1);
    EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::KSmallIcon1));
    EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::KFoldBar1));
    form->ChooseMenuItem(TChangeForm1::KList1);
    EXPECT_EQ(form->ShellListView1.ViewStyle(), vsList);
    form->ChooseMenuItem(TChangeForm1::KReport1);
    EXPECT_TRUE(form->SpeedButton6.Down());
    form->DropDownMenu(1);
    EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::KReport1));
    EXPECT_FALSE(form->MenuItemChecked(TChangeForm1::KList1));

    Click(form->SpeedButton4);
    EXPECT_TRUE(form->SpeedButton4.Down());
    EXPECT_FALSE(form->SpeedButton6.Down());
    EXPECT_EQ(form->ShellListView1.ViewStyle(), vsIcon);
    Click(form->SpeedButton4);
    EXPECT_TRUE(form->SpeedButton4.Down());
}

TEST_F(MainWindow, PropertyNeedsASelectedRow) {
    std::vector<std::wstring> shown;
    form->ShowFileProperties = [&](const std::wstring& path) { shown.push_back(path); };
    form->ShellListView1.SetItemIndex(-1);
    form->DropDownMenu(0);
    EXPECT_FALSE(form->MenuItemEnabled(TChangeForm1::Property1));
    form->ChooseMenuItem(TChangeForm1::Property1);
    EXPECT_TRUE(shown.empty());

    TempDir dir;
    const std::wstring file = dir.MakeFile(L"p.txt");
    form->ShellListView1.NavigateToIdList(RootOf(dir.Path())->AbsoluteIdList());
    form->ShellListView1.SetItemIndex(0);
    form->DropDownMenu(0);
    EXPECT_TRUE(form->MenuItemEnabled(TChangeForm1::Property1));
    form->ChooseMenuItem(TChangeForm1::Property1);
    EXPECT_EQ(shown, std::vector<std::wstring>{file});
}

TEST_F(MainWindow, GlideMovesInTenSteps) {
    if (GetSystemMetrics(SM_CXSCREEN) != 1024 || GetSystemMetrics(SM_CYSCREEN) != 768)
        GTEST_SKIP() << "needs a 1024 x 768 screen";
    SetWindowPos(form->Handle(), nullptr, 0, 0, 742, 594, SWP_NOZORDER);
    std::vector<POINT> steps;
    form->OnGlideStep = [&](POINT at) { steps.push_back(at); };
    form->GlideToScreenCentre();
    ASSERT_EQ(steps.size(), 10u);
    EXPECT_EQ(steps[0].x, 14);
    EXPECT_EQ(steps[0].y, 8);
    EXPECT_EQ(steps[8].x, 126);
    EXPECT_EQ(steps[8].y, 72);
    EXPECT_EQ(steps[9].x, 141);
    EXPECT_EQ(steps[9].y, 87);

    // Home on the window itself glides; in the address box it does not.
    steps.clear();
    SetFocus(form->ShellComboBox1.Handle());
    form->FormKeyDown(VK_HOME);
    EXPECT_TRUE(steps.empty());
    SetFocus(form->Handle());
    form->FormKeyDown(VK_HOME);
    EXPECT_EQ(steps.size(), 10u);
}

TEST_F(MainWindow, RenewKeepsTheSelectionAndTheHintFollowsTheListFocus) {
    TempDir dir;
    dir.MakeFile(L"a.txt");
    dir.MakeFile(L"b.txt");
    form->ShellListView1.NavigateToIdList(RootOf(dir.Path())->AbsoluteIdList());
    form->ShellListView1.SetItemIndex(1);
    form->ChooseMenuItem(TChangeForm1::Renew1);
    EXPECT_EQ(form->ShellListView1.ItemIndex(), 1);

    form->ShellListView1.SetItemIndex(-1);
    form->ComboBox1.SetItemIndex(0);
    form->CheckBox2.SetChecked(true);
    form->SpeedButton1Click();
    EXPECT_TRUE(form->Label9.Visible());
    EXPECT_TRUE(boxes.empty());
    SetFocus(form->ShellListView1.Handle());
    EXPECT_FALSE(form->Label9.Visible());
}

TEST_F(MainWindow, EndToEndRunThroughTheWindow) {
    TempDir dir;
    const std::wstring first = dir.MakeFile(L"first.txt", "one");
    const std::wstring second = dir.MakeFile(L"second.txt", "two");
    SetKnownTimes(first);
    SetKnownTimes(second);
    form->ShellListView1.NavigateToIdList(RootOf(dir.Path())->AbsoluteIdList());
    EXPECT_EQ(form->ShellTreeView1.SelectedItem()->ParsingName(), dir.Path());
    form->ShellListView1.SetItemIndex(0);
    ASSERT_EQ(form->ShellListView1.SelectedItem()->ParsingName(), first);

    form->ComboBox2.SelectText(L"2004");
    form->ComboBox3.SelectText(L"4");
    form->ComboBox4.SelectText(L"1");
    form->ComboBox5.SelectText(L"9");
    form->ComboBox6.SelectText(L"30");
    form->ComboBox7.SelectText(L"00");
    SendMessageW(form->CheckBox2.Handle(), BM_CLICK, 0, 0);
    Click(form->SpeedButton1);
    const FileTime expected = LocalDateTimeToFileTime(ParseDateTimeText(L"2004/4/1 9:30:00"));
    EXPECT_EQ(TimesOf(first).lastWrite, expected);
    EXPECT_NE(TimesOf(second).lastWrite, expected);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"ファイルのタイムスタンプを変更しました。");
    EXPECT_EQ(boxes[0].caption, L"結果報告");
    EXPECT_EQ(boxes[0].flags, 0u);

    form->ComboBox1.SetItemIndex(1);
    form->ChooseMenuItem(TChangeForm1::Run1);
    EXPECT_EQ(TimesOf(second).lastWrite, expected);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, L"2個のファイルのタイムスタンプを変更しました。");

    // Hour 24: the error box, with "." appended, captioned with the title.
    form->ComboBox5.SelectText(L"24");
    Click(form->SpeedButton1);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].text, L"'2004/4/1 24:30:00' は日付または時刻ではありません.");
    EXPECT_EQ(boxes[2].caption, L"Kalvera/カルヴェラ");
    EXPECT_EQ(boxes[2].flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
}

TEST(ExceptionBox, PeriodRule) {
    EXPECT_EQ(ExceptionBoxText(L"abc"), L"abc.");
    EXPECT_EQ(ExceptionBoxText(L"code 7"), L"code 7.");
    EXPECT_EQ(ExceptionBoxText(L"done."), L"done.");
    EXPECT_EQ(ExceptionBoxText(L"stop!"), L"stop!");
    EXPECT_EQ(ExceptionBoxText(L""), L"");
    EXPECT_EQ(ExceptionBoxText(L"終わり。"), L"終わり。.");
    EXPECT_EQ(ExceptionBoxText(L"'2003/1/1 24:00:00' は日付または時刻ではありません"),
              L"'2003/1/1 24:00:00' は日付または時刻ではありません.");
}
