#include "ShellCtrls/HandOff.h"
#include "win/Handle.h"

#include <windows.h>

#include <deque>

namespace kalvera {

struct HandOff {
    TThreadMethod work;
    std::shared_ptr<HandOffGroup> group;
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::exception_ptr error;
    bool cancelled = false; // written before done is set
};

namespace {

constexpr UINT kRunHandOffs = WM_APP + 1;

struct Channel {
    std::mutex lock;
    std::deque<std::shared_ptr<HandOff>> queue;
    HWND window = nullptr;
    DWORD uiThread = 0;
};

Channel& TheChannel() {
    static Channel channel;
    return channel;
}

void Finish(HandOff& handOff, bool cancelled) {
    handOff.cancelled = cancelled;
    SetEvent(handOff.done.get());
}

void RunQueued() {
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
        try {
            next->work();
        } catch (...) {
            next->error = std::current_exception();
        }
        Finish(*next, false);
    }
}

LRESULT CALLBACK HandOffWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunHandOffs) {
        RunQueued();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

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
    if (GetCurrentThreadId() == channel.uiThread) {
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
        PostMessageW(channel.window, kRunHandOffs, 0, 0);
    }
    WaitForSingleObject(handOff->done.get(), INFINITE);
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
    std::lock_guard guard(channel.lock);
    channel.window = window;
    channel.uiThread = GetCurrentThreadId();
}

void StopHandOffWindow() {
    Channel& channel = TheChannel();
    std::deque<std::shared_ptr<HandOff>> dropped;
    HWND window;
    {
        std::lock_guard guard(channel.lock);
        dropped.swap(channel.queue);
        window = std::exchange(channel.window, nullptr);
        channel.uiThread = 0;
    }
    for (auto& handOff : dropped)
        Finish(*handOff, true);
    if (window)
        DestroyWindow(window);
}

} // namespace kalvera
