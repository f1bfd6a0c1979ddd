#pragma once
// The least of a component model that the windows need: a loading phase in
// which setters only store, a "loading finished" step, and removal notices
// so that a link between two components is cleared before either goes.

#include <vector>

namespace kalvera {

class Component {
public:
    Component() = default;
    virtual ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    bool Loading() const { return loading_; }
    // While loading, setters store their values and skip the work they
    // would otherwise do; Loaded() ends the phase.
    void BeginLoading() { loading_ = true; }
    virtual void Loaded() { loading_ = false; }

    // Each of the two is told (Notification with removing) when the other
    // is destroyed.
    void FreeNotification(Component* other);
    void RemoveFreeNotification(Component* other);

protected:
    virtual void Notification(Component* /*component*/, bool /*removing*/) {}

private:
    bool loading_ = false;
    std::vector<Component*> notified_;
};

} // namespace kalvera
