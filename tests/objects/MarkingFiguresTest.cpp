// Lane arrows, stop-zone zigzags and label places: the arrow library as read from its INI text, symbols
// placed and turned at the vertices, labels turned against the guide axis, the arrange step between
// markings, zigzags and their paint figures, labels beside the markings they cross and following them,
// and street files with these records written back byte for byte.
#include "ObjectsTestUtil.h"

#include "engine/FontsDataForm.h"
#include "model/ItemLayers.h"
#include "model/RazmetParams2.h"
#include "objects/ArrowRazmetItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/MetafileLib.h"
#include "objects/RazmetLabelPlaceItem.h"
#include "objects/RazmetStopItem.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

using namespace objtest;
using sptest::ItemRec;
using sptest::Rec;
using sptest::StreetFile;

namespace {

// ---- What an item drew

std::vector<TDxVertex> Owned(TStreetStructure &s, int code, std::size_t batch, const TAbstractItem &item) {
    std::vector<TDxVertex> out;
    TDxPrimCollection *c = TypePrimCollection(s, code, batch);
    if (!c)
        return out;
    for (std::size_t i = 0; i < c->Count(); ++i) {
        const TDxPrimGroup g = c->Group(i);
        if (!g.Deleted && g.Owner == item.Serial())
            out.insert(out.end(), g.Vertices.begin(), g.Vertices.end());
    }
    return out;
}

bool Holds(const std::vector<TDxVertex> &vertices, float x, float y) {
    return std::any_of(vertices.begin(), vertices.end(), [&](const TDxVertex &v) {
        return std::fabs(v.x - x) < 1e-4f && std::fabs(v.y - y) < 1e-4f;
    });
}

// ---- The library

const char *const TestFile = "test.std";

TArrowLibrary Read(const std::string &ini, std::vector<std::string> &warnings) {
    return ArrowDefsFromIni(ini, TestFile, warnings);
}

TEST(ArrowLibrary, SectionsThatMakeASymbolAndThoseLeftOut) {
    struct TCase {
        const char *Name;
        std::string Ini;
        std::vector<std::string> Symbols;
        // Every warning holds the file, the section and these words.
        std::vector<std::string> Warnings;
    };
    const std::string good = "LineLoop1=0&0#1&0#0&1#\r\nLineLoop2=0&0#2&0#0&2#\r\n";
    const std::string many = [] {
        std::string s = "LineLoop1=";
        for (int i = 0; i < 5000; ++i)
            s += std::to_string(std::cos(i * 0.001)) + "&" + std::to_string(std::sin(i * 0.001)) + "#";
        return s + "\nLineLoop2=0&0#2&0#0&2#\n";
    }();
    const TCase cases[] = {
        {"a good section", "[A]\r\n" + good, {"A"}, {}},
        {"keys in any letter case, blanks trimmed, the first key wins",
         "[A]\n  lineloop1 = 0&0#1&0#0&1#\nLINELOOP2=0&0#2&0#0&2#\nLineLoop1=bad\n", {"A"}, {}},
        {"a bad number", "[B]\nLineLoop1=0&0#x&0#0&1#\nLineLoop2=0&0#2&0#0&2#\n[A]\n" + good, {"A"},
         {"[B], ключ LineLoop1"}},
        {"a point without &", "[B]\nLineLoop1=0&0#1#0&1#\nLineLoop2=0&0#2&0#0&2#\n", {}, {"[B], ключ LineLoop1"}},
        {"a missing key", "[B]\nLineLoop1=0&0#1&0#0&1#\n", {}, {"[B], ключ LineLoop2: нет ключа"}},
        {"under three points", "[B]\nLineLoop1=0&0#1&0#\nLineLoop2=0&0#2&0#0&2#\n", {}, {"[B], ключ LineLoop1"}},
        {"a number that is no finite value", "[B]\nLineLoop1=0&0#nan&0#0&1#\nLineLoop2=0&0#2&0#0&2#\n", {},
         {"[B], ключ LineLoop1"}},
        {"an outline with too many points", "[B]\n" + many, {}, {"[B], ключ LineLoop1"}},
        {"a repeated section", "[A]\n" + good + "[A]\n" + good, {"A"}, {"[A]"}},
        {"a Cyrillic name", "[" + W("Прямо") + "]\n" + good, {W("Прямо")}, {}},
        {"commas as decimal separators", "[A]\nLineLoop1=0&0#1,5&0#0&1#\nLineLoop2=0&0#2&0#0&2#\n", {"A"}, {}},
        {"a missing file's worth of nothing", "", {}, {}},
    };
    for (const TCase &c : cases) {
        std::vector<std::string> warnings;
        const TArrowLibrary lib = Read(c.Ini, warnings);
        std::vector<std::string> names;
        for (const Cp1251String &n : lib.Names)
            names.push_back(n.Bytes());
        EXPECT_EQ(names, c.Symbols) << c.Name;
        EXPECT_EQ(lib.Defs.size(), lib.Names.size()) << c.Name;
        ASSERT_EQ(warnings.size(), c.Warnings.size()) << c.Name;
        for (std::size_t i = 0; i < warnings.size(); ++i) {
            EXPECT_NE(warnings[i].find(TestFile), std::string::npos) << c.Name << ": " << warnings[i];
            EXPECT_NE(warnings[i].find(c.Warnings[i]), std::string::npos) << c.Name << ": " << warnings[i];
        }
    }
}

TEST(ArrowLibrary, FieldsOfASymbol) {
    std::vector<std::string> warnings;
    const TArrowLibrary lib = Read("[A]\nLineLoop1=0&0#4&0#4&1#0&1#ignored\nLineLoop2=-1&-1#5&-1#5&2#-1&2#\n"
                                   "MirrorY=1\nDescriptionLow=low\nDescriptionHigh=high\nGostSubName=1.18\n"
                                   "[B]\nLineLoop1=0&0#1,5&0#0&1#\nLineLoop2=0&0#3&0#0&2#\nMirrorY=2\n",
                                   warnings);
    ASSERT_EQ(lib.Defs.size(), 2u);
    const TArrowDef &a = lib.Defs[0];
    EXPECT_EQ(a.LineLoop1, (TXYZArray{{0, 0, 0}, {4, 0, 0}, {4, 1, 0}, {0, 1, 0}}));
    EXPECT_EQ(a.Triangles1.size(), 6u);
    EXPECT_DOUBLE_EQ(a.Area1, 4);
    EXPECT_DOUBLE_EQ(a.Area2, 18);
    EXPECT_DOUBLE_EQ(a.Length1, 4);
    EXPECT_DOUBLE_EQ(a.Length2, 6);
    EXPECT_TRUE(a.MirrorY);
    EXPECT_EQ(a.DescriptionLow, Cp("low"));
    EXPECT_EQ(a.DescriptionHigh, Cp("high"));
    EXPECT_EQ(a.GostSubName, Cp("1.18"));
    const TArrowDef &b = lib.Defs[1];
    EXPECT_FLOAT_EQ(b.LineLoop1[1].x, 1.5f);
    EXPECT_DOUBLE_EQ(b.Area1, 0.75);
    EXPECT_FALSE(b.MirrorY); // only "1" mirrors
    EXPECT_TRUE(b.GostSubName.Empty());
}

TEST(ArrowLibrary, AMissingFileIsOneWarningAndAnEmptyLibrary) {
    sptest::TempDir dir;
    sptest::DataFilesAt at(dir.Path());
    TakeSignLibraryNotices();
    LoadArrowDefs();
    EXPECT_TRUE(ArrowDefNames().empty());
    EXPECT_EQ(ArrowDefIndex(Cp("Прямо")), -1);
    const auto notices = TakeSignLibraryNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].Text.find("ArrowRazmet.std"), std::string::npos) << notices[0].Text;
    ClearArrowDefs();
}

// ---- Arrows

// A triangle pointing along +x with its apex on the left (+y): (0,0) (2,0) (0,1); big (0,0) (3,0) (0,1.5).
const char *const TestSymbols = "[T]\nLineLoop1=0&0#2&0#0&1#\nLineLoop2=0&0#3&0#0&1.5#\nGostSubName=1.18\n"
                                "[M]\nLineLoop1=0&0#2&0#0&1#\nLineLoop2=0&0#3&0#0&1.5#\nMirrorY=1\n";

class Arrows : public TWithClasses {
protected:
    Arrows() {
        std::vector<std::string> warnings;
        SetArrowDefs(ArrowDefsFromIni(TestSymbols, TestFile, warnings));
    }
    ~Arrows() override { ClearArrowDefs(); }

    TArrowRazmetItem *Arrow(int index, std::initializer_list<TXYZ> points) {
        auto *a = MakeAs<TArrowRazmetItem>(S, ArrowRazmetTypeCode, points);
        a->SetArrowIndex(index);
        return a;
    }
    TStreetStructure S;
};

TEST_F(Arrows, SymbolsStandAtEveryVertexButTheLastTurnedAlongTheirEdge) {
    // Up along +y, then along -x: a symbol's +x runs along its edge and its +y lies left of it.
    TArrowRazmetItem *a = Arrow(0, {{10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
    TArrowRazmetItem *m = Arrow(1, {{30, 0, 0}, {30, 10, 0}});
    S.UpdateGraphics(FullTypeSet());
    const auto tris = Owned(S, ArrowRazmetTypeCode, 0, *a);
    EXPECT_EQ(tris.size(), 6u); // two symbols of one triangle, at V0 and V1 only
    EXPECT_TRUE(Holds(tris, 10, 2) && Holds(tris, 9, 0));  // at V0: tip up, apex to the left (-x)
    EXPECT_TRUE(Holds(tris, 8, 10) && Holds(tris, 10, 9)); // at V1: tip along -x, apex to the left (-y)
    const auto lines = Owned(S, ArrowRazmetTypeCode, 1, *a);
    EXPECT_EQ(lines.size(), 2u * 3 * 2); // each outline closed: three lines
    EXPECT_TRUE(Holds(lines, 10, 2) && Holds(lines, 8, 10));
    // Mirrored: the apex on the right.
    const auto mirrored = Owned(S, ArrowRazmetTypeCode, 0, *m);
    EXPECT_TRUE(Holds(mirrored, 30, 2) && Holds(mirrored, 31, 0));
    for (const TDxVertex &v : tris)
        EXPECT_EQ(v.color, TArrowRazmetItem::Color);

    // The big symbols, at the next rebuild.
    S.SetArrowBig(true);
    S.UpdateGraphics(FullTypeSet());
    const auto big = Owned(S, ArrowRazmetTypeCode, 0, *a);
    EXPECT_TRUE(Holds(big, 10, 3) && Holds(big, 8.5f, 0) && Holds(big, 7, 10));
}

TEST_F(Arrows, HitOnTheSymbolVerticesOnly) {
    TArrowRazmetItem *a = Arrow(0, {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}});
    double d = 0;
    EXPECT_TRUE(a->HitTest({0.5f, 0, 0}, d, 1));
    EXPECT_FLOAT_EQ(float(d), 0.5f);
    EXPECT_TRUE(a->HitTest({10, 0.5f, 0}, d, 1));
    EXPECT_FALSE(a->HitTest({20, 0, 0}, d, 1)); // the last vertex only gives a direction
    EXPECT_FALSE(a->HitTest({5, 0, 0}, d, 1));  // nor is the line between
}

TEST_F(Arrows, AnUnknownSymbolNameIsKeptAndWrittenBackDrawingNothing) {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}};
    ItemRec r = Rec("ARRAZMET", 1, {1, 2});
    r.Extra.Tag("ARRMNAME").Str(W("Нет такого")).Tag("ARRMCONN").Append(sptest::ConnectdBytes({sptest::EmptyRef()}));
    f.Lists = {{"ARRAZMET", {r}}};
    const auto bytes = f.Bytes();
    std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
    auto *a = dynamic_cast<TArrowRazmetItem *>(s->Lists(ArrowRazmetTypeCode).Items(0));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->ArrowIndex(), -1);
    EXPECT_EQ(a->ArrowName(), Cp("Нет такого"));
    s->UpdateGraphics(FullTypeSet());
    EXPECT_TRUE(Owned(*s, ArrowRazmetTypeCode, 0, *a).empty());
    double d = 0;
    EXPECT_TRUE(a->HitTest({0, 0, 0}, d, 1)); // still pickable
    EXPECT_EQ(SaveBytes(*s), bytes);
}

class ArrowLabels : public Arrows {
protected:
    ArrowLabels() { Fonts.BuildAtlases(1024, 1024); }
    TFontsDataForm Fonts;
};

// +1 when the label reads along +x (the texture's u grows with x within a character), -1 against it.
int ReadingDirection(const std::vector<TDxVertex> &label) {
    if (label.size() < 6)
        return 0;
    const auto [lo, hi] = std::minmax_element(label.begin(), label.begin() + 6,
                                              [](const TDxVertex &a, const TDxVertex &b) { return a.u < b.u; });
    return hi->x > lo->x ? 1 : -1;
}

TEST_F(ArrowLabels, LabelsEndAtTheVertexAndTurnToReadAlongTheAxis) {
    TArrowRazmetItem *plain = Arrow(0, {{0, 0, 0}, {10, 0, 0}});
    TArrowRazmetItem *against = Arrow(0, {{10, 5, 0}, {0, 5, 0}});
    S.UpdateGraphics(FullTypeSet());
    // Without a reference axis nothing turns: the text ends at the tail, reading along the arrow.
    auto label = Owned(S, ArrowRazmetTypeCode, 2, *plain);
    ASSERT_FALSE(label.empty());
    EXPECT_EQ(ReadingDirection(label), 1);
    for (const TDxVertex &v : label)
        EXPECT_LE(v.x, 1e-4f);
    label = Owned(S, ArrowRazmetTypeCode, 2, *against);
    EXPECT_EQ(ReadingDirection(label), -1);

    // With a guide axis along +x, the arrow pointing against it reads along the axis, starting at its tail.
    TAbstractItem *axis = MakeItem(S, AxisTypeCode, {{-50, -20, 0}, {50, -20, 0}});
    plain->SetReferAxis(axis);
    against->SetReferAxis(axis);
    S.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(ReadingDirection(Owned(S, ArrowRazmetTypeCode, 2, *plain)), 1);
    label = Owned(S, ArrowRazmetTypeCode, 2, *against);
    EXPECT_EQ(ReadingDirection(label), 1);
    for (const TDxVertex &v : label)
        EXPECT_GE(v.x, 10 - 1e-4f);
    // Labels are centred on the arrow's line.
    float lo = 1e9f, hi = -1e9f;
    for (const TDxVertex &v : label) {
        lo = std::min(lo, v.y);
        hi = std::max(hi, v.y);
    }
    EXPECT_NEAR((lo + hi) / 2, 5, 0.05);
}

class Arranging : public Arrows {
protected:
    void Line(std::initializer_list<TXYZ> points) { MakeItem(S, LineRazmetTypeCode, points); }
};

TEST_F(Arranging, VerticesMoveToTheMiddleBetweenTheNearestMarkings) {
    struct TCase {
        const char *Name;
        std::vector<std::vector<TXYZ>> Markings;
        float Y0, Y1; // where the arrow's vertices end up
    };
    const TCase cases[] = {
        {"markings on both sides", {{{-20, 3, 0}, {30, 3, 0}}, {{-20, -1, 0}, {30, -1, 0}}}, 1, 1},
        {"the nearest on each side counts",
         {{{-20, 3, 0}, {30, 3, 0}}, {{-20, 9, 0}, {30, 9, 0}}, {{-20, -1, 0}, {30, -1, 0}}},
         1,
         1},
        {"one side only", {{{-20, 3, 0}, {30, 3, 0}}}, 0, 0},
        {"nothing within 15 m", {{{-20, 16, 0}, {30, 16, 0}}, {{-20, -16, 0}, {30, -16, 0}}}, 0, 0},
        {"a marking bent back over itself: its nearest crossing",
         {{{-20, 6, 0}, {30, 6, 0}, {30, 2, 0}, {-20, 2, 0}}, {{-20, -4, 0}, {30, -4, 0}}},
         -1,
         -1},
        {"markings beside the first vertex only", {{{-5, 3, 0}, {5, 3, 0}}, {{-5, -1, 0}, {5, -1, 0}}}, 1, 0},
    };
    for (const TCase &c : cases) {
        S.Clear();
        for (const auto &m : c.Markings) {
            TAbstractItem *item = S.Lists(LineRazmetTypeCode).AddNew();
            for (const TXYZ &p : m)
                item->Points.InsertNewPoint(item->Points.Count(), p);
        }
        TArrowRazmetItem *a = Arrow(0, {{0, 0, 0}, {10, 0, 0}});
        a->CenterBetweenLines();
        EXPECT_NEAR(a->Points.GetPoint(0).y, c.Y0, 1e-4) << c.Name;
        EXPECT_NEAR(a->Points.GetPoint(1).y, c.Y1, 1e-4) << c.Name;
        EXPECT_NEAR(a->Points.GetPoint(0).x, 0, 1e-4) << c.Name;
    }
    // A marking through the arrow's vertex: it stays where it is, and nothing becomes NaN.
    S.Clear();
    TArrowRazmetItem *a = Arrow(0, {{0, 0, 0}, {10, 0, 0}});
    MakeItemOn(S, LineRazmetTypeCode, {a->Points.PointRec(0), S.Pool().AddPointRec({0, 10, 0})});
    a->CenterBetweenLines();
    EXPECT_FLOAT_EQ(a->Points.GetPoint(0).x, 0);
    EXPECT_FLOAT_EQ(a->Points.GetPoint(0).y, 0);
}

// ---- Stop zones

class StopZones : public TWithClasses {
protected:
    TStreetStructure S;
};

TEST_F(StopZones, ZigzagAndPaintFigures) {
    struct TCase {
        const char *Name;
        float Length;
        double MarkingLength, Area;
        TXYZArray Zigzag;
    };
    const TCase cases[] = {
        {"9.5 m: two teeth, the rest unpainted", 9.5f, 15.2, 1.52,
         {{0, 0, 0}, {0, 2, 0}, {2, 0, 0}, {4, 2, 0}, {6, 0, 0}, {8, 2, 0}, {8, 0, 0}}},
        {"3 m: one stroke up and down at the start", 3, 4.0, 0.4, {{0, 0, 0}, {0, 2, 0}, {0, 0, 0}}},
        {"4 m: one tooth", 4, 9.6, 0.96, {{0, 0, 0}, {0, 2, 0}, {2, 0, 0}, {4, 2, 0}, {4, 0, 0}}},
    };
    for (const TCase &c : cases) {
        auto *stop = MakeAs<TRazmetStopItem>(S, RazmetStopTypeCode, {{0, 0, 0}, {c.Length, 0, 0}});
        stop->UpdateGraphics();
        EXPECT_DOUBLE_EQ(stop->GetMarkingLength(), c.MarkingLength) << c.Name;
        EXPECT_DOUBLE_EQ(stop->GetPaintArea(), c.Area) << c.Name;
        ASSERT_EQ(stop->Zigzag().size(), c.Zigzag.size()) << c.Name;
        for (std::size_t i = 0; i < c.Zigzag.size(); ++i) {
            EXPECT_NEAR(stop->Zigzag()[i].x, c.Zigzag[i].x, 1e-5) << c.Name << " " << i;
            EXPECT_NEAR(stop->Zigzag()[i].y, c.Zigzag[i].y, 1e-5) << c.Name << " " << i;
        }
    }
    S.UpdateGraphics(FullTypeSet());
    const TAbstractItem &first = *S.Lists(RazmetStopTypeCode).Items(0);
    EXPECT_EQ(Owned(S, RazmetStopTypeCode, 1, first).size(), 6u * 2); // the zigzag's six lines
    const auto band = Owned(S, RazmetStopTypeCode, 0, first);
    ASSERT_FALSE(band.empty());
    for (const TDxVertex &v : band)
        EXPECT_TRUE(v.y >= -1 && v.y <= 3) << v.y;
}

TEST_F(StopZones, ALineOfTooManyTeethIsDrawnPlainAndCountsInDouble) {
    auto *stop = MakeAs<TRazmetStopItem>(S, RazmetStopTypeCode, {{0, 0, 0}, {500000, 0, 0}});
    stop->UpdateGraphics();
    EXPECT_EQ(stop->Zigzag().size(), 2u);
    EXPECT_DOUBLE_EQ(stop->GetMarkingLength(), 1.4 * 500000 + 4);
    // Vertices apart only in height: no direction to offset along, no NaN drawn.
    auto *upright = MakeAs<TRazmetStopItem>(S, RazmetStopTypeCode, {{0, 5, 0}, {0, 5, 10}});
    EXPECT_NO_THROW(S.UpdateGraphics(FullTypeSet()));
    for (const TXYZ &p : upright->Zigzag())
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    for (const TDxVertex &v : Owned(S, RazmetStopTypeCode, 0, *upright))
        EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
}

// ---- Label places

TEST(MarkingLabels, TextAndOffsetByMirrorSideAndTurn) {
    struct TText {
        const char *Code, *Text;
    };
    const TText texts[] = {{"1.4_1", "1.4(желтая)"}, {"1.4", "1.4(желтая)"}, {"1.10_a_b", "1.10(желтая)"},
                           {"1.1", "1.1"},           {"1.5_x", "1.5"},       {"1.40", "1.40"},
                           {"_1", ""},               {"", ""}};
    for (const TText &t : texts)
        EXPECT_EQ(MarkingLabelText(Cp(t.Code)), Cp(t.Text)) << t.Code;

    // dmin -0.2, dmax 0.1: mirror + 2 side + 4 flipped gives 0, 5: dmax; 1, 4: -dmin; 2, 7: dmin; 3, 6: -dmax.
    const float expected[8] = {0.1f, 0.2f, -0.2f, -0.1f, 0.2f, 0.1f, -0.1f, -0.2f};
    for (int k = 0; k < 8; ++k)
        EXPECT_FLOAT_EQ(MarkingLabelOffset(k & 1, k & 2, k & 4, -0.2f, 0.1f), expected[k]) << k;
}

class LabelPlaces : public TWithClasses {
protected:
    LabelPlaces() { WithRecords(S); }
    // Records "1.1" and "1.4", both with edges 0.1 and -0.2.
    static void WithRecords(TStreetStructure &s) {
        TLnParamRec r;
        r.Name = Cp("1.1");
        r.Period = 4;
        r.Disp1 = 0.1f;
        r.Disp2 = -0.2f;
        TLnParamRec y = r;
        y.Name = Cp("1.4");
        s.SetLnRazmetParams({r, y});
    }
    static TLineRazmetItem *Marking(TStreetStructure &s, const char *code, std::initializer_list<TXYZ> points,
                                    uint8_t mirror = 0) {
        auto *m = MakeAs<TLineRazmetItem>(s, LineRazmetTypeCode, points);
        m->SetGost(Cp(code));
        m->SetMirror(mirror);
        return m;
    }
    TLineRazmetItem *Marking(const char *code, std::initializer_list<TXYZ> points, uint8_t mirror = 0) {
        return Marking(S, code, points, mirror);
    }
    static TRazmetLabelPlaceItem *Place(TStreetStructure &s, std::initializer_list<TXYZ> points) {
        return MakeAs<TRazmetLabelPlaceItem>(s, RazmetLabelPlaceTypeCode, points);
    }
    TRazmetLabelPlaceItem *Place(std::initializer_list<TXYZ> points) { return Place(S, points); }
    TStreetStructure S;
};

TEST_F(LabelPlaces, ALabelBesideEveryCrossedMarking) {
    struct TCase {
        const char *Name;
        TXYZ From, To;     // the place
        uint8_t Mirror;    // of the marking along +x
        bool Axis;         // a guide axis along -x
        float Offset;      // expected
        uint8_t Side;
        float Direction;   // of the text
    };
    const float pi = float(std::numbers::pi);
    const TCase cases[] = {
        {"crossing upwards: dmax, the text above its base", {5, -5, 0}, {5, 5, 0}, 0, false, 0.1f, 0, 0},
        {"mirrored: -dmin", {5, -5, 0}, {5, 5, 0}, 1, false, 0.2f, 0, 0},
        {"crossing downwards: dmin, the text below its base", {5, 5, 0}, {5, -5, 0}, 0, false, -0.2f, 1, 0},
        {"downwards, mirrored: -dmax", {5, 5, 0}, {5, -5, 0}, 1, false, -0.1f, 1, 0},
        {"against the axis: turned, -dmin", {5, 5, 0}, {5, -5, 0}, 0, true, 0.2f, 0, pi},
        {"turned and mirrored: dmax", {5, 5, 0}, {5, -5, 0}, 1, true, 0.1f, 0, pi},
        {"turned, upwards: -dmax", {5, -5, 0}, {5, 5, 0}, 0, true, -0.1f, 1, pi},
        {"turned, upwards, mirrored: dmin", {5, -5, 0}, {5, 5, 0}, 1, true, -0.2f, 1, pi},
    };
    for (const TCase &c : cases) {
        TStreetStructure s;
        WithRecords(s);
        Marking(s, "1.1", {{0, 0, 0}, {10, 0, 0}}, c.Mirror);
        TRazmetLabelPlaceItem *p = Place(s, {c.From, c.To});
        if (c.Axis)
            p->SetReferAxis(MakeItem(s, AxisTypeCode, {{50, -30, 0}, {-50, -30, 0}}));
        s.UpdateGraphics(FullTypeSet());
        ASSERT_EQ(p->Labels().size(), 1u) << c.Name;
        const TLblCashRec &l = p->Labels()[0];
        EXPECT_EQ(l.Text, Cp("1.1")) << c.Name;
        EXPECT_NEAR(l.X, 5, 1e-5) << c.Name;
        EXPECT_NEAR(l.Y, 0, 1e-5) << c.Name;
        EXPECT_FLOAT_EQ(l.Offset, c.Offset) << c.Name;
        EXPECT_EQ(l.Side, c.Side) << c.Name;
        EXPECT_NEAR(l.Cos, std::cos(c.Direction), 1e-6) << c.Name;
        EXPECT_NEAR(l.Sin, std::sin(c.Direction), 1e-6) << c.Name;
    }
}

TEST_F(LabelPlaces, EverySegmentEveryMarkingInOrderAndWithoutRecordOffsetZero) {
    Marking("1.4_1", {{0, 0, 0}, {20, 0, 0}});
    Marking("9.99", {{0, 4, 0}, {20, 4, 0}});
    TLineRazmetItem *hidden = Marking("1.1", {{0, 2, 0}, {20, 2, 0}});
    hidden->Active = false;
    TRazmetLabelPlaceItem *p = Place({{5, -1, 0}, {5, 5, 0}, {15, 5.5f, 0}, {15, -1, 0}});
    S.UpdateGraphics(FullTypeSet());
    ASSERT_EQ(p->Labels().size(), 4u);
    // Per segment, the markings in their list's order; no label from the hidden one.
    const char *texts[] = {"1.4(желтая)", "9.99", "1.4(желтая)", "9.99"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(p->Labels()[i].Text, Cp(texts[i])) << i;
        EXPECT_FLOAT_EQ(p->Labels()[i].Offset, 0) << i; // neither "1.4_1" nor "9.99" has a record
    }
    EXPECT_NEAR(p->Labels()[2].X, 15, 1e-5);
    EXPECT_NEAR(p->Labels()[1].Y, 4, 1e-5);
}

TEST_F(LabelPlaces, LabelsFollowTheMarkingAndLeaveWithIt) {
    TLineRazmetItem *m = Marking("1.1", {{0, 0, 0}, {10, 0, 0}});
    TRazmetLabelPlaceItem *p = Place({{5, -5, 0}, {5, 5, 0}});
    TRazmetLabelPlaceItem *far = Place({{50, -5, 0}, {50, 5, 0}});
    S.UpdateGraphics(FullTypeSet());
    ASSERT_EQ(p->Labels().size(), 1u);
    EXPECT_TRUE(far->Labels().empty());

    // Moved along the place: the label follows.
    m->Points.SetPoint(0, {0, 2, 0});
    m->Points.SetPoint(1, {10, 2, 0});
    EXPECT_TRUE(p->Points.Changed());
    S.UpdateGraphics(FullTypeSet());
    ASSERT_EQ(p->Labels().size(), 1u);
    EXPECT_NEAR(p->Labels()[0].Y, 2, 1e-5);

    // Code and mirror: text and offset follow.
    m->SetGost(Cp("1.4"));
    S.UpdateGraphics(FullTypeSet());
    EXPECT_EQ(p->Labels()[0].Text, Cp("1.4(желтая)"));
    m->SetMirror(1);
    S.UpdateGraphics(FullTypeSet());
    EXPECT_FLOAT_EQ(p->Labels()[0].Offset, 0.2f);

    // Moved off the place onto another: the old place loses its label, the new one gains it.
    m->Points.SetPoint(0, {45, 0, 0});
    m->Points.SetPoint(1, {55, 0, 0});
    S.UpdateGraphics(FullTypeSet());
    EXPECT_TRUE(p->Labels().empty());
    ASSERT_EQ(far->Labels().size(), 1u);

    // Deleted: its label goes.
    S.DeleteItems(std::vector<TAbstractItem *>{m});
    S.UpdateGraphics(FullTypeSet());
    EXPECT_TRUE(far->Labels().empty());
}

TEST_F(LabelPlaces, TheSignScaleSizesTheLabels) {
    TFontsDataForm fonts;
    fonts.BuildAtlases(1024, 1024);
    Marking("1.1", {{0, 0, 0}, {10, 0, 0}});
    TRazmetLabelPlaceItem *p = Place({{5, -5, 0}, {5, 5, 0}});
    const auto height = [&] {
        S.UpdateGraphics(FullTypeSet());
        const auto v = Owned(S, RazmetLabelPlaceTypeCode, 1, *p);
        float lo = 1e9f, hi = -1e9f;
        for (const TDxVertex &x : v) {
            lo = std::min(lo, x.y);
            hi = std::max(hi, x.y);
        }
        return v.empty() ? 0.0f : hi - lo;
    };
    // No sign scale counts as 1: 0.09 atlas units a metre.
    const float plain = height();
    ASSERT_GT(plain, 0);
    EXPECT_LE(plain, 0.09f * float(fonts.SmallArialTexture()->TextHeight()) + 1e-3f);
    S.SetZnakScale(2);
    EXPECT_TRUE(p->Points.Changed());
    EXPECT_NEAR(height(), 2 * plain, 1e-3);
    // Beside the marking: the text stands above dmax (crossing upwards).
    for (const TDxVertex &v : Owned(S, RazmetLabelPlaceTypeCode, 1, *p))
        EXPECT_GE(v.y, 0.1f - 1e-4f);
    // The place's own line lies on the technical layer, the labels on the plan.
    EXPECT_EQ(TypePrimCollection(S, RazmetLabelPlaceTypeCode, 0)->Group(0).Layers, TechLayerMask);
    EXPECT_EQ(TypePrimCollection(S, RazmetLabelPlaceTypeCode, 1)->Group(0).Layers, PlanLayerMask);
}

// ---- Street files

StreetFile WithPoints() {
    StreetFile f = StreetFile::Canonical();
    f.Points = {{1, 0, 0}, {2, 10, 0}, {3, 20, 2}, {4, 5, -5}, {5, 5, 5}, {6, 0, 3}, {7, 9.5, 3}};
    f.LnParams = sptest::LnParamsBytes({{"1.1", "Solid.bmp", 4, 0.05f, -0.05f, "", 1, 0, 0, 0, 0}});
    return f;
}

ItemRec ArrowRec(int32_t id, std::vector<int32_t> points, std::optional<std::string> name,
                 std::optional<std::vector<std::pair<std::string, int32_t>>> conn) {
    ItemRec r = Rec("ARRAZMET", id, std::move(points));
    if (name)
        r.Extra.Tag("ARRMNAME").Str(*name);
    if (conn)
        r.Extra.Tag("ARRMCONN").Append(sptest::ConnectdBytes(*conn));
    return r;
}

class MarkingFigureFiles : public Arrows {};

TEST_F(MarkingFigureFiles, CanonicalRecordsWriteBackByteForByte) {
    StreetFile f = WithPoints();
    ItemRec marking = Rec("LNRAZMET", 1, {1, 2, 3});
    marking.Extra.Tag("LNRMGOST").Str("1.1").Tag("LNRMMIRR").U8(0);
    f.Lists = {{"LNRAZMET", {marking}},
               {"ARRAZMET",
                {ArrowRec(2, {1, 2, 3}, "T", std::vector{sptest::EmptyRef()}),
                 ArrowRec(3, {6, 7}, W("Неизвестная"), std::vector<std::pair<std::string, int32_t>>{{"LNRAZMET", 1}}),
                 ArrowRec(4, {4, 5}, "", std::vector{sptest::EmptyRef()})}},
               {"RAZMSTOP", {Rec("RAZMSTOP", 5, {6, 7})}},
               {"RZLABLEP", {Rec("RZLABLEP", 6, {4, 5})}}};
    const auto bytes = f.Bytes();
    std::unique_ptr<TStreetStructure> s = LoadBytes(bytes);
    EXPECT_FALSE(s->Modified());
    EXPECT_EQ(SaveBytes(*s), bytes);

    // Every field as read.
    TItemList &arrows = s->Lists(ArrowRazmetTypeCode);
    ASSERT_EQ(arrows.Count(), 3);
    auto *a = dynamic_cast<TArrowRazmetItem *>(arrows.Items(0));
    auto *b = dynamic_cast<TArrowRazmetItem *>(arrows.Items(1));
    auto *c = dynamic_cast<TArrowRazmetItem *>(arrows.Items(2));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->ArrowIndex(), 0);
    EXPECT_EQ(a->Points.Count(), 3);
    EXPECT_EQ(a->ArrmConn.Count(), 1);
    EXPECT_EQ(a->ArrmConn.Items(0), nullptr);
    EXPECT_EQ(b->ArrowIndex(), -1);
    EXPECT_EQ(b->ArrowName(), Cp("Неизвестная"));
    EXPECT_EQ(b->ArrmConn.Items(0), s->Lists(LineRazmetTypeCode).Items(0));
    EXPECT_EQ(c->ArrowIndex(), -1);
    EXPECT_TRUE(c->ArrowName().Empty());
    auto *stop = dynamic_cast<TRazmetStopItem *>(s->Lists(RazmetStopTypeCode).Items(0));
    ASSERT_TRUE(stop);
    EXPECT_DOUBLE_EQ(stop->GetMarkingLength(), 15.2);
    auto *place = dynamic_cast<TRazmetLabelPlaceItem *>(s->Lists(RazmetLabelPlaceTypeCode).Items(0));
    ASSERT_TRUE(place);

    s->UpdateGraphics(FullTypeSet());
    EXPECT_FALSE(s->Modified()) << "drawing changed the street";
    EXPECT_EQ(SaveBytes(*s), bytes) << "after drawing";
    ASSERT_EQ(place->Labels().size(), 1u);
    EXPECT_EQ(place->Labels()[0].Text, Cp("1.1"));
}

TEST_F(MarkingFigureFiles, ArrowsWithoutTheirTagsGainThemOnce) {
    StreetFile f = WithPoints();
    f.Lists = {{"ARRAZMET", {ArrowRec(1, {1, 2}, std::nullopt, std::nullopt), ArrowRec(2, {4, 5}, "M", std::nullopt)}}};
    StreetFile expected = WithPoints();
    expected.Lists = {{"ARRAZMET",
                       {ArrowRec(1, {1, 2}, "", std::vector{sptest::EmptyRef()}),
                        ArrowRec(2, {4, 5}, "M", std::vector{sptest::EmptyRef()})}}};
    std::unique_ptr<TStreetStructure> s = LoadBytes(f.Bytes());
    EXPECT_EQ(dynamic_cast<TArrowRazmetItem *>(s->Lists(ArrowRazmetTypeCode).Items(1))->ArrowIndex(), 1);
    EXPECT_EQ(SaveBytes(*s), expected.Bytes());
    EXPECT_EQ(SaveBytes(*LoadBytes(expected.Bytes())), expected.Bytes());
}

TEST_F(MarkingFigureFiles, AReferenceListLongerThanItsOneSlotIsAnError) {
    StreetFile f = WithPoints();
    f.Lists = {{"ARRAZMET", {ArrowRec(1, {1, 2}, "T", std::vector{sptest::EmptyRef(), sptest::EmptyRef()})}}};
    EXPECT_THROW(LoadBytes(f.Bytes()), EStreetError);
}

} // namespace
