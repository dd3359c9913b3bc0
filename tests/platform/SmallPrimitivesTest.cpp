// What the device leaves out of a draw before the GL sees it (the pictures are compared in the GL tests).
#include "platform/d3d9/SmallPrimitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

struct TVertex {
    float X, Y, Z;
    D3DCOLOR Color;
};

// s equals the vertex's x and y: pixel k spans [k, k + 1) with its centre at k + 0.5.
TPixelGrid PlainGrid() {
    TPixelGrid g{};
    for (int i = 0; i < 4; ++i)
        g.M.m[i][i] = 1;
    g.HalfX = g.HalfY = 1;
    g.ScissorX0 = g.ScissorY0 = -100;
    g.ScissorX1 = g.ScissorY1 = 100;
    return g;
}

TVertex At(double x, double y, D3DCOLOR c = 0, float z = 0.5f) {
    return {static_cast<float>(x), static_cast<float>(y), z, c};
}

const uint8_t *Bytes(const std::vector<TVertex> &v) {
    return reinterpret_cast<const uint8_t *>(v.data());
}

TEST(SmallPrimitives, ATriangleStaysWhenItMayCoverAPixelCentre) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char *Name;
        std::vector<TVertex> Triangle;
        bool Stays;
    } cases[] = {
        {"between four centres", {At(0.1, 0.1), At(0.4, 0.1), At(0.1, 0.4)}, false},
        {"a sliver across a column of centres but between rows",
         {At(0.1, 2.6), At(5.9, 2.7), At(0.1, 2.9)},
         false},
        {"over a centre", {At(0.4, 0.4), At(0.6, 0.4), At(0.4, 0.6)}, true},
        {"a box reaching a centre within rounding", {At(0.1, 0.1), At(0.499, 0.1), At(0.1, 0.499)}, true},
        {"large", {At(-10, -10), At(10, -10), At(-10, 10)}, true},
        {"not finite", {At(0.1, 0.1), At(nan, 0.1), At(0.1, 0.4)}, true},
        {"large, beyond the scissor box", {At(110, -10), At(130, -10), At(110, 10)}, false},
        {"reaching into the scissor box", {At(99.4, -10), At(130, -10), At(110, 10)}, true},
    };
    TSmallPrimitiveFilter filter;
    ASSERT_TRUE(filter.Reset(PlainGrid()));
    for (const auto &c : cases) {
        std::vector<TVertex> out(3);
        const std::size_t n =
            filter.Triangles(Bytes(c.Triangle), 3, sizeof(TVertex), reinterpret_cast<uint8_t *>(out.data()));
        EXPECT_EQ(n, c.Stays ? 3u : 0u) << c.Name;
        if (n == 3) {
            EXPECT_EQ(std::memcmp(out.data(), c.Triangle.data(), sizeof(TVertex) * 3), 0) << c.Name;
        }
    }
}

TEST(SmallPrimitives, LinesInsideOnePixelGoAndOnlyTheLastEndInAPixelStays) {
    const std::vector<TVertex> lines = {
        At(0.2, 0.2, 1),   At(0.8, 0.7, 2),       // inside pixel (0, 0): the line goes, its end may stay
        At(3.2, 0.5, 3),   At(0.3, 0.4, 4),       // across pixels: stays; ends in (0, 0) after the first
        At(5.2, 5.2, 5),   At(5.7, 5.999, 6),     // the end is at a border within rounding: everything stays
        At(7.2, 7.2, 7),   At(7.3, 7.3, 8, 1.5f), // the end lies beyond the far plane: stays
        At(150.2, 0.2, 9), At(150.4, 0.3, 10),    // outside the scissor box: nothing is drawn
        At(101.5, 3, 11),  At(180.3, 9.3, 12),    // a long line beyond the box: nothing is drawn
        At(99.5, 3, 13),   At(180.3, 9.3, 14),    // the same within a pixel of the box: the line stays
    };
    TSmallPrimitiveFilter filter;
    ASSERT_TRUE(filter.Reset(PlainGrid()));
    std::vector<TVertex> out(lines.size() * 3 / 2);
    const auto r = filter.Lines(Bytes(lines), lines.size(), sizeof(TVertex), true,
                                reinterpret_cast<uint8_t *>(out.data()));
    std::vector<D3DCOLOR> drawn, ends;
    for (std::size_t i = 0; i < r.LineVertices; ++i)
        drawn.push_back(out[i].Color);
    for (std::size_t i = 0; i < r.PointVertices; ++i)
        ends.push_back(out[r.LineVertices + i].Color);
    EXPECT_EQ(drawn, (std::vector<D3DCOLOR>{3, 4, 5, 6, 7, 8, 13, 14}));
    EXPECT_EQ(ends, (std::vector<D3DCOLOR>{4, 6, 8}));

    // Blended (or stencil-inverting) lines add up: all of them stay, each with its end, but for the lines
    // beyond the box.
    const auto all = filter.Lines(Bytes(lines), lines.size(), sizeof(TVertex), false,
                                  reinterpret_cast<uint8_t *>(out.data()));
    EXPECT_EQ(all.LineVertices, lines.size() - 4);
    EXPECT_EQ(all.PointVertices, lines.size() / 2);
    EXPECT_EQ(out[all.LineVertices].Color, 2u);
}

TEST(SmallPrimitives, NothingIsDroppedUnderAProjectiveOrBrokenTransform) {
    TSmallPrimitiveFilter filter;
    TPixelGrid g = PlainGrid();
    g.M.m[2][3] = 0.5f;
    EXPECT_FALSE(filter.Reset(g));
    g = PlainGrid();
    g.M.m[3][0] = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(filter.Reset(g));
    EXPECT_TRUE(filter.Reset(PlainGrid()));
}

} // namespace
