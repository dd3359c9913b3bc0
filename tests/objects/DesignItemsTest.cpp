// Design blocks, lines and figures: their records written back byte for byte (also after drawing), the
// bands and pieces a line rebuild makes, the tiles of a figure, the block's corners and its immediate
// drawing through the recording device.
#include "ObjectsTestUtil.h"

#include "engine/DxDraw.h"
#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "model/ItemLayers.h"
#include "objects/DesignBlock.h"
#include "objects/DesignFigure.h"
#include "objects/DesignLine.h"
#include "objects/Gazon.h"
#include "platform/d3d9/RecordingDevice.h"

#include <cmath>
#include <cstring>
#include <numbers>

using namespace objtest;
using sptest::ByteBuilder;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

// A width x height BMP of 24 bits per pixel, every pixel of the colour (0xRRGGBB), written by hand.
ByteBuilder Bmp(int width, int height, uint32_t rgb = 0x204060) {
    const int row = (width * 3 + 3) / 4 * 4;
    ByteBuilder b;
    b.Bytes("BM").U32(uint32_t(54 + row * height)).U32(0).U32(54);
    b.U32(40).I32(width).I32(height).U16(1).U16(24).U32(0).U32(uint32_t(row * height)).U32(0).U32(0);
    b.U32(0).U32(0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            b.U8(rgb & 0xFF).U8((rgb >> 8) & 0xFF).U8((rgb >> 16) & 0xFF);
        for (int pad = width * 3; pad < row; ++pad)
            b.U8(0);
    }
    return b;
}

ByteBuilder BlockLibrary() {
    ByteBuilder b;
    b.Tag("BLOCKLST").Tag("ITEMSCNT").I32(1);
    b.Tag("BLOCKDEF").Str(W("Куст")).Tag("BLOCKBMP").Append(Bmp(4, 2));
    b.Tag("BLOCKWID").F32(1).Tag("BLOCKHEI").F32(2).Tag("BLOCKANC").I32(0).I32(2);
    return b;
}

// One style with start, repeat and finish pictures 4, 4 and 2 pixels wide and period 2: the start takes
// 2 m of a line, the finish 1 m.
ByteBuilder LineLibrary() {
    ByteBuilder b;
    b.Tag("DSNLNLST").Tag("ITEMSCNT").I32(1);
    b.Tag("DSNLNDEF").Tag("DEFNAME").Str(W("бордюр")).Tag("DEFPERID").F32(2).Tag("DEFWIDTH").F32(0.4f);
    b.Tag("DEFDISP").F32(0).Tag("DEFBMPST").Append(Bmp(4, 2, 0xFF0000)).Tag("DEFBMPRP").Append(Bmp(4, 2));
    b.Tag("DEFBMPFN").Append(Bmp(2, 2, 0x0000FF));
    return b;
}

ByteBuilder FigLibrary() {
    ByteBuilder b;
    b.Tag("DSNFGLST").Tag("ITEMSCNT").I32(1);
    b.Tag("DSNFGDEF").Tag("DEFNAME").Str(W("плитка")).Tag("DEFPERDX").F32(2).Tag("DEFPERDY").F32(0.5f);
    b.Tag("DEFBMP").Append(Bmp(2, 2));
    return b;
}

ItemRec Block(int32_t id, std::vector<int32_t> points, const std::string &name, std::optional<int32_t> color,
              std::vector<std::pair<std::string, int32_t>> axis = {sptest::EmptyRef()}) {
    ItemRec r = Rec("DSNBLOCK", id, std::move(points));
    r.Extra.Tag("DSNBNAME").Str(name);
    if (color)
        r.Extra.Tag("DSNBCOLR").I32(*color);
    r.Extra.Tag("DSNBAXIS").Append(sptest::ConnectdBytes(axis));
    return r;
}

ItemRec Line(int32_t id, std::vector<int32_t> points, int32_t color, float width, float period, float disp,
             int32_t style, const std::string &ext) {
    ItemRec r = Rec("DSGNLINE", id, std::move(points));
    r.Extra.Tag("DSLCOLOR").I32(color).Tag("DSLWIDTH").F32(width).Tag("DSLPERID").F32(period);
    r.Extra.Tag("DSL_DISP").F32(disp).Tag("DSLSTYLE").I32(style).Tag("DSLEXDEF").Str(ext);
    return r;
}

ItemRec Figure(int32_t id, std::vector<int32_t> points, int32_t color, std::optional<std::string> style) {
    ItemRec r = Rec("DSGNFIGR", id, std::move(points));
    r.Extra.Tag("POLYCONN").Append(sptest::ConnectdBytes({sptest::EmptyRef()}));
    r.Extra.Tag("DSFFILLC").I32(color);
    if (style)
        r.Extra.Tag("DSFSTYLE").Str(*style);
    return r;
}

StreetFile DesignStreet() {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 10, 10}, {4, 0, 10}, {5, 20, 0}, {6, 20, 5}, {7, -5, -5}};
    f.BlockDef = BlockLibrary();
    f.LineDefs = LineLibrary();
    f.FigDefs = FigLibrary();
    f.Lists = {
        {"DSGNFIGR",
         {Figure(1, {1, 2, 3, 4}, 0, {}), Figure(2, {1, 2, 3}, int32_t(0xFF102030), W("плитка")),
          Figure(3, {2, 3, 4}, 0x00FF00, W("нет такой"))}},
        {"DSGNLINE",
         {Line(1, {1, 2}, int32_t(0xFF0000FF), 0.5f, 1, 0, 0, ""), Line(2, {2, 5, 6}, 0, 0.2f, 1, 0, 0, W("бордюр")),
          Line(3, {1, 4}, 0x123456, 0.3f, 0, 0.25f, 7, ""), Line(4, {4, 3}, 0, 0, 2, 0, 1, W("нет такого"))}},
        {"DSNBLOCK",
         {Block(1, {7}, W("Куст"), int32_t(0x00808080)), Block(2, {5, 6}, "", {}),
          Block(3, {6}, W("нет такого"), -1, {{"DSGNLINE", 1}})}},
    };
    return f;
}

// Draws the whole street once through a recording device.
void DrawAll(TStreetStructure &s, const std::shared_ptr<TRecordingDevice> &device, TXYZ center = {5, 5, 0},
             float radius = 1000) {
    TSurfaceRenderer r(device);
    r.BeginDraw();
    s.Draw({&r, center, radius}, FullTypeSet(), PlanLayerMask);
    r.EndDraw();
}

// The x extent of the live groups the owner has in a batch (max below min when none).
struct TExtent {
    float MinX = 1e30f, MaxX = -1e30f;
    int Groups = 0;
};
TExtent OwnerExtent(TDxPrimCollection *batch, TBatchOwnerKey owner) {
    TExtent e;
    if (!batch)
        return e;
    for (std::size_t i = 0; i < batch->Count(); ++i) {
        const TDxPrimGroup g = batch->Group(i);
        if (g.Deleted || g.Owner != owner)
            continue;
        ++e.Groups;
        for (const TDxVertex &v : g.Vertices) {
            e.MinX = std::min(e.MinX, v.x);
            e.MaxX = std::max(e.MaxX, v.x);
        }
    }
    return e;
}

class DesignItems : public TWithClasses {
protected:
    TStreetStructure S;
};

TEST_F(DesignItems, RecordsWriteBackByteForByteWhetherDrawnOrNot) {
    const std::vector<uint8_t> bytes = DesignStreet().Bytes();
    auto s = LoadBytes(bytes);
    EXPECT_EQ(SaveBytes(*s), bytes);
    ASSERT_EQ(s->Lists(DesignFigureTypeCode).Count(), 3);
    ASSERT_EQ(s->Lists(DesignLineTypeCode).Count(), 4);
    ASSERT_EQ(s->Lists(DesignBlockTypeCode).Count(), 3);

    auto *fig = dynamic_cast<TDesignFigureItem *>(s->Lists(DesignFigureTypeCode).FindById(2));
    auto *odd = dynamic_cast<TDesignLineItem *>(s->Lists(DesignLineTypeCode).FindById(3));
    auto *block = dynamic_cast<TDesignBlockItem *>(s->Lists(DesignBlockTypeCode).FindById(3));
    ASSERT_TRUE(fig && odd && block);
    EXPECT_EQ(fig->FillColor(), 0xFF102030u);
    EXPECT_EQ(fig->StyleName(), Cp("плитка"));
    EXPECT_EQ(block->Color(), 0xFFFFFFFFu);
    EXPECT_EQ(block->Axis(), s->Lists(DesignLineTypeCode).FindById(1));

    // Drawing uses a period of 1 and the solid style for the line stored with 0 and 7, and stores neither.
    DrawAll(*s, std::make_shared<TRecordingDevice>(64, 64));
    EXPECT_EQ(odd->Period(), 0.0f);
    EXPECT_EQ(odd->Style(), 7);
    EXPECT_GT(OwnerExtent(TypePrimCollection(*s, DesignLineTypeCode, 1), odd->Serial()).Groups, 0);
    EXPECT_EQ(SaveBytes(*s), bytes);
}

TEST_F(DesignItems, IncompleteRecordsAreNormalisedOrDropped) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 10, 10}};
    f.Lists = {{"DSGNFIGR", {Figure(1, {1, 2}, 0, {})}},
               {"DSGNLINE", {Line(1, {1}, 0, 1, 1, 0, 0, "")}},
               {"DSNBLOCK", {Block(1, {}, "", {}), Rec("DSNBLOCK", 2, {3})}}};
    auto s = LoadBytes(f.Bytes());
    EXPECT_EQ(s->Lists(DesignFigureTypeCode).Count(), 0);
    EXPECT_EQ(s->Lists(DesignLineTypeCode).Count(), 0);
    // A block record of the head alone reads with the defaults and is written with its fields.
    StreetFile expected = f;
    expected.Lists = {{"DSNBLOCK", {Block(2, {3}, "", {})}}};
    EXPECT_EQ(SaveBytes(*s), expected.Bytes());
}

TEST_F(DesignItems, BuiltInStylesDrawInTheirBatches) {
    struct TCase {
        const char *What;
        int32_t Style;
        float Width;
        const char *Ext;
        int Batch; // -1: no band
    };
    const TCase cases[] = {
        {"solid", 0, 0.5f, "", 1},
        {"dashed", 1, 0.5f, "", 2},
        {"dash-dotted", 2, 0.5f, "", 3},
        {"no such style", 7, 0.5f, "", 1},
        {"negative style", -1, 0.5f, "", 1},
        {"a library style that is not there", 1, 0.5f, "нет такого", 2},
        {"width 0", 1, 0, "", -1},
    };
    for (const TCase &c : cases) {
        TStreetStructure s;
        auto *line = MakeAs<TDesignLineItem>(s, DesignLineTypeCode, {{0, 0, 0}, {10, 0, 0}});
        line->SetStyle(c.Style);
        line->SetWidth(c.Width);
        line->SetExtDef(Cp(c.Ext));
        line->SetColor(0xFF00FF00);
        line->UpdateGraphics();
        ASSERT_EQ(s.TypeBatches(DesignLineTypeCode).size(), 4u);
        for (int b = 0; b < 4; ++b) {
            const TExtent e = OwnerExtent(TypePrimCollection(s, DesignLineTypeCode, b), line->Serial());
            EXPECT_EQ(e.Groups > 0, b == c.Batch) << c.What << ", batch " << b;
        }
        EXPECT_EQ(line->Style(), c.Style) << c.What;
    }
}

TEST_F(DesignItems, ThinLinesAreDrawnAtTheBandsCentre) {
    struct TCase {
        const char *What;
        int32_t Style;
        float Width, Disp;
        const char *Ext;
        bool Drawn;
    };
    const TCase cases[] = {
        {"width 0", 1, 0, 0.5f, "", true},
        {"a solid band", 0, 0.5f, 0.5f, "", true},
        {"a dashed band", 1, 0.5f, 0.5f, "", false},
        {"a library style", 0, 0, 0, "бордюр", false},
    };
    for (const TCase &c : cases) {
        auto s = std::make_unique<TStreetStructure>();
        TDsnLineDef *def = s->LineDefs().Add();
        def->Name = Cp("бордюр");
        def->GetRepeatBitmap().Assign(TBitmap(4, 2));
        s->LineDefs().PublishBatches(*s);
        auto *line = MakeAs<TDesignLineItem>(*s, DesignLineTypeCode, {{0, 0, 0}, {10, 0, 0}});
        line->SetStyle(c.Style);
        line->SetWidth(c.Width);
        line->SetDisp(c.Disp);
        line->SetExtDef(Cp(c.Ext));
        line->SetColor(0xFF00FF00);
        auto device = std::make_shared<TRecordingDevice>(64, 64);
        DrawAll(*s, device, {5, 0, 0}, 100);
        int strips = 0;
        for (const TRecordedDraw &d : device->Draws()) {
            if (d.Type != D3DPT_LINESTRIP)
                continue;
            ++strips;
            for (const TRecordedVertex &v : d.Vertices())
                EXPECT_NEAR(v.Y, -c.Disp, 1e-5) << c.What;
        }
        EXPECT_EQ(strips, c.Drawn ? 1 : 0) << c.What;
        // Out of view it is not drawn.
        auto far = std::make_shared<TRecordingDevice>(64, 64);
        DrawAll(*s, far, {500, 500, 0}, 10);
        for (const TRecordedDraw &d : far->Draws())
            EXPECT_NE(d.Type, D3DPT_LINESTRIP) << c.What;
    }
}

TEST_F(DesignItems, LibraryStylesCutTheirPictures) {
    struct TCase {
        double Length, Start, Finish, WantStart, WantFinish;
    };
    const TCase cases[] = {
        {10, 2, 3, 2, 7},     // both
        {10, 2, 0, 2, 10},    // start only
        {10, 0, 3, 0, 7},     // finish only
        {1.5, 2, 3, 1.5, 1.5}, // shorter than the start: all start
        {4, 3, 3, 3, 3},      // the finish takes what the start leaves
        {10, -1, -2, 0, 10},  // lengths of 0 or less: no start, no finish
        {0, 2, 3, 0, 0},
    };
    for (const TCase &c : cases) {
        const TLineCuts cuts = CutDesignLine(c.Length, c.Start, c.Finish);
        EXPECT_DOUBLE_EQ(cuts.Start, c.WantStart) << c.Length << " " << c.Start << " " << c.Finish;
        EXPECT_DOUBLE_EQ(cuts.Finish, c.WantFinish) << c.Length << " " << c.Start << " " << c.Finish;
    }

    // A line of 10 m along x: start picture over [0, 2], the repeated one over [2, 9], the finish [9, 10].
    struct TLine {
        float Length;
        TExtent Start, Repeat, Finish;
    };
    for (const auto &[length, start, repeat, finish] :
         {TLine{10, {0, 2, 1}, {2, 9, 1}, {9, 10, 1}}, TLine{1.5f, {0, 1.5f, 1}, {}, {}}}) {
        auto s = LoadBytes(DesignStreet().Bytes());
        auto *line = MakeAs<TDesignLineItem>(*s, DesignLineTypeCode, {{0, 0, 0}, {length / 2, 0, 0}, {length, 0, 0}});
        line->SetExtDef(Cp("бордюр"));
        line->UpdateGraphics();
        const TDsnLineDef &def = *s->LineDefs().Items(0);
        const std::pair<const TItemBatchPtr &, TExtent> parts[] = {
            {def.StartBatch(), start}, {def.RepeatBatch(), repeat}, {def.FinishBatch(), finish}};
        for (const auto &[batch, want] : parts) {
            const TExtent e = OwnerExtent(PrimCollection(batch.get()), line->Serial());
            EXPECT_EQ(e.Groups > 0, want.Groups > 0) << length;
            if (want.Groups > 0 && e.Groups > 0) {
                EXPECT_NEAR(e.MinX, want.MinX, 1e-4) << length;
                EXPECT_NEAR(e.MaxX, want.MaxX, 1e-4) << length;
            }
        }
    }
}

TEST_F(DesignItems, AStyleWithoutRepeatedPicturesShowsARedBand) {
    for (bool emptyPicture : {false, true}) {
        TStreetStructure s;
        TDsnLineDef *def = s.LineDefs().Add();
        def->Name = Cp1251String("x");
        def->GetStartBitmap().Assign(TBitmap(4, 4));
        if (emptyPicture)
            def->GetRepeatBitmap();
        s.LineDefs().PublishBatches(s);
        auto *line = MakeAs<TDesignLineItem>(s, DesignLineTypeCode, {{0, 0, 0}, {10, 0, 0}});
        line->SetExtDef(Cp1251String("x"));
        line->SetColor(0xFF00FF00);
        line->UpdateGraphics();
        EXPECT_EQ(def->RepeatBatch()->Color(), 0xFFC00000u);
        const TExtent band = OwnerExtent(PrimCollection(def->RepeatBatch().get()), line->Serial());
        EXPECT_GT(band.Groups, 0);
        EXPECT_NEAR(band.MaxX - band.MinX, 10, 1e-4);
        EXPECT_EQ(OwnerExtent(PrimCollection(def->StartBatch().get()), line->Serial()).Groups, 0);
        // Drawing made no picture.
        EXPECT_FALSE(def->HasFinishBitmap());
        EXPECT_EQ(def->HasRepeatBitmap(), emptyPicture);
    }
}

TEST_F(DesignItems, DisplacedLinesAreHitOnTheirCentreLine) {
    auto *line = MakeAs<TDesignLineItem>(S, DesignLineTypeCode, {{0, 0, 0}, {10, 0, 0}});
    line->SetDisp(0.5f);
    struct TCase {
        TXYZ Point;
        bool Hit;
    };
    const TCase cases[] = {
        {{5, -0.5f, 0}, true}, {{5, 0, 0}, false}, {{0, 0, 0}, false}, {{10.2f, -0.5f, 0}, false}, {{5, 0.5f, 0}, false}};
    for (const TCase &c : cases) {
        double d = 0;
        EXPECT_EQ(line->HitTest(c.Point, d, 0.25), c.Hit) << c.Point.x << " " << c.Point.y;
    }
    // The street's pick finds it there too, however far the band lies from its vertices.
    line->SetDisp(5);
    EXPECT_EQ(S.FindNearestItem({5, -5, 0}, TItemTypeSet{DesignLineTypeCode}, 0.25), line);
    line->SetDisp(0.5f);

    // The geometry is brought up to date first: a moved vertex is hit where it now is, drawn or not.
    line->Points.SetPoint(1, {10, 10, 0});
    double d = 0;
    const float side = 0.5f / std::sqrt(2.0f);
    EXPECT_TRUE(line->HitTest({5 + side, 5 - side, 0}, d, 0.25));
    EXPECT_NEAR(d, 0, 1e-4);
}

TEST_F(DesignItems, TilesFollowTheAxisWithTheirPeriods) {
    TDsnFigDef def;
    const double quarter = std::numbers::pi / 2;
    struct TCase {
        const char *What;
        float PeriodX, PeriodY;
        double Angle;
        TXYZ From, To;
        float DU, DV;
    };
    const TCase cases[] = {
        {"along a turned axis", 2, 0.5f, quarter, {0, 0, 0}, {0, 2, 0}, 1, 0},
        {"across a turned axis", 2, 0.5f, quarter, {0, 0, 0}, {-0.5f, 0, 0}, 0, -1},
        {"along the plan's x without an axis", 2, 0.5f, 0, {0, 0, 0}, {2, 0, 0}, 1, 0},
        {"across the plan's x", 2, 0.5f, 0, {0, 0, 0}, {0, 0.5f, 0}, 0, -1},
        {"PeriodX 0 tiles with 1 m", 0, 1, 0, {0, 0, 0}, {1, 0, 0}, 1, 0},
        {"PeriodY 0 tiles with 1 m, not mirrored", 1, 0, 0, {0, 0, 0}, {0, 1, 0}, 0, -1},
    };
    for (const TCase &c : cases) {
        def.PeriodX = c.PeriodX;
        def.PeriodY = c.PeriodY;
        const TFigureTiling t(def, {0.3f, 0.3f, 0}, c.Angle);
        float u0, v0, u1, v1;
        t.UV(c.From, u0, v0);
        t.UV(c.To, u1, v1);
        EXPECT_NEAR(u1 - u0, c.DU, 1e-5) << c.What;
        EXPECT_NEAR(v1 - v0, c.DV, 1e-5) << c.What;
    }

    // The origin snaps to multiples of 1 / PeriodX near vertex 0: small moves keep it, larger ones move it
    // by 0.5 m with PeriodX 2.
    def.PeriodX = 2;
    def.PeriodY = 1;
    EXPECT_DOUBLE_EQ(TFigureTiling(def, {3.1f, 0.2f, 0}).OriginX, 3.0);
    EXPECT_DOUBLE_EQ(TFigureTiling(def, {3.4f, 0.7f, 0}).OriginX, 3.0);
    EXPECT_DOUBLE_EQ(TFigureTiling(def, {3.6f, 0.7f, 0}).OriginX, 3.5);
    EXPECT_DOUBLE_EQ(TFigureTiling(def, {3.4f, 0.7f, 0}).OriginY, 0.0);
    EXPECT_DOUBLE_EQ(TFigureTiling(def, {-3.6f, 0, 0}).OriginX, -3.5);
}

TEST_F(DesignItems, FiguresFillInTheirStylesBatch) {
    auto s = LoadBytes(DesignStreet().Bytes());
    auto *plain = dynamic_cast<TDesignFigureItem *>(s->Lists(DesignFigureTypeCode).FindById(1));
    auto *tiled = dynamic_cast<TDesignFigureItem *>(s->Lists(DesignFigureTypeCode).FindById(2));
    auto *unknown = dynamic_cast<TDesignFigureItem *>(s->Lists(DesignFigureTypeCode).FindById(3));
    ASSERT_TRUE(plain && tiled && unknown);
    // A second figure of the style in another colour, along an axis turned by 90 degrees.
    auto *axis = MakeItem(*s, TestAxis, {{50, 0, 0}, {50, 10, 0}});
    auto *other = MakeAs<TDesignFigureItem>(*s, DesignFigureTypeCode, {{40, 0, 0}, {44, 0, 0}, {44, 4, 0}});
    other->SetStyleName(Cp("плитка"));
    other->SetFillColor(0xFF0000FF);
    other->SetReferAxis(axis);
    s->UpdateGraphics(FullTypeSet());

    ASSERT_EQ(s->TypeBatches(DesignFigureTypeCode).size(), 2u);
    TDxPrimCollection *batch0 = TypePrimCollection(*s, DesignFigureTypeCode, 0);
    TDxPrimCollection *batch1 = TypePrimCollection(*s, DesignFigureTypeCode, 1);
    EXPECT_GT(OwnerExtent(batch0, plain->Serial()).Groups, 0);
    EXPECT_GT(OwnerExtent(batch0, unknown->Serial()).Groups, 0);
    EXPECT_EQ(OwnerExtent(batch1, plain->Serial()).Groups, 0);
    EXPECT_EQ(OwnerExtent(batch0, tiled->Serial()).Groups, 0);

    const TFigureTiling turned(*s->FigDefs().Items(0), {40, 0, 0}, std::numbers::pi / 2);
    int seen = 0;
    for (std::size_t i = 0; i < batch1->Count(); ++i) {
        const TDxPrimGroup g = batch1->Group(i);
        if (g.Deleted)
            continue;
        for (const TDxVertex &v : g.Vertices) {
            if (g.Owner == tiled->Serial()) {
                EXPECT_EQ(v.color, 0xFF102030u);
            } else if (g.Owner == other->Serial()) {
                ++seen;
                EXPECT_EQ(v.color, 0xFF0000FFu);
                float u, w;
                turned.UV({v.x, v.y, 0}, u, w);
                EXPECT_NEAR(v.u, u, 1e-5);
                EXPECT_NEAR(v.v, w, 1e-5);
            }
        }
    }
    EXPECT_EQ(seen, 3);

    // A style the published batches do not reach yet fills plainly.
    s->FigDefs().Add()->Name = Cp1251String("new");
    other->SetStyleName(Cp1251String("new"));
    other->UpdateGraphics();
    EXPECT_GT(OwnerExtent(batch0, other->Serial()).Groups, 0);
    EXPECT_EQ(OwnerExtent(batch1, other->Serial()).Groups, 0);
}

TEST_F(DesignItems, BuiltInBatchesAreMadeBesidePublishedOnes) {
    StreetFile f = DesignStreet();
    auto s = LoadBytes(f.Bytes());
    const TItemBatches &lines = s->TypeBatches(DesignLineTypeCode);
    ASSERT_EQ(lines.size(), 7u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(lines[i]) << i;
    EXPECT_EQ(lines[0]->Kind(), TBatchKind::Lines);
    EXPECT_EQ(lines[5], s->LineDefs().Items(0)->RepeatBatch());
    const TItemBatches &figs = s->TypeBatches(DesignFigureTypeCode);
    ASSERT_EQ(figs.size(), 2u);
    EXPECT_TRUE(figs[0]);
    EXPECT_EQ(figs[1], s->FigDefs().Items(0)->Batch());
}

TEST_F(DesignItems, BlockCornersPutTheAnchorOnTheVertex) {
    TDsnBlockDef def;
    def.Bitmap.Assign(TBitmap(8, 4));
    def.Width = 2;
    def.Height = 1;
    struct TCase {
        int32_t AnchorX, AnchorY;
        float X0, Y0; // the lower-left corner
    };
    const TCase cases[] = {{0, 4, 0, 0}, {0, 0, 0, -1}, {4, 2, -1, -0.5f}, {8, 4, -2, 0}};
    for (const TCase &c : cases) {
        def.AnchorX = c.AnchorX;
        def.AnchorY = c.AnchorY;
        TBlockCorner k[6];
        ASSERT_TRUE(BlockCorners(def, k));
        EXPECT_FLOAT_EQ(k[0].X, c.X0) << c.AnchorX << "," << c.AnchorY;
        EXPECT_FLOAT_EQ(k[0].Y, c.Y0) << c.AnchorX << "," << c.AnchorY;
        EXPECT_FLOAT_EQ(k[2].X - k[0].X, 2);
        EXPECT_FLOAT_EQ(k[2].Y - k[0].Y, 1);
        // The picture's top row (v 0) at the top, its left column (u 0) on the left.
        EXPECT_EQ(k[0].U, 0);
        EXPECT_EQ(k[0].V, 1);
        EXPECT_EQ(k[2].U, 1);
        EXPECT_EQ(k[2].V, 0);
    }
    def.Bitmap.Assign(TBitmap());
    TBlockCorner k[6];
    EXPECT_FALSE(BlockCorners(def, k));
}

TEST_F(DesignItems, BlocksDrawTurnedAtEveryVertex) {
    auto *axis = MakeItem(S, TestAxis, {{0, 0, 0}, {0, 10, 0}});
    auto *block = MakeAs<TDesignBlockItem>(S, DesignBlockTypeCode, {{3, 4, 0}, {6, 4, 0}});
    block->SetBlockName(Cp("нет такого"));
    block->SetColor(0xFF000000);
    block->SetAxis(axis);
    EXPECT_EQ(&block->GetBlockDef(), &DefaultDesignBlock());
    ASSERT_FALSE(DefaultDesignBlock().Bitmap.Bitmap().Empty()) << "the default block's picture";

    auto device = std::make_shared<TRecordingDevice>(64, 64);
    TSurfaceRenderer r(device);
    r.BeginDraw();
    block->Draw({&r, {0, 0, 0}, 100}, 1);
    r.EndDraw();
    std::vector<TXYZ> origins;
    for (const TRecordedDraw &d : device->Draws()) {
        ASSERT_EQ(d.Type, D3DPT_TRIANGLELIST);
        ASSERT_EQ(d.VertexCount, 6u);
        EXPECT_TRUE(d.State.Texture);
        EXPECT_EQ(d.State.MinFilter, D3DTEXF_ANISOTROPIC);
        const std::vector<TRecordedVertex> v = d.Vertices();
        // The default block, 1.5 x 3 m.
        EXPECT_NEAR(v[2].X - v[0].X, 1.5, 1e-5);
        EXPECT_NEAR(v[2].Y - v[0].Y, 3.0, 1e-5);
        EXPECT_EQ(v[0].Color, 0xFF000000u);
        // Turned with the axis: the block's x runs along the axis (+y of the plan).
        TDxMatrix world;
        std::memcpy(world.m, d.State.World.m, sizeof world.m);
        const TXYZ o = TransformVector(world, {0, 0, 0}), x = TransformVector(world, {1, 0, 0});
        EXPECT_NEAR(x.x - o.x, 0, 1e-5);
        EXPECT_NEAR(x.y - o.y, 1, 1e-5);
        origins.push_back(o);
    }
    ASSERT_EQ(origins.size(), 2u);
    EXPECT_NEAR(origins[0].x, 3, 1e-5);
    EXPECT_NEAR(origins[1].x, 6, 1e-5);

    // Out of view, or smaller than a pixel: nothing.
    const auto drawsWith = [&](TXYZ center, float width) {
        TDsnBlockDef *def = S.BlockDefs().Add();
        def->Name = Cp("мал");
        def->Width = def->Height = width;
        block->SetBlockName(def->Name);
        device->ClearRecord();
        r.BeginDraw();
        block->Draw({&r, center, 1}, 1);
        r.EndDraw();
        S.BlockDefs().Delete(S.BlockDefs().IndexOfName(def->Name));
        return device->Draws().size();
    };
    EXPECT_EQ(drawsWith({3, 4, 0}, 1), 2u);
    EXPECT_EQ(drawsWith({30, 40, 0}, 1), 0u);
    EXPECT_EQ(drawsWith({3, 4, 0}, r.PixelSize() / 4), 0u);
}

TEST_F(DesignItems, BlocksFindThePolygonTheyStandIn) {
    auto *block = MakeAs<TDesignBlockItem>(S, DesignBlockTypeCode, {{5, 5, 0}});
    EXPECT_EQ(block->FindContainingPolygon(), nullptr);
    auto *figure =
        MakeAs<TDesignFigureItem>(S, DesignFigureTypeCode, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
    figure->Active = false;
    EXPECT_EQ(block->FindContainingPolygon(), figure);
    auto *lawn = MakeAs<TGazonItem>(S, GazonTypeCode, {{4, 4, 0}, {6, 4, 0}, {6, 6, 0}});
    EXPECT_EQ(block->FindContainingPolygon(), lawn) << "the lower type code first";
    double d = 0;
    EXPECT_TRUE(block->HitTest({5.3f, 5.4f, 0}, d, 1));
    EXPECT_NEAR(d, 0.5, 1e-6);
    EXPECT_FALSE(block->HitTest({5.3f, 5.4f, 0}, d, 0.5));
}

TEST_F(DesignItems, ItemsNameTheStylesTheyUse) {
    auto s = LoadBytes(DesignStreet().Bytes());
    TUsedNames used;
    for (int code : {DesignFigureTypeCode, DesignLineTypeCode, DesignBlockTypeCode})
        for (const auto &item : s->Lists(code))
            item->GetUsedNames(used);
    EXPECT_TRUE(used.BlockDefs.contains(Cp("Куст")));
    EXPECT_TRUE(used.LineDefs.contains(Cp("бордюр")));
    EXPECT_TRUE(used.FigDefs.contains(Cp("плитка")));
    EXPECT_FALSE(used.BlockDefs.contains(Cp1251String()));
}

} // namespace
