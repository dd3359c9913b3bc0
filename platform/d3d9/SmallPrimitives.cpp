#include "platform/d3d9/SmallPrimitives.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The GL computes s in singles: a few roundings of the terms' magnitudes, then s is rounded to 1/256 of
// a pixel (by the shader and again by the rasteriser's grid). The bound is several times what that
// can add.
constexpr double RelativeError = 1.0 / (1 << 19);
constexpr double GridError = 1.0 / 256;

// Asks for the memory of the next run while one is walked: the runs of a street seen whole lie scattered
// through far more vertices than any cache holds, and the walk would otherwise wait at the start of each.
void Prefetch(const uint8_t *from, std::size_t bytes) {
#if defined(__GNUC__) || defined(__clang__)
    for (std::size_t o = 0; o < bytes; o += 64)
        __builtin_prefetch(from + o);
#else
    (void)from;
    (void)bytes;
#endif
}

} // namespace

bool TSmallPrimitiveFilter::Reset(const TPixelGrid &grid) {
    grid_ = grid;
    const D3DMATRIX &m = grid.M;
    bool usable = m.m[0][3] == 0 && m.m[1][3] == 0 && m.m[2][3] == 0 && m.m[3][3] == 1;
    const double half[2] = {grid.HalfX, grid.HalfY};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c)
            m_[r][c] = m.m[r][c];
        for (int c = 0; c < 2; ++c)
            a_[r][c] = std::abs(m_[r][c]) * std::abs(half[c]) * RelativeError;
        zerr_[r] = std::abs(m_[r][2]) * RelativeError;
        sx_[r] = m_[r][0] * half[0];
        sy_[r] = m_[r][1] * half[1];
        usable = usable && std::isfinite(m_[r][0]) && std::isfinite(m_[r][1]) && std::isfinite(m_[r][2]);
    }
    sx_[3] += grid.OffsetX;
    sy_[3] += grid.OffsetY;
    return usable && std::isfinite(half[0]) && std::isfinite(half[1]) && std::isfinite(grid.OffsetX) &&
           std::isfinite(grid.OffsetY) && grid.ScissorX0 <= grid.ScissorX1 &&
           grid.ScissorY0 <= grid.ScissorY1;
}

TSmallPrimitiveFilter::TPos TSmallPrimitiveFilter::Place(const uint8_t *vertex) const {
    float f[3];
    std::memcpy(f, vertex, sizeof f);
    const double x = f[0], y = f[1], z = f[2];
    const double ax = std::abs(x), ay = std::abs(y), az = std::abs(z);
    TPos p;
    p.X = (x * m_[0][0] + y * m_[1][0] + z * m_[2][0] + m_[3][0]) * grid_.HalfX + grid_.OffsetX;
    p.Y = (x * m_[0][1] + y * m_[1][1] + z * m_[2][1] + m_[3][1]) * grid_.HalfY + grid_.OffsetY;
    p.ErrX =
        ax * a_[0][0] + ay * a_[1][0] + az * a_[2][0] + a_[3][0] + std::abs(p.X) * RelativeError + GridError;
    p.ErrY =
        ax * a_[0][1] + ay * a_[1][1] + az * a_[2][1] + a_[3][1] + std::abs(p.Y) * RelativeError + GridError;
    const double zc = x * m_[0][2] + y * m_[1][2] + z * m_[2][2] + m_[3][2];
    // Clipping keeps 0 <= z <= 1 inclusive, and terms that are all exact (a plan at z = 0) stay exact.
    const double zerr = ax * zerr_[0] + ay * zerr_[1] + az * zerr_[2] + zerr_[3];
    p.ZInside = zc - zerr >= 0 && zc + zerr <= 1;
    return p;
}

TSmallPrimitiveFilter::TRunBox TSmallPrimitiveFilter::Box(const float min[3], const float max[3]) const {
    TRunBox r;
    double c[3], e[3], absMax[3];
    for (int k = 0; k < 3; ++k) {
        const double lo = min[k], hi = max[k];
        if (!(std::isfinite(lo) && std::isfinite(hi) && lo <= hi))
            return r;
        c[k] = (lo + hi) / 2;
        e[k] = (hi - lo) / 2;
        absMax[k] = std::max(std::abs(lo), std::abs(hi));
    }
    // The box's extent in s and in clip z: centre and half-extent through the affine transform, widened by
    // the rounding of the arithmetic here (far below the error bounds added after).
    double lo[3], hi[3];
    const double half[3] = {grid_.HalfX, grid_.HalfY, 1}, offset[3] = {grid_.OffsetX, grid_.OffsetY, 0};
    for (int a = 0; a < 3; ++a) {
        const double mid = c[0] * m_[0][a] + c[1] * m_[1][a] + c[2] * m_[2][a] + m_[3][a];
        const double ext = e[0] * std::abs(m_[0][a]) + e[1] * std::abs(m_[1][a]) + e[2] * std::abs(m_[2][a]);
        const double slack = (std::abs(mid) + ext) * 1e-12;
        const double s0 = (mid - ext - slack) * half[a] + offset[a],
                     s1 = (mid + ext + slack) * half[a] + offset[a];
        lo[a] = std::min(s0, s1);
        hi[a] = std::max(s0, s1);
    }
    if (!std::isfinite(lo[0] + hi[0] + lo[1] + hi[1] + lo[2] + hi[2]))
        return r;
    // The largest error Place would give any position of the box.
    const auto err = [&](int a, double sMax) {
        return absMax[0] * a_[0][a] + absMax[1] * a_[1][a] + absMax[2] * a_[2][a] + a_[3][a] +
               sMax * RelativeError + GridError;
    };
    const double ex = err(0, std::max(std::abs(lo[0]), std::abs(hi[0]))),
                 ey = err(1, std::max(std::abs(lo[1]), std::abs(hi[1])));
    // As Triangles: pixel centres k + 0.5 within the widened box.
    const double kx0 = std::ceil(lo[0] - ex - 0.5), kx1 = std::floor(hi[0] + ex - 0.5);
    const double ky0 = std::ceil(lo[1] - ey - 0.5), ky1 = std::floor(hi[1] + ey - 0.5);
    r.TrianglesDark = kx1 < kx0 || ky1 < ky0 || OutsideScissor(kx0, kx1, ky0, ky1);
    // As Lines: a pixel more on every side.
    r.LinesOutside = OutsideScissor(std::floor(lo[0] - ex - 1), std::floor(hi[0] + ex + 1),
                                    std::floor(lo[1] - ey - 1), std::floor(hi[1] + ey + 1));
    // As SurePixel, for both corners at once.
    constexpr double Far = 1e9;
    const double zerr = absMax[0] * zerr_[0] + absMax[1] * zerr_[1] + absMax[2] * zerr_[2] + zerr_[3];
    const double fx = std::floor(lo[0]), fy = std::floor(lo[1]);
    // Place's s differs from PlaceInRun's by the rounding of a different order of the same products.
    const auto foldSlack = [&](const double *sc) {
        return (absMax[0] * std::abs(sc[0]) + absMax[1] * std::abs(sc[1]) + absMax[2] * std::abs(sc[2]) +
                std::abs(sc[3])) *
               1e-12;
    };
    r.Bounded = true;
    r.ErrX = ex + foldSlack(sx_);
    r.ErrY = ey + foldSlack(sy_);
    r.ZInside = lo[2] - zerr >= 0 && hi[2] + zerr <= 1;
    r.OnePixel = std::abs(lo[0]) < Far && std::abs(hi[0]) < Far && std::abs(lo[1]) < Far &&
                 std::abs(hi[1]) < Far && lo[0] - fx > ex && fx + 1 - hi[0] > ex && lo[1] - fy > ey &&
                 fy + 1 - hi[1] > ey && lo[2] - zerr >= 0 && hi[2] + zerr <= 1;
    return r;
}

template <class PlaceFn>
std::size_t TSmallPrimitiveFilter::WalkTriangles(const uint8_t *vertices, std::size_t n, std::size_t stride,
                                                 uint8_t *out, PlaceFn place) const {
    std::size_t written = 0;
    for (std::size_t i = 0; i + 3 <= n; i += 3) {
        const uint8_t *v = vertices + i * stride;
        const TPos a = place(v), b = place(v + stride), c = place(v + 2 * stride);
        const double ex = std::max({a.ErrX, b.ErrX, c.ErrX}), ey = std::max({a.ErrY, b.ErrY, c.ErrY});
        const double x0 = std::min({a.X, b.X, c.X}) - ex - 0.5, x1 = std::max({a.X, b.X, c.X}) + ex - 0.5;
        const double y0 = std::min({a.Y, b.Y, c.Y}) - ey - 0.5, y1 = std::max({a.Y, b.Y, c.Y}) + ey - 0.5;
        // Pixel centres k + 0.5 within the box are whole numbers in [x0, x1]; what is not finite stays.
        const bool finite = std::isfinite(a.X + b.X + c.X + a.Y + b.Y + c.Y);
        const double kx0 = std::ceil(x0), kx1 = std::floor(x1), ky0 = std::ceil(y0), ky1 = std::floor(y1);
        if (finite && (kx1 < kx0 || ky1 < ky0 || OutsideScissor(kx0, kx1, ky0, ky1)))
            continue;
        std::memcpy(out + written * stride, v, 3 * stride);
        written += 3;
    }
    return written;
}

std::size_t TSmallPrimitiveFilter::Triangles(const uint8_t *vertices, std::size_t n, std::size_t stride,
                                             uint8_t *out) const {
    return WalkTriangles(vertices, n, stride, out, [this](const uint8_t *v) { return Place(v); });
}

std::size_t TSmallPrimitiveFilter::Triangles(const uint8_t *vertices, std::size_t n, std::size_t stride,
                                             const TRunBox &box, uint8_t *out) const {
    if (!box.Bounded)
        return Triangles(vertices, n, stride, out);
    return WalkTriangles(vertices, n, stride, out, [&](const uint8_t *v) { return PlaceInRun(v, box); });
}

std::size_t TSmallPrimitiveFilter::TriangleRuns(const uint8_t *vertices, const TRun *runs,
                                                std::size_t runCount, std::size_t stride,
                                                uint8_t *out) const {
    std::size_t written = 0;
    for (std::size_t k = 0; k < runCount; ++k) {
        const TRun &run = runs[k];
        if (k + 1 < runCount)
            Prefetch(vertices + 3 * runs[k + 1].First * stride, 3 * runs[k + 1].Count * stride);
        written += Triangles(vertices + 3 * run.First * stride, 3 * run.Count, stride, run.Box,
                             out + written * stride);
    }
    return written;
}

template <class PlaceFn>
void TSmallPrimitiveFilter::WalkLines(const uint8_t *vertices, std::size_t count, std::size_t stride,
                                      bool overwrite, uint8_t *out, TLines &r, PlaceFn place) {
    constexpr int64_t Keep = -1, Drop = -2;
    const int64_t boxW = grid_.ScissorX1 - grid_.ScissorX0;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t *v = vertices + 2 * i * stride;
        const TPos a = place(v), b = place(v + stride);
        int64_t ax = 0, ay = 0, bx = 0, by = 0;
        const bool endSure = overwrite && b.ZInside && SurePixel(b, bx, by);
        const bool inOnePixel = endSure && SurePixel(a, ax, ay) && ax == bx && ay == by;
        // A line lights pixels its ends' pixels span; a pixel more on every side covers how the
        // rasteriser treats its ends.
        const double ex = std::max(a.ErrX, b.ErrX) + 1, ey = std::max(a.ErrY, b.ErrY) + 1;
        const bool outside =
            std::isfinite(a.X + b.X + a.Y + b.Y) &&
            OutsideScissor(std::floor(std::min(a.X, b.X) - ex), std::floor(std::max(a.X, b.X) + ex),
                           std::floor(std::min(a.Y, b.Y) - ey), std::floor(std::max(a.Y, b.Y) + ey));
        if (!inOnePixel && !outside) {
            std::memcpy(out + r.LineVertices * stride, v, 2 * stride);
            r.LineVertices += 2;
        }
        int64_t key = Keep;
        if (endSure) {
            const bool inBox = bx >= grid_.ScissorX0 && bx < grid_.ScissorX1 && by >= grid_.ScissorY0 &&
                               by < grid_.ScissorY1;
            key = inBox ? (by - grid_.ScissorY0) * boxW + (bx - grid_.ScissorX0) : Drop;
        }
        keys_.push_back(key);
        ends_.push_back(v + stride);
    }
}

void TSmallPrimitiveFilter::FinishLines(std::size_t stride, bool overwrite, uint8_t *out, TLines &r) {
    constexpr int64_t Drop = -2;
    const std::size_t lines = keys_.size();
    const int64_t boxW = grid_.ScissorX1 - grid_.ScissorX0, boxH = grid_.ScissorY1 - grid_.ScissorY0;
    if (overwrite) {
        // The last end in a pixel is the one that stays.
        seen_.resize(std::max<std::size_t>(seen_.size(), static_cast<std::size_t>((boxW * boxH + 63) / 64)));
        for (std::size_t i = lines; i-- > 0;) {
            const int64_t k = keys_[i];
            if (k < 0)
                continue;
            uint64_t &word = seen_[static_cast<std::size_t>(k >> 6)];
            const uint64_t bit = uint64_t(1) << (k & 63);
            if (word & bit)
                keys_[i] = Drop;
            word |= bit;
        }
        for (std::size_t i = 0; i < lines; ++i)
            if (keys_[i] >= 0)
                seen_[static_cast<std::size_t>(keys_[i] >> 6)] = 0;
    }
    uint8_t *points = out + r.LineVertices * stride;
    for (std::size_t i = 0; i < lines; ++i) {
        if (keys_[i] == Drop)
            continue;
        std::memcpy(points + r.PointVertices * stride, ends_[i], stride);
        ++r.PointVertices;
    }
}

TSmallPrimitiveFilter::TLines TSmallPrimitiveFilter::Lines(const uint8_t *vertices, std::size_t n,
                                                           std::size_t stride, bool overwrite, uint8_t *out) {
    keys_.clear();
    ends_.clear();
    TLines r;
    WalkLines(vertices, n / 2, stride, overwrite, out, r, [this](const uint8_t *v) { return Place(v); });
    FinishLines(stride, overwrite, out, r);
    return r;
}

TSmallPrimitiveFilter::TLines TSmallPrimitiveFilter::LineRuns(const uint8_t *vertices, const TRun *runs,
                                                              std::size_t runCount, std::size_t stride,
                                                              bool overwrite, uint8_t *out) {
    keys_.clear();
    ends_.clear();
    TLines r;
    for (std::size_t k = 0; k < runCount; ++k) {
        const TRun &run = runs[k];
        const uint8_t *from = vertices + 2 * run.First * stride;
        if (k + 1 < runCount)
            Prefetch(vertices + 2 * runs[k + 1].First * stride, 2 * runs[k + 1].Count * stride);
        if (run.Box.Bounded)
            WalkLines(from, run.Count, stride, overwrite, out, r,
                      [&](const uint8_t *v) { return PlaceInRun(v, run.Box); });
        else
            WalkLines(from, run.Count, stride, overwrite, out, r,
                      [this](const uint8_t *v) { return Place(v); });
    }
    FinishLines(stride, overwrite, out, r);
    return r;
}
