#include "Bmp.h"

namespace datagen {

namespace {

void Put16(std::vector<uint8_t> &b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t> &b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

std::vector<uint8_t> EncodeBmp24(int width, int height, const std::vector<TRgb> &pixels) {
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> b;
    b.reserve(54 + imageSize);
    // BITMAPFILEHEADER
    b.push_back('B');
    b.push_back('M');
    Put32(b, 54 + imageSize);
    Put32(b, 0);
    Put32(b, 54);
    // BITMAPINFOHEADER: positive height (bottom-up), one plane, 24 bits, no compression, 72 dpi.
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(width));
    Put32(b, static_cast<uint32_t>(height));
    Put16(b, 1);
    Put16(b, 24);
    Put32(b, 0);
    Put32(b, imageSize);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const TRgb &p = pixels[static_cast<std::size_t>(y) * width + x];
            b.push_back(p.b);
            b.push_back(p.g);
            b.push_back(p.r);
        }
        for (uint32_t i = static_cast<uint32_t>(width) * 3; i < stride; ++i)
            b.push_back(0);
    }
    return b;
}

} // namespace datagen
