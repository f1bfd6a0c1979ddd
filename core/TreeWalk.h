#pragma once
// The targets of a run that covers many files: a selection, a folder, or a
// whole tree read from the file system. Paths are kept as a folder's number
// and a name, so a large tree costs little more than its names.

#include "core/FileTimes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

struct TargetEntry {
    std::uint32_t folder = 0; // in TargetList::folders
    bool isFolder = false;
    std::wstring name;
    FileTimes listed; // the times the listing found
};

struct TargetList {
    std::vector<std::wstring> folders; // fully qualified, no trailing separator but a root's
    std::vector<TargetEntry> entries;

    // Adds a fully qualified path; consecutive paths of one folder share it.
    void Add(std::wstring_view path, bool isFolder, const FileTimes& listed = {});
    std::wstring PathOf(const TargetEntry& entry) const;
    // Where the targets from start on that lie as deep as it end. A folder
    // decided from its contents waits for every folder below it, which a
    // walk of them lists first.
    size_t LevelEnd(size_t start) const;
};

// The number of the path's folder in folders, appended unless it is the
// last one there (consecutive paths of one folder share it); and the name.
std::pair<std::uint32_t, std::wstring_view> FolderNumberAndName(std::vector<std::wstring>& folders,
                                                                std::wstring_view path);

enum class TreeReadOutcome { Read, Stopped, Unreadable };

// Lists every file below root, and every folder below it when withFolders
// is set, through the file system itself. Hidden entries are left out, as
// the file list leaves them out, and hidden folders are not entered. A
// reparse point (junction, symbolic link) is never followed, and counted in
// links when given; a folder already entered (the same volume and file
// index, reached through a link the file system does not mark) is not
// entered again, so no link can make the walk loop. Stops at the first
// folder that can't be read, named in unreadable. found is told the number
// of entries now and then, and stops the walk by answering false. Hidden
// entries left out are counted in hidden when given. Folders are read on
// threads (0: RunThreads()), the targets found in the same order.
TreeReadOutcome ReadTree(std::wstring_view root, bool withFolders, TargetList& out,
                         std::wstring& unreadable, const std::function<bool(size_t)>& found,
                         int* links = nullptr, int* hidden = nullptr, unsigned threads = 0);

// The hidden entries the folder holds directly, which the file list leaves
// out.
int HiddenEntriesIn(std::wstring_view folder);

} // namespace kalvera
