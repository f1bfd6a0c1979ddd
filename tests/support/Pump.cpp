#include "tests/support/Pump.h"
#include "ui/MessageLoop.h"

#include <algorithm>
#include <string>
#include <utility>

namespace kalvera::test {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // A quit request is the program's business, never a test's.
            if (msg.message != WM_QUIT)
                ProcessMessage(msg);
            if (done())
                return true;
        }
        RunIdleHandlers();
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr,
                                    static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10)),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

namespace {
std::function<void()> pending;
void CALLBACK RunPending(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (auto action = std::exchange(pending, nullptr))
        action();
}
} // namespace

void WhileModal(std::function<void()> action, UINT delayMs) {
    pending = std::move(action);
    SetTimer(nullptr, 0, delayMs, RunPending);
}

namespace {
bool deadlineHit = false;
BOOL CALLBACK CloseModal(HWND window, LPARAM) {
    wchar_t name[32] = L"";
    GetClassNameW(window, name, 32);
    if (!IsWindowVisible(window) || !IsWindowEnabled(window))
        return TRUE;
    // Message boxes end with Cancel; the program's own dialogs with a close.
    if (std::wstring(name) == L"#32770")
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    else if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME)
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}
void CALLBACK DeadlinePassed(HWND, UINT, UINT_PTR id, DWORD) {
    // Boxes opened over one another close one by one, until the bound's end.
    SetTimer(nullptr, id, 300, DeadlinePassed);
    deadlineHit = true;
    EnumThreadWindows(GetCurrentThreadId(), CloseModal, 0);
}
} // namespace

ModalDeadline::ModalDeadline(DWORD ms) : timer_(SetTimer(nullptr, 0, ms, DeadlinePassed)) {
    deadlineHit = false;
}

ModalDeadline::~ModalDeadline() {
    KillTimer(nullptr, timer_);
}

bool ModalDeadline::Hit() const {
    return deadlineHit;
}

} // namespace kalvera::test
