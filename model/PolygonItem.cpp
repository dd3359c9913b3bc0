#include "model/PolygonItem.h"

#include "engine/DxPrimBuilders.h"
#include "engine/DxTess3.h"
#include "model/GuideAxisInfo.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include "engine/UndefinedValue.h"
#include "model/ItemTypeCodes.h"
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

double SegmentDistance(const TXYZ &p, const TXYZ &a, const TXYZ &b) {
    const double abx = double(b.x) - a.x, aby = double(b.y) - a.y;
    const double apx = double(p.x) - a.x, apy = double(p.y) - a.y;
    const double len2 = abx * abx + aby * aby;
    double t = len2 > 0 ? (apx * abx + apy * aby) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double dx = apx - t * abx, dy = apy - t * aby;
    return std::sqrt(dx * dx + dy * dy);
}

bool SameOutline(const TXYZArray &a, const TXYZArray &b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(TXYZ)) == 0);
}

const Cp1251String &PasspAttribute() {
    static const Cp1251String s("PasspSq");
    return s;
}

// Where a point lies along an axis; nothing when the axis has no segment.
struct TAlong {
    float T = 0, Along = 0, Offset = 0;
};
bool ProjectOn(TAbstractItem &axis, const TXYZ &p, TAlong &r) {
    return axis.Points.Project(p, r.T, r.Along, r.Offset);
}

} // namespace

TPolygonItem::TPolygonItem() = default;

void TPolygonItem::Created() {
    BindContainer(PasspAxisRef);
}

// ---- Record

void TPolygonItem::LoadFromStream(TStream &stream) {
    TAbstractItem::LoadFromStream(stream);
    Invalid = Points.Count() < 3;
    if (CheckStreamTag(stream, "POLYCONN"))
        PasspAxisRef.LoadFromStream(stream);
}

void TPolygonItem::SaveToStream(TStream &stream) const {
    TAbstractItem::SaveToStream(stream);
    WriteStreamTag(stream, "POLYCONN");
    PasspAxisRef.SaveToStream(stream);
}

// ---- Geometry

void TPolygonItem::EnsureTriangulation() {
    Points.EnsureGeometry();
    const TXYZArray &outline = Points.Dense();
    if (Triangulated_ && SameOutline(outline, TriangulatedOutline_))
        return;
    Triangles_.clear();
    Complete_ = true;
    if (Points.Count() >= 3 && outline.size() >= 3) {
        TTriangulation t = Triangulate(outline);
        Triangles_ = std::move(t.Triangles);
        Complete_ = t.Complete;
    }
    TriangulatedOutline_ = outline;
    Triangulated_ = true;
}

const TXYZArray &TPolygonItem::Triangles() {
    EnsureTriangulation();
    return Triangles_;
}

bool TPolygonItem::TrianglesComplete() {
    EnsureTriangulation();
    return Complete_;
}

double TPolygonItem::Area() {
    EnsureTriangulation();
    double sum = 0;
    if (Complete_) {
        for (std::size_t i = 0; i + 2 < Triangles_.size(); i += 3) {
            const TXYZ &a = Triangles_[i], &b = Triangles_[i + 1], &c = Triangles_[i + 2];
            sum += std::fabs((double(b.x) - a.x) * (double(c.y) - a.y) -
                             (double(c.x) - a.x) * (double(b.y) - a.y));
        }
        return sum / 2;
    }
    const TXYZArray &d = Points.Dense();
    for (std::size_t i = 0; i + 1 < d.size(); ++i)
        sum += double(d[i].x) * d[i + 1].y - double(d[i + 1].x) * d[i].y;
    return std::fabs(sum) / 2;
}

double TPolygonItem::OutlineDistance(const TXYZ &point) {
    Points.EnsureGeometry();
    const TXYZArray &d = Points.Dense();
    double best = UndefinedValue;
    for (std::size_t i = 0; i + 1 < d.size(); ++i)
        best = std::min(best, SegmentDistance(point, d[i], d[i + 1]));
    return best;
}

bool TPolygonItem::Contains(const TXYZ &point) {
    Points.EnsureGeometry();
    const TXYZArray &d = Points.Dense();
    if (Points.Count() < 3 || d.size() < 3)
        return false;
    // The dense outline of a closed item ends on its start, so every edge is a pair of neighbours.
    const double px = point.x, py = point.y;
    bool inside = false;
    for (std::size_t i = 0; i + 1 < d.size(); ++i) {
        const TXYZ &a = d[i], &b = d[i + 1];
        if ((a.y > py) != (b.y > py)) {
            const double x = a.x + (py - a.y) * (double(b.x) - a.x) / (double(b.y) - a.y);
            if (px < x)
                inside = !inside;
        }
    }
    return inside || OutlineDistance(point) == 0;
}

THitRank TPolygonItem::Locate(const TXYZ &point) {
    Points.EnsureGeometry();
    if (Points.Count() < 3 || Points.Dense().size() < 3)
        return {};
    if (Contains(point))
        return {THitRank::InsideSurface, Area()};
    return {THitRank::NearOutline, OutlineDistance(point)};
}

bool TPolygonItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    const THitRank at = Locate(point);
    distance = at.Hit() ? at.Key : UndefinedValue;
    return at.Kind == THitRank::InsideSurface || (at.Hit() && distance < maxDistance);
}

THitRank TPolygonItem::PickRank(const TXYZ &point, double maxDistance) {
    const THitRank at = Locate(point);
    return at.Kind == THitRank::NearOutline && !(at.Key < maxDistance) ? THitRank{} : at;
}

// ---- Drawing

void TPolygonItem::InitPolygonBatches(TStreetStructure &street, int typeCode, D3DCOLOR fill,
                                      D3DCOLOR outline) {
    TItemBatchPtr f = NewItemBatch(TBatchKind::Triangles);
    f->SetColor(fill);
    TItemBatchPtr l = NewItemBatch(TBatchKind::Lines);
    l->SetColor(outline);
    street.TypeBatches(typeCode) = {f, l};
}

void TPolygonItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    TItemBatches &batches = street->TypeBatches(GetTypeCode());
    TItemBatch *fill = !batches.empty() ? batches[0].get() : nullptr;
    TItemBatch *line = batches.size() > 1 ? batches[1].get() : nullptr;
    if (fill)
        fill->SetLayerFilter(PlanLayerMask);
    if (line)
        line->SetLayerFilter(PlanLayerMask);
    Points.EnsureGeometry();
    if (Points.Count() < 3)
        return;
    if (TDxPrimCollection *prims = PrimCollection(fill))
        DxAddTriangles(*prims, Serial(), Triangles());
    static const Cp1251String diffEdges("UpdateDiffTagEdges"), allEdges("UpdateAllEdges");
    if (line && street->GetBoolOption(diffEdges))
        Points.BuildBorderEdges(*line, Serial());
    if (line && street->GetBoolOption(allEdges))
        Points.BuildAllEdges(*line, Serial());
}

// ---- Passport axis

void TPolygonItem::SetPasspAxis(TAbstractItem *axis) {
    PasspAxisRef.Put(0, axis);
}

TAbstractItem *TPolygonItem::GetPasspAxis() {
    if (PasspAxisRef.Count() > 0 && PasspAxisRef.Items(0))
        return PasspAxisRef.Items(0);
    if (!Street())
        return nullptr;
    const int n = Points.Count();
    TAbstractItem *found = nullptr;
    for (const auto &item : Street()->Lists(AxisTypeCode)) {
        const auto *info = dynamic_cast<const TGuideAxisInfo *>(item.get());
        if (!info || !info->HasAttribute(PasspAttribute()))
            continue;
        int crossings = 0;
        for (int i = 0; i < n; ++i) {
            float t = 0;
            if (item->Points.IntersectsSegment(Points.GetPoint(i), Points.GetPoint((i + 1) % n), t))
                ++crossings;
        }
        if (crossings != 2)
            continue;
        if (found)
            return nullptr;
        found = item.get();
    }
    return found;
}

bool TPolygonItem::FindAxisCrossings(float &tFirst, float &tLast, int &edgeFirst, int &edgeLast, int &count) {
    count = 0;
    tFirst = UndefinedValueF;
    tLast = -UndefinedValueF;
    edgeFirst = edgeLast = -1;
    TAbstractItem *s = GetPasspAxis();
    if (!s)
        return false;
    const int n = Points.Count();
    for (int i = 0; i < n; ++i) {
        float t = 0;
        if (!s->Points.IntersectsSegment(Points.GetPoint(i), Points.GetPoint((i + 1) % n), t))
            continue;
        ++count;
        if (t < tFirst) {
            tFirst = t;
            edgeFirst = i;
        }
        if (t > tLast) {
            tLast = t;
            edgeLast = i;
        }
    }
    if (count != 2)
        return false;
    if (TAbstractItem *r = GetReferAxis()) {
        TAlong a, b;
        if (ProjectOn(*r, s->Points.PointAtParam(tFirst), a) &&
            ProjectOn(*r, s->Points.PointAtParam(tLast), b) && a.Along > b.Along) {
            std::swap(tFirst, tLast);
            std::swap(edgeFirst, edgeLast);
        }
    }
    return true;
}

bool TPolygonItem::GetAxisMeasures(TAxisMeasures &m) {
    m = TAxisMeasures{};
    m.Area = Area();
    m.AreaReliable = AreaReliable();
    const int n = Points.Count();
    TAbstractItem *r = GetReferAxis();
    if (n < 3 || !r)
        return false;
    r->Points.EnsureGeometry();
    if (r->Points.Dense().size() < 2)
        return false;

    // Side and station extent from the vertices' places along the reference axis.
    const auto *info = dynamic_cast<const TGuideAxisInfo *>(r);
    bool left = false, right = false;
    double lo = UndefinedValue, hi = -UndefinedValue;
    for (int i = 0; i < n; ++i) {
        TAlong p;
        ProjectOn(*r, Points.GetPoint(i), p);
        (p.Offset > 0 ? left : right) = true;
        lo = std::min(lo, double(p.Along));
        hi = std::max(hi, double(p.Along));
    }
    if (left && !right)
        m.SideName = info ? info->GetLeftSideName() : DefaultLeftSideName();
    else if (right && !left)
        m.SideName = info ? info->GetRightSideName() : DefaultRightSideName();
    else
        m.SideName = info ? info->GetCenterSideName() : DefaultCenterSideName();
    m.StartStation = lo;
    m.EndStation = hi;

    float tFirst = 0, tLast = 0;
    int edgeFirst = -1, edgeLast = -1, count = 0;
    if (!FindAxisCrossings(tFirst, tLast, edgeFirst, edgeLast, count))
        return false;
    TAbstractItem &s = *GetPasspAxis();
    TPointList &sp = s.Points;
    m.Length = std::fabs(double(sp.DistanceAtParam(tLast)) - sp.DistanceAtParam(tFirst));

    // Every vertex along the passport axis.
    std::vector<TAlong> onS(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        ProjectOn(s, Points.GetPoint(i), onS[static_cast<std::size_t>(i)]);
    auto width = [&](int edge, float tCross) {
        const double d = sp.DistanceAtParam(tCross);
        const TAlong &a = onS[static_cast<std::size_t>(edge)],
                     &b = onS[static_cast<std::size_t>((edge + 1) % n)];
        double wlo = std::min(a.Offset, b.Offset), whi = std::max(a.Offset, b.Offset);
        for (const TAlong &v : onS)
            if (std::fabs(double(v.Along) - d) <= 0.1 * m.Length) {
                wlo = std::min(wlo, double(v.Offset));
                whi = std::max(whi, double(v.Offset));
            }
        return whi - wlo;
    };
    m.StartWidth = width(edgeFirst, tFirst);
    m.EndWidth = width(edgeLast, tLast);

    // An end that runs out into a narrow tip along the axis has no width there; the tip is its end.
    int tipA = 0, tipB = 0;
    for (int i = 1; i < n; ++i) {
        if (onS[static_cast<std::size_t>(i)].T < onS[static_cast<std::size_t>(tipA)].T)
            tipA = i;
        if (onS[static_cast<std::size_t>(i)].T > onS[static_cast<std::size_t>(tipB)].T)
            tipB = i;
    }
    {
        TAlong a, b;
        if (ProjectOn(*r, Points.GetPoint(tipA), a) && ProjectOn(*r, Points.GetPoint(tipB), b) &&
            b.Along < a.Along)
            std::swap(tipA, tipB);
    }
    const TXYZArray &dense = Points.Dense();
    const std::vector<int32_t> &denseIndex = Points.DenseIndex();
    const double cos30 = std::cos(std::numbers::pi / 6);
    auto isTip = [&](int v) {
        if (static_cast<std::size_t>(v) >= denseIndex.size() || dense.size() < 3)
            return false;
        const std::size_t di = static_cast<std::size_t>(denseIndex[static_cast<std::size_t>(v)]);
        if (di + 1 >= dense.size())
            return false;
        const TXYZ &p = dense[di];
        const TXYZ &prev = di > 0 ? dense[di - 1] : dense[dense.size() - 2];
        const TXYZ &next = dense[di + 1];
        const double ax = double(prev.x) - p.x, ay = double(prev.y) - p.y;
        const double bx = double(next.x) - p.x, by = double(next.y) - p.y;
        const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
        if (!(la > 0) || !(lb > 0))
            return false;
        if ((ax * bx + ay * by) / (la * lb) <= cos30)
            return false;
        const double axis = sp.DirectionAtParam(onS[static_cast<std::size_t>(v)].T);
        return std::fabs(std::cos(std::atan2(ay, ax) - axis)) > cos30 &&
               std::fabs(std::cos(std::atan2(by, bx) - axis)) > cos30;
    };
    if (isTip(tipA)) {
        m.StartWidth = 0;
        tFirst = onS[static_cast<std::size_t>(tipA)].T;
    }
    if (isTip(tipB)) {
        m.EndWidth = 0;
        tLast = onS[static_cast<std::size_t>(tipB)].T;
    }
    m.Length = std::fabs(double(sp.DistanceAtParam(tLast)) - sp.DistanceAtParam(tFirst));

    // The crossings give the stations, unless they cover less than half of the vertices' extent.
    TAlong a, b;
    if (ProjectOn(*r, sp.PointAtParam(tFirst), a) && ProjectOn(*r, sp.PointAtParam(tLast), b) &&
        !(2 * (double(b.Along) - a.Along) < m.EndStation - m.StartStation)) {
        m.StartStation = a.Along;
        m.EndStation = b.Along;
    }
    return true;
}

// ---- Measures over other items

double TPolygonItem::SumOverlapArea(int typeCode, bool includeInactive, const TItemValueCallback &callback) {
    double sum = 0;
    if (!Street())
        return sum;
    EnsureTriangulation();
    for (const auto &item : Street()->Lists(typeCode)) {
        if (!includeInactive && !item->Active)
            continue;
        auto *other = dynamic_cast<TPolygonItem *>(item.get());
        if (!other)
            break;
        const double v = AreasOverlapArea(Triangles_, other->Triangles());
        if (v != 0) {
            sum += v;
            if (callback)
                callback(other, v);
        }
    }
    return sum;
}

double TPolygonItem::SumLengthInside(int typeCode, bool includeInactive, const TItemValueCallback &callback) {
    double sum = 0;
    if (!Street())
        return sum;
    EnsureTriangulation();
    for (const auto &item : Street()->Lists(typeCode)) {
        if (!includeInactive && !item->Active)
            continue;
        item->Points.EnsureGeometry();
        const double v = PolylineLengthInArea(item->Points.Dense(), Triangles_);
        if (v != 0) {
            sum += v;
            if (callback)
                callback(item.get(), v);
        }
    }
    return sum;
}

int TPolygonItem::CountPointsInside(int typeCode, bool includeInactive, const TItemValueCallback &callback) {
    int count = 0;
    if (!Street())
        return count;
    for (const auto &item : Street()->Lists(typeCode)) {
        if (!includeInactive && !item->Active)
            continue;
        if (item->Points.Count() > 0 && Contains(item->Points.GetPoint(0))) {
            ++count;
            if (callback)
                callback(item.get(), 1);
        }
    }
    return count;
}
