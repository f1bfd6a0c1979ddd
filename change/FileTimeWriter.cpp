#include "change/FileTimeWriter.h"
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

// One call per chosen time, each passing that time alone.
void SetChosenTimes(HANDLE file, std::wstring_view path, const FileTimes& times,
                    TimestampKinds kinds) {
    const FILETIME creation{static_cast<DWORD>(times.creation),
                            static_cast<DWORD>(times.creation >> 32)};
    const FILETIME lastAccess{static_cast<DWORD>(times.lastAccess),
                              static_cast<DWORD>(times.lastAccess >> 32)};
    const FILETIME lastWrite{static_cast<DWORD>(times.lastWrite),
                             static_cast<DWORD>(times.lastWrite >> 32)};
    if (kinds.creation)
        SetOne(file, path, &creation, nullptr, nullptr);
    if (kinds.lastWrite)
        SetOne(file, path, nullptr, nullptr, &lastWrite);
    if (kinds.lastAccess)
        SetOne(file, path, nullptr, &lastAccess, nullptr);
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

void WriteFileTimesUtc(std::wstring_view path, const FileTimes& times, TimestampKinds kinds) {
    UniqueFileHandle file = OpenExclusive(path);
    if (!file)
        RaiseOpenError(path);
    SetChosenTimes(file.get(), path, times, kinds);
}

bool WriteFileTimesIfFile(std::wstring_view path, const FileTimes& times, TimestampKinds kinds) {
    UniqueFileHandle file = OpenExclusive(path);
    if (!file) {
        // A directory fails the open too, so only a failed open needs the test.
        if (!IsExistingFile(path))
            return false;
        RaiseOpenError(path);
    }
    SetChosenTimes(file.get(), path, times, kinds);
    return true;
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
