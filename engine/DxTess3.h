#pragma once
// Polygon triangulator: one or more closed contours in, a flat list of triangles out. Inside is decided by
// the even-odd rule, so holes and glyph counters need no orientation; crossing edges are split where
// they cross. It is a sweep along x in (x, y) order that cuts the inside into x-monotone pieces and
// triangulates each piece with a stack while the sweep passes over it.
//
// The tesselator keeps its own copy of every contour and never touches the caller's points; the result
// is a value (three points per triangle, counter-clockwise, none without area). Every triangle corner is
// a contour point or a point where two edges cross, rounded to singles.
#include "engine/DxCalc_0.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TDxTesselator3 {
public:
    // The sweep visits at most this many distinct points (contour points and crossings); a larger or more
    // tangled outline is refused rather than cut short silently.
    static constexpr int32_t MaxSweepPoints = 100000;

    // Adds one closed contour (its closing point may repeat the first one). Repeated neighbours and points
    // on a straight line through their neighbours are dropped; fewer than 3 points left add nothing. A
    // point whose x or y is not finite, or more than 2^26 points in all, make the next Proceed fail.
    void AddContour(std::span<const TXYZ> contour);

    // Triangulates the contours added so far. True on success (also when there is nothing to fill); False
    // when the sweep had to stop: ErrorText() says why and Triangles() keeps the triangles made before
    // the stop, so a broken outline can still be drawn partly filled.
    bool Proceed();

    const TXYZArray &Triangles() const { return triangles_; }
    const std::string &ErrorText() const { return error_; }

    // For callers that take the triangles as a pointer block: a new block whose slots point at the points
    // of Triangles(), valid while this tesselator lives and until the next Proceed or Clear.
    void GetTriangles(std::unique_ptr<TPtrBlock> &block) const;

    // Forgets every contour, the result and the error.
    void Clear();

private:
    static constexpr int32_t MaxContourPoints = 1 << 26;

    std::vector<TXYZArray> contours_; // cleaned copies
    int32_t contourCount_ = 0;        // contours added, also those that turned out empty
    std::size_t pointCount_ = 0;
    std::string inputError_;
    TXYZArray triangles_;
    std::string error_;
};

// The outcome of a one-call triangulation.
struct TTriangulation {
    TXYZArray Triangles;  // three points per triangle
    bool Complete = true; // False: the sweep stopped, Triangles holds what was made before the stop
    std::string Error;
};

// One contour triangulated by a fresh tesselator.
TTriangulation Triangulate(std::span<const TXYZ> contour);
