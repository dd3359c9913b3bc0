#include "objects/DesignFigure.h"

#include "engine/DxDraw.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <cmath>

namespace {

double EffectivePeriod(float period) {
    return std::isfinite(period) && period != 0 ? double(period) : 1.0;
}

// A multiple of 1 / period at or toward zero from the coordinate; the coordinate itself when the product
// is too large to have a fraction.
double Snap(double coordinate, double period) {
    const double product = coordinate * period;
    if (!std::isfinite(product))
        return coordinate;
    return std::trunc(product) / period;
}

} // namespace

TFigureTiling::TFigureTiling(const TDsnFigDef &def, const TXYZ &vertex0, double angle)
    : PeriodX(EffectivePeriod(def.PeriodX)), PeriodY(EffectivePeriod(def.PeriodY)),
      OriginX(Snap(vertex0.x, PeriodX)), OriginY(Snap(vertex0.y, -PeriodY)), Cos(std::cos(angle)),
      Sin(std::sin(angle)) {}

void TFigureTiling::UV(const TXYZ &p, float &u, float &v) const {
    const double dx = double(p.x) - OriginX, dy = double(p.y) - OriginY;
    const double along = dx * Cos + dy * Sin, across = dy * Cos - dx * Sin;
    u = static_cast<float>(along / PeriodX);
    v = static_cast<float>(-across / PeriodY);
}

// ---- TDesignFigureItem

void TDesignFigureItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatches &batches = street.TypeBatches(DesignFigureTypeCode);
    if (batches.empty())
        batches.resize(1);
    if (!batches[0])
        batches[0] = NewItemBatch(TBatchKind::Triangles);
}

void TDesignFigureItem::LoadFromStream(TStream &stream) {
    const char *what = "TDesignFigureItem.LoadFromStream";
    TPolygonItem::LoadFromStream(stream);
    D3DCOLOR color = 0;
    Cp1251String style;
    if (CheckStreamTag(stream, "DSFFILLC"))
        color = static_cast<D3DCOLOR>(stream.ReadInt32(what));
    if (CheckStreamTag(stream, "DSFSTYLE"))
        style = ReadStreamString(stream, what);
    FillColor_ = color;
    StyleName_ = std::move(style);
}

void TDesignFigureItem::SaveToStream(TStream &stream) const {
    TPolygonItem::SaveToStream(stream);
    WriteStreamTag(stream, "DSFFILLC");
    stream.WriteInt32(static_cast<int32_t>(FillColor_));
    if (!StyleName_.Empty()) {
        WriteStreamTag(stream, "DSFSTYLE");
        WriteStreamString(stream, StyleName_);
    }
}

void TDesignFigureItem::SetFillColor(D3DCOLOR color) {
    if (color != FillColor_) {
        FillColor_ = color;
        Points.SetChanged(true);
    }
}

void TDesignFigureItem::SetStyleName(const Cp1251String &name) {
    StyleName_ = name;
    Points.SetChanged(true);
}

void TDesignFigureItem::GetUsedNames(TUsedNames &names) const {
    if (!StyleName_.Empty())
        names.FigDefs.insert(StyleName_);
}

TDsnFigDefList *TDesignFigureItem::GetFigDefs() const {
    return Street() ? &Street()->FigDefs() : nullptr;
}

void TDesignFigureItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    Points.EnsureGeometry();
    if (Points.Count() < 3)
        return;
    const TXYZArray &triangles = Triangles();
    TItemBatches &batches = street->TypeBatches(DesignFigureTypeCode);
    const int index = street->FigDefs().IndexOfName(StyleName_);
    // A style the published batches do not reach yet fills plainly.
    const std::size_t entry = index >= 0 && std::size_t(index) + 1 < batches.size() && batches[std::size_t(index) + 1]
                                  ? std::size_t(index) + 1
                                  : 0;
    if (batches.empty() || !batches[entry])
        return;
    TItemBatch &batch = *batches[entry];
    TDxPrimCollection *prims = PrimCollection(&batch);
    if (!prims)
        return;
    batch.SetColor(FillColor_);
    prims->SetLayerMask(PlanLayerMask);
    if (entry == 0) {
        DxAddTriangles(*prims, Serial(), triangles);
        return;
    }
    const TDsnFigDef &def = *street->FigDefs().Items(index);
    double angle = 0;
    if (TAbstractItem *axis = GetReferAxis())
        angle = axis->Points.DirectionAtParam(axis->Points.ParamOfPoint(Points.GetPoint(0)));
    const TFigureTiling tiling(def, Points.GetPoint(0), angle);
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3) {
        TDxVertex v[3];
        for (std::size_t k = 0; k < 3; ++k) {
            const TXYZ &p = triangles[i + k];
            v[k].x = p.x;
            v[k].y = p.y;
            v[k].z = p.z;
            tiling.UV(p, v[k].u, v[k].v);
        }
        prims->AddPrimitive(Serial(), v);
    }
}

void RegisterDesignFigureItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TDesignFigureItem>>(DesignFigureTypeCode));
}
