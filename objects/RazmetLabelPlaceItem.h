#pragma once
// Label places: an auxiliary line drawn across line markings. At every crossing the crossed marking's
// standard number is written beside it, on the side of the marking's strip the place comes from, so that
// plans are labelled without manual text. The labels follow the markings: a marking that changes tells
// the places it crossed and the places it crosses (TLineRazmetItem).
#include "engine/DxVertex.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"

#include <cstdint>
#include <vector>

class TLineRazmetItem;

// One label as laid out.
struct TLblCashRec {
    Cp1251String Text;
    float X = 0, Y = 0, Z = 0; // the crossing on the marking
    float Offset = 0;          // across the marking, to the label's base
    float Cos = 1, Sin = 0;    // the text's direction
    uint8_t Side = 0;          // the text stands below its base line
};

class TRazmetLabelPlaceItem : public TLineItem {
public:
    static constexpr D3DCOLOR LineColor = MakeD3DColor(150, 150, 1, 255);

    // [0] the place's line (technical layer), [1] the label triangles on the small text atlas.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return RazmetLabelPlaceTypeCode; }
    void RebuildGraphics() override;

    const std::vector<TLblCashRec> &Labels() const { return Labels_; }
    // Lays the labels out again without drawing (RebuildGraphics does it too).
    void LayOutLabels();

private:
    void AddLabel(TLineRazmetItem &marking, float t, const TXYZ &a, const TXYZ &b, bool hasAxis);

    std::vector<TLblCashRec> Labels_;
};

// The text written for a marking code: the code up to its first "_", with "(желтая)" after "1.4" and
// "1.10".
Cp1251String MarkingLabelText(const Cp1251String &code);
// The offset of a label from its marking's line, by the marking's mirror flag, the side the text stands
// on and whether it is turned to read along the axis, from the smaller and larger edge of the strip.
float MarkingLabelOffset(bool mirror, bool side, bool flipped, float dmin, float dmax);

// How many label places have laid out their labels in this run (a counter for benchmarks and tests).
uint64_t LabelPlaceLayouts();

void RegisterRazmetLabelPlaceItem();
