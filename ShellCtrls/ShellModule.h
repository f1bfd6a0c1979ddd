#pragma once
// The shell browser's module: the desktop item, the folder binding and name
// helpers every shell control uses, root names, and the module's lifetime.

#include "ShellCtrls/IdList.h"
#include "ShellCtrls/ShellTypes.h"
#include "win/ComPtr.h"

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include <string_view>

namespace kalvera {

class TShellFolder;

// Starts the module on the user-interface thread for the scope's lifetime:
// the desktop item, the hand-off window of the change watcher, and OLE.
// Only the outermost scope does anything.
class ShellModuleScope {
public:
    ShellModuleScope();
    ~ShellModuleScope();
    ShellModuleScope(const ShellModuleScope&) = delete;
    ShellModuleScope& operator=(const ShellModuleScope&) = delete;
};

// How many scopes hold the module now (0 when it does not run).
int ShellModuleStarts();
// Tests only: where the module gets the desktop's folder object, so that a
// start can be made to fail; returns the source in place before.
std::function<HRESULT(IShellFolder**)>
SetDesktopFolderSourceForTests(std::function<HRESULT(IShellFolder**)> source);

// The desktop's item while the module runs (null before and after).
TShellFolder* DesktopItem();
// Guards the change watchers' parameters and watch handles.
std::mutex& WatchLock();

ComPtr<IShellFolder> DesktopFolderInterface();
// The desktop's folder object, borrowed from the module (or, outside it, from
// a copy kept for the thread).
IShellFolder* DesktopFolder();
IdList DesktopIdList();
// The absolute identifier list of a path as the desktop parses it; empty
// when it can't.
IdList IdListOfPath(const std::wstring& path);

ComPtr<IShellFolder> BindFolder(IShellFolder* parent, const ITEMIDLIST* list, HWND window);
ComPtr<IShellDetails> BindDetailsProvider(IShellFolder* parent, const ITEMIDLIST* list,
                                          HWND window);
ComPtr<IShellFolder2> BindExtendedFolder(IShellFolder* folder, const ITEMIDLIST* list, HWND window);

// The text of a STRRET, kept in UTF-16; a WSTR result's memory is freed.
// A text like "?12?3" (a "?" then a digit) loses all its question marks.
std::wstring StrRetToText(const ITEMIDLIST* list, STRRET& result);
std::wstring QueryName(IShellFolder* folder, const ITEMIDLIST* list, SHGDNF flags);
int SystemIconIndex(const ITEMIDLIST* list, bool large, bool open);
// The columns a folder shows in the details view: its own in order, up to
// the first that is not on by default after one that is.
std::vector<SHELLDETAILS> DefaultColumns(IShellFolder2& folder);
// Every enumeration of a folder's children goes through here, so that the
// benchmarks can count them.
HRESULT EnumerateFolder(IShellFolder* folder, HWND owner, SHCONTF flags,
                        ComPtr<IEnumIDList>& entries);
long FolderEnumerations();
// Whether enumerating the folder with the flags gives at least one entry.
bool FolderHasEntries(IShellFolder* folder, SHCONTF flags);
SHCONTF EnumFlagsFromObjectTypes(TShellObjectTypes types);

// The folder object of an absolute list, bound from the desktop; the
// desktop's own for a list that binds to nothing.
ComPtr<IShellFolder> BindRootFolder(const ITEMIDLIST* absolute);
std::unique_ptr<TShellFolder> RootItemFromIdList(const ITEMIDLIST* absolute);
// The small or large icon of a folder that nothing customises, closed or
// open, found without looking at any folder.
int PlainFolderIconIndex(bool large, bool open);
// Resolves a root name (one of the 23 special roots, any ASCII case, or a
// path; a bare drive name gets its "\"). On failure newName is set back to
// oldName and "Error setting path" raised, so the caller's root stays; on
// success the caller replaces its root item with the result.
// bindLater: the item binds its folder object when first asked for (see
// TShellFolder::BindRootLater).
std::unique_ptr<TShellFolder> RootItemFromName(const std::wstring& oldName, std::wstring& newName,
                                               bool bindLater = false);
// The special root a name stands for, if it is one.
bool RootFolderFromName(std::wstring_view name, TRootFolder& root);

// The folder part of a path: up to and including its last separator or
// drive colon (empty when it has none).
std::wstring FolderPartOf(const std::wstring& path);
// The process's current directory, read whole whatever its length.
std::wstring CurrentDirectory();

// Equal when equal after folding only ASCII a-z to upper case.
bool SameTextAscii(std::wstring_view a, std::wstring_view b);
// The system's message for an error code, or "OLE エラー %.8x" without one.
std::wstring SystemMessageText(HRESULT code);

} // namespace kalvera
