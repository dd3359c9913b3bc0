// Fences, tram lines and reference points drawn off-screen: the pictures' rails, sleepers and symbols lie
// where the strips put them, see-through where the picture is white, plain strips without the pictures,
// and the crosses of reference points in their colour (black for colour 0).
#include "PlanWindow.h"

#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/StreetStructure.h"
#include "objects/ItemTextures.h"
#include "objects/RegisterObjects.h"
#include "objects/RoadWallItem.h"
#include "objects/RulerItem.h"
#include "objects/TramWayItem.h"
#include "platform/gdi/Bitmap.h"
#include "support/StreetBuild.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

using namespace planwindow;
constexpr D3DCOLOR Background = 0xFF808080;

TBitmap Render(TStreetStructure &street, uint32_t layers) {
    TSurfaceRenderer r(W, H);
    r.BeginDraw();
    r.Clear(Background, true, false, false);
    r.Projection().SetMatrix(PlanToClip());
    street.Draw({&r, {10, 9, 0}, 30}, FullTypeSet(), layers);
    r.EndDraw();
    TBitmap out;
    r.CopyToBitmap(out);
    return out;
}

uint32_t Colour(const TBitmap &out, float x, float y) {
    return out.Pixel(int(x * PixelsPerMetre), int((Top - y) * PixelsPerMetre)) & 0xFFFFFF;
}

// Each channel within 12 of the expected colour's.
::testing::AssertionResult Near(uint32_t got, uint32_t want) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 12)
            return ::testing::AssertionFailure() << std::hex << got << " is not near " << want;
    return ::testing::AssertionSuccess();
}

// A double fence along y 5 over two picture periods, a tram line along y 10.
struct TRegistered {
    TRegistered() { RegisterObjects(); }
};

// Streets copy the class table when they are made: the classes come first.
struct TStrips : TRegistered {
    TStrips() {
        sptest::MakeItem(Street, RoadWallTypeCode, {{0, 5, 0}, {19.2f, 5, 0}});
        sptest::MakeItem(Street, TramWayTypeCode, {{0, 10, 0}, {20, 10, 0}});
    }
    TStreetStructure Street;
};

TEST(ItemStripsGL, RailsSleepersAndFenceSymbolsWhereThePicturesPutThem) {
    ForgetItemTextures();
    TStrips strips;
    const TBitmap out = Render(strips.Street, PlanLayerMask);
    // The tram strip spans y 9 (v 0) to 11 (v 1), one picture a metre: rails near v 0.15 and 0.85,
    // a sleeper in the middle of each metre, white (see-through) elsewhere.
    EXPECT_TRUE(Near(Colour(out, 5.1f, 9.31f), 0x464650)) << "rail";
    EXPECT_TRUE(Near(Colour(out, 5.1f, 10.69f), 0x464650)) << "rail";
    EXPECT_TRUE(Near(Colour(out, 5.5f, 10.0f), 0x8C643C)) << "sleeper";
    EXPECT_TRUE(Near(Colour(out, 5.1f, 10.0f), Background & 0xFFFFFF)) << "between rails and sleepers";
    // The double fence spans y 4.4 (v 0.5) to 5.6 (v 0): a rail at v 0.14, a post at the start of each
    // 2.4 m.
    EXPECT_TRUE(Near(Colour(out, 2.0f, 5.26f), 0x3C3C3C)) << "fence rail";
    EXPECT_TRUE(Near(Colour(out, 4.95f, 5.45f), 0x1E1E1E)) << "fence post";
    EXPECT_TRUE(Near(Colour(out, 4.0f, 4.5f), Background & 0xFFFFFF)) << "beside the fence symbols";
}

TEST(ItemStripsGL, WithoutThePicturesTheStripsArePlain) {
    const char *old = std::getenv("STREETPLAN_DATAFILES");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    sptest::TempDir empty;
    setenv("STREETPLAN_DATAFILES", empty.Path().string().c_str(), 1);
    ForgetItemTextures();
    std::vector<std::string> warnings;
    SetItemTextureWarning([&](const std::string &m) { warnings.push_back(m); });
    std::optional<TStrips> strips;
    strips.emplace();
    const TBitmap out = Render(strips->Street, PlanLayerMask);
    strips.reset();
    SetItemTextureWarning({});
    if (saved)
        setenv("STREETPLAN_DATAFILES", saved->c_str(), 1);
    else
        unsetenv("STREETPLAN_DATAFILES");
    ForgetItemTextures();

    EXPECT_EQ(warnings.size(), 2u);
    EXPECT_EQ(Colour(out, 5.1f, 10.0f), 0u) << "the tram strip, plain black";
    EXPECT_EQ(Colour(out, 4.0f, 4.5f), 0u) << "the fence strip, plain black";
    EXPECT_EQ(Colour(out, 5.1f, 11.5f), Background & 0xFFFFFF) << "beside the strip";
}

TEST(ItemStripsGL, ReferencePointCrossesInTheirColour) {
    RegisterObjects();
    TStreetStructure street;
    auto *black = dynamic_cast<TRulerItem *>(sptest::MakeItem(street, RulerTypeCode, {{5, 5, 0}}));
    auto *red = dynamic_cast<TRulerItem *>(sptest::MakeItem(street, RulerTypeCode, {{12, 5, 0}, {15, 8, 0}}));
    ASSERT_TRUE(black && red);
    red->SetColor(MakeD3DColor(255, 0, 0, 0));
    const TBitmap plain = Render(street, PlanLayerMask);
    EXPECT_EQ(Colour(plain, 5.3f, 5), Background & 0xFFFFFF) << "no crosses without the technical details";

    const TBitmap tech = Render(street, PlanLayerMask | TechLayerMask);
    EXPECT_EQ(Colour(tech, 5.3f, 5), 0u) << "colour 0 draws black";
    EXPECT_EQ(Colour(tech, 5, 4.7f), 0u);
    EXPECT_EQ(Colour(tech, 5.8f, 5), Background & 0xFFFFFF) << "a 1 m cross";
    EXPECT_EQ(Colour(tech, 12.3f, 5), 0xFF0000u);
    EXPECT_EQ(Colour(tech, 15, 8.4f), 0xFF0000u);
}

} // namespace
