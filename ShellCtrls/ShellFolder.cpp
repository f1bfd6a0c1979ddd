#include "ShellCtrls/ShellFolder.h"
#include "ShellCtrls/ShellModule.h"
#include "datetime/SystemTime.h"
#include "win/Error.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <ntquery.h>
#include <shlguid.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kalvera {

namespace {

// The child of a folder that has the name, as the folder parses it.
IdList ChildByName(IShellFolder* folder, const std::wstring& name) {
    IdList child;
    if (!folder || name.empty())
        return child;
    std::wstring text = name;
    ULONG eaten = 0;
    if (folder->ParseDisplayName(nullptr, nullptr, text.data(), &eaten, child.put_rel(), nullptr) !=
        S_OK)
        child.reset();
    return child;
}

// The text of a date column of a file-system item, from the file's own
// time: the shell may write it from the DOS date its item list carries,
// which wraps outside 1980-2107. Nothing for other columns, or for an item
// that is no file (the shell's text stands then).
std::optional<std::wstring> RealDateText(IShellFolder2& folder, int column,
                                         const TShellFolder& item,
                                         std::optional<WIN32_FIND_DATAW>& data) {
    SHCOLSTATEF state = 0;
    if (FAILED(folder.GetDefaultColumnState(column, &state)) ||
        (state & SHCOLSTATE_TYPEMASK) != SHCOLSTATE_TYPE_DATE)
        return std::nullopt;
    if (!data) {
        try {
            data = FindDataOf(item);
        } catch (const Error&) {
            return std::nullopt;
        }
    }
    const FILETIME* time = &data->ftLastWriteTime;
    SHCOLUMNID id{};
    if (SUCCEEDED(folder.MapColumnToSCID(column, &id)) && id.fmtid == FMTID_Storage) {
        if (id.pid == PID_STG_CREATETIME)
            time = &data->ftCreationTime;
        else if (id.pid == PID_STG_ACCESSTIME)
            time = &data->ftLastAccessTime;
    }
    const SYSTEMTIME st = SystemTimeFromDateTime(FileTimeToLocalDateTime(FromFileTime(*time)));
    wchar_t date[64] = L"", clock[64] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 64);
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, clock, 64);
    return std::wstring(date) + L" " + clock;
}

} // namespace

TShellFolder::TShellFolder(TShellFolder* parent, const ITEMIDLIST* list,
                           ComPtr<IShellFolder> folder)
    : folder_(std::move(folder)) {
    relative_ = IdListCopy(list);
    if (!parent) {
        IdList desktop = DesktopIdList();
        absolute_ = IdListConcat(desktop.get(), list);
    }
    parent_ = parent ? parent : DesktopItem();
    // Counted from the parent given: children of the desktop and root items
    // have depth 0.
    for (TShellFolder* p = parent; p; p = p->parent_)
        if (p->parent_)
            ++depth_;
}

TShellFolder::TShellFolder(TShellFolder* parent, const ITEMIDLIST* list, BindLater)
    : TShellFolder(parent, IdListCopy(list), BindLater{}) {}

TShellFolder::TShellFolder(TShellFolder* parent, IdList list, BindLater)
    : relative_(std::move(list)), parent_(parent), bindPending_(true),
      depth_(parent->depth_ + (parent->parent_ ? 1 : 0)) {}

TShellFolder::TShellFolder(const ITEMIDLIST* absolute, BindRootLater)
    : TShellFolder(nullptr, absolute, ComPtr<IShellFolder>{}) {
    bindPending_ = bindAsRoot_ = true;
}

void TShellFolder::AdoptFolder(ComPtr<IShellFolder> folder) {
    if (bindPending_ && folder) {
        folder_ = std::move(folder);
        bindPending_ = false;
    }
}

const ITEMIDLIST* TShellFolder::AbsoluteIdList() const {
    if (!absolute_ && parent_)
        absolute_ = IdListConcat(parent_->AbsoluteIdList(), relative_.get());
    return absolute_.get();
}

IShellFolder* TShellFolder::FolderInterface() const {
    if (bindPending_) {
        bindPending_ = false;
        // Items that are neither folders nor browsable have no folder
        // object: binding them would fail after three costly attempts.
        if (bindAsRoot_)
            folder_ = BindRootFolder(relative_.get());
        else if (Attributes(SFGAO_FOLDER | SFGAO_BROWSABLE))
            folder_ = BindFolder(parent_->FolderInterface(), relative_.get(), nullptr);
    }
    return folder_.get();
}

IShellFolder* TShellFolder::ParentFolderInterface() const {
    return parent_ ? parent_->FolderInterface() : DesktopFolder();
}

std::wstring TShellFolder::InFolderName() const {
    return QueryName(ParentFolderInterface(), relative_.get(), SHGDN_INFOLDER);
}

std::wstring TShellFolder::InFolderParsingName() const {
    return QueryName(ParentFolderInterface(), relative_.get(), SHGDN_INFOLDER | SHGDN_FORPARSING);
}

std::wstring TShellFolder::ParsingName() const {
    // The parent folder with the relative list gives the same answer as the
    // desktop with the absolute list, without walking the whole folder.
    std::wstring name = QueryName(ParentFolderInterface(), relative_.get(), SHGDN_FORPARSING);
    if (name.size() < kLongestShellPath)
        return name;
    const std::wstring whole = FullParsingName(AbsoluteIdList());
    return whole.empty() ? name : whole;
}

std::wstring FullParsingName(const ITEMIDLIST* absolute) {
    std::wstring name = QueryName(DesktopFolder(), absolute, SHGDN_FORPARSING);
    if (name.size() < kLongestShellPath || IdListCount(absolute) == 0)
        return name;
    // The shell gives at most MAX_PATH - 1 characters of a path: a longer
    // one is put together from the parent folder's path and the item's name
    // in it, which the shell gives whole.
    IdList parent = IdListCopy(absolute);
    IdListStripLast(parent.get());
    const std::wstring folder = FullParsingName(parent.get());
    if (!IsFullyQualifiedPath(folder))
        return name;
    ComPtr<IShellFolder> parentFolder = IdListCount(parent.get()) == 0
                                            ? DesktopFolderInterface()
                                            : BindFolder(DesktopFolder(), parent.get(), nullptr);
    const IdList last = IdListLastElement(absolute);
    const std::wstring leaf =
        QueryName(parentFolder.get(), last.get(), SHGDN_INFOLDER | SHGDN_FORPARSING);
    if (leaf.empty() || !parentFolder)
        return name;
    return folder + (folder.back() == L'\\' ? L"" : L"\\") + leaf;
}

SFGAOF TShellFolder::Attributes(SFGAOF request) const {
    IShellFolder* parent = ParentFolderInterface();
    if (!parent)
        return 0;
    SFGAOF mask = request;
    PCUITEMID_CHILD child = AsChild(relative_.get());
    parent->GetAttributesOf(1, &child, &mask);
    return mask;
}

bool TShellFolder::IsFolderItem() const {
    return Attributes(SFGAO_FOLDER) & SFGAO_FOLDER;
}

bool TShellFolder::HasChildFolders() const {
    return Attributes(SFGAO_HASSUBFOLDER) & SFGAO_HASSUBFOLDER;
}

TCapabilitySet TShellFolder::CapabilitySet() const {
    const SFGAOF a = Attributes(0x177);
    TCapabilitySet set;
    const std::pair<SFGAOF, TCapability> bits[] = {{SFGAO_CANCOPY, CapCopy},
                                                   {SFGAO_CANDELETE, CapDelete},
                                                   {SFGAO_CANLINK, CapLink},
                                                   {SFGAO_CANMOVE, CapMove},
                                                   {SFGAO_CANRENAME, CapRename},
                                                   {SFGAO_DROPTARGET, CapDropTarget},
                                                   {SFGAO_HASPROPSHEET, CapPropertySheet}};
    for (auto [bit, member] : bits)
        if (a & bit)
            set.Add(member);
    return set;
}

TAttributeSet TShellFolder::AttributeSet() const {
    TAttributeSet set;
    if (!ParentFolderInterface())
        return set;
    const SFGAOF display = Attributes(SFGAO_DISPLAYATTRMASK);
    const SFGAOF rest = Attributes(0);
    const std::pair<SFGAOF, TAttribute> first[] = {{SFGAO_GHOSTED, AttrGhosted},
                                                   {SFGAO_LINK, AttrLink},
                                                   {SFGAO_READONLY, AttrReadOnly},
                                                   {SFGAO_SHARE, AttrShared}};
    const std::pair<SFGAOF, TAttribute> second[] = {{SFGAO_FILESYSTEM, AttrFileSystem},
                                                    {SFGAO_FILESYSANCESTOR, AttrFileSystemAncestor},
                                                    {SFGAO_REMOVABLE, AttrRemovable},
                                                    {SFGAO_VALIDATE, AttrValidate}};
    for (auto [bit, member] : first)
        if (display & bit)
            set.Add(member);
    for (auto [bit, member] : second)
        if (rest & bit)
            set.Add(member);
    return set;
}

IUnknown* TShellFolder::GetDetailSource() {
    if (detailSourceLooked_ || !FolderInterface())
        return detailSource_;
    detailSourceLooked_ = true;
    // Every supported system has IShellFolder2 on the folder object itself:
    // nothing is bound for it (each binding reads the folder's settings,
    // which under Wine walks the whole of a large folder). A separate
    // provider is looked for only where it has none.
    extendedFolder_ = folder_.as<IShellFolder2>();
    if (!extendedFolder_) {
        detailsProvider_ = BindDetailsProvider(folder_.get(), AbsoluteIdList(), ownerWindow_);
        if (!detailsProvider_)
            extendedFolder_ = BindExtendedFolder(folder_.get(), AbsoluteIdList(), ownerWindow_);
    }
    detailSource_ = extendedFolder_ ? static_cast<IUnknown*>(extendedFolder_.get())
                                    : static_cast<IUnknown*>(detailsProvider_.get());
    return detailSource_;
}

IShellFolder2* TShellFolder::ExtendedFolder() {
    GetDetailSource();
    return extendedFolder_.get();
}

IShellDetails* TShellFolder::DetailsProvider() {
    GetDetailSource();
    return detailsProvider_.get();
}

void TShellFolder::LoadColumnDetails(TShellFolder* root, HWND window, int columnCount) {
    if (detailsStale_)
        RefreshDetails();
    if (static_cast<int>(detailTexts_.size()) >= columnCount)
        return;
    detailTexts_.clear();
    ownerWindow_ = window;
    PCUITEMID_CHILD child = AsChild(relative_.get());
    auto append = [&](HRESULT hr, SHELLDETAILS& details) {
        detailTexts_.push_back(hr == S_OK ? StrRetToText(relative_.get(), details.str)
                                          : std::wstring());
    };
    // Date columns of a file-system item are written from the file's time
    // whichever interface gives the other texts.
    ComPtr<IShellFolder2> columns;
    if (root->FolderInterface())
        columns = ComPtr<IShellFolder>::Share(root->FolderInterface()).as<IShellFolder2>();
    std::optional<WIN32_FIND_DATAW> data;
    auto ownDate = [&](int column) {
        if (!columns)
            return false;
        auto text = RealDateText(*columns.get(), column, *this, data);
        if (text)
            detailTexts_.push_back(std::move(*text));
        return text.has_value();
    };
    if (IShellFolder2* extended = root->ExtendedFolder()) {
        for (int column = 1; column <= columnCount; ++column) {
            if (ownDate(column))
                continue;
            SHELLDETAILS details{};
            append(extended->GetDetailsOf(child, column, &details), details);
        }
    } else if (IShellDetails* provider = root->DetailsProvider()) {
        for (int column = 1; column <= columnCount; ++column) {
            if (ownDate(column))
                continue;
            SHELLDETAILS details{};
            append(provider->GetDetailsOf(child, column, &details), details);
        }
    } else if (root->AttributeSet().Has(AttrFileSystem)) {
        const WIN32_FIND_DATAW data = FindDataOf(*this);
        for (int column = 1; column <= columnCount; ++column)
            detailTexts_.push_back(FileDetailText(data, column));
    }
}

const std::wstring& TShellFolder::DetailText(int index) const {
    if (detailTexts_.empty())
        throw Error(FormatMessageText(L"%s: LoadColumnDetails が呼ばれていません", InFolderName()));
    if (index < 1 || index > static_cast<int>(detailTexts_.size()))
        throw ListIndexError(L"リストのインデックスが範囲を超えています (" +
                             std::to_wstring(index - 1) + L")");
    return detailTexts_[static_cast<size_t>(index - 1)];
}

bool TShellFolder::IsPlainFolder() const {
    constexpr SFGAOF kFolder = SFGAO_FOLDER | SFGAO_FILESYSTEM;
    if ((Attributes(kFolder) & kFolder) != kFolder)
        return false;
    const std::wstring path = ParsingName();
    // A drive's or a share's root has an icon of its own.
    const size_t separators = static_cast<size_t>(std::count(path.begin(), path.end(), L'\\'));
    if (!IsFullyQualifiedPath(path) || path.size() <= 3 || (path[0] == L'\\' && separators <= 3))
        return false;
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
}

int TShellFolder::IconIndex(bool large) const {
    if (IsPlainFolder())
        return PlainFolderIconIndex(large, false);
    // The index is the same in both system image lists. Asked of the parent
    // folder with the relative list it costs the same wherever the folder
    // is, where an absolute list is looked up by walking the whole folder.
    if (IShellFolder* parent = ParentFolderInterface()) {
        const int index =
            SHMapPIDLToSystemImageListIndex(parent, AsChild(relative_.get()), nullptr);
        if (index >= 0)
            return index;
    }
    return SystemIconIndex(AbsoluteIdList(), large, false);
}

bool TShellFolder::RenameTo(std::wstring_view newName) {
    if (!CapabilitySet().Has(CapRename))
        return false;
    const std::wstring name(newName);
    IShellFolder* parent = ParentFolderInterface();
    IdList renamed;
    const HRESULT hr = parent->SetNameOf(nullptr, AsChild(relative_.get()), name.c_str(),
                                         SHGDN_NORMAL, renamed.put_child());
    if (hr != S_OK)
        throw Error(FormatMessageText(L"%s に名前を変更できませんでした。", name));
    // Done, but the folder gave no new identifier: the item is read again
    // by its new name. Kept with its old lists it would name nothing.
    if (!renamed && !(renamed = ChildByName(parent, name)))
        throw Error(FormatMessageText(L"%s に名前を変更できませんでした。", name));
    TakeRelativeList(std::move(renamed));
    return true;
}

void TShellFolder::RefreshDetails() {
    detailsStale_ = false;
    detailTexts_.clear();
    if (IdList fresh = ChildByName(ParentFolderInterface(), InFolderParsingName()))
        TakeRelativeList(std::move(fresh));
}

void TShellFolder::TakeRelativeList(IdList renamed) {
    absolute_ = parent_ ? IdList() : IdListCopy(renamed.get());
    relative_ = std::move(renamed);
}

void TShellFolder::OpenDefault() const {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.hwnd = GetActiveWindow();
    info.lpIDList = const_cast<ITEMIDLIST*>(AbsoluteIdList());
    info.nShow = SW_SHOW;
    ShellExecuteExW(&info);
}

WIN32_FIND_DATAW FindDataOf(const TShellFolder& item) {
    WIN32_FIND_DATAW data{};
    const std::wstring path = item.ParsingName();
    UniqueFindHandle find;
    // A text that is no full path names no file of the user's, and one with
    // wildcards would answer for some other entry: neither is looked up.
    DWORD code = ERROR_INVALID_NAME;
    if (IsFullyQualifiedPath(path) && path.find_first_of(L"*?", 4) == std::wstring::npos) {
        find.reset(FindFirstFileW(ExtendedLengthPath(path).c_str(), &data));
        code = GetLastError();
    }
    if (!find)
        throw InvalidPathError(FolderInformationErrorText(item.InFolderName(), code));
    return data;
}

std::wstring FolderInformationErrorText(std::wstring_view name, DWORD code) {
    wchar_t hex[16];
    swprintf(hex, 16, L"%x", static_cast<unsigned>(code));
    // Both parts go in at once: a "%s" in the name is not filled in again.
    return L"フォルダ \"" + std::wstring(name) +
           L"\" の情報を取得できませんでした。エラーコード：$" + hex;
}

std::wstring DateTimeDisplayText(double dateTime) {
    const SYSTEMTIME st = SystemTimeFromDateTime(dateTime);
    wchar_t text[128] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, 64);
    std::wstring result = text;
    // A time of day of zero shows the date alone.
    if (st.wHour || st.wMinute || st.wSecond) {
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, text, 64);
        result += L" ";
        result += text;
    }
    return result;
}

std::wstring FileDetailText(const WIN32_FIND_DATAW& data, int column) {
    const bool isFolder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    switch (column) {
    case 1:
        if (isFolder)
            return L"-1";
        return std::to_wstring((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) |
                               data.nFileSizeLow);
    case 2: {
        const std::wstring_view name = data.cFileName;
        const size_t dot = name.rfind(L'.');
        const size_t separator = name.find_last_of(L"\\/:");
        if (dot == std::wstring_view::npos ||
            (separator != std::wstring_view::npos && dot < separator))
            return {};
        return std::wstring(name.substr(dot));
    }
    case 3: {
        if (isFolder)
            return DateTimeDisplayText(-1.0);
        // Taken from the time itself, not a DOS date that wraps outside
        // 1980-2107; shown in even seconds as DOS times were.
        const DateTime local = FileTimeToLocalDateTime(FromFileTime(data.ftLastWriteTime));
        const double seconds =
            std::floor(std::round((local - std::floor(local)) * 86400.0) / 2) * 2;
        return DateTimeDisplayText(std::floor(local) + seconds / 86400.0);
    }
    case 4:
        return std::to_wstring(data.dwFileAttributes);
    default:
        return {};
    }
}

} // namespace kalvera
