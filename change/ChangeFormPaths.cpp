// Paths handed to the main window from outside: the command line, files
// dropped from another program, and a path typed into the address box.

#include "ShellCtrls/ShellModule.h"
#include "ui/Application.h"
#include "change/ChangeForm.h"
#include "core/HandedPaths.h"
#include "win/ComPtr.h"
#include "win/Error.h"
#include "win/Path.h"

#include <shellapi.h>

namespace kalvera {
namespace {

constexpr UINT kOpenDropped = WM_APP + 40;

bool OffersFiles(IDataObject* data) {
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return data && data->QueryGetData(&format) == S_OK;
}

std::vector<std::wstring> DroppedPaths(IDataObject* data) {
    std::vector<std::wstring> paths;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (!data || data->GetData(&format, &medium) != S_OK)
        return paths;
    if (auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring path(DragQueryFileW(drop, i, nullptr, 0), L'\0');
            DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
            paths.push_back(std::move(path));
        }
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return paths;
}

// Accepts files and folders from other programs as a copy. The paths are
// opened after the drop has ended, from the window's own queue: nothing
// the opening shows or raises runs inside the source's drag loop.
class FileDropTarget final : public IDropTarget {
public:
    FileDropTarget(HWND window, std::vector<std::wstring>& dropped)
        : window_(window), dropped_(dropped) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDropTarget) {
            *object = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this; // COM's own lifetime rule: the last reference frees it
        return left;
    }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        accepts_ = OffersFiles(data);
        return DragOver(0, {}, effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        if (effect)
            *effect = accepts_ && (*effect & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        accepts_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        std::vector<std::wstring> paths = DroppedPaths(data);
        accepts_ = false;
        if (effect)
            *effect = paths.empty() ? DROPEFFECT_NONE : DROPEFFECT_COPY;
        if (!paths.empty()) {
            dropped_ = std::move(paths);
            PostMessageW(window_, kOpenDropped, 0, 0);
        }
        return S_OK;
    }

private:
    LONG references_ = 1;
    HWND window_;
    std::vector<std::wstring>& dropped_;
    bool accepts_ = false;
};

} // namespace

void TChangeForm1::AcceptDroppedFiles() {
    // The window's children inherit the target: the list's own moving of
    // its icons is no drag of data and is not affected. The target lives
    // by its COM references: the registration holds it until revoked.
    ComPtr<IDropTarget> target;
    *target.put() = new FileDropTarget(Handle(), dropped_);
    if (SUCCEEDED(RegisterDragDrop(Handle(), target.get())))
        dropTargetRegistered_ = true;
}

void TChangeForm1::StopAcceptingDroppedFiles() {
    if (std::exchange(dropTargetRegistered_, false))
        RevokeDragDrop(Handle());
}

bool TChangeForm1::HandlePathMessage(UINT message) {
    if (message != kOpenDropped)
        return false;
    OpenHandedPaths(std::exchange(dropped_, {}));
    return true;
}

bool TChangeForm1::OpenHandedPaths(const std::vector<std::wstring>& texts,
                                   const std::wstring* base) {
    const HandedPaths handed = SortHandedPaths(texts, base);
    if (!handed.missing.empty()) {
        std::wstring text;
        for (const std::wstring& path : handed.missing)
            text += (text.empty() ? L"" : L"\n") + FormatMessageText(kNotFoundText, path);
        ApplicationMessageBox(text, kErrorCaption, 0);
    }
    if (handed.folder.empty())
        return false;
    const IdList folder = IdListOfPath(handed.folder);
    if (!folder) {
        ApplicationMessageBox(FormatMessageText(kNotFoundText, handed.folder), kErrorCaption, 0);
        return false;
    }
    ShellListView1.NavigateToIdList(folder.get());
    ShellListView1.SetItemIndex(-1);
    if (!handed.names.empty())
        ShellListView1.WhenFilled([this, names = handed.names] {
            ShellListView1.SelectNames(names, names.front(), true);
            SetFocus(ShellListView1.Handle());
        });
    elsewhereShownIn_ = handed.elsewhere == 0 ? L"" : handed.folder;
    StatusBar1.SetPanelText(
        0, handed.elsewhere == 0
               ? L""
               : FormatMessageText(kElsewhereText, std::to_wstring(handed.elsewhere)));
    return true;
}

void TChangeForm1::ShellListView1FolderChange() {
    // The count of entries not selected belongs to the folder they were
    // handed with.
    if (elsewhereShownIn_.empty())
        return;
    TShellFolder* shown = ShellListView1.RootItem();
    const std::wstring path = shown ? shown->ParsingName() : L"";
    if (CompareStringOrdinal(path.c_str(), -1, elsewhereShownIn_.c_str(), -1, TRUE) == CSTR_EQUAL)
        return;
    elsewhereShownIn_.clear();
    StatusBar1.SetPanelText(0, L"");
}

namespace {
// An entry's text as the address box shows it.
std::wstring EntryText(HWND box, int index) {
    wchar_t text[1024] = L"";
    COMBOBOXEXITEMW entry{};
    entry.mask = CBEIF_TEXT;
    entry.iItem = index;
    entry.pszText = text;
    entry.cchTextMax = 1024;
    SendMessageW(box, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
    return text;
}
} // namespace

bool TChangeForm1::AddressEntered(const MSG& msg) {
    // Enter in the address box's own text, not in its open list, which
    // picks an entry as before.
    HWND box = ShellComboBox1.Handle();
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN || !box || !IsChild(box, msg.hwnd) ||
        SendMessageW(box, CB_GETDROPPEDSTATE, 0, 0))
        return false;
    const int length = GetWindowTextLengthW(msg.hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(msg.hwnd, text.data(), length + 1)));
    // The name the box shows opens the folder shown again; any other
    // relative text is taken from the folder shown, never from the
    // program's current directory. What opens takes the focus, as after a
    // double-click, so that the keys go on to the list.
    const int current = ShellComboBox1.ItemIndex();
    if (current >= 0 && ShellListView1.RootItem() && text == EntryText(box, current)) {
        ShellListView1.Reload();
    } else {
        TShellFolder* shown = ShellListView1.RootItem();
        std::wstring base = shown ? shown->ParsingName() : L"";
        if (!IsFullyQualifiedPath(base))
            base.clear();
        // A text that names no path leaves the box as it was.
        if (!OpenHandedPaths({text}, &base)) {
            ShellComboBox1.SetItemIndex(ShellComboBox1.ItemIndex());
            return true;
        }
    }
    SetFocus(ShellListView1.Handle());
    return true;
}

} // namespace kalvera
