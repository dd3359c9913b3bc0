#pragma once
// Geometry kernel: single-precision vectors, triangles, 4x4 matrices (row vectors, translation in the
// fourth row) and planes.
//
// Results are stored as singles; intermediate values are kept in double. Degenerate input gives IEEE
// special values, never a trap: a division by zero yields an infinity, 0/0 a NaN (x86-64 computes with
// every floating-point exception masked, and nothing here unmasks them). Callers test lengths first
// where a non-finite result would matter.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// A point or vector of three singles; plan coordinates in metres, y up, counter-clockwise positive.
struct TXYZ {
    float x = 0, y = 0, z = 0;
    friend bool operator==(const TXYZ &, const TXYZ &) = default;
};
static_assert(sizeof(TXYZ) == 12);

// An open polyline, a closed contour (closing point not repeated) or a flat triangle list.
using TXYZArray = std::vector<TXYZ>;
using TXYZArrays = std::vector<TXYZArray>;

// 4 x 4 singles used with row vectors: v' = (x, y, z, 1) x M; m[row][column], rows and columns from 0.
struct TDxMatrix {
    float m[4][4] = {};
    friend bool operator==(const TDxMatrix &, const TDxMatrix &) = default;
};
static_assert(sizeof(TDxMatrix) == 64);

// The plane a*x + b*y + c*z + d = 0 (normal not normalised).
struct TDxPlane {
    float a = 0, b = 0, c = 0, d = 0;
};

// ---- Construction and comparison -------------------------------------------------------------------

inline TXYZ MakeVector(float x, float y, float z) {
    return {x, y, z};
}
// x, y and z exactly equal (+0 equals -0; NaN equals nothing).
inline bool VectorsEqual(const TXYZ &a, const TXYZ &b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
// x and y bitwise equal (+0 and -0 differ).
inline bool VectorsEqualXY(const TXYZ &a, const TXYZ &b) {
    return std::bit_cast<uint32_t>(a.x) == std::bit_cast<uint32_t>(b.x) &&
           std::bit_cast<uint32_t>(a.y) == std::bit_cast<uint32_t>(b.y);
}
// 1 when a > b, 0 when equal, -1 otherwise (also when either is NaN).
inline int CompareSingles(float a, float b) {
    return a > b ? 1 : (a == b ? 0 : -1);
}
// dy / dx; a vertical segment gives an infinity (or NaN for a zero-length one).
inline float SegmentSlope(const TXYZ &a, const TXYZ &b) {
    return static_cast<float>((double(b.y) - a.y) / (double(b.x) - a.x));
}

// ---- Vector arithmetic (3-D) -----------------------------------------------------------------------

inline TXYZ VectorAdd(const TXYZ &a, const TXYZ &b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
// b - a: the vector from the first point to the second.
inline TXYZ VectorFromTo(const TXYZ &a, const TXYZ &b) {
    return {b.x - a.x, b.y - a.y, b.z - a.z};
}
inline TXYZ VectorMid(const TXYZ &a, const TXYZ &b) {
    return {float((double(a.x) + b.x) * 0.5), float((double(a.y) + b.y) * 0.5),
            float((double(a.z) + b.z) * 0.5)};
}
TXYZ VectorSum(std::span<const TXYZ> points);
inline TXYZ VectorScale(const TXYZ &v, float s) {
    return {v.x * s, v.y * s, v.z * s};
}
inline TXYZ VectorMulComp(const TXYZ &a, const TXYZ &b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline float VectorLength(const TXYZ &v) {
    return float(std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z));
}
inline float VectorDistance(const TXYZ &a, const TXYZ &b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
    return float(std::sqrt(dx * dx + dy * dy + dz * dz));
}
// v * (len / |v|); a zero vector gives non-finite components.
TXYZ VectorSetLength(const TXYZ &v, float len);
// (b - a) / |b - a|; equal points give non-finite components.
TXYZ VectorDirection(const TXYZ &a, const TXYZ &b);
inline TXYZ VectorLerp(const TXYZ &a, const TXYZ &b, float t) {
    return {float(a.x + (double(b.x) - a.x) * t), float(a.y + (double(b.y) - a.y) * t),
            float(a.z + (double(b.z) - a.z) * t)};
}

// ---- Rotations in the plane (z passes through) -----------------------------------------------------

inline TXYZ VectorPerpLeft(const TXYZ &v) {
    return {-v.y, v.x, v.z};
}
inline TXYZ VectorPerpRight(const TXYZ &v) {
    return {v.y, -v.x, v.z};
}
inline TXYZ VectorNegateXY(const TXYZ &v) {
    return {-v.x, -v.y, v.z};
}
// Counter-clockwise by angle (radians).
TXYZ VectorRotate(const TXYZ &v, float angle);
// As VectorRotate with cos = dx / h, sin = dy / h, h = |(dx, dy)|; a zero direction gives NaN.
TXYZ VectorRotateByDir(const TXYZ &v, float dx, float dy);
// atan2(y, x) in [0, 2*pi); (0, 0) gives 0.
float VectorAngle(const TXYZ &v);
// The angle of v measured counter-clockwise from dir, in [0, 2*pi).
float VectorAngleFrom(const TXYZ &dir, const TXYZ &v);
// The angle of segment c-d measured from the direction of segment a-b.
float SegmentsAngle(const TXYZ &a, const TXYZ &b, const TXYZ &c, const TXYZ &d);
// The reflection of v about the line through the origin along axis.
TXYZ VectorMirror(const TXYZ &v, const TXYZ &axis);

// ---- Triangles and areas ---------------------------------------------------------------------------

// Positive for a counter-clockwise triangle.
inline float TriangleArea(const TXYZ &a, const TXYZ &b, const TXYZ &c) {
    return float(((double(b.x) - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (double(b.y) - a.y)) *
                 0.5);
}
inline int TriangleOrientation(const TXYZ &a, const TXYZ &b, const TXYZ &c) {
    const float s = TriangleArea(a, b, c);
    return s > 0 ? 1 : (s < 0 ? -1 : 0);
}
inline bool PointsCollinear(const TXYZ &a, const TXYZ &b, const TXYZ &c) {
    return TriangleArea(a, b, c) == 0;
}
inline float TriangleAbsArea(const TXYZ &a, const TXYZ &b, const TXYZ &c) {
    return std::fabs(TriangleArea(a, b, c));
}
// Sum of the absolute areas of the whole triples of a flat triangle list.
float TriangleListArea(const TXYZArray &triangles);
// Strictly inside, or exactly one of the corners; a point on an edge (not a corner) is outside.
bool PointInTriangle(const TXYZ &p, const TXYZ &a, const TXYZ &b, const TXYZ &c);
bool PointInTriangleList(const TXYZ &p, const TXYZArray &triangles);

// ---- Lines and segments ----------------------------------------------------------------------------

// The corner of a line offset by one unit to the left at cur: its dot product with both segments' unit
// left normals is 1. At a spike (prev and next on the same ray) it is the left normal of the incoming
// segment; where prev or next coincides with cur, the normal of the other segment; (0, 0) when all three
// coincide.
TXYZ MiterVector(const TXYZ &prev, const TXYZ &cur, const TXYZ &next);
// t: 0 at a, 1 at b; dist: signed distance from the line, positive left of a->b (XY).
void ProjectPointOnSegment(const TXYZ &p, const TXYZ &a, const TXYZ &b, float &t, float &dist);
// The index after which a vertex near p is inserted into the polyline; -1 for an empty one.
int NearestSegmentIndex(const TXYZArray &poly, const TXYZ &p);
// Crossing of the lines a-b and c-d: t along a->b, u along c->d. False (t, u untouched) for parallel or
// degenerate lines and when a parameter is not a finite single.
bool LinesIntersect(const TXYZ &a, const TXYZ &b, const TXYZ &c, const TXYZ &d, float &t, float &u);
inline bool LinesIntersect2(const TXYZ &a, const TXYZ &b, const TXYZ &c, const TXYZ &d, float &t, float &u) {
    return LinesIntersect(a, b, c, d, t, u);
}
// The crossing point of the lines, or (0, 0, 0) when they do not cross.
TXYZ LinesIntersectionPoint(const TXYZ &a, const TXYZ &b, const TXYZ &c, const TXYZ &d);
// The length of the part of segment a-b inside the triangle t0, t1, t2.
float SegmentLengthInTriangle(const TXYZ &a, const TXYZ &b, const TXYZ &t0, const TXYZ &t1, const TXYZ &t2);
// Sum over every segment and every triangle (overlapping triangles count twice).
float PolylineLengthInArea(const TXYZArray &polyline, const TXYZArray &triangles);
float TrianglesOverlapArea(std::span<const TXYZ, 3> a, std::span<const TXYZ, 3> b);
// Sum of TrianglesOverlapArea over every pair of triangles of the two flat lists.
float AreasOverlapArea(const TXYZArray &a, const TXYZArray &b);

// ---- Matrices and planes ---------------------------------------------------------------------------

void MatrixIdentity(TDxMatrix &m);
// r = a x b (r may be a or b).
void MatrixMultiply(const TDxMatrix &a, const TDxMatrix &b, TDxMatrix &r);
// r = the inverse of m; the identity when m is singular (r may be m).
void MatrixInvert(const TDxMatrix &m, TDxMatrix &r);
// (x, y, z, 1) x m, all four divided by the resulting w (the given w is not used).
std::array<float, 4> TransformVector4(const TDxMatrix &m, float x, float y, float z, float w);
// Inline: the renderer and the batches call it for every vertex they move.
inline TXYZ TransformVector(const TDxMatrix &m, const TXYZ &p) {
    const double x = p.x, y = p.y, z = p.z;
    const double w = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    return {float((x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0]) / w),
            float((x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1]) / w),
            float((x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2]) / w)};
}
// q = (p, 1) x m, divided by w unless w is exactly 1; sets behind when w < 0 and never clears it.
void TransformVectorClip(const TDxMatrix &m, const TXYZ &p, TXYZ &q, bool &behind);
// The plane through p with normal q - p.
inline TDxPlane MakePlane(const TXYZ &p, const TXYZ &q) {
    const TXYZ n = VectorFromTo(p, q);
    return {n.x, n.y, n.z, float(-(double(n.x) * p.x + double(n.y) * p.y + double(n.z) * p.z))};
}
inline float PlaneDistance(const TDxPlane &pl, const TXYZ &p) {
    return float(double(pl.a) * p.x + double(pl.b) * p.y + double(pl.c) * p.z + pl.d);
}
// The parameter along a->b where the segment's line meets the plane.
float PlaneSegmentParam(const TDxPlane &pl, const TXYZ &a, const TXYZ &b);
// Keeps the part of a-b on the non-negative side of the plane; False when none is.
bool ClipSegmentByPlane(const TDxPlane &pl, TXYZ &a, TXYZ &b);

// ---- Counted pointer arrays ------------------------------------------------------------------------

// Pointers to points handed over by the triangulator, three per triangle. The block does not own the
// points; slot access is bounds-checked against the capacity.
class TPtrBlock {
public:
    explicit TPtrBlock(int32_t capacity);
    int32_t Capacity() const { return static_cast<int32_t>(slots_.size()); }
    int32_t Count() const { return count_; }
    // 0 <= count <= Capacity().
    void SetCount(int32_t count);
    const TXYZ *&operator[](int32_t i);
    const TXYZ *operator[](int32_t i) const;
    // The first Count() slots.
    std::span<const TXYZ *const> Items() const { return {slots_.data(), static_cast<std::size_t>(count_)}; }
    // Contents kept; the count is lowered to the new capacity when it was larger.
    void SetCapacity(int32_t capacity);

private:
    std::vector<const TXYZ *> slots_;
    int32_t count_ = 0;
};

// A block of the given capacity with count 0.
std::unique_ptr<TPtrBlock> CreatePtrArray(int32_t capacity);
// An empty variable gets a new block; otherwise the block changes capacity (contents kept).
void ResizePtrArray(std::unique_ptr<TPtrBlock> &block, int32_t capacity);
void FreePtrArray(std::unique_ptr<TPtrBlock> &block);
