#pragma once
// Dividing strips between carriageways.
#include "model/PolygonItem.h"

constexpr int RazdPolTypeCode = 1;

class TRazdPolItem : public TPolygonItem {
public:
    static void ClassInitDrawBatches(TStreetStructure &street) {
        InitPolygonBatches(street, RazdPolTypeCode, MakeD3DColor(195, 180, 140, 255),
                           MakeD3DColor(5, 5, 5, 255));
    }
    int GetTypeCode() const override { return RazdPolTypeCode; }
};

void RegisterRazdPolItem();
