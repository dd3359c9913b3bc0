// Dimension lines: their records, the segments, arrows and texts of straight and contour dimensions,
// degenerate bases and contours, value texts, automatic dimensioning and picking.
#include "ObjectsTestUtil.h"

#include "engine/StreetError.h"
#include "objects/RazmerItem.h"
#include "objects/RoadWay.h"

#include <cmath>
#include <numbers>

using namespace objtest;
using sptest::ConnectdBytes;
using sptest::EmptyRef;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

constexpr double Pi = std::numbers::pi;

ItemRec RazmerRec(int32_t id, std::vector<int32_t> points, std::pair<std::string, int32_t> contour, uint8_t flag,
                  const std::optional<std::string> &texts = {}) {
    ItemRec r = Rec("RAZMER", id, std::move(points));
    r.Extra.Tag("EXTCONTR").Append(ConnectdBytes({contour})).Tag("NO_TEXTS").U8(flag);
    if (texts)
        r.Extra.Tag("CustTxts").Str(*texts);
    return r;
}

ItemRec RoadRec(int32_t id, std::vector<int32_t> points) {
    ItemRec r = Rec("ROADWAY", id, std::move(points));
    r.Extra.Tag("POLYCONN").Append(ConnectdBytes({EmptyRef()}));
    return r;
}

StreetFile WithPoints() {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 3, 2}, {4, 7, 2}, {5, 0, -5}, {6, 10, -5}, {7, 10, -8}};
    return f;
}

TEST(RazmerRecords, WriteBackByteForByteAndNormaliseTheirTexts) {
    RegisterClasses();
    const std::pair<const char *, StreetFile> canonical[] = {
        {"straight, 2 and 4 vertices",
         [] {
             StreetFile f = WithPoints();
             f.Lists = {{"RAZMER", {RazmerRec(1, {1, 2}, EmptyRef(), 0), RazmerRec(2, {1, 2, 3, 4}, EmptyRef(), 0)}}};
             return f;
         }()},
        {"following a road way",
         [] {
             StreetFile f = WithPoints();
             f.Lists = {{"ROADWAY", {RoadRec(3, {5, 6, 7})}}, {"RAZMER", {RazmerRec(1, {1, 2, 3, 4}, {"ROADWAY", 3}, 0)}}};
             return f;
         }()},
        {"custom texts, an empty line among them, and an empty list",
         [] {
             StreetFile f = WithPoints();
             f.Lists = {{"RAZMER",
                         {RazmerRec(1, {1, 2, 3, 4}, EmptyRef(), 1, W("3\r\n\r\nдва\r\n")),
                          RazmerRec(2, {2, 1}, EmptyRef(), 1, "")}}};
             return f;
         }()},
    };
    for (const auto &[name, file] : canonical) {
        const std::vector<uint8_t> bytes = file.Bytes();
        std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
        EXPECT_FALSE(s->Modified()) << name;
        EXPECT_EQ(SaveBytes(*s), bytes) << name;
        // Drawing rebuilds the texts shown, not what is saved.
        s->UpdateGraphics(TItemTypeSet{RazmerTypeCode});
        EXPECT_EQ(SaveBytes(*s), bytes) << name << " after drawing";
    }
    std::unique_ptr<TStreetStructure> s = LoadBytes(canonical[1].second.Bytes());
    auto *r = dynamic_cast<TRazmerItem *>(s->Lists(RazmerTypeCode).FindById(1));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Contour(), s->Lists(RoadWayTypeCode).FindById(3));

    // Lines ending in LF alone or without a line break are written with CR LF; texts without the flag go.
    StreetFile in = WithPoints(), out = WithPoints();
    in.Lists = {{"RAZMER", {RazmerRec(1, {1, 2}, EmptyRef(), 1, "a\nb"), RazmerRec(2, {2, 1}, EmptyRef(), 0, "x\r\n")}}};
    out.Lists = {{"RAZMER", {RazmerRec(1, {1, 2}, EmptyRef(), 1, "a\r\nb\r\n"), RazmerRec(2, {2, 1}, EmptyRef(), 0)}}};
    s = LoadBytes(in.Bytes());
    EXPECT_EQ(SaveBytes(*s), out.Bytes());
}

TEST(RazmerTexts, RoundedToTheStepWithoutBinaryNoise) {
    struct TCase {
        double D, Step;
        const char *Text;
    };
    const TCase cases[] = {
        {3.0, 0.05, "3"},     {0.5, 0.05, "0.5"},   {0.15, 0.05, "0.15"},     {3.02, 0.05, "3"},
        {2.36, 0.1, "2.4"},   {12.25, 0.5, "12"},   {0.3, 0.1, "0.3"},        {7.1, 0.01, "7.1"},
        {1234.56, 0.05, "1234.55"}, {1.0, 0, "1"}, {2.5, std::nan(""), "2.5"},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(RazmerValueText(c.D, c.Step).Bytes(), c.Text) << c.D << " by " << c.Step;
}

TEST(RazmerTexts, SortSinglesAscending) {
    std::vector<float> v{3, -1, 2, 2, 0.5f, -7};
    SortSingles(v);
    EXPECT_EQ(v, (std::vector<float>{-7, -1, 0.5f, 2, 2, 3}));
}

class Razmer : public TWithClasses {
protected:
    TRazmerItem *Dim(std::initializer_list<TXYZ> points) { return MakeAs<TRazmerItem>(S, RazmerTypeCode, points); }
    TStreetStructure S;
};

TEST_F(Razmer, StraightSegmentsArrowsAndTexts) {
    struct TSeg {
        double Length;
        const char *Text;
        bool Outward;
        double Shift;
    };
    struct TCase {
        const char *Name;
        std::vector<TXYZ> Points;
        std::vector<TSeg> Segments;
        std::vector<Cp1251String> Custom; // with the custom-text flag when not empty
    };
    const TCase cases[] = {
        {"two vertices: the base line only", {{0, 0, 0}, {10, 0, 0}}, {}, {}},
        {"three vertices: no segment", {{0, 0, 0}, {10, 0, 0}, {4, 3, 0}}, {}, {}},
        {"0, 3.02 and 3.5 m: 3 and a short last 0.5 beyond its end",
         {{0, 0, 0}, {10, 0, 0}, {3.5f, 2, 0}, {0, 2, 0}, {3.02f, -1, 0}},
         {{3, "3", false, 0}, {0.5, "0.5", true, 0.25 + 1}},
         {}},
        {"a short first segment before its start",
         {{0, 0, 0}, {10, 0, 0}, {1, 1, 0}, {2, 1, 0}, {8, 1, 0}},
         {{1, "1", true, -(1 + 0.5)}, {6, "6", false, 0}},
         {}},
        {"a single short segment gets both moves",
         {{0, 0, 0}, {10, 0, 0}, {1, 1, 0}, {2, 1, 0}},
         {{1, "1", true, 0}},
         {}},
        {"two custom texts for three segments",
         {{0, 0, 0}, {10, 0, 0}, {0, 1, 0}, {3, 1, 0}, {6, 1, 0}, {9, 1, 0}},
         {{3, "A", false, 0}, {3, "B", false, 0}, {3, "", false, 0}},
         {Cp1251String("A"), Cp1251String("B")}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        S.Clear();
        TAbstractItem *item = S.Lists(RazmerTypeCode).AddNew();
        for (const TXYZ &p : c.Points)
            item->Points.InsertNewPoint(item->Points.Count(), p);
        auto *dim = dynamic_cast<TRazmerItem *>(item);
        if (!c.Custom.empty()) {
            dim->SetNoTexts(1);
            dim->SetCustomTexts(c.Custom);
        }
        const TRazmerLayout layout = dim->Layout();
        ASSERT_EQ(layout.Segments.size(), c.Segments.size());
        for (std::size_t i = 0; i < c.Segments.size(); ++i) {
            const TRazmerSegment &got = layout.Segments[i];
            const TSeg &want = c.Segments[i];
            EXPECT_NEAR(got.Length, want.Length, 1e-9) << i;
            EXPECT_EQ(got.Text.Bytes(), want.Text) << i;
            EXPECT_NEAR(std::cos(got.ArrowA), want.Outward ? -1 : 1, 1e-9) << i;
            EXPECT_NEAR(std::cos(got.ArrowB), want.Outward ? 1 : -1, 1e-9) << i;
            EXPECT_NEAR(got.TextAngle, 0, 1e-9) << i;
            EXPECT_NEAR(got.TextShift, want.Shift, 1e-6) << i;
        }
        if (c.Points.size() < 4) {
            ASSERT_EQ(layout.HitPath.size(), 2u);
            EXPECT_EQ(layout.HitPath[1], c.Points[1]);
            EXPECT_TRUE(layout.Extensions.empty());
        } else {
            EXPECT_EQ(layout.Extensions.size(), 2 * (c.Points.size() - 2));
            EXPECT_NEAR(layout.Extensions[1].x, c.Points[2].x, 1e-5) << "the foot on the base";
            EXPECT_NEAR(layout.Extensions[1].y, 0, 1e-5);
        }
        // With the flag clear, the texts drawn become the custom texts.
        S.UpdateGraphics(TItemTypeSet{RazmerTypeCode});
        if (c.Custom.empty())
            EXPECT_EQ(dim->CustomTexts().size(), c.Segments.size());
        else
            EXPECT_EQ(dim->CustomTexts(), c.Custom);
    }
}

TEST_F(Razmer, DimensionScaleAndRoundingComeFromTheStreet) {
    TRazmerItem *dim = Dim({{0, 0, 0}, {0, 10, 0}, {0.5f, 0, 0}, {-1, 2.6f, 0}, {1, 8.6f, 0}});
    S.SetRazmerScale(1);
    S.SetRazmerRound(0.5);
    TRazmerLayout l = dim->Layout();
    ASSERT_EQ(l.Segments.size(), 2u);
    EXPECT_EQ(l.Segments[0].Text.Bytes(), "2.5") << "2.6 to half metres";
    EXPECT_EQ(l.Segments[1].Text.Bytes(), "6");
    EXPECT_NEAR(l.Segments[0].TextAngle, Pi / 2, 1e-6);
    EXPECT_FALSE(std::cos(l.Segments[0].ArrowA - Pi / 2) < 0) << "2.6 is not short at scale 1";
    S.SetRazmerScale(1.5f);
    l = dim->Layout();
    EXPECT_NEAR(std::cos(l.Segments[0].ArrowA - Pi / 2), -1, 1e-9) << "below 2.5 x 1.5 it is short";
    EXPECT_NEAR(l.Segments[0].TextShift, -(1.5 + 1.3), 1e-6);
}

TEST_F(Razmer, DegenerateBasesAndContoursDrawOnlyTheBaseLine) {
    // Both base points at one place: no direction to measure along, no NaN.
    TRazmerItem *dim = Dim({{5, 5, 0}, {6, 5, 0}, {5, 7, 0}, {8, 7, 0}});
    dim->Points.SetPoint(1, {5, 5, 0});
    TRazmerLayout l = dim->Layout();
    EXPECT_TRUE(l.Segments.empty());
    ASSERT_EQ(l.HitPath.size(), 2u);
    EXPECT_EQ(l.HitPath[0], l.HitPath[1]);
    double d = 0;
    EXPECT_FALSE(dim->HitTest({5, 5, 0}, d, 1));
    S.UpdateGraphics(TItemTypeSet{RazmerTypeCode});

    // A contour of one vertex has no line to follow.
    TAbstractItem *stub = S.Lists(TestLine).AddNew();
    stub->Points.InsertNewPoint(0, {0, 0, 0});
    TRazmerItem *along = Dim({{0, 1, 0}, {10, 1, 0}, {2, 0, 0}, {6, 0, 0}});
    along->SetContour(stub);
    l = along->Layout();
    EXPECT_TRUE(l.Segments.empty());
    ASSERT_EQ(l.HitPath.size(), 2u);
    EXPECT_EQ(l.HitPath[1], (TXYZ{10, 1, 0}));
    for (const TXYZ &p : l.Extensions)
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    S.UpdateGraphics(TItemTypeSet{RazmerTypeCode});
}

TEST_F(Razmer, ContourDimensionsMeasureAlongTheLine) {
    // An L: 10 m along +x, then 10 m along +y; the dimension 1 m to its left.
    TAbstractItem *line = MakeItem(S, TestLine, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    TRazmerItem *dim = Dim({{0, 1, 0}, {9, 12, 0}, {5, 0, 0}, {10, 5, 0}});
    dim->SetContour(line);
    TRazmerLayout l = dim->Layout();
    ASSERT_EQ(l.Segments.size(), 1u);
    const TRazmerSegment &seg = l.Segments[0];
    EXPECT_NEAR(seg.Length, 10, 1e-6) << "5 m before the corner and 5 after";
    EXPECT_EQ(seg.Text.Bytes(), "10");
    EXPECT_NEAR(seg.A.x, 4.5, 1e-5) << "between the displaced ends of the first stretch";
    EXPECT_NEAR(seg.A.y, 1, 1e-5);
    EXPECT_NEAR(seg.B.x, 9, 1e-5);
    EXPECT_NEAR(seg.B.y, 5.5, 1e-5) << "the mitred corner lengthens the displaced line";
    EXPECT_NEAR(seg.ArrowA, 0, 1e-6);
    EXPECT_NEAR(std::cos(seg.ArrowB - (Pi / 2 + Pi)), 1, 1e-6);
    // The main line follows the corner: the displaced corner between the two ends.
    ASSERT_EQ(l.HitPath.size(), 3u);
    EXPECT_NEAR(l.HitPath[1].x, 9, 1e-5);
    EXPECT_NEAR(l.HitPath[1].y, 1, 1e-5);
    double d = 0;
    EXPECT_TRUE(dim->HitTest({9.2f, 3, 0}, d, 0.5));
    EXPECT_NEAR(d, 0.2, 1e-5);

    // P1 before P0 along the contour: the texts read the other way.
    TRazmerItem *back = Dim({{9, 12, 0}, {0, 1, 0}, {5, 0, 0}, {10, 5, 0}});
    back->SetContour(line);
    const TRazmerLayout r = back->Layout();
    ASSERT_EQ(r.Segments.size(), 1u);
    EXPECT_NEAR(std::cos(r.Segments[0].TextAngle - (l.Segments[0].TextAngle + Pi)), 1, 1e-6);
    EXPECT_NEAR(r.Segments[0].Length, 10, 1e-6);
    // Three vertices: a straight dimension whatever the contour.
    TRazmerItem *three = Dim({{0, 1, 0}, {9, 12, 0}, {5, 0, 0}});
    three->SetContour(line);
    EXPECT_EQ(three->Layout().HitPath.size(), 2u);
}

TEST_F(Razmer, PickedAlongTheMainLineOnly) {
    TRazmerItem *dim = Dim({{0, 0, 0}, {10, 0, 0}});
    double d = 0;
    EXPECT_TRUE(dim->HitTest({5, 0.3f, 0}, d, 0.5));
    EXPECT_NEAR(d, 0.3, 1e-6);
    EXPECT_FALSE(dim->HitTest({-0.2f, 0, 0}, d, 0.5)) << "beyond the ends is no hit";
    EXPECT_EQ(S.FindNearestItem({5, -0.2f, 0}, TItemTypeSet{RazmerTypeCode}, 0.5), dim);
}

TEST_F(Razmer, AutomaticDimensioningTakesEveryCrossing) {
    // A road way from x = 2 to 8 across the base, two lines 0.05 apart at x = 4, a line off the base.
    MakeItem(S, RoadWayTypeCode, {{2, -5, 0}, {8, -5, 0}, {8, 5, 0}, {2, 5, 0}});
    MakeItem(S, TestLine, {{4, -1, 0}, {4, 1, 0}});
    MakeItem(S, TestLine, {{4.05f, -1, 0}, {4.05f, 1, 0}});
    MakeItem(S, TestLine, {{20, -1, 0}, {20, 1, 0}});
    struct TCase {
        const char *Name;
        TItemTypeSet Types;
        std::vector<float> Xs; // of the vertices from index 2 on
    };
    const TCase cases[] = {
        {"an empty type set leaves P0 and P1", {}, {}},
        {"both edges of a road way", {RoadWayTypeCode}, {2, 8}},
        {"crossings 0.05 apart add only the first", {TestLine}, {4}},
        {"type by type, each inserted at index 2", {RoadWayTypeCode, TestLine}, {4, 2, 8}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TRazmerItem *dim = Dim({{0, 0, 0}, {10, 0, 0}, {5, 3, 0}, {6, 3, 0}});
        dim->MakeAutoDimention(c.Types);
        ASSERT_EQ(dim->Points.Count(), int(2 + c.Xs.size()));
        EXPECT_EQ(dim->Points.GetPoint(1), (TXYZ{10, 0, 0}));
        for (std::size_t i = 0; i < c.Xs.size(); ++i) {
            EXPECT_NEAR(dim->Points.GetPoint(int(i) + 2).x, c.Xs[i], 1e-5) << i;
            EXPECT_NEAR(dim->Points.GetPoint(int(i) + 2).y, 0, 1e-5) << i;
        }
    }
    auto *lone = dynamic_cast<TRazmerItem *>(S.Lists(RazmerTypeCode).AddNew());
    lone->Points.InsertNewPoint(0, {0, 0, 0});
    try {
        lone->MakeAutoDimention({RoadWayTypeCode});
        ADD_FAILURE() << "no error";
    } catch (const EStreetError &e) {
        EXPECT_STREQ(e.what(), "TRazmerItem.MakeAutoDimention: Points.Count<2");
    }
}

} // namespace
