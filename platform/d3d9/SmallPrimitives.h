#pragma once
// Leaves out of a draw what cannot change a pixel, before the GL sees it. A plan seen whole puts
// hundreds of thousands of triangles and lines into a few hundred thousand pixels; a software
// rasteriser pays for each primitive it sets up, lit or not, so these are dropped on the way into the
// vertex stream:
// - a triangle whose bounding box holds no pixel centre, or none inside the scissor box (it lights
//   nothing), and a line that lies wholly outside the scissor box;
// - a line whose two ends lie inside one pixel, when what is drawn later replaces what was drawn
//   earlier (no blending, no stencil inversion): such a line lights at most that pixel, and the last
//   pixel drawn for its end covers it anyway;
// - under the same condition, a line's last pixel when a later line of the same draw ends in the same
//   pixel (the later one is what stays).
// Only what is certain is dropped: every position is compared with pixel borders with a margin larger
// than the rounding the GL's single-precision arithmetic and its sub-pixel grid may add, and anything
// near a border, outside 0 <= z <= 1, non-finite or under a projective transform is drawn as given.
#include "platform/d3d9/D3D9.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// Where the device's shader puts vertex positions: s = (v x M).xy * Half + Offset, in pixels from a
// whole pixel of the window; pixel k (relative to it) has its centre at s = k + 0.5. Pixels of the
// scissor box are [ScissorX0, ScissorX1) x [ScissorY0, ScissorY1) in the same numbering.
struct TPixelGrid {
    D3DMATRIX M;
    double HalfX = 0, HalfY = 0, OffsetX = 0, OffsetY = 0;
    int64_t ScissorX0 = 0, ScissorX1 = 0, ScissorY0 = 0, ScissorY1 = 0;
};

class TSmallPrimitiveFilter {
public:
    // Takes the grid of the next draws; false for a projective transform (w not 1 for every vertex) or
    // a grid that is not finite: then nothing may be dropped.
    bool Reset(const TPixelGrid &grid);

    // Copies the triangles of a triangle list (n vertices, position first in each) that may light a
    // pixel to out (room for n vertices); returns the number of vertices written.
    std::size_t Triangles(const uint8_t *vertices, std::size_t n, std::size_t stride, uint8_t *out) const;

    struct TLines {
        std::size_t LineVertices = 0, PointVertices = 0;
    };
    // A line list of n vertices: writes the lines that stay, then the vertices whose pixel each drawn
    // line also lights at its end (room for n + n / 2 vertices). overwrite: a fragment drawn later
    // replaces one drawn earlier in the same pixel.
    TLines Lines(const uint8_t *vertices, std::size_t n, std::size_t stride, bool overwrite, uint8_t *out);

    // What a box around the positions of a run of primitives shows at once (all false when unsure):
    struct TRunBox {
        // No triangle within it can light a pixel (Triangles would drop every one).
        bool TrianglesDark = false;
        // Every line within it lies wholly outside the scissor box (Lines would draw none of them).
        bool LinesOutside = false;
        // Every position within it lies surely in one pixel, with 0 <= z <= 1: under overwrite a line list
        // within it leaves nothing but the end pixel of its last line.
        bool OnePixel = false;
        // The box is finite: ErrX and ErrY bound the error of every position within it (as Place gives
        // each), and ZInside tells whether each lies surely within 0 <= z <= 1. The primitives of the run
        // are then placed with these bounds instead of bounds of their own, which costs a few products
        // a position; the bounds are larger, so no less is kept.
        bool Bounded = false;
        bool ZInside = false;
        double ErrX = 0, ErrY = 0;
    };
    TRunBox Box(const float min[3], const float max[3]) const;

    // Triangles for a run of triangles whose positions lie within the box.
    std::size_t Triangles(const uint8_t *vertices, std::size_t n, std::size_t stride, const TRunBox &box,
                          uint8_t *out) const;

    // Primitives First to First + Count - 1 of a draw, within the box.
    struct TRun {
        std::size_t First = 0, Count = 0;
        TRunBox Box;
    };
    // Triangles of the runs, one run after the other; room for all their vertices.
    std::size_t TriangleRuns(const uint8_t *vertices, const TRun *runs, std::size_t runCount,
                             std::size_t stride, uint8_t *out) const;
    // Lines of a draw given as runs, each within its box: the lines of the runs are taken as one list in
    // their order (count lines from vertex 2 * First on), as Lines takes a list (room for 3 / 2 of their
    // vertices).
    TLines LineRuns(const uint8_t *vertices, const TRun *runs, std::size_t runCount, std::size_t stride,
                    bool overwrite, uint8_t *out);

private:
    struct TPos {
        double X, Y;       // s
        double ErrX, ErrY; // how far the GL's s may be from ours
        bool ZInside;      // surely within 0 <= z <= 1
    };
    TPos Place(const uint8_t *vertex) const;
    // Place within a run's box: the box's bounds for every position.
    TPos PlaceInRun(const uint8_t *vertex, const TRunBox &box) const {
        float f[3];
        std::memcpy(f, vertex, sizeof f);
        const double x = f[0], y = f[1], z = f[2];
        return {x * sx_[0] + y * sx_[1] + z * sx_[2] + sx_[3], x * sy_[0] + y * sy_[1] + z * sy_[2] + sy_[3],
                box.ErrX, box.ErrY, box.ZInside};
    }

    template <class PlaceFn>
    std::size_t WalkTriangles(const uint8_t *vertices, std::size_t n, std::size_t stride, uint8_t *out,
                              PlaceFn place) const;
    // Takes count lines from vertices into out (the lines that stay) and records each line's end for
    // FinishLines.
    template <class PlaceFn>
    void WalkLines(const uint8_t *vertices, std::size_t count, std::size_t stride, bool overwrite,
                   uint8_t *out, TLines &r, PlaceFn place);
    // Writes the ends that stay after the lines (out holds r.LineVertices line vertices).
    void FinishLines(std::size_t stride, bool overwrite, uint8_t *out, TLines &r);
    // Whether pixels kx0..kx1 x ky0..ky1 all lie outside the scissor box.
    bool OutsideScissor(double kx0, double kx1, double ky0, double ky1) const {
        return kx1 < static_cast<double>(grid_.ScissorX0) || kx0 >= static_cast<double>(grid_.ScissorX1) ||
               ky1 < static_cast<double>(grid_.ScissorY0) || ky0 >= static_cast<double>(grid_.ScissorY1);
    }

    // The pixel holding the position with certainty, or false.
    static bool SurePixel(const TPos &p, int64_t &kx, int64_t &ky) {
        // Far beyond any target: leave it to the GL (and keep the conversion to integers defined).
        constexpr double Far = 1e9;
        if (!(std::abs(p.X) < Far && std::abs(p.Y) < Far))
            return false;
        const double fx = std::floor(p.X), fy = std::floor(p.Y);
        if (!(p.X - fx > p.ErrX && fx + 1 - p.X > p.ErrX && p.Y - fy > p.ErrY && fy + 1 - p.Y > p.ErrY))
            return false;
        kx = static_cast<int64_t>(fx);
        ky = static_cast<int64_t>(fy);
        return true;
    }

    double m_[4][3] = {}; // x, y, z columns of M
    double a_[4][2] = {}; // |M| scaled to the error bound of each s axis
    double zerr_[4] = {};
    double sx_[4] = {}, sy_[4] = {}; // s of x and of y from x, y, z and 1 (Half and Offset taken in)
    TPixelGrid grid_;
    std::vector<uint64_t> seen_;        // pixels of the scissor box that a later end already lights
    std::vector<int64_t> keys_;         // per line: its end's pixel in the scissor box, Keep or Drop
    std::vector<const uint8_t *> ends_; // per line: its end vertex
};
