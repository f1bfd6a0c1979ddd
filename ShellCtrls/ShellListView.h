#pragma once
// The file list: one shell folder shown in a virtual list view. Row i is
// always the item at position i of the list's items; the control asks for
// the texts and icons of the rows it draws and the list answers from the
// item at that moment.

#include "ShellCtrls/CaptionRules.h"
#include "ShellCtrls/FolderReader.h"
#include "ShellCtrls/ContextMenu.h"
#include "ShellCtrls/ShellChangeNotifier.h"
#include "ShellCtrls/ShellFolder.h"
#include "ShellCtrls/ShellPartners.h"
#include "ShellCtrls/ShellTypes.h"
#include "ui/Control.h"

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kalvera {

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TCustomShellListView;
using TAddFolderEvent =
    std::function<void(TCustomShellListView& sender, TShellFolder& folder, bool& canAdd)>;

class TCustomShellListView : public Control, public IShellVerbHook {
public:
    TCustomShellListView();
    ~TCustomShellListView() override;

    // Properties.
    const std::wstring& Root() const { return root_; }
    void SetRoot(const std::wstring& value);
    TShellFolder* RootItem() const { return rootItem_.get(); }
    bool AutoContextMenus() const { return autoContextMenus_; }
    void SetAutoContextMenus(bool value) { autoContextMenus_ = value; }
    bool AutoRefresh() const { return autoRefresh_; }
    void SetAutoRefresh(bool value);
    bool AutoNavigate() const { return autoNavigate_; }
    void SetAutoNavigate(bool value) { autoNavigate_ = value; }
    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);
    TShellObjectTypes ObjectTypes() const { return objectTypes_; }
    void SetObjectTypes(TShellObjectTypes value);
    TViewStyle ViewStyle() const { return viewStyle_; }
    void SetViewStyle(TViewStyle value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    bool Updating() const { return updating_; }
    ShellListPartner* ShellTreeView() const { return treeView_; }
    void SetShellTreeView(ShellListPartner* partner) {
        treeView_.Set(*this, partner, root_, &ShellListPartner::SetShellListViewLink, Self());
    }
    ShellListPartner* ShellComboBox() const { return comboBox_; }
    void SetShellComboBox(ShellListPartner* partner) {
        comboBox_.Set(*this, partner, root_, &ShellListPartner::SetShellListViewLink, Self());
    }
    // The links alone, as a tree or combo box sets them when it links itself.
    void SetShellTreeViewLink(ShellListPartner* partner) { treeView_.Link(*this, partner); }
    void SetShellComboBoxLink(ShellListPartner* partner) { comboBox_.Link(*this, partner); }
    TShellChangeNotifier* ChangeNotifier() const { return changeNotifier_.get(); }
    HIMAGELIST LargeSystemImages() const { return largeImages_; }
    HIMAGELIST SmallSystemImages() const { return smallImages_; }

    // Events.
    TAddFolderEvent OnAddFolder;
    std::function<void(WORD& key, bool alt)> OnKeyDown;
    std::function<void()> OnDblClick;
    std::function<void()> OnEnter;
    std::function<void(int column)> OnColumnClick;
    // The control's own popup, for a right click that shows no shell menu.
    std::function<void(POINT clientPoint)> OnContextPopup;
    // A large folder's rows come in steps (see FillItems): told the count
    // found so far while they do, and done once the list holds them all.
    std::function<void(size_t found, bool done)> OnFillProgress;
    // The list has been filled for a folder, another one or the same again.
    std::function<void()> OnFolderChange;

    // Reading the list. ItemIndex is the first selected row; setting it
    // makes that row the only one selected, and focused.
    int ItemIndex();
    void SetItemIndex(int index);
    std::vector<int> SelectedIndices();
    // The focused row when it is selected, else the first selected row: the
    // one that rename, properties and the context menu act on.
    int FocusedIndex();
    // Selects the rows of these names in the folder (compared without case
    // of ASCII letters when caseless), focuses and shows the one named
    // focusName or else the first. Returns how many were found.
    int SelectNames(const std::vector<std::wstring>& names, const std::wstring& focusName = L"",
                    bool caseless = false);
    int Count() const { return static_cast<int>(items_.size()); }
    TShellFolder* ItemAt(int index) const;
    TShellFolder* SelectedItem(); // the row of FocusedIndex
    int ColumnCount();

    // Navigation and refresh.
    // A file-system folder is read on a thread of its own. When that takes
    // longer than the fill's wait, the list stays empty while it goes on,
    // the window answering meanwhile, and gets every row at once, sorted,
    // when it ends.
    bool Filling() const { return reader_ != nullptr; }
    // Runs the action once the list holds the current folder's rows: now,
    // or when the fill ends. A new folder drops what was waiting.
    void WhenFilled(std::function<void()> action);
    // How long after entering a folder a fill waits for its rows before it
    // lets them come in steps; returns the wait it replaces. Tests set
    // their own.
    static DWORD SetFillWait(DWORD ms);

    void NavigateToIdList(const ITEMIDLIST* absolute);
    void FollowIdList(const ITEMIDLIST* absolute);
    void GoUp();
    void Reload();
    virtual void FillItems();
    void BuildColumns();
    void RebuildForRoot();
    void ApplyRootName();
    void SyncPartners();
    void BeginRename();
    // The rows of these files show their details afresh (times changed on
    // disk): only their cached texts go and only they are redrawn, with no
    // new fill; selection, focus and scroll position stay.
    void RefreshDetailsOf(const std::vector<std::wstring>& paths);
    void DiscardItems();

    void Loaded() override;

    // IShellVerbHook
    void BeforeVerb(const std::wstring& verb, bool& handled) override;
    void AfterVerb(const std::wstring& verb, bool succeeded) override;

    bool OnNotify(NMHDR& header, LRESULT& result) override;

protected:
    CreateParams GetCreateParams() const override;
    void CreateWnd() override;
    void DestroyWnd() override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Notification(Component* component, bool removing) override;

private:
    TCustomShellListView* Self() { return this; }
    void SortItems();
    // The rows of a folder being read, if they come within the fill's wait.
    void WaitForRows();
    // The rows the reader has ready; the end of the fill once they are all in.
    void TakeReadRows();
    void EndFill();
    void FillRowData(NMLVDISPINFOW& info);
    int FindRow(const LVFINDINFOW& find, int start);
    void HandleKey(WORD& key, bool alt);
    void OpenSelected(bool fromDoubleClick);
    void ShowContextPopup(LPARAM position);
    void EndLabelEdit(const NMLVDISPINFOW& info);
    void AddColumn(const std::wstring& caption, int format, int widthInChars);
    void ApplyViewStyle();

    std::wstring previousRootName_;
    std::wstring root_ = L"rfDesktop";
    std::unique_ptr<TShellFolder> rootItem_;
    bool autoContextMenus_ = true;
    bool autoRefresh_ = false;
    bool autoNavigate_ = true;
    bool sorted_ = true;
    bool updating_ = false;
    bool readOnly_ = false;
    TShellObjectTypes objectTypes_{otFolders, otNonFolders};
    TViewStyle viewStyle_ = vsIcon;
    HIMAGELIST largeImages_ = nullptr;
    HIMAGELIST smallImages_ = nullptr;
    std::vector<std::unique_ptr<TShellFolder>> items_;
    std::unique_ptr<FolderReader> reader_;                // while a fill goes on
    std::vector<std::unique_ptr<TShellFolder>> incoming_; // its rows so far
    std::vector<std::function<void()>> whenFilled_;
    bool reloadWhenFilled_ = false;                 // a change was noticed during the fill
    bool columnsWhenFilled_ = false;                // the details view's columns wait for the fill
    std::chrono::steady_clock::time_point entered_; // when the folder was entered
    PartnerSlot<ShellListPartner> treeView_;
    PartnerSlot<ShellListPartner> comboBox_;
    std::unique_ptr<TShellChangeNotifier> changeNotifier_;
    bool rootNameChanged_ = false;
    std::wstring savedDirectory_;
    bool destroying_ = false;
    bool cancellingEdit_ = false;
    std::vector<std::wstring> columnCaptions_;
    CaptionRules captions_;
};

class TShellListView : public TCustomShellListView {};

} // namespace kalvera
