#pragma once
// Small scope guards that the controls share: each undoes on every way out.

#include <windows.h>

namespace kalvera {

// Sets a flag for the scope's length; a scope inside another leaves it set.
struct FlagScope {
    bool& flag;
    bool previous;
    explicit FlagScope(bool& f) : flag(f), previous(f) { flag = true; }
    ~FlagScope() { flag = previous; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;
};

// A control's content changes without redrawing until the scope ends; then
// it is redrawn once. Scopes nest: only the outermost one of a window turns
// redrawing off and on again.
struct BatchUpdate {
    HWND window;
    explicit BatchUpdate(HWND w);
    ~BatchUpdate();
    BatchUpdate(const BatchUpdate&) = delete;
    BatchUpdate& operator=(const BatchUpdate&) = delete;
};

struct HourglassCursor {
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ~HourglassCursor() { SetCursor(previous); }
};

} // namespace kalvera
