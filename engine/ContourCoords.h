#pragma once
// A street's own coordinate system along its axis polyline: a plan point is described by its station
// (3-D distance along the axis) and its lateral offset (to the left of the direction of travel,
// negative to the right), both relative to an origin point the user may move.
//
// Offset lines are built from per-vertex mitre vectors, so the offset curve at offset o runs at exactly
// that perpendicular distance from every axis segment, and a station divides an offset segment in the
// same ratio as it divides the axis segment. PointAt and Locate are inverse to each other on every
// segment.
//
// Degenerate axes are made sound when the object is built, so that no operation divides by zero or
// produces NaN from finite input:
// - no points, or points that all share one plan position (x, y), give the axis from the first point
//   (or the origin) to one metre along +x;
// - repeated points and vertical steps (same x and y) stay in the copy, so stations keep their 3-D
//   lengths, but every normal is computed from the nearest neighbours with another plan position, the
//   extensions before the first and beyond the last point follow the first and last segments that have
//   a plan direction, and Locate never projects onto a segment without one.
#include "engine/DxCalc_0.h"

#include <cstdint>
#include <vector>

class TContourCoords {
public:
    explicit TContourCoords(const TXYZArray &points = {});

    int32_t Count() const { return count_; }
    const TXYZArray &Points() const { return points_; }
    // At inner points the mitre vector of the corner; at the ends the unit left normal of the end
    // segment. z is 0: an offset moves a point across the axis in the plan, never up or down.
    const TXYZArray &Normals() const { return normals_; }
    // Cumulative 3-D length at each point (accumulated in double, stored as singles); Lengths()[0] == 0.
    const std::vector<float> &Lengths() const { return lengths_; }
    const TXYZ &Origin() const { return origin_; }
    float OriginStation() const { return originStation_; }
    float OriginOffset() const { return originOffset_; }

    // The plan point at a station and offset, both relative to the origin. Before the first point and
    // beyond the last, the end segments are extended straight.
    TXYZ PointAt(float station, float offset) const;
    // The station and offset of a plan point relative to the origin, and the fractional segment index
    // (segment index plus the parameter along it, below 0 or above Count() - 1 on the extensions).
    // False, with nothing written, when no segment can be found (a point with a NaN coordinate).
    bool Locate(const TXYZ &p, float &index, float &offset, float &station) const;
    // The origin moves to p; its absolute station and offset are those Locate gives for p (0 when it
    // gives none).
    void SetOrigin(const TXYZ &p);
    // The polyline parallel to the axis at the offset from station1 to station2 (relative values): the
    // two end points with the offset axis vertices between them; only the ends when station2 < station1
    // or no vertex lies between the stations. At most Count() + 2 points.
    TXYZArray OffsetCurve(float station1, float station2, float offset) const;
    // The segment (result - 1, result) holding the absolute station s: the first inner index whose
    // length exceeds s, or Count() - 1 when none does.
    int32_t FindSegment(double s) const;

private:
    void ComputeLengths();
    void ComputeNormals();
    // The XY-nondegenerate segment to measure from when NearestSegmentIndex gives segment i.
    int32_t PlanSegmentAt(int32_t i) const;
    bool SegmentHasPlanLength(int32_t i) const;
    // d0: the lateral distance of p from segment i; t: its parameter along the offset segment at d0.
    void MeasureOnSegment(int32_t i, const TXYZ &p, float &t, float &d0) const;

    int32_t count_ = 0;
    TXYZArray points_;
    TXYZArray normals_;
    std::vector<float> lengths_;
    TXYZ origin_;
    float originStation_ = 0;
    float originOffset_ = 0;
    // Unit 3-D directions of the first and last segments with a plan direction (the extensions).
    TXYZ startDir_;
    TXYZ endDir_;
};
