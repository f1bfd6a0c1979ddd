#include "tests/support/ShellHost.h"
#include "ShellCtrls/ShellModule.h"
#include "win/Error.h"

#include <shlobj.h>

namespace kalvera::test {

HostWindow::HostWindow(int width, int height) {
    CreateHandle(L"test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, width,
                 height, nullptr);
}

void PartnerRecorder::Record(const std::wstring& call) {
    calls.push_back(call);
    if (log)
        log->push_back(std::wstring(name_.begin(), name_.end()) + L": " + call);
}

void PartnerRecorder::SetRoot(const std::wstring& root) {
    Record(L"root " + root);
    if (onRoot)
        onRoot(root);
}

void PartnerRecorder::FollowIdList(const ITEMIDLIST* absolute) {
    STRRET name{};
    DesktopFolder()->GetDisplayNameOf(AsChild(absolute), SHGDN_FORPARSING, &name);
    Record(L"follow " + StrRetToText(absolute, name));
    if (onFollow)
        onFollow(absolute);
}

void PartnerRecorder::SetShellListViewLink(TCustomShellListView* link) {
    list = link;
    Record(link ? L"link" : L"unlink");
}

FailureRecorder::FailureRecorder() {
    previous_ = SetFailureHandler([this](std::exception_ptr failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const Error& e) {
            messages.push_back(e.Message());
        } catch (const std::exception& e) {
            messages.push_back(L"(other) " + std::wstring(e.what(), e.what() + strlen(e.what())));
        }
    });
}

FailureRecorder::~FailureRecorder() {
    SetFailureHandler(previous_);
}

} // namespace kalvera::test
