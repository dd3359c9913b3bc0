// The curb-width dictionary on arbitrary bytes: every grade it names gives a finite width of 0 or more,
// or none, and the first line of a name (in any letter case) is the one that counts.
#include "model/NameValueList.h"
#include "objects/BortItem.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TNameValueList lines;
    lines.SetText(Cp1251String(std::string(reinterpret_cast<const char *>(data), size)));
    const int n = std::min(lines.Count(), 200);
    for (int i = 0; i < n; ++i) {
        const Cp1251String grade = lines.Names(i);
        const std::optional<float> width = BortWidthOf(lines, grade);
        if (width)
            Check(std::isfinite(*width) && *width >= 0);
        const int first = lines.IndexOfName(grade);
        // Only lines holding "=" name a grade; a line without one may match a later entry.
        if (lines.Lines(i).Bytes().find('=') != std::string::npos)
            Check(first >= 0 && first <= i);
        if (first >= 0)
            Check(BortWidthOf(lines, LowerCase(grade)) == width &&
                  BortWidthOf(lines, UpperCase(grade)) == width);
    }
    return 0;
}
