#pragma once
// Reaching real folders and files through the shell, as the controls do.

#include "ShellCtrls/ShellFolder.h"
#include "ShellCtrls/ShellModule.h"

#include <memory>
#include <string>
#include <vector>

namespace kalvera::test {

// The root item of a path, as a control's Root would make it.
std::unique_ptr<TShellFolder> RootOf(const std::wstring& path);
// The children of a folder item in enumeration order, as list rows are made.
std::vector<std::unique_ptr<TShellFolder>>
ChildrenOf(TShellFolder& folder, SHCONTF flags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS);
// The child whose in-folder name is name.
std::unique_ptr<TShellFolder> ChildNamed(TShellFolder& folder, const std::wstring& name);

} // namespace kalvera::test
