#include "ShellCtrls/IdList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace kalvera;

namespace {

// A list built byte by byte: one element per size given, each filled with
// its own index, then the terminator.
IdList Build(std::vector<std::uint16_t> sizes) {
    std::vector<BYTE> bytes;
    for (size_t i = 0; i < sizes.size(); ++i) {
        bytes.push_back(static_cast<BYTE>(sizes[i]));
        bytes.push_back(static_cast<BYTE>(sizes[i] >> 8));
        bytes.insert(bytes.end(), sizes[i] - 2, static_cast<BYTE>('a' + i));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    IdList list = IdListAlloc(bytes.size());
    std::memcpy(list.get(), bytes.data(), bytes.size());
    return list;
}

std::vector<BYTE> Bytes(const ITEMIDLIST* list) {
    const auto* p = reinterpret_cast<const BYTE*>(list);
    return {p, p + IdListSize(list)};
}

} // namespace

TEST(IdList, SizesAndCountsWalkTheElements) {
    EXPECT_EQ(IdListSize(nullptr), 0u);
    EXPECT_EQ(IdListSize(Build({}).get()), 2u);
    EXPECT_EQ(IdListSize(Build({10, 6}).get()), 18u);
    EXPECT_EQ(IdListCount(Build({10, 6}).get()), 2);
    EXPECT_EQ(IdListCount(Build({}).get()), 0);
    const IdList list = Build({4, 8});
    EXPECT_EQ(reinterpret_cast<const BYTE*>(IdListNext(list.get())) -
                  reinterpret_cast<const BYTE*>(list.get()),
              4);
}

TEST(IdList, AllocationIsZeroFilled) {
    IdList list = IdListAlloc(64);
    const auto* p = reinterpret_cast<const BYTE*>(list.get());
    EXPECT_TRUE(std::all_of(p, p + 64, [](BYTE b) { return b == 0; }));
}

TEST(IdList, CopyAndConcat) {
    const IdList a = Build({4, 5}), b = Build({6}), empty = Build({});
    EXPECT_EQ(Bytes(IdListCopy(a.get()).get()), Bytes(a.get()));
    EXPECT_EQ(Bytes(IdListConcat(nullptr, b.get()).get()), Bytes(b.get()));
    EXPECT_EQ(Bytes(IdListConcat(a.get(), empty.get()).get()), Bytes(a.get()));
    const IdList joined = IdListConcat(a.get(), b.get());
    EXPECT_EQ(IdListCount(joined.get()), 3);
    EXPECT_EQ(IdListSize(joined.get()), 4u + 5 + 6 + 2);
    std::vector<BYTE> expected = Bytes(a.get());
    expected.resize(expected.size() - 2);
    const std::vector<BYTE> tail = Bytes(b.get());
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(Bytes(joined.get()), expected);
}

TEST(IdList, StripLastAndLastElement) {
    IdList one = Build({5});
    IdListStripLast(one.get());
    EXPECT_EQ(IdListSize(one.get()), 2u);
    IdList empty = Build({});
    IdListStripLast(empty.get());
    EXPECT_EQ(IdListSize(empty.get()), 2u);
    IdListStripLast(nullptr);

    IdList three = Build({3, 4, 5});
    const IdList last = IdListLastElement(three.get());
    EXPECT_EQ(Bytes(last.get()), (std::vector<BYTE>{5, 0, 'c', 'c', 'c', 0, 0}));
    EXPECT_EQ(IdListSize(IdListLastElement(empty.get()).get()), 2u);
    IdListStripLast(three.get());
    EXPECT_EQ(IdListCount(three.get()), 2);
}

TEST(IdList, AncestorsComeDesktopFirstWithoutTheListItself) {
    const IdList xyz = Build({3, 4, 5});
    const auto ancestors = IdListAncestors(xyz.get());
    ASSERT_EQ(ancestors.size(), 3u);
    EXPECT_EQ(IdListCount(ancestors[0].get()), 0);
    EXPECT_EQ(Bytes(ancestors[1].get()), Bytes(Build({3}).get()));
    EXPECT_EQ(Bytes(ancestors[2].get()), Bytes(Build({3, 4}).get()));
    const auto ofOne = IdListAncestors(Build({7}).get());
    ASSERT_EQ(ofOne.size(), 1u);
    EXPECT_EQ(IdListCount(ofOne[0].get()), 0);
    EXPECT_TRUE(IdListAncestors(Build({}).get()).empty());
}
