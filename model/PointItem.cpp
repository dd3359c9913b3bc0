#include "model/PointItem.h"

#include "model/ItemList.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"

#include "engine/UndefinedValue.h"
#include "model/ItemTypeCodes.h"
#include <cmath>

namespace {

// Calculation areas are polygons that measure other items, never places an item stands in.

} // namespace

TPointItem::TPointItem() {
    Points.CurrentIndex = 0;
}

void TPointItem::LoadFromStream(TStream &stream) {
    TAbstractItem::LoadFromStream(stream);
    Invalid = Points.Count() < 1;
}

bool TPointItem::HitTest(const TXYZ &point, double &distance, double maxDistance) {
    distance = UndefinedValue;
    if (Points.Count() > 0) {
        const TXYZ p = Points.GetPoint(0);
        const double dx = double(point.x) - p.x, dy = double(point.y) - p.y, dz = double(point.z) - p.z;
        distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    }
    return distance < maxDistance;
}

TPolygonItem *TPointItem::FindContainingPolygon() const {
    if (!Street() || Points.Count() == 0)
        return nullptr;
    const TXYZ p = Points.GetPoint(0);
    for (int code = 0; code < ItemTypeCount; ++code) {
        if (code == CalcAreaTypeCode)
            continue;
        for (const auto &item : Street()->Lists(code)) {
            auto *polygon = dynamic_cast<TPolygonItem *>(item.get());
            if (!polygon)
                break; // a list holds items of one class
            double d = 0;
            if (polygon->HitTest(p, d, 0))
                return polygon;
        }
    }
    return nullptr;
}
