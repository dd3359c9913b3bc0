#include "engine/ContourCoords.h"
#include "support/Expectations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using sptest::ExpectNear;
using sptest::Finite;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

TXYZ V(float x, float y, float z = 0) {
    return {x, y, z};
}

const TXYZArray Straight = {V(0, 0), V(10, 0)};
const TXYZArray Corner = {V(0, 0), V(10, 0), V(10, 10)};

struct PointAtCase {
    const char *name;
    TXYZArray axis;
    float station, offset;
    TXYZ want;
};

TEST(ContourCoords, PointAtOnSegmentsAndExtensions) {
    const PointAtCase cases[] = {
        {"inside", Straight, 5, 2, V(5, 2)},
        {"right of the axis", Straight, 5, -3, V(5, -3)},
        {"before the first point", Straight, -2, 0, V(-2, 0)},
        {"beyond the last point", Straight, 12, 1, V(12, 1)},
        {"at the corner: mitre", Corner, 10, 1, V(9, 1)},
        // The offset segment (0, 1)-(9, 1) is divided 2 : 8, not measured along its own length.
        {"proportional station", Corner, 2, 1, V(1.8f, 1)},
        {"second segment", Corner, 15, 1, V(9, 5.5f)},
        {"at the end", Corner, 20, 0, V(10, 10)},
        {"beyond a bend", Corner, 22, -1, V(11, 12)},
        // Stations are 3-D lengths, heights are interpolated and offsets keep the axis height.
        {"sloped axis", {V(0, 0, 0), V(3, 0, 4)}, 2.5f, 1, V(1.5f, 1, 2)},
        {"sloped extension", {V(0, 0, 0), V(3, 0, 4)}, -5, 0, V(-3, 0, -4)},
        {"height kept across", {V(0, 0, 7), V(10, 0, 7), V(10, 10, 7)}, 10, 3, V(7, 3, 7)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TContourCoords cc(c.axis);
        ExpectNear(cc.PointAt(c.station, c.offset), c.want, 1e-4);
    }
}

TEST(ContourCoords, LocateGivesStationOffsetAndFractionalIndex) {
    TContourCoords straight(Straight);
    float index = -1, offset = 0, station = 0;
    ASSERT_TRUE(straight.Locate(V(5, -3), index, offset, station));
    EXPECT_NEAR(station, 5, 1e-5);
    EXPECT_NEAR(offset, -3, 1e-5);
    EXPECT_NEAR(index, 0.5, 1e-6);

    // Points beyond the ends are not clamped: the end segments extend.
    ASSERT_TRUE(straight.Locate(V(-4, 1), index, offset, station));
    EXPECT_NEAR(station, -4, 1e-5);
    EXPECT_NEAR(index, -0.4, 1e-6);
    ASSERT_TRUE(straight.Locate(V(13, 2), index, offset, station));
    EXPECT_NEAR(station, 13, 1e-5);
    EXPECT_NEAR(offset, 2, 1e-5);

    TContourCoords corner(Corner);
    ASSERT_TRUE(corner.Locate(V(9, 5.5f), index, offset, station));
    EXPECT_NEAR(station, 15, 1e-4);
    EXPECT_NEAR(offset, 1, 1e-5);
    EXPECT_NEAR(index, 1.5, 1e-5);

    // Outside the corner, between the perpendiculars of both legs, the point belongs to the first leg.
    ASSERT_TRUE(corner.Locate(V(10.45f, -1), index, offset, station));
    EXPECT_NEAR(station, 9.5, 1e-4);
    EXPECT_NEAR(offset, -1, 1e-5);
    EXPECT_NEAR(index, 0.95, 1e-5);
}

// Locate inverts PointAt on every segment of bent and sloped axes, wherever the offset stays inside the
// bends (here |offset| < 1 on bends with legs of 3 m and more).
TEST(ContourCoords, LocateInvertsPointAt) {
    const TXYZArray axes[] = {
        {V(0, 0), V(10, 0), V(10, 10)},
        {V(0, 0), V(4, 3), V(8, 0), V(12, 3), V(20, 3)},
        {V(5, 5, 1), V(5, 15, 3), V(-5, 20, 2), V(-10, 10, 0)},
        {V(100000, 200000), V(100040, 200030), V(100020, 200060)},
    };
    for (const auto &axis : axes) {
        TContourCoords cc(axis);
        const float total = cc.Lengths().back();
        for (float f = 0.01f; f < 1; f += 0.07f) {
            for (float o : {-0.8f, -0.25f, 0.0f, 0.5f, 0.9f}) {
                const float s = total * f;
                const TXYZ p = cc.PointAt(s, o);
                float index = 0, offset = 0, station = 0;
                ASSERT_TRUE(cc.Locate(p, index, offset, station));
                const double tol = axis[0].x > 1000 ? 0.05 : 1e-3;
                EXPECT_NEAR(station, s, tol) << "s=" << s << " o=" << o;
                EXPECT_NEAR(offset, o, tol) << "s=" << s << " o=" << o;
            }
        }
    }
}

TEST(ContourCoords, NormalsAreEndNormalsAndMitres) {
    TContourCoords cc(Corner);
    ASSERT_EQ(cc.Count(), 3);
    ExpectNear(cc.Normals()[0], V(0, 1), 1e-4);
    ExpectNear(cc.Normals()[1], V(-1, 1), 1e-4);
    ExpectNear(cc.Normals()[2], V(-1, 0), 1e-4);
    EXPECT_EQ(cc.Lengths(), (std::vector<float>{0, 10, 20}));
    // Heights do not leak into the normals.
    TContourCoords high({V(0, 0, 50), V(10, 0, 50), V(10, 10, 50)});
    for (const TXYZ &n : high.Normals())
        EXPECT_EQ(n.z, 0);
}

TEST(ContourCoords, FindSegment) {
    TContourCoords cc({V(0, 0), V(10, 0), V(20, 0), V(30, 0)});
    const struct {
        double s;
        int32_t want;
    } cases[] = {{-1, 1}, {0, 1}, {5, 1}, {9.999, 1}, {10, 2}, {25, 3}, {30, 3}, {35, 3}};
    for (const auto &c : cases)
        EXPECT_EQ(cc.FindSegment(c.s), c.want) << c.s;
    TContourCoords two(Straight);
    for (double s : {-5.0, 0.0, 5.0, 50.0})
        EXPECT_EQ(two.FindSegment(s), 1) << s;
}

TEST(ContourCoords, OffsetCurve) {
    TContourCoords cc(Corner);
    const struct {
        const char *name;
        float s1, s2, o;
        TXYZArray want;
    } cases[] = {
        {"across the corner", 2, 15, 1, {V(1.8f, 1), V(9, 1), V(9, 5.5f)}},
        {"reversed stations", 5, 3, 0, {V(5, 0), V(3, 0)}},
        {"no vertex between", 2, 8, -1, {V(2.2f, -1), V(8.8f, -1)}},
        {"from before the start to beyond the end",
         -1,
         21,
         0,
         {V(-1, 0), V(0, 0), V(10, 0), V(10, 10), V(10, 11)}},
        {"both beyond the end", 25, 30, 0, {V(10, 15), V(10, 20)}},
        {"both before the start", -5, -1, 0, {V(-5, 0), V(-1, 0)}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const TXYZArray got = cc.OffsetCurve(c.s1, c.s2, c.o);
        ASSERT_EQ(got.size(), c.want.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            ExpectNear(got[i], c.want[i], 1e-4);
    }
}

TEST(ContourCoords, OriginMovesStationsAndOffsets) {
    TContourCoords cc(Corner);
    const TXYZ p = cc.PointAt(4, 1);
    cc.SetOrigin(p);
    EXPECT_EQ(cc.Origin(), p);
    EXPECT_NEAR(cc.OriginStation(), 4, 1e-5);
    EXPECT_NEAR(cc.OriginOffset(), 1, 1e-5);
    float index = 0, offset = 7, station = 7;
    ASSERT_TRUE(cc.Locate(p, index, offset, station));
    EXPECT_NEAR(station, 0, 1e-5);
    EXPECT_NEAR(offset, 0, 1e-5);
    ExpectNear(cc.PointAt(0, 0), p, 1e-4);
    // Relative values everywhere: station 6 and offset -1 from the origin is absolute (10, 0).
    ExpectNear(cc.PointAt(6, -1), V(10, 0), 1e-4);
    const TXYZArray curve = cc.OffsetCurve(-2, 11, -1);
    ASSERT_EQ(curve.size(), 3u);
    ExpectNear(curve[0], V(2, 0), 1e-4);
    ExpectNear(curve[1], V(10, 0), 1e-4);
    ExpectNear(curve[2], V(10, 5), 1e-4);

    // A point that cannot be located leaves the origin at station and offset 0.
    cc.SetOrigin(V(NaN, 0));
    EXPECT_EQ(cc.OriginStation(), 0);
    EXPECT_EQ(cc.OriginOffset(), 0);
}

// Axes without a plan extent become one metre along +x from their first point.
TEST(ContourCoords, AxesWithoutExtentBecomeAUnitSegment) {
    const struct {
        const char *name;
        TXYZArray in;
        TXYZArray want;
    } cases[] = {
        {"no points", {}, {V(0, 0), V(1, 0)}},
        {"one point", {V(3, 4, 5)}, {V(3, 4, 5), V(4, 4, 5)}},
        {"repeated point", {V(3, 4), V(3, 4), V(3, 4)}, {V(3, 4), V(4, 4)}},
        {"vertical only", {V(3, 4, 1), V(3, 4, 9)}, {V(3, 4, 1), V(4, 4, 1)}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TContourCoords cc(c.in);
        EXPECT_EQ(cc.Count(), 2);
        EXPECT_EQ(cc.Points(), c.want);
        EXPECT_EQ(cc.Lengths(), (std::vector<float>{0, 1}));
        EXPECT_EQ(cc.Origin(), c.want[0]);
        ExpectNear(cc.Normals()[0], V(0, 1), 1e-4);
        ExpectNear(cc.PointAt(0.5f, 2), VectorAdd(c.want[0], V(0.5f, 2)), 1e-4);
    }
    // Far from the plan origin one metre vanishes in a single; the segment stays real.
    TContourCoords far({V(1e9f, 0)});
    EXPECT_GT(far.Points()[1].x, far.Points()[0].x);
    EXPECT_TRUE(Finite(far.Normals()[0]));
    float index = 0, offset = 0, station = 0;
    EXPECT_TRUE(far.Locate(V(1e9f, 10), index, offset, station));
    EXPECT_TRUE(std::isfinite(station) && std::isfinite(offset));
}

// Repeated points, vertical steps, spikes and collapsing bends: every result is finite, and where the
// plan geometry is unambiguous it is the one of the axis without the degenerate points.
TEST(ContourCoords, DegenerateAxesGiveFiniteResults) {
    const struct {
        const char *name;
        TXYZArray axis;
        float station, offset;
        TXYZ want; // PointAt (station, offset); NaN x: only finiteness is checked
    } cases[] = {
        {"repeated first point", {V(0, 0), V(0, 0), V(10, 0)}, -2, 1, V(-2, 1)},
        {"repeated first point, inside", {V(0, 0), V(0, 0), V(10, 0)}, 5, 1, V(5, 1)},
        {"repeated last point, at the end", {V(0, 0), V(10, 0), V(10, 0)}, 10, 1, V(10, 1)},
        {"repeated last point, beyond", {V(0, 0), V(10, 0), V(10, 0)}, 12, -1, V(12, -1)},
        {"repeated corner", {V(0, 0), V(10, 0), V(10, 0), V(10, 10)}, 10, 1, V(9, 1)},
        {"repeated corner, second leg", {V(0, 0), V(10, 0), V(10, 0), V(10, 10)}, 15, 1, V(9, 5.5f)},
        {"zero-length middle", {V(0, 0), V(5, 0), V(5, 0), V(10, 0)}, 5, 0, V(5, 0)},
        {"vertical step", {V(0, 0, 0), V(10, 0, 0), V(10, 0, 5), V(10, 10, 5)}, 12, 1, V(9, 1, 2)},
        {"spike", {V(0, 0), V(10, 0), V(0, 0)}, 15, 1, V(NaN, 0)},
        {"many repeats", {V(1, 1), V(1, 1), V(1, 1), V(2, 1), V(2, 1), V(2, 1)}, 0.5f, 1, V(1.5f, 2)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TContourCoords cc(c.axis);
        for (const TXYZ &n : cc.Normals())
            EXPECT_TRUE(Finite(n));
        const TXYZ p = cc.PointAt(c.station, c.offset);
        EXPECT_TRUE(Finite(p));
        if (!std::isnan(c.want.x))
            ExpectNear(p, c.want, 1e-4);
        float index = 0, offset = 0, station = 0;
        ASSERT_TRUE(cc.Locate(p, index, offset, station));
        EXPECT_TRUE(std::isfinite(index) && std::isfinite(offset) && std::isfinite(station));
        for (float s : {-3.0f, 0.0f, 4.0f, 10.0f, 30.0f})
            for (const TXYZ &q : cc.OffsetCurve(s, s + 7, 0.5f))
                EXPECT_TRUE(Finite(q));
        for (float s = -1; s < 30; s += 0.5f) {
            ASSERT_TRUE(cc.Locate(cc.PointAt(s, 0.3f), index, offset, station));
            EXPECT_TRUE(std::isfinite(index) && std::isfinite(offset) && std::isfinite(station)) << s;
        }
    }
}

// Inside a U bend whose offset segment shrinks to a point, the point is still located on the segment:
// station from the axis segment, offset the distance to it.
TEST(ContourCoords, LocateInsideACollapsedOffsetSegment) {
    TContourCoords cc({V(0, 0.5f), V(0, 0), V(2, 0), V(2, 0.5f)});
    float index = 0, offset = 0, station = 0;
    ASSERT_TRUE(cc.Locate(V(1, 1), index, offset, station));
    EXPECT_NEAR(index, 1.5, 1e-6);
    EXPECT_NEAR(station, 1.5, 1e-6);
    EXPECT_NEAR(offset, 1, 1e-6);
}

TEST(ContourCoords, PointsWithNaNAreNotLocated) {
    TContourCoords cc(Corner);
    float index = 5, offset = 6, station = 7;
    EXPECT_FALSE(cc.Locate(V(NaN, 1), index, offset, station));
    EXPECT_EQ(index, 5);
    EXPECT_EQ(offset, 6);
    EXPECT_EQ(station, 7);
    // NaN stations give NaN points, and the curve still has its two ends.
    EXPECT_TRUE(std::isnan(cc.PointAt(NaN, 0).x));
    EXPECT_EQ(cc.OffsetCurve(NaN, 5, 0).size(), 2u);
}

} // namespace
