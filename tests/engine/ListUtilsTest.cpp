#include "engine/ListUtils.h"

#include "engine/Cp1251.h"
#include "engine/StreetError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct TItem {
    int value;
    int tag; // tells equal values apart
};

int CompareInts(int a, int b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

std::vector<int> Shuffled(int n, int range, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<int> v(static_cast<std::size_t>(n));
    for (int &x : v)
        x = static_cast<int>(rng() % static_cast<unsigned>(range));
    return v;
}

} // namespace

TEST(ListUtils, SortListOrdersLikeTheStandardSort) {
    struct Case {
        const char *name;
        std::vector<int> values;
    };
    std::vector<int> ascending(1000), descending(1000), equal(1000, 7);
    for (int i = 0; i < 1000; ++i)
        ascending[static_cast<std::size_t>(i)] = i, descending[static_cast<std::size_t>(i)] = 1000 - i;
    const Case cases[] = {
        {"empty", {}},
        {"two", {2, 1}},
        {"three", {3, 1, 2}},
        {"duplicates", {5, 1, 5, 3, 1, 5, 0}},
        {"ascending", ascending},
        {"descending", descending},
        {"all equal", equal},
        {"random", Shuffled(5000, 100, 1)},
        {"random wide", Shuffled(5000, 1 << 30, 2)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A pointer list sorted by the values it points at; the parameter reaches every comparison.
        std::vector<int> store = c.values;
        std::vector<int *> list;
        for (int &v : store)
            list.push_back(&v);
        int param = 42, calls = 0;
        SortList(list, &param, [&](const int *a, const int *b, const int *p) {
            EXPECT_EQ(p, &param);
            ++calls;
            return CompareInts(*a, *b);
        });
        std::vector<int> got, want = c.values;
        for (const int *p : list)
            got.push_back(*p);
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
        std::vector<int *> sortedPointers = list, originalPointers;
        for (int &v : store)
            originalPointers.push_back(&v);
        std::sort(sortedPointers.begin(), sortedPointers.end());
        EXPECT_EQ(sortedPointers, originalPointers); // a permutation of the same items
    }
    // One item: nothing to compare.
    std::vector<int> one = {1};
    int calls = 0;
    SortList(one, 0, [&](int, int, int) { return ++calls, 0; });
    EXPECT_EQ(calls, 0);
}

TEST(ListUtils, SortToleratesComparisonsThatContradictThemselves) {
    // Such comparisons must not run the scans off the ends of the list; the items stay a permutation.
    const std::vector<std::pair<const char *, int (*)(int, int, int)>> compares = {
        {"always less", [](int, int, int) { return -1; }},
        {"always greater", [](int, int, int) { return 1; }},
        {"by parity of the sum", [](int a, int b, int) { return (a + b) % 2 ? -1 : 1; }},
    };
    for (const auto &[name, compare] : compares) {
        SCOPED_TRACE(name);
        for (int n : {2, 3, 10, 257}) {
            std::vector<int> list(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i)
                list[static_cast<std::size_t>(i)] = i;
            SortList(list, 0, compare);
            std::sort(list.begin(), list.end());
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(list[static_cast<std::size_t>(i)], i);
        }
    }
}

TEST(ListUtils, QuickSortListSortsOnlyItsRange) {
    std::vector<int> list = {9, 8, 7, 6, 5, 4};
    auto cmp = [](int a, int b, int) { return CompareInts(a, b); };
    QuickSortList(list, 1, 4, cmp, 0);
    EXPECT_EQ(list, (std::vector<int>{9, 5, 6, 7, 8, 4}));
    EXPECT_THROW(QuickSortList(list, 0, 6, cmp, 0), EStreetError);
    EXPECT_THROW(QuickSortList(list, -1, 2, cmp, 0), EStreetError);
    QuickSortList(list, 3, 3, cmp, 0); // a single item is sorted
    EXPECT_EQ(list, (std::vector<int>{9, 5, 6, 7, 8, 4}));
}

TEST(ListUtils, SortStringsMovesObjectsWithTheirStrings) {
    int a = 1, b = 2, c = 3, d = 4;
    std::vector<std::pair<Cp1251String, int *>> list = {
        {Cp("Вишня"), &a}, {Cp("абрикос"), &b}, {Cp("Банан"), &c}, {Cp("яблоко"), &d}};
    const auto byText = [](int data, const Cp1251String &s1, const Cp1251String &s2) {
        EXPECT_EQ(data, 7);
        return CompareText(s1, s2);
    };
    SortStrings(list, 0, 3, byText, 7);
    const std::vector<std::pair<Cp1251String, int *>> want = {
        {Cp("абрикос"), &b}, {Cp("Банан"), &c}, {Cp("Вишня"), &a}, {Cp("яблоко"), &d}};
    EXPECT_EQ(list, want);

    // A plain string list; a sub-range leaves the rest in place.
    std::vector<std::string> plain = {"d", "c", "b", "a"};
    SortStrings(
        plain, 1, 3, [](int, const std::string &x, const std::string &y) { return x.compare(y); }, 0);
    EXPECT_EQ(plain, (std::vector<std::string>{"d", "a", "b", "c"}));
}

TEST(ListUtils, PackListDropsNullEntries) {
    int a = 1, b = 2;
    std::vector<int *> list = {&a, nullptr, &b, nullptr};
    PackList(list);
    EXPECT_EQ(list, (std::vector<int *>{&a, &b}));
    EXPECT_EQ(list.capacity(), 2u);

    std::vector<int *> nulls = {nullptr, nullptr};
    PackList(nulls);
    EXPECT_TRUE(nulls.empty());

    std::vector<std::unique_ptr<int>> owned;
    owned.push_back(nullptr);
    owned.push_back(std::make_unique<int>(5));
    owned.push_back(nullptr);
    owned.push_back(std::make_unique<int>(6));
    PackList(owned);
    ASSERT_EQ(owned.size(), 2u);
    EXPECT_EQ(*owned[0], 5);
    EXPECT_EQ(*owned[1], 6);
}

TEST(ListUtils, InsertSortedPlacesEveryItemAfterItsEquals) {
    const auto byValue = [](int, const TItem &x, const TItem &y) { return CompareInts(x.value, y.value); };
    // The list (1, 3, 5, 7): 0 goes first, a second 5 after the first.
    std::vector<TItem> list = {{1, 0}, {3, 0}, {5, 0}, {7, 0}};
    InsertSorted(list, TItem{0, 1}, byValue, 0);
    InsertSorted(list, TItem{5, 1}, byValue, 0);
    std::vector<std::pair<int, int>> got;
    for (const TItem &t : list)
        got.emplace_back(t.value, t.tag);
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{0, 1}, {1, 0}, {3, 0}, {5, 0}, {5, 1}, {7, 0}}));

    // Every list of up to 24 items, with and without runs of equal values, and every value to insert:
    // the item lands right after the last entry not greater than it.
    for (int n = 0; n <= 24; ++n) {
        for (int spread : {1, 2}) {
            std::vector<TItem> base;
            for (int i = 0; i < n; ++i)
                base.push_back({(i / spread) * 2 + 1, i});
            const int top = n == 0 ? 0 : base.back().value;
            for (int v = -1; v <= top + 1; ++v) {
                std::vector<TItem> l = base;
                const std::size_t at = InsertSorted(l, TItem{v, -1}, byValue, 0);
                std::size_t want = 0;
                while (want < base.size() && base[want].value <= v)
                    ++want;
                ASSERT_EQ(at, want) << "n " << n << " spread " << spread << " value " << v;
                ASSERT_EQ(l[at].tag, -1);
                ASSERT_EQ(l.size(), base.size() + 1);
                for (std::size_t i = 0; i + 1 < l.size(); ++i)
                    ASSERT_LE(l[i].value, l[i + 1].value);
            }
        }
    }

    // The data argument reaches the comparison (here: a descending order).
    std::vector<int> desc = {9, 5, 1};
    InsertSorted(
        desc, 6, [](int sign, int x, int y) { return sign * CompareInts(x, y); }, -1);
    EXPECT_EQ(desc, (std::vector<int>{9, 6, 5, 1}));
}

TEST(ListUtils, ExtractFileDirNoSlash) {
    struct Case {
        const char *name, *dir;
    };
    const Case cases[] = {
        {"C:\\Data\\street.zrv", "C:\\Data"},
        {"/home/user/data/street.zrv", "/home/user/data"},
        {"data/sub\\street.zrv", "data/sub"},
        {"street.zrv", ""},
        {"", ""},
        {"C:\\Data\\", "C:\\Data"},
        {"/street.zrv", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ExtractFileDirNoSlash(c.name), c.dir) << c.name;
}
