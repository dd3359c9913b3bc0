// Sign plates drawn off-screen: what lies under a plate shows through its colour key, a picture turns
// with its rotation and with the column it hangs in, a missing picture shows the missing sign, and zoomed
// out a plate is a plain rectangle.
#include "engine/Directory.h"
#include "engine/DxRenderer.h"
#include "engine/Streams.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/PointStructure.h"
#include "model/StreetStructure.h"
#include "objects/EmfTexture.h"
#include "objects/MetafileLib.h"
#include "objects/RegisterObjects.h"
#include "objects/RoadSignItem.h"
#include "objects/ZnakItem.h"
#include "platform/gdi/Bitmap.h"

#include <uemf.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr int W = 200, H = 200;
constexpr uint32_t Background = 0x204060;

// 100 x 100 pixels (96 per inch): blue, with a red top-left quarter.
std::vector<uint8_t> AsymmetricEmf() {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "signs-gl-test.emf";
    EMFTRACK *et = nullptr;
    EMFHANDLES *eht = nullptr;
    emf_start(file.string().c_str(), 4096, 4096, &et);
    emf_htable_create(32, 32, &eht);
    const auto add = [&](char *rec) { emf_append(reinterpret_cast<PU_ENHMETARECORD>(rec), et, U_REC_FREE); };
    add(U_EMRHEADER_set(rectl_set(point32_set(0, 0), point32_set(99, 99)),
                        rectl_set(point32_set(0, 0), point32_set(2646, 2646)), nullptr, 0, nullptr,
                        sizel_set(960, 960), sizel_set(254, 254), 0));
    add(selectobject_set(U_NULL_PEN, eht));
    uint32_t blue = 0, red = 0;
    add(createbrushindirect_set(&blue, eht, logbrush_set(U_BS_SOLID, colorref3_set(0, 0, 200), 0)));
    add(selectobject_set(blue, eht));
    add(U_EMRRECTANGLE_set(rectl_set(point32_set(0, 0), point32_set(100, 100))));
    add(createbrushindirect_set(&red, eht, logbrush_set(U_BS_SOLID, colorref3_set(200, 0, 0), 0)));
    add(selectobject_set(red, eht));
    add(U_EMRRECTANGLE_set(rectl_set(point32_set(0, 0), point32_set(50, 50))));
    add(U_EMREOF_set(0, nullptr, et));
    emf_finish(et, eht);
    emf_free(&et);
    emf_htable_free(&eht);
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(file);
    return bytes;
}

// Plan metres around (0, 0) to pixels, `perMetre` pixels a metre, y up on the plan and down on screen.
TDxMatrix PlanToClip(float perMetre) {
    TDxMatrix m{};
    m.m[0][0] = 2.0f * perMetre / W;
    m.m[1][1] = 2.0f * perMetre / H;
    m.m[2][2] = 1;
    m.m[3][2] = 0.5f;
    m.m[3][3] = 1;
    return m;
}

class SignsGL : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterObjects();
        TEMFTexture::FreeCache();
        FreeSignMetafileLibrary();
        TakeSignLibraryNotices();
    }
    void TearDown() override { TEMFTexture::FreeCache(); }

    // Draws the street with the plan's centre at (0, 0); the colour (0xRRGGBB) at plan (x, y).
    void Draw(TStreetStructure &street, float perMetre = 100) {
        TSurfaceRenderer r(W, H);
        r.BeginDraw();
        r.Clear(0xFF000000 | Background, true, false, false);
        r.Projection().SetMatrix(PlanToClip(perMetre));
        street.Draw({&r, {0, 0, 0}, 50}, FullTypeSet(), PlanLayerMask);
        r.EndDraw();
        r.CopyToBitmap(Out);
        PerMetre = perMetre;
    }
    uint32_t At(float x, float y) const {
        return Out.Pixel(int(W / 2 + x * PerMetre), int(H / 2 - y * PerMetre)) & 0xFFFFFF;
    }

    TBitmap Out;
    float PerMetre = 100;
};

TEST_F(SignsGL, TheRoadShowsThroughThePlatesKey) {
    TStreetStructure street;
    TAbstractItem *item = street.Lists(ZnakTypeCode).AddNew();
    for (const TXYZ &p : {TXYZ{0, -3, 0}, TXYZ{0, -1, 0}, TXYZ{0, 0, 0}}) // heading +y
        item->Points.InsertNewPoint(item->Points.Count(), p);
    auto *post = dynamic_cast<TZnakItem *>(item);
    TEmfSubItem *plate = post->AddPlate();
    // The library's "2-4.emf": a triangle, point down, 0.9 m wide and 0.78 m high.
    const TNamedMetafileLib &lib = SignMetafileLibrary();
    const int index = lib.IndexOfName(Cp1251String("2-4.emf"));
    ASSERT_GE(index, 0);
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "signs-gl-2-4.emf";
    lib.GetMetafile(index).SaveToFile(file.string());
    plate->LoadFromFile(file.string());
    std::filesystem::remove(file);
    ASSERT_EQ(plate->LibIndex(), index);
    // Turned so that the picture's x follows the post heading (+y), then back by -90 degrees.
    plate->SetRotation(-90);
    Draw(street);
    EXPECT_EQ(At(0, 0.1f), 0xFFFFFFu) << "inside the triangle";
    EXPECT_EQ(At(-0.4f, -0.35f), Background) << "below the triangle's side: the key";
    EXPECT_EQ(At(0, 0.35f) >> 16, 205u) << "the red rim along the top";
}

TEST_F(SignsGL, APictureTurnsWithItsOrientationAndItsColumn) {
    const std::vector<uint8_t> bytes = AsymmetricEmf();
    const auto sign = [&](TStreetStructure &s, std::initializer_list<TStreetPointRec *> recs) {
        auto *item = dynamic_cast<TRoadSignItem *>(s.Lists(RoadSignTypeCode).AddNew());
        for (TStreetPointRec *r : recs)
            item->Points.Insert(item->Points.Count(), r);
        item->InitNewItem();
        TMemoryStream m(bytes, "asym.emf");
        item->LoadFromMetafileStream(m, Cp1251String("asym.emf"));
        return item;
    };
    {
        TStreetStructure street;
        TRoadSignItem *single = sign(street, {street.Pool().AddPointRec({0, 0, 0})});
        Draw(street);
        // 100 units: 0.667 m; the red quarter at the top left.
        EXPECT_EQ(At(-0.15f, 0.15f), 0xC80000u);
        EXPECT_EQ(At(0.15f, 0.15f), 0x0000C8u);
        single->SetOrientation(90); // counter-clockwise: the red quarter goes to the bottom left
        Draw(street);
        EXPECT_EQ(At(-0.15f, -0.15f), 0xC80000u);
        EXPECT_EQ(At(-0.15f, 0.15f), 0x0000C8u);
    }
    {
        // A column: the top sign's first segment points along +y, the sign hanging below turns with it.
        TStreetStructure street;
        TStreetPointRec *top0 = street.Pool().AddPointRec({0, 3, 0}), *top1 = street.Pool().AddPointRec({0, 4, 0});
        TStreetPointRec *low0 = street.Pool().AddPointRec({0, 0, 0});
        sign(street, {top0, top1});
        TRoadSignItem *low = sign(street, {low0, top0});
        ASSERT_NE(low->GetChainRoot(), nullptr);
        Draw(street);
        EXPECT_EQ(At(-0.15f, -0.15f), 0xC80000u);
        EXPECT_EQ(At(0.15f, 0.15f), 0x0000C8u);
    }
}

TEST_F(SignsGL, AMissingPictureAndAZoomedOutPlate) {
    TStreetStructure street;
    TAbstractItem *item = street.Lists(RoadSignTypeCode).AddNew();
    item->Points.InsertNewPoint(0, {0, 0, 0});
    item->InitNewItem();
    {
        TMemoryStream m;
        street.SaveToStream(m);
        // The fresh sign writes an empty library name: read back, it shows the missing sign.
        TMemoryStream in(m.Bytes());
        std::unique_ptr<TStreetStructure> back = LoadStreetStream(in);
        auto *missing = dynamic_cast<TRoadSignItem *>(back->Lists(RoadSignTypeCode).Items(0));
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->LibIndex(), TSignPicture::Missing);
        Draw(*back);
        // The missing sign: a grey plate with a red "?" in its middle; 0.6 m wide.
        EXPECT_EQ(At(-0.2f, 0), 0xAAAAAAu);
        // Zoomed out to 2 m a pixel, a plate of scale 1 is a plain rectangle (the sign scale of 20 makes it
        // 12 m wide, 6 pixels).
        back->SetZnakScale(20);
        missing->Points.InvalidateGraphics();
        Draw(*back, 0.5f);
        EXPECT_EQ(At(0, 0), 0xA0A0A0u);
    }
}

} // namespace
