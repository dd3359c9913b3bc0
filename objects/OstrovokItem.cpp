#include "objects/OstrovokItem.h"

#include "engine/DxPrimBuilders.h"
#include "model/ItemIndex.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

const std::array<Cp1251String, 5> OstrovokGostNames = {Cp1251String("1.16.1"), Cp1251String("1.16.2"),
                                                       Cp1251String("1.16.3"), Cp1251String("1.16.4(*)"),
                                                       Cp1251String("1.16.5(*)")};

namespace {

// A plan vector in double.
struct TVec {
    double x = 0, y = 0;
};

TVec Sub(const TXYZ &a, const TXYZ &b) {
    return {double(a.x) - b.x, double(a.y) - b.y};
}
double Cross(const TVec &a, const TVec &b) {
    return a.x * b.y - a.y * b.x;
}
double Dot(const TVec &a, const TVec &b) {
    return a.x * b.x + a.y * b.y;
}
double Len(const TVec &a) {
    return std::hypot(a.x, a.y);
}
TVec Scaled(const TVec &a, double s) {
    return {a.x * s, a.y * s};
}
TXYZ Offset(const TXYZ &p, const TVec &v, double s) {
    return {float(p.x + v.x * s), float(p.y + v.y * s), p.z};
}
bool Finite(const TXYZ &p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}
double QuadArea(const TXYZ &p0, const TXYZ &p1, const TXYZ &p2, const TXYZ &p3) {
    return std::fabs(Cross(Sub(p1, p0), Sub(p2, p0))) / 2 + std::fabs(Cross(Sub(p3, p2), Sub(p0, p2))) / 2;
}
double TrianglePaint(const TXYZ &a, const TXYZ &b, const TXYZ &c) {
    return std::fabs(Cross(Sub(b, a), Sub(c, a))) / 2;
}

// The frame of the standard schemes: origin at the nose, x along the axis towards the last vertex, y to
// its left.
struct TAxisFrame {
    TXYZ Origin;
    TVec U;

    TVec To(const TXYZ &p) const {
        const TVec d = Sub(p, Origin);
        return {Dot(d, U), Cross(U, d)};
    }
    TXYZ From(const TVec &p) const {
        return {float(Origin.x + p.x * U.x - p.y * U.y), float(Origin.y + p.x * U.y + p.y * U.x), Origin.z};
    }
};

// One stripe edge of a standard scheme: where it leaves the axis and where it meets the side.
struct TEdgeHit {
    TVec Axis, Side;
};

// Walks a side in the axis frame, edge after edge of up to four stripes, and returns how many stripes
// have both edges on it. The hatch line of an edge at station s is y = k (x - s).
int SideStripes(const std::vector<TVec> &side, double k, double step, double c, double axisLength,
                bool limitByAxis, std::vector<TEdgeHit> &hits) {
    hits.clear();
    const std::size_t segments = side.size() - 1;
    const double farX = side.back().x;
    std::size_t seg = 0;
    for (int i = 0; i < 4; ++i) {
        for (int e = 0; e < 2; ++e) {
            const double s = (i + 1) * step + (e == 0 ? -0.2 : 0.2) * c;
            // Past a segment while the hatch line at its far end stays on the near side of it.
            while (seg + 1 < segments) {
                const TVec &b = side[seg + 1];
                const double lineAtEnd = k * (b.x - s);
                if (k >= 0 ? !(lineAtEnd < b.y) : !(lineAtEnd > b.y))
                    break;
                ++seg;
            }
            const TVec &a = side[seg], &b = side[seg + 1];
            // The crossing of the hatch line with the segment's line; a segment along the hatch line (or of
            // no length) has none, and the stripe is not drawn.
            const double den = (b.y - a.y) - k * (b.x - a.x);
            if (den == 0 || !std::isfinite(den))
                return i;
            const double t = (k * (a.x - s) - a.y) / den;
            const double x = a.x + t * (b.x - a.x);
            if (!std::isfinite(x) || x > farX || (limitByAxis && s > axisLength))
                return i;
            hits.push_back({{s, 0}, {x, k * (x - s)}});
        }
    }
    return 4;
}

// The stations of the side points of the nose hatch: the distance along the axis, tilted by the angle.
std::vector<double> SideStations(std::span<const TXYZ> side, double axisAngle, double tilt) {
    std::vector<double> st;
    if (side.empty())
        return st;
    const double tanTilt = std::tan(tilt);
    st.reserve(side.size());
    st.push_back(0);
    double x = 0, y = 0;
    for (std::size_t i = 1; i < side.size(); ++i) {
        const TVec d = Sub(side[i], side[i - 1]);
        const double len = Len(d);
        const double a = std::atan2(d.y, d.x) - axisAngle;
        x += len * std::cos(a);
        y += len * std::sin(a);
        st.push_back(x - tanTilt * y);
    }
    return st;
}

bool PointAtStation(std::span<const TXYZ> side, const std::vector<double> &st, double d, TXYZ &p) {
    for (std::size_t i = 0; i + 1 < st.size(); ++i) {
        if (!(st[i] <= d && d <= st[i + 1]))
            continue;
        const double span = st[i + 1] - st[i];
        const double t = span > 0 ? (d - st[i]) / span : 0.0;
        p = VectorLerp(side[i], side[i + 1], float(t));
        return Finite(p);
    }
    return false;
}

} // namespace

// ---- TOstrovokItem

TOstrovokItem::TOstrovokItem() = default;

void TOstrovokItem::ClassInitDrawBatches(TStreetStructure &street) {
    InitPolygonBatches(street, OstrovokTypeCode, BatchColor, BatchColor);
}

void TOstrovokItem::LoadFromStream(TStream &stream) {
    const char *what = "TOstrovokItem.LoadFromStream";
    TPolygonItem::LoadFromStream(stream);
    if (CheckStreamTag(stream, "OSTRMNPT"))
        MainPoint = stream.ReadInt32(what);
    if (CheckStreamTag(stream, "OSTRGOST")) {
        const int64_t at = stream.Position();
        const uint8_t v = stream.ReadByte(what);
        if (v >= GostVariantCount) {
            stream.Seek(at, TSeekOrigin::Begin);
            stream.Fail(what, "scheme " + std::to_string(v) + " outside 0..4");
        }
        GostVariant_ = v;
    }
    StandardScheme = CheckStreamTag(stream, "OSTRGSCH") ? stream.ReadByte(what) : 0;
    if (CheckStreamTag(stream, "OSTRNOTL"))
        NoOutline = stream.ReadByte(what);
}

void TOstrovokItem::SaveToStream(TStream &stream) const {
    TPolygonItem::SaveToStream(stream);
    WriteStreamTag(stream, "OSTRMNPT");
    stream.WriteInt32(MainPoint);
    WriteStreamTag(stream, "OSTRGOST");
    stream.WriteByte(GostVariant_);
    if (StandardScheme != 0) {
        WriteStreamTag(stream, "OSTRGSCH");
        stream.WriteByte(StandardScheme);
    }
    WriteStreamTag(stream, "OSTRNOTL");
    stream.WriteByte(NoOutline);
}

bool TOstrovokItem::SetGostVariant(int variant) {
    if (variant < 0 || variant >= GostVariantCount)
        return false;
    if (GostVariant_ != variant || StandardScheme != 1)
        NotifyModified();
    GostVariant_ = static_cast<uint8_t>(variant);
    StandardScheme = 1;
    return true;
}

int TOstrovokItem::EffectiveMainPoint() const {
    const int n = Points.Count();
    if (n < 3)
        return 1;
    return std::clamp<int>(MainPoint, 1, n - 2);
}

TDxPrimCollection *TOstrovokItem::Batch(std::size_t i) const {
    if (!Street())
        return nullptr;
    const TItemBatches &batches = Street()->TypeBatches(OstrovokTypeCode);
    return i < batches.size() && batches[i] ? PrimCollection(batches[i].get()) : nullptr;
}

void TOstrovokItem::SetBatchColors(D3DCOLOR color) const {
    for (std::size_t i = 0; i < 2; ++i)
        if (TDxPrimCollection *b = Batch(i)) {
            b->SetColor(color);
            b->SetLayerMask(PlanLayerMask);
        }
}

std::optional<double> TOstrovokItem::GetPaintArea() {
    if (GetPaintDoubt() != TPaintDoubt::None)
        return std::nullopt;
    return FillArea + 0.1 * OutlineLength;
}

TOstrovokItem::TPaintDoubt TOstrovokItem::GetPaintDoubt() {
    UpdateGraphics();
    return PaintDoubt_;
}

void TOstrovokItem::RebuildGraphics() {
    FillArea = 0;
    OutlineLength = 0;
    HatchQuads.clear();
    FillTriangles.clear();
    PaintDoubt_ = TPaintDoubt::None;
    Points.EnsureGeometry();
    if (Points.Count() < 3) {
        Doubt(TPaintDoubt::FewVertices);
        return;
    }
    for (int i = 0; i < Points.Count(); ++i)
        if (const TXYZ p = Points.GetPoint(i); !std::isfinite(p.x) || !std::isfinite(p.y)) {
            Doubt(TPaintDoubt::NotFinite);
            break;
        }
    if (StandardScheme != 0)
        BuildStandardHatch();
    else
        BuildMainPointHatch();
    if (HatchQuads.empty() && FillTriangles.empty()) {
        AddFillTriangles(Triangles());
        if (!TrianglesComplete())
            Doubt(TPaintDoubt::IncompleteFill);
    }
    if (!std::isfinite(FillArea) || !std::isfinite(OutlineLength))
        Doubt(TPaintDoubt::NotFinite);
}

void TOstrovokItem::AddOutline(std::span<const TXYZ> points, int from, int to) {
    from = std::max(from, 0);
    to = std::min<int>(to, static_cast<int>(points.size()) - 1);
    if (to <= from)
        return;
    if (TDxPrimCollection *tri = Batch(0))
        DxAddWideStrip(*tri, Serial(), points, from, to, -0.05f, 0.05f, 0, 0, 0);
    if (TDxPrimCollection *lines = Batch(1))
        DxAddPolylineRange(*lines, Serial(), points, to, from);
    for (int i = from; i < to; ++i)
        OutlineLength +=
            Len(Sub(points[static_cast<std::size_t>(i) + 1], points[static_cast<std::size_t>(i)]));
}

void TOstrovokItem::AddHatchQuads(std::span<const TXYZ> quads) {
    const std::size_t n = quads.size() / 4 * 4;
    if (n == 0)
        return;
    quads = quads.first(n);
    if (TDxPrimCollection *tri = Batch(0))
        DxAddQuads(*tri, Serial(), quads);
    // The stripe's two long edges.
    if (TDxPrimCollection *lines = Batch(1))
        DxAddLines(*lines, Serial(), quads);
    HatchQuads.insert(HatchQuads.end(), quads.begin(), quads.end());
    for (std::size_t i = 0; i < n; i += 4)
        FillArea += QuadArea(quads[i], quads[i + 1], quads[i + 2], quads[i + 3]);
}

void TOstrovokItem::AddFillTriangles(std::span<const TXYZ> triangles) {
    const std::size_t n = triangles.size() / 3 * 3;
    if (n == 0)
        return;
    triangles = triangles.first(n);
    if (TDxPrimCollection *tri = Batch(0))
        DxAddTriangles(*tri, Serial(), triangles);
    FillTriangles.insert(FillTriangles.end(), triangles.begin(), triangles.end());
    for (std::size_t i = 0; i < n; i += 3)
        FillArea += TrianglePaint(triangles[i], triangles[i + 1], triangles[i + 2]);
}

void TOstrovokItem::BuildStandardHatch() {
    SetBatchColors(BatchColor);
    if (GostVariant_ == 3) {
        BuildCombHatch();
        return;
    }
    if (GostVariant_ == 4) {
        BuildEdgeStripes();
        return;
    }
    const int n = Points.Count();
    if (n < 3)
        return;
    Points.EnsureGeometry();
    const TXYZArray &d = Points.Dense();
    const std::vector<int32_t> &di = Points.DenseIndex();
    const int mp = EffectiveMainPoint();
    if (NoOutline == 0)
        AddOutline(d, 0, di[static_cast<std::size_t>(n - 2)]);

    const TXYZ m = d[static_cast<std::size_t>(di[static_cast<std::size_t>(mp)])];
    const TVec axis = Sub(Points.GetPoint(n - 1), m);
    const double length = Len(axis);
    if (!(length > 0) || !std::isfinite(length)) {
        Doubt(TPaintDoubt::DegenerateFrame);
        return;
    }
    const TAxisFrame frame{m, Scaled(axis, 1 / length)};

    std::vector<TVec> side1, side2;
    for (int i = di[static_cast<std::size_t>(mp)]; i >= 0; --i)
        side1.push_back(frame.To(d[static_cast<std::size_t>(i)]));
    for (int i = di[static_cast<std::size_t>(mp)]; i <= di[static_cast<std::size_t>(n - 2)]; ++i)
        side2.push_back(frame.To(d[static_cast<std::size_t>(i)]));
    if (side1.size() < 2 || side2.size() < 2)
        return;
    if (side1.back().y < 0)
        std::swap(side1, side2);
    if (side1.back().y < 0)
        return;

    const auto lastSlope = [](const std::vector<TVec> &side) {
        const TVec &a = side[side.size() - 2], &b = side.back();
        return (b.y - a.y) / (b.x - a.x);
    };
    double k = 1.5 * (lastSlope(side1) - lastSlope(side2));
    // A vertical last segment has no slope: no hatch.
    if (!std::isfinite(k)) {
        Doubt(TPaintDoubt::DegenerateFrame);
        return;
    }
    k = std::max(k, 0.5);
    const double c = std::sqrt(1 + 1 / (k * k));
    const double step = std::clamp(length / 4, 2.0, 4.0);
    const double k1 = GostVariant_ == 1 ? k : -k;
    const double k2 = GostVariant_ == 2 ? k : -k;

    std::vector<TEdgeHit> hits1, hits2;
    const int count1 = SideStripes(side1, k1, step, c, length, true, hits1);
    const int count2 = SideStripes(side2, k2, step, c, length, false, hits2);
    const int count = std::min(count1, count2);
    TXYZArray quads;
    quads.reserve(static_cast<std::size_t>(count) * 8);
    for (int i = 0; i < count; ++i) {
        for (const std::vector<TEdgeHit> *hits : {&hits1, &hits2}) {
            const TEdgeHit &e1 = (*hits)[static_cast<std::size_t>(2 * i)];
            const TEdgeHit &e2 = (*hits)[static_cast<std::size_t>(2 * i + 1)];
            for (const TVec &p : {e1.Axis, e1.Side, e2.Axis, e2.Side})
                quads.push_back(frame.From(p));
        }
    }
    AddHatchQuads(quads);
}

void TOstrovokItem::BuildCombHatch() {
    const int n = Points.Count();
    if (n < 3)
        return;
    Points.EnsureGeometry();
    const TXYZArray &d = Points.Dense();
    const std::vector<float> &len = Points.Lengths();
    const std::vector<int32_t> &di = Points.DenseIndex();
    const int first = di[1], last = di[static_cast<std::size_t>(n - 1)];
    if (NoOutline == 0)
        AddOutline(d, first, last);

    const TXYZ v1 = Points.GetPoint(1);
    const TVec e0 = Sub(Points.GetPoint(0), v1), e1 = Sub(Points.GetPoint(2), v1);
    const double cross = Cross(e1, e0);
    // A template along its baseline cuts no stripe.
    if (cross == 0 || !std::isfinite(cross)) {
        Doubt(TPaintDoubt::DegenerateFrame);
        return;
    }
    const double step = std::clamp(2 * Len(e0) * Len(e1) / std::fabs(cross), 2.0, 4.0);
    const double start = double(len[static_cast<std::size_t>(first)]) + step / 2;
    const double end = len[static_cast<std::size_t>(last)];
    if (!(start < end))
        return;
    // An outline too long to comb is filled plainly.
    if ((end - start) / step >= double(MaxHatchSteps)) {
        Doubt(TPaintDoubt::StepLimit);
        return;
    }
    const double angle0 = std::atan2(e1.y, e1.x);

    TXYZArray quads;
    int seg = first;
    for (double station = start; station < end; station += step) {
        while (seg + 1 < last && double(len[static_cast<std::size_t>(seg) + 1]) < station)
            ++seg;
        const TXYZ &q0 = d[static_cast<std::size_t>(seg)], &q1 = d[static_cast<std::size_t>(seg) + 1];
        const TVec dir = Sub(q1, q0);
        const double segLen =
            double(len[static_cast<std::size_t>(seg) + 1]) - len[static_cast<std::size_t>(seg)];
        if (!(segLen > 0) || Len(dir) == 0)
            continue;
        const TXYZ c = VectorLerp(q0, q1, float((station - len[static_cast<std::size_t>(seg)]) / segLen));
        // The template keeps its angle to the baseline as the baseline turns.
        const double turn = std::atan2(dir.y, dir.x) - angle0;
        const TVec r{e0.x * std::cos(turn) - e0.y * std::sin(turn),
                     e0.x * std::sin(turn) + e0.y * std::cos(turn)};
        const double sine = Cross(dir, r) / (Len(dir) * Len(r));
        if (sine == 0 || !std::isfinite(sine))
            continue;
        const TVec w = Scaled(dir, 1 / (Len(dir) * sine));
        const TXYZ cr = Offset(c, r, 1);
        const TXYZ quad[4] = {Offset(c, w, 0.2), Offset(cr, w, 0.2), Offset(c, w, -0.2), Offset(cr, w, -0.2)};
        if (std::all_of(std::begin(quad), std::end(quad), Finite))
            quads.insert(quads.end(), std::begin(quad), std::end(quad));
    }
    AddHatchQuads(quads);
}

void TOstrovokItem::BuildEdgeStripes() {
    const int n = Points.Count();
    if (n < 3)
        return;
    Points.EnsureGeometry();
    const TXYZArray v = Points.GetPoints();
    const TVec d0 = Sub(v[1], v[0]);
    const TVec dEnd = n % 2 == 1 ? d0 : Sub(v[static_cast<std::size_t>(n - 1)], v[2]);
    // The direction scaled so that it crosses the edge e over a unit of width.
    const auto across = [](const TVec &dir, const TVec &e, TVec &out) {
        const double sine = Cross(dir, e) / (Len(dir) * Len(e));
        if (sine == 0 || !std::isfinite(sine))
            return false;
        out = Scaled(dir, 1 / (Len(dir) * sine));
        return true;
    };
    TXYZArray quads;
    for (int j = 1; j < n - 2; j += 2) {
        const TXYZ &a = v[static_cast<std::size_t>(j)], &b = v[static_cast<std::size_t>(j) + 1];
        const TVec e = Sub(b, a);
        TVec s0, s1;
        // An end cut along the edge leaves the stripe out.
        if (!across(d0, e, s0) || !across(dEnd, e, s1)) {
            Doubt(TPaintDoubt::DegenerateFrame);
            continue;
        }
        const TXYZ quad[4] = {Offset(a, s0, 0.2), Offset(b, s1, 0.2), Offset(a, s0, -0.2),
                              Offset(b, s1, -0.2)};
        if (std::all_of(std::begin(quad), std::end(quad), Finite))
            quads.insert(quads.end(), std::begin(quad), std::end(quad));
    }
    AddHatchQuads(quads);
}

void TOstrovokItem::BuildMainPointHatch() {
    SetBatchColors(NoseHatchColor);
    const int n = Points.Count();
    if (n < 3)
        return;
    Points.EnsureGeometry();
    const TXYZArray &d = Points.Dense();
    const std::vector<int32_t> &di = Points.DenseIndex();
    const int mp = EffectiveMainPoint();
    const int nose = di[static_cast<std::size_t>(mp)], end2 = di[static_cast<std::size_t>(n - 2)];
    if (NoOutline == 0)
        AddOutline(d, 0, end2);

    TXYZArray side1, side2;
    for (int i = nose; i >= 0; --i)
        side1.push_back(d[static_cast<std::size_t>(i)]);
    for (int i = nose; i <= end2; ++i)
        side2.push_back(d[static_cast<std::size_t>(i)]);
    if (side1.empty() || side2.empty())
        return;
    const TXYZ m = d[static_cast<std::size_t>(nose)];
    const TVec axis = Sub(Points.GetPoint(n - 1), m);
    if (!(Len(axis) > 0) || !std::isfinite(Len(axis)))
        Doubt(TPaintDoubt::DegenerateFrame);
    const double f = VectorAngle({float(axis.x), float(axis.y), 0});
    const auto axisPoint = [&](double dist) {
        return TXYZ{float(m.x + dist * std::cos(f)), float(m.y + dist * std::sin(f)), m.z};
    };

    const TVec c0 = Sub(Points.GetPoint(0), m), c2 = Sub(Points.GetPoint(n - 2), m);
    double phi = std::atan2(c0.y, c0.x) - std::atan2(c2.y, c2.x);
    if (phi < 0)
        phi += 2 * std::numbers::pi;
    if (phi > std::numbers::pi)
        phi = 2 * std::numbers::pi - phi;
    const double psi = std::min(std::numbers::pi / 2 - 1.5 * phi, std::numbers::pi / 3);

    double tilt1 = 0, tilt2 = 0;
    switch (GostVariant_) {
    case 0:
        tilt1 = psi, tilt2 = psi;
        break;
    case 1:
        tilt1 = -psi, tilt2 = psi;
        break;
    case 2:
        tilt1 = psi, tilt2 = -psi;
        break;
    default:
        Doubt(TPaintDoubt::NoNoseHatch);
        return;
    }
    TXYZArray quads;
    for (const auto &[side, tilt] : {std::pair{&side1, tilt1}, std::pair{&side2, tilt2}}) {
        const std::vector<double> st = SideStations(*side, f, tilt);
        for (int j = 0; j < 4; ++j) {
            const double d1 = 1.0 + 1.6 * j, d2 = 1.6 + 1.6 * j;
            TXYZ p1, p2;
            if (PointAtStation(*side, st, d1, p1) && PointAtStation(*side, st, d2, p2))
                for (const TXYZ &p : {axisPoint(d1), p1, axisPoint(d2), p2})
                    quads.push_back(p);
        }
    }
    AddHatchQuads(quads);
}

bool TOstrovokItem::HitTest(const TXYZ &point, double &distance, double /*maxDistance*/) {
    distance = 3.4e38;
    UpdateGraphics();
    for (std::size_t i = 0; i + 2 < FillTriangles.size(); i += 3)
        if (PointInTriangle(point, FillTriangles[i], FillTriangles[i + 1], FillTriangles[i + 2])) {
            distance = 0;
            return true;
        }
    for (std::size_t i = 0; i + 3 < HatchQuads.size(); i += 4) {
        const TXYZ *q = &HatchQuads[i];
        if (PointInTriangle(point, q[0], q[1], q[2]) || PointInTriangle(point, q[1], q[2], q[3])) {
            distance = 0;
            return true;
        }
    }
    return false;
}

THitRank TOstrovokItem::PickRank(const TXYZ &point, double maxDistance) {
    return TAbstractItem::PickRank(point, maxDistance);
}

bool TOstrovokItem::GetHitBounds(TItemBounds &box) {
    UpdateGraphics();
    bool any = TAbstractItem::GetHitBounds(box);
    for (const TXYZ &p : HatchQuads) {
        if (!any) {
            box = {p.x, p.y, p.x, p.y};
            any = true;
        }
        box.MinX = std::min<double>(box.MinX, p.x);
        box.MinY = std::min<double>(box.MinY, p.y);
        box.MaxX = std::max<double>(box.MaxX, p.x);
        box.MaxY = std::max<double>(box.MaxY, p.y);
    }
    return any;
}

void RegisterOstrovokItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TOstrovokItem>>(OstrovokTypeCode));
}
