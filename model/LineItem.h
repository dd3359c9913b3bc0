#pragma once
// Items along an open chain of at least two vertices: axes, curbs, markings.
#include "engine/UndefinedValue.h"
#include "model/AbstractItem.h"

// The smallest distance from the point to a segment of the polyline whose foot lies strictly inside it
// (UndefinedValue when none does); zero-length segments are skipped.
double InnerSegmentDistance(const TXYZArray &polyline, const TXYZ &point);

class TLineItem : public TAbstractItem {
public:
    static int ClassMinPointCount() { return 2; }
    static bool ClassIsClosed() { return false; }
    static bool ClassHasControlPoints() { return false; }

    // The record head; an item with fewer than 2 vertices is dropped by the list loader.
    void LoadFromStream(TStream &stream) override;
    // The smallest distance to a dense segment whose foot lies strictly inside it (UndefinedValue when none
    // does); hit below maxDistance. A point beside a vertex, past both segments' ends, is not hit.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;

    // The types of the items that share an edge with this one.
    TItemTypeSet GetAllEdgeNeighbourTypes() const { return Points.GetAllEdgeNeighbourTypes(); }
};
