#include "engine/MyJpegDCT_mmx.h"

#include "engine/MyJpegOutBuf.h"

#include <algorithm>
#include <cstring>

// clang-format off
const int16_t IdctConst[8][4] = {
    {16384,  16384,  16384,  16384},
    {22725,  19266,  12873,   4520},
    {21407,   8867,  -8867, -21407},
    {19266,  -4520, -22725, -12873},
    {16384, -16384, -16384,  16384},
    {12873, -22725,   4520,  19266},
    { 8867, -21407,  21407,  -8867},
    { 4520, -12873,  19266, -22725},
};
// clang-format on

void IdctPass(const int16_t *a, int Step, int16_t x[8]) {
    int16_t e[4] = {}, o[4] = {};
    for (int k = 0; k < 8; ++k) {
        const int32_t ak = a[k * Step];
        for (int n = 0; n < 4; ++n) {
            // The high half of the 32-bit product (an arithmetic shift rounds toward minus infinity),
            // then a rounding halving step.
            const auto t = static_cast<int16_t>((((ak * IdctConst[k][n]) >> 16) + 1) >> 1);
            int16_t &acc = (k & 1) ? o[n] : e[n];
            acc = static_cast<int16_t>(acc + t);
        }
    }
    for (int n = 0; n < 4; ++n) {
        x[n] = static_cast<int16_t>(e[n] + o[n]);
        x[7 - n] = static_cast<int16_t>(e[n] - o[n]);
    }
}

void IdctBlock(int16_t F[64]) {
    int16_t mid[64];
    for (int j = 0; j < 8; ++j)
        IdctPass(F + j, 8, mid + 8 * j);
    for (int j = 0; j < 8; ++j)
        IdctPass(mid + j, 8, F + 8 * j);
}

void DequantIdctPlaneRef(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                         uint8_t *Dest, std::ptrdiff_t Stride) {
    const int32_t count = BlocksX * BlocksY;
    int16_t f[64];
    for (int32_t b = 0; b < count; ++b) {
        GatherBlock(Coefs, count, b, f);
        for (int k = 0; k < 64; ++k)
            f[k] = static_cast<int16_t>(f[k] * M[k]);
        IdctBlock(f);
        StoreBlock(f, BlockDest(Dest, Stride, BlocksX, b), Stride);
    }
}

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

// One pass over eight blocks at once, one block per 16-bit lane: a[k * Step] is coefficient k of every
// block. Only the coefficients named in Mask take part (a zero coefficient adds exactly 0).
template <int Step>
inline __attribute__((always_inline)) void PassLanes(const __m128i *a, unsigned Mask, __m128i *x) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(1);
    __m128i e0 = zero, e1 = zero, e2 = zero, e3 = zero, o0 = zero, o1 = zero, o2 = zero, o3 = zero;
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) {
        if (!((Mask >> k) & 1))
            continue;
        const __m128i ak = _mm_loadu_si128(a + k * Step);
        if (k == 0) {
            // 16384 * a >> 16 is a >> 2 exactly.
            const __m128i t = _mm_srai_epi16(_mm_add_epi16(_mm_srai_epi16(ak, 2), one), 1);
            e0 = _mm_add_epi16(e0, t);
            e1 = _mm_add_epi16(e1, t);
            e2 = _mm_add_epi16(e2, t);
            e3 = _mm_add_epi16(e3, t);
            continue;
        }
        if (k == 4) {
            // C[4] is 16384, -16384, -16384, 16384: two distinct terms.
            const __m128i tp = _mm_srai_epi16(_mm_add_epi16(_mm_srai_epi16(ak, 2), one), 1);
            const __m128i tn =
                _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(ak, _mm_set1_epi16(-16384)), one), 1);
            e0 = _mm_add_epi16(e0, tp);
            e1 = _mm_add_epi16(e1, tn);
            e2 = _mm_add_epi16(e2, tn);
            e3 = _mm_add_epi16(e3, tp);
            continue;
        }
        const __m128i t0 =
            _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(ak, _mm_set1_epi16(IdctConst[k][0])), one), 1);
        const __m128i t1 =
            _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(ak, _mm_set1_epi16(IdctConst[k][1])), one), 1);
        const __m128i t2 =
            _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(ak, _mm_set1_epi16(IdctConst[k][2])), one), 1);
        const __m128i t3 =
            _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(ak, _mm_set1_epi16(IdctConst[k][3])), one), 1);
        if (k & 1) {
            o0 = _mm_add_epi16(o0, t0);
            o1 = _mm_add_epi16(o1, t1);
            o2 = _mm_add_epi16(o2, t2);
            o3 = _mm_add_epi16(o3, t3);
        } else {
            e0 = _mm_add_epi16(e0, t0);
            e1 = _mm_add_epi16(e1, t1);
            e2 = _mm_add_epi16(e2, t2);
            e3 = _mm_add_epi16(e3, t3);
        }
    }
    x[0] = _mm_add_epi16(e0, o0);
    x[7] = _mm_sub_epi16(e0, o0);
    x[1] = _mm_add_epi16(e1, o1);
    x[6] = _mm_sub_epi16(e1, o1);
    x[2] = _mm_add_epi16(e2, o2);
    x[5] = _mm_sub_epi16(e2, o2);
    x[3] = _mm_add_epi16(e3, o3);
    x[4] = _mm_sub_epi16(e3, o3);
}

} // namespace

void DequantIdctPlaneSse2(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                          uint8_t *Dest, std::ptrdiff_t Stride, const uint64_t *GroupMasks) {
    const int32_t count = BlocksX * BlocksY;
    alignas(16) __m128i v[64];
    alignas(16) __m128i mid[64];
    const __m128i zero = _mm_setzero_si128();
    auto at = [Coefs, count](int k, int32_t b) {
        return reinterpret_cast<const __m128i *>(Coefs + static_cast<std::ptrdiff_t>(k) * count + b);
    };
    for (int32_t b0 = 0; b0 < count; b0 += 8) {
        const int lanes = std::min(8, count - b0);
        // Gather coefficient k of eight consecutive blocks, dequantise and note which are non-zero. Lanes
        // past the plane's last block hold whatever follows it: they are computed but never stored.
        uint64_t nonZero = 0;
        if (GroupMasks) {
            // Only the vectors the unpacker wrote are read; the others are zero and never used below.
            nonZero = GroupMasks[b0 >> 3];
            // The coefficient streams are too many for the hardware prefetcher: fetch ahead what a later
            // group will read.
            if (b0 + 64 < count)
                for (uint64_t ahead = GroupMasks[(b0 >> 3) + 8]; ahead; ahead &= ahead - 1)
                    _mm_prefetch(reinterpret_cast<const char *>(at(__builtin_ctzll(ahead), b0 + 64)),
                                 _MM_HINT_T0);
            for (uint64_t bits = nonZero; bits; bits &= bits - 1) {
                const int k = __builtin_ctzll(bits);
                v[k] = _mm_mullo_epi16(_mm_loadu_si128(at(k, b0)), _mm_set1_epi16(M[k]));
            }
        } else {
            if ((b0 & 31) == 0 && b0 + 64 < count)
                for (int k = 0; k < 64; ++k)
                    _mm_prefetch(reinterpret_cast<const char *>(at(k, b0 + 64)), _MM_HINT_T0);
            for (int k = 0; k < 64; ++k) {
                const __m128i d = _mm_mullo_epi16(_mm_loadu_si128(at(k, b0)), _mm_set1_epi16(M[k]));
                v[k] = d;
                nonZero |= static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(d, zero)) != 0xFFFF) << k;
            }
        }
        // First pass over the columns: column j has coefficients 8k + j; its result is row j of mid.
        unsigned rowMask = 0;
        for (int j = 0; j < 8; ++j) {
            unsigned colMask = 0;
            for (int k = 0; k < 8; ++k)
                colMask |= static_cast<unsigned>((nonZero >> (8 * k + j)) & 1) << k;
            if (colMask == 0) {
                for (int n = 0; n < 8; ++n)
                    mid[8 * j + n] = zero;
                continue;
            }
            rowMask |= 1u << j;
            PassLanes<8>(v + j, colMask, mid + 8 * j);
        }
        // Second pass over the columns of mid; a zero row of mid adds nothing.
        for (int j = 0; j < 8; ++j)
            PassLanes<8>(mid + j, rowMask, v + 8 * j);
        uint8_t *dest[8];
        for (int l = 0; l < 8; ++l)
            dest[l] = l < lanes ? BlockDest(Dest, Stride, BlocksX, b0 + l) : nullptr;
        StoreBlocks8(v, dest, lanes, Stride);
    }
}

bool HaveSse2Paths() {
    return true;
}
#else
void DequantIdctPlaneSse2(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                          uint8_t *Dest, std::ptrdiff_t Stride, const uint64_t *GroupMasks) {
    // Without SIMD: the reference per block, with the groups a mask calls zero read as zero.
    const int32_t count = BlocksX * BlocksY;
    int16_t f[64];
    for (int32_t b = 0; b < count; ++b) {
        GatherBlock(Coefs, count, b, f);
        for (int k = 0; k < 64; ++k) {
            const bool present = !GroupMasks || ((GroupMasks[b >> 3] >> k) & 1);
            f[k] = present ? static_cast<int16_t>(f[k] * M[k]) : 0;
        }
        IdctBlock(f);
        StoreBlock(f, BlockDest(Dest, Stride, BlocksX, b), Stride);
    }
}
bool HaveSse2Paths() {
    return false;
}
#endif

// ---- AVX2: the same computation on sixteen blocks at once, chosen at run time where the processor has it.
// 256-bit unpack and pack instructions work within 128-bit halves, so the low half carries blocks 0..7 and
// the high half blocks 8..15 through exactly the SSE2 steps.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SP_AVX2 __attribute__((target("avx2")))

namespace {

template <int Step> SP_AVX2 inline void PassLanes16(const __m256i *a, unsigned Mask, __m256i *x) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi16(1);
    __m256i e0 = zero, e1 = zero, e2 = zero, e3 = zero, o0 = zero, o1 = zero, o2 = zero, o3 = zero;
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) {
        if (!((Mask >> k) & 1))
            continue;
        const __m256i ak = _mm256_loadu_si256(a + k * Step);
        if (k == 0) {
            const __m256i t = _mm256_srai_epi16(_mm256_add_epi16(_mm256_srai_epi16(ak, 2), one), 1);
            e0 = _mm256_add_epi16(e0, t);
            e1 = _mm256_add_epi16(e1, t);
            e2 = _mm256_add_epi16(e2, t);
            e3 = _mm256_add_epi16(e3, t);
            continue;
        }
        if (k == 4) {
            const __m256i tp = _mm256_srai_epi16(_mm256_add_epi16(_mm256_srai_epi16(ak, 2), one), 1);
            const __m256i tn = _mm256_srai_epi16(
                _mm256_add_epi16(_mm256_mulhi_epi16(ak, _mm256_set1_epi16(-16384)), one), 1);
            e0 = _mm256_add_epi16(e0, tp);
            e1 = _mm256_add_epi16(e1, tn);
            e2 = _mm256_add_epi16(e2, tn);
            e3 = _mm256_add_epi16(e3, tp);
            continue;
        }
        __m256i t[4];
        for (int n = 0; n < 4; ++n)
            t[n] = _mm256_srai_epi16(
                _mm256_add_epi16(_mm256_mulhi_epi16(ak, _mm256_set1_epi16(IdctConst[k][n])), one), 1);
        if (k & 1) {
            o0 = _mm256_add_epi16(o0, t[0]);
            o1 = _mm256_add_epi16(o1, t[1]);
            o2 = _mm256_add_epi16(o2, t[2]);
            o3 = _mm256_add_epi16(o3, t[3]);
        } else {
            e0 = _mm256_add_epi16(e0, t[0]);
            e1 = _mm256_add_epi16(e1, t[1]);
            e2 = _mm256_add_epi16(e2, t[2]);
            e3 = _mm256_add_epi16(e3, t[3]);
        }
    }
    x[0] = _mm256_add_epi16(e0, o0);
    x[7] = _mm256_sub_epi16(e0, o0);
    x[1] = _mm256_add_epi16(e1, o1);
    x[6] = _mm256_sub_epi16(e1, o1);
    x[2] = _mm256_add_epi16(e2, o2);
    x[5] = _mm256_sub_epi16(e2, o2);
    x[3] = _mm256_add_epi16(e3, o3);
    x[4] = _mm256_sub_epi16(e3, o3);
}

SP_AVX2 void StoreBlocks16(const __m256i Samples[64], uint8_t *const Dest[16], int Lanes,
                           std::ptrdiff_t Stride) {
    for (int y = 0; y < 8; ++y) {
        const __m256i *r = Samples + 8 * y;
        const __m256i a0 = _mm256_unpacklo_epi16(r[0], r[1]), a1 = _mm256_unpackhi_epi16(r[0], r[1]);
        const __m256i a2 = _mm256_unpacklo_epi16(r[2], r[3]), a3 = _mm256_unpackhi_epi16(r[2], r[3]);
        const __m256i a4 = _mm256_unpacklo_epi16(r[4], r[5]), a5 = _mm256_unpackhi_epi16(r[4], r[5]);
        const __m256i a6 = _mm256_unpacklo_epi16(r[6], r[7]), a7 = _mm256_unpackhi_epi16(r[6], r[7]);
        const __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
        const __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
        const __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
        const __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
        // Per half: rows of blocks (0,1), (2,3), (4,5), (6,7) of that half.
        const __m256i p[4] = {
            _mm256_packus_epi16(_mm256_unpacklo_epi64(b0, b4), _mm256_unpackhi_epi64(b0, b4)),
            _mm256_packus_epi16(_mm256_unpacklo_epi64(b1, b5), _mm256_unpackhi_epi64(b1, b5)),
            _mm256_packus_epi16(_mm256_unpacklo_epi64(b2, b6), _mm256_unpackhi_epi64(b2, b6)),
            _mm256_packus_epi16(_mm256_unpacklo_epi64(b3, b7), _mm256_unpackhi_epi64(b3, b7))};
        const std::ptrdiff_t off = y * Stride;
        if (Lanes == 16) {
            for (int i = 0; i < 4; ++i) {
                const __m128i lo = _mm256_castsi256_si128(p[i]), hi = _mm256_extracti128_si256(p[i], 1);
                _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[2 * i] + off), lo);
                _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[2 * i + 1] + off), _mm_srli_si128(lo, 8));
                _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[8 + 2 * i] + off), hi);
                _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[9 + 2 * i] + off), _mm_srli_si128(hi, 8));
            }
        } else {
            alignas(32) uint8_t rows[128];
            for (int i = 0; i < 4; ++i) {
                _mm_store_si128(reinterpret_cast<__m128i *>(rows + 16 * i), _mm256_castsi256_si128(p[i]));
                _mm_store_si128(reinterpret_cast<__m128i *>(rows + 64 + 16 * i),
                                _mm256_extracti128_si256(p[i], 1));
            }
            for (int l = 0; l < Lanes; ++l)
                std::memcpy(Dest[l] + off, rows + 8 * l, 8);
        }
    }
}

} // namespace

SP_AVX2 void DequantIdctPlaneAvx2(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                                  uint8_t *Dest, std::ptrdiff_t Stride, const uint64_t *GroupMasks) {
    const int32_t count = BlocksX * BlocksY;
    const int32_t groups = (count + 7) / 8;
    alignas(32) __m256i v[64];
    alignas(32) __m256i mid[64];
    const __m256i zero = _mm256_setzero_si256();
    auto at = [Coefs, count](int k, int32_t b) {
        return reinterpret_cast<const __m256i *>(Coefs + static_cast<std::ptrdiff_t>(k) * count + b);
    };
    for (int32_t b0 = 0; b0 < count; b0 += 16) {
        const int lanes = std::min(16, count - b0);
        const int32_t g = b0 >> 3;
        uint64_t nonZero = 0;
        if (GroupMasks) {
            // Two groups of eight: a vector is read where either group holds it, and the half of a group
            // that does not is cleared (it may hold an earlier picture's values).
            const uint64_t m0 = GroupMasks[g], m1 = g + 1 < groups ? GroupMasks[g + 1] : 0;
            nonZero = m0 | m1;
            if (g + 17 < groups)
                for (uint64_t ahead = GroupMasks[g + 16] | GroupMasks[g + 17]; ahead; ahead &= ahead - 1)
                    _mm_prefetch(reinterpret_cast<const char *>(at(__builtin_ctzll(ahead), b0 + 128)),
                                 _MM_HINT_T0);
            for (uint64_t bits = nonZero; bits; bits &= bits - 1) {
                const int k = __builtin_ctzll(bits);
                __m256i c = _mm256_loadu_si256(at(k, b0));
                if (!(((m0 & m1) >> k) & 1)) {
                    const long long lo = -static_cast<long long>((m0 >> k) & 1);
                    const long long hi = -static_cast<long long>((m1 >> k) & 1);
                    c = _mm256_and_si256(c, _mm256_set_epi64x(hi, hi, lo, lo));
                }
                v[k] = _mm256_mullo_epi16(c, _mm256_set1_epi16(M[k]));
            }
        } else {
            for (int k = 0; k < 64; ++k) {
                const __m256i d = _mm256_mullo_epi16(_mm256_loadu_si256(at(k, b0)), _mm256_set1_epi16(M[k]));
                v[k] = d;
                const auto zeroLanes =
                    static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(d, zero)));
                nonZero |= static_cast<uint64_t>(zeroLanes != 0xFFFFFFFFu) << k;
            }
        }
        unsigned rowMask = 0;
        for (int j = 0; j < 8; ++j) {
            unsigned colMask = 0;
            for (int k = 0; k < 8; ++k)
                colMask |= static_cast<unsigned>((nonZero >> (8 * k + j)) & 1) << k;
            if (colMask == 0) {
                for (int n = 0; n < 8; ++n)
                    mid[8 * j + n] = zero;
                continue;
            }
            rowMask |= 1u << j;
            PassLanes16<8>(v + j, colMask, mid + 8 * j);
        }
        for (int j = 0; j < 8; ++j)
            PassLanes16<8>(mid + j, rowMask, v + 8 * j);
        uint8_t *dest[16];
        for (int l = 0; l < 16; ++l)
            dest[l] = l < lanes ? BlockDest(Dest, Stride, BlocksX, b0 + l) : nullptr;
        StoreBlocks16(v, dest, lanes, Stride);
    }
}

bool HaveAvx2Paths() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#else
void DequantIdctPlaneAvx2(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                          uint8_t *Dest, std::ptrdiff_t Stride, const uint64_t *GroupMasks) {
    DequantIdctPlaneSse2(Coefs, BlocksX, BlocksY, M, Dest, Stride, GroupMasks);
}
bool HaveAvx2Paths() {
    return false;
}
#endif

void DequantIdctPlane(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                      uint8_t *Dest, std::ptrdiff_t Stride, const uint64_t *GroupMasks) {
    if (HaveAvx2Paths())
        DequantIdctPlaneAvx2(Coefs, BlocksX, BlocksY, M, Dest, Stride, GroupMasks);
    else
        DequantIdctPlaneSse2(Coefs, BlocksX, BlocksY, M, Dest, Stride, GroupMasks);
}

void ComputeGroupMasks(const int16_t *Coefs, int32_t BlockCount, uint64_t *GroupMasks) {
    const int32_t groups = (BlockCount + 7) / 8;
    for (int32_t g = 0; g < groups; ++g)
        GroupMasks[g] = 0;
    for (int k = 0; k < 64; ++k) {
        const int16_t *row = Coefs + static_cast<std::ptrdiff_t>(k) * BlockCount;
        for (int32_t g = 0; g < groups; ++g) {
            int any = 0;
            for (int32_t b = 8 * g; b < std::min(BlockCount, 8 * g + 8); ++b)
                any |= row[b];
            if (any)
                GroupMasks[g] |= uint64_t(1) << k;
        }
    }
}
