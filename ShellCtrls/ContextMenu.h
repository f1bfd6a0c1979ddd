#pragma once
// The shell's context menu of an item, and running one of its verbs.

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <string_view>

namespace kalvera {

class TShellFolder;

// Offered by a control that wants to hear of a context-menu command before
// and after it runs; setting handled keeps the shell from running it.
class IShellVerbHook {
public:
    virtual void BeforeVerb(const std::wstring& verb, bool& handled) = 0;
    virtual void AfterVerb(const std::wstring& verb, bool succeeded) = 0;

protected:
    ~IShellVerbHook() = default;
};

// The verb of a context-menu command (offset from the first command id), as
// the menu's handler names it; empty when it has none.
std::wstring ContextMenuVerb(IContextMenu* menu, UINT offset);

// The menu being tracked, for forwarding owner-drawn menu messages; null
// when no menu is open.
IContextMenu2* ActiveContextMenu2();
void ReleaseActiveContextMenu();

// x, y in the owner's client coordinates. Nothing happens for no item or an
// item without a context menu.
void ShowItemContextMenu(HWND owner, IShellVerbHook* hook, const TShellFolder* item, int x, int y);
void InvokeItemVerb(std::wstring_view verb, const TShellFolder* item);

} // namespace kalvera
