#include "core/WorkPool.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace kalvera {
namespace {

// Nothing escapes a job into a thread's entry (OrderedJobs keeps its jobs'
// failures for the poster).
void Run(const std::function<void()>& job) {
    try {
        job();
    } catch (...) {
    }
}

} // namespace

unsigned RunThreads() {
    static const unsigned threads = [] {
        wchar_t text[16] = L"";
        if (const DWORD length = GetEnvironmentVariableW(L"KALVERA_THREADS", text, 16);
            length > 0 && length < 16)
            if (const long given = std::wcstol(text, nullptr, 10); given >= 1)
                return unsigned(std::min(given, 64L));
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        return std::clamp(unsigned(system.dwNumberOfProcessors), 2u, 8u);
    }();
    return threads;
}

WorkPool::WorkPool(unsigned threads) : threads_(threads ? threads : RunThreads()) {
    if (threads_ > 1)
        for (unsigned i = 0; i < threads_; ++i)
            workers_.emplace_back([this] { Work(); });
}

WorkPool::~WorkPool() {
    {
        std::lock_guard guard(lock_);
        closing_ = true;
    }
    DropQueued();
    queued_.NotifyAll();
    workers_.clear(); // joined
}

void WorkPool::Post(std::function<void()> job, bool urgent) {
    if (threads_ <= 1) {
        Run(job);
        job = nullptr;
        std::lock_guard guard(lock_);
        ++ends_;
        return;
    }
    {
        std::lock_guard guard(lock_);
        (urgent ? urgent_ : jobs_).push_back(std::move(job));
    }
    queued_.NotifyOne();
}

void WorkPool::DropQueued() {
    std::deque<std::function<void()>> dropped, droppedUrgent;
    {
        std::lock_guard guard(lock_);
        dropped.swap(jobs_);
        droppedUrgent.swap(urgent_);
    }
    const size_t count = dropped.size() + droppedUrgent.size();
    dropped.clear(); // each slot is told here, before the ends are counted
    droppedUrgent.clear();
    {
        std::lock_guard guard(lock_);
        ends_ += count;
    }
    ended_.NotifyAll();
}

bool WorkPool::WaitForAnEnd(unsigned milliseconds) {
    std::unique_lock guard(lock_);
    const bool ended = ended_.WaitFor(guard, milliseconds, [this] { return ends_ != endsSeen_; });
    endsSeen_ = ends_;
    return ended;
}

void WorkPool::Work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock guard(lock_);
            queued_.Wait(guard, [this] { return closing_ || !urgent_.empty() || !jobs_.empty(); });
            std::deque<std::function<void()>>& from = urgent_.empty() ? jobs_ : urgent_;
            if (from.empty())
                return;
            job = std::move(from.front());
            from.pop_front();
        }
        Run(job);
        job = nullptr; // what the job held is let go before its end is told
        {
            std::lock_guard guard(lock_);
            ++ends_;
        }
        ended_.NotifyAll();
    }
}

// A slot's job ran, or was dropped: the guard shared by every copy of the
// posted job tells which when the last copy goes.
struct OrderedJobs::State {
    std::atomic<int> phase{0};  // 0 waiting, 1 ran, 2 dropped or failed
    size_t job = 0;             // which job holds the place
    std::exception_ptr failure; // written before the phase
};

namespace {

struct SlotGuard {
    explicit SlotGuard(std::shared_ptr<OrderedJobs::State> slot) : state(std::move(slot)) {}
    SlotGuard(const SlotGuard&) = delete;
    SlotGuard& operator=(const SlotGuard&) = delete;
    ~SlotGuard() { state->phase.store(ran ? 1 : 2, std::memory_order_release); }
    std::shared_ptr<OrderedJobs::State> state;
    bool ran = false;
};

} // namespace

void OrderedJobs::Post(size_t slot, std::function<void()> job, bool urgent) {
    std::shared_ptr<State>& state = slots_[slot % slots_.size()];
    state = std::make_shared<State>();
    state->job = slot;
    auto guard = std::make_shared<SlotGuard>(state);
    pool_.Post(
        [guard, job = std::move(job)] {
            try {
                job();
                guard->ran = true;
            } catch (...) {
                guard->state->failure = std::current_exception();
            }
        },
        urgent);
}

std::exception_ptr OrderedJobs::Failure(size_t slot) const {
    return Done(slot) ? slots_[slot % slots_.size()]->failure : nullptr;
}

bool OrderedJobs::Done(size_t slot) const {
    const std::shared_ptr<State>& state = slots_[slot % slots_.size()];
    return state && state->job == slot && state->phase.load(std::memory_order_acquire) != 0;
}

bool OrderedJobs::Ran(size_t slot) const {
    return Done(slot) && slots_[slot % slots_.size()]->phase.load(std::memory_order_acquire) == 1;
}

bool OrderedJobs::WaitFor(size_t slot, unsigned milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!Done(slot)) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        pool_.WaitForAnEnd(unsigned(end - now));
    }
    return true;
}

bool ProgressPace::Tell(size_t done) {
    done_ = int(done);
    if (progress_ && !stop_ && !progress_->Continue(done_, total_) && done_ < total_)
        stop_ = true;
    return !stop_;
}

void ProgressPace::Await(OrderedJobs& jobs, size_t job) {
    while (!jobs.WaitFor(job, 50))
        Tell(size_t(done_));
}

} // namespace kalvera
