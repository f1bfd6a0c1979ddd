#include "ShellCtrls/ShellChangeNotifier.h"
#include "ShellCtrls/ShellModule.h"
#include "win/Handle.h"
#include "win/Thread.h"

#include <atomic>
#include <functional>
#include <utility>

namespace kalvera {

struct WatcherState {
    // Read on the user-interface thread when a change is handed over, so a
    // handler cleared or replaced meanwhile is never run; the watcher reads
    // it only to skip changes nobody listens to.
    std::mutex handlerLock;
    TThreadMethod changeHandler;
    // Guarded by WatchLock(): the parameters, and whether the watcher has
    // ended. A parameter change and the watcher's decision to end are made
    // under the lock, so neither can miss the other.
    std::wstring watchDirectory;
    bool watchSubTree = false;
    DWORD filterFlags = 0;
    bool reArmPending = false;
    bool ended = false;
    // An auto-reset event rather than a mutex owned by the user-interface
    // thread: it can wake the watcher any number of times, so a parameter
    // change takes effect at once.
    UniqueHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<bool> terminate{false};
    std::shared_ptr<HandOffGroup> handOffs = std::make_shared<HandOffGroup>();
};

namespace {

std::atomic<int> runningWatchers{0};

std::mutex pauseLock;
std::function<void()> pauseAfterFailedOpen;

void PauseAfterFailedOpen() {
    std::function<void()> pause;
    {
        std::lock_guard guard(pauseLock);
        pause = std::exchange(pauseAfterFailedOpen, nullptr);
    }
    if (pause)
        pause();
}

UniqueChangeHandle OpenWatch(const WatcherState& state) {
    return UniqueChangeHandle(FindFirstChangeNotificationW(
        state.watchDirectory.c_str(), state.watchSubTree ? TRUE : FALSE, state.filterFlags));
}

bool HasHandler(WatcherState& state) {
    std::lock_guard guard(state.handlerLock);
    return static_cast<bool>(state.changeHandler);
}

// Hands one change to the user-interface thread, which runs the handler in
// force there and then.
void HandOver(const std::shared_ptr<WatcherState>& state) {
    RunOnUiThreadAndWait(
        [weak = std::weak_ptr<WatcherState>(state)] {
            TThreadMethod handler;
            if (auto alive = weak.lock()) {
                std::lock_guard guard(alive->handlerLock);
                handler = alive->changeHandler;
            }
            if (handler)
                handler();
        },
        state->handOffs);
}

// Returns when the watch can't be opened, the wait fails or the watcher is
// told to end; a handler's exception passes out.
void WatchLoop(const std::shared_ptr<WatcherState>& shared) {
    WatcherState& state = *shared;
    UniqueChangeHandle watch;
    {
        std::lock_guard guard(WatchLock());
        watch = OpenWatch(state);
        state.reArmPending = false;
    }
    if (!watch) {
        PauseAfterFailedOpen();
        return;
    }
    while (!state.terminate) {
        // With no working watch (a failed re-arm) only a wake-up can end the wait.
        const HANDLE objects[2] = {watch ? watch.get() : state.wake.get(), state.wake.get()};
        const DWORD result = WaitForMultipleObjects(watch ? 2 : 1, objects, FALSE, INFINITE);
        if (result == WAIT_FAILED)
            return;
        if (result == WAIT_OBJECT_0 && watch) {
            if (HasHandler(state) && !state.terminate)
                HandOver(shared);
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

void SetWatcherPauseForTests(std::function<void()> pause) {
    std::lock_guard guard(pauseLock);
    pauseAfterFailedOpen = std::move(pause);
}

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
    std::function<void()> watch = [state] {
        for (;;) {
            // Nothing may escape a thread entry; a handler's exception simply
            // ends the loop.
            try {
                WatchLoop(state);
            } catch (...) {
            }
            // New parameters that came while the loop was ending are watched
            // now: the notifier handed them to this watcher, not a new one.
            std::lock_guard guard(WatchLock());
            if (state->terminate || !state->reArmPending) {
                state->ended = true;
                break;
            }
        }
        --runningWatchers;
    };
    // Without a thread nothing is watched: the watcher has ended.
    if (!StartDetachedThread(watch)) {
        std::lock_guard guard(WatchLock());
        state->ended = true;
        --runningWatchers;
    }
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
    if (!watcher_)
        return false;
    std::lock_guard guard(WatchLock());
    return !watcher_->ended;
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
        // A change handed over before this and not yet run finds the new
        // handler (or none) when it runs.
        std::lock_guard guard(watcher_->handlerLock);
        watcher_->changeHandler = onChange_;
    } else {
        watcher_.reset();
        StartWatching();
    }
}

void TCustomShellChangeNotifier::ApplyWatchSettings() {
    if (!watcher_)
        return;
    bool ended;
    {
        std::lock_guard guard(WatchLock());
        ended = watcher_->ended;
        if (!ended) {
            watcher_->watchDirectory = root_;
            watcher_->watchSubTree = watchSubTree_;
            watcher_->filterFlags = NotifyFiltersToFlags(notifyFilters_);
            watcher_->reArmPending = true;
        }
    }
    // A watcher that ended by itself (its folder could not be watched) is
    // replaced, so that a new folder is watched again.
    if (ended) {
        watcher_.reset();
        StartWatching();
        return;
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
