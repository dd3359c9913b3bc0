// Bytes from another process on the view-synchronisation socket: split into frames in pieces of every
// size, each frame decoded as a view and as an axis position. Nothing may crash, hang or hold more than one
// frame's bytes, and every value handed on must be finite (and a view's scale positive).
#include "shell/ViewSync.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TSyncFrameReader reader;
    // The first byte chooses the piece size, so frames arrive split at every possible place.
    const std::size_t piece = size > 0 ? data[0] % 32 + 1 : 1;
    std::size_t pos = size > 0 ? 1 : 0;
    while (pos < size) {
        const std::size_t n = std::min(piece, size - pos);
        reader.Append(data + pos, n);
        pos += n;
        TSyncFrame frame;
        while (reader.Next(frame)) {
            if (frame.Payload.size() > SyncMaxPayload)
                std::abort();
            if (const auto v = DecodeViewFrame(frame)) {
                if (!std::isfinite(v->X) || !std::isfinite(v->Y) || !std::isfinite(v->Z) || !(v->Scale > 0) ||
                    !std::isfinite(v->Scale) || !std::isfinite(v->Angle))
                    std::abort();
            }
            if (const auto d = DecodeAxisFrame(frame); d && !std::isfinite(*d))
                std::abort();
        }
        if (reader.Buffered() > SyncHeaderSize + SyncMaxPayload + 32)
            std::abort();
    }
    return 0;
}
