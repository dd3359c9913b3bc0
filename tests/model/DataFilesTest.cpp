// The generated DataFiles: every file the program needs is present, and every file present is well
// formed as the program reads it.
#include "engine/DataFiles.h"
#include "model/RazmetParams2.h"
#include "engine/DxTess3.h"
#include "objects/ArrowRazmetItem.h"
#include "objects/BortItem.h"
#include "platform/gdi/Metafile.h"
#include "support/TestSupport.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {

QImage LoadImage(const fs::path &file) {
    return QImage(QString::fromStdU16String(file.u16string()));
}

bool IsColourKey(QRgb p) {
    return qRed(p) == 255 && qGreen(p) == 255 && qBlue(p) == 255;
}

std::string Utf8(const fs::path &p) {
    const std::u8string u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

std::string FileText(const fs::path &file) {
    const auto bytes = sptest::ReadFileBytes(file.string());
    return std::string(bytes.begin(), bytes.end());
}

// A line-marking table as the program reads it, and written back to the same bytes: every record has
// every key, in order, in its canonical form.
void CheckLnRazmet(const fs::path &file) {
    TLnParamArray params;
    LoadLnParams(file.string(), params);
    EXPECT_FALSE(params.empty());
    EXPECT_EQ(LnParamsToIni(params), FileText(file));
}

void CheckBmp(const fs::path &file) {
    const std::string bytes = FileText(file);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    const QImage image = LoadImage(file);
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 0);
    EXPECT_GT(image.height(), 0);
}

// The curb-width dictionary as the curbs read it: every line a grade of its own with a width.
void CheckCurbWidths(const fs::path &file) {
    TNameValueList lines;
    ASSERT_TRUE(LoadBortWidthFile(file, lines));
    EXPECT_GT(lines.Count(), 0);
    EXPECT_EQ(lines.Text().Bytes(), FileText(file)); // every line ends in CR LF
    for (int i = 0; i < lines.Count(); ++i) {
        const Cp1251String grade = lines.Names(i);
        SCOPED_TRACE(grade.ToUtf8());
        EXPECT_FALSE(grade.Empty());
        EXPECT_EQ(lines.IndexOfName(grade), i) << "repeated grade";
        const std::optional<float> width = BortWidthOf(lines, grade);
        ASSERT_TRUE(width);
        EXPECT_GT(*width, 0);
        EXPECT_LT(*width, 1);
    }
}

// The arrow library as the program reads it: no section left out, every outline triangulated whole with
// the area its shoelace gives, the big outline larger than the normal one, every name once, every symbol
// labelled and described.
double Shoelace(const TXYZArray &p) {
    double twice = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const TXYZ &a = p[i], &b = p[(i + 1) % p.size()];
        twice += double(a.x) * b.y - double(b.x) * a.y;
    }
    return std::fabs(twice) / 2;
}

void CheckArrowLibrary(const fs::path &file) {
    std::vector<std::string> warnings;
    const TArrowLibrary lib = ArrowDefsFromIni(FileText(file), Utf8(file), warnings);
    EXPECT_TRUE(warnings.empty()) << (warnings.empty() ? "" : warnings[0]);
    EXPECT_GE(lib.Defs.size(), 6u);
    for (std::size_t i = 0; i < lib.Defs.size(); ++i) {
        const TArrowDef &d = lib.Defs[i];
        SCOPED_TRACE(lib.Names[i].ToUtf8());
        EXPECT_EQ(std::count(lib.Names.begin(), lib.Names.end(), lib.Names[i]), 1);
        for (const TXYZArray *loop : {&d.LineLoop1, &d.LineLoop2}) {
            const TTriangulation t = Triangulate(*loop);
            EXPECT_TRUE(t.Complete) << t.Error;
        }
        EXPECT_NEAR(d.Area1, Shoelace(d.LineLoop1), 1e-5);
        EXPECT_NEAR(d.Area2, Shoelace(d.LineLoop2), 1e-5);
        EXPECT_GT(d.Area2, d.Area1);
        EXPECT_GT(d.Length2, d.Length1);
        EXPECT_NEAR(d.Length1, 5, 0.5);
        EXPECT_NEAR(d.Length2, 7.5, 0.75);
        EXPECT_TRUE(d.GostSubName == Cp1251String("1.18") || d.GostSubName == Cp1251String("1.19"));
        EXPECT_FALSE(d.DescriptionLow.Empty());
        EXPECT_FALSE(d.DescriptionHigh.Empty());
    }
}

// Sign pictures read as metafiles of a size; the sign tables are name=value lines (the support kinds,
// plain lines), each ending in CR LF. The sign library's own checks are in the objects' tests.
void CheckMetafile(const fs::path &file) {
    TMetafile m;
    m.LoadFromFile(file.string());
    EXPECT_GT(m.Width(), 0);
    EXPECT_GT(m.Height(), 0);
}

void CheckSignTable(const fs::path &file, bool pairs) {
    TNameValueList lines;
    lines.SetText(Cp1251String(FileText(file)));
    EXPECT_GT(lines.Count(), 0);
    EXPECT_EQ(lines.Text().Bytes(), FileText(file));
    for (int i = 0; i < lines.Count(); ++i) {
        EXPECT_FALSE(lines.Names(i).Empty()) << i;
        EXPECT_EQ(!lines.ValueFromIndex(i).Empty(), pairs) << lines.Lines(i).ToUtf8();
    }
}

// Glyph streets: street files, whose glyphs the objects' tests read and check one by one.
void CheckStreetFile(const fs::path &file) {
    EXPECT_EQ(FileText(file).substr(0, 8), "TAGSSIZE");
}

// Every kind of file in DataFiles has its check; a file without one fails, so no file goes unchecked.
// Files of a general extension are checked by their name.
const std::map<std::string, std::function<void(const fs::path &)>> Checks = {
    {".lnrazmet", CheckLnRazmet},
    {".bmp", CheckBmp},
    {".emf", CheckMetafile},
    {".std", CheckArrowLibrary},
    {".zrv", CheckStreetFile},
};
const std::map<std::string, std::function<void(const fs::path &)>> NamedChecks = {
    {"Ширина борта.txt", CheckCurbWidths},
    {"Описания знаков.txt", [](const fs::path &f) { CheckSignTable(f, true); }},
    {"Площади знаков.txt", [](const fs::path &f) { CheckSignTable(f, true); }},
    {"OldLibTranslation.txt", [](const fs::path &f) { CheckSignTable(f, true); }},
    {"Тип опоры знака.txt", [](const fs::path &f) { CheckSignTable(f, false); }},
};

// The build generates DataFiles/ at the top of the build tree; the test programs' shared main names it in
// STREETPLAN_DATAFILES unless the environment already does.
class GeneratedDataFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::is_directory(DataFilesDir())) << Utf8(DataFilesDir()); }
};

TEST_F(GeneratedDataFiles, RequiredFilesArePresent) {
    const char *required[] = {
        "Разметка\\Default.LnRazmet",
        "Разметка\\ArrowRazmet.std",
        "Текстуры\\DefaultBlock.bmp",
        "Текстуры\\LnStyle_Dash.bmp",
        "Текстуры\\LnStyle_Dash_Dot.bmp",
        "Знаки\\KM.bmp",
        "Текстуры\\Hatch.bmp",
        "Текстуры\\RoadWall.bmp",
        "Текстуры\\Tramway.bmp",
        "Текстуры\\Kolod.bmp",
        "Текстуры\\Reshet.bmp",
        "Текстуры\\CalcAreaTex.bmp",
        "DefaultDirs\\Каталог словарей\\Ширина борта.txt",
        "DefaultDirs\\Каталог словарей\\Тип опоры знака.txt",
        "DefaultDirs\\Каталог библиотеки метафайлов\\5-19-1.emf",
        "Знаки\\Знак отсутствует в библиотеке.emf",
        "Знаки\\Описания знаков.txt",
        "Знаки\\Площади знаков.txt",
        "Знаки\\OldLibTranslation.txt",
        "Разметка\\RazmetFont.zrv",
        "Знаки\\ZnakRoadCopy.zrv",
    };
    for (const char *name : required)
        EXPECT_TRUE(FindDataFile(Cp(name))) << name << " in " << Utf8(DataFilesDir());
}

TEST_F(GeneratedDataFiles, EveryFileIsWellFormed) {
    int files = 0;
    for (const auto &entry : fs::recursive_directory_iterator(DataFilesDir())) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        SCOPED_TRACE(Utf8(entry.path()));
        const auto named = NamedChecks.find(Utf8(entry.path().filename()));
        const auto check = Checks.find(ext);
        if (named != NamedChecks.end())
            named->second(entry.path());
        else if (check == Checks.end())
            ADD_FAILURE() << "no check for this kind of data file";
        else
            check->second(entry.path());
    }
    EXPECT_GT(files, 0);
}

// The manhole cover is round on the colour key (its corners see through, its middle is painted); the
// grating is twice as long as wide, with see-through slots between painted bars.
TEST_F(GeneratedDataFiles, ManholeAndGratingTextures) {
    const auto cover = FindDataFile(Cp("Текстуры\\Kolod.bmp"));
    ASSERT_TRUE(cover);
    const QImage round = LoadImage(*cover);
    ASSERT_FALSE(round.isNull());
    EXPECT_EQ(round.width(), round.height());
    const int n = round.width() - 1;
    for (const auto &[x, y] : {std::pair{0, 0}, {n, 0}, {0, n}, {n, n}})
        EXPECT_TRUE(IsColourKey(round.pixel(x, y))) << x << "," << y;
    for (const auto &[x, y] : {std::pair{n / 2, n / 2}, {n / 2, 1}, {1, n / 2}, {n / 4, n / 4}})
        EXPECT_FALSE(IsColourKey(round.pixel(x, y))) << x << "," << y;

    const auto grating = FindDataFile(Cp("Текстуры\\Reshet.bmp"));
    ASSERT_TRUE(grating);
    const QImage bars = LoadImage(*grating);
    ASSERT_FALSE(bars.isNull());
    EXPECT_EQ(bars.width(), 2 * bars.height());
    int keyed = 0, painted = 0;
    for (int x = 0; x < bars.width(); ++x)
        (IsColourKey(bars.pixel(x, bars.height() / 2)) ? keyed : painted) += 1;
    EXPECT_GT(keyed, 0);
    EXPECT_GT(painted, keyed);
    EXPECT_FALSE(IsColourKey(bars.pixel(0, 0)));
}

// The default table holds the common marking numbers, each with a texture whose painted share is the
// record's area coefficient.
TEST_F(GeneratedDataFiles, DefaultLineMarkings) {
    TLnParamArray params;
    LoadDefaultLnParams(params);
    ASSERT_FALSE(params.empty());
    for (const char *code : {"1.1", "1.2.1", "1.3", "1.4", "1.5", "1.6", "1.7", "1.11", "1.12"})
        EXPECT_GE(FindLnParam(params, Cp1251String(code)), 0) << code;

    for (std::size_t i = 0; i < params.size(); ++i) {
        const TLnParamRec &r = params[i];
        SCOPED_TRACE(r.Name.ToUtf8());
        EXPECT_EQ(FindLnParam(params, r.Name), static_cast<int32_t>(i)) << "repeated code";
        EXPECT_FALSE(r.Description.Empty());
        EXPECT_GT(r.Period, 0);
        EXPECT_TRUE(std::isfinite(r.Disp1) && std::isfinite(r.Disp2));
        EXPECT_NE(r.Disp1, r.Disp2);
        EXPECT_GT(r.SqCoeff, 0);
        EXPECT_LE(r.SqCoeff, 1);

        const auto texture = FindLnTexture(r);
        ASSERT_TRUE(texture) << r.TextureFile.ToUtf8();
        const QImage image = LoadImage(*texture);
        ASSERT_FALSE(image.isNull());
        int painted = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (IsColourKey(p))
                    continue;
                ++painted;
                // The drawing adds red 160, green 128 to yellow markings: their paint must stay below
                // white to show yellow.
                if (r.Yellow) {
                    EXPECT_LE(qRed(p), 255 - 160);
                    EXPECT_LE(qGreen(p), 255 - 128);
                }
            }
        }
        const double share = double(painted) / (image.width() * image.height());
        EXPECT_NEAR(share, r.SqCoeff, 0.01);
    }
}

} // namespace
