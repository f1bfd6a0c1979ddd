#include "ShellCtrls/ShellChangeNotifier.h"
#include "ShellCtrls/ShellModule.h"
#include "win/Handle.h"

#include <atomic>
#include <thread>

namespace kalvera {

struct WatcherState {
    // Guarded by handlerLock: the watcher copies the handler whole.
    std::mutex handlerLock;
    TThreadMethod changeHandler;
    // Guarded by WatchLock().
    std::wstring watchDirectory;
    bool watchSubTree = false;
    DWORD filterFlags = 0;
    bool reArmPending = false;
    // An auto-reset event rather than a mutex owned by the user-interface
    // thread: it can wake the watcher any number of times, so a parameter
    // change takes effect at once.
    UniqueHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<bool> terminate{false};
    std::atomic<bool> ended{false};
    std::shared_ptr<HandOffGroup> handOffs = std::make_shared<HandOffGroup>();
};

namespace {

std::atomic<int> runningWatchers{0};

UniqueChangeHandle OpenWatch(const WatcherState& state) {
    return UniqueChangeHandle(FindFirstChangeNotificationW(
        state.watchDirectory.c_str(), state.watchSubTree ? TRUE : FALSE, state.filterFlags));
}

void WatchLoop(WatcherState& state) {
    UniqueChangeHandle watch;
    {
        std::lock_guard guard(WatchLock());
        watch = OpenWatch(state);
        state.reArmPending = false;
    }
    if (!watch)
        return;
    while (!state.terminate) {
        // With no working watch (a failed re-arm) only a wake-up can end the wait.
        const HANDLE objects[2] = {watch ? watch.get() : state.wake.get(), state.wake.get()};
        const DWORD result = WaitForMultipleObjects(watch ? 2 : 1, objects, FALSE, INFINITE);
        if (result == WAIT_FAILED)
            return;
        if (result == WAIT_OBJECT_0 && watch) {
            TThreadMethod handler;
            {
                std::lock_guard guard(state.handlerLock);
                handler = state.changeHandler;
            }
            // A cleared handler means the change is ignored.
            if (handler && !state.terminate)
                RunOnUiThreadAndWait(handler, state.handOffs);
            FindNextChangeNotification(watch.get());
        }
        std::lock_guard guard(WatchLock());
        if (state.reArmPending) {
            watch = OpenWatch(state);
            state.reArmPending = false;
        }
    }
}

} // namespace

DWORD NotifyFiltersToFlags(TNotifyFilters filters) {
    constexpr DWORD kFlags[] = {FILE_NOTIFY_CHANGE_FILE_NAME,  FILE_NOTIFY_CHANGE_DIR_NAME,
                                FILE_NOTIFY_CHANGE_ATTRIBUTES, FILE_NOTIFY_CHANGE_SIZE,
                                FILE_NOTIFY_CHANGE_LAST_WRITE, FILE_NOTIFY_CHANGE_SECURITY};
    DWORD flags = 0;
    for (int i = 0; i < 6; ++i)
        if (filters.Has(static_cast<TNotifyFilter>(i)))
            flags |= kFlags[i];
    return flags;
}

void TShellChangeThread::Start(std::shared_ptr<WatcherState> state) {
    ++runningWatchers;
    std::thread([state = std::move(state)] {
        // Nothing may escape a thread entry; a handler's exception simply
        // ends the loop.
        try {
            WatchLoop(*state);
        } catch (...) {
        }
        state->ended = true;
        --runningWatchers;
    }).detach();
}

int TShellChangeThread::Running() {
    return runningWatchers;
}

std::unique_ptr<TShellChangeNotifier> WatchFolder(const std::wstring& folder,
                                                  TThreadMethod handler) {
    auto notifier = std::make_unique<TShellChangeNotifier>();
    notifier->SetWatchSubTree(false);
    notifier->SetRoot(folder);
    notifier->SetOnChange(std::move(handler));
    return notifier;
}

TCustomShellChangeNotifier::TCustomShellChangeNotifier() {
    StartWatching();
}

TCustomShellChangeNotifier::~TCustomShellChangeNotifier() {
    if (auto watcher = std::move(watcher_)) {
        watcher->terminate = true;
        watcher->handOffs->Cancel();
        SetEvent(watcher->wake.get());
    }
}

bool TCustomShellChangeNotifier::HasWatcher() const {
    return watcher_ && !watcher_->ended;
}

void TCustomShellChangeNotifier::SetRoot(const std::wstring& root) {
    if (SameTextAscii(root, root_))
        return;
    root_ = root;
    ApplyWatchSettings();
}

void TCustomShellChangeNotifier::SetWatchSubTree(bool value) {
    watchSubTree_ = value;
    ApplyWatchSettings();
}

void TCustomShellChangeNotifier::SetNotifyFilters(TNotifyFilters filters) {
    notifyFilters_ = filters;
    ApplyWatchSettings();
}

void TCustomShellChangeNotifier::SetOnChange(TThreadMethod handler) {
    onChange_ = std::move(handler);
    if (HasWatcher()) {
        std::lock_guard guard(watcher_->handlerLock);
        watcher_->changeHandler = onChange_;
    } else {
        StartWatching();
    }
}

void TCustomShellChangeNotifier::ApplyWatchSettings() {
    if (!watcher_)
        return;
    // A watcher that ended by itself (its folder could not be watched) is
    // replaced, so that a new folder is watched again.
    if (watcher_->ended) {
        watcher_.reset();
        StartWatching();
        return;
    }
    {
        std::lock_guard guard(WatchLock());
        watcher_->watchDirectory = root_;
        watcher_->watchSubTree = watchSubTree_;
        watcher_->filterFlags = NotifyFiltersToFlags(notifyFilters_);
        watcher_->reArmPending = true;
    }
    SetEvent(watcher_->wake.get());
}

void TCustomShellChangeNotifier::StartWatching() {
    if (!onChange_)
        return;
    auto state = std::make_shared<WatcherState>();
    state->changeHandler = onChange_;
    state->watchDirectory = root_;
    state->watchSubTree = watchSubTree_;
    state->filterFlags = NotifyFiltersToFlags(notifyFilters_);
    watcher_ = state;
    TShellChangeThread::Start(std::move(state));
}

} // namespace kalvera
