#pragma once
// Generic list operations: the quicksort with a middle pivot behind every sorted list of the system (not
// stable), the same sort over string lists whose entries carry an object, removal of null entries,
// insertion into a sorted list, and the folder part of a file name.
//
// Lists are std::vector. A string list is a vector of strings, or of (string, object) pairs whose object
// moves with its string.
#include "engine/StreetError.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace listutils_detail {

template <class S> const S &StringOf(const S &s) {
    return s;
}
template <class S, class O> const S &StringOf(const std::pair<S, O> &entry) {
    return entry.first;
}

// Sorts seq[lo .. hi] by order(key(a), key(b)) < 0, = 0, > 0. The pivot's key is copied once, before any
// exchange. The scans stop at the ends of the range, so a comparison that contradicts itself (a NaN
// distance, say) gives some order but never reads outside the list; with a consistent one they make no
// difference. Recursing into the smaller part and looping over the larger keeps the stack depth
// logarithmic; the parts are disjoint, so the order is the same as recursing on the left part first.
template <class Seq, class Key, class Order>
void QuickSort(Seq &seq, std::ptrdiff_t lo, std::ptrdiff_t hi, const Key &key, const Order &order) {
    while (lo < hi) {
        std::ptrdiff_t i = lo, j = hi;
        const auto pivot = key(seq[static_cast<std::size_t>(lo + (hi - lo) / 2)]);
        do {
            while (i < hi && order(key(seq[static_cast<std::size_t>(i)]), pivot) < 0)
                ++i;
            while (j > lo && order(key(seq[static_cast<std::size_t>(j)]), pivot) > 0)
                --j;
            if (i <= j) {
                if (i != j)
                    std::swap(seq[static_cast<std::size_t>(i)], seq[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - lo < hi - i) {
            if (lo < j)
                QuickSort(seq, lo, j, key, order);
            lo = i;
        } else {
            if (i < hi)
                QuickSort(seq, i, hi, key, order);
            hi = j;
        }
    }
}

inline void CheckRange(const char *where, std::ptrdiff_t lo, std::ptrdiff_t hi, std::size_t count) {
    if (lo < hi && (lo < 0 || hi >= static_cast<std::ptrdiff_t>(count)))
        RaiseStreetError(where, "range " + std::to_string(lo) + " .. " + std::to_string(hi) +
                                    " outside the list of " + std::to_string(count) + " items");
}

} // namespace listutils_detail

// Sorts list[lo .. hi] by compare(a, b, param) (<0, 0, >0). An empty range (lo >= hi) does nothing; a
// range outside the list throws EStreetError.
template <class T, class Compare, class Param>
void QuickSortList(std::vector<T> &list, std::ptrdiff_t lo, std::ptrdiff_t hi, const Compare &compare,
                   const Param &param) {
    listutils_detail::CheckRange("QuickSortList", lo, hi, list.size());
    listutils_detail::QuickSort(
        list, lo, hi, [](const T &e) -> const T & { return e; },
        [&](const T &a, const T &b) { return compare(a, b, param); });
}

// Sorts the whole list when it holds more than one item.
template <class T, class Param, class Compare>
void SortList(std::vector<T> &list, const Param &param, const Compare &compare) {
    if (list.size() > 1)
        QuickSortList(list, 0, static_cast<std::ptrdiff_t>(list.size()) - 1, compare, param);
}

// Sorts strings[lo .. hi] by compare(data, s1, s2) on the strings; an entry's object moves with its string.
template <class Entry, class Compare, class Data>
void SortStrings(std::vector<Entry> &strings, std::ptrdiff_t lo, std::ptrdiff_t hi, const Compare &compare,
                 const Data &data) {
    listutils_detail::CheckRange("SortStrings", lo, hi, strings.size());
    using S = std::remove_cvref_t<decltype(listutils_detail::StringOf(strings.front()))>;
    listutils_detail::QuickSort(
        strings, lo, hi, [](const Entry &e) -> const S & { return listutils_detail::StringOf(e); },
        [&](const S &a, const S &b) { return compare(data, a, b); });
}

// Removes the null entries, keeping the order of the rest; the capacity becomes their number.
template <class P> void PackList(std::vector<P> &list) {
    const auto n = static_cast<std::size_t>(
        std::count_if(list.begin(), list.end(), [](const P &p) { return p != nullptr; }));
    std::vector<P> packed;
    packed.reserve(n);
    for (P &p : list)
        if (p != nullptr)
            packed.push_back(std::move(p));
    list.swap(packed);
}

// Inserts item into a list kept sorted by compare(data, a, b) (<0, 0, >0), after every entry that is not
// greater than it (so an item equal to existing ones goes after them). Returns the index it took.
template <class T, class U, class Compare, class Data>
std::size_t InsertSorted(std::vector<T> &list, U &&item, const Compare &compare, const Data &data) {
    std::size_t lo = 0, hi = list.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (compare(data, list[mid], item) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(lo), std::forward<U>(item));
    return lo;
}

// The folder of a file name without the separator after it ("\" and "/" both separate); a name without a
// folder gives an empty string.
std::string ExtractFileDirNoSlash(std::string_view fileName);
