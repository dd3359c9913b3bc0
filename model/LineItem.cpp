#include "model/LineItem.h"

#include <cmath>

void TLineItem::LoadFromStream(TStream &stream) {
    TAbstractItem::LoadFromStream(stream);
    Invalid = Points.Count() < 2;
}

bool TLineItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    distance = 3.4e38;
    Points.EnsureGeometry();
    const TXYZArray &d = Points.Dense();
    for (std::size_t i = 0; i + 1 < d.size(); ++i) {
        if (d[i].x == d[i + 1].x && d[i].y == d[i + 1].y)
            continue;
        float t = 0, dist = 0;
        ProjectPointOnSegment(point, d[i], d[i + 1], t, dist);
        if (t > 0 && t < 1 && std::fabs(dist) < distance)
            distance = std::fabs(dist);
    }
    return distance < maxDistance;
}
