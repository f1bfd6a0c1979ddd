#include "ShellCtrls/ShellOrder.h"
#include "ShellCtrls/IdList.h"
#include "ShellCtrls/ShellModule.h"

#include <algorithm>
#include <numeric>
#include <string>

namespace kalvera {
namespace {

// A byte string that orders as the user's locale compares names, ignoring
// case, as CompareString would, and much cheaper to compare many times.
std::string SortKeyOf(const std::wstring& name) {
    const int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE,
                                  name.c_str(), -1, nullptr, 0);
    std::string key(static_cast<size_t>(std::max(size, 0)), '\0');
    LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.c_str(), -1,
                 reinterpret_cast<LPWSTR>(key.data()), size);
    return key;
}

// A stable merge sort that only ever reads inside the range, whatever the
// comparator answers: std::sort's partitioning relies on a strict weak order
// to stop, which a namespace extension's comparison (or an error result that
// makes both orders "less") does not promise.
template <typename Less> void BoundedSort(std::vector<size_t>& items, Less less) {
    std::vector<size_t> buffer(items.size());
    for (size_t width = 1; width < items.size(); width *= 2) {
        for (size_t start = 0; start < items.size(); start += 2 * width) {
            const size_t middle = std::min(start + width, items.size());
            const size_t end = std::min(start + 2 * width, items.size());
            size_t left = start, right = middle, out = start;
            while (left < middle && right < end)
                buffer[out++] = less(items[right], items[left]) ? items[right++] : items[left++];
            while (left < middle)
                buffer[out++] = items[left++];
            while (right < end)
                buffer[out++] = items[right++];
        }
        items.swap(buffer);
    }
}

} // namespace

short CompareResult(HRESULT hr) {
    return static_cast<short>(HRESULT_CODE(hr));
}

std::vector<size_t> ShellOrder(IShellFolder* folder, const std::vector<const ITEMIDLIST*>& ids,
                               const std::vector<char>* firstGroup) {
    const size_t count = ids.size();
    auto group = [&](size_t i) { return firstGroup ? (*firstGroup)[i] != 0 : false; };
    auto shellOrder = [&](size_t a, size_t b) {
        if (group(a) != group(b))
            return group(a);
        return CompareResult(folder->CompareIDs(0, AsRelative(ids[a]), AsRelative(ids[b]))) < 0;
    };
    std::vector<size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    if (!folder)
        return order;

    // A large folder costs millions of the shell's comparisons, each slow.
    // So the ids are first sorted by the locale's sort key of their file
    // names (parsing names in the folder: display names can cost a registry
    // lookup each), which is the shell's order in the usual case, and the
    // shell then confirms that order pair by pair. Where it disagrees, its
    // comparison alone sorts them: the result is the shell's order either way.
    {
        std::vector<std::string> keys(count);
        for (size_t i = 0; i < count; ++i)
            keys[i] = SortKeyOf(QueryName(folder, ids[i], SHGDN_INFOLDER | SHGDN_FORPARSING));
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            if (group(a) != group(b))
                return group(a);
            return keys[a] < keys[b];
        });
    }
    for (size_t i = 1; i < count; ++i) {
        if (shellOrder(order[i], order[i - 1])) {
            BoundedSort(order, shellOrder);
            break;
        }
    }
    return order;
}

} // namespace kalvera
