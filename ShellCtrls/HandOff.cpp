#include "ShellCtrls/HandOff.h"
#include "ui/MessageLoop.h"
#include "win/Handle.h"

#include <windows.h>

#include <atomic>
#include <deque>

namespace kalvera {

struct HandOff {
    TThreadMethod work;
    std::shared_ptr<HandOffGroup> group;
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // The outcome, written once by whichever side finishes first (the run
    // or a cancel) and read by the worker after done is set.
    std::mutex lock;
    bool finished = false;
    bool cancelled = false;
    std::exception_ptr error;
};

namespace {

// Posted only to wake the user-interface thread's loop; the hand-offs run
// in its idle processing, not where the message happens to be dispatched.
constexpr UINT kWake = WM_APP + 1;

struct Channel {
    std::mutex lock;
    std::deque<std::shared_ptr<HandOff>> queue;
    HWND window = nullptr;
    DWORD uiThread = 0;
    int idleHandler = 0;
};

Channel& TheChannel() {
    static Channel channel;
    return channel;
}

std::atomic<long> completions{0};

void Finish(HandOff& handOff, bool cancelled, std::exception_ptr error = nullptr) {
    {
        std::lock_guard guard(handOff.lock);
        if (handOff.finished)
            return;
        handOff.finished = true;
        handOff.cancelled = cancelled;
        handOff.error = std::move(error);
    }
    ++completions;
    SetEvent(handOff.done.get());
}

LRESULT CALLBACK HandOffWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWake)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void RunPendingHandOffs() {
    Channel& channel = TheChannel();
    for (;;) {
        std::shared_ptr<HandOff> next;
        {
            std::lock_guard guard(channel.lock);
            if (channel.queue.empty())
                return;
            next = std::move(channel.queue.front());
            channel.queue.pop_front();
        }
        // Cancelling happens on this thread too, so the check can't go stale
        // before the handler runs.
        if (next->group && next->group->Cancelled()) {
            Finish(*next, true);
            continue;
        }
        std::exception_ptr error;
        try {
            next->work();
        } catch (...) {
            error = std::current_exception();
        }
        // The handler may have cancelled its own group (an owner that
        // destroys its notifier): then that was the one finish.
        Finish(*next, false, std::move(error));
    }
}

long HandOffCompletions() {
    return completions;
}

int PendingHandOffs() {
    Channel& channel = TheChannel();
    std::lock_guard guard(channel.lock);
    return static_cast<int>(channel.queue.size());
}

void HandOffGroup::Cancel() {
    std::vector<std::shared_ptr<HandOff>> waiting;
    {
        std::lock_guard guard(lock_);
        cancelled_ = true;
        for (auto& weak : pending_)
            if (auto handOff = weak.lock())
                waiting.push_back(std::move(handOff));
        pending_.clear();
    }
    for (auto& handOff : waiting)
        Finish(*handOff, true);
}

bool HandOffGroup::Cancelled() {
    std::lock_guard guard(lock_);
    return cancelled_;
}

bool HandOffGroup::Register(const std::shared_ptr<HandOff>& handOff) {
    std::lock_guard guard(lock_);
    if (cancelled_)
        return false;
    std::erase_if(pending_, [](const auto& weak) { return weak.expired(); });
    pending_.push_back(handOff);
    return true;
}

void RunOnUiThreadAndWait(const TThreadMethod& handler,
                          const std::shared_ptr<HandOffGroup>& group) {
    Channel& channel = TheChannel();
    DWORD uiThread;
    {
        std::lock_guard guard(channel.lock);
        uiThread = channel.uiThread;
    }
    if (GetCurrentThreadId() == uiThread) {
        handler();
        return;
    }
    auto handOff = std::make_shared<HandOff>();
    handOff->work = handler;
    handOff->group = group;
    if (group && !group->Register(handOff))
        throw HandOffCancelled();
    {
        std::lock_guard guard(channel.lock);
        if (!channel.window)
            throw HandOffCancelled();
        channel.queue.push_back(handOff);
        PostMessageW(channel.window, kWake, 0, 0);
    }
    WaitForSingleObject(handOff->done.get(), INFINITE);
    std::lock_guard guard(handOff->lock);
    if (handOff->cancelled)
        throw HandOffCancelled();
    if (handOff->error)
        std::rethrow_exception(handOff->error);
}

void StartHandOffWindow() {
    Channel& channel = TheChannel();
    WNDCLASSW wc{};
    wc.lpfnWndProc = HandOffWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KalveraHandOff";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
    const int idleHandler = AddIdleHandler(RunPendingHandOffs);
    std::lock_guard guard(channel.lock);
    channel.window = window;
    channel.uiThread = GetCurrentThreadId();
    channel.idleHandler = idleHandler;
}

void StopHandOffWindow() {
    Channel& channel = TheChannel();
    std::deque<std::shared_ptr<HandOff>> dropped;
    HWND window;
    int idleHandler;
    {
        std::lock_guard guard(channel.lock);
        dropped.swap(channel.queue);
        window = std::exchange(channel.window, nullptr);
        channel.uiThread = 0;
        idleHandler = std::exchange(channel.idleHandler, 0);
    }
    RemoveIdleHandler(idleHandler);
    for (auto& handOff : dropped)
        Finish(*handOff, true);
    if (window)
        DestroyWindow(window);
}

} // namespace kalvera
