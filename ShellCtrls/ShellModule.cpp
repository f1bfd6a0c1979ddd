#include "ShellCtrls/ShellModule.h"
#include "ShellCtrls/ContextMenu.h"
#include "ShellCtrls/HandOff.h"
#include "ShellCtrls/ShellFolder.h"
#include "win/Error.h"

#include <commctrl.h>

#include <array>
#include <atomic>
#include <functional>
#include <utility>

namespace kalvera {
namespace {

struct ModuleState {
    int starts = 0;
    ComPtr<IShellFolder> desktopFolder;
    std::unique_ptr<TShellFolder> desktopItem;
    bool oleStarted = false;
};

ModuleState& Module() {
    static ModuleState state;
    return state;
}

constexpr std::array<std::pair<std::wstring_view, int>, 23> kRootFolders{{
    {L"rfDesktop", CSIDL_DESKTOP},
    {L"rfMyComputer", CSIDL_DRIVES},
    {L"rfNetwork", CSIDL_NETWORK},
    {L"rfRecycleBin", CSIDL_BITBUCKET},
    {L"rfAppData", CSIDL_APPDATA},
    {L"rfCommonDesktopDirectory", CSIDL_COMMON_DESKTOPDIRECTORY},
    {L"rfCommonPrograms", CSIDL_COMMON_PROGRAMS},
    {L"rfCommonStartMenu", CSIDL_COMMON_STARTMENU},
    {L"rfCommonStartup", CSIDL_COMMON_STARTUP},
    {L"rfControlPanel", CSIDL_CONTROLS},
    {L"rfDesktopDirectory", CSIDL_DESKTOPDIRECTORY},
    {L"rfFavorites", CSIDL_FAVORITES},
    {L"rfFonts", CSIDL_FONTS},
    {L"rfInternet", CSIDL_INTERNET},
    {L"rfPersonal", CSIDL_PERSONAL},
    {L"rfPrinters", CSIDL_PRINTERS},
    {L"rfPrintHood", CSIDL_PRINTHOOD},
    {L"rfPrograms", CSIDL_PROGRAMS},
    {L"rfRecent", CSIDL_RECENT},
    {L"rfSendTo", CSIDL_SENDTO},
    {L"rfStartMenu", CSIDL_STARTMENU},
    {L"rfStartup", CSIDL_STARTUP},
    {L"rfTemplates", CSIDL_TEMPLATES},
}};

wchar_t FoldAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? wchar_t(c - 32) : c;
}

std::wstring FromAnsi(const char* text, size_t length) {
    if (length == 0)
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), out.data(), size);
    return out;
}

} // namespace

ShellModuleScope::ShellModuleScope() {
    ModuleState& m = Module();
    if (m.starts > 0) {
        ++m.starts;
        return;
    }
    // The classes of the list view, tree view and extended combo box.
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&classes);
    m.oleStarted = SUCCEEDED(OleInitialize(nullptr));
    try {
        m.desktopFolder = DesktopFolderInterface();
        if (IdList desktop = DesktopIdList())
            m.desktopItem = std::make_unique<TShellFolder>(nullptr, desktop.get(), m.desktopFolder);
    } catch (...) {
        // A module that could not start leaves nothing behind: the next
        // start begins afresh.
        m.desktopItem.reset();
        m.desktopFolder.reset();
        if (std::exchange(m.oleStarted, false))
            OleUninitialize();
        throw;
    }
    StartHandOffWindow();
    m.starts = 1;
}

ShellModuleScope::~ShellModuleScope() {
    ModuleState& m = Module();
    if (--m.starts > 0)
        return;
    StopHandOffWindow();
    m.desktopItem.reset();
    m.desktopFolder.reset();
    ReleaseActiveContextMenu();
    if (m.oleStarted)
        OleUninitialize();
    m.oleStarted = false;
}

TShellFolder* DesktopItem() {
    return Module().desktopItem.get();
}

std::mutex& WatchLock() {
    static std::mutex lock;
    return lock;
}

std::wstring SystemMessageText(HRESULT code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length && buffer) {
        text.assign(buffer, length);
        while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
            text.pop_back();
    }
    LocalFree(buffer);
    if (text.empty()) {
        wchar_t fallback[32];
        swprintf(fallback, 32, L"OLE エラー %.8x", static_cast<unsigned>(code));
        text = fallback;
    }
    return text;
}

namespace {
std::function<HRESULT(IShellFolder**)> desktopFolderSource;
}

std::function<HRESULT(IShellFolder**)>
SetDesktopFolderSourceForTests(std::function<HRESULT(IShellFolder**)> source) {
    return std::exchange(desktopFolderSource, std::move(source));
}

int ShellModuleStarts() {
    return Module().starts;
}

ComPtr<IShellFolder> DesktopFolderInterface() {
    if (Module().desktopFolder)
        return Module().desktopFolder;
    ComPtr<IShellFolder> desktop;
    const HRESULT hr = desktopFolderSource ? desktopFolderSource(desktop.put())
                                           : SHGetDesktopFolder(desktop.put());
    if (FAILED(hr) || !desktop)
        throw PlatformError(SystemMessageText(FAILED(hr) ? hr : E_FAIL), FAILED(hr) ? hr : E_FAIL);
    return desktop;
}

IdList IdListOfPath(const std::wstring& path) {
    IdList list;
    std::wstring text = path;
    IShellFolder* desktop = DesktopFolder();
    if (!desktop || FAILED(desktop->ParseDisplayName(nullptr, nullptr, text.data(), nullptr,
                                                     list.put_rel(), nullptr)))
        return {};
    return list;
}

IShellFolder* DesktopFolder() {
    if (Module().desktopFolder)
        return Module().desktopFolder.get();
    static thread_local ComPtr<IShellFolder> desktop;
    if (!desktop)
        desktop = DesktopFolderInterface();
    return desktop.get();
}

IdList DesktopIdList() {
    IdList list;
    if (HRESULT hr = SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, list.put_abs()); hr != S_OK)
        throw PlatformError(SystemMessageText(hr), hr);
    return list;
}

namespace {

// The parent's binding, else its UI object or view object (the last answer
// counts), else the desktop's binding of the list.
template <typename Interface>
ComPtr<Interface> BindWithFallbacks(IShellFolder* parent, const ITEMIDLIST* list, HWND window,
                                    REFIID iid) {
    ComPtr<Interface> bound;
    if (parent && parent->BindToObject(AsRelative(list), nullptr, iid, bound.put_void()) != S_OK) {
        PCUITEMID_CHILD child = AsChild(list);
        parent->GetUIObjectOf(window, 1, &child, iid, nullptr, bound.put_void());
        parent->CreateViewObject(window, iid, bound.put_void());
    }
    if (!bound)
        DesktopFolder()->BindToObject(AsRelative(list), nullptr, iid, bound.put_void());
    return bound;
}

} // namespace

ComPtr<IShellFolder> BindFolder(IShellFolder* parent, const ITEMIDLIST* list, HWND window) {
    return BindWithFallbacks<IShellFolder>(parent, list, window, IID_IShellFolder);
}

ComPtr<IShellDetails> BindDetailsProvider(IShellFolder* parent, const ITEMIDLIST* list,
                                          HWND window) {
    return BindWithFallbacks<IShellDetails>(parent, list, window, IID_IShellDetails);
}

ComPtr<IShellFolder2> BindExtendedFolder(IShellFolder* folder, const ITEMIDLIST* list,
                                         HWND window) {
    ComPtr<IShellFolder2> extended;
    if (DesktopFolder()->BindToObject(AsRelative(list), nullptr, IID_IShellFolder2,
                                      extended.put_void()) != S_OK &&
        folder) {
        PCUITEMID_CHILD child = AsChild(list);
        folder->GetUIObjectOf(window, 1, &child, IID_IShellFolder2, nullptr, extended.put_void());
        folder->BindToObject(AsRelative(list), nullptr, IID_IShellFolder2, extended.put_void());
    }
    return extended;
}

std::wstring StrRetToText(const ITEMIDLIST* list, STRRET& result) {
    std::wstring text;
    switch (result.uType) {
    case STRRET_WSTR:
        if (result.pOleStr)
            text = result.pOleStr;
        CoTaskMemFree(result.pOleStr);
        result.pOleStr = nullptr;
        break;
    case STRRET_OFFSET:
        if (list) {
            const auto* element = reinterpret_cast<const char*>(list);
            const size_t cb = list->mkid.cb;
            if (result.uOffset < cb) {
                const char* start = element + result.uOffset;
                text = FromAnsi(start, strnlen(start, cb - result.uOffset));
            }
        }
        break;
    case STRRET_CSTR:
        text = FromAnsi(result.cStr, strnlen(result.cStr, MAX_PATH));
        break;
    }
    if (text.size() > 1 && text[0] == L'?' && text[1] >= L'0' && text[1] <= L'9')
        std::erase(text, L'?');
    return text;
}

std::wstring QueryName(IShellFolder* folder, const ITEMIDLIST* list, SHGDNF flags) {
    if (!folder)
        return L"parentfolder = nil";
    STRRET result{};
    result.uType = STRRET_WSTR;
    folder->GetDisplayNameOf(AsChild(list), flags, &result);
    std::wstring text = StrRetToText(list, result);
    if (text.starts_with(L"::{")) {
        STRRET normal{};
        normal.uType = STRRET_WSTR;
        folder->GetDisplayNameOf(AsChild(list), SHGDN_NORMAL, &normal);
        text = StrRetToText(list, normal);
    }
    return text;
}

int SystemIconIndex(const ITEMIDLIST* list, bool large, bool open) {
    SHFILEINFOW info{};
    UINT flags = SHGFI_PIDL | SHGFI_SYSICONINDEX;
    if (open)
        flags |= SHGFI_OPENICON;
    if (!large)
        flags |= SHGFI_SMALLICON;
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info, flags);
    return info.iIcon;
}

std::vector<SHELLDETAILS> DefaultColumns(IShellFolder2& folder) {
    std::vector<SHELLDETAILS> columns;
    bool onByDefaultSeen = false;
    for (UINT column = 0;; ++column) {
        SHELLDETAILS details{};
        if (folder.GetDetailsOf(nullptr, column, &details) != S_OK)
            break;
        SHCOLSTATEF state = 0;
        folder.GetDefaultColumnState(column, &state);
        if (state & SHCOLSTATE_ONBYDEFAULT) {
            onByDefaultSeen = true;
        } else if (onByDefaultSeen) {
            StrRetToText(nullptr, details.str); // frees its text
            break;
        }
        columns.push_back(details);
    }
    return columns;
}

namespace {
std::atomic<long> enumerations{0};
}

HRESULT EnumerateFolder(IShellFolder* folder, HWND owner, SHCONTF flags,
                        ComPtr<IEnumIDList>& entries) {
    ++enumerations;
    return folder->EnumObjects(owner, flags, entries.put());
}

long FolderEnumerations() {
    return enumerations;
}

bool FolderHasEntries(IShellFolder* folder, SHCONTF flags) {
    if (!folder)
        return false;
    // A drive without a medium would otherwise ask the user to insert one.
    struct ErrorModeScope {
        UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
        ~ErrorModeScope() { SetErrorMode(previous); }
    } quiet;
    ComPtr<IEnumIDList> entries;
    if (EnumerateFolder(folder, nullptr, flags, entries) != S_OK || !entries)
        return false;
    IdList first;
    return entries->Next(1, first.put_child(), nullptr) == S_OK;
}

SHCONTF EnumFlagsFromObjectTypes(TShellObjectTypes types) {
    return static_cast<SHCONTF>((types.Bits() & 7) << 5);
}

ComPtr<IShellFolder> BindRootFolder(const ITEMIDLIST* absolute) {
    ComPtr<IShellFolder> folder = BindFolder(DesktopFolder(), absolute, nullptr);
    return folder ? folder : DesktopFolderInterface();
}

std::unique_ptr<TShellFolder> RootItemFromIdList(const ITEMIDLIST* absolute) {
    return std::make_unique<TShellFolder>(DesktopItem(), absolute, BindRootFolder(absolute));
}

int PlainFolderIconIndex(bool large, bool open) {
    // By attributes alone: no folder is looked at, its name is any.
    SHFILEINFOW info{};
    SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | (large ? 0 : SHGFI_SMALLICON) |
                       (open ? SHGFI_OPENICON : 0));
    return info.iIcon;
}

bool RootFolderFromName(std::wstring_view name, TRootFolder& root) {
    for (size_t i = 0; i < kRootFolders.size(); ++i)
        if (SameTextAscii(name, kRootFolders[i].first)) {
            root = static_cast<TRootFolder>(i);
            return true;
        }
    return false;
}

std::unique_ptr<TShellFolder> RootItemFromName(const std::wstring& oldName, std::wstring& newName,
                                               bool bindLater) {
    IdList list;
    HRESULT hr = E_FAIL;
    TRootFolder root;
    if (RootFolderFromName(newName, root)) {
        hr = SHGetSpecialFolderLocation(nullptr, kRootFolders[root].second, list.put_abs());
    } else if (!newName.empty()) {
        if (newName.back() == L':')
            newName += L'\\';
        ULONG eaten = static_cast<ULONG>(newName.size());
        hr = DesktopFolder()->ParseDisplayName(nullptr, nullptr, newName.data(), &eaten,
                                               list.put_rel(), nullptr);
    }
    if (hr != S_OK || !list) {
        std::wstring message = FormatMessageText(L"Error setting path: \"%s\"", newName);
        newName = oldName;
        throw InvalidPathError(std::move(message));
    }
    if (bindLater)
        return std::make_unique<TShellFolder>(list.get(), TShellFolder::BindRootLater{});
    return RootItemFromIdList(list.get());
}

std::wstring FolderPartOf(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/:");
    return at == std::wstring::npos ? std::wstring() : path.substr(0, at + 1);
}

std::wstring CurrentDirectory() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    std::wstring current(length, L'\0');
    current.resize(GetCurrentDirectoryW(length, current.data()));
    return current;
}

bool SameTextAscii(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

} // namespace kalvera
