#pragma once
// Fences: a line along the street drawn as its centre line and a textured strip, double (symbols on both
// sides) or one-sided (right or left). The tram line is their kin: a strip of rails as wide as its ruts.
#include "engine/Cp1251.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"

#include <vector>

// How a line strip lies across its line and which part of its picture it shows: offsets along the left
// normal, v on each side, the nominal length of one picture period.
struct TLineStripShape {
    float A, B;
    float VA, VB;
    float Repeat;
};

class TRoadWallItem : public TLineItem {
public:
    enum TKind : int32_t { Double = 0, Right = 1, Left = 2 };

    // Entry 0 the centre lines (5, 5, 5), entry 1 the strips with the picture "Текстуры\RoadWall.bmp".
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return RoadWallTypeCode; }

    // The line record, then "RWALLKND" (int32), optional on reading, always written.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // The dense line, and the strip of its kind; any other kind draws the line only.
    void RebuildGraphics() override;

    int32_t Kind() const { return Kind_; }
    void SetKind(int32_t kind);

    // The strip of a kind; False for a kind that has none.
    static bool StripOf(int32_t kind, TLineStripShape &shape);

private:
    int32_t Kind_ = Double;
};

// The kind names in kind order ("Двойное", "Правое", "Левое"), built at start-up.
const std::vector<Cp1251String> &RoadWallKindNames();

// The strip along the dense line from the shape (nothing below 2 points).
void AddLineStrip(TDxPrimCollection &batch, TBatchOwnerKey owner, const TXYZArray &dense,
                  const TLineStripShape &shape);

void RegisterRoadWallItem();
