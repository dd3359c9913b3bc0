#pragma once
// View synchronisation with other programs through a small hub. The program connects to the hub's local
// socket "TSyncHubForm" (in the user's runtime folder) and exchanges frames:
//
//   u32 dwData     message code, little-endian
//   u32 count      payload byte count, little-endian
//   count bytes    payload
//
//   dwData 0x28061973, count 20: the plan view, five little-endian 4-byte floats: centre x, y, z, scale,
//                                angle (radians). Sent by the program after a plan draw when its view has
//                                changed; applied when received.
//   dwData 0x26081978, count 4:  one float, a distance along the street's main axis; received only.
//
// The hub relays every frame it reads from one program to every other connected program. A frame whose
// count does not match its message, whose values are not finite, or whose scale is not positive is
// ignored; frames of other codes are ignored; a frame longer than SyncMaxPayload is skipped unread. There
// is no handshake and no reply.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

constexpr uint32_t SyncViewMessage = 0x28061973;
constexpr uint32_t SyncAxisMessage = 0x26081978;
constexpr uint32_t SyncHeaderSize = 8;
constexpr uint32_t SyncViewSize = 20;
constexpr uint32_t SyncAxisSize = 4;
// Frames with a longer payload are skipped without being stored.
constexpr uint32_t SyncMaxPayload = 4096;

struct TSyncView {
    float X = 0, Y = 0, Z = 0, Scale = 0, Angle = 0;
    friend bool operator==(const TSyncView &, const TSyncView &) = default;
};

struct TSyncFrame {
    uint32_t DwData = 0;
    std::vector<uint8_t> Payload;
};

std::vector<uint8_t> EncodeSyncFrame(uint32_t dwData, const std::vector<uint8_t> &payload);
std::vector<uint8_t> EncodeViewFrame(const TSyncView &view);
std::vector<uint8_t> EncodeAxisFrame(float distance);

// The view of a frame that is a valid view message; nothing otherwise.
std::optional<TSyncView> DecodeViewFrame(const TSyncFrame &frame);
// The distance of a frame that is a valid axis message; nothing otherwise.
std::optional<float> DecodeAxisFrame(const TSyncFrame &frame);

// Splits a byte stream into frames, whatever pieces it arrives in. It holds at most one frame's bytes
// beyond what it was handed: over-long frames are skipped as their bytes arrive.
class TSyncFrameReader {
public:
    void Append(const uint8_t *data, std::size_t size);
    // The next whole frame; false when no whole frame is buffered.
    bool Next(TSyncFrame &frame);
    std::size_t Buffered() const { return buffer_.size() - start_; }
    uint64_t SkippedFrames() const { return skippedFrames_; }

private:
    void Drop(std::size_t n);

    std::vector<uint8_t> buffer_;
    std::size_t start_ = 0;
    uint64_t skipRemaining_ = 0;
    uint64_t skippedFrames_ = 0;
};
