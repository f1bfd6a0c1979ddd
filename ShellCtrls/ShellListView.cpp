#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"
#include "ShellCtrls/ShellOrder.h"
#include "ui/Scopes.h"
#include "win/Error.h"
#include "win/Path.h"

#include <windowsx.h>

#include <algorithm>
#include <numeric>
#include <unordered_set>

namespace kalvera {
namespace {

std::wstring UpperAscii(std::wstring text) {
    for (auto& c : text)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - 32);
    return text;
}

DWORD ViewStyleBits(TViewStyle style) {
    constexpr DWORD kBits[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    return kBits[style];
}

} // namespace

TCustomShellListView::TCustomShellListView() {
    SHFILEINFOW info{};
    largeImages_ = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX));
    smallImages_ = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

TCustomShellListView::~TCustomShellListView() {
    destroying_ = true;
    changeNotifier_.reset();
    DestroyWnd();
    if (treeView_)
        treeView_->SetShellListViewLink(nullptr);
    if (comboBox_)
        comboBox_->SetShellListViewLink(nullptr);
}

CreateParams TCustomShellListView::GetCreateParams() const {
    // The system image lists are shared: the control must never destroy them.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_OWNERDATA |
                  LVS_SHAREIMAGELISTS | LVS_SHOWSELALWAYS | ViewStyleBits(viewStyle_);
    if (!readOnly_)
        style |= LVS_EDITLABELS;
    return {WC_LISTVIEWW, style, WS_EX_CLIENTEDGE};
}

void TCustomShellListView::CreateWnd() {
    Control::CreateWnd();
    HWND list = HandleAllocated() ? Handle() : nullptr;
    if (!list)
        return;
    if (smallImages_)
        ListView_SetImageList(list, smallImages_, LVSIL_SMALL);
    if (largeImages_)
        ListView_SetImageList(list, largeImages_, LVSIL_NORMAL);
    ApplyViewStyle();
    ApplyRootName();
    RebuildForRoot();
}

void TCustomShellListView::DestroyWnd() {
    DiscardItems();
    DestroyHandle();
}

void TCustomShellListView::Loaded() {
    Control::Loaded();
    FillItems();
    SetAutoRefresh(autoRefresh_);
}

void TCustomShellListView::SetRoot(const std::wstring& value) {
    if (SameTextAscii(value, root_))
        return;
    previousRootName_ = root_;
    root_ = value;
    ApplyRootName();
    rootNameChanged_ = true;
    RebuildForRoot();
}

void TCustomShellListView::ApplyRootName() {
    // Bound later: a file-system folder gets the folder object its reading
    // thread bound (see FillItems).
    std::unique_ptr<TShellFolder> item = RootItemFromName(previousRootName_, root_, true);
    // The rows hang below the old root item: they go before it does.
    DiscardItems();
    rootItem_ = std::move(item);
}

void TCustomShellListView::RebuildForRoot() {
    if (updating_)
        return;
    FlagScope updating(updating_);
    const bool refresh = autoRefresh_;
    SetAutoRefresh(false);
    entered_ = std::chrono::steady_clock::now();
    SyncPartners();
    FillItems();
    if (viewStyle_ == vsReport)
        BuildColumns();
    SetAutoRefresh(refresh);
    if (OnFolderChange)
        OnFolderChange();
}

void TCustomShellListView::SyncPartners() {
    const bool byName = std::exchange(rootNameChanged_, false);
    if (byName) {
        if (treeView_)
            treeView_->SetRoot(root_);
        if (comboBox_)
            comboBox_->SetRoot(root_);
    } else if (rootItem_) {
        if (treeView_)
            treeView_->FollowIdList(rootItem_->AbsoluteIdList());
        if (comboBox_)
            comboBox_->FollowIdList(rootItem_->AbsoluteIdList());
    }
}

void TCustomShellListView::NavigateToIdList(const ITEMIDLIST* absolute) {
    if (updating_)
        return;
    if (rootItem_ && SameIdList(rootItem_->AbsoluteIdList(), absolute))
        return;
    // The list may belong to a row that is about to go.
    const IdList target = IdListCopy(absolute);
    DiscardItems();
    rootItem_.reset();
    rootNameChanged_ = false;
    rootItem_ = std::make_unique<TShellFolder>(target.get(), TShellFolder::BindRootLater{});
    RebuildForRoot();
}

void TCustomShellListView::FollowIdList(const ITEMIDLIST* absolute) {
    if (updating_)
        return;
    if (!rootItem_ || !SameIdList(rootItem_->AbsoluteIdList(), absolute))
        NavigateToIdList(absolute);
}

void TCustomShellListView::GoUp() {
    if (!rootItem_)
        return;
    IdList parent = IdListCopy(rootItem_->AbsoluteIdList());
    IdListStripLast(parent.get());
    NavigateToIdList(parent.get());
}

void TCustomShellListView::Reload() {
    if (!rootItem_)
        return;
    // A change noticed while the rows come in is read once they are in.
    if (Filling()) {
        reloadWhenFilled_ = true;
        return;
    }
    // The selected items are selected again wherever they now stand, found
    // by their names in the folder; gone, they are not. Their old positions
    // could hold other files by now, which a run would then change unasked.
    const std::vector<int> rows = SelectedIndices();
    const int focused = FocusedIndex();
    std::vector<std::wstring> names;
    for (int row : rows)
        names.push_back(ItemAt(row)->InFolderParsingName());
    const std::wstring focusName = focused >= 0 ? ItemAt(focused)->InFolderParsingName() : L"";
    SetItemIndex(-1);
    const IdList root = IdListCopy(rootItem_->AbsoluteIdList());
    DiscardItems();
    rootItem_.reset();
    NavigateToIdList(root.get());
    WhenFilled([this, rows, names, focusName] {
        // One row unchanged in place costs one name, not one per row.
        if (rows.size() == 1 && rows[0] < Count() &&
            items_[static_cast<size_t>(rows[0])]->InFolderParsingName() == names[0]) {
            SetItemIndex(rows[0]);
            return;
        }
        SelectNames(names, focusName);
    });
}

int TCustomShellListView::SelectNames(const std::vector<std::wstring>& names,
                                      const std::wstring& focusName, bool caseless) {
    if (!HandleAllocated() || names.empty())
        return 0;
    auto key = [caseless](std::wstring name) { return caseless ? UpperAscii(name) : name; };
    std::unordered_set<std::wstring> wanted;
    for (const auto& name : names)
        wanted.insert(key(name));
    const std::wstring focusKey = key(focusName);
    int selected = 0, first = -1, focus = -1;
    for (int row = 0; row < Count() && selected < static_cast<int>(wanted.size()); ++row) {
        const std::wstring name = key(items_[static_cast<size_t>(row)]->InFolderParsingName());
        if (!wanted.contains(name))
            continue;
        ListView_SetItemState(Handle(), row, LVIS_SELECTED, LVIS_SELECTED);
        ++selected;
        first = first < 0 ? row : first;
        if (name == focusKey)
            focus = row;
    }
    if (focus < 0)
        focus = first;
    if (focus >= 0) {
        ListView_SetItemState(Handle(), focus, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_SetSelectionMark(Handle(), focus);
        ListView_EnsureVisible(Handle(), focus, FALSE);
    }
    return selected;
}

namespace {
// Posted by the folder reader to the list's window.
constexpr UINT kReaderMessage = WM_APP + 71;
// Counted from the moment the folder is entered, so that the window answers
// within a tenth of a second however long its partners took to follow; a
// folder read within it shows its rows at once.
DWORD fillWait = 60;
} // namespace

DWORD TCustomShellListView::SetFillWait(DWORD ms) {
    return std::exchange(fillWait, ms);
}

void TCustomShellListView::FillItems() {
    if (Loading() && !HandleAllocated())
        return;
    HWND list = Handle();
    if (!list)
        return;
    BatchUpdate batch(list);
    DiscardItems();
    HourglassCursor hourglass;
    // A fill of its own (not one of entering a folder) waits from now.
    if (!updating_)
        entered_ = std::chrono::steady_clock::now();
    // Asked once: a folder's parsing name can cost tens of milliseconds.
    const std::wstring rootPath = rootItem_ ? rootItem_->ParsingName() : std::wstring();
    const SHCONTF flags = EnumFlagsFromObjectTypes(objectTypes_);
    // A file-system folder is bound and read on a thread of its own, and
    // this one takes its folder object when it is done: nothing here looks
    // into the folder meanwhile. The desktop and virtual folders are read
    // here: their objects may answer on this thread only.
    const ITEMIDLIST* absolute = rootItem_ ? rootItem_->AbsoluteIdList() : nullptr;
    if (absolute && absolute->mkid.cb && !OnAddFolder && IsFullyQualifiedPath(rootPath)) {
        reader_ = std::make_unique<FolderReader>(absolute, flags, sorted_, list, kReaderMessage);
        WaitForRows();
        return;
    }
    captions_.Reset(rootPath, false);
    IShellFolder* folder = rootItem_ ? rootItem_->FolderInterface() : nullptr;
    if (!folder)
        return;
    ComPtr<IEnumIDList> entries;
    if (EnumerateFolder(folder, GetAncestor(list, GA_ROOT), flags, entries) != S_OK || !entries)
        return;
    IdList child;
    while (entries->Next(1, child.put_child(), nullptr) == S_OK) {
        auto item = std::make_unique<TShellFolder>(rootItem_.get(), std::move(child),
                                                   TShellFolder::BindLater{});
        bool canAdd = true;
        if (OnAddFolder)
            OnAddFolder(*this, *item, canAdd);
        if (canAdd)
            items_.push_back(std::move(item));
    }
    ListView_SetItemCountEx(list, static_cast<int>(items_.size()), LVSICF_NOINVALIDATEALL);
    if (sorted_)
        SortItems();
    // In the icon views an owner-data list places its rows only when told
    // to: without this, rows of a first fill could stand on top of each other.
    SendMessageW(list, LVM_ARRANGE, LVA_DEFAULT, 0);
}

void TCustomShellListView::WaitForRows() {
    if (!reader_)
        return;
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - entered_)
                           .count();
    // No wait left: the rows come in steps, however fast the folder was read.
    if (spent < fillWait && reader_->WaitDone(fillWait - static_cast<DWORD>(spent)))
        TakeReadRows();
    else if (OnFillProgress)
        OnFillProgress(reader_->Found(), false);
}

void TCustomShellListView::TakeReadRows() {
    if (!reader_)
        return;
    std::vector<IdList> rows;
    const bool all = reader_->Take(rows);
    incoming_.reserve(incoming_.size() + rows.size());
    for (IdList& row : rows)
        incoming_.push_back(std::make_unique<TShellFolder>(rootItem_.get(), std::move(row),
                                                           TShellFolder::BindLater{}));
    if (all)
        EndFill();
    else if (OnFillProgress)
        OnFillProgress(std::max(reader_->Found(), incoming_.size()), false);
}

void TCustomShellListView::EndFill() {
    rootItem_->AdoptFolder(reader_->TakeFolder());
    captions_.Reset(rootItem_->ParsingName(), reader_->SettingsFileFound());
    reader_.reset();
    items_ = std::move(incoming_);
    incoming_.clear();
    HWND list = Handle();
    {
        BatchUpdate batch(list);
        ListView_SetItemCountEx(list, static_cast<int>(items_.size()), LVSICF_NOINVALIDATEALL);
        SendMessageW(list, LVM_ARRANGE, LVA_DEFAULT, 0);
    }
    if (std::exchange(columnsWhenFilled_, false))
        BuildColumns();
    if (OnFillProgress)
        OnFillProgress(items_.size(), true);
    auto actions = std::exchange(whenFilled_, {});
    // What waited for the rows waits for those of the folder read again.
    if (std::exchange(reloadWhenFilled_, false)) {
        Reload();
        for (auto& action : actions)
            WhenFilled(std::move(action));
        return;
    }
    for (auto& action : actions)
        action();
}

void TCustomShellListView::WhenFilled(std::function<void()> action) {
    if (Filling())
        whenFilled_.push_back(std::move(action));
    else
        action();
}

void TCustomShellListView::SortItems() {
    // Each item's folder flag is asked once per sort, not once per comparison.
    std::vector<char> isFolder(items_.size());
    std::vector<const ITEMIDLIST*> ids(items_.size());
    for (size_t i = 0; i < items_.size(); ++i) {
        isFolder[i] = items_[i]->IsFolderItem();
        ids[i] = items_[i]->RelativeIdList();
    }
    const std::vector<size_t> order =
        ShellOrder(rootItem_ ? rootItem_->FolderInterface() : nullptr, ids, &isFolder);
    std::vector<std::unique_ptr<TShellFolder>> sorted;
    sorted.reserve(items_.size());
    for (size_t i : order)
        sorted.push_back(std::move(items_[i]));
    items_ = std::move(sorted);
}

void TCustomShellListView::DiscardItems() {
    if (!destroying_ && HandleAllocated()) {
        // An open label edit belongs to a row about to go: ended now, without
        // a text, it renames nothing (committed later it would rename
        // whatever row then stands at its position).
        if (ListView_GetEditControl(Handle())) {
            FlagScope cancelling(cancellingEdit_);
            SendMessageW(Handle(), LVM_CANCELEDITLABEL, 0, 0);
        }
        ListView_SetItemCountEx(Handle(), 0, 0);
    }
    items_.clear();
    reader_.reset();
    incoming_.clear();
    whenFilled_.clear();
    reloadWhenFilled_ = false;
    columnsWhenFilled_ = false;
}

int TCustomShellListView::ItemIndex() {
    return HandleAllocated() ? ListView_GetNextItem(Handle(), -1, LVNI_SELECTED) : -1;
}

void TCustomShellListView::SetItemIndex(int index) {
    if (!HandleAllocated())
        return;
    // The row given becomes the only one selected.
    if (ItemIndex() >= 0)
        ListView_SetItemState(Handle(), -1, 0, LVIS_SELECTED);
    if (index >= 0) {
        ListView_SetItemState(Handle(), index, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetSelectionMark(Handle(), index);
    }
}

std::vector<int> TCustomShellListView::SelectedIndices() {
    std::vector<int> rows;
    if (!HandleAllocated())
        return rows;
    for (int row = ListView_GetNextItem(Handle(), -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(Handle(), row, LVNI_SELECTED))
        rows.push_back(row);
    return rows;
}

int TCustomShellListView::FocusedIndex() {
    if (!HandleAllocated())
        return -1;
    const int focused = ListView_GetNextItem(Handle(), -1, LVNI_FOCUSED);
    if (focused >= 0 && ListView_GetItemState(Handle(), focused, LVIS_SELECTED))
        return focused;
    return ItemIndex();
}

TShellFolder* TCustomShellListView::ItemAt(int index) const {
    if (index < 0 || index >= Count())
        throw ListIndexError(L"リストのインデックスが範囲を超えています (" +
                             std::to_wstring(index) + L")");
    return items_[static_cast<size_t>(index)].get();
}

TShellFolder* TCustomShellListView::SelectedItem() {
    const int index = FocusedIndex();
    return index >= 0 ? ItemAt(index) : nullptr;
}

int TCustomShellListView::ColumnCount() {
    return HandleAllocated() ? Header_GetItemCount(ListView_GetHeader(Handle())) : 0;
}

void TCustomShellListView::SetAutoRefresh(bool value) {
    autoRefresh_ = value;
    if (Loading())
        return;
    changeNotifier_.reset();
    if (!value)
        return;
    changeNotifier_ =
        WatchFolder(rootItem_ ? rootItem_->ParsingName() : std::wstring(), [this] { Reload(); });
}

void TCustomShellListView::SetSorted(bool value) {
    if (value == sorted_)
        return;
    sorted_ = value;
    FillItems();
}

void TCustomShellListView::SetObjectTypes(TShellObjectTypes value) {
    objectTypes_ = value;
    if (!Loading())
        RebuildForRoot();
}

void TCustomShellListView::SetViewStyle(TViewStyle value) {
    viewStyle_ = value;
    if (HandleAllocated())
        ApplyViewStyle();
    if (value == vsReport && !Loading())
        BuildColumns();
}

void TCustomShellListView::ApplyViewStyle() {
    HWND list = Handle();
    const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
    SetWindowLongPtrW(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | ViewStyleBits(viewStyle_));
    // The view message repaints cleanly where changed style bits alone leave
    // stale rows on screen.
    constexpr DWORD kViews[] = {LV_VIEW_ICON, LV_VIEW_SMALLICON, LV_VIEW_LIST, LV_VIEW_DETAILS};
    SendMessageW(list, LVM_SETVIEW, kViews[viewStyle_], 0);
    InvalidateRect(list, nullptr, TRUE);
}

void TCustomShellListView::SetReadOnly(bool value) {
    readOnly_ = value;
    if (HandleAllocated()) {
        const LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
        SetWindowLongPtrW(Handle(), GWL_STYLE,
                          value ? style & ~LVS_EDITLABELS : style | LVS_EDITLABELS);
    }
}

void TCustomShellListView::BuildColumns() {
    HWND list = Handle();
    BatchUpdate batch(list);
    while (ListView_DeleteColumn(list, 0)) {
    }
    columnCaptions_.clear();
    // The folder's columns come with its object, once its reading ends.
    if (Filling()) {
        columnsWhenFilled_ = true;
        return;
    }
    if (!rootItem_ || !rootItem_->FolderInterface())
        return;
    rootItem_->SetOwnerWindow(list);
    auto addFrom = [&](SHELLDETAILS& details) {
        const std::wstring caption = StrRetToText(nullptr, details.str);
        if (caption.empty())
            return true;
        for (const auto& seen : columnCaptions_)
            if (CompareStringOrdinal(seen.c_str(), -1, caption.c_str(), -1, TRUE) == CSTR_EQUAL)
                return false;
        AddColumn(caption, details.fmt, details.cxChar);
        return true;
    };
    if (IShellFolder2* extended = rootItem_->ExtendedFolder()) {
        for (SHELLDETAILS& details : DefaultColumns(*extended))
            addFrom(details);
    } else if (IShellDetails* provider = rootItem_->DetailsProvider()) {
        for (UINT column = 0;; ++column) {
            SHELLDETAILS details{};
            if (provider->GetDetailsOf(nullptr, column, &details) != S_OK || !addFrom(details))
                break;
        }
    } else {
        AddColumn(L"名前", LVCFMT_LEFT, 25);
        if (rootItem_->AttributeSet().Has(AttrFileSystem)) {
            AddColumn(L"サイズ", LVCFMT_RIGHT, 10);
            AddColumn(L"ファイルの種類", LVCFMT_LEFT, 10);
            AddColumn(L"更新日時", LVCFMT_LEFT, 14);
        }
    }
}

void TCustomShellListView::AddColumn(const std::wstring& caption, int format, int widthInChars) {
    HWND list = Handle();
    HDC dc = GetDC(list);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE x{};
    GetTextExtentPoint32W(dc, L"X", 1, &x);
    SelectObject(dc, previous);
    ReleaseDC(list, dc);

    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.fmt = format == LVCFMT_RIGHT || format == LVCFMT_CENTER ? format : LVCFMT_LEFT;
    column.cx = widthInChars * x.cx;
    column.pszText = const_cast<wchar_t*>(caption.c_str());
    ListView_InsertColumn(list, static_cast<int>(columnCaptions_.size()), &column);
    columnCaptions_.push_back(caption);
}

void TCustomShellListView::BeginRename() {
    const int index = FocusedIndex();
    if (index < 0)
        return;
    SetFocus(Handle());
    // The control keeps only the edited row selected: the others are
    // selected again, so a rename (or its Esc) leaves the selection as it was.
    const std::vector<int> selected = SelectedIndices();
    ListView_EditLabel(Handle(), index);
    for (int row : selected)
        ListView_SetItemState(Handle(), row, LVIS_SELECTED, LVIS_SELECTED);
}

// A replaced partner keeps its link back to the list, so each stays
// registered for the other's removal: whichever goes first, the other
// clears its pointer.
void TCustomShellListView::RefreshDetailsOf(const std::vector<std::wstring>& paths) {
    if (!HandleAllocated() || paths.empty())
        return;
    std::unordered_set<std::wstring> changed(paths.begin(), paths.end());
    // Rows shown already are read again now; the others when they are
    // drawn, so a large run costs no lookup for rows never seen.
    for (int row = 0; row < Count(); ++row) {
        TShellFolder& item = *items_[static_cast<size_t>(row)];
        if (!changed.contains(item.ParsingName()))
            continue;
        if (item.DetailsLoaded()) {
            item.RefreshDetails();
            ListView_RedrawItems(Handle(), row, row);
        } else {
            item.MarkDetailsStale();
        }
    }
}

void TCustomShellListView::Notification(Component* component, bool removing) {
    if (removing && !treeView_.Forget(component))
        comboBox_.Forget(component);
}

bool TCustomShellListView::OnNotify(NMHDR& header, LRESULT& result) {
    switch (header.code) {
    case LVN_GETDISPINFOW:
        FillRowData(reinterpret_cast<NMLVDISPINFOW&>(header));
        return true;
    case LVN_ODFINDITEMW: {
        auto& find = reinterpret_cast<NMLVFINDITEMW&>(header);
        result = FindRow(find.lvfi, find.iStart);
        return true;
    }
    case NM_DBLCLK:
        if (autoNavigate_)
            OpenSelected(true);
        if (OnDblClick)
            OnDblClick();
        return true;
    case LVN_ENDLABELEDITW:
        EndLabelEdit(reinterpret_cast<NMLVDISPINFOW&>(header));
        result = FALSE;
        return true;
    case LVN_COLUMNCLICK:
        if (OnColumnClick)
            OnColumnClick(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
        return true;
    default:
        return false;
    }
}

void TCustomShellListView::FillRowData(NMLVDISPINFOW& info) {
    LVITEMW& row = info.item;
    if (row.iItem < 0 || row.iItem >= Count())
        return;
    TShellFolder& item = *items_[static_cast<size_t>(row.iItem)];
    if ((row.mask & LVIF_TEXT) && row.pszText && row.cchTextMax > 0) {
        std::wstring text;
        if (row.iSubItem == 0) {
            text = captions_.Caption(item);
        } else if (viewStyle_ == vsReport) {
            // A file removed since the fill has no data to show: its row
            // stays blank instead of raising an error on every repaint.
            try {
                item.LoadColumnDetails(rootItem_.get(), Handle(), ColumnCount());
            } catch (const InvalidPathError&) {
            }
            if (item.DetailsLoaded() && row.iSubItem < ColumnCount())
                text = item.DetailText(row.iSubItem);
        }
        lstrcpynW(row.pszText, text.c_str(), row.cchTextMax);
    }
    if (row.mask & LVIF_IMAGE)
        row.iImage = item.IconIndex(viewStyle_ == vsIcon);
}

int TCustomShellListView::FindRow(const LVFINDINFOW& find, int start) {
    // Type-ahead may come as a partial request without the string flag.
    if (!(find.flags & (LVFI_PARTIAL | LVFI_STRING)) || !find.psz || !*find.psz)
        return -1;
    const std::wstring typed = UpperAscii(find.psz);
    const int count = Count();
    start = std::clamp(start, 0, count);
    auto matches = [&](int row) {
        return UpperAscii(captions_.Caption(*items_[static_cast<size_t>(row)])).starts_with(typed);
    };
    for (int row = start; row < count; ++row)
        if (matches(row))
            return row;
    if (find.flags & LVFI_WRAP)
        for (int row = 0; row < start; ++row)
            if (matches(row))
                return row;
    return -1;
}

void TCustomShellListView::OpenSelected(bool fromDoubleClick) {
    TShellFolder* item = SelectedItem();
    if (!item)
        return;
    if (item->IsFolderItem()) {
        NavigateToIdList(item->AbsoluteIdList());
    } else if (fromDoubleClick) {
        const std::wstring path = item->ParsingName();
        ShellExecuteW(Handle(), nullptr, path.c_str(), nullptr, FolderPartOf(path).c_str(),
                      SW_SHOWNORMAL);
    } else {
        item->OpenDefault();
    }
}

void TCustomShellListView::HandleKey(WORD& key, bool alt) {
    if (OnKeyDown)
        OnKeyDown(key, alt);
    if (key == 'A' && !alt && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) >= 0) {
        ListView_SetItemState(Handle(), -1, LVIS_SELECTED, LVIS_SELECTED);
        key = 0;
    }
    if (key == 0 || !autoNavigate_)
        return;
    switch (key) {
    case VK_BACK:
        if (!ListView_GetEditControl(Handle()))
            GoUp();
        break;
    case VK_RETURN:
        if (alt) {
            InvokeItemVerb(L"properties", SelectedItem());
            key = 0;
        } else {
            OpenSelected(false);
        }
        break;
    case VK_F5:
        Reload();
        break;
    case VK_F2:
        if (!readOnly_)
            BeginRename();
        break;
    }
}

void TCustomShellListView::ShowContextPopup(LPARAM position) {
    SetFocus(Handle());
    POINT at{-1, -1};
    if (position == -1) {
        if (const int index = FocusedIndex(); index >= 0) {
            RECT bounds{};
            bounds.left = LVIR_SELECTBOUNDS;
            SendMessageW(Handle(), LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&bounds));
            at = {(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
        }
    } else {
        at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
        ScreenToClient(Handle(), &at);
    }
    if (autoContextMenus_ && SelectedItem()) {
        ShowItemContextMenu(Handle(), this, SelectedItem(), at.x, at.y);
        return;
    }
    if (OnContextPopup)
        OnContextPopup(at);
}

void TCustomShellListView::EndLabelEdit(const NMLVDISPINFOW& info) {
    const int index = info.item.iItem;
    // The control may end a cancelled edit with its text all the same.
    if (cancellingEdit_ || !info.item.pszText || index < 0 || index >= Count())
        return;
    items_[static_cast<size_t>(index)]->RenameTo(info.item.pszText);
    ListView_RedrawItems(Handle(), index, index);
}

LRESULT TCustomShellListView::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        WORD key = static_cast<WORD>(wParam);
        const bool alt = message == WM_SYSKEYDOWN || GetKeyState(VK_MENU) < 0;
        HandleKey(key, alt);
        if (key == 0)
            return 0;
        return Default(message, key, lParam);
    }
    case WM_CONTEXTMENU:
        ShowContextPopup(lParam);
        return 0;
    case kReaderMessage:
        TakeReadRows();
        return 0;
    case WM_GETDLGCODE:
        // Enter opens the selected row, also in a window that runs dialog
        // keyboard handling (which would otherwise take it as "OK").
        if (auto* msg = reinterpret_cast<MSG*>(lParam);
            msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
            return Default(message, wParam, lParam) | DLGC_WANTMESSAGE;
        break;
    case WM_INITMENUPOPUP:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR:
        if (IContextMenu2* menu = ActiveContextMenu2())
            menu->HandleMenuMsg(message, wParam, lParam);
        break;
    case WM_SETFOCUS:
        if (OnEnter)
            OnEnter();
        break;
    }
    return Default(message, wParam, lParam);
}

void TCustomShellListView::BeforeVerb(const std::wstring& verb, bool& handled) {
    if (SameTextAscii(verb, L"rename")) {
        BeginRename();
        handled = true;
    } else if (SameTextAscii(verb, L"open")) {
        savedDirectory_ = CurrentDirectory();
        if (TShellFolder* item = SelectedItem())
            SetCurrentDirectoryW(FolderPartOf(item->ParsingName()).c_str());
    }
}

void TCustomShellListView::AfterVerb(const std::wstring& verb, bool succeeded) {
    if (!succeeded)
        return;
    if (SameTextAscii(verb, L"delete") || SameTextAscii(verb, L"paste"))
        Reload();
    else if (SameTextAscii(verb, L"open"))
        SetCurrentDirectoryW(savedDirectory_.c_str());
}

} // namespace kalvera
