#pragma once
// Writing the times of one file once they are file times: shared by
// WriteFileTimes, the run (which converts its date once for all targets) and
// undoing a run.

#include "change/TimestampCore.h"

namespace kalvera {

// Raises the open error when the file can't be opened exclusively. With
// readBack, the file's times are read on the same handle before and after
// the set calls: no other open, no other lookup.
void WriteFileTimesUtc(std::wstring_view path, const FileTimes& times, TimestampKinds kinds,
                       TimesReadBack* readBack = nullptr);

// As WriteFileTimesUtc, but a path that turns out not to name an existing
// file is answered with false instead of the open error. Costs one open for
// a file that opens, where testing first would cost a lookup more.
bool WriteFileTimesIfFile(std::wstring_view path, const FileTimes& times, TimestampKinds kinds,
                          TimesReadBack* readBack = nullptr);

enum class RestoreOutcome { Restored, Changed, Missing, CantOpen };

// Sets the kinds back to the times read before a write, to the tick, when
// the file still reads back as that write left it; with the same exclusive
// open. A file changed since, gone, or that can't be opened is left alone.
RestoreOutcome RestoreFileTimes(std::wstring_view path, const TimesReadBack& written,
                                TimestampKinds kinds);

} // namespace kalvera
