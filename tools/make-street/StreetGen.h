#pragma once
// Synthetic streets for benchmarks, fuzz seeds and tests: a straight street along x with rows of
// surfaces sharing their edges, edge lines on the shared vertices, curves that those lines follow, point
// objects, guide lines and references to them, groups and comments.
//
// Each part of the street is a role with a list of candidate type codes; a role takes the first
// candidate that has a registered class and is left out when none has. New item types join by adding
// their codes to a role (or a role of their own) and, for their own fields, a filler.
#include "model/StreetStructure.h"

#include <cstdint>
#include <functional>

struct TStreetGenOptions {
    // About this many vertices; about a tenth as many items.
    int Vertices = 10000;
    uint32_t Seed = 1;
    // 0: every block is drawn at random. Otherwise the street repeats itself every this many blocks: the
    // cross-section, the vertices' jitter, the point objects' places, the guide lines, the comments, groups
    // and filled-in fields of block b are those of block b modulo RepeatBlocks, so that two streets of
    // different lengths look the same around the start of any period. Parts of the street chosen by the
    // block number choose by its place in the period (Pattern in the generator) for this to hold.
    int RepeatBlocks = 0;
};

// Metres along the street per block (the street runs along x from 0).
double StreetGenBlockLength();
// Blocks of a street generated with the options.
int StreetGenBlocks(const TStreetGenOptions &options);
// The x at which the period nearest the middle of such a street starts (the middle itself when it does
// not repeat).
double StreetGenMiddlePeriodStart(const TStreetGenOptions &options);

// Where a generated line marking lies, given to its filler in the two low bits of the random number: on
// the lane line between the two carriageway rows, or on an edge line with the carriageway to its left
// or to its right (looking along the line).
enum class TStreetGenMarkingPlace : uint32_t { Lane = 0, RoadLeft = 1, RoadRight = 2 };

// The shape of a generated traffic island, given to its filler in the two low bits of the random number:
// a chevron on the lane line, its nose against the street's direction (for the schemes hatched from the
// axis or the nose), a comb along the near edge line (the comb scheme) or a stripe along the far edge line
// (the edge-stripe scheme).
enum class TStreetGenIslandShape : uint32_t { Chevron = 0, Comb = 1, EdgeStripe = 2 };

// Sets the fields a generated item of its class should carry beyond the record head (nothing by default).
using TStreetGenFiller = std::function<void(TAbstractItem &item, uint32_t random)>;
void SetStreetGenFiller(int typeCode, TStreetGenFiller filler);

// Adds the generated design styles to the street's libraries and publishes them: blocks "Дерево" and
// "Скамья", line styles "Бордюр" (start, repeated and finish pictures) and "Без картинки" (none), and
// eight fill styles "Плитка 1" to "Плитка 8" of checkered tiles with different periods.
void AddDesignLibraries(TStreetStructure &street);

// Fills an empty street. Throws EStreetError when not even a surface type is registered.
void GenerateStreet(TStreetStructure &street, const TStreetGenOptions &options);
