// Curbs and the surfaces beside them: the curb-width dictionary (lookups, reading it from its named
// directory, never asking the user), the curb figures of sidewalks and lawns on a small street, and what
// curbs and surfaces draw.
#include "ObjectsTestUtil.h"

#include "engine/Directory.h"
#include "engine/Reg_Shell.h"
#include "model/ItemLayers.h"
#include "objects/BortItem.h"
#include "objects/CurbStrips.h"
#include "objects/Gazon.h"
#include "objects/Oboch.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"
#include "platform/settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <QString>

#include <filesystem>
#include <optional>

using namespace objtest;

namespace {

// Settings of its own for every test, and the dictionaries folder pointed at a folder of the test's.
class WithDictionary : public TWithClasses {
protected:
    void SetUp() override {
        SetSettingsDir(QString::fromStdString(Settings_.Path().string()));
        FreeAppRegistry();
        // Computations never ask: a dialog would fail the test.
        SetDirectoryDialog([](const Cp1251String &) {
            ADD_FAILURE() << "a dialog was opened";
            return false;
        });
        UseDictionary("БР 100.30.15=0.15\r\nгп-1=0.2\r\nBAD=abc\r\n");
    }
    void TearDown() override {
        SetDirectoryDialog({});
        FreeAppRegistry();
        SetSettingsDir(QString());
    }

    // A fresh folder with this dictionary (UTF-8 here, code page 1251 in the file; no file for nullopt)
    // becomes the dictionaries folder.
    void UseDictionary(std::optional<std::string> text) {
        const std::filesystem::path folder = Folders_.Path() / std::to_string(++FolderCount_);
        std::filesystem::create_directories(folder);
        if (text) {
            const std::string u8name = BortWidthFileName().ToUtf8();
            const std::string bytes = Cp(*text).Bytes();
            sptest::WriteFileBytes((folder / std::u8string(u8name.begin(), u8name.end())).string(),
                                   std::vector<uint8_t>(bytes.begin(), bytes.end()));
        }
        SetNamedDirectory(DictionaryDirName(), Cp1251String(folder.string()));
    }

    sptest::TempDir Settings_, Folders_;
    int FolderCount_ = 0;
};

TEST(BortWidths, LookupsByGrade) {
    TNameValueList lines;
    lines.SetText(Cp("БР 100.30.15=0.15\r\nбр 100.30.18=0.18\r\nDUP=0.1\r\nDUP=0.3\r\nBAD=abc\r\nEMPTY=\r\n"
                     "HUGE=1e999\r\nNEG=-0.1\r\nno equals sign\r\nSP=  0.25 \r\nCOMMA=0,15\r\n"));
    struct TCase {
        const char *Grade;
        std::optional<float> Width;
    };
    const TCase cases[] = {
        {"БР 100.30.15", 0.15f},
        {"бр 100.30.15", 0.15f},
        {"БР 100.30.18", 0.18f},
        {"DUP", 0.1f},
        {"dup", 0.1f},
        {"BAD", std::nullopt},
        {"EMPTY", std::nullopt},
        {"HUGE", std::nullopt},
        {"NEG", std::nullopt},
        {"absent", std::nullopt},
        {"no equals sign", std::nullopt},
        {"SP", 0.25f},
        {"COMMA", std::nullopt},
        {"", std::nullopt},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(BortWidthOf(lines, Cp(c.Grade)), c.Width) << c.Grade;
}

TEST_F(WithDictionary, TheDictionaryFollowsItsFolderAndNeverAsks) {
    TStreetStructure s;
    auto *curb = MakeAs<TBortItem>(s, BortTypeCode, {{0, 0, 0}, {1, 0, 0}});
    curb->SetGost(Cp("ГП-1"));
    EXPECT_EQ(curb->GetWidthByKind(), 0.2f);
    EXPECT_TRUE(TBortWidthDictionary::Instance().Found());
    curb->SetGost(Cp("BAD"));
    EXPECT_EQ(curb->GetWidthByKind(), std::nullopt);

    // Another folder chosen: read again.
    UseDictionary("BAD=0.5\r\n");
    EXPECT_EQ(curb->GetWidthByKind(), 0.5f);
    // A folder without the file: every width unknown, and nobody is asked.
    UseDictionary(std::nullopt);
    EXPECT_EQ(curb->GetWidthByKind(), std::nullopt);
    EXPECT_FALSE(TBortWidthDictionary::Instance().Found());
    EXPECT_EQ(BortWidthDictionary().Count(), 0);
    // The name was asked for, so the directories dialog lists it.
    EXPECT_EQ(NamedDirectoryNames().front(), DictionaryDirName());
}

TEST_F(WithDictionary, TheDefaultFolderHoldsTheGeneratedDictionary) {
    SetNamedDirectory(DictionaryDirName(), Cp1251String());
    TStreetStructure s;
    auto *curb = MakeAs<TBortItem>(s, BortTypeCode, {{0, 0, 0}, {1, 0, 0}});
    curb->SetGost(Cp("БР 100.30.15"));
    EXPECT_EQ(curb->GetWidthByKind(), 0.15f);
}

// A sidewalk T (0,0)-(10,0)-(10,4)-(0,4) with a curb on each edge: a plain one on the bottom, one beside
// a lawn on the right, one beside a second sidewalk on top, one out of bounds on the left.
class CurbFigures : public WithDictionary {
protected:
    struct TOptions {
        bool LawnFirst = false;
        const char *BottomGrade = "БР 100.30.15";
        const char *LawnNote = "";
        const char *SecondSidewalkNote = "";
    };

    void Build(const TOptions &o) {
        a = S.Pool().AddPointRec({0, 0, 0});
        b = S.Pool().AddPointRec({10, 0, 0});
        c = S.Pool().AddPointRec({10, 4, 0});
        d = S.Pool().AddPointRec({0, 4, 0});
        T = dynamic_cast<TTrotuarItem *>(MakeItemOn(S, TrotuarTypeCode, {a, b, c, d}));
        Curb({a, b}, o.BottomGrade, "");
        auto lawn = [&] {
            G = dynamic_cast<TGazonItem *>(MakeItemOn(S, GazonTypeCode, {b}));
            G->Points.InsertNewPoint(1, {14, 0, 0});
            G->Points.InsertNewPoint(2, {14, 4, 0});
            G->Points.Insert(3, c);
            G->SetComment(Cp(o.LawnNote));
        };
        if (o.LawnFirst)
            lawn();
        Curb({b, c}, "БР 100.30.15", "");
        if (!o.LawnFirst)
            lawn();
        T2 = dynamic_cast<TTrotuarItem *>(MakeItemOn(S, TrotuarTypeCode, {d, c}));
        T2->Points.InsertNewPoint(2, {10, 8, 0});
        T2->Points.InsertNewPoint(3, {0, 8, 0});
        T2->SetComment(Cp(o.SecondSidewalkNote));
        Curb({c, d}, "гп-1", "");
        Curb({d, a}, "БР 100.30.15", "вне ГРАНИЦ");
        ASSERT_TRUE(T && T2 && G);
        ASSERT_EQ(G->Points.Count(), 4);
    }

    void Curb(std::initializer_list<TStreetPointRec *> recs, const char *grade, const char *note) {
        auto *curb = dynamic_cast<TBortItem *>(MakeItemOn(S, BortTypeCode, recs));
        curb->SetGost(Cp(grade));
        curb->SetComment(Cp(note));
    }

    TStreetStructure S;
    TStreetPointRec *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
    TTrotuarItem *T = nullptr, *T2 = nullptr;
    TGazonItem *G = nullptr;
};

TEST_F(CurbFigures, SidewalkAndLawnCurbStrips) {
    using Area = std::optional<double>;
    struct TCase {
        const char *Name;
        TOptions Options;
        double EdgeLength[4];
        Area EdgeArea[4];
        double Length;
        Area TotalArea;
        double LawnLength;
        Area LawnArea;
    };
    const TCase cases[] = {
        {"lawn after the curb", {}, {10, 0, 10, 0}, {1.5, 0, 1.0, 0}, 20, 2.5, 4, 0.6},
        {"lawn before the curb", {.LawnFirst = true}, {10, 0, 10, 0}, {1.5, 0, 1.0, 0}, 20, 2.5, 4, 0.6},
        // The same rule for length and area: a lawn out of bounds leaves the curb to the sidewalk.
        {"lawn out of bounds",
         {.LawnNote = "Вне границ"},
         {10, 4, 10, 0},
         {1.5, 0.6, 1.0, 0},
         24,
         3.1,
         4,
         0.6},
        {"second sidewalk out of bounds",
         {.SecondSidewalkNote = "ВНЕ ГРАНИЦ"},
         {10, 0, 10, 0},
         {1.5, 0, 2.0, 0},
         20,
         3.5,
         4,
         0.6},
        {"a grade the dictionary lacks",
         {.BottomGrade = "БР 999"},
         {10, 0, 10, 0},
         {std::nullopt, 0, 1.0, 0},
         20,
         std::nullopt,
         4,
         0.6},
        {"a grade whose width is no number",
         {.BottomGrade = "bad"},
         {10, 0, 10, 0},
         {std::nullopt, 0, 1.0, 0},
         20,
         std::nullopt,
         4,
         0.6},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        S.Clear();
        Build(c.Options);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(T->EdgeCurbLength(i), c.EdgeLength[i], 1e-5) << i;
            const Area area = T->EdgeCurbArea(i);
            ASSERT_EQ(area.has_value(), c.EdgeArea[i].has_value()) << i;
            if (area) {
                EXPECT_NEAR(*area, *c.EdgeArea[i], 1e-5) << i;
            }
        }
        EXPECT_NEAR(T->CurbLength(), c.Length, 1e-5);
        ASSERT_EQ(T->CurbArea().has_value(), c.TotalArea.has_value());
        if (c.TotalArea) {
            EXPECT_NEAR(*T->CurbArea(), *c.TotalArea, 1e-5);
        }
        EXPECT_NEAR(G->CurbLength(), c.LawnLength, 1e-5);
        ASSERT_TRUE(G->CurbArea());
        EXPECT_NEAR(*G->CurbArea(), *c.LawnArea, 1e-5);
    }
}

TEST_F(CurbFigures, AStripBetweenTwoLawnsIsShared) {
    Build({});
    // A second lawn on the lawn's far edge, with a curb there.
    TStreetPointRec *e = G->Points.PointRec(1), *f = G->Points.PointRec(2);
    TAbstractItem *g2 = MakeItemOn(S, GazonTypeCode, {e, f});
    g2->Points.InsertNewPoint(2, {18, 4, 0});
    g2->Points.InsertNewPoint(3, {18, 0, 0});
    Curb({e, f}, "гп-1", "");
    EXPECT_NEAR(G->EdgeCurbLength(1), 4, 1e-5);
    EXPECT_NEAR(*G->EdgeCurbArea(1), 0.2 * 4 / 2, 1e-5);
    EXPECT_NEAR(G->CurbLength(), 8, 1e-5);
}

TEST_F(CurbFigures, SumsOverManyEdgesKeepTheirPrecision) {
    // A sidewalk of many short edges, each with a curb: single-precision sums would drift.
    TAbstractItem *walk = S.Lists(TrotuarTypeCode).AddNew();
    constexpr int n = 4000;
    std::vector<TStreetPointRec *> recs;
    for (int i = 0; i <= n; ++i)
        recs.push_back(walk->Points.InsertNewPoint(walk->Points.Count(), {i * 0.1f, 0, 0}));
    walk->Points.InsertNewPoint(walk->Points.Count(), {n * 0.1f, 3, 0});
    walk->Points.InsertNewPoint(walk->Points.Count(), {0, 3, 0});
    for (int i = 0; i < n; ++i)
        Curb({recs[static_cast<std::size_t>(i)], recs[static_cast<std::size_t>(i) + 1]}, "БР 100.30.15", "");
    auto *t = dynamic_cast<TTrotuarItem *>(walk);
    // The edge lengths are differences of the outline's cumulative lengths: summed in double they add
    // up to the cumulative length at the last curbed vertex exactly.
    walk->Points.EnsureGeometry();
    const double along = walk->Points.Lengths()[static_cast<std::size_t>(walk->Points.DenseIndex()[n])];
    EXPECT_EQ(t->CurbLength(), along);
    EXPECT_NEAR(t->CurbLength(), 400, 0.01);
    EXPECT_NEAR(*t->CurbArea(), double(0.15f) * along, 1e-9 * along);
}

// The colour every vertex of the item's fill triangles got.
std::vector<D3DCOLOR> FillColours(TStreetStructure &s, TAbstractItem *item) {
    std::vector<D3DCOLOR> out;
    TDxPrimCollection *fill = TypePrimCollection(s, item->GetTypeCode(), 0);
    for (std::size_t i = 0; fill && i < fill->Count(); ++i) {
        const TDxPrimGroup g = fill->Group(i);
        if (!g.Deleted && g.Owner == item->Serial())
            out.push_back(g.Vertices[0].color);
    }
    return out;
}

TEST(SurfaceColours, RoadWayWhiteOptionAndShoulderWords) {
    RegisterClasses();
    TStreetStructure s;
    TAbstractItem *road = MakeItem(s, RoadWayTypeCode, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    s.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(FillColours(s, road), std::vector<D3DCOLOR>{MakeD3DColor(235, 235, 235, 255)});
    s.SetBoolOption(Cp1251String("RWWhite"), true);
    s.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(FillColours(s, road), std::vector<D3DCOLOR>{MakeD3DColor(235, 235, 235, 255)})
        << "until rebuilt";
    road->Points.SetChanged(true);
    s.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(FillColours(s, road), std::vector<D3DCOLOR>{MakeD3DColor(255, 255, 255, 255)});

    struct TCase {
        const char *Word;
        D3DCOLOR Fill;
    };
    const TCase cases[] = {
        {"ус.покрытие", MakeD3DColor(192, 192, 130, 255)},
        {"А/Б", MakeD3DColor(192, 192, 130, 255)},
        {"Гравий", MakeD3DColor(215, 215, 120, 255)},
        {"щебень", MakeD3DColor(215, 215, 120, 255)},
        {"Трава", MakeD3DColor(180, 220, 136, 255)},
        {"КОМБ.УКР.", MakeD3DColor(250, 200, 120, 255)},
        {"грунт", MakeD3DColor(225, 225, 100, 255)},
        {"Песок", MakeD3DColor(225, 225, 100, 255)},
        {"неукр.", MakeD3DColor(225, 225, 100, 255)},
        {"трава ", MakeD3DColor(250, 200, 120, 255)},
        {"", MakeD3DColor(250, 200, 120, 255)},
    };
    for (const TCase &c : cases) {
        TAbstractItem *shoulder = MakeItem(s, ObochTypeCode, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
        shoulder->SetComment2(Cp(c.Word));
        s.UpdateGraphics(FullTypeSet());
        EXPECT_EQ(FillColours(s, shoulder), std::vector<D3DCOLOR>{c.Fill}) << c.Word;
    }
}

TEST(CurbGraphics, ALineAndAStripInTheCurbsColour) {
    RegisterClasses();
    TStreetStructure s;
    auto *curb = MakeAs<TBortItem>(s, BortTypeCode, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}});
    curb->SetColor(MakeD3DColor(200, 10, 20, 255));
    curb->SetWidth(0.4f);
    s.UpdateGraphics(FullTypeSet());
    TDxPrimCollection *lines = TypePrimCollection(s, BortTypeCode, 0);
    TDxPrimCollection *strip = TypePrimCollection(s, BortTypeCode, 1);
    ASSERT_TRUE(lines && strip);
    ASSERT_EQ(lines->Count(), 2u);
    ASSERT_EQ(strip->Count(), 4u);
    for (TDxPrimCollection *b : {lines, strip})
        for (std::size_t i = 0; i < b->Count(); ++i)
            for (const TDxVertex &v : b->Group(i).Vertices) {
                EXPECT_EQ(v.color, MakeD3DColor(200, 10, 20, 255));
                // The strip lies 0.2 either side of the line.
                EXPECT_LE(std::min(std::fabs(v.y), std::fabs(v.x - 10)), 0.2f + 1e-5f);
            }
    // A wider stripe rebuilds the strip.
    curb->SetWidth(1);
    s.UpdateGraphics(FullTypeSet());
    float maxY = 0;
    for (std::size_t i = 0; i < strip->Count(); ++i)
        if (!strip->Group(i).Deleted)
            for (const TDxVertex &v : strip->Group(i).Vertices)
                maxY = std::max(maxY, -v.y);
    EXPECT_NEAR(maxY, 0.5f, 1e-5);
}

} // namespace
