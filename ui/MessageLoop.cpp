#include "ui/MessageLoop.h"
#include "ui/Failure.h"

#include <utility>
#include <vector>

namespace kalvera {
namespace {

HWND dialogWindow = nullptr;

struct IdleHandlers {
    int nextId = 1;
    std::vector<std::pair<int, IdleHandler>> handlers;
};

IdleHandlers& Idle() {
    static IdleHandlers idle;
    return idle;
}

} // namespace

void SetDialogWindow(HWND window) {
    dialogWindow = window;
}

HWND DialogWindow() {
    return dialogWindow;
}

void ProcessMessage(MSG& msg) {
    try {
        if (dialogWindow && IsWindow(dialogWindow)) {
            if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) &&
                (msg.hwnd == dialogWindow || IsChild(dialogWindow, msg.hwnd)) &&
                SendMessageW(dialogWindow, kPreviewKey, 0, reinterpret_cast<LPARAM>(&msg)))
                return;
            if (IsDialogMessageW(dialogWindow, &msg))
                return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    } catch (...) {
        ReportFailure(std::current_exception());
    }
}

int AddIdleHandler(IdleHandler handler) {
    IdleHandlers& idle = Idle();
    idle.handlers.emplace_back(idle.nextId, std::move(handler));
    return idle.nextId++;
}

void RemoveIdleHandler(int id) {
    std::erase_if(Idle().handlers, [id](const auto& entry) { return entry.first == id; });
}

void RunIdleHandlers() {
    // A handler may add or remove handlers: run a copy.
    const auto handlers = Idle().handlers;
    for (const auto& [id, handler] : handlers) {
        try {
            handler();
        } catch (...) {
            ReportFailure(std::current_exception());
        }
    }
}

int RunMessageLoop() {
    MSG msg;
    for (;;) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            RunIdleHandlers();
            // Waits for input that arrives after the last look at the queue.
            MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (msg.message == WM_QUIT)
            return static_cast<int>(msg.wParam);
        ProcessMessage(msg);
    }
}

} // namespace kalvera
