#pragma once
// Buildings along the street with their address.
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"

class THouseItem : public TPolygonItem {
public:
    static void ClassInitDrawBatches(TStreetStructure &street) {
        InitPolygonBatches(street, HouseTypeCode, MakeD3DColor(220, 190, 130, 255),
                           MakeD3DColor(1, 1, 1, 255));
    }
    int GetTypeCode() const override { return HouseTypeCode; }

    // After the polygon record: "HOUSADDR" and "HOUSADST", both always (empty as a count of 0).
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;

    const Cp1251String &Address() const { return Address_; }
    void SetAddress(const Cp1251String &text);
    const Cp1251String &AddressSupplement() const { return AddressSupplement_; }
    void SetAddressSupplement(const Cp1251String &text);

private:
    Cp1251String Address_;
    Cp1251String AddressSupplement_;
};

void RegisterHouseItem();
