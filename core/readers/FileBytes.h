#pragma once
// The bytes of a file as a reader of hostile data sees them: fetched a
// window at a time at the offsets the reader asks for, a fixed number of
// reads per file, every range checked against what was read before a byte
// of it is looked at; and a bounded cursor over each range.

#include "core/readers/ContentReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalvera {

inline constexpr std::uint64_t kUnknownEnd = ~std::uint64_t(0);

class FileBytes {
public:
    // The most reads of one file; each reads a window of this many bytes,
    // or the range asked for when it is longer, up to the largest range.
    static constexpr int kMostReads = 8;
    static constexpr std::size_t kWindow = 64 * 1024;
    static constexpr std::size_t kLargestRange = 1024 * 1024;

    // A file read through read.
    explicit FileBytes(const ContentReader& read) : read_(&read) {}
    // A file whole in memory (the tests, the fuzz target): nothing is read
    // or copied, and a read outside it is a read outside its memory.
    FileBytes(const std::uint8_t* data, std::size_t size) : data_(data), end_(size) {}

    // The bytes [at, at + length), or null when they are not all in the
    // file or the reads are spent. Valid until the next call.
    const std::uint8_t* Get(std::uint64_t at, std::size_t length);
    int Reads() const { return reads_; }
    // Where the file ends, once a read has met its end; kUnknownEnd before.
    std::uint64_t KnownEnd() const { return end_; }

private:
    struct Window {
        std::uint64_t at = 0;
        std::vector<std::uint8_t> bytes;
    };
    const ContentReader* read_ = nullptr;
    const std::uint8_t* data_ = nullptr;
    std::uint64_t end_ = kUnknownEnd;
    Window windows_[2];
    int next_ = 0;
    int reads_ = 0;
};

// Numbers in a range of bytes, each read only where the range holds it.
class ByteCursor {
public:
    ByteCursor(const std::uint8_t* data, std::size_t size, bool bigEndian = true)
        : data_(data), size_(data ? size : 0), big_(bigEndian) {}

    bool Has(std::uint64_t at, std::uint64_t length) const {
        return at <= size_ && length <= size_ - at;
    }
    std::size_t Size() const { return size_; }
    const std::uint8_t* At(std::size_t at) const { return data_ + at; }
    // Each is false, leaving value alone, where the range ends first.
    bool U8(std::uint64_t at, std::uint32_t& value) const { return Read(at, 1, value); }
    bool U16(std::uint64_t at, std::uint32_t& value) const { return Read(at, 2, value); }
    bool U32(std::uint64_t at, std::uint32_t& value) const { return Read(at, 4, value); }
    bool U64(std::uint64_t at, std::uint64_t& value) const;
    // Reads a size field of 0, 4 or 8 bytes (0 gives 0).
    bool Sized(std::uint64_t at, unsigned bytes, std::uint64_t& value) const;
    // True when the four bytes at at are the type code.
    bool Is(std::uint64_t at, const char (&code)[5]) const;

private:
    bool Read(std::uint64_t at, unsigned bytes, std::uint32_t& value) const;
    const std::uint8_t* data_;
    std::size_t size_;
    bool big_;
};

} // namespace kalvera
