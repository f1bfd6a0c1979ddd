#pragma once
// A real top-level window to hold shell controls in tests, a partner that
// records what the file list tells it, and a recorder of reported failures.

#include "ShellCtrls/ShellPartners.h"
#include "ui/Failure.h"
#include "ui/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace kalvera::test {

class HostWindow : public Window {
public:
    explicit HostWindow(int width = 640, int height = 480);
};

// Records each call as text: "root <text>", "follow <parsing name>",
// "link" / "unlink". onFollow / onRoot run after recording, so a test can
// make the partner call back into the list.
class PartnerRecorder : public Component, public ShellListPartner {
public:
    explicit PartnerRecorder(std::string name) : name_(std::move(name)) {}
    std::vector<std::wstring>* log = nullptr; // shared log across partners
    std::vector<std::wstring> calls;
    TCustomShellListView* list = nullptr;
    std::function<void(const ITEMIDLIST*)> onFollow;
    std::function<void(const std::wstring&)> onRoot;

    void SetRoot(const std::wstring& root) override;
    void FollowIdList(const ITEMIDLIST* absolute) override;
    void SetShellListViewLink(TCustomShellListView* link) override;
    Component& PartnerComponent() override { return *this; }

private:
    void Record(const std::wstring& call);
    std::string name_;
};

// Keeps the messages of failures reported from window procedures.
class FailureRecorder {
public:
    FailureRecorder();
    ~FailureRecorder();
    std::vector<std::wstring> messages;

private:
    FailureHandler previous_;
};

} // namespace kalvera::test
