#include "model/LineItem.h"

#include "engine/UndefinedValue.h"
#include <cmath>

void TLineItem::LoadFromStream(TStream &stream) {
    TAbstractItem::LoadFromStream(stream);
    Invalid = Points.Count() < 2;
}

double InnerSegmentDistance(const TXYZArray &d, const TXYZ &point) {
    double distance = UndefinedValue;
    for (std::size_t i = 0; i + 1 < d.size(); ++i) {
        if (d[i].x == d[i + 1].x && d[i].y == d[i + 1].y)
            continue;
        float t = 0, dist = 0;
        ProjectPointOnSegment(point, d[i], d[i + 1], t, dist);
        if (t > 0 && t < 1 && std::fabs(dist) < distance)
            distance = std::fabs(dist);
    }
    return distance;
}

bool TLineItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    Points.EnsureGeometry();
    distance = InnerSegmentDistance(Points.Dense(), point);
    return distance < maxDistance;
}
