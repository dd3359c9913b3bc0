#pragma once
// Items of one vertex: signs, manholes, labels (oriented ones add a direction point).
#include "engine/UndefinedValue.h"
#include "model/AbstractItem.h"

class TPolygonItem;

class TPointItem : public TAbstractItem {
public:
    TPointItem();

    static int ClassMinPointCount() { return 1; }
    static int ClassMaxPointCount() { return 1; }
    static bool ClassIsClosed() { return false; }
    static bool ClassHasControlPoints() { return true; }

    // The record head; an item without a vertex is dropped by the list loader.
    void LoadFromStream(TStream &stream) override;
    // The distance to vertex 0 (UndefinedValue without one); hit below maxDistance.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;

    // The first polygon, in type order and list order, that holds vertex 0 (calculation areas aside,
    // active or not); nullptr without a vertex or when none does.
    TPolygonItem *FindContainingPolygon() const;
};
