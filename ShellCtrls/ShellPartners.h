#pragma once
// How the three shell controls (file list, folder tree, address box) reach
// each other. Links are plain and non-owning; each partner registers for the
// other's removal so that a link is cleared before its target goes.

#include "ui/Component.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace kalvera {

class TCustomShellListView;

// What the file list asks of a linked folder tree or address box.
class ShellListPartner {
public:
    virtual void SetRoot(const std::wstring& root) = 0;
    virtual void FollowIdList(const ITEMIDLIST* absolute) = 0;
    // Sets the partner's own link to the list, without any further work.
    virtual void SetShellListViewLink(TCustomShellListView* list) = 0;
    virtual Component& PartnerComponent() = 0;

protected:
    ~ShellListPartner() = default;
};

} // namespace kalvera
