#include "tests/support/ShellItems.h"

#include <stdexcept>

namespace kalvera::test {

std::unique_ptr<TShellFolder> RootOf(const std::wstring& path) {
    std::wstring name = path;
    return RootItemFromName(L"", name);
}

std::vector<std::unique_ptr<TShellFolder>> ChildrenOf(TShellFolder& folder, SHCONTF flags) {
    std::vector<std::unique_ptr<TShellFolder>> children;
    ComPtr<IEnumIDList> entries;
    if (folder.FolderInterface()->EnumObjects(nullptr, flags, entries.put()) != S_OK || !entries)
        return children;
    IdList child;
    while (entries->Next(1, child.put_child(), nullptr) == S_OK) {
        ComPtr<IShellFolder> sub = BindFolder(folder.FolderInterface(), child.get(), nullptr);
        children.push_back(std::make_unique<TShellFolder>(&folder, child.get(), sub));
    }
    return children;
}

std::unique_ptr<TShellFolder> ChildNamed(TShellFolder& folder, const std::wstring& name) {
    for (auto& child :
         ChildrenOf(folder, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN))
        if (child->InFolderName() == name)
            return std::move(child);
    throw std::runtime_error("no such child");
}

} // namespace kalvera::test
