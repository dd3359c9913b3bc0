#pragma once
// Calculation areas: a polygon drawn over part of a street to take its quantities. The item holds only
// results, computed on request (CalcMarkings, CalcAreas, CountSigns, in this order) and never stored:
// marking paint and plastic per standard number, the surfaces it overlaps, lengths of curbs, tram and
// fence lines, counts of manholes, gratings and stops, and sign plates per number and per status.
//
// Every figure is a sum in double in list order. A contribution that cannot be measured (an area over an
// incomplete triangulation, a paint area a marking reports unknown) marks the figure it feeds as a lower
// bound ("12.35+?") and is listed in Unknowns; an item inside that no row can take is listed in
// NotCounted. Nothing inside is dropped without a note.
//
// Inside: a point lies inside when it is in the even-odd fill of the outline (on the outline counts); an
// item wholly inside counts whole; a line or surface crossing the outline counts the part inside,
// measured over the area's triangles near it. Only active items count.
#include "engine/Cp1251.h"
#include "model/ItemTypeCodes.h"
#include "model/NameValueList.h"
#include "model/PolygonItem.h"

#include <functional>
#include <optional>
#include <vector>

// A figure with the mark that a part of it could not be measured (then Value is what could be).
struct TCalcFigure {
    double Value = 0;
    bool Unknown = false;
};

// One marking row.
struct TRazmetSumRecord {
    Cp1251String Name;
    Cp1251String Description;
    int32_t Count = -1; // -1: not counted
    double Length = -1; // below 0: not applicable
    double Area = 0;
    Cp1251String Material;
    bool LengthUnknown = false;
    bool AreaUnknown = false;
};
using TRazmetSumArray = std::vector<TRazmetSumRecord>;

struct TSortedSumRec {
    Cp1251String Name;
    double Value = 0;
    bool Unknown = false;
};
using TSortedSumArray = std::vector<TSortedSumRec>;

// The first entry whose name equals the name without regard to case; appended when there is none.
TSortedSumRec &FindOrAddSortedSum(TSortedSumArray &list, const Cp1251String &name);

// An item the results could not take whole: its display name, id and the reason.
struct TCalcNote {
    Cp1251String TypeName;
    int32_t Id = 0;
    Cp1251String Reason;
    int Stage = 0; // the computation that made the note
};

// ---- What marking types whose classes live in other units give the summary

// The figures an item of one of those types gives; what it cannot give stays empty (the row it feeds is
// then marked unknown, or the item is listed as not counted when no row can take it).
struct TCalcMarkingFigures {
    std::optional<double> PaintArea;     // zebra stripes, island, stop marking, road text, painted sign
    std::optional<double> YellowArea;    // zebra: the yellow background (empty without one)
    bool HasYellow = false;              // zebra
    std::optional<double> Width;         // zebra
    std::optional<int> Variant;          // island: the standard variant, 0..4
    std::optional<double> MarkingLength; // stop marking
    std::optional<int> ArrowSymbol;      // arrow line: index into the arrow symbols
    Cp1251String GostNumber;             // road text, painted sign
    Cp1251String Problem;                // why a figure is missing (a glyph file by name, ...)
};
// Fills the figures of an item of the type; false when the item is not one it knows.
using TCalcMarkingReader = std::function<bool(TAbstractItem &item, TCalcMarkingFigures &figures)>;
// Registers the reader of a type code (11 arrows, 12 islands, 13 stop markings, 14 zebras, 15 road texts,
// 16 painted signs); an empty function removes it. Items of a type without a reader are listed as not
// counted.
void SetCalcMarkingReader(int typeCode, TCalcMarkingReader reader);

// One lane-arrow symbol of the arrow library, in library order.
struct TCalcArrowDef {
    Cp1251String GostSubName, DescriptionLow, DescriptionHigh;
    double Area1 = 0, Area2 = 0;
};
// The library's symbols; without a source there are no arrow rows.
void SetCalcArrowDefs(std::function<std::vector<TCalcArrowDef>()> source);
// Connects the readers of the program's marking types and its arrow library (done at registration).
void ConnectCalcAreaSources();

class TCalcAreaItem : public TPolygonItem {
public:
    static constexpr D3DCOLOR OutlineColor = MakeD3DColor(150, 50, 50, 255);

    static void ClassInitDrawBatches(TStreetStructure &street);
    // Draw fills the outline's triangles only, which lie within its hit box.
    static constexpr bool ClassDrawsNearHitBounds = true;
    int GetTypeCode() const override { return CalcAreaTypeCode; }

    // The polygon record, then the old optional "CALCCONN" (into the passport reference) and "CALCCOMM"
    // (into Comment); written back as the polygon record only.
    void LoadFromStream(TStream &stream) override;
    void RebuildGraphics() override;
    // The fill hatched on the screen overlay.
    void Draw(const TDxDrawParams &params, uint32_t layer) override;

    // False (and every result cleared) when the outline has fewer than 3 vertices.
    bool CanCalculate() const { return Points.Count() >= 3; }
    void ClearResults();
    void CalcMarkings();
    void CalcAreas();
    void CountSigns();
    // Appends the category lines of each report.
    void ReportRoadway(std::vector<Cp1251String> &lines) const;
    void ReportSidewalk(std::vector<Cp1251String> &lines) const;
    void ReportFences(std::vector<Cp1251String> &lines) const;

    // ---- Results
    TRazmetSumArray MarkingRows;
    TCalcFigure WhitePlasticArea, WhitePaintArea, YellowPlasticArea, YellowPaintArea;
    TCalcFigure DividingStripArea, RoadwayArea, LawnArea, SidewalkArea, ShoulderArea, DesignFigureArea;
    TSortedSumArray RoadwayCategories, SidewalkCategories, FenceTypes;
    TCalcFigure CurbLength, TramLineLength;
    int32_t ManholeCount = 0, GratingCount = 0, StopCount = 0;
    TNameValueList SignsByNumber, SignsByStatus;
    // Items whose contribution is only partly known, and items inside that no row takes.
    std::vector<TCalcNote> Unknowns, NotCounted;

    // The picture of the hatch (loaded on first use; nullptr when it cannot be read, reported once).
    static class TTextureSurface *HatchTexture();
    static void FreeHatchTexture();

private:
    void Note(std::vector<TCalcNote> &list, TAbstractItem &item, const Cp1251String &reason);
    // Drops the notes the computation made before.
    void BeginStage(int stage);
    int Stage_ = 0;
};

// The material names of the rows.
const Cp1251String &WhitePaintName();
const Cp1251String &WhitePlasticName();
const Cp1251String &YellowPaintName();
const Cp1251String &YellowPlasticName();

// "%w.df" of the value with "." whatever the locale, "+?" after it when unknown.
Cp1251String CalcFigureText(double value, bool unknown, int width, int decimals);

void RegisterCalcAreaItem();
