#include "objects/RazmetStopItem.h"

#include "engine/DxPrimBuilders.h"
#include "model/ItemLayers.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cmath>

namespace {

bool AllFinite(const TXYZArray &points) {
    return std::all_of(points.begin(), points.end(),
                       [](const TXYZ &p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); });
}

} // namespace

void TRazmetStopItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr band = NewItemBatch(TBatchKind::Triangles);
    band->SetColor(Color);
    TItemBatchPtr line = NewItemBatch(TBatchKind::Lines);
    line->SetColor(Color);
    street.TypeBatches(RazmetStopTypeCode) = {band, line};
}

double TRazmetStopItem::GetMarkingLength() {
    Points.EnsureGeometry();
    const double length = Points.DenseLength();
    const double k = std::isfinite(length) && length > 0 ? std::trunc(length / 4) : 0;
    return 1.4 * (4 * k) + 2 + 2;
}

double TRazmetStopItem::GetPaintArea() {
    return GetMarkingLength() * 0.1;
}

void TRazmetStopItem::BuildZigzag() {
    Zigzag_.clear();
    Points.EnsureGeometry();
    const TXYZArray &dense = Points.Dense();
    if (dense.size() < 2)
        return;
    const double length = Points.DenseLength();
    const double k = std::isfinite(length) && length > 0 ? std::trunc(length / 4) : 0;
    if (k > MaxTeeth) {
        Zigzag_ = dense;
        return;
    }
    const int teeth = static_cast<int>(k);
    Zigzag_.reserve(std::size_t(2 * teeth + 3));
    Zigzag_.push_back(dense.front());
    const auto up = [&](double d) { return Points.OffsetPointAtParam(Points.ParamAtDistance(float(d)), 2.0f); };
    const auto on = [&](double d) { return Points.PointAtParam(Points.ParamAtDistance(float(d))); };
    for (int j = 0; j < teeth; ++j) {
        Zigzag_.push_back(up(4.0 * j));
        Zigzag_.push_back(on(4.0 * j + 2));
    }
    Zigzag_.push_back(up(4.0 * teeth));
    Zigzag_.push_back(on(4.0 * teeth));
    // A line without a direction to offset along (its vertices differ in height only) draws nothing.
    if (!AllFinite(Zigzag_))
        Zigzag_.clear();
}

void TRazmetStopItem::RebuildGraphics() {
    BuildZigzag();
    TStreetStructure *street = Street();
    if (!street || Zigzag_.size() < 2)
        return;
    TDxPrimCollection *band = TypePrimCollection(*street, RazmetStopTypeCode, 0);
    TDxPrimCollection *line = TypePrimCollection(*street, RazmetStopTypeCode, 1);
    if (!band || !line)
        return;
    band->SetLayerMask(PlanLayerMask);
    line->SetLayerMask(PlanLayerMask);
    DxAddPolyline(*line, Serial(), Zigzag_);
    DxAddThickPolyline(*band, Serial(), Zigzag_, -0.05f, 0.05f, 0, 0, 1);
}

void RegisterRazmetStopItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TRazmetStopItem>>(RazmetStopTypeCode));
}
