#include "engine/MyJpegOutBuf.h"

#include <cstring>

void GatherBlock(const int16_t *Coefs, int32_t BlockCount, int32_t Block, int16_t F[64]) {
    for (int k = 0; k < 64; ++k)
        F[k] = Coefs[static_cast<std::ptrdiff_t>(k) * BlockCount + Block];
}

void StoreBlock(const int16_t X[64], uint8_t *Dest, std::ptrdiff_t Stride) {
    for (int y = 0; y < 8; ++y) {
        uint8_t *row = Dest + y * Stride;
        for (int x = 0; x < 8; ++x) {
            const int v = X[8 * y + x];
            row[x] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
}

#if defined(__SSE2__)
void StoreBlocks8(const __m128i Samples[64], uint8_t *const Dest[8], int Lanes, std::ptrdiff_t Stride) {
    for (int y = 0; y < 8; ++y) {
        const __m128i *r = Samples + 8 * y;
        // 8x8 transpose of 16-bit lanes: t[L] = block L's row y.
        const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
        const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
        const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
        const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
        const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
        const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
        const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
        const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
        // Lanes 0,1 | 2,3 | 4,5 | 6,7 packed to bytes, two block rows per register.
        const __m128i p01 = _mm_packus_epi16(_mm_unpacklo_epi64(b0, b4), _mm_unpackhi_epi64(b0, b4));
        const __m128i p23 = _mm_packus_epi16(_mm_unpacklo_epi64(b1, b5), _mm_unpackhi_epi64(b1, b5));
        const __m128i p45 = _mm_packus_epi16(_mm_unpacklo_epi64(b2, b6), _mm_unpackhi_epi64(b2, b6));
        const __m128i p67 = _mm_packus_epi16(_mm_unpacklo_epi64(b3, b7), _mm_unpackhi_epi64(b3, b7));
        const std::ptrdiff_t off = y * Stride;
        if (Lanes == 8) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[0] + off), p01);
            _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[1] + off), _mm_srli_si128(p01, 8));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[2] + off), p23);
            _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[3] + off), _mm_srli_si128(p23, 8));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[4] + off), p45);
            _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[5] + off), _mm_srli_si128(p45, 8));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[6] + off), p67);
            _mm_storel_epi64(reinterpret_cast<__m128i *>(Dest[7] + off), _mm_srli_si128(p67, 8));
        } else {
            alignas(16) uint8_t rows[64];
            _mm_store_si128(reinterpret_cast<__m128i *>(rows), p01);
            _mm_store_si128(reinterpret_cast<__m128i *>(rows + 16), p23);
            _mm_store_si128(reinterpret_cast<__m128i *>(rows + 32), p45);
            _mm_store_si128(reinterpret_cast<__m128i *>(rows + 48), p67);
            for (int l = 0; l < Lanes; ++l)
                std::memcpy(Dest[l] + off, rows + 8 * l, 8);
        }
    }
}
#endif
