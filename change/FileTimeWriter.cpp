#include "change/FileTimeWriter.h"
#include "datetime/Calendar.h"
#include "datetime/SystemTime.h"
#include "win/Error.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <windows.h>

namespace kalvera {
namespace {

// Share mode 0: no other open of the file succeeds while the times are set.
// A folder is opened as a folder and shared: its content can't change
// through the times, and the shell keeps folders open all the time.
UniqueFileHandle OpenExclusive(std::wstring_view path, bool isFolder = false) {
    if (!IsFullyQualifiedPath(path))
        return {};
    if (isFolder)
        return UniqueFileHandle(CreateFileW(
            ExtendedLengthPath(path).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return UniqueFileHandle(CreateFileW(ExtendedLengthPath(path).c_str(),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool IsExisting(std::wstring_view path, bool isFolder) {
    return isFolder ? IsExistingFolder(path) : IsExistingFile(path);
}

[[noreturn]] void RaiseOpenError(std::wstring_view path) {
    throw Error(FormatMessageText(kOpenErrorText, path));
}

FileTime Ticks(const LARGE_INTEGER& value) {
    return static_cast<FileTime>(value.QuadPart);
}

// The three times and the change time in one call.
bool ReadTimes(HANDLE file, FileTimes& times, FileTime* change = nullptr) {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return false;
    times = {Ticks(basic.CreationTime), Ticks(basic.LastAccessTime), Ticks(basic.LastWriteTime)};
    if (change)
        *change = Ticks(basic.ChangeTime);
    return true;
}

// The state a write or a restore left: times, change time, size, identity.
void ReadStateAfter(HANDLE file, TimesReadBack& state) {
    if (!ReadTimes(file, state.after, &state.changeAfter)) {
        state.changeAfter = 0;
        return;
    }
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
        return;
    state.sizeAfter = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    // Only a file with other names can be reached twice. Its identity asks
    // the volume, which costs more than the rest of a write: not asked for
    // the others.
    FILE_ID_INFO id{};
    if (standard.NumberOfLinks > 1 &&
        GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id)) {
        std::uint64_t index = 0;
        for (BYTE part : id.FileId.Identifier) // 128 bits folded to 64
            index = index * 1099511628211ULL + part;
        state.identity = {static_cast<std::uint32_t>(id.VolumeSerialNumber), index};
    }
}

// The chosen times in one call, so that a refusal leaves the file as it was
// on a file system that checks all of them first.
bool SetChosenTimes(HANDLE file, const FileTimes& times, TimestampKinds kinds) {
    const FILETIME creation = ToFileTime(times.creation);
    const FILETIME lastAccess = ToFileTime(times.lastAccess);
    const FILETIME lastWrite = ToFileTime(times.lastWrite);
    return SetFileTime(file, kinds.creation ? &creation : nullptr,
                       kinds.lastAccess ? &lastAccess : nullptr,
                       kinds.lastWrite ? &lastWrite : nullptr);
}

// The target opened as a write opens it; empty when it is not there, the
// open error when it is and can't be opened. A directory fails a file's
// open too, so only a failed open needs the test.
UniqueFileHandle OpenIfThere(std::wstring_view path, bool isFolder) {
    UniqueFileHandle file = OpenExclusive(path, isFolder);
    if (!file && IsExisting(path, isFolder))
        RaiseOpenError(path);
    return file;
}

// Zero times would be taken as "leave unchanged" by a later restore: a
// file whose times can't be read is not written.
void ReadTimesBefore(HANDLE file, std::wstring_view path, TimesReadBack& readBack) {
    if (!ReadTimes(file, readBack.before))
        throw Error(FormatMessageText(kReadErrorText, path));
    readBack.after = readBack.before;
}

void SetThenReadBack(HANDLE file, std::wstring_view path, const FileTimes& times,
                     TimestampKinds kinds, TimesReadBack* readBack) {
    const bool set = SetChosenTimes(file, times, kinds);
    if (readBack)
        ReadStateAfter(file, *readBack);
    if (!set)
        throw Error(FormatMessageText(kSetErrorText, path));
}

void SetAndReadBack(HANDLE file, std::wstring_view path, const FileTimes& times,
                    TimestampKinds kinds, TimesReadBack* readBack) {
    if (readBack)
        ReadTimesBefore(file, path, *readBack);
    SetThenReadBack(file, path, times, kinds, readBack);
}

} // namespace

EntryKind KindOnDisk(std::wstring_view path) {
    if (!IsFullyQualifiedPath(path))
        return EntryKind::Neither;
    // Attributes rather than a directory search: a search would expand "*"
    // and "?" in the text and could answer for some other file.
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryKind::Neither;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? EntryKind::Folder : EntryKind::File;
}

bool IsExistingFile(std::wstring_view path) {
    return KindOnDisk(path) == EntryKind::File;
}

bool IsExistingFolder(std::wstring_view path) {
    return KindOnDisk(path) == EntryKind::Folder;
}

void WriteFileTimesUtc(std::wstring_view path, const FileTimes& times, TimestampKinds kinds,
                       TimesReadBack* readBack) {
    UniqueFileHandle file = OpenExclusive(path);
    if (!file)
        RaiseOpenError(path);
    SetAndReadBack(file.get(), path, times, kinds, readBack);
}

bool WriteTimesIfThere(std::wstring_view path, bool isFolder, const FileTimes& times,
                       TimestampKinds kinds, TimesReadBack* readBack) {
    UniqueFileHandle file = OpenIfThere(path, isFolder);
    if (!file)
        return false;
    SetAndReadBack(file.get(), path, times, kinds, readBack);
    return true;
}

RuleOutcome WriteTimesByRule(std::wstring_view path, bool isFolder, TimesRule& rule,
                             TimestampKinds kinds, TimesReadBack& readBack, FileTimes& times,
                             std::wstring_view& why) {
    UniqueFileHandle file = OpenIfThere(path, isFolder);
    if (!file)
        return RuleOutcome::Missing;
    ReadTimesBefore(file.get(), path, readBack);
    // Reads go on from where the last one ended, as a rule reads: a read
    // with an offset of its own costs a good deal more under Wine.
    std::uint64_t position = 0;
    const ContentReader content = [&](std::uint64_t offset, std::uint8_t* to,
                                      std::size_t size) -> std::size_t {
        LARGE_INTEGER moveTo;
        moveTo.QuadPart = static_cast<LONGLONG>(offset);
        DWORD read = 0;
        if (isFolder ||
            (offset != position && !SetFilePointerEx(file.get(), moveTo, nullptr, FILE_BEGIN)) ||
            !ReadFile(file.get(), to, static_cast<DWORD>(size), &read, nullptr))
            return 0;
        position = offset + read;
        return read;
    };
    if (!rule.Decide(readBack.before, content, times, why))
        return RuleOutcome::Declined;
    SetThenReadBack(file.get(), path, times, kinds, &readBack);
    return RuleOutcome::Written;
}

TimeRange VolumeTimeRange(std::wstring_view path) {
    // 30827-12-31 23:59:59.9999999, the last time the platform's calendar
    // record can hold.
    constexpr FileTime kLatest =
        (DaysSinceEpoch(30828, 1, 1) - DaysSinceEpoch(1601, 1, 1)) * 864'000'000'000ULL - 1;
    wchar_t root[MAX_PATH + 1] = L"", system[MAX_PATH + 1] = L"";
    const std::wstring extended = ExtendedLengthPath(path);
    if (!path.empty() && GetVolumePathNameW(extended.c_str(), root, MAX_PATH) &&
        GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH) &&
        (lstrcmpiW(system, L"FAT") == 0 || lstrcmpiW(system, L"FAT32") == 0 ||
         lstrcmpiW(system, L"exFAT") == 0))
        return {LocalDateTimeToFileTime(DaysSinceEpoch(1980, 1, 1)),
                LocalDateTimeToFileTime(DaysSinceEpoch(2107, 12, 31) + 86398.0 / 86400)};
    return {1, kLatest};
}

bool ShiftChosenTimes(FileTimes& times, std::int64_t ticks, TimestampKinds kinds, TimeRange range) {
    auto move = [&](bool chosen, FileTime& time) {
        if (!chosen)
            return true;
        // Checked before the sum, which can't overflow then: a shift is
        // at most 100 years.
        if (time == 0 || time > range.latest)
            return false;
        const std::int64_t moved = static_cast<std::int64_t>(time) + ticks;
        if (moved < static_cast<std::int64_t>(range.earliest) ||
            moved > static_cast<std::int64_t>(range.latest))
            return false;
        time = static_cast<FileTime>(moved);
        return true;
    };
    return move(kinds.creation, times.creation) && move(kinds.lastAccess, times.lastAccess) &&
           move(kinds.lastWrite, times.lastWrite);
}

RestoreOutcome RestoreFileTimes(std::wstring_view path, const TimesReadBack& expected,
                                TimestampKinds kinds, TimesReadBack* left, bool isFolder) {
    UniqueFileHandle file = OpenExclusive(path, isFolder);
    if (!file)
        return IsExisting(path, isFolder) ? RestoreOutcome::CantOpen : RestoreOutcome::Missing;
    // Content written or copied over since the run moves the change time
    // and often the size, even where the last-write time was put back.
    TimesReadBack now;
    ReadStateAfter(file.get(), now);
    if (!SameChosenTimes(kinds, now.after, expected.after) ||
        (expected.changeAfter && now.changeAfter != expected.changeAfter) ||
        (expected.changeAfter && now.sizeAfter != expected.sizeAfter))
        return RestoreOutcome::Changed;
    if (!SetChosenTimes(file.get(), expected.before, kinds))
        return RestoreOutcome::SetRefused;
    if (left)
        ReadStateAfter(file.get(), *left);
    return RestoreOutcome::Restored;
}

void WriteFileTimes(std::wstring_view path, DateTime creation, DateTime lastAccess,
                    DateTime lastWrite, TimestampKinds kinds) {
    UniqueFileHandle file = OpenExclusive(path);
    if (!file)
        RaiseOpenError(path);
    const FileTimes times{LocalDateTimeToFileTime(creation), LocalDateTimeToFileTime(lastAccess),
                          LocalDateTimeToFileTime(lastWrite)};
    if (!SetChosenTimes(file.get(), times, kinds))
        throw Error(FormatMessageText(kSetErrorText, path));
}

} // namespace kalvera
