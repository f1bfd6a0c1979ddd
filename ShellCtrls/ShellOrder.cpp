#include "ShellCtrls/ShellOrder.h"
#include "win/Thread.h"
#include "ShellCtrls/IdList.h"
#include "ShellCtrls/ShellModule.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>

namespace kalvera {
namespace {

// Below this many children a second thread costs more than it saves.
constexpr size_t kShareFrom = 4096;

// Byte strings that order as the user's locale compares names, ignoring
// case, as CompareString would, and much cheaper to compare many times: all
// kept in one block, the first eight bytes of each also as a number that
// settles most comparisons at once.
class SortKeys {
public:
    explicit SortKeys(const std::vector<std::wstring>& names)
        : starts_(names.size() + 1), prefixes_(names.size()) {
        // Two halves made at once: a large folder's keys cost more than
        // the rest of its sort.
        std::vector<char> second;
        const size_t half = names.size() >= kShareFrom ? names.size() / 2 : names.size();
        std::vector<size_t> secondStarts(names.size() - half + 1);
        JoinableThread helper;
        if (half < names.size())
            helper = JoinableThread([&] { Make(names, half, names.size(), second, secondStarts); });
        else
            secondStarts[0] = 0;
        Make(names, 0, half, bytes_, starts_);
        helper.Join();
        const size_t base = bytes_.size();
        bytes_.insert(bytes_.end(), second.begin(), second.end());
        for (size_t i = half; i <= names.size(); ++i)
            starts_[i] = base + secondStarts[i - half];
        for (size_t i = 0; i < names.size(); ++i) {
            std::uint64_t prefix = 0;
            for (size_t b = 0; b < 8; ++b)
                prefix =
                    prefix << 8 |
                    (starts_[i] + b < starts_[i + 1] ? std::uint8_t(bytes_[starts_[i] + b]) : 0);
            prefixes_[i] = prefix;
        }
    }
    bool Less(size_t a, size_t b) const {
        if (prefixes_[a] != prefixes_[b])
            return prefixes_[a] < prefixes_[b];
        return std::lexicographical_compare(
            bytes_.begin() + starts_[a], bytes_.begin() + starts_[a + 1],
            bytes_.begin() + starts_[b], bytes_.begin() + starts_[b + 1],
            [](char x, char y) { return std::uint8_t(x) < std::uint8_t(y); });
    }

private:
    // Keys of names [first, last), appended to bytes, each one's start
    // (relative to bytes) at starts[i - first], the end at the next.
    static void Make(const std::vector<std::wstring>& names, size_t first, size_t last,
                     std::vector<char>& bytes, std::vector<size_t>& starts) {
        for (size_t i = first; i < last; ++i) {
            starts[i - first] = bytes.size();
            const std::wstring& name = names[i];
            const int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE,
                                          name.c_str(), -1, nullptr, 0);
            const size_t at = bytes.size();
            bytes.resize(at + static_cast<size_t>(std::max(size, 0)));
            LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.c_str(), -1,
                         reinterpret_cast<LPWSTR>(bytes.data() + at), size);
        }
        starts[last - first] = bytes.size();
    }

    std::vector<char> bytes_;
    std::vector<size_t> starts_;
    std::vector<std::uint64_t> prefixes_;
};

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
        std::vector<std::wstring> names(count);
        for (size_t i = 0; i < count; ++i)
            names[i] = QueryName(folder, ids[i], SHGDN_INFOLDER | SHGDN_FORPARSING);
        const SortKeys keys(names);
        auto less = [&](size_t a, size_t b) {
            if (group(a) != group(b))
                return group(a);
            return keys.Less(a, b);
        };
        // Each half on a processor of its own, then merged.
        const auto middle =
            order.begin() + static_cast<std::ptrdiff_t>(count >= kShareFrom ? count / 2 : count);
        JoinableThread helper;
        if (middle != order.end())
            helper = JoinableThread([&] { std::sort(middle, order.end(), less); });
        std::sort(order.begin(), middle, less);
        helper.Join();
        std::inplace_merge(order.begin(), middle, order.end(), less);
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
