#include "engine/MyJpegPack.h"

#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "support/Expectations.h"
#include "support/TestSupport.h"
#include "tools/codec-fixture/CodecFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// The stream form reads a u32 byte count first.
TMemoryStream WithCount(const Bytes &packed) {
    sptest::ByteBuilder b;
    b.U32(static_cast<uint32_t>(packed.size())).Raw(packed.data(), packed.size());
    return TMemoryStream(b.Data());
}

using sptest::ErrorOf;

struct TVector {
    Bytes Packed;
    std::vector<int16_t> Values;
};

TEST(UnPackSmallInts, DecodesTheKnownVectorsInBothForms) {
    const std::vector<TVector> cases = {
        {{0x00, 0xFF}, {}},
        {{0x00, 0x13, 0xFF}, std::vector<int16_t>(12, 0)},
        {{0x00, 0x01, 0x14, 0xFF}, std::vector<int16_t>(80, 0)},
        {{0x00, 0x21, 0xE4, 0xFF}, {0, 1, -2, -1}},
        {{0x00, 0x31, 0xF7, 0x80, 0xFF}, {7, -1, 0, -8}},
        {{0x00, 0x51, 0xFF, 0x8F, 0xFF, 0x01, 0x00, 0x00, 0xFF}, {-1, -8, 1, 0}},
        // Long forms with u16 and u32 counts, and an 8-bit group.
        {{0x00, 0x02, 0x02, 0x00, 0x41, 0x80, 0x7F, 0x01, 0xFF, 0xFF},
         {0, 0, 0, 0, 0, 0, 0, 0, -128, 127, 1, -1}},
        {{0x00, 0x06, 0x01, 0x00, 0x00, 0x00, 0x1B, 0xFF}, {-1, -2, 1, 0}},
        // A count of 0 yields nothing.
        {{0x00, 0x10, 0x40, 0x01, 0x00, 0x21, 0x00, 0xFF}, {0, 0, 0, 0}},
    };
    for (const TVector &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Packed));
        const auto n = static_cast<int32_t>(c.Values.size());
        std::vector<int16_t> dest(c.Values.size() + 8, 99);
        EXPECT_EQ(UnPackSmallInts(dest, n, c.Packed.data(), static_cast<int32_t>(c.Packed.size())), n);
        EXPECT_EQ(std::vector<int16_t>(dest.begin(), dest.begin() + n), c.Values);
        EXPECT_EQ(dest[n], 99) << "nothing past the values";

        std::vector<int16_t> fromStream(c.Values.size(), 99);
        TMemoryStream s = WithCount(c.Packed);
        UnPackSmallInts(fromStream, n, s);
        EXPECT_EQ(fromStream, c.Values);
        EXPECT_EQ(s.Position(), s.Size());
    }
}

TEST(UnPackSmallInts, StreamFormChecksTheEndByteAndTheExactCount) {
    std::vector<int16_t> dest(16);
    TMemoryStream empty = WithCount({0x00, 0xFF});
    UnPackSmallInts(dest, 0, empty);
    EXPECT_EQ(empty.Position(), empty.Size()) << "the packed bytes were read through their end byte";
    TMemoryStream four = WithCount({0x00, 0xFF});
    EXPECT_EQ(ErrorOf([&] { UnPackSmallInts(dest, 4, four); }), "UnPackSmallInts: DataCursor<>DataSize");
    TMemoryStream tooMany = WithCount({0x00, 0x12, 0xFF});
    EXPECT_EQ(ErrorOf([&] { UnPackSmallInts(dest, 4, tooMany); }), "UnPackSmallInts: DataCursor<>DataSize");

    // Without the end byte every opcode is decoded, then the stream form fails; memory simply stops.
    const Bytes noEnd = {0x00, 0x21, 0xE4, 0x11};
    dest.assign(16, 99);
    TMemoryStream s = WithCount(noEnd);
    EXPECT_EQ(ErrorOf([&] { UnPackSmallInts(dest, 8, s); }), "UnPackSmallInts: Prefix<>PrefixDataEnd");
    EXPECT_EQ(std::vector<int16_t>(dest.begin(), dest.begin() + 8),
              (std::vector<int16_t>{0, 1, -2, -1, 0, 0, 0, 0}));
    dest.assign(16, 99);
    EXPECT_EQ(UnPackSmallInts(dest, 8, noEnd.data(), 4), 8);
}

TEST(UnPackSmallInts, EmptyDestinationTakesEmptyOpcodes) {
    const Bytes packed = {0x00, 0x10, 0x20, 0x01, 0x00, 0xFF};
    EXPECT_EQ(UnPackSmallInts(std::span<int16_t>(), 0, packed.data(), 6), 0);
    TMemoryStream s = WithCount(packed);
    UnPackSmallInts(std::span<int16_t>(), 0, s);
    EXPECT_EQ(s.Position(), s.Size()) << "every opcode was read, up to the end byte";
}

TEST(UnPackSmallInts, MemoryFormStopsOncePastCount) {
    // 8 zeros, then 4 ones (2-bit): with Count 4 the second opcode is not read; with Count 8 (equal) it is.
    const Bytes packed = {0x00, 0x12, 0x21, 0x55, 0xFF};
    std::vector<int16_t> dest(12, 7);
    EXPECT_EQ(UnPackSmallInts(dest, 4, packed.data(), 5), 8);
    EXPECT_EQ(dest[8], 7);
    EXPECT_EQ(UnPackSmallInts(dest, 8, packed.data(), 5), 12);
    EXPECT_EQ(dest[8], 1);
}

TEST(UnPackSmallInts, RejectsMalformedStreams) {
    struct TCase {
        Bytes Packed;
        std::string Error;
    };
    const std::vector<TCase> cases = {
        {{0x01, 0x11, 0xFF}, "UnPackSmallInts: Prefix<>PrefixDataStart"},
        {{}, "UnPackSmallInts: Prefix<>PrefixDataStart"},
        {{0x00, 0x11, 0x00, 0xFF}, "UnPackSmallInts: unknown opcode 0x00 at offset 2"},
        {{0x00, 0x60, 0xFF}, "UnPackSmallInts: unknown opcode 0x60 at offset 1"},
        {{0x00, 0xFE, 0xFF}, "UnPackSmallInts: unknown opcode 0xFE at offset 1"},
        {{0x00, 0x42, 0x01, 0x02, 0x03},
         "UnPackSmallInts: payload of opcode 0x42 at offset 1 runs past the data"},
        {{0x00, 0x0E, 0x05}, "UnPackSmallInts: count of opcode 0x0E at offset 1 runs past the data"},
        {{0x00, 0x53, 0x00}, "UnPackSmallInts: payload of opcode 0x53 at offset 1 runs past the data"},
        // A huge long-form count can never write past the destination.
        {{0x00, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "UnPackSmallInts: values run past the expected count"},
        {{0x00, 0x13, 0x13, 0xFF}, "UnPackSmallInts: values run past the expected count"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Packed));
        std::vector<int16_t> dest(16, 99);
        EXPECT_EQ(ErrorOf([&] {
                      UnPackSmallInts(std::span<int16_t>(dest.data(), 16), 16, c.Packed.data(),
                                      static_cast<int32_t>(c.Packed.size()));
                  }),
                  c.Error);
        if (c.Error.find("Start") != std::string::npos) {
            EXPECT_EQ(dest, std::vector<int16_t>(16, 99)) << "nothing written before the start byte check";
        }
    }
    // In the stream form an overrun is a count that differs.
    std::vector<int16_t> dest(16);
    TMemoryStream huge = WithCount({0x00, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(ErrorOf([&] { UnPackSmallInts(dest, 16, huge); }), "UnPackSmallInts: DataCursor<>DataSize");
    // A stored byte count beyond the stream fails before anything is allocated.
    sptest::ByteBuilder big;
    big.U32(0xFFFFFFF0u).U8(0x00).U8(0xFF);
    TMemoryStream lying(big.Data());
    EXPECT_EQ(ErrorOf([&] {
                  UnPackSmallInts(dest, 0, lying);
              }).rfind("UnPackSmallInts: count 4294967280 exceeds the data present (2 bytes left)", 0),
              0u);
}

TEST(PackWriters, EveryFormWritesItsLengthAndDecodesBack) {
    std::mt19937 rng(7);
    const int ranges[5][2] = {{0, 0}, {-2, 1}, {-8, 7}, {-128, 127}, {-2048, 2047}};
    const uint8_t shortOps[5] = {0x10, 0x20, 0x30, 0x40, 0x50};
    for (int form = 0; form < 4; ++form)
        for (int kind = 0; kind < 5; ++kind)
            for (uint32_t n : {1u, 2u, 3u, 15u}) {
                SCOPED_TRACE("form " + std::to_string(form) + " kind " + std::to_string(kind) + " n " +
                             std::to_string(n));
                std::uniform_int_distribution<int> d(ranges[kind][0], ranges[kind][1]);
                std::vector<int16_t> values(4 * n);
                for (auto &v : values)
                    v = static_cast<int16_t>(d(rng));
                Bytes out(64 + 8 * n, 0xEE);
                out[0] = 0x00;
                int64_t cursor = 1;
                PackWriters[form][kind](values.data(), out.data(), cursor, n);
                const int64_t len =
                    PackedFormLength(static_cast<TPackKind>(kind), static_cast<TPackForm>(form), n);
                EXPECT_EQ(cursor, 1 + len);
                EXPECT_EQ(out[1], form == 0 ? shortOps[kind] + n : kind * 3 + form);
                if (form > 0) {
                    EXPECT_EQ(out[2], n);
                }
                out[cursor] = 0xFF;
                std::vector<int16_t> back(4 * n + 4);
                EXPECT_EQ(UnPackSmallInts(back, static_cast<int32_t>(4 * n), out.data(),
                                          static_cast<int32_t>(cursor + 1)),
                          static_cast<int32_t>(4 * n));
                back.resize(4 * n);
                EXPECT_EQ(back, values);
            }
}

TEST(PackWriters, MapOutOfRangeValuesAsTheStoredFormatDoes) {
    // 2-bit takes bit 0 and bit 8; 4-bit saturates to a signed byte then keeps the low nibble; 8-bit
    // saturates.
    const int16_t two[4] = {0x101, 0x100, 0x001, -3};
    const int16_t four[4] = {100, 200, -200, -9};
    const int16_t eight[4] = {300, -300, 128, -129};
    struct TCase {
        TPackKind Kind;
        const int16_t *Source;
        std::vector<int16_t> Decoded;
    };
    for (const TCase &c :
         {TCase{TPackKind::Bits2, two, {-1, -2, 1, -1}}, TCase{TPackKind::Bits4, four, {4, -1, 0, 7}},
          TCase{TPackKind::Bits8, eight, {127, -128, 127, -128}}}) {
        Bytes out(32);
        int64_t cursor = 1;
        PackWriters[0][static_cast<int>(c.Kind)](c.Source, out.data(), cursor, 1);
        out[cursor] = 0xFF;
        std::vector<int16_t> back(4);
        UnPackSmallInts(back, 4, out.data(), static_cast<int32_t>(cursor + 1));
        EXPECT_EQ(back, c.Decoded);
    }
}

TEST(UnPackSmallInts, FixtureEncoderStreamsRoundTripInEveryCountStyle) {
    std::mt19937 rng(11);
    std::vector<int16_t> values(4 * 700);
    // Runs of every kind, some long enough for long forms.
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int band = static_cast<int>(i / 400) % 5;
        const int lim[5] = {0, 1, 7, 127, 2047};
        std::uniform_int_distribution<int> d(-lim[band] - (band ? 1 : 0), lim[band]);
        values[i] = static_cast<int16_t>(d(rng));
    }
    using codecfixture::TCountStyle;
    for (TCountStyle style :
         {TCountStyle::Compact, TCountStyle::Long8, TCountStyle::Long16, TCountStyle::Long32}) {
        const Bytes packed = codecfixture::PackInts(values, style);
        std::vector<int16_t> back(values.size());
        TMemoryStream s = WithCount(packed);
        UnPackSmallInts(back, static_cast<int32_t>(values.size()), s);
        EXPECT_EQ(back, values);
    }
}

} // namespace
