#pragma once
// Message pumping for tests that drive real windows and the watcher. The
// pumps take each message as the program's loop does (dialog keys of the
// window set with SetDialogWindow, the failure guard) and run the idle work
// whenever the queue is empty. Every wait is bounded.

#include "tests/support/DialogBoxes.h"

#include <windows.h>

#include <functional>

namespace kalvera::test {

// Processes messages until done() holds or the time runs out; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Processes whatever comes, for about the given time.
void PumpFor(DWORD ms);

// Runs the action from a timer of the thread after the delay: from inside
// whatever modal loop runs by then (a message box, a dialog, a menu).
void WhileModal(std::function<void()> action, UINT delayMs = 100);

// A bound on a modal loop: if a dialog or message box of the thread is still
// open when the time is up, it is closed (and Hit() tells), so a test whose
// action failed to close it fails instead of hanging.
class ModalDeadline {
public:
    explicit ModalDeadline(DWORD ms = 5000);
    ~ModalDeadline();
    ModalDeadline(const ModalDeadline&) = delete;
    ModalDeadline& operator=(const ModalDeadline&) = delete;
    bool Hit() const;

private:
    UINT_PTR timer_;
};

} // namespace kalvera::test
