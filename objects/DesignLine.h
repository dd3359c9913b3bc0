#pragma once
// Design lines: a decorative band along an open chain of vertices. Either a built-in style (solid,
// dashed or dash-dotted, of the line's own colour, width, period and displacement) or a style of the
// street's line-style library, whose start, repeated and finish pictures are laid along the line; a
// library style without a repeated picture shows as a red band. A line of width 0 (or any line in the
// solid style) is also drawn as a thin line along the band's centre.
//
// Batches of the type: 0 an empty line batch, 1 solid, 2 dashed, 3 dash-dotted bands; from 4 on three per
// library style (start, repeat, finish), placed there by the library.
#include "engine/DxVertex.h"
#include "engine/UndefinedValue.h"
#include "model/DesignLibs.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"

#include <vector>

class TDesignLineItem : public TLineItem {
public:
    enum TStyle : int32_t { Solid = 0, Dashed = 1, DashDotted = 2 };
    // Entries 0 to 3 of the batch array as above; entries that are there already stay (the street reader
    // publishes the library's entries before the first line is made).
    static void ClassInitDrawBatches(TStreetStructure &street);
    // Draw shows nothing unless the box of the dense line comes within the view's radius.
    static constexpr bool ClassDrawsNearHitBounds = true;
    int GetTypeCode() const override { return DesignLineTypeCode; }

    // The line record, then the six fields of SaveFields.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // "DSLCOLOR", "DSLWIDTH", "DSLPERID", "DSL_DISP", "DSLSTYLE", "DSLEXDEF", each written always and probed
    // on reading (the design-line dialog copies one line's look to others with them).
    void SaveFields(TStream &stream) const;
    void LoadFields(TStream &stream);

    // Drawing uses effective values and stores nothing: a period of 0, below 0 or not finite counts as 1,
    // a style other than the three built-in ones as solid, a width or displacement that is not finite as 0.
    void RebuildGraphics() override;
    void Draw(const TDxDrawParams &params, uint32_t layer) override;
    // The distance to the band's centre line (at -Disp across the dense line), over the segments whose foot
    // lies strictly inside them.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;
    void GetUsedNames(TUsedNames &names) const override;
    // The box of the dense line widened by the displacement.
    bool GetHitBounds(TItemBounds &box) override;

    D3DCOLOR Color() const { return Color_; }
    float Width() const { return Width_; }
    int32_t Style() const { return Style_; }
    float Period() const { return Period_; }
    float Disp() const { return Disp_; }
    const Cp1251String &ExtDef() const { return ExtDef_; }
    void SetColor(D3DCOLOR color);
    void SetWidth(float width);
    void SetStyle(int32_t style);
    void SetPeriod(float period);
    void SetDisp(float disp);
    void SetExtDef(const Cp1251String &name);

    TDsnLineDefList *GetLineDefs() const;
    // The library style ExtDef names; nullptr when none does.
    TDsnLineDef *FindLineDef() const;

    // The box of the dense line of the last rebuild (empty, max below min, before one).
    float MaxX = -UndefinedValueF, MaxY = -UndefinedValueF, MinX = UndefinedValueF, MinY = UndefinedValueF;

private:
    void ReadFields(TStream &stream);

    D3DCOLOR Color_ = 0;
    float Width_ = 0;
    int32_t Style_ = Solid;
    float Period_ = 0;
    float Disp_ = 0;
    Cp1251String ExtDef_;
};

// The parts a library style lays along a line of that length: the start picture over [0, Start], the
// repeated one over [Start, Finish], the finish picture over [Finish, length]. The start takes at most the
// line, the finish at most what the start leaves. Lengths of 0 or less (a part without its picture) give
// empty parts.
struct TLineCuts {
    double Start = 0, Finish = 0;
};
TLineCuts CutDesignLine(double length, double startLength, double finishLength);

// The piece of a polyline between two distances along it (0 <= from <= to <= its length), with its
// ends interpolated; fewer than two points when the piece has no length.
TXYZArray PolylinePiece(const TXYZArray &points, const std::vector<double> &cumulative, double from,
                        double to);

void RegisterDesignLineItem();
