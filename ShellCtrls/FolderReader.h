#pragma once
// Lists a file-system folder on a thread of its own and puts its children in
// the shell's order there: a folder of a million files takes seconds to
// list (under Wine its whole list is made in one call), and the window that
// shows it answers meanwhile. The children come back in that order, a part
// at a time, each part announced by a message posted to the window.

#include "ShellCtrls/IdList.h"
#include "win/ComPtr.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <vector>

namespace kalvera {

class FolderReader {
public:
    // absolute: the folder, below the desktop. The message is posted to the window as the
    // count found grows (about ten times a second), when a part of the
    // children is ready, and at the end.
    FolderReader(const ITEMIDLIST* absolute, SHCONTF flags, bool sorted, HWND window, UINT message);
    // The thread is told to stop and ends on its own; nothing more is posted.
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // Waits at most the given time for the whole folder to be ready,
    // answering the messages other threads send to this one meanwhile.
    bool WaitDone(DWORD ms);
    // Children found so far.
    size_t Found() const;
    // Moves the children ready since the last call to the end of rows, in
    // order, a part at most (the window is told again of the rest); true
    // once every child has been taken.
    bool Take(std::vector<IdList>& rows);

    // Once every child has been taken: the folder object the thread bound,
    // for the list's own (binding the folder reads its settings, which under
    // Wine costs a pass over a large folder), and whether the folder has a
    // desktop.ini.
    ComPtr<IShellFolder> TakeFolder();
    bool SettingsFileFound() const;

    // Children per part handed over; tests make it small.
    static void SetPartSize(size_t rows);

    // What the reading thread shares with the reader; it outlives a reader
    // that is gone before the thread ends.
    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

} // namespace kalvera
