#include "core/readers/RunJournal.h"
#include "core/readers/FileBytes.h"

#include <cstring>

namespace kalvera {
namespace {

enum Type : std::uint8_t { kHeader = 1, kEntry, kWritten, kUndone, kEnd, kReported };

constexpr std::uint32_t kBeforeMoved = 1, kIdentity = 2; // what a written mark carries
// What an entry says of its path and its target.
constexpr std::uint32_t kRelative = 1, kFolder = 2, kDated = 4, kTouchOnly = 8, kThreeDates = 16;

bool OneDate(const std::uint64_t (&dates)[3]) {
    return dates[0] == dates[2] && dates[1] == dates[2];
}

std::uint32_t Checksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

// Little-endian fields, appended.
class Writer {
public:
    void U8(std::uint32_t value) { bytes_ += char(value); }
    void U16(std::uint32_t value) {
        U8(value & 0xFF);
        U8(value >> 8 & 0xFF);
    }
    void U32(std::uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    void U64(std::uint64_t value) {
        U32(std::uint32_t(value));
        U32(std::uint32_t(value >> 32));
    }
    void Text(std::wstring_view text) {
        text = text.substr(0, 32767);
        U16(std::uint32_t(text.size()));
        for (wchar_t c : text)
            U16(std::uint32_t(c) & 0xFFFF);
    }
    // The fields so far as a record of the type.
    std::string Record(Type type) const {
        const std::string content = char(type) + bytes_;
        Writer record;
        record.U32(std::uint32_t(content.size()));
        record.bytes_ += content;
        record.U32(Checksum(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
        return record.bytes_;
    }

private:
    std::string bytes_;
};

// Fields read in order from one record's content; each read is checked,
// and a failed one fails every read after it.
class Fields {
public:
    Fields(const std::uint8_t* data, std::size_t size) : cursor_(data, size, false) {}
    std::uint32_t U8() { return Take(1); }
    std::uint32_t U32() { return Take(4); }
    std::uint64_t U64() {
        std::uint64_t value = 0;
        ok_ = ok_ && cursor_.U64(at_, value);
        at_ += 8;
        return value;
    }
    std::wstring Text() {
        const std::uint32_t length = Take(2);
        std::wstring text;
        if (!ok_ || !cursor_.Has(at_, 2 * std::uint64_t(length))) {
            ok_ = false;
            return text;
        }
        text.resize(length);
        for (std::uint32_t i = 0; i < length; ++i)
            text[i] = wchar_t(Take(2));
        return text;
    }
    // Every read held, and the content is used up.
    bool Whole() const { return ok_ && at_ == cursor_.Size(); }
    bool More() const { return ok_ && at_ < cursor_.Size(); }

private:
    std::uint32_t Take(unsigned bytes) {
        std::uint32_t value = 0;
        ok_ = ok_ && (bytes == 1   ? cursor_.U8(at_, value)
                      : bytes == 2 ? cursor_.U16(at_, value)
                                   : cursor_.U32(at_, value));
        at_ += bytes;
        return value;
    }
    ByteCursor cursor_;
    std::uint64_t at_ = 0;
    bool ok_ = true;
};

bool ReadHeader(Fields& fields, JournalHeader& header) {
    const std::uint32_t kind = fields.U8();
    header.kind = JournalKind(kind);
    header.kinds = std::uint8_t(fields.U8());
    header.started = fields.U64();
    header.fixed = fields.U64();
    header.shift = std::int64_t(fields.U64());
    header.folder = fields.Text();
    return fields.Whole() && kind <= std::uint32_t(JournalKind::Copy) && header.kinds != 0 &&
           header.kinds < 8;
}

// One record's content, taken into the journal; false where it can't be.
bool Take(std::uint8_t type, Fields& fields, JournalContents& journal) {
    switch (type) {
    case kEntry: {
        JournalFile file;
        const std::uint32_t index = fields.U32();
        const std::uint32_t flags = fields.U8();
        const bool relative = flags & kRelative;
        file.isFolder = flags & kFolder;
        file.touchOnly = flags & kTouchOnly;
        file.path = fields.Text();
        if (relative)
            file.path = journal.header.folder + L'\\' + file.path;
        for (std::uint64_t& time : file.before)
            time = fields.U64();
        if (flags & kThreeDates)
            for (std::uint64_t& date : file.dates)
                date = fields.U64();
        else if (flags & kDated)
            file.dates[0] = file.dates[1] = file.dates[2] = fields.U64();
        const bool dated = flags & (kDated | kThreeDates);
        if (!fields.Whole() || flags > 31 || (flags & kDated && flags & kThreeDates) ||
            journal.ended || index != journal.files.size() ||
            (dated && (file.dates[0] == 0 || file.dates[1] == 0 || file.dates[2] == 0)))
            return false;
        journal.files.push_back(std::move(file));
        return true;
    }
    case kWritten: {
        const std::uint32_t index = fields.U32();
        const std::uint32_t flags = fields.U8();
        std::uint64_t after[3], change, size, before[3] = {}, fileIndex = 0;
        std::uint32_t volume = 0;
        for (std::uint64_t& time : after)
            time = fields.U64();
        change = fields.U64();
        size = fields.U64();
        if (flags & kBeforeMoved)
            for (std::uint64_t& time : before)
                time = fields.U64();
        if (flags & kIdentity) {
            volume = fields.U32();
            fileIndex = fields.U64();
        }
        if (!fields.Whole() || flags > 3 || journal.ended || index >= journal.files.size() ||
            journal.files[index].written)
            return false;
        JournalFile& file = journal.files[index];
        file.written = true;
        std::memcpy(file.after, after, sizeof after);
        if (flags & kBeforeMoved)
            std::memcpy(file.before, before, sizeof before);
        file.changeAfter = change;
        file.sizeAfter = size;
        file.volume = volume;
        file.fileIndex = fileIndex;
        return true;
    }
    case kUndone: {
        const std::uint32_t index = fields.U32();
        std::uint64_t times[3] = {}, change = 0, size = 0;
        const bool known = fields.More();
        if (known) {
            for (std::uint64_t& time : times)
                time = fields.U64();
            change = fields.U64();
            size = fields.U64();
        }
        if (!fields.Whole() || index >= journal.files.size())
            return false;
        JournalFile& file = journal.files[index];
        file.undone = true;
        file.undoneKnown = known;
        std::memcpy(file.undoneTimes, times, sizeof times);
        file.undoneChange = change;
        file.undoneSize = size;
        return true;
    }
    case kEnd: // again after the marks of an undo
        if (!fields.Whole())
            return false;
        journal.ended = true;
        return true;
    case kReported:
        if (!fields.Whole() || journal.reported)
            return false;
        journal.reported = true;
        return true;
    }
    return false;
}

} // namespace

std::optional<JournalContents> ReadJournal(const std::uint8_t* data, std::size_t size) {
    const ByteCursor bytes(data, size, false);
    if (!bytes.Has(0, 4) || std::memcmp(data, kJournalMagic, 4) != 0)
        return std::nullopt;
    JournalContents journal;
    std::uint64_t at = 4;
    for (bool first = true;; first = false) {
        std::uint32_t length = 0, stored = 0, type = 0;
        if (at == size) {
            if (first)
                return std::nullopt; // the magic alone
            break;
        }
        if (!bytes.U32(at, length) || length == 0 || length > kLongestJournalRecord ||
            !bytes.Has(at + 4, std::uint64_t(length) + 4) || !bytes.U8(at + 4, type) ||
            !bytes.U32(at + 4 + length, stored) ||
            Checksum(bytes.At(std::size_t(at + 4)), length) != stored) {
            if (first)
                return std::nullopt;
            journal.cut = true;
            break;
        }
        Fields fields(bytes.At(std::size_t(at + 5)), length - 1);
        if (first ? type != kHeader || !ReadHeader(fields, journal.header)
                  : !Take(std::uint8_t(type), fields, journal)) {
            if (first)
                return std::nullopt;
            journal.cut = true;
            break;
        }
        at += 4 + std::uint64_t(length) + 4;
    }
    return journal;
}

std::string JournalRecords::Start(const JournalHeader& header) {
    Writer fields;
    fields.U8(std::uint32_t(header.kind));
    fields.U8(header.kinds);
    fields.U64(header.started);
    fields.U64(header.fixed);
    fields.U64(std::uint64_t(header.shift));
    fields.Text(header.folder);
    return std::string(kJournalMagic, 4) + fields.Record(kHeader);
}

std::string JournalRecords::Entry(std::uint32_t index, const std::wstring& folder,
                                  const JournalFile& file) {
    // Below the run's folder, the path is kept from there on.
    const bool relative = !folder.empty() && file.path.size() > folder.size() + 1 &&
                          file.path.compare(0, folder.size(), folder) == 0 &&
                          file.path[folder.size()] == L'\\';
    const bool dated = file.dates[0] || file.dates[1] || file.dates[2];
    Writer fields;
    fields.U32(index);
    fields.U8((relative ? kRelative : 0) | (file.isFolder ? kFolder : 0) |
              (!dated                ? 0
               : OneDate(file.dates) ? kDated
                                     : kThreeDates) |
              (file.touchOnly ? kTouchOnly : 0));
    fields.Text(relative ? std::wstring_view(file.path).substr(folder.size() + 1)
                         : std::wstring_view(file.path));
    for (std::uint64_t time : file.before)
        fields.U64(time);
    if (dated && OneDate(file.dates))
        fields.U64(file.dates[2]);
    else if (dated)
        for (std::uint64_t date : file.dates)
            fields.U64(date);
    return fields.Record(kEntry);
}

std::string JournalRecords::Written(std::uint32_t index, const JournalFile& file,
                                    bool beforeMoved) {
    const bool identity = file.volume != 0 || file.fileIndex != 0;
    Writer fields;
    fields.U32(index);
    fields.U8((beforeMoved ? kBeforeMoved : 0) | (identity ? kIdentity : 0));
    for (std::uint64_t time : file.after)
        fields.U64(time);
    fields.U64(file.changeAfter);
    fields.U64(file.sizeAfter);
    if (beforeMoved)
        for (std::uint64_t time : file.before)
            fields.U64(time);
    if (identity) {
        fields.U32(file.volume);
        fields.U64(file.fileIndex);
    }
    return fields.Record(kWritten);
}

std::string JournalRecords::Undone(std::uint32_t index, const JournalFile* left) {
    Writer fields;
    fields.U32(index);
    if (left) {
        for (std::uint64_t time : left->after)
            fields.U64(time);
        fields.U64(left->changeAfter);
        fields.U64(left->sizeAfter);
    }
    return fields.Record(kUndone);
}

std::string JournalRecords::End() {
    return Writer().Record(kEnd);
}

std::string JournalRecords::Reported() {
    return Writer().Record(kReported);
}

} // namespace kalvera
