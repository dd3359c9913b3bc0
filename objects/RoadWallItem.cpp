#include "objects/RoadWallItem.h"

#include "engine/DxDraw.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/ItemTextures.h"

#include <array>

namespace {

// The picture holds one 9.6 m period: the double fence in v 0..0.5, the one-sided one in v 0.5..1.
constexpr std::array<TLineStripShape, 3> KindStrips = {{
    {-0.6f, 0.6f, 0.5f, 0.0f, 9.6f},
    {-0.3f, 0.9f, 1.0f, 0.5f, 9.6f},
    {-0.9f, 0.3f, 0.5f, 1.0f, 9.6f},
}};

std::vector<Cp1251String> &KindNames() {
    static std::vector<Cp1251String> names;
    return names;
}

} // namespace

void AddLineStrip(TDxPrimCollection &batch, TBatchOwnerKey owner, const TXYZArray &dense,
                  const TLineStripShape &shape) {
    if (dense.size() < 2)
        return;
    DxAddThickPolyline(batch, owner, dense, shape.A, shape.B, shape.Repeat, shape.VA, shape.VB);
}

bool TRoadWallItem::StripOf(int32_t kind, TLineStripShape &shape) {
    if (kind < 0 || kind >= static_cast<int32_t>(KindStrips.size()))
        return false;
    shape = KindStrips[static_cast<std::size_t>(kind)];
    return true;
}

void TRoadWallItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr lines = NewItemBatch(TBatchKind::Lines);
    lines->SetColor(MakeD3DColor(5, 5, 5, 255));
    TItemBatchPtr strips = NewItemBatch(TBatchKind::Triangles);
    // Black adds nothing to the picture; without one the strip is plain black.
    strips->SetColor(MakeD3DColor(0, 0, 0, 255));
    SetItemTexture(*strips, Cp("Текстуры"), Cp1251String("RoadWall.bmp"));
    street.TypeBatches(RoadWallTypeCode) = {lines, strips};
}

void TRoadWallItem::LoadFromStream(TStream &stream) {
    TLineItem::LoadFromStream(stream);
    int32_t kind = Double;
    if (CheckStreamTag(stream, "RWALLKND"))
        kind = stream.ReadInt32("TRoadWallItem.LoadFromStream");
    SetKind(kind);
}

void TRoadWallItem::SaveToStream(TStream &stream) const {
    TLineItem::SaveToStream(stream);
    WriteStreamTag(stream, "RWALLKND");
    stream.WriteInt32(Kind_);
}

void TRoadWallItem::SetKind(int32_t kind) {
    if (kind == Kind_)
        return;
    Kind_ = kind;
    NotifyModified();
    Points.SetChanged(true);
}

void TRoadWallItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    Points.EnsureGeometry();
    if (Points.Count() < 2)
        return;
    const TXYZArray &dense = Points.Dense();
    TItemBatches &batches = street->TypeBatches(RoadWallTypeCode);
    if (!batches.empty())
        if (TDxPrimCollection *lines = PrimCollection(batches[0].get())) {
            lines->SetLayerMask(PlanLayerMask);
            DxAddPolyline(*lines, Serial(), dense);
        }
    TLineStripShape shape;
    if (batches.size() > 1 && StripOf(Kind_, shape))
        if (TDxPrimCollection *strips = PrimCollection(batches[1].get())) {
            strips->SetLayerMask(PlanLayerMask);
            AddLineStrip(*strips, Serial(), dense, shape);
        }
}

const std::vector<Cp1251String> &RoadWallKindNames() {
    return KindNames();
}

void RegisterRoadWallItem() {
    if (KindNames().empty())
        KindNames() = {Cp("Двойное"), Cp("Правое"), Cp("Левое")};
    ItemClasses.Register(std::make_unique<TItemClassOf<TRoadWallItem>>(RoadWallTypeCode));
}
