// Fuzz target for the glyph tables of painted road text and signs built from a glyph street. Whatever the
// bytes, reading fails with an EStreetError or both tables are built: every glyph a whole number of
// finite triangles with a finite advance and area, the space blank, the sign entries no more than the
// group list's names, the name list sorted and without "*".
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "model/StreetStructure.h"
#include "objects/RazmetGlyphs.h"
#include "tools/make-street/ObjectFillers.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void Require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "glyph_street: %s\n", what);
        std::abort();
    }
}

void RequireGlyph(const TRazmetGlyph &g) {
    Require(g.Vertices.size() % 3 == 0, "a glyph is not a triangle list");
    for (const TDxVertex &v : g.Vertices)
        Require(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && v.color == 0,
                "a glyph vertex is not finite or not of colour 0");
    Require(std::isfinite(g.Width) && std::isfinite(g.Area) && g.Area >= 0, "a glyph measure is not finite");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool registered = (UseObjectClasses(), true);
    (void)registered;

    std::unique_ptr<TStreetStructure> s;
    try {
        TMemoryStream in(data, size);
        s = LoadStreetStream(in);
    } catch (const EStreetError &) {
        return 0;
    }
    TRazmetFont font;
    BuildRazmetFont(*s, font);
    for (const TRazmetGlyph &g : font)
        RequireGlyph(g);
    Require(font[' '].Vertices.empty() && font[' '].Width == 0.3f, "the space draws");

    TRazmetZnakTable table;
    BuildRazmetZnakGlyphs(*s, table);
    Require(table.Entries.size() <= std::size_t(s->GroupNames().Count()), "more glyphs than names");
    for (const TRazmetZnakEntry &e : table.Entries)
        RequireGlyph(e.Glyph);
    for (std::size_t i = 0; i < table.Names.size(); ++i) {
        Require(!table.Names[i].Contains(Cp1251String("*")), "a frame among the names");
        Require(i == 0 || CompareText(table.Names[i - 1], table.Names[i]) <= 0, "the names are not sorted");
    }
    return 0;
}
