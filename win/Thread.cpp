#include "win/Thread.h"

#include <process.h>

#include <memory>

namespace kalvera {
namespace {

unsigned __stdcall Run(void* work) {
    const std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(work));
    (*owned)();
    return 0;
}

// The thread's handle, work moved to it; or null, work left with the
// caller. Never created suspended: see the header.
HANDLE Start(std::function<void()>& work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const auto handle =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, owned.get(), 0, nullptr));
    if (handle)
        owned.release(); // the thread's now
    else
        work = std::move(*owned);
    return handle;
}

} // namespace

bool StartDetachedThread(std::function<void()>& work) {
    const HANDLE handle = Start(work);
    if (handle)
        CloseHandle(handle);
    return handle != nullptr;
}

JoinableThread::JoinableThread(std::function<void()> work) : handle_(Start(work)) {
    if (!handle_)
        work();
}

JoinableThread& JoinableThread::operator=(JoinableThread&& other) noexcept {
    if (this != &other) {
        Join();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void JoinableThread::Join() {
    if (!handle_)
        return;
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(std::exchange(handle_, nullptr));
}

} // namespace kalvera
