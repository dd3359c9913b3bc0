// Survey files from outside bytes: the header, stream records, data holders, frame indexes and records are
// read, frames and thumbnails decoded, poses corrected, tracks merged and searched; then the file is opened
// for writing and its data blocks written back, which must leave the header's other fields, the stream
// records' other fields, the indexes, the frame records and every frame in the file as they were, and must
// read back the same blocks.
#include "engine/StreetError.h"
#include "video/FVideo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string TempName() {
    std::error_code ec;
    const std::filesystem::path shm("/dev/shm");
    const std::filesystem::path dir =
        std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
    return (dir / ("streetplan-fuzz-survey-" + std::to_string(::getpid()) + ".FVideo")).string();
}

void WriteAll(const std::string &name, const uint8_t *data, size_t size) {
    std::FILE *f = std::fopen(name.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

std::vector<uint8_t> ReadAll(const std::string &name) {
    std::ifstream in(name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// Byte ranges that writing back must keep.
struct TRange {
    int64_t Pos, Size;
};

void Exercise(TFVideoFile &v) {
    v.LoadTies();
    TFrameBitmap bmp;
    for (int32_t s = 0; s < v.StreamCount() && s < 8; ++s) {
        TFVideoStream &st = v.Streams(s);
        float cam[7];
        st.GetCamParams(cam);
        const int32_t n = st.FrameCount();
        for (int32_t k = 0; k < n && k < 3; ++k) {
            try {
                st.GetFrame(k, bmp);
            } catch (const EStreetError &) {
            }
            try {
                st.GetIcon(k, bmp);
            } catch (const EStreetError &) {
            }
        }
        TFVideoFrameRec r;
        for (int32_t k = 0; k < n && k < 64; ++k) {
            st.GetFrameInfo(k, r);
            Check(st.FindFrameByTime(r.Time) >= 0);
        }
        st.FindFrameByTime(INT64_MIN);
        st.FindFrameByTime(INT64_MAX);
        st.FindNearestFrame(TXYZ{1, 2, 0}, (s & 1) != 0, 1e30f);
    }
    TXYZArray t;
    v.GetTrajectory(t);
    v.GetSlopeTrack(t);
    int32_t si, fi;
    v.FindNearestFrame(TXYZ{0, 0, 0}, si, fi);
    float p[6];
    v.GetPlatform(p);
    v.GetPathOffset();
}

bool SameHolder(const TCustomDataHolder &a, const TCustomDataHolder &b) {
    if (a.Count() != b.Count())
        return false;
    for (int i = 0; i < a.Count(); ++i)
        if (a.Name(i) != b.Name(i) || a.Data(i) != b.Data(i))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string name = TempName();
    WriteAll(name, data, size);
    std::vector<TRange> keep;
    std::vector<int32_t> counts;
    bool inFile = false;
    TCustomDataHolder fileHolder;
    std::vector<TCustomDataHolder> streamHolders;
    try {
        TFVideoFile v(name, false);
        Exercise(v);
        inFile = v.FrameFileName().empty();
        if (inFile) {
            keep.push_back({0, 36});
            for (int32_t s = 0; s < v.StreamCount(); ++s) {
                TFVideoStream &st = v.Streams(s);
                keep.push_back({st.RecordPosition(), 88});
                keep.push_back({st.Record().IndexPosition, st.Record().IndexSize});
                keep.push_back({st.Record().FramesPosition, st.Record().FramesSize});
                // Frames the file holds past its header and stream records (a damaged frame's place may
                // be anywhere).
                const int64_t tableEnd = 48 + 100 * int64_t(v.StreamCount());
                for (int32_t k = 0; k < st.FrameCount(); ++k) {
                    const TFVideoIndexEntry e = st.FrameEntry(k);
                    if (e.Position >= tableEnd && e.Position <= int64_t(size) - int64_t(e.Size))
                        keep.push_back({e.Position, e.Size});
                }
                counts.push_back(st.FrameCount());
            }
        }
    } catch (const EStreetError &) {
        std::remove(name.c_str());
        return 0;
    }
    if (inFile) {
        const std::vector<uint8_t> before(data, data + size);
        try {
            TFVideoFile w(name, true);
            const float p[6] = {1, 2, 3, 4, 5, 6};
            w.SetPlatform(p);
            w.StoreTies();
            TXYZArray t;
            w.GetTrajectory(t);
            w.SaveData();
            fileHolder = w.DataHolder();
            for (int32_t s = 0; s < w.StreamCount(); ++s)
                streamHolders.push_back(w.Streams(s).DataHolder());
        } catch (const EStreetError &) {
            std::abort(); // it opened for reading: it must open, and save, for writing
        }
        const std::vector<uint8_t> after = ReadAll(name);
        Check(after.size() >= before.size());
        for (const TRange &r : keep)
            Check(r.Size <= 0 ||
                  std::memcmp(before.data() + r.Pos, after.data() + r.Pos, size_t(r.Size)) == 0);
        try {
            TFVideoFile again(name, false);
            Check(SameHolder(again.DataHolder(), fileHolder));
            Check(again.StreamCount() == static_cast<int32_t>(streamHolders.size()));
            for (int32_t s = 0; s < again.StreamCount(); ++s) {
                Check(SameHolder(again.Streams(s).DataHolder(), streamHolders[size_t(s)]));
                // A frame cut for pointing past the end may now point into the blocks written there.
                Check(again.Streams(s).FrameCount() >= counts[size_t(s)]);
            }
        } catch (const EStreetError &) {
            std::abort();
        }
    }
    std::remove(name.c_str());
    return 0;
}
