// Traffic islands: the stripes of every scheme against positions and areas worked out by hand, the
// fallbacks to the plain fill, the outline each scheme draws, the nose vertex that drawing never writes
// back, hits on paint only, and the records written back byte for byte with bad scheme numbers refused.
#include "ObjectsTestUtil.h"

#include "engine/DxTess3.h"
#include "model/ItemLayers.h"
#include "objects/OstrovokItem.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

using namespace objtest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

class Ostrovok : public TWithClasses {
protected:
    TOstrovokItem *Island(std::initializer_list<TXYZ> points, int variant, int32_t mainPoint = 1) {
        auto *item = MakeAs<TOstrovokItem>(S_, OstrovokTypeCode, points);
        EXPECT_TRUE(item);
        EXPECT_TRUE(item->SetGostVariant(variant));
        item->MainPoint = mainPoint;
        item->Points.SetChanged(true);
        item->UpdateGraphics();
        return item;
    }
    // The kite: nose V1 at the origin, the axis to V3 = (12, 0), side ends at (9, +-4) (slopes +-4/9, so
    // k = 4/3 and the stripe edges lie 0.25 m either side of the stations 3, 6, 9, 12).
    TOstrovokItem *Kite(int variant) {
        return Island({{9, 4, 0}, {0, 0, 0}, {9, -4, 0}, {12, 0, 0}}, variant);
    }

    TStreetStructure S_;
};

void ExpectPoint(const TXYZ &p, double x, double y, const char *what) {
    EXPECT_NEAR(p.x, x, 1e-4) << what;
    EXPECT_NEAR(p.y, y, 1e-4) << what;
}

const double KiteSide = std::sqrt(97.0);

TEST_F(Ostrovok, StandardSchemesStripesAndAreasByHand) {
    // On side 1 (y = 4/9 x) an edge at station s meets the side at x = 0.75 s with the slope -4/3 and at
    // x = 1.5 s with +4/3; on side 2 the other way round. A stripe counts up to x 9 on its side and,
    // on side 1, up to station 12. A side quad's area is s / 6 (x = 0.75 s) or s / 3 (x = 1.5 s) at its
    // centre station s.
    struct TCase {
        int Variant;
        std::size_t Quads;
        double FillArea;
    } cases[] = {{0, 8, 0.5 + 1.0}, {1, 8, 1.0 + 1.0}, {2, 24, (3 + 6 + 9) / 3.0}};
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Variant);
        TOstrovokItem *item = Kite(c.Variant);
        ASSERT_EQ(item->HatchQuads.size(), c.Quads);
        EXPECT_TRUE(item->FillTriangles.empty());
        EXPECT_NEAR(item->FillArea, c.FillArea, 1e-5);
        // Outline V0 - V1 - V2; the closing edges through V3 are not drawn.
        EXPECT_NEAR(item->OutlineLength, 2 * KiteSide, 1e-5);
        ASSERT_TRUE(item->GetPaintArea());
        EXPECT_NEAR(*item->GetPaintArea(), c.FillArea + 0.2 * KiteSide, 1e-5);
        // The first stripe's side-1 quad: the axis points at 2.75 and 3.25.
        const TXYZArray &q = item->HatchQuads;
        ExpectPoint(q[0], 2.75, 0, "axis edge 1");
        ExpectPoint(q[2], 3.25, 0, "axis edge 2");
        const double f = c.Variant == 1 ? 1.5 : 0.75;
        ExpectPoint(q[1], f * 2.75, 4.0 / 9 * f * 2.75, "side 1 edge 1");
        const double f2 = c.Variant == 2 ? 0.75 : 1.5;
        ExpectPoint(q[7], f2 * 3.25, -4.0 / 9 * f2 * 3.25, "side 2 edge 2");
    }
}

TEST_F(Ostrovok, StepIsClampedBetweenTwoAndFourMetres) {
    // Scheme 2 cuts both sides at x = 0.75 s. Axis 40 m: step 4, four stripes at 4, 8, 12 and 16 however
    // long the sides. Axis 6 m: step 2; the third stripe's second edge (6.25) passes the axis end.
    TOstrovokItem *longIsland = Island({{27, 12, 0}, {0, 0, 0}, {27, -12, 0}, {40, 0, 0}}, 2);
    ASSERT_EQ(longIsland->HatchQuads.size(), 32u);
    for (int i = 0; i < 4; ++i)
        ExpectPoint(longIsland->HatchQuads[static_cast<std::size_t>(8 * i)], 4.0 * (i + 1) - 0.25, 0,
                    "station");
    EXPECT_NEAR(longIsland->FillArea, (4 + 8 + 12 + 16) / 3.0, 1e-4);

    TOstrovokItem *shortIsland = Island({{4.5f, 2, 0}, {0, 0, 0}, {4.5f, -2, 0}, {6, 0, 0}}, 2);
    ASSERT_EQ(shortIsland->HatchQuads.size(), 16u);
    ExpectPoint(shortIsland->HatchQuads[8], 3.75, 0, "second stripe at 4");
    EXPECT_NEAR(shortIsland->FillArea, (2 + 4) / 3.0, 1e-5);
}

TEST_F(Ostrovok, SchemesWithoutStripesFillTheWholeOutline) {
    struct TCase {
        const char *Name;
        std::initializer_list<TXYZ> Points;
        bool Fills = true;
        // The fill of a degenerate frame stands in for a hatch it cannot draw: no quantity.
        bool Known = true;
    } cases[] = {
        {"both far ends right of the axis", {{9, -1, 0}, {0, 0, 0}, {9, -4, 0}, {12, 0, 0}}},
        {"a side of one point (three vertices)", {{9, 4, 0}, {0, 0, 0}, {12, 0, 0}}},
        {"no stripe fits the axis", {{1, 0.5f, 0}, {0, 0, 0}, {1, -0.5f, 0}, {1.5f, 0, 0}}},
        {"a last segment across the axis", {{0, 4, 0}, {0, 0, 0}, {9, -4, 0}, {12, 0, 0}}, true, false},
        // The outline folds back onto the nose: nothing to fill either.
        {"an axis of no length", {{9, 4, 0}, {0, 0, 0}, {9, -4, 0}, {0, 0, 0.5f}}, false, false},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        auto *item = MakeAs<TOstrovokItem>(S_, OstrovokTypeCode, c.Points);
        item->UpdateGraphics();
        EXPECT_TRUE(item->HatchQuads.empty());
        EXPECT_EQ(item->FillTriangles.empty(), !c.Fills);
        EXPECT_NEAR(item->FillArea, item->Area(), 1e-5);
        EXPECT_EQ(item->GetPaintArea().has_value(), c.Known);
        EXPECT_TRUE(std::isfinite(item->FillArea) && std::isfinite(item->OutlineLength));
        for (const TXYZ &p : item->FillTriangles)
            EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    }
}

TEST_F(Ostrovok, CombHatchAlongTheBaseline) {
    // Template V0 - V1 upright on the baseline V1 - V2 - V3: step 2, stations 1, 3, 5, 7 along the bottom
    // and 9 up the right edge, where the template turns with the baseline. Each stripe is 0.4 x 1.5.
    // The outline V1 - V2 - V3 is 10 m: with 3 square metres of stripes the paint area is 4.0.
    TOstrovokItem *item = Island({{0, 1.5f, 0}, {0, 0, 0}, {8, 0, 0}, {8, 2, 0}}, 3);
    ASSERT_EQ(item->HatchQuads.size(), 20u);
    const TXYZArray &q = item->HatchQuads;
    ExpectPoint(q[0], 1.2, 0, "first stripe on the baseline");
    ExpectPoint(q[1], 1.2, 1.5, "its far end");
    ExpectPoint(q[2], 0.8, 0, "its other edge");
    ExpectPoint(q[16], 8, 1.2, "last stripe on the turned baseline");
    ExpectPoint(q[17], 6.5, 1.2, "the template turned with it");
    EXPECT_NEAR(item->FillArea, 3.0, 1e-5);
    EXPECT_NEAR(item->OutlineLength, 10.0, 1e-5);
    EXPECT_EQ(item->GetPaintArea().value_or(-1), item->FillArea + 0.1 * item->OutlineLength);
    EXPECT_NEAR(item->GetPaintArea().value_or(-1), 4.0, 1e-5);

    // A baseline too long to comb in 10^5 steps: the plain fill, at once.
    TOstrovokItem *endless = Island({{0, 1.5f, 0}, {0, 0, 0}, {300000, 0, 0}, {300000, 2, 0}}, 3);
    EXPECT_TRUE(endless->HatchQuads.empty());
    EXPECT_FALSE(endless->FillTriangles.empty());

    // A template along the baseline cuts nothing: the plain fill.
    TOstrovokItem *flat = Island({{-2, 0, 0}, {0, 0, 0}, {8, 0, 0}, {8, 2, 0}}, 3);
    EXPECT_TRUE(flat->HatchQuads.empty());
    EXPECT_FALSE(flat->FillTriangles.empty());
}

TEST_F(Ostrovok, EdgeStripesCutParallelToTheEndDirections) {
    // n = 4: the edge V1 - V2, ends cut along V1 - V0 and V3 - V2, a 10 x 0.4 rectangle.
    TOstrovokItem *four = Island({{0, -1, 0}, {0, 0, 0}, {10, 0, 0}, {10, -1, 0}}, 4);
    ASSERT_EQ(four->HatchQuads.size(), 4u);
    ExpectPoint(four->HatchQuads[0], 0, -0.2, "A");
    ExpectPoint(four->HatchQuads[1], 10, -0.2, "B");
    ExpectPoint(four->HatchQuads[3], 10, 0.2, "B other side");
    EXPECT_NEAR(four->FillArea, 4.0, 1e-5);
    EXPECT_EQ(four->OutlineLength, 0) << "no outline in this scheme";

    // n = 6: edges V1 - V2 and V3 - V4; the far ends cut along V5 - V2 = (-12, 2), so each stripe is a
    // trapezoid of 11.2 and 8.8 over 0.4.
    TOstrovokItem *six = Island({{0, -1, 0}, {0, 0, 0}, {10, 0, 0}, {10, 4, 0}, {0, 4, 0}, {-2, 2, 0}}, 4);
    ASSERT_EQ(six->HatchQuads.size(), 8u);
    ExpectPoint(six->HatchQuads[1], 11.2, -0.2, "end cut along V5 - V2");
    ExpectPoint(six->HatchQuads[3], 8.8, 0.2, "end cut along V5 - V2, other side");
    ExpectPoint(six->HatchQuads[5], -1.2, 4.2, "second stripe's end");
    EXPECT_NEAR(six->FillArea, 8.0, 1e-5);
}

TEST_F(Ostrovok, LegacyIslandsAreHatchedFromTheNose) {
    // Stored without "OSTRGSCH": the nose hatch. The kite's chords are 2 atan(4/9) apart, so the stripes
    // tilt by psi = pi/2 - 3 atan(4/9); the far ends of the sides stand at stations 9 -+ 4 tan(psi).
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 9, 4}, {2, 0, 0}, {3, 9, -4}, {4, 12, 0}};
    ItemRec rec = Rec("OSTROVOK", 1, {1, 2, 3, 4});
    rec.Extra.Tag("POLYCONN").Append(sptest::ConnectdBytes({sptest::EmptyRef()}));
    rec.Extra.Tag("OSTRMNPT").I32(0).Tag("OSTRGOST").U8(0).Tag("OSTRNOTL").U8(0);
    f.Lists = {{"OSTROVOK", {rec}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    auto s = LoadBytes(bytes);
    auto *item = dynamic_cast<TOstrovokItem *>(s->Lists(OstrovokTypeCode).FindById(1));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->StandardScheme, 0);
    item->UpdateGraphics();
    ASSERT_EQ(item->HatchQuads.size(), 32u);
    const double psi = std::numbers::pi / 2 - 3 * std::atan(4.0 / 9);
    const double st1 = 9 - 4 * std::tan(psi), st2 = 9 + 4 * std::tan(psi);
    // Per side the stripes 1.0-1.6, 2.6-3.2, 4.2-4.8, 5.8-6.4: area 1.2 (d1 + d2) / station of the far end.
    EXPECT_NEAR(item->FillArea, 1.2 * 29.6 / st1 + 1.2 * 29.6 / st2, 1e-4);
    ExpectPoint(item->HatchQuads[0], 1.0, 0, "axis at 1.0");
    ExpectPoint(item->HatchQuads[1], 9 / st1, 4 / st1, "side 1 at 1.0");
    EXPECT_NEAR(item->OutlineLength, 2 * KiteSide, 1e-5);
    // The nose 0 counts as 1 but is written back as it was read, drawn or not.
    EXPECT_EQ(item->MainPoint, 0);
    EXPECT_EQ(SaveBytes(*s), bytes);

    // Choosing a scheme switches the island to the scheme builders.
    EXPECT_TRUE(item->SetGostVariant(2));
    EXPECT_EQ(item->StandardScheme, 1);
    EXPECT_TRUE(s->Modified());
    item->Points.SetChanged(true);
    item->UpdateGraphics();
    EXPECT_EQ(item->HatchQuads.size(), 24u);
}

TEST_F(Ostrovok, NoseOutsideTheVerticesCountsAsTheNearestValidOne) {
    TOstrovokItem *reference = Kite(0);
    for (int32_t stored : {0, -7, 1}) {
        SCOPED_TRACE(stored);
        TOstrovokItem *item = Island({{9, 4, 0}, {0, 0, 0}, {9, -4, 0}, {12, 0, 0}}, 0, stored);
        EXPECT_EQ(item->EffectiveMainPoint(), 1);
        EXPECT_EQ(item->HatchQuads, reference->HatchQuads);
        EXPECT_EQ(item->MainPoint, stored);
    }
    // Past n - 2 it is V(n - 2), whose second side is a single point: the plain fill.
    TOstrovokItem *far = Island({{9, 4, 0}, {0, 0, 0}, {9, -4, 0}, {12, 0, 0}}, 0, 40);
    EXPECT_EQ(far->EffectiveMainPoint(), 2);
    EXPECT_EQ(far->MainPoint, 40);
    EXPECT_TRUE(far->HatchQuads.empty());
    EXPECT_FALSE(far->FillTriangles.empty());
}

TEST_F(Ostrovok, OutlineRangesAndNoOutline) {
    struct TCase {
        int Variant;
        double Outline;
    } cases[] = {{0, 2 * KiteSide}, {1, 2 * KiteSide}, {2, 2 * KiteSide}, {3, KiteSide + 5}, {4, 0}};
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Variant);
        TOstrovokItem *item = Kite(c.Variant);
        EXPECT_NEAR(item->OutlineLength, c.Outline, 1e-5);
        const double withOutline = item->GetPaintArea().value_or(-1);
        item->NoOutline = 1;
        item->Points.SetChanged(true);
        EXPECT_NEAR(item->GetPaintArea().value_or(-1), withOutline - 0.1 * c.Outline, 1e-5);
        EXPECT_EQ(item->OutlineLength, 0);
    }
    // The outline's line segments: V0 - V1 - V2 for the standard schemes.
    TOstrovokItem *item = Kite(0);
    TDxPrimCollection *lines = TypePrimCollection(S_, OstrovokTypeCode, 1);
    ASSERT_TRUE(lines);
    int outlineSegments = 0;
    for (std::size_t i = 0; i < lines->Count(); ++i) {
        const TDxPrimGroup g = lines->Group(i);
        if (g.Deleted || g.Owner != item->Serial())
            continue;
        const TXYZ a{g.Vertices[0].x, g.Vertices[0].y, 0};
        if (VectorsEqualXY(a, {9, 4, 0}) || VectorsEqualXY(a, {0, 0, 0}))
            ++outlineSegments;
        EXPECT_FALSE(VectorsEqualXY(a, {12, 0, 0})) << "a closing edge drawn";
    }
    EXPECT_EQ(outlineSegments, 2);
}

TEST_F(Ostrovok, HitsOnPaintOnly) {
    TOstrovokItem *item = Kite(0);
    double d = 0;
    // Inside the first side-1 stripe (between the edges at 2.75 and 3.25, just above the axis).
    EXPECT_TRUE(item->HitTest({2.9f, 0.3f, 0}, d, 0.5));
    EXPECT_EQ(d, 0);
    // On the outline between stripes, and inside the outline between stripes.
    EXPECT_FALSE(item->HitTest({4.5f, 2.0f, 0}, d, 0.5));
    EXPECT_EQ(d, 3.4e38);
    EXPECT_FALSE(item->HitTest({1.0f, 0.1f, 0}, d, 0.5));
    EXPECT_EQ(item->PickRank({4.5f, 2.0f, 0}, 0.5).Kind, THitRank::Miss);
    EXPECT_EQ(item->PickRank({2.9f, 0.3f, 0}, 0.5).Kind, THitRank::OnItem);
    // A plainly filled island is hit inside.
    auto *plain = MakeAs<TOstrovokItem>(S_, OstrovokTypeCode, {{20, 0, 0}, {24, 0, 0}, {22, 3, 0}});
    EXPECT_TRUE(plain->HitTest({22, 1, 0}, d, 0.1));
    // Edge stripes reach past the outline; the hit box holds them.
    TOstrovokItem *edges = Island({{0, -1, 0}, {0, 0, 0}, {10, 0, 0}, {10, -1, 0}}, 4);
    TItemBounds box;
    ASSERT_TRUE(edges->GetHitBounds(box));
    EXPECT_LE(box.MaxY, 0.0 + 0.2 + 1e-6);
    EXPECT_GE(box.MaxY, 0.2 - 1e-6);
}

TEST_F(Ostrovok, PaintAreaIsUnknownWhereTheHatchCannotBeMeasured) {
    using D = TOstrovokItem::TPaintDoubt;
    const float inf = std::numeric_limits<float>::infinity();
    struct TCase {
        const char *Name;
        std::initializer_list<TXYZ> Points;
        int Variant; // -1: hatched from the nose
        D Doubt;
    } cases[] = {
        {"a kite", {{9, 4, 0}, {0, 0, 0}, {9, -4, 0}, {12, 0, 0}}, 0, D::None},
        {"a kite hatched from the nose", {{9, 4, 0}, {0, 0, 0}, {9, -4, 0}, {12, 0, 0}}, -1, D::None},
        {"a comb", {{0, 1.5f, 0}, {0, 0, 0}, {8, 0, 0}, {8, 2, 0}}, 3, D::None},
        {"edge stripes", {{0, -1, 0}, {0, 0, 0}, {10, 0, 0}, {10, -1, 0}}, 4, D::None},
        {"no stripe fits: the plain fill counts",
         {{1, 0.5f, 0}, {0, 0, 0}, {1, -0.5f, 0}, {1.5f, 0, 0}},
         0,
         D::None},
        {"two vertices", {{0, 0, 0}, {5, 0, 0}}, 0, D::FewVertices},
        {"an axis of no length", {{9, 4, 0}, {0, 0, 0}, {9, -4, 0}, {0, 0, 0.5f}}, 1, D::DegenerateFrame},
        {"a side across the axis", {{0, 4, 0}, {0, 0, 0}, {9, -4, 0}, {12, 0, 0}}, 2, D::DegenerateFrame},
        {"a comb template along its baseline",
         {{-2, 0, 0}, {0, 0, 0}, {8, 0, 0}, {8, 2, 0}},
         3,
         D::DegenerateFrame},
        {"an edge along its end cut", {{0, -1, 0}, {0, 0, 0}, {0, 5, 0}, {1, 5, 0}}, 4, D::DegenerateFrame},
        {"a comb past the step limit",
         {{0, 1.5f, 0}, {0, 0, 0}, {300000, 0, 0}, {300000, 2, 0}},
         3,
         D::StepLimit},
        {"a vertex at infinity", {{9, 4, 0}, {0, 0, 0}, {inf, -4, 0}, {12, 0, 0}}, 0, D::NotFinite},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TOstrovokItem *item = Island(c.Points, c.Variant < 0 ? 0 : c.Variant);
        if (c.Variant < 0) {
            item->StandardScheme = 0;
            item->Points.SetChanged(true);
        }
        EXPECT_EQ(item->GetPaintDoubt(), c.Doubt);
        const std::optional<double> paint = item->GetPaintArea();
        ASSERT_EQ(paint.has_value(), c.Doubt == D::None);
        if (paint) {
            EXPECT_NEAR(*paint, item->FillArea + 0.1 * item->OutlineLength, 1e-9);
        }
        EXPECT_TRUE(std::isfinite(item->FillArea) || c.Doubt == D::NotFinite);
    }

    // A nose past n - 2 leaves a side of one point: the plain fill, here of a star of more points than
    // the triangulator's sweep takes, so it covers the outline only in part.
    auto *star = MakeAs<TOstrovokItem>(S_, OstrovokTypeCode, {});
    constexpr int n = 2 * (TDxTesselator3::MaxSweepPoints / 2 + 1);
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n, r = i % 2 ? 990 : 1000;
        star->Points.InsertNewPoint(i, {float(r * std::cos(a)), float(r * std::sin(a)), 0});
    }
    star->MainPoint = n;
    EXPECT_EQ(star->GetPaintDoubt(), D::IncompleteFill);
    EXPECT_TRUE(star->HatchQuads.empty());
    EXPECT_FALSE(star->TrianglesComplete());
    EXPECT_FALSE(star->GetPaintArea());

    // The nose hatch draws schemes 0 to 2 only; the doubt goes once the island is mended.
    TOstrovokItem *nose = Island({{9, 4, 0}, {0, 0, 0}, {9, -4, 0}, {12, 0, 0}}, 3);
    nose->StandardScheme = 0;
    nose->Points.SetChanged(true);
    EXPECT_EQ(nose->GetPaintDoubt(), D::NoNoseHatch);
    EXPECT_FALSE(nose->GetPaintArea());
    nose->StandardScheme = 1;
    nose->Points.SetChanged(true);
    EXPECT_EQ(nose->GetPaintDoubt(), D::None);
    EXPECT_TRUE(nose->GetPaintArea());
}

TEST_F(Ostrovok, SchemeNumbersAndCaptions) {
    auto *item = MakeAs<TOstrovokItem>(S_, OstrovokTypeCode, {{0, 0, 0}, {4, 0, 0}, {2, 3, 0}});
    EXPECT_EQ(item->StandardScheme, 1);
    EXPECT_EQ(item->GostVariant(), 0);
    for (int bad : {-1, 5, 255}) {
        EXPECT_FALSE(item->SetGostVariant(bad));
        EXPECT_EQ(item->GostVariant(), 0);
    }
    EXPECT_TRUE(item->SetGostVariant(4));
    EXPECT_EQ(item->GostVariant(), 4);
    EXPECT_EQ(OstrovokGostNames[3], Cp1251String("1.16.4(*)"));
    EXPECT_EQ(OstrovokGostNames[0], Cp1251String("1.16.1"));
}

ItemRec IslandRec(int32_t id, std::vector<int32_t> points, int32_t mainPoint, uint8_t gost,
                  std::optional<uint8_t> scheme, uint8_t noOutline) {
    ItemRec r = Rec("OSTROVOK", id, std::move(points));
    r.Extra.Tag("POLYCONN").Append(sptest::ConnectdBytes({sptest::EmptyRef()}));
    r.Extra.Tag("OSTRMNPT").I32(mainPoint).Tag("OSTRGOST").U8(gost);
    if (scheme)
        r.Extra.Tag("OSTRGSCH").U8(*scheme);
    r.Extra.Tag("OSTRNOTL").U8(noOutline);
    return r;
}

TEST_F(Ostrovok, RecordsWriteBackAndBadSchemesAreRefused) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 9, 4}, {2, 0, 0}, {3, 9, -4}, {4, 12, 0}, {5, 12, 5}};
    f.Lists = {{"OSTROVOK",
                {IslandRec(1, {1, 2, 3, 4}, 1, 2, 1, 0), IslandRec(2, {1, 2, 3, 4, 5}, 3, 4, {}, 1),
                 IslandRec(3, {2, 3, 4}, 0, 3, 1, 1)}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    auto s = LoadBytes(bytes);
    ASSERT_EQ(s->Lists(OstrovokTypeCode).Count(), 3);
    auto *a = dynamic_cast<TOstrovokItem *>(s->Lists(OstrovokTypeCode).FindById(1));
    auto *b = dynamic_cast<TOstrovokItem *>(s->Lists(OstrovokTypeCode).FindById(2));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->MainPoint, 1);
    EXPECT_EQ(a->GostVariant(), 2);
    EXPECT_EQ(a->StandardScheme, 1);
    EXPECT_EQ(a->NoOutline, 0);
    EXPECT_EQ(b->MainPoint, 3);
    EXPECT_EQ(b->GostVariant(), 4);
    EXPECT_EQ(b->StandardScheme, 0);
    EXPECT_EQ(b->NoOutline, 1);
    EXPECT_EQ(SaveBytes(*s), bytes);
    s->UpdateGraphics(FullTypeSet());
    EXPECT_EQ(SaveBytes(*s), bytes) << "drawing changed what is saved";

    // Scheme numbers past 4 name the file and the offset of the byte.
    for (uint8_t bad : {5, 200}) {
        StreetFile g = f;
        g.Lists = {{"OSTROVOK", {IslandRec(1, {1, 2, 3, 4}, 1, bad, 1, 0)}}};
        const std::vector<uint8_t> badBytes = g.Bytes();
        const std::string tag = "OSTRGOST";
        const auto at =
            std::search(badBytes.begin(), badBytes.end(), tag.begin(), tag.end()) - badBytes.begin() + 8;
        try {
            LoadBytes(badBytes, "island.zrv");
            ADD_FAILURE() << "scheme " << int(bad) << " was read";
        } catch (const EStreetError &e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("TOstrovokItem.LoadFromStream"), std::string::npos) << text;
            EXPECT_NE(text.find("offset " + std::to_string(at) + " of island.zrv"), std::string::npos)
                << text;
        }
    }
}

} // namespace
