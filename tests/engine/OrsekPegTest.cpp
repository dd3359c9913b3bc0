#include "engine/OrsekPeg.h"

#include "engine/MyJpegColorSpace.h"
#include "engine/MyJpegDCT_mmx.h"
#include "engine/MyJpegQuant.h"
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "support/Expectations.h"
#include "support/TestSupport.h"
#include "tools/codec-fixture/CodecFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

using sptest::ErrorOf;

// A frame whose planes are given as coefficient values (Y, V, U) for a width x height picture.
struct TPlanes {
    std::vector<int16_t> Y, V, U;
    TPlanes(int w, int h) : Y(w * h), V(w * h / 4), U(w * h / 4) {}
    Bytes Pack() const { return codecfixture::PackFrame(Y, V, U); }
};

Bytes Decode(TOrsekPegCoder &coder, const Bytes &frame) {
    Bytes yuv(coder.ImageSize(), 0xAB);
    coder.UnPackImage(yuv.data(), coder.ImageSize(), frame.data(), static_cast<int32_t>(frame.size()));
    return yuv;
}

TEST(TOrsekPegCoder, RefusesSizesAndQualitiesItCannotDecode) {
    struct TCase {
        int W, H, Q;
        bool Ok;
    };
    for (const TCase &c : {TCase{16, 16, 2, true}, TCase{1920, 1088, 9, true}, TCase{256, 256, -2, true},
                           TCase{16, 16, 10, false}, TCase{16, 16, -3, false}, TCase{0, 16, 2, false},
                           TCase{-16, 16, 2, false}, TCase{24, 16, 2, false}, TCase{16, 1080, 2, false},
                           TCase{16384 + 16, 16, 2, false}, TCase{16384, 16384, 2, false}}) {
        SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H) + " q" + std::to_string(c.Q));
        const std::string e = ErrorOf([&] { TOrsekPegCoder::CheckFormat(c.W, c.H, c.Q); });
        if (c.Ok)
            EXPECT_EQ(e, "");
        else
            EXPECT_EQ(e.rfind("TOrsekPegCoder.Create: ", 0), 0u) << e;
    }
    EXPECT_THROW(TOrsekPegCoder(16, 16, 12), EStreetError);
}

TEST(TOrsekPegCoder, MultipliersFollowTheAsymmetricBaseTable) {
    // Row u = vertical frequency. Row 6 starts 3, 4 while column 6 of row 0 is 4.
    const int base[64] = {1, 1, 2, 2, 3, 3, 4, 4, 1, 1, 2, 2, 3, 3, 4, 4, 2, 2, 2, 2, 3, 3,
                          4, 4, 2, 2, 2, 2, 3, 3, 4, 4, 3, 3, 3, 3, 3, 3, 4, 4, 3, 3, 3, 3,
                          3, 3, 4, 4, 3, 4, 4, 4, 4, 4, 4, 4, 3, 4, 4, 4, 4, 4, 4, 4};
    for (int q : {-2, 0, 2, 9}) {
        TOrsekPegCoder coder(16, 16, q);
        int16_t m[64];
        coder.GetMultipliers(m);
        for (int k = 0; k < 64; ++k)
            EXPECT_EQ(static_cast<uint16_t>(m[k]), (2u << (base[k] + q + 1)) & 0xFFFF)
                << "q " << q << " k " << k;
    }
}

TEST(TOrsekPegCoder, IdctConstantsAreTheScaledCosineBasis) {
    for (int k = 0; k < 8; ++k)
        for (int n = 0; n < 4; ++n) {
            const double c =
                k == 0 ? 16384.0
                       : 16384.0 * std::numbers::sqrt2 * std::cos((2 * n + 1) * k * std::numbers::pi / 16);
            EXPECT_EQ(IdctConst[k][n], static_cast<int>(std::lround(c))) << k << "," << n;
        }
}

TEST(TOrsekPegCoder, AllZeroFrameDecodesToZerosAndGreenPixels) {
    TOrsekPegCoder coder(32, 16, 2);
    const Bytes yuv = Decode(coder, TPlanes(32, 16).Pack());
    EXPECT_EQ(yuv, Bytes(yuv.size(), 0));
    TFrameBitmap bmp;
    bmp.SetSize(32, 16);
    YuvToBitmap(bmp, yuv.data(), 32, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint8_t *p = bmp.ScanLine(y) + 4 * x;
            ASSERT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{0, 135, 0, 0}))
                << x << "," << y;
        }
}

TEST(TOrsekPegCoder, LoneDcReconstructsTheBlockMeanAndItsThumbnail) {
    // Quality 2: a DC of 256 gives 128 in every sample and thumbnail 128. At other qualities the
    // thumbnail is still the block's mean (DC * M[0] / 64).
    struct TCase {
        int Q;
        int16_t Dc;
        int Sample;
    };
    for (const TCase &c :
         {TCase{2, 256, 128}, TCase{2, 101, 50}, TCase{0, 400, 50}, TCase{5, 25, 100}, TCase{2, -50, 0}}) {
        SCOPED_TRACE("q " + std::to_string(c.Q) + " dc " + std::to_string(c.Dc));
        TOrsekPegCoder coder(16, 16, c.Q);
        TPlanes planes(16, 16);
        planes.Y[0] = c.Dc; // block 0 of four
        const Bytes frame = planes.Pack();
        const Bytes yuv = Decode(coder, frame);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_NEAR(yuv[y * 16 + x], c.Sample, 1) << x << "," << y;
        EXPECT_EQ(yuv[8], 0); // block 1
        Bytes icon(coder.IconSize(), 0xAB);
        coder.UnPackIcon(icon.data(), coder.IconSize(), frame.data(), static_cast<int32_t>(frame.size()));
        EXPECT_EQ(icon[0], c.Sample);
        EXPECT_EQ(icon[1], 0);
    }
}

TEST(TOrsekPegCoder, DecodedPictureFollowsTheEncodedOne) {
    const int w = 64, h = 48;
    const Bytes bgrx = codecfixture::TestPicture(w, h, 3);
    const Bytes yuv = codecfixture::BgrxToYuv420(bgrx.data(), w, h, 4 * w);
    for (int q : {0, 2, 4}) {
        TOrsekPegCoder coder(w, h, q);
        const Bytes frame = codecfixture::EncodeFrame(yuv.data(), w, h, q);
        const Bytes out = Decode(coder, frame);
        double err = 0;
        for (std::size_t i = 0; i < out.size(); ++i)
            err += std::abs(out[i] - yuv[i]);
        EXPECT_LT(err / out.size(), 2.0 + q) << "quality " << q;
        // The same frame from a stream gives the same bytes.
        TMemoryStream s(frame);
        Bytes fromStream(coder.ImageSize());
        coder.UnPackImageFromStream(fromStream.data(), coder.ImageSize(), s);
        EXPECT_EQ(fromStream, out);
        EXPECT_EQ(s.Position(), s.Size());
        // Thumbnail samples are the block means (within rounding of the quantised DC).
        Bytes icon(coder.IconSize());
        coder.UnPackIcon(icon.data(), coder.IconSize(), frame.data(), static_cast<int32_t>(frame.size()));
        for (int by = 0; by < h / 8; ++by)
            for (int bx = 0; bx < w / 8; ++bx) {
                double mean = 0;
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        mean += yuv[(8 * by + y) * w + 8 * bx + x];
                ASSERT_NEAR(icon[by * (w / 8) + bx], mean / 64, 1.0 + (1 << (q + 3)) / 64.0)
                    << bx << "," << by;
            }
    }
}

TEST(TOrsekPegCoder, RejectsBadFramesWithoutReadingPastThem) {
    TOrsekPegCoder coder(16, 16, 2);
    TPlanes planes(16, 16);
    planes.Y[5] = 3;
    const Bytes good = planes.Pack();
    Bytes yuv(coder.ImageSize());
    // A wrong buffer size fails before the data is touched.
    EXPECT_EQ(ErrorOf([&] { coder.UnPackImage(yuv.data(), coder.ImageSize() - 1, nullptr, 1000); }),
              "TOrsekPegCoder.UnPackImage: ImgSize<>fWidth* fHeight div 2 * 3");
    EXPECT_EQ(ErrorOf([&] { coder.UnPackIcon(yuv.data(), 7, nullptr, 1000); }),
              "TOrsekPegCoder.UnPackIcon: ImgSize<>fWidth * fHeight div 64 div 2 * 3");
    TMemoryStream untouched(good);
    EXPECT_THROW(coder.UnPackImageFromStream(yuv.data(), 100, untouched), EStreetError);
    EXPECT_EQ(untouched.Position(), 0);

    struct TCase {
        std::string Name;
        Bytes Frame;
        std::string Error;
    };
    Bytes truncated(good.begin(), good.end() - 3);
    Bytes hugeSection = good;
    hugeSection[3] = 0x7F;
    // Y decodes only 64 of 256 values: a short plane must not show the previous picture's coefficients.
    const Bytes shortY = [] {
        TPlanes p(16, 16);
        Bytes f;
        const Bytes y = codecfixture::PackInts(std::vector<int16_t>(64, 0));
        sptest::ByteBuilder b;
        b.U32(static_cast<uint32_t>(y.size())).Raw(y.data(), y.size());
        for (const auto *plane : {&p.V, &p.U}) {
            const Bytes c = codecfixture::PackInts(*plane);
            b.U32(static_cast<uint32_t>(c.size())).Raw(c.data(), c.size());
        }
        return b.Data();
    }();
    Bytes badOpcode = good;
    badOpcode[5] = 0x77;
    const std::vector<TCase> cases = {
        {"truncated", truncated, "TOrsekPegCoder.UnPackImage: section U runs past the frame data"},
        {"huge section", hugeSection, "TOrsekPegCoder.UnPackImage: section Y runs past the frame data"},
        {"short plane", shortY, "TOrsekPegCoder.UnPackImage: plane Y holds 64 values, expected 256"},
        {"bad opcode", badOpcode, "UnPackSmallInts: unknown opcode 0x77 at offset 1"},
        {"empty", {}, "TOrsekPegCoder.UnPackImage: section Y runs past the frame data"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ErrorOf([&] {
                      coder.UnPackImage(yuv.data(), coder.ImageSize(), c.Frame.data(),
                                        static_cast<int32_t>(c.Frame.size()));
                  }),
                  c.Error);
        TMemoryStream s(c.Frame);
        EXPECT_THROW(coder.UnPackImageFromStream(yuv.data(), coder.ImageSize(), s), EStreetError);
    }
    // After the failures the coder decodes as a fresh one does: nothing of a failed frame shows.
    TOrsekPegCoder fresh(16, 16, 2);
    EXPECT_EQ(Decode(coder, good), Decode(fresh, good));
    // Thumbnails check that the DC plane was complete.
    const Bytes dcShort = [] {
        sptest::ByteBuilder b;
        const Bytes y = codecfixture::PackInts(std::vector<int16_t>(0));
        b.U32(static_cast<uint32_t>(y.size())).Raw(y.data(), y.size());
        return b.Data();
    }();
    Bytes icon(coder.IconSize());
    EXPECT_EQ(ErrorOf([&] {
                  coder.UnPackIcon(icon.data(), coder.IconSize(), dcShort.data(),
                                   static_cast<int32_t>(dcShort.size()));
              }),
              "TOrsekPegCoder.UnPackIcon: plane Y holds 0 DC values, expected 4");
}

// A failed frame leaves its coefficients in the coder; the next frame must show none of them, also where
// it skips whole groups of zero blocks (which takes a picture of 8 blocks across or more).
TEST(TOrsekPegCoder, AFailedFrameShowsNothingInTheNext) {
    constexpr int W = 128, H = 16;
    TPlanes busy(W, H);
    for (std::size_t i = 0; i < busy.Y.size(); ++i)
        busy.Y[i] = static_cast<int16_t>(i % 7 + 1);
    // Y whole, then a V section that runs past the frame.
    const Bytes packed = busy.Pack();
    const uint32_t ySize = packed[0] | packed[1] << 8 | packed[2] << 16 | uint32_t(packed[3]) << 24;
    sptest::ByteBuilder cut;
    cut.Raw(packed.data(), 4 + ySize).U32(1000);
    TPlanes quiet(W, H);
    quiet.Y[5] = 3;
    const Bytes good = quiet.Pack();

    TOrsekPegCoder coder(W, H, 2), fresh(W, H, 2);
    Bytes yuv(coder.ImageSize());
    EXPECT_EQ(ErrorOf([&] {
                  coder.UnPackImage(yuv.data(), coder.ImageSize(), cut.Data().data(),
                                    static_cast<int32_t>(cut.Size()));
              }),
              "TOrsekPegCoder.UnPackImage: section V runs past the frame data");
    EXPECT_EQ(Decode(coder, good), Decode(fresh, good));
}

// ---- fast paths against the reference ----

std::vector<int16_t> RandomPlane(std::mt19937 &rng, std::size_t n, int mode) {
    std::vector<int16_t> v(n + 32);
    std::uniform_int_distribution<int> full(-32768, 32767), small(-40, 40), pick(0, 9);
    for (std::size_t i = 0; i < n; ++i) {
        switch (mode) {
        case 0: // anything, so that products and sums wrap
            v[i] = static_cast<int16_t>(full(rng));
            break;
        case 1: // realistic: mostly zeros with small values, DC around the middle
            v[i] = static_cast<int16_t>(pick(rng) < 7 ? 0 : small(rng));
            break;
        default: // whole coefficient planes of zeros with rare values
            v[i] = static_cast<int16_t>(pick(rng) == 0 && (i / 997) % 3 == 0 ? full(rng) : 0);
        }
    }
    return v;
}

TEST(CodecFastPaths, DequantAndTransformMatchTheReference) {
    std::mt19937 rng(2024);
    struct TSize {
        int Bx, By;
    };
    for (const TSize s : {TSize{1, 1}, TSize{3, 5}, TSize{8, 2}, TSize{13, 7}, TSize{40, 30}, TSize{18, 3}})
        for (int mode = 0; mode < 3; ++mode)
            for (int q : {-2, 2, 9}) {
                SCOPED_TRACE(std::to_string(s.Bx) + "x" + std::to_string(s.By) + " mode " +
                             std::to_string(mode) + " q " + std::to_string(q));
                const std::size_t n = static_cast<std::size_t>(s.Bx) * s.By * 64;
                const auto coefs = RandomPlane(rng, n, mode);
                uint16_t shift[64];
                int16_t m[64];
                FillShiftTable(shift, q);
                MakeMultipliers(shift, m);
                const std::ptrdiff_t stride = 8 * s.Bx + 5;
                Bytes ref(stride * 8 * s.By, 0x5A), fast(ref);
                DequantIdctPlaneRef(coefs.data(), s.Bx, s.By, m, ref.data(), stride);
                DequantIdctPlaneSse2(coefs.data(), s.Bx, s.By, m, fast.data(), stride);
                ASSERT_EQ(fast, ref);
                // With group masks: exact ones, and ones that also name zero groups.
                std::vector<uint64_t> masks((s.Bx * s.By + 7) / 8);
                ComputeGroupMasks(coefs.data(), s.Bx * s.By, masks.data());
                Bytes masked(ref.size(), 0x5A);
                DequantIdctPlaneSse2(coefs.data(), s.Bx, s.By, m, masked.data(), stride, masks.data());
                ASSERT_EQ(masked, ref);
                if (HaveAvx2Paths()) {
                    Bytes wide(ref.size(), 0x5A);
                    DequantIdctPlaneAvx2(coefs.data(), s.Bx, s.By, m, wide.data(), stride);
                    ASSERT_EQ(wide, ref);
                    DequantIdctPlaneAvx2(coefs.data(), s.Bx, s.By, m, wide.data(), stride, masks.data());
                    ASSERT_EQ(wide, ref);
                }
                for (auto &mk : masks)
                    mk |= 0x8000000000000001ull;
                DequantIdctPlaneSse2(coefs.data(), s.Bx, s.By, m, masked.data(), stride, masks.data());
                ASSERT_EQ(masked, ref);
                if (HaveAvx2Paths()) {
                    DequantIdctPlaneAvx2(coefs.data(), s.Bx, s.By, m, masked.data(), stride, masks.data());
                    ASSERT_EQ(masked, ref);
                }
            }
    EXPECT_TRUE(HaveSse2Paths());
}

TEST(CodecFastPaths, WholeFramesMatchTheReferenceAcrossReusedCoders) {
    // The fast path leaves zero groups of the planes unwritten; a coder reused for a sparse frame after a
    // busy one must still give the reference bytes. Frames: noisy pictures at several qualities, random
    // sparse coefficient planes, and runs in long count forms.
    std::mt19937 rng(77);
    for (const auto &[w, h] : {std::pair{48, 32}, std::pair{80, 48}, std::pair{16, 16}}) {
        std::vector<Bytes> frames;
        for (int q : {0, 2, 5}) {
            const Bytes bgrx = codecfixture::TestPicture(w, h, static_cast<uint32_t>(q + w));
            const Bytes yuv = codecfixture::BgrxToYuv420(bgrx.data(), w, h, 4 * w);
            frames.push_back(codecfixture::EncodeFrame(yuv.data(), w, h, q));
        }
        for (int density : {2, 20, 200}) {
            TPlanes p(w, h);
            std::uniform_int_distribution<int> pick(0, density), value(-300, 300);
            for (auto *plane : {&p.Y, &p.V, &p.U})
                for (auto &v : *plane)
                    v = static_cast<int16_t>(pick(rng) == 0 ? value(rng) : 0);
            frames.push_back(p.Pack());
            frames.push_back(codecfixture::PackFrame(p.Y, p.V, p.U, codecfixture::TCountStyle::Long16));
        }
        TOrsekPegCoder fast(w, h, 2), ref(w, h, 2);
        ref.SetReferencePaths(true);
        for (int round = 0; round < 2; ++round)
            for (std::size_t i = 0; i < frames.size(); ++i) {
                SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " frame " + std::to_string(i));
                ASSERT_EQ(Decode(fast, frames[i]), Decode(ref, frames[i]));
                TMemoryStream s(frames[i]);
                Bytes fromStream(fast.ImageSize());
                fast.UnPackImageFromStream(fromStream.data(), fast.ImageSize(), s);
                ASSERT_EQ(fromStream, Decode(ref, frames[i]));
            }
    }
}

TEST(CodecFastPaths, ColourConversionMatchesTheReference) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int w : {2, 16, 18, 48, 94})
        for (int h : {2, 6}) {
            Bytes yuv(w * h * 3 / 2);
            for (auto &b : yuv)
                b = static_cast<uint8_t>(byte(rng));
            // Make sure the extremes of chroma appear.
            yuv[w * h] = 255;
            yuv[w * h + w * h / 4 - 1] = 0;
            const std::ptrdiff_t stride = 4 * w + 12;
            Bytes ref(stride * h, 0x33), fast(ref);
            YuvToBgrxRef(yuv.data(), w, h, ref.data(), stride);
            YuvToBgrxSse2(yuv.data(), w, h, fast.data(), stride);
            ASSERT_EQ(fast, ref) << w << "x" << h;
        }
    // A picture large enough for the streaming stores.
    const int w = 1024, h = 512;
    Bytes yuv(w * h * 3 / 2);
    for (auto &b : yuv)
        b = static_cast<uint8_t>(byte(rng));
    TFrameBitmap ref, fast;
    ref.SetSize(w, h);
    fast.SetSize(w, h);
    YuvToBgrxRef(yuv.data(), w, h, ref.ScanLine(0), ref.Stride);
    YuvToBitmap(fast, yuv.data(), w, h);
    EXPECT_EQ(fast.Bits, ref.Bits);
}

TEST(CodecFastPaths, SharpeningMatchesTheReference) {
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int w : {1, 15, 16, 33, 64})
        for (int h : {1, 2, 5})
            for (uint16_t f : {uint16_t(0), uint16_t(655), uint16_t(32768), uint16_t(65535)}) {
                Bytes plane(w * h);
                for (auto &b : plane)
                    b = static_cast<uint8_t>(byte(rng));
                Bytes ref = plane, fast = plane;
                SharpenYuvPlaneRef(ref.data(), w, h, f);
                SharpenYuvPlaneSse2(fast.data(), w, h, f);
                ASSERT_EQ(fast, ref) << w << "x" << h << " factor " << f;
            }
}

// ---- colour conversion and sharpening results ----

TEST(YuvToBitmap, ConvertsWithTheFixedPointCoefficients) {
    struct TCase {
        uint8_t Y, V, U;
        int B, G, R;
    };
    const std::vector<TCase> cases = {
        {100, 127, 127, 100, 100, 100}, // no colour
        {100, 137, 127, 100, 93, 114},  // sV = 10: R + floor(3590/256) = 14, G - floor(1830/256) = 7
        {100, 117, 127, 100, 108, 85},  // sV = -10: floor(-14.02) = -15, G - floor(-7.1) = +8
        {200, 255, 127, 200, 255, 20},  // 255 acts as -128: R = 200 - 180, G = 200 + 92 saturates
        {200, 254, 127, 200, 110, 255}, // 254 is +127
        {50, 127, 255, 0, 94, 50},      // sU = -128 (not +128): B = 50 - 227 clamps, G = 50 + 44
        {50, 127, 254, 255, 7, 50},     // sU = +127: B = 50 + 225 saturates, G = 50 - 43
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(std::to_string(c.Y) + " " + std::to_string(c.V) + " " + std::to_string(c.U));
        Bytes yuv = {c.Y, c.Y, c.Y, c.Y, c.V, c.U};
        TFrameBitmap bmp;
        bmp.SetSize(2, 2);
        YuvToBitmap(bmp, yuv.data(), 2, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                const uint8_t *p = bmp.ScanLine(y) + 4 * x;
                EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{c.B, c.G, c.R, 0}));
            }
    }
    TFrameBitmap wrong;
    wrong.SetSize(4, 2);
    Bytes yuv(6);
    EXPECT_THROW(YuvToBitmap(wrong, yuv.data(), 2, 2), EStreetError);
}

TEST(SharpenYuvPlane, AddsTheScaledLaplacianRowByRow) {
    // Values in the middle of the range and a small factor never clamp, so each pixel gains exactly
    // 4S(p) - S(up) - S(down) - S(left) - S(right) with the terms each row receives: the top row has no up
    // term, the bottom row only the up term; at row ends the missing neighbour is the pixel itself.
    const int w = 20, h = 6;
    const uint16_t f = 6000;
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> mid(80, 180);
    Bytes plane(w * h);
    for (auto &b : plane)
        b = static_cast<uint8_t>(mid(rng));
    Bytes out = plane;
    SharpenYuvPlane(out.data(), w, h, f);
    auto s = [&](int x, int y) {
        x = std::clamp(x, 0, w - 1);
        return (plane[y * w + x] * f) >> 16;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int expect = plane[y * w + x];
            if (y > 0)
                expect += s(x, y) - s(x, y - 1);
            if (y < h - 1)
                expect += 3 * s(x, y) - s(x, y + 1) - s(x - 1, y) - s(x + 1, y);
            ASSERT_EQ(out[y * w + x], expect) << x << "," << y;
        }
    // Factor 0 changes nothing; a flat plane stays flat at every factor.
    Bytes same = plane;
    SharpenYuvPlane(same.data(), w, h, 0);
    EXPECT_EQ(same, plane);
    Bytes flat(w * h, 77);
    SharpenYuvPlane(flat.data(), w, h, 65535);
    EXPECT_EQ(flat, Bytes(w * h, 77));
}

TEST(SharpenYuvPlane, PercentageGivesTheFactorAndFullStrengthAtHundred) {
    struct TCase {
        int Percent;
        uint16_t Factor;
    };
    for (const TCase &c : {TCase{0, 0}, TCase{-5, 0}, TCase{1, 655}, TCase{50, 32768}, TCase{99, 64881},
                           TCase{100, 65535}, TCase{250, 65535}})
        EXPECT_EQ(SharpenFactorFromPercent(c.Percent), c.Factor) << c.Percent;
    // At 100 % an edge is sharpened, not left alone.
    Bytes edge(16 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x)
            edge[y * 16 + x] = x < 8 ? 60 : 120;
    Bytes out = edge;
    SharpenYuvPlane(out.data(), 16, 4, SharpenFactorFromPercent(100));
    EXPECT_LT(out[16 + 7], 60);
    EXPECT_GT(out[16 + 8], 120);
}

} // namespace
