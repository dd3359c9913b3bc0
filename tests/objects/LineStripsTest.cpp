// Fences and tram lines: the strips they add for each kind and rut width, how often their pictures
// repeat, what their records hold (written back byte for byte, normalised once, refused), and that a
// missing picture is reported once and leaves the strip untextured.
#include "ObjectsTestUtil.h"

#include "engine/DataFiles.h"
#include "engine/DxTexture.h"
#include "model/ItemLayers.h"
#include "objects/ItemTextures.h"
#include "objects/RoadWallItem.h"
#include "objects/TramWayItem.h"
#include "support/TestSupport.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"
#include "tools/make-street/StreetInvariants.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <tuple>

using namespace objtest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

// What the strip of one item holds: the v at each lateral offset (y of a line along +x) and the largest u.
struct TStripSeen {
    std::map<float, float> VAtOffset;
    float MaxU = 0;
    std::size_t Triangles = 0;
};

TStripSeen SeeStrip(TStreetStructure &s, TAbstractItem *item, std::size_t batch) {
    TStripSeen seen;
    TDxPrimCollection *strips = TypePrimCollection(s, item->GetTypeCode(), batch);
    for (std::size_t i = 0; strips && i < strips->Count(); ++i) {
        const TDxPrimGroup g = strips->Group(i);
        if (g.Deleted || g.Owner != item->Serial())
            continue;
        ++seen.Triangles;
        for (const TDxVertex &v : g.Vertices) {
            const float y = std::round(v.y * 1000) / 1000;
            const auto [it, fresh] = seen.VAtOffset.emplace(y, v.v);
            EXPECT_EQ(it->second, v.v) << "one v per side, at y " << y;
            seen.MaxU = std::max(seen.MaxU, v.u);
        }
    }
    return seen;
}

std::size_t LinesOf(TStreetStructure &s, TAbstractItem *item) {
    std::size_t n = 0;
    TDxPrimCollection *lines = TypePrimCollection(s, item->GetTypeCode(), 0);
    for (std::size_t i = 0; lines && i < lines->Count(); ++i)
        n += !lines->Group(i).Deleted && lines->Group(i).Owner == item->Serial();
    return n;
}

TEST(LineStrips, FencesAndTramLinesByKindRutAndLength) {
    RegisterClasses();
    struct TCase {
        const char *Name;
        int Type;
        int32_t Kind;   // fences
        float RutWidth; // tram lines
        float Length;
        // Expected: no strip (nullopt), else v at each offset and the number of periods.
        std::optional<std::map<float, float>> VAtOffset;
        float Periods;
    };
    const TCase cases[] = {
        {"double fence", RoadWallTypeCode, 0, 0, 20, std::map<float, float>{{-0.6f, 0.5f}, {0.6f, 0.0f}}, 2},
        {"right fence", RoadWallTypeCode, 1, 0, 20, std::map<float, float>{{-0.3f, 1.0f}, {0.9f, 0.5f}}, 2},
        {"left fence", RoadWallTypeCode, 2, 0, 20, std::map<float, float>{{-0.9f, 0.5f}, {0.3f, 1.0f}}, 2},
        {"a fence 3 m long repeats once", RoadWallTypeCode, 0, 0, 3,
         std::map<float, float>{{-0.6f, 0.5f}, {0.6f, 0.0f}}, 1},
        // Half periods round to even.
        {"2.5 periods give 2", TramWayTypeCode, 0, 0, 2.5f,
         std::map<float, float>{{-1.0f, 0.0f}, {1.0f, 1.0f}}, 2},
        {"3.5 periods give 4", TramWayTypeCode, 0, 0, 3.5f,
         std::map<float, float>{{-1.0f, 0.0f}, {1.0f, 1.0f}}, 4},
        {"a fence of another kind draws its line only", RoadWallTypeCode, 5, 0, 20, std::nullopt, 0},
        {"a negative kind too", RoadWallTypeCode, -1, 0, 20, std::nullopt, 0},
        {"tram line of the standard rut", TramWayTypeCode, 0, 0, 20,
         std::map<float, float>{{-1.0f, 0.0f}, {1.0f, 1.0f}}, 20},
        {"tram line of 1.4 m", TramWayTypeCode, 0, 1.4f, 3,
         std::map<float, float>{{-1.0f, 0.0f}, {1.0f, 1.0f}}, 3},
        {"tram line of 2.8 m", TramWayTypeCode, 0, 2.8f, 20,
         std::map<float, float>{{-2.0f, 0.0f}, {2.0f, 1.0f}}, 20},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TStreetStructure s;
        TAbstractItem *item = MakeItem(s, c.Type, {{0, 0, 0}, {c.Length / 2, 0, 0}, {c.Length, 0, 0}});
        if (auto *fence = dynamic_cast<TRoadWallItem *>(item))
            fence->SetKind(c.Kind);
        if (auto *tram = dynamic_cast<TTramWayItem *>(item))
            tram->SetRutWidth(c.RutWidth);
        s.UpdateGraphics(FullTypeSet());
        const bool fence = c.Type == RoadWallTypeCode;
        const TStripSeen seen = SeeStrip(s, item, fence ? 1 : 0);
        if (fence)
            EXPECT_EQ(LinesOf(s, item), 2u) << "the centre line";
        if (!c.VAtOffset) {
            EXPECT_EQ(seen.Triangles, 0u);
            continue;
        }
        EXPECT_EQ(seen.Triangles, 4u);
        EXPECT_EQ(seen.VAtOffset, *c.VAtOffset);
        EXPECT_NEAR(seen.MaxU, c.Periods, 1e-4);
    }
}

TEST(LineStrips, AChangedKindOrRutRebuildsTheStripAndMarksTheStreet) {
    RegisterClasses();
    TStreetStructure s;
    auto *fence = MakeAs<TRoadWallItem>(s, RoadWallTypeCode, {{0, 0, 0}, {20, 0, 0}});
    auto *tram = MakeAs<TTramWayItem>(s, TramWayTypeCode, {{0, 5, 0}, {20, 5, 0}});
    s.UpdateGraphics(FullTypeSet());
    s.ClearModified();
    fence->SetKind(TRoadWallItem::Left);
    EXPECT_TRUE(s.Modified());
    s.ClearModified();
    tram->SetRutWidth(2.8f);
    EXPECT_TRUE(s.Modified());
    s.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(SeeStrip(s, fence, 1).VAtOffset, (std::map<float, float>{{-0.9f, 0.5f}, {0.3f, 1.0f}}));
    EXPECT_EQ(SeeStrip(s, tram, 0).VAtOffset, (std::map<float, float>{{3.0f, 0.0f}, {7.0f, 1.0f}}));

    // Widths that are no width are refused and change nothing.
    s.ClearModified();
    for (const float bad : {-0.1f, std::nanf(""), INFINITY})
        EXPECT_THROW(tram->SetRutWidth(bad), EStreetError) << bad;
    EXPECT_EQ(tram->RutWidth(), 2.8f);
    EXPECT_FALSE(s.Modified());
    EXPECT_EQ(TTramWayItem().GetRutWidth(), 1.4f);
}

TEST(LineStrips, KindNamesInKindOrder) {
    RegisterClasses();
    EXPECT_EQ(RoadWallKindNames(), (std::vector<Cp1251String>{Cp("Двойное"), Cp("Правое"), Cp("Левое")}));
}

TEST(LineStrips, TheGeneratedStreetHoldsFencesOfEveryKindTramLinesAndReferencePoints) {
    RegisterClasses();
    UseObjectClasses();
    TStreetStructure s;
    GenerateStreet(s, {.Vertices = 3000, .Seed = 5});
    std::set<int32_t> kinds;
    for (const auto &item : s.Lists(RoadWallTypeCode))
        kinds.insert(dynamic_cast<TRoadWallItem &>(*item).Kind());
    EXPECT_EQ(kinds, (std::set<int32_t>{0, 1, 2}));
    EXPECT_GT(s.Lists(TramWayTypeCode).Count(), 0);
    EXPECT_GT(s.Lists(RulerTypeCode).Count(), 0);
    // Beyond the sidewalks and inside the road way, not on the grid's vertices.
    for (const auto &item : s.Lists(RoadWallTypeCode))
        EXPECT_GT(item->Points.GetPoint(0).y, 14.5f);
    for (const auto &item : s.Lists(TramWayTypeCode)) {
        EXPECT_GT(item->Points.GetPoint(1).y, 7.0f);
        EXPECT_LT(item->Points.GetPoint(1).y, 10.5f);
    }
    EXPECT_EQ(CheckStreetInvariants(s), "");
    const std::vector<uint8_t> bytes = SaveBytes(s);
    EXPECT_EQ(SaveBytes(*LoadBytes(bytes)), bytes);
}

// ---- Records

class LineRecords : public TWithClasses {};

StreetFile WithPoints() {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 10, 5}, {4, 0, 5}, {5, 20, 0}};
    return f;
}

ItemRec Fence(int32_t id, std::vector<int32_t> points, std::optional<int32_t> kind) {
    ItemRec r = Rec("ROADWALL", id, std::move(points));
    if (kind)
        r.Extra.Tag("RWALLKND").I32(*kind);
    return r;
}

ItemRec Tram(int32_t id, std::vector<int32_t> points, std::optional<float> rut) {
    ItemRec r = Rec("TRAMWAY", id, std::move(points));
    if (rut)
        r.Extra.Tag("RUTWIDTH").F32(*rut);
    return r;
}

TEST_F(LineRecords, CanonicalRecordsWriteBackByteForByte) {
    StreetFile f = WithPoints();
    ItemRec commented = Fence(4, {4, 3}, 2);
    commented.Comment = W("забор");
    f.Lists = {
        {"ROADWALL", {Fence(1, {1, 2, 5}, 0), Fence(2, {2, 3}, 1), commented, Fence(7, {1, 4}, 5)}},
        {"TRAMWAY", {Tram(1, {1, 2}, std::nullopt), Tram(2, {4, 3, 2}, 2.8f), Tram(3, {1, 5}, 1.524f)}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
    EXPECT_FALSE(s->Modified());
    EXPECT_EQ(SaveBytes(*s), bytes);

    auto kind = [&](int32_t id) {
        return dynamic_cast<TRoadWallItem *>(s->Lists(RoadWallTypeCode).FindById(id))->Kind();
    };
    EXPECT_EQ(kind(1), 0);
    EXPECT_EQ(kind(2), 1);
    EXPECT_EQ(kind(4), 2);
    EXPECT_EQ(kind(7), 5);
    auto tram = [&](int32_t id) {
        return dynamic_cast<TTramWayItem *>(s->Lists(TramWayTypeCode).FindById(id));
    };
    EXPECT_EQ(tram(1)->RutWidth(), 0.0f);
    EXPECT_EQ(tram(1)->GetRutWidth(), 1.4f);
    EXPECT_EQ(tram(2)->GetRutWidth(), 2.8f);
    EXPECT_EQ(tram(3)->GetRutWidth(), 1.524f);
}

TEST_F(LineRecords, RecordsFromElsewhereAreNormalisedOnce) {
    struct TCase {
        const char *Name;
        std::vector<ItemRec> Fences, Trams;
        std::vector<ItemRec> ExpectedFences, ExpectedTrams;
    };
    const TCase cases[] = {
        {"a fence without its kind writes the double kind",
         {Fence(1, {1, 2}, std::nullopt)},
         {},
         {Fence(1, {1, 2}, 0)},
         {}},
        {"a stored rut width of 0 is not written",
         {},
         {Tram(1, {1, 2}, 0.0f)},
         {},
         {Tram(1, {1, 2}, std::nullopt)}},
        {"a line of one vertex is dropped",
         {Fence(1, {1}, 1), Fence(2, {1, 2}, 1)},
         {Tram(3, {2}, 2.0f)},
         {Fence(2, {1, 2}, 1)},
         {}},
    };
    auto file = [](const std::vector<ItemRec> &fences, const std::vector<ItemRec> &trams) {
        StreetFile f = WithPoints();
        if (!fences.empty())
            f.Lists.push_back({"ROADWALL", fences});
        if (!trams.empty())
            f.Lists.push_back({"TRAMWAY", trams});
        return f;
    };
    for (const TCase &c : cases) {
        const std::vector<uint8_t> once = SaveBytes(*LoadBytes(file(c.Fences, c.Trams).Bytes()));
        EXPECT_EQ(once, file(c.ExpectedFences, c.ExpectedTrams).Bytes()) << c.Name;
        EXPECT_EQ(SaveBytes(*LoadBytes(once)), once) << c.Name;
    }
}

TEST_F(LineRecords, ARutWidthThatIsNoNumberFailsTheLoad) {
    for (const float bad : {std::nanf(""), INFINITY, -INFINITY}) {
        StreetFile f = WithPoints();
        f.Lists = {{"TRAMWAY", {Tram(1, {1, 2}, bad)}}};
        EXPECT_THROW(LoadBytes(f.Bytes()), EStreetError) << bad;
    }
    // A negative width from elsewhere is kept as stored.
    StreetFile f = WithPoints();
    f.Lists = {{"TRAMWAY", {Tram(1, {1, 2}, -1.4f)}}};
    const std::vector<uint8_t> bytes = f.Bytes();
    EXPECT_EQ(SaveBytes(*LoadBytes(bytes)), bytes);
}

// ---- Pictures

TEST_F(WithDataFiles, AMissingOrBrokenPictureIsReportedOnceAndTheStripDrawsPlain) {
    std::filesystem::create_directories(Dir_.Path() / std::u8string(u8"Текстуры"));
    sptest::WriteFileBytes((Dir_.Path() / std::u8string(u8"Текстуры") / "Tramway.bmp").string(),
                           {'B', 'M', 1, 2, 3});
    TStreetStructure s, t;
    TAbstractItem *fence = MakeItem(s, RoadWallTypeCode, {{0, 0, 0}, {20, 0, 0}});
    TAbstractItem *tram = MakeItem(t, TramWayTypeCode, {{0, 0, 0}, {20, 0, 0}});
    s.UpdateGraphics(FullTypeSet());
    t.UpdateGraphics(FullTypeSet());
    ASSERT_EQ(Warnings.size(), 2u);
    EXPECT_NE(Warnings[0].find("RoadWall.bmp"), std::string::npos) << Warnings[0];
    EXPECT_NE(Warnings[1].find("Tramway.bmp"), std::string::npos) << Warnings[1];
    EXPECT_EQ(TypePrimCollection(s, RoadWallTypeCode, 1)->Texture(), nullptr);
    EXPECT_EQ(TypePrimCollection(t, TramWayTypeCode, 0)->Texture(), nullptr);
    EXPECT_EQ(SeeStrip(s, fence, 1).Triangles, 2u);
    EXPECT_EQ(SeeStrip(t, tram, 0).Triangles, 2u);
    // Another street asks again: no second warning.
    TStreetStructure u;
    MakeItem(u, RoadWallTypeCode, {{0, 0, 0}, {20, 0, 0}});
    EXPECT_EQ(Warnings.size(), 2u);
}

TEST(LineStrips, TheGeneratedPicturesTextureTheStrips) {
    RegisterClasses();
    ForgetItemTextures();
    TStreetStructure s;
    MakeItem(s, RoadWallTypeCode, {{0, 0, 0}, {1, 0, 0}});
    MakeItem(s, TramWayTypeCode, {{0, 0, 0}, {1, 0, 0}});
    for (const auto &[code, entry, name] :
         {std::tuple{RoadWallTypeCode, 1, "RoadWall.bmp"}, std::tuple{TramWayTypeCode, 0, "Tramway.bmp"}}) {
        const TTextureSurface *texture =
            TypePrimCollection(s, code, static_cast<std::size_t>(entry))->Texture();
        ASSERT_NE(texture, nullptr) << name;
        ASSERT_NE(texture->Bitmap(), nullptr) << name;
        EXPECT_FALSE(texture->Bitmap()->Empty()) << name;
    }
    EXPECT_EQ(TypePrimCollection(s, RoadWallTypeCode, 0)->Color(), MakeD3DColor(5, 5, 5, 255));
}

} // namespace
