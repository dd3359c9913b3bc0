// Packed small-integer streams from outside bytes: byte 0 picks the entry point, bytes 1-2 the expected
// count; the rest is the stream (the stream form reads its own u32 byte count first).
#include "engine/MyJpegPack.h"
#include "engine/Streams.h"
#include "engine/StreetError.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    const bool stream = data[0] & 1;
    const int32_t count = (data[1] | (data[2] << 8)) & 0x1FFF;
    // The destination is exactly as large as the caller's plane: any write past it is caught.
    std::vector<int16_t> dest(static_cast<std::size_t>(count));
    try {
        if (stream) {
            TMemoryStream s(data + 3, size - 3);
            UnPackSmallInts(dest, count, s);
        } else {
            // With the high bit set, the thumbnail's early stop after the first 1/64 of the values.
            const int32_t stopAfter = (data[0] & 0x80) ? count / 64 : count;
            UnPackSmallInts(dest, stopAfter, data + 3, static_cast<int32_t>(size - 3));
        }
    } catch (const EStreetError &) {
    }
    return 0;
}
