#pragma once
// The road way (carriageway) with its surface material and passport category. Its fill is white when the
// street's option "RWWhite" is "1", light grey otherwise.
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"

class TRoadWayItem : public TPolygonItem {
public:
    static constexpr D3DCOLOR WhiteFill = MakeD3DColor(255, 255, 255, 255);
    static constexpr D3DCOLOR GreyFill = MakeD3DColor(235, 235, 235, 255);

    static void ClassInitDrawBatches(TStreetStructure &street) {
        InitPolygonBatches(street, RoadWayTypeCode, GreyFill, MakeD3DColor(1, 1, 1, 255));
    }
    int GetTypeCode() const override { return RoadWayTypeCode; }

    // After the polygon record: "RWMAT   " and "RWPASPCT", each only when not empty.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // The fill colour follows the street's "RWWhite" option at every rebuild.
    void RebuildGraphics() override;

    const Cp1251String &Material() const { return Material_; }
    void SetMaterial(const Cp1251String &text);
    const Cp1251String &PasspCategory() const { return PasspCategory_; }
    void SetPasspCategory(const Cp1251String &text);

private:
    Cp1251String Material_;
    Cp1251String PasspCategory_;
};

void RegisterRoadWayItem();
