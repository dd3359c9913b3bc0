// Line markings: the strip each draws (batch, lateral edges, whole texture periods, mirror, colours and
// textures), records replaced and bound again by code, the default table taken by streets without one,
// textures that are missing or bad, label places crossed, and street files with markings written back byte
// for byte or normalised once.
#include "ObjectsTestUtil.h"

#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "model/ItemLayers.h"
#include "model/RazmetParams2.h"
#include "objects/LineRazmetItem.h"
#include "platform/d3d9/RecordingDevice.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>

using namespace objtest;
using sptest::ItemRec;
using sptest::LnParamRow;
using sptest::Rec;
using sptest::StreetFile;

namespace {

TLnParamRec Record(const char *name, const char *texture, float period, float disp1, float disp2,
                   bool fullPeriods = false, bool yellow = false) {
    TLnParamRec r;
    r.Name = Cp(name);
    r.TextureFile = Cp(texture);
    r.Period = period;
    r.Disp1 = disp1;
    r.Disp2 = disp2;
    r.FullPeriods = fullPeriods;
    r.Yellow = yellow;
    return r;
}

TLnParamArray TestTable() {
    return {Record("A", "Solid.bmp", 4, 0.1f, 0.2f), Record("Y", "Solid_Yellow.bmp", 4, 0.05f, -0.05f, false, true),
            Record("F", "Dash_1_3.bmp", 4, 0.05f, -0.05f, true), Record("C", "Dash_1_1.bmp", 2, 0.3f, -0.3f)};
}

class Markings : public TWithClasses {
protected:
    TLineRazmetItem *Marking(const char *code, std::initializer_list<TXYZ> points, uint8_t mirror = 0) {
        auto *m = MakeAs<TLineRazmetItem>(S, LineRazmetTypeCode, points);
        m->SetGost(Cp(code));
        m->SetMirror(mirror);
        return m;
    }
    TStreetStructure S;
};

// What a marking drew: the batch holding its live groups (-1 none, -2 several) and their vertices.
struct TDrawn {
    int Batch = -1;
    std::vector<TDxVertex> Vertices;
};

TDrawn Drawn(TStreetStructure &s, const TAbstractItem &item) {
    TDrawn out;
    TItemBatches &batches = s.TypeBatches(LineRazmetTypeCode);
    for (std::size_t b = 0; b < batches.size(); ++b) {
        TDxPrimCollection *c = PrimCollection(batches[b].get());
        for (std::size_t i = 0; i < c->Count(); ++i) {
            const TDxPrimGroup g = c->Group(i);
            if (g.Deleted || g.Owner != item.Serial())
                continue;
            out.Batch = out.Batch == -1 || out.Batch == static_cast<int>(b) ? static_cast<int>(b) : -2;
            out.Vertices.insert(out.Vertices.end(), g.Vertices.begin(), g.Vertices.end());
        }
    }
    return out;
}

TEST_F(Markings, EachDrawsItsRecordsStrip) {
    S.SetLnRazmetParams(TestTable());
    struct TCase {
        const char *Name, *Code;
        float Length;
        uint8_t Mirror;
        int Batch;
        float SideA, SideB; // lateral offsets where v is 0 and 1
        float Periods;      // u at the end of the line
        D3DCOLOR Color;
    };
    const D3DCOLOR black = MakeD3DColor(0, 0, 0, 255), yellow = MakeD3DColor(160, 128, 0, 255),
                   red = MakeD3DColor(200, 0, 0, 255);
    const TCase cases[] = {
        {"10.5 m holds three periods of 3.5 m", "A", 10.5f, 0, 0, 0.1f, 0.2f, 3, black},
        {"10.0 m holds two periods of 5.0 m (halves to even)", "A", 10.0f, 0, 0, 0.1f, 0.2f, 2, black},
        {"a line shorter than half a period still holds one", "A", 1.5f, 0, 0, 0.1f, 0.2f, 1, black},
        {"mirrored 0.1/0.2 lies between -0.1 and -0.2", "A", 10.0f, 1, 0, -0.1f, -0.2f, 2, black},
        {"any mirror byte but 0 mirrors", "A", 10.0f, 7, 0, -0.1f, -0.2f, 2, black},
        {"a yellow record tints", "Y", 8.0f, 0, 1, 0.05f, -0.05f, 2, yellow},
        {"full periods keep their period", "F", 8.0f, 0, 2, 0.05f, -0.05f, 2, black},
        {"an unknown code is a red strip 0.3 m wide", "2.9", 12.0f, 0, 4, 0.15f, -0.15f, 3, red},
        {"so is an empty code", "", 4.0f, 0, 4, 0.15f, -0.15f, 1, red},
        {"and a mirrored unknown one", "X", 4.0f, 1, 4, -0.15f, 0.15f, 1, red},
        {"codes match byte for byte", "a", 4.0f, 0, 4, 0.15f, -0.15f, 1, red},
    };
    std::vector<std::pair<const TCase *, TLineRazmetItem *>> made;
    float y = 0;
    for (const TCase &c : cases) {
        made.emplace_back(&c, Marking(c.Code, {{0, y, 0}, {c.Length, y, 0}}, c.Mirror));
        y += 10;
    }
    S.UpdateGraphics(FullTypeSet());
    for (const auto &[c, m] : made) {
        const TDrawn d = Drawn(S, *m);
        EXPECT_EQ(d.Batch, c->Batch) << c->Name;
        EXPECT_EQ(m->ParamIndex(), c->Batch == 4 ? -1 : c->Batch) << c->Name;
        ASSERT_FALSE(d.Vertices.empty()) << c->Name;
        const float base = m->Points.GetPoint(0).y;
        float periods = 0;
        for (const TDxVertex &v : d.Vertices) {
            const float offset = v.y - base;
            EXPECT_NEAR(offset, v.v == 0 ? c->SideA : c->SideB, 1e-5) << c->Name << ", v " << v.v;
            EXPECT_EQ(v.color, c->Color) << c->Name;
            periods = std::max(periods, v.u);
        }
        EXPECT_NEAR(periods, c->Periods, 1e-4) << c->Name;
    }
    // Every strip lies on the plan layer.
    for (const TItemBatchPtr &b : S.TypeBatches(LineRazmetTypeCode))
        for (std::size_t i = 0; i < PrimCollection(b.get())->Count(); ++i)
            EXPECT_EQ(PrimCollection(b.get())->Group(i).Layers, PlanLayerMask);
}

TEST_F(Markings, BatchesFollowTheRecords) {
    S.SetLnRazmetParams(TestTable());
    Marking("A", {{0, 0, 0}, {5, 0, 0}});
    const TItemBatches &batches = S.TypeBatches(LineRazmetTypeCode);
    ASSERT_EQ(batches.size(), 5u);
    const D3DCOLOR colors[] = {MakeD3DColor(0, 0, 0, 255), MakeD3DColor(160, 128, 0, 255),
                               MakeD3DColor(0, 0, 0, 255), MakeD3DColor(0, 0, 0, 255),
                               MakeD3DColor(200, 0, 0, 255)};
    for (std::size_t i = 0; i < batches.size(); ++i) {
        ASSERT_EQ(batches[i]->Kind(), TBatchKind::Triangles);
        EXPECT_EQ(batches[i]->Color(), colors[i]) << i;
        const TTextureSurface *t = PrimCollection(batches[i].get())->Texture();
        if (i == 4) {
            EXPECT_EQ(t, nullptr);
            continue;
        }
        ASSERT_NE(t, nullptr) << i;
        ASSERT_NE(t->Bitmap(), nullptr) << i;
        // Repeats along the line, clamps across; the texture is added to the vertex colour.
        EXPECT_EQ(t->AddressU, 0) << i;
        EXPECT_EQ(t->AddressV, 1) << i;
        EXPECT_EQ(t->ColorOp, 0) << i;
        EXPECT_EQ(t->ColorArg1, 0) << i;
        EXPECT_EQ(t->ColorArg2, 1) << i;
    }
}

TEST_F(Markings, ReplacedRecordsBindEveryMarkingAgainByCode) {
    S.SetLnRazmetParams(TestTable());
    TLineRazmetItem *c = Marking("C", {{0, 0, 0}, {6, 0, 0}});
    TLineRazmetItem *gone = Marking("F", {{0, 5, 0}, {6, 5, 0}});
    S.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(c->ParamIndex(), 3);
    EXPECT_EQ(Drawn(S, *c).Batch, 3);
    EXPECT_EQ(Drawn(S, *gone).Batch, 2);

    TLnParamArray reordered = TestTable();
    std::rotate(reordered.begin(), reordered.begin() + 3, reordered.end()); // C, A, Y, F
    reordered.pop_back();                                                     // F goes
    S.ClearModified();
    S.SetLnRazmetParams(reordered);
    EXPECT_TRUE(S.Modified());
    ASSERT_EQ(S.TypeBatches(LineRazmetTypeCode).size(), 4u);
    S.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(c->ParamIndex(), 0);
    const TDrawn d = Drawn(S, *c);
    EXPECT_EQ(d.Batch, 0);
    for (const TDxVertex &v : d.Vertices)
        EXPECT_NEAR(std::fabs(v.y), 0.3f, 1e-5);
    // A marking whose record went draws red.
    EXPECT_EQ(gone->ParamIndex(), -1);
    EXPECT_EQ(Drawn(S, *gone).Batch, 3);
}

TEST_F(Markings, AStreetWithoutRecordsTakesTheDefaultTable) {
    TLnParamArray defaults;
    LoadDefaultLnParams(defaults);
    ASSERT_FALSE(defaults.empty());
    EXPECT_TRUE(S.LnParams().empty());
    TLineRazmetItem *m = Marking("1.5", {{0, 0, 0}, {24, 0, 0}});
    ASSERT_EQ(S.LnParams().size(), defaults.size());
    EXPECT_EQ(m->ParamIndex(), FindLnParam(defaults, Cp("1.5")));
    EXPECT_EQ(S.TypeBatches(LineRazmetTypeCode).size(), defaults.size() + 1);
    // Every texture the default table names is there.
    for (std::size_t i = 0; i < defaults.size(); ++i)
        EXPECT_NE(PrimCollection(S.TypeBatches(LineRazmetTypeCode)[i].get())->Texture(), nullptr)
            << defaults[i].TextureFile.ToUtf8();
    S.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(Drawn(S, *m).Batch, m->ParamIndex());
}

TEST_F(Markings, MissingAndBadTexturesAreReportedOnceAndDrawnWithout) {
    sptest::TempDir dir;
    std::filesystem::create_directories(dir.Path() / std::u8string(u8"Разметка"));
    std::ofstream(dir.Path() / std::u8string(u8"Разметка") / "Bad.bmp", std::ios::binary) << "BM not a bitmap";
    sptest::DataFilesAt at(dir.Path());
    ForgetLnTextures();
    std::map<std::string, int> reports;
    SetLnTextureReporter([&](const std::string &text) { ++reports[text]; });
    const TLnParamArray table = {Record("M", "Missing.bmp", 4, 0.1f, -0.1f), Record("B", "Bad.bmp", 4, 0.1f, -0.1f),
                                 Record("N", "", 4, 0.1f, -0.1f), Record("U", "..\\Solid.bmp", 4, 0.1f, -0.1f)};
    S.SetLnRazmetParams(table);
    TLineRazmetItem *m = Marking("B", {{0, 0, 0}, {8, 0, 0}});
    S.SetLnRazmetParams(table);
    TStreetStructure other;
    other.SetLnRazmetParams(table);

    // The missing one, the bad one and the refused name: each once; a record naming no texture is not
    // a fault.
    EXPECT_EQ(reports.size(), 3u);
    for (const auto &[text, count] : reports)
        EXPECT_EQ(count, 1) << text;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(PrimCollection(S.TypeBatches(LineRazmetTypeCode)[static_cast<std::size_t>(i)].get())->Texture(),
                  nullptr);

    auto device = std::make_shared<TRecordingDevice>(64, 64);
    TDisplayRenderer renderer(device);
    renderer.BeginDraw();
    EXPECT_NO_THROW(S.Draw({&renderer, {4, 0, 0}, 100}, FullTypeSet(), PlanLayerMask));
    renderer.EndDraw();
    EXPECT_EQ(Drawn(S, *m).Batch, 1);
    SetLnTextureReporter({});
    ForgetLnTextures();
}

TEST_F(Markings, StoredOffsetsThatAreNoNumbersDrawOnTheLine) {
    TLnParamRec odd = Record("Z", "Solid.bmp", std::nanf(""), std::nanf(""), 1e30f);
    S.SetLnRazmetParams({odd});
    TLineRazmetItem *m = Marking("Z", {{0, 0, 0}, {8, 0, 0}});
    S.UpdateGraphics(FullTypeSet());
    const TDrawn d = Drawn(S, *m);
    ASSERT_EQ(d.Batch, 0);
    for (const TDxVertex &v : d.Vertices) {
        EXPECT_TRUE(std::isfinite(v.u) && std::isfinite(v.x)) << v.u;
        if (v.v == 0) {
            EXPECT_EQ(v.y, 0);
        }
    }
    // Drawing changed nothing stored.
    EXPECT_TRUE(std::isnan(S.LnParams()[0].Period));
}

TEST_F(Markings, CrossedLabelPlacesAreLaidOutAgain) {
    TAbstractItem *crossed = MakeItem(S, TestLine, {{5, -5, 0}, {5, 5, 0}});
    TAbstractItem *beside = MakeItem(S, TestLine, {{50, -5, 0}, {50, 5, 0}});
    TAbstractItem *hidden = MakeItem(S, TestLine, {{7, -5, 0}, {7, 5, 0}});
    hidden->Active = false;
    S.UpdateGraphics(FullTypeSet());
    ASSERT_FALSE(crossed->Points.Changed());
    const TXYZ marking[] = {{0, 0, 0}, {3, 0, 0}, {10, 0, 0}, {20, 0, 0}};
    MarkCrossingItems(S, TestLine, marking);
    EXPECT_TRUE(crossed->Points.Changed());
    EXPECT_FALSE(beside->Points.Changed());
    EXPECT_FALSE(hidden->Points.Changed());
}

// ---- Street files

LnParamRow Row(const TLnParamRec &r) {
    LnParamRow row;
    row.Name = r.Name.Bytes();
    row.TextureFile = r.TextureFile.Bytes();
    row.Period = r.Period;
    row.Disp1 = r.Disp1;
    row.Disp2 = r.Disp2;
    row.Description = r.Description.Bytes();
    row.SqCoeff = r.SqCoeff;
    row.FullPeriods = r.FullPeriods;
    row.Yellow = r.Yellow;
    row.Plastic = r.Plastic;
    row.CountItems = r.CountItems;
    return row;
}

ItemRec MarkingRec(int32_t id, std::vector<int32_t> points, std::optional<std::string> gost,
                   std::optional<uint8_t> mirror) {
    ItemRec r = Rec("LNRAZMET", id, std::move(points));
    if (gost)
        r.Extra.Tag("LNRMGOST").Str(*gost);
    if (mirror)
        r.Extra.Tag("LNRMMIRR").U8(*mirror);
    return r;
}

StreetFile WithPoints(bool table) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 20, 2}, {4, 0, 5}, {5, 10, 5}, {6, 20, 7}};
    if (table)
        f.LnParams = sptest::LnParamsBytes(
            {{"1.1", "Solid.bmp", 4, 0.05f, -0.05f, W("Сплошная"), 1, 0, 0, 0, 0},
             {W("1.2.1а"), "Dash_1_3.bmp", 12, 0, -0.2f, "", 0.25f, 1, 1, 1, 1}});
    return f;
}

class MarkingFiles : public TWithClasses {};

TEST_F(MarkingFiles, CanonicalRecordsWriteBackByteForByte) {
    struct TCase {
        const char *Name;
        std::function<StreetFile()> Make;
    };
    const TCase cases[] = {
        {"markings with known, unknown, empty and Cyrillic codes, mirrored or not",
         [] {
             StreetFile f = WithPoints(true);
             f.Lists = {{"LNRAZMET",
                         {MarkingRec(1, {1, 2, 3}, "1.1", 0), MarkingRec(2, {4, 5}, W("1.2.1а"), 1),
                          MarkingRec(3, {5, 6}, "9.99", 0), MarkingRec(4, {1, 4}, "", 0),
                          MarkingRec(5, {2, 5}, "1.1", 2)}}};
             return f;
         }},
        {"a marking on a curve beside a curb",
         [] {
             StreetFile f = WithPoints(true);
             ItemRec curb = Rec("BORT", 1, {4, 1, 2});
             curb.Extra.Tag("BORTWIDT").F32(0.2f).Tag("BORTCOLR").U32(0xFF008000);
             f.Lists = {{"BORT", {curb}},
                        {"LNRAZMET", {MarkingRec(7, {1, 2, 3}, "1.1", 1)}},
                        {"ARCCOORD", {Rec("ARCCOORD", 2, {1, 2, 3})}}};
             return f;
         }},
        {"an empty table is not written and takes the default on reading markings",
         [] {
             StreetFile f = WithPoints(false);
             TLnParamArray defaults;
             LoadDefaultLnParams(defaults);
             std::vector<LnParamRow> rows;
             for (const TLnParamRec &r : defaults)
                 rows.push_back(Row(r));
             f.LnParams = sptest::LnParamsBytes(rows);
             f.Lists = {{"LNRAZMET", {MarkingRec(1, {1, 2}, "1.5", 0)}}};
             return f;
         }},
    };
    for (const TCase &c : cases) {
        const std::vector<uint8_t> bytes = c.Make().Bytes();
        std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
        EXPECT_FALSE(s->Modified()) << c.Name;
        EXPECT_EQ(SaveBytes(*s), bytes) << c.Name;
        s->UpdateGraphics(FullTypeSet());
        EXPECT_FALSE(s->Modified()) << c.Name << ": drawing changed the street";
        EXPECT_EQ(SaveBytes(*s), bytes) << c.Name << " after drawing";
    }
}

TEST_F(MarkingFiles, RecordsFromElsewhereAreNormalisedOnce) {
    struct TNorm {
        const char *Name;
        std::function<StreetFile()> Make, Expected;
    };
    const TNorm cases[] = {
        {"a marking without its code and mirror tags gets both",
         [] {
             StreetFile f = WithPoints(true);
             f.Lists = {{"LNRAZMET", {MarkingRec(1, {1, 2}, std::nullopt, std::nullopt),
                                      MarkingRec(2, {4, 5}, std::nullopt, 1)}}};
             return f;
         },
         [] {
             StreetFile f = WithPoints(true);
             f.Lists = {{"LNRAZMET", {MarkingRec(1, {1, 2}, "", 0), MarkingRec(2, {4, 5}, "", 1)}}};
             return f;
         }},
        {"markings in a street without records: the street gains the default table",
         [] {
             StreetFile f = WithPoints(false);
             f.Lists = {{"LNRAZMET", {MarkingRec(1, {1, 2}, "1.1", 0), MarkingRec(2, {4, 5, 6}, "1.4", 1)}}};
             return f;
         },
         [] {
             StreetFile f = WithPoints(false);
             TLnParamArray defaults;
             LoadDefaultLnParams(defaults);
             std::vector<LnParamRow> rows;
             for (const TLnParamRec &r : defaults)
                 rows.push_back(Row(r));
             f.LnParams = sptest::LnParamsBytes(rows);
             f.Lists = {{"LNRAZMET", {MarkingRec(1, {1, 2}, "1.1", 0), MarkingRec(2, {4, 5, 6}, "1.4", 1)}}};
             return f;
         }},
    };
    for (const TNorm &c : cases) {
        std::unique_ptr<TStreetStructure> s = LoadBytes(c.Make().Bytes());
        EXPECT_FALSE(s->Modified()) << c.Name;
        const std::vector<uint8_t> expected = c.Expected().Bytes();
        EXPECT_EQ(SaveBytes(*s), expected) << c.Name;
        std::unique_ptr<TStreetStructure> again = LoadBytes(expected);
        EXPECT_EQ(SaveBytes(*again), expected) << c.Name;
    }
    // A street without markings gains no table.
    StreetFile plain = WithPoints(false);
    plain.Lists = {{"ARCCOORD", {Rec("ARCCOORD", 1, {1, 2, 3})}}};
    std::unique_ptr<TStreetStructure> s = LoadBytes(plain.Bytes());
    EXPECT_TRUE(s->LnParams().empty());
    EXPECT_EQ(SaveBytes(*s), plain.Bytes());
}

TEST_F(MarkingFiles, ReadingBindsTheRecordByCode) {
    StreetFile f = WithPoints(true);
    f.Lists = {{"LNRAZMET", {MarkingRec(1, {1, 2}, W("1.2.1а"), 3), MarkingRec(2, {4, 5}, "1.5", 0)}}};
    std::unique_ptr<TStreetStructure> s = LoadBytes(f.Bytes());
    auto *a = dynamic_cast<TLineRazmetItem *>(s->Lists(LineRazmetTypeCode).Items(0));
    auto *b = dynamic_cast<TLineRazmetItem *>(s->Lists(LineRazmetTypeCode).Items(1));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->ParamIndex(), 1);
    EXPECT_EQ(a->Mirror(), 3);
    EXPECT_EQ(a->Gost(), Cp("1.2.1а"));
    EXPECT_EQ(b->ParamIndex(), -1); // the street's own table has no 1.5
}

} // namespace
