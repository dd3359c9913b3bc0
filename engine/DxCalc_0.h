#pragma once
// Geometry kernel: single-precision vectors, triangles, 4x4 matrices (row vectors, translation in the
// fourth row) and planes.
#include <cstdint>
#include <vector>

// A point or vector of three singles; plan coordinates in metres, y up, counter-clockwise positive.
struct TXYZ {
    float x = 0, y = 0, z = 0;
    friend bool operator==(const TXYZ &, const TXYZ &) = default;
};
static_assert(sizeof(TXYZ) == 12);

// An open polyline, a closed contour (closing point not repeated) or a flat triangle list.
using TXYZArray = std::vector<TXYZ>;
using TXYZArrays = std::vector<TXYZArray>;

// 4 x 4 singles used with row vectors: v' = (x, y, z, 1) x M; m[row][column], rows and columns from 0.
struct TDxMatrix {
    float m[4][4] = {};
    friend bool operator==(const TDxMatrix &, const TDxMatrix &) = default;
};
static_assert(sizeof(TDxMatrix) == 64);

// The plane a*x + b*y + c*z + d = 0 (normal not normalised).
struct TDxPlane {
    float a = 0, b = 0, c = 0, d = 0;
};
