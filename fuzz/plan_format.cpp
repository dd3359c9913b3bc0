// Fuzz target for the plan format file ("*.qk_format"): whatever the bytes, reading it either fails with
// an EStreetError, leaving the sheet's fields as they were, or sets them so that a written format reads
// back to the same fields.
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "exchange/PlanDefineItem.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TPlanDefineItem sheet;
    sheet.Format.DPI = 111;
    const TPlanSheetFormat before = sheet.Format;
    try {
        TMemoryStream m(std::vector<uint8_t>(data, data + size));
        sheet.LoadFormat(m);
    } catch (const EStreetError &) {
        if (!(sheet.Format == before)) {
            std::fprintf(stderr, "plan_format: a failed read changed the sheet\n");
            std::abort();
        }
        return 0;
    }
    TMemoryStream out;
    sheet.SaveFormat(out);
    out.Seek(0, TSeekOrigin::Begin);
    TPlanDefineItem back;
    back.LoadFormat(out);
    // Scales that are not numbers never compare equal; their bytes do.
    TMemoryStream again;
    back.SaveFormat(again);
    if (again.Bytes() != out.Bytes() || out.Remaining() != 0) {
        std::fprintf(stderr, "plan_format: a written format does not read back\n");
        std::abort();
    }
    return 0;
}
