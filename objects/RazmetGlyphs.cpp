#include "objects/RazmetGlyphs.h"

#include "engine/DataFiles.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <memory>
#include <optional>

namespace {

TRazmetGlyph GlyphOfTriangles(std::initializer_list<TXYZ> corners, float width) {
    TRazmetGlyph g;
    for (const TXYZ &p : corners)
        g.Vertices.push_back({p.x, p.y, p.z, 0, 0, 0});
    g.Width = width;
    g.Known = false;
    for (const TDxVertex &v : g.Vertices)
        g.Reach = std::max({g.Reach, std::fabs(v.x), std::fabs(v.y)});
    return g;
}

// The pieces and the origin of one group of a glyph street.
struct TGlyphSource {
    std::vector<TPolygonItem *> Pieces;
    TAbstractItem *Ruler = nullptr; // the last one with a vertex
};

std::map<Cp1251String, TGlyphSource> GlyphSources(TStreetStructure &street) {
    std::map<Cp1251String, TGlyphSource> sources;
    for (const auto &item : street.Lists(DesignFigureTypeCode))
        if (auto *piece = dynamic_cast<TPolygonItem *>(item.get()))
            sources[item->GroupName()].Pieces.push_back(piece);
    for (const auto &item : street.Lists(RulerTypeCode))
        if (item->Points.Count() > 0)
            sources[item->GroupName()].Ruler = item.get();
    return sources;
}

// The group's pieces triangulated and moved so that the origin is 0; nothing without an origin.
std::optional<TRazmetGlyph> GlyphOf(const TGlyphSource &source) {
    if (!source.Ruler)
        return std::nullopt;
    const TXYZ o = source.Ruler->Points.GetPoint(0);
    TRazmetGlyph g;
    double area = 0, maxX = 0.1;
    // Pieces beyond what a single holds draw as the default glyph, paint unknown.
    for (TPolygonItem *piece : source.Pieces) {
        const TXYZArray &t = piece->Triangles();
        g.Known = g.Known && piece->TrianglesComplete();
        for (std::size_t i = 0; i + 2 < t.size(); i += 3) {
            const TXYZ &a = t[i], &b = t[i + 1], &c = t[i + 2];
            area += std::fabs((double(b.x) - a.x) * (double(c.y) - a.y) -
                              (double(c.x) - a.x) * (double(b.y) - a.y)) /
                    2;
            for (const TXYZ *p : {&a, &b, &c}) {
                const TDxVertex v{p->x - o.x, p->y - o.y, p->z - o.z, 0, 0, 0};
                if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
                    return std::nullopt;
                maxX = std::max(maxX, double(v.x));
                g.Reach = std::max({g.Reach, std::fabs(v.x), std::fabs(v.y)});
                g.Vertices.push_back(v);
            }
        }
    }
    g.Area = static_cast<float>(area);
    g.Width = static_cast<float>(maxX + 0.1);
    if (!std::isfinite(g.Width) || !std::isfinite(g.Area))
        return std::nullopt;
    return g;
}

void BlankSpace(TRazmetFont &font) {
    font[' '] = TRazmetGlyph{};
    font[' '].Width = 0.3f;
}

struct TGlyphTables {
    bool FontLoaded = false, ZnakLoaded = false;
    TRazmetFont Font;
    TRazmetZnakTable Znak;
    TGlyphFileProblem FontProblem, ZnakProblem;
    uint64_t ZnakGeneration = 1;
};

TGlyphTables &Tables() {
    static TGlyphTables tables;
    return tables;
}

// A glyph street read into a temporary street, handed to the builder and freed; a failure is kept as
// the problem, the builder then not called.
template <class Build>
void ReadGlyphStreet(const std::filesystem::path &file, TGlyphFileProblem &problem, Build build) {
    const std::u8string u8 = file.u8string();
    problem = {std::string(u8.begin(), u8.end()), {}};
    try {
        std::unique_ptr<TStreetStructure> street = LoadStreetFile(file.string());
        build(*street);
    } catch (const std::exception &e) {
        problem.Reason = e.what();
    }
}

// The data file of that name; its expected place and the problem when it is not there.
std::optional<std::filesystem::path> GlyphDataFile(const char *name, TGlyphFileProblem &problem) {
    const std::optional<std::filesystem::path> file = FindDataFile(Cp(name));
    if (!file) {
        const std::u8string dir = DataFilesDir().u8string();
        std::string relative = name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        problem = {std::string(dir.begin(), dir.end()) + "/" + relative, "file not found"};
    }
    return file;
}

} // namespace

TRazmetGlyph MakeDefaultTextGlyph() {
    return GlyphOfTriangles(
        {{0.1f, 0, 0}, {0.1f, 1.6f, 0}, {0.5f, 1.6f, 0}, {0.5f, 0, 0}, {0.1f, 0, 0}, {0.5f, 1.6f, 0}}, 0.6f);
}

TRazmetGlyph MakeDefaultZnakGlyph() {
    return GlyphOfTriangles(
        {{-500, 0, 0}, {-500, 1600, 0}, {500, 1600, 0}, {500, 0, 0}, {-500, 0, 0}, {500, 1600, 0}}, 0);
}

void BuildRazmetFont(TStreetStructure &glyphs, TRazmetFont &font) {
    font.fill(MakeDefaultTextGlyph());
    const std::map<Cp1251String, TGlyphSource> sources = GlyphSources(glyphs);
    for (const auto &[name, source] : sources) {
        if (name.Size() != 1)
            continue;
        if (std::optional<TRazmetGlyph> g = GlyphOf(source))
            font[name[0]] = std::move(*g);
    }
    BlankSpace(font);
}

void BuildRazmetZnakGlyphs(TStreetStructure &glyphs, TRazmetZnakTable &table) {
    table = {};
    const std::map<Cp1251String, TGlyphSource> sources = GlyphSources(glyphs);
    const TNameValueList &groups = glyphs.GroupNames();
    for (int i = 0; i < groups.Count(); ++i) {
        const Cp1251String name = groups.Names(i);
        const auto source = sources.find(name);
        if (source == sources.end())
            continue;
        if (std::optional<TRazmetGlyph> g = GlyphOf(source->second)) {
            table.Entries.push_back({name, std::move(*g)});
            if (!name.Contains(Cp1251String("*")))
                table.Names.push_back(name);
        }
    }
    std::sort(table.Names.begin(), table.Names.end(), [](const Cp1251String &a, const Cp1251String &b) {
        const int c = CompareText(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    table.Names.erase(std::unique(table.Names.begin(), table.Names.end()), table.Names.end());
}

void LoadRazmetFontFile(const std::filesystem::path &file) {
    TGlyphTables &t = Tables();
    t.FontLoaded = true;
    t.Font.fill(MakeDefaultTextGlyph());
    BlankSpace(t.Font);
    ReadGlyphStreet(file, t.FontProblem, [&](TStreetStructure &s) { BuildRazmetFont(s, t.Font); });
}

void LoadRazmetZnakFile(const std::filesystem::path &file) {
    TGlyphTables &t = Tables();
    t.ZnakLoaded = true;
    t.Znak = {};
    ++t.ZnakGeneration;
    ReadGlyphStreet(file, t.ZnakProblem, [&](TStreetStructure &s) { BuildRazmetZnakGlyphs(s, t.Znak); });
}

const TRazmetFont &LoadRazmetFont() {
    TGlyphTables &t = Tables();
    if (!t.FontLoaded) {
        if (const auto file = GlyphDataFile("Разметка\\RazmetFont.zrv", t.FontProblem)) {
            LoadRazmetFontFile(*file);
        } else {
            t.FontLoaded = true;
            t.Font.fill(MakeDefaultTextGlyph());
            BlankSpace(t.Font);
        }
    }
    return t.Font;
}

const TRazmetZnakTable &LoadRazmetZnakGlyphs() {
    TGlyphTables &t = Tables();
    if (!t.ZnakLoaded) {
        if (const auto file = GlyphDataFile("Знаки\\ZnakRoadCopy.zrv", t.ZnakProblem)) {
            LoadRazmetZnakFile(*file);
        } else {
            t.ZnakLoaded = true;
            t.Znak = {};
            ++t.ZnakGeneration;
        }
    }
    return t.Znak;
}

const std::vector<Cp1251String> &RazmetZnakGlyphNames() {
    return LoadRazmetZnakGlyphs().Names;
}

const TGlyphFileProblem &RazmetFontProblem() {
    return Tables().FontProblem;
}

const TGlyphFileProblem &RazmetZnakProblem() {
    return Tables().ZnakProblem;
}

uint64_t RazmetZnakGeneration() {
    return Tables().ZnakGeneration;
}

void FreeRazmetGlyphs() {
    TGlyphTables &t = Tables();
    const uint64_t generation = t.ZnakGeneration + 1;
    t = TGlyphTables{};
    t.ZnakGeneration = generation;
}
