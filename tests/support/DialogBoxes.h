#pragma once
// Finding the dialog box (a message box) a thread shows, in this process or
// in the program run as a child.

#include <windows.h>

#include <string>

namespace kalvera::test {

// The thread's visible dialog box, or null.
HWND FindDialogBox(DWORD threadId = GetCurrentThreadId());
// The thread's visible message box (a dialog box with a message's text),
// or null.
HWND FindMessageBox(DWORD threadId = GetCurrentThreadId());
// The text a message box shows.
std::wstring BoxText(HWND box);

} // namespace kalvera::test
