#include "objects/RazmerItem.h"

#include "engine/DxPrimBuilders.h"
#include "engine/FontsDataForm.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"
#include "model/ItemIndex.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/AtlasLabelWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

const char *const Where = "TRazmerItem.LoadFromStream";
constexpr double Pi = std::numbers::pi;

// The measured length of a segment: to a twentieth of a metre.
double MeasuredLength(double d) {
    return double(Round(d * 20)) / 20;
}

TXYZ Along(const TXYZ &from, double angle, double distance) {
    return {float(from.x + std::cos(angle) * distance), float(from.y + std::sin(angle) * distance), from.z};
}

// The arrow with its tip at the point and its body running in the direction, at the scale.
std::array<TXYZ, 3> ArrowAt(const TXYZ &tip, double direction, double scale) {
    const double c = std::cos(direction) * scale, s = std::sin(direction) * scale;
    const auto at = [&](double x, double y) {
        return TXYZ{float(tip.x + x * c - y * s), float(tip.y + x * s + y * c), tip.z};
    };
    return {tip, at(TRazmerItem::ArrowLength, TRazmerItem::ArrowHalfWidth),
            at(TRazmerItem::ArrowLength, -TRazmerItem::ArrowHalfWidth)};
}

} // namespace

Cp1251String RazmerValueText(double d, double step) {
    double v = d;
    if (step > 0 && std::isfinite(step))
        v = double(Round(d / step)) * step;
    // Fifteen significant digits drop the binary noise of the product (3.0000000000000004 is "3").
    return Cp1251String(FloatToStr(v));
}

void SortSingles(std::vector<float> &values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::size_t k = i;
        for (std::size_t j = i + 1; j < values.size(); ++j)
            if (values[j] < values[k])
                k = j;
        std::swap(values[i], values[k]);
    }
}

Cp1251String JoinTextLines(const std::vector<Cp1251String> &lines) {
    std::string out;
    for (const Cp1251String &line : lines)
        out += line.Bytes() + "\r\n";
    return Cp1251String(out);
}

std::vector<Cp1251String> SplitTextLines(const Cp1251String &text) {
    std::vector<Cp1251String> out;
    const std::string &s = text.Bytes();
    std::size_t at = 0;
    while (at < s.size()) {
        std::size_t end = at;
        while (end < s.size() && s[end] != '\r' && s[end] != '\n')
            ++end;
        out.emplace_back(s.substr(at, end - at));
        if (end < s.size() && s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n')
            ++end;
        at = end + 1;
    }
    return out;
}

// ---- Class

void TRazmerItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr lines = NewItemBatch(TBatchKind::Lines);
    TItemBatchPtr arrows = NewItemBatch(TBatchKind::Triangles);
    TItemBatchPtr texts = NewItemBatch(TBatchKind::Triangles);
    for (const TItemBatchPtr &b : {lines, arrows, texts})
        b->SetColor(MakeD3DColor(5, 5, 5, 255));
    if (TFontsDataForm *fonts = TFontsDataForm::Instance())
        if (TDxPrimCollection *c = PrimCollection(texts.get()))
            c->SetTexture(fonts->SmallArialTexture(false));
    street.TypeBatches(RazmerTypeCode) = {lines, arrows, texts};
}

void TRazmerItem::Created() {
    BindContainer(ContourRef);
}

// ---- Reading and writing

void TRazmerItem::LoadFromStream(TStream &stream) {
    TAbstractItem::LoadFromStream(stream);
    Invalid = Points.Count() < ClassMinPointCount();
    if (CheckStreamTag(stream, "EXTCONTR"))
        ContourRef.LoadFromStream(stream);
    uint8_t flag = 0;
    if (CheckStreamTag(stream, "NO_TEXTS"))
        flag = stream.ReadByte(Where);
    std::vector<Cp1251String> texts;
    if (CheckStreamTag(stream, "CustTxts"))
        texts = SplitTextLines(ReadStreamString(stream, Where));
    NoTexts_ = flag;
    CustomTexts_ = std::move(texts);
}

void TRazmerItem::SaveToStream(TStream &stream) const {
    TAbstractItem::SaveToStream(stream);
    WriteStreamTag(stream, "EXTCONTR");
    ContourRef.SaveToStream(stream);
    WriteStreamTag(stream, "NO_TEXTS");
    stream.WriteByte(NoTexts_);
    if (NoTexts_ != 0) {
        WriteStreamTag(stream, "CustTxts");
        WriteStreamString(stream, JoinTextLines(CustomTexts_));
    }
}

// ---- Fields

void TRazmerItem::SetContour(TAbstractItem *item) {
    ContourRef.Put(0, item);
    Points.SetChanged(true);
}

void TRazmerItem::SetNoTexts(uint8_t flag) {
    NoTexts_ = flag;
    Points.SetChanged(true);
}

void TRazmerItem::SetCustomTexts(std::vector<Cp1251String> texts) {
    if (texts == CustomTexts_)
        return;
    CustomTexts_ = std::move(texts);
    if (NoTexts_ != 0)
        Points.SetChanged(true);
}

// ---- Layout

void TRazmerItem::FinishSegment(TRazmerSegment &seg, std::size_t i, std::size_t n, double scale) {
    const bool shortOne = seg.Length < 2.5 * scale;
    const bool first = i == 0, last = i + 1 == n;
    // A short end segment has no room inside: its arrows point from outside and its text stands beyond.
    if (shortOne && (first || last)) {
        seg.ArrowA += Pi;
        seg.ArrowB += Pi;
    }
    if (shortOne && first)
        seg.TextShift -= scale + seg.Length / 2;
    if (shortOne && last)
        seg.TextShift += seg.Length / 2 + scale;
    if (NoTexts_ == 0) {
        const double step = Street() ? Street()->GetRazmerRound() : 0.05;
        seg.Text = RazmerValueText(seg.Length, step);
    } else if (i < CustomTexts_.size()) {
        seg.Text = CustomTexts_[i];
    }
}

void TRazmerItem::StraightLayout(TRazmerLayout &out) {
    const TXYZ p0 = Points.GetPoint(0), p1 = Points.GetPoint(1);
    out.HitPath = {p0, p1};
    const double ex = double(p1.x) - p0.x, ey = double(p1.y) - p0.y;
    const double len2 = ex * ex + ey * ey;
    // A base of no length has no direction to measure along.
    if (!(len2 > 0) || !std::isfinite(len2) || Points.Count() < 4)
        return;
    const auto pointAt = [&](double t) {
        return TXYZ{float(p0.x + ex * t), float(p0.y + ey * t), float(p0.z + (double(p1.z) - p0.z) * t)};
    };
    std::vector<float> params;
    for (int j = 2; j < Points.Count(); ++j) {
        const TXYZ p = Points.GetPoint(j);
        const float t = float(((double(p.x) - p0.x) * ex + (double(p.y) - p0.y) * ey) / len2);
        out.Extensions.push_back(p);
        out.Extensions.push_back(pointAt(t));
        params.push_back(t);
    }
    SortSingles(params);
    const double alpha = std::atan2(ey, ex);
    const double scale = Street() ? Street()->GetRazmerScale() : 1.0;
    for (std::size_t i = 0; i + 1 < params.size(); ++i) {
        TRazmerSegment seg;
        seg.A = pointAt(params[i]);
        seg.B = pointAt(params[i + 1]);
        seg.M = VectorMid(seg.A, seg.B);
        seg.Length = MeasuredLength(std::hypot(double(seg.B.x) - seg.A.x, double(seg.B.y) - seg.A.y));
        seg.ArrowA = alpha;
        seg.ArrowB = alpha + Pi;
        seg.TextAngle = alpha;
        FinishSegment(seg, i, params.size() - 1, scale);
        out.Segments.push_back(std::move(seg));
    }
    out.HitPath = {pointAt(params.front()), pointAt(params.back())};
}

void TRazmerItem::ContourLayout(TAbstractItem &contour, TRazmerLayout &out) {
    const TXYZ p0 = Points.GetPoint(0), p1 = Points.GetPoint(1);
    out.HitPath = {p0, p1};
    TPointList &c = contour.Points;
    c.EnsureGeometry();
    float t0 = 0, along = 0, offset = 0;
    if (c.Dense().size() < 2 || !c.Project(p0, t0, along, offset))
        return;
    const bool reversed = c.ParamOfPoint(p1) < t0;
    std::vector<float> params;
    for (int j = 2; j < Points.Count(); ++j) {
        const TXYZ p = Points.GetPoint(j);
        const float t = c.ParamOfPoint(p);
        out.Extensions.push_back(p);
        out.Extensions.push_back(c.OffsetPointAtParam(t, offset));
        params.push_back(t);
    }
    SortSingles(params);
    const double scale = Street() ? Street()->GetRazmerScale() : 1.0;
    for (std::size_t i = 0; i + 1 < params.size(); ++i) {
        const float ta = params[i], tb = params[i + 1];
        const double da = c.DistanceAtParam(ta), db = c.DistanceAtParam(tb);
        const float tm = c.ParamAtDistance(float((da + db) / 2));
        TRazmerSegment seg;
        seg.A = c.OffsetPointAtParam(ta, offset);
        seg.B = c.OffsetPointAtParam(tb, offset);
        seg.M = c.OffsetPointAtParam(tm, offset);
        seg.Length = MeasuredLength(db - da);
        seg.ArrowA = c.DirectionAtParam(ta);
        seg.ArrowB = c.DirectionAtParam(tb) + Pi;
        seg.TextAngle = c.DirectionAtParam(tm) + (reversed ? Pi : 0);
        FinishSegment(seg, i, params.size() - 1, scale);
        out.Segments.push_back(std::move(seg));
    }
    const float first = params.front(), last = params.back();
    out.HitPath = {c.OffsetPointAtParam(first, offset)};
    const TXYZArray shifted = c.GetOffsetLine(offset);
    for (std::size_t k = 0; k < shifted.size(); ++k)
        if (float(k) > first && float(k) < last)
            out.HitPath.push_back(shifted[k]);
    out.HitPath.push_back(c.OffsetPointAtParam(last, offset));
}

TRazmerLayout TRazmerItem::Layout() {
    TRazmerLayout out;
    Points.EnsureGeometry();
    if (Points.Count() < 2)
        return out;
    TAbstractItem *contour = Contour();
    if (contour && contour != this && Points.Count() >= 4)
        ContourLayout(*contour, out);
    else
        StraightLayout(out);
    return out;
}

// ---- Drawing and picking

void TRazmerItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    const TRazmerLayout layout = Layout();
    if (NoTexts_ == 0) {
        CustomTexts_.clear();
        for (const TRazmerSegment &seg : layout.Segments)
            CustomTexts_.push_back(seg.Text);
    }
    TDxPrimCollection *lines = TypePrimCollection(*street, RazmerTypeCode, 0);
    TDxPrimCollection *arrows = TypePrimCollection(*street, RazmerTypeCode, 1);
    TDxPrimCollection *texts = TypePrimCollection(*street, RazmerTypeCode, 2);
    if (!lines || layout.HitPath.size() < 2)
        return;
    // A colour of 0 (no colour chosen) draws black, not invisible.
    const D3DCOLOR colour = static_cast<D3DCOLOR>(street->GetRazmerColor()) | 0xFF000000u;
    TFontsDataForm *fonts = TFontsDataForm::Instance();
    TFontTexture *atlas = fonts ? fonts->SmallArialTexture() : nullptr;
    // The fonts object may have come after the batches were made.
    if (texts && atlas && texts->Texture() != atlas)
        texts->SetTexture(atlas);
    TAtlasLabelWriter labels(texts, atlas, Serial());
    for (TDxPrimCollection *b : {lines, arrows, texts})
        if (b)
            b->SetColor(colour);

    DxAddLines(*lines, Serial(), layout.Extensions);
    const double scale = street->GetRazmerScale();
    for (const TRazmerSegment &seg : layout.Segments) {
        DxAddLinesA(*lines, Serial(), {seg.A, seg.B});
        for (const auto &[tip, direction] : {std::pair{seg.A, seg.ArrowA}, std::pair{seg.B, seg.ArrowB}}) {
            const std::array<TXYZ, 3> arrow = ArrowAt(tip, direction, scale);
            DxAddClosedPolyline(*lines, Serial(), arrow);
            if (arrows)
                DxAddTriangles(*arrows, Serial(), arrow);
        }
        if (labels.Enabled() && !seg.Text.Empty()) {
            const float w = labels.Width(seg.Text), h = labels.Height();
            labels.Add(seg.Text, -0.5f * w, 0.1f * h, float(0.08 * scale), float(0.096 * scale),
                       float(-seg.TextAngle), Along(seg.M, seg.TextAngle, seg.TextShift));
        }
    }
    DxAddPolyline(*lines, Serial(), layout.HitPath);
}

bool TRazmerItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    distance = UndefinedValue;
    if (Points.Count() < 2)
        return false;
    const TRazmerLayout layout = Layout();
    const TXYZArray &path = layout.HitPath;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        if (path[i].x == path[i + 1].x && path[i].y == path[i + 1].y)
            continue;
        float t = 0, d = 0;
        ProjectPointOnSegment(point, path[i], path[i + 1], t, d);
        if (t > 0 && t < 1)
            distance = std::min(distance, std::fabs(double(d)));
    }
    return distance < maxDistance;
}

bool TRazmerItem::GetHitBounds(TItemBounds &box) {
    bool any = TAbstractItem::GetHitBounds(box);
    for (const TXYZ &p : Layout().HitPath) {
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

// ---- Automatic dimensioning

void TRazmerItem::MakeAutoDimention(const TItemTypeSet &types) {
    if (Points.Count() < 2)
        RaiseStreetError("TRazmerItem.MakeAutoDimention", "Points.Count<2");
    while (Points.Count() > 2)
        Points.Delete(Points.Count() - 1);
    TStreetStructure *street = Street();
    if (!street)
        return;
    const TXYZ p0 = Points.GetPoint(0), p1 = Points.GetPoint(1);
    for (int k = 0; k < ItemTypeCount; ++k) {
        if (!types.Contains(k))
            continue;
        for (const auto &item : street->Lists(k)) {
            if (item.get() == this)
                continue;
            // Every crossing: a road way crossed at both its edges gives two points.
            for (const TPointList::TSegmentCrossing &x : item->Points.SegmentCrossings(p0, p1)) {
                bool near = false;
                for (int j = 2; j < Points.Count() && !near; ++j)
                    near = VectorDistance(Points.GetPoint(j), x.Point) < AutoPointTolerance;
                if (!near)
                    Points.InsertNewPoint(2, x.Point);
            }
        }
    }
}

void RegisterRazmerItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TRazmerItem>>(RazmerTypeCode));
}
