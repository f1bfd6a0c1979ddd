#pragma once
// Real input for tests: mouse clicks and keys through the system's input
// queue, as the user makes them.

#include <windows.h>

#include <initializer_list>
#include <string>

namespace kalvera::test {

void MoveMouseTo(POINT screen);
// A left (or right) click at a point in the window's client area.
void ClickAt(HWND window, POINT client, bool right = false);
void ClickCentre(HWND window);
// Presses the keys in order and releases them in reverse (a chord such as
// Alt+Home).
void PressKeys(std::initializer_list<WORD> keys);
// Types the characters, whatever the keyboard layout.
void TypeText(const std::wstring& text);

} // namespace kalvera::test
