#pragma once
// The date a photo service's export keeps in the JSON file beside a photo:
// photoTakenTime.timestamp, else creationTime.timestamp, seconds since 1970
// (UTC) as a text or a number. No window code: fuzzed natively.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kalvera {

enum class JsonDate { Found, None, Damaged };

// Found: seconds gets the date. None: a JSON text without one. Damaged:
// not JSON at all.
JsonDate TakeoutDate(std::string_view text, std::int64_t& seconds);

} // namespace kalvera
