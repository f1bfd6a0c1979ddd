#pragma once
// The platform's calendar record of a DateTime.

#include "change/TimestampCore.h"

#include <windows.h>

namespace kalvera {

// Date, day of the week and time of day, to the nearest millisecond.
SYSTEMTIME SystemTimeFromDateTime(DateTime value);

} // namespace kalvera
