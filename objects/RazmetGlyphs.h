#pragma once
// The glyphs of painted road text and painted signs. The designers draw them as ordinary street files
// below DataFiles: each glyph is a group of design figures (its pieces) with a reference point whose
// first vertex is the glyph's origin. The files are read once, on first use, into two tables; whatever
// cannot be read leaves default glyphs that still draw but whose paint is unknown.
#include "engine/Cp1251.h"
#include "engine/DxVertex.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class TStreetStructure;

struct TRazmetGlyph {
    std::vector<TDxVertex> Vertices; // triangle list, relative to the origin, colour 0
    float Width = 0;                 // advance of a road-text glyph
    float Area = 0;                  // sum of the triangle areas
    // False for a default glyph and for pieces whose triangulation stopped: the area is not the paint.
    bool Known = true;
    // The farthest a vertex lies from the origin along either axis (culling).
    float Reach = 0;
};

// The block x 0.1 to 0.5, y 0 to 1.6 (metres), advance 0.6, area unknown.
TRazmetGlyph MakeDefaultTextGlyph();
// The rectangle x -500 to 500, y 0 to 1600 (millimetres), area unknown.
TRazmetGlyph MakeDefaultZnakGlyph();

// Road text: one glyph per code-page-1251 byte.
using TRazmetFont = std::array<TRazmetGlyph, 256>;

struct TRazmetZnakEntry {
    Cp1251String Name;
    TRazmetGlyph Glyph;
};
struct TRazmetZnakTable {
    std::vector<TRazmetZnakEntry> Entries; // in the order of the file's group list
    std::vector<Cp1251String> Names;       // the names without "*", sorted case-insensitively
};

// Why a glyph file gave no glyphs (empty Reason: it was read).
struct TGlyphFileProblem {
    std::string File;
    std::string Reason;
    bool Empty() const { return Reason.empty(); }
};

// The tables built from a glyph street read already (the street's geometry is brought up to date).
// Every code whose one-character group has a reference point with a vertex gets the glyph of its group;
// the rest keep the default glyph; the space never draws and advances 0.3.
void BuildRazmetFont(TStreetStructure &glyphs, TRazmetFont &font);
// A glyph for every name of the street's group list whose group has a reference point with a vertex.
void BuildRazmetZnakGlyphs(TStreetStructure &glyphs, TRazmetZnakTable &table);

// The tables of the program's data files, read on the first call ("Разметка\RazmetFont.zrv",
// "Знаки\ZnakRoadCopy.zrv" below DataFiles).
const TRazmetFont &LoadRazmetFont();
const TRazmetZnakTable &LoadRazmetZnakGlyphs();
const std::vector<Cp1251String> &RazmetZnakGlyphNames();
// What went wrong reading each file (after the load).
const TGlyphFileProblem &RazmetFontProblem();
const TGlyphFileProblem &RazmetZnakProblem();
// Grows whenever the sign table is made again, so that indexes into it can tell they are stale.
uint64_t RazmetZnakGeneration();

// Reads the tables from these files now, in place of the data files (tests, tools).
void LoadRazmetFontFile(const std::filesystem::path &file);
void LoadRazmetZnakFile(const std::filesystem::path &file);
// Forgets both tables: the next use reads the data files again.
void FreeRazmetGlyphs();
