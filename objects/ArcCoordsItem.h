#pragma once
// Construction curves: a smooth line through the vertices that the edges of other items follow wherever
// two of their consecutive vertices are consecutive vertices of a curve, so that curbs, road ways and
// markings sharing a curve's vertices bend with it. The curve itself shows only on the technical layer,
// as its control polygon and its smooth line.
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"

class TArcCoordsItem : public TLineItem {
public:
    // One line batch.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return ArcCoordsTypeCode; }

    // The record head only; the items holding the curve's vertices hear of it once it is read whole.
    void LoadFromStream(TStream &stream) override;
    void RebuildGraphics() override;
    // A vertex of the curve moved: the shape of the whole curve may change (its tangents are smoothed
    // over neighbouring vertices), so every item holding any of its vertices is rebuilt, not only the
    // ones sharing the vertex that moved.
    void PointsChanged() override;

private:
    bool Reading_ = false;
};

void RegisterArcCoordsItem();
