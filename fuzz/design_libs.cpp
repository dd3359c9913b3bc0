// Fuzz target for the design-style library records (blocks, line styles, fill styles; the first byte
// picks one). Whatever the bytes, reading fails with an EStreetError or gives a library that writes a
// record which reads back and writes the same bytes again; every definition copies through its record
// unchanged.
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "model/DesignLibs.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "design_libs: %s\n", what);
        std::abort();
    }
}

template <class TList> std::vector<uint8_t> Saved(const TList &list) {
    TMemoryStream m;
    list.SaveToStream(m);
    return m.Bytes();
}

template <class TList> void Run(const uint8_t *data, size_t size) {
    TList list;
    TMemoryStream in(data, size);
    try {
        list.LoadFromStream(in);
    } catch (const EStreetError &) {
        return;
    }
    const std::vector<uint8_t> once = Saved(list);
    TList back;
    TMemoryStream m(once);
    try {
        back.LoadFromStream(m);
    } catch (const EStreetError &) {
        Require(false, "our own record does not read");
    }
    Require(m.Remaining() == 0, "our own record reads short");
    Require(back.Count() == list.Count(), "a different number of definitions");
    Require(Saved(back) == once, "save-load-save is not a fixed point");
    for (int i = 0; i < list.Count(); ++i) {
        TList copies;
        CopyDefinition(*list.Items(i), *copies.Add());
        TMemoryStream a, b;
        list.Items(i)->SaveToStream(a);
        copies.Items(0)->SaveToStream(b);
        Require(a.Bytes() == b.Bytes(), "a copied definition differs");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    switch (data[0] % 3) {
    case 0:
        Run<TDsnBlockDefList>(data + 1, size - 1);
        break;
    case 1:
        Run<TDsnLineDefList>(data + 1, size - 1);
        break;
    default:
        Run<TDsnFigDefList>(data + 1, size - 1);
        break;
    }
    return 0;
}
