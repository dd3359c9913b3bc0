#pragma once
// Fixture encoder of the frame codec (tests and tools only). It makes what the program only reads:
// packed small-integer streams, coefficient planes from pictures, whole packed frames.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace codecfixture {

// How counts are written: the compact choice (short forms up to 15 groups, then the narrowest long form),
// or always the given long-form width (to exercise the long forms).
enum class TCountStyle { Compact, Long8, Long16, Long32 };

// Packs values (their number a multiple of 4) into a stream: 0x00, opcodes, 0xFF. Each group of four
// takes the narrowest kind that holds it (zero run, 2, 4, 8 or 12 bits); neighbouring groups of one kind
// share an opcode. Values must lie in -2048..2047.
std::vector<uint8_t> PackInts(std::span<const int16_t> values, TCountStyle style = TCountStyle::Compact);

// The quantisation multiplier of coefficient k at a quality: 2^(base + quality + 2).
int Multiplier(int k, int quality);

// Forward transform and quantisation of a plane of samples (width and height multiples of 8) into the
// coefficient-major layout: value k * blocks + b is coefficient k of block b (blocks row by row).
std::vector<int16_t> EncodePlane(const uint8_t *samples, int width, int height, std::ptrdiff_t stride,
                                 int quality);

// A packed frame from three coefficient planes in the order Y, V, U: per plane a u32 byte count and
// its packed stream.
std::vector<uint8_t> PackFrame(std::span<const int16_t> y, std::span<const int16_t> v,
                               std::span<const int16_t> u, TCountStyle style = TCountStyle::Compact);

// Encodes a YUV 4:2:0 buffer (Y, then V, then U) of width x height (multiples of 16).
std::vector<uint8_t> EncodeFrame(const uint8_t *yuv, int width, int height, int quality);

// Converts 32-bit blue, green, red, x pixels to a YUV 4:2:0 buffer in the decoder's colour space
// (chroma offsets around 127; each chroma sample the mean of its 2x2 pixels).
std::vector<uint8_t> BgrxToYuv420(const uint8_t *bgrx, int width, int height, std::ptrdiff_t stride);

// A test picture of width x height BGRX pixels: gradients, hard edges, fine texture and noise from a seed.
std::vector<uint8_t> TestPicture(int width, int height, uint32_t seed);

} // namespace codecfixture
