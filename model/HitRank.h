#pragma once
// The rank of an item hit by a pick: what every nearest-item search compares.
#include <cstdint>
#include <limits>

// Where a hit stands among the hits of one pick, nearest first. Points and lines hit within the pick
// distance come first, by that distance: a curb, a marking or a sign lying on a surface is what a click on
// it means. Then the surfaces that hold the point, the smaller area first, so that a dividing strip in a
// road way wins over the road way and a click deep inside a large surface still finds it. Last the
// surfaces whose outline lies within the pick distance of a point outside them, by that distance.
struct THitRank {
    enum TKind : uint8_t { OnItem, InsideSurface, NearOutline, Miss };
    TKind Kind = Miss;
    // The distance, or the area inside a surface.
    double Key = std::numeric_limits<double>::max();

    bool Hit() const { return Kind != Miss; }
    // Strictly nearer; equal ranks keep the order in which they were met.
    friend bool operator<(const THitRank &a, const THitRank &b) {
        return a.Kind != b.Kind ? a.Kind < b.Kind : a.Key < b.Key;
    }
};
