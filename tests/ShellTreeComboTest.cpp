#include "ShellCtrls/ShellComboBox.h"
#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"
#include "ShellCtrls/ShellTreeView.h"
#include "tests/support/Leaks.h"
#include "tests/support/Input.h"
#include "tests/support/Pump.h"
#include "tests/support/ShellHost.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestFiles.h"
#include "win/Error.h"

#include <gtest/gtest.h>

using namespace kalvera;
using namespace kalvera::test;

namespace {

// A folder right below C:, so that its depth below the drive is known.
class DriveFolder {
public:
    DriveFolder() {
        path_ = L"C:\\kalvera-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter_);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~DriveFolder() { RemoveTree(path_); }
    const std::wstring& Path() const { return path_; }
    std::wstring MakeDir(const std::wstring& relative) {
        std::wstring path = path_ + L"\\" + relative;
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }

private:
    std::wstring path_;
    static inline int counter_ = 0;
};

std::wstring PathOf(const TShellFolder* item) {
    return item ? item->ParsingName() : L"(none)";
}

// The three controls linked as the main window links them, loaded in the
// same order.
class LinkedControls : public ::testing::Test {
protected:
    HostWindow host{800, 600};
    TShellComboBox combo;
    TShellTreeView tree;
    TShellListView list;
    FailureRecorder failures;
    int listFills = 0;   // rows added, through the list's veto hook
    int comboBuilds = 0; // top-level entries added, through the icon hook

    void SetUp() override {
        for (Control* c : std::initializer_list<Control*>{&combo, &tree, &list}) {
            c->BeginLoading();
            c->SetParentWindow(host.Handle());
        }
        combo.SetBounds(0, 0, 600, 21);
        tree.SetBounds(0, 30, 250, 500);
        list.SetBounds(260, 30, 500, 500);
        combo.SetShellTreeView(&tree);
        combo.SetShellListView(&list);
        tree.SetShellComboBox(&combo);
        tree.SetShellListView(&list);
        list.SetShellTreeView(&tree);
        list.SetShellComboBox(&combo);
        list.OnAddFolder = [this](TCustomShellListView&, TShellFolder&, bool&) { ++listFills; };
        combo.OnGetImageIndex = [this](TCustomShellComboBox&, int, int&) { ++comboBuilds; };
        combo.Loaded();
        tree.Loaded();
        list.Loaded();
    }
    std::vector<std::wstring> ChildTexts(HTREEITEM node) {
        std::vector<std::wstring> texts;
        for (HTREEITEM c = TreeView_GetChild(tree.Handle(), node); c;
             c = TreeView_GetNextSibling(tree.Handle(), c))
            texts.push_back(tree.TextOf(c));
        return texts;
    }
    HTREEITEM SelectedNode() { return TreeView_GetSelection(tree.Handle()); }
    HTREEITEM NodeFor(const std::wstring& path) {
        auto item = RootOf(path);
        return tree.FindNodeByIdList(item->AbsoluteIdList(), tree.FirstNode());
    }
    void ChooseComboEntry(int index) {
        combo.SetItemIndex(index);
        SendMessageW(host.Handle(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo.Handle()));
    }
    int ComboIndexOf(const std::wstring& path) {
        auto item = RootOf(path);
        return combo.IndexOfIdList(item->AbsoluteIdList());
    }
};

} // namespace

TEST(ShellTreeComboDefaults, FreshControls) {
    TShellTreeView tree;
    EXPECT_EQ(tree.Root(), L"rfDesktop");
    EXPECT_EQ(tree.ObjectTypes(), TShellObjectTypes{otFolders});
    EXPECT_TRUE(tree.RightClickSelect());
    EXPECT_FALSE(tree.ShowRoot());
    EXPECT_TRUE(tree.AutoContextMenus());
    EXPECT_TRUE(tree.UseShellImages());
    EXPECT_FALSE(tree.AutoRefresh());
    ASSERT_TRUE(tree.ChangeNotifier());
    EXPECT_FALSE(tree.ChangeNotifier()->HasWatcher());

    TShellComboBox combo;
    EXPECT_EQ(combo.Root(), L"rfDesktop");
    EXPECT_EQ(combo.ObjectTypes(), TShellObjectTypes{otFolders});
    EXPECT_TRUE(combo.UseShellImages());
    EXPECT_EQ(combo.Count(), 0);
    EXPECT_EQ(combo.DropDownCount(), 8);
}

TEST_F(LinkedControls, AfterLoadingTheDesktopIsShownEverywhere) {
    HTREEITEM top = tree.FirstNode();
    ASSERT_TRUE(top);
    EXPECT_EQ(TreeView_GetNextSibling(tree.Handle(), top), nullptr);
    EXPECT_EQ(SelectedNode(), top);
    EXPECT_TRUE(tree.IsExpanded(top));
    EXPECT_EQ(IdListCount(tree.ItemOf(top)->AbsoluteIdList()), 0);
    // Children: the desktop's folders in the shell's order.
    std::vector<std::wstring> expected;
    {
        auto desktop = RootOf(L"rfDesktop");
        std::vector<std::unique_ptr<TShellFolder>> folders = ChildrenOf(*desktop, SHCONTF_FOLDERS);
        std::sort(folders.begin(), folders.end(), [&](const auto& a, const auto& b) {
            return static_cast<short>(HRESULT_CODE(desktop->FolderInterface()->CompareIDs(
                       0, AsRelative(a->RelativeIdList()), AsRelative(b->RelativeIdList())))) < 0;
        });
        for (auto& f : folders)
            expected.push_back(f->InFolderName());
    }
    EXPECT_EQ(ChildTexts(top), expected);

    // Combo: desktop at 0, its folders at 1, My Computer's children at 2
    // right below it.
    ASSERT_GT(combo.Count(), 2);
    EXPECT_EQ(combo.ItemIndex(), 0);
    EXPECT_EQ(combo.IndentOf(0), 0);
    IdList computer;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, computer.put_abs());
    const int computerIndex = combo.IndexOfIdList(computer.get());
    ASSERT_GT(computerIndex, 0);
    EXPECT_EQ(combo.IndentOf(computerIndex), 1);
    EXPECT_EQ(combo.IndentOf(computerIndex + 1), 2);
    EXPECT_EQ(PathOf(combo.ItemAt(ComboIndexOf(L"C:\\"))), L"C:\\");
    int topLevels = 0;
    for (int i = 1; i < combo.Count(); ++i)
        topLevels += combo.IndentOf(i) == 1;
    EXPECT_EQ(topLevels, static_cast<int>(expected.size()));
    // The list shows the desktop too.
    EXPECT_EQ(IdListCount(list.RootItem()->AbsoluteIdList()), 0);
    EXPECT_TRUE(failures.messages.empty());
}

TEST_F(LinkedControls, NavigatingTheListThreeLevelsBelowADrive) {
    DriveFolder drive;
    const std::wstring deep = drive.MakeDir(L"one");
    const std::wstring target = drive.MakeDir(L"one\\two");
    CloseHandle(CreateFileW((target + L"\\f.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                            nullptr));
    listFills = comboBuilds = 0;
    auto item = RootOf(target);
    const long enumerationsBefore = FolderEnumerations();
    list.NavigateToIdList(item->AbsoluteIdList());
    const long enumerations = FolderEnumerations() - enumerationsBefore;

    EXPECT_EQ(PathOf(list.RootItem()), target);
    EXPECT_EQ(PathOf(tree.SelectedItem()), target);
    for (const std::wstring& ancestor : {drive.Path(), deep})
        EXPECT_TRUE(tree.IsExpanded(NodeFor(ancestor))) << ToUtf8(ancestor);
    const int c = ComboIndexOf(L"C:\\");
    EXPECT_EQ(combo.IndentOf(c), 2);
    EXPECT_EQ(PathOf(combo.ItemAt(c + 1)), drive.Path());
    EXPECT_EQ(combo.IndentOf(c + 1), 3);
    EXPECT_EQ(PathOf(combo.ItemAt(c + 2)), deep);
    EXPECT_EQ(combo.IndentOf(c + 2), 4);
    EXPECT_EQ(PathOf(combo.ItemAt(c + 3)), target);
    EXPECT_EQ(combo.IndentOf(c + 3), 5);
    EXPECT_EQ(combo.ItemIndex(), c + 3);
    // One user action: one fill of the list (its one file added once), one
    // rebuild of the combo box's top levels, and no folder enumerated twice:
    // at most the tree's new ancestors (C:, the drive folder, one), the
    // target and the combo box's two top levels.
    EXPECT_EQ(listFills, 1);
    const int topLevelEntries = comboBuilds;
    EXPECT_GT(topLevelEntries, 0);
    EXPECT_GE(enumerations, 3);
    EXPECT_LE(enumerations, 7);

    // Following the folder already shown changes nothing anywhere.
    comboBuilds = listFills = 0;
    const long idle = FolderEnumerations();
    tree.FollowIdList(item->AbsoluteIdList());
    combo.FollowIdList(item->AbsoluteIdList());
    list.FollowIdList(item->AbsoluteIdList());
    EXPECT_EQ(comboBuilds, 0);
    EXPECT_EQ(listFills, 0);
    EXPECT_EQ(FolderEnumerations(), idle);

    // Following a drive inserts no path entry and selects it.
    auto cDrive = RootOf(L"C:\\");
    combo.FollowIdList(cDrive->AbsoluteIdList());
    EXPECT_EQ(combo.ItemIndex(), ComboIndexOf(L"C:\\"));
    EXPECT_EQ(combo.IndentOf(combo.ItemIndex() + 1), 2);
}

TEST_F(LinkedControls, SelectingATreeNodeMovesTheOthers) {
    DriveFolder drive;
    drive.MakeDir(L"sub");
    CloseHandle(CreateFileW((drive.Path() + L"\\sub\\g.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, 0, nullptr));
    list.NavigateToIdList(RootOf(drive.Path())->AbsoluteIdList());
    tree.Expand(NodeFor(drive.Path()));
    HTREEITEM sub = NodeFor(drive.Path() + L"\\sub");
    ASSERT_TRUE(sub);
    listFills = comboBuilds = 0;
    TreeView_SelectItem(tree.Handle(), sub);
    EXPECT_EQ(PathOf(list.RootItem()), drive.Path() + L"\\sub");
    EXPECT_EQ(PathOf(combo.ItemAt(combo.ItemIndex())), drive.Path() + L"\\sub");
    EXPECT_EQ(comboBuilds > 0, true);
    const int buildsForOneSelection = comboBuilds;
    EXPECT_EQ(listFills, 1);

    // A file node moves them to its parent folder.
    std::wstring file = drive.Path() + L"\\sub\\f.txt";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    tree.SetObjectTypes({otFolders, otNonFolders});
    list.NavigateToIdList(RootOf(drive.Path())->AbsoluteIdList());
    tree.Expand(NodeFor(drive.Path()));
    HTREEITEM subNode = NodeFor(drive.Path() + L"\\sub");
    ASSERT_TRUE(subNode);
    tree.Expand(subNode);
    HTREEITEM fileNode = TreeView_GetChild(tree.Handle(), subNode);
    ASSERT_TRUE(fileNode);
    comboBuilds = 0;
    TreeView_SelectItem(tree.Handle(), fileNode);
    EXPECT_EQ(PathOf(list.RootItem()), drive.Path() + L"\\sub");
    EXPECT_EQ(PathOf(combo.ItemAt(combo.ItemIndex())), drive.Path() + L"\\sub");
    EXPECT_EQ(comboBuilds, buildsForOneSelection);
}

TEST_F(LinkedControls, ChoosingAComboEntryMovesTreeAndList) {
    const int c = ComboIndexOf(L"C:\\");
    ChooseComboEntry(c);
    EXPECT_EQ(PathOf(list.RootItem()), L"C:\\");
    EXPECT_EQ(PathOf(tree.SelectedItem()), L"C:\\");
    EXPECT_EQ(combo.ItemIndex(), ComboIndexOf(L"C:\\"));
}

TEST_F(LinkedControls, FolderOutsideTheRootClearsTheTreeSelection) {
    DriveFolder drive;
    drive.MakeDir(L"a");
    const std::wstring b = drive.MakeDir(L"b");
    tree.SetRoot(drive.Path() + L"\\a");
    EXPECT_EQ(PathOf(tree.SelectedItem()), drive.Path() + L"\\a");
    EXPECT_EQ(list.Root(), drive.Path() + L"\\a");
    EXPECT_EQ(combo.Root(), drive.Path() + L"\\a");
    tree.FollowIdList(RootOf(b)->AbsoluteIdList());
    EXPECT_EQ(SelectedNode(), nullptr);
}

TEST_F(LinkedControls, RootAsAPathOrInCapitalsLeavesOutMyComputersChildren) {
    IdList computer;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, computer.put_abs());
    combo.SetRoot(L"C:\\");
    EXPECT_EQ(combo.IndentOf(0), 0);
    for (int i = 1; i < combo.Count(); ++i)
        EXPECT_EQ(combo.IndentOf(i), 1);
    combo.SetRoot(L"RFDESKTOP");
    const int computerIndex = combo.IndexOfIdList(computer.get());
    ASSERT_GE(computerIndex, 0);
    EXPECT_NE(combo.IndentOf(computerIndex + 1), 2);
    EXPECT_EQ(tree.Root(), L"RFDESKTOP");
    EXPECT_EQ(list.Root(), L"RFDESKTOP");
}

TEST_F(LinkedControls, MissingRootRaisesAndRebuildsFromThePreviousRoot) {
    DriveFolder drive;
    drive.MakeDir(L"x");
    tree.SetRoot(drive.Path());
    const std::wstring missing = drive.Path() + L"\\missing";
    try {
        tree.SetRoot(missing);
        ADD_FAILURE() << "no error";
    } catch (const InvalidPathError& e) {
        EXPECT_EQ(e.Message(), L"Error setting path: \"" + missing + L"\"");
    }
    EXPECT_EQ(tree.Root(), drive.Path());
    ASSERT_TRUE(tree.FirstNode());
    EXPECT_EQ(PathOf(tree.ItemOf(tree.FirstNode())), drive.Path());
    EXPECT_TRUE(tree.IsExpanded(tree.FirstNode()));
    EXPECT_EQ(SelectedNode(), tree.FirstNode());
    try {
        tree.ItemAt(1000);
        ADD_FAILURE() << "no error";
    } catch (const ListIndexError& e) {
        EXPECT_EQ(e.Message(), L"不正なインデックス");
    }
    EXPECT_EQ(PathOf(tree.ItemAt(0)), drive.Path());
}

TEST_F(LinkedControls, RefreshNodeKeepsExpansionAndShowsNewFolders) {
    DriveFolder drive;
    drive.MakeDir(L"a");
    drive.MakeDir(L"a\\b");
    drive.MakeDir(L"a\\b\\c");
    tree.SetRoot(drive.Path());
    HTREEITEM a = NodeFor(drive.Path() + L"\\a");
    tree.Expand(a);
    tree.Expand(NodeFor(drive.Path() + L"\\a\\b"));
    TreeView_SelectItem(tree.Handle(), NodeFor(drive.Path() + L"\\a\\b"));
    drive.MakeDir(L"a\\new");
    tree.RefreshNode(NodeFor(drive.Path() + L"\\a"));
    EXPECT_TRUE(tree.IsExpanded(NodeFor(drive.Path() + L"\\a")));
    EXPECT_TRUE(tree.IsExpanded(NodeFor(drive.Path() + L"\\a\\b")));
    EXPECT_TRUE(NodeFor(drive.Path() + L"\\a\\new"));
    EXPECT_TRUE(NodeFor(drive.Path() + L"\\a\\b\\c"));
    EXPECT_EQ(PathOf(tree.SelectedItem()), drive.Path() + L"\\a\\b");
}

TEST_F(LinkedControls, ExpandingAFolderWithoutSubfoldersRemovesItsButton) {
    DriveFolder drive;
    drive.MakeDir(L"empty");
    tree.SetRoot(drive.Path());
    HTREEITEM empty = NodeFor(drive.Path() + L"\\empty");
    ASSERT_TRUE(empty);
    tree.Expand(empty);
    EXPECT_FALSE(tree.HasChildrenFlag(empty));

    tree.OnAddFolder = [](TCustomShellTreeView&, TShellFolder& item, bool& canAdd) {
        canAdd = item.InFolderName() != L"vetoed";
    };
    drive.MakeDir(L"vetoed");
    drive.MakeDir(L"kept");
    tree.RefreshNode(tree.FirstNode());
    EXPECT_FALSE(NodeFor(drive.Path() + L"\\vetoed"));
    EXPECT_TRUE(NodeFor(drive.Path() + L"\\kept"));
}

TEST_F(LinkedControls, RenamingAFolderNodeAndDeletingIt) {
    DriveFolder drive;
    drive.MakeDir(L"old name");
    tree.SetRoot(drive.Path());
    HTREEITEM node = NodeFor(drive.Path() + L"\\old name");
    TreeView_SelectItem(tree.Handle(), node);
    SetFocus(tree.Handle());
    PressKeys({VK_F2}); // the selected folder's name opens for editing
    ASSERT_TRUE(PumpUntil([&] { return TreeView_GetEditControl(tree.Handle()) != nullptr; }));
    HWND edit = TreeView_GetEditControl(tree.Handle());
    SetWindowTextW(edit, L"new 이름");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    PumpFor(20);
    EXPECT_TRUE(GetFileAttributesW((drive.Path() + L"\\new 이름").c_str()) &
                FILE_ATTRIBUTE_DIRECTORY);
    // The node is made again by its new name, the partners with it.
    node = NodeFor(drive.Path() + L"\\new 이름");
    ASSERT_TRUE(node);
    EXPECT_EQ(tree.TextOf(node), L"new 이름");
    EXPECT_EQ(SelectedNode(), node);
    EXPECT_EQ(PathOf(list.RootItem()), drive.Path() + L"\\new 이름");
    EXPECT_TRUE(failures.messages.empty());

    // "delete" keeps the node while the folder exists, drops it once gone.
    TreeView_SelectItem(tree.Handle(), node);
    tree.AfterVerb(L"delete", true);
    EXPECT_EQ(SelectedNode(), node);
    RemoveDirectoryW((drive.Path() + L"\\new 이름").c_str());
    tree.AfterVerb(L"DELETE", true);
    EXPECT_EQ(TreeView_GetChild(tree.Handle(), tree.FirstNode()), nullptr);
}

TEST_F(LinkedControls, OpenDropDownMovesNoPartner) {
    SendMessageW(combo.Handle(), CB_SHOWDROPDOWN, TRUE, 0);
    ASSERT_TRUE(SendMessageW(combo.Handle(), CB_GETDROPPEDSTATE, 0, 0));
    ChooseComboEntry(ComboIndexOf(L"C:\\"));
    EXPECT_EQ(IdListCount(list.RootItem()->AbsoluteIdList()), 0);
    EXPECT_EQ(SelectedNode(), tree.FirstNode());
    SendMessageW(combo.Handle(), CB_SHOWDROPDOWN, FALSE, 0);
    // Closed, the same choice moves both.
    ChooseComboEntry(ComboIndexOf(L"C:\\"));
    EXPECT_EQ(PathOf(list.RootItem()), L"C:\\");
}

TEST_F(LinkedControls, TreeKeepsItsImageList) {
    HIMAGELIST other = ImageList_Create(16, 16, ILC_COLOR24, 1, 0);
    SendMessageW(tree.Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(other));
    EXPECT_EQ(TreeView_GetImageList(tree.Handle(), TVSIL_NORMAL), tree.SmallSystemImages());
    tree.SetUseShellImages(false);
    EXPECT_EQ(TreeView_GetImageList(tree.Handle(), TVSIL_NORMAL), nullptr);
    tree.SetUseShellImages(true);
    EXPECT_EQ(TreeView_GetImageList(tree.Handle(), TVSIL_NORMAL), tree.SmallSystemImages());
    ImageList_Destroy(other);
}

// Whatever the order of linking, replacing and destroying, no control keeps
// a pointer to a partner that is gone.
TEST(PartnerLinks, NoControlKeepsAPartnerThatIsGone) {
    HostWindow host;
    TShellTreeView first, second;
    TShellComboBox firstCombo, secondCombo;
    for (Control* c : std::initializer_list<Control*>{&first, &second, &firstCombo, &secondCombo})
        c->SetParentWindow(host.Handle());
    auto list = std::make_unique<TShellListView>();
    list->SetParentWindow(host.Handle());
    list->SetShellTreeView(&first);
    list->SetShellTreeView(&second); // the first tree keeps its link back
    EXPECT_EQ(first.ShellListView(), list.get());
    list->SetShellComboBox(&firstCombo);
    secondCombo.SetShellListView(list.get()); // the combo box links itself
    EXPECT_EQ(list->ShellComboBox(), &secondCombo);
    EXPECT_EQ(firstCombo.ShellListView(), list.get());
    list.reset();
    EXPECT_EQ(first.ShellListView(), nullptr);
    EXPECT_EQ(second.ShellListView(), nullptr);
    EXPECT_EQ(firstCombo.ShellListView(), nullptr);
    EXPECT_EQ(secondCombo.ShellListView(), nullptr);
    // Selecting a node now moves nothing that is gone.
    first.Handle();
    TreeView_SelectItem(first.Handle(), TreeView_GetChild(first.Handle(), first.FirstNode()));

    // The other way round: a partner destroyed while a replacement is linked.
    TShellListView other;
    other.SetParentWindow(host.Handle());
    {
        TShellTreeView shortLived;
        shortLived.SetParentWindow(host.Handle());
        other.SetShellTreeView(&shortLived);
        other.SetShellTreeView(&first);
    }
    EXPECT_EQ(other.ShellTreeView(), &first);
}

// A refresh rebuilds the node's subtree inside the tree alone: the list and
// the address box stay on their folder, nothing is filled again.
TEST_F(LinkedControls, RefreshingANodeLeavesThePartnersWhereTheyAre) {
    DriveFolder drive;
    drive.MakeDir(L"a");
    const std::wstring b = drive.MakeDir(L"a\\b");
    CloseHandle(
        CreateFileW((b + L"\\f.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    tree.SetRoot(drive.Path());
    tree.Expand(NodeFor(drive.Path() + L"\\a"));
    TreeView_SelectItem(tree.Handle(), NodeFor(b));
    ASSERT_EQ(PathOf(list.RootItem()), b);
    listFills = comboBuilds = 0;
    drive.MakeDir(L"a\\new");
    tree.RefreshNode(NodeFor(drive.Path() + L"\\a"));
    EXPECT_EQ(listFills, 0);
    EXPECT_EQ(comboBuilds, 0);
    EXPECT_EQ(PathOf(list.RootItem()), b);
    EXPECT_EQ(PathOf(combo.ItemAt(combo.ItemIndex())), b);
    EXPECT_EQ(PathOf(tree.SelectedItem()), b);
    EXPECT_TRUE(NodeFor(drive.Path() + L"\\a\\new"));
}

// After "delete" of a folder node the partners go to its parent, not to the
// node that happens to follow it.
TEST_F(LinkedControls, DeletedFolderNodeMovesThePartnersToItsParent) {
    DriveFolder drive;
    drive.MakeDir(L"x");
    const std::wstring y = drive.MakeDir(L"y");
    drive.MakeDir(L"z");
    tree.SetRoot(drive.Path());
    TreeView_SelectItem(tree.Handle(), NodeFor(y));
    ASSERT_EQ(PathOf(list.RootItem()), y);
    RemoveDirectoryW(y.c_str());
    tree.AfterVerb(L"delete", true);
    EXPECT_EQ(PathOf(tree.SelectedItem()), drive.Path());
    EXPECT_EQ(PathOf(list.RootItem()), drive.Path());
    EXPECT_EQ(PathOf(combo.ItemAt(combo.ItemIndex())), drive.Path());
    EXPECT_EQ(ChildTexts(tree.FirstNode()), (std::vector<std::wstring>{L"x", L"z"}));
    EXPECT_TRUE(failures.messages.empty());
}

namespace {

// A tree whose control refuses new nodes while told to.
class RefusingTree : public TShellTreeView {
public:
    bool refuse = false;

protected:
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (refuse && message == TVM_INSERTITEMW)
            return 0;
        return TShellTreeView::WndProc(message, wParam, lParam);
    }
};

} // namespace

// A node the control refuses takes its item with it; nothing uses the item
// afterwards, and nothing is left behind.
TEST(ShellTreeView, RefusedNodesLeaveNothingBehind) {
    HostWindow host;
    DriveFolder drive;
    drive.MakeDir(L"sub");
    RefusingTree tree;
    tree.SetParentWindow(host.Handle());
    tree.SetRoot(drive.Path());
    HTREEITEM root = tree.FirstNode();
    ASSERT_TRUE(root);
    tree.refuse = true;
    tree.RefreshNode(root);
    EXPECT_EQ(tree.FirstNode(), root); // the old node stays as it was
    EXPECT_EQ(PathOf(tree.ItemOf(root)), drive.Path());
    const Growth growth = GrowthOver(100, [&] {
        tree.RefreshNode(tree.FirstNode());
        tree.SetRoot(drive.Path() + L"\\sub");
        tree.SetRoot(drive.Path());
    });
    EXPECT_EQ(tree.FirstNode(), nullptr);
    EXPECT_LT(growth.heapBytes, 20'000);
    tree.refuse = false;
    tree.SetRoot(L"rfDesktop");
    EXPECT_TRUE(tree.FirstNode());
}

// The three linked controls moving between two folders hundreds of times
// keep no memory or handles of the places they left.
TEST_F(LinkedControls, MovingAllThreeBackAndForthLeaksNothing) {
    DriveFolder drive;
    const auto a = RootOf(drive.MakeDir(L"a")), b = RootOf(drive.MakeDir(L"a\\b"));
    auto backAndForth = [&] {
        list.NavigateToIdList(a->AbsoluteIdList());
        list.NavigateToIdList(b->AbsoluteIdList());
    };
    const Growth growth = GrowthOver(20, backAndForth);
    EXPECT_EQ(PathOf(combo.ItemAt(combo.ItemIndex())), drive.Path() + L"\\a\\b");
    EXPECT_LT(growth.heapBytes, 60'000);
    EXPECT_LE(growth.handles, 2);

    std::vector<std::unique_ptr<char[]>> kept;
    combo.OnGetImageIndex = [&](TCustomShellComboBox&, int, int&) {
        kept.push_back(std::make_unique<char[]>(400));
    };
    EXPECT_GT(GrowthOver(20, backAndForth).heapBytes, 60'000);
}
