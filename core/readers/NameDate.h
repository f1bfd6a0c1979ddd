#pragma once
// The date and time a file's name gives, in the forms phones, cameras,
// computers and messengers write them: IMG_20190704_130509,
// PXL_20230102_030405123, VID_20190704_130509,
// Screenshot_2019-07-04-13-05-09, 2019-07-04 13.05.09,
// スクリーンショット 2019-07-04 130509, Screenshot 2019-07-04 at 13.05.09,
// signal-2019-07-04-130509, and the messengers' IMG-20190704-WA0007 and
// LINE_ALBUM_<album>_190704_1 (a date alone, 00:00:00). Only a whole form
// with dates and times that exist counts, years 1980 to 2107.

#include "core/readers/MediaDate.h"

#include <optional>
#include <string_view>

namespace kalvera {

// The first form found anywhere in the name; local time.
std::optional<TakenDate> DateInName(std::wstring_view name);

} // namespace kalvera
