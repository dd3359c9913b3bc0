#include "objects/CurbStrips.h"

#include "model/ItemTypeCodes.h"
#include "objects/BortItem.h"

namespace {

const Cp1251String &OutOfBoundsNote() {
    static const Cp1251String note = UpperCase(Cp("Вне границ"));
    return note;
}

} // namespace

bool IsOutOfBounds(const TAbstractItem &item) {
    return UpperCase(item.Comment()) == OutOfBoundsNote();
}

double OutlineEdgeLength(TPolygonItem &polygon, int i) {
    TPointList &points = polygon.Points;
    points.EnsureGeometry();
    const std::vector<int32_t> &index = points.DenseIndex();
    const std::vector<float> &lengths = points.Lengths();
    if (i < 0 || static_cast<std::size_t>(i) + 1 >= index.size())
        return 0;
    const auto a = static_cast<std::size_t>(index[static_cast<std::size_t>(i)]);
    const auto b = static_cast<std::size_t>(index[static_cast<std::size_t>(i) + 1]);
    if (a >= lengths.size() || b >= lengths.size())
        return 0;
    return double(lengths[b]) - lengths[a];
}

double EdgeCurbLength(TPolygonItem &polygon, int i, const TCurbStripRules &rules) {
    double result = 0;
    for (const TPointList::TEdgeNeighbour &nb : polygon.Points.GetEdgeNeighbours(i)) {
        const TAbstractItem *other = nb.List->GetOwner();
        if (!other || IsOutOfBounds(*other))
            continue;
        const int type = other->GetTypeCode();
        if (rules.LawnTakesTheCurb && type == GazonTypeCode)
            return 0;
        if (type == BortTypeCode)
            result = OutlineEdgeLength(polygon, i);
    }
    return result;
}

std::optional<double> EdgeCurbArea(TPolygonItem &polygon, int i, const TCurbStripRules &rules) {
    const std::vector<TPointList::TEdgeNeighbour> neighbours = polygon.Points.GetEdgeNeighbours(i);
    std::optional<double> result = 0.0;
    for (const TPointList::TEdgeNeighbour &nb : neighbours) {
        const TAbstractItem *other = nb.List->GetOwner();
        if (!other || IsOutOfBounds(*other))
            continue;
        const int type = other->GetTypeCode();
        if (rules.LawnTakesTheCurb && type == GazonTypeCode)
            return 0.0;
        if (type == BortTypeCode) {
            const auto *curb = dynamic_cast<const TBortItem *>(other);
            const std::optional<float> width = curb ? curb->GetWidthByKind() : std::nullopt;
            if (width)
                result = double(*width) * OutlineEdgeLength(polygon, i);
            else
                result.reset();
        }
    }
    if (!result || *result == 0)
        return result;
    const int own = polygon.GetTypeCode();
    for (const TPointList::TEdgeNeighbour &nb : neighbours) {
        const TAbstractItem *other = nb.List->GetOwner();
        if (other && other->GetTypeCode() == own && !IsOutOfBounds(*other))
            return *result / 2.0;
    }
    return result;
}

double CurbLength(TPolygonItem &polygon, const TCurbStripRules &rules) {
    double sum = 0;
    for (int i = 0; i < polygon.Points.Count(); ++i)
        sum += EdgeCurbLength(polygon, i, rules);
    return sum;
}

std::optional<double> CurbArea(TPolygonItem &polygon, const TCurbStripRules &rules) {
    double sum = 0;
    for (int i = 0; i < polygon.Points.Count(); ++i) {
        const std::optional<double> edge = EdgeCurbArea(polygon, i, rules);
        if (!edge)
            return std::nullopt;
        sum += *edge;
    }
    return sum;
}
