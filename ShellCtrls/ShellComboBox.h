#pragma once
// The address box: an indented drop-down list of the root, its folders, My
// Computer's children (for the desktop) and the chain of folders down to the
// current one, which is selected. Every entry owns the shell item in its
// data. Picking an entry moves the folder tree and the file list.

#include "ShellCtrls/ShellFolder.h"
#include "ShellCtrls/ShellPartners.h"
#include "ShellCtrls/ShellTypes.h"
#include "ui/Control.h"

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

namespace kalvera {

class TCustomShellListView;
class TCustomShellTreeView;
class TCustomShellComboBox;

using TGetImageIndexEvent =
    std::function<void(TCustomShellComboBox& sender, int index, int& imageIndex)>;

class TCustomShellComboBox : public Control, public ShellListPartner {
public:
    TCustomShellComboBox();
    ~TCustomShellComboBox() override;

    const std::wstring& Root() const { return root_; }
    void SetRoot(const std::wstring& value) override;
    TShellFolder* RootItem() const { return rootItem_.get(); }
    TShellObjectTypes ObjectTypes() const { return objectTypes_; }
    virtual void SetObjectTypes(TShellObjectTypes value);
    bool UseShellImages() const { return useShellImages_; }
    void SetUseShellImages(bool value);
    HIMAGELIST Images() const { return images_; }
    void SetImages(HIMAGELIST images);
    HIMAGELIST SmallSystemImages() const { return smallImages_; }
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int value);
    bool Updating() const { return updating_; }

    TCustomShellTreeView* ShellTreeView() const { return treeView_; }
    void SetShellTreeView(TCustomShellTreeView* tree);
    TCustomShellListView* ShellListView() const { return listView_; }
    void SetShellListView(TCustomShellListView* list);
    // The link alone, as the tree sets it when it links itself.
    void SetShellTreeViewLink(TCustomShellTreeView* tree);

    TGetImageIndexEvent OnGetImageIndex;
    std::function<void()> OnChange;
    std::function<void()> OnClick;

    // Partner operations.
    void FollowIdList(const ITEMIDLIST* absolute) override;
    void SetShellListViewLink(TCustomShellListView* list) override;
    Component& PartnerComponent() override { return *this; }

    int Count();
    int ItemIndex();
    void SetItemIndex(int index);
    // The entry's item; an index past the last entry means the last entry.
    TShellFolder* ItemAt(int index);
    int IndentOf(int index);
    int ImageIndexOf(int index);
    int IndexOfIdList(const ITEMIDLIST* absolute);

    void BuildRoot();
    virtual void FillTopLevels();
    void AddChildEntries(int parentIndex, TShellFolder& parent);
    void ShowPath(const ITEMIDLIST* absolute);
    void ClearEntries();
    void RebuildForRoot();

    void Loaded() override;
    bool OnCommand(WORD code, LRESULT& result) override;

protected:
    CreateParams GetCreateParams() const override;
    int WindowHeightFor(int height) const override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void Notification(Component* component, bool removing) override;

private:
    std::unique_ptr<TShellFolder> CreateChildItem(TShellFolder& parent, const ITEMIDLIST* id);
    int EntryIconIndex(const TShellFolder& item) const;
    void InsertEntry(int position, const std::wstring& caption, std::unique_ptr<TShellFolder> item);
    void SetEntryImage(int index, int imageIndex);
    void SelectionChanged(bool dropped);
    void EntryChosen();
    void ApplyImageList();
    bool InBatch() const { return batchDepth_ > 0; }

    friend struct ComboBatch;
    std::wstring root_ = L"rfDesktop";
    std::wstring previousRootName_;
    std::unique_ptr<TShellFolder> rootItem_;
    TShellObjectTypes objectTypes_{otFolders};
    bool useShellImages_ = true;
    HIMAGELIST images_ = nullptr;
    HIMAGELIST smallImages_ = nullptr;
    int dropDownCount_ = 8;
    PartnerSlot<TCustomShellTreeView> treeView_;
    PartnerSlot<TCustomShellListView> listView_;
    bool updating_ = false;
    int batchDepth_ = 0;
};

class TShellComboBox : public TCustomShellComboBox {};

} // namespace kalvera
