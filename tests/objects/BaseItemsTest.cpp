// The base item classes: vertex rules at load, hit tests and their ranking, the polygon's fill, outline,
// area and passport-axis figures, measures over other items, and oriented points.
#include "ObjectsTestUtil.h"

#include "engine/DxDraw.h"
#include "engine/DxTess3.h"
#include "engine/UndefinedValue.h"
#include "model/ItemLayers.h"
#include "support/Expectations.h"

#include <cmath>
#include <numbers>

using namespace objtest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

class BaseItems : public TWithClasses {
protected:
    TStreetStructure S;

    TPolygonItem *Square(int code, float x0, float y0, float size) {
        return MakeAs<TPolygonItem>(
            S, code, {{x0, y0, 0}, {x0 + size, y0, 0}, {x0 + size, y0 + size, 0}, {x0, y0 + size, 0}});
    }
};

TEST_F(BaseItems, RecordsWithTooFewVerticesAreDroppedAtLoad) {
    struct TCase {
        const char *Ident;
        int Code;
        std::vector<int32_t> Points;
        bool Kept;
    };
    const TCase cases[] = {
        {"SLOPMEAS", TestFigure, {1, 2}, false}, {"SLOPMEAS", TestFigure, {1, 2, 3}, true},
        {"LNDEFECT", TestLine, {1}, false},      {"LNDEFECT", TestLine, {1, 2}, true},
        {"RAD_MEAS", TestPoint, {}, false},      {"RAD_MEAS", TestPoint, {1}, true},
    };
    for (const TCase &c : cases) {
        StreetFile f = StreetFile::Canonical();
        f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 10, 10}};
        ItemRec r = Rec(c.Ident, 1, c.Points);
        if (c.Code == TestFigure)
            r.Extra.Tag("POLYCONN").Append(sptest::ConnectdBytes({sptest::EmptyRef()}));
        f.Lists = {{c.Ident, {r}}};
        auto s = LoadBytes(f.Bytes());
        EXPECT_EQ(s->Lists(c.Code).Count(), c.Kept ? 1 : 0) << c.Ident << " with " << c.Points.size();
    }
}

TEST_F(BaseItems, PolygonRecordsCarryTheirPassportAxisAlways) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 10, 10}, {4, -5, 5}, {5, 15, 5}};
    ItemRec Axis4 = Rec("AXIS", 4, {4, 5});
    Axis4.Extra.Tag("AXISNAME").Str("").Tag("AXISMARK").U8(0).Tag("AXISLSTP").F32(100).Tag("AXISMRKW").F32(20);
    Axis4.Extra.Tag("AXISCNTR").U8(0).Tag("AXISSHRT").U8(0).Tag("AXISCOLR").U32(0);
    ItemRec empty = Rec("SLOPMEAS", 1, {1, 2, 3});
    empty.Extra.Tag("POLYCONN").Append(sptest::ConnectdBytes({sptest::EmptyRef()}));
    ItemRec linked = Rec("SLOPMEAS", 2, {3, 2, 1});
    linked.Extra.Tag("POLYCONN").Append(sptest::ConnectdBytes({{"AXIS", 4}}));
    f.Lists = {{"AXIS", {Axis4}}, {"SLOPMEAS", {empty, linked}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    auto s = LoadBytes(bytes);
    EXPECT_EQ(SaveBytes(*s), bytes);
    auto *p = dynamic_cast<TPolygonItem *>(s->Lists(TestFigure).FindById(2));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->GetPasspAxis(), s->Lists(TestAxis).FindById(4));

    // A record from elsewhere without the block reads with no axis and is written with an empty one.
    StreetFile bare = f;
    bare.Lists = {{"SLOPMEAS", {Rec("SLOPMEAS", 1, {1, 2, 3})}}};
    auto b = LoadBytes(bare.Bytes());
    StreetFile expected = bare;
    expected.Lists = {{"SLOPMEAS", {empty}}};
    EXPECT_EQ(SaveBytes(*b), expected.Bytes());
}

TEST_F(BaseItems, PointAndLineHitTests) {
    TAbstractItem *point = MakeItem(S, TestPoint, {{3, 4, 0}});
    TAbstractItem *line = MakeItem(S, TestLine, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    struct TCase {
        TAbstractItem *Item;
        TXYZ At;
        double Max;
        bool Hit;
        double Distance;
    };
    const TCase cases[] = {
        {point, {0, 0, 0}, 6, true, 5},
        {point, {0, 0, 0}, 5, false, 5},
        {line, {5, 1, 0}, 2, true, 1},
        {line, {9, -2, 0}, 3, true, 2},
        {line, {10, 0, 0}, 1, false, UndefinedValue}, // on the vertex: the foot is at an end of both segments
        {line, {11, -1, 0}, 5, false, UndefinedValue}, // beside the corner, past both segments
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(std::to_string(c.At.x) + "," + std::to_string(c.At.y));
        double d = 0;
        EXPECT_EQ(c.Item->HitTest(c.At, d, c.Max), c.Hit);
        // An undefined distance shows as empty, as reports show it.
        if (IsUndefinedValue(c.Distance))
            EXPECT_EQ(sptest::ValueText(d), "");
        else
            EXPECT_NEAR(d, c.Distance, 1e-5 * std::max(1.0, c.Distance)) << sptest::ValueText(d);
    }
}

TEST_F(BaseItems, PolygonsHitInsideByAreaAndOutsideNearTheirOutline) {
    TPolygonItem *large = Square(TestFigure, 0, 0, 1000);
    struct TCase {
        TXYZ At;
        double Max;
        bool Hit;
        double Distance;
        THitRank::TKind Rank;
    };
    const TCase cases[] = {
        {{500, 500, 0}, 0.5, true, 1e6, THitRank::InsideSurface},
        {{1000, 20, 0}, 0.5, true, 1e6, THitRank::InsideSurface}, // on the outline
        {{0, 0, 0}, 0.5, true, 1e6, THitRank::InsideSurface},
        {{1002, 20, 0}, 3, true, 2, THitRank::NearOutline},
        {{1002, 20, 0}, 1, false, 2, THitRank::Miss},
        {{-3, -4, 0}, 6, true, 5, THitRank::NearOutline},
    };
    for (const TCase &c : cases) {
        double d = -1;
        EXPECT_EQ(large->HitTest(c.At, d, c.Max), c.Hit) << c.At.x << "," << c.At.y;
        EXPECT_NEAR(d, c.Distance, 1e-4);
        EXPECT_EQ(large->PickRank(c.At, c.Max).Kind, c.Rank) << c.At.x << "," << c.At.y;
    }
    // Found with a pick radius far below the polygon's area.
    EXPECT_EQ(S.FindNearestItem({500, 500, 0}, TItemTypeSet{TestFigure, TestLine}, 0.5), large);

    // Among polygons that all hold the point: the smaller, whatever its list or type.
    TPolygonItem *small = Square(TestFigure, 400, 400, 10);
    EXPECT_EQ(S.Lists(TestFigure).FindNearest({405, 405, 0}, {}, 0.5), small);
    TPolygonItem *defect = Square(TestDefect, 400, 400, 20);
    EXPECT_EQ(S.FindNearestItem({405, 405, 0}, TItemTypeSet{TestFigure, TestDefect}, 0.5), small);
    EXPECT_EQ(S.FindNearestItem({405, 405, 0}, TItemTypeSet{TestDefect}, 0.5), defect);
    // Equal areas: the higher type code (the figure's).
    Square(TestDefect, 400, 400, 10);
    static_assert(TestFigure > TestDefect);
    EXPECT_EQ(S.FindNearestItem({405, 405, 0}, TItemTypeSet{TestFigure, TestDefect}, 0.5), small);
}

TEST_F(BaseItems, AreaIsTheEvenOddAreaAndNeverSilentlyPartial) {
    TPolygonItem *square = Square(TestFigure, 0, 0, 10);
    EXPECT_DOUBLE_EQ(square->Area(), 100);
    EXPECT_TRUE(square->AreaReliable());

    // A figure eight: the even-odd area of its two lobes, where the contour's signed area is 0.
    TPolygonItem *eight =
        MakeAs<TPolygonItem>(S, TestFigure, {{0, 0, 0}, {10, 10, 0}, {10, 0, 0}, {0, 10, 0}});
    EXPECT_NEAR(eight->Area(), 50, 1e-3);
    EXPECT_TRUE(eight->AreaReliable());

    // An outline beyond what the triangulator takes (a star of more points than its sweep visits): the
    // contour's own area, marked unreliable.
    TPolygonItem *big = dynamic_cast<TPolygonItem *>(S.Lists(TestFigure).AddNew());
    constexpr int n = 2 * (TDxTesselator3::MaxSweepPoints / 2 + 1);
    double shoelace = 0;
    TXYZ prev{};
    for (int i = 0; i <= n; ++i) {
        const double a = 2 * std::numbers::pi * i / n, r = i % 2 ? 990 : 1000;
        const TXYZ p{float(r * std::cos(a)), float(r * std::sin(a)), 0};
        if (i > 0)
            shoelace += double(prev.x) * p.y - double(p.x) * prev.y;
        prev = p;
        if (i < n)
            big->Points.InsertNewPoint(big->Points.Count(), p);
    }
    ASSERT_EQ(big->Points.Count(), n);
    EXPECT_FALSE(big->TrianglesComplete());
    EXPECT_FALSE(big->AreaReliable());
    EXPECT_NEAR(big->Area(), std::fabs(shoelace) / 2, 1e-6 * std::fabs(shoelace));
}

TEST_F(BaseItems, FillAndOutlineFollowTheEdgeOptions) {
    // Two squares of the same type sharing an edge.
    TPolygonItem *a = Square(TestFigure, 0, 0, 10);
    TPolygonItem *b = MakeAs<TPolygonItem>(S, TestFigure, {});
    b->Points.Insert(0, a->Points.PointRec(1));
    b->Points.InsertNewPoint(1, {20, 0, 0});
    b->Points.InsertNewPoint(2, {20, 10, 0});
    b->Points.Insert(3, a->Points.PointRec(2));
    struct TCase {
        const char *Diff, *All;
        std::size_t LinesPerItem;
    };
    const TCase cases[] = {{"0", "0", 0}, {"1", "0", 3}, {"0", "1", 4}, {"1", "1", 4}};
    for (const TCase &c : cases) {
        S.SetStrOption(Cp1251String("UpdateDiffTagEdges"), Cp1251String(c.Diff));
        S.SetStrOption(Cp1251String("UpdateAllEdges"), Cp1251String(c.All));
        S.InvalidateAllItems();
        S.UpdateGraphics(FullTypeSet());
        TDxPrimCollection *fill = TypePrimCollection(S, TestFigure, 0);
        TDxPrimCollection *lines = TypePrimCollection(S, TestFigure, 1);
        ASSERT_TRUE(fill && lines);
        for (TPolygonItem *p : {a, b}) {
            std::size_t tri = 0, seg = 0;
            for (std::size_t i = 0; i < fill->Count(); ++i)
                tri += !fill->Group(i).Deleted && fill->Group(i).Owner == p->Serial();
            for (std::size_t i = 0; i < lines->Count(); ++i)
                seg += !lines->Group(i).Deleted && lines->Group(i).Owner == p->Serial();
            EXPECT_EQ(tri, 2u) << c.Diff << c.All;
            EXPECT_EQ(seg, c.LinesPerItem) << c.Diff << c.All;
        }
        EXPECT_EQ(fill->LayerMask(), PlanLayerMask);
    }
    // The fill's vertices carry the type's fill colour.
    TDxPrimCollection *fill = TypePrimCollection(S, TestFigure, 0);
    EXPECT_EQ(fill->Group(fill->Count() - 1).Vertices[0].color, MakeD3DColor(128, 128, 128, 255));
}

class PasspAxis : public BaseItems {
protected:
    // A guide axis along y = level from x0 to x1.
    TTestAxis *Axis(float level, float x0, float x1, const char *tech) {
        auto *a = MakeAs<TTestAxis>(S, TestAxis, {{x0, level, 0}, {x1, level, 0}});
        a->SetTechAttr(Cp1251String(tech));
        a->SetLeftSideName(Cp("левая"));
        a->SetRightSideName(Cp("правая"));
        a->SetCenterSideName(Cp("обе"));
        return a;
    }
};

TEST_F(PasspAxis, FoundWhenOneAxisOfTheAttributeCrossesTwice) {
    TPolygonItem *p = MakeAs<TPolygonItem>(S, TestFigure, {{0, 0, 0}, {20, 0, 0}, {20, 4, 0}, {0, 4, 0}});
    Axis(2, -5, 25, "main");   // no attribute
    Axis(2, 5, 25, "PasspSq"); // crosses once
    EXPECT_EQ(p->GetPasspAxis(), nullptr);
    TTestAxis *good = Axis(1, -5, 25, "x passpsq y");
    EXPECT_EQ(p->GetPasspAxis(), good);
    Axis(3, -5, 25, "PasspSq"); // a second one: no choice is made
    EXPECT_EQ(p->GetPasspAxis(), nullptr);
    TTestAxis *far = Axis(100, 0, 1, "");
    p->SetPasspAxis(far); // explicit, whether it crosses or not
    EXPECT_EQ(p->GetPasspAxis(), far);
}

TEST_F(PasspAxis, MeasuresOfARectangleAndOfAWedge) {
    TTestAxis *reference = Axis(-10, -5, 60, "");
    S.SetMainAxis(reference);
    Axis(1.5f, -5, 55, "PasspSq");
    struct TCase {
        const char *Name;
        std::vector<TXYZ> Outline;
        double Length, StartWidth, EndWidth, Start, End;
    };
    const TCase cases[] = {
        {"rectangle", {{0, 0, 0}, {20, 0, 0}, {20, 4, 0}, {0, 4, 0}}, 20, 4, 4, 5, 25},
        {"wedge", {{0, 0, 0}, {20, 0, 0}, {40, 2, 0}, {20, 4, 0}, {0, 4, 0}}, 40, 4, 0, 5, 45},
    };
    for (const TCase &c : cases) {
        TPolygonItem *p = dynamic_cast<TPolygonItem *>(S.Lists(TestFigure).AddNew());
        for (const TXYZ &v : c.Outline)
            p->Points.InsertNewPoint(p->Points.Count(), v);
        TPolygonItem::TAxisMeasures m;
        ASSERT_TRUE(p->GetAxisMeasures(m)) << c.Name;
        EXPECT_NEAR(m.Length, c.Length, 1e-3) << c.Name;
        EXPECT_NEAR(m.StartWidth, c.StartWidth, 1e-3) << c.Name;
        EXPECT_NEAR(m.EndWidth, c.EndWidth, 1e-3) << c.Name;
        EXPECT_NEAR(m.StartStation, c.Start, 1e-3) << c.Name;
        EXPECT_NEAR(m.EndStation, c.End, 1e-3) << c.Name;
        EXPECT_NEAR(m.Area, p->Area(), 1e-9) << c.Name;
        EXPECT_EQ(m.SideName, Cp("левая")) << c.Name;
        S.DeleteItems(std::vector<TAbstractItem *>{p});
    }

    // Without a passport axis crossing twice: the stations and the side only.
    TPolygonItem *across = MakeAs<TPolygonItem>(S, TestFigure, {{0, -20, 0}, {10, -20, 0}, {10, -30, 0}});
    TPolygonItem::TAxisMeasures m;
    EXPECT_FALSE(across->GetAxisMeasures(m));
    EXPECT_EQ(m.SideName, Cp("правая"));
    EXPECT_NEAR(m.StartStation, 5, 1e-4);
    EXPECT_NEAR(m.EndStation, 15, 1e-4);
    EXPECT_EQ(m.Length, -1);
}

TEST_F(BaseItems, MeasuresOverTheItemsOfAType) {
    TPolygonItem *area = Square(TestFigure, 0, 0, 10);
    TAbstractItem *overlapping = Square(TestDefect, 5, 5, 10);
    Square(TestDefect, 50, 50, 10);
    TAbstractItem *hidden = Square(TestDefect, 0, 0, 2);
    S.SetGroupValue(Cp1251String("off"), Cp1251String("OFF"));
    hidden->SetGroupName(Cp1251String("off"));
    ASSERT_FALSE(hidden->Active);
    MakeItem(S, TestLine, {{-5, 5, 0}, {15, 5, 0}});
    MakeItem(S, TestPoint, {{5, 5, 0}});
    MakeItem(S, TestPoint, {{20, 20, 0}});

    std::vector<std::pair<TAbstractItem *, double>> seen;
    auto collect = [&seen](TAbstractItem *item, double v) { seen.emplace_back(item, v); };
    EXPECT_NEAR(area->SumOverlapArea(TestDefect, false, collect), 25, 1e-3);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, overlapping);
    EXPECT_NEAR(area->SumOverlapArea(TestDefect, true), 29, 1e-3);
    EXPECT_NEAR(area->SumLengthInside(TestLine, false), 10, 1e-4);
    seen.clear();
    EXPECT_EQ(area->CountPointsInside(TestPoint, false, collect), 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].second, 1);

    // The total over a type counts hidden items too; a type of lines has none.
    EXPECT_NEAR(S.GetTotalArea(TestDefect), 204, 1e-3);
    EXPECT_EQ(S.GetTotalArea(TestLine), 0);
}

TEST_F(BaseItems, ContainingPolygonSkipsCalculationAreas) {
    auto *point = dynamic_cast<TPointItem *>(MakeItem(S, TestPoint, {{5, 5, 0}}));
    Square(TestCalcArea, 0, 0, 10);
    EXPECT_EQ(point->FindContainingPolygon(), nullptr);
    TPolygonItem *figure = Square(TestFigure, 0, 0, 10);
    EXPECT_EQ(point->FindContainingPolygon(), figure);
    TPolygonItem *defect = Square(TestDefect, 4, 4, 2);
    static_assert(TestDefect < TestFigure);
    EXPECT_EQ(point->FindContainingPolygon(), defect); // the lower type code comes first
    EXPECT_EQ(point->Points.CurrentIndex, 0);
}

TEST_F(BaseItems, OrientedPointsTurnAboutTheirPosition) {
    auto *one = MakeAs<TOrientPointItem>(S, TestOriented, {{1, 2, 3}});
    EXPECT_EQ(one->GetAngle(), 0);
    one->SetAngle(float(std::numbers::pi / 2));
    ASSERT_EQ(one->Points.Count(), 2);
    EXPECT_NEAR(one->Points.GetPoint(1).x, 1, 1e-6);
    EXPECT_NEAR(one->Points.GetPoint(1).y, 3, 1e-6);
    EXPECT_EQ(one->Points.GetPoint(1).z, 3);
    EXPECT_NEAR(one->GetAngle(), std::numbers::pi / 2, 1e-6);

    auto *two = MakeAs<TOrientPointItem>(S, TestOriented, {{0, 0, 0}, {0, -5, 0}});
    EXPECT_NEAR(two->GetAngle(), 3 * std::numbers::pi / 2, 1e-6);
    two->SetAngle(float(std::numbers::pi));
    EXPECT_NEAR(two->Points.GetPoint(1).x, -5, 1e-5);
    EXPECT_NEAR(two->Points.GetPoint(1).y, 0, 1e-5);
    EXPECT_EQ(two->Points.Count(), 2);

    // A direction point on the position has the angle of a zero vector.
    auto *same = MakeAs<TOrientPointItem>(S, TestOriented, {{7, 7, 0}, {8, 8, 0}});
    same->Points.SetPoint(1, {7, 7, 0});
    EXPECT_EQ(same->GetAngle(), 0);

    TItemClass const *cls = ItemClasses[TestOriented];
    EXPECT_EQ(cls->MinPointCount(), 1);
    EXPECT_EQ(cls->MaxPointCount(), 2);
    EXPECT_TRUE(cls->HasControlPoints());
}

} // namespace
