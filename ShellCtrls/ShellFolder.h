#pragma once
// One object of the shell namespace: its identifier lists, its parent, its
// own folder object and its cached detail texts. Names and attributes are
// asked of the shell every time; only detail texts and detail interfaces
// are kept.

#include "ShellCtrls/IdList.h"
#include "ShellCtrls/ShellTypes.h"
#include "win/ComPtr.h"

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

class TShellFolder {
public:
    // parent null: the list is absolute and the item hangs below the desktop.
    TShellFolder(TShellFolder* parent, const ITEMIDLIST* list, ComPtr<IShellFolder> folder);
    // A child of parent (not null) whose folder object is bound from the
    // parent's when first asked for. Binding costs far more than anything
    // else in making an item, and most items of a large folder are never
    // opened.
    struct BindLater {};
    TShellFolder(TShellFolder* parent, const ITEMIDLIST* list, BindLater);
    // As above, taking the child list as it is (an enumerator's).
    TShellFolder(TShellFolder* parent, IdList list, BindLater);
    // An item below the desktop whose folder object is bound from the
    // absolute list when first asked for, unless one bound elsewhere (on a
    // thread that reads the folder) is adopted first.
    struct BindRootLater {};
    TShellFolder(const ITEMIDLIST* absolute, BindRootLater);
    void AdoptFolder(ComPtr<IShellFolder> folder);
    TShellFolder(const TShellFolder&) = delete;
    TShellFolder& operator=(const TShellFolder&) = delete;

    const ITEMIDLIST* RelativeIdList() const { return relative_.get(); }
    // Made when first asked for: a folder's rows mostly never need theirs,
    // and each would repeat the whole path to the folder.
    const ITEMIDLIST* AbsoluteIdList() const;
    TShellFolder* ParentItem() const { return parent_; }
    IShellFolder* FolderInterface() const;
    int Depth() const { return depth_; }

    IShellFolder* ParentFolderInterface() const;
    std::wstring InFolderName() const;
    // The name that tells the item from its siblings: for a file, its file
    // name, extension included.
    std::wstring InFolderParsingName() const;
    // The full path of a file-system item; the display name of a virtual one.
    std::wstring ParsingName() const;

    bool IsFolderItem() const;
    bool HasChildFolders() const;
    TCapabilitySet CapabilitySet() const;
    TAttributeSet AttributeSet() const;
    // The folder's own attribute bits for a request mask, asked of its parent.
    SFGAOF Attributes(SFGAOF request) const;

    void SetOwnerWindow(HWND window) { ownerWindow_ = window; }
    IUnknown* GetDetailSource();
    IShellFolder2* ExtendedFolder();
    IShellDetails* DetailsProvider();

    // root is the item of the folder being listed: its detail interfaces
    // describe the columns. Loads columns 1..columnCount (not the name).
    void LoadColumnDetails(TShellFolder* root, HWND window, int columnCount);
    bool DetailsLoaded() const { return !detailTexts_.empty(); }
    // Reads the item again by its name, for details that changed on disk:
    // the identifier lists of a file carry its times and size as they were
    // when the folder was read. Drops the cached detail texts too.
    void RefreshDetails();
    // The file changed on disk: the item is read again when its details
    // are next asked for (an item's list can carry its times).
    void MarkDetailsStale() { detailsStale_ = true; }
    // Index counts from 1.
    const std::wstring& DetailText(int index) const;

    int IconIndex(bool large) const;
    // A folder of the file system that nothing customises: no read-only or
    // system attribute, without which no desktop.ini of it is read. Its icon
    // is every such folder's, found without looking into it (under Wine a
    // look for a desktop.ini walks the whole of a large folder).
    bool IsPlainFolder() const;
    bool RenameTo(std::wstring_view newName);
    void OpenDefault() const;

private:
    // The item's lists made anew from a child list of the parent folder.
    void TakeRelativeList(IdList renamed);

    IdList relative_;
    mutable IdList absolute_;
    TShellFolder* parent_ = nullptr;
    mutable ComPtr<IShellFolder> folder_;
    mutable bool bindPending_ = false;
    bool bindAsRoot_ = false; // bound from the desktop with the absolute list
    ComPtr<IShellFolder2> extendedFolder_;
    ComPtr<IShellDetails> detailsProvider_;
    IUnknown* detailSource_ = nullptr; // one of the two above
    bool detailSourceLooked_ = false;
    int depth_ = 0;
    HWND ownerWindow_ = nullptr;
    std::vector<std::wstring> detailTexts_;
    bool detailsStale_ = false;
};

// The shell cuts parsing names at this many characters (MAX_PATH - 1).
inline constexpr size_t kLongestShellPath = MAX_PATH - 1;
// The parsing name of an absolute list, whole even where the shell cuts it:
// a longer file-system path is put together from its parent's.
std::wstring FullParsingName(const ITEMIDLIST* absolute);

// The fallback detail texts of a file-system item, from its find data.
std::wstring FileDetailText(const WIN32_FIND_DATAW& data, int column);
WIN32_FIND_DATAW FindDataOf(const TShellFolder& item);
// "フォルダ "name" の情報を取得できませんでした。エラーコード：$code", the
// name as it is and the code in hexadecimal.
std::wstring FolderInformationErrorText(std::wstring_view name, DWORD code);
// "yyyy/mm/dd hh:nn:ss" style short date and long time of the user's locale
// for a local DateTime; a zero time of day shows the date alone.
std::wstring DateTimeDisplayText(double dateTime);

} // namespace kalvera
