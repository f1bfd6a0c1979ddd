#include "ShellCtrls/HandOff.h"
#include "ShellCtrls/ShellChangeNotifier.h"
#include "tests/support/Pump.h"
#include "tests/support/TestFiles.h"

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
    dir.MakeFile(L"queued.txt");
    Sleep(300); // the watcher posts its hand-off and blocks; nothing pumps
    notifier.reset();
    EXPECT_TRUE(WatchersEnd());
    PumpFor(100);
    EXPECT_EQ(calls, 0);
}

TEST(HandOff, WorkerWaitsForTheHandlerAndGetsItsError) {
    std::atomic<bool> returned{false};
    bool blockedWhileRunning = false;
    std::exception_ptr error;
    std::thread worker([&] {
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
    worker.join();
    EXPECT_TRUE(blockedWhileRunning);
    EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
}

TEST_F(Notifier, StressCreateChangeDestroy) {
    DWORD handlesBefore = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
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
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore + 4);
}
