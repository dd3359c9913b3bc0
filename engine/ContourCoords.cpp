#include "engine/ContourCoords.h"

#include <cmath>

namespace {

bool SamePlanPosition(const TXYZ &a, const TXYZ &b) {
    return a.x == b.x && a.y == b.y;
}

// Unit left normal of a->b in the plan; the caller guarantees a plan direction.
TXYZ LeftNormal(const TXYZ &a, const TXYZ &b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double len = std::sqrt(dx * dx + dy * dy);
    return {float(-dy / len), float(dx / len), 0};
}

// p + d * s + n * o, in double.
TXYZ Displace(const TXYZ &p, const TXYZ &d, double s, const TXYZ &n, double o) {
    return {float(p.x + d.x * s + n.x * o), float(p.y + d.y * s + n.y * o), float(p.z + d.z * s + n.z * o)};
}

} // namespace

TContourCoords::TContourCoords(const TXYZArray &points) {
    bool hasExtent = false;
    for (std::size_t i = 1; i < points.size() && !hasExtent; ++i)
        hasExtent = !SamePlanPosition(points[i], points[0]);
    if (hasExtent) {
        points_.assign(points.begin(), points.end());
    } else {
        // Nothing to measure along: one metre along +x from the first point. Far from the plan origin
        // one metre may vanish in a single; the next representable x keeps the segment real.
        const TXYZ p = points.empty() ? TXYZ{} : points[0];
        TXYZ q{p.x + 1, p.y, p.z};
        if (q.x == p.x)
            q.x = std::nextafter(p.x, HUGE_VALF);
        points_ = {p, q};
    }
    count_ = static_cast<int32_t>(points_.size());
    ComputeLengths();
    ComputeNormals();
    origin_ = points_[0];
}

void TContourCoords::ComputeLengths() {
    lengths_.assign(points_.size(), 0.0f);
    double total = 0;
    for (int32_t i = 1; i < count_; ++i) {
        const TXYZ &a = points_[i - 1], &b = points_[i];
        const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
        total += std::sqrt(dx * dx + dy * dy + dz * dz);
        lengths_[i] = float(total);
    }
}

void TContourCoords::ComputeNormals() {
    // Runs of consecutive points at one plan position share the normal of their nearest neighbours
    // elsewhere, so offset segments of repeated points collapse exactly as the axis segments do.
    normals_.assign(points_.size(), TXYZ{0, 1, 0});
    startDir_ = {1, 0, 0};
    endDir_ = {1, 0, 0};
    bool firstRun = true;
    for (int32_t a = 0; a < count_;) {
        int32_t b = a;
        while (b + 1 < count_ && SamePlanPosition(points_[b + 1], points_[a]))
            ++b;
        const bool hasPrev = a > 0, hasNext = b + 1 < count_;
        TXYZ n{0, 1, 0};
        if (hasPrev && hasNext)
            n = MiterVector(points_[a - 1], points_[a], points_[b + 1]);
        else if (hasNext)
            n = LeftNormal(points_[a], points_[b + 1]);
        else if (hasPrev)
            n = LeftNormal(points_[a - 1], points_[a]);
        n.z = 0;
        for (int32_t k = a; k <= b; ++k)
            normals_[k] = n;
        if (firstRun && hasNext)
            startDir_ = VectorDirection(points_[b], points_[b + 1]);
        if (!hasNext && hasPrev)
            endDir_ = VectorDirection(points_[a - 1], points_[a]);
        firstRun = false;
        a = b + 1;
    }
}

int32_t TContourCoords::FindSegment(double s) const {
    int32_t lo = 1, hi = count_ - 2;
    while (lo <= hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (lengths_[mid] <= s)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return lo;
}

TXYZ TContourCoords::PointAt(float station, float offset) const {
    const double s = double(station) + originStation_, o = double(offset) + originOffset_;
    const int32_t last = count_ - 1;
    if (s < 0)
        return Displace(points_[0], startDir_, s, normals_[0], o);
    if (s <= lengths_[last]) {
        const int32_t i = FindSegment(s);
        const TXYZ &pa = points_[i - 1], &pb = points_[i];
        const TXYZ &na = normals_[i - 1], &nb = normals_[i];
        // Only a zero-length last segment can hold s with no length to divide: it is one point.
        const double den = double(lengths_[i]) - lengths_[i - 1];
        const double f = den > 0 ? (s - lengths_[i - 1]) / den : 0.0;
        const double ax = pa.x + na.x * o, ay = pa.y + na.y * o, az = pa.z + na.z * o;
        const double bx = pb.x + nb.x * o, by = pb.y + nb.y * o, bz = pb.z + nb.z * o;
        return {float(ax + (bx - ax) * f), float(ay + (by - ay) * f), float(az + (bz - az) * f)};
    }
    // Beyond the last point, and NaN stations (which give NaN points).
    return Displace(points_[last], endDir_, s - lengths_[last], normals_[last], o);
}

bool TContourCoords::SegmentHasPlanLength(int32_t i) const {
    const double dx = double(points_[i + 1].x) - points_[i].x, dy = double(points_[i + 1].y) - points_[i].y;
    return dx * dx + dy * dy > 0;
}

int32_t TContourCoords::PlanSegmentAt(int32_t i) const {
    if (SegmentHasPlanLength(i))
        return i;
    // The nearest vertex starts a run of points at one plan position: measure on the segment that
    // leaves the run, or the one that enters it at the end of the axis. The mitre normals make both
    // give the same station and offset at the shared vertex.
    for (int32_t j = i + 1; j + 1 < count_; ++j)
        if (SegmentHasPlanLength(j))
            return j;
    for (int32_t j = i - 1; j >= 0; --j)
        if (SegmentHasPlanLength(j))
            return j;
    return -1;
}

void TContourCoords::MeasureOnSegment(int32_t i, const TXYZ &p, float &t, float &d0) const {
    ProjectPointOnSegment(p, points_[i], points_[i + 1], t, d0);
    const TXYZ a = Displace(points_[i], {}, 0, normals_[i], d0);
    const TXYZ b = Displace(points_[i + 1], {}, 0, normals_[i + 1], d0);
    // Measured on the offset segment, so that PointAt comes back to p. Inside a tight bend the offset
    // segment can shrink to a point; the axis segment's own parameter stands in there.
    const double ex = double(b.x) - a.x, ey = double(b.y) - a.y;
    if (ex * ex + ey * ey > 0) {
        float dist = 0;
        ProjectPointOnSegment(p, a, b, t, dist);
    }
}

bool TContourCoords::Locate(const TXYZ &p, float &index, float &offset, float &station) const {
    int32_t i = NearestSegmentIndex(points_, p);
    if (i < 0)
        return false;
    i = PlanSegmentAt(i);
    if (i < 0)
        return false;
    float t = 0, d0 = 0;
    MeasureOnSegment(i, p, t, d0);
    // Outside a corner, in the wedge between the two segments' perpendiculars, the nearest candidate is
    // the vertex, which names the segment after it; the point belongs to the offset segment before it,
    // where its parameter lies within the segment.
    if (t < 0) {
        int32_t j = i - 1;
        while (j >= 0 && !SegmentHasPlanLength(j))
            --j;
        if (j >= 0) {
            float tj = 0, dj = 0;
            MeasureOnSegment(j, p, tj, dj);
            if (tj >= 0 && tj <= 1) {
                i = j;
                t = tj;
                d0 = dj;
            }
        }
    }
    index = float(i + double(t));
    station = float(lengths_[i] + (double(lengths_[i + 1]) - lengths_[i]) * t - originStation_);
    offset = float(double(d0) - originOffset_);
    return true;
}

void TContourCoords::SetOrigin(const TXYZ &p) {
    origin_ = p;
    originStation_ = 0;
    originOffset_ = 0;
    float index = 0, offset = 0, station = 0;
    if (Locate(p, index, offset, station)) {
        originStation_ = station;
        originOffset_ = offset;
    }
}

TXYZArray TContourCoords::OffsetCurve(float station1, float station2, float offset) const {
    const double s1 = double(station1) + originStation_, s2 = double(station2) + originStation_;
    const double o = double(offset) + originOffset_;
    const int32_t last = count_ - 1;
    TXYZArray result;
    result.reserve(static_cast<std::size_t>(count_) + 2);
    result.push_back(PointAt(station1, offset));
    if (s1 <= s2) {
        const int32_t i1 = s1 >= lengths_[0] ? FindSegment(s1) : 0;
        const int32_t i2 = s2 <= lengths_[last] ? FindSegment(s2) - 1 : last;
        // Only vertices strictly after s1 and up to s2: stations both beyond the last point take none.
        for (int32_t k = i1; k <= i2; ++k)
            if (lengths_[k] > s1 && lengths_[k] <= s2)
                result.push_back(Displace(points_[k], {}, 0, normals_[k], o));
    }
    result.push_back(PointAt(station2, offset));
    return result;
}
