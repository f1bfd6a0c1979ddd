// Korean names draw as text in the list and the tree, not as "missing glyph"
// boxes: the window's fonts have no Hangul, so a linked font must take over
// for those characters. Each label must show the name exactly as that font
// draws it, at the window font's size.

#include "tests/support/MainWindowHost.h"
#include "tests/support/Pictures.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestFiles.h"

#include <commctrl.h>

#include <cstring>

using namespace kalvera;
using namespace kalvera::test;

namespace {

const std::wstring kFolder = L"한국어폴더";
const std::wstring kFile = L"한글파일"; // no extension: the whole label is Hangul
const std::wstring kFallbackFamily = L"NanumGothic";

RECT ListLabel(HWND list, int row) {
    RECT r{LVIR_LABEL};
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    return r;
}

RECT TreeLabel(HWND tree, HTREEITEM node) {
    RECT r{};
    std::memcpy(&r, &node, sizeof node); // the node goes in, the rectangle comes out
    SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    return r;
}

HFONT FontOf(HWND window) {
    return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

} // namespace

TEST_F(MainWindow, HangulNamesDrawAsTextInTheListAndTheTree) {
    if (!RunningUnderWine())
        GTEST_SKIP() << "Windows links its own Korean font, whose glyphs this test does not know";
    TempDir dir;
    dir.MakeDir(kFolder);
    dir.MakeFile(kFile);
    form->ShellListView1.NavigateToIdList(RootOf(dir.Path())->AbsoluteIdList());
    ASSERT_EQ(form->ShellListView1.Count(), 2);
    PumpFor(50);

    HWND list = form->ShellListView1.Handle();
    const UniqueFont listFallback = SameSizeIn(FontOf(list), kFallbackFamily);
    ASSERT_TRUE(listFallback) << "no font with Hangul is installed";
    const Picture listPainted = PaintedClientOf(list);
    RECT folderLabel{}, fileLabel{};
    for (int row = 0; row < 2; ++row)
        (form->ShellListView1.ItemAt(row)->InFolderName() == kFolder ? folderLabel : fileLabel) =
            ListLabel(list, row);
    EXPECT_TRUE(ShowsText(listPainted, folderLabel, TextIn(listFallback.get(), kFolder)));
    EXPECT_TRUE(ShowsText(listPainted, fileLabel, TextIn(listFallback.get(), kFile)));
    // The comparison tells one Hangul name from another.
    EXPECT_FALSE(ShowsText(listPainted, folderLabel, TextIn(listFallback.get(), kFile)));

    TShellTreeView& tree = form->ShellTreeView1;
    auto findFolderNode = [&]() -> HTREEITEM {
        for (HTREEITEM node = tree.FirstNode(); node; node = tree.NextNode(node))
            if (tree.TextOf(node) == kFolder)
                return node;
        return nullptr;
    };
    HTREEITEM folderNode = findFolderNode();
    if (!folderNode) { // the folder's node shows once its parent is open
        tree.Expand(reinterpret_cast<HTREEITEM>(
            SendMessageW(tree.Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0)));
        PumpFor(50);
        folderNode = findFolderNode();
    }
    ASSERT_TRUE(folderNode);
    SendMessageW(tree.Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(folderNode));
    PumpFor(50);
    const UniqueFont treeFallback = SameSizeIn(FontOf(tree.Handle()), kFallbackFamily);
    ASSERT_TRUE(treeFallback);
    EXPECT_TRUE(ShowsText(PaintedClientOf(tree.Handle()), TreeLabel(tree.Handle(), folderNode),
                          TextIn(treeFallback.get(), kFolder)));
}
