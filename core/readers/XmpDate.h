#pragma once
// The date an XMP packet gives: a sidecar beside a photo (an editor's or a
// scanner's), or a packet inside the file. The properties in their order:
// exif:DateTimeOriginal, xmp:CreateDate, photoshop:DateCreated, each as an
// attribute or as an element. The text is looked at where the packet holds
// it and nowhere else; no window code, fuzzed natively.

#include "core/readers/MediaDate.h"

#include <optional>
#include <string_view>

namespace kalvera {

std::optional<TakenDate> DateInXmp(std::string_view packet);

} // namespace kalvera
