#pragma once
// Reference points: any number of vertices marked on the plan by small crosses in the item's colour, to
// tie measurements to fixed points. The crosses are technical details: drawn only while the pass holds
// that layer. The points can be lined up through one of them at a given angle.
#include "engine/DxVertex.h"
#include "model/AbstractItem.h"
#include "model/ItemTypeCodes.h"

#include <vector>

class TItemList;

class TRulerItem : public TAbstractItem {
public:
    // Half the arm of a cross, metres.
    static constexpr float CrossHalf = 0.5f;

    static int ClassMinPointCount() { return 1; }
    static bool ClassHasControlPoints() { return true; }
    // One line batch (5, 5, 5); the items add nothing to it.
    static void ClassInitDrawBatches(TStreetStructure &street);
    // The crosses of every active item of the list in few draw calls (what each item's Draw would draw).
    static bool ClassDrawItems(TItemList &list, const TDxDrawParams &params, uint32_t layer);
    // Crosses are drawn only at vertices within the view's radius.
    static constexpr bool ClassDrawsNearHitBounds = true;

    int GetTypeCode() const override { return RulerTypeCode; }

    // The record head, then "RULERTXT" (byte) and "RULERCLR" (4 bytes, blue, green, red, alpha); both
    // optional on reading, always written. An item without a vertex is dropped by the list loader.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    // The distance to the nearest vertex; hit below maxDistance.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;
    // A 1 m cross, not turned, at every vertex within the view circle, when the layer set holds the
    // technical details.
    void Draw(const TDxDrawParams &params, uint32_t layer) override;

    // Lines the points up through the current point at the angle (radians): every other vertex keeps
    // its plan distance from it and goes along the angle, or against it when it lies square to the angle
    // or behind. Each moves through its point list, so the items sharing it follow. Nothing without a
    // current point.
    void ArrangePoints(double angle);

    uint8_t TextFlag() const { return TextFlag_; }
    void SetTextFlag(uint8_t flag);
    D3DCOLOR Color() const { return Color_; }
    void SetColor(D3DCOLOR color);

    // The line-list vertices of the crosses Draw would draw with that view.
    void AddCrosses(const TXYZ &viewCenter, float viewRadius, std::vector<TDxVertex> &out) const;

private:
    uint8_t TextFlag_ = 0;
    D3DCOLOR Color_ = 0;
};

void RegisterRulerItem();
