// Public-transport stops: their records, the pavilion and flag shapes and colours, the road way found to
// their right over every crossing, bus bays, and their place along the axis.
#include "ObjectsTestUtil.h"

#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "objects/RoadWay.h"
#include "objects/StopItem.h"
#include "platform/d3d9/RecordingDevice.h"

#include <cmath>

using namespace objtest;
using sptest::ByteBuilder;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

struct TStopFields {
    float Length = 4, Width = 2;
    std::string Name, Routes;
    float Platform = 0;
    uint8_t Pavilion = 1;
};

// A stop record as our writer lays it out.
ItemRec StopRec(int32_t id, std::vector<int32_t> points, const TStopFields &f) {
    ItemRec r = Rec("STOP", id, std::move(points));
    r.Extra.Tag("STOPLENG").F32(f.Length).Tag("STOPWIDT").F32(f.Width);
    if (!f.Name.empty())
        r.Extra.Tag("STOPNAME").Str(f.Name);
    if (!f.Routes.empty())
        r.Extra.Tag("STOPROOT").Str(f.Routes);
    r.Extra.Tag("STOPTRSQ").F32(f.Platform).Tag("STOP_PAV").U8(f.Pavilion);
    return r;
}

StreetFile WithPoints() {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 10, 5}, {4, 0, 5}};
    return f;
}

class Stops : public TWithClasses {
protected:
    TStopItem *Stop(TXYZ p0, TXYZ p1) { return MakeAs<TStopItem>(S, StopTypeCode, {p0, p1}); }
    TRoadWayItem *Road(std::initializer_list<TXYZ> points, const char *category = "") {
        auto *r = MakeAs<TRoadWayItem>(S, RoadWayTypeCode, points);
        r->SetPasspCategory(Cp(category));
        return r;
    }
    TAxisItem *Axis(std::initializer_list<TXYZ> points) {
        auto *a = MakeAs<TAxisItem>(S, AxisTypeCode, points);
        a->SetRightSideName(Cp("правая"));
        a->SetLeftSideName(Cp("левая"));
        return a;
    }
    TStreetStructure S;
};

void ExpectPoints(const std::vector<TXYZ> &got, const std::vector<TXYZ> &want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, 1e-5) << i;
        EXPECT_NEAR(got[i].y, want[i].y, 1e-5) << i;
    }
}

TEST_F(Stops, RecordsWriteBackByteForByteAndAOneVertexStopIsDropped) {
    TStopFields plain;
    TStopFields named;
    named.Name = W("Площадь Победы");
    named.Routes = "5, 12, 41";
    named.Length = 6.5f, named.Width = 1.5f, named.Platform = 18.25f;
    TStopFields pole;
    pole.Pavilion = 0, pole.Length = 0, pole.Width = 0, pole.Name = W("Рынок");
    StreetFile f = WithPoints();
    f.Lists = {{"STOP", {StopRec(1, {1, 2}, plain), StopRec(2, {3, 4}, named), StopRec(3, {2, 3}, pole)}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
    EXPECT_FALSE(s->Modified());
    EXPECT_EQ(SaveBytes(*s), bytes);
    auto *stop = dynamic_cast<TStopItem *>(s->Lists(StopTypeCode).FindById(2));
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->Name(), Cp("Площадь Победы"));
    EXPECT_EQ(stop->Routes(), Cp1251String("5, 12, 41"));
    EXPECT_EQ(stop->Length(), 6.5f);
    EXPECT_EQ(stop->PlatformArea(), 18.25f);

    // One vertex: dropped; the other record stays. Without its own tags a stop takes the defaults.
    StreetFile in = WithPoints();
    in.Lists = {{"STOP", {StopRec(1, {1}, named), Rec("STOP", 2, {3, 4})}}};
    StreetFile out = WithPoints();
    out.Lists = {{"STOP", {StopRec(2, {3, 4}, plain)}}};
    s = LoadBytes(in.Bytes());
    EXPECT_EQ(s->Lists(StopTypeCode).Count(), 1);
    EXPECT_EQ(SaveBytes(*s), out.Bytes());
}

TEST_F(Stops, ClearingThePavilionZeroesItsSizes) {
    TStopItem *stop = Stop({0, 0, 0}, {1, 0, 0});
    EXPECT_EQ(stop->Width(), 2.0f);
    EXPECT_EQ(stop->Length(), 4.0f);
    EXPECT_EQ(stop->Pavilion(), 1);
    S.ClearModified();
    stop->SetPavilion(0);
    EXPECT_TRUE(S.Modified());
    EXPECT_EQ(stop->Width(), 0.0f);
    EXPECT_EQ(stop->Length(), 0.0f);
    stop->SetPavilion(1);
    EXPECT_EQ(stop->Pavilion(), 1);
    EXPECT_EQ(stop->Width(), 0.0f) << "the sizes stay 0 until edited";
    EXPECT_EQ(stop->Length(), 0.0f);
}

TEST_F(Stops, PavilionsAndFlagsAlongAndAgainstTheAxis) {
    struct TCase {
        const char *Name;
        TXYZ P1;
        uint8_t Pavilion;
        bool WithAxis;
        std::vector<TXYZ> Outline; // relative to P0 = (10, 20)
    };
    const TCase cases[] = {
        {"pavilion along +x: on the left", {11, 20, 0}, 1, false, {{0, 0}, {0, 2}, {4, 2}, {4, 0}, {0, 0}}},
        {"pavilion along +y", {10, 25, 0}, 1, false, {{0, 0}, {-2, 0}, {-2, 4}, {0, 4}, {0, 0}}},
        {"pavilion of coincident points takes angle 0", {10, 20, 0}, 1, false,
         {{0, 0}, {0, 2}, {4, 2}, {4, 0}, {0, 0}}},
        {"flag along +x without an axis", {12, 20, 0}, 0, false,
         {{0, 0}, {0.5f, 0}, {0, 1.5f}, {0, 2.5f}, {1.5f, 1.5f}, {1.5f, 2.5f}}},
        {"flag against +x without an axis turns to +x", {8, 20, 0}, 0, false,
         {{0, 0}, {0.5f, 0}, {0, 1.5f}, {0, 2.5f}, {1.5f, 1.5f}, {1.5f, 2.5f}}},
        {"flag along an axis running +y", {10, 23, 0}, 0, true,
         {{0, 0}, {0, 0.5f}, {-1.5f, 0}, {-2.5f, 0}, {-1.5f, 1.5f}, {-2.5f, 1.5f}}},
        {"flag against an axis running +y follows the axis", {10, 17, 0}, 0, true,
         {{0, 0}, {0, 0.5f}, {-1.5f, 0}, {-2.5f, 0}, {-1.5f, 1.5f}, {-2.5f, 1.5f}}},
        {"flag of coincident points without an axis", {10, 20, 0}, 0, false,
         {{0, 0}, {0.5f, 0}, {0, 1.5f}, {0, 2.5f}, {1.5f, 1.5f}, {1.5f, 2.5f}}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        S.Clear();
        if (c.WithAxis)
            S.SetMainAxis(Axis({{0, 0, 0}, {0, 100, 0}}));
        TStopItem *stop = Stop({10, 20, 0}, {10, 21, 0});
        stop->Points.SetPoint(1, c.P1);
        stop->SetPavilion(c.Pavilion);
        if (c.Pavilion) {
            stop->SetWidth(2);
            stop->SetLength(4);
        }
        std::vector<TXYZ> want;
        for (const TXYZ &p : c.Outline)
            want.push_back({10 + p.x, 20 + p.y, 0});
        ExpectPoints(stop->Outline(), want);
        for (const TXYZ &p : stop->Outline())
            EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    }
}

TEST_F(Stops, HitOnTheOutlineVertices) {
    TStopItem *stop = Stop({0, 0, 0}, {1, 0, 0});
    double d = 0;
    EXPECT_TRUE(stop->HitTest({4.2f, 2.1f, 0}, d, 0.5));
    EXPECT_NEAR(d, std::hypot(0.2, 0.1), 1e-6);
    EXPECT_FALSE(stop->HitTest({2, 1, 0}, d, 0.5)) << "inside the rectangle, away from its corners";
    EXPECT_EQ(S.FindNearestItem({4, 2.2f, 0}, TItemTypeSet{StopTypeCode}, 0.5), stop)
        << "the picking index files the stop by its outline";
}

// The colours of the lines and triangles a street of stops draws.
struct TDrawnColours {
    std::vector<D3DCOLOR> Lines, Triangles;
    std::size_t LineVertices = 0, TriangleVertices = 0;
};
TDrawnColours DrawStops(TStreetStructure &s) {
    auto device = std::make_shared<TRecordingDevice>(64, 64);
    TDisplayRenderer renderer(device);
    renderer.BeginDraw();
    s.Draw({&renderer, {0, 0, 0}, 1000}, TItemTypeSet{StopTypeCode}, PlanLayerMask | TechLayerMask);
    renderer.EndDraw();
    TDrawnColours out;
    for (const TRecordedDraw &d : device->Draws()) {
        const bool lines = d.Type == D3DPT_LINELIST || d.Type == D3DPT_LINESTRIP;
        for (const TRecordedVertex &v : d.Vertices()) {
            (lines ? out.Lines : out.Triangles).push_back(v.Color);
            ++(lines ? out.LineVertices : out.TriangleVertices);
        }
    }
    return out;
}

TEST_F(Stops, YellowPavilionsRedPavilionsAndRedFlags) {
    TStopItem *pavilion = Stop({0, 0, 0}, {1, 0, 0});
    TDrawnColours red = DrawStops(S);
    EXPECT_EQ(red.TriangleVertices, 0u);
    EXPECT_EQ(red.LineVertices, 12u) << "the rectangle and its two diagonals";
    for (D3DCOLOR c : red.Lines)
        EXPECT_EQ(c, TStopItem::Red);

    S.SetStrOption(Cp1251String("StopsYellow"), Cp1251String("1"));
    S.InvalidateAllItems();
    TDrawnColours yellow = DrawStops(S);
    EXPECT_EQ(yellow.TriangleVertices, 6u);
    for (D3DCOLOR c : yellow.Triangles)
        EXPECT_EQ(c, TStopItem::YellowFill);
    EXPECT_EQ(yellow.LineVertices, 8u) << "the outline only";
    for (D3DCOLOR c : yellow.Lines)
        EXPECT_EQ(c, TStopItem::DarkOutline);

    pavilion->SetPavilion(0);
    TDrawnColours flag = DrawStops(S);
    EXPECT_EQ(flag.TriangleVertices, 0u);
    EXPECT_EQ(flag.LineVertices, 16u) << "pole, tick, plate and its diagonals";
    for (D3DCOLOR c : flag.Lines)
        EXPECT_EQ(c, TStopItem::Red);
}

TEST_F(Stops, TheRoadWayToTheRightOverEveryCrossing) {
    // The stop at the origin looks along +x: its ray runs down -y for 100 m.
    struct TCase {
        const char *Name;
        std::vector<std::vector<TXYZ>> Roads;
        float Distance;
        int Road; // index of the road way found, -1 none
    };
    const TCase cases[] = {
        {"no road way", {}, -1, -1},
        {"a road way beyond 100 m", {{{-5, -101, 0}, {5, -101, 0}, {5, -120, 0}, {-5, -120, 0}}}, -1, -1},
        {"a road way to the left does not count", {{{-5, 3, 0}, {5, 3, 0}, {5, 10, 0}, {-5, 10, 0}}}, -1, -1},
        {"the near edge of a road way", {{{-5, -3, 0}, {5, -3, 0}, {5, -10, 0}, {-5, -10, 0}}}, 3, 0},
        // A C open to the side, its contour starting at the far bottom: crossed at -30, -25, -10 and -4,
        // in that contour order; the nearest is the fourth.
        {"a concave road way crossed four times",
         {{{-5, -30, 0}, {5, -30, 0}, {5, -25, 0}, {-3, -25, 0}, {-3, -10, 0}, {5, -10, 0}, {5, -4, 0}, {-5, -4, 0}}},
         4,
         0},
        {"two road ways: the nearer",
         {{{-5, -20, 0}, {5, -20, 0}, {5, -30, 0}, {-5, -30, 0}}, {{-5, -6, 0}, {5, -6, 0}, {5, -9, 0}, {-5, -9, 0}}},
         6,
         1},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        S.Clear();
        std::vector<TRoadWayItem *> roads;
        for (const auto &outline : c.Roads) {
            auto *road = dynamic_cast<TRoadWayItem *>(S.Lists(RoadWayTypeCode).AddNew());
            for (const TXYZ &p : outline)
                road->Points.InsertNewPoint(road->Points.Count(), p);
            roads.push_back(road);
        }
        TStopItem *stop = Stop({0, 0, 0}, {1, 0, 0});
        TRoadWayItem *found = nullptr;
        EXPECT_NEAR(stop->FindRoadWay(found), c.Distance, 1e-5);
        EXPECT_EQ(found, c.Road < 0 ? nullptr : roads[std::size_t(c.Road)]);
        EXPECT_NEAR(stop->RoadWayDistance(), c.Distance, 1e-5);
        if (c.Road < 0) {
            EXPECT_EQ(stop->BusBayArea(), 0) << "no bus bay without a road way";
        }
    }
}

TEST_F(Stops, BusBaysAreTheNeighboursNamedAsStopBays) {
    // The stop's road way and two neighbours sharing its vertices, one a stop bay, one not; a stop bay
    // that shares nothing is left out.
    TRoadWayItem *bay = Road({{0, -3, 0}, {20, -3, 0}, {20, -6, 0}, {0, -6, 0}}, "карман остановочный");
    TStreetPointRec *a = bay->Points.PointRec(2), *b = bay->Points.PointRec(3);
    auto *next = dynamic_cast<TRoadWayItem *>(MakeItemOn(
        S, RoadWayTypeCode, {b, a, S.Pool().AddPointRec({20, -9, 0}), S.Pool().AddPointRec({0, -9, 0})}));
    next->SetPasspCategory(Cp("КАРМАН ОСТ."));
    auto *lane = dynamic_cast<TRoadWayItem *>(
        MakeItemOn(S, RoadWayTypeCode, {a, S.Pool().AddPointRec({30, -6, 0}), S.Pool().AddPointRec({30, -3, 0})}));
    lane->SetPasspCategory(Cp("проезжая часть"));
    Road({{50, -3, 0}, {60, -3, 0}, {60, -6, 0}}, "карман ост");
    TStopItem *stop = Stop({5, 0, 0}, {6, 0, 0});

    TConnectedItems found(false);
    stop->CollectBusBays(found);
    ASSERT_EQ(found.Count(), 2);
    EXPECT_EQ(found.Items(0), bay) << "the stop's road way itself, written in small letters";
    EXPECT_EQ(found.Items(1), next);
    EXPECT_NEAR(stop->BusBayArea(), 60 + 60, 1e-4);

    // The nearest road way must itself be a bay: a plain road way gives none.
    bay->SetPasspCategory(Cp("остановка"));
    EXPECT_EQ(stop->BusBayArea(), 0);
    // Fewer than 2 vertices: -1.
    auto *lone = dynamic_cast<TStopItem *>(S.Lists(StopTypeCode).AddNew());
    lone->Points.InsertNewPoint(0, {5, 0, 0});
    EXPECT_EQ(lone->BusBayArea(), -1);
}

TEST_F(Stops, StartEndAndSideAlongTheAxis) {
    TStopItem *stop = Stop({10, 3, 0}, {9, 3, 0}); // against the axis, left of it
    EXPECT_EQ(stop->GetAxisSideName(), Cp1251String("???"));
    EXPECT_EQ(stop->AxisStart(), -1);
    EXPECT_EQ(stop->AxisEnd(), -1);

    TAxisItem *axis = Axis({{0, 0, 0}, {100, 0, 0}});
    S.SetMainAxis(axis);
    EXPECT_EQ(stop->GetAxisSideName(), Cp("левая"));
    EXPECT_NEAR(stop->AxisStart(), 6, 1e-4) << "the pavilion runs back along the axis";
    EXPECT_NEAR(stop->AxisEnd(), 10, 1e-4);

    stop->Points.SetPoint(0, {10, 0, 0});
    EXPECT_EQ(stop->GetAxisSideName(), Cp("правая")) << "on the axis counts as right";
    stop->Points.SetPoint(0, {10, -2, 0});
    EXPECT_EQ(stop->GetAxisSideName(), Cp("правая"));
}

} // namespace
