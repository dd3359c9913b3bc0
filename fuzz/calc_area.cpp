// Fuzz target for the quantities of calculation areas. A street read from the bytes (bytes that do not read
// end the run) has the three computations run on every calculation area, and the summary's pages built
// from them: nothing crashes or hangs, every figure is a number or marked unknown, no count is negative,
// and each material total is the sum of its rows.
#include "editors/CalcAreaEditors.h"
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "model/StreetStructure.h"
#include "objects/CalcAreaItem.h"
#include "tools/make-street/ObjectFillers.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

void Require(bool condition, const std::string &what) {
    if (!condition) {
        std::fprintf(stderr, "calc_area: %s\n", what.c_str());
        std::abort();
    }
}

void RequireFigure(const TCalcFigure &f, const char *what) {
    Require(std::isfinite(f.Value) || f.Unknown, std::string(what) + " is not a number and not marked");
}

void RequireSums(const TSortedSumArray &list, const char *what) {
    for (const TSortedSumRec &r : list)
        Require(std::isfinite(r.Value) || r.Unknown, std::string(what) + " entry is not a number");
}

void Check(TCalcAreaItem &area) {
    area.CalcMarkings();
    area.CalcAreas();
    area.CountSigns();
    if (!area.CanCalculate()) {
        Require(area.MarkingRows.empty() && area.RoadwayArea.Value == 0,
                "results left beside a refused area");
        return;
    }
    TCalcFigure totals[4];
    const Cp1251String *names[4] = {&WhitePlasticName(), &WhitePaintName(), &YellowPlasticName(),
                                    &YellowPaintName()};
    for (const TRazmetSumRecord &r : area.MarkingRows) {
        Require(r.Count >= -1, "a row count below -1");
        Require(std::isfinite(r.Area) || r.AreaUnknown, "a row area is not a number");
        Require(std::isfinite(r.Length) || r.LengthUnknown, "a row length is not a number");
        for (int i = 0; i < 4; ++i)
            if (r.Material == *names[i]) {
                totals[i].Value += r.Area;
                totals[i].Unknown = totals[i].Unknown || r.AreaUnknown;
            }
    }
    const TCalcFigure *fields[4] = {&area.WhitePlasticArea, &area.WhitePaintArea, &area.YellowPlasticArea,
                                    &area.YellowPaintArea};
    for (int i = 0; i < 4; ++i) {
        RequireFigure(*fields[i], "a material total");
        Require((fields[i]->Value == totals[i].Value ||
                 (std::isnan(fields[i]->Value) && std::isnan(totals[i].Value))) &&
                    fields[i]->Unknown == totals[i].Unknown,
                "a material total differs from its rows");
    }
    for (const TCalcFigure *f :
         {&area.DividingStripArea, &area.RoadwayArea, &area.LawnArea, &area.SidewalkArea, &area.ShoulderArea,
          &area.DesignFigureArea, &area.CurbLength, &area.TramLineLength})
        RequireFigure(*f, "a surface area or length");
    RequireSums(area.RoadwayCategories, "a road way category");
    RequireSums(area.SidewalkCategories, "a sidewalk category");
    RequireSums(area.FenceTypes, "a fence type");
    Require(area.ManholeCount >= 0 && area.GratingCount >= 0 && area.StopCount >= 0, "a negative count");
    for (const Cp1251String &line : area.SignsByNumber.AllLines())
        Require(line.Bytes().find("=-") == std::string::npos, "a negative sign count");

    CalcAreaCommonLines(area);
    CalcAreaMarkingGrid(area);
    CalcAreaSignGrid(area);
    CalcAreaMarkingExport(area, '#');
    CalcAreaSignExport(area, '\t');
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
    TItemList &areas = s->Lists(CalcAreaTypeCode);
    for (int i = 0; i < areas.Count(); ++i)
        if (auto *area = dynamic_cast<TCalcAreaItem *>(areas.Items(i)))
            Check(*area);
    return 0;
}
