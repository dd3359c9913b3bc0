#include "objects/ArcCoordsItem.h"

#include "engine/DxPrimBuilders.h"
#include "model/ItemLayers.h"
#include "model/PointStructure.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <vector>

void TArcCoordsItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr lines = NewItemBatch(TBatchKind::Lines);
    lines->SetColor(MakeD3DColor(100, 5, 5, 255));
    street.TypeBatches(ArcCoordsTypeCode) = {lines};
}

void TArcCoordsItem::LoadFromStream(TStream &stream) {
    // One notification for the whole curve instead of one per vertex read, each walking every vertex.
    Reading_ = true;
    try {
        TLineItem::LoadFromStream(stream);
    } catch (...) {
        Reading_ = false;
        throw;
    }
    Reading_ = false;
    PointsChanged();
}

void TArcCoordsItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    Points.EnsureGeometry();
    if (Points.Count() < 2)
        return;
    TDxPrimCollection *lines = TypePrimCollection(*street, ArcCoordsTypeCode, 0);
    if (!lines)
        return;
    lines->SetLayerMask(TechLayerMask);
    const TXYZArray control = Points.GetPoints();
    DxAddPolyline(*lines, Serial(), control);
    DxAddPolyline(*lines, Serial(), Points.Dense());
}

void TArcCoordsItem::PointsChanged() {
    if (Reading_)
        return;
    // Curves build their dense lines from their own vertices only, so another curve never needs to
    // follow; everything else holding a vertex of this curve does.
    std::vector<TPointList *> sharers;
    for (TStreetPointRec *rec : Points.Refs())
        for (TPointList *l : rec->Owners)
            if (l != &Points && l->GetOwner() && l->GetOwner()->GetTypeCode() != ArcCoordsTypeCode)
                sharers.push_back(l);
    std::sort(sharers.begin(), sharers.end());
    sharers.erase(std::unique(sharers.begin(), sharers.end()), sharers.end());
    for (TPointList *l : sharers)
        l->SetChanged(true);
}

void RegisterArcCoordsItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TArcCoordsItem>>(ArcCoordsTypeCode));
}
