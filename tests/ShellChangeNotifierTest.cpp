#include "ShellCtrls/HandOff.h"
#include "ShellCtrls/ShellChangeNotifier.h"
#include "tests/support/Leaks.h"
#include "tests/support/Pump.h"
#include "tests/support/TestFiles.h"
#include "tests/support/Worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace kalvera;
using namespace kalvera::test;

namespace {

bool WatchersEnd() {
    return PumpUntil([] { return TShellChangeThread::Running() == 0; });
}

// Waits, without pumping, until a worker has queued a hand-off.
bool WaitUntilQueued() {
    for (int i = 0; i < 500; ++i) {
        if (PendingHandOffs() > 0)
            return true;
        Sleep(10);
    }
    return false;
}

class Notifier : public ::testing::Test {
protected:
    TempDir dir;
    int calls = 0;
    DWORD callThread = 0;
    TThreadMethod Counter() {
        return [this] {
            ++calls;
            callThread = GetCurrentThreadId();
        };
    }
    void TearDown() override { EXPECT_TRUE(WatchersEnd()); }
    // The watcher needs a moment to open its watch after it starts.
    void Settle() { PumpFor(100); }
};

} // namespace

TEST_F(Notifier, DefaultsAndFlagWords) {
    TShellChangeNotifier notifier;
    EXPECT_EQ(notifier.Root(), L"C:\\");
    EXPECT_TRUE(notifier.WatchSubTree());
    EXPECT_EQ(NotifyFiltersToFlags(notifier.NotifyFilters()), 0x003u);
    EXPECT_EQ(NotifyFiltersToFlags({nfSizeChange, nfSecurityChange}), 0x108u);
    EXPECT_EQ(NotifyFiltersToFlags({}), 0u);
    EXPECT_FALSE(notifier.HasWatcher());
    EXPECT_EQ(TShellChangeThread::Running(), 0);
}

TEST_F(Notifier, OneWatcherPerNotifierAndChangesRunTheHandlerOnTheUiThread) {
    TShellChangeNotifier notifier;
    notifier.SetRoot(dir.Path());
    notifier.SetWatchSubTree(false);
    notifier.SetOnChange(Counter());
    notifier.SetOnChange(Counter());
    EXPECT_EQ(TShellChangeThread::Running(), 1);
    Settle();
    dir.MakeFile(L"new.txt");
    EXPECT_TRUE(PumpUntil([&] { return calls == 1; }));
    EXPECT_EQ(callThread, GetCurrentThreadId());
    PumpFor(200);
    EXPECT_EQ(calls, 1);

    // The same root in another case is no change at all.
    std::wstring upper = dir.Path();
    for (auto& c : upper)
        c = towupper(c);
    notifier.SetRoot(upper);
    EXPECT_EQ(notifier.Root(), dir.Path());
}

TEST_F(Notifier, DestroyingAnIdleNotifierEndsItsWatcherWithoutAHandlerCall) {
    {
        TShellChangeNotifier notifier;
        notifier.SetRoot(dir.Path());
        notifier.SetOnChange(Counter());
        Settle();
    }
    EXPECT_TRUE(WatchersEnd());
    dir.MakeFile(L"after.txt");
    PumpFor(200);
    EXPECT_EQ(calls, 0);
}

TEST_F(Notifier, MissingRootEndsTheWatcherAndANewRootRestartsIt) {
    auto notifier = std::make_unique<TShellChangeNotifier>();
    notifier->SetRoot(dir.Child(L"missing"));
    notifier->SetOnChange(Counter());
    EXPECT_TRUE(WatchersEnd());
    EXPECT_FALSE(notifier->HasWatcher());
    notifier->SetOnChange(Counter());
    EXPECT_TRUE(WatchersEnd());

    notifier->SetRoot(dir.Path());
    EXPECT_TRUE(notifier->HasWatcher());
    Settle();
    dir.MakeFile(L"seen.txt");
    EXPECT_TRUE(PumpUntil([&] { return calls == 1; }));
    notifier.reset();
}

TEST_F(Notifier, ParameterChangeTakesEffectAtOnce) {
    const std::wstring first = dir.MakeDir(L"first"), second = dir.MakeDir(L"second");
    TShellChangeNotifier notifier;
    notifier.SetRoot(first);
    notifier.SetWatchSubTree(false);
    notifier.SetOnChange(Counter());
    Settle();
    notifier.SetRoot(second);
    Settle();
    dir.MakeFile(L"second\\x.txt");
    EXPECT_TRUE(PumpUntil([&] { return calls == 1; }));
    // Re-applying the same settings re-opens the watch and keeps watching.
    notifier.SetWatchSubTree(false);
    notifier.SetNotifyFilters(notifier.NotifyFilters());
    Settle();
    dir.MakeFile(L"second\\y.txt");
    EXPECT_TRUE(PumpUntil([&] { return calls == 2; }));
}

TEST_F(Notifier, ClearedHandlerIgnoresChanges) {
    TShellChangeNotifier notifier;
    notifier.SetRoot(dir.Path());
    notifier.SetOnChange(Counter());
    Settle();
    notifier.SetOnChange(nullptr);
    EXPECT_TRUE(notifier.HasWatcher());
    dir.MakeFile(L"ignored.txt");
    PumpFor(300);
    EXPECT_EQ(calls, 0);
}

TEST_F(Notifier, HandlerErrorEndsTheWatcherQuietly) {
    TShellChangeNotifier notifier;
    notifier.SetRoot(dir.Path());
    notifier.SetOnChange([this] {
        ++calls;
        throw std::runtime_error("handler failed");
    });
    Settle();
    dir.MakeFile(L"boom.txt");
    EXPECT_TRUE(PumpUntil([&] { return calls == 1; }));
    EXPECT_TRUE(WatchersEnd());
    EXPECT_FALSE(notifier.HasWatcher());
}

TEST_F(Notifier, QueuedHandOffNeverReachesADestroyedOwner) {
    auto notifier = std::make_unique<TShellChangeNotifier>();
    notifier->SetRoot(dir.Path());
    notifier->SetOnChange(Counter());
    Settle();
    const long finished = HandOffCompletions();
    dir.MakeFile(L"queued.txt");
    // The watcher queues its hand-off and blocks; nothing pumps meanwhile.
    ASSERT_TRUE(WaitUntilQueued());
    notifier.reset();
    EXPECT_TRUE(WatchersEnd());
    PumpFor(100);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(HandOffCompletions(), finished + 1);
}

// The handler in force when the hand-off runs is the one that runs: a
// handler cleared or replaced meanwhile (its object perhaps gone) never does.
TEST_F(Notifier, HandlerClearedOrReplacedWhileAChangeIsQueuedNeverRuns) {
    int replacedCalls = 0;
    TShellChangeNotifier notifier;
    notifier.SetRoot(dir.Path());
    notifier.SetWatchSubTree(false);
    notifier.SetOnChange(Counter());
    Settle();
    dir.MakeFile(L"first.txt");
    ASSERT_TRUE(WaitUntilQueued());
    notifier.SetOnChange([&] { ++replacedCalls; });
    EXPECT_TRUE(PumpUntil([&] { return replacedCalls == 1; }));
    EXPECT_EQ(calls, 0);

    Settle(); // the watcher watches again
    const long finished = HandOffCompletions();
    dir.MakeFile(L"second.txt");
    ASSERT_TRUE(WaitUntilQueued());
    notifier.SetOnChange(nullptr);
    EXPECT_TRUE(PumpUntil([&] { return HandOffCompletions() == finished + 1; }));
    PumpFor(100);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(replacedCalls, 1);
}

// A new root set while a watcher is deciding to end (its folder could not be
// opened) is watched, by that watcher or a new one.
TEST_F(Notifier, NewRootSetWhileTheWatcherEndsIsWatched) {
    HANDLE paused = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE proceed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetWatcherPauseForTests([&] {
        SetEvent(paused);
        WaitForSingleObject(proceed, 5000);
    });
    TShellChangeNotifier notifier;
    notifier.SetWatchSubTree(false);
    notifier.SetRoot(dir.Child(L"missing"));
    notifier.SetOnChange(Counter());
    ASSERT_EQ(WaitForSingleObject(paused, 5000), WAIT_OBJECT_0);
    notifier.SetRoot(dir.Path());
    SetEvent(proceed);
    Settle();
    dir.MakeFile(L"seen.txt");
    EXPECT_TRUE(PumpUntil([&] { return calls >= 1; }));
    SetWatcherPauseForTests(nullptr);
    CloseHandle(paused);
    CloseHandle(proceed);
}

TEST_F(Notifier, StressRootsSwitchingBetweenMissingAndPresentFolders) {
    TShellChangeNotifier notifier;
    notifier.SetWatchSubTree(false);
    notifier.SetOnChange(Counter());
    for (int i = 0; i < 300; ++i) {
        notifier.SetRoot(dir.Child(L"missing" + std::to_wstring(i)));
        if (i % 3 == 0)
            Sleep(0);
        notifier.SetRoot(dir.Path());
        if (i % 7 == 0)
            PumpFor(1);
    }
    Settle();
    calls = 0;
    dir.MakeFile(L"last.txt");
    EXPECT_TRUE(PumpUntil([&] { return calls >= 1; }));
}

TEST(HandOff, WorkerWaitsForTheHandlerAndGetsItsError) {
    std::atomic<bool> returned{false};
    bool blockedWhileRunning = false;
    std::exception_ptr error;
    Worker worker([&] {
        RunOnUiThreadAndWait([&] {
            Sleep(50);
            blockedWhileRunning = !returned;
        });
        returned = true;
        try {
            RunOnUiThreadAndWait([] { throw std::runtime_error("from the handler"); });
        } catch (...) {
            error = std::current_exception();
        }
    });
    EXPECT_TRUE(PumpUntil([&] { return error != nullptr; }));
    ASSERT_TRUE(worker.Join(5000));
    EXPECT_TRUE(blockedWhileRunning);
    EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
}

// A handler that cancels its own group (an auto-refresh that destroys its
// notifier) ends its hand-off once: the worker sees one outcome.
TEST(HandOff, FinishedOnceWhenItsHandlerCancelsItsOwnGroup) {
    auto group = std::make_shared<HandOffGroup>();
    const long finished = HandOffCompletions();
    std::atomic<int> outcome{0}; // 1 returned, 2 cancelled
    bool ran = false;
    Worker worker([&] {
        try {
            RunOnUiThreadAndWait(
                [&] {
                    ran = true;
                    group->Cancel();
                },
                group);
            outcome = 1;
        } catch (const HandOffCancelled&) {
            outcome = 2;
        }
    });
    EXPECT_TRUE(PumpUntil([&] { return outcome != 0; }));
    ASSERT_TRUE(worker.Join(5000));
    EXPECT_TRUE(ran);
    EXPECT_EQ(outcome, 2);
    PumpFor(20);
    EXPECT_EQ(HandOffCompletions(), finished + 1);
}

// Inside a nested modal loop (a message box, a menu) the hand-off waits; it
// runs once the loop has ended and the thread is idle again.
TEST(HandOff, RunsAtIdleNotInsideANestedLoop) {
    bool ran = false;
    Worker worker([&] { RunOnUiThreadAndWait([&] { ran = true; }); });
    ASSERT_TRUE(WaitUntilQueued());
    const ULONGLONG end = GetTickCount64() + 300;
    while (GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(5);
    }
    EXPECT_FALSE(ran);
    EXPECT_TRUE(PumpUntil([&] { return ran; }));
    EXPECT_TRUE(worker.Join(5000));
}

TEST_F(Notifier, StressCreateChangeDestroy) {
    const DWORD handlesBefore = HandleCount();
    for (int i = 0; i < 300; ++i) {
        TShellChangeNotifier notifier;
        notifier.SetRoot(dir.Path());
        notifier.SetOnChange(Counter());
        if (i % 3 == 0)
            dir.MakeFile(L"s" + std::to_wstring(i) + L".txt");
        if (i % 5 == 0)
            notifier.SetWatchSubTree(i % 2 == 0);
        if (i % 7 == 0)
            PumpFor(5);
    }
    EXPECT_TRUE(WatchersEnd());
    PumpFor(100);
    EXPECT_LE(HandleCount(), handlesBefore + 4);
}
