#include "shell/ViewSync.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

void PutU32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutFloat(std::vector<uint8_t> &out, float v) {
    PutU32(out, std::bit_cast<uint32_t>(v));
}

float GetFloat(const uint8_t *p) {
    return std::bit_cast<float>(GetU32(p));
}

} // namespace

std::vector<uint8_t> EncodeSyncFrame(uint32_t dwData, const std::vector<uint8_t> &payload) {
    std::vector<uint8_t> out;
    out.reserve(SyncHeaderSize + payload.size());
    PutU32(out, dwData);
    PutU32(out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> EncodeViewFrame(const TSyncView &view) {
    std::vector<uint8_t> payload;
    for (float v : {view.X, view.Y, view.Z, view.Scale, view.Angle})
        PutFloat(payload, v);
    return EncodeSyncFrame(SyncViewMessage, payload);
}

std::vector<uint8_t> EncodeAxisFrame(float distance) {
    std::vector<uint8_t> payload;
    PutFloat(payload, distance);
    return EncodeSyncFrame(SyncAxisMessage, payload);
}

std::optional<TSyncView> DecodeViewFrame(const TSyncFrame &frame) {
    if (frame.DwData != SyncViewMessage || frame.Payload.size() != SyncViewSize)
        return std::nullopt;
    const uint8_t *p = frame.Payload.data();
    const TSyncView v{GetFloat(p), GetFloat(p + 4), GetFloat(p + 8), GetFloat(p + 12), GetFloat(p + 16)};
    for (float f : {v.X, v.Y, v.Z, v.Scale, v.Angle})
        if (!std::isfinite(f))
            return std::nullopt;
    if (!(v.Scale > 0))
        return std::nullopt;
    return v;
}

std::optional<float> DecodeAxisFrame(const TSyncFrame &frame) {
    if (frame.DwData != SyncAxisMessage || frame.Payload.size() != SyncAxisSize)
        return std::nullopt;
    const float d = GetFloat(frame.Payload.data());
    if (!std::isfinite(d))
        return std::nullopt;
    return d;
}

void TSyncFrameReader::Drop(std::size_t n) {
    start_ += n;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
}

void TSyncFrameReader::Append(const uint8_t *data, std::size_t size) {
    // Bytes of a skipped frame are dropped as they come, never stored.
    if (skipRemaining_ > 0 && Buffered() == 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(skipRemaining_, size));
        skipRemaining_ -= n;
        data += n;
        size -= n;
    }
    if (size == 0)
        return;
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

bool TSyncFrameReader::Next(TSyncFrame &frame) {
    while (true) {
        if (skipRemaining_ > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(skipRemaining_, Buffered()));
            skipRemaining_ -= n;
            Drop(n);
            if (skipRemaining_ > 0)
                return false;
        }
        if (Buffered() < SyncHeaderSize)
            return false;
        const uint8_t *p = buffer_.data() + start_;
        const uint32_t dwData = GetU32(p);
        const uint32_t count = GetU32(p + 4);
        if (count > SyncMaxPayload) {
            Drop(SyncHeaderSize);
            skipRemaining_ = count;
            ++skippedFrames_;
            continue;
        }
        if (Buffered() < SyncHeaderSize + count)
            return false;
        frame.DwData = dwData;
        frame.Payload.assign(p + SyncHeaderSize, p + SyncHeaderSize + count);
        Drop(SyncHeaderSize + count);
        return true;
    }
}
