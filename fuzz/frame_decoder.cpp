// Packed frames from outside bytes, through every decoding entry point of the frame codec: byte 0 picks
// the picture size, byte 1 the quality and the entry point (memory picture, stream picture, thumbnail);
// the rest is the frame. Fast paths are checked against the reference paths on every decoded picture.
#include "engine/MyJpegColorSpace.h"
#include "engine/OrsekPeg.h"
#include "engine/Streams.h"
#include "engine/StreetError.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
            // The fast paths must give the reference bytes, also in a coder that decoded earlier inputs
            // (its planes then hold stale values in groups the new frame leaves out): one kept coder per
            // size and quality decodes, a fresh reference coder checks.
            static std::unique_ptr<TOrsekPegCoder> kept[4][16];
            auto &slot = kept[data[0] & 3][data[1] & 15];
            if (!slot)
                slot = std::make_unique<TOrsekPegCoder>(w, h, quality);
            TOrsekPegCoder &fast = *slot;
            bool fastFailed = false, refFailed = false;
            try {
                fast.UnPackImage(yuv.data(), fast.ImageSize(), frame, frameSize);
            } catch (const EStreetError &) {
                fastFailed = true;
            }
            TOrsekPegCoder ref(w, h, quality);
            ref.SetReferencePaths(true);
            std::vector<uint8_t> refYuv(yuv.size());
            try {
                ref.UnPackImage(refYuv.data(), ref.ImageSize(), frame, frameSize);
            } catch (const EStreetError &) {
                refFailed = true;
            }
            if (fastFailed != refFailed || (!fastFailed && yuv != refYuv))
                std::abort();
            if (fastFailed)
                return 0;
        } else {
            TMemoryStream s(frame, static_cast<std::size_t>(frameSize));
            coder.UnPackImageFromStream(yuv.data(), coder.ImageSize(), s);
        }
        // Sharpening and colour conversion: the fast paths against the reference on the decoded bytes.
        const auto factor = static_cast<uint16_t>((data[0] << 8) | (size & 0xFF));
        std::vector<uint8_t> sharpRef = yuv;
        SharpenYuvPlane(yuv.data(), w, h, factor);
        SharpenYuvPlaneRef(sharpRef.data(), w, h, factor);
        if (sharpRef != yuv)
            std::abort();
        TFrameBitmap bmp, bmpRef;
        bmp.SetSize(w, h);
        bmpRef.SetSize(w, h);
        YuvToBitmap(bmp, yuv.data(), w, h);
        YuvToBgrxRef(yuv.data(), w, h, bmpRef.ScanLine(0), bmpRef.Stride);
        if (bmp.Bits != bmpRef.Bits)
            std::abort();
    } catch (const EStreetError &) {
    }
    return 0;
}
