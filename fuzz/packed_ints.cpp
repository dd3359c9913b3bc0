// Packed small-integer streams from outside bytes: byte 0 picks the entry point, bytes 1-2 the expected
// count; the rest is the stream (the stream form reads its own u32 byte count first). The frame codec's
// plane decoder is checked against the memory form: marked groups hold the same values, unmarked ones
// are zero there.
#include "engine/MyJpegPack.h"
#include "engine/Streams.h"
#include "engine/StreetError.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void CheckPlaneDecoder(const uint8_t *data, int32_t size, int32_t blocks) {
    const int32_t count = 64 * blocks;
    std::vector<int16_t> ref(static_cast<std::size_t>(count), 0);
    // Stale values stand where the plane decoder may leave groups unwritten.
    std::vector<int16_t> plane(static_cast<std::size_t>(count + CoefPlaneSpareValues), 0x5A5A);
    std::vector<uint64_t> masks(static_cast<std::size_t>((blocks + 7) / 8));
    int32_t got = -1, gotRef = -1;
    bool failed = false, failedRef = false;
    try {
        got = UnPackCoefPlane(plane, blocks, masks, data, size);
    } catch (const EStreetError &) {
        failed = true;
    }
    try {
        gotRef = UnPackSmallInts(ref, count, data, size);
    } catch (const EStreetError &) {
        failedRef = true;
    }
    if (failed != failedRef || got != gotRef)
        std::abort();
    if (failed || got != count)
        return;
    for (int32_t k = 0; k < 64; ++k)
        for (int32_t b = 0; b < blocks; ++b) {
            const std::size_t i = static_cast<std::size_t>(k) * blocks + b;
            const bool marked = (masks[b / 8] >> k) & 1;
            if (marked ? plane[i] != ref[i] : ref[i] != 0)
                std::abort();
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    const int32_t count = (data[1] | (data[2] << 8)) & 0x1FFF;
    const uint8_t *stream = data + 3;
    const auto streamSize = static_cast<int32_t>(size - 3);
    if (data[0] & 2) {
        CheckPlaneDecoder(stream, streamSize, 1 + count % 40);
        return 0;
    }
    // The destination is exactly as large as the caller's plane: any write past it is caught.
    std::vector<int16_t> dest(static_cast<std::size_t>(count));
    try {
        if (data[0] & 1) {
            TMemoryStream s(stream, static_cast<std::size_t>(streamSize));
            UnPackSmallInts(dest, count, s);
        } else {
            // With the high bit set, the thumbnail's early stop after the first 1/64 of the values.
            const int32_t stopAfter = (data[0] & 0x80) ? count / 64 : count;
            UnPackSmallInts(dest, stopAfter, stream, streamSize);
        }
    } catch (const EStreetError &) {
    }
    return 0;
}
