// The generated glyph streets of painted road text and signs, read with the program's own reader: every
// glyph has an origin, every piece is triangulated completely and no two pieces overlap, the font's
// widths and areas are those of its source table, and every character road numbers need is there.
#include "ObjectsTestUtil.h"

#include "engine/DataFiles.h"
#include "model/ItemList.h"
#include "objects/RazmetGlyphs.h"
#include "objects/RazmetText.h"
#include "support/TestSupport.h"

#include <fstream>
#include <map>
#include <sstream>

using namespace objtest;

namespace {

using TPoly = std::vector<std::pair<double, double>>;

double Area(const TPoly &p) {
    double s = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto &a = p[i], &b = p[(i + 1) % p.size()];
        s += a.first * b.second - b.first * a.second;
    }
    return std::fabs(s) / 2;
}

// The part of the convex polygon inside the convex clip polygon (both turning either way).
TPoly Clip(TPoly subject, const TPoly &clip) {
    const double orient = [&] {
        double s = 0;
        for (std::size_t i = 0; i < clip.size(); ++i)
            s += clip[i].first * clip[(i + 1) % clip.size()].second -
                 clip[(i + 1) % clip.size()].first * clip[i].second;
        return s >= 0 ? 1.0 : -1.0;
    }();
    for (std::size_t e = 0; e < clip.size() && !subject.empty(); ++e) {
        const auto a = clip[e], b = clip[(e + 1) % clip.size()];
        const auto side = [&](const std::pair<double, double> &p) {
            return orient * ((b.first - a.first) * (p.second - a.second) -
                             (b.second - a.second) * (p.first - a.first));
        };
        TPoly out;
        for (std::size_t i = 0; i < subject.size(); ++i) {
            const auto p = subject[i], q = subject[(i + 1) % subject.size()];
            const double sp = side(p), sq = side(q);
            if (sp >= 0)
                out.push_back(p);
            if ((sp >= 0) != (sq >= 0)) {
                const double t = sp / (sp - sq);
                out.push_back({p.first + t * (q.first - p.first), p.second + t * (q.second - p.second)});
            }
        }
        subject = std::move(out);
    }
    return subject.size() >= 3 ? subject : TPoly{};
}

struct TGlyphCheck {
    double Area = 0;    // of the triangles
    double Outline = 0; // of the pieces' outlines
    double Overlap = 0; // of every two triangles
    bool Complete = true;
};

// The glyph street of a data file with each group's pieces measured.
class GlyphFile {
public:
    explicit GlyphFile(const char *name) {
        const auto file = FindDataFile(Cp(name));
        if (!file) {
            ADD_FAILURE() << name << " missing";
            return;
        }
        Street = LoadStreetFile(file->string());
        for (const auto &item : Street->Lists(RulerTypeCode))
            if (item->Points.Count() > 0)
                Origins[item->GroupName()] = item->Points.GetPoint(0);
        std::map<Cp1251String, std::vector<TPoly>> triangles;
        for (const auto &item : Street->Lists(DesignFigureTypeCode)) {
            auto *piece = dynamic_cast<TPolygonItem *>(item.get());
            TGlyphCheck &c = Checks[item->GroupName()];
            c.Complete = c.Complete && piece->TrianglesComplete();
            TPoly outline;
            for (int i = 0; i < piece->Points.Count(); ++i)
                outline.push_back({piece->Points.GetPoint(i).x, piece->Points.GetPoint(i).y});
            c.Outline += Area(outline);
            const TXYZArray &t = piece->Triangles();
            for (std::size_t i = 0; i + 2 < t.size(); i += 3) {
                TPoly tri{{t[i].x, t[i].y}, {t[i + 1].x, t[i + 1].y}, {t[i + 2].x, t[i + 2].y}};
                c.Area += Area(tri);
                for (const TPoly &other : triangles[item->GroupName()])
                    c.Overlap += Area(Clip(tri, other));
                triangles[item->GroupName()].push_back(std::move(tri));
            }
        }
    }
    std::unique_ptr<TStreetStructure> Street;
    std::map<Cp1251String, TXYZ> Origins;
    std::map<Cp1251String, TGlyphCheck> Checks;
};

class GeneratedGlyphs : public TWithClasses {
protected:
    ~GeneratedGlyphs() override { FreeRazmetGlyphs(); }
};

// The font's source table as written: 7 rows of cells a glyph, 0.16 m wide and 1.6 / 7 m high.
struct TSourceGlyph {
    int Cells = 0;
    int Columns = 0; // up to the last painted one
};
std::map<Cp1251String, TSourceGlyph> FontSource() {
    std::ifstream in(sptest::SourceDir() / "data" / "razmet" / "font.tsv");
    std::map<Cp1251String, TSourceGlyph> glyphs;
    std::string line;
    Cp1251String current;
    bool header = true;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (header) {
            header = false;
            continue;
        }
        const std::size_t tab = line.find('\t');
        if (tab > 0)
            current = Cp(line.substr(0, tab));
        const std::string cells = line.substr(tab + 1);
        TSourceGlyph &g = glyphs[current];
        for (std::size_t c = 0; c < cells.size(); ++c)
            if (cells[c] == 'X') {
                ++g.Cells;
                g.Columns = std::max(g.Columns, int(c) + 1);
            }
    }
    return glyphs;
}

TEST_F(GeneratedGlyphs, FontGlyphsAreWholeAndAsTheirTable) {
    const GlyphFile file("Разметка\\RazmetFont.zrv");
    ASSERT_TRUE(file.Street);
    const TRazmetFont &font = LoadRazmetFont();
    ASSERT_TRUE(RazmetFontProblem().Empty()) << RazmetFontProblem().Reason;
    const std::map<Cp1251String, TSourceGlyph> source = FontSource();
    ASSERT_GE(source.size(), 45u);
    for (const auto &[name, g] : source) {
        SCOPED_TRACE(name.ToUtf8());
        ASSERT_EQ(name.Size(), 1u);
        ASSERT_TRUE(file.Origins.count(name)) << "no origin";
        const TGlyphCheck &c = file.Checks.at(name);
        EXPECT_TRUE(c.Complete);
        EXPECT_NEAR(c.Area, c.Outline, 1e-4);
        EXPECT_NEAR(c.Overlap, 0, 1e-6);
        const TRazmetGlyph &glyph = font[name[0]];
        EXPECT_TRUE(glyph.Known);
        EXPECT_NEAR(glyph.Area, g.Cells * 0.16 * 1.6 / 7, 1e-4);
        EXPECT_NEAR(glyph.Width, g.Columns * 0.16 + 0.1, 1e-4);
    }
    // Every capital, the digits, "-" and ".": road numbers and "СТОП" have known paint.
    std::string needed = "0123456789-.";
    for (int c = 0xC0; c <= 0xDF; ++c)
        needed += char(c);
    needed += Cp("Ё").Bytes();
    for (unsigned char c : needed)
        EXPECT_TRUE(font[c].Known && !font[c].Vertices.empty())
            << Cp1251String(std::string(1, char(c))).ToUtf8();
    TStreetStructure s;
    auto *t = MakeAs<TRazmetTextItem>(s, RazmetTextTypeCode, {{0, 0, 0}, {1, 0, 0}});
    for (const char *text : {"СТОП", "М-10", "Р-255"}) {
        t->SetText(Cp(text));
        EXPECT_TRUE(t->GetPaintArea()) << text;
    }
}

TEST_F(GeneratedGlyphs, SignGlyphsAreWholeAndNamedByTheGroupList) {
    const GlyphFile file("Знаки\\ZnakRoadCopy.zrv");
    ASSERT_TRUE(file.Street);
    const TRazmetZnakTable &table = LoadRazmetZnakGlyphs();
    ASSERT_TRUE(RazmetZnakProblem().Empty()) << RazmetZnakProblem().Reason;
    const TNameValueList &groups = file.Street->GroupNames();
    ASSERT_EQ(int(table.Entries.size()), groups.Count());
    for (int i = 0; i < groups.Count(); ++i) {
        const Cp1251String name = groups.Names(i);
        SCOPED_TRACE(name.ToUtf8());
        ASSERT_EQ(table.Entries[std::size_t(i)].Name, name);
        ASSERT_TRUE(file.Origins.count(name)) << "no origin";
        const TGlyphCheck &c = file.Checks.at(name);
        EXPECT_TRUE(c.Complete);
        EXPECT_NEAR(c.Area, c.Outline, c.Outline * 1e-5);
        EXPECT_NEAR(c.Overlap, 0, c.Outline * 1e-6);
        const TRazmetGlyph &g = table.Entries[std::size_t(i)].Glyph;
        EXPECT_TRUE(g.Known);
        EXPECT_NEAR(g.Area, c.Area, c.Area * 1e-5);
        // About 1 m wide and at most 3 m long.
        EXPECT_LE(g.Reach, 3000);
    }
    for (const char *frame : {"1.*", "3.*", "5.*", "8.*"})
        EXPECT_TRUE(file.Origins.count(Cp1251String(frame))) << frame;
    // Every pictogram of the name list paints a known area inside its frame.
    ASSERT_FALSE(RazmetZnakGlyphNames().empty());
    TStreetStructure s;
    auto *z = MakeAs<TRazmetZnakItem>(s, RazmetZnakTypeCode, {{0, 0, 0}});
    for (const Cp1251String &name : RazmetZnakGlyphNames()) {
        z->SetSignName(name);
        EXPECT_TRUE(z->GetPaintArea()) << name.ToUtf8();
        EXPECT_GE(z->FrameGlyph(), 0) << name.ToUtf8();
    }
}

} // namespace
