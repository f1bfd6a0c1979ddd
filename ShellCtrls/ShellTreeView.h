#pragma once
// The folder tree: the shell namespace below a root as a tree of folders,
// each folder's children loaded when it is first expanded. Every node owns
// the shell item in its data. It keeps the address box and the file list on
// its selected folder.

#include "ShellCtrls/ContextMenu.h"
#include "ShellCtrls/ShellChangeNotifier.h"
#include "ShellCtrls/ShellFolder.h"
#include "ShellCtrls/ShellPartners.h"
#include "ShellCtrls/ShellTypes.h"
#include "ui/Control.h"

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

namespace kalvera {

class TCustomShellComboBox;
class TCustomShellListView;
class TCustomShellTreeView;

using TTreeAddFolderEvent =
    std::function<void(TCustomShellTreeView& sender, TShellFolder& folder, bool& canAdd)>;

class TCustomShellTreeView : public Control, public ShellListPartner, public IShellVerbHook {
public:
    TCustomShellTreeView();
    ~TCustomShellTreeView() override;

    const std::wstring& Root() const { return root_; }
    void SetRoot(const std::wstring& value) override;
    TShellFolder* RootItem() const { return rootItem_.get(); }
    TShellObjectTypes ObjectTypes() const { return objectTypes_; }
    virtual void SetObjectTypes(TShellObjectTypes value);
    bool AutoContextMenus() const { return autoContextMenus_; }
    void SetAutoContextMenus(bool value) { autoContextMenus_ = value; }
    bool AutoRefresh() const { return autoRefresh_; }
    void SetAutoRefresh(bool value);
    bool UseShellImages() const { return useShellImages_; }
    void SetUseShellImages(bool value);
    // An image list of the program's own, used instead of the system one.
    HIMAGELIST Images() const { return images_; }
    void SetImages(HIMAGELIST images);
    bool RightClickSelect() const { return rightClickSelect_; }
    void SetRightClickSelect(bool value) { rightClickSelect_ = value; }
    bool ShowRoot() const { return showRoot_; }
    void SetShowRoot(bool value);
    bool Updating() const { return updating_; }
    HIMAGELIST SmallSystemImages() const { return smallImages_; }
    TShellChangeNotifier* ChangeNotifier() const { return changeNotifier_.get(); }

    TCustomShellComboBox* ShellComboBox() const { return comboBox_; }
    void SetShellComboBox(TCustomShellComboBox* comboBox);
    TCustomShellListView* ShellListView() const { return listView_; }
    void SetShellListView(TCustomShellListView* listView);
    // The link alone, as the combo box sets it when it links itself.
    void SetShellComboBoxLink(TCustomShellComboBox* comboBox);

    TTreeAddFolderEvent OnAddFolder;
    std::function<void(HTREEITEM node, bool& allow)> OnChanging;
    std::function<void(HTREEITEM node, bool& allow)> OnExpanding;
    std::function<void(HTREEITEM node, std::wstring& text)> OnEdited;

    // Partner operations.
    void FollowIdList(const ITEMIDLIST* absolute) override;
    void SetShellListViewLink(TCustomShellListView* list) override;
    Component& PartnerComponent() override { return *this; }

    TShellFolder* SelectedItem();
    // The item of the node at the index among all nodes in display order.
    TShellFolder* ItemAt(int index);
    TShellFolder* ItemOf(HTREEITEM node);
    // Reads the node and the nodes below it again; rebind asks the shell
    // for the folder anew (a renamed folder's object still names the old
    // path).
    void RefreshNode(HTREEITEM node, bool rebind = false);
    virtual void ClearNodes();
    void BuildRoot();
    void RebuildForRoot();

    // Node helpers over the tree control.
    HTREEITEM FirstNode();
    HTREEITEM NextNode(HTREEITEM node);
    int LevelOf(HTREEITEM node);
    std::wstring TextOf(HTREEITEM node);
    bool IsExpanded(HTREEITEM node);
    bool HasChildrenFlag(HTREEITEM node);
    HTREEITEM FindNodeByIdList(const ITEMIDLIST* absolute, HTREEITEM start);
    // The node itself, or one of its children, that shows the list.
    HTREEITEM NodeOrChildByIdList(const ITEMIDLIST* absolute, HTREEITEM node);
    // Runs the expansion hook for the node, then expands it.
    void Expand(HTREEITEM node);

    void Loaded() override;

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
    bool ExpandingHook(HTREEITEM node);
    bool SelectionHook(HTREEITEM node);
    void LoadChildren(HTREEITEM node);
    void SetUpNode(const ITEMIDLIST* id, HTREEITEM parent, TShellFolder& parentItem);
    struct NodeSetup {
        const wchar_t* text = nullptr; // null: asked for when the node is drawn
        bool iconsOnDemand = false;
        bool hasChildren = false;
        bool shared = false;
    };
    HTREEITEM InsertNode(HTREEITEM parent, HTREEITEM after, std::unique_ptr<TShellFolder> item,
                         const NodeSetup& setup);
    void FillNodeData(NMTVDISPINFOW& info);
    void SetHasChildren(HTREEITEM node, bool value);
    void SetNodeImages(HTREEITEM node, TShellFolder& item);
    void SortChildren(HTREEITEM node);
    void DeleteNode(HTREEITEM node);
    void EndLabelEdit(NMTVDISPINFOW& info);
    void FollowRename(HTREEITEM node, const std::wstring& oldPath, const std::wstring& newPath);
    void ShowContextMenuAt(POINT clientPoint);
    HIMAGELIST ChosenImageList() const;
    void ApplyImageList();
    void AutoRefreshHandler();

    std::wstring root_ = L"rfDesktop";
    std::wstring previousRootName_;
    std::unique_ptr<TShellFolder> rootItem_;
    TShellObjectTypes objectTypes_{otFolders};
    bool autoContextMenus_ = true;
    bool autoRefresh_ = false;
    bool useShellImages_ = true;
    bool rightClickSelect_ = true;
    bool showRoot_ = false;
    HIMAGELIST images_ = nullptr;
    HIMAGELIST smallImages_ = nullptr;
    PartnerSlot<TCustomShellComboBox> comboBox_;
    PartnerSlot<TCustomShellListView> listView_;
    std::unique_ptr<TShellChangeNotifier> changeNotifier_;
    HTREEITEM nodeToMonitor_ = nullptr;
    HTREEITEM expandingByCode_ = nullptr;
    bool updating_ = false;
    bool loadingRoot_ = false;
    bool imageListChanging_ = false;
    std::wstring savedDirectory_;
};

class TShellTreeView : public TCustomShellTreeView {};

} // namespace kalvera
