#pragma once
// Lawns, and the curb strips along them.
#include "model/PolygonItem.h"

#include "model/ItemTypeCodes.h"
#include <optional>

class TGazonItem : public TPolygonItem {
public:
    static void ClassInitDrawBatches(TStreetStructure &street) {
        InitPolygonBatches(street, GazonTypeCode, MakeD3DColor(210, 255, 210, 255),
                           MakeD3DColor(5, 5, 5, 255));
    }
    int GetTypeCode() const override { return GazonTypeCode; }

    // Curb figures (metres, square metres); an area is unknown when a curb on it has no known width.
    double EdgeCurbLength(int i);
    double CurbLength();
    std::optional<double> EdgeCurbArea(int i);
    std::optional<double> CurbArea();
};

void RegisterGazonItem();
