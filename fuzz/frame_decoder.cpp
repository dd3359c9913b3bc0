// Packed frames from outside bytes, through every decoding entry point of the frame codec: byte 0 picks
// the picture size, byte 1 the quality and the entry point (memory picture, stream picture, thumbnail);
// the rest is the frame. The decoded picture is also converted to pixels and sharpened.
#include "engine/MyJpegColorSpace.h"
#include "engine/OrsekPeg.h"
#include "engine/Streams.h"
#include "engine/StreetError.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    static const int sizes[4][2] = {{16, 16}, {32, 16}, {16, 48}, {64, 32}};
    const int w = sizes[data[0] & 3][0], h = sizes[data[0] & 3][1];
    const int quality = (data[1] & 15) - 3; // -3 .. 12: some are refused
    const int mode = (data[1] >> 4) % 3;
    const uint8_t *frame = data + 2;
    const auto frameSize = static_cast<int32_t>(size - 2);
    try {
        TOrsekPegCoder coder(w, h, quality);
        if (mode == 2) {
            std::vector<uint8_t> icon(static_cast<std::size_t>(coder.IconSize()));
            coder.UnPackIcon(icon.data(), coder.IconSize(), frame, frameSize);
            TFrameBitmap bmp;
            bmp.SetSize(w / 8, h / 8);
            YuvToBitmap(bmp, icon.data(), w / 8, h / 8);
            return 0;
        }
        std::vector<uint8_t> yuv(static_cast<std::size_t>(coder.ImageSize()));
        if (mode == 0) {
            coder.UnPackImage(yuv.data(), coder.ImageSize(), frame, frameSize);
        } else {
            TMemoryStream s(frame, static_cast<std::size_t>(frameSize));
            coder.UnPackImageFromStream(yuv.data(), coder.ImageSize(), s);
        }
        SharpenYuvPlane(yuv.data(), w, h, static_cast<uint16_t>(data[0] << 8));
        TFrameBitmap bmp;
        bmp.SetSize(w, h);
        YuvToBitmap(bmp, yuv.data(), w, h);
    } catch (const EStreetError &) {
    }
    return 0;
}
