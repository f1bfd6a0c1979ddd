#pragma once
// A worker thread for tests whose end is awaited with a deadline: a test
// never hangs on a join.

#include <windows.h>

#include <functional>
#include <thread>

namespace kalvera::test {

class Worker {
public:
    explicit Worker(std::function<void()> work)
        : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          thread_([done = done_, work = std::move(work)] {
              work();
              SetEvent(done);
          }) {}
    // A worker still running at the end is left to itself (and its event
    // with it), so that the test ends.
    ~Worker() {
        if (!Join(0))
            thread_.detach();
        else
            CloseHandle(done_);
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Waits at most the given time for the work to end.
    bool Join(DWORD timeoutMs) {
        if (!thread_.joinable())
            return true;
        if (WaitForSingleObject(done_, timeoutMs) != WAIT_OBJECT_0)
            return false;
        thread_.join();
        return true;
    }

private:
    HANDLE done_;
    std::thread thread_;
};

} // namespace kalvera::test
