#include "ui/Component.h"

#include <algorithm>

namespace kalvera {

Component::~Component() {
    // Tell each linked component once, and unlink it so that it does not
    // tell this one back while it is being destroyed.
    auto linked = std::move(notified_);
    for (Component* other : linked) {
        std::erase(other->notified_, this);
        other->Notification(this, true);
    }
}

void Component::FreeNotification(Component* other) {
    if (!other || other == this)
        return;
    if (std::find(notified_.begin(), notified_.end(), other) == notified_.end())
        notified_.push_back(other);
    if (std::find(other->notified_.begin(), other->notified_.end(), this) == other->notified_.end())
        other->notified_.push_back(this);
}

void Component::RemoveFreeNotification(Component* other) {
    if (!other)
        return;
    std::erase(notified_, other);
    std::erase(other->notified_, this);
}

} // namespace kalvera
