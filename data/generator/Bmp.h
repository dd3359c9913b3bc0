#pragma once
// Uncompressed 24-bit Windows bitmaps, as the texture loader reads them.
#include <cstdint>
#include <vector>

namespace datagen {

struct TRgb {
    uint8_t r = 0, g = 0, b = 0;
};

// pixels: width * height, rows from the top. The file stores rows bottom-up, each padded to 4 bytes.
std::vector<uint8_t> EncodeBmp24(int width, int height, const std::vector<TRgb> &pixels);

} // namespace datagen
