#pragma once
// The shell's own order of a folder's children (IShellFolder::CompareIDs
// with column 0), found without asking the shell millions of times.

#include <windows.h>
#include <shlobj.h>

#include <cstddef>
#include <vector>

namespace kalvera {

// The positions of ids (children of folder) in the folder's order. Where
// firstGroup is given, the ids it marks come before the others, each group
// in the folder's order.
std::vector<size_t> ShellOrder(IShellFolder* folder, const std::vector<const ITEMIDLIST*>& ids,
                               const std::vector<char>* firstGroup = nullptr);

// The signed low word of a CompareIDs result: negative puts a first.
short CompareResult(HRESULT hr);

} // namespace kalvera
