#include "core/FileTimeWriter.h"
#include "core/ErrorReasons.h"
#include "core/RunTimestampChange.h"
#include "datetime/Calendar.h"
#include "datetime/SystemTime.h"
#include "win/Error.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <windows.h>

#include <optional>

namespace kalvera {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

UniqueFileHandle OpenOnce(const std::wstring& path, bool isFolder, DWORD access) {
    // A folder is opened as a folder and shared: its content can't change
    // through the times, and the shell keeps folders open all the time.
    if (isFolder)
        return UniqueFileHandle(CreateFileW(path.c_str(), access & ~GENERIC_READ, kShareAll,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                            nullptr));
    // Share mode 0: no other program gets at the file's bytes while it is
    // open. Setting times needs its attributes alone, which a read-only file
    // grants; its bytes are asked for only when a rule reads them.
    return UniqueFileHandle(CreateFileW(path.c_str(), access, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileTime Ticks(const LARGE_INTEGER& value) {
    return static_cast<FileTime>(value.QuadPart);
}

bool ReadBasic(HANDLE file, FILE_BASIC_INFO& basic) {
    return GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic);
}

FileTimes TimesIn(const FILE_BASIC_INFO& basic) {
    return {Ticks(basic.CreationTime), Ticks(basic.LastAccessTime), Ticks(basic.LastWriteTime)};
}

// A target opened for setting its times. Some systems (Wine among them)
// refuse a read-only file even an open for its attributes: the attribute is
// then cleared for the while and put back through the handle, before the
// state after a write is read, so that the change time read is the last.
class WriteHandle {
public:
    WriteHandle(std::wstring_view path, bool isFolder) {
        if (!IsFullyQualifiedPath(path)) {
            error = ERROR_INVALID_NAME;
            return;
        }
        const std::wstring extended = ExtendedLengthPath(path);
        constexpr DWORD access = FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
        file = OpenOnce(extended, isFolder, access);
        if (file)
            return;
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED)
            return;
        const DWORD found = GetFileAttributesW(extended.c_str());
        if (found == INVALID_FILE_ATTRIBUTES || !(found & FILE_ATTRIBUTE_READONLY) ||
            bool(found & FILE_ATTRIBUTE_DIRECTORY) != isFolder)
            return;
        // What the file's change time was before the clearing moves it.
        if (UniqueFileHandle reader = OpenOnce(extended, isFolder, FILE_READ_ATTRIBUTES)) {
            FILE_BASIC_INFO basic{};
            if (ReadBasic(reader.get(), basic))
                changeFound = Ticks(basic.ChangeTime);
        }
        const DWORD cleared = found & ~FILE_ATTRIBUTE_READONLY;
        if (!SetFileAttributesW(extended.c_str(), cleared ? cleared : FILE_ATTRIBUTE_NORMAL))
            return;
        file = OpenOnce(extended, isFolder, access);
        if (file) {
            clearedFrom_ = found;
            error = 0;
        } else {
            error = GetLastError();
            SetFileAttributesW(extended.c_str(), found);
        }
    }
    ~WriteHandle() { PutBackAttributes(); }
    WriteHandle(const WriteHandle&) = delete;
    WriteHandle& operator=(const WriteHandle&) = delete;

    bool ClearedReadOnly() const { return clearedFrom_ != 0; }
    void PutBackAttributes() {
        if (!clearedFrom_)
            return;
        FILE_BASIC_INFO basic{}; // times of 0 are left as they are
        basic.FileAttributes = std::exchange(clearedFrom_, 0);
        SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
    }

    UniqueFileHandle file;
    FileTime changeFound = 0; // the change time, when the attribute was cleared
    DWORD error = 0;          // why there is no handle

private:
    DWORD clearedFrom_ = 0;
};

// Which file a handle leads to, asked only of a file with other names: the
// identity asks the volume, which costs more than the rest of a write.
FileIdentity IdentityOf(HANDLE file, const FILE_STANDARD_INFO& standard) {
    FILE_ID_INFO id{};
    if (standard.NumberOfLinks <= 1 ||
        !GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id))
        return {};
    std::uint64_t index = 0;
    for (BYTE part : id.FileId.Identifier) // 128 bits folded to 64
        index = index * 1099511628211ULL + part;
    return {static_cast<std::uint32_t>(id.VolumeSerialNumber), index};
}

// The state a write or a restore left: times, change time, size, identity.
void ReadState(HANDLE file, TimesReadBack& state) {
    FILE_BASIC_INFO basic{};
    if (!ReadBasic(file, basic)) {
        state.changeAfter = 0;
        return;
    }
    state.after = TimesIn(basic);
    state.changeAfter = Ticks(basic.ChangeTime);
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
        return;
    state.sizeAfter = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    state.identity = IdentityOf(file, standard);
}

// The chosen times in one call, so that a refusal leaves the file as it was
// on a file system that checks all of them first.
bool SetChosenTimes(HANDLE file, const FileTimes& times, TimestampKinds kinds) {
    const FILETIME creation = ToFileTime(times.creation);
    const FILETIME lastAccess = ToFileTime(times.lastAccess);
    const FILETIME lastWrite = ToFileTime(times.lastWrite);
    return SetFileTime(file, kinds.creation ? &creation : nullptr,
                       kinds.lastAccess ? &lastAccess : nullptr,
                       kinds.lastWrite ? &lastWrite : nullptr);
}

bool SameText(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The path a handle leads to, as the file system names it; empty when it
// can't tell.
std::wstring FinalPath(HANDLE file) {
    std::wstring text(MAX_PATH, L'\0');
    for (int tries = 0; tries < 3; ++tries) {
        const DWORD length =
            GetFinalPathNameByHandleW(file, text.data(), static_cast<DWORD>(text.size()), 0);
        if (length == 0)
            return {};
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        text.resize(length);
    }
    return {};
}

// The root of the volume a fully qualified path lies on, as its text
// gives it ("X:\", "\\server\share\"); empty where the text can't tell.
std::wstring_view VolumeRootOf(std::wstring_view path) {
    if (path.starts_with(L"\\\\?\\"))
        path.remove_prefix(4);
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\')
        return path.substr(0, 3);
    if (!path.starts_with(L"\\\\"))
        return {};
    const size_t share = path.find(L'\\', 2);
    const size_t end = share == path.npos ? path.npos : path.find(L'\\', share + 1);
    return end == path.npos ? std::wstring_view() : path.substr(0, end + 1);
}

[[noreturn]] void RaiseOpenError(std::wstring_view path) {
    throw Error(FormatMessageText(kOpenErrorText, path));
}

} // namespace

namespace {

// Attributes rather than a directory search: a search would expand "*" and
// "?" in the text and could answer for some other file. With listed, the
// times from the same lookup.
DWORD AttributesOnDisk(std::wstring_view path, FileTimes* listed = nullptr) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!IsFullyQualifiedPath(path) ||
        !GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data))
        return INVALID_FILE_ATTRIBUTES;
    if (listed)
        *listed = {FromFileTime(data.ftCreationTime), FromFileTime(data.ftLastAccessTime),
                   FromFileTime(data.ftLastWriteTime)};
    return data.dwFileAttributes;
}

} // namespace

EntryKind KindOnDisk(std::wstring_view path, FileTimes* listed) {
    const DWORD attributes = AttributesOnDisk(path, listed);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryKind::Neither;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return EntryKind::Link;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? EntryKind::Folder : EntryKind::File;
}

bool IsExistingFile(std::wstring_view path) {
    const DWORD attributes = AttributesOnDisk(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFolder(std::wstring_view path) {
    const DWORD attributes = AttributesOnDisk(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct HeldTarget::Open {
    UniqueFileHandle file;
    std::wstring path;
    bool isFolder = false;
    bool writable = false; // opened for setting its times
};

HeldTarget::HeldTarget() = default;
HeldTarget::~HeldTarget() = default;
HeldTarget::HeldTarget(HeldTarget&&) noexcept = default;
HeldTarget& HeldTarget::operator=(HeldTarget&&) noexcept = default;

void HeldTarget::Release() {
    open_.reset();
}

void HeldTarget::LetGo() {
    if (open_ && open_->writable && accessMoved) {
        SetChosenTimes(open_->file.get(), found.before, {.lastAccess = true});
        accessMoved = false; // nothing left for the journal to put back
    }
    Release();
}

bool TargetWriter::ClaimedEarlier(FileIdentity identity, size_t index) {
    if (identity == FileIdentity{})
        return false;
    std::lock_guard guard(claimsLock_);
    const auto [claim, fresh] = claims_.emplace(identity, index);
    if (!fresh && claim->second < index)
        return true;
    claim->second = index;
    return false;
}

bool UnmarkedLinks::Is(std::wstring_view path) {
    UniqueFileHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                      kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    return file && Leads(file.get(), path);
}

// A volume that keeps reparse points marks every link with one, which the
// caller has looked at already: its files are not asked, which saves a
// call per file (and a request to the server under Wine, whose drives keep
// none). Elsewhere the folder's own path is asked once for all its targets,
// so a folder reached through a link, a junction or a substituted drive
// higher up is no reason to refuse.
bool UnmarkedLinks::Leads(void* handle, std::wstring_view path) {
    const auto [dir, name] = SplitPath(path);
    if (name.empty())
        return false;
    if (dir != folder_) {
        folder_ = dir;
        const std::wstring_view root = VolumeRootOf(dir);
        if (root.empty() || root != volume_) {
            volume_ = root;
            DWORD flags = 0;
            marksLinks_ = !root.empty() &&
                          GetVolumeInformationW(volume_.c_str(), nullptr, 0, nullptr, nullptr,
                                                &flags, nullptr, 0) &&
                          (flags & FILE_SUPPORTS_REPARSE_POINTS);
        }
        folderFinal_.clear();
        if (!marksLinks_) {
            UniqueFileHandle folder(
                CreateFileW(ExtendedLengthPath(dir).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            if (folder)
                folderFinal_ = FinalPath(folder.get());
        }
    }
    // Where the folder's path can't be told, or need not be, nothing says
    // the entry leads elsewhere.
    if (folderFinal_.empty())
        return false;
    const std::wstring final = FinalPath(static_cast<HANDLE>(handle));
    return !final.empty() && !SameText(final, JoinPath(folderFinal_, name));
}

UnmarkedLinks& TargetWriter::LinksOfThisThread() {
    std::lock_guard guard(linksLock_);
    return links_[GetCurrentThreadId()];
}

bool TakenOnce::First(HeldTarget& held) {
    const FileIdentity identity = held.found.identity;
    if (identity == FileIdentity{} || taken_.insert(identity).second)
        return true;
    held.LetGo();
    held.outcome = WriteOutcome::SameFile;
    held.why = kSameFileText;
    held.held = false;
    return false;
}

WriteOutcome TargetWriter::Take(std::wstring_view path, bool isFolder, HeldTarget& held,
                                size_t index) {
    held = HeldTarget();
    const bool reads = rule_.ReadsContent() && !isFolder;
    auto open = std::make_unique<HeldTarget::Open>();
    open->path = path;
    open->isFolder = isFolder;
    DWORD error = ERROR_INVALID_NAME;
    if (IsFullyQualifiedPath(path)) {
        const std::wstring extended = ExtendedLengthPath(path);
        const DWORD content = reads ? GENERIC_READ : 0;
        open->file =
            OpenOnce(extended, isFolder, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | content);
        open->writable = bool(open->file);
        error = open->file ? 0 : GetLastError();
        // A read-only file that refuses even that is written with the
        // attribute cleared; until then it is looked at without it.
        if (error == ERROR_ACCESS_DENIED) {
            const DWORD found = GetFileAttributesW(extended.c_str());
            if (found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_READONLY) &&
                bool(found & FILE_ATTRIBUTE_DIRECTORY) == isFolder) {
                open->file = OpenOnce(extended, isFolder, FILE_READ_ATTRIBUTES | content);
                error = open->file ? 0 : GetLastError();
            }
        }
    }
    auto leave = [&](WriteOutcome outcome, std::wstring_view why = {}) {
        held.why = why;
        return held.outcome = outcome;
    };
    if (!open->file) {
        switch (KindOnDisk(path)) {
        case EntryKind::Neither:
            return leave(WriteOutcome::Missing, kGoneText);
        case EntryKind::Link:
            return leave(WriteOutcome::Link, kLinkText);
        default:
            break;
        }
        // Which file it is, asked without its bytes: another name of it may
        // hold them, taken at the same moment.
        if (error == ERROR_SHARING_VIOLATION)
            if (UniqueFileHandle attributes{CreateFileW(ExtendedLengthPath(path).c_str(),
                                                        FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                                        OPEN_EXISTING, 0, nullptr)}) {
                FILE_STANDARD_INFO standard{};
                if (GetFileInformationByHandleEx(attributes.get(), FileStandardInfo, &standard,
                                                 sizeof standard)) {
                    held.found.identity = IdentityOf(attributes.get(), standard);
                    ClaimedEarlier(held.found.identity, index);
                }
                held.held = true;
            }
        return leave(WriteOutcome::Declined, CantOpenReason(error));
    }
    HANDLE file = open->file.get();
    // Zero times would be taken as "leave unchanged" by a later restore: a
    // file whose times can't be read is not written.
    FILE_BASIC_INFO basic{};
    if (!ReadBasic(file, basic))
        return leave(WriteOutcome::Declined, kCantReadText);
    TimesReadBack& found = held.found;
    found.before = found.after = TimesIn(basic);
    found.changeAfter = Ticks(basic.ChangeTime);
    // Links are found before anything is read: the bytes behind one belong
    // to another file, outside what the user chose.
    if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        LinksOfThisThread().Leads(file, path))
        return leave(WriteOutcome::Link, kLinkText);
    FILE_STANDARD_INFO standard{};
    if (GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
        found.sizeAfter = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
        found.identity = IdentityOf(file, standard);
    }
    // A later name of a file an earlier target is: left alone unread, so
    // that whichever thread gets there first, only the first name is read.
    if (ClaimedEarlier(found.identity, index))
        return leave(WriteOutcome::SameFile, kSameFileText);

    // Reading changes nothing the user chose: the handle asks the system to
    // leave the access time as it is (Windows does; a system that moves it
    // all the same has it put back by the write).
    if (reads && open->writable) {
        const FILETIME keep{0xFFFFFFFF, 0xFFFFFFFF};
        SetFileTime(file, nullptr, &keep, nullptr);
    }
    // Reads go on from where the last one ended, as a rule reads: a read
    // with an offset of its own costs a good deal more under Wine.
    std::uint64_t position = 0;
    bool read = false;
    const ContentReader content = [&](std::uint64_t offset, std::uint8_t* to,
                                      std::size_t size) -> std::size_t {
        LARGE_INTEGER moveTo;
        moveTo.QuadPart = static_cast<LONGLONG>(offset);
        DWORD got = 0;
        if (!reads ||
            (offset != position && !SetFilePointerEx(file, moveTo, nullptr, FILE_BEGIN)) ||
            !ReadFile(file, to, static_cast<DWORD>(size), &got, nullptr))
            return 0;
        read = true;
        position = offset + got;
        return got;
    };
    const TargetState now{found.before, found.changeAfter, found.sizeAfter, index, isFolder};
    std::wstring_view why;
    const bool decided = rule_.Decide(path, now, content, held.times, why);
    if (read && ReadBasic(file, basic))
        held.accessMoved = Ticks(basic.LastAccessTime) != found.before.lastAccess;
    held.open_ = std::move(open);
    if (!decided)
        return leave(WriteOutcome::Declined, why);
    // Setting times that are already there would move the change time alone.
    if (SameChosenTimes(kinds_, held.times, found.before))
        return leave(WriteOutcome::Declined, kAlreadyText);
    return held.outcome = WriteOutcome::Written;
}

WriteOutcome TargetWriter::Finish(HeldTarget& held, TimesReadBack& readBack, bool* touched) {
    readBack = held.found;
    if (touched)
        *touched = false;
    std::unique_ptr<HeldTarget::Open> open = std::move(held.open_);
    const bool write = held.outcome == WriteOutcome::Written;
    if (!open || !(write || held.accessMoved))
        return held.outcome;
    // The access time a reading moved goes back to what it was, in the same
    // call as the chosen times.
    TimestampKinds set = write ? kinds_ : TimestampKinds{};
    FileTimes setTimes = write ? held.times : held.found.before;
    if (held.accessMoved && !set.lastAccess) {
        set.lastAccess = true;
        setTimes.lastAccess = held.found.before.lastAccess;
    }
    std::optional<WriteHandle> cleared;
    HANDLE file = open->file.get();
    if (!open->writable) {
        // The handle that looked at it shares nothing: it goes first.
        open->file.reset();
        cleared.emplace(open->path, open->isFolder);
        if (!cleared->file) {
            held.why = CantOpenReason(cleared->error);
            return held.outcome = WriteOutcome::Declined;
        }
        file = cleared->file.get();
    }
    const bool done = SetChosenTimes(file, setTimes, set);
    if (cleared)
        cleared->PutBackAttributes();
    ReadState(file, readBack);
    if (!write) {
        if (touched)
            *touched = done;
        return held.outcome;
    }
    if (!done) {
        held.why = kSetRefusedText;
        return held.outcome = WriteOutcome::Declined;
    }
    return WriteOutcome::Written;
}

WriteOutcome TargetWriter::Write(std::wstring_view path, bool isFolder, TimesReadBack& readBack,
                                 FileTimes& times, std::wstring_view& why) {
    HeldTarget held;
    Take(path, isFolder, held);
    const WriteOutcome outcome = Finish(held, readBack);
    times = held.times;
    why = held.why;
    return outcome;
}

void WriteFileTimesUtc(std::wstring_view path, const FileTimes& times, TimestampKinds kinds,
                       TimesReadBack* readBack) {
    FixedTimes rule(times);
    TargetWriter writer(rule, kinds);
    TimesReadBack own;
    FileTimes set;
    std::wstring_view why;
    const WriteOutcome outcome = writer.Write(path, false, readBack ? *readBack : own, set, why);
    if (outcome == WriteOutcome::Written || why == kAlreadyText)
        return;
    if (why == kCantReadText)
        throw Error(FormatMessageText(kReadErrorText, path));
    if (why == kSetRefusedText)
        throw Error(FormatMessageText(kSetErrorText, path));
    RaiseOpenError(path);
}

TimeRange VolumeTimeRange(std::wstring_view path) {
    // 30827-12-31 23:59:59.9999999, the last time the platform's calendar
    // record can hold.
    constexpr FileTime kLatest =
        (DaysSinceEpoch(30828, 1, 1) - DaysSinceEpoch(1601, 1, 1)) * 864'000'000'000ULL - 1;
    wchar_t root[MAX_PATH + 1] = L"", system[MAX_PATH + 1] = L"";
    const std::wstring extended = ExtendedLengthPath(path);
    if (!path.empty() && GetVolumePathNameW(extended.c_str(), root, MAX_PATH) &&
        GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH) &&
        (lstrcmpiW(system, L"FAT") == 0 || lstrcmpiW(system, L"FAT32") == 0 ||
         lstrcmpiW(system, L"exFAT") == 0))
        return {LocalDateTimeToFileTime(DaysSinceEpoch(1980, 1, 1)),
                LocalDateTimeToFileTime(DaysSinceEpoch(2107, 12, 31) + 86398.0 / 86400)};
    return {1, kLatest};
}

bool ShiftChosenTimes(FileTimes& times, std::int64_t ticks, TimestampKinds kinds, TimeRange range) {
    auto move = [&](bool chosen, FileTime& time) {
        if (!chosen)
            return true;
        // Checked before the sum, which can't overflow then: a shift is
        // at most 100 years.
        if (time == 0 || time > range.latest)
            return false;
        const std::int64_t moved = static_cast<std::int64_t>(time) + ticks;
        if (moved < static_cast<std::int64_t>(range.earliest) ||
            moved > static_cast<std::int64_t>(range.latest))
            return false;
        time = static_cast<FileTime>(moved);
        return true;
    };
    return move(kinds.creation, times.creation) && move(kinds.lastAccess, times.lastAccess) &&
           move(kinds.lastWrite, times.lastWrite);
}

RestoreOutcome RestoreFileTimes(std::wstring_view path, const TimesReadBack& expected,
                                TimestampKinds kinds, TimesReadBack* left, bool isFolder,
                                bool despiteChangeTime, std::wstring_view* cause) {
    WriteHandle target(path, isFolder);
    if (!target.file) {
        if (KindOnDisk(path) == EntryKind::Neither)
            return RestoreOutcome::Missing;
        if (cause)
            *cause = CantOpenReason(target.error);
        return RestoreOutcome::CantOpen;
    }
    HANDLE file = target.file.get();
    TimesReadBack now;
    ReadState(file, now);
    const FileTime changeNow = target.ClearedReadOnly() ? target.changeFound : now.changeAfter;
    // Content written or copied over since the run moves the size, or the
    // change time alone where the times were put back. The access time moves
    // with any reader, which changes nothing, unless it is all there is.
    TimestampKinds compared = kinds;
    if (kinds.creation || kinds.lastWrite)
        compared.lastAccess = false;
    const bool sameSize = !expected.changeAfter || now.sizeAfter == expected.sizeAfter;
    // Set back already, by an undo that ended before it could say so.
    if (sameSize && SameChosenTimes(compared, now.after, expected.before) &&
        !SameChosenTimes(compared, now.after, expected.after)) {
        if (left)
            *left = now;
        return RestoreOutcome::Restored;
    }
    compared.lastAccess = false;
    if (!SameChosenTimes(compared, now.after, expected.after) || !sameSize)
        return RestoreOutcome::Changed;
    if (expected.changeAfter && changeNow != expected.changeAfter && !despiteChangeTime)
        return RestoreOutcome::AttributesChanged;
    if (!SetChosenTimes(file, expected.before, kinds))
        return RestoreOutcome::SetRefused;
    target.PutBackAttributes();
    if (left)
        ReadState(file, *left);
    return RestoreOutcome::Restored;
}

void WriteFileTimes(std::wstring_view path, DateTime creation, DateTime lastAccess,
                    DateTime lastWrite, TimestampKinds kinds) {
    WriteFileTimesUtc(path,
                      {LocalDateTimeToFileTime(creation), LocalDateTimeToFileTime(lastAccess),
                       LocalDateTimeToFileTime(lastWrite)},
                      kinds);
}

} // namespace kalvera
