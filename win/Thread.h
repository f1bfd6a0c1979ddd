#pragma once
// Threads of the program's own, each started running at once. The posix
// thread library behind std::thread creates a thread suspended and resumes
// it; under Wine that resume can be lost while a thread that used COM ends,
// and the new thread then never starts (seen under load: a folder's reader
// waited a minute and more). These start with the system's own call.

#include <windows.h>

#include <functional>
#include <utility>

namespace kalvera {

// Runs work on a thread of its own that nobody waits for; nothing may
// escape work. Where no thread can be made, work is left with the caller
// (to run it itself, or not) and the answer is false.
bool StartDetachedThread(std::function<void()>& work);

// A thread its owner waits for: at Join, or when it is destroyed. Where no
// thread can be made, the work runs at once on the caller's.
class JoinableThread {
public:
    JoinableThread() = default;
    explicit JoinableThread(std::function<void()> work);
    ~JoinableThread() { Join(); }
    JoinableThread(JoinableThread&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    JoinableThread& operator=(JoinableThread&& other) noexcept;
    JoinableThread(const JoinableThread&) = delete;
    JoinableThread& operator=(const JoinableThread&) = delete;

    // Waits until the work has returned.
    void Join();

private:
    HANDLE handle_ = nullptr;
};

} // namespace kalvera
