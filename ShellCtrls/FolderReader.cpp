#include "ShellCtrls/FolderReader.h"
#include "ShellCtrls/ShellModule.h"
#include "ShellCtrls/ShellOrder.h"
#include "win/ComPtr.h"
#include "win/Handle.h"
#include "win/Thread.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <cwchar>
#include <mutex>

namespace kalvera {
namespace {
std::atomic<size_t> partSize{20'000};
} // namespace

struct FolderReader::Shared {
    HWND window;
    UINT message;
    std::atomic<bool> stopped{false};
    std::atomic<size_t> found{0};
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::mutex lock;
    std::deque<IdList> ready;    // under lock
    bool allReady = false;       // under lock
    ComPtr<IShellFolder> folder; // under lock, once all are ready
    std::atomic<bool> settingsFile{false};

    void Post() {
        if (!stopped)
            PostMessageW(window, message, 0, 0);
    }
};

namespace {

// Everything found is kept here until the order is known: the window gets
// each child once, where it belongs.
void Read(const std::shared_ptr<FolderReader::Shared>& shared, IdList absolute, SHCONTF flags,
          bool sorted) {
    // Never the desktop itself: the list reads that on its own thread.
    ComPtr<IShellFolder> desktop, folder;
    SHGetDesktopFolder(desktop.put());
    if (desktop)
        folder = BindFolder(desktop.get(), absolute.get(), nullptr);
    // A desktop.ini can give the files captions of their own.
    if (wchar_t path[MAX_PATH] = L""; SHGetPathFromIDListW(absolute.abs(), path)) {
        const std::wstring settings =
            std::wstring(path) + (path[wcslen(path) - 1] == L'\\' ? L"" : L"\\") + L"desktop.ini";
        shared->settingsFile = GetFileAttributesW(settings.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::vector<IdList> children;
    std::vector<char> isFolder;
    ComPtr<IEnumIDList> entries;
    if (folder && EnumerateFolder(folder.get(), nullptr, flags, entries) == S_OK && entries) {
        ULONGLONG shown = GetTickCount64();
        ITEMIDLIST* batch[256];
        ULONG got = 0;
        while (!shared->stopped &&
               SUCCEEDED(entries->Next(256, reinterpret_cast<PITEMID_CHILD*>(batch), &got)) &&
               got > 0) {
            for (ULONG i = 0; i < got; ++i) {
                IdList child(batch[i]);
                SFGAOF attributes = SFGAO_FOLDER;
                PCUITEMID_CHILD asChild = child.child();
                folder->GetAttributesOf(1, &asChild, &attributes);
                isFolder.push_back((attributes & SFGAO_FOLDER) != 0);
                children.push_back(std::move(child));
            }
            shared->found = children.size();
            if (GetTickCount64() - shown >= 100) {
                shown = GetTickCount64();
                shared->Post();
            }
        }
    }
    std::vector<size_t> order(children.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (sorted && !shared->stopped && folder) {
        std::vector<const ITEMIDLIST*> ids(children.size());
        for (size_t i = 0; i < ids.size(); ++i)
            ids[i] = children[i].get();
        order = ShellOrder(folder.get(), ids, &isFolder);
    }
    // Handed over in parts, so that the window makes its rows a part at a
    // time between other messages.
    const size_t part = partSize;
    for (size_t start = 0; start < order.size() && !shared->stopped; start += part) {
        {
            std::lock_guard guard(shared->lock);
            for (size_t i = start; i < order.size() && i < start + part; ++i)
                shared->ready.push_back(std::move(children[order[i]]));
        }
        shared->Post();
    }
    // The window's own use of the folder begins where the thread's ends.
    std::lock_guard guard(shared->lock);
    shared->folder = std::move(folder);
}

} // namespace

FolderReader::FolderReader(const ITEMIDLIST* absolute, SHCONTF flags, bool sorted, HWND window,
                           UINT message)
    : shared_(std::make_shared<Shared>()) {
    shared_->window = window;
    shared_->message = message;
    std::function<void()> read =
        [shared = shared_, list = std::make_shared<IdList>(IdListCopy(absolute)), flags, sorted] {
            const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            Read(shared, std::move(*list), flags, sorted);
            if (SUCCEEDED(com))
                CoUninitialize();
            // Done only once the thread holds nothing more of its own: a fill
            // that waited for it leaves nothing behind that is freed later.
            {
                std::lock_guard guard(shared->lock);
                shared->allReady = true;
            }
            SetEvent(shared->done.get());
            shared->Post();
        };
    // Where no thread can be made, the folder is read here and now.
    if (!StartDetachedThread(read))
        read();
}

FolderReader::~FolderReader() {
    shared_->stopped = true;
}

bool FolderReader::WaitDone(DWORD ms) {
    // Messages sent to this thread are answered meanwhile: a thread that
    // sends one (the reading thread's COM, or the system on its behalf as
    // the thread ends) would wait for this one while this one waits for it.
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        HANDLE done = shared_->done.get();
        switch (MsgWaitForMultipleObjects(1, &done, FALSE, now < end ? DWORD(end - now) : 0,
                                          QS_SENDMESSAGE)) {
        case WAIT_OBJECT_0:
            return true;
        case WAIT_OBJECT_0 + 1: {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            break;
        }
        default:
            return false;
        }
    }
}

size_t FolderReader::Found() const {
    return shared_->found;
}

bool FolderReader::Take(std::vector<IdList>& rows) {
    std::lock_guard guard(shared_->lock);
    // A part at a time, however many are ready: the window makes its rows
    // between other messages.
    auto& ready = shared_->ready;
    const size_t taken = std::min(ready.size(), size_t(partSize));
    for (size_t i = 0; i < taken; ++i)
        rows.push_back(std::move(ready[i]));
    ready.erase(ready.begin(), ready.begin() + static_cast<std::ptrdiff_t>(taken));
    if (!ready.empty())
        shared_->Post();
    return shared_->allReady && ready.empty();
}

ComPtr<IShellFolder> FolderReader::TakeFolder() {
    std::lock_guard guard(shared_->lock);
    return std::move(shared_->folder);
}

bool FolderReader::SettingsFileFound() const {
    return shared_->settingsFile;
}

void FolderReader::SetPartSize(size_t rows) {
    partSize = rows;
}

} // namespace kalvera
