// The survey scene written as a street: the plan items must lie where the frames paint the road.
#include "model/ItemList.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "objects/LineRazmetItem.h"
#include "objects/Oboch.h"
#include "objects/RoadWay.h"
#include "tests/support/TestSupport.h"
#include "tools/make-survey/SceneStreet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using makesurvey::TRoadScene;

namespace {

TEST(SceneStreet, PointAtInvertsStationAndOffsetOnEveryPieceOfTheCentreLine) {
    const TRoadScene scene;
    const double arcStart = scene.Straight1, arcEnd = scene.Straight1 + scene.ArcRadius * scene.ArcAngle;
    const double stations[] = {0, scene.Straight1 / 2, arcStart + 1, (arcStart + arcEnd) / 2, arcEnd - 1,
                               arcEnd + 5, scene.CentreLength()};
    for (double s : stations)
        for (double o : {-4.0, -3.5, 0.0, 1.75, 4.0}) {
            double x, y;
            scene.PointAt(s, o, x, y);
            const auto so = scene.ToStationOffset(x, y);
            EXPECT_NEAR(so.Station, s, 1e-9) << "station " << s << " offset " << o;
            EXPECT_NEAR(so.Offset, o, 1e-9) << "station " << s << " offset " << o;
        }
}

TEST(SceneStreet, TheRoadWayCoversTheCarriagewayAndTheShouldersShareItsEdges) {
    const TRoadScene scene;
    sptest::TempDir dir;
    const std::string file = dir.File("scene.zrv");
    makesurvey::MakeSceneStreet(scene)->SaveToFile(file);
    const auto street = LoadStreetFile(file);
    const TItemList &roads = street->Lists(RoadWayTypeCode);
    const TItemList &shoulders = street->Lists(ObochTypeCode);
    ASSERT_EQ(roads.Count(), 1);
    ASSERT_EQ(shoulders.Count(), 2);

    auto *road = dynamic_cast<TPolygonItem *>(roads.Items(0));
    ASSERT_NE(road, nullptr);
    std::set<int32_t> roadIds;
    for (int i = 0; i < road->Points.Count(); ++i) {
        roadIds.insert(road->Points.PointRec(i)->Id());
        const TXYZ p = road->Points.GetPoint(i);
        const auto so = scene.ToStationOffset(p.x, p.y);
        EXPECT_NEAR(std::fabs(so.Offset), scene.HalfWidth, 1e-3) << "vertex " << i;
        // The frames paint the carriageway's edge line just inside these points.
        double x, y;
        scene.PointAt(so.Station, so.Offset * 0.99, x, y);
        const auto c = scene.GroundColor(x, y);
        EXPECT_GT(c.R, 200) << "vertex " << i << " is not on the painted edge line";
    }
    // Chords on the arc lose a sliver of the carriageway: under a tenth of a percent with 2 m steps.
    EXPECT_NEAR(road->Area(), 2 * scene.HalfWidth * scene.CentreLength(),
                2 * scene.HalfWidth * scene.CentreLength() * 1e-3);
    EXPECT_TRUE(road->AreaReliable());

    for (int k = 0; k < 2; ++k) {
        const TAbstractItem &shoulder = *shoulders.Items(k);
        int shared = 0;
        for (int i = 0; i < shoulder.Points.Count(); ++i)
            shared += roadIds.count(shoulder.Points.PointRec(i)->Id()) ? 1 : 0;
        EXPECT_EQ(shared * 2, shoulder.Points.Count()) << "shoulder " << k << " shares one of its two edges";
    }
}

// The edge and centre lines as markings: each strip lies on paint of the frames.
TEST(SceneStreet, MarkingStripsLieOnThePaintedLines) {
    const TRoadScene scene;
    sptest::TempDir dir;
    const std::string file = dir.File("scene.zrv");
    makesurvey::MakeSceneStreet(scene)->SaveToFile(file);
    const auto street = LoadStreetFile(file);
    const TItemList &markings = street->Lists(LineRazmetTypeCode);
    ASSERT_EQ(markings.Count(), 3);
    const TLnParamArray &records = street->LnParams();
    int onRoadEdges = 0;
    std::set<int32_t> roadIds;
    for (const TStreetPointRec *r : street->Lists(RoadWayTypeCode).Items(0)->Points.Refs())
        roadIds.insert(r->Id());
    for (int k = 0; k < markings.Count(); ++k) {
        auto *m = dynamic_cast<TLineRazmetItem *>(markings.Items(k));
        ASSERT_NE(m, nullptr);
        ASSERT_GE(m->ParamIndex(), 0) << k;
        onRoadEdges += roadIds.count(m->Points.PointRec(0)->Id()) ? 1 : 0;
        const TLnParamRec &rec = records[static_cast<std::size_t>(m->ParamIndex())];
        const float sign = m->Mirror() ? -1.0f : 1.0f;
        const float middle = sign * (rec.Disp1 + rec.Disp2) / 2;
        // Near the start: the centre line's first dash starts at station 0.
        const float t = m->Points.ParamAtDistance(1.5f);
        const TXYZ p = m->Points.OffsetPointAtParam(t, middle);
        EXPECT_GT(scene.GroundColor(p.x, p.y).R, 200) << "marking " << k << " (" << rec.Name.ToUtf8() << ")";
        // Beside the strip: road or ground, no paint.
        const TXYZ beside = m->Points.OffsetPointAtParam(t, middle + sign * 0.4f);
        EXPECT_LT(scene.GroundColor(beside.x, beside.y).R, 200) << "marking " << k;
    }
    EXPECT_EQ(onRoadEdges, 2);
}

} // namespace
