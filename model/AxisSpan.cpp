#include "model/AxisSpan.h"

#include "model/AbstractItem.h"
#include "model/GuideAxisInfo.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

TAxisSpan ItemAxisSpan(TAbstractItem &item, TAbstractItem &axis) {
    TAxisSpan span;
    if (axis.Points.Count() < 2)
        return span;
    for (int i = 0; i < item.Points.Count(); ++i) {
        float t = 0, along = 0, offset = 0;
        if (!axis.Points.Project(item.Points.GetPoint(i), t, along, offset))
            continue;
        (offset >= 0 ? span.Left : span.Right) = true;
        span.First = std::min<double>(span.First, along);
        span.Last = std::max<double>(span.Last, along);
    }
    return span;
}

Cp1251String AxisSideName(const TGuideAxisInfo &axis, const TAxisSpan &span) {
    return span.Left && span.Right ? axis.GetCenterSideName()
           : span.Left             ? axis.GetLeftSideName()
           : span.Right            ? axis.GetRightSideName()
                                   : Cp1251String();
}

TItemAxisPlace ItemAxisPlace(TAbstractItem &item) {
    TItemAxisPlace place;
    TAbstractItem *axis = item.GetReferAxis();
    const auto *guide = dynamic_cast<const TGuideAxisInfo *>(axis);
    if (guide == nullptr)
        return place;
    place.Span = ItemAxisSpan(item, *axis);
    place.Side = AxisSideName(*guide, place.Span);
    return place;
}

Cp1251String StationText(double station) {
    if (!std::isfinite(station) || IsUndefinedValue(station))
        return Cp1251String();
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, station, std::chars_format::fixed, 1);
    std::string s(buf, r.ptr);
    if (s.size() < 5)
        s.insert(0, 5 - s.size(), ' ');
    return Cp1251String(s);
}
