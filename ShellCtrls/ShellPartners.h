#pragma once
// How the three shell controls (file list, folder tree, address box) reach
// each other. Links are plain and non-owning; each partner registers for the
// other's removal so that a link is cleared before its target goes.

#include "ui/Component.h"

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <type_traits>

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

// A control's setter of its link to a partner: the new partner takes the
// control's root and links back to it; a partner unlinked without a
// successor is told so. A replaced partner keeps its link back.
template <typename Partner, typename Self>
void LinkPartner(Component& owner, Partner*& slot, Partner* partner, const std::wstring& root,
                 void (Partner::*linkBack)(Self*), Self* self) {
    if (partner == slot)
        return;
    if (partner) {
        partner->SetRoot(root);
        (partner->*linkBack)(self);
    } else if (slot) {
        (slot->*linkBack)(nullptr);
    }
    slot = partner;
    if constexpr (std::is_base_of_v<Component, Partner>)
        owner.FreeNotification(partner);
    else if (partner)
        owner.FreeNotification(&partner->PartnerComponent());
}

} // namespace kalvera
