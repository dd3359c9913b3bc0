#include "objects/OrientPointItem.h"

#include <cmath>

float TOrientPointItem::GetAngle() const {
    if (Points.Count() < 2)
        return 0;
    return VectorAngle(VectorFromTo(Points.GetPoint(0), Points.GetPoint(1)));
}

void TOrientPointItem::SetAngle(float angle) {
    if (Points.Count() == 0)
        return;
    const TXYZ p0 = Points.GetPoint(0);
    const double c = std::cos(double(angle)), s = std::sin(double(angle));
    if (Points.Count() == 1)
        Points.InsertNewPoint(1, {float(p0.x + c), float(p0.y + s), p0.z});
    if (Points.Count() < 2)
        return; // the direction point was refused (it fell on the position)
    const TXYZ p1 = Points.GetPoint(1);
    const double dx = double(p1.x) - p0.x, dy = double(p1.y) - p0.y, dz = double(p1.z) - p0.z;
    const double dist = std::sqrt(dx * dx + dy * dy + dz * dz);
    Points.SetPoint(1, {float(p0.x + c * dist), float(p0.y + s * dist), p0.z});
}
