// What the main window adds to a run: the rows showing the new times, Undo
// (menu and Ctrl+Z), Now and Load for the six lists, and progress with Esc.

#include "ShellCtrls/ShellModule.h"
#include "core/RunTimestampChange.h"
#include "datetime/Calendar.h"
#include "tests/support/DialogBoxes.h"
#include "tests/support/Input.h"
#include "tests/support/MainWindowHost.h"
#include "tests/support/MediaFiles.h"
#include "core/readers/SidecarNames.h"
#include "tests/support/Pump.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestFiles.h"
#include "win/Error.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <commdlg.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <span>

using namespace kalvera;
using namespace kalvera::test;

namespace {

class MainWindowRun : public MainWindow {
protected:
    TempDir dir;

    void Show(const std::wstring& folder) {
        form->ShellListView1.NavigateToIdList(RootOf(folder)->AbsoluteIdList());
    }
    std::vector<std::wstring> Lists() {
        return {form->ComboBox2.SelectedText(), form->ComboBox3.SelectedText(),
                form->ComboBox4.SelectedText(), form->ComboBox5.SelectedText(),
                form->ComboBox6.SelectedText(), form->ComboBox7.SelectedText()};
    }
    void Pick(const SelectorTexts& t) {
        for (auto [list, text] : {std::pair{&form->ComboBox2, t.year},
                                  {&form->ComboBox3, t.month},
                                  {&form->ComboBox4, t.day},
                                  {&form->ComboBox5, t.hour},
                                  {&form->ComboBox6, t.minute},
                                  {&form->ComboBox7, t.second}})
            ASSERT_TRUE(list->SelectText(text)) << ToUtf8(text);
    }
    std::wstring RowText(int row, int column) {
        wchar_t text[260] = L"";
        ListView_GetItemText(form->ShellListView1.Handle(), row, column, text, 260);
        return text;
    }
    // The text a freshly made item of the file shows in a column.
    std::wstring FreshDetail(const std::wstring& name, int column) {
        auto root = RootOf(dir.Path());
        auto item = ChildNamed(*root, name);
        item->LoadColumnDetails(root.get(), nullptr, form->ShellListView1.ColumnCount());
        return item->DetailText(column);
    }
    int RowOf(const std::wstring& name) {
        for (int i = 0; i < form->ShellListView1.Count(); ++i)
            if (form->ShellListView1.ItemAt(i)->InFolderName() == name)
                return i;
        return -1;
    }
    // Sets the last-write time of a file or folder to a local date text.
    static void SetWrite(const std::wstring& path, const wchar_t* local) {
        SetTimes(path, 0, 0, LocalDateTimeToFileTime(ParseDateTimeText(local)));
    }
    using Step = std::pair<std::function<bool()>, std::function<void()>>;
    // Takes each step once its state holds, from inside whatever modal
    // loops start opens; true once every step is taken and no box is left.
    bool Walk(std::vector<Step> steps, const std::function<void()>& start) {
        size_t next = 0;
        std::function<void()> tick = [&] {
            if (next < steps.size() && steps[next].first())
                steps[next++].second();
            if (next < steps.size())
                WhileModal(tick, 20);
        };
        ModalDeadline deadline(15000);
        WhileModal(tick, 20);
        start();
        const bool done =
            PumpUntil([&] { return next == steps.size() && !FindDialogBox(); }, 20000);
        WhileModal([] {}, 1); // no step left to run after this frame
        return done && !deadline.Hit();
    }
    int ModifiedColumn() {
        for (int column = 1; column < form->ShellListView1.ColumnCount(); ++column) {
            wchar_t text[64] = L"";
            LVCOLUMNW info{LVCF_TEXT, 0, 0, text, 64};
            ListView_GetColumn(form->ShellListView1.Handle(), column, &info);
            if (std::wstring(text).find(L"更新") != std::wstring::npos ||
                std::wstring(text).find(L"odified") != std::wstring::npos)
                return column;
        }
        return -1;
    }
};

} // namespace

// After a run the details view shows the new time of the row at once, and
// after Ctrl+Z the old one: no new fill, the selection and focus stay.
TEST_F(MainWindowRun, TheRowShowsTheNewTimesAndCtrlZUndoes) {
    const std::wstring file = dir.MakeFile(L"row.txt");
    dir.MakeFile(L"other.txt");
    SetKnownTimes(file);
    Show(dir.Path());
    form->ChooseMenuItem(TChangeForm1::KReport1);
    const int column = ModifiedColumn();
    ASSERT_GT(column, 0);
    const int row = form->ShellListView1.ItemAt(0)->InFolderName() == L"row.txt" ? 0 : 1;
    const std::wstring oldText = RowText(row, column);
    form->ShellListView1.SetItemIndex(row);
    SetFocus(form->ShellListView1.Handle());
    form->DropDownMenu(0);
    EXPECT_FALSE(form->MenuItemEnabled(TChangeForm1::Undo1));

    Pick({L"2004", L"4", L"1", L"9", L"30", L"00"});
    form->CheckBox2.SetChecked(true);
    long enumerations = FolderEnumerations();
    Click(form->SpeedButton1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"ファイルのタイムスタンプを変更しました。");
    // Owned by the window the user works in, so it can't fall behind it.
    EXPECT_EQ(boxes[0].owner, form->Handle());
    const std::wstring newText = RowText(row, column);
    EXPECT_NE(newText, oldText);
    EXPECT_EQ(newText, FreshDetail(L"row.txt", column));
    EXPECT_EQ(FolderEnumerations(), enumerations);
    EXPECT_EQ(form->ShellListView1.ItemIndex(), row);
    EXPECT_EQ(GetFocus(), form->ShellListView1.Handle());
    form->DropDownMenu(0);
    EXPECT_TRUE(form->MenuItemEnabled(TChangeForm1::Undo1));

    // Runs that change nothing leave that run to undo: no row selected, an
    // empty folder, the same date again, and (under Wine, which keeps no
    // creation time) a time the file system does not keep.
    form->ShellListView1.SetItemIndex(-1);
    Click(form->SpeedButton1);
    EXPECT_TRUE(form->Label9.Visible());
    TempDir empty;
    Show(empty.Path());
    form->ComboBox1.SetItemIndex(1);
    Click(form->SpeedButton1);
    Show(dir.Path());
    form->ComboBox1.SetItemIndex(0);
    form->ShellListView1.SetItemIndex(row);
    Click(form->SpeedButton1);
    if (RunningUnderWine()) {
        form->CheckBox2.SetChecked(false);
        form->CheckBox1.SetChecked(true);
        Pick({L"2005", L"5", L"2", L"10", L"00", L"00"});
        Click(form->SpeedButton1);
        form->CheckBox1.SetChecked(false);
        form->CheckBox2.SetChecked(true);
    }
    ASSERT_EQ(boxes.size(), RunningUnderWine() ? 4u : 3u);
    EXPECT_EQ(boxes[1].text, L"0個のファイルのタイムスタンプを変更しました。");
    EXPECT_EQ(boxes[2].text, L"ファイルのタイムスタンプを変更しました。");
    boxes.resize(1);
    // Once the program has agreed that the session may end, nothing runs
    // until the end is called off.
    EXPECT_TRUE(SendMessageW(form->Handle(), WM_QUERYENDSESSION, 0, 0));
    Pick({L"2005", L"5", L"2", L"10", L"00", L"00"});
    Click(form->SpeedButton1);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(TimesOf(file).lastWrite,
              LocalDateTimeToFileTime(ParseDateTimeText(L"2004/4/1 9:30:00")));
    SendMessageW(form->Handle(), WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(Application::Instance().SessionEnding());
    SetFocus(form->ShellListView1.Handle());
    enumerations = FolderEnumerations();

    PressKeys({VK_CONTROL, 'Z'});
    PumpFor(50);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, L"1個のファイルのタイムスタンプを元に戻しました。");
    EXPECT_EQ(boxes[1].caption, L"結果報告");
    EXPECT_EQ(RowText(row, column), oldText);
    EXPECT_EQ(FolderEnumerations(), enumerations);
    form->DropDownMenu(0);
    EXPECT_FALSE(form->MenuItemEnabled(TChangeForm1::Undo1));
    PressKeys({VK_CONTROL, 'Z'}); // nothing left to undo
    PumpFor(30);
    EXPECT_EQ(boxes.size(), 2u);

    // With the access time chosen too: a file read since the run, and one
    // whose attribute was set and cleared, come back to the tick; the
    // second after one question, answered yes.
    const ReadTimes known = TimesOf(file);
    form->CheckBox3.SetChecked(true);
    for (bool attribute : {false, true}) {
        Click(form->SpeedButton1);
        if (attribute) {
            SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
            SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        } else {
            ReadContent(file); // as a viewer does: the access time moves
            ASSERT_NE(TimesOf(file).lastAccess,
                      LocalDateTimeToFileTime(ParseDateTimeText(L"2005/5/2 10:00:00")));
        }
        PressKeys({VK_CONTROL, 'Z'});
        ASSERT_TRUE(PumpUntil([&] { return boxes.size() == (attribute ? 7u : 4u); }));
        EXPECT_EQ(TimesOf(file).lastWrite, known.lastWrite) << attribute;
        EXPECT_EQ(TimesOf(file).lastAccess, known.lastAccess) << attribute;
        EXPECT_EQ(boxes.back().text, L"1個のファイルのタイムスタンプを元に戻しました。");
    }
    EXPECT_EQ(boxes[5].text, L"1個のファイルは実行後に属性などが変更されています。"
                             L"それでも元に戻しますか?");
    EXPECT_EQ(boxes[5].flags, UINT(MB_YESNO | MB_ICONQUESTION));
}

// Every row of a changed file shows its new time, whether it was drawn
// before the run or not; dates outside the years of DOS dates show as they
// are. A run whose times the file system kept none of says so first.
TEST_F(MainWindowRun, EveryChangedRowShowsItsTimeAndDatesOutsideDosYears) {
    for (int i = 0; i < 60; ++i)
        dir.MakeFile(L"r" + std::to_wstring(100 + i) + L".txt");
    SetWrite(dir.MakeFile(L"a-old.txt"), L"1975/1/1 12:00:00");
    SetWrite(dir.MakeFile(L"a-late.txt"), L"2200/1/1 12:00:00");
    Show(dir.Path());
    form->ChooseMenuItem(TChangeForm1::KReport1);
    const int column = ModifiedColumn();
    ASSERT_GT(column, 0);
    EXPECT_NE(RowText(RowOf(L"a-old.txt"), column).find(L"1975"), std::wstring::npos);
    EXPECT_NE(RowText(RowOf(L"a-late.txt"), column).find(L"2200"), std::wstring::npos);
    UpdateWindow(form->ShellListView1.Handle()); // the first rows drawn

    Pick({L"2004", L"4", L"1", L"9", L"30", L"00"});
    form->ComboBox1.SetItemIndex(1);
    form->CheckBox2.SetChecked(true);
    Click(form->SpeedButton1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"62個のファイルのタイムスタンプを変更しました。");
    for (const wchar_t* name : {L"a-old.txt", L"r100.txt", L"r159.txt"})
        EXPECT_EQ(RowText(RowOf(name), column), FreshDetail(name, column)) << ToUtf8(name);
    EXPECT_NE(RowText(RowOf(L"r159.txt"), column).find(L"2004"), std::wstring::npos);

    if (RunningUnderWine()) { // Wine keeps no creation time a program sets
        form->ComboBox1.SetItemIndex(0);
        form->ShellListView1.SetItemIndex(RowOf(L"r100.txt"));
        form->CheckBox2.SetChecked(false);
        form->CheckBox1.SetChecked(true);
        Pick({L"2005", L"5", L"2", L"10", L"00", L"00"});
        Click(form->SpeedButton1);
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_TRUE(boxes[1].text.starts_with(L"ファイルシステムは指定の時刻を記録しませんでした。"
                                              L"\n\n次のファイルは指定どおりの時刻を記録でき"
                                              L"ませんでした:\nr100.txt: 作成 "));
    }
}

// In the label being renamed, Ctrl+Z belongs to the edit box once it has
// typing of its own to undo.
TEST_F(MainWindowRun, CtrlZInARenameEditLeavesTheRunAlone) {
    const std::wstring file = dir.MakeFile(L"keep.txt");
    Show(dir.Path());
    form->ShellListView1.SetItemIndex(0);
    form->CheckBox2.SetChecked(true);
    form->SpeedButton1Click();
    const FileTime written = TimesOf(file).lastWrite;
    form->ShellListView1.BeginRename();
    HWND edit = ListView_GetEditControl(form->ShellListView1.Handle());
    ASSERT_TRUE(edit);
    ASSERT_EQ(GetFocus(), edit);
    TypeText(L"x");
    ASSERT_TRUE(PumpUntil([&] { return SendMessageW(edit, EM_CANUNDO, 0, 0) != 0; }));
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] {
        wchar_t text[32] = L"";
        GetWindowTextW(edit, text, 32);
        return std::wstring(text) == L"keep.txt";
    }));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(TimesOf(file).lastWrite, written);
    EXPECT_TRUE(form->LastRun().CanUndo());
    SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    PumpFor(20);
}

TEST_F(MainWindowRun, NowAndLoadSetTheSixLists) {
    // The year list reaches every year a file system can store.
    EXPECT_EQ(form->ComboBox2.Items().size(), 128u);
    EXPECT_EQ(form->ComboBox2.Items().front(), L"1980");
    EXPECT_EQ(form->ComboBox2.Items().back(), L"2107");
    EXPECT_EQ(form->ComboBox2.SelectedText(), L"2003");

    SYSTEMTIME before, after;
    GetLocalTime(&before);
    form->ChooseMenuItem(TChangeForm1::Now1);
    GetLocalTime(&after);
    const auto now = Lists();
    EXPECT_EQ(now[0], std::to_wstring(after.wYear));
    EXPECT_EQ(now[2], std::to_wstring(after.wDay));
    EXPECT_TRUE(now[3] == std::to_wstring(before.wHour) || now[3] == std::to_wstring(after.wHour));

    // Load: the selected row's last-write time, local, as the items are written.
    const std::wstring file = dir.MakeFile(L"source.txt");
    const std::wstring old = dir.MakeFile(L"old.txt");
    const std::wstring sub = dir.MakeDir(L"sub");
    Show(dir.Path());
    form->ShellListView1.SetItemIndex(-1);
    form->ChooseMenuItem(TChangeForm1::Load1);
    EXPECT_TRUE(form->Label9.Visible());
    EXPECT_TRUE(boxes.empty());
    SetWrite(file, L"2019/7/4 13:05:09");
    SetWrite(old, L"1979/12/31 23:59:59");
    SetWrite(sub, L"2107/12/31 8:00:00");
    form->ShellListView1.SetItemIndex(RowOf(L"source.txt"));
    form->ChooseMenuItem(TChangeForm1::Load1);
    EXPECT_EQ(Lists(), (std::vector<std::wstring>{L"2019", L"7", L"4", L"13", L"05", L"09"}));
    form->ShellListView1.SetItemIndex(RowOf(L"sub"));
    form->ChooseMenuItem(TChangeForm1::Load1);
    EXPECT_EQ(Lists(), (std::vector<std::wstring>{L"2107", L"12", L"31", L"8", L"00", L"00"}));
    form->ShellListView1.SetItemIndex(RowOf(L"old.txt"));
    form->ChooseMenuItem(TChangeForm1::Load1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"選択ファイルの日時は選べる範囲の外です。");
    EXPECT_EQ(boxes[0].caption, L"Error");
    EXPECT_EQ(boxes[0].flags, 0u);
    // All six lists stay as they were.
    EXPECT_EQ(Lists(), (std::vector<std::wstring>{L"2107", L"12", L"31", L"8", L"00", L"00"}));
}

// Keys typed while a long run writes: Esc stops it between two files even
// behind other keys, and the others are dropped, not delivered afterwards
// (a queued Enter would close the report unseen). The report counts the
// files written (their times changed on disk), says that it stopped, and
// the status bar is empty again.
TEST_F(MainWindowRun, EscBehindOtherKeysStopsALongRunAndTheRestIsDropped) {
    for (int i = 0; i < 1500; ++i)
        dir.MakeFile(L"f" + std::to_wstring(10000 + i) + L".txt");
    Show(dir.Path());
    form->ComboBox1.SetItemIndex(1);
    form->CheckBox2.SetChecked(true);
    SetFocus(form->ShellListView1.Handle());
    // Queued as typed keys are, in order, before the run starts.
    for (WORD key : {WORD('A'), WORD(VK_RETURN), WORD(VK_ESCAPE), WORD(VK_SPACE)}) {
        PostMessageW(form->ShellListView1.Handle(), WM_KEYDOWN, key, 1);
        PostMessageW(form->ShellListView1.Handle(), WM_KEYUP, key, 0xC0000001);
    }
    form->SpeedButton1Click();
    ASSERT_EQ(boxes.size(), 1u);
    const FileTime chosen = LocalDateTimeToFileTime(ParseDateTimeText(L"2003/1/1 0:00:00"));
    int changed = 0;
    for (int i = 0; i < 1500; ++i)
        changed +=
            TimesOf(dir.Child(L"f" + std::to_wstring(10000 + i) + L".txt")).lastWrite == chosen;
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, 1500);
    EXPECT_EQ(boxes[0].text, std::to_wstring(changed) +
                                 L"個のファイルのタイムスタンプを変更しました。\n中止しました。");
    EXPECT_EQ(form->StatusBar1.PanelText(0), L"");
    EXPECT_EQ(static_cast<int>(form->LastRun().files.size()), changed);
    EXPECT_TRUE(form->LastRun().CanUndo());
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
    EXPECT_EQ(GetFocus(), form->ShellListView1.Handle());
    EXPECT_EQ(form->ShellListView1.ItemIndex(), -1);
}

namespace {

// A drop source that lets the drag run two turns over the point where the
// mouse stands, then drops.
struct DropAfterTwoTurns : IDropSource {
    int turns = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override {
        return ++turns < 3 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

} // namespace

// Many files at once, walked as the user does: a selection made with the
// keys, F5 and F2 on it, the whole tree with folders, its undo, a typed
// path and files dropped on the window.
TEST_F(MainWindowRun, ASelectionATreeWithFoldersATypedPathAndADrop) {
    const std::wstring a = dir.MakeFile(L"a.txt"), b = dir.MakeFile(L"b.txt");
    const std::wstring c = dir.MakeFile(L"c.txt"), sub = dir.MakeDir(L"sub");
    const std::wstring inner = dir.MakeFile(L"sub\\inner.txt");
    const std::vector<std::wstring> all{a, b, c, inner, sub, dir.Path()};
    for (const auto& path : all)
        SetKnownTimes(path);
    const FileTime known = TimesOf(a).lastWrite;
    auto written = [&](const wchar_t* local) {
        return LocalDateTimeToFileTime(ParseDateTimeText(local));
    };
    auto expectTimes = [&](std::vector<FileTime> wanted, int step) {
        for (size_t i = 0; i < all.size(); ++i)
            EXPECT_EQ(TimesOf(all[i]).lastWrite, wanted[i]) << step << ToUtf8(all[i]);
    };
    Show(dir.Path());
    HWND list = form->ShellListView1.Handle();
    ClickAt(list, {4, 4}); // the first row: sub
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == list; }));
    PressKeys({VK_END});
    PressKeys({VK_CONTROL, 'A'});
    ASSERT_TRUE(PumpUntil([&] { return form->ShellListView1.SelectedIndices().size() == 4; }));
    EXPECT_EQ(form->ShellListView1.ItemIndex(), 0);
    EXPECT_EQ(form->ShellListView1.FocusedIndex(), 3);

    Pick({L"2004", L"4", L"1", L"9", L"30", L"00"});
    form->CheckBox2.SetChecked(true);
    Click(form->SpeedButton1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              L"3個のファイルのタイムスタンプを変更しました。\nフォルダ1個は対象外です。");
    const FileTime april = written(L"2004/4/1 9:30:00");
    expectTimes({april, april, april, known, known, known}, 1);

    // F5 keeps the selection and the focus by name; F2 renames the focused row.
    SetFocus(list);
    const long enumerations = FolderEnumerations();
    PressKeys({VK_F5});
    ASSERT_TRUE(PumpUntil([&] { return FolderEnumerations() > enumerations; }));
    EXPECT_EQ(form->ShellListView1.SelectedIndices(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(form->ShellListView1.FocusedIndex(), 3);
    PressKeys({VK_F2});
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetEditControl(list) != nullptr; }));
    wchar_t editText[64] = L"";
    GetWindowTextW(ListView_GetEditControl(list), editText, 64);
    EXPECT_STREQ(editText, L"c.txt");
    EXPECT_EQ(form->ShellListView1.SelectedIndices(), (std::vector<int>{0, 1, 2, 3}));
    PressKeys({VK_ESCAPE});
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetEditControl(list) == nullptr; }));
    EXPECT_EQ(form->ShellListView1.SelectedIndices(), (std::vector<int>{0, 1, 2, 3}));

    // The tree with folders: everything below the folder shown, not itself.
    form->ChooseMenuItem(TChangeForm1::Folders1);
    form->ChooseMenuItem(TChangeForm1::KTree1);
    EXPECT_EQ(form->ComboBox1.ItemIndex(), 2);
    EXPECT_EQ(form->ComboBox1.SelectedText(), L"サブフォルダも含めて変更");
    form->DropDownMenu(2);
    EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::KTree1));
    EXPECT_FALSE(form->MenuItemChecked(TChangeForm1::KFold1));
    EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::Folders1));
    Pick({L"2005", L"5", L"2", L"10", L"00", L"00"});
    Click(form->SpeedButton1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, L"4個のファイルと1個のフォルダのタイムスタンプを変更しました。");
    const FileTime may = written(L"2005/5/2 10:00:00");
    expectTimes({may, may, may, may, may, known}, 2);
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 3; }));
    EXPECT_EQ(boxes[2].text, L"4個のファイルと1個のフォルダのタイムスタンプを元に戻しました。");
    expectTimes({april, april, april, known, known, known}, 3);

    // A typed path: a file's folder opens with the file selected; a path
    // that names nothing leaves the box as it was. The name the box shows
    // opens the folder shown again, and a relative path is taken from it,
    // never from the program's current directory (which holds a "sub" too).
    // What opens takes the focus, so that the keys go on to the list.
    TempDir other;
    const std::wstring otherSub = other.MakeDir(L"sub");
    other.MakeFile(L"sub\\other.txt");
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(dir.Path().c_str());
    Show(otherSub);
    HWND edit =
        FindWindowExW(FindWindowExW(form->ShellComboBox1.Handle(), nullptr, nullptr, nullptr),
                      nullptr, L"Edit", nullptr);
    ASSERT_TRUE(edit);
    // Each click a little further along: two at one point would make a
    // double click.
    int clicks = 0;
    auto type = [&](const std::wstring& typed, const std::function<bool()>& done) {
        ClickAt(edit, {8 + 12 * (clicks++ % 8), 4});
        ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit; })) << ToUtf8(typed);
        // Keys, queued behind the click: its own placing of the caret
        // comes first.
        PressKeys({VK_END});
        if (!typed.empty()) {
            PressKeys({VK_SHIFT, VK_HOME});
            TypeText(typed);
        }
        PressKeys({VK_RETURN});
        ASSERT_TRUE(PumpUntil(done)) << ToUtf8(typed);
    };
    auto selected = [&](const std::wstring& path) {
        return form->ShellListView1.SelectedItem() &&
               form->ShellListView1.SelectedItem()->ParsingName() == path;
    };
    type(L"", [&] { return GetFocus() == list; });
    EXPECT_EQ(form->ShellListView1.RootItem()->ParsingName(), otherSub);
    type(L"other.txt", [&] { return selected(otherSub + L"\\other.txt") && GetFocus() == list; });
    type(dir.Child(L"nothing.txt"), [&] { return boxes.size() == 4; });
    type(b, [&] { return selected(b) && GetFocus() == list; });
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(boxes[3].text, dir.Child(L"nothing.txt") + L" が見つかりません。");
    EXPECT_EQ(form->ShellListView1.RootItem()->ParsingName(), dir.Path());
    // Run, then Ctrl+Z in the address box, which has no typing to undo.
    form->ChooseMenuItem(TChangeForm1::KFile1);
    Click(form->SpeedButton1);
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(TimesOf(b).lastWrite, may);
    ClickAt(edit, {8 + 12 * (clicks++ % 8), 4});
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit; }));
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 6; }));
    EXPECT_EQ(boxes[5].text, L"1個のファイルのタイムスタンプを元に戻しました。");
    EXPECT_EQ(TimesOf(b).lastWrite, april);

    // Two files dropped from the shell's own data of them.
    Show(sub);
    auto root = RootOf(dir.Path());
    const auto first = ChildNamed(*root, L"a.txt"), third = ChildNamed(*root, L"c.txt");
    const ITEMIDLIST* children[] = {first->RelativeIdList(), third->RelativeIdList()};
    ComPtr<IDataObject> data;
    ASSERT_EQ(root->FolderInterface()->GetUIObjectOf(
                  nullptr, 2, reinterpret_cast<PCUITEMID_CHILD_ARRAY>(children), IID_IDataObject,
                  nullptr, data.put_void()),
              S_OK);
    RECT listRect;
    GetWindowRect(list, &listRect);
    MoveMouseTo({(listRect.left + listRect.right) / 2, (listRect.top + listRect.bottom) / 2});
    DropAfterTwoTurns source;
    DWORD effect = 0;
    EXPECT_EQ(DoDragDrop(data.get(), &source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect),
              DRAGDROP_S_DROP);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
    ASSERT_TRUE(PumpUntil([&] { return form->ShellListView1.SelectedIndices().size() == 2; }));
    EXPECT_EQ(form->ShellListView1.RootItem()->ParsingName(), dir.Path());
    ASSERT_TRUE(form->ShellListView1.SelectedItem());
    EXPECT_EQ(form->ShellListView1.SelectedItem()->ParsingName(), a);
    form->OpenHandedPaths({c, inner}); // of two folders: the first one's
    EXPECT_EQ(form->ShellListView1.SelectedIndices().size(), 1u);
    EXPECT_EQ(form->StatusBar1.PanelText(0), L"ほかのフォルダの1個は選択していません。");
    Show(sub); // another folder: the count of the others goes
    EXPECT_EQ(form->StatusBar1.PanelText(0), L"");

    // F2 on the tree's node of the folder shown: the list and the address
    // box go on to the folder by its new name, where a run finds its file.
    HWND tree = form->ShellTreeView1.Handle();
    SetFocus(tree);
    PressKeys({VK_F2});
    ASSERT_TRUE(PumpUntil([&] { return TreeView_GetEditControl(tree) != nullptr; }));
    TypeText(L"renamed");
    PressKeys({VK_RETURN});
    const std::wstring renamed = dir.Child(L"renamed");
    ASSERT_TRUE(
        PumpUntil([&] { return form->ShellListView1.RootItem()->ParsingName() == renamed; }));
    EXPECT_EQ(GetWindowTextLengthW(edit), 7);
    form->ShellListView1.SetItemIndex(0);
    Click(form->SpeedButton1);
    ASSERT_EQ(boxes.size(), 7u);
    EXPECT_EQ(boxes[6].text, L"ファイルのタイムスタンプを変更しました。");
    EXPECT_EQ(TimesOf(renamed + L"\\inner.txt").lastWrite, may);
}

// Shift and Photo from the Option menu, the dialog through its keys: a
// number out of range and a shift of nothing keep it open, Esc leaves
// everything as it was; times are read back from disk and Ctrl+Z gives
// them back.
TEST_F(MainWindowRun, ShiftAndPhotoFromTheOptionMenu) {
    const std::wstring a = dir.MakeFile(L"a.txt"),
                       photo = dir.MakeFile(
                           L"p.jpg",
                           JpegFile(TiffBlock(true, {{0x0132, "2021:05:06 07:08:09"}}, {})));
    SetKnownTimes(a);
    SetKnownTimes(photo);
    const ReadTimes known = TimesOf(a);
    form->DropDownMenu(2);
    EXPECT_FALSE(form->MenuItemEnabled(TChangeForm1::Shift1));
    EXPECT_FALSE(form->MenuItemEnabled(TChangeForm1::Photo1));
    EXPECT_FALSE(form->MenuItemEnabled(TChangeForm1::Name1));
    form->CheckBox2.SetChecked(true);
    form->CheckBox3.SetChecked(true);
    // The folder's rows come in steps here: the status bar counts them.
    const DWORD wait = TShellListView::SetFillWait(0);
    Show(dir.Path());
    TShellListView::SetFillWait(wait);
    EXPECT_TRUE(form->ShellListView1.Filling());
    EXPECT_TRUE(form->StatusBar1.PanelText(0).starts_with(L"読み込んでいます: "));
    ASSERT_TRUE(PumpUntil([&] { return !form->ShellListView1.Filling(); }));
    EXPECT_EQ(form->StatusBar1.PanelText(0), L"");
    {
        // With no row selected the hint says so before the amount is asked
        // for: a dialog that opened all the same is closed by the deadline.
        ModalDeadline deadline(2000);
        PressKeys({VK_MENU, 'O'});
        PressKeys({'S'});
        EXPECT_TRUE(PumpUntil([&] { return form->Label9.Visible(); }, 3000));
        EXPECT_FALSE(deadline.Hit());
        EXPECT_TRUE(boxes.empty());
    }
    HWND list = form->ShellListView1.Handle();
    ClickAt(list, {4, 4});
    ASSERT_TRUE(
        PumpUntil([&] { return GetFocus() == list && form->ShellListView1.ItemIndex() == 0; }));

    // Steps taken inside the dialog's own loop, each once its state holds.
    std::vector<std::pair<std::function<bool()>, std::function<void()>>> steps;
    size_t next = 0;
    HWND dialog = nullptr;
    std::function<void()> tick = [&] {
        if (next < steps.size() && steps[next].first())
            steps[next++].second();
        if (next < steps.size())
            WhileModal(tick, 20);
    };
    auto box = [&](int index) {
        HWND edit = nullptr;
        for (int i = 0; i <= index; ++i)
            edit = FindWindowExW(dialog, edit, L"Edit", nullptr);
        return edit;
    };
    // Text, and keys given by their codes: L"\t", L"\r", L"\x1b", and L"\x28" (Down).
    auto keys = [](std::initializer_list<const wchar_t*> parts) {
        for (const wchar_t* part : parts)
            if (part[0] < L'0' && !part[1])
                PressKeys({WORD(part[0])});
            else
                TypeText(part);
    };
    auto opened = [&] {
        dialog = FindDialogBox();
        return dialog && GetFocus() == box(0);
    };
    auto shift = [&](std::vector<std::pair<std::function<bool()>, std::function<void()>>> s) {
        steps = std::move(s);
        next = 0;
        ModalDeadline deadline;
        WhileModal(tick, 20);
        PressKeys({VK_MENU, 'O'});
        PressKeys({'S'});
        const size_t shown = boxes.size();
        EXPECT_TRUE(PumpUntil([&] { return next == steps.size() && !FindDialogBox(); }, 10000));
        PumpUntil([&] { return boxes.size() > shown; }, 500);
        EXPECT_FALSE(deadline.Hit());
    };
    const FileTime moved = (86400 + 2 * 3600 + 3 * 60 + 4) * 10'000'000LL;
    shift({{opened,
            [&] {
                wchar_t caption[32] = L"";
                GetWindowTextW(dialog, caption, 32);
                EXPECT_STREQ(caption, L"時刻をずらす");
                EXPECT_EQ(HFONT(SendMessageW(box(3), WM_GETFONT, 0, 0)), form->FormFont());
                keys({L"1", L"\t", L"30", L"\r"});
            }},
           {[&] { return boxes.size() == 1 && GetFocus() == box(1); },
            [&] {
                EXPECT_EQ(boxes[0].owner, dialog);
                keys({L"2", L"\t", L"3", L"\t", L"4", L"\r"});
            }}});
    EXPECT_EQ(TimesOf(a).lastWrite, known.lastWrite + moved);
    EXPECT_EQ(TimesOf(a).lastAccess, known.lastAccess + moved);
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 3; }));
    EXPECT_EQ(TimesOf(a).lastWrite, known.lastWrite);
    shift({{opened, [&] { keys({L"\x1b"}); }}});
    shift({{opened, [&] { keys({L"\r"}); }},
           {[&] { return boxes.size() == 4 && GetFocus() == box(0); },
            [&] {
                keys({L"\t", L"\t", L"\t", L"5", L"\t", L"\x28", L"\r"});
            }}}); // 戻す
    EXPECT_EQ(TimesOf(a).lastWrite, known.lastWrite - 50'000'000);
    EXPECT_EQ(TimesOf(a).lastAccess, known.lastAccess - 50'000'000);

    PressKeys({VK_END}); // p.jpg
    ASSERT_TRUE(PumpUntil([&] { return form->ShellListView1.ItemIndex() == 1; }));
    PressKeys({VK_MENU, 'O'});
    PressKeys({'P'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 6; }));
    const FileTime taken = LocalDateTimeToFileTime(ParseDateTimeText(L"2021/5/6 7:08:09"));
    EXPECT_EQ(TimesOf(photo).lastWrite, taken);
    EXPECT_EQ(TimesOf(photo).lastAccess, taken);
    const std::vector<std::wstring> texts{
        L"時間 は 0 から 23 までの数で指定してください。",
        L"1個のファイルのタイムスタンプをずらしました。",
        L"1個のファイルのタイムスタンプを元に戻しました。",
        L"ずらす時間を指定してください。",
        L"1個のファイルのタイムスタンプをずらしました。",
        L"1個のファイルのタイムスタンプを撮影日時に合わせました。"};
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(boxes[i].text, texts[i]) << i;
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 7; }));
    EXPECT_EQ(TimesOf(photo).lastWrite, known.lastWrite);
}

// The dates of phones' files, found by their bytes whatever their names
// say, and the dates in names, each run from the Option menu by its keys
// over a whole folder: each file gets its own date (the last-write time
// alone, the access time stays), a file without one is named, and Ctrl+Z
// gives the names' run back.
TEST_F(MainWindowRun, DatesOfPhonesFilesAndOfNamesFromTheOptionMenu) {
    auto utc = [](int y, int mo, int d, int h, int mi, int s) -> FileTime {
        return ((DaysSinceEpoch(y, mo, d) - DaysSinceEpoch(1601, 1, 1)) * 86400LL + h * 3600 +
                mi * 60 + s) *
               10'000'000LL;
    };
    auto local = [](const wchar_t* text) {
        return LocalDateTimeToFileTime(ParseDateTimeText(text));
    };
    auto exif = [](const char* date, const char* offset) {
        return TiffBlock(false, {}, {{0x9003, date}, {0x9011, offset}});
    };
    const MediaFile movie = MovieFile({.mediaBytes = 64 << 20,
                                       .created = 3'000'000'000ULL,
                                       .creationDate = "2020-01-02T03:04:05+0100"});
    struct Made {
        std::wstring path;
        FileTime date;
    };
    const std::wstring media = dir.MakeDir(L"media"), names = dir.MakeDir(L"names");
    const Made photos[] = {
        {dir.MakeFile(L"media\\photo.jpg", HeifFile(exif("2019:07:04 13:05:09", "+09:00"))),
         utc(2019, 7, 4, 4, 5, 9)},
        {dir.MakeSparseFile(L"media\\clip.mp4", movie.head, movie.gap, movie.tail),
         utc(2020, 1, 2, 2, 4, 5)},
        {dir.MakeFile(L"media\\shot.png", PngFile(exif("2018:02:03 04:05:06", "+00:00"))),
         utc(2018, 2, 3, 4, 5, 6)},
        {dir.MakeFile(L"media\\web.webp", WebpFile(exif("2017:03:04 05:06:07", "-05:00"))),
         utc(2017, 3, 4, 10, 6, 7)},
        {dir.MakeFile(L"media\\scan.tif",
                      ScanTiff(true, {{0x0132, "2016:04:05 06:07:08"}}, {}, 1 << 20)),
         local(L"2016/4/5 6:07:08")},
        {dir.MakeFile(L"media\\noise.heic", "\0\0\0\x18"
                                            "ftypheic"),
         0},
    };
    const Made named[] = {
        {dir.MakeFile(L"names\\IMG_20190704_130509.jpg"), local(L"2019/7/4 13:05:09")},
        {dir.MakeFile(L"names\\PXL_20230102_030405123.jpg"), local(L"2023/1/2 3:04:05")},
        {dir.MakeFile(L"names\\VID_20200304_050607.mp4"), local(L"2020/3/4 5:06:07")},
        {dir.MakeFile(L"names\\IMG-20190705-WA0007.jpg"), local(L"2019/7/5 0:00:00")},
        {dir.MakeFile(L"names\\Screenshot_2019-07-06-13-05-09.png"), local(L"2019/7/6 13:05:09")},
        {dir.MakeFile(L"names\\2019-07-07 13.05.09.jpg"), local(L"2019/7/7 13:05:09")},
        {dir.MakeFile(L"names\\IMG_1234.jpg"), 0},
        {dir.MakeFile(L"names\\1562245509123.jpg"), 0},
        {dir.MakeFile(L"names\\2019-02-30 10.00.00.jpg"), 0},
    };
    // Files beside the photos: an export's JSON files under the names it
    // gives them, editors' XMP files; and the sidecars themselves, which
    // keep their times.
    const std::wstring sidecars = dir.MakeDir(L"sidecars");
    auto json = [](const char* key, const char* seconds) {
        return std::string("{\"title\":\"x\",\"") + key + "\":{\"timestamp\":\"" + seconds +
               "\",\"formatted\":\"\"}}";
    };
    const FileTime july = utc(2019, 7, 4, 4, 5, 9), created = utc(2017, 7, 14, 2, 40, 0);
    const std::pair<const wchar_t*, std::string> beside[] = {
        {L"IMG_1.JPG.supplemental-metadata.json", json("photoTakenTime", "1562213109")},
        {L"IMG_1234.JPG.supplemental-metad.json", json("creationTime", "1500000000")},
        {L"IMG_2.jpg(1).json", json("photoTakenTime", "1500000000")},
        {L"IMG_2.jpg.json", json("photoTakenTime", "1562213109")},
        {L"IMG_3.HEIC.json", json("photoTakenTime", "1562213109")},
        {L"scan.xmp", XmpPacket("<xmp:CreateDate>2016-04-05T06:07</xmp:CreateDate>", true)},
        {L"edit.png.XMP", XmpPacket("exif:DateTimeOriginal='2018-02-03T04:05:06Z'")},
        {L"bad.jpg.json", "{\"photoTakenTime\":"},
        {L"big.jpg.json", json("photoTakenTime", "1562213109") + std::string(1 << 20, ' ')},
    };
    std::vector<Made> dated = {
        {dir.MakeFile(L"sidecars\\IMG_1.JPG"), july},
        {dir.MakeFile(L"sidecars\\IMG_1234.JPG"), created},
        {dir.MakeFile(L"sidecars\\IMG_2(1).jpg"), created},
        {dir.MakeFile(L"sidecars\\IMG_2-edited.jpg"), july},
        {dir.MakeFile(L"sidecars\\IMG_2.jpg"), july},
        {dir.MakeFile(L"sidecars\\IMG_3.HEIC"), july},
        {dir.MakeFile(L"sidecars\\IMG_3.MOV"), july},
        {dir.MakeFile(L"sidecars\\scan.tif"), local(L"2016/4/5 6:07:00")},
        {dir.MakeFile(L"sidecars\\edit.png"), utc(2018, 2, 3, 4, 5, 6)},
        {dir.MakeFile(L"sidecars\\bad.jpg"), 0},
        {dir.MakeFile(L"sidecars\\big.jpg"), 0},
        {dir.MakeFile(L"sidecars\\lone.jpg"), 0},
    };
    for (const auto& [name, text] : beside)
        dated.push_back({dir.MakeFile(L"sidecars\\" + std::wstring(name), text), 0});
    std::map<std::wstring, ReadTimes> known;
    for (std::span<const Made> set : {std::span<const Made>(photos), std::span<const Made>(named),
                                      std::span<const Made>(dated)})
        for (const Made& made : set) {
            SetKnownTimes(made.path);
            known[made.path] = TimesOf(made.path);
        }
    auto check = [&](std::span<const Made> made, bool set) {
        for (const Made& file : made) {
            const ReadTimes now = TimesOf(file.path);
            EXPECT_EQ(now.lastWrite, set && file.date ? file.date : known[file.path].lastWrite)
                << ToUtf8(file.path);
            // A sidecar is read on a handle that keeps its access time,
            // which Windows honours and Wine's reads (Linux's) do not.
            if (!RunningUnderWine() || !IsSidecarName(file.path)) {
                EXPECT_EQ(now.lastAccess, known[file.path].lastAccess) << ToUtf8(file.path);
            }
        }
    };
    form->CheckBox2.SetChecked(true);
    form->ComboBox1.SetItemIndex(1);
    auto run = [&](const std::wstring& folder, WORD key, size_t reports) {
        Show(folder);
        ASSERT_TRUE(PumpUntil([&] { return !form->ShellListView1.Filling(); }));
        PressKeys({VK_MENU, 'O'});
        PressKeys({key});
        ASSERT_TRUE(PumpUntil([&] { return boxes.size() == reports; }));
    };
    const std::wstring notWritten = L"\n\n次のファイルは変更しませんでした:\n";
    run(media, 'P', 1);
    check(photos, true);
    EXPECT_EQ(boxes[0].text, L"5個のファイルのタイムスタンプを撮影日時に合わせました。" +
                                 notWritten + L"noise.heic: 撮影日時がありません");
    run(names, 'M', 2);
    check(named, true);
    EXPECT_TRUE(boxes[1].text.starts_with(
        L"6個のファイルのタイムスタンプをファイル名の日時に合わせました。" + notWritten))
        << ToUtf8(boxes[1].text);
    for (const wchar_t* name : {L"IMG_1234.jpg", L"1562245509123.jpg", L"2019-02-30 10.00.00.jpg"})
        EXPECT_NE(boxes[1].text.find(std::wstring(name) + L": ファイル名に日時がありません"),
                  std::wstring::npos)
            << ToUtf8(name);
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 3; }));
    EXPECT_EQ(boxes[2].text, L"6個のファイルのタイムスタンプを元に戻しました。");
    check(named, false);
    check(photos, true);
    run(sidecars, 'I', 4);
    check(dated, true);
    EXPECT_EQ(boxes[3].text, L"9個のファイルのタイムスタンプをJSON/XMPの日時に合わせました。\n"
                             L"JSON/XMPファイル9個は対象外です。" +
                                 notWritten +
                                 L"bad.jpg: JSON/XMPファイルが壊れています\n"
                                 L"big.jpg: JSON/XMPファイルが1 MiBを超えています\n"
                                 L"lone.jpg: JSON/XMPに日時がありません");
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 5; }));
    check(dated, false);
}

namespace {

HWND ShownDialog(const wchar_t* caption) {
    HWND window = FindWindowW(L"#32770", caption);
    return window && IsWindowVisible(window) && IsWindowEnabled(window) ? window : nullptr;
}
std::wstring TextOf(HWND window) {
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}
std::wstring CellOf(HWND list, int row, int column) {
    wchar_t text[260] = L"";
    ListView_GetItemText(list, row, column, text, 260);
    return text;
}
std::vector<std::wstring> ColumnsOf(HWND list) {
    std::vector<std::wstring> titles;
    HWND header = ListView_GetHeader(list);
    for (int i = 0; i < Header_GetItemCount(header); ++i) {
        wchar_t text[64] = L"";
        HDITEMW item{HDI_TEXT};
        item.pszText = text;
        item.cchTextMax = 64;
        Header_GetItem(header, i, &item);
        titles.push_back(text);
    }
    return titles;
}
void ClickColumn(HWND list, int column) {
    RECT rect{};
    Header_GetItemRect(ListView_GetHeader(list), column, &rect);
    ClickAt(ListView_GetHeader(list), {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}
BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM data) {
    auto& [owner, found] = *reinterpret_cast<std::pair<HWND, HWND>*>(data);
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (GetWindow(window, GW_OWNER) == owner && IsWindowVisible(window) &&
        std::wstring(name) == L"#32770")
        found = window;
    return !found;
}
// The dialog a window opened over itself (the Save dialog).
HWND OwnedDialog(HWND owner) {
    std::pair<HWND, HWND> data{owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindOwnedDialog, reinterpret_cast<LPARAM>(&data));
    return data.second;
}

} // namespace

// Runs over several files shown first, and written as shown: a shift over
// the files of a folder that the names box takes (Cancel writes nothing, a
// file changed meanwhile is left alone), a photo run whose report names
// more files than its box holds (the whole list in its window, saved as
// CSV), and folders given the newest time of what they hold, the deepest
// first; each undone to the tick.
TEST_F(MainWindowRun, PreviewReportListNamesAndFoldersFromTheirContents) {
    EXPECT_TRUE(previewAtStart);
    PressKeys({VK_MENU, 'O'});
    PressKeys({'V'});
    ASSERT_TRUE(PumpUntil([&] { return form->MenuItemChecked(TChangeForm1::Preview1); }));
    auto local = [](const wchar_t* text) {
        return LocalDateTimeToFileTime(ParseDateTimeText(text));
    };
    const FileTime day = 86400 * 10'000'000LL;
    const std::wstring shifted = dir.MakeDir(L"shift");
    struct Made {
        std::wstring path;
        const wchar_t* write;
        FileTime access;
        bool matched;
    };
    const Made files[] = {{dir.MakeFile(L"shift\\a.jpg"), L"2010/1/1 10:00:00", 7 * day, true},
                          {dir.MakeFile(L"shift\\B.JPG"), L"2010/1/16 11:00:00", 8 * day, true},
                          {dir.MakeFile(L"shift\\c.txt"), L"2012/3/3 12:00:00", 9 * day, false},
                          {dir.MakeFile(L"shift\\d.heic"), L"2009/4/4 13:00:00", 10 * day, true}};
    for (const Made& file : files)
        SetTimes(file.path, 0, local(file.write) - file.access, local(file.write));
    // A link to a newer file outside: a row left alone, where the system
    // does not mark it (Wine); passed over before the preview where it does.
    const std::wstring outside = dir.MakeFile(L"outside.jpg");
    SetWrite(outside, L"2013/1/1 0:00:00");
    ASSERT_TRUE(MakeLink(dir.Child(L"shift\\e.jpg"), outside, false));
    const int unmarked = RunningUnderWine() ? 1 : 0;
    auto expectShifted = [&](std::function<bool(const Made&)> moved) {
        for (const Made& file : files) {
            const FileTime by = moved(file) ? day : 0;
            EXPECT_EQ(TimesOf(file.path).lastWrite, local(file.write) + by) << ToUtf8(file.path);
            EXPECT_EQ(TimesOf(file.path).lastAccess, local(file.write) - file.access + by)
                << ToUtf8(file.path);
        }
    };
    form->ComboBox1.SetItemIndex(1);
    form->CheckBox2.SetChecked(true);
    form->CheckBox3.SetChecked(true);
    Show(shifted);
    ASSERT_TRUE(PumpUntil([&] { return !form->ShellListView1.Filling(); }));

    // A name no file can have is refused before anything is read.
    ClickCentre(form->Edit1.Handle());
    TypeText(L"*.jpg;a|b");
    PressKeys({VK_MENU, 'O'});
    PressKeys({'R'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 1; }));
    EXPECT_EQ(boxes[0].text, L"「対象」の \"a|b\" にはファイル名に使えない文字があります。");
    ClickCentre(form->Edit1.Handle());
    PressKeys({VK_END});
    PressKeys({VK_SHIFT, VK_HOME});
    TypeText(L"*.jpg; *.HEIC");

    HWND preview = nullptr, list = nullptr;
    auto previewDone = [&] {
        preview = ShownDialog(L"変更の確認");
        list = preview ? FindWindowExW(preview, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
        return list && IsWindowEnabled(GetDlgItem(preview, IDOK));
    };
    auto shift = [&](std::function<void()> inPreview) {
        return Walk({{[&] {
                          HWND dialog = ShownDialog(L"時刻をずらす");
                          return dialog &&
                                 GetFocus() == FindWindowExW(dialog, nullptr, L"Edit", nullptr);
                      },
                      [&] {
                          TypeText(L"1");
                          PressKeys({VK_RETURN});
                      }},
                     {previewDone, inPreview}},
                    [] {
                        PressKeys({VK_MENU, 'O'});
                        PressKeys({'S'});
                    });
    };
    const std::wstring shiftedFolder = shifted;
    EXPECT_TRUE(shift([&] {
        EXPECT_EQ(GetWindow(preview, GW_OWNER), form->Handle());
        EXPECT_TRUE(GetWindowLongW(preview, GWL_STYLE) & WS_THICKFRAME);
        EXPECT_EQ(GetFocus(), list);
        EXPECT_EQ(TextOf(FindWindowExW(preview, nullptr, L"Static", nullptr)),
                  L"変更: 3個 / 変更しない: " + std::to_wstring(unmarked) + L"個");
        EXPECT_EQ(ColumnsOf(list),
                  (std::vector<std::wstring>{L"名前", L"フォルダ", L"現在の更新日時",
                                             L"新しい更新日時", L"現在のアクセス日時",
                                             L"新しいアクセス日時", L"変更しない理由"}));
        // The current last-write times, the oldest first; two of them days apart.
        ClickColumn(list, 2);
        EXPECT_TRUE(PumpUntil([&] { return CellOf(list, 0, 0) == L"d.heic"; }));
        EXPECT_EQ(CellOf(list, 1, 0), L"a.jpg");
        EXPECT_EQ(CellOf(list, 2, 0), L"B.JPG");
        EXPECT_EQ(CellOf(list, 1, 1), shiftedFolder);
        EXPECT_EQ(CellOf(list, 1, 2), L"2010/1/1 10:00:00");
        EXPECT_EQ(CellOf(list, 1, 3), L"2010/1/2 10:00:00");
        EXPECT_EQ(CellOf(list, 1, 4), L"2009/12/25 10:00:00");
        EXPECT_EQ(CellOf(list, 1, 6), L"");
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        PressKeys({VK_CONTROL, 'A'});
        PressKeys({VK_CONTROL, 'C'});
        std::wstring copied;
        PumpUntil([&] {
            if (OpenClipboard(nullptr)) {
                if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
                    copied = static_cast<const wchar_t*>(GlobalLock(data));
                CloseClipboard();
            }
            return !copied.empty();
        });
        EXPECT_TRUE(copied.starts_with(L"名前\tフォルダ\t現在の更新日時\t新しい更新日時\t"
                                       L"現在のアクセス日時\t新しいアクセス日時\t変更しない理由"
                                       L"\r\nd.heic\t" +
                                       shiftedFolder + L"\t2009/4/4 13:00:00\t"))
            << ToUtf8(copied);
        EXPECT_EQ(std::count(copied.begin(), copied.end(), L'\n'), 4 + unmarked);
        EXPECT_EQ(copied.find(L"e.jpg\t" + shiftedFolder) != std::wstring::npos,
                  copied.ends_with(L"\tリンクです\r\n"));
        // Each column as wide as its title and texts, all within the list:
        // the folders' long paths give way first where they can't all fit.
        RECT client{};
        GetClientRect(list, &client);
        for (int column = 0, total = 0; column < 7; ++column) {
            total += ListView_GetColumnWidth(list, column);
            EXPECT_LE(total, client.right);
            for (int row = -1; row < (column == 1 ? 0 : 3); ++row)
                EXPECT_GT(ListView_GetColumnWidth(list, column),
                          ListView_GetStringWidth(list, (row < 0 ? ColumnsOf(list)[size_t(column)]
                                                                 : CellOf(list, row, column))
                                                            .c_str()));
        }
        ClickCentre(GetDlgItem(preview, IDCANCEL));
    }));
    EXPECT_EQ(boxes.size(), 1u);
    expectShifted([](const Made&) { return false; });

    // Changed between the preview and the write: left alone, and named.
    EXPECT_TRUE(shift([&] {
        SetTimes(files[1].path, 0, 0, local(L"2010/1/16 11:30:00"));
        PressKeys({VK_RETURN});
    }));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text,
              L"2個のファイルのタイムスタンプをずらしました。\nリンク1個は対象外です。\n"
              L"名前が対象外のファイル: 1個\n\n次のファイルは変更しませんでした:\n"
              L"B.JPG: 変更されています");
    EXPECT_EQ(TimesOf(outside).lastWrite, local(L"2013/1/1 0:00:00"));
    SetTimes(files[1].path, 0, 0, local(files[1].write));
    expectShifted([&](const Made& file) { return file.matched && &file != &files[1]; });
    // Ctrl+Z in the names box would undo its typing.
    ClickAt(form->ShellListView1.Handle(), {4, 4});
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == form->ShellListView1.Handle(); }));
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 3; }));
    expectShifted([](const Made&) { return false; });

    // Eleven photos without a date: the box names ten, its list all.
    const std::wstring photos = dir.MakeDir(L"photos");
    std::vector<std::wstring> undated;
    for (int i = 1; i <= 11; ++i)
        undated.push_back(dir.MakeFile(i < 11 ? L"photos\\n" + std::to_wstring(100 + i) + L".jpg"
                                              : L"photos\\旅行,京都.jpg",
                                       "x"));
    for (const std::wstring& file : undated)
        SetKnownTimes(file);
    const std::wstring dated = dir.MakeFile(
        L"photos\\p.jpg", JpegFile(TiffBlock(true, {{0x0132, "2021:05:06 07:08:09"}}, {})));
    SetKnownTimes(dated);
    const ReadTimes known = TimesOf(dated);
    const std::wstring csv = dir.Child(L"list.csv");
    Show(photos);
    ASSERT_TRUE(PumpUntil([&] { return !form->ShellListView1.Filling(); }));
    const PlatformMessageBox recorder = SetPlatformMessageBox(SystemMessageBox());
    HWND report = nullptr, all = nullptr;
    EXPECT_TRUE(Walk(
        {{previewDone,
          [&] {
              EXPECT_EQ(TextOf(FindWindowExW(preview, nullptr, L"Static", nullptr)),
                        L"変更: 1個 / 変更しない: 11個");
              PressKeys({VK_RETURN});
          }},
         {[&] { return (report = ShownDialog(L"結果報告")) != nullptr; },
          [&] {
              const std::wstring text = TextOf(GetDlgItem(report, 0xFFFF));
              EXPECT_TRUE(
                  text.starts_with(L"1個のファイルのタイムスタンプを撮影日時に合わせました。"))
                  << ToUtf8(text);
              EXPECT_TRUE(text.ends_with(L"n110.jpg: 撮影日時がありません\nほか1個"))
                  << ToUtf8(text);
              ClickCentre(FindWindowExW(report, nullptr, L"Button", L"一覧を表示"));
          }},
         {[&] {
              all = ShownDialog(L"一覧");
              list = all ? FindWindowExW(all, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
              return list && GetFocus() == list;
          },
          [&] {
              EXPECT_EQ(GetWindow(all, GW_OWNER), report);
              EXPECT_EQ(ListView_GetItemCount(list), 11);
              EXPECT_EQ(TextOf(FindWindowExW(all, nullptr, L"Static", nullptr)), L"11個のファイル");
              EXPECT_EQ(ColumnsOf(list),
                        (std::vector<std::wstring>{L"名前", L"フォルダ", L"理由"}));
              ClickCentre(FindWindowExW(all, nullptr, L"Button", L"保存..."));
          }},
         {[&] {
              HWND save = OwnedDialog(all);
              wchar_t name[16] = L"";
              GetClassNameW(GetFocus(), name, 16);
              return save && IsChild(save, GetFocus()) && std::wstring(name) == L"Edit";
          },
          [&] {
              // Offered in the documents, named by the run's folder and the day.
              wchar_t folder[MAX_PATH] = L"", documents[MAX_PATH] = L"", name[64];
              SendMessageW(OwnedDialog(all), CDM_GETFOLDERPATH, MAX_PATH, LPARAM(folder));
              SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents);
              SYSTEMTIME day{};
              GetLocalTime(&day);
              swprintf(name, 64, L"\\photos %04u-%02u-%02u.csv", day.wYear, day.wMonth, day.wDay);
              EXPECT_EQ(folder + (L"\\" + TextOf(GetFocus())), documents + std::wstring(name));
              PressKeys({VK_END});
              PressKeys({VK_SHIFT, VK_HOME});
              TypeText(csv);
              PressKeys({VK_RETURN});
          }},
         {[&] {
              return GetFileAttributesW(csv.c_str()) != INVALID_FILE_ATTRIBUTES &&
                     ShownDialog(L"一覧");
          },
          [&] { PressKeys({VK_ESCAPE}); }},
         {[&] { return ShownDialog(L"結果報告") != nullptr; }, [&] { PressKeys({VK_RETURN}); }}},
        [] {
            PressKeys({VK_MENU, 'O'});
            PressKeys({'P'});
        }));
    SetPlatformMessageBox(recorder);
    const std::string saved = ReadContent(csv);
    EXPECT_TRUE(saved.starts_with("\xEF\xBB\xBF" + ToUtf8(L"名前,フォルダ,理由\r\n")))
        << saved.substr(0, 40);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 12);
    // A name with a comma stays one field.
    for (const std::wstring& file : undated) {
        const std::wstring name(SplitPath(file).second);
        EXPECT_NE(saved.find(ToUtf8((name.find(L',') != name.npos ? L"\"" + name + L"\"" : name) +
                                    L"," + photos + L",撮影日時がありません\r\n")),
                  std::string::npos)
            << ToUtf8(file);
    }
    // Read and left alone: the access time the reading moved goes back.
    for (const std::wstring& file : undated)
        EXPECT_EQ(TimesOf(file).lastAccess, known.lastAccess) << ToUtf8(file);
    const FileTime taken = local(L"2021/5/6 7:08:09");
    EXPECT_EQ(TimesOf(dated).lastWrite, taken);
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 4; }));
    EXPECT_EQ(TimesOf(dated).lastWrite, known.lastWrite);
    EXPECT_EQ(TimesOf(dated).lastAccess, known.lastAccess);

    // Three levels of folders, each older than the files below it, and an
    // empty one.
    const std::wstring tree = dir.MakeDir(L"tree");
    const std::wstring a = dir.MakeDir(L"tree\\A"), b = dir.MakeDir(L"tree\\A\\B"),
                       c = dir.MakeDir(L"tree\\A\\B\\C"), empty = dir.MakeDir(L"tree\\E");
    SetWrite(dir.MakeFile(L"tree\\A\\a.txt"), L"2010/1/1 0:00:00");
    SetWrite(dir.MakeFile(L"tree\\A\\B\\b.txt"), L"2015/1/1 0:00:00");
    SetWrite(dir.MakeFile(L"tree\\A\\B\\C\\c.txt"), L"2018/1/1 0:00:00");
    // A link to a newer folder is not followed, nor counted as an entry.
    SetWrite(dir.MakeFile(L"newer.txt"), L"2020/1/1 0:00:00");
    ASSERT_TRUE(MakeLink(dir.Child(L"tree\\A\\B\\link"), dir.Path()));
    std::map<std::wstring, ReadTimes> before;
    for (const std::wstring& folder : {a, b, c, empty}) {
        SetTimes(folder, 0, local(L"2001/1/1 0:00:00"), local(L"2000/1/1 0:00:00"));
        before[folder] = TimesOf(folder);
    }
    Show(tree);
    ASSERT_TRUE(PumpUntil([&] { return !form->ShellListView1.Filling(); }));
    form->ComboBox1.SetItemIndex(2);
    EXPECT_TRUE(Walk({{previewDone,
                       [&] {
                           EXPECT_EQ(TextOf(FindWindowExW(preview, nullptr, L"Static", nullptr)),
                                     L"変更: 3個 / 変更しない: 1個");
                           EXPECT_EQ(CellOf(list, 0, 0), L"C");
                           EXPECT_EQ(CellOf(list, 3, 6), L"空のフォルダです");
                           PressKeys({VK_RETURN});
                       }}},
                     [] {
                         PressKeys({VK_MENU, 'O'});
                         PressKeys({'T'});
                     }));
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[4].text, L"3個のフォルダのタイムスタンプを中身に合わせました。\n"
                             L"リンク1個は対象外です。\n\n"
                             L"次のファイルは変更しませんでした:\nE: 空のフォルダです");
    for (const std::wstring& folder : {a, b, c}) {
        EXPECT_EQ(TimesOf(folder).lastWrite, local(L"2018/1/1 0:00:00")) << ToUtf8(folder);
        EXPECT_EQ(TimesOf(folder).lastAccess, local(L"2018/1/1 0:00:00")) << ToUtf8(folder);
    }
    EXPECT_EQ(TimesOf(empty).lastWrite, before[empty].lastWrite);
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 6; }));
    // Folders read since (the shell looks into them) have their access
    // times moved by the reading, here as on a volume that keeps them.
    for (const std::wstring& folder : {a, b, c})
        EXPECT_EQ(TimesOf(folder).lastWrite, before[folder].lastWrite) << ToUtf8(folder);
}

// Times taken from the originals in another folder, chosen in the folder
// picker, over a copied tree of a thousand files: a folder renamed since (its
// files found by name and size), a file resized, one with no original, one
// with two; shown first with each original's path, written to the tick, and
// undone.
TEST_F(MainWindowRun, TimesFromTheOriginalsInAnotherFolder) {
    const std::wstring originals = dir.MakeDir(L"originals"), copies = dir.MakeDir(L"copies");
    const FileTime base = LocalDateTimeToFileTime(ParseDateTimeText(L"2008/8/8 8:08:08")) + 1234567;
    const FileTime day = 86400 * 10'000'000LL;
    std::vector<std::pair<std::wstring, std::wstring>> taken; // copy, original
    for (int folder = 0; folder < 10; ++folder) {
        dir.MakeDir(L"originals\\sub" + std::to_wstring(folder));
        dir.MakeDir(folder < 9 ? L"copies\\sub" + std::to_wstring(folder) : L"copies\\moved");
    }
    for (int n = 0; n < 1000; ++n) {
        wchar_t name[32];
        swprintf(name, 32, L"sub%d\\p%04d.jpg", n / 100, n);
        const std::string bytes(size_t(1 + n % 37), 'p');
        const std::wstring original = dir.MakeFile(L"originals\\" + std::wstring(name), bytes);
        const FileTime write = base + n * 10'000'000LL * 1000;
        SetTimes(original, write - day, write + 3 * day, write);
        std::wstring copied = name;
        if (n >= 900) // the last folder renamed
            copied.replace(0, 4, L"moved");
        // One resized: left alone.
        const std::wstring copy = dir.MakeFile(L"copies\\" + copied, n == 400 ? "resized" : bytes);
        SetKnownTimes(copy);
        if (n != 400)
            taken.emplace_back(copy, original);
    }
    for (const wchar_t* twin : {L"originals\\sub0\\twin.jpg", L"originals\\sub1\\twin.jpg"})
        dir.MakeFile(twin, "twin");
    const std::wstring twin = dir.MakeFile(L"copies\\sub2\\twin.jpg", "twin"),
                       lone = dir.MakeFile(L"copies\\sub3\\lone.jpg"),
                       resized = dir.Child(L"copies\\sub4\\p0400.jpg");
    for (const std::wstring& path : {twin, lone})
        SetKnownTimes(path);
    const ReadTimes known = TimesOf(lone);
    auto expectTimes = [&](bool set) {
        for (const auto& [copy, original] : taken) {
            const ReadTimes now = TimesOf(copy), wanted = set ? TimesOf(original) : known;
            EXPECT_EQ(now.lastWrite, wanted.lastWrite) << ToUtf8(copy);
            EXPECT_EQ(now.lastAccess, wanted.lastAccess) << ToUtf8(copy);
            // Wine keeps no creation time of its own to set.
            if (!RunningUnderWine()) {
                EXPECT_EQ(now.creation, wanted.creation) << ToUtf8(copy);
            }
        }
        for (const std::wstring& path : {twin, lone, resized})
            EXPECT_EQ(TimesOf(path).lastWrite, known.lastWrite) << ToUtf8(path);
    };
    form->ComboBox1.SetItemIndex(2);
    for (CheckBox* box : {&form->CheckBox1, &form->CheckBox2, &form->CheckBox3})
        box->SetChecked(true);
    if (!form->MenuItemChecked(TChangeForm1::Preview1))
        form->ChooseMenuItem(TChangeForm1::Preview1);
    EXPECT_TRUE(form->MenuItemChecked(TChangeForm1::Preview1));
    Show(copies);
    ASSERT_TRUE(PumpUntil([&] { return !form->ShellListView1.Filling(); }));

    HWND picker = nullptr, preview = nullptr, list = nullptr;
    // The picker's selection: the text of its tree's selected item.
    auto selected = [&] {
        HWND tree = FindWindowExW(picker, nullptr, WC_TREEVIEWW, nullptr);
        wchar_t text[MAX_PATH] = L"";
        TVITEMW item{TVIF_TEXT, TreeView_GetSelection(tree)};
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        return tree && item.hItem && TreeView_GetItem(tree, &item) ? std::wstring(text)
                                                                   : std::wstring();
    };
    EXPECT_TRUE(Walk(
        // It opens at the folder shown, its tree focused; the next folder
        // down is taken.
        {{[&] {
              picker = OwnedDialog(form->Handle());
              return picker && selected() == L"copies" &&
                     GetFocus() == FindWindowExW(picker, nullptr, WC_TREEVIEWW, nullptr);
          },
          [] { PressKeys({VK_DOWN}); }},
         {[&] { return selected() == L"originals"; }, [] { PressKeys({VK_RETURN}); }},
         {[&] {
              preview = ShownDialog(L"変更の確認");
              list = preview ? FindWindowExW(preview, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
              return list && IsWindowEnabled(GetDlgItem(preview, IDOK));
          },
          [&] {
              EXPECT_EQ(TextOf(FindWindowExW(preview, nullptr, L"Static", nullptr)),
                        L"変更: 999個 / 変更しない: 3個");
              const std::vector<std::wstring> columns = ColumnsOf(list);
              ASSERT_EQ(columns.size(), 10u);
              EXPECT_EQ(columns[8], L"変更しない理由");
              EXPECT_EQ(columns[9], L"元のファイル");
              std::map<std::wstring, std::pair<std::wstring, std::wstring>> rows;
              for (int row = 0; row < ListView_GetItemCount(list); ++row)
                  rows[CellOf(list, row, 0)] = {CellOf(list, row, 8), CellOf(list, row, 9)};
              EXPECT_EQ(rows[L"p0950.jpg"].second, originals + L"\\sub9\\p0950.jpg");
              EXPECT_EQ(rows[L"p0950.jpg"].first, L"");
              EXPECT_EQ(rows[L"p0400.jpg"].first, L"大きさが違います");
              EXPECT_EQ(rows[L"twin.jpg"].first, L"候補が複数あります");
              EXPECT_EQ(rows[L"lone.jpg"].first, L"対応するファイルがありません");
              PressKeys({VK_RETURN});
          }}},
        [] {
            PressKeys({VK_MENU, 'O'});
            PressKeys({'O'});
        }));
    ASSERT_EQ(boxes.size(), 1u);
    const std::wstring& report = boxes[0].text;
    EXPECT_TRUE(report.starts_with(
        L"999個のファイルのタイムスタンプを別のフォルダに合わせました。\n\n次のファイルは変更しま"
        L"せんでした:\n"))
        << ToUtf8(report);
    for (const wchar_t* line : {L"p0400.jpg: 大きさが違います", L"twin.jpg: 候補が複数あります",
                                L"lone.jpg: 対応するファイルがありません"})
        EXPECT_NE(report.find(line), std::wstring::npos) << ToUtf8(line);
    expectTimes(true);
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(PumpUntil([&] { return boxes.size() == 2; }));
    EXPECT_EQ(boxes[1].text, L"999個のファイルのタイムスタンプを元に戻しました。");
    expectTimes(false);
}
