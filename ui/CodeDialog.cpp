#include "ui/CodeDialog.h"

namespace kalvera {

INT_PTR RunCodeDialog(HWND owner, DWORD style, DLGPROC procedure, void* state) {
    struct alignas(DWORD) {
        DLGTEMPLATE head{};
        WORD menu = 0, windowClass = 0, title = 0;
    } dialogTemplate;
    dialogTemplate.head.style = style;
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialogTemplate.head, owner,
                                   procedure, reinterpret_cast<LPARAM>(state));
}

HWND MakeDialogChild(HWND dialog, HFONT font, const wchar_t* type, const wchar_t* text, DWORD style,
                     int id, const RECT& bounds, DWORD exStyle) {
    HWND child = CreateWindowExW(exStyle, type, text, WS_CHILD | WS_VISIBLE | style, bounds.left,
                                 bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                                 dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

void CentreOnOwner(HWND dialog, int clientWidth, int clientHeight) {
    RECT outer{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, GetWindowLongW(dialog, GWL_STYLE), FALSE,
                       GetWindowLongW(dialog, GWL_EXSTYLE));
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    RECT owner{};
    GetWindowRect(GetWindow(dialog, GW_OWNER), &owner);
    SetWindowPos(dialog, nullptr, (owner.left + owner.right - width) / 2,
                 (owner.top + owner.bottom - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace kalvera
