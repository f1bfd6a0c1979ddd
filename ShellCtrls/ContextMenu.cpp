#include "ShellCtrls/ContextMenu.h"
#include "ShellCtrls/IdList.h"
#include "ShellCtrls/ShellFolder.h"
#include "win/ComPtr.h"

#include <string>

namespace kalvera {
namespace {

ComPtr<IContextMenu2> activeMenu;

ComPtr<IContextMenu> ContextMenuOf(const TShellFolder& item, HWND owner) {
    ComPtr<IContextMenu> menu;
    IShellFolder* parent = item.ParentFolderInterface();
    if (!parent)
        return menu;
    PCUITEMID_CHILD child = AsChild(item.RelativeIdList());
    parent->GetUIObjectOf(owner, 1, &child, IID_IContextMenu, nullptr, menu.put_void());
    return menu;
}

struct MenuOwner {
    HMENU menu = CreatePopupMenu();
    ~MenuOwner() { DestroyMenu(menu); }
};

std::string Ascii(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

} // namespace

std::wstring ContextMenuVerb(IContextMenu* menu, UINT offset) {
    // The wide form first (verbs of third-party handlers need not be ASCII),
    // then the ANSI one, which some handlers alone answer.
    wchar_t wide[256] = L"";
    if (SUCCEEDED(menu->GetCommandString(offset, GCS_VERBW, nullptr, reinterpret_cast<LPSTR>(wide),
                                         256))) {
        wide[255] = L'\0';
        if (wide[0])
            return wide;
    }
    char narrow[256] = "";
    if (FAILED(menu->GetCommandString(offset, GCS_VERBA, nullptr, narrow, 256)))
        return {};
    narrow[255] = '\0';
    const int length = MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide, 256);
    return length > 0 ? std::wstring(wide, static_cast<size_t>(length - 1)) : std::wstring();
}

IContextMenu2* ActiveContextMenu2() {
    return activeMenu.get();
}
void ReleaseActiveContextMenu() {
    activeMenu.reset();
}

void ShowItemContextMenu(HWND owner, IShellVerbHook* hook, const TShellFolder* item, int x, int y) {
    if (!item)
        return;
    ComPtr<IContextMenu> menu = ContextMenuOf(*item, owner);
    if (!menu)
        return;
    POINT at{x, y};
    ClientToScreen(owner, &at);
    MenuOwner popup;
    menu->QueryContextMenu(popup.menu, 0, 1, 0x7FFF, CMF_EXPLORE | CMF_CANRENAME);
    activeMenu = menu.as<IContextMenu2>();
    const UINT chosen =
        TrackPopupMenu(popup.menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    activeMenu.reset();
    if (chosen == 0)
        return;
    const std::wstring verb = ContextMenuVerb(menu.get(), chosen - 1);
    bool handled = false;
    bool succeeded = true;
    if (hook)
        hook->BeforeVerb(verb, handled);
    if (!handled) {
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.hwnd = owner;
        info.lpVerb = MAKEINTRESOURCEA(chosen - 1);
        info.nShow = SW_SHOWNORMAL;
        succeeded = menu->InvokeCommand(&info) == S_OK;
    }
    if (hook)
        hook->AfterVerb(verb, succeeded);
}

void InvokeItemVerb(std::wstring_view verb, const TShellFolder* item) {
    if (!item)
        return;
    ComPtr<IContextMenu> menu = ContextMenuOf(*item, nullptr);
    if (!menu)
        return;
    const std::wstring wide(verb);
    const std::string narrow = Ascii(verb);
    CMINVOKECOMMANDINFOEX info{};
    info.cbSize = sizeof info;
    info.fMask = CMIC_MASK_ASYNCOK | CMIC_MASK_UNICODE;
    info.lpVerb = narrow.c_str();
    info.lpVerbW = wide.c_str();
    info.nShow = SW_SHOWNORMAL;
    menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
}

} // namespace kalvera
