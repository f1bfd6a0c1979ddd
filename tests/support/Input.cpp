#include "tests/support/Input.h"

#include <vector>

namespace kalvera::test {
namespace {

INPUT MouseInput(POINT screen, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return input;
}

INPUT KeyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

} // namespace

void MoveMouseTo(POINT screen) {
    INPUT move = MouseInput(screen, 0);
    SendInput(1, &move, sizeof move);
}

void ClickAt(HWND window, POINT client, bool right) {
    ClientToScreen(window, &client);
    INPUT inputs[3] = {MouseInput(client, 0),
                       MouseInput(client, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN),
                       MouseInput(client, right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP)};
    SendInput(3, inputs, sizeof(INPUT));
}

void ClickCentre(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    ClickAt(window, {client.right / 2, client.bottom / 2});
}

void PressKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys)
        inputs.push_back(KeyInput(key, false));
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
        inputs.push_back(KeyInput(*key, true));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void TypeText(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text)
        for (bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

} // namespace kalvera::test
