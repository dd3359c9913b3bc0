// Curves: edges of other items that run between consecutive curve vertices follow the curve (either way
// round), a curve of two vertices is its chord, what a curve draws, and that moving any curve vertex
// reshapes every item holding a vertex of the curve.
#include "ObjectsTestUtil.h"

#include "model/ItemLayers.h"
#include "model/PointStructure.h"
#include "objects/ArcCoordsItem.h"
#include "objects/BortItem.h"

#include <cmath>

using namespace objtest;

namespace {

class Curves : public TWithClasses {
protected:
    TStreetStructure S;
};

// The live groups of an item in a batch, as their vertices.
std::vector<std::vector<TDxVertex>> LiveGroups(TDxPrimCollection &batch, const TAbstractItem &item) {
    std::vector<std::vector<TDxVertex>> out;
    for (std::size_t i = 0; i < batch.Count(); ++i) {
        const TDxPrimGroup g = batch.Group(i);
        if (!g.Deleted && g.Owner == item.Serial())
            out.emplace_back(g.Vertices.begin(), g.Vertices.end());
    }
    return out;
}

// The curve's dense stretch from vertex a to vertex b (b < a: backwards).
TXYZArray Stretch(TAbstractItem &curve, int a, int b) {
    curve.Points.EnsureGeometry();
    const auto &index = curve.Points.DenseIndex();
    const TXYZArray &dense = curve.Points.Dense();
    TXYZArray out;
    const int from = index[static_cast<std::size_t>(a)], to = index[static_cast<std::size_t>(b)];
    for (int k = from; from <= to ? k <= to : k >= to; k += from <= to ? 1 : -1)
        out.push_back(dense[static_cast<std::size_t>(k)]);
    return out;
}

TXYZArray DenseRange(TAbstractItem &item, int a, int b) {
    item.Points.EnsureGeometry();
    const auto &index = item.Points.DenseIndex();
    const TXYZArray &dense = item.Points.Dense();
    return TXYZArray(dense.begin() + index[static_cast<std::size_t>(a)],
                     dense.begin() + index[static_cast<std::size_t>(b)] + 1);
}

void ExpectSamePoints(const TXYZArray &got, const TXYZArray &want, const char *what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].x, want[i].x) << what << " at " << i;
        EXPECT_EQ(got[i].y, want[i].y) << what << " at " << i;
    }
}

TEST_F(Curves, CurbsFollowTheCurveBetweenSharedVerticesEitherWayRound) {
    TAbstractItem *curve = MakeItem(S, ArcCoordsTypeCode, {{0, 0, 0}, {10, 6, 0}, {20, 0, 0}, {30, 4, 0}});
    TStreetPointRec *c0 = curve->Points.PointRec(0), *c1 = curve->Points.PointRec(1);
    TPointStructure &pool = S.Pool();
    // Vertices 3 and 4 of each curb are vertices 0 and 1 of the curve, then 1 and 0.
    TAbstractItem *forward = MakeItemOn(S, BortTypeCode,
                                        {pool.AddPointRec({-30, -9, 0}), pool.AddPointRec({-20, -9, 0}),
                                         pool.AddPointRec({-10, -9, 0}), c0, c1, pool.AddPointRec({10, 20, 0})});
    TAbstractItem *backward = MakeItemOn(S, BortTypeCode,
                                         {pool.AddPointRec({40, 30, 0}), pool.AddPointRec({30, 30, 0}),
                                          pool.AddPointRec({20, 30, 0}), c1, c0, pool.AddPointRec({-5, 5, 0})});
    const TXYZArray there = Stretch(*curve, 0, 1);
    ASSERT_GT(there.size(), 2u) << "the curve is not smooth between its vertices";
    ExpectSamePoints(DenseRange(*forward, 3, 4), there, "forwards");
    ExpectSamePoints(DenseRange(*backward, 3, 4), Stretch(*curve, 1, 0), "backwards");
    // Edges off the curve stay straight.
    EXPECT_EQ(DenseRange(*forward, 2, 3).size(), 2u);
    EXPECT_EQ(DenseRange(*forward, 4, 5).size(), 2u);
}

TEST_F(Curves, TwoVerticesDrawTheChordOnTheTechnicalLayer) {
    TAbstractItem *curve = MakeItem(S, ArcCoordsTypeCode, {{0, 3, 0}, {12, 8, 0}});
    S.UpdateGraphics(FullTypeSet());
    TDxPrimCollection *lines = TypePrimCollection(S, ArcCoordsTypeCode, 0);
    ASSERT_NE(lines, nullptr);
    const auto groups = LiveGroups(*lines, *curve);
    ASSERT_FALSE(groups.empty());
    for (std::size_t i = 0; i < lines->Count(); ++i)
        EXPECT_EQ(lines->Group(i).Layers, TechLayerMask);
    // Control polygon and dense line both lie on the chord from (0, 3) to (12, 8).
    for (const auto &g : groups)
        for (const TDxVertex &v : g) {
            EXPECT_NEAR((v.x - 0) * 5 - (v.y - 3) * 12, 0, 1e-3) << v.x << ", " << v.y;
            EXPECT_EQ(v.color, MakeD3DColor(100, 5, 5, 255));
        }
    // A curve of one vertex draws nothing.
    TAbstractItem *lone = S.Lists(ArcCoordsTypeCode).AddNew();
    lone->Points.InsertNewPoint(0, {50, 50, 0});
    S.UpdateGraphics(FullTypeSet());
    EXPECT_TRUE(LiveGroups(*lines, *lone).empty());
}

TEST_F(Curves, TheControlPolygonAndTheSmoothLineAreBothDrawn) {
    TAbstractItem *curve = MakeItem(S, ArcCoordsTypeCode, {{0, 0, 0}, {10, 10, 0}, {20, 0, 0}});
    S.UpdateGraphics(FullTypeSet());
    TDxPrimCollection *lines = TypePrimCollection(S, ArcCoordsTypeCode, 0);
    const auto groups = LiveGroups(*lines, *curve);
    curve->Points.EnsureGeometry();
    const std::size_t dense = curve->Points.Dense().size();
    ASSERT_EQ(groups.size(), 2 + (dense - 1));
    // The control polygon's corner is drawn; the smooth line passes through the vertex without a corner.
    EXPECT_EQ(groups[0][1].x, 10);
    EXPECT_EQ(groups[0][1].y, 10);
    EXPECT_GT(dense, 10u);
}

TEST_F(Curves, MovingACurveVertexReshapesEveryItemHoldingItsVertices) {
    TAbstractItem *curve =
        MakeItem(S, ArcCoordsTypeCode, {{0, 0, 0}, {10, 6, 0}, {20, 0, 0}, {30, 6, 0}, {40, 0, 0}});
    TPointStructure &pool = S.Pool();
    // One curb on the first stretch, one on the last: neither holds vertex 2.
    TAbstractItem *first = MakeItemOn(S, BortTypeCode,
                                      {pool.AddPointRec({0, -10, 0}), curve->Points.PointRec(0),
                                       curve->Points.PointRec(1)});
    TAbstractItem *last =
        MakeItemOn(S, BortTypeCode, {curve->Points.PointRec(4), curve->Points.PointRec(3)});
    TAbstractItem *apart = MakeItem(S, BortTypeCode, {{0, 50, 0}, {10, 50, 0}});
    S.UpdateGraphics(FullTypeSet());
    ASSERT_FALSE(first->Points.Changed());

    curve->Points.SetPoint(2, {20, -8, 0});
    EXPECT_TRUE(first->Points.Changed());
    EXPECT_TRUE(last->Points.Changed());
    EXPECT_FALSE(apart->Points.Changed());
    S.UpdateGraphics(FullTypeSet());
    ExpectSamePoints(DenseRange(*first, 1, 2), Stretch(*curve, 0, 1), "first stretch");
    ExpectSamePoints(DenseRange(*last, 0, 1), Stretch(*curve, 4, 3), "last stretch");
    // The curb's drawn line follows the new shape.
    TDxPrimCollection *lines = TypePrimCollection(S, BortTypeCode, 0);
    const auto groups = LiveGroups(*lines, *first);
    const TXYZArray dense = first->Points.Dense();
    ASSERT_EQ(groups.size(), dense.size() - 1);
    EXPECT_EQ(groups.back()[1].x, dense.back().x);
    EXPECT_EQ(groups[1][1].y, dense[2].y);
}

TEST_F(Curves, AStreetReadFromBytesFollowsItsCurvesAndWritesBackTheSame) {
    sptest::StreetFile f = sptest::StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 6}, {3, 20, 0}, {4, -10, 0}};
    f.Lists = {{"BORT", {[] {
                            sptest::ItemRec r = sptest::Rec("BORT", 1, {4, 1, 2});
                            r.Extra.Tag("BORTWIDT").F32(0.2f).Tag("BORTCOLR").U32(0xFF008000);
                            return r;
                        }()}},
               {"ARCCOORD", {sptest::Rec("ARCCOORD", 1, {1, 2, 3})}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
    EXPECT_FALSE(s->Modified());
    TAbstractItem *curb = s->Lists(BortTypeCode).Items(0);
    TAbstractItem *curve = s->Lists(ArcCoordsTypeCode).Items(0);
    ASSERT_NE(dynamic_cast<TArcCoordsItem *>(curve), nullptr);
    ExpectSamePoints(DenseRange(*curb, 1, 2), Stretch(*curve, 0, 1), "read");
    s->UpdateGraphics(FullTypeSet());
    EXPECT_EQ(SaveBytes(*s), bytes);
}

} // namespace
