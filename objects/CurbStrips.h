#pragma once
// The curb strips along a sidewalk's or a lawn's outline: on each edge shared with a curb, the curb's
// length and the area of its strip (the curb's width by its grade times the edge's length). A strip
// between two surfaces of the same type is shared by both (each counts half); a lawn beside a sidewalk
// edge takes the curb from the sidewalk. Items whose note says "Вне границ" ("out of bounds", any letter
// case) count for nothing.
#include "model/PolygonItem.h"

#include <optional>

// The note says the item lies out of bounds.
bool IsOutOfBounds(const TAbstractItem &item);

struct TCurbStripRules {
    // A lawn (not out of bounds) on the edge leaves the edge without a curb strip (sidewalks).
    bool LawnTakesTheCurb;
};

// The length of edge i along the dense outline (the last edge closes it); 0 for an invalid edge.
double OutlineEdgeLength(TPolygonItem &polygon, int i);
// The curb length of edge i.
double EdgeCurbLength(TPolygonItem &polygon, int i, const TCurbStripRules &rules);
// The curb-strip area of edge i; nothing when a curb that counts has a width the dictionary cannot give.
std::optional<double> EdgeCurbArea(TPolygonItem &polygon, int i, const TCurbStripRules &rules);
// Sums over every edge; the area is unknown when one of its edges is.
double CurbLength(TPolygonItem &polygon, const TCurbStripRules &rules);
std::optional<double> CurbArea(TPolygonItem &polygon, const TCurbStripRules &rules);
