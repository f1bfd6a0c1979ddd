#pragma once
// A run's journal as bytes: what a run writes before and after each file,
// so that the run can be undone after the program has ended, however it
// ended. A magic, then records, each its size, its type, its content and a
// checksum; a record cut off or damaged ends what can be read (a crash
// while it was being written), and the complete ones before it count.
//
// Journals are read from disk, whole, and taken as hostile: every field is
// read through a bounded cursor, and the reader holds no window code, so it
// is built natively and fuzzed as the other readers are.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvera {

enum class JournalKind : std::uint8_t { Run, Shift, Photo, Name, Contents, Sidecar, Copy };

struct JournalHeader {
    JournalKind kind = JournalKind::Run;
    std::uint8_t kinds = 0;    // 1 creation, 2 last access, 4 last write
    std::uint64_t started = 0; // FILETIME ticks, UTC
    std::wstring folder;       // the folder shown
    // What the run meant to write where every target gets the same: one
    // time (Run), or a move (Shift); 0 otherwise.
    std::uint64_t fixed = 0;
    std::int64_t shift = 0;
};

struct JournalFile {
    std::wstring path;
    bool isFolder = false;
    // An entry of a target the run does not write: only the access time its
    // reading moved is put back (its written mark holds the state that
    // left). Never undone; an older run's undo expects that state.
    bool touchOnly = false;
    // The times the run gives the file (creation, last access, last write),
    // in a run that gives each file its own (0 where the entry does not
    // say): one date for all three, or each its own (a copy's times).
    std::uint64_t dates[3] = {};
    std::uint32_t volume = 0; // the identity, known for a file with other names
    std::uint64_t fileIndex = 0;
    // Creation, last access, last write: as listed before the run wrote,
    // or as its write found them where they had moved since.
    std::uint64_t before[3] = {};
    // Written, with the state the write left (as the run's record keeps
    // it); without it the write may or may not have happened.
    bool written = false;
    std::uint64_t after[3] = {};
    std::uint64_t changeAfter = 0, sizeAfter = 0;
    bool undone = false;
    // The state the undo left (times, change time, size), where its mark
    // holds it: a newer run's undo is told from another program's change.
    bool undoneKnown = false;
    std::uint64_t undoneTimes[3] = {}, undoneChange = 0, undoneSize = 0;
};

struct JournalContents {
    JournalHeader header;
    std::vector<JournalFile> files;
    bool ended = false;    // the run wrote its end mark
    bool cut = false;      // its last record is cut off or damaged
    bool reported = false; // a run that did not end, offered for undoing once
};

// The journal in the bytes, or none when they are not a journal (no magic,
// no complete header).
std::optional<JournalContents> ReadJournal(const std::uint8_t* data, std::size_t size);

// The records of a journal, appended to bytes as the run goes.
class JournalRecords {
public:
    // The magic and the header: the start of a journal.
    static std::string Start(const JournalHeader& header);
    // Before the file is written: its place in the run (one after the
    // last), path, times and date.
    static std::string Entry(std::uint32_t index, const std::wstring& folder,
                             const JournalFile& file);
    // After: the state the write left, its identity where known, and its
    // times before where the write found them moved since the entry.
    static std::string Written(std::uint32_t index, const JournalFile& file, bool beforeMoved);
    // The file set back by an undo, with the state it left where given.
    static std::string Undone(std::uint32_t index, const JournalFile* left = nullptr);
    // The run's end; again after an undo's marks, so that the journal's
    // last bytes tell it ended (EndedJournal).
    static std::string End();
    static std::string Reported();
};

inline constexpr char kJournalMagic[] = "KVJ1";
// The longest record a reader takes: a path's characters and the fields.
inline constexpr std::size_t kLongestJournalRecord = 2 * 32768 + 64;

} // namespace kalvera
