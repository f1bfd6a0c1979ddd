#pragma once
// Small scope guards that the controls share: each undoes on every way out.

#include <windows.h>

namespace kalvera {

// Sets a flag for the scope's length.
struct FlagScope {
    bool& flag;
    explicit FlagScope(bool& f) : flag(f) { flag = true; }
    ~FlagScope() { flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;
};

// A control's content changes without redrawing until the scope ends; then
// it is redrawn once.
struct BatchUpdate {
    HWND window;
    explicit BatchUpdate(HWND w) : window(w) { SendMessageW(window, WM_SETREDRAW, FALSE, 0); }
    ~BatchUpdate() {
        SendMessageW(window, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window, nullptr, TRUE);
    }
    BatchUpdate(const BatchUpdate&) = delete;
    BatchUpdate& operator=(const BatchUpdate&) = delete;
};

struct HourglassCursor {
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ~HourglassCursor() { SetCursor(previous); }
};

} // namespace kalvera
