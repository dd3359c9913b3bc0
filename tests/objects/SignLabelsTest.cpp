// Sign labels: the glyphs of a plate's number (and a post plate's status) lie on the side of the picture
// its alignment names, turn with the picture, and the program's writer is there from the start.
#include "engine/Cp1251.h"
#include "engine/FontTexture.h"
#include "objects/SignPicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

struct TBox {
    double X0 = 1e9, Y0 = 1e9, X1 = -1e9, Y1 = -1e9;
};

TBox BoxOf(const std::vector<TDxVertex> &v, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    TBox b;
    for (std::size_t i = from; i < std::min(to, v.size()); ++i) {
        b.X0 = std::min(b.X0, double(v[i].x));
        b.X1 = std::max(b.X1, double(v[i].x));
        b.Y0 = std::min(b.Y0, double(v[i].y));
        b.Y1 = std::max(b.Y1, double(v[i].y));
    }
    return b;
}

class SignLabels : public testing::Test {
protected:
    void SetUp() override { atlas.BuildFromCanvas({"Arial", FontHeightOfPoints(9), 0x000000}, 256); }
    // A 90 x 60 picture at (10, 20), 0.01 m a picture unit, upright.
    static TSignLabel Label(uint8_t alignment, bool post, std::vector<Cp1251String> lines = {Cp("5.19.1")}) {
        TSignLabel l;
        l.Lines = std::move(lines);
        l.Alignment = alignment;
        l.Centre = {10, 20, 0};
        l.AxisX = {0.01f, 0, 0};
        l.AxisY = {0, 0.01f, 0};
        l.Width = 90;
        l.Height = 60;
        l.PostLayout = post;
        return l;
    }
    TFontTexture atlas;
};

TEST_F(SignLabels, LinesLieOnTheAlignedSide) {
    EXPECT_TRUE(SignLabelWriter()) << "the plan's writer is set from the start";
    // The picture spans x 9.55 .. 10.45 and y 19.7 .. 20.3.
    for (bool post : {true, false}) {
        const TBox below = BoxOf(SignLabelQuads(Label(1, post), atlas));
        EXPECT_LE(below.Y1, 19.7 + 1e-4) << post;
        EXPECT_NEAR((below.X0 + below.X1) / 2, 10, 0.02) << post;
        const TBox right = BoxOf(SignLabelQuads(Label(3, post), atlas));
        EXPECT_GE(right.X0, 10.45 - 1e-4) << post;
        EXPECT_TRUE(right.Y0 < 20 && right.Y1 > 19.9) << post;
        const TBox left = BoxOf(SignLabelQuads(Label(5, post), atlas));
        EXPECT_LE(left.X1, 9.55 + 1e-4) << post;
        const TBox above = BoxOf(SignLabelQuads(Label(7, post), atlas));
        EXPECT_GE(above.Y0, 20.3 - 1e-4) << post;
        // A line is 15 picture units high at scale 1, 7.5 at scale 2 (the picture doubles, the text stays).
        EXPECT_NEAR(above.Y1 - above.Y0, 0.15, 0.01) << post;
        TSignLabel twice = Label(7, post);
        twice.Scale = 2;
        const TBox small = BoxOf(SignLabelQuads(twice, atlas));
        EXPECT_NEAR(small.Y1 - small.Y0, 0.075, 0.01) << post;
    }
}

TEST_F(SignLabels, StatusLineGoesUnderTheNumberAndTheLabelTurnsWithThePicture) {
    const std::vector<TDxVertex> q = SignLabelQuads(Label(7, true, {Cp("2.4"), Cp("(новый)")}), atlas);
    ASSERT_EQ(q.size(), (3 + 7) * 6u);
    const TBox number = BoxOf(q, 0, 18), status = BoxOf(q, 18);
    EXPECT_GE(status.Y0, 20.3 - 1e-4);
    EXPECT_GE(number.Y0, status.Y1 - 1e-4);

    // Turned a quarter: the picture's "below" is the plan's +x.
    TSignLabel turned = Label(1, true);
    turned.AxisX = {0, 0.01f, 0};
    turned.AxisY = {-0.01f, 0, 0};
    const TBox b = BoxOf(SignLabelQuads(turned, atlas));
    EXPECT_GE(b.X0, 10.3 - 1e-4);
    EXPECT_NEAR((b.Y0 + b.Y1) / 2, 20, 0.02);
    // Nothing to write without lines.
    EXPECT_TRUE(SignLabelQuads(Label(1, true, {}), atlas).empty());
}

} // namespace
