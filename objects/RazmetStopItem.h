#pragma once
// Stop-zone markings: the zigzag painted along the kerb at public-transport stops, teeth of 4 m period
// and 2 m height from the start of the line to its last whole 4 m, a line 10 cm wide.
#include "engine/DxVertex.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"

class TRazmetStopItem : public TLineItem {
public:
    static constexpr D3DCOLOR Color = MakeD3DColor(5, 5, 5, 255);
    // Teeth drawn at most on one item; a longer line is drawn plain.
    static constexpr double MaxTeeth = 1e5;

    // [0] the band of the zigzag, [1] its line.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return RazmetStopTypeCode; }
    void RebuildGraphics() override;

    // The painted length: 1.4 x 4 x trunc(L / 4) + 4 for a line of length L.
    double GetMarkingLength();
    // The painted length x 0.1.
    double GetPaintArea();

    // The zigzag as last built (the plain line when it has too many teeth).
    const TXYZArray &Zigzag() const { return Zigzag_; }

private:
    void BuildZigzag();

    TXYZArray Zigzag_;
};

void RegisterRazmetStopItem();
