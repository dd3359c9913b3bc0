#pragma once
// Sidewalks with their surface material and passport category, and the curb strips along them: the
// length of the curbs on their edges and the area of the curb strips, which a lawn on the same edge
// takes over.
#include "model/PolygonItem.h"

#include "model/ItemTypeCodes.h"
#include <optional>

class TTrotuarItem : public TPolygonItem {
public:
    static void ClassInitDrawBatches(TStreetStructure &street) {
        InitPolygonBatches(street, TrotuarTypeCode, MakeD3DColor(210, 210, 210, 255),
                           MakeD3DColor(1, 1, 1, 255));
    }
    int GetTypeCode() const override { return TrotuarTypeCode; }

    // After the polygon record: "TRMAT   " and "TRPASPCT", each only when not empty.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;

    const Cp1251String &Material() const { return Material_; }
    void SetMaterial(const Cp1251String &text);
    const Cp1251String &PasspCategory() const { return PasspCategory_; }
    void SetPasspCategory(const Cp1251String &text);

    // Curb figures (metres, square metres); an area is unknown when a curb on it has no known width.
    double EdgeCurbLength(int i);
    double CurbLength();
    std::optional<double> EdgeCurbArea(int i);
    std::optional<double> CurbArea();

private:
    Cp1251String Material_;
    Cp1251String PasspCategory_;
};

void RegisterTrotuarItem();
