#include "engine/MatrixShell.h"
#include "engine/StreetError.h"
#include "platform/d3d9/RecordingDevice.h"
#include "support/Expectations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

using sptest::ErrorOf;
using sptest::ExpectNear;

// Records every transform the shell puts on the device.
// Keeps the transforms in the order the shell sent them.
class TFakeDevice : public TRecordingDevice {
public:
    struct TCall {
        D3DTRANSFORMSTATETYPE state;
        TDxMatrix matrix;
    };
    std::vector<TCall> calls;

    void SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX &matrix) override {
        TCall c{state, {}};
        std::memcpy(c.matrix.m, matrix.m, sizeof c.matrix.m);
        calls.push_back(c);
        TRecordingDevice::SetTransform(state, matrix);
    }
};

TDxMatrix Identity() {
    TDxMatrix m;
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1;
    return m;
}

// Built entry by entry; mRC of the text is m[R-1][C-1] here.
TDxMatrix Entries(std::initializer_list<std::tuple<int, int, float>> entries) {
    TDxMatrix m;
    for (const auto &[r, c, v] : entries)
        m.m[r - 1][c - 1] = v;
    return m;
}

void ExpectMatrixNear(const TDxMatrix &got, const TDxMatrix &want) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            EXPECT_FLOAT_EQ(got.m[i][j], want.m[i][j]) << "m" << i + 1 << j + 1;
    }
}

} // namespace

TEST(MatrixShell, StartsAsIdentityOnTheDevice) {
    TFakeDevice dev;
    TMatrixShell shell(&dev, D3DTS_VIEW);
    EXPECT_TRUE(shell.IsIdentity());
    EXPECT_EQ(shell.StackTop(), -1);
    EXPECT_EQ(shell.GetMatrix(), Identity());
    ASSERT_EQ(dev.calls.size(), 1u);
    EXPECT_EQ(dev.calls[0].state, D3DTS_VIEW);
    EXPECT_EQ(dev.calls[0].matrix, Identity());

    // Every change reaches the device at once, with the shell's own state.
    shell.Translate(true, 1, 2, 3);
    ASSERT_EQ(dev.calls.size(), 2u);
    EXPECT_EQ(dev.calls[1].state, D3DTS_VIEW);
    EXPECT_EQ(dev.calls[1].matrix, shell.GetMatrix());
    EXPECT_FALSE(shell.IsIdentity());
}

TEST(MatrixShell, SetMatrixFlushesTinyEntries) {
    TFakeDevice dev;
    TMatrixShell shell(&dev, D3DTS_WORLD);
    TDxMatrix m = Identity();
    m.m[0][1] = 5e-8f;
    m.m[1][0] = -9.9e-8f;
    m.m[2][0] = -0.0f;
    shell.SetMatrix(m);
    // The flushed matrix is the identity byte for byte, negative zero included.
    EXPECT_TRUE(shell.IsIdentity());
    const TDxMatrix got = shell.GetMatrix();
    EXPECT_EQ(std::memcmp(&got, &dev.calls.back().matrix, sizeof got), 0);
    const TDxMatrix id = Identity();
    EXPECT_EQ(std::memcmp(&got, &id, sizeof got), 0);

    m.m[0][1] = 2e-7f; // above the threshold: kept
    shell.SetMatrix(m);
    EXPECT_FALSE(shell.IsIdentity());
    EXPECT_EQ(shell.GetMatrix().m[0][1], 2e-7f);
    EXPECT_EQ(shell.GetMatrix().m[1][0], 0);
}

TEST(MatrixShell, StackHoldsSixtyFourLevels) {
    TFakeDevice dev;
    TMatrixShell shell(&dev, D3DTS_WORLD);
    for (int i = 0; i < 64; ++i) {
        shell.Translate(true, 1, 0, 0);
        shell.PushMatrix();
    }
    EXPECT_EQ(shell.StackTop(), 63);
    const TDxMatrix before = shell.GetMatrix();
    const std::size_t calls = dev.calls.size();
    EXPECT_EQ(ErrorOf([&] { shell.PushMatrix(); }), "TMatrixShell.PushMatrix overflow");
    EXPECT_EQ(shell.StackTop(), 63);
    EXPECT_EQ(shell.GetMatrix(), before);
    EXPECT_EQ(dev.calls.size(), calls);

    // Levels come back in reverse order.
    for (int i = 64; i >= 1; --i) {
        shell.PopMatrix();
        EXPECT_EQ(shell.GetMatrix().m[3][0], float(i)) << i;
    }
    EXPECT_EQ(shell.StackTop(), -1);
    EXPECT_EQ(ErrorOf([&] { shell.PopMatrix(); }), "TMatrixShell.PopMatrix overflow");
    EXPECT_EQ(shell.StackTop(), -1);
    EXPECT_EQ(shell.GetMatrix().m[3][0], 1);
}

TEST(MatrixShell, PushWritesNothingPopWritesTheSavedMatrix) {
    TFakeDevice dev;
    TMatrixShell shell(&dev, D3DTS_PROJECTION);
    shell.Scale(true, 2, 2, 2);
    const TDxMatrix saved = shell.GetMatrix();
    const std::size_t calls = dev.calls.size();
    shell.PushMatrix();
    EXPECT_EQ(dev.calls.size(), calls);

    shell.LoadIdentity();
    EXPECT_TRUE(shell.IsIdentity());
    shell.PopMatrix();
    EXPECT_EQ(shell.GetMatrix(), saved);
    EXPECT_FALSE(shell.IsIdentity());
    ASSERT_EQ(dev.calls.size(), calls + 2);
    EXPECT_EQ(dev.calls.back().state, D3DTS_PROJECTION);
    EXPECT_EQ(dev.calls.back().matrix, saved);

    // ResetStack forgets the saved levels without touching the matrix.
    shell.PushMatrix();
    shell.ResetStack();
    EXPECT_EQ(shell.StackTop(), -1);
    EXPECT_EQ(shell.GetMatrix(), saved);
    EXPECT_THROW(shell.PopMatrix(), EStreetError);
}

TEST(MatrixShell, SetDeviceTransformLeavesTheShellAlone) {
    TFakeDevice dev;
    TMatrixShell shell(&dev, D3DTS_VIEW);
    shell.Translate(true, 5, 6, 7);
    const TDxMatrix own = shell.GetMatrix();
    TDxMatrix pixel = Identity();
    pixel.m[0][0] = 2.0f / 640;
    pixel.m[0][1] = 1e-9f; // not flushed: this goes to the device as given
    shell.SetDeviceTransform(pixel);
    EXPECT_EQ(dev.calls.back().state, D3DTS_VIEW);
    EXPECT_EQ(std::memcmp(&dev.calls.back().matrix, &pixel, sizeof pixel), 0);
    EXPECT_EQ(shell.GetMatrix(), own);
    EXPECT_FALSE(shell.IsIdentity());
    TXYZ p{0, 0, 0};
    shell.InverseTransform(p);
    ExpectNear(p, {-5, -6, -7}, 1e-5);
}

TEST(MatrixShell, OrderFlagChoosesWhichTransformComesFirst) {
    struct Case {
        bool scaleAfter;
        float want;
    } cases[] = {{true, 4}, {false, 3}}; // (1 + 1) * 2 or 1 * 2 + 1
    for (const Case &c : cases) {
        TMatrixShell shell;
        shell.Translate(true, 1, 0, 0);
        shell.Scale(c.scaleAfter, 2, 2, 2);
        TXYZ p{1, 0, 0};
        shell.TransformPoint(p);
        EXPECT_FLOAT_EQ(p.x, c.want) << c.scaleAfter;
    }
    // MultMatrix with a general matrix: after means current x M.
    TMatrixShell shell;
    shell.Translate(true, 0, 0, 1);
    const TDxMatrix swapXY = Entries({{1, 2, 1}, {2, 1, 1}, {3, 3, 1}, {4, 4, 1}});
    shell.MultMatrix(true, Entries({{1, 1, 3}, {2, 2, 1}, {3, 3, 1}, {4, 4, 1}}));
    shell.MultMatrix(false, swapXY);
    TXYZ p{1, 2, 0};
    shell.TransformPoint(p); // swap -> (2, 1, 0), translate -> (2, 1, 1), scale x -> (6, 1, 1)
    ExpectNear(p, {6, 1, 1}, 1e-5);
}

TEST(MatrixShell, RotationsHaveTheDocumentedEntries) {
    const float a = 0.7f;
    const float c = float(std::cos(double(a))), s = float(std::sin(double(a)));
    struct Case {
        const char *what;
        void (TMatrixShell::*rotate)(bool, float);
        TDxMatrix want;
    } cases[] = {
        {"X", &TMatrixShell::RotateX,
         Entries({{1, 1, 1}, {2, 2, c}, {2, 3, -s}, {3, 2, s}, {3, 3, c}, {4, 4, 1}})},
        {"Y", &TMatrixShell::RotateY,
         Entries({{2, 2, 1}, {1, 1, c}, {1, 3, s}, {3, 1, -s}, {3, 3, c}, {4, 4, 1}})},
        {"Z", &TMatrixShell::RotateZ,
         Entries({{3, 3, 1}, {1, 1, c}, {1, 2, -s}, {2, 1, s}, {2, 2, c}, {4, 4, 1}})},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        TMatrixShell shell;
        (shell.*k.rotate)(true, a);
        ExpectMatrixNear(shell.GetMatrix(), k.want);
    }
    TMatrixShell dir;
    dir.RotateByDir(false, 30, 40);
    ExpectMatrixNear(
        dir.GetMatrix(),
        Entries({{3, 3, 1}, {1, 1, 0.6f}, {1, 2, -0.8f}, {2, 1, 0.8f}, {2, 2, 0.6f}, {4, 4, 1}}));
}

TEST(MatrixShell, QuarterTurnIsExactAndClockwise) {
    TMatrixShell shell;
    shell.RotateZ(true, float(std::numbers::pi / 2));
    // The cosine (below 1e-7) is flushed to an exact 0.
    EXPECT_EQ(shell.GetMatrix(), Entries({{1, 2, -1}, {2, 1, 1}, {3, 3, 1}, {4, 4, 1}}));
    EXPECT_FALSE(shell.IsIdentity());
    TXYZ p{1, 0, 0};
    shell.TransformPoint(p);
    ExpectNear(p, {0, -1, 0}, 1e-5); // clockwise in a y-up plan
}

TEST(MatrixShell, PerspectiveEntries) {
    TMatrixShell shell;
    const float fov = 1.2f;
    shell.Perspective(true, 1.0f, 40.0f, fov, 1.5f);
    const double m11 = 1 / std::tan(double(fov) / 2), m33 = 40.0 / 39.0;
    const TDxMatrix want = Entries(
        {{1, 1, float(m11)}, {2, 2, float(m11 * 1.5)}, {3, 3, float(m33)}, {3, 4, 1}, {4, 3, float(-m33)}});
    ExpectMatrixNear(shell.GetMatrix(), want);
    // Near and far planes land on depth 0 and 1.
    TXYZ nearP{0, 0, 1}, farP{0, 0, 40};
    bool behind = false;
    shell.TransformPointClip(nearP, behind);
    shell.TransformPointClip(farP, behind);
    EXPECT_NEAR(nearP.z, 0, 1e-6);
    EXPECT_NEAR(farP.z, 1, 1e-6);
    EXPECT_FALSE(behind);
    TXYZ back{0, 0, -5};
    shell.TransformPointClip(back, behind);
    EXPECT_TRUE(behind);
    // The eye sits at the origin, yet the perspective unprojects.
    TXYZ q{0.25f, -0.5f, 0.5f};
    const TXYZ screen = q;
    shell.InverseTransform(q);
    shell.TransformPoint(q);
    ExpectNear(q, screen, 1e-4);
}

TEST(MatrixShell, IdentityShellLeavesPointsAndFlagAlone) {
    TMatrixShell shell; // device-less
    TXYZ p{3, 4, 5};
    shell.TransformPoint(p);
    shell.InverseTransform(p);
    EXPECT_EQ(p, (TXYZ{3, 4, 5}));
    bool behind = true;
    shell.TransformPointClip(p, behind);
    EXPECT_TRUE(behind);
    behind = false;
    shell.TransformPointClip(p, behind);
    EXPECT_FALSE(behind);
    EXPECT_EQ(p, (TXYZ{3, 4, 5}));
}

TEST(MatrixShell, InverseFollowsEveryChange) {
    TMatrixShell shell;
    shell.Translate(true, 1, 2, 3);
    TXYZ p{1, 2, 3};
    shell.InverseTransform(p);
    ExpectNear(p, {0, 0, 0}, 1e-5);
    // A cached inverse must not survive a change of the matrix.
    shell.Scale(true, 2, 2, 2);
    p = {4, 6, 8};
    shell.InverseTransform(p);
    ExpectNear(p, {1, 1, 1}, 1e-5);
    shell.PushMatrix();
    shell.RotateZ(true, 0.3f);
    shell.PopMatrix();
    p = {4, 6, 8};
    shell.InverseTransform(p);
    ExpectNear(p, {1, 1, 1}, 1e-5);
    // Round trip through a general transform with a large plan offset.
    shell.RotateZ(false, 0.9f);
    shell.Translate(true, 52000, -71000, 0);
    const TXYZ orig{12.5f, -3.25f, 1};
    TXYZ q = orig;
    shell.TransformPoint(q);
    shell.InverseTransform(q);
    ExpectNear(q, orig, 5e-3);
}
