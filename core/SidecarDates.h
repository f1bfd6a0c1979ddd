#pragma once
// The date a file beside a photo gives it: a photo service's JSON file or an
// editor's XMP sidecar (core/readers/SidecarNames tells which file).

#include "core/FileTimeWriter.h"
#include "core/readers/SidecarNames.h"
#include "datetime/SystemTime.h"
#include "win/Sync.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kalvera {

// The largest sidecar read: a photo's JSON or XMP file is a few KiB.
inline constexpr std::uint64_t kLargestSidecar = 1024 * 1024;

// A sidecar as its folder's listing found it: its size.
struct ListedSidecar {
    std::uint64_t size = 0;
};

// What a sidecar gives the file (one more byte than the listing's size is
// read, telling one grown since); why holds the reason where it gives
// nothing.
std::optional<FileTime> ReadSidecarDate(const std::wstring& path, const ListedSidecar& listed,
                                        LocalTimeConverter& local, std::wstring_view& why);

// Each target's date from its sidecar. A folder's sidecars are listed once,
// by the first of its targets asked about, on whichever thread.
class SidecarRule : public TimesRule {
public:
    bool Decide(std::wstring_view path, const TargetState& now, const ContentReader& content,
                FileTimes& times, std::wstring_view& why) override;

private:
    // A folder's sidecars by name, with their sizes.
    struct Folder {
        SidecarIndex index;
        std::map<std::wstring, ListedSidecar> listed;
    };
    std::shared_ptr<const Folder> FolderOf(std::wstring_view folder);
    Mutex lock_;
    std::map<std::wstring, std::shared_ptr<const Folder>, std::less<>> folders_;
    LocalTimeConverter local_;
};

} // namespace kalvera
