// Survey files: a frame read from the file and decoded into a 32-bit bitmap, against the floor of decoding
// the same packed bytes already in memory; and the nearest-frame search over tie-corrected poses, against
// the same projection over the raw positions held in an array.
#include "BenchSupport.h"

#include "engine/DxCalc_0.h"
#include "engine/MyJpegColorSpace.h"
#include "engine/OrsekPeg.h"
#include "platform/gdi/Bitmap.h"
#include "tools/make-survey/MakeSurvey.h"
#include "video/FVideo.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TFixture {
    fs::path Dir;
    std::string File;
    makesurvey::TSurveyInfo Info;
    std::vector<std::vector<uint8_t>> Packed; // stream 0's frames
    TFixture() {
        Dir = fs::temp_directory_path() / ("streetplan-bench-survey-" + std::to_string(::getpid()));
        fs::create_directories(Dir);
        File = (Dir / "bench.FVideo").string();
        makesurvey::TSurveyOptions o;
        o.Width = 640;
        o.Height = 480;
        o.Supersample = 1;
        Info = makesurvey::WriteSurvey(File, o);
        std::ifstream in(File, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        for (const auto &f : Info.Streams[0])
            Packed.emplace_back(bytes.begin() + f.Position, bytes.begin() + f.Position + f.Size);
        std::fprintf(stderr, "survey: %zu frames of 640x480 in stream 0, %lld bytes\n", Packed.size(),
                     static_cast<long long>(Info.FileSize));
    }
    ~TFixture() {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
};

TFixture &Fixture() {
    static TFixture f;
    return f;
}

void BM_FileFrame(benchmark::State &state) {
    TFixture &f = Fixture();
    TFVideoFile v(f.File, false);
    TFVideoStream &s = v.Streams(0);
    TBitmap bmp;
    int32_t k = 0;
    for (auto _ : state) {
        s.GetFrame(k, bmp);
        benchmark::DoNotOptimize(bmp.Bits());
        k = (k + 1) % s.FrameCount();
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_MemoryFrame(benchmark::State &state) {
    TFixture &f = Fixture();
    TOrsekPegCoder coder(640, 480, makesurvey::TSurveyOptions().Quality);
    std::vector<uint8_t> yuv(static_cast<std::size_t>(coder.ImageSize()));
    TBitmap bmp(640, 480, TPixelFormat::pf32bit);
    std::size_t k = 0;
    for (auto _ : state) {
        const auto &p = f.Packed[k];
        coder.UnPackImage(yuv.data(), coder.ImageSize(), p.data(), static_cast<int32_t>(p.size()));
        YuvToBgrxSse2(yuv.data(), 640, 480, bmp.ScanLine(0), bmp.ScanLine(1) - bmp.ScanLine(0));
        benchmark::DoNotOptimize(bmp.Bits());
        k = (k + 1) % f.Packed.size();
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

TXYZ Probe(std::size_t i) {
    const auto &fr = Fixture().Info.Streams[0];
    const auto &p = fr[(i * 37) % fr.size()].True;
    return TXYZ{static_cast<float>(p.X + 0.4), static_cast<float>(p.Y - 0.3), 0};
}

void BM_NearestCorrected(benchmark::State &state) {
    TFVideoFile v(Fixture().File, false);
    v.LoadTies();
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(v.Streams(0).FindNearestFrame(Probe(i++), false, 50));
}

void BM_NearestRaw(benchmark::State &state) {
    std::vector<TXYZ> pts;
    for (const auto &f : Fixture().Info.Streams[0])
        pts.push_back(TXYZ{static_cast<float>(f.Recorded.X), static_cast<float>(f.Recorded.Y), 0});
    std::size_t i = 0;
    for (auto _ : state) {
        const TXYZ p = Probe(i++);
        float best = 50;
        int result = -1;
        for (std::size_t k = 0; k + 1 < pts.size(); ++k) {
            float t, d;
            ProjectPointOnSegment(p, pts[k], pts[k + 1], t, d);
            if (t >= 0 && t <= 1 && std::fabs(d) < best) {
                best = std::fabs(d);
                result = static_cast<int>(k);
            }
        }
        benchmark::DoNotOptimize(result);
    }
}

BENCHMARK(BM_FileFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemoryFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NearestCorrected)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_NearestRaw)->Unit(benchmark::kMicrosecond)->UseRealTime();

const bool registered = [] {
    using spbench::TFigure;
    spbench::ResultPair("frame_640x480", "BM_FileFrame/real_time", "BM_MemoryFrame/real_time",
                        TFigure::Counter, "frames/s", "frames/s");
    spbench::ResultPair("nearest_frame", "BM_NearestCorrected/real_time", "BM_NearestRaw/real_time",
                        TFigure::TimeUs);
    return true;
}();

} // namespace
