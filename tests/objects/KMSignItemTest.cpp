// Kilometre signs: their records, the value cache, and what a draw puts on a recording device: the zoom
// step that thins them, the plate scale, the turn to the reference axis, one plate or two, and nothing
// outside the view.
#include "ObjectsTestUtil.h"

#include "engine/DrawProblems.h"
#include "engine/DxRenderer.h"
#include "engine/FontsDataForm.h"
#include "model/ItemLayers.h"
#include "objects/AxisItem.h"
#include "objects/KMSignItem.h"
#include "platform/d3d9/RecordingDevice.h"

#include <cmath>
#include <numbers>

using namespace objtest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

class KMSigns : public TWithClasses {
protected:
    TStreetStructure S;

    TKMSignItem *Sign(float x, float y, int32_t a, int32_t b) {
        auto *k = MakeAs<TKMSignItem>(S, KMSignTypeCode, {{x, y, 0}});
        k->SetKmA(a);
        k->SetKmB(b);
        return k;
    }
};

ItemRec SignRec(int32_t id, int32_t point, int32_t a, int32_t b, const char *status) {
    ItemRec r = Rec("KMSIGN", id, {point});
    r.Extra.Tag("KMNUMBER").I32(a).I32(b);
    if (status)
        r.Extra.Tag("KMSTATUS").Str(W(status));
    return r;
}

TEST_F(KMSigns, RecordsWriteBackAndReadTheirFields) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}};
    f.Lists = {{"KMSIGN", {SignRec(1, 1, 12, 13, "снят"), SignRec(2, 2, -1, 7, nullptr)}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
    EXPECT_FALSE(s->Modified());
    EXPECT_EQ(SaveBytes(*s), bytes);
    auto *a = dynamic_cast<TKMSignItem *>(s->Lists(KMSignTypeCode).FindById(1));
    auto *b = dynamic_cast<TKMSignItem *>(s->Lists(KMSignTypeCode).FindById(2));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->KmA(), 12);
    EXPECT_EQ(a->KmB(), 13);
    EXPECT_EQ(a->Status(), Cp("снят"));
    EXPECT_EQ(b->KmA(), -1);
    EXPECT_TRUE(b->Status().Empty());

    // A record without the numbers reads 0 and 0 and is written with them.
    StreetFile bare = f;
    bare.Lists = {{"KMSIGN", {Rec("KMSIGN", 1, {1})}}};
    StreetFile expected = f;
    expected.Lists = {{"KMSIGN", {SignRec(1, 1, 0, 0, nullptr)}}};
    EXPECT_EQ(SaveBytes(*LoadBytes(bare.Bytes())), expected.Bytes());
}

TEST_F(KMSigns, TheValueCacheGoesWithEveryChangeOfTheVertex) {
    TKMSignItem *k = Sign(5, 5, 1, 2);
    EXPECT_TRUE(std::isnan(k->CachedValue()));
    k->SetCachedValue(42);
    EXPECT_EQ(k->CachedValue(), 42);
    k->Points.SetPoint(0, {6, 5, 0});
    EXPECT_TRUE(std::isnan(k->CachedValue()));

    // Through a line sharing the vertex, twice before anything is drawn.
    TAbstractItem *line = MakeItemOn(S, TestLine, {k->Points.PointRec(0)});
    line->Points.InsertNewPoint(1, {20, 20, 0});
    k->SetCachedValue(7);
    line->Points.SetPoint(0, {7, 5, 0});
    EXPECT_TRUE(std::isnan(k->CachedValue()));
    k->SetCachedValue(8);
    line->Points.SetPoint(0, {8, 5, 0});
    EXPECT_TRUE(std::isnan(k->CachedValue()));
}

TEST(KMSignZoom, StepsByPixelSize) {
    const struct {
        float PixelSize;
        int32_t Step;
    } cases[] = {{0.01f, 1}, {10, 1},   {10.5f, 2}, {20, 2},     {45, 5},
                 {100, 10},  {150, 20}, {500, 50},  {1000, 100}, {5000, 100}};
    for (const auto &c : cases)
        EXPECT_EQ(TKMSignItem::ZoomStep(c.PixelSize), c.Step) << c.PixelSize;
}

TEST_F(KMSigns, ThinningByTheFirstNumberOrElseTheSecond) {
    const struct {
        int32_t A, B;
        std::vector<int32_t> Shown; // of 1, 2, 5, 10, 20, 50, 100
    } cases[] = {
        {7, 8, {1}},
        {10, 3, {1, 2, 5, 10}},
        {0, 0, {1, 2, 5, 10, 20, 50, 100}},
        {-1, 20, {1, 2, 5, 10, 20}}, // thinned by its second number
        {-1, -1, {}},
        {100, -1, {1, 2, 5, 10, 20, 50, 100}},
    };
    for (const auto &c : cases) {
        TKMSignItem *k = Sign(0, 0, c.A, c.B);
        std::vector<int32_t> shown;
        for (int32_t step : {1, 2, 5, 10, 20, 50, 100})
            if (k->VisibleAtStep(step))
                shown.push_back(step);
        EXPECT_EQ(shown, c.Shown) << c.A << " " << c.B;
    }
}

TEST_F(KMSigns, PlateScaleFromTheStreetsOptions) {
    TKMSignItem *k = Sign(0, 0, 1, 2);
    EXPECT_FLOAT_EQ(k->PlateScale(0.5f), 6.0f); // 12 pixels
    S.SetStrOption(Cp("KMSignScaled"), Cp("1"));
    EXPECT_FLOAT_EQ(k->PlateScale(0.5f), 1.0f); // no "ZnakScale"
    S.SetStrOption(Cp("ZnakScale"), Cp("150"));
    EXPECT_FLOAT_EQ(k->PlateScale(0.5f), 1.5f);
    S.SetStrOption(Cp("KMSignScaled"), Cp("0"));
    EXPECT_FLOAT_EQ(k->PlateScale(2), 24.0f);
}

// A 200 x 200 recording target, one plan unit a pixel around (0, 0).
struct TRig {
    std::shared_ptr<TRecordingDevice> Device = std::make_shared<TRecordingDevice>(200, 200);
    TDisplayRenderer Renderer{Device};
    TDxDrawParams Params;

    explicit TRig(float pixelsPerUnit = 1) {
        Renderer.BeginDraw();
        Renderer.Projection().Scale(true, 2 * pixelsPerUnit / 200, 2 * pixelsPerUnit / 200, 1);
        Params.Renderer = &Renderer;
        Params.ViewRadius = 100 / pixelsPerUnit;
        Device->ClearRecord();
    }
    int Strips() const {
        int n = 0;
        for (const TRecordedDraw &d : Device->Draws())
            n += d.Type == D3DPT_TRIANGLESTRIP;
        return n;
    }
};

TEST_F(KMSigns, DrawsOnePlateOrTwoTurnedToTheAxisAndOnlyInView) {
    const struct {
        const char *Name;
        TXYZ At;
        int32_t A, B;
        float PixelsPerUnit;
        int Plates;
    } cases[] = {
        {"both plates", {1, 1, 0}, 3, 4, 1, 2},
        {"no second number", {1, 1, 0}, 3, -1, 1, 1},
        {"no first number", {1, 1, 0}, -1, 4, 1, 1},
        {"outside the view radius", {150, 0, 0}, 3, 4, 1, 0},
        {"km 7 at zoom step 2", {1, 1, 0}, 7, 8, 0.05f, 0}, // 20 m a pixel
        {"km 10 at zoom step 2", {1, 1, 0}, 10, 8, 0.05f, 2},
    };
    for (const auto &c : cases) {
        TKMSignItem *k = Sign(c.At.x, c.At.y, c.A, c.B);
        TRig rig(c.PixelsPerUnit);
        k->Draw(rig.Params, PlanLayerMask);
        EXPECT_EQ(rig.Strips(), c.Plates) << c.Name;
        EXPECT_EQ(rig.Renderer.World().StackTop(), -1) << c.Name;
        S.DeleteItems(std::vector<TAbstractItem *>{k});
    }

    // Turned to the reference axis: the plates' World carries the axis direction and 12 pixels a unit.
    auto *axis = MakeAs<TAxisItem>(S, AxisTypeCode, {{-50, -50, 0}, {50, 50, 0}});
    TKMSignItem *k = Sign(10, 0, 1, 2);
    k->SetReferAxis(axis);
    EXPECT_NEAR(k->Direction(), std::numbers::pi / 4, 1e-6);
    TRig rig;
    k->Draw(rig.Params, PlanLayerMask);
    ASSERT_EQ(rig.Strips(), 2);
    const TRecordedDraw &first = rig.Device->Draws().front();
    const D3DMATRIX &w = first.State.World;
    const float s = 12 * rig.Renderer.PixelSize();
    EXPECT_NEAR(w.m[0][0], s * std::cos(std::numbers::pi / 4), 1e-4);
    EXPECT_NEAR(w.m[0][1], s * std::sin(std::numbers::pi / 4), 1e-4);
    // The first plate 2.1 units back along the axis from the vertex.
    EXPECT_NEAR(w.m[3][0], 10 - 2.1 * s * std::cos(std::numbers::pi / 4), 1e-3);
    EXPECT_NEAR(w.m[3][1], 0 - 2.1 * s * std::sin(std::numbers::pi / 4), 1e-3);
    // Eight vertices: the middle two columns share u = 0.5.
    const std::vector<TRecordedVertex> v = first.Vertices();
    ASSERT_EQ(v.size(), 8u);
    EXPECT_EQ(v[2].U, 0.5f);
    EXPECT_EQ(v[5].U, 0.5f);
    EXPECT_EQ(v[7].X, 2.0f);
}

TEST_F(KMSigns, NumbersDrawnWithTheRoadFontWhenTheFontsObjectExists) {
    TFontsDataForm fonts;
    TKMSignItem *k = Sign(0, 0, 12, -1);
    TRig rig;
    k->Draw(rig.Params, PlanLayerMask);
    int lines = 0, triangles = 0;
    for (const TRecordedDraw &d : rig.Device->Draws()) {
        lines += d.Type == D3DPT_LINELIST;
        triangles += d.Type == D3DPT_TRIANGLELIST;
        if (d.Type == D3DPT_TRIANGLELIST) {
            EXPECT_EQ(d.Vertices()[0].Color, 0xFFFFFFFFu); // white
            EXPECT_EQ(d.State.Texture, nullptr);
        }
    }
    EXPECT_EQ(lines, 1);     // outline
    EXPECT_EQ(triangles, 1); // fill
    ASSERT_FALSE(fonts.DxFonts().empty());
    EXPECT_EQ(fonts.DxFonts().back()->FamilyName(), "DejaVu Sans Condensed");
}

TEST_F(KMSigns, AMissingPlatePictureIsReportedOnceAndThePlateStillDrawn) {
    {
        sptest::TempDir empty;
        sptest::DataFilesAt at(empty.Path());
        TKMSignItem::ResetPlateTexture();
        ClearDrawProblems();
        TKMSignItem *k = Sign(0, 0, 1, 2);
        for (int i = 0; i < 2; ++i) {
            TRig rig;
            EXPECT_NO_THROW(k->Draw(rig.Params, PlanLayerMask));
            EXPECT_EQ(rig.Strips(), 2);
            EXPECT_EQ(rig.Device->Draws().front().State.Texture, nullptr);
        }
        EXPECT_EQ(DrawProblems().size(), 1u);
    }
    TKMSignItem::ResetPlateTexture();
    ASSERT_NE(TKMSignItem::PlateTexture(), nullptr); // the real picture reads
    EXPECT_EQ(TKMSignItem::PlateTexture()->Width(), 32);
}

} // namespace
