#include "objects/PictureItem.h"

#include "engine/DxPrimBuilders.h"
#include "model/ItemLayers.h"
#include "model/ItemTypes.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"
#include "objects/SignPicture.h"

#include <cmath>

void TPictureItem::ClassInitDrawBatches(TStreetStructure &street) {
    street.TypeBatches(PictureTypeCode) = {NewItemBatch(TBatchKind::Triangles), NewItemBatch(TBatchKind::Lines)};
}

void TPictureItem::SetMetafile(const TMetafile &metafile) {
    Metafile_ = metafile;
    Points.SetChanged(true);
}

void TPictureItem::LoadFromStream(TStream &stream) {
    TOrientPointItem::LoadFromStream(stream);
    Metafile_.Clear();
    if (CheckStreamTag(stream, "EMF     "))
        Metafile_ = ReadStreamMetafile(stream, "TPictureItem.LoadFromStream");
}

void TPictureItem::SaveToStream(TStream &stream) const {
    TOrientPointItem::SaveToStream(stream);
    if (Metafile_.Empty())
        return;
    WriteStreamTag(stream, "EMF     ");
    stream.WriteBuffer(Metafile_.Bytes().data(), static_cast<int64_t>(Metafile_.Bytes().size()));
}

void TPictureItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    TItemBatches &batches = street->TypeBatches(PictureTypeCode);
    TItemBatch *line = batches.size() > 1 ? batches[1].get() : nullptr;
    if (line)
        line->SetLayerFilter(PlanLayerMask);
    Points.EnsureGeometry();
    TDxPrimCollection *prims = PrimCollection(line);
    if (Points.Count() != 2 || !prims || Metafile_.Width() <= 0)
        return;
    const TXYZ p0 = Points.GetPoint(0), p1 = Points.GetPoint(1);
    const double w = Metafile_.Width(), h = Metafile_.Height();
    const double s = std::hypot(double(p1.x) - p0.x, double(p1.y) - p0.y) / w;
    // Metafile rows grow downward: the frame hangs below the top edge from vertex 0 to vertex 1.
    const double a = GetAngle(), c = std::cos(a) * s, sn = std::sin(a) * s;
    const auto at = [&](double x, double y) {
        return TXYZ{float(p0.x + x * c + y * sn), float(p0.y + x * sn - y * c), p0.z};
    };
    prims->SetColor(MakeD3DColor(0, 0, 0, 255));
    DxAddPolyline(*prims, Serial(), std::vector<TXYZ>{at(0, 0), at(w, 0), at(w, h), at(0, h), at(0, 0)});
}

void RegisterPictureItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TPictureItem>>(PictureTypeCode));
}
