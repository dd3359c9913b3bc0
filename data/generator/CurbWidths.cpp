// The curb-width dictionary of the default dictionaries folder.
#include "Generators.h"
#include "Tables.h"

#include "engine/Cp1251.h"

#include <set>

namespace datagen {

void GenerateCurbWidths(const TContext &ctx) {
    enum { Grade, Width };
    const TTable t(ctx.sources / "curbs" / "widths.tsv", {"Grade", "Width"});
    std::string text;
    std::set<Cp1251String> seen;
    for (std::size_t r = 0; r < t.Rows(); ++r) {
        Cp1251String grade;
        if (!Cp1251String::TryFromUtf8(t.Cell(r, Grade), grade) || grade.Empty() ||
            grade.Contains(Cp1251String("=")))
            t.Fail(r, Grade, "expected a grade in code page 1251 without \"=\"");
        if (!seen.insert(UpperCase(grade)).second)
            t.Fail(r, Grade, "grade repeated");
        const float width = t.Single(r, Width);
        if (!(width > 0 && width < 2))
            t.Fail(r, Width, "expected a width in metres");
        text += grade.Bytes() + "=" + SingleText(width) + "\r\n";
    }
    WriteDataFile(ctx, "DefaultDirs/Каталог словарей/Ширина борта.txt", text);
}

} // namespace datagen
