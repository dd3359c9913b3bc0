// Fuzz target for pasting item fragments. The bytes are pasted into a small street: a refused fragment
// leaves the street exactly as it was (same saved bytes); a pasted one leaves it consistent, the pasted
// items in the street, and the street savable with the save-load-save fixed point. The pasted items are
// then copied and pasted again, which must always work.
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/StreetStructure.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"
#include "tools/make-street/StreetInvariants.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void Require(bool condition, const std::string &what = {}) {
    if (!condition) {
        std::fprintf(stderr, "fragment_reader: %s\n", what.c_str());
        std::abort();
    }
}

std::vector<uint8_t> Save(TStreetStructure &s) {
    TMemoryStream m;
    s.SaveToStream(m);
    return m.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool registered = (UseObjectClasses(), true);
    (void)registered;

    TStreetStructure street;
    GenerateStreet(street, TStreetGenOptions{60, 7});
    const std::vector<uint8_t> before = Save(street);
    const int32_t maxPoint = street.Pool().MaxId();

    TConnectedItems pasted(false);
    TMemoryStream in(data, size);
    try {
        pasted.LoadIndependent(in, street);
    } catch (const EStreetError &) {
        Require(pasted.Count() == 0, "a refused paste left items in the selection");
        Require(Save(street) == before, "a refused paste changed the street");
        return 0;
    }
    std::string fault = CheckStreetInvariants(street);
    Require(fault.empty(), fault);
    for (const TAbstractItem *item : pasted.Slots()) {
        Require(item && item->Street() == &street, "a pasted item is not in the street");
        for (const TStreetPointRec *r : item->Points.Refs())
            Require(r->Id() > maxPoint, "a pasted item uses a vertex of the street");
    }

    // Every item pasted draws, and the marking items' paint figures come out as numbers.
    street.UpdateGraphics(FullTypeSet());
    fault = CheckPaintFigures(street);
    Require(fault.empty(), fault);

    const std::vector<uint8_t> saved = Save(street);
    {
        TMemoryStream m(saved);
        std::unique_ptr<TStreetStructure> back = LoadStreetStream(m);
        Require(Save(*back) == saved, "save-load-save is not a fixed point");
    }

    TMemoryStream again;
    pasted.SaveIndependent(again);
    again.Seek(0, TSeekOrigin::Begin);
    TConnectedItems second(false);
    second.LoadIndependent(again, street);
    Require(second.Count() == pasted.Count(), "a copy of the pasted items pastes differently");
    fault = CheckStreetInvariants(street);
    Require(fault.empty(), fault);
    return 0;
}
