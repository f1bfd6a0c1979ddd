// Expanding a tree node over a folder of 10,000 subfolders against a bare
// enumeration of it; and moving the three linked controls to a folder 20
// levels deep through the list, with the number of folder enumerations that
// took. Usage: tree_bench <folder of 10,000 subfolders> <deep folder>.

#include "ShellCtrls/ShellComboBox.h"
#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"
#include "ShellCtrls/ShellTreeView.h"
#include "bench/BenchUtil.h"
#include "ui/Window.h"

#include <cstdio>
#include <vector>

using namespace kalvera;

namespace {} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tree_bench <wide folder> <deep folder>\n");
        return 2;
    }
    ShellModuleScope module;
    bench::Host host;
    {
        TShellTreeView tree;
        tree.SetParentWindow(host.Handle());
        const std::wstring wide = argv[1];
        const std::wstring parentOfWide = wide.substr(0, wide.find_last_of(L'\\'));
        tree.Handle();
        std::vector<double> ratios;
        for (int round = 0; round < bench::Rounds(5); ++round) {
            size_t enumerated = 0;
            const double bare = bench::Part("tree-expand-vs-enum", "bare", enumerated, [&] {
                enumerated = bench::BareEnumeration(argv[1], SHCONTF_FOLDERS);
            });
            // The wide folder's node, below its parent as the root, not yet expanded.
            tree.SetRoot(L"rfDesktop");
            tree.SetRoot(parentOfWide);
            const IdList wideList = bench::ParsePath(argv[1]);
            HTREEITEM node = tree.FindNodeByIdList(wideList.get(), tree.FirstNode());
            const double expand =
                bench::Part("tree-expand-vs-enum", "run", enumerated, [&] { tree.Expand(node); });
            int children = 0;
            for (HTREEITEM c = TreeView_GetChild(tree.Handle(), node); c;
                 c = TreeView_GetNextSibling(tree.Handle(), c))
                ++children;
            std::printf("round %d: expand %.3f s, bare enumeration %.3f s, %d nodes of %d\n",
                        round + 1, expand, bare, children, static_cast<int>(enumerated));
            ratios.push_back(expand / bare);
        }
        std::printf("tree-expand-vs-enum ratio %.2f\n", bench::Median(ratios));
    }

    TShellComboBox combo;
    TShellTreeView tree;
    TShellListView list;
    for (Control* c : std::initializer_list<Control*>{&combo, &tree, &list}) {
        c->BeginLoading();
        c->SetParentWindow(host.Handle());
    }
    combo.SetShellTreeView(&tree);
    combo.SetShellListView(&list);
    tree.SetShellListView(&list);
    list.SetShellTreeView(&tree);
    list.SetShellComboBox(&combo);
    combo.Loaded();
    tree.Loaded();
    list.Loaded();
    const IdList deep = bench::ParsePath(argv[2]);
    const int depth = IdListCount(deep.get());
    const long before = FolderEnumerations();
    const double follow = bench::Seconds([&] { list.NavigateToIdList(deep.get()); });
    const long enumerations = FolderEnumerations() - before;
    // The tree expands each ancestor below the desktop (loaded already), the
    // list fills the target, the combo box rebuilds its two top levels.
    const int allowed = (depth - 1) + 1 + 2;
    std::printf("follow-deep %.3f s, %ld folder enumerations for a path of %d levels "
                "(ancestors, target and the combo box's top levels: %d)\n",
                follow, enumerations, depth, allowed);
    return enumerations <= allowed ? 0 : 1;
}
