#pragma once
// Item classes that stand in for item types whose own units do not exist yet: a point, an open line and
// a closed outline with the vertex rules of the base classes and no record fields of their own. They let
// streets holding such types open, draw and save back before the real classes are there, and step aside
// (are not registered) for every type that has its real class. Each goes when its real class lands.
#include "model/AbstractItem.h"
#include "model/ItemTypes.h"
#include "model/LineItem.h"
#include "model/StreetStructure.h"

#include "engine/UndefinedValue.h"
#include <cmath>
#include <limits>

enum class TStandInShape { Point, Line, Outline };

template <int Code, TStandInShape Shape> class TStandInItem : public TAbstractItem {
public:
    static int ClassMinPointCount() {
        return Shape == TStandInShape::Point ? 1 : Shape == TStandInShape::Line ? 2 : 3;
    }
    static int ClassMaxPointCount() {
        return Shape == TStandInShape::Point ? 1 : std::numeric_limits<int32_t>::max();
    }
    static bool ClassIsClosed() { return Shape == TStandInShape::Outline; }
    static bool ClassHasControlPoints() { return Shape == TStandInShape::Point; }
    // One line batch per type.
    static void ClassInitDrawBatches(TStreetStructure &street) {
        street.TypeBatches(Code) = {NewItemBatch(TBatchKind::Lines)};
    }

    int GetTypeCode() const override { return Code; }

    void LoadFromStream(TStream &stream) override {
        TAbstractItem::LoadFromStream(stream);
        Invalid = Points.Count() < ClassMinPointCount();
    }

    // Points: the distance to the vertex; lines and outlines: the distance to the nearest dense segment
    // whose foot lies inside it.
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override {
        distance = UndefinedValue;
        if (Shape == TStandInShape::Point) {
            if (Points.Count() > 0)
                distance = VectorDistance(point, Points.GetPoint(0));
        } else {
            Points.EnsureGeometry();
            distance = InnerSegmentDistance(Points.Dense(), point);
        }
        return distance < maxDistance;
    }

    void RebuildGraphics() override {
        TStreetStructure *street = Street();
        if (!street || street->TypeBatches(Code).empty() || !street->TypeBatches(Code)[0])
            return;
        TItemBatch &batch = *street->TypeBatches(Code)[0];
        Points.EnsureGeometry();
        const TXYZArray &d = Points.Dense();
        if (Shape == TStandInShape::Point) {
            if (Points.Count() > 0) {
                const TXYZ p = Points.GetPoint(0);
                const TXYZ cross[2] = {{p.x - 0.2f, p.y, p.z}, {p.x + 0.2f, p.y, p.z}};
                batch.AddPolylineRange(Serial(), cross, 1, 0);
            }
        } else {
            batch.AddPolylineRange(Serial(), d, static_cast<int>(d.size()) - 1, 0);
        }
    }
};

// Registers the stand-ins for every type code they cover that has no class registered: 2 "ROADWAY ",
// 3 "TROTUAR " (outlines) and 8 "BORT    " (a line) where their classes are not, 27 "KOLOD   " (a point).
void RegisterStandInItemClasses();
