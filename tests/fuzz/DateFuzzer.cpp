// Any bytes, as a file of any kind, as a name and as a run's journal: the
// readers answer a date or none, a journal or none, reading nothing outside
// the bytes (the sanitizers stop at the first byte), in no more reads than
// they may take.

#include "core/readers/MediaDate.h"
#include "core/readers/NameDate.h"
#include "core/readers/RunJournal.h"
#include "core/readers/SidecarNames.h"
#include "core/readers/TakeoutJson.h"
#include "core/readers/XmpDate.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using namespace kalvera;

namespace {

// The journal's records, each file's marks after its entry.
std::string Encode(const JournalContents& journal) {
    std::string bytes = JournalRecords::Start(journal.header);
    for (std::uint32_t i = 0; i < journal.files.size(); ++i) {
        bytes += JournalRecords::Entry(i, journal.header.folder, journal.files[i]);
        if (journal.files[i].written)
            bytes += JournalRecords::Written(i, journal.files[i], true);
        if (const JournalFile& file = journal.files[i]; file.undone) {
            JournalFile left;
            std::copy(std::begin(file.undoneTimes), std::end(file.undoneTimes), left.after);
            left.changeAfter = file.undoneChange;
            left.sizeAfter = file.undoneSize;
            bytes += JournalRecords::Undone(i, file.undoneKnown ? &left : nullptr);
        }
    }
    if (journal.ended)
        bytes += JournalRecords::End();
    if (journal.reported)
        bytes += JournalRecords::Reported();
    return bytes;
}

} // namespace

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
    // As the names of a folder, split at zeros: the sidecar each of them
    // finds is one of the folder's.
    SidecarIndex folder;
    std::vector<std::wstring> names;
    for (std::size_t at = 0; at <= name.size();) {
        const std::size_t end = std::min(name.find(L'\0', at), name.size());
        names.push_back(name.substr(at, end - at));
        folder.Add(names.back());
        at = end + 1;
    }
    for (const std::wstring& each : names)
        if (const std::wstring found = folder.Find(each);
            !found.empty() && std::find(names.begin(), names.end(), found) == names.end())
            __builtin_trap();

    // The bytes as a sidecar's text.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const std::optional<TakenDate> date = DateInXmp(text))
        if (date->month < 1 || date->month > 12 || date->day < 1 || date->day > 31)
            __builtin_trap();
    std::int64_t seconds = 0;
    if (TakeoutDate(text, seconds) == JsonDate::Found && seconds <= 0)
        __builtin_trap();

    // A journal read is written again as it was read, and reads back the
    // same.
    if (const std::optional<JournalContents> journal = ReadJournal(data, size)) {
        const std::string again = Encode(*journal);
        const std::optional<JournalContents> back =
            ReadJournal(reinterpret_cast<const std::uint8_t*>(again.data()), again.size());
        if (!back || back->cut || Encode(*back) != again)
            __builtin_trap();
    }
    return 0;
}
