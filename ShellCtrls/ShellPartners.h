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

// One control's link to a partner: the partner, and the component whose
// removal clears the link, taken when linked (a removal notice comes while
// the partner is half destroyed, when nothing may be asked of it any more).
template <typename Partner> class PartnerSlot {
public:
    operator Partner*() const { return partner_; }
    Partner* operator->() const { return partner_; }

    // The control's setter: the new partner takes the control's root and
    // links back to it; a partner unlinked without a successor is told so.
    // A replaced partner keeps its link back.
    template <typename Self>
    void Set(Component& owner, Partner* partner, const std::wstring& root,
             void (Partner::*linkBack)(Self*), Self* self) {
        if (partner == partner_)
            return;
        if (partner) {
            partner->SetRoot(root);
            (partner->*linkBack)(self);
        } else if (partner_) {
            (partner_->*linkBack)(nullptr);
        }
        Link(owner, partner);
    }
    // The link alone, as a partner sets it when it links itself.
    void Link(Component& owner, Partner* partner) {
        partner_ = partner;
        component_ = nullptr;
        if (partner) {
            if constexpr (std::is_base_of_v<Component, Partner>)
                component_ = partner;
            else
                component_ = &partner->PartnerComponent();
        }
        owner.FreeNotification(component_);
    }
    // The control's removal notice: true when it was this partner's, now
    // forgotten.
    bool Forget(const Component* removed) {
        if (!component_ || removed != component_)
            return false;
        partner_ = nullptr;
        component_ = nullptr;
        return true;
    }

private:
    Partner* partner_ = nullptr;
    Component* component_ = nullptr;
};

} // namespace kalvera
