#pragma once
// Small survey files put together byte by byte for the reader's tests, apart from every writer of the
// program and from the synthetic-survey tool.
#include "support/TestSupport.h"
#include "tools/codec-fixture/CodecFixture.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace surveytest {

struct TFrame {
    int64_t Time = 0;
    double Path = 0, X = 0, Y = 0, Z = 0, Heading = 0, Pitch = 0, Roll = 0;
};

using TBlobs = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

struct TStreamSpec {
    std::vector<TFrame> Frames;
    TBlobs Blobs; // none: the stream has no data holder
    std::array<double, 8> Cam{};
};

struct TFileSpec {
    int32_t Width = 16, Height = 16, Quality = 2;
    double BaseTime = 45000.5;
    uint32_t Version = 1;
    uint8_t TagByte8 = 0;
    std::vector<TStreamSpec> Streams;
    TBlobs FileBlobs;          // none: the file has no data holder
    bool HoldersFirst = false; // data holders right after the stream records, before the frames
};

// Where the builder put things.
struct TBuilt {
    std::vector<uint8_t> Bytes;
    std::vector<int64_t> IndexPos, RecPos, HolderPos;
    std::vector<std::vector<int64_t>> FramePos;
    int64_t FileHolderPos = 0;
    int64_t FramesBegin = 0, FramesEnd = 0; // the frame data region
};

inline std::vector<uint8_t> Bytes(const void *p, std::size_t n) {
    const auto *c = static_cast<const uint8_t *>(p);
    return std::vector<uint8_t>(c, c + n);
}

inline std::vector<uint8_t> Text(const std::string &s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// A 16x16-multiple frame, flat grey at a level that tells frames apart.
inline std::vector<uint8_t> PackedFrame(int32_t w, int32_t h, int quality, int level) {
    std::vector<uint8_t> yuv(static_cast<std::size_t>(w) * h * 3 / 2, 127);
    for (int32_t i = 0; i < w * h; ++i)
        yuv[static_cast<std::size_t>(i)] = static_cast<uint8_t>(level + (i % w) * 2 + (i / w) % 3 * 10);
    return codecfixture::EncodeFrame(yuv.data(), w, h, quality);
}

inline void PutHolder(sptest::ByteBuilder &b, const TBlobs &blobs) {
    b.U32(static_cast<uint32_t>(blobs.size()));
    for (const auto &[name, data] : blobs) {
        uint8_t n[16] = {};
        n[0] = static_cast<uint8_t>(name.size());
        for (std::size_t i = 0; i < name.size() && i < 15; ++i)
            n[1 + i] = static_cast<uint8_t>(name[i]);
        b.Raw(n, 16).U32(static_cast<uint32_t>(data.size())).Raw(data.data(), data.size());
    }
}

inline TBuilt Build(const TFileSpec &spec) {
    TBuilt out;
    const std::size_t n = spec.Streams.size();
    sptest::ByteBuilder holders;
    std::vector<int64_t> holderOffs(n, -1), holderSizes(n, 0);
    int64_t fileHolderOff = -1, fileHolderSize = 0;
    if (!spec.FileBlobs.empty()) {
        fileHolderOff = static_cast<int64_t>(holders.Size());
        PutHolder(holders, spec.FileBlobs);
        fileHolderSize = static_cast<int64_t>(holders.Size()) - fileHolderOff;
    }
    for (std::size_t s = 0; s < n; ++s)
        if (!spec.Streams[s].Blobs.empty()) {
            holderOffs[s] = static_cast<int64_t>(holders.Size());
            PutHolder(holders, spec.Streams[s].Blobs);
            holderSizes[s] = static_cast<int64_t>(holders.Size()) - holderOffs[s];
        }

    const int64_t tableEnd = 48 + 100 * static_cast<int64_t>(n);
    sptest::ByteBuilder body; // everything after the stream records
    int64_t holdersAt = 0;
    if (spec.HoldersFirst) {
        holdersAt = tableEnd;
        body.Append(holders);
    }
    out.FramesBegin = tableEnd + static_cast<int64_t>(body.Size());
    out.FramePos.resize(n);
    std::vector<std::vector<uint32_t>> frameSizes(n);
    int level = 20;
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t k = 0; k < spec.Streams[s].Frames.size(); ++k) {
            const auto packed = PackedFrame(spec.Width, spec.Height, spec.Quality, level);
            level = (level + 37) % 200;
            out.FramePos[s].push_back(tableEnd + static_cast<int64_t>(body.Size()));
            frameSizes[s].push_back(static_cast<uint32_t>(packed.size()));
            body.Raw(packed.data(), packed.size());
        }
    out.FramesEnd = tableEnd + static_cast<int64_t>(body.Size());
    for (std::size_t s = 0; s < n; ++s) {
        out.IndexPos.push_back(tableEnd + static_cast<int64_t>(body.Size()));
        for (std::size_t k = 0; k < out.FramePos[s].size(); ++k)
            body.I64(out.FramePos[s][k]).U32(frameSizes[s][k]);
        out.RecPos.push_back(tableEnd + static_cast<int64_t>(body.Size()));
        for (const auto &f : spec.Streams[s].Frames)
            body.I64(f.Time).F64(f.Path).F64(f.X).F64(f.Y).F64(f.Z).F64(f.Heading).F64(f.Pitch).F64(f.Roll);
    }
    if (!spec.HoldersFirst) {
        holdersAt = tableEnd + static_cast<int64_t>(body.Size());
        body.Append(holders);
    }

    sptest::ByteBuilder file;
    file.U8(6)
        .Bytes("FVIDEO")
        .U8(spec.TagByte8)
        .U32(spec.Version)
        .F64(spec.BaseTime)
        .U32(static_cast<uint32_t>(n));
    file.I32(spec.Width).I32(spec.Height).I32(spec.Quality);
    out.FileHolderPos = fileHolderOff < 0 ? 0 : holdersAt + fileHolderOff;
    file.I64(out.FileHolderPos).U32(static_cast<uint32_t>(fileHolderSize));
    for (std::size_t s = 0; s < n; ++s) {
        const auto &st = spec.Streams[s];
        file.I64(out.IndexPos[s]).U32(static_cast<uint32_t>(12 * st.Frames.size()));
        file.I64(out.RecPos[s]).U32(static_cast<uint32_t>(64 * st.Frames.size()));
        for (double c : st.Cam)
            file.F64(c);
        const int64_t hp = holderOffs[s] < 0 ? 0 : holdersAt + holderOffs[s];
        out.HolderPos.push_back(hp);
        file.I64(hp).U32(static_cast<uint32_t>(holderSizes[s]));
    }
    file.Append(body);
    out.Bytes = file.Data();
    return out;
}

// Frames of a straight drive: one every 100 ms, one metre apart, along the heading.
inline std::vector<TFrame> Straight(int count, double x0, double y0, double heading, int64_t t0 = 0) {
    std::vector<TFrame> f;
    for (int k = 0; k < count; ++k) {
        TFrame r;
        r.Time = t0 + 100 * k;
        r.Path = k;
        r.X = x0 + k * std::cos(heading);
        r.Y = y0 + k * std::sin(heading);
        r.Z = 10 + 0.1 * k;
        r.Heading = heading;
        f.push_back(r);
    }
    return f;
}

template <class T> void Poke(std::vector<uint8_t> &b, std::size_t at, T v) {
    std::memcpy(b.data() + at, &v, sizeof v);
}

} // namespace surveytest
