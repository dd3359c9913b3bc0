// Fuzz target for the street reader. Whatever the bytes, reading either fails with an EStreetError or
// gives a consistent street; a street that was read writes a stream that reads back and writes the same
// bytes again (the save-load-save fixed point). The street then goes through the other ways a street
// changes (graphics, freeing items, merging, copy and paste), staying consistent and savable.
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/StreetStructure.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetInvariants.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void Require(bool condition, const std::string &what = {}) {
    if (!condition) {
        std::fprintf(stderr, "street_reader: %s\n", what.c_str());
        std::abort();
    }
}

void RequireConsistent(TStreetStructure &s) {
    const std::string fault = CheckStreetInvariants(s);
    Require(fault.empty(), fault);
}

std::vector<uint8_t> Save(TStreetStructure &s) {
    TMemoryStream m;
    s.SaveToStream(m);
    return m.Bytes();
}

std::unique_ptr<TStreetStructure> Load(const std::vector<uint8_t> &bytes) {
    TMemoryStream m(bytes);
    return LoadStreetStream(m);
}

// Reading what we wrote must work and write the same bytes again.
std::vector<uint8_t> RequireFixedPoint(TStreetStructure &s) {
    const std::vector<uint8_t> once = Save(s);
    std::unique_ptr<TStreetStructure> back;
    try {
        back = Load(once);
    } catch (const EStreetError &e) {
        Require(false, std::string("our own stream does not read: ") + e.what());
    }
    RequireConsistent(*back);
    Require(Save(*back) == once, "save-load-save is not a fixed point");
    return once;
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
    RequireConsistent(*s);
    const std::vector<uint8_t> saved = RequireFixedPoint(*s);

    s->UpdateGraphics(FullTypeSet());
    RequireConsistent(*s);
    const std::string figures = CheckPaintFigures(*s);
    Require(figures.empty(), figures);

    // Copy every item, free every other one, paste the copy back, merge a second reading in.
    TConnectedItems all(false);
    std::vector<TAbstractItem *> half;
    int n = 0;
    for (int code = 0; code < ItemTypeCount; ++code)
        for (int i = 0; i < s->Lists(code).Count(); ++i) {
            all.AddItem(s->Lists(code).Items(i));
            if (n++ % 2 == 0)
                half.push_back(s->Lists(code).Items(i));
        }
    TMemoryStream fragment;
    all.SaveIndependent(fragment);
    const int copied = all.Count();
    s->DeleteItems(half);
    Require(all.Count() == copied - static_cast<int>(half.size()), "freed items stayed in a container");
    RequireConsistent(*s);
    // A street whose ids are used up to the top of the int32 range can take no more; then the paste
    // (or the merge) is refused and leaves both streets as they were.
    auto idsUsedUp = [](const EStreetError &e) {
        const std::string m = e.what();
        return m.find("no point ids left") != std::string::npos ||
               m.find("no item ids left") != std::string::npos;
    };
    TConnectedItems pasted(false);
    fragment.Seek(0, TSeekOrigin::Begin);
    const std::vector<uint8_t> beforePaste = Save(*s);
    try {
        pasted.LoadIndependent(fragment, *s);
    } catch (const EStreetError &e) {
        Require(idsUsedUp(e), std::string("our own fragment does not paste: ") + e.what());
        Require(Save(*s) == beforePaste, "a refused paste changed the street");
    }
    RequireConsistent(*s);
    Require(pasted.Count() <= copied, "more items pasted than copied");

    std::unique_ptr<TStreetStructure> other = Load(saved);
    const std::vector<uint8_t> beforeMerge = Save(*s);
    try {
        s->Merge(*other);
    } catch (const EStreetError &e) {
        Require(idsUsedUp(e), std::string("a merge failed: ") + e.what());
        Require(Save(*s) == beforeMerge, "a refused merge changed the street");
    }
    RequireConsistent(*s);
    RequireConsistent(*other);
    s->UpdateGraphics(FullTypeSet());
    RequireFixedPoint(*s);
    return 0;
}
