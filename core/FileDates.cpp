#include "core/FileDates.h"
#include "core/readers/NameDate.h"
#include "datetime/Calendar.h"

#include <cstdint>

namespace kalvera {

std::optional<FileTime> FileTimeOfDateTaken(const TakenDate& date, LocalTimeConverter& local) {
    if (date.year < 1601)
        return std::nullopt;
    const long days = DaysSinceEpoch(date.year, date.month, date.day);
    const std::int64_t seconds = date.hour * 3600 + date.minute * 60 + date.second;
    if (!date.offsetMinutes)
        return local.ToUtc(days + seconds / 86400.0);
    const std::int64_t utc = (days - DaysSinceEpoch(1601, 1, 1)) * 86400LL + seconds -
                             std::int64_t(*date.offsetMinutes) * 60;
    if (utc <= 0)
        return std::nullopt;
    return static_cast<FileTime>(utc) * 10'000'000;
}

std::optional<FileTime> ReadDateTaken(const ContentReader& read, LocalTimeConverter& local,
                                      int* reads) {
    FileBytes file(read);
    const std::optional<TakenDate> date = ReadMediaDate(file);
    if (reads)
        *reads = file.Reads();
    return date ? FileTimeOfDateTaken(*date, local) : std::nullopt;
}

std::optional<FileTime> DateOfName(std::wstring_view path, LocalTimeConverter& local) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::optional<TakenDate> date =
        DateInName(slash == path.npos ? path : path.substr(slash + 1));
    return date ? FileTimeOfDateTaken(*date, local) : std::nullopt;
}

} // namespace kalvera
