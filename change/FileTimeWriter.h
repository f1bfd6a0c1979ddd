#pragma once
// Writing the times of one file once they are file times: shared by
// WriteFileTimes and the run, which converts its date once for all targets.

#include "change/TimestampCore.h"

namespace kalvera {

struct FileTimes {
    FileTime creation = 0, lastAccess = 0, lastWrite = 0;
};

// Raises the open error when the file can't be opened exclusively.
void WriteFileTimesUtc(std::wstring_view path, const FileTimes& times, TimestampKinds kinds);

// As WriteFileTimesUtc, but a path that turns out not to name an existing
// file is answered with false instead of the open error. Costs one open for
// a file that opens, where testing first would cost a lookup more.
bool WriteFileTimesIfFile(std::wstring_view path, const FileTimes& times, TimestampKinds kinds);

} // namespace kalvera
