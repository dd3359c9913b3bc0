// Zebra crossings: where the walk puts stripes and patches on straight, bent and three-vertex crossings,
// the halves and arrow groups of wide ones, the areas against values worked out by hand, the street's
// ZEBRAYOP, the walk's cap, and the records written back byte for byte with bad widths refused.
#include "ObjectsTestUtil.h"

#include "model/ItemLayers.h"
#include "objects/ZebraItem.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

using namespace objtest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

struct TTriangle {
    TXYZ P[3];
    D3DCOLOR Color;
    TXYZ Centre() const { return {(P[0].x + P[1].x + P[2].x) / 3, (P[0].y + P[1].y + P[2].y) / 3, 0}; }
};

class Zebra : public TWithClasses {
protected:
    TZebraItem *Crossing(std::initializer_list<TXYZ> points, float width, bool yellow) {
        auto *item = MakeAs<TZebraItem>(S_, ZebraTypeCode, points);
        EXPECT_TRUE(item);
        item->Width = width;
        item->YellowBackground = yellow ? 1 : 0;
        item->Points.SetChanged(true);
        item->UpdateGraphics();
        return item;
    }

    std::vector<TTriangle> Triangles(const TZebraItem *item) {
        std::vector<TTriangle> out;
        TDxPrimCollection *b = TypePrimCollection(S_, ZebraTypeCode, 0);
        for (std::size_t i = 0; b && i < b->Count(); ++i) {
            const TDxPrimGroup g = b->Group(i);
            if (g.Deleted || g.Owner != item->Serial())
                continue;
            for (std::size_t k = 0; k + 2 < g.Vertices.size(); k += 3) {
                TTriangle t;
                for (int j = 0; j < 3; ++j)
                    t.P[j] = {g.Vertices[k + j].x, g.Vertices[k + j].y, g.Vertices[k + j].z};
                t.Color = g.Vertices[k].color;
                out.push_back(t);
            }
        }
        return out;
    }

    // The centres (mean of the two triangles) of the rectangles of a colour, along x.
    std::vector<double> RectCentresX(const TZebraItem *item, D3DCOLOR color) {
        std::vector<double> xs;
        const std::vector<TTriangle> t = Triangles(item);
        for (std::size_t i = 0; i + 1 < t.size(); ++i)
            if (t[i].Color == color && t[i + 1].Color == color) {
                xs.push_back((t[i].Centre().x + t[i + 1].Centre().x) / 2);
                ++i;
            }
        return xs;
    }

    TStreetStructure S_;
};

void ExpectNear(const std::vector<double> &got, const std::vector<double> &want, const char *what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-4) << what << " " << i;
}

TEST_F(Zebra, StraightCrossingOfFiveMetres) {
    // Stripes at 0.5 .. 4.5 (the last one exactly fits), patches at 1 .. 4; along x the rectangles'
    // centres are exact whatever the width, since the stripes run across it.
    TZebraItem *plain = Crossing({{0, 0, 0}, {5, 0, 0}}, 4, false);
    ExpectNear(RectCentresX(plain, TZebraItem::StripeColor), {0.5, 1.5, 2.5, 3.5, 4.5}, "stripes");
    EXPECT_TRUE(RectCentresX(plain, TZebraItem::YellowColor).empty());
    EXPECT_DOUBLE_EQ(plain->GetWhiteArea().value_or(-1), 5 * 4 * 0.4);
    EXPECT_EQ(plain->GetYellowArea().value_or(-1), 0);

    TZebraItem *yellow = Crossing({{0, 10, 0}, {5, 10, 0}}, 4, true);
    ExpectNear(RectCentresX(yellow, TZebraItem::YellowColor), {1, 2, 3, 4}, "patches");
    EXPECT_DOUBLE_EQ(yellow->GetWhiteArea().value_or(-1), 5 * 4 * 0.4);
    EXPECT_DOUBLE_EQ(yellow->GetYellowArea().value_or(-1), 4 * 4 * 0.6);
    // A stripe runs across the crossing, Width long, 0.4 wide: W is S turned right.
    const std::vector<TTriangle> t = Triangles(yellow);
    ASSERT_FALSE(t.empty());
    float minY = 1e9f, maxY = -1e9f, minX = 1e9f, maxX = -1e9f;
    for (int k = 0; k < 2; ++k)
        for (const TXYZ &p : t[static_cast<std::size_t>(k)].P) {
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        }
    EXPECT_NEAR(maxY - minY, 4, 1e-5);
    EXPECT_NEAR(maxX - minX, 0.4, 1e-5);

    // The street's ZEBRAYOP narrows the patches to 0.4 m, and the crossings are built again for it.
    S_.SetZebraYop(1);
    EXPECT_TRUE(yellow->Points.Changed());
    EXPECT_DOUBLE_EQ(yellow->GetYellowArea().value_or(-1), 4 * 4 * 0.4);
}

TEST_F(Zebra, ShortCrossingsAndDegenerateFrames) {
    struct TCase {
        const char *Name;
        std::initializer_list<TXYZ> Points;
        float Width;
        // Nothing painted is a known 0; a crossing that cannot be laid out has no area to sum.
        TZebraItem::TPaintDoubt Doubt;
    } cases[] = {
        {"under 1 m", {{0, 0, 0}, {0.99f, 0, 0}}, 6, TZebraItem::TPaintDoubt::None},
        {"a last vertex collinear: W along the line, no progress across it",
         {{0, 0, 0}, {5, 0, 0}, {8, 0, 0}},
         6,
         TZebraItem::TPaintDoubt::None},
        {"no width", {{0, 0, 0}, {5, 0, 0}}, 0, TZebraItem::TPaintDoubt::None},
        {"a direction of no length", {{0, 0, 0}, {0, 0, 1}}, 6, TZebraItem::TPaintDoubt::NoDirection},
        {"one vertex", {{0, 0, 0}}, 6, TZebraItem::TPaintDoubt::FewVertices},
        {"a vertex not a number",
         {{0, 0, 0}, {std::numeric_limits<float>::quiet_NaN(), 0, 0}},
         6,
         TZebraItem::TPaintDoubt::NotFinite},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TZebraItem *item = Crossing(c.Points, c.Width, true);
        EXPECT_TRUE(Triangles(item).empty());
        EXPECT_EQ(item->GetPaintDoubt(), c.Doubt);
        if (c.Doubt == TZebraItem::TPaintDoubt::None) {
            EXPECT_EQ(item->GetWhiteArea(), 0.0);
            EXPECT_EQ(item->GetYellowArea(), 0.0);
        } else {
            EXPECT_FALSE(item->GetWhiteArea());
            EXPECT_FALSE(item->GetYellowArea());
        }
    }
}

TEST_F(Zebra, ThreeVertexFramesTurnEitherWay) {
    // The last vertex only gives the stripe direction: turning right or left gives the same stripes
    // across x (W = (0, -1) both times).
    for (float turn : {-3.0f, 3.0f}) {
        SCOPED_TRACE(turn);
        TZebraItem *item = Crossing({{0, 0, 0}, {5, 0, 0}, {5, turn, 0}}, 4, false);
        TZebraFrame frame;
        ASSERT_TRUE(GetZebraFrame(item->Points, frame));
        EXPECT_NEAR(frame.W.y, -1, 1e-6);
        EXPECT_NEAR(frame.S.x, 1, 1e-6);
        ExpectNear(RectCentresX(item, TZebraItem::StripeColor), {0.5, 1.5, 2.5, 3.5, 4.5}, "stripes");
    }
}

TEST_F(Zebra, BentCrossingSkipsThePlacementThatDoesNotFit) {
    // The first segment ends at x 0.8: the stripe at 0.5 does not fit (0.5 + 0.5 > 0.8) and is skipped;
    // the walk goes on at 1.0 on the next segment.
    TZebraItem *item = Crossing({{0, 0, 0}, {0.8f, 0.4f, 0}, {5, 0, 0}, {5, -3, 0}}, 4, false);
    ExpectNear(RectCentresX(item, TZebraItem::StripeColor), {1, 2, 3, 4}, "stripes");
    EXPECT_NEAR(item->GetWhiteArea().value_or(-1), 4 * 4 * 0.4, 1e-9);
}

TEST_F(Zebra, SixMetresIsNarrowAboveIsWide) {
    TZebraItem *narrow = Crossing({{0, 0, 0}, {5, 0, 0}}, TZebraItem::NewWidth, false);
    EXPECT_EQ(Triangles(narrow).size(), 5u * 2);
    TZebraItem *wide = Crossing({{0, 20, 0}, {5, 20, 0}}, 6.01f, false);
    // count 4: stripes 1 and 3 are halves with an arrow group (3 arrows of 3 triangles), the other three
    // full in two halves.
    EXPECT_EQ(Triangles(wide).size(), 3u * 4 + 2 * (2 + 9));
    EXPECT_NEAR(wide->GetWhiteArea().value_or(-1), (3 + 2 * 0.5) * double(6.01f) * 0.4, 1e-9);
}

TEST_F(Zebra, WideCrossingOfTenMetres) {
    // count = 9: half stripes with arrows at stripes 1 (x 1.5) and 8 (x 8.5); patches 0, 1, 7, 8 halved.
    const double w = 8;
    TZebraItem *item = Crossing({{0, 0, 0}, {10, 0, 0}}, float(w), true);
    EXPECT_NEAR(item->GetWhiteArea().value_or(-1), (8 + 2 * 0.5) * w * 0.4, 1e-9);
    EXPECT_NEAR(item->GetYellowArea().value_or(-1), (5 + 4 * 0.5) * w * 0.6, 1e-9);

    const std::vector<TTriangle> t = Triangles(item);
    const auto has = [&](D3DCOLOR color, double x, double y) {
        return std::any_of(t.begin(), t.end(), [&](const TTriangle &tr) {
            return tr.Color == color && std::any_of(std::begin(tr.P), std::end(tr.P), [&](const TXYZ &p) {
                       return std::fabs(p.x - x) < 1e-4 && std::fabs(p.y - y) < 1e-4;
                   });
        });
    };
    const D3DCOLOR black = TZebraItem::StripeColor, yellow = TZebraItem::YellowColor;
    const double edge = w / 2 + 0.1;
    // W = (0, -1), S = (1, 0). At stripe 1 the middle arrow's tip stands at 0.25 w + 0.1 along W and
    // 0.7 along S; at stripe 8 everything is turned half round.
    EXPECT_TRUE(has(black, 1.5 + 0.7, -(0.25 * w + 0.1)));
    EXPECT_FALSE(has(black, 1.5 + 0.7, +(0.25 * w + 0.1)));
    EXPECT_TRUE(has(black, 8.5 - 0.7, +(0.25 * w + 0.1)));
    EXPECT_FALSE(has(black, 8.5 - 0.7, -(0.25 * w + 0.1)));
    // The half stripe at stripe 1 lies on the -W half (y > 0), at stripe 8 on the +W half.
    EXPECT_TRUE(has(black, 1.3, edge));
    EXPECT_FALSE(has(black, 1.3, -edge));
    EXPECT_TRUE(has(black, 8.7, -edge));
    EXPECT_FALSE(has(black, 8.7, edge));
    // A full stripe has both halves with the gap between them.
    EXPECT_TRUE(has(black, 4.7, 0.1) && has(black, 4.7, -0.1) && has(black, 4.7, edge) &&
                has(black, 4.7, -edge));
    // Patches 0 and 1 (x 1.0, 2.0) are halved on the -W half, 7 and 8 (x 8.0, 9.0) on the +W half; patch 4
    // (x 5.0) is full.
    for (double x : {0.7, 1.7}) {
        EXPECT_TRUE(has(yellow, x, edge)) << x;
        EXPECT_FALSE(has(yellow, x, -edge)) << x;
    }
    for (double x : {7.7, 8.7}) {
        EXPECT_TRUE(has(yellow, x, -edge)) << x;
        EXPECT_FALSE(has(yellow, x, edge)) << x;
    }
    EXPECT_TRUE(has(yellow, 4.7, edge) && has(yellow, 4.7, -edge));
}

TEST_F(Zebra, AreasFollowEveryChange) {
    TZebraItem *item = Crossing({{0, 0, 0}, {5, 0, 0}}, 4, true);
    EXPECT_DOUBLE_EQ(item->GetWhiteArea().value_or(-1), 8.0);
    // A moved vertex: the areas are brought up to date although they were not 0.
    item->Points.SetPoint(1, {3, 0, 0});
    EXPECT_DOUBLE_EQ(item->GetWhiteArea().value_or(-1), 3 * 4 * 0.4);
    EXPECT_DOUBLE_EQ(item->GetYellowArea().value_or(-1), 2 * 4 * 0.6);
    // Without the background the yellow area is 0 whatever was built before.
    item->YellowBackground = 0;
    EXPECT_EQ(item->GetYellowArea().value_or(-1), 0);
}

TEST_F(Zebra, AVeryLongWalkDrawsTheCrossingLineAlone) {
    TZebraItem *item = Crossing({{0, 0, 0}, {300000, 0, 0}}, 4, true);
    // What the plan shows is no crossing: its paint is unknown, not 0.
    EXPECT_FALSE(item->GetWhiteArea());
    EXPECT_FALSE(item->GetYellowArea());
    EXPECT_EQ(item->GetPaintDoubt(), TZebraItem::TPaintDoubt::StepLimit);
    const std::vector<TTriangle> t = Triangles(item);
    ASSERT_EQ(t.size(), 2u) << "one band along the line";
    for (const TTriangle &tr : t)
        for (const TXYZ &p : tr.P)
            EXPECT_LE(std::fabs(p.y), 0.05f + 1e-6f);
}

ItemRec ZebraRec(int32_t id, std::vector<int32_t> points, float width, std::optional<uint8_t> background) {
    ItemRec r = Rec("ZEBRA", id, std::move(points));
    r.Extra.Tag("ZEBRAWID").F32(width);
    if (background)
        r.Extra.Tag("ZEBRABKG").U8(*background);
    return r;
}

TEST_F(Zebra, RecordsWriteBackAndBadWidthsAreRefused) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 5, 0}, {3, 5, -3}, {4, 0, 4}, {5, 10, 4}};
    f.ZebraYop = 1;
    f.Lists = {{"ZEBRA", {ZebraRec(1, {1, 2, 3}, 6, {}), ZebraRec(2, {4, 5}, 7.5f, 1)}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    auto s = LoadBytes(bytes);
    ASSERT_EQ(s->Lists(ZebraTypeCode).Count(), 2);
    auto *a = dynamic_cast<TZebraItem *>(s->Lists(ZebraTypeCode).FindById(1));
    auto *b = dynamic_cast<TZebraItem *>(s->Lists(ZebraTypeCode).FindById(2));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Width, 6.0f);
    EXPECT_EQ(a->YellowBackground, 0);
    EXPECT_EQ(b->Width, 7.5f);
    EXPECT_EQ(b->YellowBackground, 1);
    EXPECT_EQ(a->Points.Count(), 3);
    EXPECT_EQ(SaveBytes(*s), bytes);
    // Drawn with ZEBRAYOP set: 0.4 m patches; drawing changes nothing saved.
    EXPECT_NEAR(b->GetYellowArea().value_or(-1), (5 + 4 * 0.5) * 7.5 * 0.4, 1e-6);
    EXPECT_EQ(SaveBytes(*s), bytes);

    // A new crossing is 6.0 m wide and writes no "ZEBRABKG".
    TStreetStructure fresh;
    auto *made = MakeAs<TZebraItem>(fresh, ZebraTypeCode, {{0, 0, 0}, {5, 0, 0}});
    EXPECT_EQ(made->Width, 6.0f);
    const std::vector<uint8_t> saved = SaveBytes(fresh);
    const std::string bkg = "ZEBRABKG", wid = "ZEBRAWID";
    EXPECT_EQ(std::search(saved.begin(), saved.end(), bkg.begin(), bkg.end()), saved.end());
    EXPECT_NE(std::search(saved.begin(), saved.end(), wid.begin(), wid.end()), saved.end());

    for (float bad : {std::nanf(""), INFINITY, -INFINITY}) {
        StreetFile g = f;
        g.Lists = {{"ZEBRA", {ZebraRec(1, {1, 2}, bad, {})}}};
        const std::vector<uint8_t> badBytes = g.Bytes();
        const auto at =
            std::search(badBytes.begin(), badBytes.end(), wid.begin(), wid.end()) - badBytes.begin() + 8;
        try {
            LoadBytes(badBytes, "crossing.zrv");
            ADD_FAILURE() << "width " << bad << " was read";
        } catch (const EStreetError &e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("TZebraItem.LoadFromStream"), std::string::npos) << text;
            EXPECT_NE(text.find("offset " + std::to_string(at) + " of crossing.zrv"), std::string::npos)
                << text;
        }
    }
}

} // namespace
