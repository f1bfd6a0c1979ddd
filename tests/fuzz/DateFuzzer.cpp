// Any bytes, as a file of any kind and as a name: the readers answer a date
// or none, reading nothing outside the bytes (the sanitizers stop at the
// first byte), in no more reads than they may take.

#include "core/readers/MediaDate.h"
#include "core/readers/NameDate.h"

#include <cstdint>
#include <cstring>
#include <string>

using namespace kalvera;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory: every byte looked at is one of the input's.
    FileBytes whole(data, size);
    const std::optional<TakenDate> inMemory = ReadMediaDate(whole);

    // Read as a file is, a window at a time.
    int calls = 0;
    const ContentReader read = [&](std::uint64_t at, std::uint8_t* to, std::size_t length) {
        ++calls;
        const std::size_t n = at < size ? std::min<std::size_t>(length, size - std::size_t(at)) : 0;
        if (n)
            std::memcpy(to, data + at, n);
        return n;
    };
    FileBytes file(read);
    const std::optional<TakenDate> throughReads = ReadMediaDate(file);
    if (calls > FileBytes::kMostReads || file.Reads() != calls)
        __builtin_trap();
    // A date found is a date that exists.
    for (const std::optional<TakenDate>& date : {inMemory, throughReads})
        if (date && (date->month < 1 || date->month > 12 || date->day < 1 || date->day > 31 ||
                     date->hour > 23 || date->minute > 59 || date->second > 59))
            __builtin_trap();

    // The bytes as a name, two to a character.
    std::wstring name(size / 2, L'\0');
    for (std::size_t i = 0; i < name.size(); ++i)
        name[i] = wchar_t(data[2 * i] | data[2 * i + 1] << 8);
    if (const std::optional<TakenDate> date = DateInName(name))
        if (date->year < 1980 || date->year > 2107)
            __builtin_trap();
    return 0;
}
