#pragma once
// Watches one file-system folder from a thread of its own and runs a
// handler on the user-interface thread after each change.

#include "ShellCtrls/HandOff.h"
#include "ShellCtrls/ShellTypes.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace kalvera {

enum TNotifyFilter {
    nfFileNameChange,
    nfDirNameChange,
    nfAttributeChange,
    nfSizeChange,
    nfWriteChange,
    nfSecurityChange
};
using TNotifyFilters = SmallSet<TNotifyFilter>;

DWORD NotifyFiltersToFlags(TNotifyFilters filters);

struct WatcherState;

// The watcher thread. It owns its side of the state that it shares with its
// notifier; whichever of the two ends last frees it, so neither ever touches
// a freed object.
class TShellChangeThread {
public:
    static void Start(std::shared_ptr<WatcherState> state);
    // Watchers whose loop has not yet returned, process-wide.
    static int Running();
};

class TCustomShellChangeNotifier {
public:
    TCustomShellChangeNotifier();
    // Stops the watcher without waiting for it: it is woken, told to end,
    // and a change it is handing over is dropped.
    virtual ~TCustomShellChangeNotifier();
    TCustomShellChangeNotifier(const TCustomShellChangeNotifier&) = delete;
    TCustomShellChangeNotifier& operator=(const TCustomShellChangeNotifier&) = delete;

    const std::wstring& Root() const { return root_; }
    bool WatchSubTree() const { return watchSubTree_; }
    TNotifyFilters NotifyFilters() const { return notifyFilters_; }
    const TThreadMethod& OnChange() const { return onChange_; }

    void SetRoot(const std::wstring& root);
    void SetWatchSubTree(bool value);
    void SetNotifyFilters(TNotifyFilters filters);
    void SetOnChange(TThreadMethod handler);

    // Whether a watcher thread is running for this notifier.
    bool HasWatcher() const;

private:
    void ApplyWatchSettings();
    void StartWatching();

    std::wstring root_ = L"C:\\";
    bool watchSubTree_ = true;
    TNotifyFilters notifyFilters_{nfFileNameChange, nfDirNameChange};
    TThreadMethod onChange_;
    std::shared_ptr<WatcherState> watcher_;
};

class TShellChangeNotifier : public TCustomShellChangeNotifier {};

// Tests only: the next watcher whose watch fails to open calls pause (once)
// before it decides to end, so a test can change its parameters right then.
void SetWatcherPauseForTests(std::function<void()> pause);

// A notifier as the shell controls use one: watching one folder (not its
// subtree) for the default kinds of change, running handler after each.
std::unique_ptr<TShellChangeNotifier> WatchFolder(const std::wstring& folder,
                                                  TThreadMethod handler);

} // namespace kalvera
