// Fuzz target for streets holding plan sheets: the sheet record with its legacy metafiles, raw and named
// type sets and stamps (streets embedded in the record, possibly holding sheets themselves). Whatever the
// bytes, reading either fails with an EStreetError or gives a street whose save reads back and saves the
// same bytes again; the sheets' sizes, captions and outlines are then computed without fault.
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "exchange/PlanDefineItem.h"
#include "exchange/RegisterExchange.h"
#include "model/StreetStructure.h"
#include "tools/make-street/ObjectFillers.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void Require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "plan_sheet: %s\n", what);
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
    static const bool registered = [] {
        UseObjectClasses();
        RegisterExchangeObjects();
        return true;
    }();
    (void)registered;
    std::unique_ptr<TStreetStructure> street;
    try {
        TMemoryStream m(std::vector<uint8_t>(data, data + size));
        street = LoadStreetStream(m);
    } catch (const EStreetError &) {
        return 0;
    }
    const std::vector<uint8_t> first = Save(*street);
    std::unique_ptr<TStreetStructure> again;
    try {
        TMemoryStream m(first);
        again = LoadStreetStream(m);
    } catch (const EStreetError &e) {
        std::fprintf(stderr, "plan_sheet: saved street does not read back: %s\n", e.what());
        std::abort();
    }
    Require(Save(*again) == first, "save-load-save is not a fixed point");

    TItemList &sheets = street->Lists(PlanDefineTypeCode);
    for (int i = 0; i < sheets.Count(); ++i) {
        auto *sheet = dynamic_cast<TPlanDefineItem *>(sheets.Items(i));
        Require(sheet != nullptr, "a sheet of another class");
        (void)sheet->PrintWidthPx();
        (void)sheet->PrintHeightPx();
        (void)sheet->GetCaption();
        (void)sheet->PixelToWorld(1e30f, -1e30f);
        TMatrixShell m;
        sheet->PlaceStamp(TStampCorner::BotRight, m);
    }
    street->UpdateGraphics(FullTypeSet());
    return 0;
}
