// The "LNPARAMS" section reader on arbitrary bytes: an error or no section leaves the table as it was
// (and, without the tag, the stream where it was); a section read is a fixed point of writing and
// reading again, and every record can be used and exported without harm.
#include "engine/DataFiles.h"
#include "engine/StreetError.h"
#include "model/RazmetParams2.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool IsSentinel(const TLnParamArray &a) {
    return a.size() == 1 && a[0].Name == Cp1251String("sentinel");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TMemoryStream in(data, size);
    TLnParamArray params(1);
    params[0].Name = Cp1251String("sentinel");
    try {
        if (!ReadLnParams(in, params)) {
            Check(in.Position() == 0 && IsSentinel(params));
            return 0;
        }
    } catch (const EStreetError &) {
        Check(IsSentinel(params));
        return 0;
    }
    for (const TLnParamRec &r : params) {
        for (double length : {0.0, 10.5, 1e6}) {
            const double period = LnParamDrawPeriod(r, length);
            Check(period > 0 && std::isfinite(period));
        }
        IsSafeDataFileName(r.TextureFile);
    }
    TMemoryStream a;
    WriteLnParams(a, params);
    a.Seek(0, TSeekOrigin::Begin);
    TLnParamArray again;
    Check(ReadLnParams(a, again));
    TMemoryStream b;
    WriteLnParams(b, again);
    Check(a.Bytes() == b.Bytes());
    // Export to an INI text: refused only for texts with line breaks, else read back to as many records.
    try {
        Check(LnParamsFromIni(LnParamsToIni(params)).size() == params.size());
    } catch (const EStreetError &) {
    }
    return 0;
}
