#include "ShellCtrls/ShellFolder.h"
#include "ShellCtrls/ShellModule.h"
#include "ShellCtrls/ShellOrder.h"
#include "core/FileTimeWriter.h"
#include "core/RunTimestampChange.h"
#include "tests/support/Leaks.h"
#include "tests/support/ShellFolderFake.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestFiles.h"
#include "win/Error.h"
#include "win/Handle.h"

#include <psapi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace kalvera;
using namespace kalvera::test;

namespace {

std::wstring ErrorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.Message();
    }
    return L"(no error)";
}

STRRET CString(const char* text) {
    STRRET r{};
    r.uType = STRRET_CSTR;
    strcpy(r.cStr, text);
    return r;
}

WIN32_FIND_DATAW FileData(const wchar_t* name, DWORD attributes, WORD year, WORD second) {
    WIN32_FIND_DATAW data{};
    wcscpy(data.cFileName, name);
    data.dwFileAttributes = attributes;
    SYSTEMTIME st{year, 6, 0, 15, 10, 20, second, 0};
    FILETIME local;
    SystemTimeToFileTime(&st, &local);
    LocalFileTimeToFileTime(&local, &data.ftLastWriteTime);
    return data;
}

} // namespace

TEST(ShellFolder, DepthCountsAncestorsBelowTheRoot) {
    TempDir dir;
    dir.MakeDir(L"sub");
    CreateDirectoryW(dir.Child(L"sub\\deeper").c_str(), nullptr);
    for (auto& child : ChildrenOf(*DesktopItem(), SHCONTF_FOLDERS))
        EXPECT_EQ(child->Depth(), 0);
    auto root = RootOf(dir.Path());
    EXPECT_EQ(root->Depth(), 0);
    EXPECT_EQ(root->ParentItem(), DesktopItem());
    auto sub = ChildNamed(*root, L"sub");
    EXPECT_EQ(sub->Depth(), 1);
    EXPECT_EQ(ChildNamed(*sub, L"deeper")->Depth(), 2);
}

TEST(ShellFolder, ParsingNameIsAPathOrTheDisplayName) {
    TempDir dir;
    const std::wstring file = dir.MakeFile(L"한국어 file.txt");
    auto root = RootOf(dir.Path());
    EXPECT_EQ(root->ParsingName(), dir.Path());
    auto item = ChildNamed(*root, L"한국어 file.txt");
    EXPECT_EQ(item->ParsingName(), file);
    EXPECT_FALSE(item->IsFolderItem());
    EXPECT_TRUE(root->IsFolderItem());

    std::wstring name = L"rfMyComputer";
    auto computer = RootItemFromName(L"", name);
    const std::wstring parsing = computer->ParsingName();
    EXPECT_FALSE(parsing.starts_with(L"::{")) << ToUtf8(parsing);
    EXPECT_EQ(parsing, computer->InFolderName());
}

TEST(ShellFolder, QueryNameFallsBackOnceForVirtualObjects) {
    ShellFolderFake folder;
    const IdList any = IdListAlloc(2);
    folder.names = {L"::{GUID-1}", L"::{GUID-2}"};
    EXPECT_EQ(QueryName(&folder, any.get(), SHGDN_FORPARSING), L"::{GUID-2}");
    EXPECT_EQ(folder.nameFlags, (std::vector<SHGDNF>{SHGDN_FORPARSING, SHGDN_NORMAL}));

    folder.nameFlags.clear();
    folder.names = {L":{not virtual"};
    EXPECT_EQ(QueryName(&folder, any.get(), SHGDN_FORPARSING), L":{not virtual");
    EXPECT_EQ(folder.nameFlags.size(), 1u);
    EXPECT_EQ(QueryName(nullptr, any.get(), 0), L"parentfolder = nil");
}

TEST(ShellFolder, QuestionMarkRuleOfNameTexts) {
    const IdList any = IdListAlloc(2);
    auto text = [&](const char* s) {
        STRRET r = CString(s);
        return StrRetToText(any.get(), r);
    };
    EXPECT_EQ(text("?"), L"?");
    EXPECT_EQ(text("?a?1"), L"?a?1");
    EXPECT_EQ(text("?1?2?"), L"12");
    EXPECT_EQ(text("a?1"), L"a?1");

    STRRET wide{};
    wide.uType = STRRET_WSTR;
    wide.pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(8 * sizeof(wchar_t)));
    wcscpy(wide.pOleStr, L"?9한?");
    EXPECT_EQ(StrRetToText(any.get(), wide), L"9한");

    // An offset into the list's first element: "name" after two bytes of size
    // and two of other data.
    IdList list = IdListAlloc(2 + 2 + 5 + 2);
    auto* bytes = reinterpret_cast<BYTE*>(list.get());
    bytes[0] = 9;
    memcpy(bytes + 4, "name", 5);
    STRRET offset{};
    offset.uType = STRRET_OFFSET;
    offset.uOffset = 4;
    EXPECT_EQ(StrRetToText(list.get(), offset), L"name");
}

TEST(ShellFolder, RootNamesResolveOrLeaveTheOldName) {
    for (const wchar_t* name : {L"rfDesktop", L"RFMYCOMPUTER", L"rfpersonal", L"RfTemplates"}) {
        std::wstring text = name;
        EXPECT_TRUE(RootItemFromName(L"old", text)) << ToUtf8(name);
        EXPECT_EQ(text, name);
    }
    TRootFolder root;
    EXPECT_TRUE(RootFolderFromName(L"RFCONTROLPANEL", root));
    EXPECT_EQ(root, rfControlPanel);
    EXPECT_FALSE(RootFolderFromName(L"rfNothing", root));

    std::wstring empty;
    EXPECT_EQ(ErrorText([&] { RootItemFromName(L"C:\\", empty); }), L"Error setting path: \"\"");
    EXPECT_EQ(empty, L"C:\\");

    std::wstring drive = L"C:";
    auto c = RootItemFromName(L"old", drive);
    EXPECT_EQ(drive, L"C:\\");
    EXPECT_EQ(c->ParsingName(), L"C:\\");

    TempDir dir;
    std::wstring missing = dir.Child(L"none");
    EXPECT_EQ(ErrorText([&] { RootItemFromName(L"old", missing); }),
              L"Error setting path: \"" + dir.Child(L"none") + L"\"");
    EXPECT_EQ(missing, L"old");
}

TEST(ShellFolder, ColumnDetailsAreCachedUntilMoreAreAsked) {
    TempDir dir;
    dir.MakeFile(L"data.txt", "12345");
    auto root = RootOf(dir.Path());
    auto item = ChildNamed(*root, L"data.txt");
    EXPECT_EQ(ErrorText([&] { item->DetailText(1); }),
              L"data.txt: LoadColumnDetails が呼ばれていません");

    item->LoadColumnDetails(root.get(), nullptr, 4);
    const std::wstring sizeText = item->DetailText(1);
    EXPECT_FALSE(sizeText.empty());
    EXPECT_THROW(item->DetailText(5), ListIndexError);

    // A second load of four columns keeps the cache; five reload all.
    item->LoadColumnDetails(root.get(), nullptr, 4);
    EXPECT_THROW(item->DetailText(5), ListIndexError);
    EXPECT_EQ(item->DetailText(1), sizeText);
    item->LoadColumnDetails(root.get(), nullptr, 5);
    EXPECT_EQ(item->DetailText(1), sizeText);
    EXPECT_NO_THROW(item->DetailText(5));
}

// A folder's columns in the details view: those before its first one on by
// default too, then every one up to the first that is not. Wine's folders
// have every column on by default; this one has not.
TEST(ShellFolder, DefaultColumnsStopAtTheFirstThatIsNotOn) {
    ShellFolderFake folder;
    constexpr SHCOLSTATEF on = SHCOLSTATE_ONBYDEFAULT | SHCOLSTATE_TYPE_STR;
    folder.columns = {{L"Icon", SHCOLSTATE_TYPE_STR},
                      {L"Name", on},
                      {L"Size", on},
                      {L"Hidden", SHCOLSTATE_TYPE_INT},
                      {L"Later", on}};
    std::vector<std::wstring> captions;
    for (SHELLDETAILS& details : DefaultColumns(folder))
        captions.push_back(StrRetToText(nullptr, details.str));
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"Icon", L"Name", L"Size"}));
}

TEST(ShellFolder, FallbackDetailTextsFromFileData) {
    const auto folder = FileData(L"dir", FILE_ATTRIBUTE_DIRECTORY, 2004, 10);
    EXPECT_EQ(FileDetailText(folder, 1), L"-1");
    EXPECT_EQ(FileDetailText(folder, 3), DateTimeDisplayText(-1.0));
    EXPECT_EQ(FileDetailText(folder, 4), L"16");

    const auto odd = FileData(L"a.tar.gz", FILE_ATTRIBUTE_ARCHIVE, 2004, 21);
    EXPECT_EQ(FileDetailText(odd, 2), L".gz");
    EXPECT_EQ(FileDetailText(odd, 3), FileDetailText(FileData(L"x", 0, 2004, 20), 3));
    EXPECT_NE(FileDetailText(odd, 3), FileDetailText(FileData(L"x", 0, 2004, 22), 3));
    EXPECT_EQ(FileDetailText(FileData(L"noext", 0, 2004, 0), 2), L"");
    // Years outside those of DOS dates show as they are, not wrapped.
    for (WORD year : {1975, 1979, 1980, 2107, 2108, 2200})
        EXPECT_NE(FileDetailText(FileData(L"y", 0, year, 0), 3).find(std::to_wstring(year)),
                  std::wstring::npos)
            << year;

    // Under the Japanese locale the dates read year first.
    wchar_t format[80] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, format, 80);
    if (std::wstring(format) == L"yyyy/MM/dd" || std::wstring(format) == L"yyyy/M/d") {
        EXPECT_TRUE(DateTimeDisplayText(-1.0) == L"1899/12/29");
    }

    // A 5 GiB sparse file shows its whole size.
    TempDir dir;
    const std::wstring big = dir.MakeFile(L"big.bin", "");
    {
        UniqueFileHandle file(
            CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        DWORD ignored;
        DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER size;
        size.QuadPart = 5LL << 30;
        SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN);
        ASSERT_TRUE(SetEndOfFile(file.get()));
    }
    auto root = RootOf(dir.Path());
    EXPECT_EQ(FileDetailText(FindDataOf(*ChildNamed(*root, L"big.bin")), 1), L"5368709120");

    // Find data of an item that is gone raises the folder-information error.
    auto gone = ChildNamed(*root, L"big.bin");
    DeleteFileW(big.c_str());
    EXPECT_TRUE(
        ErrorText([&] {
            FindDataOf(*gone);
        }).starts_with(L"フォルダ \"big.bin\" の情報を取得できませんでした。エラーコード：$"));
}

TEST(ShellFolder, RenameToRenamesOnDiskAndUpdatesTheLists) {
    TempDir dir;
    dir.MakeFile(L"before.txt");
    auto root = RootOf(dir.Path());
    auto item = ChildNamed(*root, L"before.txt");
    ASSERT_TRUE(item->CapabilitySet().Has(CapRename));
    EXPECT_TRUE(item->RenameTo(L"after 한.txt"));
    EXPECT_TRUE(IsExistingFile(dir.Child(L"after 한.txt")));
    EXPECT_FALSE(IsExistingFile(dir.Child(L"before.txt")));
    EXPECT_EQ(item->ParsingName(), dir.Child(L"after 한.txt"));
    IdList expected = IdListConcat(root->AbsoluteIdList(), item->RelativeIdList());
    EXPECT_TRUE(SameIdList(item->AbsoluteIdList(), expected.get()));

    // A folder that refuses raises the rename error.
    dir.MakeFile(L"taken.txt");
    EXPECT_EQ(ErrorText([&] { item->RenameTo(L"taken.txt"); }),
              L"taken.txt に名前を変更できませんでした。");
    EXPECT_EQ(item->ParsingName(), dir.Child(L"after 한.txt"));
}

TEST(ShellFolder, RenameWithoutTheCapabilityCallsNothing) {
    ShellFolderFake folder;
    folder.attributes = SFGAO_CANCOPY | SFGAO_CANDELETE;
    const IdList any = IdListAlloc(2);
    TShellFolder parent(nullptr, any.get(), ComPtr<IShellFolder>::Share(&folder));
    TShellFolder item(&parent, any.get(), nullptr);
    EXPECT_EQ(item.CapabilitySet(), (TCapabilitySet{CapCopy, CapDelete}));
    EXPECT_FALSE(item.RenameTo(L"new"));
    EXPECT_EQ(folder.setNameCalls, 0);
}

TEST(ShellFolder, FolderHasEntriesAndEnumerationFlags) {
    TempDir dir;
    dir.MakeDir(L"empty");
    dir.MakeDir(L"full");
    dir.MakeFile(L"full\\f.txt");
    auto root = RootOf(dir.Path());
    EXPECT_FALSE(FolderHasEntries(ChildNamed(*root, L"empty")->FolderInterface(),
                                  SHCONTF_FOLDERS | SHCONTF_NONFOLDERS));
    EXPECT_TRUE(
        FolderHasEntries(ChildNamed(*root, L"full")->FolderInterface(), SHCONTF_NONFOLDERS));
    EXPECT_FALSE(FolderHasEntries(ChildNamed(*root, L"full")->FolderInterface(), SHCONTF_FOLDERS));
    EXPECT_FALSE(FolderHasEntries(nullptr, SHCONTF_FOLDERS));

    EXPECT_EQ(EnumFlagsFromObjectTypes({otFolders}), 0x20);
    EXPECT_EQ(EnumFlagsFromObjectTypes({otNonFolders, otHidden}), 0xC0);
    EXPECT_EQ(EnumFlagsFromObjectTypes({}), 0);
}

TEST(ShellFolder, ManyItemsLeakNoHandlesOrMemory) {
    TempDir dir;
    for (int i = 0; i < 60; ++i)
        dir.MakeFile(L"f" + std::to_wstring(i) + L".txt");
    dir.MakeDir(L"sub");
    auto round = [&] {
        auto root = RootOf(dir.Path());
        for (auto& child : ChildrenOf(*root)) {
            child->ParsingName();
            child->IconIndex(false);
            child->LoadColumnDetails(root.get(), nullptr, 4);
        }
    };
    // 100 rounds of 61 items: a leaked item or identifier list per row
    // would show as hundreds of kilobytes.
    const Growth growth = GrowthOver(100, round);
    EXPECT_LE(growth.handles, 2);
    EXPECT_LT(growth.heapBytes, 100'000);

    // The measure sees a leak of one identifier list per item.
    const Growth leaking = GrowthOver(100, [&] {
        auto root = RootOf(dir.Path());
        for (auto& child : ChildrenOf(*root))
            IdListCopy(child->AbsoluteIdList()).release();
    });
    EXPECT_GT(leaking.heapBytes, 100'000);
}

// A folder whose comparison is no order at all (every pair "less", as an
// error result can read): the sort stays inside the list and keeps every item
// once. One whose order is not its names' (by a number the items carry):
// its own order, whole, for a count of items that is no power of two.
TEST(ShellOrder, AnyComparisonGivesAPermutation) {
    ShellFolderFake folder;
    for (int i = 0; i < 300; ++i)
        folder.names.push_back(L"name" + std::to_wstring((i * 7919) % 300));
    std::vector<IdList> lists;
    std::vector<const ITEMIDLIST*> ids;
    for (int i = 0; i < 300; ++i) {
        lists.push_back(IdListAlloc(6));
        auto* bytes = reinterpret_cast<BYTE*>(lists.back().get());
        bytes[0] = 4;
        bytes[2] = static_cast<BYTE>(i);
        bytes[3] = static_cast<BYTE>(i >> 8);
        ids.push_back(lists.back().get());
    }
    auto number = [](const void* id) {
        const auto* bytes = static_cast<const BYTE*>(id);
        return (bytes[2] | bytes[3] << 8) * 7 % 300;
    };
    for (bool ordered : {false, true}) {
        folder.compareResult = 0x0000FFFF; // the low word reads as -1: "less"
        if (ordered)
            folder.order = [&](PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) {
                return short(number(a) - number(b));
            };
        // Every comparison is of two of the lists given, never of memory
        // beside them.
        int strays = 0;
        folder.onCompare = [&](const ITEMIDLIST* a, const ITEMIDLIST* b) {
            for (const ITEMIDLIST* id : {a, b})
                strays += std::find(ids.begin(), ids.end(), id) == ids.end();
        };
        std::vector<size_t> order = ShellOrder(&folder, ids);
        EXPECT_GT(folder.compareCalls, 0);
        EXPECT_EQ(strays, 0);
        ASSERT_EQ(order.size(), 300u);
        for (size_t i = 1; ordered && i < order.size(); ++i)
            ASSERT_LT(number(ids[order[i - 1]]), number(ids[order[i]])) << i;
        std::sort(order.begin(), order.end());
        for (size_t i = 0; i < order.size(); ++i)
            ASSERT_EQ(order[i], i);
    }
}

// The folder renamed the item but gave no new identifier list: the item is
// read again by its new name, and calls itself by it.
TEST(ShellFolder, RenameDoneWithoutANewListReadsTheItemAgain) {
    ShellFolderFake folder;
    folder.attributes = SFGAO_CANRENAME;
    folder.setNameResult = S_OK;
    IdList fresh = IdListAlloc(2 + 4 + 2);
    auto* bytes = reinterpret_cast<BYTE*>(fresh.get());
    bytes[0] = 6;
    memcpy(bytes + 2, "new", 4);
    folder.parsed = fresh.get();
    const IdList old = IdListAlloc(2 + 4 + 2);
    reinterpret_cast<BYTE*>(old.get())[0] = 6;
    TShellFolder parent(nullptr, IdListAlloc(2).get(), ComPtr<IShellFolder>::Share(&folder));
    TShellFolder item(&parent, old.get(), nullptr);
    EXPECT_TRUE(item.RenameTo(L"renamed"));
    EXPECT_EQ(folder.parsedNames, std::vector<std::wstring>{L"renamed"});
    EXPECT_EQ(memcmp(item.RelativeIdList(), fresh.get(), IdListSize(fresh.get())), 0);
    EXPECT_EQ(IdListCount(item.AbsoluteIdList()), 1);

    // Done, and not found again by its name: reported, lists kept.
    folder.parsed = nullptr;
    EXPECT_EQ(ErrorText([&] { item.RenameTo(L"lost"); }), L"lost に名前を変更できませんでした。");
    EXPECT_EQ(memcmp(item.RelativeIdList(), fresh.get(), IdListSize(fresh.get())), 0);
}

// The folder-information error names the item as it is ("%s" and "$" in a
// name come out unchanged) with the code of the failing call.
TEST(ShellFolder, FolderInformationErrorNamesTheItemLiterally) {
    EXPECT_EQ(FolderInformationErrorText(L"50%s$x.txt", 2),
              L"フォルダ \"50%s$x.txt\" の情報を取得できませんでした。エラーコード：$2");
    TempDir dir;
    const std::wstring path = dir.MakeFile(L"50%s$x.txt");
    auto root = RootOf(dir.Path());
    auto item = ChildNamed(*root, L"50%s$x.txt");
    DeleteFileW(path.c_str());
    SetLastError(ERROR_ACCESS_DENIED); // a stale code must not be reported
    EXPECT_EQ(ErrorText([&] { FindDataOf(*item); }),
              L"フォルダ \"50%s$x.txt\" の情報を取得できませんでした。エラーコード：$2");
    // An item whose name is no path is not looked up: an invalid name.
    std::wstring computer = L"rfMyComputer";
    auto virtualItem = RootItemFromName(L"", computer);
    EXPECT_EQ(ErrorText([&] { FindDataOf(*virtualItem); }),
              FolderInformationErrorText(virtualItem->InFolderName(), ERROR_INVALID_NAME));
}

// A file-system folder that offers neither detail interface: the columns
// come from the file's own data, and a file gone since raises the
// folder-information error naming it.
TEST(ShellFolder, FallbackColumnsComeFromTheFileItself) {
    TempDir dir;
    const std::wstring path = dir.MakeFile(L"data.txt", "12345");
    ShellFolderFake outer, folder;
    outer.attributes = SFGAO_FILESYSTEM | SFGAO_FOLDER;
    folder.names = {path};
    IdList element = IdListAlloc(2 + 4 + 2);
    memcpy(element.get(), "\x06\x00ZZZZ", 6);
    TShellFolder top(nullptr, IdListAlloc(2).get(), ComPtr<IShellFolder>::Share(&outer));
    // An empty list, which the desktop binds to nothing.
    TShellFolder root(&top, IdListAlloc(2).get(), ComPtr<IShellFolder>::Share(&folder));
    ASSERT_EQ(root.ExtendedFolder(), nullptr);
    ASSERT_EQ(root.DetailsProvider(), nullptr);
    ASSERT_TRUE(root.AttributeSet().Has(AttrFileSystem));

    TShellFolder item(&root, element.get(), nullptr);
    item.LoadColumnDetails(&root, nullptr, 4);
    const WIN32_FIND_DATAW data = FindDataOf(item);
    EXPECT_EQ(item.DetailText(1), L"5");
    EXPECT_EQ(item.DetailText(2), L".txt");
    EXPECT_EQ(item.DetailText(3), FileDetailText(data, 3));
    EXPECT_EQ(item.DetailText(4), std::to_wstring(data.dwFileAttributes));

    DeleteFileW(path.c_str());
    TShellFolder gone(&root, element.get(), nullptr);
    EXPECT_EQ(ErrorText([&] { gone.LoadColumnDetails(&root, nullptr, 4); }),
              FolderInformationErrorText(path, ERROR_FILE_NOT_FOUND));
}

TEST(ShellFolder, ErrorTextsOfIndexesAndPlatformCodes) {
    TempDir dir;
    dir.MakeFile(L"one.txt");
    auto root = RootOf(dir.Path());
    auto item = ChildNamed(*root, L"one.txt");
    item->LoadColumnDetails(root.get(), nullptr, 4);
    EXPECT_EQ(ErrorText([&] { item->DetailText(5); }),
              L"リストのインデックスが範囲を超えています (4)");
    EXPECT_EQ(ErrorText([&] { item->DetailText(0); }),
              L"リストのインデックスが範囲を超えています (-1)");
    EXPECT_NO_THROW(item->DetailText(4));
    // A code the system has no text for.
    EXPECT_EQ(SystemMessageText(static_cast<HRESULT>(0xA0F71234)), L"OLE エラー a0f71234");
}
