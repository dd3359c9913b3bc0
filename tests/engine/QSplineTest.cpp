// Quadratic segments and the B-splines of glyph outlines: straight segments, the clamping of the spline
// parameter, the closed-form arc length against numeric integration, and coincident points.
#include "engine/QSpline.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Arc length by Simpson's rule on the derivative's length.
double NumericLength(const QSP_Coeffs &s, double t) {
    const int n = 2000;
    const auto speed = [&](double u) { return std::hypot(s.a[1] + 2 * s.a[2] * u, s.a[4] + 2 * s.a[5] * u); };
    const double h = t / n;
    double sum = speed(0) + speed(t);
    for (int i = 1; i < n; ++i)
        sum += speed(i * h) * (i % 2 ? 4 : 2);
    return sum * h / 3;
}

TEST(QSpline, TwoPointsMakeOneStraightSegmentHalfLongAtHalfway) {
    const TXYZ p[] = {{1, 2, 0}, {4, 6, 0}};
    const QSP_Coeffs_Array s = QSplineToSegments(p);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_TRUE(s[0].Straight);
    EXPECT_DOUBLE_EQ(s[0].F, 5.0);
    EXPECT_DOUBLE_EQ(QSegmentArcLength(s[0], 0.5), 2.5);
    const TXYZ mid = QSegmentPoint(s[0], 0.5);
    EXPECT_FLOAT_EQ(mid.x, 2.5f);
    EXPECT_FLOAT_EQ(mid.y, 4.0f);
}

TEST(QSpline, ArcLengthMatchesNumericIntegration) {
    const struct {
        TXYZ P0, P1, P2;
    } cases[] = {
        {{0, 0, 0}, {1, 2, 0}, {2, 0, 0}},         // symmetric arch
        {{0, 0, 0}, {5, 0, 0}, {5, 5, 0}},         // quarter turn
        {{-3, 1, 0}, {0, 10, 0}, {7, -2, 0}},      // lopsided
        {{0, 0, 0}, {0.1f, 0.05f, 0}, {10, 0, 0}}, // nearly flat but not straight
    };
    for (const auto &c : cases) {
        const QSP_Coeffs s = QSegmentFromPoints(c.P0, c.P1, c.P2);
        ASSERT_FALSE(s.Straight);
        EXPECT_NEAR(QSegmentArcLength(s, 0), 0, 1e-9);
        for (double t : {0.25, 0.5, 1.0})
            EXPECT_NEAR(QSegmentArcLength(s, t), NumericLength(s, t), 1e-6 * (1 + NumericLength(s, t)))
                << "t " << t;
    }
}

TEST(QSpline, CollinearAndCoincidentPointsAreStraight) {
    const struct {
        TXYZ P0, P1, P2;
        double Length;
    } cases[] = {
        {{0, 0, 0}, {1, 1, 0}, {2, 2, 0}, std::sqrt(8.0)},
        {{0, 0, 0}, {5, 0, 0}, {2, 0, 0}, 2}, // the control point beyond the end: still the chord
        {{3, 3, 0}, {3, 3, 0}, {3, 3, 0}, 0}, // all three coincide: no 0 / 0
    };
    for (const auto &c : cases) {
        const QSP_Coeffs s = QSegmentFromPoints(c.P0, c.P1, c.P2);
        EXPECT_TRUE(s.Straight);
        EXPECT_NEAR(s.F, c.Length, 1e-6);
        EXPECT_NEAR(QSegmentArcLength(s, 1), c.Length, 1e-6);
        const TXYZ end = QSegmentPoint(s, 1);
        EXPECT_FLOAT_EQ(end.x, c.P2.x);
        EXPECT_FLOAT_EQ(end.y, c.P2.y);
        EXPECT_TRUE(std::isfinite(QSegmentArcLength(s, 0.5)));
    }
}

TEST(QSpline, ChainOfSegmentsAndParameterClamping) {
    // Five control points: three segments joined at the midpoints of the inner control points.
    const TXYZ p[] = {{0, 0, 0}, {1, 2, 0}, {3, 2, 0}, {5, 0, 0}, {6, 3, 0}};
    const QSP_Coeffs_Array s = QSplineToSegments(p);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].StartLength, 0.0f);
    EXPECT_NEAR(s[1].StartLength, QSegmentArcLength(s[0], 1), 1e-4);
    EXPECT_NEAR(s[2].StartLength, s[1].StartLength + QSegmentArcLength(s[1], 1), 1e-4);
    // The joints are the midpoints.
    const TXYZ j = QSegmentPoint(s[0], 1);
    EXPECT_FLOAT_EQ(j.x, 2.0f);
    EXPECT_FLOAT_EQ(j.y, 2.0f);

    const struct {
        double T;
        TXYZ Expected;
    } cases[] = {
        {0, {0, 0, 0}},
        {1, {6, 3, 0}},                    // k = 3 clamped to 2 with f = 1: the end of the last segment
        {1.0 / 3, QSegmentPoint(s[1], 0)}, // even shares, not by arc length
        {1.5, QSegmentPoint(s[2], 2.5)},   // past the end runs on along the last segment
        {-0.1, QSegmentPoint(s[0], -0.3)},
    };
    for (const auto &c : cases) {
        const TXYZ q = QSplinePoint(s, c.T);
        EXPECT_NEAR(q.x, c.Expected.x, 1e-5) << "t " << c.T;
        EXPECT_NEAR(q.y, c.Expected.y, 1e-5) << "t " << c.T;
    }
    EXPECT_TRUE(QSplineToSegments(std::span<const TXYZ>(p, 1)).empty());
    EXPECT_EQ(QSplinePoint({}, 0.5), TXYZ{});
}

TEST(QSpline, FlatteningTakesFivePointsASegmentEndToEnd) {
    const TXYZ p[] = {{0, 0, 0}, {2, 4, 0}, {4, 0, 0}};
    TXYZArray out;
    QSplineFlatten(p, out);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out.front(), p[0]);
    EXPECT_FLOAT_EQ(out.back().x, 4.0f);
    EXPECT_FLOAT_EQ(out.back().y, 0.0f);
    EXPECT_FLOAT_EQ(out[2].y, 2.0f); // the top of the parabola
}

} // namespace
