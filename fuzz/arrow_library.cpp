// The arrow library reader on arbitrary bytes: it never fails, every symbol it keeps has outlines of at
// least 3 finite points within the limit, triangles in threes whose area sums are finite, a name of its
// own; every section left out is told. Arrows drawn with the symbols, normal and big, give finite vertices.
#include "model/ItemLayers.h"
#include "model/StreetStructure.h"
#include "objects/ArrowRazmetItem.h"
#include "tools/make-street/ObjectFillers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool Finite(const TXYZArray &points) {
    return std::all_of(points.begin(), points.end(),
                       [](const TXYZ &p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool registered = (UseObjectClasses(), true);
    (void)registered;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> warnings;
    TArrowLibrary lib = ArrowDefsFromIni(bytes, "fuzz.std", warnings);
    Check(lib.Defs.size() == lib.Names.size());
    for (std::size_t i = 0; i < lib.Defs.size(); ++i) {
        const TArrowDef &d = lib.Defs[i];
        Check(std::count(lib.Names.begin(), lib.Names.end(), lib.Names[i]) == 1);
        for (const TXYZArray *loop : {&d.LineLoop1, &d.LineLoop2})
            Check(loop->size() >= 3 && loop->size() <= ArrowOutlineMaxPoints && Finite(*loop));
        for (const TXYZArray *t : {&d.Triangles1, &d.Triangles2})
            Check(!t->empty() && t->size() % 3 == 0);
        Check(std::isfinite(d.Area1) && d.Area1 >= 0 && std::isfinite(d.Area2) && d.Area2 >= 0);
        Check(std::isfinite(d.Length1) && d.Length1 >= 0 && std::isfinite(d.Length2) && d.Length2 >= 0);
    }
    for (const std::string &w : warnings)
        Check(w.find("fuzz.std") != std::string::npos);

    const std::size_t symbols = std::min<std::size_t>(lib.Defs.size(), 8);
    SetArrowDefs(std::move(lib));
    {
        TStreetStructure street;
        std::vector<TArrowRazmetItem *> arrows;
        for (std::size_t i = 0; i < symbols; ++i) {
            auto *a = dynamic_cast<TArrowRazmetItem *>(street.Lists(ArrowRazmetTypeCode).AddNew());
            Check(a != nullptr);
            const float y = float(i) * 20;
            a->Points.InsertNewPoint(0, {0, y, 0});
            a->Points.InsertNewPoint(1, {10, y + 3, 0});
            a->Points.InsertNewPoint(2, {12, y - 4, 0});
            a->SetArrowIndex(static_cast<int32_t>(i));
            arrows.push_back(a);
        }
        for (bool big : {false, true}) {
            street.SetArrowBig(big);
            street.UpdateGraphics(FullTypeSet());
            for (std::size_t b = 0; b < 2; ++b) {
                TDxPrimCollection *c = TypePrimCollection(street, ArrowRazmetTypeCode, b);
                for (std::size_t g = 0; c && g < c->Count(); ++g)
                    for (const TDxVertex &v : c->Group(g).Vertices)
                        Check(std::isfinite(v.x) && std::isfinite(v.y));
            }
        }
    }
    ClearArrowDefs();
    return 0;
}
