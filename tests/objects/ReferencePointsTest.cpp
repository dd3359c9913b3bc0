// Reference points: lining them up through the current point, the crosses they draw (only with the
// technical details, only within the view, gathered into few draw calls), picking by the nearest vertex,
// and their records.
#include "ObjectsTestUtil.h"

#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "objects/RulerItem.h"
#include "platform/d3d9/RecordingDevice.h"

#include <cmath>
#include <numbers>

using namespace objtest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

class ReferencePoints : public TWithClasses {
protected:
    TRulerItem *Ruler(std::initializer_list<TXYZ> points) {
        return MakeAs<TRulerItem>(S, RulerTypeCode, points);
    }
    TStreetStructure S;
};

TEST_F(ReferencePoints, ArrangingLinesThePointsUpThroughTheCurrentOne) {
    constexpr double pi = std::numbers::pi;
    struct TVertex {
        double Dx, Dy;
        bool Ahead; // goes along the angle (else against it)
    };
    struct TCase {
        double Angle;
        std::vector<TVertex> Vertices; // relative to the current point
    };
    const TCase cases[] = {
        // Exactly square vertices go to the far side.
        {0, {{3, 4, true}, {-3, 1, false}, {0, 4, false}, {0, -2, false}}},
        {pi / 2, {{1, 5, true}, {0, -2, false}, {4, 0, false}, {-3, 0, false}}},
        {pi, {{-2, 0.5, true}, {1, 0, false}, {0, -3, false}}},
        {-pi / 2, {{0.1, -2, true}, {0, 3, false}, {2, 0, false}}},
        {0.7, {{5, 1, true}, {-1, -5, false}, {-4, 2, false}}},
        {2.5, {{-3, 2, true}, {3, -1, false}}},
        {-3, {{-3, -1, true}, {2, 0.5, false}}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Angle);
        S.Clear();
        const TXYZ center{10, 20, 1.5f};
        auto *ruler = dynamic_cast<TRulerItem *>(S.Lists(RulerTypeCode).AddNew());
        ruler->Points.InsertNewPoint(0, center);
        for (const TVertex &v : c.Vertices)
            ruler->Points.InsertNewPoint(ruler->Points.Count(),
                                         {float(center.x + v.Dx), float(center.y + v.Dy), 2});
        ruler->Points.CurrentIndex = 0;
        ruler->ArrangePoints(c.Angle);
        EXPECT_EQ(ruler->Points.GetPoint(0), center);
        for (std::size_t i = 0; i < c.Vertices.size(); ++i) {
            const TVertex &v = c.Vertices[i];
            const double d = std::hypot(v.Dx, v.Dy), a = v.Ahead ? c.Angle : c.Angle + pi;
            const TXYZ p = ruler->Points.GetPoint(static_cast<int>(i) + 1);
            EXPECT_NEAR(p.x, center.x + d * std::cos(a), 1e-4) << i;
            EXPECT_NEAR(p.y, center.y + d * std::sin(a), 1e-4) << i;
            EXPECT_EQ(p.z, 2) << "heights stay";
        }
    }
}

TEST_F(ReferencePoints, ArrangingMovesSharedVerticesAndNeedsACurrentPoint) {
    TRulerItem *ruler = Ruler({{0, 0, 0}, {3, 4, 0}});
    TAbstractItem *fence =
        MakeItemOn(S, RoadWallTypeCode, {ruler->Points.PointRec(1), S.Pool().AddPointRec({9, 9, 0})});
    S.ClearModified();
    ruler->Points.CurrentIndex = -1;
    ruler->ArrangePoints(0);
    EXPECT_EQ(ruler->Points.GetPoint(1), (TXYZ{3, 4, 0}));
    EXPECT_FALSE(S.Modified());

    ruler->Points.CurrentIndex = 0;
    ruler->ArrangePoints(0);
    EXPECT_EQ(ruler->Points.GetPoint(1), (TXYZ{5, 0, 0}));
    EXPECT_EQ(fence->Points.GetPoint(0), (TXYZ{5, 0, 0})) << "the fence shares the vertex";
    EXPECT_TRUE(S.Modified());
}

TEST_F(ReferencePoints, PickedByTheNearestVertex) {
    TRulerItem *ruler = Ruler({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    double d = 0;
    EXPECT_TRUE(ruler->HitTest({10.3f, 9.6f, 0}, d, 1));
    EXPECT_NEAR(d, 0.5, 1e-6);
    EXPECT_FALSE(ruler->HitTest({5, 0, 0}, d, 1)) << "between the points is no hit";
    EXPECT_NEAR(d, 5, 1e-6);
    EXPECT_EQ(S.Lists(RulerTypeCode).FindNearest({9.5f, 0.2f, 0}, {}, 1), ruler);
}

// A frame of the street drawn through a recording device with the layers and view given.
struct TDrawn {
    std::vector<TRecordedDraw> Draws;
};
TDrawn DrawStreet(TStreetStructure &s, uint32_t layers, TXYZ viewCenter, float viewRadius) {
    auto device = std::make_shared<TRecordingDevice>(64, 64);
    TDisplayRenderer renderer(device);
    renderer.BeginDraw();
    s.Draw({&renderer, viewCenter, viewRadius}, TItemTypeSet{RulerTypeCode}, layers);
    renderer.EndDraw();
    return {device->Draws()};
}

TEST_F(ReferencePoints, CrossesOnlyWithTheTechnicalDetailsAndWithinTheView) {
    TRulerItem *red = Ruler({{0, 0, 0}, {10, 0, 0}, {100, 0, 0}});
    red->SetColor(MakeD3DColor(200, 0, 0, 128));
    TRulerItem *black = Ruler({{0, 5, 0}}); // one vertex is enough
    TRulerItem *hidden = Ruler({{1, 1, 0}});
    hidden->Active = false;

    EXPECT_TRUE(DrawStreet(S, PlanLayerMask, {0, 0, 0}, 50).Draws.empty());

    const TDrawn drawn = DrawStreet(S, PlanLayerMask | TechLayerMask, {0, 0, 0}, 50);
    ASSERT_EQ(drawn.Draws.size(), 1u) << "the crosses of every item in one call";
    const TRecordedDraw &d = drawn.Draws[0];
    EXPECT_EQ(d.Type, D3DPT_LINELIST);
    const std::vector<TRecordedVertex> v = d.Vertices();
    // The vertex at 100 lies outside the view; each cross is two lines of 1 m, not turned.
    ASSERT_EQ(v.size(), 12u);
    const std::vector<std::array<float, 4>> expected = {{-0.5f, 0, 0.5f, 0}, {0, -0.5f, 0, 0.5f},
                                                        {9.5f, 0, 10.5f, 0}, {10, -0.5f, 10, 0.5f},
                                                        {-0.5f, 5, 0.5f, 5}, {0, 4.5f, 0, 5.5f}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(v[2 * i].X, expected[i][0]) << i;
        EXPECT_EQ(v[2 * i].Y, expected[i][1]) << i;
        EXPECT_EQ(v[2 * i + 1].X, expected[i][2]) << i;
        EXPECT_EQ(v[2 * i + 1].Y, expected[i][3]) << i;
        // The colour without its alpha: a colour of 0 draws black.
        EXPECT_EQ(v[2 * i].Color, i < 4 ? MakeD3DColor(200, 0, 0, 255) : MakeD3DColor(0, 0, 0, 255)) << i;
    }

    // An item's own Draw draws the same crosses.
    auto device = std::make_shared<TRecordingDevice>(64, 64);
    TDisplayRenderer renderer(device);
    renderer.BeginDraw();
    black->Draw({&renderer, {0, 0, 0}, 50}, TechLayerMask);
    black->Draw({&renderer, {0, 0, 0}, 50}, PlanLayerMask);
    renderer.EndDraw();
    ASSERT_EQ(device->Draws().size(), 1u);
    EXPECT_EQ(device->Draws()[0].Vertices().size(), 4u);
}

// ---- Records

ItemRec RulerRec(int32_t id, std::vector<int32_t> points, std::optional<uint8_t> flag,
                 std::optional<std::array<uint8_t, 4>> bgra) {
    ItemRec r = Rec("RULER", id, std::move(points));
    if (flag)
        r.Extra.Tag("RULERTXT").U8(*flag);
    if (bgra)
        r.Extra.Tag("RULERCLR").U8((*bgra)[0]).U8((*bgra)[1]).U8((*bgra)[2]).U8((*bgra)[3]);
    return r;
}

StreetFile WithPoints() {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 10, 5}};
    return f;
}

TEST_F(ReferencePoints, RecordsWriteBackAndKeepTheColourByteOrder) {
    StreetFile f = WithPoints();
    f.Lists = {{"RULER",
                {RulerRec(1, {1, 2, 3}, 1, std::array<uint8_t, 4>{0x33, 0x22, 0x11, 0x80}),
                 RulerRec(2, {2}, 0, std::array<uint8_t, 4>{0, 0, 0, 0})}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
    EXPECT_FALSE(s->Modified());
    EXPECT_EQ(SaveBytes(*s), bytes);
    auto *one = dynamic_cast<TRulerItem *>(s->Lists(RulerTypeCode).FindById(1));
    auto *single = dynamic_cast<TRulerItem *>(s->Lists(RulerTypeCode).FindById(2));
    ASSERT_TRUE(one && single) << "a single vertex is a valid item";
    EXPECT_EQ(one->TextFlag(), 1);
    EXPECT_EQ(one->Color(), MakeD3DColor(0x11, 0x22, 0x33, 0x80));
    EXPECT_EQ(single->Points.Count(), 1);

    // Without the tags both are written with their defaults; without a vertex the item is dropped.
    StreetFile bare = WithPoints();
    bare.Lists = {
        {"RULER", {RulerRec(1, {1, 2}, std::nullopt, std::nullopt), RulerRec(2, {}, 1, std::nullopt)}}};
    StreetFile expected = WithPoints();
    expected.Lists = {{"RULER", {RulerRec(1, {1, 2}, 0, std::array<uint8_t, 4>{0, 0, 0, 0})}}};
    EXPECT_EQ(SaveBytes(*LoadBytes(bare.Bytes())), expected.Bytes());
}

} // namespace
