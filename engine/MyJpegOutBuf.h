#pragma once
// Moving 8x8 blocks between the coefficient-major planes and the picture: coefficient k of block b is
// element k*BlockCount + b of its plane; a decoded block is stored saturated to 0..255, eight bytes per
// row, rows Stride bytes apart.
#include <cstddef>
#include <cstdint>

void GatherBlock(const int16_t *Coefs, int32_t BlockCount, int32_t Block, int16_t F[64]);
void StoreBlock(const int16_t X[64], uint8_t *Dest, std::ptrdiff_t Stride);
// Where block b of a plane of BlocksX blocks per row starts in the picture.
inline uint8_t *BlockDest(uint8_t *Plane, std::ptrdiff_t Stride, int32_t BlocksX, int32_t Block) {
    return Plane + static_cast<std::ptrdiff_t>(Block / BlocksX) * 8 * Stride + (Block % BlocksX) * 8;
}

#if defined(__SSE2__)
#include <emmintrin.h>
// Stores eight blocks held lane-wise (Samples[8*y + x] holds sample (x, y) of block L in lane L) to
// Dest[0..Lanes-1]. The 8x8 transpose per row turns lanes back into block rows.
void StoreBlocks8(const __m128i Samples[64], uint8_t *const Dest[8], int Lanes, std::ptrdiff_t Stride);
#endif
