#pragma once
// Where the conversion of local times reads the user's time-zone settings.
// Tests put settings of their own in its place (an automatic daylight-saving
// adjustment switched off, say) without changing the machine's.

#include <windows.h>

#include <functional>

namespace kalvera {

// Fills the settings as GetDynamicTimeZoneInformation does and returns what
// it returns.
using TimeZoneSource = std::function<DWORD(DYNAMIC_TIME_ZONE_INFORMATION&)>;

// Returns the source that was in place; an empty source means the system's.
TimeZoneSource SetTimeZoneSource(TimeZoneSource source);

} // namespace kalvera
