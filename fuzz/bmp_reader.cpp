// BMP files from outside bytes: every input either loads into a bitmap that can be converted and written
// again, or is refused with EBitmapError.
#include "platform/gdi/Bitmap.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TBitmap b;
    try {
        b.LoadFromBytes(data, size, "fuzz.bmp");
    } catch (const EBitmapError &) {
        return 0;
    }
    // Whatever loaded must be usable: every pixel decodes and the bitmap writes and reads back.
    (void)b.ToQImage();
    TBitmap again;
    const std::vector<uint8_t> bytes = b.SaveToBytes();
    again.LoadFromBytes(bytes.data(), bytes.size());
    if (again.Width() != b.Width() || again.Height() != b.Height() || again.PixelFormat() != b.PixelFormat())
        __builtin_trap();
    return 0;
}
