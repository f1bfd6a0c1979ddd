#include "ShellCtrls/ShellTreeView.h"
#include "ShellCtrls/ShellComboBox.h"
#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"
#include "ShellCtrls/ShellOrder.h"
#include "ui/Scopes.h"
#include "win/Error.h"
#include "win/Path.h"

#include <windowsx.h>

#include <optional>

namespace kalvera {
namespace {

const wchar_t kInvalidIndexText[] = L"不正なインデックス";

// The closed and open icons of a child, asked of its parent folder: an
// absolute list would be looked up by walking the whole folder.
std::pair<int, int> SmallIcons(const TShellFolder& item) {
    if (item.IsPlainFolder())
        return {PlainFolderIconIndex(false, false), PlainFolderIconIndex(false, true)};
    if (IShellFolder* parent = item.ParentFolderInterface()) {
        int open = -1;
        const int closed =
            SHMapPIDLToSystemImageListIndex(parent, AsChild(item.RelativeIdList()), &open);
        if (closed >= 0)
            return {closed, open >= 0 ? open : closed};
    }
    return {SystemIconIndex(item.AbsoluteIdList(), false, false),
            SystemIconIndex(item.AbsoluteIdList(), false, true)};
}

} // namespace

TCustomShellTreeView::TCustomShellTreeView() {
    SHFILEINFOW info{};
    smallImages_ = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    changeNotifier_ = std::make_unique<TShellChangeNotifier>();
}

TCustomShellTreeView::~TCustomShellTreeView() {
    changeNotifier_.reset();
    if (HandleAllocated())
        DestroyWnd();
}

CreateParams TCustomShellTreeView::GetCreateParams() const {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | TVS_HASBUTTONS |
                  TVS_HASLINES | TVS_EDITLABELS;
    if (showRoot_)
        style |= TVS_LINESATROOT;
    return {WC_TREEVIEWW, style, WS_EX_CLIENTEDGE};
}

void TCustomShellTreeView::CreateWnd() {
    Control::CreateWnd();
    if (!HandleAllocated())
        return;
    if (FirstNode())
        ClearNodes();
    if (!images_)
        ApplyImageList();
    if (!loadingRoot_)
        BuildRoot();
}

void TCustomShellTreeView::DestroyWnd() {
    ClearNodes();
    DestroyHandle();
}

void TCustomShellTreeView::Loaded() {
    Control::Loaded();
    BuildRoot();
}

void TCustomShellTreeView::SetRoot(const std::wstring& value) {
    if (SameTextAscii(value, root_))
        return;
    previousRootName_ = root_;
    root_ = value;
    RebuildForRoot();
}

void TCustomShellTreeView::SetObjectTypes(TShellObjectTypes value) {
    objectTypes_ = value;
    RebuildForRoot();
}

void TCustomShellTreeView::SetShowRoot(bool value) {
    showRoot_ = value;
    if (HandleAllocated()) {
        const LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
        SetWindowLongPtrW(Handle(), GWL_STYLE,
                          value ? style | TVS_LINESATROOT : style & ~TVS_LINESATROOT);
    }
}

HIMAGELIST TCustomShellTreeView::ChosenImageList() const {
    if (images_)
        return images_;
    return useShellImages_ ? smallImages_ : nullptr;
}

void TCustomShellTreeView::ApplyImageList() {
    if (HandleAllocated())
        SendMessageW(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL,
                     reinterpret_cast<LPARAM>(ChosenImageList()));
}

void TCustomShellTreeView::SetUseShellImages(bool value) {
    useShellImages_ = value;
    ApplyImageList();
}

void TCustomShellTreeView::SetImages(HIMAGELIST images) {
    images_ = images;
    ApplyImageList();
}

void TCustomShellTreeView::SetShellComboBox(TCustomShellComboBox* comboBox) {
    comboBox_.Set(*this, comboBox, root_, &TCustomShellComboBox::SetShellTreeViewLink, this);
}

void TCustomShellTreeView::SetShellListView(TCustomShellListView* listView) {
    listView_.Set(*this, listView, root_, &TCustomShellListView::SetShellTreeViewLink,
                  static_cast<ShellListPartner*>(this));
}

void TCustomShellTreeView::SetShellComboBoxLink(TCustomShellComboBox* comboBox) {
    comboBox_.Link(*this, comboBox);
}

void TCustomShellTreeView::SetShellListViewLink(TCustomShellListView* list) {
    listView_.Link(*this, list);
}

void TCustomShellTreeView::Notification(Component* component, bool removing) {
    if (removing && !comboBox_.Forget(component))
        listView_.Forget(component);
}

// Nodes.

HTREEITEM TCustomShellTreeView::FirstNode() {
    return HandleAllocated() ? TreeView_GetRoot(Handle()) : nullptr;
}

HTREEITEM TCustomShellTreeView::NextNode(HTREEITEM node) {
    HWND tree = Handle();
    if (HTREEITEM child = TreeView_GetChild(tree, node))
        return child;
    for (HTREEITEM at = node; at; at = TreeView_GetParent(tree, at))
        if (HTREEITEM sibling = TreeView_GetNextSibling(tree, at))
            return sibling;
    return nullptr;
}

int TCustomShellTreeView::LevelOf(HTREEITEM node) {
    int level = 0;
    for (HTREEITEM at = TreeView_GetParent(Handle(), node); at;
         at = TreeView_GetParent(Handle(), at))
        ++level;
    return level;
}

TShellFolder* TCustomShellTreeView::ItemOf(HTREEITEM node) {
    if (!node)
        return nullptr;
    TVITEMW item{};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = node;
    TreeView_GetItem(Handle(), &item);
    return reinterpret_cast<TShellFolder*>(item.lParam);
}

std::wstring TCustomShellTreeView::TextOf(HTREEITEM node) {
    wchar_t text[MAX_PATH * 2] = L"";
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = node;
    item.pszText = text;
    item.cchTextMax = MAX_PATH * 2;
    TreeView_GetItem(Handle(), &item);
    return text;
}

bool TCustomShellTreeView::IsExpanded(HTREEITEM node) {
    return TreeView_GetItemState(Handle(), node, TVIS_EXPANDED) & TVIS_EXPANDED;
}

bool TCustomShellTreeView::HasChildrenFlag(HTREEITEM node) {
    TVITEMW item{};
    item.mask = TVIF_CHILDREN | TVIF_HANDLE;
    item.hItem = node;
    TreeView_GetItem(Handle(), &item);
    return item.cChildren != 0;
}

void TCustomShellTreeView::SetHasChildren(HTREEITEM node, bool value) {
    TVITEMW item{};
    item.mask = TVIF_CHILDREN | TVIF_HANDLE;
    item.hItem = node;
    item.cChildren = value ? 1 : 0;
    TreeView_SetItem(Handle(), &item);
}

HTREEITEM TCustomShellTreeView::InsertNode(HTREEITEM parent, HTREEITEM after,
                                           std::unique_ptr<TShellFolder> item,
                                           const NodeSetup& setup) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = setup.text ? const_cast<wchar_t*>(setup.text) : LPSTR_TEXTCALLBACKW;
    insert.item.lParam = reinterpret_cast<LPARAM>(item.get());
    insert.item.cChildren = setup.hasChildren ? 1 : 0;
    if (setup.iconsOnDemand) {
        insert.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.iImage = insert.item.iSelectedImage = I_IMAGECALLBACK;
    }
    if (setup.shared) {
        // Overlay 0, the first overlay image of the list.
        insert.item.mask |= TVIF_STATE;
        insert.item.state = INDEXTOOVERLAYMASK(1);
        insert.item.stateMask = TVIS_OVERLAYMASK;
    }
    HTREEITEM node = TreeView_InsertItem(Handle(), &insert);
    // From here on the node owns the item; the deletion hook frees it.
    if (node)
        item.release();
    return node;
}

void TCustomShellTreeView::SetNodeImages(HTREEITEM node, TShellFolder& item) {
    auto [closed, open] = SmallIcons(item);
    TVITEMW data{};
    data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
    data.hItem = node;
    data.iImage = closed;
    data.iSelectedImage = open == 0 ? closed : open;
    TreeView_SetItem(Handle(), &data);
}

void TCustomShellTreeView::DeleteNode(HTREEITEM node) {
    TreeView_DeleteItem(Handle(), node);
}

void TCustomShellTreeView::ClearNodes() {
    if (!HandleAllocated())
        return;
    BatchUpdate batch(Handle());
    TreeView_DeleteAllItems(Handle());
}

TShellFolder* TCustomShellTreeView::SelectedItem() {
    return HandleAllocated() ? ItemOf(TreeView_GetSelection(Handle())) : nullptr;
}

TShellFolder* TCustomShellTreeView::ItemAt(int index) {
    HTREEITEM node = FirstNode();
    for (int i = 0; node && i < index; ++i)
        node = NextNode(node);
    if (index < 0 || !node)
        throw ListIndexError(kInvalidIndexText);
    return ItemOf(node);
}

// Building.

void TCustomShellTreeView::BuildRoot() {
    if (Loading())
        return;
    // Making the window builds the root.
    if (!HandleAllocated()) {
        Handle();
        return;
    }
    std::optional<std::wstring> failure;
    try {
        rootItem_ = RootItemFromName(previousRootName_, root_);
    } catch (const Error& e) {
        failure = e.Message();
    }
    if (rootItem_) {
        FlagScope loading(loadingRoot_);
        if (FirstNode())
            ClearNodes();
        auto item = std::make_unique<TShellFolder>(
            nullptr, rootItem_->AbsoluteIdList(),
            ComPtr<IShellFolder>::Share(rootItem_->FolderInterface()));
        TShellFolder& rootNodeItem = *item;
        const std::wstring text =
            QueryName(DesktopFolder(), rootNodeItem.AbsoluteIdList(), SHGDN_NORMAL);
        NodeSetup setup;
        setup.text = text.c_str();
        setup.hasChildren = rootNodeItem.HasChildFolders();
        // A node the control refused took its item with it.
        if (HTREEITEM node = InsertNode(nullptr, TVI_LAST, std::move(item), setup)) {
            if (useShellImages_ && !images_)
                SetNodeImages(node, rootNodeItem);
            Expand(node);
            TreeView_SelectItem(Handle(), node);
        }
    }
    if (failure)
        throw InvalidPathError(*failure);
}

void TCustomShellTreeView::RebuildForRoot() {
    if (updating_)
        return;
    FlagScope updating(updating_);
    BuildRoot();
    if (comboBox_)
        comboBox_->SetRoot(root_);
    if (listView_)
        listView_->SetRoot(root_);
}

void TCustomShellTreeView::Expand(HTREEITEM node) {
    if (!ExpandingHook(node))
        return;
    expandingByCode_ = node;
    TreeView_Expand(Handle(), node, TVE_EXPAND);
    expandingByCode_ = nullptr;
}

bool TCustomShellTreeView::ExpandingHook(HTREEITEM node) {
    bool allow = true;
    if (OnExpanding)
        OnExpanding(node, allow);
    if (allow) {
        if (TShellFolder* item = ItemOf(node)) {
            if (item->IsFolderItem()) {
                if (HasChildrenFlag(node) && !TreeView_GetChild(Handle(), node))
                    LoadChildren(node);
            } else {
                const std::wstring path = item->ParsingName();
                ShellExecuteW(Handle(), nullptr, path.c_str(), nullptr, FolderPartOf(path).c_str(),
                              SW_SHOWNORMAL);
            }
        }
    }
    SetHasChildren(node, TreeView_GetChild(Handle(), node) != nullptr);
    return allow;
}

void TCustomShellTreeView::LoadChildren(HTREEITEM node) {
    HourglassCursor hourglass;
    BatchUpdate batch(Handle());
    TShellFolder* item = ItemOf(node);
    IShellFolder* folder = item ? item->FolderInterface() : nullptr;
    if (!folder)
        return;
    try {
        ComPtr<IEnumIDList> entries;
        if (EnumerateFolder(folder, GetAncestor(Handle(), GA_ROOT),
                            EnumFlagsFromObjectTypes(objectTypes_), entries) != S_OK ||
            !entries)
            return;
        std::vector<IdList> ids;
        IdList id;
        while (entries->Next(1, id.put_child(), nullptr) == S_OK)
            ids.push_back(std::move(id));
        // The children go in already in the folder's order, which is what
        // sorting them afterwards would give.
        std::vector<const ITEMIDLIST*> views;
        for (const IdList& each : ids)
            views.push_back(each.get());
        for (size_t i : ShellOrder(folder, views))
            SetUpNode(ids[i].get(), node, *item);
    } catch (const Error&) {
        while (HTREEITEM child = TreeView_GetChild(Handle(), node))
            DeleteNode(child);
    }
}

void TCustomShellTreeView::SetUpNode(const ITEMIDLIST* id, HTREEITEM parent,
                                     TShellFolder& parentItem) {
    auto owned = std::make_unique<TShellFolder>(&parentItem, id, TShellFolder::BindLater{});
    TShellFolder& item = *owned;
    // One attribute request answers whether the node gets a button and
    // whether it shows the shared overlay.
    const SFGAOF attributes = item.Attributes(SFGAO_HASSUBFOLDER | SFGAO_SHARE);
    bool hasChildren = attributes & SFGAO_HASSUBFOLDER;
    if (objectTypes_.Has(otNonFolders) && item.FolderInterface())
        hasChildren =
            FolderHasEntries(item.FolderInterface(), EnumFlagsFromObjectTypes(objectTypes_));
    // Text and icons are asked for when the node is first drawn: a folder's
    // icon can take milliseconds to find, and most nodes are never seen.
    NodeSetup setup;
    setup.iconsOnDemand = useShellImages_ && !images_;
    setup.hasChildren = hasChildren;
    setup.shared = attributes & SFGAO_SHARE;
    HTREEITEM node = InsertNode(parent, TVI_LAST, std::move(owned), setup);
    if (!node)
        return;
    bool canAdd = true;
    if (OnAddFolder)
        OnAddFolder(*this, item, canAdd);
    if (!canAdd)
        DeleteNode(node);
}

void TCustomShellTreeView::FillNodeData(NMTVDISPINFOW& info) {
    auto* item = reinterpret_cast<TShellFolder*>(info.item.lParam);
    if (!item)
        return;
    if ((info.item.mask & TVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0)
        lstrcpynW(info.item.pszText, item->InFolderName().c_str(), info.item.cchTextMax);
    if (info.item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
        auto [closed, open] = SmallIcons(*item);
        info.item.iImage = closed;
        info.item.iSelectedImage = open == 0 ? closed : open;
    }
    // The control keeps what it was told: each node is asked once.
    info.item.mask |= TVIF_DI_SETITEM;
}

// Following the partners.

namespace {
// Lists read from the same folder match byte for byte, which costs nothing;
// the shell's comparison (which under Wine binds each folder on a deep
// path) is asked only when no node does.
template <typename Nodes> HTREEITEM FirstMatch(const ITEMIDLIST* absolute, Nodes&& each) {
    for (bool byShell : {false, true}) {
        HTREEITEM match = nullptr;
        each([&](HTREEITEM node, TShellFolder* item) {
            if (!match && item &&
                (byShell ? DesktopFolder()->CompareIDs(0, AsRelative(item->AbsoluteIdList()),
                                                       AsRelative(absolute)) == 0
                         : IdListBytesEqual(item->AbsoluteIdList(), absolute)))
                match = node;
            return !match;
        });
        if (match)
            return match;
    }
    return nullptr;
}
} // namespace

HTREEITEM TCustomShellTreeView::FindNodeByIdList(const ITEMIDLIST* absolute, HTREEITEM start) {
    if (!start)
        return nullptr;
    const int startLevel = LevelOf(start);
    return FirstMatch(absolute, [&](auto&& visit) {
        for (HTREEITEM node = start; node; node = NextNode(node))
            if ((node != start && LevelOf(node) <= startLevel) || !visit(node, ItemOf(node)))
                break;
    });
}

HTREEITEM TCustomShellTreeView::NodeOrChildByIdList(const ITEMIDLIST* absolute, HTREEITEM node) {
    if (!node)
        return nullptr;
    return FirstMatch(absolute, [&](auto&& visit) {
        if (!visit(node, ItemOf(node)))
            return;
        for (HTREEITEM child = TreeView_GetChild(Handle(), node); child;
             child = TreeView_GetNextSibling(Handle(), child))
            if (!visit(child, ItemOf(child)))
                break;
    });
}

void TCustomShellTreeView::FollowIdList(const ITEMIDLIST* absolute) {
    if (updating_ || Loading())
        return;
    if (TShellFolder* selected = SelectedItem();
        selected && SameIdList(selected->AbsoluteIdList(), absolute))
        return;
    FlagScope updating(updating_);
    BatchUpdate batch(Handle());
    HTREEITEM start = FirstNode();
    if (!start)
        throw ListIndexError(kInvalidIndexText);
    // Each folder on the path is the node where the walk stands or one of
    // its children; folders above the tree's root are passed over.
    for (const IdList& ancestor : IdListAncestors(absolute)) {
        if (HTREEITEM found = NodeOrChildByIdList(ancestor.get(), start)) {
            if (!IsExpanded(found))
                Expand(found);
            start = found;
        }
    }
    HTREEITEM target = NodeOrChildByIdList(absolute, start);
    TreeView_SelectItem(Handle(), target);
    if (target) {
        const IdList path = IdListCopy(ItemOf(target)->AbsoluteIdList());
        if (listView_)
            listView_->FollowIdList(path.get());
        if (comboBox_)
            comboBox_->FollowIdList(path.get());
    }
}

bool TCustomShellTreeView::SelectionHook(HTREEITEM node) {
    bool allow = true;
    if (OnChanging)
        OnChanging(node, allow);
    if (!allow || updating_ || !node)
        return allow;
    const bool refresh = autoRefresh_;
    SetAutoRefresh(false);
    TShellFolder* item = ItemOf(node);
    if (item && !item->IsFolderItem())
        item = item->ParentItem();
    if (item) {
        FlagScope updating(updating_);
        const IdList path = IdListCopy(item->AbsoluteIdList());
        if (comboBox_)
            comboBox_->FollowIdList(path.get());
        if (listView_)
            listView_->FollowIdList(path.get());
    }
    nodeToMonitor_ = node;
    SetAutoRefresh(refresh);
    nodeToMonitor_ = nullptr;
    return allow;
}

// Refreshing.

void TCustomShellTreeView::RefreshNode(HTREEITEM node, bool rebind) {
    TShellFolder* item = ItemOf(node);
    if (!item || !item->FolderInterface())
        return;
    // The partners stay where they are: the selection moves inside the tree
    // only, and comes back to the same folder.
    FlagScope updating(updating_);
    HWND tree = Handle();
    IdList top, selected;
    if (TShellFolder* topItem = ItemOf(TreeView_GetFirstVisible(tree)))
        top = IdListCopy(topItem->AbsoluteIdList());
    if (TShellFolder* selectedItem = SelectedItem())
        selected = IdListCopy(selectedItem->AbsoluteIdList());

    BatchUpdate batch(tree);
    HourglassCursor hourglass;
    HTREEITEM parent = TreeView_GetParent(tree, node);
    HTREEITEM before = TreeView_GetPrevSibling(tree, node);
    TShellFolder* parentItem = parent ? ItemOf(parent) : nullptr;
    auto fresh =
        rebind
            ? std::make_unique<TShellFolder>(parentItem, item->RelativeIdList(),
                                             TShellFolder::BindLater{})
            : std::make_unique<TShellFolder>(parentItem, item->RelativeIdList(),
                                             ComPtr<IShellFolder>::Share(item->FolderInterface()));
    TShellFolder& freshItem = *fresh;
    const std::wstring name = freshItem.InFolderName();
    NodeSetup setup;
    setup.text = name.c_str();
    setup.hasChildren = true; // until its children are loaded below
    HTREEITEM renewed = InsertNode(parent, before ? before : TVI_FIRST, std::move(fresh), setup);
    if (!renewed) // the old node stays as it was
        return;
    LoadChildren(renewed);
    SetNodeImages(renewed, freshItem);
    SetHasChildren(renewed, freshItem.HasChildFolders());

    // Expansions come parents first, so nested ones are rebuilt level by level.
    const int level = LevelOf(node);
    for (HTREEITEM at = node; at; at = NextNode(at)) {
        if (at != node && LevelOf(at) <= level)
            break;
        if (IsExpanded(at))
            if (HTREEITEM match = FindNodeByIdList(ItemOf(at)->AbsoluteIdList(), renewed))
                Expand(match);
    }
    DeleteNode(node);
    if (selected)
        TreeView_SelectItem(tree, FindNodeByIdList(selected.get(), FirstNode()));
    if (top)
        if (HTREEITEM match = FindNodeByIdList(top.get(), FirstNode()))
            TreeView_SelectSetFirstVisible(tree, match);
}

void TCustomShellTreeView::SetAutoRefresh(bool value) {
    autoRefresh_ = value;
    if (Loading())
        return;
    changeNotifier_.reset();
    if (!value)
        return;
    TShellFolder* watched = nodeToMonitor_ ? ItemOf(nodeToMonitor_) : rootItem_.get();
    changeNotifier_ = WatchFolder(watched ? watched->ParsingName() : std::wstring(),
                                  [this] { AutoRefreshHandler(); });
}

void TCustomShellTreeView::AutoRefreshHandler() {
    if (HTREEITEM selected = HandleAllocated() ? TreeView_GetSelection(Handle()) : nullptr)
        RefreshNode(selected);
}

// Renaming, menus and verbs.

void TCustomShellTreeView::EndLabelEdit(NMTVDISPINFOW& info) {
    if (!info.item.pszText)
        return;
    std::wstring text = info.item.pszText;
    HTREEITEM node = info.item.hItem;
    if (OnEdited)
        OnEdited(node, text);
    TShellFolder* item = ItemOf(node);
    if (!item)
        return;
    const std::wstring oldPath = item->ParsingName();
    if (!item->RenameTo(text))
        return;
    TVITEMW data{};
    data.mask = TVIF_TEXT | TVIF_HANDLE;
    data.hItem = node;
    data.pszText = const_cast<wchar_t*>(text.c_str());
    TreeView_SetItem(Handle(), &data);
    FollowRename(node, oldPath, item->ParsingName());
}

namespace {
// True when path is folder or lies below it.
bool IsAtOrBelow(const std::wstring& path, const std::wstring& folder) {
    if (path.size() < folder.size() ||
        CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                             static_cast<int>(folder.size()), TRUE) != CSTR_EQUAL)
        return false;
    return path.size() == folder.size() || path[folder.size()] == L'\\' || folder.ends_with(L'\\');
}
} // namespace

void TCustomShellTreeView::FollowRename(HTREEITEM node, const std::wstring& oldPath,
                                        const std::wstring& newPath) {
    if (oldPath.empty() || newPath.empty() || oldPath == newPath)
        return;
    // Where the list stands, or else the tree's selection, before the nodes
    // below the renamed one are made again by their new names.
    TShellFolder* shownItem =
        listView_ && listView_->RootItem() ? listView_->RootItem() : SelectedItem();
    const std::wstring shown = shownItem ? shownItem->ParsingName() : std::wstring();
    RefreshNode(node, true);
    if (!IsAtOrBelow(shown, oldPath))
        return;
    const IdList moved = IdListOfPath(newPath + shown.substr(oldPath.size()));
    if (!moved)
        return;
    // The selection may be at the new path already (the renamed node's own
    // item names it): the partners are told either way.
    FollowIdList(moved.get());
    if (listView_)
        listView_->FollowIdList(moved.get());
    if (comboBox_)
        comboBox_->FollowIdList(moved.get());
}

void TCustomShellTreeView::ShowContextMenuAt(POINT clientPoint) {
    if (autoContextMenus_)
        ShowItemContextMenu(Handle(), this, SelectedItem(), clientPoint.x, clientPoint.y);
}

void TCustomShellTreeView::BeforeVerb(const std::wstring& verb, bool& handled) {
    HTREEITEM selected = TreeView_GetSelection(Handle());
    if (SameTextAscii(verb, L"rename")) {
        if (selected) {
            TreeView_EditLabel(Handle(), selected);
            handled = true;
        }
    } else if (SameTextAscii(verb, L"open")) {
        savedDirectory_ = CurrentDirectory();
        if (TShellFolder* item = ItemOf(selected))
            SetCurrentDirectoryW(FolderPartOf(item->ParsingName()).c_str());
    }
}

void TCustomShellTreeView::AfterVerb(const std::wstring& verb, bool succeeded) {
    HTREEITEM selected = TreeView_GetSelection(Handle());
    if (!succeeded || !selected)
        return;
    if (SameTextAscii(verb, L"delete")) {
        TShellFolder* item = ItemOf(selected);
        if (item && GetFileAttributesW(ExtendedLengthPath(item->ParsingName()).c_str()) ==
                        INVALID_FILE_ATTRIBUTES) {
            // The parent is selected first, which moves the partners there:
            // deleting the selected node would select its next sibling.
            if (HTREEITEM parent = TreeView_GetParent(Handle(), selected))
                TreeView_SelectItem(Handle(), parent);
            DeleteNode(selected);
        }
    } else if (SameTextAscii(verb, L"paste")) {
        RefreshNode(selected);
    } else if (SameTextAscii(verb, L"open")) {
        SetCurrentDirectoryW(savedDirectory_.c_str());
    }
}

bool TCustomShellTreeView::OnNotify(NMHDR& header, LRESULT& result) {
    switch (header.code) {
    case TVN_ITEMEXPANDINGW: {
        auto& info = reinterpret_cast<NMTREEVIEWW&>(header);
        if (!(info.action & TVE_EXPAND) || info.itemNew.hItem == expandingByCode_) {
            result = FALSE;
            return true;
        }
        result = ExpandingHook(info.itemNew.hItem) ? FALSE : TRUE;
        return true;
    }
    case TVN_SELCHANGINGW: {
        auto& info = reinterpret_cast<NMTREEVIEWW&>(header);
        result = SelectionHook(info.itemNew.hItem) ? FALSE : TRUE;
        return true;
    }
    case TVN_GETDISPINFOW:
        FillNodeData(reinterpret_cast<NMTVDISPINFOW&>(header));
        return true;
    case TVN_DELETEITEMW: {
        auto& info = reinterpret_cast<NMTREEVIEWW&>(header);
        std::unique_ptr<TShellFolder>(reinterpret_cast<TShellFolder*>(info.itemOld.lParam));
        return true;
    }
    case TVN_ENDLABELEDITW:
        result = FALSE;
        EndLabelEdit(reinterpret_cast<NMTVDISPINFOW&>(header));
        return true;
    case NM_RCLICK: {
        POINT at;
        GetCursorPos(&at);
        ScreenToClient(Handle(), &at);
        if (rightClickSelect_) {
            TVHITTESTINFO hit{};
            hit.pt = at;
            if (HTREEITEM node = TreeView_HitTest(Handle(), &hit))
                TreeView_SelectItem(Handle(), node);
        }
        ShowContextMenuAt(at);
        result = TRUE;
        return true;
    }
    default:
        return false;
    }
}

LRESULT TCustomShellTreeView::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_INITMENUPOPUP:
    case WM_MENUCHAR:
        if (IContextMenu2* menu = ActiveContextMenu2())
            menu->HandleMenuMsg(message, wParam, lParam);
        return 0;
    case TVM_SETIMAGELIST: {
        if (imageListChanging_)
            break;
        FlagScope changing(imageListChanging_);
        return SendMessageW(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL,
                            reinterpret_cast<LPARAM>(ChosenImageList()));
    }
    case WM_CONTEXTMENU:
        if (lParam == -1) {
            POINT at{-1, -1};
            if (HTREEITEM selected = TreeView_GetSelection(Handle())) {
                RECT bounds{};
                TreeView_GetItemRect(Handle(), selected, &bounds, TRUE);
                at = {(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
            }
            ShowContextMenuAt(at);
            return 0;
        }
        break;
    case WM_KEYDOWN:
        // F2 renames the selected folder in place, as in the file list.
        if (wParam == VK_F2 && (GetWindowLongW(Handle(), GWL_STYLE) & TVS_EDITLABELS)) {
            if (HTREEITEM selected = TreeView_GetSelection(Handle()))
                TreeView_EditLabel(Handle(), selected);
            return 0;
        }
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace kalvera
