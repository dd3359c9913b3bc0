#include "engine/DxCalc_0.h"
#include "engine/StreetError.h"
#include "support/Expectations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace {

using sptest::ExpectNear;
using sptest::Finite;

constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr double Pi = std::numbers::pi;

TXYZ V(float x, float y, float z = 0) {
    return {x, y, z};
}

TDxMatrix Translation(float x, float y, float z) {
    TDxMatrix m;
    MatrixIdentity(m);
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

// Row-vector product in double, written apart from the kernel. The tolerance is relative to the
// magnitude of the terms: an inverse stored in singles cancels large translations only that well.
void ExpectProductIsIdentity(const TDxMatrix &a, const TDxMatrix &b, double tol) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double s = 0, mag = 0;
            for (int k = 0; k < 4; ++k) {
                s += double(a.m[i][k]) * b.m[k][j];
                mag += std::fabs(double(a.m[i][k]) * b.m[k][j]);
            }
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, tol * (1 + mag)) << i << "," << j;
        }
    }
}

// Area of the intersection of two triangles by clipping one against the other's half-planes
// (Sutherland-Hodgman in double), independent of the kernel's own corner-collecting method.
double ClipOverlapArea(const TXYZ a[3], const TXYZ b[3]) {
    struct P {
        double x, y;
    };
    auto signedArea = [](const std::vector<P> &poly) {
        double s = 0;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const P &p = poly[i], &q = poly[(i + 1) % poly.size()];
            s += p.x * q.y - q.x * p.y;
        }
        return s / 2;
    };
    std::vector<P> poly{{a[0].x, a[0].y}, {a[1].x, a[1].y}, {a[2].x, a[2].y}};
    std::vector<P> clip{{b[0].x, b[0].y}, {b[1].x, b[1].y}, {b[2].x, b[2].y}};
    if (signedArea(clip) < 0)
        std::swap(clip[1], clip[2]);
    for (int e = 0; e < 3 && !poly.empty(); ++e) {
        const P c0 = clip[e], c1 = clip[(e + 1) % 3];
        auto side = [&](const P &p) { return (c1.x - c0.x) * (p.y - c0.y) - (c1.y - c0.y) * (p.x - c0.x); };
        std::vector<P> out;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const P &p = poly[i], &q = poly[(i + 1) % poly.size()];
            const double sp = side(p), sq = side(q);
            if (sp >= 0)
                out.push_back(p);
            if ((sp >= 0) != (sq >= 0)) {
                const double t = sp / (sp - sq);
                out.push_back({p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t});
            }
        }
        poly = out;
    }
    return poly.size() < 3 ? 0 : std::fabs(signedArea(poly));
}

} // namespace

// ---- Construction, comparison and the documented special values ------------------------------------

TEST(DxCalc0, ComparisonsDistinguishExactAndBitwiseEquality) {
    struct Case {
        TXYZ a, b;
        bool equal, equalXY;
    } cases[] = {
        {V(1, 2, 3), V(1, 2, 3), true, true},      {V(1, 2, 3), V(1, 2, 4), false, true}, // XY ignores z
        {V(0, 2), V(-0.0f, 2), true, false}, // +0 == -0, but the bytes differ
        {V(NaN, 2), V(NaN, 2), false, true}, // same bytes, never equal as numbers
        {V(1, 2), V(1, 2.0000002f), false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(VectorsEqual(c.a, c.b), c.equal) << c.a.x << " " << c.b.x;
        EXPECT_EQ(VectorsEqualXY(c.a, c.b), c.equalXY) << c.a.x << " " << c.b.x;
    }
    struct CmpCase {
        float a, b;
        int want;
    } cmp[] = {{2, 1, 1}, {1, 1, 0}, {1, 2, -1}, {0, -0.0f, 0}, {NaN, 1, -1}, {1, NaN, -1}};
    for (const CmpCase &c : cmp)
        EXPECT_EQ(CompareSingles(c.a, c.b), c.want) << c.a << " " << c.b;
}

TEST(DxCalc0, DegenerateInputGivesSpecialValuesNotTraps) {
    // Division by zero must give an infinity (or NaN for 0/0) and carry on.
    EXPECT_EQ(SegmentSlope(V(1, 1), V(1, 5)), Inf);
    EXPECT_EQ(SegmentSlope(V(1, 1), V(1, -5)), -Inf);
    EXPECT_TRUE(std::isnan(SegmentSlope(V(1, 1), V(1, 1))));
    EXPECT_FLOAT_EQ(SegmentSlope(V(0, 0), V(2, 1)), 0.5f);
    EXPECT_FALSE(Finite(VectorSetLength(V(0, 0, 0), 2)));
    EXPECT_FALSE(Finite(VectorDirection(V(3, 4, 5), V(3, 4, 5))));
    EXPECT_FALSE(Finite(VectorRotateByDir(V(1, 0), 0, 0)));
}

// ---- Vector arithmetic and rotations ---------------------------------------------------------------

TEST(DxCalc0, VectorArithmetic) {
    ExpectNear(VectorAdd(V(1, 2, 3), V(10, 20, 30)), V(11, 22, 33), 1e-5);
    ExpectNear(VectorFromTo(V(1, 2, 3), V(10, 20, 30)), V(9, 18, 27), 1e-5);
    ExpectNear(VectorMid(V(1, 2, 3), V(3, 6, -3)), V(2, 4, 0), 1e-5);
    // Large coordinates must not overflow in the midpoint.
    ExpectNear(VectorMid(V(3e38f, 0), V(3e38f, 0)), V(3e38f, 0), 1e32);
    const std::vector<TXYZ> pts{V(1, 2, 3), V(4, 5, 6), V(-5, -7, 1)};
    ExpectNear(VectorSum(pts), V(0, 0, 10), 1e-5);
    ExpectNear(VectorSum({}), V(0, 0, 0), 1e-5);
    ExpectNear(VectorScale(V(1, -2, 3), 2), V(2, -4, 6), 1e-5);
    ExpectNear(VectorMulComp(V(1, -2, 3), V(4, 5, 6)), V(4, -10, 18), 1e-5);
    EXPECT_FLOAT_EQ(VectorLength(V(2, 3, 6)), 7);
    EXPECT_FLOAT_EQ(VectorDistance(V(1, 1, 1), V(3, 4, 7)), 7);
    ExpectNear(VectorSetLength(V(3, 4, 0), 10), V(6, 8, 0), 1e-5);
    ExpectNear(VectorDirection(V(1, 1, 1), V(4, 5, 1)), V(0.6f, 0.8f, 0), 1e-5);
    ExpectNear(VectorLerp(V(0, 0, 0), V(10, -10, 4), 0.25f), V(2.5f, -2.5f, 1), 1e-5);
    ExpectNear(VectorLerp(V(0, 0, 0), V(10, -10, 4), 2), V(20, -20, 8), 1e-5);
}

TEST(DxCalc0, PlaneRotationsKeepZ) {
    ExpectNear(VectorPerpLeft(V(1, 2, 3)), V(-2, 1, 3), 1e-5);
    ExpectNear(VectorPerpRight(V(1, 2, 3)), V(2, -1, 3), 1e-5);
    ExpectNear(VectorNegateXY(V(1, 2, 3)), V(-1, -2, 3), 1e-5);
    ExpectNear(VectorRotate(V(1, 0, 5), float(Pi / 2)), V(0, 1, 5), 1e-5);
    ExpectNear(VectorRotate(V(2, 1, 5), float(Pi)), V(-2, -1, 5), 1e-5);
    // cos 0.6, sin 0.8, with no trigonometry involved.
    ExpectNear(VectorRotateByDir(V(2, 0, 7), 3, 4), V(1.2f, 1.6f, 7), 1e-5);
    ExpectNear(VectorRotateByDir(V(0, 1, 7), 30, 40), V(-0.8f, 0.6f, 7), 1e-5);

    struct MirrorCase {
        TXYZ v, axis, want;
    } mirrors[] = {
        {V(1, 2, 3), V(5, 0), V(1, -2, 3)},
        {V(1, 2, 3), V(0, -2), V(-1, 2, 3)},
        {V(1, 2, 3), V(1, 1), V(2, 1, 3)},
        {V(3, 0, 0), V(3, 4), V(-0.84f, 2.88f, 0)}, // 2 (v.e) e - v with e = (0.6, 0.8)
    };
    for (const MirrorCase &c : mirrors)
        ExpectNear(VectorMirror(c.v, c.axis), c.want, 1e-5);
}

TEST(DxCalc0, AnglesLieInZeroToTwoPi) {
    struct Case {
        TXYZ v;
        double want;
    } cases[] = {{V(1, 0), 0},           {V(0, 1), Pi / 2}, {V(-1, 0), Pi},    {V(0, -1), 3 * Pi / 2},
                 {V(1, -1), 7 * Pi / 4}, {V(0, 0), 0},      {V(-1, -0.0f), Pi}};
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(VectorAngle(c.v), float(c.want)) << c.v.x << "," << c.v.y;

    // Measured counter-clockwise from a direction that need not be a unit vector.
    EXPECT_FLOAT_EQ(VectorAngleFrom(V(0, 2), V(-1, 0)), float(Pi / 2));
    EXPECT_FLOAT_EQ(VectorAngleFrom(V(0, 2), V(1, 0)), float(3 * Pi / 2));
    EXPECT_NEAR(VectorAngleFrom(V(3, 3), V(1, 1)), 0, 1e-6);
    // Segment c-d from the direction of a-b: a-b runs along +y, c-d along -x.
    EXPECT_FLOAT_EQ(SegmentsAngle(V(5, 5), V(5, 9), V(1, 1), V(-3, 1)), float(Pi / 2));
    EXPECT_FLOAT_EQ(SegmentsAngle(V(0, 0), V(1, 0), V(0, 0), V(1, -1)), float(7 * Pi / 4));
}

// ---- Triangles -------------------------------------------------------------------------------------

TEST(DxCalc0, TriangleAreaSignAndLists) {
    const TXYZ a = V(0, 0), b = V(4, 0), c = V(0, 3);
    EXPECT_FLOAT_EQ(TriangleArea(a, b, c), 6);
    EXPECT_FLOAT_EQ(TriangleArea(a, c, b), -6);
    EXPECT_EQ(TriangleOrientation(a, b, c), 1);
    EXPECT_EQ(TriangleOrientation(a, c, b), -1);
    EXPECT_EQ(TriangleOrientation(a, b, V(8, 0)), 0);
    EXPECT_TRUE(PointsCollinear(a, V(1, 1), V(3, 3)));
    EXPECT_FALSE(PointsCollinear(a, V(1, 1), V(3, 3.0001f)));
    EXPECT_FLOAT_EQ(TriangleAbsArea(a, c, b), 6);
    // Two triangles of opposite orientation and a trailing incomplete pair, which is ignored.
    const TXYZArray list{a, b, c, V(0, 0), V(0, 2), V(2, 0), V(100, 100), V(200, 100)};
    EXPECT_FLOAT_EQ(TriangleListArea(list), 8);
    EXPECT_EQ(TriangleListArea({}), 0);
}

TEST(DxCalc0, PointInTriangleCountsCornersButNotEdges) {
    const TXYZ a = V(0, 0), b = V(4, 0), c = V(0, 4);
    struct Case {
        TXYZ p;
        bool in;
    } cases[] = {
        {V(1, 1), true},        {V(2, 0), false}, // midpoint of an edge
        {V(2, 2), false},       {V(0, 0), true},  // on the hypotenuse; a corner
        {V(4, 0), true},        {V(5, 5), false},
        {V(-0.001f, 1), false}, {V(0, 4, 1), false}, // a corner in x and y only: corners match in z too
    };
    for (const Case &k : cases) {
        EXPECT_EQ(PointInTriangle(k.p, a, b, c), k.in) << k.p.x << "," << k.p.y;
        EXPECT_EQ(PointInTriangle(k.p, a, c, b), k.in) << "clockwise " << k.p.x << "," << k.p.y;
    }
    // A degenerate triangle contains only its corners.
    EXPECT_FALSE(PointInTriangle(V(1, 0), V(0, 0), V(2, 0), V(4, 0)));
    EXPECT_TRUE(PointInTriangle(V(2, 0), V(0, 0), V(2, 0), V(4, 0)));

    const TXYZArray list{a, b, c, V(10, 0), V(14, 0), V(10, 4), V(20, 0), V(24, 0)};
    EXPECT_TRUE(PointInTriangleList(V(11, 1), list));
    EXPECT_FALSE(PointInTriangleList(V(21, 0.1f), list)); // only in the ignored incomplete triple
    EXPECT_FALSE(PointInTriangleList(V(1, 1), {}));
}

// ---- Lines and segments ----------------------------------------------------------------------------

TEST(DxCalc0, MiterVectorMeetsBothOffsetLines) {
    struct Case {
        TXYZ prev, cur, next;
    } cases[] = {{V(-1, 0), V(0, 0, 7), V(1, 0)},    {V(0, 0), V(1, 0), V(1, 1)},
                 {V(0, 0), V(1, 0), V(1, -1)},       {V(0, 0), V(3, 1), V(-2, 4)},
                 {V(10, 10), V(12, 11), V(100, 12)}, {V(0, 5), V(0, 0), V(0.01f, 5)}};
    for (const Case &c : cases) {
        const TXYZ m = MiterVector(c.prev, c.cur, c.next);
        // Unit left normals of the two segments in the direction of travel, in double.
        const double ix = double(c.cur.x) - c.prev.x, iy = double(c.cur.y) - c.prev.y;
        const double ox = double(c.next.x) - c.cur.x, oy = double(c.next.y) - c.cur.y;
        const double li = std::hypot(ix, iy), lo = std::hypot(ox, oy);
        const double scale = std::hypot(m.x, m.y);
        EXPECT_NEAR(m.x * (-iy / li) + m.y * (ix / li), 1, 1e-5 * scale) << c.cur.x << "," << c.cur.y;
        EXPECT_NEAR(m.x * (-oy / lo) + m.y * (ox / lo), 1, 1e-5 * scale) << c.cur.x << "," << c.cur.y;
        EXPECT_EQ(m.z, c.cur.z);
    }
    ExpectNear(MiterVector(V(-1, 0), V(0, 0), V(1, 0)), V(0, 1, 0), 1e-5);
    ExpectNear(MiterVector(V(0, 0), V(1, 0), V(1, 1)), V(-1, 1, 0), 1e-5);
}

TEST(DxCalc0, MiterVectorStaysFiniteAtSpikesAndRepeatedPoints) {
    struct Case {
        const char *what;
        TXYZ prev, cur, next, want;
    } cases[] = {
        // Prev and next on the same ray from cur: the incoming segment's left normal.
        {"spike", V(2, 0), V(0, 0, 3), V(1, 0), V(0, -1, 3)},
        {"spike, next beyond prev", V(0, 1), V(0, 0), V(0, 5), V(1, 0, 0)},
        {"spike, same point", V(3, 4), V(0, 0), V(3, 4), V(0.8f, -0.6f, 0)},
        // A repeated point: the normal of the other segment.
        {"prev repeated", V(1, 1), V(1, 1), V(1, 3), V(-1, 0, 0)},
        {"next repeated", V(1, 1), V(4, 1), V(4, 1), V(0, 1, 0)},
        {"all repeated", V(2, 2), V(2, 2, 1), V(2, 2), V(0, 0, 1)},
    };
    for (const Case &c : cases) {
        const TXYZ m = MiterVector(c.prev, c.cur, c.next);
        EXPECT_TRUE(Finite(m)) << c.what;
        ExpectNear(m, c.want, 1e-5);
    }
    // Nearly a spike: the corner lies far away, but it is still a number; where it lies beyond what a
    // single holds, the spike's normal.
    EXPECT_TRUE(Finite(MiterVector(V(1, 0), V(0, 0), V(1, 1e-30f))));
    for (const float side : {1.4e-45f, -1.4e-45f, 1e-40f})
        ExpectNear(MiterVector(V(1, 0), V(0, 0), V(1, side)), V(0, -1, 0), 1e-5);
}

TEST(DxCalc0, ProjectPointOnSegment) {
    struct Case {
        TXYZ p, a, b;
        float t, dist;
    } cases[] = {{V(1, 2), V(0, 0), V(4, 0), 0.25f, 2},
                 {V(1, -2), V(0, 0), V(4, 0), 0.25f, -2},
                 {V(6, 1), V(0, 0), V(4, 0), 1.5f, 1},
                 {V(1, 1), V(1, 1), V(1, 3), 0, 0},
                 {V(0, 2), V(1, 1), V(1, 3), 0.5f, 1}};
    for (const Case &c : cases) {
        float t = -9, dist = -9;
        ProjectPointOnSegment(c.p, c.a, c.b, t, dist);
        EXPECT_NEAR(t, c.t, 1e-6) << c.p.x << "," << c.p.y;
        EXPECT_NEAR(dist, c.dist, 1e-6) << c.p.x << "," << c.p.y;
    }
}

TEST(DxCalc0, NearestSegmentIndex) {
    const TXYZArray poly{V(0, 0), V(10, 0), V(10, 10)};
    struct Case {
        TXYZ p;
        int want;
    } cases[] = {
        {V(5, 1), 0},   {V(11, 5), 1},
        {V(-1, -1), 0}, {V(10.5f, 11), 1}, // nearest to the last vertex: inserted before it, not after
        {V(10, 0), 0},                     // on both segments and a vertex: the earliest candidate wins
        {V(12, -1), 1},                    // nearest to the middle vertex, outside both segments
    };
    for (const Case &c : cases)
        EXPECT_EQ(NearestSegmentIndex(poly, c.p), c.want) << c.p.x << "," << c.p.y;
    EXPECT_EQ(NearestSegmentIndex({}, V(1, 1)), -1);
    EXPECT_EQ(NearestSegmentIndex({V(3, 3)}, V(1, 1)), 0);
    // A zero-length segment is skipped rather than poisoning the search.
    EXPECT_EQ(NearestSegmentIndex({V(0, 0), V(0, 0), V(10, 0), V(20, 0)}, V(5, 1)), 1);
}

TEST(DxCalc0, LinesIntersect) {
    float t = -7, u = -7;
    ASSERT_TRUE(LinesIntersect(V(0, 0), V(2, 2), V(0, 2), V(2, 0), t, u));
    EXPECT_FLOAT_EQ(t, 0.5f);
    EXPECT_FLOAT_EQ(u, 0.5f);
    // Lines, not segments: parameters beyond 0..1 are reported.
    ASSERT_TRUE(LinesIntersect(V(0, 0), V(1, 0), V(3, -1), V(3, 1), t, u));
    EXPECT_FLOAT_EQ(t, 3);
    EXPECT_FLOAT_EQ(u, 0.5f);
    ASSERT_TRUE(LinesIntersect2(V(0, 0), V(1, 0), V(3, -1), V(3, 1), t, u));
    EXPECT_FLOAT_EQ(t, 3);
    ExpectNear(LinesIntersectionPoint(V(0, 0, 0), V(1, 0, 2), V(3, -1), V(3, 1)), V(3, 0, 6), 1e-5);

    struct Case {
        const char *what;
        TXYZ a, b, c, d;
    } none[] = {
        {"parallel", V(0, 0), V(1, 1), V(0, 1), V(1, 2)},
        {"same line", V(0, 0), V(1, 1), V(2, 2), V(3, 3)},
        {"zero length", V(1, 1), V(1, 1), V(0, 1), V(1, 2)},
        {"NaN", V(NaN, 0), V(1, 1), V(0, 1), V(1, 0)},
        {"infinite", V(0, 0), V(1, 1), V(Inf, 1), V(1, 0)},
        {"parameter overflows a single", V(0, 0), V(1, 2e-38f), V(0, 1e30f), V(1, 1e30f)},
    };
    for (const Case &c : none) {
        t = u = -7;
        EXPECT_FALSE(LinesIntersect(c.a, c.b, c.c, c.d, t, u)) << c.what;
        EXPECT_EQ(t, -7) << c.what;
        EXPECT_EQ(u, -7) << c.what;
        ExpectNear(LinesIntersectionPoint(c.a, c.b, c.c, c.d), V(0, 0, 0), 1e-5);
    }
}

TEST(DxCalc0, SegmentLengthInTriangle) {
    const TXYZ t0 = V(0, 0), t1 = V(4, 0), t2 = V(0, 4);
    const double s2 = std::sqrt(2.0), s80 = std::sqrt(80.0);
    struct Case {
        const char *what;
        TXYZ a, b;
        double want;
    } cases[] = {
        {"both ends inside", V(1, 1), V(2, 1), 1},
        {"leaves", V(1, 1), V(1, -1), 1},
        {"enters", V(1, -1), V(1, 1), 1},
        {"crosses", V(-1, 1), V(5, 1), 3},
        {"misses", V(5, 5), V(6, 6), 0},
        {"along an edge, corner to corner", V(0, 0), V(4, 0), 4},
        {"touches a corner only", V(-1, 1), V(1, -1), 0},
        {"enters through a corner", V(-1, -1), V(3, 3), 2 * s2},
        {"ends on an edge", V(1, 1), V(1, 0), 1},
        // A corner end or a crossing through a corner touches two edges at one point; the part
        // inside is still measured to where the segment leaves.
        {"starts at a corner and runs inside", V(0, 0), V(3, 3), 2 * s2},
        {"ends at a corner, coming from inside", V(3, 3), V(0, 0), 2 * s2},
        {"crosses through a corner", V(6, -1), V(-2, 3), s80 / 2},
        {"crosses through a corner, reversed", V(-2, 3), V(6, -1), s80 / 2},
    };
    for (const Case &c : cases) {
        EXPECT_NEAR(SegmentLengthInTriangle(c.a, c.b, t0, t1, t2), c.want, 1e-5) << c.what;
        EXPECT_NEAR(SegmentLengthInTriangle(c.a, c.b, t0, t2, t1), c.want, 1e-5) << "clockwise: " << c.what;
    }
    // The length is 3-D: a rising segment wholly inside.
    EXPECT_NEAR(SegmentLengthInTriangle(V(1, 1, 0), V(2, 1, 1), t0, t1, t2), s2, 1e-5);
}

TEST(DxCalc0, PolylineLengthInArea) {
    // A 4 x 4 square as two triangles.
    const TXYZArray square{V(0, 0), V(4, 0), V(4, 4), V(0, 0), V(4, 4), V(0, 4)};
    EXPECT_NEAR(PolylineLengthInArea({V(-1, 1), V(5, 1)}, square), 4, 1e-5);
    EXPECT_NEAR(PolylineLengthInArea({V(-1, 2), V(2, 2), V(2, 5)}, square), 4, 1e-5);
    // Through the shared corner of both triangles.
    EXPECT_NEAR(PolylineLengthInArea({V(-1, 0), V(0, 0), V(2, 1)}, square), std::sqrt(5.0), 1e-5);
    EXPECT_EQ(PolylineLengthInArea({V(1, 1)}, square), 0);
    EXPECT_EQ(PolylineLengthInArea({V(1, 1), V(2, 2)}, {V(0, 0), V(4, 0)}), 0);
    // Overlapping triangles count twice.
    const TXYZArray twice{V(0, 0), V(4, 0), V(0, 4), V(0, 0), V(4, 0), V(0, 4)};
    EXPECT_NEAR(PolylineLengthInArea({V(-1, 1), V(5, 1)}, twice), 6, 1e-5);
}

TEST(DxCalc0, TrianglesOverlapArea) {
    struct Case {
        const char *what;
        TXYZ a[3], b[3];
    } cases[] = {
        {"itself", {V(0, 0), V(4, 0), V(0, 4)}, {V(0, 0), V(4, 0), V(0, 4)}},
        {"itself, reversed", {V(0, 0), V(4, 0), V(0, 4)}, {V(0, 4), V(4, 0), V(0, 0)}},
        {"half", {V(0, 0), V(4, 0), V(0, 4)}, {V(0, 0), V(4, 0), V(4, 4)}},
        {"hexagon", {V(0, 0), V(6, 0), V(3, 6)}, {V(0, 4), V(6, 4), V(3, -2)}},
        {"contained", {V(0, 0), V(10, 0), V(0, 10)}, {V(1, 1), V(3, 1), V(1, 4)}},
        {"containing", {V(1, 1), V(1, 4), V(3, 1)}, {V(0, 0), V(10, 0), V(0, 10)}},
        {"corner cut", {V(0, 0), V(4, 0), V(0, 4)}, {V(3, -1), V(5, 3), V(1, 3)}},
        {"skew",
         {V(0.3f, 0.1f), V(5.2f, 1.7f), V(1.9f, 4.4f)},
         {V(2.1f, -1.3f), V(4.6f, 3.9f), V(-0.7f, 2.2f)}},
        {"far from the origin",
         {V(5000, 7000), V(5004, 7000), V(5000, 7004)},
         {V(5000, 7000), V(5004, 7000), V(5004, 7004)}},
        {"sharing an edge only", {V(0, 0), V(4, 0), V(0, 4)}, {V(4, 0), V(4, 4), V(0, 4)}},
        {"sharing a corner only", {V(0, 0), V(4, 0), V(0, 4)}, {V(4, 0), V(8, 0), V(8, 4)}},
        {"boxes apart", {V(0, 0), V(4, 0), V(0, 4)}, {V(10, 10), V(14, 10), V(10, 14)}},
        {"boxes overlap, triangles apart", {V(0, 0), V(4, 0), V(0, 4)}, {V(4, 4), V(3, 4), V(4, 3)}},
    };
    for (const Case &c : cases) {
        const double want = ClipOverlapArea(c.a, c.b);
        EXPECT_NEAR(TrianglesOverlapArea(c.a, c.b), want, 1e-4 * (1 + want)) << c.what;
    }
    const TXYZ same[3] = {V(0, 0), V(4, 0), V(0, 4)};
    EXPECT_FLOAT_EQ(TrianglesOverlapArea(same, same), 8);
    // Slivers below 1e-5 count as nothing, even against themselves.
    const TXYZ tiny[3] = {V(0, 0), V(1e-3f, 0), V(0, 2e-3f)};
    EXPECT_EQ(TrianglesOverlapArea(tiny, tiny), 0);
    EXPECT_EQ(TrianglesOverlapArea(tiny, same), 0);
}

TEST(DxCalc0, AreasOverlapArea) {
    const TXYZArray square{V(0, 0), V(4, 0), V(4, 4), V(0, 0), V(4, 4), V(0, 4)};
    const TXYZArray shifted{V(2, 2), V(6, 2), V(6, 6), V(2, 2), V(6, 6), V(2, 6)};
    EXPECT_NEAR(AreasOverlapArea(square, shifted), 4, 1e-4);
    EXPECT_NEAR(AreasOverlapArea(square, square), 16, 1e-4);
    // A sliver inside the square adds nothing; boxes that only touch add nothing.
    TXYZArray withSliver = square;
    withSliver.insert(withSliver.end(), {V(1, 1), V(1.001f, 1), V(1, 1.002f)});
    EXPECT_NEAR(AreasOverlapArea(withSliver, square), 16, 1e-4);
    EXPECT_NEAR(AreasOverlapArea(square, withSliver), 16, 1e-4);
    EXPECT_EQ(AreasOverlapArea(square, {V(4, 4), V(8, 4), V(8, 8)}), 0);
    EXPECT_EQ(AreasOverlapArea(square, {}), 0);
    EXPECT_EQ(AreasOverlapArea({}, square), 0);
    // A trailing incomplete triple is not a triangle.
    EXPECT_EQ(AreasOverlapArea({V(0, 0), V(4, 0)}, square), 0);
}

// ---- Matrices and planes ---------------------------------------------------------------------------

TEST(DxCalc0, MatrixMultiplyIsRowVectorOrder) {
    TDxMatrix id;
    MatrixIdentity(id);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(id.m[i][j], i == j ? 1 : 0);
    }
    TDxMatrix s;
    s.m[0][0] = 2;
    s.m[1][1] = 3;
    s.m[2][2] = 4;
    s.m[3][3] = 1;
    const TDxMatrix t = Translation(1, 2, 3);
    // Translate, then scale: the point (1, 1, 1) goes to (2, 3, 4), then to (4, 9, 16).
    TDxMatrix r;
    MatrixMultiply(t, s, r);
    ExpectNear(TransformVector(r, V(1, 1, 1)), V(4, 9, 16), 1e-5);
    EXPECT_EQ(r.m[3][0], 2);
    EXPECT_EQ(r.m[3][2], 12);
    // Scale, then translate.
    MatrixMultiply(s, t, r);
    ExpectNear(TransformVector(r, V(1, 1, 1)), V(3, 5, 7), 1e-5);
    // The result may be one of the operands.
    TDxMatrix a = t;
    MatrixMultiply(a, s, a);
    ExpectNear(TransformVector(a, V(1, 1, 1)), V(4, 9, 16), 1e-5);
    TDxMatrix b = s;
    MatrixMultiply(t, b, b);
    ExpectNear(TransformVector(b, V(1, 1, 1)), V(4, 9, 16), 1e-5);
}

TEST(DxCalc0, MatrixInvert) {
    TDxMatrix r;
    MatrixInvert(Translation(1, 2, 3), r);
    EXPECT_EQ(r, Translation(-1, -2, -3));

    TDxMatrix singular;
    singular.m[0][0] = 1;
    singular.m[1][1] = 1;
    singular.m[3][3] = 1;
    MatrixInvert(singular, r);
    TDxMatrix id;
    MatrixIdentity(id);
    EXPECT_EQ(r, id);

    // Rotation, scale and a large plan translation.
    TDxMatrix m;
    const float c = 0.6f, s = 0.8f;
    m.m[0][0] = 2 * c;
    m.m[0][1] = -2 * s;
    m.m[1][0] = 2 * s;
    m.m[1][1] = 2 * c;
    m.m[2][2] = 0.5f;
    m.m[3][0] = 52000;
    m.m[3][1] = -71000;
    m.m[3][2] = 12;
    m.m[3][3] = 1;
    MatrixInvert(m, r);
    ExpectProductIsIdentity(m, r, 1e-5);
    ExpectNear(TransformVector(r, TransformVector(m, V(3, 4, 5))), V(3, 4, 5), 2e-3);

    // A perspective seen from the origin maps the origin to infinity (w = 0); it is still invertible.
    TDxMatrix p;
    p.m[0][0] = 1.5f;
    p.m[1][1] = 2;
    p.m[2][2] = 40.0f / 39;
    p.m[2][3] = 1;
    p.m[3][2] = -40.0f / 39;
    MatrixInvert(p, r);
    ExpectProductIsIdentity(p, r, 1e-5);

    // A general matrix, inverted in place.
    TDxMatrix g;
    const float vals[16] = {2, 1, 0, 0.5f, -1, 3, 1, 0, 0, 1, 4, 0.25f, 7, -2, 5, 1};
    for (int i = 0; i < 16; ++i)
        g.m[i / 4][i % 4] = vals[i];
    TDxMatrix gi = g;
    MatrixInvert(gi, gi);
    ExpectProductIsIdentity(g, gi, 1e-5);
}

TEST(DxCalc0, TransformsDivideByW) {
    // w = z: a simple projection.
    TDxMatrix p;
    p.m[0][0] = 1;
    p.m[1][1] = 1;
    p.m[2][2] = 1;
    p.m[2][3] = 1;
    p.m[3][2] = -1;
    const auto v4 = TransformVector4(p, 2, 4, 2, 123);
    EXPECT_FLOAT_EQ(v4[0], 1);
    EXPECT_FLOAT_EQ(v4[1], 2);
    EXPECT_FLOAT_EQ(v4[2], 0.5f);
    EXPECT_FLOAT_EQ(v4[3], 1);
    ExpectNear(TransformVector(p, V(2, 4, 2)), V(1, 2, 0.5f), 1e-5);
    ExpectNear(TransformVector(Translation(1, 2, 3), V(1, 1, 1)), V(2, 3, 4), 1e-5);

    bool behind = false;
    TXYZ q;
    TransformVectorClip(p, V(2, 4, -2), q, behind);
    EXPECT_TRUE(behind);
    ExpectNear(q, V(-1, -2, 1.5f), 1e-5);
    // Once behind, always behind: a later point in front does not reset the flag.
    TransformVectorClip(p, V(2, 4, 2), q, behind);
    EXPECT_TRUE(behind);
    ExpectNear(q, V(1, 2, 0.5f), 1e-5);
    behind = false;
    TransformVectorClip(Translation(1, 0, 0), V(1, 1, 1), q, behind);
    EXPECT_FALSE(behind);
    ExpectNear(q, V(2, 1, 1), 1e-5);
}

TEST(DxCalc0, PlanesAndClipping) {
    const TDxPlane pl = MakePlane(V(1, 0, 0), V(3, 0, 0));
    EXPECT_EQ(pl.a, 2);
    EXPECT_EQ(pl.b, 0);
    EXPECT_EQ(pl.c, 0);
    EXPECT_EQ(pl.d, -2);
    EXPECT_FLOAT_EQ(PlaneDistance(pl, V(5, 7, 9)), 8); // scaled by the normal's length
    EXPECT_FLOAT_EQ(PlaneSegmentParam(pl, V(-1, 0, 0), V(3, 5, 0)), 0.5f);

    struct Case {
        const char *what;
        TXYZ a, b;
        bool kept;
        TXYZ wantA, wantB;
    } cases[] = {
        {"both in front", V(2, 0), V(5, 1), true, V(2, 0), V(5, 1)},
        {"both behind", V(-2, 0), V(0, 1), false, V(-2, 0), V(0, 1)},
        {"a behind", V(-1, 0, 4), V(3, 2, 0), true, V(1, 1, 2), V(3, 2, 0)},
        {"b behind", V(3, 2), V(-1, 0), true, V(3, 2), V(1, 1)},
        {"a on the plane, b in front", V(1, 5), V(4, 1), true, V(1, 5), V(4, 1)},
        {"a on the plane, b behind", V(1, 5), V(-3, 1), true, V(1, 5), V(1, 5)},
    };
    for (const Case &c : cases) {
        TXYZ a = c.a, b = c.b;
        EXPECT_EQ(ClipSegmentByPlane(pl, a, b), c.kept) << c.what;
        ExpectNear(a, c.wantA, 1e-5);
        ExpectNear(b, c.wantB, 1e-5);
    }
}

// ---- Counted pointer arrays ------------------------------------------------------------------------

TEST(DxCalc0, PtrBlockLifecycle) {
    const TXYZ pts[3] = {V(1, 0), V(2, 0), V(3, 0)};
    std::unique_ptr<TPtrBlock> block = CreatePtrArray(4);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->Capacity(), 4);
    EXPECT_EQ(block->Count(), 0);
    EXPECT_TRUE(block->Items().empty());
    for (int i = 0; i < 3; ++i)
        (*block)[i] = &pts[i];
    block->SetCount(3);
    ASSERT_EQ(block->Items().size(), 3u);
    EXPECT_EQ(block->Items()[2], &pts[2]);

    // Shrinking keeps the leading slots and lowers the count.
    ResizePtrArray(block, 2);
    EXPECT_EQ(block->Capacity(), 2);
    EXPECT_EQ(block->Count(), 2);
    EXPECT_EQ((*block)[1], &pts[1]);
    // Growing keeps the count and the slots.
    ResizePtrArray(block, 10);
    EXPECT_EQ(block->Capacity(), 10);
    EXPECT_EQ(block->Count(), 2);
    EXPECT_EQ((*block)[0], &pts[0]);
    EXPECT_EQ((*block)[9], nullptr);

    FreePtrArray(block);
    EXPECT_FALSE(block);
    FreePtrArray(block); // freeing an empty variable is harmless
    ResizePtrArray(block, 3);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->Capacity(), 3);
    EXPECT_EQ(block->Count(), 0);
}

TEST(DxCalc0, PtrBlockRefusesOutOfRangeUse) {
    std::unique_ptr<TPtrBlock> block = CreatePtrArray(2);
    EXPECT_THROW((*block)[2], std::out_of_range);
    EXPECT_THROW((*block)[-1], std::out_of_range);
    const TPtrBlock &cb = *block;
    EXPECT_THROW(cb[2], std::out_of_range);
    EXPECT_THROW(block->SetCount(3), EStreetError);
    EXPECT_THROW(block->SetCount(-1), EStreetError);
    EXPECT_EQ(block->Count(), 0);
    EXPECT_THROW(CreatePtrArray(-1), EStreetError);
    EXPECT_THROW(ResizePtrArray(block, -5), EStreetError);
    EXPECT_EQ(block->Capacity(), 2);
}
