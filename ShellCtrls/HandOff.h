#pragma once
// Synchronous hand-off of work from a worker thread to the user-interface
// thread. The work runs in the user-interface thread's idle processing (the
// outermost message loop, between messages), never inside a nested modal
// loop such as a message box or a tracked menu: it can't re-enter a control
// that is waiting for that loop to end.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kalvera {

// A parameterless handler bound to its object.
using TThreadMethod = std::function<void()>;

struct HandOff;

// The hand-offs of one owner. Cancelling the group (on the user-interface
// thread, when the owner goes away) drops those still queued and releases
// the workers waiting for them.
class HandOffGroup {
public:
    void Cancel();
    bool Cancelled();

private:
    friend void RunOnUiThreadAndWait(const TThreadMethod&, const std::shared_ptr<HandOffGroup>&);
    bool Register(const std::shared_ptr<HandOff>& handOff);

    std::mutex lock_;
    bool cancelled_ = false;
    std::vector<std::weak_ptr<HandOff>> pending_;
};

// Thrown in the worker when its hand-off was cancelled before it ran.
class HandOffCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "hand-off cancelled"; }
};

// Queues the handler for the user-interface thread, wakes it, and blocks
// until the handler has run there. An exception of the handler is caught on
// the user-interface thread and raised again here. Called on the
// user-interface thread itself, it runs the handler at once.
void RunOnUiThreadAndWait(const TThreadMethod& handler,
                          const std::shared_ptr<HandOffGroup>& group = nullptr);

// Runs the queued hand-offs; the idle processing of the user-interface
// thread's message loop calls it.
void RunPendingHandOffs();
// How many hand-offs have been finished (run or cancelled), process-wide:
// each one is finished exactly once.
long HandOffCompletions();
// How many wait in the queue for the idle processing.
int PendingHandOffs();

// Run by the shell module on the user-interface thread.
void StartHandOffWindow();
void StopHandOffWindow();

} // namespace kalvera
