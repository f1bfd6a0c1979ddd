#pragma once
// Where the failures of event handlers go. Nothing may cross into Windows
// from a window procedure: every window procedure catches what its handlers
// raise and hands it here. The program shows it in the error box; tests may
// install a recorder.

#include <exception>
#include <functional>

namespace kalvera {

using FailureHandler = std::function<void(std::exception_ptr)>;

// Returns the handler that was installed before.
FailureHandler SetFailureHandler(FailureHandler handler);
// Cancels mouse capture, then calls the installed handler (without one, the
// failure is dropped).
void ReportFailure(std::exception_ptr failure);

} // namespace kalvera
