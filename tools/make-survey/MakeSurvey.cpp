#include "tools/make-survey/MakeSurvey.h"

#include "engine/Cp1251.h"
#include "engine/Streams.h"
#include "tools/codec-fixture/CodecFixture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace makesurvey {

namespace {

class TBytes {
public:
    template <class T> void Put(T v) {
        uint8_t b[sizeof v];
        std::memcpy(b, &v, sizeof v);
        bytes_.insert(bytes_.end(), b, b + sizeof v);
    }
    void Raw(const void *p, std::size_t n) {
        const auto *c = static_cast<const uint8_t *>(p);
        bytes_.insert(bytes_.end(), c, c + n);
    }
    template <class T> void PutAt(std::size_t at, T v) { std::memcpy(bytes_.data() + at, &v, sizeof v); }
    std::size_t Size() const { return bytes_.size(); }
    std::vector<uint8_t> &Bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

struct TBlob {
    std::string Name;
    std::vector<uint8_t> Data;
};

void PutHolder(TBytes &out, const std::vector<TBlob> &blobs) {
    out.Put(static_cast<uint32_t>(blobs.size()));
    for (const auto &b : blobs) {
        uint8_t name[16] = {};
        name[0] = static_cast<uint8_t>(b.Name.size());
        std::memcpy(name + 1, b.Name.data(), b.Name.size());
        out.Raw(name, 16);
        out.Put(static_cast<uint32_t>(b.Data.size()));
        out.Raw(b.Data.data(), b.Data.size());
    }
}

template <class T> std::vector<uint8_t> BytesOf(const T *p, std::size_t n) {
    std::vector<uint8_t> v(n * sizeof(T));
    std::memcpy(v.data(), p, v.size());
    return v;
}

uint64_t Mix(uint64_t x) { // splitmix64
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

TColor Haze(const TColor &c, double dist) {
    const double f = std::clamp((dist - 40) / 120, 0.0, 1.0);
    auto mix = [f](uint8_t a, double b) { return static_cast<uint8_t>(a + (b - a) * f + 0.5); };
    return {mix(c.B, 205), mix(c.G, 200), mix(c.R, 192)};
}

} // namespace

std::vector<uint8_t> RenderView(const TRoadScene &Scene, const TPose &Pose, int Camera, int Width, int Height,
                                int Supersample) {
    const auto &c = Scene.Cameras.at(static_cast<std::size_t>(Camera)).Params;
    const auto &p = Scene.Platform;
    // Camera position: the platform offset, then the camera's own offset turned by the platform's heading,
    // all turned with the vehicle.
    const double ph = p[3];
    const double fwd = p[0] + std::cos(ph) * c[0] - std::sin(ph) * c[1];
    const double left = p[1] + std::sin(ph) * c[0] + std::cos(ph) * c[1];
    const double h = Pose.Heading;
    const double camX = Pose.X + std::cos(h) * fwd - std::sin(h) * left;
    const double camY = Pose.Y + std::sin(h) * fwd + std::cos(h) * left;
    const double camH = p[2] + c[2];
    const double yaw = h + ph + c[3];
    const double fx = std::cos(yaw), fy = std::sin(yaw);  // forward
    const double rx = std::sin(yaw), ry = -std::cos(yaw); // right
    const double focal = (Width / 2.0) / std::tan(c[6] / 2.0);

    const int ss = std::max(1, Supersample);
    std::vector<uint8_t> out(static_cast<std::size_t>(Width) * Height * 4);
    for (int j = 0; j < Height; ++j)
        for (int i = 0; i < Width; ++i) {
            int sb = 0, sg = 0, sr = 0;
            for (int a = 0; a < ss; ++a)
                for (int b = 0; b < ss; ++b) {
                    const double xs = i + (b + 0.5) / ss - Width / 2.0;  // right of the centre
                    const double ys = j + (a + 0.5) / ss - Height / 2.0; // below the centre
                    const double dx = focal * fx + xs * rx, dy = focal * fy + xs * ry, dz = -ys;
                    TColor col;
                    if (dz < 0) {
                        const double t = camH / -dz;
                        const double gx = camX + t * dx, gy = camY + t * dy;
                        col = Haze(Scene.GroundColor(gx, gy), t * std::sqrt(dx * dx + dy * dy));
                    } else {
                        const double up = std::min(1.0, dz / (0.5 * Height));
                        col = {static_cast<uint8_t>(215 + 25 * up), static_cast<uint8_t>(200 - 20 * up),
                               static_cast<uint8_t>(185 - 50 * up)};
                    }
                    sb += col.B;
                    sg += col.G;
                    sr += col.R;
                }
            const int n = ss * ss;
            uint8_t *px = out.data() + (static_cast<std::size_t>(j) * Width + i) * 4;
            px[0] = static_cast<uint8_t>((sb + n / 2) / n);
            px[1] = static_cast<uint8_t>((sg + n / 2) / n);
            px[2] = static_cast<uint8_t>((sr + n / 2) / n);
            px[3] = 0;
        }
    return out;
}

TSurveyInfo WriteSurvey(const std::string &FileName, const TSurveyOptions &Options) {
    const int w = Options.Width, hgt = Options.Height;
    if (w <= 0 || hgt <= 0 || w % 16 || hgt % 16)
        throw std::runtime_error("make-survey: the frame size must be positive multiples of 16");
    if (Options.TieCount < 0 || Options.TieCount > 3)
        throw std::runtime_error("make-survey: 0 to 3 ties");
    TSurveyInfo info;
    const TRoadScene &scene = info.Scene;
    const bool separate = !Options.FrameFile.empty();

    // Frame times: each stream's 10 Hz clock with a little jitter, up to the end of the drive.
    double endSeconds = scene.DriveSeconds();
    if (Options.Seconds > 0)
        endSeconds = std::min(endSeconds, Options.Seconds);
    const auto endMs = static_cast<int64_t>(std::floor(endSeconds * 1000));
    const std::size_t streams = scene.Cameras.size();
    info.Streams.resize(streams);
    struct TJob {
        int64_t Time;
        std::size_t Stream, Frame;
    };
    std::vector<TJob> jobs;
    for (std::size_t s = 0; s < streams; ++s) {
        const TCamera &cam = scene.Cameras[s];
        for (int64_t k = 0;; ++k) {
            const int64_t nominal = cam.StartMs + cam.PhaseMs + k * scene.FramePeriodMs;
            if (nominal > endMs)
                break;
            const uint64_t r = Mix((uint64_t(Options.Seed) << 40) ^ (uint64_t(s) << 32) ^ uint64_t(k));
            const int64_t t =
                std::max<int64_t>(0, nominal + int64_t(r % (2 * scene.JitterMs + 1)) - scene.JitterMs);
            TWrittenFrame f;
            f.Time = t;
            f.True = scene.TruePose(t / 1000.0);
            f.Recorded = scene.RecordedPose(t / 1000.0);
            info.Streams[s].push_back(f);
            jobs.push_back({t, s, static_cast<std::size_t>(k)});
        }
    }
    std::stable_sort(jobs.begin(), jobs.end(), [](const TJob &a, const TJob &b) { return a.Time < b.Time; });

    // Layout: header, stream records, frames (here or in the frame file), then per stream its index and
    // records, then the file's data holder and the streams' holders.
    TBytes file, frames;
    TBytes *frameOut = separate ? &frames : &file;
    file.Bytes().resize(48 + 100 * streams);
    if (separate) {
        // The frame file's first 2048 bytes identify it.
        uint8_t head[2048] = {'L', 'V', 'I', 'D', 'E', 'O'};
        const uint64_t id = Mix(Options.Seed ^ 0x5EED);
        std::memcpy(head + 8, &id, sizeof id);
        frames.Raw(head, sizeof head);
    }
    for (const TJob &j : jobs) {
        const std::vector<uint8_t> bgrx = RenderView(scene, info.Streams[j.Stream][j.Frame].True,
                                                     static_cast<int>(j.Stream), w, hgt, Options.Supersample);
        const std::vector<uint8_t> yuv =
            codecfixture::BgrxToYuv420(bgrx.data(), w, hgt, std::ptrdiff_t(w) * 4);
        const std::vector<uint8_t> packed = codecfixture::EncodeFrame(yuv.data(), w, hgt, Options.Quality);
        TWrittenFrame &f = info.Streams[j.Stream][j.Frame];
        f.Position = static_cast<int64_t>(frameOut->Size());
        f.Size = static_cast<uint32_t>(packed.size());
        frameOut->Raw(packed.data(), packed.size());
    }

    struct TPlace {
        int64_t IndexPos, RecPos, HolderPos = 0;
        uint32_t IndexSize, RecSize, HolderSize = 0;
    };
    std::vector<TPlace> places(streams);
    for (std::size_t s = 0; s < streams; ++s) {
        const auto &list = info.Streams[s];
        places[s].IndexPos = static_cast<int64_t>(file.Size());
        places[s].IndexSize = static_cast<uint32_t>(12 * list.size());
        for (const auto &f : list) {
            file.Put(f.Position);
            file.Put(f.Size);
        }
        places[s].RecPos = static_cast<int64_t>(file.Size());
        places[s].RecSize = static_cast<uint32_t>(64 * list.size());
        for (const auto &f : list) {
            const TPose &p = f.Recorded;
            file.Put(f.Time);
            for (double v : {p.Path, p.X, p.Y, p.Z, p.Heading, p.Pitch, p.Roll})
                file.Put(v);
        }
    }

    // Ties on frames of the front camera: where those frames truly were.
    const auto &front = info.Streams[0];
    static const double spread[4][3] = {{}, {0.5}, {0.2, 0.8}, {0.1, 0.5, 0.9}};
    if (!front.empty())
        for (int i = 0; i < Options.TieCount; ++i) {
            const auto k =
                static_cast<std::size_t>(std::lround(spread[Options.TieCount][i] * double(front.size() - 1)));
            if (!info.Ties.empty() && info.Ties.back().Frame == static_cast<int32_t>(k))
                continue;
            info.Ties.push_back({0, static_cast<int32_t>(k), front[k].Time,
                                 static_cast<float>(front[k].True.X), static_cast<float>(front[k].True.Y)});
        }

    std::vector<TBlob> fileBlobs;
    fileBlobs.push_back({"ConvParams", BytesOf(scene.ConvParams.data(), 8)});
    fileBlobs.push_back({"Platform", BytesOf(scene.Platform.data(), 6)});
    {
        TBytes t;
        for (const auto &tie : info.Ties) {
            t.Put(tie.Stream);
            t.Put(tie.Frame);
            t.Put(tie.Time);
            t.Put(tie.X);
            t.Put(tie.Y);
            t.Put(0.0f);
        }
        fileBlobs.push_back({"Corrections", t.Bytes()});
    }
    if (separate) {
        std::string ref = Options.FrameReference;
        if (ref.empty())
            ref = std::filesystem::path(Options.FrameFile).filename().string();
        Cp1251String stored; // names in the survey are code-page-1251 text
        if (!Cp1251String::TryFromUtf8(ref, stored))
            throw std::runtime_error("make-survey: the frame file's name has no code-page-1251 form: " + ref);
        fileBlobs.push_back(
            {"LVideoReference", std::vector<uint8_t>(stored.Bytes().begin(), stored.Bytes().end())});
        fileBlobs.push_back(
            {"LVideoFirst2k", std::vector<uint8_t>(frames.Bytes().begin(), frames.Bytes().begin() + 2048)});
    }
    const auto fileHolderPos = static_cast<int64_t>(file.Size());
    PutHolder(file, fileBlobs);
    const auto fileHolderSize = static_cast<uint32_t>(file.Size() - fileHolderPos);
    for (std::size_t s = 0; s < streams; ++s) {
        places[s].HolderPos = static_cast<int64_t>(file.Size());
        PutHolder(file, {{"CamParams", BytesOf(scene.Cameras[s].Params.data(), 7)}});
        places[s].HolderSize = static_cast<uint32_t>(file.Size() - places[s].HolderPos);
    }

    // Header and stream records.
    const uint8_t tag[8] = {6, 'F', 'V', 'I', 'D', 'E', 'O', 0};
    std::memcpy(file.Bytes().data(), tag, 8);
    file.PutAt<uint32_t>(8, 1);
    file.PutAt<double>(12, scene.BaseTime);
    file.PutAt<uint32_t>(20, static_cast<uint32_t>(streams));
    file.PutAt<int32_t>(24, w);
    file.PutAt<int32_t>(28, hgt);
    file.PutAt<int32_t>(32, Options.Quality);
    file.PutAt<int64_t>(36, fileHolderPos);
    file.PutAt<uint32_t>(44, fileHolderSize);
    for (std::size_t s = 0; s < streams; ++s) {
        const std::size_t at = 48 + 100 * s;
        file.PutAt(at, places[s].IndexPos);
        file.PutAt(at + 8, places[s].IndexSize);
        file.PutAt(at + 12, places[s].RecPos);
        file.PutAt(at + 20, places[s].RecSize);
        for (int k = 0; k < 8; ++k)
            file.PutAt(at + 24 + 8 * k,
                       k < 7 ? double(scene.Cameras[s].Params[static_cast<std::size_t>(k)]) : 0.0);
        file.PutAt(at + 88, places[s].HolderPos);
        file.PutAt(at + 96, places[s].HolderSize);
    }

    if (separate) {
        SaveBytesToFile(Options.FrameFile, frames.Bytes().data(), frames.Size());
        info.FrameFileSize = static_cast<int64_t>(frames.Size());
    }
    SaveBytesToFile(FileName, file.Bytes().data(), file.Size());
    info.FileSize = static_cast<int64_t>(file.Size());
    return info;
}

} // namespace makesurvey
