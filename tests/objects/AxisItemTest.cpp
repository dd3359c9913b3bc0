// Guide axes: their records (every optional tag present and absent, the name of old records, an empty
// name), side names and attributes, and what a rebuild adds: the line, vertex diamonds, ticks and picket
// marks with their labels, bounded for steps read from damaged files.
#include "ObjectsTestUtil.h"

#include "engine/FontsDataForm.h"
#include "model/ItemLayers.h"
#include "objects/AxisItem.h"

#include <cmath>
#include <functional>
#include <limits>

using namespace objtest;
using sptest::ByteBuilder;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

class AxisItems : public TWithClasses {
protected:
    TStreetStructure S;
};

struct TAxisFields {
    std::optional<std::string> Name;
    uint8_t Marks = 0;
    float Step = 100, MarkWidth = 20;
    std::optional<std::string> Tech;
    uint8_t MainLayer = 0, Short = 0;
    uint32_t Color = 0;
    std::optional<std::string> Left, Right, Center;
};

ItemRec AxisRec(int32_t id, std::vector<int32_t> points, const TAxisFields &f, bool allTags = true) {
    ItemRec r = Rec("AXIS", id, std::move(points));
    if (f.Name)
        r.Extra.Tag("AXISNAME").Str(*f.Name);
    if (allTags)
        r.Extra.Tag("AXISMARK").U8(f.Marks).Tag("AXISLSTP").F32(f.Step).Tag("AXISMRKW").F32(f.MarkWidth);
    if (f.Tech)
        r.Extra.Tag("AXISTECH").Str(*f.Tech);
    if (allTags)
        r.Extra.Tag("AXISCNTR").U8(f.MainLayer).Tag("AXISSHRT").U8(f.Short).Tag("AXISCOLR").U32(f.Color);
    if (f.Left)
        r.Extra.Tag("LfSideNm").Str(*f.Left);
    if (f.Right)
        r.Extra.Tag("RtSideNm").Str(*f.Right);
    if (f.Center)
        r.Extra.Tag("CnSideNm").Str(*f.Center);
    return r;
}

StreetFile WithPoints() {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 250, 0}, {3, 250, 50}, {4, 0, 50}};
    return f;
}

TEST_F(AxisItems, RecordsWriteBackByteForByte) {
    const struct {
        const char *Name;
        TAxisFields Fields;
    } cases[] = {
        {"every tag",
         {W("Главная"), 1, 50, 12.5f, "PasspSq", 1, 1, 0xFF00FF00, W("лево"), W("право"), W("обе")}},
        {"only the tags always written, an empty name",
         {std::string(), 0, 100, 20, std::nullopt, 0, 0, 0, std::nullopt, std::nullopt, std::nullopt}},
        {"one side name, odd step and colour", {W("Б"), 0, -3, 0, {}, 0, 1, 0x12345678, {}, W("чет"), {}}},
        {"a step that is not a number",
         {W("В"), 1, std::numeric_limits<float>::quiet_NaN(), 20, {}, 0, 0, 0, {}, {}, W("x")}},
    };
    for (const auto &c : cases) {
        StreetFile f = WithPoints();
        f.Lists = {{"AXIS", {AxisRec(1, {1, 2}, c.Fields)}}};
        const std::vector<uint8_t> bytes = f.Bytes();
        std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
        EXPECT_FALSE(s->Modified()) << c.Name;
        EXPECT_EQ(SaveBytes(*s), bytes) << c.Name;
    }
}

TEST_F(AxisItems, ReadingSetsEveryFieldAndOldRecordsTakeTheirCommentAsName) {
    StreetFile f = WithPoints();
    ItemRec full =
        AxisRec(1, {1, 2}, {W("Главная"), 1, 50, 12.5f, "PasspSq", 1, 1, 0xFF00FF00, W("л"), W("п"), W("о")});
    ItemRec old = AxisRec(2, {3, 4}, TAxisFields(), false); // nothing but the head
    old.Comment = W("Ось Б");
    TAxisFields emptyName;
    emptyName.Name = std::string();
    ItemRec empty = AxisRec(3, {1, 4}, emptyName);
    empty.Comment = W("не имя");
    f.Lists = {{"AXIS", {full, old, empty}}};
    std::unique_ptr<TStreetStructure> s = LoadBytes(f.Bytes());
    auto *a = dynamic_cast<TAxisItem *>(s->Lists(AxisTypeCode).FindById(1));
    auto *b = dynamic_cast<TAxisItem *>(s->Lists(AxisTypeCode).FindById(2));
    auto *e = dynamic_cast<TAxisItem *>(s->Lists(AxisTypeCode).FindById(3));
    ASSERT_TRUE(a && b && e);
    EXPECT_EQ(a->Name(), Cp("Главная"));
    EXPECT_TRUE(a->DrawMarks());
    EXPECT_EQ(a->PicketStep(), 50);
    EXPECT_EQ(a->MarkWidth(), 12.5f);
    EXPECT_EQ(a->TechAttr(), Cp("PasspSq"));
    EXPECT_TRUE(a->OnMainLayer());
    EXPECT_TRUE(a->DrawShortMarks());
    EXPECT_EQ(a->Color(), 0xFF00FF00u);
    EXPECT_EQ(a->GetLeftSideName(), Cp("л"));
    EXPECT_EQ(a->GetRightSideName(), Cp("п"));
    EXPECT_EQ(a->GetCenterSideName(), Cp("о"));
    EXPECT_EQ(a->GetItemName(), Cp("Главная"));
    EXPECT_TRUE(a->Points.Changed());

    EXPECT_EQ(b->Name(), Cp("Ось Б")); // an old record names its axis by the comment
    EXPECT_EQ(b->PicketStep(), 100);
    EXPECT_EQ(b->MarkWidth(), 20);
    EXPECT_FALSE(b->DrawMarks());
    EXPECT_TRUE(e->Name().Empty()); // an empty name that was written stays empty

    // Written back, every axis carries its name: the old one once, then byte for byte.
    const std::vector<uint8_t> once = SaveBytes(*s);
    StreetFile expected = f;
    TAxisFields named;
    named.Name = W("Ось Б");
    expected.Lists[0].Items[1] = AxisRec(2, {3, 4}, named);
    expected.Lists[0].Items[1].Comment = W("Ось Б");
    EXPECT_EQ(once, expected.Bytes());
    std::unique_ptr<TStreetStructure> again = LoadBytes(once);
    EXPECT_TRUE(dynamic_cast<TAxisItem *>(again->Lists(AxisTypeCode).FindById(3))->Name().Empty());
}

TEST_F(AxisItems, FieldsCopyFromOneAxisToAnother) {
    auto *a = MakeAs<TAxisItem>(S, AxisTypeCode, {{0, 0, 0}, {10, 0, 0}});
    auto *b = MakeAs<TAxisItem>(S, AxisTypeCode, {{0, 5, 0}, {10, 5, 0}});
    a->SetName(Cp("А"));
    a->SetPicketStep(25);
    a->SetDrawMarks(true);
    a->SetRightSideName(Cp("правая"));
    TMemoryStream m;
    a->SaveFields(m);
    m.Seek(0, TSeekOrigin::Begin);
    S.ClearModified();
    b->LoadFields(m);
    EXPECT_TRUE(S.Modified());
    EXPECT_EQ(b->Name(), Cp("А"));
    EXPECT_EQ(b->PicketStep(), 25);
    EXPECT_TRUE(b->DrawMarks());
    EXPECT_EQ(b->GetRightSideName(), Cp("правая"));
    EXPECT_EQ(m.Position(), m.Size());
    // The same fields again change nothing.
    m.Seek(0, TSeekOrigin::Begin);
    S.ClearModified();
    b->LoadFields(m);
    EXPECT_FALSE(S.Modified());
}

TEST_F(AxisItems, SideNamesAndAttributes) {
    auto *a = MakeAs<TAxisItem>(S, AxisTypeCode, {{0, 0, 0}, {10, 0, 0}});
    EXPECT_EQ(a->GetLeftSideName(), Cp("нечет."));
    EXPECT_EQ(a->GetRightSideName(), Cp("чет."));
    EXPECT_EQ(a->GetCenterSideName(), Cp("ось"));
    S.ClearModified();
    a->SetLeftSideName(Cp("нечет.")); // the default on an empty field changes nothing
    a->SetRightSideName(Cp("чет."));
    a->SetCenterSideName(Cp("ось"));
    EXPECT_FALSE(S.Modified());
    EXPECT_TRUE(a->LeftSideNameField().Empty());
    a->SetLeftSideName(Cp("север"));
    EXPECT_TRUE(S.Modified());
    EXPECT_EQ(a->LeftSideNameField(), Cp("север"));
    a->SetLeftSideName(Cp1251String());
    EXPECT_EQ(a->GetLeftSideName(), Cp("нечет."));

    const struct {
        const char *Tech, *Asked;
        bool Has;
    } cases[] = {
        {"x PasspSq y", "passpsq", true}, {"x PasspSq y", "PASSPSQ", true}, {"ПаспКв", "паспкв", true},
        {"ПАСПКВ", "Паспкв", true},       {"Pass", "PasspSq", false},       {"", "PasspSq", false},
    };
    for (const auto &c : cases) {
        a->SetTechAttr(Cp(c.Tech));
        EXPECT_EQ(a->HasAttribute(Cp(c.Asked)), c.Has) << c.Tech << " / " << c.Asked;
    }

    EXPECT_FALSE(a->IsMainAxis());
    S.SetMainAxis(a);
    EXPECT_TRUE(a->IsMainAxis());
}

TEST(AxisTickLabel, FormatsTheTenthsOfTheStep) {
    const struct {
        int64_t I;
        float Step;
        const char *Text;
    } cases[] = {{1, 100, "10"}, {9, 100, "90"}, {11, 100, "10"},  {25, 100, "50"},
                 {3, 50, "15"},  {1, 20, " 2"},  {5, 1000, "500"}, {1, 25, " 2"}};
    for (const auto &c : cases)
        EXPECT_EQ(AxisTickLabel(c.I, c.Step).Bytes(), c.Text) << c.I << " " << c.Step;
}

// What one rebuild of an axis added.
struct TAdded {
    std::vector<std::pair<TXYZ, TXYZ>> Lines; // every line group after the axis line
    std::size_t LabelTriangles = 0;
};

class AxisDrawing : public AxisItems {
protected:
    TFontsDataForm Fonts;

    AxisDrawing() { Fonts.BuildAtlases(1024, 1024); }

    TAxisItem *Axis(float length) { return MakeAs<TAxisItem>(S, AxisTypeCode, {{0, 0, 0}, {length, 0, 0}}); }

    TAdded Rebuild(TAxisItem *a) {
        TDxPrimCollection *lines = TypePrimCollection(S, AxisTypeCode, 0);
        TDxPrimCollection *tris = TypePrimCollection(S, AxisTypeCode, 1);
        lines->Clear();
        tris->Clear();
        a->RebuildGraphics();
        TAdded out;
        for (std::size_t i = 0; i < lines->Count(); ++i) {
            const TDxPrimGroup g = lines->Group(i);
            out.Lines.push_back(
                {{g.Vertices[0].x, g.Vertices[0].y, 0}, {g.Vertices[1].x, g.Vertices[1].y, 0}});
        }
        out.LabelTriangles = tris->Count();
        return out;
    }
};

TEST_F(AxisDrawing, PicketsTicksAndLabelsOfA250MetreAxis) {
    TAxisItem *a = Axis(250);
    a->SetName(Cp("А"));
    a->SetDrawMarks(true);
    a->SetDrawShortMarks(true);
    a->SetColor(MakeD3DColor(1, 2, 3, 255));
    const TAdded added = Rebuild(a);
    // The axis line, two diamonds of four edges, 23 ticks, 3 picket marks.
    ASSERT_EQ(added.Lines.size(), 1u + 8 + 23 + 3);
    std::vector<float> ticks, pickets;
    for (std::size_t i = 9; i < added.Lines.size(); ++i) {
        const auto &[p, q] = added.Lines[i];
        EXPECT_EQ(p.x, q.x);
        const float half = std::fabs(p.y - q.y) / 2;
        if (half == 0.5f) {
            ticks.push_back(p.x);
        } else {
            pickets.push_back(p.x);
            EXPECT_FLOAT_EQ(half, 20); // MarkWidth either side
        }
    }
    const std::vector<float> expectedPickets = {0, 100, 200};
    EXPECT_EQ(pickets, expectedPickets);
    std::vector<float> expectedTicks;
    for (int i = 1; i <= 25; ++i)
        if (i % 10)
            expectedTicks.push_back(10.0f * float(i));
    ASSERT_EQ(ticks.size(), expectedTicks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i)
        EXPECT_NEAR(ticks[i], expectedTicks[i], 1e-3);
    // Two-character tick labels, "ПК n" at both ends of three marks and "Ось А" beside them: two
    // triangles a character.
    EXPECT_EQ(added.LabelTriangles, 2u * (23 * 2 + 3 * 2 * 4 + 3 * 2 * 5));

    TDxPrimCollection *lines = TypePrimCollection(S, AxisTypeCode, 0);
    EXPECT_EQ(lines->Group(0).Vertices[0].color, MakeD3DColor(1, 2, 3, 255));
    EXPECT_EQ(lines->Group(0).Layers, TechLayerMask); // not on the main layer
    EXPECT_EQ(lines->Group(1).Layers, TechLayerMask); // vertex diamonds
    EXPECT_EQ(lines->Group(9).Layers, PlanLayerMask); // ticks and marks
    a->SetOnMainLayer(true);
    Rebuild(a);
    EXPECT_EQ(lines->Group(0).Layers, PlanLayerMask);
}

TEST_F(AxisDrawing, MarksOnlyWhenAskedAndVertexDiamonds) {
    TAxisItem *a = Axis(250);
    const TAdded plain = Rebuild(a);
    ASSERT_EQ(plain.Lines.size(), 1u + 8);
    EXPECT_EQ(plain.LabelTriangles, 0u);
    // A diamond around each vertex, 0.2 each way.
    EXPECT_EQ(plain.Lines[1].first, (TXYZ{0.2f, 0, 0}));
    EXPECT_EQ(plain.Lines[1].second, (TXYZ{0, 0.2f, 0}));
    EXPECT_EQ(plain.Lines[8].second, (TXYZ{250.2f, 0, 0}));
}

TEST_F(AxisItems, WithoutTheFontsObjectMarksAreDrawnWithoutLabels) {
    ASSERT_EQ(TFontsDataForm::Instance(), nullptr);
    auto *a = MakeAs<TAxisItem>(S, AxisTypeCode, {{0, 0, 0}, {250, 0, 0}});
    a->SetDrawMarks(true);
    a->SetDrawShortMarks(true);
    a->RebuildGraphics();
    EXPECT_EQ(TypePrimCollection(S, AxisTypeCode, 0)->Count(), 1u + 8 + 23 + 3);
    EXPECT_EQ(TypePrimCollection(S, AxisTypeCode, 1)->Count(), 0u);
}

TEST_F(AxisDrawing, StepsFromDamagedFilesAreBounded) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const struct {
        float Step;
        std::size_t Pickets;
    } cases[] = {{0, 3}, {-1, 3}, {nan, 3}, {inf, 3}, {-inf, 3}, {1e-6f, 0}, {0.01f, 0}, {50, 6}, {1000, 1}};
    for (const auto &c : cases) {
        TAxisItem *a = Axis(250);
        a->SetDrawMarks(true);
        a->SetDrawShortMarks(true);
        a->SetPicketStep(c.Step);
        const TAdded added = Rebuild(a);
        std::size_t pickets = 0, ticks = 0;
        for (std::size_t i = 9; i < added.Lines.size(); ++i)
            (std::fabs(added.Lines[i].first.y) == 0.5f ? ticks : pickets) += 1;
        EXPECT_EQ(pickets, c.Pickets) << c.Step;
        EXPECT_LE(ticks, std::size_t(TAxisItem::MaxMarks)) << c.Step;
        // The stored value stays as read.
        const float stored = a->PicketStep();
        EXPECT_TRUE(std::memcmp(&stored, &c.Step, sizeof stored) == 0) << c.Step;
        S.DeleteItems(std::vector<TAbstractItem *>{a});
    }
}

} // namespace
