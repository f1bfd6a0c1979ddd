#pragma once
// How a reader of file bytes gets them: from whoever holds the file open.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kalvera {

// Reads bytes of a file from the given offset into the buffer, at most the
// given count; answers how many it read (0 at the end).
using ContentReader = std::function<std::size_t(std::uint64_t, std::uint8_t*, std::size_t)>;

} // namespace kalvera
