#include "ui/Failure.h"

#include <windows.h>

#include <utility>

namespace kalvera {
namespace {
FailureHandler& Installed() {
    static FailureHandler handler;
    return handler;
}
} // namespace

FailureHandler SetFailureHandler(FailureHandler handler) {
    return std::exchange(Installed(), std::move(handler));
}

void ReportFailure(std::exception_ptr failure) {
    // A drag or a tracking menu ends before the box opens.
    if (HWND capture = GetCapture())
        SendMessageW(capture, WM_CANCELMODE, 0, 0);
    if (FailureHandler handler = Installed())
        handler(failure);
}

} // namespace kalvera
