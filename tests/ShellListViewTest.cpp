#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"
#include "core/FileTimeWriter.h"
#include "core/RunTimestampChange.h"
#include "tests/support/Input.h"
#include "tests/support/Leaks.h"
#include "tests/support/Pump.h"
#include "tests/support/ShellHost.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestFiles.h"
#include "ui/Scopes.h"
#include "win/Error.h"

#include <gtest/gtest.h>

using namespace kalvera;
using namespace kalvera::test;

namespace {

class ShellListViewTest : public ::testing::Test {
protected:
    HostWindow host;
    TempDir dir;
    TShellListView list;
    FailureRecorder failures;

    void SetUp() override {
        list.SetParentWindow(host.Handle());
        list.SetBounds(0, 0, 600, 440);
        list.Handle();
    }
    // A folder with two subfolders and three files, named out of order.
    void MakeMixedFolder() {
        dir.MakeDir(L"b_dir");
        dir.MakeDir(L"A_dir");
        dir.MakeFile(L"c.txt");
        dir.MakeFile(L"B.txt");
        dir.MakeFile(L"a.txt");
    }
    std::vector<std::wstring> Names() {
        std::vector<std::wstring> names;
        for (int i = 0; i < list.Count(); ++i)
            names.push_back(list.ItemAt(i)->InFolderName());
        return names;
    }
    int RowOf(const std::wstring& name) {
        for (int i = 0; i < list.Count(); ++i)
            if (list.ItemAt(i)->InFolderName() == name)
                return i;
        return -1;
    }
    std::wstring RootPath() { return list.RootItem()->ParsingName(); }
    // The list holds the folder's rows: its reading thread may start late
    // on a busy machine, after the fill's own wait.
    void Filled() {
        ASSERT_TRUE(PumpUntil([&] { return !list.Filling(); }, 120'000));
    }
    void Key(WORD key, bool alt = false) {
        SendMessageW(list.Handle(), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, alt ? 1 << 29 : 0);
    }
    // The find request as the control sends it for type-ahead (how a
    // control version turns LVM_FINDITEM's start into iStart varies).
    int Find(const wchar_t* text, int start, bool wrap) {
        NMLVFINDITEMW find{};
        find.hdr = {list.Handle(), 0, LVN_ODFINDITEMW};
        find.iStart = start;
        find.lvfi.flags = LVFI_PARTIAL | (wrap ? LVFI_WRAP : 0);
        find.lvfi.psz = text;
        return static_cast<int>(
            SendMessageW(host.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&find)));
    }
};

} // namespace

TEST_F(ShellListViewTest, FoldersFirstThenFilesEachInTheShellsOrder) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    EXPECT_EQ(Names(),
              (std::vector<std::wstring>{L"A_dir", L"b_dir", L"a.txt", L"B.txt", L"c.txt"}));
    EXPECT_EQ(ListView_GetItemCount(list.Handle()), 5);
    EXPECT_EQ(list.Root(), dir.Path());

    list.SetSorted(false);
    auto root = RootOf(dir.Path());
    std::vector<std::wstring> enumerated;
    for (auto& child : ChildrenOf(*root))
        enumerated.push_back(child->InFolderName());
    EXPECT_EQ(Names(), enumerated);
}

TEST_F(ShellListViewTest, ObjectTypesAndTheAddFolderVeto) {
    MakeMixedFolder();
    // Wine shows names starting with a dot as hidden.
    const std::wstring hidden = dir.MakeFile(L".hidden");
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    list.SetRoot(dir.Path());
    Filled();
    EXPECT_EQ(list.Count(), 5);
    list.SetObjectTypes({otFolders});
    Filled();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"A_dir", L"b_dir"}));
    list.SetObjectTypes({otFolders, otNonFolders, otHidden});
    Filled();
    EXPECT_EQ(list.Count(), 6);
    EXPECT_GE(RowOf(L".hidden"), 0);
    list.SetObjectTypes({});
    Filled();
    EXPECT_EQ(list.Count(), 0);

    list.SetObjectTypes({otFolders, otNonFolders});
    Filled();
    list.OnAddFolder = [](TCustomShellListView&, TShellFolder& item, bool& canAdd) {
        canAdd = item.InFolderName() != L"B.txt";
    };
    list.Reload();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"A_dir", L"b_dir", L"a.txt", L"c.txt"}));
    EXPECT_EQ(ListView_GetItemCount(list.Handle()), 4);
}

TEST_F(ShellListViewTest, RootTextsAndTheirErrors) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    int fills = 0;
    list.OnAddFolder = [&](TCustomShellListView&, TShellFolder&, bool&) { ++fills; };
    std::wstring upper = dir.Path();
    for (auto& c : upper)
        c = towupper(c);
    list.SetRoot(upper);
    EXPECT_EQ(fills, 0);
    EXPECT_EQ(list.Root(), dir.Path());

    try {
        list.SetRoot(dir.Child(L"missing"));
        ADD_FAILURE() << "no error";
    } catch (const InvalidPathError& e) {
        EXPECT_EQ(e.Message(), L"Error setting path: \"" + dir.Child(L"missing") + L"\"");
    }
    EXPECT_EQ(list.Root(), dir.Path());
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(RootPath(), dir.Path());

    try {
        list.ItemAt(5);
        ADD_FAILURE() << "no error";
    } catch (const ListIndexError& e) {
        EXPECT_EQ(e.Message(), L"リストのインデックスが範囲を超えています (5)");
    }
    EXPECT_THROW(list.ItemAt(-1), ListIndexError);
}

TEST_F(ShellListViewTest, KeysNavigate) {
    MakeMixedFolder();
    list.SetRoot(L"rfDesktop");
    const int desktopRows = list.Count();
    Key(VK_BACK);
    EXPECT_EQ(list.Count(), desktopRows);
    EXPECT_EQ(IdListCount(list.RootItem()->AbsoluteIdList()), 0);

    list.SetRoot(dir.Path());
    list.SetItemIndex(RowOf(L"b_dir"));
    Key(VK_RETURN);
    EXPECT_EQ(RootPath(), dir.Child(L"b_dir"));
    EXPECT_EQ(list.Root(), dir.Path());
    Key(VK_BACK);
    EXPECT_EQ(RootPath(), dir.Path());

    // Alt+Enter without a row does nothing and is consumed.
    list.SetItemIndex(-1);
    EXPECT_EQ(SendMessageW(list.Handle(), WM_SYSKEYDOWN, VK_RETURN, 1 << 29), 0);
    EXPECT_EQ(RootPath(), dir.Path());

    // A handler that clears the key stops the navigation.
    list.OnKeyDown = [](WORD& key, bool) { key = 0; };
    Key(VK_BACK);
    EXPECT_EQ(RootPath(), dir.Path());
}

TEST_F(ShellListViewTest, BackspaceWhileEditingALabelStays) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    list.SetItemIndex(RowOf(L"a.txt"));
    list.BeginRename();
    HWND edit = ListView_GetEditControl(list.Handle());
    ASSERT_TRUE(edit);
    Key(VK_BACK);
    EXPECT_EQ(RootPath(), dir.Path());
    SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    PumpFor(20);
    EXPECT_TRUE(IsExistingFile(dir.Child(L"a.txt")));
}

TEST_F(ShellListViewTest, DoubleClickOnAFolderMovesRootAndTellsPartnersInOrder) {
    MakeMixedFolder();
    std::vector<std::wstring> log;
    PartnerRecorder tree("tree"), combo("combo");
    tree.log = combo.log = &log;
    list.SetRoot(dir.Path());
    list.SetShellTreeView(&tree);
    list.SetShellComboBox(&combo);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"tree: root " + dir.Path(), L"tree: link",
                                              L"combo: root " + dir.Path(), L"combo: link"}));
    log.clear();

    const int row = RowOf(L"A_dir");
    list.SetItemIndex(row);
    RECT bounds{};
    bounds.left = LVIR_LABEL;
    SendMessageW(list.Handle(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    const LPARAM at =
        MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list.Handle(), WM_LBUTTONUP, 0, at);
    SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(list.Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(RootPath(), dir.Child(L"A_dir"));
    EXPECT_EQ(list.Root(), dir.Path());
    EXPECT_EQ(log, (std::vector<std::wstring>{L"tree: follow " + dir.Child(L"A_dir"),
                                              L"combo: follow " + dir.Child(L"A_dir")}));

    // Breaking a link tells the partner; destroying one clears the list's link.
    list.SetShellComboBox(nullptr);
    EXPECT_EQ(combo.calls.back(), L"unlink");
    {
        PartnerRecorder shortLived("short");
        list.SetShellComboBox(&shortLived);
    }
    EXPECT_EQ(list.ShellComboBox(), nullptr);
    list.SetShellTreeView(nullptr);
}

TEST_F(ShellListViewTest, PartnersThatCallBackCauseNoEcho) {
    MakeMixedFolder();
    PartnerRecorder tree("tree"), combo("combo");
    list.SetRoot(dir.Path());
    list.SetShellTreeView(&tree);
    list.SetShellComboBox(&combo);
    int fills = 0;
    list.OnAddFolder = [&](TCustomShellListView&, TShellFolder&, bool&) { ++fills; };
    for (PartnerRecorder* partner : {&tree, &combo}) {
        partner->onFollow = [&](const ITEMIDLIST* absolute) { list.FollowIdList(absolute); };
        partner->onRoot = [&](const std::wstring& root) { list.SetRoot(root); };
    }
    tree.calls.clear();
    combo.calls.clear();
    dir.MakeFile(L"b_dir\\inside.txt");

    auto sub = RootOf(dir.Child(L"b_dir"));
    list.FollowIdList(sub->AbsoluteIdList());
    EXPECT_EQ(tree.calls, std::vector<std::wstring>{L"follow " + dir.Child(L"b_dir")});
    EXPECT_EQ(combo.calls, std::vector<std::wstring>{L"follow " + dir.Child(L"b_dir")});
    EXPECT_EQ(fills, 1); // one fill, for the echoes never reach the list
    // Following the folder already shown changes nothing.
    list.FollowIdList(sub->AbsoluteIdList());
    EXPECT_EQ(tree.calls.size(), 1u);
    EXPECT_EQ(fills, 1);

    list.SetRoot(dir.Child(L"A_dir"));
    EXPECT_EQ(tree.calls.back(), L"root " + dir.Child(L"A_dir"));
    EXPECT_EQ(combo.calls.back(), L"root " + dir.Child(L"A_dir"));
    EXPECT_EQ(tree.calls.size(), 2u);
    EXPECT_EQ(combo.calls.size(), 2u);
}

TEST_F(ShellListViewTest, F5KeepsTheSelectedPositionOrClearsIt) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    list.SetItemIndex(4);
    Key(VK_F5);
    EXPECT_EQ(list.ItemIndex(), 4);
    EXPECT_EQ(list.SelectedItem()->InFolderName(), L"c.txt");

    DeleteFileW(dir.Child(L"c.txt").c_str());
    Key(VK_F5);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.ItemIndex(), -1);
}

TEST_F(ShellListViewTest, TypeAheadFindsRowsWithAndWithoutWrapping) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    // Rows: A_dir b_dir a.txt B.txt c.txt
    EXPECT_EQ(Find(L"c", 0, false), 4);
    EXPECT_EQ(Find(L"b", 0, false), 1);
    EXPECT_EQ(Find(L"b", 2, false), 3);
    EXPECT_EQ(Find(L"a_", 1, false), -1);
    EXPECT_EQ(Find(L"a_", 1, true), 0);
    EXPECT_EQ(Find(L"a.T", 3, true), 2);
    EXPECT_EQ(Find(L"zzz", 0, true), -1);
    EXPECT_EQ(Find(L"c", 5, true), 4);
    EXPECT_EQ(Find(L"", 0, true), -1);
    // Through the control itself.
    LVFINDINFOW find{LVFI_STRING | LVFI_PARTIAL, L"c.", 0, {}, 0};
    EXPECT_EQ(SendMessageW(list.Handle(), LVM_FINDITEMW, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(&find)),
              4);
}

TEST_F(ShellListViewTest, ReportViewBuildsColumnsAndKeepsThemAfterwards) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    EXPECT_EQ(list.ColumnCount(), 0);
    list.SetViewStyle(vsReport);
    const int columns = list.ColumnCount();
    EXPECT_GE(columns, 4); // name, size, type, modified at least
    // A row's texts come from the shell's detail columns.
    wchar_t text[260] = L"";
    ListView_GetItemText(list.Handle(), RowOf(L"a.txt"), 0, text, 260);
    EXPECT_STREQ(text, L"a.txt");
    list.SetViewStyle(vsSmallIcon);
    EXPECT_EQ(list.ColumnCount(), columns);
    EXPECT_EQ(GetWindowLongPtrW(list.Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_SMALLICON);
    list.SetViewStyle(vsReport);
    EXPECT_EQ(list.ColumnCount(), columns);

    // A file gone since the fill shows blank details, and no error.
    list.SetItemIndex(-1);
    const int row = RowOf(L"c.txt");
    DeleteFileW(dir.Child(L"c.txt").c_str());
    ListView_GetItemText(list.Handle(), row, 1, text, 260);
    PumpFor(20);
    EXPECT_TRUE(failures.messages.empty());
}

TEST_F(ShellListViewTest, InPlaceRenameRenamesOnDiskAndKeepsTheRow) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    const int row = RowOf(L"a.txt");
    list.SetItemIndex(row);
    list.BeginRename();
    HWND edit = ListView_GetEditControl(list.Handle());
    ASSERT_TRUE(edit);
    SetWindowTextW(edit, L"zz 한.txt");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    PumpFor(20);
    EXPECT_TRUE(IsExistingFile(dir.Child(L"zz 한.txt")));
    EXPECT_FALSE(IsExistingFile(dir.Child(L"a.txt")));
    EXPECT_EQ(list.ItemAt(row)->InFolderName(), L"zz 한.txt");
    EXPECT_TRUE(failures.messages.empty());

    // Refused: the name is taken. The error is shown and the old name stays.
    list.SetItemIndex(row);
    list.BeginRename();
    edit = ListView_GetEditControl(list.Handle());
    ASSERT_TRUE(edit);
    SetWindowTextW(edit, L"B.txt");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    PumpFor(20);
    EXPECT_EQ(failures.messages,
              std::vector<std::wstring>{L"B.txt に名前を変更できませんでした。"});
    EXPECT_EQ(list.ItemAt(row)->InFolderName(), L"zz 한.txt");
}

TEST_F(ShellListViewTest, VerbHookRenamesAndReloads) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    list.SetItemIndex(RowOf(L"a.txt"));
    bool handled = false;
    list.BeforeVerb(L"Rename", handled);
    EXPECT_TRUE(handled);
    EXPECT_TRUE(ListView_GetEditControl(list.Handle()));
    SendMessageW(ListView_GetEditControl(list.Handle()), WM_KEYDOWN, VK_ESCAPE, 0);

    dir.MakeFile(L"new.txt");
    list.AfterVerb(L"paste", false);
    EXPECT_EQ(list.Count(), 5);
    list.AfterVerb(L"PASTE", true);
    EXPECT_EQ(list.Count(), 6);

    // "open" runs in the item's folder and the folder is set back after.
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    handled = false;
    list.BeforeVerb(L"open", handled);
    EXPECT_FALSE(handled);
    wchar_t during[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, during);
    EXPECT_EQ(std::wstring(during) + L"\\", dir.Path() + L"\\");
    list.AfterVerb(L"open", true);
    wchar_t after[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(after, before);
}

TEST_F(ShellListViewTest, AutoRefreshReloadsOnChange) {
    list.SetRoot(dir.Path());
    list.SetAutoRefresh(true);
    ASSERT_TRUE(list.ChangeNotifier());
    EXPECT_EQ(list.ChangeNotifier()->Root(), dir.Path());
    EXPECT_FALSE(list.ChangeNotifier()->WatchSubTree());
    PumpFor(100);
    dir.MakeFile(L"appears.txt");
    EXPECT_TRUE(PumpUntil([&] { return list.Count() == 1; }));
    list.SetAutoRefresh(false);
    EXPECT_EQ(list.ChangeNotifier(), nullptr);
}

// Rows that come in steps (parts of two): none shows until all are in,
// then each shows its own name and icon in the shell's order. A change
// noticed meanwhile reads the folder again afterwards, and what waited for
// the rows runs on the rows read again.
TEST_F(ShellListViewTest, AFillInStepsEndsWithEachRowsOwnNameAndIcon) {
    MakeMixedFolder();
    dir.MakeFile(L"d.bmp");
    dir.MakeFile(L"e.bat");
    struct Steps {
        DWORD wait = TShellListView::SetFillWait(0);
        Steps() { FolderReader::SetPartSize(2); }
        ~Steps() { TShellListView::SetFillWait(wait), FolderReader::SetPartSize(50'000); }
    } steps;
    std::vector<std::pair<size_t, bool>> progress;
    list.OnFillProgress = [&](size_t found, bool done) { progress.push_back({found, done}); };
    list.SetViewStyle(vsReport);
    list.SetRoot(dir.Path());
    ASSERT_TRUE(list.Filling());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.ColumnCount(), 0); // they come with the folder's object
    ASSERT_FALSE(progress.empty());
    EXPECT_FALSE(progress.back().second);
    int selectedWhenFilled = -2;
    list.WhenFilled([&] { selectedWhenFilled = list.Count(); });
    dir.MakeFile(L"f.txt");
    list.Reload();
    ASSERT_TRUE(PumpUntil([&] { return !list.Filling() && list.Count() == 8; }));
    EXPECT_EQ(selectedWhenFilled, 8);
    EXPECT_EQ(progress.back(), (std::pair<size_t, bool>{8, true}));
    const std::vector<std::wstring> sorted{L"A_dir", L"b_dir", L"a.txt", L"B.txt",
                                           L"c.txt", L"d.bmp", L"e.bat", L"f.txt"};
    for (int row = 0; row < 8; ++row) {
        wchar_t text[64] = L"";
        LVITEMW item{LVIF_TEXT | LVIF_IMAGE, row, 0, 0, 0, text, 64};
        ListView_GetItem(list.Handle(), &item);
        SHFILEINFOW info{};
        SHGetFileInfoW(dir.Child(sorted[size_t(row)]).c_str(), 0, &info, sizeof info,
                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        EXPECT_EQ(list.ItemAt(row)->InFolderParsingName(), sorted[size_t(row)]) << row;
        EXPECT_EQ(std::wstring(text), list.ItemAt(row)->InFolderName()) << row;
        EXPECT_EQ(item.iImage, info.iIcon) << row;
    }
    // Then the details view has the folder's columns that are on by
    // default, each with its own title, and no other; so has the trash,
    // whose fourth column is not on by default.
    auto expectDefaultColumns = [&](IShellFolder* shown) {
        std::vector<std::wstring> defaults, titles;
        ComPtr<IShellFolder2> folder = ComPtr<IShellFolder>::Share(shown).as<IShellFolder2>();
        ASSERT_TRUE(folder);
        SHELLDETAILS details{};
        for (UINT column = 0; folder->GetDetailsOf(nullptr, column, &details) == S_OK; ++column) {
            SHCOLSTATEF state = 0;
            folder->GetDefaultColumnState(column, &state);
            const std::wstring title = StrRetToText(nullptr, details.str);
            if (!(state & SHCOLSTATE_ONBYDEFAULT))
                break;
            defaults.push_back(title);
        }
        for (int column = 0; column < list.ColumnCount(); ++column) {
            wchar_t title[64] = L"";
            LVCOLUMNW info{LVCF_TEXT, 0, 0, title, 64};
            ListView_GetColumn(list.Handle(), column, &info);
            titles.push_back(title);
        }
        EXPECT_FALSE(defaults.empty());
        EXPECT_EQ(titles, defaults);
    };
    expectDefaultColumns(RootOf(dir.Path())->FolderInterface());
    list.SetRoot(L"rfRecycleBin");
    expectDefaultColumns(list.RootItem()->FolderInterface());
}

TEST(FolderPartOf, KeepsTheLastSeparatorOrColon) {
    EXPECT_EQ(FolderPartOf(L"C:\\a\\b.txt"), L"C:\\a\\");
    EXPECT_EQ(FolderPartOf(L"C:b.txt"), L"C:");
    EXPECT_EQ(FolderPartOf(L"name"), L"");
}

// The desktop mixes virtual objects with folders and files: its rows must
// still stand in the shell's own order, pair by pair.
TEST_F(ShellListViewTest, DesktopRowsFollowTheShellsComparison) {
    list.SetRoot(L"rfMyComputer");
    list.SetRoot(L"rfDesktop");
    ASSERT_GT(list.Count(), 1);
    IShellFolder* desktop = list.RootItem()->FolderInterface();
    for (int i = 1; i < list.Count(); ++i) {
        TShellFolder* a = list.ItemAt(i - 1);
        TShellFolder* b = list.ItemAt(i);
        ASSERT_GE(a->IsFolderItem(), b->IsFolderItem());
        if (a->IsFolderItem() == b->IsFolderItem()) {
            const HRESULT hr = desktop->CompareIDs(0, AsRelative(a->RelativeIdList()),
                                                   AsRelative(b->RelativeIdList()));
            EXPECT_LE(static_cast<short>(HRESULT_CODE(hr)), 0)
                << ToUtf8(a->InFolderName()) << " / " << ToUtf8(b->InFolderName());
        }
    }
}

TEST_F(ShellListViewTest, KeyboardContextPopupUsesTheRowCentreOrNoPosition) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    std::vector<POINT> popups;
    list.OnContextPopup = [&](POINT at) { popups.push_back(at); };
    SendMessageW(list.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list.Handle()), -1);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].x, -1);
    EXPECT_EQ(popups[0].y, -1);

    // With shell menus off, a selected row gives its centre to the popup.
    list.SetAutoContextMenus(false);
    const int row = RowOf(L"B.txt");
    list.SetItemIndex(row);
    RECT bounds{};
    bounds.left = LVIR_SELECTBOUNDS;
    SendMessageW(list.Handle(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    SendMessageW(list.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list.Handle()), -1);
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[1].x, (bounds.left + bounds.right) / 2);
    EXPECT_EQ(popups[1].y, (bounds.top + bounds.bottom) / 2);
    EXPECT_EQ(GetFocus(), list.Handle());

    // A right click gives the point under the pointer, in the list's own
    // coordinates, where a menu of the row opens too.
    const POINT clicked{bounds.left + 3, bounds.top + 2};
    ClickAt(list.Handle(), clicked, true);
    ASSERT_TRUE(PumpUntil([&] { return popups.size() == 3; }));
    EXPECT_EQ(popups[2].x, clicked.x);
    EXPECT_EQ(popups[2].y, clicked.y);
}

// In a window that runs dialog keyboard handling, Enter still reaches the
// list and opens the folder row.
TEST_F(ShellListViewTest, EnterIsWantedUnderDialogKeyHandling) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    list.SetItemIndex(RowOf(L"b_dir"));
    MSG msg{list.Handle(), WM_KEYDOWN, VK_RETURN, 0};
    EXPECT_TRUE(
        SendMessageW(list.Handle(), WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&msg)) &
        DLGC_WANTMESSAGE);
    SetFocus(list.Handle());
    IsDialogMessageW(host.Handle(), &msg);
    EXPECT_EQ(RootPath(), dir.Child(L"b_dir"));
}

// A new window goes back to the folder that Root names, whatever the list
// navigated to since.
TEST_F(ShellListViewTest, RecreatedWindowReturnsToTheRootFolder) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    list.SetItemIndex(RowOf(L"A_dir"));
    Key(VK_RETURN);
    ASSERT_EQ(RootPath(), dir.Child(L"A_dir"));
    list.RecreateWnd();
    EXPECT_EQ(RootPath(), dir.Path());
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(ListView_GetItemCount(list.Handle()), 5);
}

// Right after the first fill of a folder, in every view, each row has a
// place of its own inside the list: none hides under another.
TEST_F(ShellListViewTest, EveryRowHasItsOwnPlaceRightAfterAFill) {
    MakeMixedFolder();
    for (TViewStyle style : {vsSmallIcon, vsIcon, vsList, vsReport}) {
        TShellListView fresh;
        fresh.SetParentWindow(host.Handle());
        fresh.SetBounds(0, 0, 600, 440);
        fresh.SetViewStyle(style);
        fresh.Handle();
        fresh.NavigateToIdList(RootOf(dir.Path())->AbsoluteIdList());
        ASSERT_EQ(fresh.Count(), 5);
        std::vector<RECT> rects;
        for (int row = 0; row < 5; ++row) {
            RECT r{};
            r.left = LVIR_BOUNDS;
            SendMessageW(fresh.Handle(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
            rects.push_back(r);
        }
        for (int a = 0; a < 5; ++a) {
            EXPECT_GE(rects[a].left, 0) << style << " row " << a;
            EXPECT_GE(rects[a].top, 0) << style << " row " << a;
            for (int b = a + 1; b < 5; ++b) {
                RECT overlap;
                EXPECT_FALSE(IntersectRect(&overlap, &rects[a], &rects[b]))
                    << "view " << style << ": rows " << a << " and " << b;
            }
        }
    }
}

// F5 selects the same file again wherever it now stands, or nothing: never
// another file that came to its old place.
TEST_F(ShellListViewTest, F5SelectsTheSameFileWhereverItNowStands) {
    dir.MakeFile(L"a1.txt");
    dir.MakeFile(L"a2.txt");
    dir.MakeFile(L"a3.txt");
    list.SetRoot(dir.Path());
    list.SetItemIndex(RowOf(L"a2.txt"));
    ASSERT_EQ(list.ItemIndex(), 1);
    DeleteFileW(dir.Child(L"a1.txt").c_str());
    Key(VK_F5);
    ASSERT_GE(list.ItemIndex(), 0);
    EXPECT_EQ(list.SelectedItem()->InFolderName(), L"a2.txt");
    EXPECT_EQ(list.ItemIndex(), 0);
    dir.MakeFile(L"a0.txt");
    Key(VK_F5);
    EXPECT_EQ(list.SelectedItem()->InFolderName(), L"a2.txt");
    DeleteFileW(dir.Child(L"a2.txt").c_str());
    Key(VK_F5);
    EXPECT_EQ(list.ItemIndex(), -1);
}

// A reload while a label is being edited ends the edit without renaming:
// committed afterwards it would rename whatever row then stood there.
TEST_F(ShellListViewTest, ReloadDuringALabelEditRenamesNothing) {
    MakeMixedFolder();
    list.SetRoot(dir.Path());
    list.SetItemIndex(RowOf(L"c.txt"));
    list.BeginRename();
    HWND edit = ListView_GetEditControl(list.Handle());
    ASSERT_TRUE(edit);
    SetWindowTextW(edit, L"renamed.txt");
    dir.MakeFile(L"0-first.txt"); // the rows move down by one
    list.Reload();
    EXPECT_EQ(ListView_GetEditControl(list.Handle()), nullptr);
    if (IsWindow(edit))
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    PumpFor(20);
    EXPECT_FALSE(IsExistingFile(dir.Child(L"renamed.txt")));
    for (const wchar_t* name : {L"a.txt", L"B.txt", L"c.txt", L"0-first.txt"})
        EXPECT_TRUE(IsExistingFile(dir.Child(name))) << ToUtf8(name);
}

// Batch updates nest: an inner one ending leaves redrawing off until the
// outer one ends.
TEST(BatchUpdate, OnlyTheOutermostTurnsRedrawingBackOn) {
    HostWindow host;
    auto redrawing = [&] {
        return (GetWindowLongPtrW(host.Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
    };
    ASSERT_TRUE(redrawing());
    {
        BatchUpdate outer(host.Handle());
        EXPECT_FALSE(redrawing());
        { BatchUpdate inner(host.Handle()); }
        EXPECT_FALSE(redrawing());
    }
    EXPECT_TRUE(redrawing());
}

// Going back and forth between two folders hundreds of times leaves neither
// memory nor handles behind; the measure is shown to see a leak of a few
// bytes per row.
TEST_F(ShellListViewTest, NavigatingBackAndForthLeaksNothing) {
    const std::wstring first = dir.MakeDir(L"first"), second = dir.MakeDir(L"second");
    for (int i = 0; i < 20; ++i) {
        dir.MakeFile(L"first\\f" + std::to_wstring(i) + L".txt");
        dir.MakeFile(L"second\\s" + std::to_wstring(i) + L".txt");
    }
    const auto a = RootOf(first), b = RootOf(second);
    auto backAndForth = [&] {
        list.NavigateToIdList(a->AbsoluteIdList());
        list.NavigateToIdList(b->AbsoluteIdList());
    };
    const Growth growth = GrowthOver(100, backAndForth);
    EXPECT_EQ(list.Count(), 20);
    EXPECT_LT(growth.heapBytes, 60'000);
    EXPECT_LE(growth.handles, 2);

    std::vector<std::unique_ptr<char[]>> kept;
    list.OnAddFolder = [&](TCustomShellListView&, TShellFolder&, bool&) {
        kept.push_back(std::make_unique<char[]>(48));
    };
    EXPECT_GT(GrowthOver(100, backAndForth).heapBytes, 60'000);
}
