#include "core/SidecarDates.h"
#include "core/FileDates.h"
#include "core/RunTimestampChange.h"
#include "core/readers/TakeoutJson.h"
#include "core/readers/XmpDate.h"
#include "win/FolderEntries.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <windows.h>

#include <string>

namespace kalvera {
namespace {

// The bytes of a sidecar, read on a handle that keeps its access time as it
// was: reading a sidecar writes nothing to it. Its size is the listing's,
// one more byte read tells one grown since.
bool ReadWhole(const std::wstring& path, const ListedSidecar& listed, std::string& bytes,
               std::wstring_view& why) {
    const std::uint64_t size = listed.size;
    if (size > kLargestSidecar) {
        why = kLargeSidecarText;
        return false;
    }
    UniqueFileHandle file(CreateFileW(ExtendedLengthPath(path).c_str(),
                                      GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        file.reset(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        why = kCantReadSidecarText;
        return false;
    }
    const FILETIME keep{0xFFFFFFFF, 0xFFFFFFFF};
    SetFileTime(file.get(), nullptr, &keep, nullptr);
    bytes.resize(std::size_t(size) + 1);
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr)) {
        why = kCantReadSidecarText;
        return false;
    }
    // Grown past the largest since it was listed.
    if (read > kLargestSidecar) {
        why = kLargeSidecarText;
        return false;
    }
    bytes.resize(read);
    return true;
}

} // namespace

std::optional<FileTime> ReadSidecarDate(const std::wstring& path, const ListedSidecar& listed,
                                        LocalTimeConverter& local, std::wstring_view& why) {
    std::string bytes;
    if (!ReadWhole(path, listed, bytes, why))
        return std::nullopt;
    if (IsJsonName(path)) {
        std::int64_t seconds = 0;
        switch (TakeoutDate(bytes, seconds)) {
        case JsonDate::Found:
            return FileTime(seconds + 11'644'473'600LL) * 10'000'000;
        case JsonDate::Damaged:
            why = kDamagedSidecarText;
            return std::nullopt;
        case JsonDate::None:
            break;
        }
    } else if (const std::optional<TakenDate> date = DateInXmp(bytes)) {
        if (std::optional<FileTime> time = FileTimeOfDateTaken(*date, local))
            return time;
    }
    why = kNoSidecarDateText;
    return std::nullopt;
}

std::shared_ptr<const SidecarRule::Folder> SidecarRule::FolderOf(std::wstring_view folder) {
    {
        std::lock_guard guard(lock_);
        if (const auto found = folders_.find(folder); found != folders_.end())
            return found->second;
    }
    // Listed without the lock, which the other folders' targets need; two
    // threads that list one folder at once keep the first listing.
    auto listed = std::make_shared<Folder>();
    EachFolderEntry(folder, [&](const WIN32_FIND_DATAW& data) {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsSidecarName(data.cFileName)) {
            listed->index.Add(data.cFileName);
            listed->listed[data.cFileName] = {(std::uint64_t(data.nFileSizeHigh) << 32) |
                                              data.nFileSizeLow};
        }
    });
    std::lock_guard guard(lock_);
    return folders_.emplace(std::wstring(folder), std::move(listed)).first->second;
}

bool SidecarRule::Decide(std::wstring_view path, const TargetState&, const ContentReader&,
                         FileTimes& times, std::wstring_view& why) {
    const auto [folder, name] = SplitPath(path);
    const std::shared_ptr<const Folder> listed = FolderOf(folder);
    const std::wstring sidecar = listed->index.Find(name);
    if (sidecar.empty()) {
        why = kNoSidecarDateText;
        return false;
    }
    const std::optional<FileTime> date =
        ReadSidecarDate(JoinPath(folder, sidecar), listed->listed.at(sidecar), local_, why);
    if (!date)
        return false;
    times = {*date, *date, *date};
    return true;
}

} // namespace kalvera
