#pragma once
// Shoulders. The surface word in the item's second comment chooses the fill colour.
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"

class TObochItem : public TPolygonItem {
public:
    static constexpr D3DCOLOR DefaultFill = MakeD3DColor(250, 200, 120, 255);

    static void ClassInitDrawBatches(TStreetStructure &street) {
        InitPolygonBatches(street, ObochTypeCode, DefaultFill, MakeD3DColor(1, 1, 1, 255));
    }
    int GetTypeCode() const override { return ObochTypeCode; }
    // The fill colour of the surface word first.
    void RebuildGraphics() override;
};

// The fill of a shoulder surface word ("гравий", "трава", ... in any letter case); the default fill for
// any other text.
D3DCOLOR ObochFillColor(const Cp1251String &surface);

void RegisterObochItem();
