// Runs that take each file's date from another file, over 10,000 files in a
// tree of 100 folders: the date from the JSON file beside each photo
// against reading each of those files' bytes and setting each photo's time,
// one after another; and the times of each file's original in another tree
// against reading each original's times and setting them on its copy, one
// after another; with the memory the originals' index takes per file.

#include "bench/BenchUtil.h"
#include "core/OtherFolder.h"
#include "core/RunTimestampChange.h"
#include "core/WorkPool.h"
#include "datetime/SystemTime.h"
#include "win/Handle.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace kalvera;

namespace {

constexpr int kPerFolder = 100;

void Write(const std::wstring& path, const std::string& bytes) {
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

void SetWrite(const std::wstring& path, FileTime time) {
    UniqueFileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const FILETIME when = ToFileTime(time);
    SetFileTime(file.get(), nullptr, nullptr, &when);
}

// Every file's last-write time set back before a round, untimed: a file
// that already has its date is left alone.
void SetBack(const std::vector<std::wstring>& files) {
    const FileTime old = LocalDateTimeToFileTime(ParseDateTimeText(L"2001/1/1 0:00:00"));
    for (const std::wstring& path : files)
        SetWrite(path, old);
}

template <typename Run, typename Bare>
void RatioCase(const char* name, const std::vector<std::wstring>& targets, Run&& run, Bare&& bare) {
    std::vector<double> ratios;
    for (int round = 0; round < bench::Rounds(5); ++round) {
        SetBack(targets);
        const double bareTime = bench::Part(name, "bare", targets.size(), bare);
        SetBack(targets);
        RunRecord record;
        const double runTime =
            bench::Part(name, "run", targets.size(), [&] { run(RunExtras{.record = &record}); });
        std::printf("%s round %d: %zu files, run %.3f s, bare %.3f s\n", name, round + 1,
                    record.files.size(), runTime, bareTime);
        ratios.push_back(runTime / bareTime);
    }
    std::printf("%s ratio %.3f\n", name, bench::Median(ratios));
}

} // namespace

int wmain() {
    std::printf("threads: %u\n", RunThreads());
    bench::BenchFolder photos(L"sidecars"), originals(L"originals"), copies(L"copies");
    std::vector<std::wstring> photoFiles, sidecars, copyFiles, originalFiles;
    const std::string json = R"({"title":"IMG.JPG","description":"","imageViews":"3",)"
                             R"("creationTime":{"timestamp":"1562213109","formatted":""},)"
                             R"("photoTakenTime":{"timestamp":"1562213109","formatted":""}})";
    const FileTime base = LocalDateTimeToFileTime(ParseDateTimeText(L"2008/8/8 8:08:08"));
    const int folders = bench::Counting() ? 3 : 100;
    for (int folder = 0; folder < folders; ++folder) {
        const std::wstring sub = L"\\d" + std::to_wstring(folder);
        photos.MakeDir(sub.substr(1));
        originals.MakeDir(sub.substr(1));
        copies.MakeDir(sub.substr(1));
        for (int i = 0; i < kPerFolder; ++i) {
            const std::wstring name =
                sub + L"\\IMG_" + std::to_wstring(folder * 1000 + i) + L".JPG";
            photoFiles.push_back(photos.Path() + name);
            Write(photoFiles.back(), "photo");
            sidecars.push_back(photoFiles.back() + L".supplemental-metadata.json");
            Write(sidecars.back(), json);
            originalFiles.push_back(originals.Path() + name);
            Write(originalFiles.back(), "photo");
            SetWrite(originalFiles.back(), base + FileTime(folder * 1000 + i) * 10'000'000);
            copyFiles.push_back(copies.Path() + name);
            Write(copyFiles.back(), "photo");
        }
    }
    bench::QuietBox box;
    bench::QuietHint hint;
    const TimestampKinds write{.lastWrite = true};

    FolderShown sidecarTree(photos.Path());
    std::string buffer(64 * 1024, '\0');
    RatioCase(
        "sidecar-vs-read", photoFiles,
        [&](const RunExtras& extras) {
            MatchSidecarDates(cmWholeTree, write, sidecarTree, box, hint, extras);
        },
        [&] {
            const FILETIME when = ToFileTime(base);
            for (size_t i = 0; i < sidecars.size(); ++i) {
                UniqueFileHandle sidecar(CreateFileW(sidecars[i].c_str(), GENERIC_READ,
                                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                     FILE_ATTRIBUTE_NORMAL, nullptr));
                DWORD read = 0;
                ReadFile(sidecar.get(), buffer.data(), DWORD(buffer.size()), &read, nullptr);
                sidecar.reset();
                UniqueFileHandle photo(CreateFileW(photoFiles[i].c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                   nullptr));
                SetFileTime(photo.get(), nullptr, nullptr, &when);
            }
        });

    FolderShown copyTree(copies.Path());
    RatioCase(
        "from-folder-vs-bare", copyFiles,
        [&](const RunExtras& extras) {
            MatchOtherFolder(originals.Path(), cmWholeTree, write, copyTree, box, hint, extras);
        },
        [&] {
            for (size_t i = 0; i < copyFiles.size(); ++i) {
                WIN32_FILE_ATTRIBUTE_DATA data;
                GetFileAttributesExW(originalFiles[i].c_str(), GetFileExInfoStandard, &data);
                UniqueFileHandle file(CreateFileW(copyFiles[i].c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                  nullptr));
                SetFileTime(file.get(), nullptr, nullptr, &data.ftLastWriteTime);
            }
        });
    const SourceIndex index(originals.Path());
    std::printf("source index: %zu files, %.0f bytes per file\n", index.Files(),
                double(index.Bytes()) / double(index.Files()));
    return 0;
}
