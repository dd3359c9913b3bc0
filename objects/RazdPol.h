#pragma once
// Dividing strips between carriageways.
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"

class TRazdPolItem : public TPolygonItem {
public:
    static void ClassInitDrawBatches(TStreetStructure &street) {
        InitPolygonBatches(street, RazdPolTypeCode, MakeD3DColor(195, 180, 140, 255),
                           MakeD3DColor(5, 5, 5, 255));
    }
    int GetTypeCode() const override { return RazdPolTypeCode; }
};

void RegisterRazdPolItem();
