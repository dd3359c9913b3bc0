#pragma once
// Design figures: a decorative outline filled with a plain colour, or with the tiled picture of a style
// of the street's fill-style library, the tiles turned along the figure's reference axis at its first
// vertex. No outline edges are drawn.
//
// Batches of the type: 0 the plain fill; from 1 on one per library style, placed there by the library.
#include "engine/DxVertex.h"
#include "model/DesignLibs.h"
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"

class TDesignFigureItem : public TPolygonItem {
public:
    // Entry 0 of the batch array when it is missing; the library's entries stay.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return DesignFigureTypeCode; }

    // The polygon record, then "DSFFILLC" always and "DSFSTYLE" when the style name is not empty; reading
    // probes each.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    void RebuildGraphics() override;
    void GetUsedNames(TUsedNames &names) const override;

    D3DCOLOR FillColor() const { return FillColor_; }
    void SetFillColor(D3DCOLOR color);
    const Cp1251String &StyleName() const { return StyleName_; }
    void SetStyleName(const Cp1251String &name);

    TDsnFigDefList *GetFigDefs() const;

private:
    D3DCOLOR FillColor_ = 0;
    Cp1251String StyleName_;
};

// How the tiles of a style lie on the plan: u = along / PeriodX and v = -across / PeriodY, where along
// and across are measured from the origin along the direction (Cos, Sin) and its left normal. Periods of
// 0 or not finite count as 1. The origin is vertex 0 snapped down to multiples of 1 / PeriodX and
// 1 / PeriodY, so that small moves of the vertex keep the tiles in place.
struct TFigureTiling {
    double PeriodX = 1, PeriodY = 1, OriginX = 0, OriginY = 0, Cos = 1, Sin = 0;

    TFigureTiling(const TDsnFigDef &def, const TXYZ &vertex0, double angle);
    TFigureTiling(const TDsnFigDef &def, const TXYZ &vertex0) : TFigureTiling(def, vertex0, 0) {}
    void UV(const TXYZ &p, float &u, float &v) const;
};

void RegisterDesignFigureItem();
