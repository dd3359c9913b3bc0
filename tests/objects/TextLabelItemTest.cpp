// Text labels: the record with its seven tags written back byte for byte (a record without the font tag
// takes "Arial", an alignment byte above 8 reads as 6), the frame of the nine alignments, the switch from
// glyphs to the frame at 20 font units a pixel, the view-radius test, and the corner points as the
// metre frame moved, turned and then viewed.
#include "ObjectsTestUtil.h"

#include "engine/DxFont.h"
#include "engine/DxRenderer.h"
#include "engine/FontsDataForm.h"
#include "engine/MatrixShell.h"
#include "model/ItemLayers.h"
#include "objects/TextLabelItem.h"
#include "platform/d3d9/RecordingDevice.h"

#include <cmath>
#include <numbers>

using namespace objtest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

struct TLabelFields {
    const char *Text = "Водоканал";
    int32_t Size = 24;
    uint32_t Color = 0xFF1020C0u;
    const char *Font = "Arial"; // nullptr: no tag
    uint8_t Style = FontStyleBold | FontStyleItalic, Align = 4, Outline = 1;
};

ItemRec Label(int32_t id, std::vector<int32_t> points, const TLabelFields &f) {
    ItemRec r = Rec("TXTLABEL", id, std::move(points));
    r.Extra.Tag("TXTLTEXT").Str(W(f.Text)).Tag("TXTLSIZE").I32(f.Size).Tag("TXTLCOLR").U32(f.Color);
    if (f.Font)
        r.Extra.Tag("TXTLFONT").Str(f.Font);
    r.Extra.Tag("TXTLSTYL").U8(f.Style).Tag("TXTLALGN").U8(f.Align).Tag("TXTLOUTL").U8(f.Outline);
    return r;
}

class TextLabels : public TWithClasses {
protected:
    TTextLabelItem *Make(std::initializer_list<TXYZ> points) {
        return MakeAs<TTextLabelItem>(S_, TextLabelTypeCode, points);
    }
    TStreetStructure S_;
};

TEST_F(TextLabels, RecordsWriteBackAndMissingFontReadsAsArial) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 5, 5}, {2, 8, 5}, {3, 9, 9}};
    TLabelFields courier;
    courier.Font = "Liberation Mono";
    courier.Outline = 0;
    f.Lists = {{"TXTLABEL", {Label(1, {1, 2}, TLabelFields{}), Label(2, {3}, courier)}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    auto s = LoadBytes(bytes);
    EXPECT_EQ(SaveBytes(*s), bytes);
    auto *l = dynamic_cast<TTextLabelItem *>(s->Lists(TextLabelTypeCode).FindById(1));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->Text(), Cp("Водоканал"));
    EXPECT_EQ(l->Size(), 24);
    EXPECT_EQ(l->Color(), 0xFF1020C0u);
    EXPECT_EQ(l->Style(), FontStyleBold | FontStyleItalic);
    EXPECT_EQ(l->Align(), 4);
    EXPECT_TRUE(l->Outline());

    // Without "TXTLFONT" (the style tags present): "Arial". An alignment byte of 200 reads as 6.
    TLabelFields noFont, odd;
    noFont.Font = nullptr;
    odd.Align = 200;
    StreetFile normalising = f;
    normalising.Lists = {{"TXTLABEL", {Label(1, {1, 2}, noFont), Label(2, {3}, odd)}}};
    auto n = LoadBytes(normalising.Bytes());
    TLabelFields arial, six;
    six.Align = 6;
    StreetFile expected = f;
    expected.Lists = {{"TXTLABEL", {Label(1, {1, 2}, arial), Label(2, {3}, six)}}};
    EXPECT_EQ(SaveBytes(*n), expected.Bytes());

    // A fresh label: "Надпись", 12, (5,5,5), Arial, bottom-left, filled.
    TTextLabelItem *fresh = Make({{0, 0, 0}});
    EXPECT_EQ(fresh->Text(), Cp("Надпись"));
    EXPECT_EQ(fresh->Size(), 12);
    EXPECT_EQ(fresh->Color(), MakeD3DColor(5, 5, 5, 255));
    EXPECT_EQ(fresh->FontName(), Cp1251String("Arial"));
    EXPECT_EQ(fresh->Align(), 6);
    EXPECT_FALSE(fresh->Outline());
}

TEST_F(TextLabels, FrameOfTheNineAlignments) {
    // 4 m wide, size 16 (1 m high).
    const struct {
        uint8_t Align;
        double X0, Y0;
    } cases[] = {{0, 0, -1},  {1, -2, -1},   {2, -4, -1}, {3, 0, -0.5}, {4, -2, -0.5},
                 {5, -4, -0.5}, {6, 0, 0}, {7, -2, 0}, {8, -4, 0}, {200, 0, 0}};
    for (const auto &c : cases) {
        const TTextFrame f = TTextLabelItem::FrameOfWidth(4, 16, c.Align);
        EXPECT_DOUBLE_EQ(f.X0, c.X0) << int(c.Align);
        EXPECT_DOUBLE_EQ(f.Y0, c.Y0) << int(c.Align);
        EXPECT_DOUBLE_EQ(f.X1, c.X0 + 4) << int(c.Align);
        EXPECT_DOUBLE_EQ(f.Y1, c.Y0 + 1) << int(c.Align);
    }
    // The width from the font: its advances times size / 15.625 / 100.
    TFontsDataForm fonts;
    TTextLabelItem *l = Make({{0, 0, 0}});
    l->SetText(Cp("Колодец"));
    TDxFont *font = fonts.GetDxFont("Arial", 0);
    ASSERT_TRUE(font);
    const TTextFrame f = l->GetTextFrame();
    EXPECT_NEAR(f.X1 - f.X0, font->TextWidth(Cp("Колодец")) * 12 / 15.625 / 100, 1e-9);
    EXPECT_DOUBLE_EQ(f.Y1 - f.Y0, 0.75);
}

// A 200 x 200 recording target around (0, 0), pixelsPerUnit pixels a metre.
struct TRig {
    std::shared_ptr<TRecordingDevice> Device = std::make_shared<TRecordingDevice>(200, 200);
    TDisplayRenderer Renderer{Device};
    TDxDrawParams Params;

    explicit TRig(float pixelsPerUnit) {
        Renderer.BeginDraw();
        Renderer.Projection().Scale(true, 2 * pixelsPerUnit / 200, 2 * pixelsPerUnit / 200, 1);
        Params.Renderer = &Renderer;
        Params.ViewRadius = 100 / pixelsPerUnit;
        Device->ClearRecord();
    }
    int Count(D3DPRIMITIVETYPE type) const {
        int n = 0;
        for (const TRecordedDraw &d : Device->Draws())
            n += d.Type == type;
        return n;
    }
};

TEST_F(TextLabels, GlyphsUnderTwentyFontUnitsAPixelAndTheFrameFromThere) {
    TFontsDataForm fonts;
    TTextLabelItem *l = Make({{1, 1, 0}, {1, 3, 0}});
    l->SetSize(16);
    l->SetColor(0xFF2040A0u);
    const double u = 16.0 / 100 / 15.625; // metres per font unit
    const struct {
        const char *Name;
        double UnitsPerPixel;
        bool Outline;
        int Triangles, LineLists, Strips;
    } cases[] = {
        {"filled glyphs", 19.5, false, 1, 0, 0},
        {"outlined glyphs", 19.5, true, 0, 1, 0},
        {"the frame", 20.5, false, 0, 0, 1},
        {"the frame of an outlined label", 40, true, 0, 0, 1},
    };
    for (const auto &c : cases) {
        l->SetOutline(c.Outline);
        TRig rig(float(1 / (c.UnitsPerPixel * u)));
        l->Draw(rig.Params, PlanLayerMask);
        EXPECT_EQ(rig.Count(D3DPT_TRIANGLELIST), c.Triangles) << c.Name;
        EXPECT_EQ(rig.Count(D3DPT_LINELIST), c.LineLists) << c.Name;
        EXPECT_EQ(rig.Count(D3DPT_LINESTRIP), c.Strips) << c.Name;
        EXPECT_EQ(rig.Renderer.World().StackTop(), -1) << c.Name;
        for (const TRecordedDraw &d : rig.Device->Draws())
            EXPECT_EQ(d.Vertices().front().Color, 0xFF2040A0u) << c.Name;
        if (c.Strips == 1) {
            // The frame turned to the label's direction (+y): its baseline runs up the plan.
            const TRecordedDraw &d = rig.Device->Draws().front();
            ASSERT_EQ(d.VertexCount, 5u);
            const D3DMATRIX &m = d.State.World;
            const std::vector<TRecordedVertex> v = d.Vertices();
            const auto world = [&](const TRecordedVertex &p) {
                return TXYZ{p.X * m.m[0][0] + p.Y * m.m[1][0] + m.m[3][0], p.X * m.m[0][1] + p.Y * m.m[1][1] + m.m[3][1],
                            0};
            };
            const TXYZ a = world(v[0]), b = world(v[1]);
            EXPECT_NEAR(a.x, 1, 1e-5) << c.Name;
            EXPECT_NEAR(a.y, 1, 1e-5) << c.Name;
            EXPECT_NEAR(b.x, 1, 1e-4) << c.Name;
            EXPECT_NEAR(b.y - a.y, l->GetTextFrame().X1, 1e-4) << c.Name;
        }
    }
}

TEST_F(TextLabels, DrawnWhileTheTextReachesIntoTheView) {
    TFontsDataForm fonts;
    TTextLabelItem *l = Make({{0, 0, 0}});
    l->SetSize(160); // 10 m high
    const double w = l->GetTextFrame().X1;
    ASSERT_GT(w, 5);
    for (const auto &[x, drawn] : {std::pair{100 + w - 1, true}, {100 + w + 1, false}}) {
        l->Points.SetPoint(0, {float(x), 0, 0});
        TRig rig(1); // view radius 100
        l->Draw(rig.Params, PlanLayerMask);
        EXPECT_EQ(!rig.Device->Draws().empty(), drawn) << x;
    }
}

TEST_F(TextLabels, CornerPointsAreTheMetreFrameMovedTurnedAndViewed) {
    TFontsDataForm fonts;
    TTextLabelItem *l = Make({{10, 20, 0}, {10, 25, 0}}); // pointing +y
    l->SetSize(16);
    l->SetAlign(0);
    const TTextFrame f = l->GetTextFrame();
    TMatrixShell view;
    view.Scale(true, 2, 2, 1);
    view.Translate(true, 100, -50, 0);
    TXYZArray points;
    l->GetTransformedPoints(view, points);
    ASSERT_EQ(points.size(), 4u);
    // Turned by 90 degrees: x along the text goes up the plan, y across it goes to -x.
    const double corners[4][2] = {{f.X0, f.Y0}, {f.X1, f.Y0}, {f.X1, f.Y1}, {f.X0, f.Y1}};
    for (int i = 0; i < 4; ++i) {
        const double px = 10 - corners[i][1], py = 20 + corners[i][0];
        EXPECT_NEAR(points[std::size_t(i)].x, 2 * px + 100, 1e-3) << i;
        EXPECT_NEAR(points[std::size_t(i)].y, 2 * py - 50, 1e-3) << i;
    }
    // The box is the label's size in metres (1 m high at size 16), never a fraction of it.
    EXPECT_NEAR(std::hypot(points[3].x - points[0].x, points[3].y - points[0].y), 2 * 1.0, 1e-3);
}

} // namespace
