#include "tests/support/DialogBoxes.h"

#include <string>

namespace kalvera::test {
namespace {

BOOL CALLBACK FindBox(HWND candidate, LPARAM data) {
    wchar_t name[32] = L"";
    GetClassNameW(candidate, name, 32);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(candidate)) {
        *reinterpret_cast<HWND*>(data) = candidate;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindMessage(HWND candidate, LPARAM data) {
    if (FindBox(candidate, data) == FALSE && !BoxText(candidate).empty())
        return FALSE;
    *reinterpret_cast<HWND*>(data) = nullptr;
    return TRUE;
}

} // namespace

HWND FindMessageBox(DWORD threadId) {
    HWND box = nullptr;
    EnumThreadWindows(threadId, FindMessage, reinterpret_cast<LPARAM>(&box));
    return box;
}

HWND FindDialogBox(DWORD threadId) {
    HWND box = nullptr;
    EnumThreadWindows(threadId, FindBox, reinterpret_cast<LPARAM>(&box));
    return box;
}

std::wstring BoxText(HWND box) {
    wchar_t text[512] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    return text;
}

} // namespace kalvera::test
