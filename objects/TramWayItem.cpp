#include "objects/TramWayItem.h"

#include "engine/DxDraw.h"
#include "engine/StreetError.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/ItemTextures.h"

#include <cmath>
#include <cstring>
#include <string>

void TTramWayItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr strips = NewItemBatch(TBatchKind::Triangles);
    strips->SetColor(MakeD3DColor(0, 0, 0, 255));
    SetItemTexture(*strips, Cp("Текстуры"), Cp1251String("Tramway.bmp"));
    street.TypeBatches(TramWayTypeCode) = {strips};
}

void TTramWayItem::LoadFromStream(TStream &stream) {
    const char *what = "TTramWayItem.LoadFromStream";
    TLineItem::LoadFromStream(stream);
    float width = 0;
    if (CheckStreamTag(stream, "RUTWIDTH")) {
        width = stream.ReadSingle(what);
        if (!std::isfinite(width))
            RaiseStreetError(what, "rut width is not a number");
    }
    // A negative width from elsewhere is kept as stored (it draws as its mirror image).
    if (std::memcmp(&width, &RutWidth_, sizeof width) != 0) {
        RutWidth_ = width;
        NotifyModified();
        Points.SetChanged(true);
    }
}

void TTramWayItem::SaveToStream(TStream &stream) const {
    TLineItem::SaveToStream(stream);
    if (RutWidth_ != 0) {
        WriteStreamTag(stream, "RUTWIDTH");
        stream.WriteSingle(RutWidth_);
    }
}

void TTramWayItem::SetRutWidth(float width) {
    if (!std::isfinite(width) || width < 0)
        RaiseStreetError("TTramWayItem.SetRutWidth", "rut width " + std::to_string(width) + " refused");
    if (std::memcmp(&width, &RutWidth_, sizeof width) == 0)
        return;
    RutWidth_ = width;
    NotifyModified();
    Points.SetChanged(true);
}

TLineStripShape TTramWayItem::Strip() const {
    const float w = GetRutWidth() / DefaultRutWidth;
    return {w, -w, 1.0f, 0.0f, 1.0f};
}

void TTramWayItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    Points.EnsureGeometry();
    if (Points.Count() < 2)
        return;
    TItemBatches &batches = street->TypeBatches(TramWayTypeCode);
    if (batches.empty())
        return;
    if (TDxPrimCollection *strips = PrimCollection(batches[0].get())) {
        strips->SetLayerMask(PlanLayerMask);
        AddLineStrip(*strips, Serial(), Points.Dense(), Strip());
    }
}

void RegisterTramWayItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TTramWayItem>>(TramWayTypeCode));
}
