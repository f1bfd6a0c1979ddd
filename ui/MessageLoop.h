#pragma once
// How the program takes its messages: dialog keyboard handling for the main
// window, dispatch inside the failure guard, and work that waits for the
// thread to be idle. The program's loop and the tests that drive its windows
// share it, so that both see a message the same way.

#include <windows.h>

#include <functional>

namespace kalvera {

// The window whose keyboard handling (Tab, arrow keys, Enter, mnemonics) the
// loop runs; none by default.
void SetDialogWindow(HWND window);
HWND DialogWindow();

// Sent to the dialog window with a key message (WM_KEYDOWN, WM_SYSKEYDOWN)
// for it or one of its controls before anything else sees it; lParam points
// to the MSG. A window that answers TRUE has used the key (a shortcut).
inline constexpr UINT kPreviewKey = WM_APP + 22;

// Dialog keyboard handling, else translation and dispatch. A failure that
// escapes goes to the failure path and the loop goes on.
void ProcessMessage(MSG& msg);

// Work run only by the outermost loop between messages, never inside a
// nested modal loop (a message box, a tracked menu, a dialog): so it can't
// re-enter a handler that is waiting for that loop to end.
using IdleHandler = std::function<void()>;
int AddIdleHandler(IdleHandler handler);
void RemoveIdleHandler(int id);
void RunIdleHandlers();

// Takes and processes messages, running the idle handlers whenever the
// queue is empty, until the quit message; returns its code.
int RunMessageLoop();

} // namespace kalvera
