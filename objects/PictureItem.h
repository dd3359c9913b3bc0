#pragma once
// A metafile picture placed on the plan between two points: vertex 0 is its top-left corner and vertex 1
// lies on its top edge, so the distance between them is the picture's width on the plan. The plan shows
// its frame; the metafile travels in the street file with the item.
#include "model/ItemTypeCodes.h"
#include "objects/OrientPointItem.h"
#include "platform/gdi/Metafile.h"

class TPictureItem : public TOrientPointItem {
public:
    // Entry 0 triangles, entry 1 the frame.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return PictureTypeCode; }

    const TMetafile &Metafile() const { return Metafile_; }
    void SetMetafile(const TMetafile &metafile);

    // After the point-item record, "EMF     " and the metafile in its own form, when there is one.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    void RebuildGraphics() override;

private:
    TMetafile Metafile_;
};

void RegisterPictureItem();
