// Painted road text and painted signs: their records written back byte for byte (also after drawing),
// the standard numbers, paint areas known and unknown, glyph tables built from small glyph streets, the
// glyphs drawn along the item's direction through the recording device, and the labels beside them.
#include "ObjectsTestUtil.h"

#include "engine/DxRenderer.h"
#include "engine/FontsDataForm.h"
#include "model/ItemLayers.h"
#include "objects/RazmetGlyphs.h"
#include "objects/RazmetText.h"
#include "platform/d3d9/RecordingDevice.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace objtest;
using sptest::ByteBuilder;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

ItemRec TextRec(int32_t id, std::vector<int32_t> points, std::optional<std::string> text) {
    ItemRec r = Rec("RAZMTEXT", id, std::move(points));
    if (text)
        r.Extra.Tag("TEXTTEXT").Str(*text);
    return r;
}

ItemRec SignRec(int32_t id, std::vector<int32_t> points, std::optional<std::string> name) {
    ItemRec r = Rec("RAZMZNAK", id, std::move(points));
    if (name)
        r.Extra.Tag("ZNAKNAME").Str(*name);
    return r;
}

// A glyph street built record by record: rectangles of design figures and reference points, each in a
// group.
class GlyphStreet {
public:
    GlyphStreet() : f_(StreetFile::Canonical()) {}

    GlyphStreet &Rect(const std::string &group, double x0, double y0, double x1, double y1) {
        const int32_t first = Point(x0, y0);
        Point(x1, y0);
        Point(x1, y1);
        Point(x0, y1);
        ItemRec r = Rec("DSGNFIGR", ++figures_, {first, first + 1, first + 2, first + 3});
        r.Group = group;
        r.Extra.Tag("POLYCONN").Append(sptest::ConnectdBytes({sptest::EmptyRef()})).Tag("DSFFILLC").I32(0);
        pieces_.push_back(r);
        return *this;
    }
    GlyphStreet &Ruler(const std::string &group, double x, double y) {
        ItemRec r = Rec("RULER", ++rulers_, {Point(x, y)});
        r.Group = group;
        rulerRecs_.push_back(r);
        return *this;
    }
    GlyphStreet &Groups(const std::string &lines) {
        f_.GrpNames = lines;
        return *this;
    }
    std::string Write(const sptest::TempDir &dir, const std::string &name) {
        f_.Lists = {{"DSGNFIGR", pieces_}, {"RULER", rulerRecs_}};
        const std::string file = dir.File(name);
        sptest::WriteFileBytes(file, f_.Bytes());
        return file;
    }

private:
    int32_t Point(double x, double y) {
        f_.Points.push_back({int32_t(f_.Points.size()) + 1, x, y});
        return int32_t(f_.Points.size());
    }
    StreetFile f_;
    std::vector<ItemRec> pieces_, rulerRecs_;
    int32_t figures_ = 0, rulers_ = 0;
};

// "Г" (two pieces, 0.44 m²), "Т" with two reference points (the last is its origin), "О" without one,
// and a space that has a piece.
std::string FontFixture(const sptest::TempDir &dir) {
    GlyphStreet g;
    g.Rect(W("Г"), 10, 5, 10.2, 6.6).Rect(W("Г"), 10.2, 6.4, 10.8, 6.6).Ruler(W("Г"), 10, 5);
    g.Ruler(W("Т"), 20, 5).Rect(W("Т"), 21, 5, 21.5, 6.6).Ruler(W("Т"), 21, 5);
    g.Rect(W("О"), 30, 5, 31, 6.6);
    g.Rect(" ", 40, 5, 41, 6.6).Ruler(" ", 40, 5);
    return g.Write(dir, "font.zrv");
}

// Frames "3.*" (1 m²) and "5.*", signs "3.1" (0.1 m²), "5.5", "а2" and "Б1" (for the order of the names)
// and "нет", listed but without an origin. Millimetres.
std::string SignFixture(const sptest::TempDir &dir) {
    GlyphStreet g;
    g.Rect("3.*", -500, 0, 500, 1000).Ruler("3.*", 0, 0);
    g.Rect("3.1", 2900, 0, 3100, 500).Ruler("3.1", 3000, 0);
    g.Rect("5.*", 5500, 0, 6500, 1000).Ruler("5.*", 6000, 0);
    g.Rect("5.5", 8900, 0, 9100, 500).Ruler("5.5", 9000, 0);
    g.Rect(W("а2"), 12000, 0, 12100, 100).Ruler(W("а2"), 12000, 0);
    g.Rect(W("Б1"), 15000, 0, 15100, 100).Ruler(W("Б1"), 15000, 0);
    g.Rect(W("нет"), 18000, 0, 18100, 100);
    g.Groups(W("3.*=ON\r\n3.1=ON\r\nБ1=ON\r\n5.*=ON\r\n5.5=ON\r\nа2=ON\r\nнет=ON\r\n"));
    return g.Write(dir, "signs.zrv");
}

// The plan points of every triangle drawn, through each draw's world matrix.
std::vector<TXYZ> DrawnPoints(TAbstractItem &item, TXYZ center = {0, 0, 0}, float radius = 1000) {
    auto device = std::make_shared<TRecordingDevice>(64, 64);
    TSurfaceRenderer r(device);
    r.BeginDraw();
    item.Draw({&r, center, radius}, PlanLayerMask);
    r.EndDraw();
    std::vector<TXYZ> points;
    for (const TRecordedDraw &d : device->Draws()) {
        EXPECT_EQ(d.Type, D3DPT_TRIANGLELIST);
        TDxMatrix world;
        std::memcpy(world.m, d.State.World.m, sizeof world.m);
        for (const TRecordedVertex &v : d.Vertices()) {
            EXPECT_EQ(v.Color, 0u);
            points.push_back(TransformVector(world, {v.X, v.Y, v.Z}));
        }
    }
    return points;
}

struct TBox {
    float MinX = 1e30f, MinY = 1e30f, MaxX = -1e30f, MaxY = -1e30f;
};
TBox Box(const std::vector<TXYZ> &points) {
    TBox b;
    for (const TXYZ &p : points) {
        b.MinX = std::min(b.MinX, p.x);
        b.MaxX = std::max(b.MaxX, p.x);
        b.MinY = std::min(b.MinY, p.y);
        b.MaxY = std::max(b.MaxY, p.y);
    }
    return b;
}

class RazmetItems : public TWithClasses {
protected:
    RazmetItems() {
        LoadRazmetFontFile(FontFixture(Dir));
        LoadRazmetZnakFile(SignFixture(Dir));
    }
    ~RazmetItems() override { FreeRazmetGlyphs(); }

    TRazmetTextItem *Text(const char *utf8, TXYZ v0 = {10, 20, 0}, TXYZ v1 = {10, 30, 0}) {
        auto *t = MakeAs<TRazmetTextItem>(S, RazmetTextTypeCode, {v0, v1});
        t->SetText(Cp(utf8));
        return t;
    }
    TRazmetZnakItem *Sign(const char *utf8) {
        auto *z = MakeAs<TRazmetZnakItem>(S, RazmetZnakTypeCode, {{0, 0, 0}, {0, 10, 0}});
        z->SetSignName(Cp(utf8));
        return z;
    }

    sptest::TempDir Dir;
    TStreetStructure S;
};

TEST_F(RazmetItems, RecordsWriteBackByteForByteAlsoAfterDrawing) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 0, 10}, {3, 5, 5}};
    f.Lists = {{"RAZMTEXT", {TextRec(1, {1, 2}, W("СТОП")), TextRec(2, {3}, "")}},
               {"RAZMZNAK", {SignRec(1, {3, 1}, "3.1"), SignRec(2, {2}, W("нет такого"))}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    auto s = LoadBytes(bytes);
    ASSERT_EQ(s->Lists(RazmetTextTypeCode).Count(), 2);
    auto *text = dynamic_cast<TRazmetTextItem *>(s->Lists(RazmetTextTypeCode).FindById(1));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->Text(), Cp("СТОП"));
    auto *sign = dynamic_cast<TRazmetZnakItem *>(s->Lists(RazmetZnakTypeCode).FindById(1));
    ASSERT_TRUE(sign);
    EXPECT_EQ(sign->SignName(), Cp1251String("3.1"));
    EXPECT_EQ(SaveBytes(*s), bytes);
    for (int code : {RazmetTextTypeCode, RazmetZnakTypeCode})
        for (const auto &item : s->Lists(code)) {
            item->UpdateGraphics();
            DrawnPoints(*item);
        }
    EXPECT_EQ(SaveBytes(*s), bytes);

    // Without the tags: empty texts, written back with the tags; without a vertex: dropped.
    StreetFile bare = f;
    bare.Lists = {{"RAZMTEXT", {TextRec(1, {1, 2}, {}), TextRec(2, {}, {})}},
                  {"RAZMZNAK", {SignRec(1, {3}, {})}}};
    auto b = LoadBytes(bare.Bytes());
    EXPECT_EQ(b->Lists(RazmetTextTypeCode).Count(), 1);
    StreetFile expected = bare;
    expected.Lists = {{"RAZMTEXT", {TextRec(1, {1, 2}, "")}}, {"RAZMZNAK", {SignRec(1, {3}, "")}}};
    EXPECT_EQ(SaveBytes(*b), expected.Bytes());
}

TEST_F(RazmetItems, StandardNumbers) {
    const struct {
        const char *Text, *Number;
    } texts[] = {{"СТОП", "1.21"}, {"стоп", "1.22"}, {"СТОП ", "1.22"}, {"М-10", "1.22"}, {"", "1.22"}};
    for (const auto &c : texts)
        EXPECT_EQ(Text(c.Text)->GetGostNumber(), Cp1251String(c.Number)) << c.Text;
    const struct {
        const char *Name, *Number;
    } signs[] = {{"1.23", "1.24.1"}, {"3.24-40", "1.24.2"}, {"8.17", "1.24.3"}, {"5.19.1", "1.24.4(*)"},
                 {"2.1", "????"},    {"", "????"},          {"А", "????"}};
    for (const auto &c : signs)
        EXPECT_EQ(Sign(c.Name)->GetGostNumber(), Cp1251String(c.Number)) << c.Name;
}

TEST_F(RazmetItems, FontGlyphsComeFromTheirGroupsAtTheLastOrigin) {
    const TRazmetFont &font = LoadRazmetFont();
    EXPECT_TRUE(RazmetFontProblem().Empty()) << RazmetFontProblem().Reason;
    // Indexed by the unsigned byte: "Г" is 0xC3.
    const TRazmetGlyph &g = font[Cp("Г")[0]];
    EXPECT_EQ(g.Vertices.size(), 12u);
    EXPECT_NEAR(g.Width, 0.9, 1e-5);
    EXPECT_NEAR(g.Area, 0.44, 1e-5);
    EXPECT_TRUE(g.Known);
    const TBox gb = Box([&] {
        std::vector<TXYZ> p;
        for (const TDxVertex &v : g.Vertices)
            p.push_back({v.x, v.y, v.z});
        return p;
    }());
    EXPECT_NEAR(gb.MinX, 0, 1e-5);
    EXPECT_NEAR(gb.MaxY, 1.6, 1e-5);

    // Two origins: the last one counts.
    EXPECT_NEAR(font[Cp("Т")[0]].Width, 0.6, 1e-5);
    // No origin: the default block, advance 0.6, paint unknown.
    const TRazmetGlyph &o = font[Cp("О")[0]];
    EXPECT_FALSE(o.Known);
    EXPECT_NEAR(o.Width, 0.6, 1e-6);
    ASSERT_EQ(o.Vertices.size(), 6u);
    EXPECT_NEAR(o.Vertices[2].x, 0.5, 1e-6);
    EXPECT_NEAR(o.Vertices[2].y, 1.6, 1e-6);
    // The space never draws, whatever its group holds.
    EXPECT_TRUE(font[' '].Vertices.empty());
    EXPECT_NEAR(font[' '].Width, 0.3, 1e-6);
}

TEST_F(RazmetItems, PaintAreasOfTextsAreKnownOnlyWithEveryGlyph) {
    const struct {
        const char *Text;
        std::optional<double> Area;
        double Length;
    } cases[] = {
        {"Г", 0.44, 0.9},          {"ГТ Г", 0.44 + 0.8 + 0.44, 0.9 + 0.6 + 0.3 + 0.9}, {"", 0.0, 0},
        {"ГО", std::nullopt, 1.5}, // "О" has no glyph of its own
        {"1", std::nullopt, 0.6},
    };
    for (const auto &c : cases) {
        TRazmetTextItem *t = Text(c.Text);
        SCOPED_TRACE(c.Text);
        const std::optional<double> area = t->GetPaintArea();
        ASSERT_EQ(area.has_value(), c.Area.has_value());
        if (area) {
            EXPECT_NEAR(*area, *c.Area, 1e-5);
        }
        EXPECT_NEAR(t->TextLength(), c.Length, 1e-5);
    }
}

TEST_F(RazmetItems, SignGlyphsFollowTheGroupListAndTheirNamesSort) {
    const TRazmetZnakTable &table = LoadRazmetZnakGlyphs();
    EXPECT_TRUE(RazmetZnakProblem().Empty()) << RazmetZnakProblem().Reason;
    std::vector<Cp1251String> names;
    for (const TRazmetZnakEntry &e : table.Entries)
        names.push_back(e.Name);
    EXPECT_EQ(names, (std::vector<Cp1251String>{Cp1251String("3.*"), Cp1251String("3.1"), Cp("Б1"),
                                                Cp1251String("5.*"), Cp1251String("5.5"), Cp("а2")}));
    // Without "*", case-insensitively sorted ("а2" before "Б1").
    EXPECT_EQ(RazmetZnakGlyphNames(),
              (std::vector<Cp1251String>{Cp1251String("3.1"), Cp1251String("5.5"), Cp("а2"), Cp("Б1")}));
}

TEST_F(RazmetItems, PaintAreasOfSignsResolveTheirOwnGlyphs) {
    const struct {
        const char *Name;
        std::optional<double> Area;
    } cases[] = {
        {"3.1", 1.1},          {"5.5", 1.1 * 0.09765625}, {"а2", 0.01}, // no frame "а.*": the sign alone
        {"3.9", std::nullopt},                                          // a frame but no sign glyph
        {"нет", std::nullopt},                                          // listed without an origin
        {"", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        // Never drawn: the area looks its glyphs up itself.
        const std::optional<double> area = Sign(c.Name)->GetPaintArea();
        ASSERT_EQ(area.has_value(), c.Area.has_value());
        if (area) {
            EXPECT_NEAR(*area, *c.Area, 1e-6);
        }
    }
}

TEST_F(RazmetItems, ChangingTheNameLooksTheGlyphsUpAgain) {
    TRazmetZnakItem *z = Sign("3.1");
    EXPECT_EQ(DrawnPoints(*z).size(), 12u); // frame and sign
    EXPECT_EQ(z->FrameGlyph(), 0);
    EXPECT_EQ(z->SignGlyph(), 1);
    z->SetSignName(Cp1251String("5.5"));
    EXPECT_FALSE(z->GlyphsResolved());
    const TBox b = Box(DrawnPoints(*z));
    EXPECT_EQ(z->FrameGlyph(), 3);
    EXPECT_EQ(z->SignGlyph(), 4);
    // The "5.*" frame, 1 m square, millimetres drawn as metres; turned with the item (x runs up).
    EXPECT_NEAR(b.MaxY - b.MinY, 1.0, 1e-4);
    EXPECT_NEAR(b.MinX, -1.0, 1e-4);
    EXPECT_NEAR(b.MaxX, 0, 1e-4);

    // A name without glyphs: the default rectangle, 1.0 x 1.6 m.
    z->SetSignName(Cp1251String("7.7"));
    const std::vector<TXYZ> p = DrawnPoints(*z);
    ASSERT_EQ(p.size(), 6u);
    const TBox d = Box(p);
    EXPECT_NEAR(d.MaxY - d.MinY, 1.0, 1e-4);
    EXPECT_NEAR(d.MaxX - d.MinX, 1.6, 1e-4);
    EXPECT_EQ(z->FrameGlyph(), -1);
    EXPECT_EQ(z->SignGlyph(), -1);

    // The table made again: the old indexes are stale and looked up anew.
    z->SetSignName(Cp1251String("3.1"));
    DrawnPoints(*z);
    LoadRazmetZnakFile(Dir.File("none.zrv"));
    EXPECT_EQ(DrawnPoints(*z).size(), 6u);
    EXPECT_EQ(z->SignGlyph(), -1);
}

TEST_F(RazmetItems, TextGlyphsRunFromTheFirstVertexTowardsTheSecond) {
    // "Г" from (10, 20) towards (10, 30): its x runs up the plan, its top bar lies to the left.
    TRazmetTextItem *t = Text("Г");
    std::vector<TXYZ> p = DrawnPoints(*t);
    ASSERT_EQ(p.size(), 12u);
    TBox b = Box(p);
    EXPECT_NEAR(b.MinY, 20, 1e-4);
    EXPECT_NEAR(b.MaxY, 20.8, 1e-4);
    EXPECT_NEAR(b.MinX, 8.4, 1e-4);
    EXPECT_NEAR(b.MaxX, 10, 1e-4);
    for (const TXYZ &q : p) {
        if (q.y > 20.3f) {
            EXPECT_LT(q.x, 8.7f) << "the bar away from the first vertex is the top of the letter";
        }
    }

    // ARROWBIG: 2.5 times as long across the text's run, as wide along it.
    S.SetArrowBig(true);
    b = Box(DrawnPoints(*t));
    EXPECT_NEAR(b.MinX, 10 - 4, 1e-4);
    EXPECT_NEAR(b.MaxY, 20.8, 1e-4);

    // Characters follow by their advances; the space draws nothing.
    t->SetText(Cp("Г Г"));
    S.SetArrowBig(false);
    b = Box(DrawnPoints(*t));
    EXPECT_EQ(DrawnPoints(*t).size(), 24u);
    EXPECT_NEAR(b.MaxY, 20 + 0.9 + 0.3 + 0.8, 1e-4);
}

TEST_F(RazmetItems, CullingAllowsForTheStretchedLetters) {
    // The letter reaches from 3 m outside the view 1.6 m towards it, 4 m with ARROWBIG.
    TRazmetTextItem *t = Text("Г", {13, 0, 0}, {13, 1, 0});
    EXPECT_TRUE(DrawnPoints(*t, {0, 0, 0}, 10).empty());
    S.SetArrowBig(true);
    const std::vector<TXYZ> p = DrawnPoints(*t, {0, 0, 0}, 10);
    ASSERT_FALSE(p.empty());
    EXPECT_LT(Box(p).MinX, 10);
}

TEST_F(RazmetItems, UnreadableGlyphFilesDrawDefaultsWithUnknownPaint) {
    const std::string garbage = Dir.File("garbage.zrv");
    sptest::WriteFileBytes(garbage, {'Z', 'R', 'V', 0, 1, 2, 3, 4, 5});
    for (const std::string &file : {Dir.File("missing.zrv"), garbage}) {
        SCOPED_TRACE(file);
        LoadRazmetFontFile(file);
        LoadRazmetZnakFile(file);
        EXPECT_FALSE(RazmetFontProblem().Empty());
        EXPECT_EQ(RazmetFontProblem().File, file);
        EXPECT_FALSE(RazmetZnakProblem().Reason.empty());
        TRazmetTextItem *t = Text("ГГ");
        EXPECT_FALSE(t->GetPaintArea());
        EXPECT_EQ(DrawnPoints(*t).size(), 12u); // two default blocks
        EXPECT_NEAR(t->TextLength(), 1.2, 1e-6);
        TRazmetZnakItem *z = Sign("3.1");
        EXPECT_FALSE(z->GetPaintArea());
        EXPECT_EQ(DrawnPoints(*z).size(), 6u);
        EXPECT_TRUE(RazmetZnakGlyphNames().empty());
    }
    // Without the data files at all: the same, and the problem names the expected file.
    FreeRazmetGlyphs();
    sptest::DataFilesAt empty(Dir.Path());
    EXPECT_FALSE(Text("Г")->GetPaintArea());
    EXPECT_NE(RazmetFontProblem().File.find("RazmetFont.zrv"), std::string::npos);
    EXPECT_EQ(RazmetFontProblem().Reason, "file not found");
}

// ---- Labels

class RazmetLabels : public RazmetItems {
protected:
    RazmetLabels() { Fonts.BuildAtlases(1024, 1024); }

    // The label's vertices of the item.
    std::vector<TXYZ> Label(TAbstractItem *item) {
        item->Points.SetChanged(true);
        item->UpdateGraphics();
        std::vector<TXYZ> points;
        TDxPrimCollection *batch = TypePrimCollection(S, item->GetTypeCode(), 0);
        for (std::size_t i = 0; batch && i < batch->Count(); ++i)
            if (!batch->Group(i).Deleted && batch->Group(i).Owner == item->Serial())
                for (const TDxVertex &v : batch->Group(i).Vertices)
                    points.push_back({v.x, v.y, v.z});
        return points;
    }

    TFontsDataForm Fonts;
};

TEST_F(RazmetLabels, NumbersStandBesideTheGlyphsReadableAlongTheAxis) {
    TRazmetTextItem *t = Text("ГТ"); // up the plan from (10, 20), 1.5 m long
    std::vector<TXYZ> p = Label(t);
    ASSERT_EQ(p.size(), 4u * 6); // "1.22"
    // 0.1 m beside the first vertex (the characters' cells may end a pixel short of the text's width).
    TBox b = Box(p);
    EXPECT_GE(b.MinX, 10.09);
    EXPECT_LE(b.MinX, 10.25);
    EXPECT_NEAR((b.MinY + b.MaxY) / 2, 20.75, 0.05); // centred on the text's length
    EXPECT_LT(p.front().x, p.back().x) << "reads along +x";

    // Against an axis running the other way the label turns half round, in the same place.
    TAbstractItem *axis = MakeItem(S, TestAxis, {{100, 0, 0}, {0, 0, 0}});
    t->SetReferAxis(axis);
    p = Label(t);
    ASSERT_EQ(p.size(), 24u);
    b = Box(p);
    EXPECT_GE(b.MinX, 10.09);
    EXPECT_LE(b.MinX, 10.25);
    EXPECT_NEAR((b.MinY + b.MaxY) / 2, 20.75, 0.05);
    EXPECT_GT(p.front().x, p.back().x) << "reads along -x";

    // Signs: the number and "(name)" on two lines.
    TRazmetZnakItem *z = Sign("3.1");
    p = Label(z);
    EXPECT_EQ(p.size(), (6u + 5u) * 6);
    EXPECT_GT(Box(p).MinX, 0.05);
}

} // namespace
