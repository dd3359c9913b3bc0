#pragma once
// Dequantisation and inverse transform of the frame codec. The transform is a fixed-point 8-point inverse
// DCT applied to columns, then to the columns of the result; each pass keeps 16-bit lanes with the high
// half of the products, rounding and wrap-around exactly as stored frames were made with, so the output
// is bit-exact. The reference path is plain scalar code; the SSE2 path must give the same bytes.
#include <cstddef>
#include <cstdint>

// C[k][n] = 16384 * sqrt(2) * cos((2n + 1) * k * pi / 16) rounded, C[0][n] = 16384.
extern const int16_t IdctConst[8][4];

// One pass: a[0..7] (coefficients, a[k] at a[k * Step]) to x[0..7].
void IdctPass(const int16_t *a, int Step, int16_t x[8]);
// The block transform in place: dequantised coefficients F[8u + v] to samples X[8y + x].
void IdctBlock(int16_t F[64]);

// Decodes a whole coefficient-major plane of BlocksX by BlocksY blocks: dequantises with M, transforms
// and stores each block saturated at its place in Dest (rows Stride bytes apart).
// Coefs must be readable for 64*BlocksX*BlocksY values plus 16 (the SIMD paths load whole groups).
void DequantIdctPlaneRef(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                         uint8_t *Dest, std::ptrdiff_t Stride);
// The fast path may be given the group masks of the plane decoder (UnPackCoefPlane): then only the groups
// of eight blocks marked there are read and every other group counts as zero. Without masks it reads all.
void DequantIdctPlaneSse2(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                          uint8_t *Dest, std::ptrdiff_t Stride, const uint64_t *GroupMasks = nullptr);
// Sixteen blocks at a time where the processor has AVX2 (HaveAvx2Paths); else the SSE2 path.
void DequantIdctPlaneAvx2(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                          uint8_t *Dest, std::ptrdiff_t Stride, const uint64_t *GroupMasks = nullptr);
bool HaveAvx2Paths();
// The fastest path the processor has.
void DequantIdctPlane(const int16_t *Coefs, int32_t BlocksX, int32_t BlocksY, const int16_t M[64],
                      uint8_t *Dest, std::ptrdiff_t Stride, const uint64_t *GroupMasks = nullptr);
// Masks for a plane decoded some other way: bit k of GroupMasks[g] set when coefficient k of any block
// 8g..8g+7 is non-zero ((BlockCount + 7) / 8 entries).
void ComputeGroupMasks(const int16_t *Coefs, int32_t BlockCount, uint64_t *GroupMasks);
// Whether DequantIdctPlaneSse2 is a real SIMD path in this build (else it is the reference).
bool HaveSse2Paths();
