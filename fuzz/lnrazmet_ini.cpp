// The "*.LnRazmet" reader on arbitrary bytes: it never fails, every text fits a record, and the table it
// gives is a fixed point of writing and reading again, in the INI form and in the street-file form.
#include "engine/DataFiles.h"
#include "model/RazmetParams2.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const TLnParamArray first = LnParamsFromIni(bytes);
    for (const TLnParamRec &r : first) {
        Check(r.Name.Size() <= LnParamTextMax && r.TextureFile.Size() <= LnParamTextMax &&
              r.Description.Size() <= LnParamTextMax);
        const double period = LnParamDrawPeriod(r, 10.5);
        Check(period > 0 && std::isfinite(period));
        IsSafeDataFileName(r.TextureFile);
    }
    // Texts read from lines hold no line break, so the table can always be written.
    const std::string ini = LnParamsToIni(first);
    const TLnParamArray second = LnParamsFromIni(ini);
    Check(second.size() == first.size());
    Check(LnParamsToIni(second) == ini);

    TMemoryStream a;
    WriteLnParams(a, second);
    a.Seek(0, TSeekOrigin::Begin);
    TLnParamArray third;
    Check(ReadLnParams(a, third));
    TMemoryStream b;
    WriteLnParams(b, third);
    Check(a.Bytes() == b.Bytes());
    return 0;
}
