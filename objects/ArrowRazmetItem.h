#pragma once
// Lane arrows: at every vertex but the last one a symbol of the arrow library, turned along the edge to
// the next vertex (mirrored across it for the symbols that say so) and labelled with its standard
// sub-number. The street's ARROWBIG flag draws every arrow with its symbol's big outline.
//
// The library is "Разметка\ArrowRazmet.std" in DataFiles, read once on first use: one symbol per INI
// section (section name = symbol name), outlines as "x&y#x&y#..." in metres, tail at the origin, pointing
// along +x. It is read with the rules of the "*.LnRazmet" files. A section that cannot make a symbol (a
// number that is none, an outline under 3 points, one that does not triangulate whole, a repeated name)
// is left out with a warning naming the file, the section and the key; a missing file gives one warning
// and an empty library. The warnings join the sign library's notices, shown once the window is up.
#include "engine/DxVertex.h"
#include "model/ItemTypeCodes.h"
#include "model/LineItem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TArrowDef {
    TXYZArray LineLoop1, LineLoop2;   // outlines, normal and big
    TXYZArray Triangles1, Triangles2; // the outlines triangulated
    bool MirrorY = false;
    double Area1 = 0, Area2 = 0;     // sums of the triangles' areas
    double Length1 = 0, Length2 = 0; // extent of the outlines along x
    Cp1251String DescriptionLow, DescriptionHigh, GostSubName;
};

// A library as read: the symbols and their names at the same positions.
struct TArrowLibrary {
    std::vector<TArrowDef> Defs;
    std::vector<Cp1251String> Names;
};

// Most points an outline may have; a longer one leaves its section out.
constexpr std::size_t ArrowOutlineMaxPoints = 4096;

// The library of an INI text; every section left out adds a warning (UTF-8) naming fileName.
TArrowLibrary ArrowDefsFromIni(std::string_view bytes, const std::string &fileName,
                               std::vector<std::string> &warnings);
// The points of an outline value: each point the text up to the next "#", split at its first "&" into x
// and y; text after the last "#" is ignored. False for a number that is none (or not finite).
bool ParseArrowOutline(std::string_view value, TXYZArray &points);

// The process's library, read from DataFiles on first use.
const std::vector<TArrowDef> &ArrowDefs();
const std::vector<Cp1251String> &ArrowDefNames();
// The position of the name in ArrowDefNames (exact bytes); -1 when none.
int32_t ArrowDefIndex(const Cp1251String &name);
// Reads the library from DataFiles now (what the first use does).
void LoadArrowDefs();
// Replaces the library (tests, and other libraries).
void SetArrowDefs(TArrowLibrary library);
// Empties the library; the next use reads it again.
void ClearArrowDefs();

class TArrowRazmetItem : public TLineItem {
public:
    static constexpr D3DCOLOR Color = MakeD3DColor(5, 5, 5, 255);
    static bool ClassHasControlPoints() { return true; }
    // [0] symbol triangles, [1] symbol outlines, [2] label triangles on the small text atlas.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return ArrowRazmetTypeCode; }

    // The line record, then "ARRMNAME" and "ARRMCONN" (both optional). A name the library lacks is kept
    // as read (drawn as nothing) and written back.
    void LoadFromStream(TStream &stream) override;
    // The line record, "ARRMNAME" and "ARRMCONN", always.
    void SaveToStream(TStream &stream) const override;
    void RebuildGraphics() override;
    // The nearest of the vertices 0 .. n-2 (where symbols stand).
    bool HitTest(const TXYZ &point, double &distance, double maxDistance) override;

    // Moves every vertex to the middle between the nearest line markings crossed within 15 m on its left
    // and on its right, across the edge; a vertex without a crossing on both sides stays.
    void CenterBetweenLines();

    // The symbol's position in the library, -1 when none.
    int32_t ArrowIndex() const { return ArrowIndex_; }
    // -1 or an index of the library; the stored name follows it.
    void SetArrowIndex(int32_t index);
    // The symbol name as stored (also one the library lacks).
    const Cp1251String &ArrowName() const { return ArrowName_; }
    // The symbol drawn, nullptr when none.
    const TArrowDef *Def() const;

    // Not filled by the item itself; read and written with the record.
    TConnectedItems ArrmConn{true, 1};

protected:
    void Created() override;

private:
    int32_t ArrowIndex_ = -1;
    Cp1251String ArrowName_;
};

// The angle of the guide axis's direction at the projection of the point: nothing when the item's
// reference axis is no guide axis or the point does not project.
bool GuideAxisDirectionAt(const TAbstractItem &item, const TXYZ &point, float &direction);

void RegisterArrowRazmetItem();
