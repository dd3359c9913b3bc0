// Manholes and gratings: their records written back byte for byte (an owner only when there is one, the
// alignment always, a byte above 8 read as the default), the textured square and the owner label placed
// by alignment and turned with the reference axis, and the grating's rectangle turned with its direction.
#include "ObjectsTestUtil.h"

#include "engine/DxDraw.h"
#include "engine/FontsDataForm.h"
#include "engine/MatrixShell.h"
#include "model/ItemLayers.h"
#include "engine/DxTexture.h"
#include "objects/ItemTextures.h"
#include "objects/KolodItem.h"

#include <cmath>
#include <numbers>

using namespace objtest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

ItemRec Manhole(int32_t id, int32_t point, const char *owner, uint8_t align) {
    ItemRec r = Rec("KOLOD", id, {point});
    if (owner)
        r.Extra.Tag("KOLODOWN").Str(W(owner));
    r.Extra.Tag("KOLTXALG").U8(align);
    return r;
}

class Manholes : public TWithClasses {
protected:
    // The vertices of the item's groups in the type's batch i.
    std::vector<TDxVertex> Vertices(TAbstractItem *item, int code, std::size_t i) {
        std::vector<TDxVertex> out;
        TDxPrimCollection *batch = TypePrimCollection(S_, code, i);
        for (std::size_t g = 0; batch && g < batch->Count(); ++g)
            if (!batch->Group(g).Deleted && batch->Group(g).Owner == item->Serial())
                out.insert(out.end(), batch->Group(g).Vertices.begin(), batch->Group(g).Vertices.end());
        return out;
    }
    TStreetStructure S_;
};

TEST_F(Manholes, RecordsWriteBackAndAlignmentsAboveEightReadAsSix) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 5, 5}, {2, 8, 5}, {3, 9, 9}};
    ItemRec grating = Rec("RESHET", 1, {2, 3});
    f.Lists = {{"KOLOD", {Manhole(1, 1, "Водоканал", 2), Manhole(2, 2, nullptr, 6)}}, {"RESHET", {grating}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    auto s = LoadBytes(bytes);
    EXPECT_EQ(SaveBytes(*s), bytes);
    auto *owned = dynamic_cast<TKolodItem *>(s->Lists(KolodTypeCode).FindById(1));
    auto *bare = dynamic_cast<TKolodItem *>(s->Lists(KolodTypeCode).FindById(2));
    ASSERT_TRUE(owned && bare);
    EXPECT_EQ(owned->Owner(), Cp("Водоканал"));
    EXPECT_EQ(owned->TextAlign(), 2);
    EXPECT_TRUE(bare->Owner().Empty());
    EXPECT_FLOAT_EQ(bare->Size(), 0.99f);
    ASSERT_EQ(s->Lists(ReshetTypeCode).Count(), 1);

    // Alignment bytes above 8 would index past the anchor table: they read (and write back) as 6. A grating
    // of one vertex is dropped; a manhole without the alignment tag takes 6 and writes it.
    StreetFile odd = f;
    ItemRec noAlign = Rec("KOLOD", 3, {3});
    odd.Lists = {{"KOLOD", {Manhole(1, 1, "Водоканал", 200), Manhole(2, 2, nullptr, 9), noAlign}},
                 {"RESHET", {grating, Rec("RESHET", 2, {1})}}};
    auto n = LoadBytes(odd.Bytes());
    StreetFile expected = f;
    expected.Lists = {{"KOLOD", {Manhole(1, 1, "Водоканал", 6), Manhole(2, 2, nullptr, 6), Manhole(3, 3, nullptr, 6)}},
                      {"RESHET", {grating}}};
    EXPECT_EQ(SaveBytes(*n), expected.Bytes());
    EXPECT_EQ(dynamic_cast<TKolodItem *>(n->Lists(KolodTypeCode).FindById(1))->TextAlign(), 6);
}

TEST_F(Manholes, SquareIsTexturedAndAMetreWideAtSizeZero) {
    auto *k = MakeAs<TKolodItem>(S_, KolodTypeCode, {{10, 20, 0}});
    ASSERT_TRUE(k);
    for (const auto &[size, half] : {std::pair{0.99f, 0.495f}, {0.0f, 0.5f}, {2.0f, 1.0f}}) {
        k->SetSize(size);
        k->UpdateGraphics();
        const std::vector<TDxVertex> v = Vertices(k, KolodTypeCode, 0);
        ASSERT_EQ(v.size(), 6u) << size;
        // (0,0) at the lower left, (1,0) lower right, (1,1) upper right, (0,1) upper left.
        for (const TDxVertex &p : v) {
            EXPECT_NEAR(p.x, 10 + (p.u == 0 ? -half : half), 1e-5) << size;
            EXPECT_NEAR(p.y, 20 + (p.v == 0 ? -half : half), 1e-5) << size;
        }
    }
    EXPECT_TRUE(Vertices(k, KolodTypeCode, 1).empty()) << "no owner, no label";
}

TEST_F(Manholes, OwnerLabelPlacedByAlignmentAndTurnedWithTheAxis) {
    TFontsDataForm fonts;
    TFontTexture *atlas = fonts.SmallArialTexture();
    ASSERT_TRUE(atlas && atlas->AtlasSize() > 0);
    auto *k = MakeAs<TKolodItem>(S_, KolodTypeCode, {{10, 20, 0}});
    auto *axis = MakeAs<TAxisItem>(S_, AxisTypeCode, {{0, 0, 0}, {0, 50, 0}});
    k->SetOwner(Cp("МГТС"));
    std::vector<TDxVertex> glyphs;
    atlas->TextQuads(Cp("МГТС"), glyphs);
    const double W = atlas->TextWidth(Cp("МГТС")), H = atlas->TextHeight();
    ASSERT_EQ(glyphs.size(), 24u);

    const struct {
        const char *Name;
        bool Axis;
        float Size;
    } setups[] = {{"no axis", false, 0.99f}, {"axis up the plan", true, 0.99f}, {"size 0", false, 0}};
    for (const auto &setup : setups) {
        k->SetReferAxis(setup.Axis ? axis : nullptr);
        k->SetSize(setup.Size);
        const double theta = setup.Axis ? std::numbers::pi / 2 : 0;
        for (uint8_t a = 0; a <= 8; ++a) {
            k->SetTextAlign(a);
            k->UpdateGraphics();
            const std::vector<TDxVertex> v = Vertices(k, KolodTypeCode, 1);
            ASSERT_EQ(v.size(), glyphs.size()) << setup.Name << " " << int(a);
            // Anchor factors: x 0, -0.5, -1 by column; y -1, -0.5, 0 by row.
            const double fx = -0.5 * (a % 3), fy = -1 + 0.5 * (a / 3);
            for (std::size_t i : {std::size_t(0), std::size_t(7), glyphs.size() - 1}) {
                const double lx = (0.5 + fx) * setup.Size + 0.08 * (glyphs[i].x + W * fx);
                const double ly = (0.4 + fy) * setup.Size + 0.1 * (glyphs[i].y + H * fy);
                EXPECT_NEAR(v[i].x, 10 + lx * std::cos(theta) - ly * std::sin(theta), 1e-4)
                    << setup.Name << " " << int(a) << " " << i;
                EXPECT_NEAR(v[i].y, 20 + lx * std::sin(theta) + ly * std::cos(theta), 1e-4)
                    << setup.Name << " " << int(a) << " " << i;
                EXPECT_EQ(v[i].u, glyphs[i].u);
            }
        }
    }
    EXPECT_EQ(TypePrimCollection(S_, KolodTypeCode, 1)->Texture(), atlas);
}

TEST_F(Manholes, GratingRectangleTurnsWithItsDirection) {
    // Corner order (-0.6,-0.3), (0.6,-0.3), (0.6,0.3), (-0.6,0.3), texture (0,0), (1,0), (1,1), (0,1); the
    // triangles are corners 0, 1, 2 and 3, 0, 2.
    const struct {
        const char *Name;
        TXYZ Direction;
        double Angle;
    } cases[] = {
        {"along +x", {13, 20, 0}, 0},
        {"pointing +y", {10, 25, 0}, std::numbers::pi / 2},
        {"at 30 degrees", {10 + float(std::cos(std::numbers::pi / 6)), 20 + 0.5f, 0}, std::numbers::pi / 6},
        {"coincident points: unturned", {10, 20, 0}, 0},
    };
    const double corner[4][2] = {{-0.6, -0.3}, {0.6, -0.3}, {0.6, 0.3}, {-0.6, 0.3}};
    const int order[6] = {0, 1, 2, 3, 0, 2};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto &c : cases) {
        auto *g = MakeAs<TReshetItem>(S_, ReshetTypeCode, {{10, 20, 0}, c.Direction});
        ASSERT_TRUE(g) << c.Name;
        g->UpdateGraphics();
        const std::vector<TDxVertex> v = Vertices(g, ReshetTypeCode, 0);
        ASSERT_EQ(v.size(), 6u) << c.Name;
        for (int i = 0; i < 6; ++i) {
            const double *k = corner[order[i]];
            EXPECT_NEAR(v[std::size_t(i)].x, 10 + k[0] * std::cos(c.Angle) - k[1] * std::sin(c.Angle), 1e-5)
                << c.Name << " " << i;
            EXPECT_NEAR(v[std::size_t(i)].y, 20 + k[0] * std::sin(c.Angle) + k[1] * std::cos(c.Angle), 1e-5)
                << c.Name << " " << i;
            EXPECT_EQ(v[std::size_t(i)].u, uv[order[i]][0]);
            EXPECT_EQ(v[std::size_t(i)].v, uv[order[i]][1]);
        }
    }
    EXPECT_EQ(TypePrimCollection(S_, ReshetTypeCode, 0)->Color(), MakeD3DColor(5, 5, 5, 255));
}

TEST(ManholeTextures, TheGeneratedPicturesTextureManholesAndGratings) {
    RegisterClasses();
    ForgetItemTextures();
    TStreetStructure s;
    MakeItem(s, KolodTypeCode, {{0, 0, 0}});
    MakeItem(s, ReshetTypeCode, {{0, 0, 0}, {1, 0, 0}});
    for (const int code : {int(KolodTypeCode), int(ReshetTypeCode)}) {
        ASSERT_NE(TypePrimCollection(s, code, 0), nullptr) << code;
        const TTextureSurface *texture = TypePrimCollection(s, code, 0)->Texture();
        ASSERT_NE(texture, nullptr) << code;
        ASSERT_NE(texture->Bitmap(), nullptr) << code;
        EXPECT_FALSE(texture->Bitmap()->Empty()) << code;
    }
}

class ManholesWithoutPictures : public WithDataFiles {};

TEST_F(ManholesWithoutPictures, DrawUntexturedAndTheStreetStillLoads) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 5, 5}, {2, 8, 5}, {3, 9, 9}};
    f.Lists = {{"KOLOD", {Manhole(1, 1, "Водоканал", 6)}}, {"RESHET", {Rec("RESHET", 1, {2, 3})}}};
    auto s = LoadBytes(f.Bytes());
    ASSERT_EQ(s->Lists(KolodTypeCode).Count(), 1);
    s->UpdateGraphics(FullTypeSet());
    EXPECT_EQ(TypePrimCollection(*s, KolodTypeCode, 0)->Texture(), nullptr);
    EXPECT_EQ(TypePrimCollection(*s, ReshetTypeCode, 0)->Texture(), nullptr);
    EXPECT_EQ(TypePrimCollection(*s, KolodTypeCode, 0)->Count(), 2u);
    EXPECT_EQ(TypePrimCollection(*s, ReshetTypeCode, 0)->Count(), 2u);
    ASSERT_EQ(Warnings.size(), 2u);
    EXPECT_NE(Warnings[0].find("Kolod.bmp"), std::string::npos) << Warnings[0];
    EXPECT_NE(Warnings[1].find("Reshet.bmp"), std::string::npos) << Warnings[1];
}

} // namespace
