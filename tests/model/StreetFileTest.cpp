// The street stream: canonical files read and written back byte for byte, files from elsewhere
// normalised once, and every kind of bad input refused with the stream, the offset and the reason.
#include "StreetTestUtil.h"

#include "engine/Cp1251.h"
#include "tools/make-street/StreetGen.h"
#include "tools/make-street/StreetInvariants.h"

#include <cmath>
#include <cstring>
#include <functional>

using namespace streettest;
using sptest::ItemRec;
using sptest::PointRow;
using sptest::Rec;
using sptest::StreetFile;

namespace {

class StreetFileTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestClasses(); }
};

std::string W(const char *utf8) {
    return Cp(utf8).Bytes();
}

// Four vertices of a rectangle and a few more along a line.
std::vector<PointRow> SomePoints() {
    return {{1, 0, 0}, {2, 10, 0}, {3, 10, 5}, {4, 0, 5}, {5, 20, 0}, {6, 30, 1}, {9, 40, 2}};
}

StreetFile WithItems() {
    StreetFile f = StreetFile::Canonical();
    f.GrpNames = W("Видимые=ON\r\nСкрытые=OFF\r\n");
    f.Points = SomePoints();
    f.StrConn = std::vector<std::pair<std::string, int32_t>>{{"RAD_MEAS", 4}};
    ItemRec road = Rec("ROADWAY", 1, {1, 2, 3, 4});
    road.Group = W("Видимые");
    road.Comment = W("проезжая часть");
    road.Comment2 = W("вторая");
    road.ReferAx = std::vector<std::pair<std::string, int32_t>>{{"RAD_MEAS", 4}};
    ItemRec hidden = Rec("ROADWAY", 3, {2, 5, 3});
    hidden.Active = 0;
    hidden.Group = W("Скрытые");
    ItemRec walk = Rec("TROTUAR", 2, {4, 3, 6});
    ItemRec bort = Rec("BORT", 7, {1, 2, 5, 6}, 1);
    ItemRec wall = Rec("RAD_MEAS", 4, {5, 6, 9});
    wall.ReferAx = std::vector<std::pair<std::string, int32_t>>{{"BORT", 7}};
    ItemRec curve = Rec("ARCCOORD", 1, {2, 5, 6});
    ItemRec kolod = Rec("KOLOD", 12, {9});
    f.Lists = {{"ROADWAY", {road, hidden}}, {"TROTUAR", {walk}}, {"BORT", {bort}},
               {"ARCCOORD", {curve}},         {"KOLOD", {kolod}},  {"RAD_MEAS", {wall}}};
    return f;
}

struct TCase {
    const char *Name;
    std::function<StreetFile()> Make;
};

TEST_F(StreetFileTest, CanonicalFilesWriteBackByteForByte) {
    const TCase cases[] = {
        {"empty street", [] { return StreetFile::Canonical(); }},
        {"names, origin, flags, groups, view and options",
         [] {
             StreetFile f = StreetFile::Canonical();
             f.Name = W("Улица Ленина");
             f.Start = W("от пл. Мира");
             f.Finish = std::string("\x98\x00\xff", 3); // every byte passes untouched
             f.Ecef = std::array<double, 3>{2860000.5, -2194000.25, 5243000.125};
             f.EcefExtra = {1, 2, 3, 4, 5, 6, 7, 8};
             f.ArrowBig = 1;
             f.ArrPlast = 2; // any byte value is kept
             f.OstPlast = 1;
             f.StpPlast = 0;
             f.ZebPlast = 1;
             f.ZebraYop = 1;
             f.GrpNames = "A=ON\r\nB=OFF\r\n\r\nplain line\r\n";
             f.View = std::array<float, 5>{100.5f, -20.25f, 0, 0.5f, 1.25f};
             f.WorkTime = 1234;
             f.DrawOpts = "RazmerScale=2.5\r\nUpdateAllEdges=1\r\nZnakScale=150\r\n";
             return f;
         }},
        {"line-marking section",
         [] {
             StreetFile f = StreetFile::Canonical();
             // Two records as the writer stores them: short strings zero-padded, flags 0 or 1.
             auto text = [](sptest::ByteBuilder &b, const std::string &t) {
                 b.U8(static_cast<uint8_t>(t.size())).Bytes(t);
                 for (std::size_t i = t.size(); i < 255; ++i)
                     b.U8(0);
             };
             sptest::ByteBuilder ln;
             ln.I32(2).I32(788);
             text(ln, "1.1");
             text(ln, "Solid.bmp");
             ln.F32(4).F32(0.05f).F32(-0.05f);
             text(ln, W("Сплошная"));
             ln.F32(1).U8(1).U8(0).U8(1).U8(0);
             text(ln, "1.5");
             text(ln, "");
             ln.F32(0).F32(0).F32(0);
             text(ln, "");
             ln.F32(0).U8(0).U8(1).U8(0).U8(1);
             f.LnParams = ln;
             return f;
         }},
        {"items of every shape with optional fields present and absent", [] { return WithItems(); }},
    };
    for (const TCase &c : cases) {
        const std::vector<uint8_t> bytes = c.Make().Bytes();
        std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
        EXPECT_FALSE(s->Modified()) << c.Name;
        EXPECT_EQ(SaveBytes(*s), bytes) << c.Name;
    }
}

TEST_F(StreetFileTest, ReadingBindsReferencesAndAppliesGroups) {
    std::unique_ptr<TStreetStructure> s = LoadBytes(WithItems().Bytes());
    TAbstractItem *wall = s->Lists(PlainLine).FindById(4);
    TAbstractItem *bort = s->Lists(BortTypeCode).FindById(7);
    ASSERT_TRUE(wall && bort);
    EXPECT_EQ(s->GetMainAxis(), wall);
    EXPECT_EQ(s->Lists(RoadWayTypeCode).FindById(1)->ReferAxis.Items(0), wall);
    EXPECT_EQ(wall->ReferAxis.Items(0), bort);
    EXPECT_EQ(s->Lists(TrotuarTypeCode).FindById(2)->GetReferAxis(), wall); // the main axis stands in
    EXPECT_TRUE(s->Lists(RoadWayTypeCode).FindById(1)->Active);
    EXPECT_FALSE(s->Lists(RoadWayTypeCode).FindById(3)->Active);
    EXPECT_TRUE(bort->Points.Spline());
    EXPECT_EQ(s->Lists(KolodTypeCode).MaxId(), 12);
    EXPECT_EQ(s->Lists(RoadWayTypeCode).MaxId(), 3);
    EXPECT_TRUE(s->Loaded());
    EXPECT_FALSE(s->IsIdle());
    EXPECT_EQ(s->TagSetSize(), 8);
    // Shared vertices are shared records.
    EXPECT_EQ(s->Lists(RoadWayTypeCode).FindById(1)->Points.PointRec(1), bort->Points.PointRec(1));
}

TEST_F(StreetFileTest, FilesFromElsewhereAreNormalisedOnce) {
    struct TNorm {
        const char *Name;
        std::function<StreetFile()> Make;
        std::function<void(TStreetStructure &)> Check;
    };
    const TNorm cases[] = {
        {"no TAGSSIZE and only the mandatory sections",
         [] {
             StreetFile f;
             f.TagsSize.reset();
             f.Points = {{3, 1, 2}};
             return f;
         },
         [](TStreetStructure &s) {
             EXPECT_EQ(s.TagSetSize(), 8);
             EXPECT_EQ(s.Pool().Count(), 1);
         }},
        {"view scale 0 reads 0.01",
         [] {
             StreetFile f = StreetFile::Canonical();
             f.View = std::array<float, 5>{1, 2, 3, 0, 0};
             return f;
         },
         [](TStreetStructure &s) { EXPECT_FLOAT_EQ(s.View().Scale, 0.01f); }},
        {"group text without the final line break and with lone LF",
         [] {
             StreetFile f = StreetFile::Canonical();
             f.GrpNames = "A=ON\nB=OFF";
             return f;
         },
         [](TStreetStructure &s) { EXPECT_EQ(s.GroupNames().Text(), Cp1251String("A=ON\r\nB=OFF\r\n")); }},
        {"stored Z, flag bytes and ITEMACTV 0 of an item whose group is not listed",
         [] {
             StreetFile f = StreetFile::Canonical();
             f.Points = {{1, 0, 0, 7.5}, {2, 5, 0, -1}};
             ItemRec line = Rec("BORT", 1, {1, 2});
             line.Active = 0;
             line.Group = "nowhere";
             line.Spline = 5;
             f.Lists = {{"BORT", {line}}};
             return f;
         },
         [](TStreetStructure &s) {
             EXPECT_EQ(s.Pool().Points(0)->Z(), 0);
             EXPECT_TRUE(s.Lists(BortTypeCode).Items(0)->Active);
         }},
        {"records with too few vertices, vertices 0.0005 apart, unbound references, no PNTLSTSP",
         [] {
             StreetFile f = StreetFile::Canonical();
             f.Points = {{1, 0, 0}, {2, 0.0005, 0}, {3, 10, 0}, {4, 10, 10}};
             ItemRec one = Rec("BORT", 1, {3});
             ItemRec close = Rec("BORT", 2, {1, 2, 3});
             close.SplineTag = false;
             close.ReferAx = std::vector<std::pair<std::string, int32_t>>{{"RAD_MEAS", 99}};
             ItemRec poly = Rec("ROADWAY", 5, {1, 3});
             f.Lists = {{"ROADWAY", {poly}}, {"BORT", {one, close}}};
             return f;
         },
         [](TStreetStructure &s) {
             EXPECT_EQ(s.Lists(RoadWayTypeCode).Count(), 0);
             ASSERT_EQ(s.Lists(BortTypeCode).Count(), 1);
             const TAbstractItem *b = s.Lists(BortTypeCode).Items(0);
             EXPECT_EQ(b->ID(), 2);
             EXPECT_EQ(b->Points.Count(), 2);
             EXPECT_EQ(b->Points.IdAt(1), 3);
             EXPECT_EQ(b->ReferAxis.Items(0), nullptr);
             EXPECT_EQ(s.Lists(BortTypeCode).MaxId(), 2);
         }},
        {"line-marking records of 700 bytes",
         [] {
             StreetFile f = StreetFile::Canonical();
             sptest::ByteBuilder ln;
             ln.I32(2).I32(700);
             for (const char *name : {"1.1", "1.5"}) {
                 const std::string fields[] = {name, "Dash.bmp"};
                 for (const std::string &t : fields) {
                     ln.U8(static_cast<uint8_t>(t.size())).Bytes(t);
                     for (std::size_t i = t.size(); i < 255; ++i)
                         ln.U8(0);
                 }
                 ln.F32(12).F32(0.075f).F32(-0.075f);
                 // A description of 200 characters of which the record holds 175.
                 ln.U8(200).Bytes(std::string(175, 'd'));
             }
             f.LnParams = ln;
             return f;
         },
         [](TStreetStructure &s) {
             ASSERT_EQ(s.LnParams().size(), 2u);
             for (const TLnParamRec &r : s.LnParams()) {
                 EXPECT_EQ(r.TextureFile, Cp1251String("Dash.bmp"));
                 EXPECT_EQ(r.Period, 12);
                 EXPECT_EQ(r.Disp1, 0.075f);
                 EXPECT_EQ(r.Disp2, -0.075f);
                 EXPECT_EQ(r.Description, Cp1251String(std::string(175, 'd')));
                 EXPECT_EQ(r.SqCoeff, 0);
                 EXPECT_FALSE(r.FullPeriods || r.Yellow || r.Plastic || r.CountItems);
             }
             EXPECT_EQ(s.LnParams()[1].Name, Cp1251String("1.5"));
             // Written as full records.
             const std::vector<uint8_t> saved = SaveBytes(s);
             const std::string bytes(saved.begin(), saved.end());
             const std::size_t at = bytes.find("LNPARAMS");
             ASSERT_NE(at, std::string::npos);
             int32_t head[2];
             std::memcpy(head, bytes.data() + at + 8, 8);
             EXPECT_EQ(head[0], 2);
             EXPECT_EQ(head[1], 788);
         }},
        {"empty sections, two sections of one type, descending type order",
         [] {
             StreetFile f = StreetFile::Canonical();
             f.Points = {{1, 0, 0}, {2, 1, 0}, {3, 2, 0}};
             ItemRec k1 = Rec("KOLOD", 1, {1});
             ItemRec k2 = Rec("KOLOD", 2, {3});
             ItemRec b = Rec("BORT", 4, {1, 2, 3});
             f.Lists = {{"KOLOD", {k2}}, {"ROADWAY", {}}, {"BORT", {b}}, {"KOLOD", {k1}}};
             return f;
         },
         [](TStreetStructure &s) {
             ASSERT_EQ(s.Lists(KolodTypeCode).Count(), 2);
             EXPECT_EQ(s.Lists(KolodTypeCode).Items(0)->ID(), 2);
             EXPECT_EQ(s.Lists(KolodTypeCode).Items(1)->ID(), 1);
             EXPECT_EQ(s.Lists(BortTypeCode).Count(), 1);
         }},
    };
    for (const TNorm &c : cases) {
        const std::vector<uint8_t> input = c.Make().Bytes();
        std::unique_ptr<TStreetStructure> first = LoadBytes(input);
        c.Check(*first);
        const std::vector<uint8_t> once = SaveBytes(*first);
        EXPECT_NE(once, input) << c.Name;
        std::unique_ptr<TStreetStructure> second = LoadBytes(once);
        EXPECT_EQ(SaveBytes(*second), once) << c.Name;
    }
}

TEST_F(StreetFileTest, GeneratedStreetsReadBackAsWritten) {
    TStreetStructure s;
    GenerateStreet(s, TStreetGenOptions{3000, 5});
    EXPECT_EQ(CheckStreetInvariants(s), "");
    const std::vector<uint8_t> once = SaveBytes(s);
    std::unique_ptr<TStreetStructure> back = LoadBytes(once);
    EXPECT_EQ(CheckStreetInvariants(*back), "");
    EXPECT_EQ(back->Pool().Count(), s.Pool().Count());
    for (int code = 0; code < ItemTypeCount; ++code)
        EXPECT_EQ(back->Lists(code).Count(), s.Lists(code).Count()) << code;
    EXPECT_EQ(SaveBytes(*back), once);
}

TEST_F(StreetFileTest, EditedStreetsWriteWhatReadsBack) {
    // Vertices moved onto (or within a millimetre of) their neighbours, and heights, which the stream
    // does not keep: what is written is what a reader keeps, so the file reads back as written.
    TStreetStructure s;
    TAbstractItem *line = MakeItem(s, BortTypeCode, {{0, 0, 0}, {5, 0, 0}, {10, 0, 0}, {15, 0, 0}});
    line->Points.SetPoint(1, {0, 0, 0});
    line->Points.SetPoint(3, {10.0004f, 0, 3});
    TAbstractItem *poly = MakeItem(s, RoadWayTypeCode, {{0, 5, 0}, {5, 5, 0}, {5, 10, 0}, {0, 10, 0}});
    poly->Points.SetPoint(3, {0, 5, 0});
    // The second vertex drops the third; the fourth is then within a millimetre of the second.
    MakeItem(s, BortTypeCode,
             {{-1, 20, 0}, {0, 20, 0}, {0.0009f, 20, 0}, {-0.0002f, 20.0008f, 0}, {1, 21, 0}});
    const std::vector<uint8_t> once = SaveBytes(s);
    std::unique_ptr<TStreetStructure> back = LoadBytes(once);
    EXPECT_EQ(back->Lists(BortTypeCode).Items(0)->Points.Count(), 2);
    EXPECT_EQ(back->Lists(RoadWayTypeCode).Items(0)->Points.Count(), 3);
    EXPECT_EQ(back->Lists(BortTypeCode).Items(1)->Points.Count(), 3);
    EXPECT_EQ(SaveBytes(*back), once);
}

TEST_F(StreetFileTest, BadStreamsAreRefusedWithOffsetAndReason) {
    struct TBad {
        const char *Name;
        std::function<std::vector<uint8_t>()> Make;
        const char *Expect;
    };
    auto with = [](std::function<void(StreetFile &)> edit) {
        return [edit] {
            StreetFile f = StreetFile::Canonical();
            f.Points = {{1, 0, 0}, {2, 1, 0}, {3, 2, 0}};
            edit(f);
            return f.Bytes();
        };
    };
    const TBad cases[] = {
        {"empty stream", [] { return std::vector<uint8_t>{}; }, "StreamIdent<>siStreet"},
        {"no STREET", with([](StreetFile &f) { f.StreetTag = false; }), "StreamIdent<>siStreet"},
        {"tag-set size 9", with([](StreetFile &f) { f.TagsSize = 9; }), "tag-set size 9"},
        {"no point table", with([](StreetFile &f) { f.PointTableTag = false; }), "Ident<>PNTSTRCT"},
        {"truncated name",
         [] {
             sptest::ByteBuilder b;
             b.Tag("TAGSSIZE").I32(8).Tag("STREET").Tag("STRNAME").I32(100).Bytes("abc");
             return b.Data();
         },
         "exceeds the data present"},
        {"negative line-marking record size", with([](StreetFile &f) {
             sptest::ByteBuilder ln;
             ln.I32(1).I32(-788);
             f.LnParams = ln;
         }),
         "record size -788"},
        {"line-marking count beyond the data", with([](StreetFile &f) {
             sptest::ByteBuilder ln;
             ln.I32(100000).I32(788);
             f.LnParams = ln;
         }),
         "exceeds the data present"},
        {"main axis reference of two slots", with([](StreetFile &f) {
             f.StrConn = std::vector<std::pair<std::string, int32_t>>{{"BORT", 1}, {"BORT", 2}};
         }),
         "Fixed, but Size>Capacity"},
        {"unknown item-list ident", with([](StreetFile &f) {
             f.Lists = {{"NOSUCHTP", {}}};
         }),
         "unknown class ident \"NOSUCHTP\""},
        {"file cut inside an item-list ident",
         with([](StreetFile &f) { f.Trailer.Tag("ITEMLIST").Bytes("BORT"); }),
         "unexpected end of data (need 16 bytes, 12 left)"},
        {"file cut inside an item-list tag", with([](StreetFile &f) { f.Trailer.Bytes("ITEML"); }),
         "unexpected end of data (need 16 bytes, 5 left)"},
        {"item list of a type without a registered class", with([](StreetFile &f) {
             f.Lists = {{"SUBLAYER", {}}};
         }),
         "has no registered item class"},
        {"bytes after the last section", with([](StreetFile &f) { f.Trailer.Bytes("junk"); }),
         "unexpected \"junk\""},
        {"section out of order", with([](StreetFile &f) { f.Trailer.Tag("DRAWOPTS").Str(""); }),
         "unexpected \"DRAWOPTS\""},
        {"item count beyond the data", with([](StreetFile &f) {
             f.Lists = {{"BORT", {}, 1000}};
         }),
         "exceeds the data present"},
        {"negative item count", with([](StreetFile &f) {
             f.Lists = {{"BORT", {}, -1}};
         }),
         "negative count"},
        {"record of another class in a list", with([](StreetFile &f) {
             f.Lists = {{"BORT", {Rec("RAD_MEAS", 1, {1, 2})}}};
         }),
         "Ident<>BORT    "},
        {"duplicate item id", with([](StreetFile &f) {
             f.Lists = {{"BORT", {Rec("BORT", 3, {1, 2}), Rec("BORT", 3, {2, 3})}}};
         }),
         "duplicate item id 3"},
        {"item id 0", with([](StreetFile &f) {
             f.Lists = {{"BORT", {Rec("BORT", 0, {1, 2})}}};
         }),
         "item id 0 is not positive"},
        {"vertex count beyond the data", with([](StreetFile &f) {
             f.Lists = {{"BORT", {}, 1}};
             f.Trailer.Tag("ITEM").Tag("BORT").I32(1).Tag("PNTLIST").Tag("PNTLSTSP").U8(0).I32(1 << 30);
         }),
         "count 1073741824 exceeds the data present"},
        {"truncated record", with([](StreetFile &f) {
             f.Lists = {{"BORT", {Rec("BORT", 1, {1, 2})}, 2}};
             f.Trailer.Tag("ITEM").Bytes("BO");
         }),
         "unexpected end of data"},
    };
    for (const TBad &c : cases) {
        const std::vector<uint8_t> bytes = c.Make();
        const std::string e = ErrorOf([&] { LoadBytes(bytes, "bad.zrv"); });
        EXPECT_NE(e.find(c.Expect), std::string::npos) << c.Name << ": " << e;
        EXPECT_NE(e.find(" at offset "), std::string::npos) << c.Name << ": " << e;
        EXPECT_NE(e.find("bad.zrv"), std::string::npos) << c.Name << ": " << e;
    }
}

TEST_F(StreetFileTest, AFailedReadLeavesNothingHalfRead) {
    // Reading into an existing street: a failure clears it instead of leaving a part of the file.
    TStreetStructure s;
    MakeItem(s, BortTypeCode, {{0, 0, 0}, {1, 0, 0}});
    s.SetName(Cp("Прежняя"));
    s.SetBoolOption(Cp1251String("UpdateAllEdges"), true);
    StreetFile f = StreetFile::Canonical();
    f.Name = W("Чужая");
    f.WorkTime = 77;
    f.Points = {{1, 0, 0}, {2, 1, 0}};
    f.Lists = {{"BORT", {Rec("BORT", 1, {1, 2})}}};
    f.Trailer.Bytes("x");
    TMemoryStream m(f.Bytes());
    EXPECT_THROW(s.LoadFromStream(m), EStreetError);
    EXPECT_EQ(s.Lists(BortTypeCode).Count(), 0);
    EXPECT_EQ(s.Pool().Count(), 0);
    EXPECT_FALSE(s.Loaded());
    // Neither the old street's header nor the failed file's stays behind.
    EXPECT_TRUE(s.Name().Empty());
    EXPECT_FALSE(s.GetBoolOption(Cp1251String("UpdateAllEdges")));
    EXPECT_EQ(s.BlockDefs().Count(), 0);
    EXPECT_EQ(s.WorkTime(), 0);

    // Nor after a read that works, of a file without those sections.
    s.SetName(Cp("Прежняя"));
    s.SetBoolOption(Cp1251String("UpdateAllEdges"), true);
    s.SetWorkTime(5);
    TMemoryStream bare(StreetFile{}.Bytes());
    s.LoadFromStream(bare);
    EXPECT_TRUE(s.Loaded());
    EXPECT_TRUE(s.Name().Empty());
    EXPECT_FALSE(s.GetBoolOption(Cp1251String("UpdateAllEdges")));
    EXPECT_EQ(s.WorkTime(), 0);
}

TEST_F(StreetFileTest, FilesSaveThroughATemporaryAndLoadIntoAFreshStreet) {
    sptest::TempDir dir;
    const std::string name = dir.File("Street.zrv");
    const std::vector<uint8_t> bytes = WithItems().Bytes();
    sptest::WriteFileBytes(name, bytes);
    std::unique_ptr<TStreetStructure> s = LoadStreetFile(name);
    EXPECT_EQ(s->FileName(), name);
    s->SaveToFile(dir.File("Copy.zrv"));
    EXPECT_EQ(sptest::ReadFileBytes(dir.File("Copy.zrv")), bytes);

    sptest::WriteFileBytes(dir.File("bad.zrv"), std::vector<uint8_t>(bytes.begin(), bytes.end() - 3));
    const std::string e = ErrorOf([&] { LoadStreetFile(dir.File("bad.zrv")); });
    EXPECT_NE(e.find(dir.File("bad.zrv")), std::string::npos) << e;
    EXPECT_NE(e.find(" at offset "), std::string::npos) << e;

    // A save that cannot happen says so and leaves the old file as it was.
    EXPECT_THROW(s->SaveToFile(dir.File("no/such/folder/x.zrv")), EStreetError);
    std::filesystem::create_directory(dir.File("taken.zrv"));
    EXPECT_THROW(s->SaveToFile(dir.File("taken.zrv")), EStreetError);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("taken.zrv")));
}

TEST_F(StreetFileTest, OptionsAndTheirDefaults) {
    std::unique_ptr<TStreetStructure> s = LoadBytes(StreetFile::Canonical().Bytes());
    EXPECT_DOUBLE_EQ(s->GetRazmerRound(), 0.05);
    EXPECT_FLOAT_EQ(s->GetRazmerScale(), 1.0f);
    EXPECT_FLOAT_EQ(s->GetZnakScale(), 1.0f);
    const TEcefMapRec def = s->GetEcefMap();
    EXPECT_DOUBLE_EQ(def.X, 2860517.82);
    EXPECT_DOUBLE_EQ(def.Y, 2194813.71);
    EXPECT_DOUBLE_EQ(def.Z, 5243620.5);
    TEcefMapRec one;
    one.X = 1;
    s->SetEcefMap(one);
    EXPECT_EQ(s->GetEcefMap(), one);

    StreetFile f = StreetFile::Canonical();
    f.DrawOpts =
        "RazmerScale=2.5\r\nRazmerRound=0.1\r\nRazmerColor=255\r\nZnakScale=150\r\nKMSignScaled=1\r\n";
    s = LoadBytes(f.Bytes());
    EXPECT_FLOAT_EQ(s->GetRazmerScale(), 2.5f);
    EXPECT_DOUBLE_EQ(s->GetRazmerRound(), 0.1);
    EXPECT_EQ(s->GetRazmerColor(), 255);
    EXPECT_FLOAT_EQ(s->GetZnakScale(), 1.5f);
    EXPECT_TRUE(s->GetBoolOption(Cp1251String("kmsignscaled"))); // names ignore case
    EXPECT_EQ(s->GetIntOption(Cp1251String("RazmerScale")), 0);  // not an integer
    EXPECT_EQ(s->GetIntOption(Cp1251String("Missing")), 0);
    // The cached sign scale follows the option and the street read next.
    s->SetIntOption(Cp1251String("ZnakScale"), 80);
    EXPECT_FLOAT_EQ(s->GetZnakScale(), 0.8f);
    TMemoryStream other(StreetFile::Canonical().Bytes());
    s->LoadFromStream(other);
    EXPECT_FLOAT_EQ(s->GetZnakScale(), 1.0f);
}

TEST_F(StreetFileTest, EveryChangeOfWhatIsSavedMarksTheStreetModified) {
    std::unique_ptr<TStreetStructure> s = LoadBytes(WithItems().Bytes());
    TAbstractItem *bort = s->Lists(BortTypeCode).FindById(7);
    const std::pair<const char *, std::function<void()>> changes[] = {
        {"option", [&] { s->SetBoolOption(Cp1251String("UpdateAllEdges"), true); }},
        {"int option", [&] { s->SetIntOption(Cp1251String("ZnakScale"), 120); }},
        {"float option", [&] { s->SetFloatOption(Cp1251String("Other"), 0.5f); }},
        {"sign scale", [&] { s->SetZnakScale(0.8f); }},
        {"dimension scale", [&] { s->SetRazmerScale(3); }},
        {"name", [&] { s->SetName(Cp("Новая")); }},
        {"arrows", [&] { s->SetArrowBig(true); }},
        {"zebra option", [&] { s->SetZebraYop(1); }},
        {"plastic", [&] { s->SetZebPlast(true); }},
        {"group value", [&] { s->SetGroupValue(Cp("Скрытые"), Cp1251String("ON")); }},
        {"group rename", [&] { s->RenameGroup(Cp("Видимые"), Cp("Главные")); }},
        {"main axis", [&] { s->SetMainAxis(bort); }},
        {"comment", [&] { bort->SetComment(Cp("бортик")); }},
        {"reference axis", [&] { bort->SetReferAxis(nullptr); }},
        {"vertex moved twice before drawing",
         [&] {
             bort->Points.SetPoint(0, {0.5f, 0, 0});
         }},
        {"spline flag", [&] { bort->Points.SetSpline(false); }},
        {"reversal", [&] { bort->Points.Reverse(); }},
        {"item deleted", [&] { s->Lists(KolodTypeCode).Delete(s->Lists(KolodTypeCode).Items(0)); }},
        {"item created", [&] { s->Lists(KolodTypeCode).AddNew(); }},
    };
    bort->Points.SetPoint(0, {0.25f, 0, 0});
    for (const auto &[name, change] : changes) {
        s->ClearModified();
        change();
        EXPECT_TRUE(s->Modified()) << name;
    }
    // The view and the working time follow the user, not the street's content.
    s->ClearModified();
    s->SetView(TStreetView{1, 2, 3, 0.5f, 0});
    s->SetWorkTime(99);
    EXPECT_FALSE(s->Modified());
    // Setting an option to its current value changes nothing.
    s->SetBoolOption(Cp1251String("UpdateAllEdges"), true);
    EXPECT_FALSE(s->Modified());
}

} // namespace
