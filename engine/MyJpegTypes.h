#pragma once
// Shared types of the frame codec: the decoded picture buffer and the sizes every unit agrees on.
#include <cstddef>
#include <cstdint>
#include <vector>

// A 32-bit picture as the codec's colour conversion writes it: 4 bytes per pixel in the order blue,
// green, red, 0; row 0 is the top row; rows Stride bytes apart. It stands for a 32-bit device-independent
// bitmap: ScanLine(y) is the bitmap's scan line y.
struct TFrameBitmap {
    int32_t Width = 0;
    int32_t Height = 0;
    std::ptrdiff_t Stride = 0;
    std::vector<uint8_t> Bits;

    // Sets the size and clears every pixel to 0.
    void SetSize(int32_t width, int32_t height) {
        Width = width > 0 ? width : 0;
        Height = height > 0 ? height : 0;
        Stride = static_cast<std::ptrdiff_t>(Width) * 4;
        Bits.assign(static_cast<std::size_t>(Stride) * static_cast<std::size_t>(Height), 0);
    }
    uint8_t *ScanLine(int32_t y) { return Bits.data() + y * Stride; }
    const uint8_t *ScanLine(int32_t y) const { return Bits.data() + y * Stride; }
};

// Coefficient planes carry this many spare bytes past their values: the block kernels read groups of
// blocks with whole 16-byte loads.
inline constexpr int32_t CoefPlaneMarginBytes = 64;
