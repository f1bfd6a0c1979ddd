#include "core/readers/FileBytes.h"

#include <algorithm>
#include <cstring>

namespace kalvera {

const std::uint8_t* FileBytes::Get(std::uint64_t at, std::size_t length) {
    if (length > kLargestRange || at > kUnknownEnd - length || at + length > end_)
        return nullptr;
    if (data_)
        return data_ + at;
    for (const Window& window : windows_)
        if (at >= window.at && at - window.at <= window.bytes.size() &&
            length <= window.bytes.size() - (at - window.at))
            return window.bytes.data() + (at - window.at);
    if (reads_ >= kMostReads)
        return nullptr;
    ++reads_;
    Window& window = windows_[next_];
    next_ = 1 - next_;
    window.at = at;
    window.bytes.resize(std::max(kWindow, length));
    const std::size_t got =
        std::min((*read_)(at, window.bytes.data(), window.bytes.size()), window.bytes.size());
    window.bytes.resize(got);
    if (got < std::max(kWindow, length))
        end_ = std::min(end_, at + got);
    return got >= length ? window.bytes.data() : nullptr;
}

bool ByteCursor::Read(std::uint64_t at, unsigned bytes, std::uint32_t& value) const {
    if (!Has(at, bytes))
        return false;
    std::uint32_t v = 0;
    for (unsigned i = 0; i < bytes; ++i)
        v |= std::uint32_t(data_[at + (big_ ? i : bytes - 1 - i)]) << (8 * (bytes - 1 - i));
    value = v;
    return true;
}

bool ByteCursor::U64(std::uint64_t at, std::uint64_t& value) const {
    std::uint32_t first = 0, second = 0;
    if (!U32(at, first) || !U32(at + 4, second))
        return false;
    value = big_ ? std::uint64_t(first) << 32 | second : std::uint64_t(second) << 32 | first;
    return true;
}

bool ByteCursor::Sized(std::uint64_t at, unsigned bytes, std::uint64_t& value) const {
    std::uint32_t small = 0;
    switch (bytes) {
    case 0:
        value = 0;
        return true;
    case 4:
        if (!U32(at, small))
            return false;
        value = small;
        return true;
    case 8:
        return U64(at, value);
    default:
        return false;
    }
}

bool ByteCursor::Is(std::uint64_t at, const char (&code)[5]) const {
    return Has(at, 4) && std::memcmp(data_ + at, code, 4) == 0;
}

} // namespace kalvera
