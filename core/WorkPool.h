#pragma once
// A small pool of worker threads for a run: each job is one target's own
// I/O. The thread that posts the jobs takes their results in its own order
// (see OrderedJobs), so that the shared things a run keeps (its journal,
// record and report) come out the same on any number of threads.

#include "core/RunServices.h"
#include "win/Sync.h"
#include "win/Thread.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace kalvera {

// The threads a run uses: KALVERA_THREADS where set (read once; 1 runs every
// job on the calling thread, as one file after another), otherwise the
// processors the machine has, at least 2 and at most 8.
unsigned RunThreads();

class WorkPool {
public:
    // threads 0: RunThreads(). With one thread, every job runs at once on
    // the thread that posts it.
    explicit WorkPool(unsigned threads = 0);
    // Jobs not started are dropped; those running finish first.
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    unsigned Threads() const { return threads_; }
    // An urgent job goes before every job that is not, after the urgent
    // ones already waiting.
    void Post(std::function<void()> job, bool urgent = false);
    // Drops the jobs not started yet; each is told so by being destroyed
    // without having run (see OrderedJobs).
    void DropQueued();
    // Waits at most the milliseconds for a job to end; true when one did
    // since the last call.
    bool WaitForAnEnd(unsigned milliseconds);

private:
    void Work();
    unsigned threads_;
    Mutex lock_;
    Condition queued_, ended_;
    std::deque<std::function<void()>> urgent_, jobs_;
    size_t ends_ = 0, endsSeen_ = 0;
    bool closing_ = false;
    std::vector<JoinableThread> workers_;
};

// Jobs whose ends are taken in the order they were posted: job i is done
// once it has run (or was dropped). The poster reads a job's result only
// after Done(i), which orders the job's writes before its reads. At most
// capacity jobs are under way: job i takes the place of job i - capacity,
// which must be done by then.
class OrderedJobs {
public:
    OrderedJobs(WorkPool& pool, size_t capacity) : pool_(pool), slots_(capacity) {}
    // Posts job i (jobs are counted from 0 in posting order).
    void Post(size_t slot, std::function<void()> job, bool urgent = false);
    bool Done(size_t slot) const;
    bool Ran(size_t slot) const;
    // What a done job raised, for the poster to raise in its turn.
    std::exception_ptr Failure(size_t slot) const;
    // Waits, at most the milliseconds, for the slot to be done.
    bool WaitFor(size_t slot, unsigned milliseconds);
    WorkPool& Pool() { return pool_; }

    struct State;

private:
    WorkPool& pool_;
    std::vector<std::shared_ptr<State>> slots_;
};

// The progress of a long run: told after each target in their order, and
// at least every 50 ms while the run waits for one, so that the window it
// keeps answering looks at its input. Once it asks to stop it says so for
// good.
class ProgressPace {
public:
    ProgressPace(ProgressService* progress, size_t total)
        : progress_(progress), total_(int(total)) {}
    // After the first done targets.
    bool Tell(size_t done);
    // Waits until the job is done, telling the progress meanwhile.
    void Await(OrderedJobs& jobs, size_t job);
    bool Stopped() const { return stop_; }

private:
    ProgressService* progress_;
    int total_, done_ = 0;
    bool stop_ = false;
};

} // namespace kalvera
