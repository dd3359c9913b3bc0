#pragma once
// Where an item lies along its reference axis: the stations of its first and last vertex projection and
// the sides its vertices are on. The unified table and the editors' reports show the same figures.
#include "engine/Cp1251.h"
#include "engine/UndefinedValue.h"

class TAbstractItem;
class TGuideAxisInfo;

struct TAxisSpan {
    // Some vertex projects onto the axis on that side (offset >= 0 is the left side).
    bool Left = false, Right = false;
    // The least and greatest station of the vertices that project; undefined when none does.
    double First = UndefinedValue, Last = -UndefinedValue;
    bool Known() const { return Left || Right; }
};

// The span of the item along the axis (nothing known for an axis of fewer than two points).
TAxisSpan ItemAxisSpan(TAbstractItem &item, TAbstractItem &axis);

// The axis's name of the side the span lies on: the centre's for both sides, empty when unknown.
Cp1251String AxisSideName(const TGuideAxisInfo &axis, const TAxisSpan &span);

// A station as reports print it ("%5.1f", "." whatever the locale); empty when undefined or no number.
Cp1251String StationText(double station);

// The item's span along its reference axis and that axis's side name; nothing known when the item has
// no reference axis or the axis names no sides.
struct TItemAxisPlace {
    TAxisSpan Span;
    Cp1251String Side;
};
TItemAxisPlace ItemAxisPlace(TAbstractItem &item);
