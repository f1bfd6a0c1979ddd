#include "change/FolderPicker.h"
#include "ShellCtrls/IdList.h"

#include <shlobj.h>

#include <vector>

namespace kalvera {
namespace {

int CALLBACK StartAt(HWND dialog, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED && start)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

} // namespace

std::optional<std::wstring> AskFolder(HWND owner, std::wstring_view title,
                                      std::wstring_view start) {
    const std::wstring title0(title), start0(start);
    wchar_t name[MAX_PATH] = L"";
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pszDisplayName = name;
    info.lpszTitle = title0.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    info.lpfn = StartAt;
    info.lParam = start0.empty() ? 0 : reinterpret_cast<LPARAM>(start0.c_str());
    const IdList chosen(reinterpret_cast<ITEMIDLIST*>(SHBrowseForFolderW(&info)));
    if (!chosen)
        return std::nullopt;
    // A path past MAX_PATH too.
    std::vector<wchar_t> path(32768);
    if (!SHGetPathFromIDListEx(chosen.abs(), path.data(), DWORD(path.size()), GPFIDL_DEFAULT))
        return std::nullopt;
    return std::wstring(path.data());
}

} // namespace kalvera
