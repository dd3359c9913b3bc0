// Point lists: shared vertices and change propagation, the dense geometry and its queries, edges,
// straightening, neighbours and the point-list record.
#include "StreetTestUtil.h"

#include <cmath>
#include <functional>
#include <numbers>

using namespace streettest;

namespace {

class PointListTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestClasses(); }
    TStreetStructure S;
};

bool Finite(const TXYZ &p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

TEST_F(PointListTest, MovingASharedVertexReachesEveryItemSharingIt) {
    TStreetPointRec *a = S.Pool().AddPointRec({0, 0, 0});
    TStreetPointRec *b = S.Pool().AddPointRec({10, 0, 0});
    TStreetPointRec *c = S.Pool().AddPointRec({10, 10, 0});
    auto *poly = static_cast<TCountingOutline *>(MakeItemOn(S, CountingOutline, {a, b, c}));
    auto *line = static_cast<TCountingLine *>(MakeItemOn(S, CountingLine, {b, c}));
    TAbstractItem *other = MakeItem(S, BortTypeCode, {{50, 50, 0}, {60, 50, 0}});
    S.UpdateGraphics(FullTypeSet());
    for (TAbstractItem *i : {static_cast<TAbstractItem *>(poly), static_cast<TAbstractItem *>(line), other})
        ASSERT_FALSE(i->Points.Changed());
    ASSERT_FALSE(S.Lists(CountingOutline).Dirty || S.Lists(CountingLine).Dirty ||
                 S.Lists(BortTypeCode).Dirty);
    poly->PointsChangedCalls = line->PointsChangedCalls = 0;

    poly->Points.SetPoint(1, {11, 0, 0});
    EXPECT_TRUE(poly->Points.Changed());
    EXPECT_TRUE(line->Points.Changed());
    EXPECT_FALSE(line->Points.GeometryValid());
    EXPECT_TRUE(S.Lists(CountingOutline).Dirty);
    EXPECT_TRUE(S.Lists(CountingLine).Dirty);
    EXPECT_FALSE(other->Points.Changed());
    EXPECT_FALSE(S.Lists(BortTypeCode).Dirty);
    EXPECT_EQ(poly->PointsChangedCalls, 1);
    EXPECT_EQ(line->PointsChangedCalls, 0); // only the list that moved it is told
    EXPECT_EQ(line->Points.GetPoint(0).x, 11);
    EXPECT_EQ(line->Points.DenseLength(), std::hypot(1.0f, 10.0f));

    // Removing the shared vertex from one item tells the other.
    S.UpdateGraphics(FullTypeSet());
    poly->Points.Delete(2);
    EXPECT_TRUE(line->Points.Changed());
    EXPECT_EQ(line->PointsChangedCalls, 1);
    EXPECT_EQ(c->Owners.size(), 1u);

    // An item freed lets go of its vertices, and the sharers hear of it.
    S.UpdateGraphics(FullTypeSet());
    S.Lists(CountingOutline).Delete(poly);
    EXPECT_TRUE(line->Points.Changed());
    EXPECT_EQ(a->Owners.size(), 0u);
    EXPECT_EQ(b->Owners.size(), 1u);
    EXPECT_EQ(S.Pool().Count(), 5); // vertices stay in the pool
}

// A change records itself whatever state the change flag was left in: between two changes with no drawing
// (the plan hidden, the program headless) the street may be saved and the geometry built again, and the
// second change must mark the street modified, reach the item's caches and its neighbours' geometry.
TEST_F(PointListTest, ASecondChangeBeforeADrawingRecordsItself) {
    TAbstractItem *axis = MakeItem(S, PlainLine, {{0, -50, 0}, {100, -50, 0}});
    auto *line =
        static_cast<TCountingLine *>(MakeItem(S, CountingLine, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}}));
    TStreetPointRec *shared = line->Points.PointRec(0);
    auto *outline = static_cast<TCountingOutline *>(
        MakeItemOn(S, CountingOutline,
                   {shared, S.Pool().AddPointRec({-10, 0, 0}), S.Pool().AddPointRec({-10, -10, 0})}));
    TConnectedItems whole(false);
    whole.AddItem(line);
    const std::pair<const char *, std::function<void()>> edits[] = {
        {"shared vertex moved",
         [&] {
             const TXYZ p = shared->Position();
             line->Points.SetPoint(line->Points.IndexOfRec(shared), {p.x + 0.5f, p.y + 0.5f, 0});
         }},
        {"moved with its vertices",
         [&] {
             whole.Translate({0.5f, 0.25f, 0});
         }},
        {"reference axis", [&] { line->SetReferAxis(line->ReferAxis.Items(0) ? nullptr : axis); }},
        {"spline flag", [&] { line->Points.SetSpline(!line->Points.Spline()); }},
        {"reversal", [&] { line->Points.Reverse(); }},
        {"marked changed", [&] { line->Points.SetChanged(true); }},
    };
    for (const auto &[name, edit] : edits) {
        SCOPED_TRACE(name);
        S.UpdateGraphics(FullTypeSet());
        edit();
        // Geometry read (by a hit test, an info line) and the street saved, with no drawing.
        line->Points.EnsureGeometry();
        outline->Points.EnsureGeometry();
        S.ClearModified();
        const int calls = line->PointsChangedCalls;
        edit();
        EXPECT_TRUE(S.Modified());
        EXPECT_GT(line->PointsChangedCalls, calls);
        EXPECT_TRUE(line->Points.Changed());
        EXPECT_TRUE(S.Lists(CountingLine).Dirty);
        EXPECT_TRUE(outline->Points.Changed());
        EXPECT_FALSE(outline->Points.GeometryValid());
        // Both geometries follow the second change.
        line->Points.EnsureGeometry();
        outline->Points.EnsureGeometry();
        EXPECT_TRUE(VectorsEqual(line->Points.Dense().front(), line->Points.GetPoint(0)));
        EXPECT_TRUE(
            VectorsEqual(line->Points.Dense().back(), line->Points.GetPoint(line->Points.Count() - 1)));
        EXPECT_TRUE(VectorsEqual(outline->Points.Dense().front(), shared->Position()));
    }
}

// Drawing anew (a look of the type changed) changes nothing saved.
TEST_F(PointListTest, InvalidatingGraphicsLeavesTheStreetUnmodified) {
    TAbstractItem *line = MakeItem(S, BortTypeCode, {{0, 0, 0}, {10, 0, 0}});
    S.UpdateGraphics(FullTypeSet());
    S.ClearModified();
    S.InvalidateAllItems();
    EXPECT_TRUE(line->Points.Changed());
    EXPECT_TRUE(S.Lists(BortTypeCode).Dirty);
    EXPECT_FALSE(S.Modified());
}

TEST_F(PointListTest, InsertionRefusesAVertexEqualToItsNeighbour) {
    TAbstractItem *poly = MakeItem(S, RoadWayTypeCode, {{0, 0, 0}, {5, 0, 0}, {5, 5, 0}});
    TStreetPointRec *first = poly->Points.PointRec(0);
    poly->Points.Insert(3, first); // closing onto the first vertex
    EXPECT_EQ(poly->Points.Count(), 3);
    TAbstractItem *line = MakeItem(S, BortTypeCode, {{0, 0, 0}, {5, 0, 0}});
    TStreetPointRec *same = S.Pool().AddPointRec({0, 0, 0});
    line->Points.Insert(0, same);
    EXPECT_EQ(line->Points.Count(), 2);
    EXPECT_TRUE(same->Owners.empty());
    const int poolBefore = S.Pool().Count();
    EXPECT_EQ(line->Points.InsertNewPoint(2, {5, 0, 0}), nullptr);
    EXPECT_EQ(S.Pool().Count(), poolBefore); // no unused vertex is left behind
    line->Points.Insert(1, nullptr);
    line->Points.InsertById(1, 999999);
    EXPECT_EQ(line->Points.Count(), 2);
}

TEST_F(PointListTest, SplinesOnlyWhereNoOtherLineSharesAnInnerVertex) {
    TAbstractItem *a = MakeItem(S, BortTypeCode, {{0, 0, 0}, {10, 5, 0}, {20, 0, 0}});
    a->Points.SetSpline(true);
    EXPECT_TRUE(a->Points.CanBuildSpline());
    a->Points.EnsureGeometry();
    EXPECT_GT(a->Points.Dense().size(), 3u);
    TAbstractItem *point = MakeItemOn(S, KolodTypeCode, {a->Points.PointRec(1)});
    EXPECT_TRUE(a->Points.CanBuildSpline()); // a point item has control points
    TAbstractItem *b =
        MakeItemOn(S, PlainLine, {a->Points.PointRec(1), S.Pool().AddPointRec({10, 20, 0})});
    EXPECT_FALSE(a->Points.CanBuildSpline());
    a->Points.EnsureGeometry();
    EXPECT_EQ(a->Points.Dense().size(), 3u); // a polyline although Spline is set
    (void)point;
    (void)b;
}

TEST_F(PointListTest, EdgesBetweenConsecutiveCurveVerticesFollowTheCurve) {
    TAbstractItem *curve = MakeItem(S, ArcCoordsTypeCode, {{0, 0, 0}, {10, 5, 0}, {20, 0, 0}});
    TStreetPointRec *v0 = curve->Points.PointRec(0), *v1 = curve->Points.PointRec(1);
    TAbstractItem *forward = MakeItemOn(S, BortTypeCode, {S.Pool().AddPointRec({-5, 0, 0}), v0, v1});
    TAbstractItem *backward = MakeItemOn(S, PlainLine, {v1, v0});
    curve->Points.EnsureGeometry();
    const TXYZArray &cd = curve->Points.Dense();
    const int a = curve->Points.DenseIndex()[0], b = curve->Points.DenseIndex()[1];
    ASSERT_GT(b - a, 1);

    forward->Points.EnsureGeometry();
    const TXYZArray &fd = forward->Points.Dense();
    ASSERT_EQ(static_cast<int>(fd.size()), 1 + (b - a) + 1);
    for (int k = a; k <= b; ++k)
        EXPECT_EQ(fd[static_cast<std::size_t>(1 + k - a)], cd[static_cast<std::size_t>(k)]);

    backward->Points.EnsureGeometry();
    const TXYZArray &bd = backward->Points.Dense();
    ASSERT_EQ(static_cast<int>(bd.size()), b - a + 1);
    for (int k = b; k >= a; --k)
        EXPECT_EQ(bd[static_cast<std::size_t>(b - k)], cd[static_cast<std::size_t>(k)]);

    // Moving a curve vertex reshapes the items that follow it.
    S.UpdateGraphics(FullTypeSet());
    curve->Points.SetPoint(1, {10, 8, 0});
    EXPECT_TRUE(forward->Points.Changed());
    EXPECT_FALSE(forward->Points.GeometryValid());
    // A curve of two vertices is a straight segment.
    TAbstractItem *two = MakeItem(S, ArcCoordsTypeCode, {{0, 100, 0}, {10, 100, 0}});
    two->Points.EnsureGeometry();
    for (const TXYZ &p : two->Points.Dense())
        EXPECT_FLOAT_EQ(p.y, 100);
}

TEST_F(PointListTest, ParametersDistancesAndProjection) {
    TAbstractItem *line = MakeItem(S, BortTypeCode, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    TPointList &l = line->Points;
    EXPECT_FLOAT_EQ(l.DenseLength(), 20);
    EXPECT_FLOAT_EQ(l.ParamAtDistance(5), 0.5f);
    EXPECT_FLOAT_EQ(l.ParamAtDistance(15), 1.5f);
    EXPECT_FLOAT_EQ(l.ParamAtDistance(25), 2.5f); // beyond the end
    const TXYZ beyond = l.PointAtParam(2.5f);
    EXPECT_FLOAT_EQ(beyond.x, 10);
    EXPECT_FLOAT_EQ(beyond.y, 15); // extrapolated along the last segment
    EXPECT_FLOAT_EQ(l.DistanceAtParam(1.25f), 12.5f);
    EXPECT_NEAR(l.DirectionAtParam(1.5f), std::numbers::pi / 2, 1e-6);
    EXPECT_EQ(l.VertexIndexAtParam(1.5f), 1);

    // The foot is taken on the offset segment at the point's distance, whose end follows the corner's
    // miter: 2 m to the left the first segment runs from (0, 2) to (8, 2).
    float t = -1, along = -1, off = -1;
    ASSERT_TRUE(l.Project({4, 2, 0}, t, along, off));
    EXPECT_FLOAT_EQ(t, 0.5f);
    EXPECT_FLOAT_EQ(along, 5);
    EXPECT_FLOAT_EQ(off, 2); // left of the direction of travel
    const TXYZ o = l.OffsetPointAtParam(0.5f, 1);
    EXPECT_FLOAT_EQ(o.x, 4.5f);
    EXPECT_FLOAT_EQ(o.y, 1);

    float s = 0;
    EXPECT_TRUE(l.IntersectSegment({5, -1, 0}, {5, 1, 0}, t, s));
    EXPECT_FLOAT_EQ(t, 0.5f);
    EXPECT_TRUE(l.IntersectWithSegment({0, 5, 0}, {20, 5, 0}, t, s, 1.0f));
    EXPECT_FLOAT_EQ(t, 1.5f);
    EXPECT_FALSE(l.IntersectWithSegment({5, -1, 0}, {5, 1, 0}, t, s, 1.0f));

    // A list without two vertices answers with defaults.
    TAbstractItem *k = MakeItem(S, KolodTypeCode, {{1, 1, 0}});
    EXPECT_EQ(k->Points.DenseLength(), 0);
    EXPECT_EQ(k->Points.ParamAtDistance(3), 0);
    EXPECT_FALSE(k->Points.Project({0, 0, 0}, t, along, off));
}

TEST_F(PointListTest, ZeroLengthSegmentsNeverGiveNaN) {
    // A vertex moved onto its neighbour: two equal cumulative lengths.
    TAbstractItem *line = MakeItem(S, BortTypeCode, {{0, 0, 0}, {5, 0, 0}, {10, 0, 0}});
    line->Points.SetPoint(1, {0, 0, 0});
    TPointList &l = line->Points;
    for (float d : {-1.0f, 0.0f, 2.0f, 10.0f, 12.0f}) {
        const float t = l.ParamAtDistance(d);
        EXPECT_TRUE(std::isfinite(t)) << d;
        EXPECT_TRUE(Finite(l.PointAtParam(t))) << d;
    }
    for (const TXYZ &n : l.Normals())
        EXPECT_TRUE(Finite(n));
    float t = 0, along = 0, off = 0;
    ASSERT_TRUE(l.Project({0, 3, 0}, t, along, off));
    EXPECT_TRUE(std::isfinite(t) && std::isfinite(along) && std::isfinite(off));

    // Every vertex on one spot.
    TAbstractItem *dot = MakeItem(S, PlainLine, {{0, 0, 0}, {1, 0, 0}});
    dot->Points.SetPoint(1, {0, 0, 0});
    EXPECT_TRUE(std::isfinite(dot->Points.ParamAtDistance(1)));
    EXPECT_TRUE(dot->Points.Project({2, 2, 0}, t, along, off));
    EXPECT_TRUE(std::isfinite(t) && std::isfinite(off));
    EXPECT_TRUE(Finite(dot->Points.OffsetPointAtParam(0.5f, 1)));
}

TEST_F(PointListTest, ArrangeAnglesStraightensWithoutNaN) {
    TAbstractItem *poly =
        MakeItem(S, RoadWayTypeCode, {{0, 0, 0}, {10, 0.3f, 0}, {10.2f, 5, 0}, {0.1f, 5.2f, 0}});
    poly->Points.ArrangeAngles(8);
    const double step = std::numbers::pi / 4;
    double dev = 0;
    for (int i = 0; i < 4; ++i) {
        const double a = poly->Points.EdgeAngle(i);
        const double d = a - std::nearbyint(a / step) * step;
        if (i == 0)
            dev = d;
        EXPECT_NEAR(d, dev, 1e-4) << i; // one common deviation
    }
    for (const TStreetPointRec *r : poly->Points.Refs())
        EXPECT_TRUE(Finite(r->Position()));

    // The two lines that fix vertex 0 are parallel: vertex 0 stays, nothing becomes NaN.
    TAbstractItem *flat = MakeItem(S, RoadWayTypeCode, {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}});
    const TXYZ v0 = flat->Points.GetPoint(0);
    flat->Points.ArrangeAngles(8);
    EXPECT_EQ(flat->Points.GetPoint(0), v0);
    // Every edge of zero length, and a senseless step count.
    TAbstractItem *dot = MakeItem(S, BortTypeCode, {{3, 3, 0}, {4, 3, 0}});
    dot->Points.SetPoint(1, {3, 3, 0});
    dot->Points.ArrangeAngles(8);
    dot->Points.ArrangeAngles(0);
    dot->Points.ArrangeAngles(-3);
    for (const TStreetPointRec *r : dot->Points.Refs())
        EXPECT_TRUE(Finite(r->Position()));
}

TEST_F(PointListTest, EdgeNeighboursAndBorderEdges) {
    TStreetPointRec *p[6];
    const TXYZ pos[6] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {20, 0, 0}, {20, 10, 0}};
    for (int i = 0; i < 6; ++i)
        p[i] = S.Pool().AddPointRec(pos[i]);
    TAbstractItem *left = MakeItemOn(S, RoadWayTypeCode, {p[0], p[1], p[2], p[3]});
    TAbstractItem *right = MakeItemOn(S, RoadWayTypeCode, {p[1], p[4], p[5], p[2]});
    TAbstractItem *curb = MakeItemOn(S, BortTypeCode, {p[2], p[1]});
    const auto nb = left->Points.GetEdgeNeighbours(1);
    ASSERT_EQ(nb.size(), 2u);
    EXPECT_EQ(left->Points.GetEdgeNeighbourTypes(1), (TItemTypeSet{RoadWayTypeCode, BortTypeCode}));
    EXPECT_TRUE(left->Points.GetEdgeNeighbours(0).empty());
    EXPECT_EQ(curb->Points.GetAllEdgeNeighbourTypes(), (TItemTypeSet{RoadWayTypeCode}));

    auto batch = std::make_shared<TPrimBatch>(TBatchKind::Lines);
    left->Points.BuildBorderEdges(*batch, left->Serial());
    EXPECT_EQ(LiveGroupCount(*batch, left->Serial()),
              3); // the edge shared with the other road way is left out
    right->Points.BuildAllEdges(*batch, right->Serial());
    EXPECT_EQ(LiveGroupCount(*batch, right->Serial()), 4);
    right->Points.BuildAllEdges(*batch, right->Serial());
    EXPECT_EQ(LiveGroupCount(*batch, right->Serial()), 4);
}

TEST_F(PointListTest, RecordReadAndWrittenAndNearDuplicatesCollapse) {
    S.Pool().AddPointRec({0, 0, 0});
    S.Pool().AddPointRec({0.0005f, 0, 0});
    S.Pool().AddPointRec({10, 0, 0});
    TAbstractItem *line = S.Lists(BortTypeCode).AddNew();
    sptest::ByteBuilder b;
    b.Tag("PNTLIST").Tag("PNTLSTSP").U8(1).I32(4).I32(1).I32(2).I32(77).I32(3);
    TMemoryStream in(b.Data());
    line->Points.LoadFromStream(in);
    EXPECT_EQ(in.Remaining(), 0);
    ASSERT_EQ(line->Points.Count(), 2);
    EXPECT_EQ(line->Points.IdAt(0), 1);
    EXPECT_EQ(line->Points.IdAt(1), 3);
    EXPECT_TRUE(line->Points.Spline());
    TMemoryStream out;
    line->Points.SaveToStream(out);
    sptest::ByteBuilder want;
    want.Tag("PNTLIST").Tag("PNTLSTSP").U8(1).I32(2).I32(1).I32(3);
    EXPECT_EQ(out.Bytes(), want.Data());

    // A chain of close vertices: each is measured against the one before it as read, so the whole chain
    // after its first vertex goes, and the vertices that went no longer count the list as an owner.
    S.Pool().AddPointRec({0.0006f, 5, 0});
    S.Pool().AddPointRec({0.0012f, 5, 0});
    S.Pool().AddPointRec({0, 5, 0});
    TAbstractItem *chain = S.Lists(BortTypeCode).AddNew();
    sptest::ByteBuilder c;
    c.Tag("PNTLIST").I32(5).I32(6).I32(4).I32(5).I32(3).I32(1);
    TMemoryStream chained(c.Data());
    chain->Points.LoadFromStream(chained);
    ASSERT_EQ(chain->Points.Count(), 3);
    EXPECT_EQ(chain->Points.IdAt(0), 6);
    EXPECT_EQ(chain->Points.IdAt(1), 3);
    EXPECT_EQ(chain->Points.IdAt(2), 1);
    EXPECT_TRUE(S.Pool().FindById(4)->Owners.empty());
    EXPECT_TRUE(S.Pool().FindById(5)->Owners.empty());

    // Without its tag nothing is read; an empty list writes nothing.
    TMemoryStream other(sptest::ByteBuilder().Tag("ITEMACTV").Data());
    TAbstractItem *empty = S.Lists(BortTypeCode).AddNew();
    empty->Points.LoadFromStream(other);
    EXPECT_EQ(other.Position(), 0);
    TMemoryStream none;
    empty->Points.SaveToStream(none);
    EXPECT_EQ(none.Size(), 0);
}

TEST_F(PointListTest, RelativeMovesAndEdges) {
    TAbstractItem *line = MakeItem(S, BortTypeCode, {{0, 0, 0}, {10, 0, 0}});
    TAbstractItem *sharer =
        MakeItemOn(S, PlainLine, {line->Points.PointRec(1), S.Pool().AddPointRec({10, 10, 0})});
    line->Points.StoreRelative({0, 0, 0});
    line->Points.RotateRelative({0, 0, 0}, static_cast<float>(std::numbers::pi / 2));
    EXPECT_NEAR(sharer->Points.GetPoint(0).y, 10, 1e-5);
    line->Points.ScaleRelative({0, 0, 0}, 2);
    EXPECT_NEAR(line->Points.GetPoint(1).x, 20, 1e-5);
    line->Points.MoveRelative({1, 1, 0});
    EXPECT_NEAR(line->Points.GetPoint(0).x, 1, 1e-6);
    line->Points.SetEdgeLength(0, 5);
    EXPECT_NEAR(line->Points.EdgeLength(0), 5, 1e-5);
    line->Points.SetEdgeAngle(0, static_cast<float>(std::numbers::pi / 2));
    EXPECT_NEAR(line->Points.EdgeAngle(0), std::numbers::pi / 2, 1e-5);
    EXPECT_NEAR(line->Points.TotalLength(), 5, 1e-5);
    EXPECT_EQ(line->Points.NeighbourIndex(1, true), -1);
    TAbstractItem *poly = MakeItem(S, RoadWayTypeCode, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    EXPECT_EQ(poly->Points.NeighbourIndex(2, true), 0);
    EXPECT_EQ(poly->Points.NeighbourIndex(0, false), 2);
    EXPECT_EQ(poly->Points.NeighbourIndex(-1, false), -1);
    poly->Points.CurrentIndex = 0;
    poly->Points.Reverse();
    EXPECT_EQ(poly->Points.CurrentIndex, 2);
}

} // namespace
