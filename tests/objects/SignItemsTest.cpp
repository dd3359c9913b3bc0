// Sign posts with plates, chained sign plates and pictures: records written back byte for byte, records
// from elsewhere normalised once, sign numbers, plate geometry, chains and hit tests.
#include "SignTestUtil.h"

#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "objects/EmfTexture.h"
#include "objects/MetafileLib.h"
#include "objects/PictureItem.h"
#include "objects/RoadSignItem.h"
#include "objects/ZnakItem.h"
#include "platform/d3d9/RecordingDevice.h"

#include <cmath>
#include <functional>

using namespace signtest;
using objtest::W;
using sptest::ByteBuilder;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

constexpr double Pi = 3.14159265358979323846;

std::string Str(const std::vector<uint8_t> &b) {
    return std::string(b.begin(), b.end());
}

// A plate record as our writer lays it out; `picture` is "ZNSLIBNM" with a name or "ZNSUBEM2" with bytes.
struct TPlate {
    std::string LibName;              // "ZNSLIBNM" when Bytes is not set
    std::optional<std::string> Bytes; // "ZNSUBEM2"
    float Scale = 1;
    std::string Text;
    float Org[3] = {0, 0, 0};
    uint8_t Align = 1;
    int32_t Rot = 0;
    std::string File, ObjKind, SText, Status;
    int32_t MainId = 0;
    float AncHei = 0, CustSq = 0;

    ByteBuilder Rec() const {
        ByteBuilder b;
        if (Bytes)
            b.Tag("ZNSUBEM2").Str(*Bytes);
        else
            b.Tag("ZNSLIBNM").Str(LibName);
        b.Tag("ZNSUBSC").F32(Scale).Tag("ZNSUBTXT").Str(Text).Tag("ZNSUBORG").F32(Org[0]).F32(Org[1]).F32(Org[2]);
        b.Tag("ZNSUBALG").U8(Align).Tag("ZNSUBORT").I32(Rot);
        if (!File.empty())
            b.Tag("ZNSUBFIL").Str(File);
        if (!ObjKind.empty())
            b.Tag("ZNOBJKND").Str(ObjKind);
        if (!SText.empty())
            b.Tag("ZNSTEXT").Str(SText);
        if (MainId)
            b.Tag("ZNMAINID").I32(MainId);
        if (AncHei != 0)
            b.Tag("ZNANCHEI").F32(AncHei);
        if (CustSq != 0)
            b.Tag("ZNCUSTSQ").F32(CustSq);
        if (!Status.empty())
            b.Tag("ZNSTATUS").Str(Status);
        return b;
    }
};

TPlate Named(const std::string &name) {
    TPlate p;
    p.LibName = name;
    return p;
}

TPlate Content(const std::string &bytes) {
    TPlate p;
    p.Bytes = bytes;
    return p;
}

ItemRec Post(int32_t id, std::vector<int32_t> points, const std::vector<TPlate> &plates, const char *kind = nullptr) {
    ItemRec r = Rec("ZNAK", id, std::move(points));
    if (kind)
        r.Extra.Tag("ZNANCKND").Str(W(kind));
    r.Extra.Tag("ZNNEWPNT").Tag("ZNSUBCNT").I32(int32_t(plates.size()));
    for (const TPlate &p : plates)
        r.Extra.Append(p.Rec());
    return r;
}

ItemRec Sign(int32_t id, std::vector<int32_t> points, const std::string &libName,
             const std::optional<std::string> &bytes = {}, float scale = 1, int32_t orient = 0, uint8_t align = 1,
             const std::string &file = "", const std::string &label = "") {
    ItemRec r = Rec("ROADSGN2", id, std::move(points));
    if (bytes)
        r.Extra.Tag("RSGNEMFD").Str(*bytes);
    else
        r.Extra.Tag("RSGNLIBS").Str(libName);
    r.Extra.Tag("RSGNFILS").Str(file).Tag("RSGNSCAL").F32(scale).Tag("RSGNORNT").I32(orient).Tag("RSGNTXAG").U8(align);
    if (!label.empty())
        r.Extra.Tag("RSGNLBLO").Str(label);
    return r;
}

ItemRec Picture(int32_t id, std::vector<int32_t> points, const std::optional<std::string> &bytes) {
    ItemRec r = Rec("PICTURE", id, std::move(points));
    if (bytes)
        r.Extra.Tag("EMF").Bytes(*bytes);
    return r;
}

StreetFile WithPoints() {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 10, 5}, {4, 0, 5}, {5, 20, 0}, {6, 20, 5}, {7, -5, 2}, {8, 25, 2}};
    return f;
}

struct TCase {
    const char *Name;
    std::function<StreetFile()> Make;
};

class SignItems : public SignFixture {};

TEST_F(SignItems, CanonicalRecordsWriteBackByteForByte) {
    const std::string own = Str(TestEmf(50, 70, 0x336699)); // in no library
    const TCase cases[] = {
        {"posts without plates, with and without a support kind",
         [] {
             StreetFile f = WithPoints();
             f.Lists = {{"ZNAK", {Post(1, {1, 2, 3}, {}, "стойка"), Post(2, {4, 5, 6}, {})}}};
             return f;
         }},
        {"one plate by name, three plates by name and by content, every optional field",
         [own] {
             StreetFile f = WithPoints();
             TPlate byName = Named("5-19-1.emf");
             TPlate full = Named("2-4.emf");
             full.Scale = 0.5f, full.Text = W("2.4-бис"), full.Org[0] = 0.25f, full.Org[1] = -0.5f, full.Org[2] = 2;
             full.Align = 7, full.Rot = 270, full.File = "C:/signs/2-4.emf", full.ObjKind = W("перекрёсток");
             full.SText = W("кроме"), full.MainId = 12, full.AncHei = 2.5f, full.CustSq = 0.75f;
             full.Status = W("демонтировать");
             TPlate content = Content(own);
             content.Align = 3, content.Rot = -90;
             f.Lists = {{"ZNAK", {Post(1, {1, 2, 3}, {byName}), Post(2, {4, 5, 6}, {full, content, byName}, "консоль")}}};
             return f;
         }},
        {"a plate whose picture is missing keeps its name, scale 0 stays 0",
         [] {
             StreetFile f = WithPoints();
             TPlate gone = Named("no-such-sign.emf");
             gone.Scale = 0;
             f.Lists = {{"ZNAK", {Post(1, {1, 2, 3}, {gone})}}};
             return f;
         }},
        {"second-type signs by name, by content, missing, unnamed, labelled",
         [own] {
             StreetFile f = WithPoints();
             f.Lists = {{"ROADSGN2",
                         {Sign(1, {1, 2}, "3-24.emf", {}, 0.75f, 90, 5, "3-24.emf", W("3.24 (40)")),
                          Sign(2, {3}, "", own, 0, 0, 0, "own.emf"), Sign(3, {4, 1}, "gone.emf"),
                          Sign(4, {5, 6, 8}, "")}}};
             return f;
         }},
        {"pictures with and without a metafile",
         [own] {
             StreetFile f = WithPoints();
             f.Lists = {{"PICTURE", {Picture(1, {1, 2}, own), Picture(2, {3, 4}, {}), Picture(3, {5}, own)}}};
             return f;
         }},
    };
    for (const TCase &c : cases) {
        const std::vector<uint8_t> bytes = c.Make().Bytes();
        std::unique_ptr<TStreetStructure> s = sptest::LoadBytes(bytes);
        EXPECT_FALSE(s->Modified()) << c.Name;
        EXPECT_EQ(sptest::SaveBytes(*s), bytes) << c.Name;
    }
}

TEST_F(SignItems, RecordsFromElsewhereAreNormalisedOnce) {
    const std::string lib0 = Str(FixtureSignBytes(0)), pair = Str(FixtureSignBytes(3));
    const std::string own = Str(TestEmf(50, 70, 0x336699));
    const auto postOf = [](std::vector<ByteBuilder> plates) {
        StreetFile f = WithPoints();
        ItemRec r = Rec("ZNAK", 1, {1, 2, 3});
        r.Extra.Tag("ZNNEWPNT").Tag("ZNSUBCNT").I32(int32_t(plates.size()));
        for (const ByteBuilder &p : plates)
            r.Extra.Append(p);
        f.Lists = {{"ZNAK", {r}}};
        return f;
    };
    const auto rest = [] {
        return ByteBuilder().Tag("ZNSUBSC").F32(1).Tag("ZNSUBTXT").Str("").Tag("ZNSUBORG").F32(0).F32(0).F32(0)
            .Tag("ZNSUBALG").U8(1).Tag("ZNSUBORT").I32(0);
    };
    struct TPair {
        const char *Name;
        StreetFile In, Out;
    };
    std::vector<TPair> pairs;
    pairs.push_back({"an old stream-form picture equal to a library entry is stored by name",
                     postOf({ByteBuilder().Tag("ZNSUBEMF").Bytes(lib0).Append(rest())}),
                     postOf({Named("2-4.emf").Rec()})});
    pairs.push_back({"an old stream-form picture of its own is stored by count",
                     postOf({ByteBuilder().Tag("ZNSUBEMF").Bytes(own).Append(rest())}),
                     postOf({Content(own).Rec()})});
    pairs.push_back({"content equal to two library entries takes the later one",
                     postOf({Content(pair).Rec()}), postOf({Named("pair-b.emf").Rec()})});
    pairs.push_back({"an old library name is translated",
                     postOf({Named("5_19_1.emf").Rec()}), postOf({Named("5-19-1.emf").Rec()})});
    pairs.push_back({"a name neither in the library nor translated is kept",
                     postOf({Named("old-gone.emf").Rec()}), postOf({Named("old-gone.emf").Rec()})});
    {
        TPlate text = Named("5-19-1.emf");
        text.Text = "5.19.1";
        TPlate other = Named("5-19-1.emf");
        other.Text = "5.19";
        TPlate byFile = Content(own);
        byFile.File = "D:\\lib\\G2004_8-2-1_b.emf";
        byFile.Text = "8.2.1";
        TPlate byFileOut = byFile;
        byFileOut.Text = "";
        pairs.push_back({"a text that only repeats the number is cleared, another is kept",
                         postOf({text.Rec(), other.Rec(), byFile.Rec()}),
                         postOf({Named("5-19-1.emf").Rec(), other.Rec(), byFileOut.Rec()})});
    }
    pairs.push_back({"indices of an old layout are dropped",
                     postOf({ByteBuilder().Tag("ZNSLIBNM").Str("2-4.emf").Append(rest()).Tag("ZNARCIDX").I32(4)
                                 .Tag("ZNNODIDX").I32(7)}),
                     postOf({Named("2-4.emf").Rec()})});
    {
        StreetFile in = WithPoints();
        in.Lists = {{"ROADSGN2", {Sign(1, {1}, "", lib0, 1, 0, 1, "x.emf"), Sign(2, {2}, "", std::string())}}};
        StreetFile out = WithPoints();
        out.Lists = {{"ROADSGN2", {Sign(1, {1}, "2-4.emf", {}, 1, 0, 1, "x.emf"), Sign(2, {2}, "")}}};
        pairs.push_back({"a second-type picture equal to a library entry, an empty one", in, out});
    }
    for (const TPair &p : pairs) {
        std::unique_ptr<TStreetStructure> s = sptest::LoadBytes(p.In.Bytes());
        EXPECT_EQ(sptest::SaveBytes(*s), p.Out.Bytes()) << p.Name;
        std::unique_ptr<TStreetStructure> again = sptest::LoadBytes(sptest::SaveBytes(*s));
        EXPECT_EQ(sptest::SaveBytes(*again), p.Out.Bytes()) << p.Name << " (second time)";
    }
}

TEST_F(SignItems, WhatReadingSetsOnPlates) {
    StreetFile f = WithPoints();
    TPlate gone = Named("old-gone.emf");
    TPlate byName = Named("Pair-A.emf");
    f.Lists = {{"ZNAK", {Post(1, {1, 2, 3}, {gone, byName})}},
               {"ROADSGN2", {Sign(1, {4}, "gone.emf"), Sign(2, {5}, "5-19-1.EMF")}}};
    std::unique_ptr<TStreetStructure> s = sptest::LoadBytes(f.Bytes());
    auto *post = dynamic_cast<TZnakItem *>(s->Lists(ZnakTypeCode).Items(0));
    ASSERT_TRUE(post);
    ASSERT_EQ(post->PlateCount(), 2);
    EXPECT_EQ(post->GetPlate(0)->LibIndex(), TSignPicture::Missing);
    EXPECT_EQ(post->GetPlate(0)->Metafile(), &MissingSignMetafile());
    EXPECT_EQ(post->GetPlate(0)->Width(), 60);
    EXPECT_EQ(post->GetPlate(1)->LibIndex(), 3);
    EXPECT_EQ(post->GetPlate(1)->Metafile(), &SignMetafileLibrary().GetMetafile(3));
    EXPECT_EQ(post->GetPlate(2), nullptr);
    auto *missing = dynamic_cast<TRoadSignItem *>(s->Lists(RoadSignTypeCode).Items(0));
    auto *found = dynamic_cast<TRoadSignItem *>(s->Lists(RoadSignTypeCode).Items(1));
    EXPECT_EQ(missing->LibIndex(), TSignPicture::Missing);
    EXPECT_EQ(missing->LibName(), Cp1251String("gone.emf"));
    EXPECT_EQ(found->LibIndex(), 2);
    EXPECT_EQ(found->Width(), 90);
}

TEST_F(SignItems, CountsAndLengthsAreCheckedAgainstTheBytes) {
    const struct {
        const char *Name;
        ByteBuilder Extra;
        const char *Message;
    } cases[] = {
        {"a plate count beyond the record", ByteBuilder().Tag("ZNNEWPNT").Tag("ZNSUBCNT").I32(1000000),
         "1000000 plates at offset"},
        {"a negative plate count", ByteBuilder().Tag("ZNNEWPNT").Tag("ZNSUBCNT").I32(-1), "-1 plates"},
        {"a metafile longer than the bytes left",
         ByteBuilder().Tag("ZNNEWPNT").Tag("ZNSUBCNT").I32(1).Tag("ZNSUBEM2").I32(500000).I32(0),
         "a metafile of 500000 bytes"},
        {"a stream-form header claiming more than is there",
         ByteBuilder().Tag("ZNNEWPNT").Tag("ZNSUBCNT").I32(1).Tag("ZNSUBEMF").Bytes(
             Str(FixtureSignBytes(0)).substr(0, 60)),
         "runs past the end"},
        {"bytes that are no metafile",
         ByteBuilder().Tag("ZNNEWPNT").Tag("ZNSUBCNT").I32(1).Tag("ZNSUBEM2").Str("12345678"), "not readable"},
        {"a plate without a field (the next record follows)",
         ByteBuilder().Tag("ZNNEWPNT").Tag("ZNSUBCNT").I32(2).Tag("ZNSUBSC").F32(1), "holds no field"},
    };
    for (const auto &c : cases) {
        StreetFile f = WithPoints();
        ItemRec r = Rec("ZNAK", 1, {1, 2, 3});
        r.Extra.Append(c.Extra);
        f.Lists = {{"ZNAK", {r, Post(2, {4, 5, 6}, {})}}};
        try {
            sptest::LoadBytes(f.Bytes(), "street.zrv");
            ADD_FAILURE() << c.Name;
        } catch (const EStreetError &e) {
            EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << c.Name << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find("street.zrv"), std::string::npos) << c.Name << ": " << e.what();
        }
    }
    StreetFile f = WithPoints();
    ItemRec r = Rec("ROADSGN2", 1, {1});
    r.Extra.Tag("RSGNEMFD").I32(1 << 30);
    f.Lists = {{"ROADSGN2", {r}}};
    EXPECT_THROW(sptest::LoadBytes(f.Bytes()), EStreetError);
    f.Lists = {{"PICTURE", {Picture(1, {1, 2}, Str(FixtureSignBytes(0)).substr(0, 80))}}};
    EXPECT_THROW(sptest::LoadBytes(f.Bytes()), EStreetError);
}

TEST_F(SignItems, OldPostLayoutsGainTheNewOne) {
    StreetFile f = WithPoints();
    ItemRec old = Rec("ZNAK", 1, {1, 2, 3}); // no "ZNNEWPNT": 1 and 2 are the old direction points
    old.Extra.Tag("ZNSUBCNT").I32(0);
    ItemRec two = Rec("ZNAK", 3, {4, 5});
    two.Extra.Tag("ZNNEWPNT");
    f.Lists = {{"ZNAK", {old, two}}};
    std::unique_ptr<TStreetStructure> s = sptest::LoadBytes(f.Bytes());
    const auto point = [&](int item, int i) { return s->Lists(ZnakTypeCode).Items(item)->Points.GetPoint(i); };
    // Point 2 moves to the old point 1, point 1 three metres behind it along the old heading (+y).
    EXPECT_EQ(point(0, 2), (TXYZ{10, 0, 0}));
    EXPECT_EQ(point(0, 1), (TXYZ{10, -3, 0}));
    ASSERT_EQ(s->Lists(ZnakTypeCode).Items(1)->Points.Count(), 3);
    EXPECT_EQ(point(1, 2), (TXYZ{21, 1, 0}));
    // Saved again, the posts carry the new layout and read back unchanged.
    const std::vector<uint8_t> saved = sptest::SaveBytes(*s);
    EXPECT_EQ(sptest::SaveBytes(*sptest::LoadBytes(saved)), saved);
}

TEST(SignNumbers, FromFileNames) {
    const struct {
        const char *File, *Post, *Sign;
    } cases[] = {
        {"G2004_5-19-1_a.emf", "5.19.1", "G2004"},
        {"C:\\lib\\5-05.emf", "5.5", "5.5"},
        {"dir/3-0.emf", "3.", "3."},
        {"1-0-1.wmf", "1..1", "1..1"},
        {"", " ", "?"},
        {"_x.emf", " ", "?"},
        {"5-19-1.emf", "5.19.1", "5.19.1"},
        {"8.2.1", "8.2", "8.2"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SignNumberFromFileName(Cp1251String(c.File)), Cp1251String(c.Post)) << c.File;
        EXPECT_EQ(RoadSignNumberFromFileName(Cp1251String(c.File)), Cp1251String(c.Sign)) << c.File;
    }
}

TEST_F(SignItems, PlateNumbersDescriptionsAndAreas) {
    TStreetStructure s;
    auto *post = objtest::MakeAs<TZnakItem>(s, ZnakTypeCode, {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}});
    TEmfSubItem *plate = post->AddPlate();
    EXPECT_EQ(plate->GetSignNumber(), Cp1251String());
    plate->LoadFromFile((LibraryDir() / "5-19-1.emf").string());
    EXPECT_EQ(plate->LibIndex(), 2) << "a file equal to a library picture is the library's";
    EXPECT_EQ(plate->GetSignNumber(), Cp1251String("5.19.1"));
    EXPECT_EQ(plate->GetDescription(), Cp("Пешеходный переход"));
    EXPECT_FLOAT_EQ(plate->GetArea(), 0.49f);
    plate->SetCustomArea(1.25f);
    EXPECT_FLOAT_EQ(plate->GetArea(), 1.25f);
    EXPECT_FLOAT_EQ(plate->GetLibraryArea(), 0.49f);
    plate->SetText(Cp1251String("9.9"));
    EXPECT_EQ(plate->GetSignNumber(), Cp1251String("9.9"));
    EXPECT_FLOAT_EQ(plate->GetLibraryArea(), 0.0f) << "no table entry";
    EXPECT_EQ(plate->GetDescription(), Cp1251String());
    EXPECT_EQ(plate->Select(), 0);
    EXPECT_EQ(post->GetSelectedIndex(), 0);
    post->DeletePlate(0);
    EXPECT_EQ(post->GetSelectedIndex(), -1);
}

TEST_F(SignItems, PlateGeometryFollowsThePost) {
    TStreetStructure s;
    // Heading +y (90 degrees); the anchor at (10, 2).
    auto *post = objtest::MakeAs<TZnakItem>(s, ZnakTypeCode, {{10, -5, 0}, {10, 0, 0}, {10, 2, 1}});
    EXPECT_NEAR(post->GetPostAngle(), Pi / 2, 1e-6);
    TEmfSubItem *plate = post->AddPlate();
    plate->LoadFromFile((LibraryDir() / "2-4.emf").string()); // 90 x 60
    plate->SetOrigin({1, 0, 0.5f});
    const TXYZ at = plate->GetWorldPosition();
    EXPECT_NEAR(at.x, 10, 1e-5);
    EXPECT_NEAR(at.y, 3, 1e-5);
    EXPECT_NEAR(at.z, 1.5, 1e-5);
    plate->SetRotation(270);
    EXPECT_NEAR(plate->GetAbsoluteAngle(), Pi / 2 + 3 * Pi / 2 - 2 * Pi, 1e-6);
    // 90 units at 150 a metre: 0.6 m wide; turned by 90 + 270 degrees it lies along +x again.
    TXYZ c[4];
    plate->GetCorners(c);
    EXPECT_NEAR(c[0].x, 10 - 0.3, 1e-5); // top left
    EXPECT_NEAR(c[0].y, 3 + 0.2, 1e-5);
    EXPECT_NEAR(c[2].x, 10 + 0.3, 1e-5); // bottom right
    EXPECT_NEAR(c[2].y, 3 - 0.2, 1e-5);
    // A scale of 0 is drawn as 1 and stays 0.
    plate->SetScale(0);
    plate->GetCorners(c);
    EXPECT_NEAR(c[2].x - c[0].x, 0.6, 1e-5);
    EXPECT_EQ(plate->Scale(), 0.0f);
    // The sign scale of the street stretches every plate.
    s.SetZnakScale(2);
    plate->GetCorners(c);
    EXPECT_NEAR(c[2].x - c[0].x, 1.2, 1e-5);
    plate->ResetOrigin();
    EXPECT_EQ(plate->Origin(), (TXYZ{0, 0, 0}));
    EXPECT_EQ(post->NearestPlate({10, 2, 0}), 0);
    double d = 0;
    EXPECT_TRUE(post->HitTest({10.5, -5, 0}, d, 1));
    EXPECT_NEAR(d, 0.5, 1e-6);
    EXPECT_FALSE(post->HitTest({12, -2.5, 0}, d, 1));
}

// ---- Chains of second-type signs

TRoadSignItem *SignOn(TStreetStructure &s, std::initializer_list<TStreetPointRec *> recs) {
    return dynamic_cast<TRoadSignItem *>(sptest::MakeItemOn(s, RoadSignTypeCode, recs));
}

TEST_F(SignItems, AChainTakesItsRootsDirection) {
    TStreetStructure s;
    TStreetPointRec *a0 = s.Pool().AddPointRec({0, 0, 0}), *a1 = s.Pool().AddPointRec({0, 1, 0});
    TStreetPointRec *b0 = s.Pool().AddPointRec({0, -1, 0}), *c0 = s.Pool().AddPointRec({0, -2, 0});
    TRoadSignItem *a = SignOn(s, {a0, a1}), *b = SignOn(s, {b0, a0}), *c = SignOn(s, {c0, b0});
    EXPECT_EQ(a->GetChainParent(), nullptr);
    EXPECT_EQ(a->GetChainRoot(), nullptr);
    EXPECT_EQ(b->GetChainParent(), a);
    EXPECT_EQ(c->GetChainParent(), b);
    EXPECT_EQ(c->GetChainRoot(), a);
    std::vector<TRoadSignItem *> chain;
    a->CollectChain(chain);
    EXPECT_EQ(chain, (std::vector<TRoadSignItem *>{b, c}));
    EXPECT_NEAR(c->GetChainAngle(), Pi / 2, 1e-6);
    // Turning the root turns the signs below it; they rebuild without being modified.
    s.UpdateGraphics(FullTypeSet());
    s.ClearModified();
    a->Points.SetPoint(1, {1, 0, 0});
    EXPECT_TRUE(b->Points.Changed());
    EXPECT_TRUE(c->Points.Changed());
    EXPECT_NEAR(c->GetChainAngle(), 0, 1e-6);
    // A single-vertex sign faces +x.
    TRoadSignItem *single = dynamic_cast<TRoadSignItem *>(objtest::MakeItem(s, RoadSignTypeCode, {{5, 5, 0}}));
    EXPECT_EQ(single->GetChainAngle(), 0);
}

TEST_F(SignItems, AChainThatLoopsStopsAtTheFirstRepeat) {
    TStreetStructure s;
    TStreetPointRec *p = s.Pool().AddPointRec({0, 0, 0}), *q = s.Pool().AddPointRec({0, 1, 0});
    TRoadSignItem *a = SignOn(s, {p, q}), *b = SignOn(s, {q, p});
    EXPECT_EQ(a->GetChainParent(), b);
    EXPECT_EQ(b->GetChainParent(), a);
    EXPECT_EQ(a->GetChainRoot(), b);
    std::vector<TRoadSignItem *> chain;
    a->CollectChain(chain);
    EXPECT_EQ(chain, (std::vector<TRoadSignItem *>{b}));
    a->Points.SetPoint(0, {0, -1, 0}); // PointsChanged over the loop ends
    EXPECT_TRUE(b->Points.Changed());
}

TEST_F(SignItems, HitRadiusGrowsWithBothScales) {
    TStreetStructure s;
    s.SetZnakScale(2);
    auto *sign = dynamic_cast<TRoadSignItem *>(objtest::MakeItem(s, RoadSignTypeCode, {{0, 0, 0}}));
    sign->InitNewItem();
    sign->LoadFromFile((LibraryDir() / "3-24.emf").string());
    sign->SetScale(0.5f);
    // 90 x 0.5 x 0.5 x 2 / 150
    EXPECT_NEAR(sign->HitRadius(), 0.3, 1e-6);
    double d = 0;
    EXPECT_TRUE(sign->HitTest({0.35, 0, 0}, d, 0.1));
    EXPECT_FALSE(sign->HitTest({0.45, 0, 0}, d, 0.1));
    sign->SetScale(0);
    EXPECT_NEAR(sign->HitRadius(), 0.6, 1e-6);
    EXPECT_EQ(sign->LibIndex(), 1);
    EXPECT_EQ(sign->FileName(), Cp1251String("3-24.emf"));
    EXPECT_EQ(sign->GetSignNumber(), Cp1251String("3.24"));
}

TEST_F(SignItems, PictureFrameFollowsItsTwoPoints) {
    TStreetStructure s;
    auto *pic = objtest::MakeAs<TPictureItem>(s, PictureTypeCode, {{1, 1, 0}, {4, 1, 0}});
    TMetafile m;
    const auto bytes = TestEmf(90, 60, 0x112233);
    m.LoadFromBytes(bytes.data(), bytes.size());
    pic->SetMetafile(m);
    s.UpdateGraphics(FullTypeSet());
    const auto &batches = s.TypeBatches(PictureTypeCode);
    ASSERT_EQ(batches.size(), 2u);
    const TDxPrimCollection *lines = PrimCollection(batches[1].get());
    ASSERT_TRUE(lines);
    std::vector<TXYZ> ends;
    for (std::size_t i = 0; i < lines->Count(); ++i)
        if (!lines->Group(i).Deleted)
            for (const TDxVertex &v : lines->Group(i).Vertices)
                ends.push_back({v.x, v.y, v.z});
    ASSERT_EQ(ends.size(), 8u);
    // 3 m wide for 90 units: 60 units hang 2 m below the top edge.
    EXPECT_EQ(ends[0], (TXYZ{1, 1, 0}));
    EXPECT_EQ(ends[1], (TXYZ{4, 1, 0}));
    EXPECT_NEAR(ends[3].y, -1, 1e-5);
    EXPECT_NEAR(ends[3].x, 4, 1e-5);
}

// Frames of a street with more distinct pictures in view than the texture cache keeps: plates and signs
// render their pictures in the first frame only.
TEST_F(SignItems, PicturesInViewRenderOnceOverFrames) {
    TStreetStructure s;
    for (int i = 0; i < 50; ++i) {
        const float x = float(i % 10) * 1.5f - 7, y = float(i / 10) * 1.5f - 4;
        auto *post =
            objtest::MakeAs<TZnakItem>(s, ZnakTypeCode, {{x, y, 0}, {x, y + 0.1f, 0}, {x, y + 0.2f, 0}});
        TMetafile m;
        const auto bytes = TestEmf(40 + i, 40, 0x010101 * uint32_t(i + 1));
        m.LoadFromBytes(bytes.data(), bytes.size());
        post->AddPlate()->SetMetafile(m);
        auto *sign = objtest::MakeAs<TRoadSignItem>(s, RoadSignTypeCode, {{x + 0.7f, y, 0}});
        sign->InitNewItem();
        const auto other = TestEmf(40 + i, 41, 0x020202 * uint32_t(i + 1));
        TMemoryStream stream(other);
        sign->LoadFromMetafileStream(stream, Cp1251String("sign.emf"));
    }
    // 200 x 200 pixels, 10 a metre: every plate is drawn textured.
    auto device = std::make_shared<TRecordingDevice>(200, 200);
    TDisplayRenderer renderer(device);
    const auto frame = [&] {
        const uint64_t before = TEMFTexture::RenderCount();
        renderer.BeginDraw();
        renderer.Projection().Scale(true, 2 * 10.0f / 200, 2 * 10.0f / 200, 1);
        s.Draw({&renderer, {0, 0, 0}, 10}, TItemTypeSet{ZnakTypeCode, RoadSignTypeCode}, PlanLayerMask);
        renderer.EndDraw();
        return TEMFTexture::RenderCount() - before;
    };
    EXPECT_EQ(frame(), 100u);
    EXPECT_EQ(frame(), 0u);
    EXPECT_EQ(frame(), 0u);
    EXPECT_EQ(TEMFTexture::Cache().size(), 100u);
}

} // namespace
