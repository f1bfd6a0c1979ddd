// Times a whole-folder run over 10,000 files against a bare loop of the
// platform calls it cannot avoid (existence test, exclusive open, three set
// calls, close), alternating them so all see the same machine state: the run
// alone, and the run as the window makes it (each file's times read before
// and after on the writer's handle, and the progress clock). Given a tree's
// folder, also a whole-tree run over it, with its record and progress,
// against a bare walk that sets each file, and the record's memory per file.
// Then a shift of the 10,000 files against a bare read-and-set of each, and
// the date-taken run over 2,000 photos against reading each one's first
// 64 KiB, and over 2,000 files of mixed kinds (HEIF, movies whose movie box
// follows 64 MiB of media data, PNG, JPEG) against reading the same bytes
// at the same offsets; with the reads each kind takes. Given the tree, the
// preview of a shift over it against a bare walk reading each file's times,
// and the plan's memory per row.

#include "bench/BenchUtil.h"
#include "core/RunTimestampChange.h"
#include "core/FileDates.h"
#include "core/RunHistory.h"
#include "core/RunJournalFile.h"
#include "core/WorkPool.h"
#include "core/RunPlan.h"
#include "tests/support/MediaFiles.h"
#include "win/Handle.h"
#include "win/Heaps.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

using namespace kalvera;

namespace {

// Where the runs keep their journals, as the window's runs do.
std::wstring journals;

// The journal's bytes per file of the newest run.
double JournalBytesPerFile(size_t files) {
    const std::vector<JournalOnDisk> found = JournalsIn(journals);
    return found.empty() || files == 0 ? 0 : double(found[0].bytes) / double(files);
}

class RowsList : public FileListService {
public:
    explicit RowsList(const std::vector<std::wstring>& rows) : rows_(rows) {}
    // No rows, the folder shown: the list a tree run reads from.
    explicit RowsList(std::wstring shown) : folder(std::move(shown)), rows_(none_) {}
    int SelectedIndex() override { return -1; }
    int Count() override { return static_cast<int>(rows_.size()); }
    std::wstring PathOf(int i) override { return rows_[static_cast<size_t>(i)]; }
    std::wstring FolderPath() override { return folder; }
    std::wstring folder;

private:
    static inline const std::vector<std::wstring> none_;
    const std::vector<std::wstring>& rows_;
};

// As the window's progress does: a look at the clock per file, the rest
// about ten times a second.
// The longest time between two looks is the longest the window would take
// to answer.
class ClockProgress : public ProgressService {
public:
    bool Continue(int, int) override {
        const ULONGLONG now = GetTickCount64();
        if (seen_)
            longest = std::max(longest, now - seen_);
        seen_ = now;
        if (now - last_ >= 100)
            last_ = now;
        return true;
    }
    void Finished() override {}
    ULONGLONG longest = 0;

private:
    ULONGLONG last_ = 0, seen_ = 0;
};

void BareLoop(const std::vector<std::wstring>& rows, FileTime when) {
    const FILETIME ft{static_cast<DWORD>(when), static_cast<DWORD>(when >> 32)};
    for (const auto& path : rows) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        SetFileTime(file.get(), &ft, nullptr, nullptr);
        SetFileTime(file.get(), nullptr, nullptr, &ft);
        SetFileTime(file.get(), nullptr, &ft, nullptr);
    }
}

// Every file below the folder, found by a bare search and handed to each
// (a template, so that the baselines call nothing more).
template <typename Each> size_t BareTree(const std::wstring& folder, Each&& each) {
    size_t files = 0;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            files += BareTree(path, each);
        else
            files += each(path);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return files;
}

// Every file below the folder, found and set with nothing else: the search,
// an exclusive open, one set call, the close.
size_t BareTreeWalk(const std::wstring& folder, const FILETIME& when) {
    return BareTree(folder, [&](const std::wstring& path) {
        UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        SetFileTime(file.get(), nullptr, nullptr, &when);
        return size_t(1);
    });
}

void TreeCase(const std::wstring& tree, const SelectorTexts& texts, FileTime when) {
    const int kRounds = bench::Rounds(3);
    // A time of its own for the bare walk, so that the run moves every
    // file's and keeps its journal.
    const FileTime earlier = when - 10'000'000;
    const FILETIME other{static_cast<DWORD>(earlier), static_cast<DWORD>(earlier >> 32)};
    RowsList list(tree);
    bench::QuietBox box;
    bench::QuietHint hint;
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
        size_t files = 0;
        const double bare = bench::Part("tree-run-vs-bare", "bare", files,
                                        [&] { files = BareTreeWalk(tree, other); });
        RunRecord record;
        ClockProgress progress;
        const size_t heapBefore = BusyHeapBytes(true);
        const double run = bench::Part("tree-run-vs-bare", "run", files, [&] {
            RunTimestampChange(texts, cmWholeTree, {.lastWrite = true}, list, box, hint,
                               {.record = &record, .progress = &progress, .journals = journals});
        });
        const double perFile =
            double(BusyHeapBytes(true) - heapBefore) / double(record.files.size());
        std::printf("tree round %d: %zu files, run %.3f s, bare %.3f s, record %.0f bytes per "
                    "file, journal %.0f bytes per file, longest answer %llu ms\n",
                    round + 1, record.files.size(), run, bare, perFile,
                    JournalBytesPerFile(record.files.size()), progress.longest);
        ratios.push_back(run / bare);
    }
    std::printf("tree-run-vs-bare ratio %.3f\n", bench::Median(ratios));
}

// Every file below the folder, found and its times read on a handle opened
// for its attributes, as a preview must see them.
size_t BareTreeRead(const std::wstring& folder) {
    return BareTree(folder, [](const std::wstring& path) {
        UniqueFileHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME times[3];
        return size_t(GetFileTime(file.get(), &times[0], &times[1], &times[2]) != FALSE);
    });
}

// Plans every target, then writes nothing; with the heap the plan took.
class PlanOnly : public PreviewService {
public:
    size_t rows = 0, heapBytes = 0;
    bool Confirm(RunPlan& plan) override {
        const size_t before = BusyHeapBytes(true);
        while (plan.Step(1000)) {
        }
        heapBytes = BusyHeapBytes(true) - before;
        rows = plan.Planned();
        return false;
    }
};

// The preview of a shift over the tree (the walk, each file's times read
// and its new ones found) against the bare walk reading each file's times.
void PreviewCase(const std::wstring& tree) {
    const int kRounds = bench::Rounds(3);
    RowsList list(tree);
    bench::QuietBox box;
    bench::QuietHint hint;
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
        size_t files = 0;
        const double bare =
            bench::Part("preview-vs-read", "bare", files, [&] { files = BareTreeRead(tree); });
        PlanOnly plan;
        const double preview = bench::Part("preview-vs-read", "run", files, [&] {
            ShiftTimestamps(3600, cmWholeTree, {.lastWrite = true}, list, box, hint,
                            {.preview = &plan});
        });
        std::printf("preview round %d: %zu rows, preview %.3f s, bare %.3f s, plan %.0f bytes "
                    "per row\n",
                    round + 1, plan.rows, preview, bare,
                    double(plan.heapBytes) / double(std::max<size_t>(1, plan.rows)));
        ratios.push_back(preview / bare);
    }
    std::printf("preview-vs-read ratio %.3f\n", bench::Median(ratios));
}

// Each file opened as the writer opens it, its times read, its last-write
// time moved a second, and closed.
void BareReadAndSet(const std::vector<std::wstring>& rows) {
    for (const auto& path : rows) {
        UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        FILETIME creation, access, write;
        GetFileTime(file.get(), &creation, &access, &write);
        ULARGE_INTEGER moved{{write.dwLowDateTime, write.dwHighDateTime}};
        moved.QuadPart += 10'000'000;
        write = {moved.LowPart, moved.HighPart};
        SetFileTime(file.get(), nullptr, nullptr, &write);
    }
}

// Each file opened for reading and its first 64 KiB read.
void BareReads(const std::vector<std::wstring>& rows, std::vector<char>& buffer) {
    for (const auto& path : rows) {
        UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD read = 0;
        ReadFile(file.get(), buffer.data(), 64 * 1024, &read, nullptr);
    }
}

// The files' last-write time set back before a round, untimed: a file that
// already has its date is left alone, which would make the next round's
// run write nothing.
void SetBack(const std::vector<std::wstring>& rows) {
    const FILETIME old =
        ToFileTime(LocalDateTimeToFileTime(ParseDateTimeText(L"2001/1/1 0:00:00")));
    for (const auto& path : rows) {
        UniqueFileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        SetFileTime(file.get(), nullptr, nullptr, &old);
    }
}

// A run as the window makes it (record and progress), timed in rounds
// against its baseline; prints the median ratio. rows, where given, are
// set back before each round.
template <typename Run, typename Bare>
void RatioCase(const char* name, int rounds, size_t files, Run&& run, Bare&& bare,
               const std::vector<std::wstring>* rows = nullptr) {
    std::vector<double> ratios;
    for (int round = 0; round < bench::Rounds(rounds); ++round) {
        if (rows)
            SetBack(*rows);
        const double bareTime = bench::Part(name, "bare", files, bare);
        RunRecord record;
        ClockProgress progress;
        const double runTime = bench::Part(name, "run", files, [&] {
            run(RunExtras{.record = &record, .progress = &progress, .journals = journals});
        });
        std::printf("%s round %d: %zu files, run %.3f s, bare %.3f s, journal %.0f bytes per "
                    "file\n",
                    name, round + 1, record.files.size(), runTime, bareTime,
                    JournalBytesPerFile(record.files.size()));
        ratios.push_back(runTime / bareTime);
    }
    std::printf("%s ratio %.3f\n", name, bench::Median(ratios));
}

// The undo of a run over the files, from its journal read back as after a
// restart, against a bare loop setting each file's last-write time back.
void UndoCase(const std::vector<std::wstring>& rows, const SelectorTexts& texts, FileTime when) {
    RowsList list(rows);
    bench::QuietBox box;
    bench::QuietHint hint;
    std::vector<double> ratios;
    for (int round = 0; round < bench::Rounds(5); ++round) {
        RunRecord record;
        const double bare = bench::Part("undo-vs-bare", "bare", rows.size(),
                                        [&] { BareLoop(rows, when - 20'000'000); });
        RunTimestampChange(texts, cmWholeFolder, {.lastWrite = true}, list, box, hint,
                           {.record = &record, .journals = journals});
        ClockProgress progress;
        size_t undone = 0;
        const double undo = bench::Part("undo-vs-bare", "run", rows.size(), [&] {
            const StoredJournal journal = ReadStoredJournal(record.journal);
            RunRecord again = RecordOfJournal(journal.path, *journal.contents);
            UndoTimestampChange(again, box, &progress);
            undone = again.files.size();
        });
        std::printf("undo round %d: %zu files, undo %.3f s, bare %.3f s\n", round + 1, undone, undo,
                    bare);
        ratios.push_back(undo / bare);
    }
    std::printf("undo-vs-bare ratio %.3f\n", bench::Median(ratios));
}

void ShiftAndPhotoCases(const std::vector<std::wstring>& rows) {
    RowsList list(rows);
    bench::QuietBox box;
    bench::QuietHint hint;
    RatioCase(
        "shift-vs-bare", 5, rows.size(),
        [&](const RunExtras& extras) {
            ShiftTimestamps(1, cmWholeFolder, {.lastWrite = true}, list, box, hint, extras);
        },
        [&] { BareReadAndSet(rows); });

    // Photos of 80 KiB: the Exif segment, then image data.
    bench::BenchFolder photos(L"photos");
    std::string photo = test::JpegFile(test::TiffBlock(false, {{0x0132, "2019:07:04 13:05:09"}},
                                                       {{0x9003, "2019:07:04 13:05:09"}}));
    photo.insert(photo.size() - 2, 80 * 1024 - photo.size(), 'x');
    std::vector<std::wstring> photoRows;
    for (int i = 0; i < (bench::Counting() ? 300 : 2000); ++i) {
        photoRows.push_back(photos.Path() + L"\\p" + std::to_wstring(i) + L".jpg");
        UniqueFileHandle file(CreateFileW(photoRows.back().c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        WriteFile(file.get(), photo.data(), DWORD(photo.size()), &written, nullptr);
    }
    RowsList photoList(photoRows);
    std::vector<char> buffer(64 * 1024);
    RatioCase(
        "photo-vs-read", 5, photoRows.size(),
        [&](const RunExtras& extras) {
            MatchDateTaken(cmWholeFolder, {.lastWrite = true}, photoList, box, hint, extras);
        },
        [&] { BareReads(photoRows, buffer); }, &photoRows);
}

// The reads one file's date takes: offsets and sizes, in order.
using Reads = std::vector<std::pair<std::uint64_t, std::size_t>>;

// Reads from an open file as the writer's reader does: a seek only where
// the last read did not end.
struct FileReader {
    HANDLE file;
    std::uint64_t position = 0;
    std::size_t operator()(std::uint64_t at, std::uint8_t* to, std::size_t size) {
        LARGE_INTEGER moveTo;
        moveTo.QuadPart = LONGLONG(at);
        DWORD got = 0;
        if ((at != position && !SetFilePointerEx(file, moveTo, nullptr, FILE_BEGIN)) ||
            !ReadFile(file, to, DWORD(size), &got, nullptr))
            return 0;
        position = at + got;
        return got;
    }
};

UniqueFileHandle OpenToRead(const std::wstring& path) {
    return UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The files of four kinds, 500 of each, and the reads each one's date
// takes, learnt once through the reader itself.
void MediaCase(bench::QuietBox& box, bench::QuietHint& hint) {
    bench::BenchFolder folder(L"media");
    const std::string exif = test::TiffBlock(false, {}, {{0x9003, "2019:07:04 13:05:09"}});
    std::string jpeg = test::JpegFile(exif);
    jpeg.insert(jpeg.size() - 2, 80 * 1024 - jpeg.size(), 'x');
    const test::MediaFile kinds[] = {
        {test::HeifFile(exif) + std::string(200 * 1024, 'h')},
        test::MovieFile({.mediaBytes = 64 << 20,
                         .created = 3'700'000'000ULL,
                         .creationDate = "2019-07-04T13:05:09+0900"}),
        {test::PngFile(exif) + std::string(100 * 1024, 'p')},
        {jpeg},
    };
    const char* names[] = {"heif", "movie", "png", "jpeg"};
    const wchar_t* extensions[] = {L".heic", L".mp4", L".png", L".jpg"};
    std::vector<std::wstring> rows;
    std::vector<Reads> reads;
    int readsOf[4] = {};
    for (int i = 0; i < (bench::Counting() ? 300 : 2000); ++i) {
        const test::MediaFile& kind = kinds[i % 4];
        rows.push_back(folder.Path() + L"\\m" + std::to_wstring(i) + extensions[i % 4]);
        UniqueFileHandle file(CreateFileW(rows.back().c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        WriteFile(file.get(), kind.head.data(), DWORD(kind.head.size()), &done, nullptr);
        if (kind.gap) {
            DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &done, nullptr);
            LARGE_INTEGER end;
            end.QuadPart = LONGLONG(kind.head.size() + kind.gap);
            SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
            SetEndOfFile(file.get());
            WriteFile(file.get(), kind.tail.data(), DWORD(kind.tail.size()), &done, nullptr);
        }
        file.reset();
        UniqueFileHandle opened = OpenToRead(rows.back());
        FileReader reader{opened.get()};
        Reads& these = reads.emplace_back();
        LocalTimeConverter local;
        const bool dated = ReadDateTaken(
                               [&](std::uint64_t at, std::uint8_t* to, std::size_t size) {
                                   these.emplace_back(at, size);
                                   return reader(at, to, size);
                               },
                               local)
                               .has_value();
        if (!dated)
            std::printf("media: no date in %s\n", names[i % 4]);
        readsOf[i % 4] = std::max(readsOf[i % 4], int(these.size()));
    }
    for (int k = 0; k < 4; ++k)
        std::printf("media reads per %s file: %d\n", names[k], readsOf[k]);
    RowsList list(rows);
    std::vector<std::uint8_t> buffer(FileBytes::kLargestRange);
    RatioCase(
        "media-vs-read", 5, rows.size(),
        [&](const RunExtras& extras) {
            MatchDateTaken(cmWholeFolder, {.lastWrite = true}, list, box, hint, extras);
        },
        [&] {
            for (std::size_t i = 0; i < rows.size(); ++i) {
                UniqueFileHandle file = OpenToRead(rows[i]);
                FileReader reader{file.get()};
                for (const auto& [at, size] : reads[i])
                    reader(at, buffer.data(), size);
            }
        },
        &rows);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int kFiles = bench::Counting() ? 300 : 10'000, kRounds = bench::Rounds(5);
    std::printf("threads: %u\n", RunThreads());
    bench::BenchFolder folder(L"run");
    bench::BenchFolder journalFolder(L"journals");
    journals = journalFolder.Path();
    std::vector<std::wstring> rows;
    for (int i = 0; i < kFiles; ++i)
        rows.push_back(folder.MakeFile(L"f" + std::to_wstring(i) + L".txt"));

    const SelectorTexts texts{L"2004", L"4", L"1", L"9", L"30", L"00"};
    // A second time for the run with read-back: a file that already has
    // the time is left alone.
    const SelectorTexts otherTexts{L"2004", L"4", L"1", L"9", L"30", L"01"};
    const FileTime when = LocalDateTimeToFileTime(ParseDateTimeText(ComposeDateText(texts)));
    RowsList list(rows);
    bench::QuietBox box;
    bench::QuietHint hint;

    std::vector<double> ratios, readBackRatios;
    for (int round = 0; round < kRounds; ++round) {
        const double bare = bench::Part("run-vs-bare", "bare", rows.size(),
                                        [&] { BareLoop(rows, when - 10'000'000); });
        const double run = bench::Part("run-vs-bare", "run", rows.size(), [&] {
            RunTimestampChange(texts, cmWholeFolder, {true, true, true}, list, box, hint,
                               {.journals = journals});
        });
        RunRecord record;
        ClockProgress progress;
        const double readBack = bench::Part("run-readback-vs-bare", "run", rows.size(), [&] {
            RunTimestampChange(otherTexts, cmWholeFolder, {true, true, true}, list, box, hint,
                               {.record = &record, .progress = &progress, .journals = journals});
        });
        std::printf("round %d: run %.3f s, with read-back %.3f s, bare %.3f s (%.0f us per file), "
                    "journal %.0f bytes per file\n",
                    round + 1, run, readBack, bare, readBack * 1e6 / kFiles,
                    JournalBytesPerFile(kFiles));
        ratios.push_back(run / bare);
        readBackRatios.push_back(readBack / bare);
    }
    std::printf("run-vs-bare ratio %.3f\n", bench::Median(ratios));
    std::printf("run-readback-vs-bare ratio %.3f\n", bench::Median(readBackRatios));
    UndoCase(rows, texts, when);
    ShiftAndPhotoCases(rows);
    MediaCase(box, hint);
    if (argc > 1) {
        TreeCase(argv[1], texts, when);
        PreviewCase(argv[1]);
    }
    return 0;
}
