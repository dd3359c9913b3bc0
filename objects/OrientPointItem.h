#pragma once
// Point items with a direction: vertex 0 is the position and vertex 1, when present, gives the heading
// (text labels, gratings, stops, pictures, painted texts and signs, plan sheets). Never registered itself.
#include "model/PointItem.h"

class TOrientPointItem : public TPointItem {
public:
    static int ClassMaxPointCount() { return 2; }

    // The direction of vertex 1 from vertex 0 in [0, 2 pi); 0 with fewer than 2 vertices (and when the two
    // coincide).
    float GetAngle() const;
    // Turns vertex 1 about vertex 0 to the angle (radians), keeping their distance; a single vertex first
    // gets a direction point at distance 1. Both take vertex 0's height. Nothing without vertices.
    void SetAngle(float angle);
};
