#include "objects/RoadWay.h"

#include "model/StreamTags.h"
#include "model/StreetStructure.h"

void TRoadWayItem::LoadFromStream(TStream &stream) {
    const char *what = "TRoadWayItem.LoadFromStream";
    TPolygonItem::LoadFromStream(stream);
    Cp1251String material, category;
    if (CheckStreamTag(stream, "RWMAT   "))
        material = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "RWPASPCT"))
        category = ReadStreamString(stream, what);
    SetMaterial(material);
    SetPasspCategory(category);
}

void TRoadWayItem::SaveToStream(TStream &stream) const {
    TPolygonItem::SaveToStream(stream);
    if (!Material_.Empty()) {
        WriteStreamTag(stream, "RWMAT   ");
        WriteStreamString(stream, Material_);
    }
    if (!PasspCategory_.Empty()) {
        WriteStreamTag(stream, "RWPASPCT");
        WriteStreamString(stream, PasspCategory_);
    }
}

void TRoadWayItem::SetMaterial(const Cp1251String &text) {
    if (text == Material_)
        return;
    Material_ = text;
    NotifyModified();
}

void TRoadWayItem::SetPasspCategory(const Cp1251String &text) {
    if (text == PasspCategory_)
        return;
    PasspCategory_ = text;
    NotifyModified();
}

void TRoadWayItem::RebuildGraphics() {
    if (TStreetStructure *street = Street()) {
        static const Cp1251String option("RWWhite");
        TItemBatches &batches = street->TypeBatches(RoadWayTypeCode);
        if (!batches.empty() && batches[0])
            batches[0]->SetColor(street->GetBoolOption(option) ? WhiteFill : GreyFill);
    }
    TPolygonItem::RebuildGraphics();
}

void RegisterRoadWayItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TRoadWayItem>>(RoadWayTypeCode));
}
