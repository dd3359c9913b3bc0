#include "objects/ZebraItem.h"

#include "engine/DxPrimBuilders.h"
#include "engine/NumText.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <cmath>
#include <span>
#include <vector>

const std::array<TXYZ, 7> ZebraArrowGlyph = {
    TXYZ{-0.1f, 0, 0},     TXYZ{0.1f, 0, 0},     TXYZ{-0.1f, 0.68f, 0}, TXYZ{0.1f, 0.68f, 0},
    TXYZ{-0.3f, 0.68f, 0}, TXYZ{0.3f, 0.68f, 0}, TXYZ{0, 1.2f, 0}};
const std::array<int, 9> ZebraArrowIndices = {0, 1, 2, 1, 2, 3, 4, 5, 6};

namespace {

// Unit vector along b - a; False for no length.
bool UnitDir(const TXYZ &a, const TXYZ &b, TXYZ &u) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, h = std::hypot(dx, dy);
    if (!(h > 0) || !std::isfinite(h))
        return false;
    u = {float(dx / h), float(dy / h), 0};
    return true;
}

// Where the walk puts a stripe (Stripe) or a yellow patch.
struct TPlacement {
    TXYZ Point;
    bool Stripe;
};

// The placements along the crossing line; False when the walk would take more than the allowed steps.
bool WalkPlacements(const TXYZArray &dense, int lastDense, const TXYZ &s, bool patches,
                    std::vector<TPlacement> &out) {
    out.clear();
    if (lastDense < 1 || static_cast<std::size_t>(lastDense) >= dense.size())
        return true;
    std::vector<double> x(static_cast<std::size_t>(lastDense) + 1);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = (double(dense[i].x) - dense[0].x) * s.x + (double(dense[i].y) - dense[0].y) * s.y;
    const auto at = [&](std::size_t i, double pos) {
        return VectorLerp(dense[i - 1], dense[i], float((pos - x[i - 1]) / (x[i] - x[i - 1])));
    };
    int64_t steps = 0;
    double pos = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        // A segment across the direction of progress holds no placement.
        if (!(x[i] > pos) || x[i] == x[i - 1])
            continue;
        const bool last = i + 1 == x.size();
        for (;;) {
            if (++steps > TZebraItem::MaxWalkSteps)
                return false;
            pos += 0.5;
            if (pos + 0.5 > x[i])
                break;
            out.push_back({at(i, pos), true});
            pos += 0.5;
            if (pos + 0.5 > x[i] || (last && pos + 1.0 > x[i]))
                break;
            if (patches)
                out.push_back({at(i, pos), false});
        }
    }
    return true;
}

// A rectangle in strip order (p0 p1 on one side, p2 p3 on the other) in a frame of two directions:
// a along `along` from a0 to a1, b along `across` from -b to +b.
std::array<TXYZ, 4> Rect(const TXYZ &along, double a0, double a1, const TXYZ &across, double b) {
    const auto p = [&](double a, double c) {
        return TXYZ{float(along.x * a + across.x * c), float(along.y * a + across.y * c), 0};
    };
    return {p(a0, -b), p(a1, -b), p(a0, b), p(a1, b)};
}

} // namespace

bool GetZebraFrame(const TPointList &points, TZebraFrame &frame) {
    const int n = points.Count();
    if (n < 2)
        return false;
    if (n == 2) {
        if (!UnitDir(points.GetPoint(0), points.GetPoint(1), frame.S))
            return false;
        frame.W = VectorPerpRight(frame.S);
        frame.LastVertex = 1;
        return true;
    }
    const TXYZ a = points.GetPoint(n - 3), b = points.GetPoint(n - 2), c = points.GetPoint(n - 1);
    const bool ok = TriangleOrientation(a, b, c) > 0 ? UnitDir(c, b, frame.W) : UnitDir(b, c, frame.W);
    if (!ok)
        return false;
    frame.S = VectorPerpLeft(frame.W);
    frame.LastVertex = n - 2;
    return true;
}

// ---- TZebraItem

TZebraItem::TZebraItem() = default;

void TZebraItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr b = NewItemBatch(TBatchKind::Triangles);
    b->SetColor(BatchColor);
    street.TypeBatches(ZebraTypeCode) = {b};
}

void TZebraItem::LoadFromStream(TStream &stream) {
    const char *what = "TZebraItem.LoadFromStream";
    TLineItem::LoadFromStream(stream);
    if (CheckStreamTag(stream, "ZEBRAWID")) {
        const int64_t at = stream.Position();
        const float w = stream.ReadSingle(what);
        if (!std::isfinite(w)) {
            stream.Seek(at, TSeekOrigin::Begin);
            stream.Fail(what, "the crossing width is not a finite number");
        }
        Width = w;
    }
    if (CheckStreamTag(stream, "ZEBRABKG"))
        YellowBackground = stream.ReadByte(what);
}

void TZebraItem::SaveToStream(TStream &stream) const {
    TLineItem::SaveToStream(stream);
    WriteStreamTag(stream, "ZEBRAWID");
    stream.WriteSingle(Width);
    if (YellowBackground != 0) {
        WriteStreamTag(stream, "ZEBRABKG");
        stream.WriteByte(YellowBackground);
    }
}

double TZebraItem::PatchWidth() const {
    return Street() && Street()->ZebraYop() != 0 ? 0.4 : 0.6;
}

std::optional<double> TZebraItem::GetWhiteArea() {
    UpdateGraphics();
    if (PaintDoubt_ != TPaintDoubt::None)
        return std::nullopt;
    return WhiteArea;
}

std::optional<double> TZebraItem::GetYellowArea() {
    UpdateGraphics();
    if (YellowBackground == 0)
        return 0.0;
    if (PaintDoubt_ != TPaintDoubt::None)
        return std::nullopt;
    return YellowArea;
}

TZebraItem::TPaintDoubt TZebraItem::GetPaintDoubt() {
    UpdateGraphics();
    return PaintDoubt_;
}

void TZebraItem::RebuildGraphics() {
    Points.EnsureGeometry();
    WhiteArea = 0;
    YellowArea = 0;
    PaintDoubt_ = TPaintDoubt::None;
    // A crossing of no width paints nothing, and that is a known nothing.
    if (!(Width > 0))
        return;
    if (Points.Count() < 2) {
        PaintDoubt_ = TPaintDoubt::FewVertices;
        return;
    }
    for (const TXYZ &p : Points.Dense())
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            PaintDoubt_ = TPaintDoubt::NotFinite;
            return;
        }
    TZebraFrame frame;
    if (!GetZebraFrame(Points, frame)) {
        PaintDoubt_ = TPaintDoubt::NoDirection;
        return;
    }
    if (Width <= NarrowLimit)
        BuildNarrow(frame);
    else
        BuildWide(frame);
}

namespace {

// Adds the crossing's placements to the item's batch through the batch's own matrix, or, when the walk is
// too long, the crossing line alone.
class TZebraPainter {
public:
    TZebraPainter(TZebraItem &item, const TZebraFrame &frame) : Item_(item), Frame_(frame) {
        if (TStreetStructure *street = item.Street()) {
            TItemBatches &batches = street->TypeBatches(ZebraTypeCode);
            if (!batches.empty() && batches[0])
                Prims_ = PrimCollection(batches[0].get());
        }
        if (Prims_)
            Prims_->SetLayerMask(PlanLayerMask);
    }

    bool Walk(bool patches, std::vector<TPlacement> &placements) {
        const TXYZArray &d = Item_.Points.Dense();
        const int lastDense = Item_.Points.DenseIndex()[static_cast<std::size_t>(Frame_.LastVertex)];
        if (WalkPlacements(d, lastDense, Frame_.S, patches, placements))
            return true;
        placements.clear();
        if (Prims_) {
            Prims_->SetColor(TZebraItem::StripeColor);
            DxAddWideStrip(*Prims_, Item_.Serial(), d, 0, lastDense, -0.05f, 0.05f, 0, 0, 0);
        }
        return false;
    }

    // Quads (strip order) at the point; turned so that local x runs along dir when dir is given.
    void Add(const TXYZ &at, D3DCOLOR color, std::span<const TXYZ> quads,
             std::span<const TXYZ> triangles = {}, const TXYZ *dir = nullptr) {
        if (!Prims_)
            return;
        Prims_->SetColor(color);
        TMatrixShell &m = Prims_->Transform();
        m.PushMatrix();
        m.Translate(false, at.x, at.y, at.z);
        // The matrix turns clockwise: the mirrored direction turns local x onto dir and local y onto dir
        // turned left.
        if (dir)
            m.RotateByDir(false, dir->x, -dir->y);
        DxAddQuads(*Prims_, Item_.Serial(), quads);
        if (!triangles.empty())
            DxAddTriangles(*Prims_, Item_.Serial(), triangles);
        m.PopMatrix();
    }

private:
    TZebraItem &Item_;
    const TZebraFrame &Frame_;
    TDxPrimCollection *Prims_ = nullptr;
};

} // namespace

void TZebraItem::BuildNarrow(const TZebraFrame &frame) {
    TZebraPainter painter(*this, frame);
    std::vector<TPlacement> placements;
    if (!painter.Walk(YellowBackground != 0, placements)) {
        PaintDoubt_ = TPaintDoubt::StepLimit;
        return;
    }
    const double w = Width, patch = PatchWidth();
    const std::array<TXYZ, 4> stripe = Rect(frame.S, -StripeWidth / 2, StripeWidth / 2, frame.W, w / 2);
    const std::array<TXYZ, 4> yellow = Rect(frame.S, -patch / 2, patch / 2, frame.W, w / 2);
    for (const TPlacement &p : placements) {
        if (p.Stripe) {
            painter.Add(p.Point, StripeColor, stripe);
            WhiteArea += w * StripeWidth;
        } else {
            painter.Add(p.Point, YellowColor, yellow);
            YellowArea += w * patch;
        }
    }
}

void TZebraItem::BuildWide(const TZebraFrame &frame) {
    TZebraPainter painter(*this, frame);
    std::vector<TPlacement> placements;
    if (!painter.Walk(YellowBackground != 0, placements)) {
        PaintDoubt_ = TPaintDoubt::StepLimit;
        return;
    }
    const double w = Width, patch = PatchWidth(), outer = w / 2 + HalfGap;
    const double sw = StripeWidth / 2;
    // Full templates in the plan: two halves across the crossing line with the gap between them.
    const auto full = [&](double halfAlong) {
        std::array<TXYZ, 8> q;
        const std::array<TXYZ, 4> a = Rect(frame.W, -outer, -HalfGap, frame.S, halfAlong);
        const std::array<TXYZ, 4> b = Rect(frame.W, HalfGap, outer, frame.S, halfAlong);
        std::copy(a.begin(), a.end(), q.begin());
        std::copy(b.begin(), b.end(), q.begin() + 4);
        return q;
    };
    const std::array<TXYZ, 8> fullStripe = full(sw), fullPatch = full(patch / 2);
    // Half templates in the turned frame (x along the stripes, y along the crossing): the -x half.
    const TXYZ ex{1, 0, 0}, ey{0, 1, 0};
    const std::array<TXYZ, 4> halfStripe = Rect(ex, -outer, -HalfGap, ey, sw);
    const std::array<TXYZ, 4> halfPatch = Rect(ex, -outer, -HalfGap, ey, patch / 2);
    // Three arrows on the +x half pointing along +y, the middle one 0.2 m ahead.
    std::vector<TXYZ> arrows;
    for (const auto &[dx, dy] :
         {std::pair{0.25 * w + 0.1, -0.5}, {0.15 * w + 0.1, -0.7}, {0.35 * w + 0.1, -0.7}})
        for (int i : ZebraArrowIndices) {
            const TXYZ &g = ZebraArrowGlyph[static_cast<std::size_t>(i)];
            arrows.push_back({float(g.x + dx), float(g.y + dy), 0});
        }

    // The index of the last stripe that fits along the crossing.
    const TXYZArray &d = Points.Dense();
    const TXYZ &end =
        d[static_cast<std::size_t>(Points.DenseIndex()[static_cast<std::size_t>(frame.LastVertex)])];
    const double xLast = (double(end.x) - d[0].x) * frame.S.x + (double(end.y) - d[0].y) * frame.S.y;
    const int64_t count = Trunc(xLast / StripeStep) - 1;
    const TXYZ along = frame.W, back = VectorNegateXY(frame.W);
    int64_t stripeNo = 0, patchNo = 0;
    for (const TPlacement &p : placements) {
        if (p.Stripe) {
            const int64_t k = stripeNo++;
            if (k == 1 || k == count - 1) {
                painter.Add(p.Point, StripeColor, halfStripe, arrows, k == 1 ? &along : &back);
                WhiteArea += 0.5 * w * StripeWidth;
            } else {
                painter.Add(p.Point, StripeColor, fullStripe);
                WhiteArea += w * StripeWidth;
            }
        } else {
            const int64_t k = patchNo++;
            if (k == 0 || k == 1 || k == count - 2 || k == count - 1) {
                painter.Add(p.Point, YellowColor, halfPatch, {}, k <= 1 ? &along : &back);
                YellowArea += 0.5 * w * patch;
            } else {
                painter.Add(p.Point, YellowColor, fullPatch);
                YellowArea += w * patch;
            }
        }
    }
}

void RegisterZebraItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TZebraItem>>(ZebraTypeCode));
}
