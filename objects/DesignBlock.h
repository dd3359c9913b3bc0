#pragma once
// Design blocks: a picture of the street's block library placed at every vertex, all turned with the
// direction of one axis at the first vertex. A name the library lacks draws the default block.
#include "model/AbstractItem.h"
#include "model/DesignLibs.h"
#include "model/ItemTypeCodes.h"

class TDesignBlockItem : public TAbstractItem {
public:
    static int ClassMinPointCount() { return 1; }
    static bool ClassHasControlPoints() { return true; }
    // Draw shows nothing unless a vertex lies within the view's radius.
    static constexpr bool ClassDrawsNearHitBounds = true;
    int GetTypeCode() const override { return DesignBlockTypeCode; }

    // The record head, then "DSNBNAME" always, "DSNBCOLR" when the colour is not 0 and "DSNBAXIS" always;
    // reading probes each. An item without a vertex is dropped by the list loader.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;

    // The smallest distance to a vertex; hit below maxDistance.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;
    void Draw(const TDxDrawParams &params, uint32_t layer) override;
    void GetUsedNames(TUsedNames &names) const override;

    const Cp1251String &BlockName() const { return BlockName_; }
    void SetBlockName(const Cp1251String &name);
    D3DCOLOR Color() const { return Color_; }
    void SetColor(D3DCOLOR color);

    // The axis the blocks turn with (nullptr: none; the blocks keep the plan's x).
    TAbstractItem *Axis() const { return AxisRef.Count() > 0 ? AxisRef.Items(0) : nullptr; }
    void SetAxis(TAbstractItem *axis);
    TConnectedItems AxisRef{true, 1};

    // The street's library, and the block drawn: the library's block of the name, else the default block.
    TDsnBlockDefList *GetBlockDefs() const;
    TDsnBlockDef &GetBlockDef() const;

    // The first item of a polygon class (type order, then list order; active or not) holding vertex 0.
    TAbstractItem *FindContainingPolygon() const;

    // The direction (radians, counter-clockwise from the plan's x) the blocks are turned to.
    float BlockDirection() const;

protected:
    void Created() override;

    Cp1251String BlockName_;

private:
    D3DCOLOR Color_ = 0;
};

// The block drawn for names the library lacks: "Текстуры\DefaultBlock.bmp" of the data files, 1.5 m wide
// and 3 m high, anchored at its top-left pixel. A missing or unreadable picture leaves it without pixels
// (it then draws nothing).
TDsnBlockDef &DefaultDesignBlock();

// The corners of the two triangles of a block (position in metres relative to the vertex before the
// turn, texture u and v): the anchor pixel of the picture lands on (0, 0). Nothing for a picture without
// pixels.
struct TBlockCorner {
    float X, Y, U, V;
};
bool BlockCorners(const TDsnBlockDef &def, TBlockCorner (&corners)[6]);

void RegisterDesignBlockItem();
