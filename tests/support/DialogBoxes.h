#pragma once
// Finding the dialog box (a message box) a thread shows, in this process or
// in the program run as a child.

#include <windows.h>

namespace kalvera::test {

// The thread's visible dialog box, or null.
HWND FindDialogBox(DWORD threadId = GetCurrentThreadId());

} // namespace kalvera::test
