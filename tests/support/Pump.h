#pragma once
// Message pumping for tests that drive real windows and the watcher.

#include <windows.h>

#include <functional>

namespace kalvera::test {

// Dispatches messages until done() holds or the time runs out; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Dispatches whatever is queued, for about the given time.
void PumpFor(DWORD ms);

} // namespace kalvera::test
