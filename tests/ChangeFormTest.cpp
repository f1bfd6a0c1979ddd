#include "About/AboutForm.h"
#include "ShellCtrls/ShellModule.h"
#include "ui/Application.h"
#include "change/ChangeForm.h"
#include "core/RunTimestampChange.h"
#include "tests/support/MainWindowHost.h"
#include "tests/support/Pump.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestFiles.h"
#include "ui/Failure.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <gtest/gtest.h>

using namespace kalvera;
using namespace kalvera::test;

TEST_F(MainWindow, EveryControlAtItsPlaceAt96Dpi) {
    RECT client;
    GetClientRect(form->Handle(), &client);
    ASSERT_EQ(client.right, 734);
    ASSERT_EQ(client.bottom, 548);
    EXPECT_EQ(form->Panel2.Width(), 200); // no text wider than its design
    for (const Expected& e : Layout(*form))
        ExpectBounds(e);
    ExpectTextsFit(*form);
}

TEST(MainWindowScaled, At144DpiEveryLengthGrowsByHalf) {
    TChangeForm1 form(144);
    EXPECT_EQ(form.Scale(12), 18);
    LOGFONTW font{};
    GetObjectW(form.FormFont(), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -18);
    // The options pane and the toolbar keep fixed places inside their
    // parents, whatever size the screen allows the window; the names box
    // keeps its place from the toolbar's right end.
    for (const Expected& e : Layout(form)) {
        const std::string name = e.name;
        if (e.control->Parent() == &form.Panel2 || e.control->Parent() == &form.Panel4) {
            if (name == "Bevel2" || name == "Bevel1" || name == "Bevel5" || name == "Edit1")
                continue;
            ExpectBounds(e, 3, 2);
        }
    }
    EXPECT_EQ(form.Panel4.Width() - form.Edit1.Left(), 246);
    EXPECT_EQ(form.Edit1.Left() - form.Label10.Left() - form.Label10.Width(), 6);
    EXPECT_GE(form.Panel2.Width(), 300);
    ExpectTextsFit(form);
    EXPECT_EQ(form.Panel1.Height(), 48);
    EXPECT_EQ(form.Panel3.Width(), 72);
}

TEST_F(MainWindow, MinimumSizeKeepsTheOptionsPane) {
    MINMAXINFO limits{};
    SendMessageW(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    // A pane widened for its texts widens the smallest window by as much.
    const int pane = form->Panel2.Width();
    EXPECT_EQ(limits.ptMinTrackSize.x, 540 + pane - 200);
    EXPECT_EQ(limits.ptMinTrackSize.y, 364);
    ResizeOuter(540 + pane - 200, 364);
    EXPECT_EQ(form->Panel2.Width(), pane);
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
    ResizeOuter(741, 384); // 592.8, truncated
    EXPECT_EQ(form->StatusBar1.PanelRight(0), 592);
    ResizeOuter(741, 383);
    EXPECT_FALSE(form->Bevel5.Visible());
}

// Where the splitter's rules turn: 64 pixels collapse the pane, 65 do not;
// the file list keeps 64 pixels at the other end.
TEST_F(MainWindow, SplitterRulesAtTheirLimits) {
    form->Splitter1.DragTo(65);
    EXPECT_EQ(form->Panel5.Width(), 65);
    form->Splitter1.DragTo(64);
    EXPECT_EQ(form->Panel5.Width(), 0);
    form->Splitter1.DragTo(100);
    EXPECT_EQ(form->Panel5.Width(), 100);
    const int widest = 734 - 267 - (form->Panel2.Width() - 200);
    form->Splitter1.DragTo(widest);
    EXPECT_EQ(form->Panel5.Width(), widest);
    EXPECT_EQ(form->ShellListView1.Width(), 64);
    form->Splitter1.DragTo(widest + 1);
    EXPECT_EQ(form->Panel5.Width(), widest);
}

// A tool button runs its command when the button goes up over it, not when
// the pointer left it before.
TEST_F(MainWindow, ToolButtonReleasedOutsideItselfDoesNothing) {
    HWND button = form->SpeedButton7.Handle();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(60, 5));
    EXPECT_EQ(form->ShellListView1.ViewStyle(), vsSmallIcon);
    EXPECT_TRUE(form->SpeedButton5.Down());
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(24, 24));
    EXPECT_EQ(form->ShellListView1.ViewStyle(), vsReport);
    EXPECT_TRUE(form->SpeedButton7.Down());
    // Disabled, the Run button takes no click at all.
    ASSERT_FALSE(form->SpeedButton1.Enabled());
    Click(form->SpeedButton1);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(form->Label9.Visible());
}

// Each Option-menu item turns its own check box, and only that one; the
// menu's check marks follow each box.
TEST_F(MainWindow, EachTimeItemTurnsItsOwnBox) {
    struct Slot {
        UINT item;
        CheckBox& box;
    };
    const Slot slots[] = {{TChangeForm1::Create1, form->CheckBox1},
                          {TChangeForm1::Update1, form->CheckBox2},
                          {TChangeForm1::Access1, form->CheckBox3}};
    for (const Slot& slot : slots) {
        form->ChooseMenuItem(slot.item);
        for (const Slot& other : slots) {
            EXPECT_EQ(other.box.Checked(), &other.box == &slot.box) << slot.item;
            form->DropDownMenu(2);
            EXPECT_EQ(form->MenuItemChecked(other.item), &other.box == &slot.box) << slot.item;
        }
        EXPECT_TRUE(form->SpeedButton1.Enabled());
        EXPECT_TRUE(form->MenuItemEnabled(TChangeForm1::Run1));
        form->ChooseMenuItem(slot.item);
        EXPECT_FALSE(slot.box.Checked());
    }
    // Through the window with each box alone: only its own time changes.
    TempDir dir;
    const std::wstring file = dir.MakeFile(L"t.txt");
    form->ShellListView1.NavigateToIdList(RootOf(dir.Path())->AbsoluteIdList());
    form->ShellListView1.SetItemIndex(0);
    const FileTime chosen = LocalDateTimeToFileTime(ParseDateTimeText(L"2003/1/1 0:00:00"));
    SetKnownTimes(file);
    const ReadTimes known = TimesOf(file);
    form->CheckBox3.SetChecked(true);
    form->SpeedButton1Click();
    EXPECT_EQ(TimesOf(file).lastAccess, chosen);
    EXPECT_EQ(TimesOf(file).lastWrite, known.lastWrite);
    SetKnownTimes(file);
    form->CheckBox3.SetChecked(false);
    form->CheckBox2.SetChecked(true);
    form->SpeedButton1Click();
    EXPECT_EQ(TimesOf(file).lastWrite, chosen);
    EXPECT_EQ(TimesOf(file).lastAccess, known.lastAccess);
    SetKnownTimes(file);
    form->CheckBox2.SetChecked(false);
    form->CheckBox1.SetChecked(true);
    form->SpeedButton1Click();
    EXPECT_EQ(TimesOf(file).lastWrite, known.lastWrite);
    EXPECT_EQ(TimesOf(file).lastAccess, known.lastAccess);
}

TEST_F(MainWindow, SplitterClampsCollapsesAndTheToggleRestores) {
    form->Splitter1.DragTo(300);
    EXPECT_EQ(form->Panel5.Width(), 300);
    EXPECT_EQ(form->Splitter1.Left(), 300);
    form->Splitter1.DragTo(700);
    EXPECT_EQ(form->Panel5.Width(), 734 - 267 - (form->Panel2.Width() - 200));
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

// The down view button is always the view the list shows: at start, after
// a view chosen from the Show menu, and after a button. The control shows
// that view, by its style and its view.
TEST_F(MainWindow, TheDownViewButtonIsTheListsView) {
    SpeedButton* const buttons[] = {&form->SpeedButton4, &form->SpeedButton5, &form->SpeedButton6,
                                    &form->SpeedButton7};
    auto expectDown = [&](int style) {
        EXPECT_EQ(form->ShellListView1.ViewStyle(), style);
        HWND list = form->ShellListView1.Handle();
        const DWORD styles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
        const DWORD views[] = {LV_VIEW_ICON, LV_VIEW_SMALLICON, LV_VIEW_LIST, LV_VIEW_DETAILS};
        EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK, styles[style]);
        EXPECT_EQ(DWORD(SendMessageW(list, LVM_GETVIEW, 0, 0)), views[style]);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(buttons[i]->Down(), i == style) << "button of view " << i;
        form->DropDownMenu(1);
        EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::KLargeIcon1 + style));
    };
    expectDown(vsSmallIcon);
    EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::KFoldBar1));
    const std::pair<UINT, int> byMenu[] = {{TChangeForm1::KList1, vsList},
                                           {TChangeForm1::KReport1, vsReport},
                                           {TChangeForm1::KLargeIcon1, vsIcon},
                                           {TChangeForm1::KSmallIcon1, vsSmallIcon}};
    for (auto [item, style] : byMenu) {
        form->ChooseMenuItem(item);
        expectDown(style);
    }
    for (int style : {vsList, vsReport, vsSmallIcon, vsIcon}) {
        Click(*buttons[style]);
        expectDown(style);
    }
    Click(form->SpeedButton4); // a second click leaves it down
    expectDown(vsIcon);
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
    // Renew reads the folder again, as F5 does: a file made meanwhile is
    // listed, and the selected one stays selected where it now stands.
    dir.MakeFile(L"0.txt");
    form->ChooseMenuItem(TChangeForm1::Renew1);
    ASSERT_TRUE(PumpUntil([&] { return form->ShellListView1.Count() == 3; }));
    EXPECT_EQ(form->ShellListView1.ItemIndex(), 2);

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

    // The folder: the first file already has the time and is left alone.
    form->ComboBox1.SetItemIndex(1);
    form->ChooseMenuItem(TChangeForm1::Run1);
    EXPECT_EQ(TimesOf(second).lastWrite, expected);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, L"1個のファイルのタイムスタンプを変更しました。\n\n"
                             L"次のファイルは変更しませんでした:\nfirst.txt: すでにその日時です");

    // Hour 24: the error box, with "." appended, captioned with the title.
    form->ComboBox5.SelectText(L"24");
    Click(form->SpeedButton1);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].text, L"'2004/4/1 24:30:00' は日付または時刻ではありません");
    EXPECT_EQ(boxes[2].caption, L"Kalvera/カルヴェラ");
    EXPECT_EQ(boxes[2].flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
}

TEST(ExceptionBox, PeriodRule) {
    // Where the rule turns: "-" stands below ".", "/" above it.
    EXPECT_EQ(ExceptionBoxText(L"x-"), L"x-");
    EXPECT_EQ(ExceptionBoxText(L"x/"), L"x/.");
    EXPECT_EQ(ExceptionBoxText(L"abc"), L"abc.");
    EXPECT_EQ(ExceptionBoxText(L"code 7"), L"code 7.");
    EXPECT_EQ(ExceptionBoxText(L"done."), L"done.");
    EXPECT_EQ(ExceptionBoxText(L"stop!"), L"stop!");
    EXPECT_EQ(ExceptionBoxText(L""), L"");
    EXPECT_EQ(ExceptionBoxText(L"終わり。"), L"終わり。");
    EXPECT_EQ(ExceptionBoxText(L"(Ctrl+Z) で元に戻せます"), L"(Ctrl+Z) で元に戻せます");
    EXPECT_EQ(ExceptionBoxText(L"'2003/1/1 24:00:00' は日付または時刻ではありません"),
              L"'2003/1/1 24:00:00' は日付または時刻ではありません");
}

// A file whose path is longer than the shell gives whole (its folder's path
// is under that limit, its own is not) is found and changed by a run.
TEST_F(MainWindow, RunChangesAFileWhosePathIsLongerThanTheShellGives) {
    TempDir dir;
    std::wstring folder = dir.Path();
    while (folder.size() < 240) {
        folder += L"\\" + std::wstring(std::min<size_t>(40, 250 - folder.size()), L'd');
        ASSERT_TRUE(CreateDirectoryW(ExtendedLengthPath(folder).c_str(), nullptr));
    }
    const std::wstring name = L"a-long-file-name-" + std::wstring(50, L'x') + L".txt";
    const std::wstring file = folder + L"\\" + name;
    ASSERT_GT(file.size(), 300u);
    UniqueFileHandle(CreateFileW(ExtendedLengthPath(file).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, 0, nullptr));
    SetKnownTimes(file);
    const ReadTimes before = TimesOf(file);
    form->ShellListView1.NavigateToIdList(RootOf(folder)->AbsoluteIdList());
    ASSERT_EQ(form->ShellListView1.Count(), 1);
    EXPECT_EQ(form->ShellListView1.ItemAt(0)->ParsingName(), file);
    form->ShellListView1.SetItemIndex(0);
    form->CheckBox2.SetChecked(true);
    form->SpeedButton1Click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"ファイルのタイムスタンプを変更しました。");
    EXPECT_EQ(TimesOf(file).lastWrite,
              LocalDateTimeToFileTime(ParseDateTimeText(L"2003/1/1 0:00:00")));
    EXPECT_EQ(TimesOf(file).lastAccess, before.lastAccess);
}
