#include "ShellCtrls/ShellComboBox.h"
#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"
#include "ShellCtrls/ShellOrder.h"
#include "ShellCtrls/ShellTreeView.h"
#include "ui/Scopes.h"
#include "win/Error.h"

namespace kalvera {

// Entries change without redrawing, and without the change hook moving the
// partners, until the outermost batch ends.
struct ComboBatch {
    TCustomShellComboBox& combo;
    explicit ComboBatch(TCustomShellComboBox& c) : combo(c) {
        if (combo.batchDepth_++ == 0)
            SendMessageW(combo.Handle(), WM_SETREDRAW, FALSE, 0);
    }
    ~ComboBatch() {
        if (--combo.batchDepth_ == 0) {
            SendMessageW(combo.Handle(), WM_SETREDRAW, TRUE, 0);
            InvalidateRect(combo.Handle(), nullptr, TRUE);
        }
    }
    ComboBatch(const ComboBatch&) = delete;
    ComboBatch& operator=(const ComboBatch&) = delete;
};

TCustomShellComboBox::TCustomShellComboBox() {
    SHFILEINFOW info{};
    smallImages_ = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

TCustomShellComboBox::~TCustomShellComboBox() {
    if (HandleAllocated())
        DestroyWnd();
}

CreateParams TCustomShellComboBox::GetCreateParams() const {
    return {WC_COMBOBOXEXW, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN, 0};
}

int TCustomShellComboBox::WindowHeightFor(int height) const {
    // The window also holds the drop-down list of DropDownCount entries.
    return height + dropDownCount_ * 18 + 2;
}

void TCustomShellComboBox::CreateWnd() {
    Control::CreateWnd();
    if (!HandleAllocated())
        return;
    if (smallImages_)
        SendMessageW(Handle(), CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(smallImages_));
    ApplyImageList();
    if (Count() == 0)
        BuildRoot();
}

void TCustomShellComboBox::DestroyWnd() {
    ClearEntries();
    DestroyHandle();
}

void TCustomShellComboBox::Loaded() {
    Control::Loaded();
    BuildRoot();
}

void TCustomShellComboBox::SetRoot(const std::wstring& value) {
    if (SameTextAscii(value, root_))
        return;
    previousRootName_ = root_;
    root_ = value;
    RebuildForRoot();
}

void TCustomShellComboBox::SetObjectTypes(TShellObjectTypes value) {
    objectTypes_ = value;
    RebuildForRoot();
}

void TCustomShellComboBox::ApplyImageList() {
    if (!HandleAllocated())
        return;
    HIMAGELIST list = images_ ? images_ : useShellImages_ ? smallImages_ : nullptr;
    SendMessageW(Handle(), CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
}

void TCustomShellComboBox::SetUseShellImages(bool value) {
    useShellImages_ = value;
    ApplyImageList();
}

void TCustomShellComboBox::SetImages(HIMAGELIST images) {
    images_ = images;
    ApplyImageList();
}

void TCustomShellComboBox::SetDropDownCount(int value) {
    dropDownCount_ = value;
    if (HandleAllocated())
        SetBounds(Bounds().left, Bounds().top, Bounds().right - Bounds().left,
                  Bounds().bottom - Bounds().top);
}

void TCustomShellComboBox::SetShellTreeView(TCustomShellTreeView* tree) {
    treeView_.Set(*this, tree, root_, &TCustomShellTreeView::SetShellComboBoxLink, this);
}

void TCustomShellComboBox::SetShellListView(TCustomShellListView* list) {
    listView_.Set(*this, list, root_, &TCustomShellListView::SetShellComboBoxLink,
                  static_cast<ShellListPartner*>(this));
}

void TCustomShellComboBox::SetShellTreeViewLink(TCustomShellTreeView* tree) {
    treeView_.Link(*this, tree);
}

void TCustomShellComboBox::SetShellListViewLink(TCustomShellListView* list) {
    listView_.Link(*this, list);
}

void TCustomShellComboBox::Notification(Component* component, bool removing) {
    if (removing && !treeView_.Forget(component))
        listView_.Forget(component);
}

// Entries.

int TCustomShellComboBox::Count() {
    return HandleAllocated() ? static_cast<int>(SendMessageW(Handle(), CB_GETCOUNT, 0, 0)) : 0;
}

int TCustomShellComboBox::ItemIndex() {
    return HandleAllocated() ? static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0)) : -1;
}

void TCustomShellComboBox::SetItemIndex(int index) {
    SendMessageW(Handle(), CB_SETCURSEL, index, 0);
}

static bool GetEntry(HWND combo, int index, COMBOBOXEXITEMW& entry, UINT mask) {
    entry.mask = mask;
    entry.iItem = index;
    return SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
}

TShellFolder* TCustomShellComboBox::ItemAt(int index) {
    const int count = Count();
    if (count == 0)
        return nullptr;
    COMBOBOXEXITEMW entry{};
    GetEntry(Handle(), std::min(index, count - 1), entry, CBEIF_LPARAM);
    return reinterpret_cast<TShellFolder*>(entry.lParam);
}

int TCustomShellComboBox::IndentOf(int index) {
    COMBOBOXEXITEMW entry{};
    return GetEntry(Handle(), index, entry, CBEIF_INDENT) ? entry.iIndent : -1;
}

int TCustomShellComboBox::ImageIndexOf(int index) {
    COMBOBOXEXITEMW entry{};
    return GetEntry(Handle(), index, entry, CBEIF_IMAGE) ? entry.iImage : -1;
}

int TCustomShellComboBox::IndexOfIdList(const ITEMIDLIST* absolute) {
    // Byte for byte first, as in the tree: the shell's comparison binds
    // each folder of a deep path under Wine.
    for (bool byShell : {false, true})
        for (int i = Count() - 1; i >= 0; --i) {
            TShellFolder* item = ItemAt(i);
            if (item &&
                (byShell ? DesktopFolder()->CompareIDs(0, AsRelative(item->AbsoluteIdList()),
                                                       AsRelative(absolute)) == 0
                         : IdListBytesEqual(item->AbsoluteIdList(), absolute)))
                return i;
        }
    return -1;
}

int TCustomShellComboBox::EntryIconIndex(const TShellFolder& item) const {
    return useShellImages_ ? item.IconIndex(false) : -1;
}

void TCustomShellComboBox::InsertEntry(int position, const std::wstring& caption,
                                       std::unique_ptr<TShellFolder> item) {
    COMBOBOXEXITEMW entry{};
    entry.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT | CBEIF_LPARAM;
    entry.iItem = position;
    entry.pszText = const_cast<wchar_t*>(caption.c_str());
    entry.iImage = entry.iSelectedImage = EntryIconIndex(*item);
    entry.iIndent = item->Depth();
    entry.lParam = reinterpret_cast<LPARAM>(item.get());
    // From here on the entry owns the item; ClearEntries frees it.
    if (SendMessageW(Handle(), CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry)) >= 0)
        item.release();
}

void TCustomShellComboBox::SetEntryImage(int index, int imageIndex) {
    COMBOBOXEXITEMW entry{};
    entry.mask = CBEIF_IMAGE;
    entry.iItem = index;
    entry.iImage = imageIndex;
    SendMessageW(Handle(), CBEM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
}

void TCustomShellComboBox::ClearEntries() {
    if (!HandleAllocated())
        return;
    ComboBatch batch(*this);
    for (int i = 0, n = Count(); i < n; ++i) {
        COMBOBOXEXITEMW entry{};
        if (GetEntry(Handle(), i, entry, CBEIF_LPARAM) && entry.lParam) {
            std::unique_ptr<TShellFolder>(reinterpret_cast<TShellFolder*>(entry.lParam));
            entry.mask = CBEIF_LPARAM;
            entry.lParam = 0;
            SendMessageW(Handle(), CBEM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
        }
    }
    SendMessageW(Handle(), CB_RESETCONTENT, 0, 0);
}

// Building.

void TCustomShellComboBox::BuildRoot() {
    if (Loading())
        return;
    // Making the window builds the root.
    if (!HandleAllocated()) {
        Handle();
        return;
    }
    ComboBatch batch(*this);
    ClearEntries();
    rootItem_ = RootItemFromName(previousRootName_, root_);
    auto item =
        std::make_unique<TShellFolder>(nullptr, rootItem_->AbsoluteIdList(),
                                       ComPtr<IShellFolder>::Share(rootItem_->FolderInterface()));
    const std::wstring caption = item->InFolderName();
    InsertEntry(0, caption, std::move(item));
    FillTopLevels();
    SetItemIndex(0);
    if (useShellImages_) {
        SetUseShellImages(false);
        SetUseShellImages(true);
    }
}

void TCustomShellComboBox::FillTopLevels() {
    ComboBatch batch(*this);
    AddChildEntries(0, *rootItem_);
    // The drives right below My Computer only for the desktop named exactly.
    if (root_ == L"rfDesktop") {
        IdList computer;
        if (SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, computer.put_abs()) == S_OK)
            if (const int index = IndexOfIdList(computer.get()); index >= 0)
                AddChildEntries(index, *ItemAt(index));
    }
}

std::unique_ptr<TShellFolder> TCustomShellComboBox::CreateChildItem(TShellFolder& parent,
                                                                    const ITEMIDLIST* id) {
    // Bound when its entries are asked for: binding a folder reads its
    // settings, which under Wine walks the whole of a large folder.
    return std::make_unique<TShellFolder>(&parent, id, TShellFolder::BindLater{});
}

void TCustomShellComboBox::AddChildEntries(int parentIndex, TShellFolder& parent) {
    IShellFolder* folder = parent.FolderInterface();
    if (!folder)
        return;
    ComPtr<IEnumIDList> entries;
    const HRESULT hr =
        EnumerateFolder(folder, nullptr, EnumFlagsFromObjectTypes(objectTypes_), entries);
    if (FAILED(hr))
        throw PlatformError(SystemMessageText(hr), hr);
    if (hr != S_OK || !entries)
        return;
    ComboBatch batch(*this);
    std::vector<IdList> ids;
    IdList id;
    while (entries->Next(1, id.put_child(), nullptr) == S_OK)
        ids.push_back(std::move(id));
    std::vector<const ITEMIDLIST*> views;
    for (const IdList& each : ids)
        views.push_back(each.get());
    const std::vector<size_t> order = ShellOrder(folder, views);
    for (size_t i = 0; i < order.size(); ++i) {
        auto item = CreateChildItem(parent, ids[order[i]].get());
        const int position = parentIndex + 1 + static_cast<int>(i);
        const std::wstring caption = item->InFolderName();
        InsertEntry(position, caption, std::move(item));
        if (OnGetImageIndex && useShellImages_) {
            int imageIndex = ImageIndexOf(position);
            OnGetImageIndex(*this, position, imageIndex);
            SetEntryImage(position, imageIndex);
        }
    }
}

void TCustomShellComboBox::ShowPath(const ITEMIDLIST* absolute) {
    ComboBatch batch(*this);
    BuildRoot();
    // The deepest folder on the path that has an entry: entries are the
    // root's children and My Computer's, so the walk down stops at the
    // first folder without one (a look that misses compares every entry).
    const std::vector<IdList> ancestors = IdListAncestors(absolute);
    int current = -1;
    size_t known = 0;
    for (size_t i = 0; i < ancestors.size(); ++i) {
        const int at = IndexOfIdList(ancestors[i].get());
        if (at < 0 && current >= 0)
            break;
        if (at >= 0) {
            current = at;
            known = i;
        }
    }
    if (current < 0)
        return;
    auto insertBelowCurrent = [&](const ITEMIDLIST* list) {
        const IdList last = IdListLastElement(list);
        auto item = CreateChildItem(*ItemAt(current), last.get());
        const std::wstring caption = item->InFolderName();
        InsertEntry(current + 1, caption, std::move(item));
        ++current;
    };
    for (size_t i = known + 1; i < ancestors.size(); ++i)
        insertBelowCurrent(ancestors[i].get());
    // Below a folder that had to be added, the target has no entry yet.
    int target = known + 1 < ancestors.size() ? -1 : IndexOfIdList(absolute);
    if (target < 0) {
        insertBelowCurrent(absolute);
        target = current;
    }
    SetItemIndex(target);
}

void TCustomShellComboBox::RebuildForRoot() {
    FlagScope updating(updating_);
    ClearEntries();
    BuildRoot();
    if (treeView_)
        treeView_->SetRoot(root_);
    if (listView_)
        listView_->SetRoot(root_);
}

void TCustomShellComboBox::FollowIdList(const ITEMIDLIST* absolute) {
    if (updating_)
        return;
    if (const int selected = ItemIndex(); selected >= 0) {
        TShellFolder* item = ItemAt(selected);
        if (item && SameIdList(item->AbsoluteIdList(), absolute))
            return;
    }
    FlagScope updating(updating_);
    ShowPath(absolute);
}

// Selection.

bool TCustomShellComboBox::OnCommand(WORD code, LRESULT& result) {
    result = 0;
    switch (code) {
    case CBN_SELCHANGE: {
        // Whether the list was open when the change came: rebuilding the
        // entries for the choice can close it.
        const bool dropped = SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0);
        EntryChosen();
        SelectionChanged(dropped);
        return true;
    }
    case CBN_EDITCHANGE:
        SelectionChanged(SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0));
        return true;

    default:
        return false;
    }
}

void TCustomShellComboBox::SelectionChanged(bool dropped) {
    if (InBatch())
        return;
    if (OnChange)
        OnChange();
    const int selected = ItemIndex();
    if (selected < 0 || updating_ || dropped)
        return;
    FlagScope updating(updating_);
    TShellFolder* item = ItemAt(selected);
    if (!item)
        return;
    const IdList path = IdListCopy(item->AbsoluteIdList());
    if (treeView_)
        treeView_->FollowIdList(path.get());
    if (listView_)
        listView_->FollowIdList(path.get());
}

void TCustomShellComboBox::EntryChosen() {
    if (InBatch())
        return;
    const int selected = ItemIndex();
    TShellFolder* item = selected >= 0 ? ItemAt(selected) : nullptr;
    if (!item)
        return;
    FlagScope updating(updating_);
    const IdList path = IdListCopy(item->AbsoluteIdList());
    ShowPath(path.get());
    if (OnClick)
        OnClick();
}

} // namespace kalvera
