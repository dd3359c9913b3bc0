#pragma once
// Manholes and drain gratings: small structures drawn as textured squares. A manhole may carry its owner
// ("Принадлежность"), written beside it in atlas glyphs turned with its reference axis; a grating is a bar
// rectangle turned with its direction point.
#include "engine/Cp1251.h"
#include "engine/DxCalc_0.h"
#include "model/ItemTypeCodes.h"
#include "model/PointItem.h"
#include "objects/OrientPointItem.h"

#include <cstdint>

class TMatrixShell;

// The alignment a stored byte means: codes above 8 are read as the default 6.
uint8_t EffectiveTextAlign(uint8_t code);

class TKolodItem : public TPointItem {
public:
    static constexpr float DefaultSize = 0.99f;
    static constexpr uint8_t DefaultTextAlign = 6;

    // Entry 0 the textured squares ("Текстуры/Kolod.bmp"), entry 1 the owner labels on the small atlas.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return KolodTypeCode; }

    // The point record, then "KOLODOWN" (only when the owner is not empty) and "KOLTXALG" (always).
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    void RebuildGraphics() override;

    const Cp1251String &Owner() const { return Owner_; }
    void SetOwner(const Cp1251String &owner);
    uint8_t TextAlign() const { return TextAlign_; }
    // Stores the code as given (8 and below) and redraws.
    void SetTextAlign(uint8_t code);
    // The symbol's side in metres (not stored); 0 draws as 1 metre.
    float Size() const { return Size_; }
    void SetSize(float size);

    // The transform of the owner label's glyphs (atlas units, x along the text, y up) into the plan: at the
    // point, turned by the axis direction theta, set off by the size and anchored by the alignment on a
    // text of w x h atlas units. Applied before what the shell holds.
    static void LabelTransform(TMatrixShell &m, const TXYZ &at, float theta, float size, uint8_t align,
                               float w, float h);

private:
    Cp1251String Owner_;
    float Size_ = DefaultSize;
    uint8_t TextAlign_ = DefaultTextAlign;
};

class TReshetItem : public TOrientPointItem {
public:
    static constexpr float HalfLength = 0.6f, HalfWidth = 0.3f;

    static int ClassMinPointCount() { return 2; }
    // Entry 0 the textured rectangles ("Текстуры/Reshet.bmp"), colour (5, 5, 5).
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return ReshetTypeCode; }

    // The point record; fewer than two vertices drop the item.
    void LoadFromStream(TStream &stream) override;
    void RebuildGraphics() override;

    // The rectangle's corners (-0.6, -0.3), (0.6, -0.3), (0.6, 0.3), (-0.6, 0.3) about the position, turned
    // with the direction.
    static std::array<TXYZ, 4> Corners(const TXYZ &at, float angle);
};

void RegisterKolodItems();
