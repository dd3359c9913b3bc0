#include "model/RazmetParams2.h"

#include "engine/StreetError.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include "engine/UndefinedValue.h"
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using sptest::ByteBuilder;

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

std::string B(const std::vector<uint8_t> &v) {
    return std::string(v.begin(), v.end());
}

// A record as the street file stores it, built from the layout itself. `fill` is written after the text
// of the short strings, `size` pads (or cuts) the record.
struct RecSpec {
    std::string name{}, texture{};
    float period = 0, disp1 = 0, disp2 = 0;
    std::string description{};
    float sqCoeff = 0;
    uint8_t fullPeriods = 0, yellow = 0, plastic = 0, countItems = 0;
};

void ShortString(ByteBuilder &b, const std::string &s, uint8_t fill) {
    b.U8(static_cast<uint8_t>(s.size())).Bytes(s);
    for (std::size_t i = s.size(); i < 255; ++i)
        b.U8(fill);
}

ByteBuilder Record(const RecSpec &r, int32_t size = 788, uint8_t fill = 0) {
    ByteBuilder b;
    ShortString(b, r.name, fill);
    ShortString(b, r.texture, fill);
    b.F32(r.period).F32(r.disp1).F32(r.disp2);
    ShortString(b, r.description, fill);
    b.F32(r.sqCoeff).U8(r.fullPeriods).U8(r.yellow).U8(r.plastic).U8(r.countItems);
    for (int32_t i = 788; i < size; ++i)
        b.U8(static_cast<uint8_t>(0xA0 + i));
    if (size >= 788)
        return b;
    ByteBuilder cut;
    cut.Raw(b.Data().data(), static_cast<std::size_t>(std::max(size, 0)));
    return cut;
}

ByteBuilder Section(const std::vector<RecSpec> &recs, int32_t size = 788, uint8_t fill = 0) {
    ByteBuilder b;
    b.Tag("LNPARAMS").I32(static_cast<int32_t>(recs.size())).I32(size);
    for (const auto &r : recs)
        b.Append(Record(r, size, fill));
    return b;
}

void ExpectRec(const TLnParamRec &got, const RecSpec &want) {
    EXPECT_EQ(got.Name.Bytes(), want.name);
    EXPECT_EQ(got.TextureFile.Bytes(), want.texture);
    EXPECT_EQ(got.Period, want.period);
    EXPECT_EQ(got.Disp1, want.disp1);
    EXPECT_EQ(got.Disp2, want.disp2);
    EXPECT_EQ(got.Description.Bytes(), want.description);
    EXPECT_EQ(got.SqCoeff, want.sqCoeff);
    EXPECT_EQ(got.FullPeriods, want.fullPeriods != 0);
    EXPECT_EQ(got.Yellow, want.yellow != 0);
    EXPECT_EQ(got.Plastic, want.plastic != 0);
    EXPECT_EQ(got.CountItems, want.countItems != 0);
}

const std::vector<RecSpec> Sample = {
    {"1.1", "Solid.bmp", 4, 0.05f, -0.05f, Cp("Сплошная линия").Bytes(), 1, 0, 0, 0, 0},
    {"1.5", "Dash_1_3.bmp", 12, 0.075f, -0.075f, Cp("Прерывистая 3/9 м").Bytes(), 0.25f, 1, 0, 1, 1},
    {"1.4", "", 0, 0, 0, "", 0, 0, 1, 0, 0},
};

// ---- "LNPARAMS" section -------------------------------------------------------------------------------

TEST(LnParamsStream, ReadsRecordsAndWritesTheSameBytes) {
    const ByteBuilder fixture = Section(Sample);
    TMemoryStream in(fixture.Data());
    TLnParamArray params;
    ASSERT_TRUE(ReadLnParams(in, params));
    EXPECT_EQ(in.Position(), static_cast<int64_t>(fixture.Size()));
    ASSERT_EQ(params.size(), Sample.size());
    for (std::size_t i = 0; i < Sample.size(); ++i)
        ExpectRec(params[i], Sample[i]);

    TMemoryStream out;
    WriteLnParams(out, params);
    EXPECT_EQ(out.Bytes(), fixture.Data());
}

TEST(LnParamsStream, NormalisesPaddingAndFlags) {
    // Bytes after a text and flag values other than 0 and 1 are read and written as zero and 1.
    RecSpec odd{"X", "t.bmp", 1, 2, 3, "d", 4, 7, 0xFF, 0, 1};
    const ByteBuilder fixture = Section({odd}, 788, 0xCC);
    TMemoryStream in(fixture.Data());
    TLnParamArray params;
    ASSERT_TRUE(ReadLnParams(in, params));
    ASSERT_EQ(params.size(), 1u);
    EXPECT_TRUE(params[0].FullPeriods);
    EXPECT_TRUE(params[0].Yellow);
    TMemoryStream out;
    WriteLnParams(out, params);
    odd.fullPeriods = 1;
    odd.yellow = 1;
    EXPECT_EQ(out.Bytes(), Section({odd}).Data());
}

TEST(LnParamsStream, LongTextsAndEmptyTable) {
    RecSpec longest{std::string(255, 'N'),
                    std::string(255, '\xE9'),
                    NaN,
                    Inf,
                    -Inf,
                    std::string(255, '\x98'),
                    -0.0f,
                    1,
                    1,
                    1,
                    1};
    const ByteBuilder fixture = Section({longest});
    TMemoryStream in(fixture.Data());
    TLnParamArray params;
    ASSERT_TRUE(ReadLnParams(in, params));
    TMemoryStream out;
    WriteLnParams(out, params);
    EXPECT_EQ(out.Bytes(), fixture.Data());

    // A text longer than a record holds is cut to 255 bytes when written.
    params[0].Name = Cp1251String(std::string(300, 'N'));
    TMemoryStream cut;
    WriteLnParams(cut, params);
    EXPECT_EQ(cut.Bytes(), fixture.Data());

    const ByteBuilder empty = Section({});
    TMemoryStream in0(empty.Data());
    ASSERT_TRUE(ReadLnParams(in0, params));
    EXPECT_TRUE(params.empty());
    TMemoryStream out0;
    WriteLnParams(out0, params);
    EXPECT_EQ(out0.Bytes(), empty.Data());
}

// Larger records (a later writer's) are read from their first 788 bytes; the stream ends up behind the
// section.
TEST(LnParamsStream, LargerRecordsSkipTheirTail) {
    ByteBuilder fixture = Section(Sample, 800);
    fixture.Tag("NEXTTAG ");
    TMemoryStream in(fixture.Data());
    TLnParamArray params;
    ASSERT_TRUE(ReadLnParams(in, params));
    ASSERT_EQ(params.size(), Sample.size());
    for (std::size_t i = 0; i < Sample.size(); ++i)
        ExpectRec(params[i], Sample[i]);
    EXPECT_EQ(in.Remaining(), 8);
}

// Records shorter than 788 bytes (another writer's) fill the fields they hold; the rest stay zero, a text
// cut by the record's end keeps the characters present. Written again, they are full records.
TEST(LnParamsStream, ShorterRecordsFillTheFieldsTheyHold) {
    const RecSpec full{"1.5", "Dash.bmp", 12, 0.075f, -0.075f, std::string(200, 'd'), 0.25f, 1, 1, 1, 1};
    const struct {
        int32_t Size;
        RecSpec Want;
    } cases[] = {
        {787, {"1.5", "Dash.bmp", 12, 0.075f, -0.075f, std::string(200, 'd'), 0.25f, 1, 1, 1, 0}},
        {784, {"1.5", "Dash.bmp", 12, 0.075f, -0.075f, std::string(200, 'd'), 0.25f}},
        {700, {"1.5", "Dash.bmp", 12, 0.075f, -0.075f, std::string(175, 'd')}},
        {520, {"1.5", "Dash.bmp", 12, 0.075f}},
        {256, {"1.5"}},
        {3, {"1."}},
        {1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Size);
        ByteBuilder fixture = Section({full, Sample[0]}, c.Size);
        fixture.Tag("NEXTTAG ");
        TMemoryStream in(fixture.Data());
        TLnParamArray params;
        ASSERT_TRUE(ReadLnParams(in, params));
        EXPECT_EQ(in.Remaining(), 8);
        ASSERT_EQ(params.size(), 2u);
        ExpectRec(params[0], c.Want);

        TMemoryStream out;
        WriteLnParams(out, params);
        EXPECT_EQ(out.Size(), static_cast<int64_t>(16 + 2 * 788));
        out.Seek(0, TSeekOrigin::Begin);
        TLnParamArray back;
        ASSERT_TRUE(ReadLnParams(out, back));
        ASSERT_EQ(back.size(), 2u);
        ExpectRec(back[0], c.Want);
        EXPECT_EQ(back[1].Name, params[1].Name);
        EXPECT_EQ(back[1].Description, params[1].Description);
    }
    // No records: an empty table whatever the size.
    for (int32_t size : {0, -5, 12}) {
        TMemoryStream in(ByteBuilder().Tag("LNPARAMS").I32(0).I32(size).Data());
        TLnParamArray params = {TLnParamRec{Cp1251String("gone")}};
        ASSERT_TRUE(ReadLnParams(in, params)) << size;
        EXPECT_TRUE(params.empty()) << size;
    }
}

TEST(LnParamsStream, WithoutTheTagNothingIsConsumed) {
    const TLnParamArray before = {TLnParamRec{Cp1251String("keep")}};
    const std::vector<std::vector<uint8_t>> streams = {
        ByteBuilder().Tag("PNTSTRCT").I32(0).Data(),
        ByteBuilder().Bytes("LNPARAM").Data(), // shorter than a tag
        ByteBuilder().Bytes("lnparams").I32(0).I32(788).Data(),
        {},
    };
    for (const auto &bytes : streams) {
        TMemoryStream in(bytes);
        TLnParamArray params = before;
        EXPECT_FALSE(ReadLnParams(in, params));
        EXPECT_EQ(in.Position(), 0);
        ASSERT_EQ(params.size(), 1u);
        EXPECT_EQ(params[0].Name, Cp1251String("keep"));
    }
}

TEST(LnParamsStream, BadSectionsAreErrorsAndKeepTheTable) {
    const ByteBuilder rec = Record(Sample[0]);
    const struct {
        const char *name;
        ByteBuilder bytes;
        const char *reason;
    } cases[] = {
        {"record size 0", ByteBuilder().Tag("LNPARAMS").I32(1).I32(0).Append(rec), "record size 0 for 1"},
        {"negative record size", ByteBuilder().Tag("LNPARAMS").I32(1).I32(-788).Append(rec),
         "record size -788"},
        {"short records beyond the data", ByteBuilder().Tag("LNPARAMS").I32(3).I32(700).Append(rec),
         "exceeds"},
        {"negative count", ByteBuilder().Tag("LNPARAMS").I32(-1).I32(788), "negative count"},
        {"one record short", ByteBuilder().Tag("LNPARAMS").I32(2).I32(788).Append(rec), "exceeds"},
        {"huge count", ByteBuilder().Tag("LNPARAMS").I32(0x7FFFFFFF).I32(788).Append(rec), "exceeds"},
        {"huge count and size", ByteBuilder().Tag("LNPARAMS").I32(0x7FFFFFFF).I32(0x7FFFFFFF), "exceeds"},
        {"large records short", ByteBuilder().Tag("LNPARAMS").I32(1).I32(800).Append(rec), "exceeds"},
        {"truncated count", ByteBuilder().Tag("LNPARAMS").U16(1), "unexpected end"},
        {"truncated size", ByteBuilder().Tag("LNPARAMS").I32(1).U8(0x14), "unexpected end"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TMemoryStream in(c.bytes.Data());
        in.SetName("street.zrv");
        TLnParamArray params = {TLnParamRec{Cp1251String("keep")}};
        try {
            ReadLnParams(in, params);
            ADD_FAILURE() << "no error";
        } catch (const EStreetError &e) {
            const std::string what = e.what();
            EXPECT_EQ(what.rfind("ReadLnParams: ", 0), 0u) << what;
            EXPECT_NE(what.find(c.reason), std::string::npos) << what;
            EXPECT_NE(what.find("street.zrv"), std::string::npos) << what;
        }
        ASSERT_EQ(params.size(), 1u);
        EXPECT_EQ(params[0].Name, Cp1251String("keep"));
    }
}

// ---- "*.LnRazmet" files -------------------------------------------------------------------------------

struct IniCase {
    const char *name;
    std::string ini; // code page 1251
    std::vector<RecSpec> want;
};

TEST(LnRazmetIni, ReadsSectionsInFileOrder) {
    const std::string ru = Cp("Двойная сплошная, «жёлтая»").Bytes();
    const IniCase cases[] = {
        {"every key",
         "[1.3]\r\nTextureFile=Double.bmp\r\nPeriod=4\r\nDisp1=0.15\r\nDisp2=-0.15\r\nDescription=" + ru +
             "\r\nSqCoeff=0.6667\r\nFullPeriods=1\r\nYellow=1\r\nPlastic=0\r\nCountItems=1\r\n",
         {{"1.3", "Double.bmp", 4, 0.15f, -0.15f, ru, 0.6667f, 1, 1, 0, 1}}},
        {"missing keys read zero", "[1.1]\nTextureFile=Solid.bmp\n[1.2]\n", {{"1.1", "Solid.bmp"}, {"1.2"}}},
        {"malformed values keep the default",
         "[a]\nPeriod=four\nDisp1=1.5.2\nDisp2=1e40\nSqCoeff=\nYellow=yes\nPlastic=2\nCountItems=0x1\n",
         {{"a", "", 0, 0, 0, "", 0, 0, 0, 1, 0}}},
        {"comma as decimal separator",
         "[a]\nPeriod=12,5\nDisp1=-0,075\nDisp2=1,2,3\n",
         {{"a", "", 12.5f, -0.075f, 0}}},
        {"case, blanks and line ends",
         "  [ x ]  \r\n  period =  3 \rDISP1\t=\t1\n\ndescription = a b \n",
         {{" x ", "", 3, 1, 0, "a b"}}},
        {"comments, stray lines and keys before any section",
         "Period=9\n; [comment]\nno equals sign\n[k]\n;Period=7\nPeriod=2\n=5\nUnknown=1\n",
         {{"k", "", 2}}},
        {"first of repeated keys", "[k]\nPeriod=2\nperiod=3\n", {{"k", "", 2}}},
        {"repeated sections each with its own values",
         "[1.1]\nPeriod=1\n[1.1]\nPeriod=2\n[1.1]\n",
         {{"1.1", "", 1}, {"1.1", "", 2}, {"1.1"}}},
        {"brackets in names", "[1.1]]\n[[2]x]\n[open\n[]\n", {{"1.1]"}, {"[2]x"}, {"open"}, {""}}},
        {"bytes kept untouched",
         "[\x98\xFF\x01]\nDescription=\xC0\x98=\x80\n",
         {{"\x98\xFF\x01", "", 0, 0, 0, "\xC0\x98=\x80"}}},
        {"texts cut to 255 bytes",
         "[" + std::string(300, 'n') + "]\nTextureFile=" + std::string(256, 't'),
         {{std::string(255, 'n'), std::string(255, 't')}}},
        {"no blank left at the cut",
         "[n]\nDescription=" + std::string(254, 'd') + "  x",
         {{"n", "", 0, 0, 0, std::string(254, 'd')}}},
        {"nothing", "", {}},
        {"no sections", "Period=4\r\n", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const TLnParamArray got = LnParamsFromIni(c.ini);
        ASSERT_EQ(got.size(), c.want.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            ExpectRec(got[i], c.want[i]);
    }
}

TEST(LnRazmetIni, WritesEveryKeyInOrder) {
    const TLnParamArray params = {
        {Cp1251String("1.5"), Cp1251String("Dash_1_3.bmp"), 12, 0.075f, -0.075f, Cp("Прерывистая"), 0.25f,
         false, true, false, true},
        {Cp1251String("1.1"), {}, 0.1f, 1e-7f, -UndefinedValueF, {}, 1, true, false, true, false},
    };
    const std::string want =
        "[1.5]\r\nTextureFile=Dash_1_3.bmp\r\nPeriod=12\r\nDisp1=0.075\r\nDisp2=-0.075\r\n"
        "Description=" +
        Cp("Прерывистая").Bytes() +
        "\r\nSqCoeff=0.25\r\nFullPeriods=0\r\nYellow=1\r\nPlastic=0\r\nCountItems=1\r\n"
        "\r\n"
        "[1.1]\r\nTextureFile=\r\nPeriod=0.1\r\nDisp1=1e-07\r\nDisp2=-3.4e+38\r\n"
        "Description=\r\nSqCoeff=1\r\nFullPeriods=1\r\nYellow=0\r\nPlastic=1\r\nCountItems=0\r\n";
    EXPECT_EQ(LnParamsToIni(params), want);
}

TEST(LnRazmetIni, SaveAndLoadGiveTheTableBack) {
    sptest::TempDir dir;
    const std::string file = dir.File("Table.LnRazmet");
    TLnParamArray params;
    for (const auto &s : Sample) {
        TLnParamRec r;
        r.Name = Cp1251String(s.name);
        r.TextureFile = Cp1251String(s.texture);
        r.Period = s.period;
        r.Disp1 = s.disp1;
        r.Disp2 = s.disp2;
        r.Description = Cp1251String(s.description);
        r.SqCoeff = s.sqCoeff;
        r.FullPeriods = s.fullPeriods;
        r.Yellow = s.yellow;
        r.Plastic = s.plastic;
        r.CountItems = s.countItems;
        params.push_back(r);
    }
    params[2].Name = Cp1251String("\x98]x");
    params[2].Disp1 = 0.1f + 0.2f;
    params[2].SqCoeff = std::numeric_limits<float>::denorm_min();
    SaveLnParams(file, params);
    TLnParamArray back;
    LoadLnParams(file, back);
    ASSERT_EQ(back.size(), params.size());
    TMemoryStream a, b;
    WriteLnParams(a, params);
    WriteLnParams(b, back);
    EXPECT_EQ(a.Bytes(), b.Bytes());
}

// The file is written anew in table order: sections removed from the table, and keys the table does not
// hold, do not survive.
TEST(LnRazmetIni, SaveReplacesTheWholeFile) {
    sptest::TempDir dir;
    const std::string file = dir.File("Table.LnRazmet");
    const std::string old = "[1.1]\r\nPeriod=1\r\nExtra=1\r\n[1.2]\r\nPeriod=2\r\n[1.3]\r\nPeriod=3\r\n";
    sptest::WriteFileBytes(file, std::vector<uint8_t>(old.begin(), old.end()));
    TLnParamArray params;
    LoadLnParams(file, params);
    ASSERT_EQ(params.size(), 3u);
    params.erase(params.begin() + 1);
    std::swap(params[0], params[1]);
    SaveLnParams(file, params);
    EXPECT_EQ(B(sptest::ReadFileBytes(file)), LnParamsToIni(params));
    TLnParamArray back;
    LoadLnParams(file, back);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].Name, Cp1251String("1.3"));
    EXPECT_EQ(back[1].Name, Cp1251String("1.1"));
    EXPECT_EQ(B(sptest::ReadFileBytes(file)).find("Extra"), std::string::npos);
    // Only the file itself is left in the folder: the temporary one was renamed over it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(LnRazmetIni, FailedSavesKeepTheOldFile) {
    sptest::TempDir dir;
    const std::string file = dir.File("Table.LnRazmet");
    const std::vector<uint8_t> old = {'[', 'o', ']'};
    sptest::WriteFileBytes(file, old);
    for (const char *text : {"a\r\nb", "a\nb", "a\r"}) {
        TLnParamArray params(2);
        params[1].Description = Cp1251String(text);
        EXPECT_THROW(SaveLnParams(file, params), EStreetError) << text;
        params[1].Description = {};
        params[1].Name = Cp1251String(text);
        EXPECT_THROW(SaveLnParams(file, params), EStreetError) << text;
    }
    EXPECT_EQ(sptest::ReadFileBytes(file), old);
    EXPECT_THROW(SaveLnParams(dir.File("missing/Table.LnRazmet"), TLnParamArray(1)), EStreetError);
}

TEST(LnRazmetIni, MissingFileGivesAnEmptyTable) {
    sptest::TempDir dir;
    TLnParamArray params(3);
    LoadLnParams(dir.File("none.LnRazmet"), params);
    EXPECT_TRUE(params.empty());
    // A folder in its place cannot be read: an error, not an empty table.
    fs::create_directory(dir.Path() / "folder.LnRazmet");
    EXPECT_THROW(LoadLnParams(dir.File("folder.LnRazmet"), params), EStreetError);
}

// ---- Lookup and use of records -------------------------------------------------------------------------

TEST(LnParams, FindLnParamTakesTheFirstExactName) {
    const TLnParamArray params = LnParamsFromIni("[1.1]\nPeriod=1\n[1.5]\n[1.1]\nPeriod=2\n[a]\n");
    const struct {
        const char *code;
        int32_t want;
    } cases[] = {{"1.1", 0}, {"1.5", 1}, {"a", 3}, {"A", -1}, {"1.1 ", -1}, {"", -1}, {"1.6", -1}};
    for (const auto &c : cases)
        EXPECT_EQ(FindLnParam(params, Cp1251String(c.code)), c.want) << c.code;
    EXPECT_EQ(FindLnParam({}, Cp1251String("1.1")), -1);
}

TEST(LnParams, DrawPeriodIsAlwaysPositive) {
    const struct {
        float period;
        bool fullPeriods;
        double length, want;
    } cases[] = {
        {4, false, 10.5, 3.5},    // n = 3
        {4, false, 10, 5},        // n = round (2.5) = 2
        {4, false, 14, 14 / 4.0}, // n = round (3.5) = 4
        {4, true, 10.5, 4},
        {4, false, 1, 1}, // n = round (0.25) = 0, at least 1
        {4, false, 0, 4}, // no length: the period stays
        {4, false, -3, 4},
        {4, false, NaN, 4},
        {0, true, 10, 4}, // no usable period: the default
        {0, false, 10, 5},
        {-2, true, 10, 4},
        {NaN, false, 10.5, 3.5},
        {Inf, true, 10, 4},
        {1e-30f, false, 1, 1.0 / 9223372036854775807.0},
    };
    for (const auto &c : cases) {
        TLnParamRec rec;
        rec.Period = c.period;
        rec.FullPeriods = c.fullPeriods;
        const double got = LnParamDrawPeriod(rec, c.length);
        EXPECT_GT(got, 0) << c.period << " " << c.length;
        EXPECT_DOUBLE_EQ(got, c.want) << c.period << " " << c.length;
    }
}

TEST(LnParams, CountedLength) {
    const struct {
        float period;
        bool fullPeriods;
        double length, want;
    } cases[] = {
        {4, true, 10.5, 8}, {4, false, 10.5, 10.5}, {4, true, 3.9, 0}, {0, true, 10.5, 10.5},
        {-2, true, 7, 7},   {NaN, true, 7, 7},      {Inf, true, 7, 7},
    };
    for (const auto &c : cases) {
        TLnParamRec rec;
        rec.Period = c.period;
        rec.FullPeriods = c.fullPeriods;
        EXPECT_DOUBLE_EQ(LnParamCountedLength(rec, c.length), c.want) << c.period << " " << c.length;
    }
}

// Texture names from records are looked up below DataFiles\Разметка only.
TEST(LnParams, TexturesStayInsideDataFiles) {
    sptest::TempDir root;
    const fs::path data = root.Path() / "DataFiles";
    const std::string folder = Cp("Разметка").ToUtf8();
    fs::create_directories(data / fs::path(std::u8string(folder.begin(), folder.end())));
    const fs::path solid = data / fs::path(std::u8string(folder.begin(), folder.end())) / "Solid.bmp";
    sptest::WriteFileBytes(solid.string(), {'B', 'M'});
    sptest::WriteFileBytes((data / "Top.bmp").string(), {'B', 'M'});
    sptest::WriteFileBytes((root.Path() / "Out.bmp").string(), {'B', 'M'});
    const sptest::DataFilesAt at(data);

    const struct {
        const char *texture;
        bool found;
    } cases[] = {{"Solid.bmp", true},    {"SOLID.BMP", true},      {"", false},
                 {"Missing.bmp", false}, {"..\\Top.bmp", false},   {"../../Out.bmp", false},
                 {"\\Top.bmp", false},   {"C:\\Solid.bmp", false}, {".\\Solid.bmp", true}};
    for (const auto &c : cases) {
        TLnParamRec rec;
        rec.TextureFile = Cp1251String(c.texture);
        const auto got = FindLnTexture(rec);
        EXPECT_EQ(got.has_value(), c.found) << c.texture;
        if (got) {
            EXPECT_TRUE(fs::equivalent(*got, solid)) << c.texture;
        }
    }
}

} // namespace
