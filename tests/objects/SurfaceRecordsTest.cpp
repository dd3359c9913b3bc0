// Street files with surfaces and curbs: records written back byte for byte (every tag that is written
// only when set, present and absent), records from elsewhere normalised once, and what reading sets.
#include "ObjectsTestUtil.h"

#include "objects/BortItem.h"
#include "objects/House.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"

#include <functional>

using namespace objtest;
using sptest::ByteBuilder;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

class SurfaceRecords : public TWithClasses {};

// A polygon record: the head, then the passport axis (empty unless given).
ItemRec Polygon(const std::string &ident, int32_t id, std::vector<int32_t> points,
                std::vector<std::pair<std::string, int32_t>> axis = {sptest::EmptyRef()}) {
    ItemRec r = Rec(ident, id, std::move(points));
    r.Extra.Tag("POLYCONN").Append(sptest::ConnectdBytes(axis));
    return r;
}

ItemRec Curb(int32_t id, std::vector<int32_t> points, const char *kind, const char *gost, float width,
             uint32_t color) {
    ItemRec r = Rec("BORT", id, std::move(points));
    if (kind)
        r.Extra.Tag("BORTKIND").Str(W(kind));
    if (gost)
        r.Extra.Tag("BORTGOST").Str(W(gost));
    r.Extra.Tag("BORTWIDT").F32(width).Tag("BORTCOLR").U32(color);
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

TEST_F(SurfaceRecords, CanonicalRecordsWriteBackByteForByte) {
    const TCase cases[] = {
        {"road ways with material and category, with one of them, with neither",
         [] {
             StreetFile f = WithPoints();
             ItemRec both = Polygon("ROADWAY", 1, {1, 2, 3, 4});
             both.Extra.Tag("RWMAT").Str(W("асфальтобетон")).Tag("RWPASPCT").Str(W("карман ост."));
             ItemRec category = Polygon("ROADWAY", 2, {2, 5, 6, 3});
             category.Extra.Tag("RWPASPCT").Str(W("IV"));
             ItemRec material = Polygon("ROADWAY", 3, {1, 2, 3});
             material.Extra.Tag("RWMAT").Str(W("брусчатка"));
             f.Lists = {{"ROADWAY", {both, category, material, Polygon("ROADWAY", 4, {4, 3, 6})}}};
             return f;
         }},
        {"sidewalks, a passport axis",
         [] {
             StreetFile f = WithPoints();
             ItemRec both = Polygon("TROTUAR", 1, {1, 2, 3, 4}, {{"LNDEFECT", 9}});
             both.Extra.Tag("TRMAT").Str(W("плитка")).Tag("TRPASPCT").Str(W("тротуар"));
             ItemRec material = Polygon("TROTUAR", 2, {2, 5, 6});
             material.Extra.Tag("TRMAT").Str(W("асфальт"));
             f.Lists = {{"TROTUAR", {both, material, Polygon("TROTUAR", 3, {4, 3, 6})}},
                        {"LNDEFECT", {Rec("LNDEFECT", 9, {7, 8})}}};
             return f;
         }},
        {"houses write both address tags always",
         [] {
             StreetFile f = WithPoints();
             ItemRec full = Polygon("HOUSE", 1, {1, 2, 3, 4});
             full.Extra.Tag("HOUSADDR").Str(W("ул. Мира, 5")).Tag("HOUSADST").Str(W("корп. 2"));
             ItemRec empty = Polygon("HOUSE", 2, {2, 5, 6});
             empty.Extra.Tag("HOUSADDR").Str("").Tag("HOUSADST").Str("");
             f.Lists = {{"HOUSE", {full, empty}}};
             return f;
         }},
        {"dividing strips, lawns and shoulders have no fields of their own",
         [] {
             StreetFile f = WithPoints();
             ItemRec shoulder = Polygon("OBOCH", 1, {2, 5, 6});
             shoulder.Comment2 = W("гравий");
             f.Lists = {{"RAZDPOL", {Polygon("RAZDPOL", 1, {1, 2, 3})}},
                        {"GAZON", {Polygon("GAZON", 4, {1, 3, 4})}},
                        {"OBOCH", {shoulder}}};
             return f;
         }},
        {"curbs with kind and grade, with neither, with odd widths and colours",
         [] {
             StreetFile f = WithPoints();
             f.Lists = {{"BORT",
                         {Curb(1, {1, 2, 5}, "бортовой камень", "БР 100.30.15", 0.2f, 0xFF008000),
                          Curb(2, {4, 3}, nullptr, nullptr, 0.35f, 0x80FF0000),
                          Curb(3, {3, 6}, nullptr, "ГП-1", 0.0f, 0x00000000),
                          Curb(4, {7, 8}, "x", nullptr, -1.0f, 0xFFFFFFFF)}}};
             return f;
         }},
    };
    for (const TCase &c : cases) {
        const std::vector<uint8_t> bytes = c.Make().Bytes();
        std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
        EXPECT_FALSE(s->Modified()) << c.Name;
        EXPECT_EQ(SaveBytes(*s), bytes) << c.Name;
    }
}

TEST_F(SurfaceRecords, RecordsFromElsewhereAreNormalisedOnce) {
    struct TNorm {
        const char *Name;
        std::function<StreetFile()> Make, Expected;
    };
    const TNorm cases[] = {
        {"a house without its address tags",
         [] {
             StreetFile f = WithPoints();
             f.Lists = {{"HOUSE", {Polygon("HOUSE", 1, {1, 2, 3})}}};
             return f;
         },
         [] {
             StreetFile f = WithPoints();
             ItemRec h = Polygon("HOUSE", 1, {1, 2, 3});
             h.Extra.Tag("HOUSADDR").Str("").Tag("HOUSADST").Str("");
             f.Lists = {{"HOUSE", {h}}};
             return f;
         }},
        {"a curb without width and colour takes 0.2 and green",
         [] {
             StreetFile f = WithPoints();
             ItemRec r = Rec("BORT", 1, {1, 2});
             r.Extra.Tag("BORTGOST").Str(W("ГП-2"));
             f.Lists = {{"BORT", {r}}};
             return f;
         },
         [] {
             StreetFile f = WithPoints();
             f.Lists = {{"BORT", {Curb(1, {1, 2}, nullptr, "ГП-2", 0.2f, 0xFF008000)}}};
             return f;
         }},
        {"empty material and category tags, a sidewalk without POLYCONN",
         [] {
             StreetFile f = WithPoints();
             ItemRec road = Polygon("ROADWAY", 1, {1, 2, 3});
             road.Extra.Tag("RWMAT").Str("").Tag("RWPASPCT").Str("");
             ItemRec walk = Rec("TROTUAR", 1, {1, 2, 3});
             walk.Extra.Tag("TRMAT").Str("").Tag("TRPASPCT").Str(W("т"));
             f.Lists = {{"ROADWAY", {road}}, {"TROTUAR", {walk}}};
             return f;
         },
         [] {
             StreetFile f = WithPoints();
             ItemRec walk = Polygon("TROTUAR", 1, {1, 2, 3});
             walk.Extra.Tag("TRPASPCT").Str(W("т"));
             f.Lists = {{"ROADWAY", {Polygon("ROADWAY", 1, {1, 2, 3})}}, {"TROTUAR", {walk}}};
             return f;
         }},
    };
    for (const TNorm &c : cases) {
        std::unique_ptr<TStreetStructure> s = LoadBytes(c.Make().Bytes());
        const std::vector<uint8_t> once = SaveBytes(*s);
        EXPECT_EQ(once, c.Expected().Bytes()) << c.Name;
        EXPECT_EQ(SaveBytes(*LoadBytes(once)), once) << c.Name;
    }
}

TEST_F(SurfaceRecords, ReadingSetsTheFieldsAndARecordWithoutThemClearsThem) {
    StreetFile f = WithPoints();
    ItemRec road = Polygon("ROADWAY", 1, {1, 2, 3});
    road.Extra.Tag("RWMAT").Str(W("асфальт")).Tag("RWPASPCT").Str(W("II"));
    f.Lists = {{"ROADWAY", {road}},
               {"BORT", {Curb(5, {1, 2}, "камень", "БР 100.30.18", 0.25f, MakeD3DColor(1, 2, 3, 4))}}};
    std::unique_ptr<TStreetStructure> s = LoadBytes(f.Bytes());
    auto *r = dynamic_cast<TRoadWayItem *>(s->Lists(RoadWayTypeCode).FindById(1));
    auto *b = dynamic_cast<TBortItem *>(s->Lists(BortTypeCode).FindById(5));
    ASSERT_TRUE(r && b);
    EXPECT_EQ(r->Material(), Cp("асфальт"));
    EXPECT_EQ(r->PasspCategory(), Cp("II"));
    EXPECT_EQ(b->Kind(), Cp("камень"));
    EXPECT_EQ(b->Gost(), Cp("БР 100.30.18"));
    EXPECT_EQ(b->Width(), 0.25f);
    EXPECT_EQ(b->Color(), MakeD3DColor(1, 2, 3, 4));

    // A sample record without the fields, read into the existing items keeping their ids.
    const ByteBuilder bare = Polygon("ROADWAY", 77, {}).Bytes();
    TMemoryStream m(bare.Data());
    r->LoadFromStreamKeepId(m);
    EXPECT_EQ(r->ID(), 1);
    EXPECT_TRUE(r->Material().Empty());
    EXPECT_TRUE(r->PasspCategory().Empty());
    const ByteBuilder curb = Rec("BORT", 1).Bytes();
    TMemoryStream mc(curb.Data());
    b->LoadFromStreamKeepId(mc);
    EXPECT_TRUE(b->Kind().Empty() && b->Gost().Empty());
    EXPECT_EQ(b->Width(), TBortItem::DefaultWidth);
    EXPECT_EQ(b->Color(), TBortItem::DefaultColor);
}

TEST_F(SurfaceRecords, ClassConstants) {
    struct TRow {
        int Code;
        const char *Ident, *Name;
        int Category, Min;
        bool Closed;
    };
    const TRow rows[] = {
        {1, "RAZDPOL ", "Разд. полоса", 0, 3, true}, {2, "ROADWAY ", "Проезжая часть", 0, 3, true},
        {3, "TROTUAR ", "Тротуар", 0, 3, true},      {4, "GAZON   ", "Газон", 0, 3, true},
        {5, "OBOCH   ", "Обочина", 0, 3, true},      {6, "HOUSE   ", "Здание", 1, 3, true},
        {8, "BORT    ", "Борт", 1, 2, false},
    };
    TStreetStructure s;
    for (const TRow &r : rows) {
        TAbstractItem *item = s.Lists(r.Code).AddNew();
        EXPECT_EQ(item->GetTypeCode(), r.Code);
        EXPECT_EQ(item->GetIdent(), Cp1251String(r.Ident));
        EXPECT_EQ(item->GetDisplayName(), Cp(r.Name));
        EXPECT_EQ(item->GetCategory(), r.Category);
        EXPECT_EQ(item->MinPointCount(), r.Min);
        EXPECT_EQ(item->MaxPointCount(), 2147483647);
        EXPECT_EQ(item->IsClosed(), r.Closed);
        EXPECT_FALSE(item->HasControlPoints());
        EXPECT_EQ(s.TypeBatches(r.Code).size(), 2u);
    }
    auto *curb = dynamic_cast<TBortItem *>(s.Lists(BortTypeCode).Items(0));
    ASSERT_TRUE(curb);
    EXPECT_EQ(curb->Width(), 0.2f);
    EXPECT_EQ(curb->Color(), MakeD3DColor(0, 128, 0, 255));
}

} // namespace
