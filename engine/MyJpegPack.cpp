#include "engine/MyJpegPack.h"

#include "engine/Streams.h"
#include "engine/StreetError.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint8_t PrefixDataStart = 0x00;
constexpr uint8_t PrefixDataEnd = 0xFF;

// How an opcode byte is decoded: its kind (0 = no meaning) and the width of a long-form count (0 for the
// short forms, whose count is the low nibble).
enum : uint8_t { OpNone, OpZero, Op2, Op4, Op8, Op12, OpEnd };
struct TOpInfo {
    uint8_t Kind = OpNone;
    uint8_t CountBytes = 0;
};

struct TTables {
    std::array<TOpInfo, 256> Ops{};
    std::array<std::array<int16_t, 4>, 256> Fields2{}; // a 2-bit payload byte -> four values
    std::array<std::array<int16_t, 2>, 256> Fields4{}; // a 4-bit payload byte -> two values
    TTables() {
        for (int kind = 1; kind <= 5; ++kind) {
            // A count of 0 (0x10, 0x20, ...) yields no values.
            for (int n = 0; n <= 15; ++n)
                Ops[(kind << 4) | n] = {static_cast<uint8_t>(kind), 0};
            static constexpr uint8_t widths[3] = {1, 2, 4};
            for (int f = 0; f < 3; ++f)
                Ops[(kind - 1) * 3 + f + 1] = {static_cast<uint8_t>(kind), widths[f]};
        }
        Ops[PrefixDataEnd] = {OpEnd, 0};
        for (int b = 0; b < 256; ++b) {
            for (int j = 0; j < 4; ++j) {
                const int field = (b >> (2 * j)) & 3;
                Fields2[b][j] = static_cast<int16_t>(field >= 2 ? field - 4 : field);
            }
            for (int j = 0; j < 2; ++j) {
                const int nib = (b >> (4 * j)) & 15;
                Fields4[b][j] = static_cast<int16_t>(nib >= 8 ? nib - 16 : nib);
            }
        }
    }
};

const TTables &Tables() {
    static const TTables t;
    return t;
}

int64_t PayloadBytes(uint8_t kind, int64_t n) {
    switch (kind) {
    case Op2:
        return n;
    case Op4:
        return 2 * n;
    case Op8:
        return 4 * n;
    case Op12:
        return 6 * n;
    default:
        return 0;
    }
}

[[noreturn]] void Fail(const std::string &reason) {
    RaiseStreetError("UnPackSmallInts", reason);
}

std::string Hex2(unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    return std::string{digits[(v >> 4) & 15], digits[v & 15]};
}

struct TDecodeResult {
    int64_t Values = 0;
    bool Ended = false; // stopped on the end byte
};

// Where the values of a coefficient plane go for the block transform: value i is coefficient
// k = i / Blocks of block b = i % Blocks. Zero runs write only the partial groups of eight blocks at their
// ends; every group that receives other values is marked in Masks[group] bit k.
struct TGroupSink {
    int16_t *Dest;
    int64_t Blocks;
    uint64_t *Masks;
    int64_t K = 0, B = 0; // coefficient and block of the next value

    // Calls f(k, first block, end block) for each coefficient row a run of values spans, and advances.
    template <class F> void Rows(int64_t values, F &&f) {
        while (values > 0) {
            const int64_t chunk = std::min(values, Blocks - B);
            f(K, B, B + chunk);
            values -= chunk;
            B += chunk;
            if (B == Blocks) {
                B = 0;
                ++K;
            }
        }
    }
    // Zero runs write only their partial groups, with whole 16-byte stores that may run forward into
    // values not decoded yet (later opcodes define those) or into the plane's margin.
    void Zero(int64_t values) {
        Rows(values, [this](int64_t k, int64_t lo, int64_t hi) {
            int16_t *row = Dest + k * Blocks;
            const int64_t fullLo = (lo + 7) & ~int64_t(7), fullHi = hi & ~int64_t(7);
            if (fullLo >= fullHi) {
                for (int64_t i = lo; i < hi; i += 8)
                    std::memset(row + i, 0, 16);
                return;
            }
            if (lo < fullLo)
                std::memset(row + lo, 0, 16);
            if (fullHi < hi)
                std::memset(row + fullHi, 0, 16);
        });
    }
    void Mark(int64_t values) {
        Rows(values, [this](int64_t k, int64_t lo, int64_t hi) {
            for (int64_t g = lo >> 3; g <= (hi - 1) >> 3; ++g)
                Masks[g] |= uint64_t(1) << k;
        });
    }
};

// The shared decoder. stopAfter < 0 disables the early stop of the memory form; overrunText is the
// error raised when an opcode would write past capacity. With a sink, zero runs and marks go through it.
TDecodeResult Decode(int16_t *dest, int64_t capacity, int64_t stopAfter, const uint8_t *data, int64_t size,
                     const char *overrunText, TGroupSink *sink = nullptr) {
    if (size < 1 || data[0] != PrefixDataStart)
        Fail("Prefix<>PrefixDataStart");
    const TTables &t = Tables();
    TDecodeResult r;
    int64_t cursor = 1;
    int64_t index = 0;
    while (cursor < size) {
        const uint8_t op = data[cursor];
        const TOpInfo info = t.Ops[op];
        if (info.Kind == OpEnd) {
            r.Ended = true;
            break;
        }
        if (stopAfter >= 0 && index > stopAfter)
            break;
        if (info.Kind == OpNone)
            Fail("unknown opcode 0x" + Hex2(op) + " at offset " + std::to_string(cursor));
        int64_t at = cursor + 1;
        int64_t n;
        if (info.CountBytes == 0) {
            n = op & 15;
        } else {
            if (size - at < info.CountBytes)
                Fail("count of opcode 0x" + Hex2(op) + " at offset " + std::to_string(cursor) +
                     " runs past the data");
            uint32_t c = 0;
            for (int i = 0; i < info.CountBytes; ++i)
                c |= static_cast<uint32_t>(data[at + i]) << (8 * i);
            n = c;
            at += info.CountBytes;
        }
        const int64_t payload = PayloadBytes(info.Kind, n);
        if (size - at < payload)
            Fail("payload of opcode 0x" + Hex2(op) + " at offset " + std::to_string(cursor) +
                 " runs past the data");
        const int64_t values = 4 * n;
        if (capacity - index < values)
            Fail(overrunText);
        const uint8_t *p = data + at;
        int16_t *out = dest + index;
        if (values == 0) {
            // A count of 0 yields nothing (and Dest may be empty).
        } else if (info.Kind == OpZero) {
            if (sink)
                sink->Zero(values);
            else
                std::memset(out, 0, static_cast<std::size_t>(values) * sizeof(int16_t));
        } else {
            switch (info.Kind) {
            case Op2:
                for (int64_t i = 0; i < payload; ++i)
                    std::memcpy(out + 4 * i, t.Fields2[p[i]].data(), 8);
                break;
            case Op4:
                for (int64_t i = 0; i < payload; ++i)
                    std::memcpy(out + 2 * i, t.Fields4[p[i]].data(), 4);
                break;
            case Op8:
                for (int64_t i = 0; i < payload; ++i)
                    out[i] = static_cast<int8_t>(p[i]);
                break;
            default: // Op12
                for (int64_t i = 0; i < payload / 3; ++i) {
                    const uint32_t w =
                        p[3 * i] | (p[3 * i + 1] << 8) | (static_cast<uint32_t>(p[3 * i + 2]) << 16);
                    out[2 * i] = static_cast<int16_t>(static_cast<int16_t>(w << 4) >> 4);
                    out[2 * i + 1] = static_cast<int16_t>(static_cast<int16_t>((w >> 12) << 4) >> 4);
                }
                break;
            }
            if (sink)
                sink->Mark(values);
        }
        index += values;
        cursor = at + payload;
    }
    r.Values = index;
    return r;
}

// ---- writers ----

void PutCount(uint8_t *dest, int64_t &cursor, TPackForm form, uint32_t n) {
    switch (form) {
    case TPackForm::Short:
        break;
    case TPackForm::Count8:
        dest[cursor++] = static_cast<uint8_t>(n);
        break;
    case TPackForm::Count16:
        dest[cursor++] = static_cast<uint8_t>(n);
        dest[cursor++] = static_cast<uint8_t>(n >> 8);
        break;
    case TPackForm::Count32:
        for (int i = 0; i < 4; ++i)
            dest[cursor++] = static_cast<uint8_t>(n >> (8 * i));
        break;
    }
}

uint8_t OpcodeOf(TPackKind kind, TPackForm form, uint32_t n) {
    const int k = static_cast<int>(kind);
    if (form == TPackForm::Short)
        return static_cast<uint8_t>(((k + 1) << 4) | (n & 15));
    return static_cast<uint8_t>(k * 3 + static_cast<int>(form));
}

int16_t SaturateToInt8(int16_t v) {
    return v < -128 ? -128 : (v > 127 ? 127 : v);
}

template <TPackKind Kind, TPackForm Form>
void WriteForm(const int16_t *src, uint8_t *dest, int64_t &cursor, uint32_t n) {
    dest[cursor++] = OpcodeOf(Kind, Form, n);
    PutCount(dest, cursor, Form, n);
    const int64_t values = 4 * static_cast<int64_t>(n);
    if constexpr (Kind == TPackKind::Bits2) {
        for (int64_t i = 0; i < values; i += 4) {
            uint8_t b = 0;
            for (int j = 0; j < 4; ++j) {
                const auto v = static_cast<uint16_t>(src[i + j]);
                b |= static_cast<uint8_t>(((v & 1) | ((v >> 7) & 2)) << (2 * j));
            }
            dest[cursor++] = b;
        }
    } else if constexpr (Kind == TPackKind::Bits4) {
        for (int64_t i = 0; i < values; i += 2) {
            const int lo = SaturateToInt8(src[i]) & 15;
            const int hi = SaturateToInt8(src[i + 1]) & 15;
            dest[cursor++] = static_cast<uint8_t>(lo | (hi << 4));
        }
    } else if constexpr (Kind == TPackKind::Bits8) {
        for (int64_t i = 0; i < values; ++i)
            dest[cursor++] = static_cast<uint8_t>(SaturateToInt8(src[i]));
    } else if constexpr (Kind == TPackKind::Bits12) {
        for (int64_t i = 0; i < values; i += 2) {
            const uint32_t w = (static_cast<uint32_t>(static_cast<uint16_t>(src[i + 1])) << 12) |
                               (static_cast<uint16_t>(src[i]) & 0xFFFu);
            dest[cursor++] = static_cast<uint8_t>(w);
            dest[cursor++] = static_cast<uint8_t>(w >> 8);
            dest[cursor++] = static_cast<uint8_t>(w >> 16);
        }
    }
}

} // namespace

// Rows: short form, u8, u16 and u32 counts; columns: the kinds in TPackKind order.
const TPackWriter PackWriters[4][5] = {
    {&WriteForm<TPackKind::ZeroRun, TPackForm::Short>, &WriteForm<TPackKind::Bits2, TPackForm::Short>,
     &WriteForm<TPackKind::Bits4, TPackForm::Short>, &WriteForm<TPackKind::Bits8, TPackForm::Short>,
     &WriteForm<TPackKind::Bits12, TPackForm::Short>},
    {&WriteForm<TPackKind::ZeroRun, TPackForm::Count8>, &WriteForm<TPackKind::Bits2, TPackForm::Count8>,
     &WriteForm<TPackKind::Bits4, TPackForm::Count8>, &WriteForm<TPackKind::Bits8, TPackForm::Count8>,
     &WriteForm<TPackKind::Bits12, TPackForm::Count8>},
    {&WriteForm<TPackKind::ZeroRun, TPackForm::Count16>, &WriteForm<TPackKind::Bits2, TPackForm::Count16>,
     &WriteForm<TPackKind::Bits4, TPackForm::Count16>, &WriteForm<TPackKind::Bits8, TPackForm::Count16>,
     &WriteForm<TPackKind::Bits12, TPackForm::Count16>},
    {&WriteForm<TPackKind::ZeroRun, TPackForm::Count32>, &WriteForm<TPackKind::Bits2, TPackForm::Count32>,
     &WriteForm<TPackKind::Bits4, TPackForm::Count32>, &WriteForm<TPackKind::Bits8, TPackForm::Count32>,
     &WriteForm<TPackKind::Bits12, TPackForm::Count32>},
};

int64_t PackedFormLength(TPackKind Kind, TPackForm Form, uint32_t n) {
    static constexpr int64_t head[4] = {1, 2, 3, 5};
    static constexpr uint8_t kinds[5] = {OpZero, Op2, Op4, Op8, Op12};
    return head[static_cast<int>(Form)] + PayloadBytes(kinds[static_cast<int>(Kind)], n);
}

int32_t UnPackSmallInts(std::span<int16_t> Dest, int32_t Count, const uint8_t *Data, int32_t DataSize) {
    const TDecodeResult r = Decode(Dest.data(), static_cast<int64_t>(Dest.size()), Count < 0 ? 0 : Count,
                                   Data, DataSize < 0 ? 0 : DataSize, "values run past the expected count");
    return static_cast<int32_t>(r.Values);
}

void UnPackSmallInts(std::span<int16_t> Dest, int32_t Count, TStream &Stream) {
    const char *what = "UnPackSmallInts";
    const int64_t size = Stream.CheckCount(Stream.ReadUInt32(what), 1, what);
    TDecodeResult r;
    {
        std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
        Stream.ReadBuffer(bytes.data(), size, what);
        const int64_t capacity = Count < 0 ? 0 : std::min<int64_t>(Count, static_cast<int64_t>(Dest.size()));
        r = Decode(Dest.data(), capacity, -1, bytes.data(), size, "DataCursor<>DataSize");
    }
    if (!r.Ended)
        Fail("Prefix<>PrefixDataEnd");
    if (r.Values != Count)
        Fail("DataCursor<>DataSize");
}

int32_t UnPackCoefPlane(std::span<int16_t> Dest, int32_t BlockCount, std::span<uint64_t> GroupMasks,
                        const uint8_t *Data, int32_t DataSize) {
    const int64_t count = int64_t(BlockCount) * 64;
    if (BlockCount <= 0 || static_cast<int64_t>(Dest.size()) < count + CoefPlaneSpareValues ||
        static_cast<int64_t>(GroupMasks.size()) < (BlockCount + 7) / 8)
        RaiseStreetError("UnPackCoefPlane", "plane buffers too small");
    std::fill(GroupMasks.begin(), GroupMasks.end(), 0);
    TGroupSink sink{Dest.data(), BlockCount, GroupMasks.data()};
    const TDecodeResult r = Decode(Dest.data(), count, count, Data, DataSize < 0 ? 0 : DataSize,
                                   "values run past the expected count", &sink);
    return static_cast<int32_t>(r.Values);
}
