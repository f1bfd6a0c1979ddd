#pragma once
// The entries of a folder as the file system lists them: in large fetches,
// past MAX_PATH, "." and ".." left out.

#include "win/Handle.h"
#include "win/Path.h"

#include <windows.h>

#include <string_view>

namespace kalvera {

// Calls visit with each entry's data; false when the folder can't be
// listed or its listing broke off, GetLastError() telling why.
template <typename Visit> bool EachFolderEntry(std::wstring_view folder, Visit&& visit) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle search(FindFirstFileExW(ExtendedLengthPath(JoinPath(folder, L"*")).c_str(),
                                             FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH));
    if (!search)
        return false;
    do {
        const wchar_t* name = data.cFileName;
        if (!(name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))))
            visit(data);
    } while (FindNextFileW(search.get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

} // namespace kalvera
