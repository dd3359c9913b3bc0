// The frame chain (unpack, dequantise and transform, colour conversion to 32-bit pixels) against
// libjpeg-turbo decoding a 4:2:0 JPEG of the same picture with the same quantisation steps to BGRX, one
// core; and the sharpening step against its scalar reference.
#include "BenchSupport.h"

#include "engine/MyJpegColorSpace.h"
#include "engine/OrsekPeg.h"
#include "tools/codec-fixture/CodecFixture.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>
#include <turbojpeg.h>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int Quality = 2;

struct TFixture {
    int W, H;
    Bytes Yuv, Frame, Jpeg;
};

Bytes JpegWithOurSteps(const Bytes &bgrx, int w, int h) {
    TOrsekPegCoder coder(w, h, Quality);
    int16_t m[64];
    coder.GetMultipliers(m);
    unsigned steps[64];
    for (int k = 0; k < 64; ++k)
        steps[k] = static_cast<unsigned>(m[k]) / 8;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&c, &mem, &memSize);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 4;
    c.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&c);
    jpeg_add_quant_table(&c, 0, steps, 100, TRUE);
    jpeg_add_quant_table(&c, 1, steps, 100, TRUE);
    c.optimize_coding = TRUE;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = const_cast<uint8_t *>(bgrx.data()) + static_cast<std::size_t>(c.next_scanline) * w * 4;
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + memSize);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

const TFixture &Fixture(int w, int h) {
    static std::vector<std::unique_ptr<TFixture>> cache;
    for (const auto &f : cache)
        if (f->W == w && f->H == h)
            return *f;
    auto f = std::make_unique<TFixture>();
    f->W = w;
    f->H = h;
    const Bytes bgrx = codecfixture::TestPicture(w, h, 1);
    f->Yuv = codecfixture::BgrxToYuv420(bgrx.data(), w, h, 4 * static_cast<std::ptrdiff_t>(w));
    f->Frame = codecfixture::EncodeFrame(f->Yuv.data(), w, h, Quality);
    f->Jpeg = JpegWithOurSteps(bgrx, w, h);
    std::fprintf(stderr, "%dx%d: packed frame %zu bytes, JPEG %zu bytes\n", w, h, f->Frame.size(),
                 f->Jpeg.size());
    cache.push_back(std::move(f));
    return *cache.back();
}

void SetRate(benchmark::State &state, int w, int h) {
    state.counters["MP/s"] = benchmark::Counter(static_cast<double>(w) * h * state.iterations() / 1e6,
                                                benchmark::Counter::kIsRate);
}

void BM_OursChain(benchmark::State &state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const TFixture &f = Fixture(w, h);
    TOrsekPegCoder coder(w, h, Quality);
    Bytes yuv(coder.ImageSize());
    TFrameBitmap bmp;
    bmp.SetSize(w, h);
    for (auto _ : state) {
        coder.UnPackImage(yuv.data(), coder.ImageSize(), f.Frame.data(),
                          static_cast<int32_t>(f.Frame.size()));
        YuvToBitmap(bmp, yuv.data(), w, h);
        benchmark::DoNotOptimize(bmp.Bits.data());
    }
    SetRate(state, w, h);
}

void TurboDecode(benchmark::State &state, int flags) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const TFixture &f = Fixture(w, h);
    tjhandle tj = tjInitDecompress();
    Bytes out(static_cast<std::size_t>(w) * h * 4);
    for (auto _ : state) {
        if (tjDecompress2(tj, f.Jpeg.data(), static_cast<unsigned long>(f.Jpeg.size()), out.data(), w, w * 4,
                          h, TJPF_BGRX, flags) != 0) {
            state.SkipWithError(tjGetErrorStr2(tj));
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    tjDestroy(tj);
    SetRate(state, w, h);
}

// Chroma replicated as ours does (no interpolating upsampler), accurate integer transform.
void BM_LibjpegTurbo(benchmark::State &state) {
    TurboDecode(state, TJFLAG_FASTUPSAMPLE);
}
// libjpeg-turbo's default decode (interpolating chroma upsampling), for reference.
void BM_LibjpegTurboDefault(benchmark::State &state) {
    TurboDecode(state, 0);
}

template <void (*Sharpen)(uint8_t *, int32_t, int32_t, uint16_t)> void BM_Sharpen(benchmark::State &state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const TFixture &f = Fixture(w, h);
    Bytes plane(f.Yuv.begin(), f.Yuv.begin() + static_cast<std::ptrdiff_t>(w) * h);
    for (auto _ : state) {
        Sharpen(plane.data(), w, h, SharpenFactorFromPercent(30));
        benchmark::DoNotOptimize(plane.data());
    }
    SetRate(state, w, h);
}

void Sizes(benchmark::internal::Benchmark *b) {
    b->Args({1920, 1088})->Args({640, 480})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_OursChain)->Apply(Sizes);
BENCHMARK(BM_LibjpegTurbo)->Apply(Sizes);
BENCHMARK(BM_LibjpegTurboDefault)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Sharpen, SharpenYuvPlaneSse2)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Sharpen, SharpenYuvPlaneRef)->Apply(Sizes);

const bool registered = [] {
    using spbench::TFigure;
    for (const char *size : {"1920/1088", "640/480"}) {
        const std::string s = size;
        spbench::ResultPair("chain_" + s, "BM_OursChain/" + s + "/real_time",
                            "BM_LibjpegTurbo/" + s + "/real_time", TFigure::Counter, "MP/s", "MP/s");
        spbench::ResultPair("chain_vs_default_" + s, "BM_OursChain/" + s + "/real_time",
                            "BM_LibjpegTurboDefault/" + s + "/real_time", TFigure::Counter, "MP/s", "MP/s");
        spbench::ResultPair("sharpen_" + s, "BM_Sharpen<SharpenYuvPlaneSse2>/" + s + "/real_time",
                            "BM_Sharpen<SharpenYuvPlaneRef>/" + s + "/real_time", TFigure::Counter, "MP/s",
                            "MP/s");
    }
    return true;
}();

} // namespace
