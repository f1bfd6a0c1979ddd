#include "change/FileTimeWriter.h"
#include "change/SystemTime.h"
#include "win/Error.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <windows.h>

namespace kalvera {
namespace {

// Share mode 0: no other open of the file succeeds while the times are set.
UniqueFileHandle OpenExclusive(std::wstring_view path) {
    if (!IsFullyQualifiedPath(path))
        return {};
    return UniqueFileHandle(CreateFileW(ExtendedLengthPath(path).c_str(),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

[[noreturn]] void RaiseOpenError(std::wstring_view path) {
    throw Error(FormatMessageText(kOpenErrorText, path));
}

void SetOne(HANDLE file, std::wstring_view path, const FILETIME* creation,
            const FILETIME* lastAccess, const FILETIME* lastWrite) {
    if (!SetFileTime(file, creation, lastAccess, lastWrite))
        throw Error(FormatMessageText(kSetErrorText, path));
}

FileTimes ReadTimes(HANDLE file) {
    FILETIME creation{}, lastAccess{}, lastWrite{};
    GetFileTime(file, &creation, &lastAccess, &lastWrite);
    return {FromFileTime(creation), FromFileTime(lastAccess), FromFileTime(lastWrite)};
}

// One call per chosen time, each passing that time alone.
void SetChosenTimes(HANDLE file, std::wstring_view path, const FileTimes& times,
                    TimestampKinds kinds) {
    const FILETIME creation = ToFileTime(times.creation);
    const FILETIME lastAccess = ToFileTime(times.lastAccess);
    const FILETIME lastWrite = ToFileTime(times.lastWrite);
    if (kinds.creation)
        SetOne(file, path, &creation, nullptr, nullptr);
    if (kinds.lastWrite)
        SetOne(file, path, nullptr, nullptr, &lastWrite);
    if (kinds.lastAccess)
        SetOne(file, path, nullptr, &lastAccess, nullptr);
}

void SetAndReadBack(HANDLE file, std::wstring_view path, const FileTimes& times,
                    TimestampKinds kinds, TimesReadBack* readBack) {
    if (readBack)
        readBack->before = ReadTimes(file);
    SetChosenTimes(file, path, times, kinds);
    if (readBack)
        readBack->after = ReadTimes(file);
}

} // namespace

bool IsExistingFile(std::wstring_view path) {
    if (!IsFullyQualifiedPath(path))
        return false;
    // Attributes rather than a directory search: a search would expand "*"
    // and "?" in the text and could answer for some other file.
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteFileTimesUtc(std::wstring_view path, const FileTimes& times, TimestampKinds kinds,
                       TimesReadBack* readBack) {
    UniqueFileHandle file = OpenExclusive(path);
    if (!file)
        RaiseOpenError(path);
    SetAndReadBack(file.get(), path, times, kinds, readBack);
}

bool WriteFileTimesIfFile(std::wstring_view path, const FileTimes& times, TimestampKinds kinds,
                          TimesReadBack* readBack) {
    UniqueFileHandle file = OpenExclusive(path);
    if (!file) {
        // A directory fails the open too, so only a failed open needs the test.
        if (!IsExistingFile(path))
            return false;
        RaiseOpenError(path);
    }
    SetAndReadBack(file.get(), path, times, kinds, readBack);
    return true;
}

RestoreOutcome RestoreFileTimes(std::wstring_view path, const TimesReadBack& written,
                                TimestampKinds kinds) {
    UniqueFileHandle file = OpenExclusive(path);
    if (!file)
        return IsExistingFile(path) ? RestoreOutcome::CantOpen : RestoreOutcome::Missing;
    const FileTimes now = ReadTimes(file.get());
    if ((kinds.creation && now.creation != written.after.creation) ||
        (kinds.lastAccess && now.lastAccess != written.after.lastAccess) ||
        (kinds.lastWrite && now.lastWrite != written.after.lastWrite))
        return RestoreOutcome::Changed;
    try {
        SetChosenTimes(file.get(), path, written.before, kinds);
    } catch (const Error&) {
        return RestoreOutcome::CantOpen;
    }
    return RestoreOutcome::Restored;
}

void WriteFileTimes(std::wstring_view path, DateTime creation, DateTime lastAccess,
                    DateTime lastWrite, TimestampKinds kinds) {
    UniqueFileHandle file = OpenExclusive(path);
    if (!file)
        RaiseOpenError(path);
    const FileTimes times{LocalDateTimeToFileTime(creation), LocalDateTimeToFileTime(lastAccess),
                          LocalDateTimeToFileTime(lastWrite)};
    SetChosenTimes(file.get(), path, times, kinds);
}

} // namespace kalvera
